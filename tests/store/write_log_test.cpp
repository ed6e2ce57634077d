// The write log against a real SQLite connection: what it tells a reader
// about the history rows written since its mark, and when it cannot tell.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <string>
#include <vector>

#include "store/write_log.h"

namespace {

class Connection {
public:
    Connection() {
        EXPECT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        exec("CREATE TABLE history (id INTEGER PRIMARY KEY, text TEXT)");
        exec("CREATE TABLE categories (id INTEGER PRIMARY KEY, name TEXT)");
    }
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* get() const { return db_; }
    void exec(const std::string& sql) { EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql; }

private:
    sqlite3* db_ = nullptr;
};

TEST(WriteLog, TellsTheHistoryRowsWrittenSinceAMarkEachOnce) {
    Connection c;
    WriteLog log;
    EXPECT_EQ(log.mark(c.get()).epoch, 0u) << "no mark before the log is attached";
    log.attach(c.get(), 1);
    c.exec("INSERT INTO history (id, text) VALUES (5, 'a'), (3, 'b')");
    const WriteMark mark = log.mark(c.get());
    ASSERT_NE(mark.epoch, 0u);

    c.exec("UPDATE history SET text='c' WHERE id=5");
    c.exec("INSERT INTO history (id, text) VALUES (9, 'd')");
    c.exec("DELETE FROM history WHERE id=5");
    std::vector<std::int64_t> ids;
    bool others = true;
    ASSERT_TRUE(log.writes_since(mark, c.get(), ids, &others));
    EXPECT_EQ(ids, (std::vector<std::int64_t>{5, 9}));
    EXPECT_FALSE(others);

    c.exec("INSERT INTO categories (name) VALUES ('work')");
    ASSERT_TRUE(log.writes_since(log.mark(c.get()), c.get(), ids, &others));
    EXPECT_TRUE(ids.empty());
    EXPECT_FALSE(others) << "nothing since the newest mark";
    ASSERT_TRUE(log.writes_since(mark, c.get(), ids, &others));
    EXPECT_TRUE(others) << "a category row was written since the first mark";
}

TEST(WriteLog, AttachingAgainKeepsTheLogUntilTheConnectionOrTheFileChanges) {
    Connection c;
    Connection other;
    WriteLog log;
    log.attach(c.get(), 7);
    const WriteMark mark = log.mark(c.get());
    c.exec("INSERT INTO history (id, text) VALUES (1, 'a')");
    std::vector<std::int64_t> ids;

    log.attach(c.get(), 7);  // the same connection, no other writer
    ASSERT_TRUE(log.writes_since(mark, c.get(), ids, nullptr));
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1}));

    log.attach(c.get(), 8);  // another connection committed to the file
    EXPECT_FALSE(log.writes_since(mark, c.get(), ids, nullptr));
    EXPECT_TRUE(ids.empty());

    const WriteMark fresh = log.mark(c.get());
    log.attach(other.get(), 8);  // a connection opened anew
    EXPECT_FALSE(log.writes_since(fresh, other.get(), ids, nullptr));
    EXPECT_EQ(log.mark(c.get()).epoch, 0u) << "the old connection is no longer logged";
    other.exec("INSERT INTO history (id, text) VALUES (2, 'b')");
    const WriteMark on_other = log.mark(other.get());
    EXPECT_EQ(on_other.rows, 1u) << "the log began anew with the new connection";

    log.attach(other.get(), -1);  // the version could not be read
    EXPECT_FALSE(log.writes_since(on_other, other.get(), ids, nullptr));
}

TEST(WriteLog, AReaderTooFarBehindIsToldItCannotKnow) {
    Connection c;
    WriteLog log;
    log.attach(c.get(), 1);
    const WriteMark mark = log.mark(c.get());
    c.exec("BEGIN");
    for (std::size_t i = 0; i <= WriteLog::kMaxRows; ++i) {
        c.exec("INSERT INTO history (text) VALUES ('x')");
    }
    c.exec("COMMIT");
    std::vector<std::int64_t> ids;
    EXPECT_FALSE(log.writes_since(mark, c.get(), ids, nullptr));
    const WriteMark recent = log.mark(c.get());
    c.exec("INSERT INTO history (text) VALUES ('y')");
    ASSERT_TRUE(log.writes_since(recent, c.get(), ids, nullptr));
    EXPECT_EQ(ids.size(), 1u);
}

}  // namespace
