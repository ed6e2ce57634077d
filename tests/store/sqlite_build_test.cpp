// The SQLite the store is built with: recent enough, thread-safe, and able to
// keep a write-ahead log on this file system.
#include <windows.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>

namespace {

TEST(SqliteBuild, VersionAndThreadSafety) {
    EXPECT_GE(sqlite3_libversion_number(), 3049000);
    EXPECT_NE(sqlite3_threadsafe(), 0);
}

TEST(SqliteBuild, WriteAheadLogWorksInTempFolder) {
    wchar_t dir[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, dir), 0u);
    std::wstring path = std::wstring(dir) + L"quillet-sqlite-build-test.db";
    DeleteFileW(path.c_str());
    char utf8[4 * MAX_PATH];
    ASSERT_GT(WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8, sizeof(utf8), nullptr, nullptr), 0);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(utf8, &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode=WAL", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "wal");
    sqlite3_finalize(st);
    EXPECT_EQ(sqlite3_exec(db, "CREATE TABLE t(x INTEGER PRIMARY KEY AUTOINCREMENT, y TEXT);"
                               "INSERT INTO t(y) VALUES('a');", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_last_insert_rowid(db), 1);
    sqlite3_close(db);
    DeleteFileW(path.c_str());
    DeleteFileW((path + L"-wal").c_str());
    DeleteFileW((path + L"-shm").c_str());
}

}  // namespace
