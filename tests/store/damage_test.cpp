// Store files damaged inside (their header and schema intact): found by the
// quick check at open or by a statement later, set aside unchanged, and
// replaced by a fresh store holding every row that still reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "store_fixture.h"

namespace {

using store_test::RawDb;
using store_test::TempDir;

constexpr std::size_t kPage = 4096;

std::string pseudo_random_bytes(std::size_t n, std::uint32_t seed) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        out += static_cast<char>(seed >> 24);
    }
    return out;
}

std::string read_file(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got > 0) bytes.append(buf, got);
    CloseHandle(h);
    return bytes;
}

// Writes bytes over page 'page' (counted from 1) onwards, as a failing disk
// or another program could, while the store may have the file open.
void overwrite_pages(const std::wstring& path, std::size_t page, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>((page - 1) * kPage);
    ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    ASSERT_EQ(written, bytes.size());
}

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
