// Storing entries, the duplicate bump, the trim, pins, keep, trash and
// retention, and the image files of deleted entries.
#include <cwctype>

#include "store_fixture.h"
#include "tests/store/fixtures/backup_samples.h"

using namespace store_test;

namespace {

class HistoryTest : public StoreTest {
protected:
    std::int64_t category(const std::wstring& name, bool pinned) {
        std::int64_t id = db().add_category(name);
        EXPECT_GT(id, 0);
        db().set_category_pinned(id, pinned);
        return id;
    }
    std::string field(std::int64_t id, const std::string& column) {
        return raw().text("SELECT " + column + " FROM history WHERE id=" + std::to_string(id));
    }
    std::int64_t rows() { return raw().number("SELECT COUNT(*) FROM history"); }
    std::wstring png(const std::wstring& name) {
        std::wstring p = dir_.file(name);
        write_file(p, "png bytes");
        return p;
    }
};

TEST_F(HistoryTest, CapturedTextIsFlattenedAndTrimmed) {
    struct Case {
        std::wstring in;
        std::wstring stored;  // empty: nothing stored
    } cases[] = {
        {L"  ab \r\n", L"ab"},
        {L"one\r\ntwo", L"one  two"},
        {L"\t\tline\nbreak\t", L"line break"},
        {L"x", L""},
        {L" \r\n \n\t", L""},
        {L"\u00A0x", L"\u00A0x"},  // only tab, LF, CR and blank are trimmed
    };
    for (const auto& c : cases) {
        std::int64_t id = add_text(c.in, std::nullopt, true);
        if (c.stored.empty()) {
            EXPECT_EQ(id, 0);
        } else {
            ASSERT_GT(id, 0);
            auto all = db().list_entries(L"all", false, false);
            ASSERT_FALSE(all.empty());
            EXPECT_EQ(all[0].id, id);
            EXPECT_EQ(all[0].text, c.stored);
        }
    }
}

TEST_F(HistoryTest, ALongTextIsFlattenedWholeAcrossItsPieces) {
    // Line breaks, a surrogate pair and non-ASCII letters around every
    // 64 Ki-character boundary of the conversion, and a NUL near the end
    // (the stored text ends before it, as every text written to the store).
    std::wstring in(300000, L'a');
    for (std::size_t at : {65535u, 65536u, 131071u, 196608u}) {
        in[at - 1] = L'\r';
        in[at] = L'\n';
        in[at + 1] = L'\u00e9';
    }
    in[262143] = 0xD83D;  // U+1F4CB across the fourth boundary
    in[262144] = 0xDCCB;
    in[299000] = L'\0';
    in = L"\r\n  " + in;
    std::wstring expected = in.substr(4, 299000 - 4 + 4);
    expected = expected.substr(0, expected.find(L'\0'));
    for (wchar_t& c : expected) {
        if (c == L'\r' || c == L'\n') {
            c = L' ';
        }
    }
    const std::int64_t id = add_text(in);
    ASSERT_GT(id, 0);
    const auto all = db().list_entries(L"all", false, false);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_TRUE(all[0].text == expected) << all[0].text.size() << " characters instead of " << expected.size();
    EXPECT_EQ(raw().number("SELECT length(CAST(text AS BLOB)) FROM history"),
              static_cast<std::int64_t>(to_utf8(expected).size()));
    // The same long text again is found and moved to the top.
    EXPECT_EQ(add_text(L"other text"), id + 1);
    EXPECT_EQ(add_text(in), id);
    EXPECT_EQ(rows(), 2);
}

TEST_F(HistoryTest, StoringALongTextCopiesItOnceInSQLite) {
    // 4 MB of UTF-8: SQLite builds the row's record once and reads the bound
    // text in place for the lookup and the index expression.
    const std::wstring text(4 * 1024 * 1024, L'w');
    add_text(L"something before");
    sqlite3_int64 now = 0, top = 0;
    sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &now, &top, 1);
    ASSERT_GT(add_text(text), 0);
    sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &now, &top, 1);
    EXPECT_LT(top - now, 8 * 1024 * 1024) << "SQLite copied the text more than once";
    EXPECT_EQ(raw().number("SELECT length(text) FROM history ORDER BY id DESC LIMIT 1"), 4 * 1024 * 1024);
}

TEST_F(HistoryTest, ImageWithoutTextIsStoredWithItsBytesAndFields) {
    std::vector<std::uint8_t> bytes = backup_test::make_dib(2, 1, 0x35);
    std::int64_t id = db().add_entry({.rtf = "{\\rtf1}", .html = "<html>", .image = bytes, .source_app = L"Paint",
        .is_image = true, .page_title = L"Title", .page_url = L"https://x.example/", .is_browser = true});
    ASSERT_GT(id, 0);
    auto images = db().list_entries(L"images", false, false);
    ASSERT_EQ(images.size(), 1u);
    const HistoryEntry& e = images[0];
    EXPECT_EQ(e.image, bytes);
    EXPECT_TRUE(e.is_image);
    EXPECT_EQ(e.rtf, "{\\rtf1}");
    EXPECT_EQ(e.html, "<html>");
    EXPECT_EQ(e.source_app, L"Paint");
    EXPECT_EQ(e.source_title, L"Title");
    EXPECT_EQ(e.source_url, L"https://x.example/");
    EXPECT_TRUE(e.is_browser_page);
    EXPECT_EQ(e.created_at.size(), 19u);
}

// Bytes that are no bitmap the program can draw are not stored as an
// image: the copy is kept by its text, or not at all without one.
TEST_F(HistoryTest, ImageBytesThatDoNotDrawAreNotStored) {
    std::vector<std::uint8_t> cut = backup_test::make_dib(4, 4, 0x20);
    cut.resize(cut.size() - 1);
    std::vector<std::uint8_t> jpeg = backup_test::make_dib(4, 4, 0x20);
    jpeg[16] = 4;  // BI_JPEG over the pixels
    for (const auto& bytes : {cut, jpeg, std::vector<std::uint8_t>{1, 2, 3, 0, 5}}) {
        bool failed = true;
        EXPECT_EQ(db().add_entry({.image = bytes, .source_app = L"Paint", .is_image = true,
            .repeat = true}, &failed), 0);
        EXPECT_FALSE(failed);
    }
    EXPECT_EQ(rows(), 0);
    std::int64_t id = db().add_entry({.text = L"caption", .image = jpeg, .source_app = L"Paint", .is_image = true,
        .repeat = true});
    ASSERT_GT(id, 0);
    EXPECT_EQ(field(id, "is_image"), "0");
    EXPECT_EQ(field(id, "image IS NULL"), "1");
    EXPECT_EQ(field(id, "text"), "caption");
}

TEST_F(HistoryTest, DuplicateTextIsBumped) {
    std::int64_t cat = category(L"Work", true);
    std::int64_t first = add_text(L"same text", cat);
    std::int64_t other = add_text(L"other text");
    raw().exec("UPDATE history SET created_at='2001-01-01T00:00:00', cat_pin_override=1, pinned=1, "
               "keep=1, use_count=7 WHERE id=" + std::to_string(first));
    std::int64_t before = rows();
    std::int64_t again = db().add_entry({.text = L"same text\r\n", .rtf = "rtf", .html = "html",
        .source_app = L"App", .page_title = L"T", .page_url = L"U", .is_browser = true});
    EXPECT_EQ(again, first);
    EXPECT_EQ(rows(), before);
    EXPECT_GT(std::stoll(field(first, "sort_order")), std::stoll(field(other, "sort_order")));
    EXPECT_NE(field(first, "created_at"), "2001-01-01T00:00:00");
    EXPECT_EQ(field(first, "category_id"), "");  // no category passed: none
    EXPECT_EQ(field(first, "cat_pin_override"), "0");
    EXPECT_EQ(field(first, "pinned"), "1");
    EXPECT_EQ(field(first, "keep"), "1");
    EXPECT_EQ(field(first, "use_count"), "7");
    EXPECT_EQ(field(first, "rtf"), "rtf");
    EXPECT_EQ(field(first, "html"), "html");
    EXPECT_EQ(field(first, "source_app"), "App");
    EXPECT_EQ(field(first, "source_url"), "U");
    EXPECT_EQ(field(first, "is_browser_page"), "1");
    EXPECT_EQ(db().list_entries(L"all", false, false)[0].id, first);

    // Bumped into the category shown.
    EXPECT_EQ(add_text(L"same text", cat), first);
    EXPECT_EQ(field(first, "category_id"), std::to_string(cat));
}

TEST_F(HistoryTest, WhenANewRowIsInserted) {
    std::vector<std::uint8_t> img = backup_test::make_dib(1, 1, 9);
    std::int64_t image_entry = add_image(L"caption text", img);
    std::int64_t trashed = add_text(L"trashed text");
    db().trash_entry(trashed);
    struct Case {
        const char* what;
        std::wstring text;
        bool repeat;
        bool is_image;
        std::int64_t must_differ_from;
    } cases[] = {
        {"equal only to a trashed entry", L"trashed text", false, false, trashed},
        {"equal to an image entry's text", L"caption text", false, false, image_entry},
        {"repeat flag on", L"caption text", true, false, image_entry},
        {"is-image flag", L"caption text", false, true, image_entry},
    };
    for (const auto& c : cases) {
        std::int64_t before = rows();
        std::vector<std::uint8_t> bytes;
        if (c.is_image) {
            bytes = backup_test::make_dib(1, 1, 7);
        }
        std::int64_t id = db().add_entry({.text = c.text, .image = bytes, .is_image = c.is_image,
            .repeat = c.repeat});
        EXPECT_GT(id, 0) << c.what;
        EXPECT_NE(id, c.must_differ_from) << c.what;
        EXPECT_EQ(rows(), before + 1) << c.what;
    }
    // The image entry with equal text kept its image and its kind.
    EXPECT_EQ(field(image_entry, "is_image"), "1");
    EXPECT_EQ(field(image_entry, "hex(substr(image, 41))"), "09090909");
    EXPECT_EQ(field(trashed, "deleted_at").size(), 19u);
}

TEST_F(HistoryTest, CaptureIntoACategoryThatIsGoneIsFiledWithoutOne) {
    std::int64_t id = add_text(L"into nowhere", std::int64_t{987});
    ASSERT_GT(id, 0);
    EXPECT_EQ(field(id, "category_id"), "");
    std::int64_t typed = db().add_text_entry(L"typed", std::int64_t{987}, false, false);
    ASSERT_GT(typed, 0);
    EXPECT_EQ(field(typed, "category_id"), "");
}

TEST_F(HistoryTest, FailedInsertReturnsNoId) {
    raw().exec("CREATE TRIGGER refuse BEFORE INSERT ON history BEGIN SELECT RAISE(ABORT, 'refused'); END");
    EXPECT_EQ(add_text(L"never stored"), 0);
    EXPECT_EQ(add_image(L"", {1, 2}), 0);
    EXPECT_EQ(db().add_text_entry(L"never stored", std::nullopt, false, true), 0);
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM slot_entries"), 0);
}

TEST_F(HistoryTest, AWriteThatFailsIsToldApartFromNothingToStore) {
    auto add = [&](const std::wstring& text, bool repeat, bool& failed) {
        return db().add_entry({.text = text, .source_app = L"notepad.exe", .repeat = repeat}, &failed);
    };
    bool failed = true;
    EXPECT_EQ(add(L"x", false, failed), 0);
    EXPECT_FALSE(failed) << "a single character is nothing to store, not a failure";
    std::int64_t stored = add(L"stored text", false, failed);
    EXPECT_GT(stored, 0);
    EXPECT_FALSE(failed);

    // Another program holds the database locked: nothing is written, and
    // neither a new entry nor a bump is reported as stored.
    raw().exec("BEGIN EXCLUSIVE");
    EXPECT_EQ(add(L"while locked", false, failed), 0);
    EXPECT_TRUE(failed);
    EXPECT_EQ(add(L"stored text", false, failed), 0);
    EXPECT_TRUE(failed);
    EXPECT_EQ(add(L"x", false, failed), 0);
    EXPECT_FALSE(failed);
    raw().exec("ROLLBACK");

    EXPECT_GT(add(L"after the lock", false, failed), 0);
    EXPECT_FALSE(failed);
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(raw().text("SELECT group_concat(text, '|') FROM history ORDER BY id"), "stored text|after the lock");
}

TEST_F(HistoryTest, TrimKeepsTheNewest200BySortOrder) {
    std::int64_t pinned_cat = category(L"Pinned", true);
    std::int64_t own_pin = db().add_text_entry(L"own pin", std::nullopt, true, false);
    std::int64_t cat_pin = add_text(L"in pinned category", pinned_cat);
    std::int64_t overridden = add_text(L"override in pinned category", pinned_cat);
    db().set_pinned_many({overridden}, false);
    ASSERT_EQ(field(overridden, "cat_pin_override"), "1");

    std::vector<std::int64_t> plain;
    for (int i = 0; i < 199; ++i) {
        plain.push_back(add_text(L"entry " + std::to_wstring(i)));
    }
    // 200 entries that are not effectively pinned: overridden + 199.
    std::wstring file = png(L"oldest.png");
    db().set_image_path(overridden, file);
    // The oldest entry is bumped to the top: it is now the newest.
    EXPECT_EQ(add_text(L"entry 0"), plain[0]);
    // A trashed and a kept entry count like any other.
    db().trash_entry(plain[1]);
    db().set_keep(plain[2], true);

    std::int64_t newest = add_text(L"entry 200");  // 201st: one must go
    ASSERT_GT(newest, 0);
    auto unpinned = raw().ids("SELECT id FROM history WHERE pinned=0 AND (category_id IS NULL OR "
                              "cat_pin_override=1) ORDER BY sort_order DESC, id DESC");
    EXPECT_EQ(unpinned.size(), 200u);
    EXPECT_EQ(field(overridden, "id"), "<none>");  // the lowest in order went
    EXPECT_FALSE(file_exists(file));
    EXPECT_EQ(field(plain[0], "id"), std::to_string(plain[0]));
    EXPECT_EQ(field(own_pin, "id"), std::to_string(own_pin));
    EXPECT_EQ(field(cat_pin, "id"), std::to_string(cat_pin));

    // Two more: plain[1] (trashed) and plain[2] (kept) are next in order.
    add_text(L"entry 201");
    add_text(L"entry 202");
    EXPECT_EQ(field(plain[1], "id"), "<none>");
    EXPECT_EQ(field(plain[2], "id"), "<none>");
    // The bumped entry has the lowest id of all but is among the newest.
    EXPECT_EQ(field(plain[0], "id"), std::to_string(plain[0]));
    EXPECT_EQ(rows(), 202);  // 200 + two effectively pinned
}

// A store of every kind of row, arranged directly: own pins, pinned and
// unpinned categories with and without the override, a category id that
// names no category, trashed and kept rows, sort orders out of id order.
// The trim after a capture removes exactly the rows that the rule "the 200
// newest by sort order, then id, of the rows not effectively pinned" drops.
TEST_F(HistoryTest, TrimRemovesExactlyTheRowsBeyondTheNewestUnpinned) {
    std::int64_t pinned_cat = category(L"Pinned", true);
    std::int64_t plain_cat = category(L"Plain", false);
    std::int64_t other_pinned = category(L"Also pinned", true);
    raw().exec("PRAGMA foreign_keys=OFF");
    raw().exec("BEGIN");
    std::uint32_t x = 12345;
    for (int i = 0; i < 900; ++i) {
        x = x * 1103515245u + 12345u;
        std::uint32_t r = x >> 8;
        std::string category = "NULL";
        switch (r % 5) {
        case 1: category = std::to_string(pinned_cat); break;
        case 2: category = std::to_string(plain_cat); break;
        case 3: category = std::to_string(other_pinned); break;
        case 4: category = "999"; break;  // no such category
        default: break;
        }
        raw().exec("INSERT INTO history (text, created_at, sort_order, pinned, category_id, "
                   "cat_pin_override, keep, deleted_at) VALUES ('row " + std::to_string(i) +
                   "', '2025-01-01T00:00:00', " + std::to_string((r >> 4) % 300) + ", " +
                   ((r >> 12) % 4 == 0 ? "1" : "0") + ", " + category + ", " +
                   ((r >> 14) % 3 == 0 ? "1" : "0") + ", " + ((r >> 16) % 5 == 0 ? "1" : "0") + ", " +
                   ((r >> 18) % 6 == 0 ? "'2025-02-01T00:00:00'" : "NULL") + ")");
    }
    raw().exec("COMMIT");
    const std::string unpinned =
        "pinned=0 AND (category_id IS NULL OR category_id NOT IN "
        "(SELECT id FROM categories WHERE pinned=1) OR cat_pin_override=1)";
    // The capture becomes the newest row, so 199 of the others stay.
    auto doomed = raw().ids("SELECT id FROM history WHERE " + unpinned +
                            " ORDER BY sort_order DESC, id DESC LIMIT -1 OFFSET 199");
    ASSERT_GT(doomed.size(), 100u);
    std::int64_t before = rows();
    std::int64_t id = add_text(L"a new capture");
    ASSERT_GT(id, 0);
    EXPECT_EQ(rows(), before + 1 - static_cast<std::int64_t>(doomed.size()));
    for (std::int64_t gone : doomed) {
        EXPECT_EQ(field(gone, "id"), "<none>") << gone;
    }
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history WHERE " + unpinned), 200);
    EXPECT_EQ(field(id, "id"), std::to_string(id));
}

// The capture's look for an equal live text and the trim go through the
// indexes, not through the whole table.
TEST_F(HistoryTest, CaptureLookupsUseTheIndexes) {
    auto plan = [&](const std::string& sql) {
        std::string out;
        for (auto& row : raw().rows("EXPLAIN QUERY PLAN " + sql)) {
            out += row.back() + "\n";
        }
        return out;
    };
    EXPECT_NE(plan("SELECT id FROM history WHERE substr(text,1,64)=substr('ab',1,64) AND text='ab' "
                   "AND deleted_at IS NULL AND is_image=0 ORDER BY id LIMIT 1")
                  .find("history_live_text"),
              std::string::npos);
    for (const char* sql :
         {"SELECT sort_order, id FROM history WHERE pinned=0 AND category_id IS NULL",
          "SELECT category_id FROM history WHERE pinned=0 AND category_id>3 ORDER BY category_id LIMIT 1",
          "SELECT sort_order, id FROM history WHERE pinned=0 AND category_id=3 AND cat_pin_override=1",
          "SELECT sort_order, id FROM history WHERE pinned=0 AND category_id=3"}) {
        std::string p = plan(sql);
        EXPECT_NE(p.find("COVERING INDEX history_unpinned"), std::string::npos) << sql << "\n" << p;
    }
}

TEST_F(HistoryTest, TrimTakesSlotRowsOfDeletedEntries) {
    std::int64_t first = add_text(L"slotted first");
    ASSERT_EQ(db().add_to_slots({first}, 9), 1);
    for (int i = 0; i < 200; ++i) {
        add_text(L"filler " + std::to_wstring(i));
    }
    EXPECT_EQ(field(first, "id"), "<none>");
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM slot_entries"), 0);
}

// Captures written several to a transaction end as the same captures
// written one by one: the same rows in the same order, with the bump of an
// equal text, texts too short to keep, image bytes that do not draw, and
// the trim past 200 unpinned entries; only the ids of the rows differ.
TEST_F(HistoryTest, CapturesWrittenTogetherEndAsTheyDoOneByOne) {
    std::vector<NewEntry> captures;
    for (int i = 0; i < 260; ++i) {
        NewEntry e;
        e.text = L"copy " + std::to_wstring(i % 230);  // 30 equal texts come again
        e.copied_at = L"2026-01-01T10:00:00";
        if (i == 5) e.text = L" x ";                     // too short: nothing stored
        if (i == 7) e.repeat = true;                     // stored again however equal
        if (i == 9) {                                    // bytes that are no image: the text alone
            e.text = L"caption of a broken picture";
            e.image = {1, 2, 3, 4};
            e.is_image = true;
        }
        if (i == 11) {                                   // a real image
            e.text.clear();
            e.image = pixel_dib(9);
            e.is_image = true;
            e.repeat = true;
        }
        captures.push_back(e);
    }
    // Every row as the list shows it, newest first, without ids.
    auto rows_of = [](Database& db) {
        std::vector<std::string> rows;
        for (const HistoryEntry& e : db.list_entries(L"every", false, false))
            rows.push_back(to_utf8(e.text) + "|" + (e.is_image ? "image" : "text") + "|" +
                           std::to_string(e.image.size()) + "|" + to_utf8(e.created_at));
        return rows;
    };
    TempDir other_dir;
    Database one_by_one(other_dir.file(L"quillet.db"));
    std::vector<std::int64_t> single_ids;
    for (const NewEntry& e : captures) single_ids.push_back(one_by_one.add_entry(e));

    std::vector<Database::CapturedWrite> written;
    std::size_t transactions = 0;
    for (std::size_t at = 0; at < captures.size();) {
        std::vector<const NewEntry*> batch;
        for (std::size_t i = at; i < captures.size() && i < at + 50; ++i) batch.push_back(&captures[i]);
        const std::vector<Database::CapturedWrite> part = db().add_entries(batch, 1e9);
        ASSERT_EQ(part.size(), batch.size()) << "the whole batch within an unbounded budget";
        written.insert(written.end(), part.begin(), part.end());
        at += part.size();
        ++transactions;
    }
    EXPECT_EQ(transactions, 6u);
    ASSERT_EQ(written.size(), captures.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(written[i].failed);
        EXPECT_FALSE(written[i].busy);
        EXPECT_EQ(written[i].id == 0, single_ids[i] == 0) << "stored as one by one";
    }
    EXPECT_EQ(rows_of(db()), rows_of(one_by_one));
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history WHERE pinned=0"), 200) << "trimmed to 200";
}

// A batch takes items only while its time lasts (at least one); a store
// held by another connection refuses the first as busy, writing nothing.
TEST_F(HistoryTest, ABatchStopsWhenItsTimeIsUpAndABusyStoreWritesNothing) {
    std::vector<NewEntry> captures(3);
    for (int i = 0; i < 3; ++i) captures[i].text = L"timed copy " + std::to_wstring(i);
    const std::vector<const NewEntry*> batch = {&captures[0], &captures[1], &captures[2]};
    {
        RawDb other(db_path_);
        other.exec("BEGIN EXCLUSIVE");
        const std::vector<Database::CapturedWrite> refused = db().add_entries(batch, 1e9);
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_EQ(refused[0].id, 0);
        EXPECT_TRUE(refused[0].failed);
        EXPECT_TRUE(refused[0].busy);
        other.exec("ROLLBACK");
    }
    EXPECT_EQ(rows(), 0);
    const std::vector<Database::CapturedWrite> first = db().add_entries(batch, 0);
    ASSERT_EQ(first.size(), 1u) << "no time: the first only";
    EXPECT_GT(first[0].id, 0);
    EXPECT_EQ(rows(), 1);
}

TEST_F(HistoryTest, PinsAndTheCategoryOverride) {
    std::int64_t pinned_cat = category(L"Pinned", true);
    std::int64_t plain_cat = category(L"Plain", false);
    struct Case {
        const char* what;
        std::optional<std::int64_t> cat;
        bool action;  // pin or unpin
        const char* pinned;
        const char* override_flag;
        bool effective;
    } cases[] = {
        {"unpin in pinned category", pinned_cat, false, "0", "1", false},
        {"pin in pinned category", pinned_cat, true, "1", "0", true},
        {"unpin in plain category", plain_cat, false, "0", "0", false},
        {"pin without category", std::nullopt, true, "1", "0", true},
        {"unpin without category", std::nullopt, false, "0", "0", false},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::int64_t id = add_text(L"pin case " + std::to_wstring(n++), c.cat);
        EXPECT_EQ(db().set_pinned_many({id}, c.action), 1) << c.what;
        EXPECT_EQ(field(id, "pinned"), c.pinned) << c.what;
        EXPECT_EQ(field(id, "cat_pin_override"), c.override_flag) << c.what;
        auto pinned_view = ids_of(db().list_entries(L"pinned", false, false));
        bool listed = std::find(pinned_view.begin(), pinned_view.end(), id) != pinned_view.end();
        EXPECT_EQ(listed, c.effective) << c.what;
    }
    // Moving an overridden entry to a category clears the override.
    std::int64_t id = add_text(L"moved", pinned_cat);
    db().set_pinned_many({id}, false);
    db().set_entry_category(id, pinned_cat);
    EXPECT_EQ(field(id, "cat_pin_override"), "0");
    EXPECT_EQ(db().set_pinned_many({}, true), 0);
    EXPECT_EQ(db().set_pinned_many({id, 999999}, false), 1);  // a missing id does not count
}

TEST_F(HistoryTest, FailedCommitRollsBack) {
    std::int64_t a = add_text(L"first text");
    std::int64_t b = add_text(L"second text");
    // A deferred foreign-key violation is only detected at COMMIT.
    raw().exec("CREATE TABLE parent(id INTEGER PRIMARY KEY);"
               "CREATE TABLE child(pid INTEGER REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED);"
               "CREATE TRIGGER on_pin AFTER UPDATE OF pinned ON history BEGIN INSERT INTO child VALUES (42); END;"
               "CREATE TRIGGER on_order AFTER UPDATE OF sort_order ON history BEGIN INSERT INTO child VALUES (42); END;");
    EXPECT_EQ(db().set_pinned_many({a, b}, true), 0);
    EXPECT_EQ(field(a, "pinned"), "0");
    std::string order = raw().text("SELECT group_concat(sort_order) FROM history");
    EXPECT_FALSE(db().reorder_entries({b}, 1, false, MoveScope{}));
    EXPECT_EQ(raw().text("SELECT group_concat(sort_order) FROM history"), order);

    db().add_to_slots({a, b}, 9);
    raw().exec("CREATE TRIGGER on_slot AFTER UPDATE ON slot_entries BEGIN INSERT INTO child VALUES (42); END;");
    EXPECT_FALSE(db().reorder_slots({b}, -1));
    EXPECT_EQ(ids_of(db().list_slot_entries()), (std::vector<std::int64_t>{a, b}));

    // A capture whose commit fails is not stored, bumped or trimmed, and
    // the image file of the entry the trim would have taken stays.
    for (int i = 0; i < 198; ++i) {
        add_text(L"filler " + std::to_wstring(i));
    }
    std::wstring file = png(L"first.png");
    db().set_image_path(a, file);
    raw().exec("CREATE TRIGGER on_add AFTER INSERT ON history BEGIN INSERT INTO child VALUES (42); END;"
               "CREATE TRIGGER on_bump AFTER UPDATE OF created_at ON history BEGIN INSERT INTO child VALUES (42); END;");
    std::int64_t count = rows();
    std::string b_order = field(b, "sort_order");
    EXPECT_EQ(add_text(L"the 201st"), 0);
    EXPECT_EQ(add_text(L"second text"), 0);  // the bump of b
    EXPECT_EQ(rows(), count);
    EXPECT_EQ(field(b, "sort_order"), b_order);
    EXPECT_TRUE(file_exists(file));
    EXPECT_EQ(field(a, "id"), std::to_string(a));
    EXPECT_EQ(raw().text("SELECT MAX(id) FROM history WHERE text='second text'"), std::to_string(b));

    // No transaction was left open: later writes reach the file.
    raw().exec("DROP TRIGGER on_pin; DROP TRIGGER on_order; DROP TRIGGER on_slot; DROP TRIGGER on_add;"
               "DROP TRIGGER on_bump;");
    std::int64_t c = add_text(L"third text");
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM history WHERE id=" + std::to_string(c)), 1);
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM child"), 0);
}

TEST_F(HistoryTest, SimpleUpdates) {
    std::int64_t id = add_text(L"original");
    EXPECT_FALSE(db().set_entry_text(id, L""));
    EXPECT_TRUE(db().set_entry_text(id, L"line one\nline two"));
    EXPECT_EQ(field(id, "text"), "line one\nline two");
    EXPECT_TRUE(db().set_custom_title(id, L"My title"));
    EXPECT_EQ(field(id, "custom_title"), "My title");
    EXPECT_TRUE(db().set_custom_title(id, L""));
    EXPECT_EQ(field(id, "custom_title"), "");
    db().increment_use_count(id);
    db().increment_use_count(id);
    EXPECT_EQ(field(id, "use_count"), "2");
    EXPECT_TRUE(db().set_image_path(id, L"C:\\x.png"));
    EXPECT_FALSE(db().set_image_path(999, L"C:\\x.png"));
    EXPECT_FALSE(db().set_link_title(id, L""));
    EXPECT_TRUE(db().set_link_title(id, L"Page title"));
    EXPECT_FALSE(db().set_link_title(999, L"Page title"));
    EXPECT_EQ(db().list_entries(L"all", false, false)[0].link_title, L"Page title");
    EXPECT_FALSE(db().set_keep(999, true));
    EXPECT_TRUE(db().set_keep(id, true));
    EXPECT_TRUE(db().is_kept(id));
    EXPECT_TRUE(db().set_keep(id, false));
    EXPECT_FALSE(db().is_kept(id));
    std::int64_t cat = db().add_category(L"C");
    EXPECT_EQ(db().set_entries_category({}, cat), 0);
    EXPECT_EQ(db().set_entries_category({id}, cat), 1);
    EXPECT_EQ(field(id, "category_id"), std::to_string(cat));
    EXPECT_EQ(db().set_entries_category({id}, std::nullopt), 1);
    EXPECT_EQ(field(id, "category_id"), "");
}

TEST_F(HistoryTest, TrashRestoreAndPurge) {
    std::int64_t a = add_text(L"entry a");
    std::int64_t b = add_text(L"entry b");
    std::int64_t c = add_text(L"entry c");
    db().add_to_slots({a, b, c}, 9);
    std::wstring file_b = png(L"b.PNG");
    std::wstring file_c = dir_.file(L"c.jpg");
    write_file(file_c, "jpg");
    db().set_image_path(b, file_b);
    db().set_image_path(c, file_c);

    EXPECT_EQ(db().trash_entries({a, b}), 2);
    EXPECT_EQ(db().count_entries(), 1);
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM slot_entries"), 1);
    EXPECT_TRUE(db().restore_entry(a));
    EXPECT_EQ(db().count_entries(), 2);
    EXPECT_TRUE(db().list_slot_entries().size() == 1);  // restoring gives no slot back

    EXPECT_EQ(db().purge_entries({b, c}), 2);
    EXPECT_FALSE(file_exists(file_b));  // ".PNG" counts
    EXPECT_TRUE(file_exists(file_c));   // any other extension is left alone
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM slot_entries"), 0);
    EXPECT_EQ(db().purge_entries({}), 0);
    EXPECT_EQ(db().trash_entries({}), 0);
    EXPECT_EQ(db().restore_entries({}), 0);
}

TEST_F(HistoryTest, FilesTheUserSavedAreNeverDeleted) {
    std::int64_t a = add_text(L"entry a");
    std::int64_t b = add_text(L"entry b");
    std::int64_t c = add_text(L"entry c");
    const std::wstring saved_a = png(L"saved a.png");
    const std::wstring saved_b = png(L"saved b.png");
    const std::wstring auto_c = png(L"auto c.png");
    EXPECT_TRUE(db().set_image_path(a, saved_a, true));
    EXPECT_TRUE(db().set_image_path(b, saved_b, true));
    EXPECT_TRUE(db().set_image_path(c, auto_c));
    EXPECT_EQ(field(a, "image_path"), to_utf8(saved_a));
    EXPECT_EQ(db().purge_entries({a, c}), 2);
    EXPECT_TRUE(file_exists(saved_a));
    EXPECT_FALSE(file_exists(auto_c));
    db().trash_entry(b);
    EXPECT_EQ(db().empty_trash(), 1);
    EXPECT_TRUE(file_exists(saved_b));
    // Recorded again without the flag, a file is the store's once more.
    std::int64_t d = add_text(L"entry d");
    EXPECT_TRUE(db().set_image_path(d, saved_a, true));
    EXPECT_TRUE(db().set_image_path(d, saved_a));
    EXPECT_EQ(db().purge_entries({d}), 1);
    EXPECT_FALSE(file_exists(saved_a));
}

// One file named by two rows (a Save-as over an older autosave): every way
// of deleting the older row leaves the file while the other row names it,
// and the file goes with the last row only when no row marks it as the
// user's own.
TEST_F(HistoryTest, AFileTwoRowsNameGoesOnlyWithTheLastAndNeverWhenTheUsersOwn) {
    enum class Way { purge, empty_trash, trash_age, age, clear, trim };
    struct Case {
        const char* what;
        Way way;
        bool newer_is_users;
    } cases[] = {
        {"purge, newer row the user's", Way::purge, true},
        {"purge, both autosaves", Way::purge, false},
        {"empty trash, newer row the user's", Way::empty_trash, true},
        {"empty trash, both autosaves", Way::empty_trash, false},
        {"trash timed out, newer row the user's", Way::trash_age, true},
        {"trash timed out, both autosaves", Way::trash_age, false},
        {"age-out, newer row the user's", Way::age, true},
        {"age-out, both autosaves", Way::age, false},
        {"clear history, newer row the user's", Way::clear, true},
        {"trim, newer row the user's", Way::trim, true},
        {"trim, both autosaves", Way::trim, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring tag = std::to_wstring(n++);
        std::int64_t older = add_text(L"older shot " + tag);
        // Clear history spares kept rows: the newer one stays that way.
        std::int64_t newer = add_text(L"newer shot " + tag);
        const std::wstring file = png(L"shot " + tag + L".png");
        ASSERT_TRUE(db().set_image_path(older, file));
        // The user's copy may differ in case only, as Windows paths do.
        std::wstring named = file;
        for (auto& ch : named) ch = static_cast<wchar_t>(towupper(ch));
        ASSERT_TRUE(db().set_image_path(newer, c.newer_is_users ? named : file, c.newer_is_users));
        if (c.way == Way::clear) db().set_keep(newer, true);
        const std::string older_id = std::to_string(older);
        switch (c.way) {
            case Way::purge:
                EXPECT_EQ(db().purge_entries({older}), 1);
                break;
            case Way::empty_trash:
                db().trash_entry(older);
                EXPECT_EQ(db().empty_trash(), 1);
                break;
            case Way::trash_age:
                db().trash_entry(older);
                raw().exec("UPDATE history SET deleted_at='2000-01-01T00:00:00' WHERE id=" + older_id);
                EXPECT_EQ(db().purge_trash_older_than(1), 1);
                break;
            case Way::age:
                raw().exec("UPDATE history SET created_at='2000-01-01T00:00:00' WHERE id=" + older_id);
                EXPECT_EQ(db().delete_entries_older_than(30), 1);
                break;
            case Way::clear:
                EXPECT_GE(db().clear_history(), 1);
                break;
            case Way::trim:
                for (int i = 0; i < 198; ++i) {  // 200 rows in all
                    add_text(L"filler " + tag + L" " + std::to_wstring(i));
                }
                ASSERT_EQ(field(older, "id"), older_id);
                add_text(L"the 201st " + tag);
                break;
        }
        EXPECT_EQ(field(older, "id"), "<none>");
        EXPECT_EQ(field(newer, "id"), std::to_string(newer));
        EXPECT_TRUE(file_exists(file));
        // The last row that names it: an autosave goes with it.
        EXPECT_EQ(db().purge_entries({newer}), 1);
        EXPECT_EQ(file_exists(file), c.newer_is_users);
        raw().exec("DELETE FROM history");
    }
}

TEST_F(HistoryTest, EmptyTrashCountsEntriesAndSnippets) {
    EXPECT_EQ(db().empty_trash(), 0);
    raw().exec("INSERT INTO slot_entries (entry_id, slot_order) VALUES (5000, 1)");
    EXPECT_EQ(db().empty_trash(), 0);
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM slot_entries"), 0);  // orphan removed

    std::int64_t a = add_text(L"entry a");
    add_text(L"entry b");
    std::wstring file = png(L"a.png");
    db().set_image_path(a, file);
    db().trash_entry(a);
    db().trash_snippet(db().list_snippets()[0].id);
    EXPECT_EQ(db().empty_trash(), 2);
    EXPECT_FALSE(file_exists(file));
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(db().list_trashed_snippets().size(), 0u);
}

TEST_F(HistoryTest, TrashTimeOut) {
    std::int64_t old_entry = add_text(L"old trash");
    std::int64_t new_entry = add_text(L"new trash");
    std::int64_t live = add_text(L"live one");
    std::int64_t snippet = db().add_snippet(L"old snippet", L"x", L"");
    std::wstring file = png(L"old.png");
    db().set_image_path(old_entry, file);
    db().trash_entries({old_entry, new_entry});
    db().trash_snippet(snippet);
    raw().exec("UPDATE history SET deleted_at='2000-01-01T00:00:00' WHERE id=" + std::to_string(old_entry));
    raw().exec("UPDATE snippets SET deleted_at='2000-01-01T00:00:00' WHERE id=" + std::to_string(snippet));

    EXPECT_EQ(db().purge_trash_older_than(0), 0);
    EXPECT_EQ(db().purge_trash_older_than(-5), 0);
    EXPECT_EQ(db().purge_trash_older_than(INT64_MAX), 0);     // before 1970: nothing
    EXPECT_EQ(db().purge_trash_older_than(600000000), 0);     // about 68,000 years
    EXPECT_EQ(rows(), 3);
    EXPECT_EQ(db().purge_trash_older_than(1), 2);
    EXPECT_EQ(field(old_entry, "id"), "<none>");
    EXPECT_FALSE(file_exists(file));
    EXPECT_EQ(field(new_entry, "id"), std::to_string(new_entry));
    EXPECT_EQ(field(live, "id"), std::to_string(live));
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM snippets WHERE id=" + std::to_string(snippet)), 0);
}

TEST_F(HistoryTest, DeletionByAge) {
    std::int64_t pinned_cat = category(L"Pinned", true);
    struct Case {
        const char* what;
        std::optional<std::int64_t> cat;
        const char* arrange;  // extra SET clause
        bool trashed;
        bool deleted;
    } cases[] = {
        {"old plain", std::nullopt, "", false, true},
        {"old kept", std::nullopt, ", keep=1", false, false},
        {"old own pin", std::nullopt, ", pinned=1", false, false},
        {"old in pinned category", pinned_cat, "", false, false},
        {"old with override", pinned_cat, ", cat_pin_override=1", false, true},
        {"old trashed", std::nullopt, "", true, false},
        {"recent", std::nullopt, ", created_at='9999-01-01T00:00:00'", false, false},
    };
    std::vector<std::int64_t> ids;
    int n = 0;
    for (const auto& c : cases) {
        std::int64_t id = add_text(L"age case " + std::to_wstring(n++), c.cat);
        raw().exec(std::string("UPDATE history SET created_at='2000-06-01T12:00:00'") + c.arrange +
                   " WHERE id=" + std::to_string(id));
        if (c.trashed) {
            db().trash_entry(id);
        }
        ids.push_back(id);
    }
    db().add_to_slots({ids[0]}, 9);
    std::wstring file = png(L"aged.png");
    db().set_image_path(ids[0], file);

    for (std::int64_t days : {std::int64_t{0}, std::int64_t{-1}, INT64_MAX, std::int64_t{30000000}}) {
        EXPECT_EQ(db().delete_entries_older_than(days), 0) << days;
    }
    EXPECT_EQ(rows(), static_cast<std::int64_t>(std::size(cases)));
    EXPECT_EQ(db().delete_entries_older_than(30), 2);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        bool present = field(ids[i], "id") != "<none>";
        EXPECT_EQ(present, !cases[i].deleted) << cases[i].what;
    }
    EXPECT_FALSE(file_exists(file));
    EXPECT_EQ(raw().number("SELECT COUNT(*) FROM slot_entries"), 0);
}

TEST_F(HistoryTest, ClearHistorySparesKeptPinnedAndTrash) {
    std::int64_t pinned_cat = category(L"Pinned", true);
    std::int64_t plain = add_text(L"plain one");
    std::int64_t kept = add_text(L"kept one");
    db().set_keep(kept, true);
    std::int64_t pinned = db().add_text_entry(L"pinned one", std::nullopt, true, false);
    std::int64_t in_cat = add_text(L"category one", pinned_cat);
    std::int64_t trashed = add_text(L"trashed one");
    db().trash_entry(trashed);
    db().add_to_slots({plain, kept}, 9);
    std::wstring file = png(L"plain.png");
    db().set_image_path(plain, file);

    EXPECT_EQ(db().clear_history(), 1);
    EXPECT_EQ(field(plain, "id"), "<none>");
    EXPECT_FALSE(file_exists(file));
    for (std::int64_t id : {kept, pinned, in_cat, trashed}) {
        EXPECT_EQ(field(id, "id"), std::to_string(id));
    }
    EXPECT_EQ(raw().ids("SELECT entry_id FROM slot_entries"), (std::vector<std::int64_t>{kept}));
}

TEST(ImageFiles, OnlyExistingPngFilesAreDeleted) {
    TempDir dir;
    struct Case {
        std::wstring name;
        bool make_dir;
        bool deleted;
    } cases[] = {
        {L"a.png", false, true},
        {L"b.PNG", false, true},
        {L"c.Png", false, true},
        {L"d.jpg", false, false},
        {L"e.png.txt", false, false},
        {L"folder.png", true, false},
    };
    for (const auto& c : cases) {
        std::wstring p = dir.file(c.name);
        if (c.make_dir) {
            CreateDirectoryW(p.c_str(), nullptr);
        } else {
            write_file(p, "x");
        }
        delete_image_file(p);
        DWORD attrs = GetFileAttributesW(p.c_str());
        EXPECT_EQ(attrs == INVALID_FILE_ATTRIBUTES, c.deleted);
    }
    delete_image_file(L".png");                   // too short: ignored
    delete_image_file(dir.file(L"missing.png"));  // nothing there: ignored
}

}  // namespace
