// WM_CONTEXTMENU of the main window: the menus of the cards list and of the
// side panel, and what each choice calls.
#include <windows.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "app/context_menus.h"
#include "app/main_wndproc.h"
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

// ---- the cards list ------------------------------------------------------------------------

bool is_group_row(const std::wstring& text) { return text.rfind(L"GRP\t", 0) == 0; }

// The cards list holds no texts: a row's text is the model's.
std::wstring row_text(const MainWindow& mw, int row) {
    const LRESULT key = SendMessageW(mw.cards, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
    if (key == LB_ERR || mw.model.row_key(row) != static_cast<std::int64_t>(key)) return {};
    return mw.model.row_text(row);
}

// The group header menu (cards list) and the group row menu (side panel).
void group_menu(App& app, HWND window, const std::wstring& group, bool side) {
    MainWindow& mw = *app.main_window;
    std::vector<std::wstring> groups = snippet_groups(app);
    std::uint64_t choice = track(app, window, group_menu_items(groups, group, side));
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
    const Snippet* snippet = selected >= 2 ? nullptr : mw.model.find_template(key);
    std::wstring group = snippet ? snippet->grp : std::wstring();
    std::vector<std::wstring> groups = selected >= 2 ? std::vector<std::wstring>{} : snippet_groups(app);
    std::uint64_t choice = track(app, window, template_menu_items(groups, group, selected));
    if (selected >= 2) {
        switch (choice) {
            case 1: mw.on_paste_selected(); break;
            case 2: mw.copy_selected(); break;
            case 10: mw.delete_selected(); break;
            default: break;
        }
        return;
    }
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

// What the history menu depends on, read from the main window.
CardsMenuState cards_menu_state(MainWindow& mw, int selected) {
    CardsMenuState state;
    state.trash_view = mw.trash_view;
    state.templates_mode = mw.templates_mode;
    state.view_kind = mw.view_kind;
    state.selected = selected;
    if (!mw.trash_view && !mw.templates_mode && selected < 2) {
        state.has_text = mw.selected_has_text();
        state.is_kept = mw.selected_is_kept();
    }
    if (!mw.trash_view && !mw.templates_mode) state.rows_can_move = mw.rows_can_move();
    return state;
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
        std::uint64_t choice =
            track(app, window, cards_area_menu_items(mw.templates_mode, mw.trash_view, mw.view_kind, mw.category_id));
        if (mw.templates_mode && !mw.trash_view) {
            if (choice == 20) mw.new_template_group();
            if (choice == 12) mw.new_template_in_current_group();
        } else if (mw.trash_view) {
            if (choice == 11) mw.empty_trash();
        } else if (choice == 1) {
            mw.new_entry_in_current_view();
        }
        return;
    }

    const std::int64_t key = static_cast<std::int64_t>(SendMessageW(mw.cards, LB_GETITEMDATA, static_cast<WPARAM>(row), 0));
    if (mw.templates_mode && !mw.trash_view) {
        if (key == kUngroupedHeaderKey) {
            // The templates without a group are no group: their header's
            // label is a translated text, never a name to rename, delete or
            // move by.
            if (track(app, window, {menu_item(L"action.new_template", 12)}) == 12) mw.new_template();
            return;
        }
        if (is_group_header_key(key)) {
            std::wstring text = row_text(mw, row);
            group_menu(app, window, is_group_row(text) ? strip_group_prefix(text) : std::wstring(), false);
            return;
        }
        if (is_template_key(key)) {
            template_row_menu(app, window, key, selected);
            return;
        }
    }
    run_history_choice(mw, track(app, window, history_menu_items(cards_menu_state(mw, selected))));
}

// ---- the side panel --------------------------------------------------------------------------

void side_menu(App& app, HWND window) {
    MainWindow& mw = *app.main_window;
    POINT screen{};
    GetCursorPos(&screen);
    select_row_at(mw.side, screen, false);
    const SidePanelRow* row = mw.panel.row(static_cast<int>(SendMessageW(mw.side, LB_GETCURSEL, 0, 0)));
    if (!row) return;
    if (row->kind == SideRowKind::TemplateGroup) {
        group_menu(app, window, row->group_name, true);
        return;
    }
    const std::int64_t id = row->category_id;
    std::wstring name;
    int n = 0;
    if (row->kind == SideRowKind::Category) {
        if (app.database)
            for (const Category& c : app.database->list_categories())
                if (c.id == id) name = c.name;
        n = app.database && id > 0 ? app.database->count_category_entries(id) : 0;
    }
    const std::vector<PopupMenuItem> items = side_menu_items(*row, {}, name, n);
    switch (row->kind) {
        case SideRowKind::View:
            if (row->view_kind == kViewTrash && track(app, window, items) == 1) mw.empty_trash();
            return;
        case SideRowKind::TemplatesNode: {
            std::uint64_t choice = track(app, window, items);
            if (choice == 1) mw.new_template_group();
            if (choice == 2) mw.new_template();
            if (choice == 3) mw.toggle_templates_node();
            return;
        }
        case SideRowKind::Ungrouped:
            if (track(app, window, items) == 1) mw.new_template();
            return;
        case SideRowKind::TemplateGroup:
        case SideRowKind::Category: break;
    }
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
