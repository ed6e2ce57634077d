// The menu bar's six menus as built for a window state: the items in their
// order with their ids, labels, check marks and enabled states.
#include "ui/menu_bar.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "core/i18n.h"

namespace {

// One expected row: id 0 is a separator; key names the label (tr).
struct Row {
    std::uint64_t id;
    const wchar_t* key;
    bool checked = false;
    bool enabled = true;
};

void expect_menu(const std::vector<PopupMenuItem>& items, const std::vector<Row>& rows) {
    ASSERT_EQ(items.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "row " << i);
        const Row& r = rows[i];
        const PopupMenuItem& it = items[i];
        EXPECT_EQ(it.separator, r.id == 0);
        EXPECT_EQ(it.id, r.id);
        EXPECT_EQ(it.checked, r.checked);
        EXPECT_EQ(it.enabled, r.enabled);
        EXPECT_TRUE(it.children.empty());
        if (r.key) {
            EXPECT_EQ(it.label, tr(r.key));
        }
    }
}

// A label that is still a bare key ("action.paste"): its text is missing.
bool looks_like_key(const std::wstring& label) {
    if (label.find(L'.') == std::wstring::npos) return false;
    for (wchar_t c : label)
        if (!(std::iswlower(c) || c == L'.' || c == L'_')) return false;
    return true;
}

MenuBarState state(bool show_time, bool watch, bool top, std::int64_t entries, bool category_selected = true) {
    MenuBarState s;
    s.show_time = show_time;
    s.watch_clipboard = watch;
    s.always_on_top = top;
    s.category_entries = entries;
    s.category_selected = category_selected;
    return s;
}

TEST(MenuBar, FileMenu) {
    expect_menu(menu_bar_items(kMenuFile, MenuBarState{}), {{1001, L"action.export_json"},
                                                           {1002, L"action.import_json"},
                                                           {0, nullptr},
                                                           {1003, L"action.close"},
                                                           {1004, L"action.quit"}});
}

TEST(MenuBar, EditMenu) {
    expect_menu(menu_bar_items(kMenuEdit, MenuBarState{}),
                {{1119, L"action.add_entry"},  {0, nullptr},
                 {1101, L"action.paste"},      {1102, L"action.copy"},
                 {1118, L"action.screenshot"}, {1103, L"action.paste_delete"},
                 {1115, L"action.paste_multiple"}, {0, nullptr},
                 {1104, L"action.pin"},        {1105, L"action.edit"},
                 {1106, L"action.to_category"}, {1107, L"action.remove_category"},
                 {0, nullptr},                 {1108, L"action.add_slot"},
                 {1109, L"action.remove_slot"}, {0, nullptr},
                 {1110, L"action.move_up"},    {1111, L"action.move_down"},
                 {0, nullptr},                 {1112, L"action.select_all"},
                 {1113, L"action.find"},       {0, nullptr},
                 {1116, L"action.snippets"},   {1114, L"action.delete"}});
}

// "Add entry" follows whether the current view takes a new entry; every
// other item of the edit menu stays enabled.
TEST(MenuBar, EditMenuAddEntryFollowsTheView) {
    for (bool can_add : {true, false}) {
        SCOPED_TRACE(can_add);
        MenuBarState s;
        s.can_add_entry = can_add;
        const std::vector<PopupMenuItem> items = menu_bar_items(kMenuEdit, s);
        for (const PopupMenuItem& it : items) {
            if (it.separator) continue;
            EXPECT_EQ(it.enabled, it.id == 1119 ? can_add : true) << it.id;
        }
    }
}

TEST(MenuBar, CategoriesMenuByTheSelectedCategory) {
    struct Case {
        bool selected;  // a category is selected in the side panel
        std::int64_t entries;
        bool enabled;  // the item deleting with the entries
    } cases[] = {{false, 0, false}, {true, -1, false}, {true, 0, false}, {true, 1, true}, {true, 5, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.selected << " " << c.entries);
        std::vector<PopupMenuItem> items =
            menu_bar_items(kMenuCategories, state(true, true, true, c.entries, c.selected));
        const bool s = c.selected;
        expect_menu(items, {{1201, L"action.add_category"},
                            {0, nullptr},
                            {1202, L"action.rename", false, s},
                            {1203, L"action.pin_category", false, s},
                            {1204, L"action.move_up", false, s},
                            {1205, L"action.move_down", false, s},
                            {0, nullptr},
                            {1206, L"action.merge_category", false, s},
                            {1207, L"action.delete_category", false, s},
                            {1209, nullptr, false, c.enabled},
                            {0, nullptr},
                            {1208, L"action.toggle_cat_panel"}});
        const std::wstring expected = c.enabled ? tr_format(L"action.delete_category_with_entries", c.entries)
                                                : tr(L"action.delete_category_with_entries_empty");
        EXPECT_EQ(items[9].label, expected);
    }
}

TEST(MenuBar, ViewMenuChecksTheTimes) {
    for (bool on : {false, true}) {
        expect_menu(menu_bar_items(kMenuView, state(on, !on, !on, 0)), {{1301, L"view.show_time", on},
                                                                        {1302, L"view.collapse_categories"},
                                                                        {0, nullptr},
                                                                        {1303, L"view.dark_mode"}});
    }
}

TEST(MenuBar, SettingsMenuChecksWatchAndTopmost) {
    struct Case {
        bool watch, top;
    } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.watch << c.top);
        expect_menu(menu_bar_items(kMenuSettings, state(!c.watch, c.watch, c.top, 3)),
                    {{1401, L"action.watch_buffer", c.watch},
                     {1402, L"action.always_on_top", c.top},
                     {0, nullptr},
                     {1403, L"hotkeys.title"},
                     {1404, L"action.open_settings"}});
    }
}

TEST(MenuBar, HelpMenu) {
    expect_menu(menu_bar_items(kMenuHelp, MenuBarState{}),
                {{1505, L"action.guide"}, {0, nullptr}, {1504, L"action.check_updates"}, {0, nullptr},
                 {1501, L"action.about"}, {0, nullptr}, {1506, L"action.license"},       {0, nullptr},
                 {1502, L"hotkeys.title"}});
}

TEST(MenuBar, NoMenuOutsideTheSix) {
    EXPECT_TRUE(menu_bar_items(-1, MenuBarState{}).empty());
    EXPECT_TRUE(menu_bar_items(kMenuBarMenuCount, MenuBarState{}).empty());
}

// Every label has a text in every language the program ships.
TEST(MenuBar, EveryLabelIsTranslated) {
    for (const wchar_t* code : {L"en", L"ru", L"de", L"es", L"fr", L"it", L"pl", L"pt"}) {
        set_language(code);
        ASSERT_EQ(current_language(), code);
        for (int m = 0; m < kMenuBarMenuCount; ++m)
            for (std::int64_t entries : {0, 4})
                for (const PopupMenuItem& it : menu_bar_items(m, state(true, true, true, entries))) {
                    if (it.separator) continue;
                    EXPECT_FALSE(it.label.empty()) << it.id;
                    EXPECT_FALSE(looks_like_key(it.label)) << it.id << " in " << static_cast<char>(code[0])
                                                           << static_cast<char>(code[1]);
                }
    }
    set_language(L"en");
}

}  // namespace
