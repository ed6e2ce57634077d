// Store files damaged inside (their header and schema intact): found by the
// quick check at open or by a statement later, set aside unchanged, and
// replaced by a fresh store holding every row that still reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "damage_support.h"
#include "store_fixture.h"

namespace {

using store_test::RawDb;
using store_test::TempDir;

using damage_test::kPage;
using damage_test::overwrite_pages;
using damage_test::pseudo_random_bytes;
using damage_test::read_file;

std::wstring entry_text(int i) {
    // About three quarters of a page each: the rows spread over many pages.
    return L"entry " + std::to_wstring(i) + L" " + std::wstring(3000, static_cast<wchar_t>(L'a' + i % 26));
}

// A store of 40 entries beside a category, a snippet, a group and a slot;
// closed, so that the file holds everything. The texts by id.
std::map<std::int64_t, std::wstring> build_store(const std::wstring& path, std::int64_t& category) {
    std::map<std::int64_t, std::wstring> texts;
    Database db(path);
    EXPECT_TRUE(db.is_open());
    category = db.add_category(L"Work");
    for (int i = 1; i <= 40; ++i) {
        const std::wstring text = entry_text(i);
        const std::int64_t id = db.add_entry({.text = text, .source_app = L"notepad.exe",
            .category = i == 1 ? std::optional<std::int64_t>(category) : std::nullopt});
        EXPECT_GT(id, 0);
        texts[id] = text;
    }
    EXPECT_TRUE(db.add_to_slot(texts.begin()->first, 9));
    EXPECT_GT(db.add_snippet(L"Greeting", L"Hello {user}", L"Mail"), 0);
    EXPECT_TRUE(db.add_snippet_group(L"Docs"));
    return texts;
}

bool has_snippet(Database& db, const std::wstring& title) {
    for (const Snippet& s : db.list_snippets())
        if (s.title == title) return true;
    return false;
}

// Every saved entry is one of the originals, whole, under its own id.
void expect_originals(Database& db, const std::map<std::int64_t, std::wstring>& texts) {
    for (const HistoryEntry& e : db.list_entries(L"every", false, false)) {
        auto it = texts.find(e.id);
        ASSERT_NE(it, texts.end()) << e.id;
        EXPECT_EQ(e.text, it->second) << e.id;
    }
}

}  // namespace

TEST(StoreDamageInside, OverwrittenPagesAreFoundAtOpenAndTheRowsThatReadAreKept) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    std::int64_t category = 0;
    const auto texts = build_store(path, category);
    const std::size_t pages = read_file(path).size() / kPage;
    ASSERT_GE(pages, 45u);
    overwrite_pages(path, 21, pseudo_random_bytes(20 * kPage, 99));
    const std::string damaged = read_file(path);

    Database db(path);
    ASSERT_TRUE(db.is_open());
    ASSERT_TRUE(db.recovered_damaged_file());
    EXPECT_EQ(db.replacements(), 1);
    EXPECT_EQ(read_file(db.damaged_file_path()), damaged) << "kept aside unchanged";
    const std::int64_t saved = db.saved_entries();
    RecordProperty("saved_entries", static_cast<int>(saved));
    EXPECT_GT(saved, 0);
    EXPECT_LT(saved, 40);
    EXPECT_EQ(db.count_entries(), saved);
    expect_originals(db, texts);
    // The rows of the other tables were on pages that read.
    const std::vector<Category> cats = db.list_categories();
    ASSERT_EQ(cats.size(), 1u);
    EXPECT_EQ(cats[0].name, L"Work");
    EXPECT_TRUE(has_snippet(db, L"Greeting"));
    const std::vector<std::wstring> groups = db.list_snippet_groups();
    EXPECT_NE(std::find(groups.begin(), groups.end(), L"Docs"), groups.end());

    // The next capture goes into the fresh store, which is the file at the
    // path from now on.
    const std::int64_t id = db.add_entry({.text = L"copied after the repair"});
    ASSERT_GT(id, 0);
    EXPECT_EQ(db.count_entries(), saved + 1);
    RawDb file(path);
    EXPECT_EQ(file.text("PRAGMA quick_check"), "ok");
    EXPECT_EQ(file.number("SELECT count(*) FROM history"), saved + 1);
    EXPECT_EQ(read_file(db.damaged_file_path()), damaged);
}

TEST(StoreDamageInside, AZeroedHistoryRootPageSavesTheOtherTables) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    std::int64_t category = 0;
    build_store(path, category);
    std::int64_t root = 0;
    {
        RawDb file(path);
        root = file.number("SELECT rootpage FROM sqlite_schema WHERE name='history'");
    }
    ASSERT_GT(root, 1);
    overwrite_pages(path, static_cast<std::size_t>(root), std::string(kPage, '\0'));
    const std::string damaged = read_file(path);

    Database db(path);
    ASSERT_TRUE(db.is_open());
    ASSERT_TRUE(db.recovered_damaged_file());
    EXPECT_EQ(read_file(db.damaged_file_path()), damaged);
    EXPECT_EQ(db.saved_entries(), 0);
    EXPECT_EQ(db.count_entries(), 0);
    EXPECT_EQ(db.list_categories().size(), 1u);
    EXPECT_TRUE(has_snippet(db, L"Greeting"));
    EXPECT_TRUE(db.list_slot_entries().empty()) << "a slot of an entry that did not read goes";
    bool failed = true;
    EXPECT_GT(db.add_entry({.text = L"stored in the fresh store"}, &failed),
              0);
    EXPECT_FALSE(failed);
}

// Damage that appears while the store is open is found by the first
// statement that meets it: a capture is then written into the fresh store,
// never into the damaged file; a read leaves it to recover_if_damaged.
TEST(StoreDamageInside, DamageMetLaterIsHandledAsAtOpen) {
    for (const bool by_capture : {true, false}) {
        SCOPED_TRACE(by_capture ? "met by a capture" : "met by a list");
        TempDir dir;
        const std::wstring path = dir.file(L"quillet.db");
        std::int64_t category = 0;
        build_store(path, category);
        Database db(path);
        ASSERT_TRUE(db.is_open());
        ASSERT_FALSE(db.recovered_damaged_file());
        ASSERT_EQ(db.count_entries(), 40);
        std::int64_t root = 0;
        {
            // Another connection's write and checkpoint: the store reads its
            // pages from the file again.
            RawDb other(path);
            other.exec("UPDATE snippets SET use_count=use_count+1");
            other.exec("PRAGMA wal_checkpoint(TRUNCATE)");
            root = other.number("SELECT rootpage FROM sqlite_schema WHERE name='history'");
        }
        overwrite_pages(path, static_cast<std::size_t>(root), std::string(kPage, '\0'));
        const std::string damaged = read_file(path);

        if (by_capture) {
            bool failed = true;
            const std::int64_t id = db.add_entry({.text = L"copied after the damage"}, &failed);
            EXPECT_GT(id, 0);
            EXPECT_FALSE(failed);
            EXPECT_TRUE(db.recovered_damaged_file());
            EXPECT_FALSE(db.recover_if_damaged()) << "the fresh store is sound";
            const auto all = db.list_entries(L"all", false, false);
            ASSERT_EQ(all.size(), 1u);
            EXPECT_EQ(all[0].text, L"copied after the damage");
        } else {
            EXPECT_TRUE(db.list_entries(L"all", false, false).empty());
            EXPECT_FALSE(db.recovered_damaged_file());
            EXPECT_TRUE(db.recover_if_damaged());
            EXPECT_TRUE(db.recovered_damaged_file());
            EXPECT_FALSE(db.recover_if_damaged()) << "told once";
        }
        EXPECT_EQ(db.replacements(), 1);
        EXPECT_EQ(db.saved_entries(), 0);
        EXPECT_EQ(read_file(db.damaged_file_path()), damaged) << "the damaged file is not written";
        EXPECT_TRUE(has_snippet(db, L"Greeting"));
        RawDb fresh(path);
        EXPECT_EQ(fresh.text("PRAGMA quick_check"), "ok");
        EXPECT_EQ(fresh.number("SELECT count(*) FROM history"), by_capture ? 1 : 0);
    }
}

TEST(StoreDamageInside, ASoundFileIsCheckedAndLeftAlone) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    std::int64_t category = 0;
    const auto texts = build_store(path, category);
    Database db(path);
    EXPECT_TRUE(db.is_open());
    EXPECT_FALSE(db.recovered_damaged_file());
    EXPECT_EQ(db.replacements(), 0);
    EXPECT_EQ(db.saved_entries(), -1);
    EXPECT_EQ(db.count_entries(), 40);
    EXPECT_FALSE(db.recover_if_damaged());
}

namespace {

// The names of the files in a folder.
std::vector<std::wstring> files_in(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring name_of(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

// Another connection's write and checkpoint: an open store reads its pages
// from the file again afterwards.
void make_store_reread(const std::wstring& path) {
    RawDb other(path);
    other.exec("UPDATE snippets SET use_count=use_count+1");
    other.exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

std::int64_t add_text(Database& db, const std::wstring& text, bool* failed = nullptr) {
    return db.add_entry({.text = text}, failed);
}

}  // namespace

// The set-aside file is read in place as immutable: nothing is made beside it
// (no -shm, no -wal, no journal).
TEST(StoreDamageInside, TheSetAsideFileIsReadWithoutAnythingWrittenBesideIt) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    std::int64_t category = 0;
    build_store(path, category);
    ASSERT_EQ(files_in(dir.path()), std::vector<std::wstring>{L"quillet.db"}) << "closed cleanly";
    overwrite_pages(path, 21, pseudo_random_bytes(20 * kPage, 99));
    const std::string damaged = read_file(path);

    Database db(path);
    ASSERT_TRUE(db.recovered_damaged_file());
    EXPECT_GT(db.saved_entries(), 0);
    const std::wstring aside = name_of(db.damaged_file_path());
    std::vector<std::wstring> beside;
    for (const std::wstring& name : files_in(dir.path())) {
        if (name.rfind(aside, 0) == 0) beside.push_back(name);
    }
    EXPECT_EQ(beside, std::vector<std::wstring>{aside}) << "no -shm, -wal or journal beside it";
    EXPECT_TRUE(read_file(db.damaged_file_path()) == damaged);
}

// Another program holds the log open without delete sharing while the store
// finds damage: neither file is moved (a fresh store beside the old log
// would lose the rows that only the log holds). The store stays as it is and
// is only read; once the log is free, the next start sets the pair aside
// together and saves the rows of the log too.
TEST(StoreDamageInside, ALogHeldByAnotherProgramIsNeverSeparatedFromItsFile) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    std::int64_t category = 0;
    build_store(path, category);
    std::string damaged;
    std::string log;
    std::vector<std::int64_t> log_ids;
    {
        Database db(path);
        ASSERT_TRUE(db.is_open());
        for (int i = 1; i <= 3; ++i) {
            log_ids.push_back(add_text(db, L"only in the log " + std::to_wstring(i)));
            ASSERT_GT(log_ids.back(), 0);
        }
        overwrite_pages(path, 21, pseudo_random_bytes(20 * kPage, 99));
        damaged = read_file(path);
        log = read_file(path + L"-wal");
        ASSERT_GT(log.size(), 0u);
        ASSERT_NE(log, "<missing>");

        HANDLE holder = CreateFileW((path + L"-wal").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        // The running check meets the damage.
        EXPECT_FALSE(db.check_integrity());
        bool failed = false;
        EXPECT_EQ(add_text(db, L"copied while the log is held", &failed), 0);
        EXPECT_TRUE(failed);
        EXPECT_FALSE(db.recovered_damaged_file());
        EXPECT_TRUE(db.damaged_file_kept());
        EXPECT_TRUE(db.read_only());
        EXPECT_GE(db.count_entries(), 3) << "still read";
        CloseHandle(holder);
        EXPECT_TRUE(read_file(path) == damaged);
        EXPECT_TRUE(read_file(path + L"-wal") == log);
    }
    EXPECT_TRUE(read_file(path) == damaged) << "closed without writing the log into it";
    EXPECT_TRUE(read_file(path + L"-wal") == log);

    Database next(path);
    ASSERT_TRUE(next.recovered_damaged_file());
    EXPECT_FALSE(next.damaged_file_kept());
    EXPECT_TRUE(read_file(next.damaged_file_path()) == damaged);
    EXPECT_TRUE(read_file(next.damaged_file_path() + L"-wal") == log) << "the pair set aside together";
    std::vector<std::wstring> texts;
    for (const HistoryEntry& e : next.list_entries(L"every", false, false)) texts.push_back(e.text);
    for (int i = 1; i <= 3; ++i) {
        const std::wstring text = L"only in the log " + std::to_wstring(i);
        EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << to_utf8(text);
    }
    RecordProperty("saved_entries", static_cast<int>(next.saved_entries()));
    RecordProperty("unread_entries", static_cast<int>(next.unread_entries()));
    EXPECT_EQ(next.saved_entries() + next.unread_entries(), 43);
    // The set-aside pair still reads as it did: a copy of it opened apart.
    TempDir apart;
    ASSERT_TRUE(CopyFileW(next.damaged_file_path().c_str(), apart.file(L"copy.db").c_str(), TRUE));
    ASSERT_TRUE(CopyFileW((next.damaged_file_path() + L"-wal").c_str(), apart.file(L"copy.db-wal").c_str(), TRUE));
    RawDb copy(apart.file(L"copy.db"));
    for (std::size_t i = 0; i < log_ids.size(); ++i) {
        EXPECT_EQ(copy.text("SELECT text FROM history WHERE id=" + std::to_string(log_ids[i])),
                  "only in the log " + std::to_string(i + 1));
    }
}

// Damage found by a read is acted on before the next write: a capture right
// after it goes into the fresh store, never into the damaged file.
TEST(StoreDamageInside, ACaptureRightAfterDamageIsFoundGoesIntoTheFreshStore) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    std::int64_t category = 0;
    build_store(path, category);
    Database db(path);
    ASSERT_EQ(db.count_entries(), 40);
    make_store_reread(path);
    overwrite_pages(path, 21, pseudo_random_bytes(20 * kPage, 99));
    const std::string damaged = read_file(path);

    const std::size_t listed = db.list_entries(L"every", false, false).size();
    EXPECT_LT(listed, 40u) << "the read met the damage";
    ASSERT_FALSE(db.recovered_damaged_file());
    bool failed = true;
    ASSERT_GT(add_text(db, L"copied right after the damage", &failed), 0);
    EXPECT_FALSE(failed);
    EXPECT_TRUE(db.recovered_damaged_file());
    EXPECT_TRUE(read_file(db.damaged_file_path()) == damaged) << "nothing written into the damaged file";
    RawDb fresh(path);
    EXPECT_EQ(fresh.text("PRAGMA quick_check"), "ok");
    EXPECT_EQ(fresh.number("SELECT count(*) FROM history WHERE text='copied right after the damage'"), 1);
    EXPECT_EQ(fresh.number("SELECT count(*) FROM history"), db.saved_entries() + 1);
}

// A row whose image no longer reads (a broken page in the middle of its
// overflow chain) keeps its text and the columns before the image.
TEST(StoreDamageInside, ARowWithABrokenImageKeepsItsText) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    {
        Database db(path);
        ASSERT_GT(add_text(db, L"a text before the image"), 0);
        RawDb raw(path);
        raw.exec("INSERT INTO history (text, created_at, sort_order, image, is_image, source_app) VALUES "
                 "('the text of the image entry', '2026-01-01T10:00:00', 5, "
                 "CAST(replace(hex(zeroblob(60000)), '00', 'Q') AS BLOB), 1, 'paint.exe')");
        ASSERT_GT(add_text(db, L"a text after the image"), 0);
    }
    // A page of the image's overflow chain: its next-page number, then 4092
    // bytes of the image.
    const std::string file = read_file(path);
    std::size_t broken = 0;
    for (std::size_t page = 1; page * kPage <= file.size() && !broken; ++page) {
        const std::string body = file.substr((page - 1) * kPage + 4, kPage - 4);
        if (body == std::string(kPage - 4, 'Q') && file.substr((page - 1) * kPage, 4) != std::string(4, '\0')) {
            broken = page;
        }
    }
    ASSERT_GT(broken, 0u) << "an overflow page in the middle of the chain";
    overwrite_pages(path, broken, pseudo_random_bytes(kPage, 5));

    Database db(path);
    ASSERT_TRUE(db.recovered_damaged_file());
    EXPECT_EQ(db.saved_entries(), 3);
    EXPECT_EQ(db.unread_entries(), 0);
    RawDb fresh(path);
    EXPECT_EQ(fresh.rows("SELECT text, image IS NULL, is_image FROM history WHERE text LIKE 'the text%'"),
              (std::vector<std::vector<std::string>>{{"the text of the image entry", "1", "0"}}));
    EXPECT_EQ(fresh.number("SELECT count(*) FROM history WHERE text LIKE 'a text%'"), 2);
}

// The check that the hourly clean-up runs finds damage met while the store
// is open and sets the file aside as the quick check at open does; the
// number of entries that could not be read comes from the file's indexes.
TEST(StoreDamageInside, TheRunningCheckFindsDamageAndCountsTheUnreadEntries) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    std::int64_t category = 0;
    const auto texts = build_store(path, category);
    Database db(path);
    ASSERT_EQ(db.count_entries(), 40);
    EXPECT_FALSE(db.check_integrity()) << "a sound store";
    EXPECT_FALSE(db.recovered_damaged_file());
    overwrite_pages(path, 21, pseudo_random_bytes(20 * kPage, 99));
    const std::string damaged = read_file(path);

    const ULONGLONG started = GetTickCount64();
    EXPECT_TRUE(db.check_integrity());
    RecordProperty("check_and_replace_ms", static_cast<int>(GetTickCount64() - started));
    ASSERT_TRUE(db.recovered_damaged_file());
    EXPECT_TRUE(read_file(db.damaged_file_path()) == damaged);
    EXPECT_GT(db.saved_entries(), 0);
    EXPECT_EQ(db.saved_entries() + db.unread_entries(), 40) << "the unread ones counted";
    RecordProperty("saved_entries", static_cast<int>(db.saved_entries()));
    RecordProperty("unread_entries", static_cast<int>(db.unread_entries()));
    expect_originals(db, texts);
    EXPECT_FALSE(db.check_integrity()) << "the fresh store is sound";
}

// A store cut short (its last pages gone): none of its entries read, and the
// number of those lost is not known.
TEST(StoreDamageInside, ATruncatedStoreSavesNoneAndSaysSo) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    std::int64_t category = 0;
    build_store(path, category);
    std::string file = read_file(path);
    file.resize(3 * kPage);
    store_test::write_file(path, file);

    Database db(path);
    ASSERT_TRUE(db.recovered_damaged_file());
    EXPECT_EQ(db.saved_entries(), 0);
    EXPECT_NE(db.unread_entries(), 0);
    EXPECT_GT(add_text(db, L"stored in the fresh store"), 0);
}

// A store file that takes no writes (the read-only attribute) is opened
// read-only: its rows are listed, and writes fail without changing it.
TEST(StoreReadOnly, AReadOnlyStoreListsItsRows) {
    TempDir dir;
    const std::wstring path = dir.file(L"quillet.db");
    {
        Database db(path);
        for (int i = 1; i <= 3; ++i) ASSERT_GT(add_text(db, L"entry " + std::to_wstring(i)), 0);
    }
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string before = read_file(path);
    {
        Database db(path);
        EXPECT_TRUE(db.is_open());
        EXPECT_TRUE(db.read_only());
        EXPECT_FALSE(db.recovered_damaged_file());
        EXPECT_EQ(db.count_entries(), 3);
        EXPECT_EQ(db.list_entries(L"all", false, false).size(), 3u);
        bool failed = false;
        EXPECT_EQ(add_text(db, L"cannot be saved", &failed), 0);
        EXPECT_TRUE(failed);
        EXPECT_FALSE(db.check_integrity());
    }
    EXPECT_TRUE(read_file(path) == before);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
