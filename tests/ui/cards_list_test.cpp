// The plan that turns the rows a list box shows into new rows: applied to a
// copy it always gives the new rows, and the usual refreshes need few steps.
#include "ui/cards_list.h"

#include <gtest/gtest.h>

#include <random>

namespace {

ListRow row(std::int64_t key, const std::wstring& text = L"", bool image = false) {
    return ListRow{text.empty() ? L"row " + std::to_wstring(key) : text, key, image, false};
}

std::vector<ListRow> rows_of(std::initializer_list<std::int64_t> keys) {
    std::vector<ListRow> r;
    for (std::int64_t k : keys) r.push_back(row(k));
    return r;
}

// What the list box does with the plan.
std::vector<ListRow> apply(std::vector<ListRow> shown, const std::vector<ListRow>& rows, const ListEdit& e) {
    if (e.full) return rows;
    for (int i : e.deletions) shown.erase(shown.begin() + i);
    for (int j : e.insertions) shown.insert(shown.begin() + j, rows[static_cast<std::size_t>(j)]);
    return shown;
}

TEST(ListEdit, UsualRefreshesNeedFewSteps) {
    struct Case {
        const char* what;
        std::vector<ListRow> before, after;
        std::size_t deletions, insertions;
    } cases[] = {
        {"nothing changed", rows_of({5, 4, 3}), rows_of({5, 4, 3}), 0, 0},
        {"a capture on top", rows_of({5, 4, 3}), rows_of({6, 5, 4, 3}), 0, 1},
        {"a capture trims the oldest", rows_of({5, 4, 3}), rows_of({6, 5, 4}), 1, 1},
        {"a capture after the pinned rows", rows_of({9, 8, 5, 4, 3}), rows_of({9, 8, 6, 5, 4}), 1, 1},
        {"a copy moved to the top", rows_of({5, 4, 3, 2}), rows_of({3, 5, 4, 2}), 1, 1},
        {"a deletion", rows_of({5, 4, 3}), rows_of({5, 3}), 1, 0},
        {"into an empty list", {}, rows_of({2, 1}), 0, 2},
        {"emptied", rows_of({2, 1}), {}, 2, 0},
    };
    for (const Case& c : cases) {
        ListEdit e = plan_list_edit(c.before, c.after);
        EXPECT_FALSE(e.full) << c.what;
        EXPECT_EQ(e.deletions.size(), c.deletions) << c.what;
        EXPECT_EQ(e.insertions.size(), c.insertions) << c.what;
        EXPECT_EQ(apply(c.before, c.after, e), c.after) << c.what;
    }
}

TEST(ListEdit, ChangedRowsAreReplaced) {
    std::vector<ListRow> before = {row(1, L"a"), row(2, L"b"), row(3, L"c")};
    std::vector<ListRow> after = {row(1, L"a"), row(2, L"b changed"), row(3, L"c", true)};
    ListEdit e = plan_list_edit(before, after);
    EXPECT_EQ(e.deletions, (std::vector<int>{2, 1}));  // highest first
    EXPECT_EQ(e.insertions, (std::vector<int>{1, 2}));  // lowest first
    EXPECT_EQ(apply(before, after, e), after);
}

TEST(ListEdit, DuplicateKeysAndLargeChangesRefillTheList) {
    EXPECT_TRUE(plan_list_edit(rows_of({1, 1}), rows_of({1})).full);
    EXPECT_TRUE(plan_list_edit(rows_of({1}), rows_of({2, 2})).full);
    std::vector<ListRow> before, after;
    for (int i = 0; i < 300; ++i) before.push_back(row(i + 1));
    for (int i = 0; i < 300; ++i) after.push_back(row(i + 1000));
    EXPECT_TRUE(plan_list_edit(before, after).full);
    // A search that keeps 10 of 300 rows deletes the others one by one only
    // while that stays cheap.
    after.assign(before.begin(), before.begin() + 10);
    ListEdit e = plan_list_edit(before, after);
    EXPECT_TRUE(e.full);
    EXPECT_EQ(apply(before, after, e), after);
}

TEST(ListEdit, RandomChangesAlwaysGiveTheNewRows) {
    std::mt19937 rng(12345);
    std::int64_t next_key = 1;
    std::vector<ListRow> shown;
    for (int i = 0; i < 40; ++i) shown.push_back(row(next_key++));
    for (int round = 0; round < 500; ++round) {
        std::vector<ListRow> rows = shown;
        const int changes = 1 + static_cast<int>(rng() % 6);
        for (int c = 0; c < changes; ++c) {
            const int op = static_cast<int>(rng() % 4);
            if (op == 0 || rows.empty()) {
                rows.insert(rows.begin() + static_cast<long>(rng() % (rows.size() + 1)), row(next_key++));
            } else if (op == 1) {
                rows.erase(rows.begin() + static_cast<long>(rng() % rows.size()));
            } else if (op == 2) {
                ListRow r = rows[rng() % rows.size()];
                rows.erase(std::find(rows.begin(), rows.end(), r));
                rows.insert(rows.begin() + static_cast<long>(rng() % (rows.size() + 1)), r);
            } else {
                rows[rng() % rows.size()].text += L"!";
            }
        }
        ListEdit e = plan_list_edit(shown, rows);
        ASSERT_EQ(apply(shown, rows, e), rows) << round;
        if (!e.full) {
            EXPECT_LE(e.deletions.size() + e.insertions.size(), static_cast<std::size_t>(2 * changes)) << round;
        }
        shown = rows;
    }
}

}  // namespace
