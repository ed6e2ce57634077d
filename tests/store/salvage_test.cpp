// The salvage of a damaged store: what it keeps of a row (a table of what
// read), rows found past any gap of ids, a file held by another program
// tried again at the next copy, and a fresh store that could not be written
// filled once there is room. Real SQLite files throughout.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>

#include "damage_pages.h"
#include "damage_support.h"
#include "fixtures/backup_samples.h"
#include "held_file.h"
#include "store/entry_rule.h"
#include "store/row_source.h"
#include "store/salvage_rule.h"
#include "store_fixture.h"

namespace {

using damage_test::FullDisk;
using damage_test::kPage;
using damage_test::overwrite_pages;
using damage_test::page_holding;
using damage_test::pseudo_random_bytes;
using damage_test::read_file;
using store_test::HeldFile;
using store_test::RawDb;
using store_test::TempDir;

TEST(EntryRule, CountsTheTextAsTheCaptureTrimsIt) {
    struct Case {
        const char* utf8;
        std::size_t units;
    } cases[] = {
        {"", 0},
        {"   \t\r\n ", 0},
        {" x ", 1},
        {"\tx\r\n", 1},
        {"ab", 2},
        {" a b ", 2},
        {"\xC3\xA9", 1},          // one two-byte character
        {"\xF0\x9F\x98\x80", 2},  // one character outside the BMP: a surrogate pair
        {"long text with many characters", 2},  // counted up to the rule's need
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trimmed_text_units(c.utf8), c.units) << c.utf8;
    }
    EXPECT_FALSE(holds_an_entry(1, false));
    EXPECT_TRUE(holds_an_entry(2, false));
    EXPECT_TRUE(holds_an_entry(0, true));
}

TEST(SalvageRule, KeepsWhatIsStillAnEntry) {
    using K = SalvageKeep;
    struct Case {
        const char* what;
        SalvagedRowFacts row;
        SalvageKeep keep;
    } cases[] = {
        // text read, units, image read, present, keepable
        {"a text entry read whole", {true, 2, true, false, false}, K::AsRead},
        {"an image entry read whole", {true, 0, true, true, true}, K::AsRead},
        {"an image entry with text read whole", {true, 2, true, true, true}, K::AsRead},
        {"a text of one character", {true, 1, true, false, false}, K::Drop},
        {"an empty text", {true, 0, true, false, false}, K::Drop},
        {"an image entry without text whose image does not read", {true, 0, false, false, false}, K::Drop},
        {"an image entry with one character whose image does not read", {true, 1, false, false, false}, K::Drop},
        {"an image entry with text whose image does not read", {true, 2, false, false, false}, K::TextOnly},
        {"an image the capture would not keep, with text", {true, 2, true, true, false}, K::TextOnly},
        {"an image the capture would not keep, without text", {true, 0, true, true, false}, K::Drop},
        {"a readable image whose text does not read", {false, 0, true, true, true}, K::AsRead},
        {"neither reads", {false, 0, false, false, false}, K::Drop},
        {"a text that does not read and no image", {false, 0, true, false, false}, K::Drop},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<int>(salvage_history_row(c.row)), static_cast<int>(c.keep)) << c.what;
    }
}

// A table of one row to a leaf page (the row's id in its text), with or
// without an index, and the leaf pages of some rows overwritten; the rowids
// found in it, read as the salvage reads a set-aside file.
RowIds ids_found(const std::vector<std::int64_t>& ids, const std::vector<std::int64_t>& broken, bool indexed) {
    TempDir dir;
    const std::wstring path = dir.file(L"table.db");
    {
        RawDb raw(path);
        raw.exec("CREATE TABLE t (id INTEGER PRIMARY KEY, body TEXT, k INTEGER)");
        if (indexed) raw.exec("CREATE INDEX t_k ON t(k)");
        for (const std::int64_t id : ids) {
            raw.exec("INSERT INTO t VALUES (" + std::to_string(id) + ", 'row " + std::to_string(id) + " ' || " +
                     "replace(hex(zeroblob(3000)), '00', 'r'), " + std::to_string(id % 7) + ")");
        }
    }
    const std::string file = read_file(path);
    for (const std::int64_t id : broken) {
        const std::size_t page = page_holding(file, "row " + std::to_string(id) + " rrrrrrrr");
        EXPECT_GT(page, 0u) << id;
        if (page) overwrite_pages(path, page, pseudo_random_bytes(kPage, static_cast<std::uint32_t>(id)));
    }
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(sqlite_file_uri(path, true).c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr),
              SQLITE_OK);
    RowIds found = find_row_ids(db, "t");
    sqlite3_close(db);
    return found;
}

// The rowids of a table are found past gaps of any width and past broken
// leaf pages; a whole index adds the rows the walk passed over.
TEST(RowSource, FindsEveryRowidThatCanBeFound) {
    const std::int64_t kTop = std::numeric_limits<std::int64_t>::max();
    const std::int64_t kBottom = std::numeric_limits<std::int64_t>::min();
    struct Case {
        const char* what;
        std::vector<std::int64_t> ids;
        std::vector<std::int64_t> broken;
        bool indexed;
        std::vector<std::int64_t> found;
        bool damage;
    } cases[] = {
        {"sound, with gaps of every width", {kBottom, -5, 1, 2, 1'000'000, 3'000'000'000, kTop}, {}, false,
         {kBottom, -5, 1, 2, 1'000'000, 3'000'000'000, kTop}, false},
        {"a broken page before a gap of three million", {1, 2, 3, 4, 3'000'005, 3'000'006}, {4}, false,
         {1, 2, 3, 3'000'005, 3'000'006}, true},
        {"broken pages around sound ones", {1, 2, 100, 200, 300, 400, 500}, {100, 300}, false,
         {1, 2, 200, 400, 500}, true},
        {"the first and the last page broken", {10, 20, 30, 40}, {10, 40}, false, {20, 30}, true},
        {"a sound row between two broken ones, found by the index", {1, 100, 101, 200, 300}, {100, 200}, true,
         {1, 100, 101, 200, 300}, true},
        {"a sound table with an index", {5, 6, 7}, {}, true, {5, 6, 7}, false},
    };
    for (const Case& c : cases) {
        const RowIds got = ids_found(c.ids, c.broken, c.indexed);
        EXPECT_EQ(got.ids, c.found) << c.what;
        EXPECT_EQ(got.met_damage, c.damage) << c.what;
    }
}

// Image entries whose image pages no longer read: one with a text of two
// characters or more stays as a text entry; one without text, or with a
// single character, is no entry any more and is counted as not read. An
// image entry that reads stays an image entry.
TEST(StoreSalvage, AnImageEntryWhoseImageDoesNotReadIsKeptOnlyWithItsText) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    struct Image {
        const wchar_t* text;
        char fill;
        bool broken;
    } images[] = {{L"", 'A', true}, {L" x ", 'B', true}, {L"ab", 'C', true}, {L"", 'D', false}};
    {
        Database db(path);
        ASSERT_GT(db.add_entry({.text = L"a text before the images"}), 0);
        for (const Image& i : images) {
            ASSERT_GT(db.add_entry({.text = i.text, .image = backup_test::make_dib(64, 64, static_cast<std::uint8_t>(i.fill)),
                                    .is_image = true, .repeat = true}),
                      0);
        }
        ASSERT_GT(db.add_entry({.text = L"a text after the images"}), 0);
    }
    for (const Image& i : images) {
        if (i.broken) {
            ASSERT_GT(store_test::break_overflow_chain(path, kPage, i.fill), 0u) << i.fill;
        }
    }

    Database db(path);
    ASSERT_TRUE(db.recovered_damaged_file());
    EXPECT_EQ(db.saved_entries(), 4) << "two texts, the text of the broken image, the sound image";
    EXPECT_EQ(db.unread_entries(), 2) << "the broken images without a text of two characters";
    RawDb fresh(path);
    EXPECT_EQ(fresh.rows("SELECT text, is_image, image IS NULL FROM history ORDER BY id"),
              (std::vector<std::vector<std::string>>{{"a text before the images", "0", "1"},
                                                     {"ab", "0", "1"},
                                                     {"", "1", "0"},
                                                     {"a text after the images", "0", "1"}}));
    EXPECT_EQ(fresh.number("SELECT length(image) FROM history WHERE is_image=1"), 40 + 64 * 64 * 4);
}

std::wstring long_text(int i) {
    // About three quarters of a page: one row to a leaf page.
    return L"entry " + std::to_wstring(i) + L" " + std::wstring(3000, static_cast<wchar_t>(L'a' + i % 26));
}

// Rows are found however wide the gap of ids before them: 30 rows, a gap of
// three million ids, 30 more; the page of the last row before the gap is
// broken. Every other row is saved, at once.
TEST(StoreSalvage, RowsPastAWideGapOfIdsAreFound) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    {
        Database db(path);
        for (int i = 1; i <= 30; ++i) ASSERT_EQ(db.add_entry({.text = long_text(i)}), i);
        RawDb raw(path);
        for (int i = 31; i <= 60; ++i) {
            raw.exec("INSERT INTO history (id, text, created_at, sort_order) VALUES (" + std::to_string(3'000'000 + i) +
                     ", '" + to_utf8(long_text(i)) + "', '2026-01-01T10:00:00', " + std::to_string(i) + ")");
        }
    }
    const std::string file = read_file(path);
    const std::size_t broken = page_holding(file, "entry 30 " + std::string(200, 'a' + 30 % 26));
    ASSERT_GT(broken, 0u);
    overwrite_pages(path, broken, pseudo_random_bytes(kPage, 30));

    const ULONGLONG started = GetTickCount64();
    Database db(path);
    RecordProperty("open_and_salvage_ms", static_cast<int>(GetTickCount64() - started));
    ASSERT_TRUE(db.recovered_damaged_file());
    EXPECT_EQ(db.saved_entries(), 59);
    EXPECT_EQ(db.unread_entries(), 1);
    RawDb fresh(path);
    EXPECT_EQ(fresh.number("SELECT count(*) FROM history WHERE id > 3000000"), 30) << "the rows past the gap";
    EXPECT_EQ(fresh.number("SELECT count(*) FROM history WHERE id = 30"), 0);
    EXPECT_EQ(fresh.text("SELECT text FROM history WHERE id = 3000045"), to_utf8(long_text(45)));
}

// A file that is no database, held open by another program when the store
// starts: no store is open and it says why; the first copy after the
// program lets go sets the file aside and is stored in a fresh store.
TEST(StoreSalvage, AFileThatIsNoDatabaseHeldAtStartIsSetAsideAtTheNextCopy) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    const std::string original = pseudo_random_bytes(16384, 77);
    store_test::write_file(path, original);
    HeldFile holder(path);
    ASSERT_TRUE(holder.holding());

    Database db(path);
    EXPECT_FALSE(db.is_open());
    EXPECT_TRUE(db.damaged_file_kept());
    EXPECT_FALSE(db.kept_file_is_database()) << "told as no database, not as a store kept and read";
    EXPECT_FALSE(db.read_only());
    EXPECT_FALSE(db.recovered_damaged_file());
    EXPECT_EQ(db.recovery_news(), 1);
    bool failed = false;
    EXPECT_EQ(db.add_entry({.text = L"copied while it is held"}, &failed), 0);
    EXPECT_TRUE(failed);
    EXPECT_TRUE(db.damaged_file_kept());
    EXPECT_EQ(db.recovery_news(), 1) << "nothing new to tell";

    holder.let_go();
    const std::int64_t id = db.add_entry({.text = L"copied once it is free"}, &failed);
    EXPECT_GT(id, 0);
    EXPECT_FALSE(failed);
    ASSERT_TRUE(db.recovered_damaged_file());
    EXPECT_FALSE(db.damaged_file_kept());
    EXPECT_TRUE(db.is_open());
    EXPECT_EQ(db.saved_entries(), -1) << "no database: nothing to count";
    EXPECT_EQ(db.recovery_news(), 2);
    EXPECT_TRUE(read_file(db.damaged_file_path()) == original);
    RawDb fresh(path);
    EXPECT_EQ(fresh.text("SELECT text FROM history"), "copied once it is free");
}

// A damaged store whose log another program holds open: kept where it is
// and read; the first copy after the program lets go sets the pair aside,
// saves its rows (those only in the log too) and is stored after them.
TEST(StoreSalvage, ADamagedStoreHeldByAnotherProgramIsSetAsideAtTheNextCopy) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    Database db(path);
    for (int i = 1; i <= 30; ++i) ASSERT_EQ(db.add_entry({.text = long_text(i)}), i);
    {
        RawDb other(path);  // the rows reach the file; the log keeps going
        other.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    ASSERT_EQ(db.add_entry({.text = L"only in the log"}), 31);
    overwrite_pages(path, page_holding(read_file(path), "entry 10 " + std::string(200, 'a' + 10 % 26)),
                    pseudo_random_bytes(kPage, 10));
    HeldFile holder(path + L"-wal");
    ASSERT_TRUE(holder.holding());
    EXPECT_FALSE(db.check_integrity()) << "the damage is found, the file cannot be moved";
    EXPECT_TRUE(db.damaged_file_kept());
    EXPECT_TRUE(db.kept_file_is_database());
    EXPECT_TRUE(db.read_only());
    bool failed = false;
    EXPECT_EQ(db.add_entry({.text = L"copied while it is held"}, &failed), 0);
    EXPECT_TRUE(failed);

    holder.let_go();
    const std::int64_t id = db.add_entry({.text = L"copied once it is free"}, &failed);
    EXPECT_GT(id, 31);
    EXPECT_FALSE(failed);
    ASSERT_TRUE(db.recovered_damaged_file());
    EXPECT_FALSE(db.damaged_file_kept());
    EXPECT_EQ(db.saved_entries(), 30);
    EXPECT_EQ(db.unread_entries(), 1);
    RawDb fresh(path);
    EXPECT_EQ(fresh.number("SELECT count(*) FROM history WHERE text='only in the log'"), 1);
    EXPECT_EQ(fresh.number("SELECT count(*) FROM history WHERE id=10"), 0);
    EXPECT_EQ(fresh.text("SELECT text FROM history ORDER BY id DESC LIMIT 1"), "copied once it is free");
}

// A damaged store set aside on a full disk (SQLite's page limit on the
// fresh store: with 1 page not even its tables fit; with 40 the tables fit
// and the copied rows do not): no store is open, the entries stay in the
// kept file, copies are refused; once there is room, the next copy fills
// the fresh store and is stored after the saved entries.
TEST(StoreSalvage, AFreshStoreThatCannotBeWrittenIsFilledAtTheNextCopy) {
    for (const unsigned pages : {1u, 40u}) {
        SCOPED_TRACE(pages);
        TempDir dir;
        const std::wstring path = dir.file(L"quillet.db");
        std::map<std::int64_t, std::wstring> texts;
        {
            Database db(path);
            for (int i = 1; i <= 60; ++i) texts[db.add_entry({.text = long_text(i)})] = long_text(i);
        }
        const std::string file = read_file(path);
        overwrite_pages(path, page_holding(file, "entry 20 " + std::string(200, 'a' + 20 % 26)),
                        pseudo_random_bytes(kPage, 20));
        const std::string damaged = read_file(path);

        FullDisk full(pages);
        Database db(path);
        EXPECT_TRUE(db.recovered_damaged_file());
        EXPECT_TRUE(db.salvage_waiting());
        EXPECT_FALSE(db.is_open());
        EXPECT_EQ(db.recovery_news(), 1);
        EXPECT_TRUE(read_file(db.damaged_file_path()) == damaged) << "the entries are still there";
        {
            RawDb fresh(path);
            EXPECT_EQ(fresh.number("SELECT count(*) FROM sqlite_schema WHERE name='history'"), pages > 1 ? 1 : 0);
        }
        bool failed = false;
        EXPECT_EQ(db.add_entry({.text = L"copied while the disk is full"}, &failed), 0);
        EXPECT_TRUE(failed);
        EXPECT_TRUE(db.salvage_waiting());
        EXPECT_EQ(db.recovery_news(), 1) << "told once";

        full.make_room();
        const std::int64_t id = db.add_entry({.text = L"copied once there is room"}, &failed);
        EXPECT_GT(id, 0);
        EXPECT_FALSE(failed);
        EXPECT_FALSE(db.salvage_waiting());
        EXPECT_TRUE(db.is_open());
        EXPECT_EQ(db.recovery_news(), 2);
        EXPECT_EQ(db.saved_entries(), 59);
        EXPECT_EQ(db.unread_entries(), 1);
        EXPECT_GT(id, texts.rbegin()->first) << "after the saved entries";
        RawDb fresh(path);
        EXPECT_EQ(fresh.text("PRAGMA quick_check"), "ok");
        EXPECT_EQ(fresh.number("SELECT count(*) FROM history"), 60);
        EXPECT_EQ(fresh.text("SELECT text FROM history WHERE id=45"), to_utf8(texts[45]));
        EXPECT_TRUE(read_file(db.damaged_file_path()) == damaged);
    }
}

}  // namespace
