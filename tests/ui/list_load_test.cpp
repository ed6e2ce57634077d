// The list model filled from a real store in a temporary folder: the view
// keys reach the store's queries, the trash and templates views load their
// templates, category names are known and thumbnails of entries that left
// the list are dropped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "core/settings.h"
#include "store/database.h"
#include "tests/store/store_fixture.h"
#include "tests/core/temp_folder.h"
#include "ui/list_model.h"
#include "ui/side_panel.h"
#include "ui/thumbnail_cache.h"

namespace {

class ListLoad : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        db_ = std::make_unique<Database>(dir_.file(L"quillet.db"));
        ASSERT_TRUE(db_->is_open());
    }
    std::int64_t add(const std::wstring& text, std::optional<std::int64_t> cat = std::nullopt, bool pinned = false) {
        return db_->add_text_entry(text, cat, pinned, false);
    }
    std::int64_t add_image(std::uint8_t seed) {
        // A 2 x 2 bitmap of 32 bits whose pixel bytes are all seed.
        std::vector<std::uint8_t> dib(40 + 16, seed);
        const std::uint8_t header[40] = {40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 16};
        std::copy(header, header + 40, dib.begin());
        return db_->add_entry({.image = dib, .source_app = L"test.exe", .is_image = true});
    }
    static std::vector<std::int64_t> keys(const ListModel& m) {
        std::vector<std::int64_t> k;
        for (const ListRow& r : m.rows()) k.push_back(r.key);
        return k;
    }

    test_support::TempFolder dir_;
    std::unique_ptr<Database> db_;
    Settings settings_;
};

ListView view(std::int32_t kind, std::int64_t cat = -1) {
    ListView v;
    v.view_kind = kind;
    v.category_id = cat;
    return v;
}

TEST_F(ListLoad, ViewsAndSearch) {
    const std::int64_t cat = db_->add_category(L"Work");
    ASSERT_GT(cat, 0);
    const std::int64_t a = add(L"alpha one");
    const std::int64_t b = add(L"beta two", cat);
    const std::int64_t c = add(L"gamma three", std::nullopt, true);
    ListModel m;
    EXPECT_FALSE(load_list(m, *db_, settings_, view(kViewAll), L"", nullptr));
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{c, b, a}));  // pinned first, then newest
    EXPECT_EQ(m.category_names().at(cat), L"Work");
    EXPECT_TRUE(load_list(m, *db_, settings_, view(kViewAll), L"", nullptr));

    EXPECT_FALSE(load_list(m, *db_, settings_, view(kViewAll), L"TWO", nullptr));
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{b}));
    load_list(m, *db_, settings_, view(kViewPinned), L"", nullptr);
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{c}));
    load_list(m, *db_, settings_, view(kViewCategory, cat), L"", nullptr);
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{b}));
    load_list(m, *db_, settings_, view(kViewNone), L"", nullptr);
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{c, a}));

    ASSERT_EQ(db_->add_to_slots({a}, 9), 1);
    load_list(m, *db_, settings_, view(kViewSlots), L"", nullptr);
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{a}));
    EXPECT_EQ(m.rows()[0].text.substr(0, 3), L"\U0001F4CC ");
}

// Rows edited and added through another connection to the same file, as
// another program writes them, are shown by the next refresh of the list,
// searched included; with nothing written, the held rows are kept.
TEST_F(ListLoad, ChangesMadeByAnotherConnectionAreShownAtTheNextRefresh) {
    const std::int64_t a = add(L"first text");
    const std::int64_t b = add(L"second text");
    ListModel m;
    load_list(m, *db_, settings_, view(kViewAll), L"", nullptr);
    ASSERT_EQ(keys(m), (std::vector<std::int64_t>{b, a}));
    EXPECT_TRUE(m.store_unchanged(*db_, view(kViewAll), settings_)) << "nothing written yet";

    std::int64_t added = 0;
    {
        store_test::RawDb other(dir_.file(L"quillet.db"));
        other.exec("UPDATE history SET text='edited elsewhere' WHERE id=" + std::to_string(a));
        other.exec("INSERT INTO history (text, created_at, sort_order) VALUES ('added elsewhere', "
                   "'2026-05-01T10:00:00', (SELECT MAX(sort_order) + 1 FROM history))");
        added = other.number("SELECT MAX(id) FROM history");
    }
    ASSERT_GT(added, b);
    EXPECT_FALSE(m.store_unchanged(*db_, view(kViewAll), settings_));
    load_list(m, *db_, settings_, view(kViewAll), L"", nullptr);
    ASSERT_EQ(keys(m), (std::vector<std::int64_t>{added, b, a}));
    EXPECT_NE(m.rows()[0].text.find(L"added elsewhere"), std::wstring::npos);
    EXPECT_NE(m.rows()[2].text.find(L"edited elsewhere"), std::wstring::npos);
    EXPECT_TRUE(m.store_unchanged(*db_, view(kViewAll), settings_)) << "read again: nothing new";
    // The check made at every refresh stays cheap.
    const ULONGLONG start = GetTickCount64();
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(m.store_unchanged(*db_, view(kViewAll), settings_));
    const ULONGLONG took = GetTickCount64() - start;
    std::printf("1000 checks for changes: %llu ms\n", took);
    EXPECT_LT(took, 1000u);

    // An edit elsewhere while a search is shown: the search finds it.
    load_list(m, *db_, settings_, view(kViewAll), L"elsewhere", nullptr);
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{added, a}));
    {
        store_test::RawDb other(dir_.file(L"quillet.db"));
        other.exec("UPDATE history SET text='second, elsewhere too' WHERE id=" + std::to_string(b));
    }
    load_list(m, *db_, settings_, view(kViewAll), L"elsewhere", nullptr);
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{added, b, a}));

    // The program's own writes are still told by its write log.
    const std::int64_t own = add(L"own capture");
    EXPECT_FALSE(m.store_unchanged(*db_, view(kViewAll), settings_));
    load_list(m, *db_, settings_, view(kViewAll), L"", nullptr);
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{own, added, b, a}));
    EXPECT_TRUE(m.store_unchanged(*db_, view(kViewAll), settings_));
}

TEST_F(ListLoad, TrashAndTemplates) {
    const std::int64_t a = add(L"to be trashed");
    ASSERT_TRUE(db_->trash_entry(a));
    const std::int64_t t = db_->add_snippet(L"Old template", L"body", L"Mail");
    ASSERT_GT(t, 0);
    ASSERT_TRUE(db_->trash_snippet(t));
    ListModel m;
    load_list(m, *db_, settings_, view(kViewTrash), L"", nullptr);
    EXPECT_EQ(keys(m), (std::vector<std::int64_t>{a, -t}));
    EXPECT_EQ(m.rows()[1].text, L"[tpl] Old template\nbody");

    const std::int64_t live = db_->add_snippet(L"Live", L"text", L"Mail");
    ASSERT_GT(live, 0);
    ListView tv;
    tv.templates_mode = true;
    tv.group_filter = L"Mail";
    load_list(m, *db_, settings_, tv, L"", nullptr);
    ASSERT_FALSE(m.rows().empty());
    EXPECT_EQ(m.rows()[0].key, kGroupHeaderKey);
    EXPECT_EQ(keys(m).back(), -live);
    EXPECT_TRUE(m.row_in_group(static_cast<int>(m.rows().size()) - 1));
    EXPECT_EQ(m.count_templates_in_group(L"Mail"), 1);
}

TEST_F(ListLoad, ThumbnailsOfEntriesThatLeftAreDropped) {
    const std::int64_t i1 = add_image(1);
    const std::int64_t i2 = add_image(2);
    ASSERT_GT(i1, 0);
    ASSERT_GT(i2, 0);
    ThumbnailCache cache([](const std::vector<std::uint8_t>&, int s) { return CreateBitmap(s, s, 1, 32, nullptr); });
    ListModel m;
    load_list(m, *db_, settings_, view(kViewImages), L"", &cache);
    ASSERT_EQ(m.rows().size(), 2u);
    EXPECT_TRUE(m.row_is_image(0));
    for (const HistoryEntry& e : m.entries()) cache.get(e.id, e.image, 42);
    EXPECT_EQ(cache.size(), 2u);

    // Refreshing the same list keeps them; templates mode leaves them alone.
    load_list(m, *db_, settings_, view(kViewImages), L"", &cache);
    EXPECT_EQ(cache.size(), 2u);
    ListView tv;
    tv.templates_mode = true;
    load_list(m, *db_, settings_, tv, L"", &cache);
    EXPECT_EQ(cache.size(), 2u);

    ASSERT_TRUE(db_->trash_entry(i1));
    load_list(m, *db_, settings_, view(kViewImages), L"", &cache);
    EXPECT_FALSE(cache.contains(i1));
    EXPECT_TRUE(cache.contains(i2));
    EXPECT_EQ(cache.made_count(), 2u);
}

TEST_F(ListLoad, SidePanelFromTheStore) {
    const std::int64_t cat = db_->add_category(L"Work");
    ASSERT_GT(db_->add_snippet(L"Loose", L"x", L""), 0);
    ASSERT_TRUE(db_->add_snippet_group(L"Mail"));
    settings_.snippet_panel_collapsed = false;
    SidePanel panel;
    panel.build(*db_, settings_);
    std::vector<SideRow> data;
    for (const SidePanelRow& r : panel.rows()) data.push_back(r.data);
    std::vector<std::wstring> groups = db_->list_snippet_groups();
    std::vector<SideRow> expected{0, 1, 2, 3, 4, 5};
    for (std::size_t i = 0; i < groups.size(); ++i) expected.push_back(1000 + static_cast<SideRow>(i));
    expected.push_back(kSideUngrouped);
    expected.push_back(6);
    expected.push_back(cat + 10);
    EXPECT_EQ(data, expected);
    ASSERT_EQ(panel.categories().size(), 1u);
    EXPECT_EQ(panel.categories()[0].name, L"Work");
}

}  // namespace
