// Categories: find-or-create, rename, pin, order and the two deletes.
#include "store_fixture.h"

#include <cstring>
#include <map>

using namespace store_test;

namespace {

class CategoriesTest : public StoreTest {
protected:
    std::vector<std::wstring> names() {
        std::vector<std::wstring> out;
        for (const auto& c : db().list_categories()) {
            out.push_back(c.name);
        }
        return out;
    }
};

TEST_F(CategoriesTest, AddFindsOrCreatesByTrimmedName) {
    struct Case {
        std::wstring name;
        const char* same_as;  // earlier case whose id is expected, or null for a new one
        std::int64_t order;
    } cases[] = {
        {L"  Work \t", nullptr, 1},
        {L"Work", "  Work \t", 1},
        {L"\r\nWork\n", "  Work \t", 1},
        {L"Home", nullptr, 2},
        {L"work", nullptr, 3},  // names are compared exactly
    };
    std::map<std::wstring, std::int64_t> ids;
    for (const auto& c : cases) {
        std::int64_t id = db().add_category(c.name);
        ASSERT_GT(id, 0);
        if (c.same_as) {
            std::wstring key(c.same_as, c.same_as + std::strlen(c.same_as));
            EXPECT_EQ(id, ids[key]);
        }
        ids[c.name] = id;
        EXPECT_EQ(raw().number("SELECT cat_order FROM categories WHERE id=" + std::to_string(id)), c.order);
    }
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Work", L"Home", L"work"}));
    EXPECT_EQ(db().add_category(L" \t\r\n "), -1);
    EXPECT_EQ(db().add_category(L""), -1);
    EXPECT_EQ(db().list_categories().size(), 3u);
}

TEST_F(CategoriesTest, OrderIsOneAboveTheLargestWhateverTheIds) {
    raw().exec("INSERT INTO categories (id, name, cat_order) VALUES (50, 'Far', 7)");
    std::int64_t id = db().add_category(L"Next");
    EXPECT_EQ(raw().number("SELECT cat_order FROM categories WHERE id=" + std::to_string(id)), 8);
    EXPECT_EQ(id, 51);
}

TEST_F(CategoriesTest, FailedInsertReturnsNoId) {
    raw().exec("CREATE TRIGGER refuse BEFORE INSERT ON categories BEGIN SELECT RAISE(ABORT, 'no'); END");
    add_text(L"an entry to leave a row id behind");
    EXPECT_EQ(db().add_category(L"Never"), 0);
    EXPECT_TRUE(db().list_categories().empty());
}

TEST_F(CategoriesTest, Rename) {
    std::int64_t a = db().add_category(L"Alpha");
    std::int64_t b = db().add_category(L"Beta");
    EXPECT_TRUE(db().rename_category(a, L"  Gamma "));
    EXPECT_FALSE(db().rename_category(a, L"Beta"));  // taken: refused, reported
    EXPECT_FALSE(db().rename_category(b, L"   "));
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Gamma", L"Beta"}));
    EXPECT_TRUE(db().rename_category(999, L"Nobody"));  // changes no row
}

TEST_F(CategoriesTest, PinAndToggle) {
    std::int64_t a = db().add_category(L"Alpha");
    EXPECT_TRUE(db().set_category_pinned(a, true));
    EXPECT_TRUE(db().list_categories()[0].pinned);
    struct Case {
        const char* stored;
        bool after;
    } cases[] = {{"1", false}, {"0", true}, {"'1'", false}, {"2", true}, {"'yes'", true}};
    for (const auto& c : cases) {
        raw().exec(std::string("UPDATE categories SET pinned=") + c.stored + " WHERE id=" + std::to_string(a));
        EXPECT_TRUE(db().toggle_category_pinned(a)) << c.stored;
        EXPECT_EQ(db().list_categories()[0].pinned, c.after) << c.stored;
    }
    EXPECT_FALSE(db().toggle_category_pinned(999));
}

TEST_F(CategoriesTest, MoveSwapsWithTheNeighbour) {
    std::int64_t a = db().add_category(L"A");
    std::int64_t b = db().add_category(L"B");
    std::int64_t c = db().add_category(L"C");
    struct Case {
        std::int64_t id;
        int direction;
        bool moved;
        std::vector<std::wstring> after;
    } cases[] = {
        {a, -1, false, {L"A", L"B", L"C"}},
        {c, 1, false, {L"A", L"B", L"C"}},
        {c, 5, false, {L"A", L"B", L"C"}},  // any direction but -1 is down
        {b, -1, true, {L"B", L"A", L"C"}},
        {b, 1, true, {L"A", L"B", L"C"}},
        {a, 1, true, {L"B", L"A", L"C"}},
        {999, 1, false, {L"B", L"A", L"C"}},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(db().move_category(k.id, k.direction), k.moved) << k.id << " " << k.direction;
        EXPECT_EQ(names(), k.after);
    }
    auto orders = raw().ids("SELECT cat_order FROM categories ORDER BY cat_order");
    EXPECT_EQ(orders, (std::vector<std::int64_t>{1, 2, 3}));
}

TEST_F(CategoriesTest, DeleteKeepsTheEntriesUncategorised) {
    std::int64_t cat = db().add_category(L"Gone");
    std::int64_t live = add_text(L"live entry", cat);
    std::int64_t trashed = add_text(L"trashed entry", cat);
    db().trash_entry(trashed);
    EXPECT_EQ(db().count_category_entries(cat), 1);
    EXPECT_TRUE(db().delete_category(cat));
    EXPECT_TRUE(db().list_categories().empty());
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history WHERE category_id IS NULL"), 2);
    EXPECT_EQ(db().count_entries(), 1);
    EXPECT_EQ(db().count_category_entries(cat), 0);
    (void)live;
}

TEST_F(CategoriesTest, DeleteWithEntriesTrashesTheLiveOnes) {
    std::int64_t cat = db().add_category(L"Gone");
    std::int64_t other = db().add_category(L"Stays");
    std::int64_t a = add_text(L"live a", cat);
    std::int64_t b = add_text(L"live b", cat);
    std::int64_t old = add_text(L"trashed before", cat);
    std::int64_t elsewhere = add_text(L"elsewhere", other);
    db().trash_entry(old);
    raw().exec("UPDATE history SET deleted_at='2001-01-01T00:00:00' WHERE id=" + std::to_string(old));
    db().add_to_slots({a, elsewhere}, 9);

    EXPECT_EQ(db().delete_category_with_entries(cat), 2);
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Stays"}));
    auto trash = db().list_entries(L"trash", false, false);
    ASSERT_EQ(trash.size(), 3u);
    for (const auto& e : trash) {
        EXPECT_FALSE(e.category_id);
    }
    EXPECT_EQ(raw().text("SELECT deleted_at FROM history WHERE id=" + std::to_string(old)),
              "2001-01-01T00:00:00");
    EXPECT_EQ(raw().ids("SELECT entry_id FROM slot_entries"), (std::vector<std::int64_t>{elsewhere}));
    EXPECT_EQ(ids_of(db().list_entries(L"all", false, false)), (std::vector<std::int64_t>{elsewhere}));
    (void)b;
}

}  // namespace
