// The list behind each view, the payload of listed entries, and one-place
// moves of entries and quick slots.
#include "store_fixture.h"
#include "damage_pages.h"

#include <algorithm>
#include <cwchar>
#include <map>

using namespace store_test;

namespace {

// Nine entries with known orders, use counts, pins and categories:
//   t1 text            sort 10 use 5
//   t2 text  in A      sort 20 use 1
//   t3 text  in P      sort 30 use 0   (P is pinned: effectively pinned)
//   t4 image in A      sort 40
//   t5 image own pin   sort 50 use 2
//   t6 text  trashed   sort 60         deleted 2024-01-02
//   t7 text  own pin   sort 5  use 3
//   t8 text  trashed   sort 1          deleted 2024-01-03
//   t9 text  trashed   sort 2          deleted 2024-01-03 (same stamp as t8)
class ViewsTest : public StoreTest {
protected:
    void SetUp() override {
        a_ = db().add_category(L"A");
        p_ = db().add_category(L"P");
        db().set_category_pinned(p_, true);
        id_["t1"] = add_text(L"t1 text");
        id_["t2"] = add_text(L"t2 text", a_);
        id_["t3"] = add_text(L"t3 text", p_);
        id_["t4"] = add_image(L"", pixel_dib(4), a_);
        id_["t5"] = add_image(L"t5 caption", pixel_dib(5));
        id_["t6"] = add_text(L"t6 text");
        id_["t7"] = add_text(L"t7 text");
        id_["t8"] = add_text(L"t8 text");
        id_["t9"] = add_text(L"t9 text");
        db().set_pinned_many({id_["t5"], id_["t7"]}, true);
        db().trash_entries({id_["t6"], id_["t8"], id_["t9"]});
        set("t1", "sort_order=10, use_count=5");
        set("t2", "sort_order=20, use_count=1");
        set("t3", "sort_order=30");
        set("t4", "sort_order=40");
        set("t5", "sort_order=50, use_count=2");
        set("t6", "sort_order=60, deleted_at='2024-01-02T00:00:00'");
        set("t7", "sort_order=5, use_count=3");
        set("t8", "sort_order=1, deleted_at='2024-01-03T00:00:00'");
        set("t9", "sort_order=2, deleted_at='2024-01-03T00:00:00'");
    }
    void set(const std::string& name, const std::string& assignments) {
        raw().exec("UPDATE history SET " + assignments + " WHERE id=" + std::to_string(id_[name]));
    }
    std::vector<std::int64_t> names(std::initializer_list<const char*> list) {
        std::vector<std::int64_t> out;
        for (const char* n : list) {
            out.push_back(id_[n]);
        }
        return out;
    }

    std::int64_t a_ = 0;
    std::int64_t p_ = 0;
    std::map<std::string, std::int64_t> id_;
};

TEST_F(ViewsTest, EveryViewListsItsRowsInOrder) {
    struct Case {
        std::wstring view;
        bool by_use;
        bool pinned_first;
        std::vector<std::int64_t> expected;
    } cases[] = {
        {L"all", false, false, names({"t3", "t2", "t1", "t7"})},
        {L"all", false, true, names({"t3", "t7", "t2", "t1"})},
        {L"all", true, false, names({"t1", "t7", "t2", "t3"})},
        {L"all", true, true, names({"t7", "t3", "t1", "t2"})},
        {L"images", false, false, names({"t5", "t4"})},
        {L"none", false, false, names({"t1", "t7"})},
        {L"none", false, true, names({"t7", "t1"})},
        {L"cat:" + std::to_wstring(a_), false, false, names({"t4", "t2"})},
        {L"cat:" + std::to_wstring(p_), false, false, names({"t3"})},
        {L"cat:xyz", false, false, {}},
        {L"pinned", false, false, names({"t5", "t3", "t7"})},
        {L"trash", false, false, names({"t9", "t8", "t6"})},
        {L"trash", true, true, names({"t9", "t8", "t6"})},
        {L"anything else", false, false,
         names({"t6", "t5", "t4", "t3", "t2", "t1", "t7", "t9", "t8"})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ids_of(db().list_entries(c.view, c.by_use, c.pinned_first)), c.expected)
            << std::string(c.view.begin(), c.view.end()) << " use=" << c.by_use
            << " pinned_first=" << c.pinned_first;
    }
}

TEST_F(ViewsTest, ListsOfLongTextsKeepTheirOrderAndSortNoText) {
    // Three texts of 4 MB each: SQLite orders the rows without carrying
    // their texts, and reads one text at a time.
    for (const char* name : {"t1", "t2", "t3"}) {
        std::string fill(4 * 1024 * 1024, name[1]);
        raw().exec("UPDATE history SET text='" + fill + "' WHERE id=" + std::to_string(id_[name]));
    }
    sqlite3_int64 now = 0, top = 0;
    for (bool by_use : {false, true}) {
        for (bool pinned_first : {false, true}) {
            sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &now, &top, 1);
            const auto listed = db().list_entries(L"all", by_use, pinned_first, Database::Payload::Deferred);
            sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &now, &top, 1);
            EXPECT_LT(top - now, 8 * 1024 * 1024) << "use=" << by_use << " pinned_first=" << pinned_first;
            ASSERT_EQ(listed.size(), 4u);
            for (const auto& e : listed) {
                if (e.id != id_["t7"]) {
                    EXPECT_EQ(e.text.size(), 4u * 1024 * 1024);
                }
            }
        }
    }
    EXPECT_EQ(ids_of(db().list_entries(L"all", false, false)), names({"t3", "t2", "t1", "t7"}));
    EXPECT_EQ(ids_of(db().list_entries(L"all", true, true)), names({"t7", "t3", "t1", "t2"}));
    EXPECT_EQ(ids_of(db().list_entries(L"pinned", false, false)), names({"t5", "t3", "t7"}));
}

TEST_F(ViewsTest, ALongTextOfEveryUtf8WidthIsListedWhole) {
    // Over 2 MiB of UTF-8 with characters of one to four bytes, so that
    // sequences fall across every piece the text is read in.
    std::wstring text;
    const std::wstring kinds[] = {L"a", L"\u00e9", L"\u20ac", L"\U0001F600", L"\r\n"};
    for (int i = 0; text.size() < 1500000; ++i) {
        text += kinds[i % 5];
        if (i % 7 == 0) text += kinds[(i / 7) % 4];
    }
    text = L"start " + text + L" end";
    std::wstring flat = text;
    for (wchar_t& c : flat) {
        if (c == L'\r' || c == L'\n') c = L' ';
    }
    const std::int64_t id = add_text(text, std::nullopt, true);
    ASSERT_GT(id, 0);
    ASSERT_GE(raw().number("SELECT octet_length(text) FROM history WHERE id=" + std::to_string(id)), 2 << 20);
    const auto listed = db().list_entries(L"all", false, false);
    ASSERT_FALSE(listed.empty());
    EXPECT_EQ(listed[0].id, id);
    EXPECT_TRUE(listed[0].text == flat) << listed[0].text.size() << " characters instead of " << flat.size();
    // Texts below the size read in pieces come as before.
    EXPECT_EQ(listed[1].text, L"t3 text");
}

TEST_F(ViewsTest, RecordFieldsAndPayload) {
    db().set_custom_title(id_["t1"], L"Custom");
    db().set_link_title(id_["t1"], L"Link");
    db().set_keep(id_["t1"], true);
    auto pinned = db().list_entries(L"pinned", false, false);
    ASSERT_EQ(pinned.size(), 3u);
    EXPECT_EQ(pinned[0].image, pixel_dib(5));
    EXPECT_TRUE(pinned[0].is_image && pinned[0].pinned && pinned[0].effective_pinned);
    EXPECT_EQ(pinned[0].text, L"t5 caption");
    EXPECT_FALSE(pinned[1].pinned);  // t3: pinned through its category only
    EXPECT_TRUE(pinned[1].effective_pinned);
    EXPECT_EQ(pinned[1].category_id, p_);

    auto none = db().list_entries(L"none", false, false);
    ASSERT_EQ(none.size(), 2u);
    const HistoryEntry& t1 = none[0];
    EXPECT_EQ(t1.id, id_["t1"]);
    EXPECT_EQ(t1.custom_title, L"Custom");
    EXPECT_EQ(t1.link_title, L"Link");
    EXPECT_TRUE(t1.keep);
    EXPECT_EQ(t1.use_count, 5);
    EXPECT_FALSE(t1.category_id);
    EXPECT_TRUE(t1.image.empty());
}

// A list without payload has every other field of the full list; the
// payload read afterwards is the full list's, and an entry that is gone
// stays as it was listed.
TEST_F(ViewsTest, DeferredPayloadIsReadOnRequest) {
    const std::int64_t rich =
        db().add_entry({.text = L"rich text", .rtf = "{\\rtf1 r}", .html = "<b>r</b>", .source_app = L"word.exe",
            .category = a_, .page_title = L"Doc"});
    ASSERT_EQ(db().add_to_slots({id_["t5"], rich}, 9), 2);
    for (const wchar_t* view : {L"all", L"images", L"pinned", L"trash", L"slots"}) {
        SCOPED_TRACE(testing::Message() << std::string(view, view + wcslen(view)));
        const auto full = db().list_entries(view, false, true);
        auto deferred = db().list_entries(view, false, true, Database::Payload::Deferred);
        ASSERT_EQ(ids_of(deferred), ids_of(full));
        for (std::size_t i = 0; i < full.size(); ++i) {
            HistoryEntry e = deferred[i];
            EXPECT_TRUE(e.payload_deferred);
            EXPECT_TRUE(e.rtf.empty() && e.html.empty() && e.image.empty());
            EXPECT_EQ(e.source_app, full[i].source_app);
            EXPECT_EQ(e.source_title, full[i].source_title);
            EXPECT_EQ(e.custom_title, full[i].custom_title);
            EXPECT_EQ(e.created_at, full[i].created_at);
            EXPECT_EQ(e.effective_pinned, full[i].effective_pinned);
            ASSERT_TRUE(db().load_payload(e));
            EXPECT_FALSE(e.payload_deferred);
            EXPECT_EQ(e.rtf, full[i].rtf);
            EXPECT_EQ(e.html, full[i].html);
            EXPECT_EQ(e.image, full[i].image);
            EXPECT_TRUE(db().load_payload(e)) << "a second read changes nothing";
            EXPECT_EQ(e.image, full[i].image);
        }
    }
    auto listed = db().list_entries(L"all", false, true, Database::Payload::Deferred);
    auto it = std::find_if(listed.begin(), listed.end(), [&](const HistoryEntry& e) { return e.id == rich; });
    ASSERT_NE(it, listed.end());
    HistoryEntry gone = *it;
    ASSERT_TRUE(db().purge_entry(rich));
    EXPECT_FALSE(db().load_payload(gone));
    EXPECT_TRUE(gone.payload_deferred);
    EXPECT_EQ(gone.text, L"rich text");
}

TEST_F(ViewsTest, SlotsListLiveEntriesInSlotOrder) {
    raw().exec("INSERT INTO slot_entries (entry_id, slot_order) VALUES (" + std::to_string(id_["t2"]) +
               ",1),(99999,2),(" + std::to_string(id_["t6"]) + ",3),(" + std::to_string(id_["t1"]) +
               ",4),(" + std::to_string(id_["t4"]) + ",4)");
    // Equal orders fall back to the id.
    auto expected = names({"t2", "t1", "t4"});
    EXPECT_EQ(ids_of(db().list_entries(L"slots", true, true)), expected);
    EXPECT_EQ(ids_of(db().list_slot_entries()), expected);
    EXPECT_EQ(db().list_slot_entries()[2].image, pixel_dib(4));
}

// A quick slot whose row no longer reads from the file (a broken page in
// the middle of its text's overflow chain) keeps its place: the slots after
// it stay where they are, the broken one comes without a text, marked not
// read, and reading it whole is refused. Once a text read as one value
// with its row (the row's read then fails), once a text read in pieces.
TEST(SlotsOfADamagedStore, AnUnreadableSlotKeepsItsPlaceMarkedNotRead) {
    struct Case {
        const char* name;
        std::size_t units;
    };
    const Case cases[] = {{"read with its row", 100 * 1000}, {"read in pieces", 2 * 1024 * 1024}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::wstring path = dir.file(L"quillet.db");
        std::vector<std::int64_t> slots;
        {
            Database db(path);
            for (const std::wstring& text : {std::wstring(L"first slot"), std::wstring(c.units, L'Q'),
                                             std::wstring(L"third slot")}) {
                slots.push_back(db.add_entry({.text = text}));
                ASSERT_GT(slots.back(), 0);
                ASSERT_TRUE(db.add_to_slot(slots.back(), 9));
            }
        }
        Database db(path);
        ASSERT_TRUE(db.is_open());
        std::size_t page_size = 0;
        {
            // Another connection's write and checkpoint: the store reads its
            // pages from the file again.
            RawDb other(path);
            other.exec("UPDATE snippets SET use_count=use_count+1");
            other.exec("PRAGMA wal_checkpoint(TRUNCATE)");
            page_size = static_cast<std::size_t>(other.number("PRAGMA page_size"));
        }
        ASSERT_GT(page_size, 0u);
        // A page in the middle of the long text's overflow chain: its next
        // page now lies beyond the end of the file.
        ASSERT_GT(break_overflow_chain(path, page_size, 'Q'), 0u) << "an overflow page in the middle of the chain";

        std::vector<HistoryEntry> listed = db.list_slot_entries();
        std::vector<std::int64_t> listed_ids;
        for (const HistoryEntry& e : listed) listed_ids.push_back(e.id);
        ASSERT_EQ(listed_ids, slots) << "every slot in its place";
        EXPECT_EQ(listed[0].text, L"first slot");
        EXPECT_EQ(listed[0].text_state, TextState::Whole);
        EXPECT_TRUE(listed[1].text.empty());
        EXPECT_EQ(listed[1].text_state, TextState::NotRead);
        EXPECT_EQ(listed[2].text, L"third slot");
        EXPECT_EQ(listed[2].text_state, TextState::Whole);
        HistoryEntry unread = listed[1];
        EXPECT_FALSE(db.load_whole_text(unread)) << "its text is not to be had";
        EXPECT_EQ(unread.text_state, TextState::NotRead);
    }
}

// A record that no reader filled says it holds no text: an empty text is
// never taken for a whole one.
TEST(HistoryRecords, ARecordMadeWithoutAReaderHoldsNoText) {
    const HistoryEntry made;
    EXPECT_EQ(made.text_state, TextState::NotRead);
}

TEST(ReorderIds, MovesTheSelectionAsOneBlock) {
    const std::vector<std::int64_t> five = {1, 2, 3, 4, 5};
    const std::vector<std::int32_t> flat(5, 0);
    const std::vector<std::int32_t> two_classes = {1, 1, 0, 0, 0};
    struct Case {
        std::vector<std::int32_t> classes;
        std::vector<std::int64_t> selected;
        int direction;
        std::vector<std::int64_t> expected;
    } cases[] = {
        {flat, {2, 4}, -1, {2, 4, 1, 3, 5}},
        {flat, {2, 4}, 1, {1, 3, 5, 2, 4}},
        {flat, {3}, -1, {1, 3, 2, 4, 5}},
        {flat, {1}, -1, five},
        {flat, {5}, 1, five},
        {flat, {1, 2, 3, 4, 5}, -1, five},
        {flat, {}, -1, five},
        {flat, {9}, 1, five},
        {flat, {3}, 0, five},
        {flat, {3}, 2, five},
        {{0, 0}, {3}, -1, five},  // classes do not match the order
        {two_classes, {3}, -1, five},
        {two_classes, {2, 3}, 1, five},
        {two_classes, {2}, -1, {2, 1, 3, 4, 5}},
        {two_classes, {3}, 1, {1, 2, 4, 3, 5}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reorder_ids(five, c.classes, c.selected, c.direction), c.expected);
    }
    EXPECT_TRUE(reorder_ids({}, {}, {1}, 1).empty());
}

TEST(MoveScopes, ForEachView) {
    struct Case {
        int view;
        std::int32_t kind;
        std::int64_t category;
    } cases[] = {
        {0, 0, 0}, {1, 5, 0}, {2, 4, 0}, {3, 1, 0}, {4, 0, 0},
        {5, 2, 7}, {6, 3, 0}, {7, 2, 7}, {-1, 0, 0},
    };
    for (const auto& c : cases) {
        MoveScope s = move_scope_for_filter(c.view, 7);
        EXPECT_EQ(s.kind, c.kind) << c.view;
        EXPECT_EQ(s.category_id, c.category) << c.view;
    }
}

TEST(KeysBySign, SplitsHistoryIdsFromSnippetIds) {
    std::vector<std::int64_t> keys = {3, -2, 0, 5, -7};
    EXPECT_EQ(filter_keys_by_sign(keys, true), (std::vector<std::int64_t>{3, 5}));
    EXPECT_EQ(filter_keys_by_sign(keys, false), (std::vector<std::int64_t>{-2, -7}));
}

// Moves in a store of: a trashed row x (sort 10), then a b c d e (sort 5..1,
// a on top); category C holds text c1, image ci and text c2 (sort 9, 8, 7).
class ReorderTest : public StoreTest {
protected:
    void SetUp() override {
        c_ = db().add_category(L"C");
        for (const char* n : {"a", "b", "c", "d", "e", "x"}) {
            id_[n] = add_text(std::wstring(L"entry ") + wchar_t(n[0]));
        }
        id_["c1"] = add_text(L"cat one", c_);
        id_["ci"] = add_image(L"", pixel_dib(1), c_);
        id_["c2"] = add_text(L"cat two", c_);
        db().trash_entry(id_["x"]);
        std::map<std::string, int> order = {{"x", 10}, {"c1", 9}, {"ci", 8}, {"c2", 7}, {"a", 5},
                                            {"b", 4},  {"c", 3},  {"d", 2},  {"e", 1}};
        for (auto& [n, v] : order) {
            raw().exec("UPDATE history SET sort_order=" + std::to_string(v) +
                       " WHERE id=" + std::to_string(id_[n]));
        }
    }
    std::vector<std::int64_t> names(std::initializer_list<const char*> list) {
        std::vector<std::int64_t> out;
        for (const char* n : list) {
            out.push_back(id_[n]);
        }
        return out;
    }
    std::string orders() { return raw().text("SELECT group_concat(sort_order) FROM (SELECT sort_order FROM history ORDER BY id)"); }

    std::int64_t c_ = 0;
    std::map<std::string, std::int64_t> id_;
};

TEST_F(ReorderTest, MovesWithinTheirScope) {
    struct Case {
        const char* what;
        std::vector<const char*> select;
        int direction;
        bool pinned_first;
        std::vector<const char*> pin;
        int view;
        std::wstring list;
        bool moved;
        std::vector<const char*> expected;  // the list afterwards
    } cases[] = {
        {"up one", {"c"}, -1, false, {}, 0, L"none", true, {"a", "c", "b", "d", "e"}},
        {"down a block with a gap", {"b", "d"}, 1, false, {}, 0, L"none", true, {"a", "c", "e", "b", "d"}},
        {"first up", {"a"}, -1, false, {}, 3, L"none", false, {"a", "b", "c", "d", "e"}},
        {"last down", {"e"}, 1, false, {}, 3, L"none", false, {"a", "b", "c", "d", "e"}},
        {"everything", {"a", "b", "c", "d", "e", "c1", "c2"}, 1, false, {}, 0, L"none", false,
         {"a", "b", "c", "d", "e"}},
        {"past the pinned block", {"b"}, -1, true, {"a"}, 3, L"none", false, {"a", "b", "c", "d", "e"}},
        {"mixed pin classes", {"a", "b"}, 1, true, {"a"}, 3, L"none", false, {"a", "b", "c", "d", "e"}},
        {"among the pinned", {"b"}, -1, true, {"a", "b"}, 3, L"none", true, {"b", "a", "c", "d", "e"}},
        {"category skips its image", {"c2"}, -1, false, {}, 5, L"cat", true, {"c2", "ci", "c1"}},
        {"trashed rows are outside every scope", {"x"}, -1, false, {}, 4, L"none", false,
         {"a", "b", "c", "d", "e"}},
    };
    for (const auto& c : cases) {
        // Every case starts from the same rows and ids.
        raw().exec("DELETE FROM slot_entries; DELETE FROM history; DELETE FROM categories; "
                   "DELETE FROM sqlite_sequence WHERE name IN ('history', 'categories');");
        id_.clear();
        SetUp();
        std::vector<std::int64_t> pins;
        for (const char* n : c.pin) {
            pins.push_back(id_[n]);
        }
        if (!pins.empty()) {
            db().set_pinned_many(pins, true);
        }
        std::vector<std::int64_t> selected;
        for (const char* n : c.select) {
            selected.push_back(id_[n]);
        }
        std::string before = orders();
        MoveScope scope = move_scope_for_filter(c.view, c_);
        EXPECT_EQ(db().reorder_entries(selected, c.direction, c.pinned_first, scope), c.moved) << c.what;
        if (!c.moved) {
            EXPECT_EQ(orders(), before) << c.what;
        } else {
            // The whole table is numbered 1..n in display order.
            EXPECT_EQ(raw().text("SELECT group_concat(sort_order) FROM (SELECT sort_order FROM history "
                                 "ORDER BY sort_order)"),
                      "1,2,3,4,5,6,7,8,9");
        }
        std::wstring view = c.list == L"cat" ? L"cat:" + std::to_wstring(c_) : c.list;
        std::vector<std::int64_t> expected;
        for (const char* n : c.expected) {
            expected.push_back(id_[n]);
        }
        EXPECT_EQ(ids_of(db().list_entries(view, false, c.pinned_first)), expected) << c.what;
    }
}

TEST_F(ReorderTest, EmptySelectionMovesNothing) {
    EXPECT_FALSE(db().reorder_entries({}, -1, false, MoveScope{}));
}

TEST_F(ReorderTest, QuickSlotsMoveAmongLiveSlots) {
    ASSERT_EQ(db().add_to_slots(names({"a", "b", "c"}), 9), 3);
    // A row of a deleted entry is no position.
    raw().exec("INSERT INTO slot_entries (entry_id, slot_order) VALUES (77777, 2)");
    EXPECT_TRUE(db().reorder_slots(names({"c"}), -1));
    EXPECT_EQ(ids_of(db().list_slot_entries()), names({"a", "c", "b"}));
    EXPECT_EQ(raw().text("SELECT group_concat(slot_order) FROM (SELECT slot_order FROM slot_entries "
                         "WHERE entry_id<>77777 ORDER BY slot_order)"),
              "1,2,3");
    EXPECT_FALSE(db().reorder_slots(names({"a"}), -1));
    EXPECT_FALSE(db().reorder_slots(names({"b"}), 1));
    EXPECT_FALSE(db().reorder_slots({}, 1));
    EXPECT_TRUE(db().reorder_slots(names({"a", "c"}), 1));
    EXPECT_EQ(ids_of(db().list_slot_entries()), names({"b", "a", "c"}));
}

}  // namespace
