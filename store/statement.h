// RAII over sqlite3_stmt for the store's own use.
//
// A Statement either owns its sqlite3_stmt (finalised on destruction) or
// borrows one from a StatementCache (reset and unbound on destruction, so
// the cached statement never holds a read transaction open between uses).
// Text parameters are bound as UTF-8 through to_utf8 (cut at the first NUL
// character), byte strings as BLOBs (NULL when empty), flags as int and ids
// as int64. A failed bind is remembered and returned by step() instead of
// running the statement.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

class Statement {
public:
    Statement() = default;
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // A statement of its own, finalised on destruction. On failure the
    // result is empty and prepare_result() holds the SQLite code.
    static Statement prepare(sqlite3* db, std::string_view sql);
    // A cached statement, reset on destruction.
    static Statement borrow(sqlite3_stmt* stmt);

    explicit operator bool() const { return stmt_ != nullptr; }
    int prepare_result() const { return prepare_rc_; }
    sqlite3_stmt* get() const { return stmt_; }

    Statement& bind_text(int index, const std::wstring& value);
    Statement& bind_utf8(int index, const std::string& value);
    // Without a copy: the bytes must stay unchanged until the statement has
    // been stepped and reset or finished.
    Statement& bind_utf8_view(int index, std::string_view value);
    // The same for a whole string, bound with its own terminator: SQLite
    // then reads the text in place where a function or an index expression
    // asks for it, instead of copying it to add a terminator. The string
    // must stay unchanged as above.
    Statement& bind_utf8_terminated(int index, const std::string& value);
    // Bytes as a BLOB; an empty range binds NULL.
    Statement& bind_bytes(int index, const void* data, std::size_t size);
    Statement& bind_bytes(int index, const std::string& bytes);
    Statement& bind_bytes(int index, const std::vector<std::uint8_t>& bytes);
    Statement& bind_int(int index, int value);
    Statement& bind_int64(int index, std::int64_t value);
    Statement& bind_null(int index);
    // An id when present, NULL otherwise.
    Statement& bind_optional(int index, const std::int64_t* value);

    // sqlite3_step; the remembered bind error when a bind failed.
    int step();
    // Steps until the statement is done; SQLITE_DONE on success.
    int run();

    bool column_is_null(int column) const;
    std::int64_t column_int64(int column) const;
    // NULL reads as an empty string.
    std::wstring column_text(int column) const;
    // True only for the value 1 (the text "1").
    bool column_flag(int column) const;
    // Replaces target with the column's bytes when there are more than 0.
    void read_blob(int column, std::string& target) const;
    void read_blob(int column, std::vector<std::uint8_t>& target) const;

    // Finalises an owned statement (returning sqlite3_finalize's code) or
    // resets a borrowed one; afterwards the object is empty.
    int finish();

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool owned_ = false;
    int prepare_rc_ = 0;
    int bind_rc_ = 0;
    void note_bind(int rc);
};

// Prepared statements kept for the life of the connection, keyed by text.
class StatementCache {
public:
    StatementCache() = default;
    ~StatementCache();
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // A borrowed statement for sql; empty when preparing failed.
    Statement use(sqlite3* db, const std::string& sql);
    // Finalises every statement (before the connection closes).
    void clear();

private:
    struct Finalizer {
        void operator()(sqlite3_stmt* s) const;
    };
    std::unordered_map<std::string, std::unique_ptr<sqlite3_stmt, Finalizer>> map_;
};

// Writes image bytes into history row id ("UPDATE history SET image=?1
// WHERE id=?2", NULL for no bytes). Returns the preparing error when that
// fails, else the result of sqlite3_finalize. The caller holds the lock.
int write_image_blob(sqlite3* db, std::int64_t id, const std::vector<std::uint8_t>& image);

// Damage reports. A connection's owner gives it a DamageMark: a statement
// (or exec) of that connection that meets SQLITE_CORRUPT or SQLITE_NOTADB
// sets it, and from then on every commit of that connection is refused
// (rolled back), so nothing more is written into a file known to be
// damaged. A connection without a mark (a salvage reading a set-aside
// file) reports nothing.
struct DamageMark {
    std::atomic<bool> seen{false};
};
// Gives db the mark (cleared); db must close before the mark goes.
void attach_damage_mark(sqlite3* db, DamageMark* mark);
void note_sql_result(sqlite3* db, int rc);
// SQLITE_CORRUPT or SQLITE_NOTADB (extended codes included).
bool is_damage_code(int rc);

// Writes an SQLite error message to the debugger output.
void log_sql_error(const char* message, int rc);
