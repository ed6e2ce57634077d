// WM_CONTEXTMENU of the main window: the menus of the cards list and of the
// side panel, and what each choice calls.
#include <windows.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "app/main_wndproc.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "store/database.h"
#include "theme/geometry.h"
#include "ui/cards_list.h"
#include "ui/entry_commands.h"
#include "ui/main_window.h"
#include "ui/popup_menu.h"
#include "ui/side_panel.h"

namespace {

constexpr std::uint32_t kCodeSetGroup = 50;
constexpr std::uint32_t kCodeMoveGroup = 60;

PopupMenuItem item(const std::wstring& key, std::uint64_t id) {
    PopupMenuItem it;
    it.label = tr(key);
    it.id = id;
    return it;
}

PopupMenuItem separator() {
    PopupMenuItem it;
    it.separator = true;
    return it;
}

std::uint64_t track(App& app, HWND window, const std::vector<PopupMenuItem>& items) {
    if (items.empty()) return 0;
    POINT pt{};
    GetCursorPos(&pt);
    bool dark = app.settings && app.settings->dark_mode;
    return PopupMenu::track_at(window, pt.x, pt.y, items, dark);
}

std::vector<std::wstring> snippet_groups(App& app) {
    return app.database ? app.database->list_snippet_groups() : std::vector<std::wstring>{};
}

// The submenu that moves every template of a group into another one.
PopupMenuItem move_group_submenu(const std::vector<std::wstring>& groups, const std::wstring& group) {
    PopupMenuItem sub;
    sub.label = tr(L"action.move_to_other_group");
    for (size_t i = 0; i < groups.size(); ++i) {
        if (groups[i] == group) continue;
        PopupMenuItem it;
        it.label = groups[i];
        it.id = static_cast<std::uint64_t>(i) * 256 + kCodeMoveGroup;
        sub.children.push_back(it);
    }
    PopupMenuItem none = item(L"editor.ungrouped_group", static_cast<std::uint64_t>(groups.size()) * 256 + kCodeMoveGroup);
    sub.children.push_back(none);
    return sub;
}

// ---- the cards list ------------------------------------------------------------------------

bool is_group_row(const std::wstring& text) { return text.rfind(L"GRP\t", 0) == 0; }

std::wstring row_text(HWND list, int row) {
    LRESULT len = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (len == LB_ERR || len < 0) return {};
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    LRESULT got = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
    if (got == LB_ERR) return {};
    text.resize(static_cast<size_t>(got));
    return text;
}

// The group header menu (cards list) and the group row menu (side panel).
void group_menu(App& app, HWND window, const std::wstring& group, bool side) {
    MainWindow& mw = *app.main_window;
    std::vector<std::wstring> groups = snippet_groups(app);
    std::vector<PopupMenuItem> items{item(L"action.new_template_group", 21), separator(),
                                     item(L"action.rename_group", 22), move_group_submenu(groups, group)};
    if (side) items.push_back(separator());
    items.push_back(item(L"action.delete_group", 24));
    std::uint64_t choice = track(app, window, items);
    if (choice == 0) return;
    if (choice == 21) {
        mw.new_template_in_group(group);
    } else if (choice == 22) {
        mw.rename_template_group(group);
    } else if (choice == 24) {
        mw.delete_template_group(group);
    } else {
        MenuChoice c = unpack_menu_choice(choice, groups.size());
        if (c.command != kCodeMoveGroup) return;
        mw.move_group_templates(group, c.index < groups.size() ? groups[c.index] : std::wstring());
    }
}

void template_row_menu(App& app, HWND window, std::int64_t key, int selected) {
    MainWindow& mw = *app.main_window;
    if (selected >= 2) {
        std::vector<PopupMenuItem> items{item(L"action.paste_all", 1), item(L"action.copy_all", 2), separator(),
                                         item(L"action.delete", 10)};
        switch (track(app, window, items)) {
            case 1: mw.on_paste_selected(); break;
            case 2: mw.copy_selected(); break;
            case 10: mw.delete_selected(); break;
            default: break;
        }
        return;
    }
    const Snippet* snippet = mw.model.find_template(key);
    std::wstring group = snippet ? snippet->grp : std::wstring();
    std::vector<std::wstring> groups = snippet_groups(app);
    PopupMenuItem sub;
    sub.label = tr(L"action.move_to_group");
    for (size_t i = 0; i < groups.size(); ++i) {
        PopupMenuItem it;
        it.label = groups[i];
        it.id = static_cast<std::uint64_t>(i) * 256 + kCodeSetGroup;
        it.checked = groups[i] == group;
        sub.children.push_back(it);
    }
    PopupMenuItem none = item(L"editor.ungrouped_group", static_cast<std::uint64_t>(groups.size()) * 256 + kCodeSetGroup);
    none.checked = group.empty();
    sub.children.push_back(none);
    std::vector<PopupMenuItem> items{item(L"action.paste", 1), item(L"action.copy", 2),  separator(),
                                     item(L"action.edit", 9),  item(L"action.delete", 10), separator(),
                                     sub,                      separator(),              item(L"action.new_template", 12)};
    std::uint64_t choice = track(app, window, items);
    switch (choice) {
        case 0: return;
        case 1: mw.on_paste_selected(); return;
        case 2: mw.copy_selected(); return;
        case 9: mw.edit_selected(); return;
        case 10: mw.delete_selected(); return;
        case 12: mw.new_template(); return;
        default: break;
    }
    MenuChoice c = unpack_menu_choice(choice, groups.size());
    if (c.command == kCodeSetGroup)
        mw.set_template_group(key, c.index < groups.size() ? groups[c.index] : std::wstring());
}

// The history menu (and the trash and templates variants of it).
std::vector<PopupMenuItem> history_row_items(MainWindow& mw, int selected) {
    std::vector<PopupMenuItem> items;
    const bool slots = mw.view_kind == kViewSlots;
    if (mw.trash_view) {
        for (const MenuKeyItem& k : trash_menu_items(selected < 2))
            items.push_back(k.separator ? separator() : item(k.key, k.id));
        return items;
    }
    if (mw.templates_mode) {
        if (selected >= 2)
            return {item(L"action.paste_all", 1), item(L"action.copy_all", 2), separator(), item(L"action.delete", 10)};
        return {item(L"action.paste", 1), item(L"action.copy", 2),   separator(),
                item(L"action.edit", 9),  item(L"action.delete", 10), separator(),
                item(L"action.new_template", 12)};
    }
    if (selected >= 2) {
        items = {item(L"action.paste_all", 1), item(L"action.copy_all", 2), separator()};
        if (slots) {
            items.push_back(item(L"action.remove_slot", 30));
        } else {
            items.push_back(item(L"action.pin", 4));
            items.push_back(item(L"action.to_category", 5));
            items.push_back(item(L"action.add_slot", 6));
        }
    } else {
        items = {item(L"action.paste", 1), item(L"action.copy", 2), item(L"action.paste_delete", 3), separator()};
        if (mw.selected_has_text()) {
            PopupMenuItem sub;
            sub.label = tr(L"action.paste_as");
            const wchar_t* keys[] = {L"action.transform_upper",    L"action.transform_lower",
                                     L"action.transform_capitalize", L"action.transform_sentence",
                                     L"action.transform_invert",   L"action.transform_trim",
                                     L"action.transform_remove_lf"};
            for (int k = 0; k < 7; ++k) sub.children.push_back(item(keys[k], 21 + 100 * static_cast<std::uint64_t>(k)));
            items.push_back(sub);
            items.push_back(item(L"action.paste_plain", 20));
        }
        items.push_back(item(L"action.view", 22));
        PopupMenuItem keep = item(L"action.keep_forever", 23);
        keep.checked = mw.selected_is_kept();
        items.push_back(keep);
        items.push_back(separator());
        items.push_back(item(L"action.pin", 4));
        items.push_back(item(L"action.to_category", 5));
        items.push_back(item(L"action.add_slot", 6));
        if (slots) items.push_back(item(L"action.remove_slot", 30));
    }
    if (mw.rows_can_move()) {
        items.push_back(separator());
        items.push_back(item(L"action.move_up", 7));
        items.push_back(item(L"action.move_down", 8));
    }
    items.push_back(separator());
    if (selected < 2) items.push_back(item(L"action.edit", 9));
    items.push_back(item(L"action.delete", 10));
    return items;
}

void run_history_choice(MainWindow& mw, std::uint64_t choice) {
    switch (choice) {
        case 1:
        case 3: mw.on_paste_selected(); return;
        case 2:
            if (mw.trash_view)
                mw.restore_selected();
            else
                mw.copy_selected();
            return;
        case 4: mw.toggle_pin_selected(); return;
        case 5: mw.show_to_category_menu(); return;
        case 6: mw.add_selected_to_slots(); return;
        case 7: mw.move_selected_up(); return;
        case 8: mw.move_selected_down(); return;
        case 9: mw.edit_selected(); return;
        case 10:
            if (mw.trash_view)
                mw.delete_forever_selected();
            else
                mw.delete_selected();
            return;
        case 11: mw.empty_trash(); return;
        case 12: mw.new_template(); return;
        case 20: mw.paste_selected_plain(); return;
        case 22: mw.open_selected_entry(); return;
        case 23: mw.toggle_keep_selected(); return;
        case 30: mw.remove_selected_from_slots(); return;
        default: break;
    }
    if (choice >= 21 && choice <= 621 && (choice - 21) % 100 == 0)
        mw.paste_selected_transformed(static_cast<int>((choice - 21) / 100));
}

void cards_menu(App& app, HWND window) {
    MainWindow& mw = *app.main_window;
    POINT screen{};
    GetCursorPos(&screen);
    select_row_at(mw.cards, screen, true);
    POINT client = screen;
    ScreenToClient(mw.cards, &client);
    const int row = listbox_item_from_point(mw.cards, client);
    const int selected = list_selected_count(mw.cards);

    if (row < 0) {
        std::vector<PopupMenuItem> items;
        if (mw.templates_mode && !mw.trash_view) {
            items = {item(L"action.add_group", 20), item(L"action.new_template", 12)};
            std::uint64_t choice = track(app, window, items);
            if (choice == 20) mw.new_template_group();
            if (choice == 12) mw.new_template_in_current_group();
            return;
        }
        if (mw.trash_view) {
            if (track(app, window, {item(L"action.empty_trash", 11)}) == 11) mw.empty_trash();
            return;
        }
        if (mw.templates_mode || mw.view_kind == kViewImages || mw.view_kind < 0 ||
            (mw.view_kind == kViewCategory && mw.category_id < 1))
            return;
        if (track(app, window, {item(L"action.add_entry", 1)}) == 1) mw.new_entry_in_current_view();
        return;
    }

    const std::int64_t key = static_cast<std::int64_t>(SendMessageW(mw.cards, LB_GETITEMDATA, static_cast<WPARAM>(row), 0));
    if (mw.templates_mode && !mw.trash_view) {
        if (key == kUngroupedHeaderKey) {
            // The templates without a group are no group: their header's
            // label is a translated text, never a name to rename, delete or
            // move by.
            if (track(app, window, {item(L"action.new_template", 12)}) == 12) mw.new_template();
            return;
        }
        if (is_group_header_key(key)) {
            std::wstring text = row_text(mw.cards, row);
            group_menu(app, window, is_group_row(text) ? strip_group_prefix(text) : std::wstring(), false);
            return;
        }
        if (is_template_key(key)) {
            template_row_menu(app, window, key, selected);
            return;
        }
    }
    run_history_choice(mw, track(app, window, history_row_items(mw, selected)));
}

// ---- the side panel --------------------------------------------------------------------------

void side_menu(App& app, HWND window) {
    MainWindow& mw = *app.main_window;
    POINT screen{};
    GetCursorPos(&screen);
    select_row_at(mw.side, screen, false);
    const SidePanelRow* row = mw.panel.row(static_cast<int>(SendMessageW(mw.side, LB_GETCURSEL, 0, 0)));
    if (!row) return;
    switch (row->kind) {
        case SideRowKind::View:
            if (row->view_kind == kViewTrash && track(app, window, {item(L"action.empty_trash", 1)}) == 1)
                mw.empty_trash();
            return;
        case SideRowKind::TemplatesNode: {
            std::uint64_t choice = track(app, window,
                                         {item(L"action.add_group", 1), item(L"action.new_template", 2), separator(),
                                          item(L"action.toggle_snippets", 3)});
            if (choice == 1) mw.new_template_group();
            if (choice == 2) mw.new_template();
            if (choice == 3) mw.toggle_templates_node();
            return;
        }
        case SideRowKind::Ungrouped:
            if (track(app, window, {item(L"action.new_template", 1)}) == 1) mw.new_template();
            return;
        case SideRowKind::TemplateGroup: group_menu(app, window, row->group_name, true); return;
        case SideRowKind::Category: break;
    }
    const std::int64_t id = row->category_id;
    std::wstring name;
    if (app.database)
        for (const Category& c : app.database->list_categories())
            if (c.id == id) name = c.name;
    const int n = app.database && id > 0 ? app.database->count_category_entries(id) : 0;
    PopupMenuItem second;
    if (n > 0) {
        second.label = tr_format(L"action.delete_category_with_entries", n);
        second.id = 6;
    } else {
        second = item(L"action.delete_category_with_entries_empty", 6);
        second.enabled = false;
    }
    PopupMenuItem add;
    add.label = tr_format(L"action.add_entry_to_category", name);
    add.id = 7;
    std::vector<PopupMenuItem> items{add,
                                     separator(),
                                     item(L"action.rename", 1),
                                     item(L"action.pin_category", 2),
                                     separator(),
                                     item(L"action.move_up", 3),
                                     item(L"action.move_down", 4),
                                     separator(),
                                     item(L"action.delete_category", 5),
                                     second};
    switch (track(app, window, items)) {
        case 1: mw.rename_category(); break;
        case 2: mw.toggle_category_pinned(); break;
        case 3: mw.move_category(-1); break;
        case 4: mw.move_category(+1); break;
        case 5: mw.delete_category(); break;
        case 6: mw.delete_category_with_entries(); break;
        case 7: mw.new_entry_in_category(id); break;
        default: break;
    }
}

}  // namespace

void on_main_context_menu(App& app, HWND window, WPARAM wparam) {
    MainWindow* mw = app.main_window.get();
    if (!mw) return;
    HWND target = reinterpret_cast<HWND>(wparam);
    if (target && target == mw->cards)
        cards_menu(app, window);
    else if (target && target == mw->side)
        side_menu(app, window);
}
