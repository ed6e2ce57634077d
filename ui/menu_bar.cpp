#include "ui/menu_bar.h"

#include <limits>

#include "core/i18n.h"

namespace {

// One fixed row of a menu: a command id with the key of its label, or a
// separator (id 0).
struct MenuRow {
    std::uint32_t id;
    const wchar_t* key;
};

constexpr MenuRow kSeparator{0, nullptr};

constexpr MenuRow kFileMenu[] = {
    {1001, L"action.export_json"}, {1002, L"action.import_json"}, kSeparator,
    {1003, L"action.close"},       {1004, L"action.quit"},
};

constexpr MenuRow kEditMenu[] = {
    {1119, L"action.add_entry"},  kSeparator,
    {1101, L"action.paste"},      {1102, L"action.copy"},
    {1118, L"action.screenshot"}, {1103, L"action.paste_delete"},
    {1115, L"action.paste_multiple"}, kSeparator,
    {1104, L"action.pin"},        {1105, L"action.edit"},
    {1106, L"action.to_category"}, {1107, L"action.remove_category"}, kSeparator,
    {1108, L"action.add_slot"},   {1109, L"action.remove_slot"}, kSeparator,
    {1110, L"action.move_up"},    {1111, L"action.move_down"}, kSeparator,
    {1112, L"action.select_all"}, {1113, L"action.find"}, kSeparator,
    {1116, L"action.snippets"},   {1114, L"action.delete"},
};

constexpr MenuRow kHelpMenu[] = {
    {1505, L"action.guide"}, kSeparator, {1504, L"action.check_updates"}, kSeparator,
    {1501, L"action.about"}, kSeparator, {1506, L"action.license"},       kSeparator,
    {1502, L"hotkeys.title"},
};

template <size_t N>
void add_rows(std::vector<PopupMenuItem>& items, const MenuRow (&rows)[N]) {
    for (const MenuRow& row : rows) {
        if (row.id == 0)
            PopupMenu::add_separator(items);
        else
            PopupMenu::add_item(items, row.id, tr(row.key));
    }
}

std::vector<PopupMenuItem> categories_menu(const MenuBarState& state) {
    std::vector<PopupMenuItem> items;
    PopupMenu::add_item(items, 1201, tr(L"action.add_category"));
    PopupMenu::add_separator(items);
    const auto add_category_item = [&](std::uint32_t id, const wchar_t* key) {
        PopupMenu::add_item(items, id, tr(key));
        items.back().enabled = state.category_selected;
    };
    add_category_item(1202, L"action.rename");
    add_category_item(1203, L"action.pin_category");
    add_category_item(1204, L"action.move_up");
    add_category_item(1205, L"action.move_down");
    PopupMenu::add_separator(items);
    add_category_item(1206, L"action.merge_category");
    add_category_item(1207, L"action.delete_category");
    PopupMenuItem with_entries;
    with_entries.id = 1209;
    if (state.category_entries > 0) {
        const std::int64_t n = state.category_entries > std::numeric_limits<std::int32_t>::max()
                                   ? std::numeric_limits<std::int32_t>::max()
                                   : state.category_entries;
        with_entries.label = tr_format(L"action.delete_category_with_entries", n);
    } else {
        with_entries.label = tr(L"action.delete_category_with_entries_empty");
        with_entries.enabled = false;
    }
    PopupMenu::append(items, std::move(with_entries));
    PopupMenu::add_separator(items);
    PopupMenu::add_item(items, 1208, tr(L"action.toggle_cat_panel"));
    return items;
}

std::vector<PopupMenuItem> view_menu(const MenuBarState& state) {
    std::vector<PopupMenuItem> items;
    PopupMenu::add_check_item(items, 1301, tr(L"view.show_time"), state.show_time);
    PopupMenu::add_item(items, 1302, tr(L"view.collapse_categories"));
    PopupMenu::add_separator(items);
    PopupMenu::add_item(items, 1303, tr(L"view.dark_mode"));
    return items;
}

std::vector<PopupMenuItem> settings_menu(const MenuBarState& state) {
    std::vector<PopupMenuItem> items;
    PopupMenu::add_check_item(items, 1401, tr(L"action.watch_buffer"), state.watch_clipboard);
    PopupMenu::add_check_item(items, 1402, tr(L"action.always_on_top"), state.always_on_top);
    PopupMenu::add_separator(items);
    PopupMenu::add_item(items, 1403, tr(L"hotkeys.title"));
    PopupMenu::add_item(items, 1404, tr(L"action.open_settings"));
    return items;
}

}  // namespace

std::vector<PopupMenuItem> menu_bar_items(int index, const MenuBarState& state) {
    std::vector<PopupMenuItem> items;
    switch (index) {
        case kMenuFile: add_rows(items, kFileMenu); break;
        case kMenuEdit:
            add_rows(items, kEditMenu);
            for (PopupMenuItem& item : items)
                if (item.id == 1119) item.enabled = state.can_add_entry;
            break;
        case kMenuCategories: return categories_menu(state);
        case kMenuView: return view_menu(state);
        case kMenuSettings: return settings_menu(state);
        case kMenuHelp: add_rows(items, kHelpMenu); break;
        default: break;
    }
    return items;
}
