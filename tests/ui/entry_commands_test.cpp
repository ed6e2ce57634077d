// The entry commands that ask nothing, on real rows of a store in a
// temporary folder: keep, pin, restore, delete for good of one row,
// categories, quick slots and moves; the move arithmetic, the moved row on
// a real list box, the selection read from one, the row under the pointer,
// the presets, the total label and the address menu.
#include "ui/entry_commands.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "store/database.h"
#include "tests/core/temp_folder.h"
#include "ui/list_model.h"
#include "ui/popup_menu.h"

namespace {

class EntryCommands : public testing::Test {
protected:
    static void SetUpTestSuite() { set_language(L"en"); }

    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        db_ = std::make_unique<Database>(dir_.file(L"quillet.db"));
        ASSERT_TRUE(db_->is_open());
    }

    // Texts added oldest first; the list shows them newest first.
    std::vector<std::int64_t> add_texts(int n, const std::wstring& stem = L"entry ") {
        std::vector<std::int64_t> ids;
        for (int i = 0; i < n; ++i) {
            ids.push_back(db_->add_text_entry(stem + std::to_wstring(i), std::nullopt, false, false));
            EXPECT_GT(ids.back(), 0);
        }
        return ids;
    }

    // The context of a history view with the listed entries of its view key
    // and the rows given by their list indexes.
    EntryCommandContext view(std::int32_t kind, std::int64_t category = -1) {
        ListView v;
        v.view_kind = kind;
        v.category_id = category;
        entries_ = db_->list_entries(view_key_for(v), settings_.sort_by_frequency, settings_.pinned_first);
        templates_ = kind == kViewTrash ? db_->list_trashed_snippets() : std::vector<Snippet>{};
        EntryCommandContext c;
        c.db = db_.get();
        c.settings = &settings_;
        c.view_kind = kind;
        c.category_id = category;
        c.trash_view = kind == kViewTrash;
        c.row_count = static_cast<int>(entries_.size() + templates_.size());
        c.entries = &entries_;
        c.templates = &templates_;
        return c;
    }
    EntryCommandContext with_keys(EntryCommandContext c, const std::vector<std::int64_t>& keys) {
        c.selected = keys;
        c.selected_rows.clear();
        for (std::int64_t k : keys) {
            for (std::size_t i = 0; i < entries_.size(); ++i)
                if (entries_[i].id == k) c.selected_rows.push_back(static_cast<int>(i));
        }
        return c;
    }
    EntryCommandContext with_rows(EntryCommandContext c, const std::vector<int>& rows) {
        c.selected_rows = rows;
        c.selected.clear();
        for (int r : rows) c.selected.push_back(entries_[static_cast<std::size_t>(r)].id);
        return c;
    }

    std::vector<std::int64_t> order(const std::wstring& key = L"all") {
        std::vector<std::int64_t> ids;
        for (const HistoryEntry& e : db_->list_entries(key, false, settings_.pinned_first)) ids.push_back(e.id);
        return ids;
    }
    HistoryEntry entry(std::int64_t id) {
        for (const HistoryEntry& e : db_->list_entries(L"every", false, false))
            if (e.id == id) return e;
        return {};
    }
    bool listed(const std::wstring& key, std::int64_t id) {
        const std::vector<std::int64_t> ids = order(key);
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    }

    test_support::TempFolder dir_;
    Settings settings_;
    std::unique_ptr<Database> db_;
    std::vector<HistoryEntry> entries_;
    std::vector<Snippet> templates_;
};

// --- keep and pin ------------------------------------------------------------------------

TEST_F(EntryCommands, KeepFlipsWhatTheStoreHoldsForTheSingleSelectedEntry) {
    const std::vector<std::int64_t> ids = add_texts(2);
    CommandResult r = toggle_keep_selected(with_keys(view(kViewAll), {ids[0]}));
    EXPECT_TRUE(r.refresh);
    EXPECT_TRUE(db_->is_kept(ids[0]));
    EXPECT_TRUE(toggle_keep_selected(with_keys(view(kViewAll), {ids[0]})).refresh);
    EXPECT_FALSE(db_->is_kept(ids[0]));

    // Two rows, a template key or nothing selected: no single entry.
    EXPECT_FALSE(toggle_keep_selected(with_keys(view(kViewAll), {ids[0], ids[1]})).refresh);
    EXPECT_FALSE(toggle_keep_selected(with_keys(view(kViewAll), {-ids[0]})).refresh);
    EXPECT_FALSE(toggle_keep_selected(view(kViewAll)).refresh);
    EXPECT_FALSE(db_->is_kept(ids[0]));
    EXPECT_FALSE(db_->is_kept(ids[1]));
}

TEST_F(EntryCommands, PinPinsAllUnlessAllArePinned) {
    const std::vector<std::int64_t> ids = add_texts(3);
    ASSERT_EQ(db_->set_pinned_many({ids[0]}, true), 1);
    // One pinned, one not: both pinned.
    EXPECT_TRUE(toggle_pin_selected(with_keys(view(kViewAll), {ids[0], ids[1]})).refresh);
    EXPECT_TRUE(entry(ids[0]).pinned);
    EXPECT_TRUE(entry(ids[1]).pinned);
    // Both pinned: both unpinned.
    EXPECT_TRUE(toggle_pin_selected(with_keys(view(kViewAll), {ids[0], ids[1]})).refresh);
    EXPECT_FALSE(entry(ids[0]).pinned);
    EXPECT_FALSE(entry(ids[1]).pinned);

    // Pinned through its category counts as pinned: unpinning sets the override.
    const std::int64_t cat = db_->add_category(L"Pinned category");
    ASSERT_GT(cat, 0);
    ASSERT_TRUE(db_->set_category_pinned(cat, true));
    ASSERT_TRUE(db_->set_entry_category(ids[2], cat));
    ASSERT_TRUE(entry(ids[2]).effective_pinned);
    EXPECT_TRUE(toggle_pin_selected(with_keys(view(kViewAll), {ids[2]})).refresh);
    EXPECT_FALSE(entry(ids[2]).effective_pinned);

    // An id no longer listed counts as not pinned: the selection is pinned.
    EntryCommandContext c = with_keys(view(kViewAll), {ids[0]});
    entries_.clear();
    EXPECT_TRUE(toggle_pin_selected(c).refresh);
    EXPECT_TRUE(entry(ids[0]).pinned);

    // Templates and headers are never pinned; nothing else selected: nothing.
    EXPECT_FALSE(toggle_pin_selected(with_keys(view(kViewAll), {-4, kGroupHeaderKey})).refresh);
}

// --- trash ------------------------------------------------------------------------------------

TEST_F(EntryCommands, RestoreBringsBackEntriesAndTemplatesButNotTheirSlots) {
    const std::vector<std::int64_t> ids = add_texts(3);
    const std::int64_t tpl = db_->add_snippet(L"Old template", L"body", L"");
    const std::int64_t tpl2 = db_->add_snippet(L"Second template", L"body", L"");
    ASSERT_TRUE(db_->add_to_slot(ids[0], 9));
    ASSERT_EQ(db_->trash_entries(ids), 3);
    ASSERT_TRUE(db_->trash_snippet(tpl));
    ASSERT_TRUE(db_->trash_snippet(tpl2));

    // One entry row.
    EXPECT_TRUE(restore_selected(with_keys(view(kViewTrash), {ids[0]})).refresh);
    EXPECT_TRUE(listed(L"all", ids[0]));
    EXPECT_FALSE(listed(L"slots", ids[0])) << "a restored entry has no quick slot";
    // One template row, looked up among the trashed templates.
    EXPECT_TRUE(restore_selected(with_keys(view(kViewTrash), {-tpl})).refresh);
    EXPECT_EQ(db_->list_snippets().size(), 1u + 2u) << "the two default templates and the restored one";
    // A template no longer listed, and a header: nothing.
    EXPECT_FALSE(restore_selected(with_keys(view(kViewTrash), {-tpl})).refresh);
    EXPECT_FALSE(restore_selected(with_keys(view(kViewTrash), {kGroupHeaderKey})).refresh);
    // Several rows at once, a header among them.
    EXPECT_TRUE(restore_selected(with_keys(view(kViewTrash), {ids[1], kGroupHeaderKey, -tpl2, ids[2]})).refresh);
    EXPECT_TRUE(listed(L"all", ids[1]));
    EXPECT_TRUE(listed(L"all", ids[2]));
    EXPECT_TRUE(db_->list_trashed_snippets().empty());
    EXPECT_FALSE(restore_selected(view(kViewTrash)).refresh);
}

TEST_F(EntryCommands, DeleteForeverOfOneRowAsksNothingAndActsOnlyInTheTrash) {
    const std::vector<std::int64_t> ids = add_texts(2);
    const std::int64_t tpl = db_->add_snippet(L"Gone template", L"body", L"");
    ASSERT_EQ(db_->trash_entries({ids[0]}), 1);
    ASSERT_TRUE(db_->trash_snippet(tpl));

    EXPECT_TRUE(delete_forever_selected(with_keys(view(kViewTrash), {ids[0]})).refresh);
    EXPECT_EQ(entry(ids[0]).id, 0) << "purged";
    EXPECT_TRUE(delete_forever_selected(with_keys(view(kViewTrash), {-tpl})).refresh);
    EXPECT_TRUE(db_->list_trashed_snippets().empty());
    EXPECT_FALSE(delete_forever_selected(with_keys(view(kViewTrash), {kGroupHeaderKey})).refresh);

    // Outside the trash a live entry is never purged by this command.
    EXPECT_FALSE(delete_forever_selected(with_keys(view(kViewAll), {ids[1]})).refresh);
    EXPECT_EQ(entry(ids[1]).id, ids[1]);
}

// --- the store's text edit -------------------------------------------------------------------

TEST_F(EntryCommands, ReplacingTheTextClearsRtfAndHtmlAndReportsTheChange) {
    const std::int64_t id =
        db_->add_entry({.text = L"rich words", .rtf = "{\\rtf1 rich}", .html = "<b>rich</b>",
            .source_app = L"winword.exe"});
    ASSERT_GT(id, 0);
    ASSERT_FALSE(entry(id).rtf.empty());
    EXPECT_TRUE(db_->replace_entry_text(id, L"plain words"));
    const HistoryEntry e = entry(id);
    EXPECT_EQ(e.text, L"plain words");
    EXPECT_TRUE(e.rtf.empty());
    EXPECT_TRUE(e.html.empty());
    EXPECT_FALSE(db_->replace_entry_text(id, L"")) << "an empty text is refused";
    EXPECT_EQ(entry(id).text, L"plain words");
    EXPECT_FALSE(db_->replace_entry_text(id + 100, L"nobody")) << "no such entry";
}

// --- categories and quick slots ------------------------------------------------------------

TEST_F(EntryCommands, RemoveFromCategoryTakesTheSingleEntryOut) {
    const std::vector<std::int64_t> ids = add_texts(2);
    const std::int64_t cat = db_->add_category(L"Work");
    ASSERT_EQ(db_->set_entries_category(ids, cat), 2);
    EXPECT_TRUE(remove_selected_from_category(with_keys(view(kViewCategory, cat), {ids[0]})).refresh);
    EXPECT_FALSE(entry(ids[0]).category_id.has_value());
    EXPECT_EQ(entry(ids[1]).category_id, cat);
    // Only a single selected entry is taken out.
    EXPECT_FALSE(remove_selected_from_category(with_keys(view(kViewCategory, cat), {ids[1], ids[0]})).refresh);
    EXPECT_EQ(entry(ids[1]).category_id, cat);
}

TEST_F(EntryCommands, SlotsAreAddedUpToNineAndRemovedWithARefreshOnlyWhenOneWent) {
    const std::vector<std::int64_t> ids = add_texts(11);
    EXPECT_TRUE(add_selected_to_slots(with_keys(view(kViewAll), {ids[0], ids[1], kGroupHeaderKey, -3})).refresh);
    EXPECT_EQ(order(L"slots").size(), 2u);
    EXPECT_TRUE(add_selected_to_slots(with_keys(view(kViewAll), ids)).refresh);
    EXPECT_EQ(order(L"slots").size(), 9u) << "at most nine quick slots";
    EXPECT_FALSE(add_selected_to_slots(with_keys(view(kViewAll), {-3})).refresh);

    EXPECT_TRUE(remove_selected_from_slots(with_keys(view(kViewSlots), {ids[0], ids[1]})).refresh);
    EXPECT_EQ(order(L"slots").size(), 7u);
    EXPECT_FALSE(remove_selected_from_slots(with_keys(view(kViewAll), {ids[0], ids[1]})).refresh)
        << "no slot was removed";
}

// --- moves ------------------------------------------------------------------------------------

TEST(RowMovePlan, NeighbourRowAndTheRowsThatCannotMove) {
    struct Case {
        std::vector<int> rows;
        int count, direction;
        bool moves;
        int from, to;
    };
    const std::vector<Case> cases = {
        {{4, 5}, 10, -1, true, 3, 5},   // up: the row above goes below the block
        {{4, 5}, 10, +1, true, 6, 4},   // down: the row below goes above the block
        {{0}, 10, -1, false, 0, 0},     // the top row up
        {{9}, 10, +1, false, 0, 0},     // the bottom row down
        {{4, 6}, 10, -1, false, 0, 0},  // not consecutive
        {{}, 10, -1, false, 0, 0},      // no rows
        {{3}, 10, 0, false, 0, 0},      // no direction
        {{8, 9, 10}, 10, -1, false, 0, 0},  // beyond the list
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.rows) + " direction " + std::to_string(c.direction));
        std::optional<RowMove> m = plan_row_move(c.rows, c.count, c.direction);
        ASSERT_EQ(m.has_value(), c.moves);
        if (m) {
            EXPECT_EQ(m->from, c.from);
            EXPECT_EQ(m->to, c.to);
        }
    }
}

TEST_F(EntryCommands, MoveUpOfTwoAdjacentRowsMovesTheRowAboveBelowThem) {
    add_texts(8);
    EntryCommandContext c = with_rows(view(kViewAll), {4, 5});
    const std::vector<std::int64_t> before = order();
    CommandResult r = move_selected(c, -1);
    ASSERT_TRUE(r.rows_moved);
    EXPECT_FALSE(r.refresh) << "moved in place, not rebuilt";
    EXPECT_EQ(r.move_from, 3);
    EXPECT_EQ(r.move_to, 5);
    EXPECT_EQ(r.moved_ids, (std::vector<std::int64_t>{before[4], before[5]}));
    std::vector<std::int64_t> expected = before;
    std::rotate(expected.begin() + 3, expected.begin() + 4, expected.begin() + 6);
    EXPECT_EQ(order(), expected) << "rows 4 and 5 now at 3 and 4";

    // And down again.
    r = move_selected(with_rows(view(kViewAll), {3, 4}), +1);
    ASSERT_TRUE(r.rows_moved);
    EXPECT_EQ(r.move_from, 5);
    EXPECT_EQ(r.move_to, 3);
    EXPECT_EQ(order(), before);
}

TEST_F(EntryCommands, MovesThatChangeNoOrder) {
    add_texts(8);
    const std::int64_t cat = db_->add_category(L"Somewhere");
    const std::vector<std::int64_t> before = order();
    struct Case {
        const char* name;
        std::function<EntryCommandContext()> make;
        int direction;
        bool refresh;
    };
    const std::vector<Case> cases = {
        {"rows not adjacent", [&] { return with_rows(view(kViewAll), {4, 6}); }, -1, true},
        {"the top row up", [&] { return with_rows(view(kViewAll), {0, 1}); }, -1, false},
        {"the bottom row down", [&] { return with_rows(view(kViewAll), {7}); }, +1, false},
        {"the pinned view",
         [&] {
             EntryCommandContext c = with_rows(view(kViewAll), {3, 4});
             c.view_kind = kViewPinned;
             return c;
         },
         -1, false},
        {"a search text",
         [&] {
             EntryCommandContext c = with_rows(view(kViewAll), {3});
             c.search_empty = false;
             return c;
         },
         -1, false},
        {"templates mode",
         [&] {
             EntryCommandContext c = with_rows(view(kViewAll), {3});
             c.templates_mode = true;
             return c;
         },
         -1, false},
        {"frequency sorting",
         [&] {
             EntryCommandContext c = with_rows(view(kViewAll), {3});
             settings_.sort_by_frequency = true;  // reset after the move
             return c;
         },
         -1, true},
        {"direction 0", [&] { return with_rows(view(kViewAll), {3}); }, 0, false},
        {"a category view without those rows", [&] {
             EntryCommandContext c = with_rows(view(kViewAll), {3});
             c.view_kind = kViewCategory;
             c.category_id = cat;
             return c;
         }, -1, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        EntryCommandContext c = k.make();
        CommandResult r = move_selected(c, k.direction);
        settings_.sort_by_frequency = false;
        EXPECT_FALSE(r.rows_moved);
        EXPECT_EQ(r.refresh, k.refresh);
        EXPECT_EQ(order(), before);
    }
}

TEST_F(EntryCommands, MovesInTheQuickSlotsViewReorderTheSlots) {
    const std::vector<std::int64_t> ids = add_texts(4);
    ASSERT_EQ(db_->add_to_slots(ids, 9), 4);
    const std::vector<std::int64_t> before = order(L"slots");
    ASSERT_EQ(before, ids) << "slots in the order they were given";
    CommandResult r = move_selected(with_rows(view(kViewSlots), {2}), -1);
    ASSERT_TRUE(r.rows_moved);
    EXPECT_EQ(order(L"slots"), (std::vector<std::int64_t>{ids[0], ids[2], ids[1], ids[3]}));
    EXPECT_EQ(order(), (std::vector<std::int64_t>{ids[3], ids[2], ids[1], ids[0]})) << "history order unchanged";
}

// --- list boxes ---------------------------------------------------------------------------------

class ListBoxTest : public testing::Test {
protected:
    void SetUp() override {
        list_ = CreateWindowExW(0, L"LISTBOX", L"",
                                WS_POPUP | WS_VSCROLL | LBS_NOTIFY | LBS_EXTENDEDSEL | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                                100, 100, 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(list_, nullptr);
        for (int i = 0; i < 20; ++i) add(i);
    }
    void TearDown() override { DestroyWindow(list_); }
    void add(int i) {
        const LRESULT at = SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(i).c_str()));
        SendMessageW(list_, LB_SETITEMDATA, at, 1000 + i);
    }
    std::vector<std::int64_t> keys() {
        std::vector<std::int64_t> out;
        const int n = static_cast<int>(SendMessageW(list_, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) out.push_back(static_cast<std::int64_t>(SendMessageW(list_, LB_GETITEMDATA, i, 0)));
        return out;
    }
    std::vector<int> selected_rows() {
        std::vector<int> out;
        const int n = static_cast<int>(SendMessageW(list_, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i)
            if (SendMessageW(list_, LB_GETSEL, i, 0) > 0) out.push_back(i);
        return out;
    }
    POINT screen_point_of_row(int row) {
        RECT rc{};
        SendMessageW(list_, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rc));
        POINT pt{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
        ClientToScreen(list_, &pt);
        return pt;
    }
    HWND list_ = nullptr;
};

TEST_F(ListBoxTest, SelectionIsReadWithKeysRowsAndCount) {
    SendMessageW(list_, LB_SETSEL, TRUE, 7);
    SendMessageW(list_, LB_SETSEL, TRUE, 2);
    SendMessageW(list_, LB_SETSEL, TRUE, 3);
    EntryCommandContext c;
    read_list_selection(list_, c);
    EXPECT_EQ(c.row_count, 20);
    EXPECT_EQ(c.selected_rows, (std::vector<int>{2, 3, 7}));
    EXPECT_EQ(c.selected, (std::vector<std::int64_t>{1002, 1003, 1007}));
    SendMessageW(list_, LB_SETSEL, FALSE, -1);
    read_list_selection(list_, c);
    EXPECT_TRUE(c.selected.empty());
    EXPECT_TRUE(c.selected_rows.empty());
}

TEST_F(ListBoxTest, AMovedRowIsMovedInPlaceWithTheSelectionAndTopRowKept) {
    SendMessageW(list_, LB_SETTOPINDEX, 2, 0);
    const LRESULT top = SendMessageW(list_, LB_GETTOPINDEX, 0, 0);
    SendMessageW(list_, LB_SETSEL, TRUE, 4);
    SendMessageW(list_, LB_SETSEL, TRUE, 5);
    CommandResult r;
    r.rows_moved = true;
    r.move_from = 3;
    r.move_to = 5;
    r.moved_ids = {1004, 1005};
    int calls = 0;
    apply_row_move(list_, r, [&](int from, int to) {
        ++calls;
        wchar_t text[16] = {};
        SendMessageW(list_, LB_GETTEXT, from, reinterpret_cast<LPARAM>(text));
        const LRESULT data = SendMessageW(list_, LB_GETITEMDATA, from, 0);
        SendMessageW(list_, LB_DELETESTRING, from, 0);
        SendMessageW(list_, LB_INSERTSTRING, to, reinterpret_cast<LPARAM>(text));
        SendMessageW(list_, LB_SETITEMDATA, to, data);
        return true;
    });
    EXPECT_EQ(calls, 1);
    std::vector<std::int64_t> k = keys();
    EXPECT_EQ(std::vector<std::int64_t>(k.begin() + 2, k.begin() + 7),
              (std::vector<std::int64_t>{1002, 1004, 1005, 1003, 1006}));
    EXPECT_EQ(selected_rows(), (std::vector<int>{3, 4}));
    EXPECT_EQ(SendMessageW(list_, LB_GETCARETINDEX, 0, 0), 3);
    EXPECT_EQ(SendMessageW(list_, LB_GETTOPINDEX, 0, 0), top);

    // A result without a move changes nothing.
    apply_row_move(list_, CommandResult{}, [&](int, int) { return ++calls > 0; });
    EXPECT_EQ(calls, 1);
}

TEST_F(ListBoxTest, TheRowUnderThePointerBecomesTheSelectionUnlessAlreadySelected) {
    ShowWindow(list_, SW_SHOWNOACTIVATE);
    SendMessageW(list_, LB_SETSEL, TRUE, 1);
    SendMessageW(list_, LB_SETSEL, TRUE, 2);
    // A selected row keeps the whole selection; the caret moves there.
    select_row_at(list_, screen_point_of_row(2), true);
    EXPECT_EQ(selected_rows(), (std::vector<int>{1, 2}));
    EXPECT_EQ(SendMessageW(list_, LB_GETCARETINDEX, 0, 0), 2);
    // An unselected row becomes the only one.
    select_row_at(list_, screen_point_of_row(4), true);
    EXPECT_EQ(selected_rows(), (std::vector<int>{4}));
    EXPECT_EQ(SendMessageW(list_, LB_GETCARETINDEX, 0, 0), 4);
    // Below the rows, and no list: nothing.
    RECT rc{};
    GetWindowRect(list_, &rc);
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    add(0);
    SendMessageW(list_, LB_SETSEL, TRUE, 0);
    select_row_at(list_, POINT{rc.left + 20, rc.bottom - 5}, true);
    EXPECT_EQ(selected_rows(), (std::vector<int>{0}));
    select_row_at(nullptr, POINT{0, 0}, true);
}

// --- presets, labels, keys ----------------------------------------------------------------------

TEST(EntryCommandTexts, CategoryPresetTotalLabelAndKeys) {
    set_language(L"en");
    NewEntryPreset p = new_entry_preset_for_category(7);
    EXPECT_TRUE(p.allowed);
    EXPECT_EQ(p.category_id, 7);
    EXPECT_FALSE(p.pinned);
    EXPECT_FALSE(p.quick_slot);
    EXPECT_FALSE(new_entry_preset_for_category(0).allowed);
    EXPECT_FALSE(new_entry_preset_for_category(-1).allowed);

    const std::vector<std::pair<std::int64_t, std::wstring>> totals = {
        {-5, L"0"}, {0, L"0"}, {12, L"12"}, {std::int64_t{1} << 40, L"2147483647"}};
    for (const auto& [n, shown] : totals) EXPECT_EQ(total_label_text(n), L"Entries: " + shown) << n;

    const std::vector<std::int64_t> keys = {5, -3, kGroupHeaderKey, kUngroupedHeaderKey, 0, 9, -1};
    EXPECT_EQ(entry_keys(keys), (std::vector<std::int64_t>{5, 9}));
    EXPECT_EQ(template_keys(keys), (std::vector<std::int64_t>{-3, -1})) << "headers are no templates";
}

TEST(EntryCommandTexts, ShowTimeFlipsTheWindowFlagAndTheSetting) {
    Settings s;
    bool flag = true;
    s.show_time = true;
    toggle_show_time(flag, &s);
    EXPECT_FALSE(flag);
    EXPECT_FALSE(s.show_time);
    toggle_show_time(flag, nullptr);
    EXPECT_TRUE(flag);
}

TEST_F(EntryCommands, TheEntryToOpenIsACopyOfTheSingleListedEntry) {
    const std::vector<std::int64_t> ids = add_texts(2);
    EntryCommandContext c = with_keys(view(kViewAll), {ids[1]});
    std::optional<HistoryEntry> e = entry_to_open(c);
    entries_.clear();
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->text, L"entry 1");
    EXPECT_FALSE(entry_to_open(with_keys(view(kViewAll), ids)).has_value());
    EXPECT_FALSE(entry_to_open(with_keys(view(kViewAll), {-2})).has_value());
}

TEST(AddressLine, OpenIsOfferedAndRunOnlyForWebAddresses) {
    set_language(L"en");
    struct Case {
        std::wstring address;
        bool web;
    };
    const std::vector<Case> cases = {
        {L"https://example.org/page", true},
        {L"HTTP://example.org", true},
        {L"C:\\Windows\\System32\\calc.exe", false},
        {L"file:///C:/Windows/System32/calc.exe", false},
        {L"\\\\server\\share\\run.bat", false},
        {L"javascript:alert(1)", false},
        {L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(to_utf8(c.address)));
        std::vector<PopupMenuItem> items = address_menu_items(c.address);
        ASSERT_EQ(items.size(), c.web ? 2u : 1u);
        if (c.web) {
            EXPECT_EQ(items[0].id, 1u);
            EXPECT_EQ(items[0].label, tr(L"action.open"));
        }
        EXPECT_EQ(items.back().id, 2u);
        EXPECT_EQ(items.back().label, tr(L"action.copy"));
        if (!c.web) {
            EXPECT_FALSE(run_address_choice(1, c.address)) << "nothing is opened";
        }
    }
    EXPECT_FALSE(run_address_choice(0, L"https://example.org"));
    EXPECT_FALSE(run_address_choice(3, L"https://example.org"));
}

}  // namespace
