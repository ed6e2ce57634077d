#include "app/context_menus.h"

#include "core/i18n.h"
#include "ui/list_model.h"
#include "ui/side_panel.h"

PopupMenuItem menu_item(const std::wstring& key, std::uint64_t id) {
    PopupMenuItem it;
    it.label = tr(key);
    it.id = id;
    return it;
}

PopupMenuItem menu_separator() {
    PopupMenuItem it;
    it.separator = true;
    return it;
}

namespace {

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
    sub.children.push_back(
        menu_item(L"editor.ungrouped_group", static_cast<std::uint64_t>(groups.size()) * 256 + kCodeMoveGroup));
    return sub;
}

}  // namespace

std::vector<PopupMenuItem> group_menu_items(const std::vector<std::wstring>& groups, const std::wstring& group,
                                            bool side) {
    std::vector<PopupMenuItem> items{menu_item(L"action.new_template_group", 21), menu_separator(),
                                     menu_item(L"action.rename_group", 22), move_group_submenu(groups, group)};
    if (side) items.push_back(menu_separator());
    items.push_back(menu_item(L"action.delete_group", 24));
    return items;
}

std::vector<PopupMenuItem> template_menu_items(const std::vector<std::wstring>& groups, const std::wstring& group,
                                               int selected) {
    if (selected >= 2)
        return {menu_item(L"action.paste_all", 1), menu_item(L"action.copy_all", 2), menu_separator(),
                menu_item(L"action.delete", 10)};
    PopupMenuItem sub;
    sub.label = tr(L"action.move_to_group");
    for (size_t i = 0; i < groups.size(); ++i) {
        PopupMenuItem it;
        it.label = groups[i];
        it.id = static_cast<std::uint64_t>(i) * 256 + kCodeSetGroup;
        it.checked = groups[i] == group;
        sub.children.push_back(it);
    }
    PopupMenuItem none =
        menu_item(L"editor.ungrouped_group", static_cast<std::uint64_t>(groups.size()) * 256 + kCodeSetGroup);
    none.checked = group.empty();
    sub.children.push_back(none);
    return {menu_item(L"action.paste", 1), menu_item(L"action.copy", 2),    menu_separator(),
            menu_item(L"action.edit", 9),  menu_item(L"action.delete", 10), menu_separator(),
            sub,                           menu_separator(),                menu_item(L"action.new_template", 12)};
}

std::vector<PopupMenuItem> history_menu_items(const CardsMenuState& state) {
    std::vector<PopupMenuItem> items;
    const bool slots = state.view_kind == kViewSlots;
    const int selected = state.selected;
    if (state.trash_view) {
        for (const MenuKeyItem& k : trash_menu_items(selected < 2))
            items.push_back(k.separator ? menu_separator() : menu_item(k.key, k.id));
        return items;
    }
    if (state.templates_mode) {
        if (selected >= 2)
            return {menu_item(L"action.paste_all", 1), menu_item(L"action.copy_all", 2), menu_separator(),
                    menu_item(L"action.delete", 10)};
        return {menu_item(L"action.paste", 1), menu_item(L"action.copy", 2),    menu_separator(),
                menu_item(L"action.edit", 9),  menu_item(L"action.delete", 10), menu_separator(),
                menu_item(L"action.new_template", 12)};
    }
    if (selected >= 2) {
        items = {menu_item(L"action.paste_all", 1), menu_item(L"action.copy_all", 2), menu_separator()};
        if (slots) {
            items.push_back(menu_item(L"action.remove_slot", 30));
        } else {
            items.push_back(menu_item(L"action.pin", 4));
            items.push_back(menu_item(L"action.to_category", 5));
            items.push_back(menu_item(L"action.add_slot", 6));
        }
    } else {
        items = {menu_item(L"action.paste", 1), menu_item(L"action.copy", 2), menu_item(L"action.paste_delete", 3),
                 menu_separator()};
        if (state.has_text) {
            PopupMenuItem sub;
            sub.label = tr(L"action.paste_as");
            const wchar_t* keys[] = {L"action.transform_upper",    L"action.transform_lower",
                                     L"action.transform_capitalize", L"action.transform_sentence",
                                     L"action.transform_invert",   L"action.transform_trim",
                                     L"action.transform_remove_lf"};
            for (int k = 0; k < 7; ++k)
                sub.children.push_back(menu_item(keys[k], 21 + 100 * static_cast<std::uint64_t>(k)));
            items.push_back(sub);
            items.push_back(menu_item(L"action.paste_plain", 20));
        }
        items.push_back(menu_item(L"action.view", 22));
        PopupMenuItem keep = menu_item(L"action.keep_forever", 23);
        keep.checked = state.is_kept;
        items.push_back(keep);
        items.push_back(menu_separator());
        items.push_back(menu_item(L"action.pin", 4));
        items.push_back(menu_item(L"action.to_category", 5));
        items.push_back(menu_item(L"action.add_slot", 6));
        if (slots) items.push_back(menu_item(L"action.remove_slot", 30));
    }
    if (state.rows_can_move) {
        items.push_back(menu_separator());
        items.push_back(menu_item(L"action.move_up", 7));
        items.push_back(menu_item(L"action.move_down", 8));
    }
    items.push_back(menu_separator());
    if (selected < 2) items.push_back(menu_item(L"action.edit", 9));
    items.push_back(menu_item(L"action.delete", 10));
    return items;
}

std::vector<PopupMenuItem> cards_area_menu_items(bool templates_mode, bool trash_view, int view_kind,
                                                 std::int64_t category_id) {
    if (templates_mode && !trash_view) return {menu_item(L"action.add_group", 20), menu_item(L"action.new_template", 12)};
    if (trash_view) return {menu_item(L"action.empty_trash", 11)};
    if (templates_mode || view_kind == kViewImages || view_kind < 0 || (view_kind == kViewCategory && category_id < 1))
        return {};
    return {menu_item(L"action.add_entry", 1)};
}

std::vector<PopupMenuItem> side_menu_items(const SidePanelRow& row, const std::vector<std::wstring>& groups,
                                           const std::wstring& category_name, int category_entries) {
    switch (row.kind) {
        case SideRowKind::View:
            if (row.view_kind == kViewTrash) return {menu_item(L"action.empty_trash", 1)};
            return {};
        case SideRowKind::TemplatesNode:
            return {menu_item(L"action.add_group", 1), menu_item(L"action.new_template", 2), menu_separator(),
                    menu_item(L"action.toggle_snippets", 3)};
        case SideRowKind::Ungrouped: return {menu_item(L"action.new_template", 1)};
        case SideRowKind::TemplateGroup: return group_menu_items(groups, row.group_name, true);
        case SideRowKind::Category: break;
    }
    PopupMenuItem second;
    if (category_entries > 0) {
        second.label = tr_format(L"action.delete_category_with_entries", category_entries);
        second.id = 6;
    } else {
        second = menu_item(L"action.delete_category_with_entries_empty", 6);
        second.enabled = false;
    }
    PopupMenuItem add;
    add.label = tr_format(L"action.add_entry_to_category", category_name);
    add.id = 7;
    return {add,
            menu_separator(),
            menu_item(L"action.rename", 1),
            menu_item(L"action.pin_category", 2),
            menu_separator(),
            menu_item(L"action.move_up", 3),
            menu_item(L"action.move_down", 4),
            menu_separator(),
            menu_item(L"action.delete_category", 5),
            second};
}
