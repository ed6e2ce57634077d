// The log of the rows one connection writes, for the list readers that ask
// which history rows changed since they last read (SQLite's update hook).
#pragma once

#include <cstdint>
#include <vector>

struct sqlite3;

// Where a connection's writes stood when a list was read.
struct WriteMark {
    std::uint64_t epoch = 0;     // 0: no mark
    std::uint64_t rows = 0;      // history rows written (inserted, updated, deleted) so far
    std::uint64_t others = 0;    // rows of the other tables written so far
    bool operator==(const WriteMark&) const = default;
};

class WriteLog {
public:
    // Most history rows remembered; a reader further behind reads
    // everything again.
    static constexpr std::size_t kMaxRows = 4096;

    WriteLog() = default;
    WriteLog(const WriteLog&) = delete;
    WriteLog& operator=(const WriteLog&) = delete;

    // Hooks the connection, again on every call: a connection opened anew
    // (even at the old one's address) comes without the hook. The log
    // begins anew, so that every earlier mark is unknown, for a new
    // connection and when data_version (the file's PRAGMA data_version,
    // -1 when unknown) says another connection has committed since.
    void attach(sqlite3* connection, std::int64_t data_version);
    // The mark of the writes so far; no mark (epoch 0) for a connection the
    // log is not attached to.
    WriteMark mark(const sqlite3* connection) const;
    // The ids of the history rows written since the mark, sorted, each
    // once; false when the log cannot tell (another connection's or an
    // earlier log's mark, or too many rows written since).
    bool writes_since(const WriteMark& mark, const sqlite3* connection, std::vector<std::int64_t>& ids,
                      bool* others_written) const;

private:
    static void on_row_written(void* self, int op, const char* db, const char* table, long long rowid);

    sqlite3* hooked_ = nullptr;
    std::uint64_t epoch_ = 0;
    std::uint64_t base_ = 0;  // rows written before ids_[0]
    std::vector<std::int64_t> ids_;
    std::uint64_t others_ = 0;
    std::int64_t data_version_ = -1;  // the file's, when the log began
};
