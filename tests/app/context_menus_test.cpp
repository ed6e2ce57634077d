// The context menus of the cards list, the side panel, the tray icon and the
// address line, built for every state they depend on in every language:
// every label, submenus included, is a real text and none shows its own
// key; and the items and their command ids are those each state offers.
#include "app/context_menus.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/app_ids.h"
#include "app/tray_icon.h"
#include "core/i18n.h"
#include "tests/app/menu_labels.h"
#include "tests/core/temp_folder.h"
#include "ui/entry_commands.h"
#include "ui/list_model.h"
#include "ui/side_panel.h"

namespace {

using menu_labels::untranslated;
using Ids = std::vector<std::uint64_t>;

// The ids of the items; 0 for a separator or a submenu.
Ids ids_of(const std::vector<PopupMenuItem>& items) {
    Ids ids;
    for (const PopupMenuItem& it : items) ids.push_back(it.id);
    return ids;
}

std::string describe(const CardsMenuState& s) {
    return "trash=" + std::to_string(s.trash_view) + " templates=" + std::to_string(s.templates_mode) +
           " view=" + std::to_string(s.view_kind) + " selected=" + std::to_string(s.selected) +
           " text=" + std::to_string(s.has_text) + " kept=" + std::to_string(s.is_kept) +
           " move=" + std::to_string(s.rows_can_move);
}

// The side panel with every kind of row: the fixed views, the templates
// node opened with two groups and the ungrouped row, and two categories.
std::vector<SidePanelRow> every_side_row() {
    SidePanelInput input;
    input.templates_collapsed = false;
    input.groups = {L"Work", L"Home"};
    input.has_ungrouped_templates = true;
    input.categories = {Category{3, L"Notes", false, 1}, Category{4, L"Links", true, 2}};
    return build_side_rows(input, current_side_labels());
}

class ContextMenus : public testing::Test {
protected:
    static void SetUpTestSuite() { set_language(L"en"); }
    void SetUp() override {
        set_language(L"en");
        // English is loaded from the language folder beside the program.
        ASSERT_EQ(current_language(), L"en");
        ASSERT_NE(tr(L"action.delete"), L"action.delete") << "lang\\en.ini was not found beside the test";
    }
};

TEST(MenuLabels, LooksLikeKey) {
    EXPECT_TRUE(menu_labels::looks_like_key(L"action.paste"));
    EXPECT_TRUE(menu_labels::looks_like_key(L"editor.ungrouped_group"));
    EXPECT_TRUE(menu_labels::looks_like_key(L"card.app.unknown"));
    EXPECT_FALSE(menu_labels::looks_like_key(L"Paste"));
    EXPECT_FALSE(menu_labels::looks_like_key(L"paste"));
    EXPECT_FALSE(menu_labels::looks_like_key(L"Edit…"));
    EXPECT_FALSE(menu_labels::looks_like_key(L"Add entry to “notes.txt”"));
    EXPECT_FALSE(menu_labels::looks_like_key(L"a..b"));
    EXPECT_FALSE(menu_labels::looks_like_key(L".a"));
    EXPECT_FALSE(menu_labels::looks_like_key(L""));
}

// Every menu of the cards list, the side panel and the tray icon, for every
// state it depends on, with a name saying which.
std::vector<std::pair<std::string, std::vector<PopupMenuItem>>> every_menu() {
    std::vector<std::pair<std::string, std::vector<PopupMenuItem>>> menus;
    for (bool trash : {false, true})
        for (bool templates : {false, true})
            for (int view = -1; view <= kViewImages; ++view) {
                for (int selected : {1, 2, 5})
                    for (bool text : {false, true})
                        for (bool kept : {false, true})
                            for (bool move : {false, true}) {
                                CardsMenuState s{trash, templates, view, selected, text, kept, move};
                                menus.emplace_back(describe(s), history_menu_items(s));
                            }
                for (std::int64_t category : {-1, 0, 3})
                    menus.emplace_back("empty area of view " + std::to_string(view),
                                       cards_area_menu_items(templates, trash, view, category));
            }
    const std::vector<std::wstring> groups{L"Work", L"Home"};
    for (const std::wstring& group : {std::wstring(L"Work"), std::wstring()}) {
        for (int selected : {1, 2}) menus.emplace_back("template row", template_menu_items(groups, group, selected));
        for (bool side : {false, true}) menus.emplace_back("group", group_menu_items(groups, group, side));
    }
    for (const SidePanelRow& row : every_side_row())
        for (int entries : {0, 4})
            menus.emplace_back("side row " + to_utf8(row.text), side_menu_items(row, groups, L"Notes", entries));
    menus.emplace_back("tray", tray_menu_items());
    menus.emplace_back("web address", address_menu_items(L"https://example.com/page"));
    menus.emplace_back("file address", address_menu_items(L"C:\\notes\\a.txt"));
    return menus;
}

TEST_F(ContextMenus, EveryMenuIsTranslated) {
    for (const auto& [name, items] : every_menu())
        EXPECT_EQ(untranslated(items, name), std::vector<std::string>{});
}

TEST_F(ContextMenus, EveryMenuIsTranslatedInEveryLanguage) {
    for (const wchar_t* code : {L"ru", L"de", L"es", L"fr", L"it", L"pl", L"pt", L"en"}) {
        set_language(code);
        ASSERT_EQ(current_language(), code);
        for (const auto& [name, items] : every_menu())
            EXPECT_EQ(untranslated(items, to_utf8(code) + ": " + name), std::vector<std::string>{});
    }
}

TEST_F(ContextMenus, HistoryMenuOfOneEntry) {
    CardsMenuState s;
    s.view_kind = kViewAll;
    s.selected = 1;
    s.has_text = true;
    s.is_kept = true;
    s.rows_can_move = true;
    std::vector<PopupMenuItem> items = history_menu_items(s);
    EXPECT_EQ(ids_of(items), (Ids{1, 2, 3, 0, 0, 20, 22, 23, 0, 4, 5, 6, 0, 7, 8, 0, 9, 10}));
    EXPECT_EQ(items[0].label, L"Paste");
    EXPECT_EQ(items[2].label, L"Paste into the previous window");
    EXPECT_EQ(items[4].label, L"Paste as");
    EXPECT_EQ(ids_of(items[4].children), (Ids{21, 121, 221, 321, 421, 521, 621}));
    EXPECT_EQ(items[4].children[0].label, L"UPPER CASE");
    EXPECT_EQ(items[5].label, L"Paste as plain text");
    EXPECT_EQ(items[7].label, L"Keep forever");
    EXPECT_TRUE(items[7].checked);

    // An image (no text), not kept, in the quick-slots view whose rows cannot move.
    s.view_kind = kViewSlots;
    s.has_text = false;
    s.is_kept = false;
    s.rows_can_move = false;
    items = history_menu_items(s);
    EXPECT_EQ(ids_of(items), (Ids{1, 2, 3, 0, 22, 23, 0, 4, 5, 6, 30, 0, 9, 10}));
    EXPECT_FALSE(items[5].checked);
    EXPECT_EQ(items[10].label, L"Remove from quick slots");
}

TEST_F(ContextMenus, HistoryMenuOfSeveralEntries) {
    CardsMenuState s;
    s.selected = 3;
    s.rows_can_move = true;
    EXPECT_EQ(ids_of(history_menu_items(s)), (Ids{1, 2, 0, 4, 5, 6, 0, 7, 8, 0, 10}));
    s.view_kind = kViewSlots;
    s.rows_can_move = false;
    EXPECT_EQ(ids_of(history_menu_items(s)), (Ids{1, 2, 0, 30, 0, 10}));
    EXPECT_EQ(history_menu_items(s)[0].label, L"Paste all");
}

TEST_F(ContextMenus, TrashAndTemplatesVariants) {
    CardsMenuState s;
    s.trash_view = true;
    s.selected = 1;
    EXPECT_EQ(ids_of(history_menu_items(s)), (Ids{2, 10, 0, 11}));
    s.selected = 2;
    EXPECT_EQ(ids_of(history_menu_items(s)), (Ids{2, 10}));
    s.trash_view = false;
    s.templates_mode = true;
    EXPECT_EQ(ids_of(history_menu_items(s)), (Ids{1, 2, 0, 10}));
    s.selected = 1;
    EXPECT_EQ(ids_of(history_menu_items(s)), (Ids{1, 2, 0, 9, 10, 0, 12}));
}

TEST_F(ContextMenus, EmptyAreaMenus) {
    struct Case {
        bool templates, trash;
        int view;
        std::int64_t category;
        Ids ids;
    };
    const Case cases[] = {
        {true, false, kViewAll, -1, {20, 12}},  {false, true, kViewTrash, -1, {11}},
        {true, true, kViewTrash, -1, {11}},     {false, false, kViewImages, -1, {}},
        {false, false, -1, -1, {}},             {false, false, kViewCategory, 0, {}},
        {false, false, kViewCategory, 3, {1}},  {false, false, kViewAll, -1, {1}},
        {false, false, kViewPinned, -1, {1}},   {false, false, kViewSlots, -1, {1}},
        {false, false, kViewNone, -1, {1}},
    };
    for (const Case& c : cases) {
        std::vector<PopupMenuItem> items = cards_area_menu_items(c.templates, c.trash, c.view, c.category);
        EXPECT_EQ(ids_of(items), c.ids) << c.templates << c.trash << " view " << c.view;
    }
}

TEST_F(ContextMenus, TemplateAndGroupMenus) {
    const std::vector<std::wstring> groups{L"Work", L"Home"};
    // The "no group" entry ends both submenus, with its own text.
    std::vector<PopupMenuItem> items = template_menu_items(groups, L"", 1);
    ASSERT_EQ(items.size(), 9u);
    const PopupMenuItem& move = items[6];
    EXPECT_EQ(move.label, L"Move to group");
    ASSERT_EQ(move.children.size(), 3u);
    EXPECT_EQ(move.children[2].label, L"(no group)");
    EXPECT_EQ(move.children[2].id, 2u * 256 + kCodeSetGroup);
    EXPECT_TRUE(move.children[2].checked);
    EXPECT_FALSE(move.children[0].checked);

    items = group_menu_items(groups, L"Work", true);
    EXPECT_EQ(ids_of(items), (Ids{21, 0, 22, 0, 0, 24}));
    ASSERT_EQ(items[3].children.size(), 2u);
    EXPECT_EQ(items[3].children[0].label, L"Home");
    EXPECT_EQ(items[3].children[1].label, L"(no group)");
    EXPECT_EQ(items[3].children[1].id, 2u * 256 + kCodeMoveGroup);
    EXPECT_EQ(ids_of(group_menu_items(groups, L"Work", false)), (Ids{21, 0, 22, 0, 24}));
}

TEST_F(ContextMenus, ThePanelHasEveryKindOfSideRow) {
    bool saw[5] = {};
    for (const SidePanelRow& row : every_side_row()) saw[static_cast<int>(row.kind)] = true;
    for (bool s : saw) EXPECT_TRUE(s) << "a kind of side row is missing from the panel";
}

TEST_F(ContextMenus, SidePanelMenusByRowKind) {
    for (const SidePanelRow& row : every_side_row()) {
        std::vector<PopupMenuItem> items = side_menu_items(row, {L"Work", L"Home"}, L"Notes", 4);
        switch (row.kind) {
            case SideRowKind::View:
                EXPECT_EQ(ids_of(items), row.view_kind == kViewTrash ? Ids{1} : Ids{}) << to_utf8(row.text);
                break;
            case SideRowKind::TemplatesNode: EXPECT_EQ(ids_of(items), (Ids{1, 2, 0, 3})); break;
            case SideRowKind::Ungrouped: EXPECT_EQ(ids_of(items), Ids{1}); break;
            case SideRowKind::TemplateGroup: EXPECT_EQ(ids_of(items), (Ids{21, 0, 22, 0, 0, 24})); break;
            case SideRowKind::Category:
                EXPECT_EQ(ids_of(items), (Ids{7, 0, 1, 2, 0, 3, 4, 0, 5, 6}));
                EXPECT_EQ(items[0].label, L"Add entry to “Notes”");
                EXPECT_EQ(items[9].label, L"Delete with its entries (4)");
                EXPECT_TRUE(items[9].enabled);
                break;
        }
    }
    SidePanelRow category;
    category.kind = SideRowKind::Category;
    category.category_id = 3;
    std::vector<PopupMenuItem> items = side_menu_items(category, {}, L"Notes", 0);
    ASSERT_EQ(items.size(), 10u);
    EXPECT_EQ(items[9].label, L"Delete with its entries");
    EXPECT_FALSE(items[9].enabled);
}

TEST_F(ContextMenus, TrayMenu) {
    std::vector<PopupMenuItem> items = tray_menu_items();
    EXPECT_EQ(ids_of(items), (Ids{kTrayOpenHistory, kTraySettings, kTrayClearHistory, kTraySnippets, kTrayScreenshot,
                                  0, kTrayQuit}));
    EXPECT_EQ(items[0].label, L"Open history");
}

// The check itself: with a language file that lacks two keys, the menus
// that use them are reported.
TEST_F(ContextMenus, AMissingKeyIsReported) {
    test_support::TempFolder folder;
    std::string english = test_support::read_file(test_support::own_exe_dir() + L"\\lang\\en.ini");
    ASSERT_FALSE(english.empty());
    std::string cut;
    size_t pos = 0;
    while (pos < english.size()) {
        size_t end = english.find('\n', pos);
        if (end == std::string::npos) end = english.size();
        std::string line = english.substr(pos, end - pos);
        if (line.rfind("action.view ", 0) != 0 && line.rfind("editor.ungrouped_group ", 0) != 0) cut += line + "\n";
        pos = end + 1;
    }
    test_support::write_file(folder.file(L"en.ini"), cut);
    ASSERT_TRUE(load_language(folder.path()));

    CardsMenuState s;
    s.selected = 1;
    std::vector<std::string> found = untranslated(history_menu_items(s), "entry");
    std::vector<std::string> found_group = untranslated(template_menu_items({L"Work"}, L"Work", 1), "template");
    set_language(L"en");
    EXPECT_EQ(found, std::vector<std::string>{"entry: \"action.view\""});
    EXPECT_EQ(found_group, std::vector<std::string>{"template > Move to group: \"editor.ungrouped_group\""});
}

}  // namespace
