// Opening, creating and migrating the database file; default snippets;
// back-fills; damaged files; the SQL text helpers.
#include "damage_support.h"
#include "store_fixture.h"

#include <cwchar>

using namespace store_test;

namespace {

const std::wstring kLetters = L"\u041F\u0438\u0441\u044C\u043C\u0430";
const std::wstring kDocuments = L"\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B";
const std::wstring kLetter = L"\u041F\u0438\u0441\u044C\u043C\u043E";
const std::wstring kHeading =
    L"\u0417\u0430\u0433\u043E\u043B\u043E\u0432\u043E\u043A \u0434\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u0430";

std::vector<std::string> history_columns(RawDb& raw) {
    std::vector<std::string> names;
    for (auto& r : raw.rows("PRAGMA table_info(history)")) {
        names.push_back(r[1]);
    }
    return names;
}

TEST(SqlText, QuoteDoublesSingleQuotesOnly) {
    struct Case {
        std::wstring in, out;
    } cases[] = {
        {L"O'Brien", L"'O''Brien'"},
        {L"", L"''"},
        {L"it's 'x'", L"'it''s ''x'''"},
        {L"a\"b\\c", L"'a\"b\\c'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sql_quote(c.in), c.out);
    }
}

TEST(SqlText, JoinIds) {
    EXPECT_EQ(join_ids({}), L"");
    EXPECT_EQ(join_ids({3, 17, 42}), L"3,17,42");
    EXPECT_EQ(join_ids({-5}), L"-5");
    EXPECT_EQ(join_ids({INT64_MAX}), L"9223372036854775807");
}

TEST(SqlText, DefaultTemplateTexts) {
    auto letter = default_template_text(kLetter);
    auto heading = default_template_text(kHeading);
    ASSERT_TRUE(letter && heading);
    EXPECT_EQ(letter->size(), 73u);
    EXPECT_EQ(heading->size(), 49u);
    EXPECT_EQ(std::count(letter->begin(), letter->end(), L'\n'), 4);
    EXPECT_EQ(letter->find(L'\r'), std::wstring::npos);
    EXPECT_NE(letter->find(L"{user}!\n\n"), std::wstring::npos);
    EXPECT_EQ(letter->substr(letter->size() - 5), L", ...");
    EXPECT_NE(heading->find(L" {date} "), std::wstring::npos);
    EXPECT_FALSE(default_template_text(L"Other"));
}

TEST_F(StoreTest, FreshFileHasEveryTableAndColumn) {
    EXPECT_TRUE(db().is_open());
    EXPECT_FALSE(db().recovered_damaged_file());
    auto tables = raw().rows(
        "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY name");
    ASSERT_EQ(tables.size(), 5u);
    EXPECT_EQ(tables[0][0], "categories");
    EXPECT_EQ(tables[1][0], "history");
    EXPECT_EQ(tables[2][0], "slot_entries");
    EXPECT_EQ(tables[3][0], "snippet_groups");
    EXPECT_EQ(tables[4][0], "snippets");
    std::vector<std::string> expected = {
        "id", "text", "created_at", "pinned", "category_id", "sort_order", "deleted_at", "use_count",
        "rtf", "html", "image", "source_app", "source_title", "source_url", "orig_text", "is_image",
        "is_browser_page", "custom_title", "image_path", "cat_pin_override", "link_title", "keep",
        "image_user_file"};
    EXPECT_EQ(history_columns(raw()), expected);
    EXPECT_EQ(raw().text("PRAGMA journal_mode"), "wal");
}

TEST_F(StoreTest, ReopeningChangesNothing) {
    add_text(L"first entry");
    std::string schema = raw().text("SELECT group_concat(sql, ';') FROM sqlite_master");
    auto rows = raw().rows("SELECT * FROM history");
    auto snippets = raw().rows("SELECT * FROM snippets");
    reopen();
    EXPECT_EQ(raw().text("SELECT group_concat(sql, ';') FROM sqlite_master"), schema);
    EXPECT_EQ(raw().rows("SELECT * FROM history"), rows);
    EXPECT_EQ(raw().rows("SELECT * FROM snippets"), snippets);
}

TEST(StoreMigration, EightColumnHistoryKeepsItsRows) {
    TempDir dir;
    std::wstring path = dir.file(L"old.db");
    {
        RawDb old(path);
        old.exec("PRAGMA foreign_keys=OFF");  // this layout has no categories table
        old.exec("CREATE TABLE history (id INTEGER PRIMARY KEY AUTOINCREMENT,text TEXT NOT NULL,"
                 "created_at TEXT NOT NULL,pinned INTEGER NOT NULL DEFAULT 0,"
                 "category_id INTEGER REFERENCES categories(id),sort_order INTEGER NOT NULL DEFAULT 0,"
                 "deleted_at TEXT,use_count INTEGER NOT NULL DEFAULT 0)");
        old.exec("INSERT INTO history (text, created_at, pinned, sort_order, use_count) VALUES "
                 "('old one','2020-01-02T03:04:05',0,1,2),"
                 "('old pinned','2020-01-03T03:04:05',1,2,0),"
                 "('old trashed','2020-01-04T03:04:05',0,3,0)");
        old.exec("UPDATE history SET deleted_at='2020-02-01T00:00:00' WHERE text='old trashed'");
    }
    Database db(path);
    EXPECT_TRUE(db.is_open());
    RawDb raw(path);
    EXPECT_EQ(history_columns(raw).size(), 23u);

    auto live = db.list_entries(L"all", false, false);
    ASSERT_EQ(live.size(), 2u);
    EXPECT_EQ(live[0].text, L"old pinned");
    EXPECT_TRUE(live[0].pinned);
    EXPECT_TRUE(live[0].effective_pinned);
    EXPECT_EQ(live[1].text, L"old one");
    EXPECT_EQ(live[1].created_at, L"2020-01-02T03:04:05");
    EXPECT_EQ(live[1].use_count, 2);
    for (const auto& e : live) {
        EXPECT_TRUE(e.rtf.empty() && e.html.empty() && e.image.empty());
        EXPECT_TRUE(e.source_app.empty() && e.source_title.empty() && e.source_url.empty());
        EXPECT_TRUE(e.custom_title.empty() && e.link_title.empty());
        EXPECT_FALSE(e.is_image || e.is_browser_page || e.keep);
        EXPECT_FALSE(e.category_id);
    }
    auto trash = db.list_entries(L"trash", false, false);
    ASSERT_EQ(trash.size(), 1u);
    EXPECT_EQ(trash[0].text, L"old trashed");
    // New rows continue after the old ids and the store works as usual.
    std::int64_t id = db.add_entry({.text = L"new one"});
    EXPECT_EQ(id, 4);
    EXPECT_EQ(db.count_entries(), 3);
}

TEST(StoreMigration, SnippetTableWithoutGroupAndTrashColumns) {
    TempDir dir;
    std::wstring path = dir.file(L"old.db");
    {
        RawDb old(path);
        old.exec("CREATE TABLE snippets (id INTEGER PRIMARY KEY AUTOINCREMENT,title TEXT NOT NULL,"
                 "text TEXT NOT NULL,created_at TEXT NOT NULL,use_count INTEGER NOT NULL DEFAULT 0)");
        old.exec("INSERT INTO snippets (title, text, created_at) VALUES ('Mine','body','2020-01-01T00:00:00')");
    }
    Database db(path);
    auto snippets = db.list_snippets();
    ASSERT_EQ(snippets.size(), 1u);  // a live snippet: no defaults are added
    EXPECT_EQ(snippets[0].title, L"Mine");
    EXPECT_EQ(snippets[0].grp, L"");
    EXPECT_EQ(snippets[0].deleted_at, L"");
}

TEST_F(StoreTest, FreshStoreIsSeededWithDefaultSnippets) {
    auto snippets = db().list_snippets();
    ASSERT_EQ(snippets.size(), 2u);
    EXPECT_EQ(snippets[0].title, kHeading);  // ordered by title
    EXPECT_EQ(snippets[0].grp, kDocuments);
    EXPECT_EQ(snippets[0].text, *default_template_text(kHeading));
    EXPECT_EQ(snippets[1].title, kLetter);
    EXPECT_EQ(snippets[1].grp, kLetters);
    EXPECT_EQ(snippets[1].text, *default_template_text(kLetter));
    EXPECT_EQ(snippets[1].created_at.size(), 19u);
    EXPECT_EQ(db().list_snippet_groups(), (std::vector<std::wstring>{kDocuments, kLetters}));
}

TEST_F(StoreTest, SeedingRule) {
    struct Case {
        const char* arrange;
        std::int64_t snippets_after;
    } cases[] = {
        // One group row and no snippet: nothing is added.
        {"DELETE FROM snippets; DELETE FROM snippet_groups WHERE rowid <> (SELECT min(rowid) FROM snippet_groups)", 0},
        // Only trashed snippets and no group row: seeded again.
        {"UPDATE snippets SET deleted_at='2024-01-01T00:00:00'; DELETE FROM snippet_groups", 4},
        // A live snippet and no group row: nothing is added.
        {"DELETE FROM snippet_groups", 2},
    };
    for (const auto& c : cases) {
        raw().exec("DELETE FROM snippets; DELETE FROM snippet_groups;");
        reopen();  // seeds the defaults
        raw().exec(c.arrange);
        reopen();
        EXPECT_EQ(raw().number("SELECT COUNT(*) FROM snippets"), c.snippets_after) << c.arrange;
    }
}

TEST_F(StoreTest, NullAndEmptyReadTheSame) {
    raw().exec("INSERT INTO history (text, created_at, sort_order, source_app, link_title, custom_title) "
               "VALUES ('with null','2024-01-01T00:00:00',1,NULL,NULL,NULL),"
               "('with empty','2024-01-01T00:00:00',2,'','','')");
    auto entries = db().list_entries(L"all", false, false);
    ASSERT_EQ(entries.size(), 2u);
    for (const auto& e : entries) {
        EXPECT_EQ(e.source_app, L"");
        EXPECT_EQ(e.link_title, L"");
        EXPECT_EQ(e.custom_title, L"");
    }
}

TEST_F(StoreTest, BackfillsAtNextOpen) {
    raw().exec("INSERT INTO history (text, created_at, sort_order, html, source_url) VALUES "
               "('a page','2024-01-01T00:00:00',1,"
               "CAST('Version:0.9' || char(13,10) || 'SourceURL: https://example.com/p?q=1 ' || char(13,10) || '<b>x</b>' AS BLOB),''),"
               "('no header','2024-01-01T00:00:00',2,CAST('Version:0.9' AS BLOB),''),"
               "('kept url','2024-01-01T00:00:00',3,CAST('SourceURL:https://other.example/' AS BLOB),'https://mine.example/')");
    raw().exec("INSERT INTO history (text, created_at, sort_order, image, is_image) VALUES "
               "('','2024-01-01T00:00:00',4,x'0102',0)");
    reopen();
    auto rows = raw().rows("SELECT text, source_url FROM history WHERE is_image=0 ORDER BY id");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1], "https://example.com/p?q=1");
    EXPECT_EQ(rows[1][1], "");
    EXPECT_EQ(rows[2][1], "https://mine.example/");
    EXPECT_EQ(raw().number("SELECT is_image FROM history WHERE sort_order=4"), 1);
}

using damage_test::pseudo_random_bytes;
using damage_test::read_file;

TEST(StoreDamage, DamagedFileIsRenamedAsideAndAFreshStoreWorks) {
    struct Case {
        const char* what;
        bool valid_header;  // a real database whose schema page is then destroyed
        std::string bytes;
        std::string wal;
    } cases[] = {
        {"random bytes with a log beside", false, pseudo_random_bytes(16384, 12345), "not a log either"},
        {"three bytes", false, "abc", ""},
        {"broken schema page", true, "", ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::wstring path = dir.file(L"quillet.db");
        std::string original;
        if (c.valid_header) {
            {
                RawDb make(path);
                make.exec("CREATE TABLE history (id INTEGER PRIMARY KEY, text TEXT); INSERT INTO history VALUES (1, 'x')");
            }
            original = read_file(path);
            ASSERT_GE(original.size(), 4096u);
            original.replace(100, 3996, pseudo_random_bytes(3996, 7));
        } else {
            original = c.bytes;
        }
        write_file(path, original);
        if (!c.wal.empty()) {
            write_file(path + L"-wal", c.wal);
        }

        Database db(path);
        ASSERT_TRUE(db.is_open()) << c.what;
        ASSERT_TRUE(db.recovered_damaged_file()) << c.what;
        const std::wstring& aside = db.damaged_file_path();
        EXPECT_EQ(aside.rfind(path + L".damaged-", 0), 0u) << c.what;
        EXPECT_EQ(aside.find(L':', 2), std::wstring::npos) << c.what;  // a valid file name
        EXPECT_EQ(read_file(aside), original) << c.what;  // kept untouched
        if (!c.wal.empty()) {
            EXPECT_EQ(read_file(aside + L"-wal"), c.wal) << c.what;
        }
        std::int64_t id = db.add_entry({.text = L"after repair"});
        EXPECT_GT(id, 0) << c.what;
        auto all = db.list_entries(L"all", false, false);
        ASSERT_EQ(all.size(), 1u) << c.what;
        EXPECT_EQ(all[0].text, L"after repair");
        EXPECT_EQ(db.list_snippets().size(), 2u) << c.what;
    }
}

TEST(StoreDamage, HealthyFileIsNotMoved) {
    TempDir dir;
    std::wstring path = dir.file(L"quillet.db");
    { Database first(path); first.add_entry({.text = L"kept text"}); }
    Database again(path);
    EXPECT_TRUE(again.is_open());
    EXPECT_FALSE(again.recovered_damaged_file());
    EXPECT_EQ(again.count_entries(), 1);
}

TEST(StoreDamage, UnopenablePathFailsQuietly) {
    TempDir dir;
    Database db(dir.file(L"missing-folder\\quillet.db"));
    EXPECT_FALSE(db.is_open());
    EXPECT_FALSE(db.recovered_damaged_file());
    EXPECT_EQ(db.add_entry({.text = L"lost"}), 0);
    EXPECT_EQ(db.add_text_entry(L"lost", std::nullopt, false, true), 0);
    EXPECT_TRUE(db.list_entries(L"all", false, false).empty());
    EXPECT_EQ(db.count_entries(), 0);
    EXPECT_EQ(db.add_category(L"x"), 0);
    EXPECT_EQ(db.add_snippet(L"t", L"x", L""), 0);
    EXPECT_FALSE(db.reorder_entries({1}, -1, false, MoveScope{}));
    EXPECT_EQ(db.clear_history(), 0);
}

}  // namespace
