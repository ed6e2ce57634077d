// The cards list's model without a window: row keys, row texts, filtering,
// ordering, template groups and the top row after a refresh.
#include "ui/list_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

HistoryEntry entry(std::int64_t id, const std::wstring& text) {
    HistoryEntry e;
    e.id = id;
    e.text = text;
    e.created_at = L"2024-05-01T10:00:00";
    return e;
}

HistoryEntry image_entry(std::int64_t id, const std::wstring& text = L"") {
    HistoryEntry e = entry(id, text);
    e.is_image = true;
    e.image = {1, 2, 3};
    return e;
}

Snippet snippet(std::int64_t id, const std::wstring& title, const std::wstring& body, const std::wstring& group = L"") {
    Snippet s;
    s.id = id;
    s.title = title;
    s.text = body;
    s.grp = group;
    return s;
}

const ListLabels kLabels{L"<img>", L"<none>"};

ListView history(std::int32_t kind, std::int64_t category = -1) {
    ListView v;
    v.view_kind = kind;
    v.category_id = category;
    return v;
}

ListView templates(const std::wstring& group = L"") {
    ListView v;
    v.templates_mode = true;
    v.group_filter = group;
    return v;
}

std::vector<std::int64_t> keys_of(const ListModel& m) {
    std::vector<std::int64_t> k;
    for (const ListRow& r : m.rows()) k.push_back(r.key);
    return k;
}

// --- keys and views ------------------------------------------------------------------

TEST(RowKeys, KindByValue) {
    struct Case {
        std::int64_t key;
        RowKeyKind kind;
    } cases[] = {
        {1, RowKeyKind::Entry},
        {INT64_MAX, RowKeyKind::Entry},
        {0, RowKeyKind::None},
        {-1, RowKeyKind::Template},
        {kGroupHeaderKey + 1, RowKeyKind::Template},
        {kGroupHeaderKey, RowKeyKind::GroupHeader},
        {kUngroupedHeaderKey, RowKeyKind::GroupHeader},
        {INT64_MIN, RowKeyKind::GroupHeader},
    };
    for (const Case& c : cases) EXPECT_EQ(row_key_kind(c.key), c.kind) << c.key;
    EXPECT_EQ(static_cast<std::uint64_t>(kGroupHeaderKey), 0xC000000000000000ULL);
    EXPECT_LT(kUngroupedHeaderKey, kGroupHeaderKey);
    EXPECT_TRUE(is_template_key(-5));
    EXPECT_FALSE(is_template_key(kGroupHeaderKey));
    EXPECT_TRUE(is_group_header_key(kUngroupedHeaderKey));
}

TEST(ViewKeys, EveryViewKind) {
    struct Case {
        ListView view;
        const wchar_t* key;
    } cases[] = {
        {history(kViewAll), L"all"},       {history(kViewPinned), L"pinned"}, {history(kViewSlots), L"slots"},
        {history(kViewNone), L"none"},     {history(kViewTrash), L"trash"},   {history(kViewImages), L"images"},
        {history(kViewCategory, 42), L"cat:42"}, {templates(), L"templates"}, {templates(L"g"), L"templates"},
    };
    for (const Case& c : cases) EXPECT_EQ(view_key_for(c.view), c.key);
}

TEST(NewEntryPresets, ByView) {
    struct Case {
        ListView view;
        bool allowed, pinned, slot;
        std::optional<std::int64_t> category;
    } cases[] = {
        {history(kViewAll), true, false, false, std::nullopt},
        {history(kViewNone), true, false, false, std::nullopt},
        {history(kViewPinned), true, true, false, std::nullopt},
        {history(kViewSlots), true, false, true, std::nullopt},
        {history(kViewCategory, 7), true, false, false, 7},
        {history(kViewCategory, -1), false, false, false, std::nullopt},
        {history(kViewTrash), false, false, false, std::nullopt},
        {history(kViewImages), false, false, false, std::nullopt},
        {templates(), false, false, false, std::nullopt},
    };
    for (const Case& c : cases) {
        NewEntryPreset p = new_entry_preset(c.view);
        EXPECT_EQ(p.allowed, c.allowed) << c.view.view_kind;
        EXPECT_EQ(p.pinned, c.pinned) << c.view.view_kind;
        EXPECT_EQ(p.quick_slot, c.slot) << c.view.view_kind;
        EXPECT_EQ(p.category_id, c.category) << c.view.view_kind;
    }
}

// --- row texts ---------------------------------------------------------------------------

TEST(RowText, Markers) {
    HistoryEntry plain = entry(1, L"abc");
    HistoryEntry kept = plain;
    kept.keep = true;
    HistoryEntry pinned = plain;
    pinned.effective_pinned = true;
    HistoryEntry pinned_kept = pinned;
    pinned_kept.keep = true;
    struct Case {
        const HistoryEntry* e;
        bool slots;
        std::wstring expected;
    } cases[] = {
        {&plain, false, L"     abc"},
        {&kept, false, L"\u2605  abc"},
        {&pinned, false, L"\U0001F4CC abc"},
        {&pinned_kept, false, L"\U0001F4CC abc"},
        {&plain, true, L"\U0001F4CC abc"},
        {&kept, true, L"\U0001F4CC abc"},
    };
    for (const Case& c : cases) EXPECT_EQ(entry_row_text(*c.e, c.slots, L"img"), c.expected);
}

TEST(RowText, LineBreaksImagesAndLength) {
    EXPECT_EQ(entry_row_text(entry(1, L"a\r\nb\nc\rd"), false, L"img"), L"     a  b c d");
    EXPECT_EQ(entry_row_text(image_entry(2), false, L"[Image]"), L"     [Image]");
    EXPECT_EQ(entry_row_text(image_entry(3, L"named"), false, L"[Image]"), L"     named");

    std::wstring long_text(10000, L'x');
    std::wstring row = entry_row_text(entry(4, long_text), false, L"");
    EXPECT_EQ(row.size(), 5 + kRowTextLimit);

    // A cut through a surrogate pair keeps the pair whole by leaving it out.
    std::wstring split(kRowTextLimit - 1, L'y');
    split += L"\U0001F600tail";
    row = entry_row_text(entry(5, split), false, L"");
    EXPECT_EQ(row.size(), 5 + kRowTextLimit - 1);
    EXPECT_NE(row.back(), L'\xD83D');
}

TEST(RowText, TemplatesAndHeaders) {
    EXPECT_EQ(template_row_text(snippet(1, L"T", L"body\nmore")), L"T\nbody\nmore");
    EXPECT_EQ(group_header_text(L"Work", true, L"<none>"), L"GRP\tWork");
    EXPECT_EQ(group_header_text(L"", false, L"<none>"), L"GRP\t<none>");
    EXPECT_EQ(strip_group_prefix(L"GRP\tWork"), L"Work");
    EXPECT_EQ(strip_group_prefix(L"Work"), L"Work");
    EXPECT_EQ(group_name_from_label(L"(\u0411\u0435\u0437 \u0433\u0440\u0443\u043f\u043f\u044b)"), L"");
    EXPECT_EQ(group_name_from_label(L"Work"), L"Work");
}

TEST(CreatedAt, Formatting) {
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"2024-05-01T14:03:59", L"01.05.2024 14:03"},
        {L"2024-12-31T00:00:00", L"31.12.2024 00:00"},
        {L"999-1-2T3:4", L"02.01.0999 03:04"},
        {L"2024-05", L"2024-05"},                 // cut short: unchanged
        {L"2024-05-01", L"2024-05-01"},
        {L"2024-05-01T14", L"2024-05-01T14"},
        {L"garbage", L"garbage"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(format_created_at(c.in), c.out) << c.in;
    EXPECT_FALSE(parse_created_at(L"2024-05-01T14:").has_value());
    auto st = parse_created_at(L"2023-01-31T23:59:00");
    ASSERT_TRUE(st.has_value());
    EXPECT_EQ(st->year, 2023);
    EXPECT_EQ(st->minute, 59);
}

TEST(TemplateSearch, TitleBodyAndGroup) {
    Snippet s = snippet(1, L"Greeting", L"Hello World", L"Mail");
    EXPECT_TRUE(template_matches_search(L"", s));
    EXPECT_TRUE(template_matches_search(L"greet", s));
    EXPECT_TRUE(template_matches_search(L"world", s));
    EXPECT_TRUE(template_matches_search(L"mail", s));
    EXPECT_TRUE(template_matches_search(L"greeting hello", s));
    EXPECT_FALSE(template_matches_search(L"absent", s));
}

TEST(TemplateGroups, NamesAndSorting) {
    std::vector<Snippet> list = {snippet(1, L"b", L"", L"Zeta"), snippet(2, L"a", L"", L"Zeta"),
                                 snippet(3, L"x", L"", L""),     snippet(4, L"c", L"", L"Alpha"),
                                 snippet(5, L"d", L"", L"Beta"), snippet(6, L"w", L"", L"")};
    TemplateGroups g = collect_template_groups(list, {L"Zeta", L"Empty"});
    EXPECT_EQ(g.names, (std::vector<std::wstring>{L"Zeta", L"Empty", L"Alpha", L"Beta"}));
    ASSERT_EQ(g.by_group[L"Zeta"].size(), 2u);
    EXPECT_EQ(g.by_group[L"Zeta"][0].title, L"a");
    EXPECT_TRUE(g.by_group[L"Empty"].empty());
    ASSERT_EQ(g.ungrouped.size(), 2u);
    EXPECT_EQ(g.ungrouped[0].id, 3);
    EXPECT_EQ(g.ungrouped[1].id, 6);
}

// --- history rows ---------------------------------------------------------------------

TEST(HistoryRows, SearchFiltersCaseInsensitively) {
    ListModel m;
    m.set_history(history(kViewAll), L"HELLO",
                  {entry(3, L"say hello"), entry(2, L"nothing"), entry(1, L"Hello there"), image_entry(4)}, {}, kLabels);
    EXPECT_EQ(keys_of(m), (std::vector<std::int64_t>{3, 1}));
    // The held records are all kept; only the rows are filtered.
    EXPECT_EQ(m.entries().size(), 4u);
    m.set_search(L"");
    EXPECT_EQ(keys_of(m), (std::vector<std::int64_t>{3, 2, 1, 4}));
    EXPECT_TRUE(m.row_is_image(3));
    EXPECT_FALSE(m.row_is_image(0));
    EXPECT_FALSE(m.row_is_image(99));
    EXPECT_EQ(m.rows()[3].text, L"     <img>");
    // An image without text never matches a search.
    m.set_search(L"img");
    EXPECT_TRUE(m.rows().empty());
}

TEST(HistoryRows, SameViewNeedsSameKeyAndSearch) {
    ListModel m;
    EXPECT_FALSE(m.set_history(history(kViewAll), L"", {entry(1, L"a")}, {}, kLabels));
    EXPECT_TRUE(m.set_history(history(kViewAll), L"", {entry(1, L"a")}, {}, kLabels));
    EXPECT_FALSE(m.set_history(history(kViewAll), L"a", {entry(1, L"a")}, {}, kLabels));
    EXPECT_TRUE(m.set_history(history(kViewAll), L"A", {entry(1, L"a")}, {}, kLabels));
    EXPECT_FALSE(m.set_search(L"b"));
    EXPECT_TRUE(m.set_search(L"B"));
    EXPECT_FALSE(m.set_history(history(kViewCategory, 7), L"b", {}, {}, kLabels));
    EXPECT_EQ(m.last_view_key(), L"cat:7");
    EXPECT_FALSE(m.set_templates(templates(), L"b", {}, {}, kLabels));
    EXPECT_TRUE(m.last_was_templates());
    EXPECT_TRUE(m.set_templates(templates(L"g"), L"b", {}, {}, kLabels));
    EXPECT_FALSE(m.set_history(history(kViewCategory, 7), L"b", {}, {}, kLabels));
}

TEST(HistoryRows, SlotsViewPinsEveryRow) {
    ListModel m;
    m.set_history(history(kViewSlots), L"", {entry(1, L"a"), entry(2, L"b")}, {}, kLabels);
    for (const ListRow& r : m.rows()) EXPECT_EQ(r.text.substr(0, 3), L"\U0001F4CC ");
}

TEST(HistoryRows, TrashListsDeletedTemplatesAfterEntries) {
    ListModel m;
    std::vector<Snippet> trashed = {snippet(8, L"Old", L"text", L"grp"), snippet(9, L"Other", L"body")};
    m.set_history(history(kViewTrash), L"", {entry(5, L"gone")}, trashed, kLabels);
    EXPECT_EQ(keys_of(m), (std::vector<std::int64_t>{5, -8, -9}));
    EXPECT_EQ(m.rows()[1].text, L"[tpl] Old\ntext");
    ASSERT_NE(m.find_template(-8), nullptr);
    EXPECT_EQ(m.find_template(-8)->title, L"Old");
    // Matched on title, body and group.
    m.set_search(L"GRP");
    EXPECT_EQ(keys_of(m), (std::vector<std::int64_t>{-8}));
    // Outside the trash the deleted templates are not held.
    m.set_history(history(kViewAll), L"", {entry(5, L"gone")}, trashed, kLabels);
    EXPECT_TRUE(m.templates().empty());
}

// --- template rows -----------------------------------------------------------------------

TEST(TemplateRows, AllTemplatesInStoreOrder) {
    ListModel m;
    m.set_templates(templates(), L"", {snippet(2, L"b", L"x", L"G"), snippet(1, L"a", L"y")}, {L"G"}, kLabels);
    EXPECT_EQ(keys_of(m), (std::vector<std::int64_t>{-2, -1}));
    EXPECT_FALSE(m.row_in_group(0));
    EXPECT_EQ(m.rows()[0].text, L"b\nx");
}

TEST(TemplateRows, NamedGroupHeaderStaysWithoutMatches) {
    ListModel m;
    std::vector<Snippet> live = {snippet(3, L"zz", L"1", L"Work"), snippet(4, L"aa", L"2", L"Work"),
                                 snippet(5, L"other", L"3", L"Home"), snippet(6, L"loose", L"4")};
    m.set_templates(templates(L"Work"), L"", live, {L"Work", L"Home"}, kLabels);
    EXPECT_EQ(keys_of(m), (std::vector<std::int64_t>{kGroupHeaderKey, -4, -3}));
    EXPECT_EQ(m.rows()[0].text, L"GRP\tWork");
    EXPECT_FALSE(m.row_in_group(0));
    EXPECT_TRUE(m.row_in_group(1));
    EXPECT_EQ(m.count_templates_in_group(L"Work"), 2);
    EXPECT_EQ(m.count_templates_in_group(L""), 1);

    m.set_search(L"no such text");
    EXPECT_EQ(keys_of(m), (std::vector<std::int64_t>{kGroupHeaderKey}));

    m.set_templates(templates(std::wstring(1, kUngroupedFilter)), L"", live, {L"Work", L"Home"}, kLabels);
    EXPECT_EQ(keys_of(m), (std::vector<std::int64_t>{kUngroupedHeaderKey, -6}));
    EXPECT_EQ(m.rows()[0].text, L"GRP\t<none>");
}

// --- lookups and moves ---------------------------------------------------------------------

TEST(Lookups, EntriesAndTemplates) {
    ListModel m;
    HistoryEntry kept = entry(2, L"kept");
    kept.keep = true;
    kept.effective_pinned = true;
    m.set_history(history(kViewAll), L"", {entry(1, L"a"), kept, image_entry(3), entry(4, L"")}, {}, kLabels);
    EXPECT_EQ(m.find_entry(0), nullptr);
    EXPECT_EQ(m.find_entry(-1), nullptr);
    ASSERT_NE(m.find_entry(2), nullptr);
    EXPECT_EQ(m.entry_position(3), 2);
    EXPECT_EQ(m.find_image_entry(1), nullptr);
    EXPECT_NE(m.find_image_entry(3), nullptr);
    EXPECT_TRUE(m.entry_is_pinned(2));
    EXPECT_FALSE(m.entry_is_pinned(1));
    EXPECT_TRUE(m.selected_has_text(1));
    EXPECT_FALSE(m.selected_has_text(3));
    EXPECT_FALSE(m.selected_has_text(4));
    EXPECT_TRUE(m.selected_is_kept(2));
    EXPECT_EQ(m.row_of_key(3), 2);
    EXPECT_EQ(m.row_of_key(77), -1);
    EXPECT_EQ(m.count_templates_in_group(L""), 0);  // not in templates mode
}

// A rebuild lets the old records go before the store is read; the rows the
// list box shows stay until the new records arrive, and a search over the
// new ones is not confused by lower-cased texts of the old.
TEST(Lookups, ReleasedRecordsKeepTheRows) {
    ListModel m;
    m.set_history(history(kViewAll), L"", {entry(1, L"Alpha"), entry(2, L"Beta")}, {}, kLabels);
    m.set_search(L"alp");
    const std::vector<ListRow> rows = m.rows();
    m.release_records();
    EXPECT_EQ(m.rows(), rows);
    EXPECT_TRUE(m.entries().empty());
    EXPECT_EQ(m.find_entry(1), nullptr);
    EXPECT_EQ(m.entry_position(1), -1);
    const bool same = m.set_history(history(kViewAll), L"alp", {entry(3, L"Gamma"), entry(1, L"alpha again")}, {}, kLabels);
    EXPECT_TRUE(same);
    EXPECT_EQ(keys_of(m), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(m.find_entry(1)->text, L"alpha again");
}

TEST(Moves, RowAndRecordMoveTogether) {
    ListModel m;
    m.set_history(history(kViewAll), L"", {entry(1, L"a"), entry(2, L"b"), entry(3, L"c")}, {}, kLabels);
    EXPECT_TRUE(m.move_row(0, 2));
    EXPECT_EQ(keys_of(m), (std::vector<std::int64_t>{2, 3, 1}));
    EXPECT_EQ(m.entries()[2].id, 1);
    EXPECT_EQ(m.entry_position(1), 2);
    EXPECT_FALSE(m.move_row(1, 1));
    EXPECT_FALSE(m.move_row(-1, 0));
    EXPECT_FALSE(m.move_row(0, 3));

    // With a search the rows are a subset: the record goes where the
    // record of the target row is.
    m.set_history(history(kViewAll), L"x", {entry(1, L"x1"), entry(2, L"b"), entry(3, L"x3")}, {}, kLabels);
    EXPECT_TRUE(m.move_row(1, 0));
    EXPECT_EQ(keys_of(m), (std::vector<std::int64_t>{3, 1}));
    EXPECT_EQ(m.entries()[0].id, 3);
    EXPECT_EQ(m.entries()[1].id, 1);
    EXPECT_EQ(m.entries()[2].id, 2);
}

TEST(TopRow, AfterRefresh) {
    std::vector<ListRow> rows;
    for (std::int64_t k : {10, 9, 8, 7, 6}) rows.push_back(ListRow{L"t", k, false, false});
    struct Case {
        bool same, to_top;
        int old_index;
        std::int64_t old_key;
        int expected;
    } cases[] = {
        {true, false, 2, 8, 2},   // the same entry stays at the top
        {true, false, 1, 7, 3},   // it moved down
        {true, false, 3, 99, 3},  // it is gone: the old index
        {true, false, 9, 99, 4},  // past the end: the last row
        {false, false, 2, 8, 0},  // another view or search
        {true, true, 2, 8, 0},    // after a capture
        {true, false, 0, 10, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(new_top_row(c.same, c.to_top, c.old_index, c.old_key, rows), c.expected) << c.old_index;
    EXPECT_EQ(new_top_row(true, false, 3, 8, {}), 0);
}

}  // namespace
