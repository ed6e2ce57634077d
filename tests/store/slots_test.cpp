// Quick slots: giving, refusing and taking slots.
#include "store_fixture.h"

using namespace store_test;

namespace {

class SlotsTest : public StoreTest {
protected:
    std::vector<std::int64_t> make(int n) {
        std::vector<std::int64_t> ids;
        for (int i = 0; i < n; ++i) {
            ids.push_back(add_text(L"slot entry " + std::to_wstring(next_++)));
        }
        return ids;
    }
    std::vector<std::int64_t> slot_orders() {
        return raw().ids("SELECT slot_order FROM slot_entries ORDER BY slot_order, entry_id");
    }
    int next_ = 0;
};

TEST_F(SlotsTest, AddAppendsByCountAndCutsAtTheMaximum) {
    struct Case {
        const char* what;
        int existing;
        int added;
        int result;
        std::vector<std::int64_t> orders_after;
    } cases[] = {
        {"two after three", 3, 2, 2, {1, 2, 3, 4, 5}},
        {"three onto nine", 9, 3, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"eight into five free places", 4, 8, 5, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const auto& c : cases) {
        raw().exec("DELETE FROM slot_entries");
        std::vector<std::int64_t> existing = make(c.existing);
        ASSERT_EQ(db().add_to_slots(existing, 9), c.existing) << c.what;
        std::vector<std::int64_t> more = make(c.added);
        EXPECT_EQ(db().add_to_slots(more, 9), c.result) << c.what;
        EXPECT_EQ(slot_orders(), c.orders_after) << c.what;
        std::vector<std::int64_t> expected = existing;
        for (int i = 0; i < c.result; ++i) {
            expected.push_back(more[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(ids_of(db().list_slot_entries()), expected) << c.what;
    }
}

TEST_F(SlotsTest, AnEntryHoldsOneSlot) {
    auto ids = make(3);
    EXPECT_EQ(db().add_to_slots({ids[0], ids[1]}, 9), 2);
    EXPECT_EQ(db().add_to_slots({ids[1], ids[0], ids[2]}, 9), 1);
    EXPECT_EQ(ids_of(db().list_slot_entries()), ids);
    EXPECT_FALSE(db().add_to_slot(ids[1], 9));
    EXPECT_EQ(db().add_to_slots({}, 9), 0);
    EXPECT_EQ(db().add_to_slots({ids[0]}, 0), 0);
}

TEST_F(SlotsTest, AddOneAndTheFullSet) {
    auto ids = make(10);
    for (int i = 0; i < 9; ++i) {
        EXPECT_TRUE(db().add_to_slot(ids[static_cast<std::size_t>(i)], 9));
    }
    // Inserted, then cut again: the nine stay as they were.
    EXPECT_TRUE(db().add_to_slot(ids[9], 9));
    auto slots = ids_of(db().list_slot_entries());
    EXPECT_EQ(slots, std::vector<std::int64_t>(ids.begin(), ids.begin() + 9));
}

TEST_F(SlotsTest, OnlyLiveEntriesGetSlots) {
    auto ids = make(2);
    db().trash_entry(ids[0]);
    EXPECT_EQ(db().add_to_slots({ids[0], 424242, ids[1]}, 9), 1);
    EXPECT_FALSE(db().add_to_slot(ids[0], 9));
    EXPECT_FALSE(db().add_to_slot(424242, 9));
    EXPECT_EQ(raw().ids("SELECT entry_id FROM slot_entries"), (std::vector<std::int64_t>{ids[1]}));
}

TEST_F(SlotsTest, RowsOfDeletedEntriesTakeNoPlace) {
    auto ids = make(10);
    db().add_to_slots(ids, 9);
    // Three entries disappear behind the store's back (as an older build's
    // trim left them).
    raw().exec("PRAGMA foreign_keys=OFF");
    raw().exec("DELETE FROM history WHERE id IN (" + std::to_string(ids[0]) + "," +
               std::to_string(ids[1]) + "," + std::to_string(ids[2]) + ")");
    EXPECT_EQ(db().list_slot_entries().size(), 6u);
    EXPECT_EQ(db().add_to_slots({ids[9]}, 9), 1);
    EXPECT_EQ(db().list_slot_entries().size(), 7u);
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM slot_entries"), 7);
}

TEST_F(SlotsTest, RemoveLeavesTheOthersInPlace) {
    auto ids = make(4);
    db().add_to_slots({ids[0], ids[1], ids[2]}, 9);
    EXPECT_TRUE(db().remove_from_slots(ids[0]));
    EXPECT_FALSE(db().remove_from_slots(ids[0]));
    EXPECT_FALSE(db().remove_from_slots(ids[3]));
    EXPECT_EQ(slot_orders(), (std::vector<std::int64_t>{2, 3}));
    // The former slot 2 is now slot 1; a newcomer gets the count + 1.
    EXPECT_EQ(db().list_slot_entries().at(0).id, ids[1]);
    EXPECT_TRUE(db().add_to_slot(ids[3], 9));
    EXPECT_EQ(raw().number("SELECT slot_order FROM slot_entries WHERE entry_id=" + std::to_string(ids[3])), 3);
    EXPECT_EQ(ids_of(db().list_slot_entries()), (std::vector<std::int64_t>{ids[1], ids[2], ids[3]}));
}

TEST_F(SlotsTest, TypedEntryIntoASlotAndTrash) {
    std::int64_t id = db().add_text_entry(L"typed into a slot", std::nullopt, false, true);
    ASSERT_GT(id, 0);
    EXPECT_EQ(ids_of(db().list_slot_entries()), (std::vector<std::int64_t>{id}));
    db().trash_entry(id);
    EXPECT_TRUE(db().list_slot_entries().empty());
    db().restore_entry(id);
    EXPECT_TRUE(db().list_slot_entries().empty());  // restoring gives no slot back
}

}  // namespace
