// Snippets and snippet groups.
#include "store_fixture.h"

using namespace store_test;

namespace {

class SnippetsTest : public StoreTest {
protected:
    void SetUp() override {
        // Start without the default snippets and groups.
        raw().exec("DELETE FROM snippets; DELETE FROM snippet_groups;");
    }
    std::vector<std::wstring> titles(const std::vector<Snippet>& list) {
        std::vector<std::wstring> out;
        for (const auto& s : list) {
            out.push_back(s.title);
        }
        return out;
    }
};

TEST_F(SnippetsTest, AddRefusesEmptyAndTakenTitles) {
    std::int64_t trashed = db().add_snippet(L"Trashed", L"old", L"");
    ASSERT_GT(trashed, 0);
    db().trash_snippet(trashed);
    struct Case {
        std::wstring title, text, group;
        std::int64_t result;  // 1: a new id
    } cases[] = {
        {L"  Greeting ", L"Hello {user}", L" Mail\t", 1},
        {L"Greeting", L"again", L"", 0},
        {L"\tGreeting\r\n", L"again", L"", 0},
        {L"Trashed", L"new", L"", 0},
        {L"   ", L"text", L"", -1},
        {L"", L"text", L"", -1},
        {L"No text", L"", L"", -1},
        {L"Blank body", L"   ", L"", 1},
    };
    for (const auto& c : cases) {
        std::int64_t r = db().add_snippet(c.title, c.text, c.group);
        if (c.result == 1) {
            EXPECT_GT(r, 0) << std::string(c.title.begin(), c.title.end());
        } else {
            EXPECT_EQ(r, c.result) << std::string(c.title.begin(), c.title.end());
        }
    }
    auto live = db().list_snippets();
    ASSERT_EQ(live.size(), 2u);
    EXPECT_EQ(live[0].title, L"Blank body");
    EXPECT_EQ(live[0].text, L"   ");
    EXPECT_EQ(live[1].title, L"Greeting");
    EXPECT_EQ(live[1].text, L"Hello {user}");
    EXPECT_EQ(live[1].grp, L"Mail");
    EXPECT_EQ(live[1].use_count, 0);
    EXPECT_EQ(live[1].created_at.size(), 19u);
    EXPECT_EQ(live[1].deleted_at, L"");
    EXPECT_EQ(titles(db().list_trashed_snippets()), (std::vector<std::wstring>{L"Trashed"}));
}

TEST_F(SnippetsTest, FailedInsertReturnsNoId) {
    raw().exec("CREATE TRIGGER refuse BEFORE INSERT ON snippets BEGIN SELECT RAISE(ABORT, 'no'); END");
    add_text(L"an entry to leave a row id behind");
    EXPECT_EQ(db().add_snippet(L"Title", L"text", L""), 0);
    EXPECT_TRUE(db().list_snippets().empty());
}

TEST_F(SnippetsTest, UpdateTrashRestorePurgeAndUse) {
    std::int64_t id = db().add_snippet(L"Title", L"text", L"G");
    EXPECT_FALSE(db().update_snippet(id, L"  ", L"x", L""));
    EXPECT_FALSE(db().update_snippet(id, L"T", L"", L""));
    EXPECT_TRUE(db().update_snippet(id, L" New title ", L" body kept ", L" Group "));
    Snippet s = db().list_snippets().at(0);
    EXPECT_EQ(s.title, L"New title");
    EXPECT_EQ(s.text, L" body kept ");
    EXPECT_EQ(s.grp, L"Group");
    EXPECT_TRUE(db().set_snippet_group(id, L" Spaced "));
    EXPECT_EQ(db().list_snippets().at(0).grp, L" Spaced ");  // not trimmed
    db().increment_snippet_use_count(id);
    db().increment_snippet_use_count(id);
    EXPECT_EQ(db().list_snippets().at(0).use_count, 2);

    std::int64_t other = db().add_snippet(L"Other", L"x", L"");
    EXPECT_TRUE(db().trash_snippet(id));
    EXPECT_TRUE(db().trash_snippet(other));
    raw().exec("UPDATE snippets SET deleted_at='2001-01-01T00:00:00' WHERE id=" + std::to_string(id));
    EXPECT_TRUE(db().list_snippets().empty());
    EXPECT_EQ(titles(db().list_trashed_snippets()), (std::vector<std::wstring>{L"Other", L"New title"}));
    EXPECT_TRUE(db().restore_snippet(id));
    EXPECT_EQ(titles(db().list_snippets()), (std::vector<std::wstring>{L"New title"}));
    EXPECT_EQ(db().list_snippets().at(0).deleted_at, L"");
    EXPECT_TRUE(db().purge_snippet(other));
    EXPECT_TRUE(db().list_trashed_snippets().empty());
    EXPECT_TRUE(db().purge_snippet(999));
}

TEST_F(SnippetsTest, GroupsFromRowsAndLiveSnippets) {
    db().add_snippet_group(L"Rows only");
    db().add_snippet_group(L"Both");
    db().add_snippet(L"In both", L"x", L"Both");
    db().add_snippet(L"In live", L"x", L"Live only");
    db().add_snippet(L"Ungrouped", L"x", L"");
    std::int64_t t = db().add_snippet(L"In trash", L"x", L"Trash only");
    db().trash_snippet(t);
    EXPECT_EQ(db().list_snippet_groups(),
              (std::vector<std::wstring>{L"Both", L"Live only", L"Rows only"}));
}

TEST_F(SnippetsTest, AddGroup) {
    db().add_snippet(L"S", L"x", L"Via snippet");
    struct Case {
        std::wstring name;
        bool added;
    } cases[] = {
        {L" New ", true}, {L"New", false}, {L"Via snippet", false}, {L"  ", false}, {L"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(db().add_snippet_group(c.name), c.added) << std::string(c.name.begin(), c.name.end());
    }
    EXPECT_EQ(raw().ids("SELECT COUNT(*) FROM snippet_groups"), (std::vector<std::int64_t>{1}));
    EXPECT_EQ(raw().text("SELECT name FROM snippet_groups"), "New");
}

TEST_F(SnippetsTest, RenameGroup) {
    struct Case {
        const char* what;
        std::wstring from, to;
        bool renamed;
        std::vector<std::wstring> groups_after;
    } cases[] = {
        {"to a group row", L"Alpha", L"Row", false, {L"Alpha", L"Live", L"Row"}},
        {"to another live group", L"Alpha", L"Live", false, {L"Alpha", L"Live", L"Row"}},
        {"to an empty name", L"Alpha", L"  ", false, {L"Alpha", L"Live", L"Row"}},
        {"a group that does not exist", L"Nobody", L"Fresh", false, {L"Alpha", L"Live", L"Row"}},
        {"a row with a live snippet", L" Alpha ", L" Omega ", true, {L"Live", L"Omega", L"Row"}},
        {"a group of snippets only", L"Live", L"Lively", true, {L"Alpha", L"Lively", L"Row"}},
        {"a row without snippets", L"Row", L"Rowan", true, {L"Alpha", L"Live", L"Rowan"}},
    };
    for (const auto& c : cases) {
        raw().exec("DELETE FROM snippets; DELETE FROM snippet_groups;"
                   "INSERT INTO snippet_groups (name) VALUES ('Alpha'), ('Row');"
                   "INSERT INTO snippets (title, text, grp, created_at) VALUES "
                   "('a1','x','Alpha','2024-01-01T00:00:00'), ('l1','x','Live','2024-01-01T00:00:00'),"
                   "('a-trashed','x','Alpha','2024-01-01T00:00:00');"
                   "UPDATE snippets SET deleted_at='2024-02-01T00:00:00' WHERE title='a-trashed';");
        EXPECT_EQ(db().rename_snippet_group(c.from, c.to), c.renamed) << c.what;
        EXPECT_EQ(db().list_snippet_groups(), c.groups_after) << c.what;
        // Trashed snippets keep the old name.
        EXPECT_EQ(raw().text("SELECT grp FROM snippets WHERE title='a-trashed'"), "Alpha") << c.what;
    }
    // Renaming a group known only through snippets creates a row for it.
    raw().exec("DELETE FROM snippets; DELETE FROM snippet_groups;"
               "INSERT INTO snippets (title, text, grp, created_at) VALUES ('l1','x','Live','2024-01-01T00:00:00')");
    ASSERT_TRUE(db().rename_snippet_group(L"Live", L"Lively"));
    EXPECT_EQ(raw().text("SELECT name FROM snippet_groups"), "Lively");
    EXPECT_EQ(raw().text("SELECT grp FROM snippets"), "Lively");
}

TEST_F(SnippetsTest, DeleteGroupUngroupsLiveSnippetsOnly) {
    db().add_snippet_group(L"G");
    std::int64_t live = db().add_snippet(L"Live", L"x", L"G");
    std::int64_t trashed = db().add_snippet(L"Trashed", L"x", L"G");
    db().trash_snippet(trashed);
    EXPECT_TRUE(db().delete_snippet_group(L"G"));
    EXPECT_TRUE(db().list_snippet_groups().empty());
    EXPECT_EQ(db().list_snippets().at(0).grp, L"");
    db().restore_snippet(trashed);
    EXPECT_EQ(db().list_snippet_groups(), (std::vector<std::wstring>{L"G"}));
    (void)live;
}

}  // namespace
