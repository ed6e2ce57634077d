// Damaged store files: SQLite's quick check at open, the replacement of a
// damaged file by a fresh store, and the copy of every row that still reads.
//
// The damaged file and its log are renamed aside unchanged, together or not
// at all: the connection to it closes without a checkpoint, and it is read
// afterwards without anything written beside it (read-only and immutable,
// or, with a log, from a copy of the pair in a folder of its own). Rows are
// read in rowid order; where a damaged page stops the scan, the next rows
// are looked up one rowid at a time, a row that does not read whole column
// by column, and the scan goes on from the first one found.
#include "store/database.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "core/text.h"

namespace {

// The tables copied, parents first.
const char* const kTables[] = {"categories", "history", "snippets", "snippet_groups", "slot_entries"};

// Rowids looked up one at a time past a damaged page, at most, per table.
constexpr std::int64_t kMaxProbes = 2'000'000;

std::vector<std::string> column_names(sqlite3* db, const char* table) {
    std::vector<std::string> names;
    Statement s = Statement::prepare(db, "SELECT name FROM pragma_table_info(?1)");
    s.bind_utf8(1, table);
    while (s.step() == SQLITE_ROW) {
        names.push_back(to_utf8(s.column_text(0)));
    }
    return names;
}

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

std::optional<std::int64_t> single_int(sqlite3* db, const std::string& sql, const char* table) {
    Statement s = Statement::prepare(db, sql);
    if (table) {
        s.bind_utf8(1, table);
    }
    if (s.step() != SQLITE_ROW || s.column_is_null(0)) {
        return std::nullopt;
    }
    return s.column_int64(0);
}

// The highest rowid the table may hold, from what still reads of it.
std::int64_t highest_rowid(sqlite3* old, const char* table, std::int64_t last) {
    std::int64_t end = last;
    bool known = false;
    if (auto top = single_int(old, "SELECT max(rowid) FROM " + quoted(table), nullptr)) {
        end = std::max(end, *top);
        known = true;
    }
    if (auto seq = single_int(old, "SELECT seq FROM sqlite_sequence WHERE name=?1", table)) {
        end = std::max(end, *seq);
        known = true;
    }
    if (!known) {
        end = std::max<std::int64_t>(last, 0) + 100000;
    }
    return end;
}

struct FreshColumn {
    std::string name;
    bool needs_value = false;  // NOT NULL without a default
};

std::vector<FreshColumn> fresh_columns(sqlite3* db, const char* table) {
    std::vector<FreshColumn> out;
    Statement s = Statement::prepare(db, "SELECT name, \"notnull\", dflt_value IS NULL FROM pragma_table_info(?1)");
    s.bind_utf8(1, table);
    while (s.step() == SQLITE_ROW) {
        out.push_back(FreshColumn{to_utf8(s.column_text(0)), s.column_flag(1) && s.column_flag(2)});
    }
    return out;
}

// The values read of one row, column by column: those that do not read
// (a broken overflow page of an image) stay unset.
struct PartRow {
    std::vector<sqlite3_value*> values;  // owned copies; null: did not read
    PartRow() = default;
    PartRow(const PartRow&) = delete;
    PartRow& operator=(const PartRow&) = delete;
    ~PartRow() {
        for (sqlite3_value* v : values) {
            sqlite3_value_free(v);
        }
    }
};

struct TableCopy {
    std::int64_t copied = 0;
    bool met_damage = false;  // some row or page did not read
};

// Copies the rows of table that still read from old into fresh (the columns
// both have). A row of which only some columns read keeps those (a history
// row its text without an unreadable image); the others take their
// defaults.
TableCopy copy_table(sqlite3* old, sqlite3* fresh, const char* table) {
    TableCopy result;
    const std::vector<std::string> old_columns = column_names(old, table);
    std::vector<FreshColumn> columns;
    for (const FreshColumn& c : fresh_columns(fresh, table)) {
        if (std::find(old_columns.begin(), old_columns.end(), c.name) != old_columns.end()) {
            columns.push_back(c);
        }
    }
    if (columns.empty()) {
        result.met_damage = old_columns.empty();
        return result;
    }
    const bool history = std::string(table) == "history";
    std::string list;
    std::string params;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        list += (i ? "," : "") + quoted(columns[i].name);
        params += (i ? ",?" : "?");
    }
    const std::string from = " FROM " + quoted(table);
    const std::string scan_sql = "SELECT rowid," + list + from + " WHERE rowid>?1 ORDER BY rowid";
    const std::string probe_sql = "SELECT rowid," + list + from + " WHERE rowid=?1";
    const std::string insert_start = "INSERT OR IGNORE INTO " + quoted(table) + " (";
    Statement insert = Statement::prepare(fresh, insert_start + list + ") VALUES (" + params + ")");
    if (!insert) {
        return result;
    }
    auto copy_row = [&](Statement& row) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            sqlite3_bind_value(insert.get(), static_cast<int>(i) + 1,
                               sqlite3_column_value(row.get(), static_cast<int>(i) + 1));
        }
        if (sqlite3_step(insert.get()) == SQLITE_DONE && sqlite3_changes(fresh) > 0) {
            ++result.copied;
        }
        sqlite3_reset(insert.get());
        sqlite3_clear_bindings(insert.get());
    };
    // A row that does not read whole: each column alone (the statements
    // prepared at the first such row). True when the row exists and
    // something of it was kept.
    Statement exists;
    std::vector<Statement> each_column;
    auto copy_readable_columns = [&](std::int64_t id) {
        if (!exists) {
            exists = Statement::prepare(old, "SELECT rowid" + from + " WHERE rowid=?1");
            for (const FreshColumn& c : columns) {
                each_column.push_back(Statement::prepare(old, "SELECT " + quoted(c.name) + from + " WHERE rowid=?1"));
            }
        }
        // A row whose own cell does not read (its page is broken) is gone
        // whole; only one whose cell reads has columns to try.
        exists.bind_int64(1, id);
        const int found = sqlite3_step(exists.get());
        sqlite3_reset(exists.get());
        if (found != SQLITE_ROW) {
            return false;
        }
        PartRow part;
        bool any = false;
        for (Statement& one : each_column) {
            sqlite3_value* v = nullptr;
            if (one) {
                one.bind_int64(1, id);
                if (sqlite3_step(one.get()) == SQLITE_ROW) {
                    v = sqlite3_value_dup(sqlite3_column_value(one.get(), 0));
                }
                sqlite3_reset(one.get());
            }
            part.values.push_back(v);
            any = any || v;
        }
        auto read_of = [&](const char* name) -> sqlite3_value* {
            for (std::size_t i = 0; i < columns.size(); ++i) {
                if (columns[i].name == name) {
                    return part.values[i];
                }
            }
            return nullptr;
        };
        auto holds = [&](const char* name) {
            sqlite3_value* v = read_of(name);
            return v && sqlite3_value_type(v) != SQLITE_NULL;
        };
        if (!any || (history && !holds("text") && !holds("image"))) {
            return false;  // nothing of the entry itself reads
        }
        const bool image_lost = history && !read_of("image");
        Statement put = Statement::prepare(fresh, insert_start + list + ") VALUES (" + params + ")");
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const int at = static_cast<int>(i) + 1;
            if (image_lost && columns[i].name == "is_image") {
                put.bind_int(at, 0);  // an entry whose image is gone is a text entry
            } else if (part.values[i]) {
                sqlite3_bind_value(put.get(), at, part.values[i]);
            } else if (columns[i].needs_value) {
                put.bind_utf8(at, "");
            } else {
                put.bind_null(at);
            }
        }
        if (put.run() == SQLITE_DONE && sqlite3_changes(fresh) > 0) {
            ++result.copied;
            return true;
        }
        return false;
    };

    std::int64_t last = LLONG_MIN;
    std::optional<std::int64_t> end;
    for (;;) {
        {
            Statement scan = Statement::prepare(old, scan_sql);
            if (!scan) {
                result.met_damage = true;
                break;
            }
            scan.bind_int64(1, last);
            int rc;
            while ((rc = scan.step()) == SQLITE_ROW) {
                last = scan.column_int64(0);
                copy_row(scan);
            }
            if (rc == SQLITE_DONE) {
                break;
            }
        }
        result.met_damage = true;
        // A damaged page: the next row that still reads (whole or in part),
        // one rowid at a time.
        if (!end) {
            end = highest_rowid(old, table, last);
        }
        Statement probe = Statement::prepare(old, probe_sql);
        if (!probe) {
            break;
        }
        bool found = false;
        const std::int64_t first = last == LLONG_MIN ? 0 : last + 1;
        for (std::int64_t id = first; id <= *end && id - first < kMaxProbes; ++id) {
            probe.bind_int64(1, id);
            const int rc = sqlite3_step(probe.get());
            if (rc == SQLITE_ROW) {
                copy_row(probe);
                found = true;
            }
            sqlite3_reset(probe.get());
            if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
                found = copy_readable_columns(id);
            }
            if (found) {
                last = id;
                break;
            }
        }
        if (!found) {
            break;
        }
    }
    return result;
}

// The number of rows the table held, from the largest count of one of its
// indexes that still reads; -1 when none does.
std::int64_t indexed_row_count(sqlite3* old, const char* table) {
    std::vector<std::string> indexes;
    {
        // Partial indexes hold only some rows.
        Statement list = Statement::prepare(old, "SELECT name FROM pragma_index_list(?1) WHERE partial=0");
        list.bind_utf8(1, table);
        while (list.step() == SQLITE_ROW) {
            indexes.push_back(to_utf8(list.column_text(0)));
        }
    }
    std::int64_t best = -1;
    for (const std::string& index : indexes) {
        if (auto n = single_int(old, "SELECT count(*) FROM " + quoted(table) + " INDEXED BY " + quoted(index),
                                nullptr)) {
            best = std::max(best, *n);
        }
    }
    return best;
}

// A set-aside file with its log is read from a copy of the pair in a
// folder of its own (a read-only connection would have to write the log's
// index beside the file; reading without the log misses its rows). The
// folder and copy go with the object.
class PairCopy {
public:
    explicit PairCopy(const std::wstring& from) {
        wchar_t temp[MAX_PATH + 1];
        const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        if (n == 0 || n > MAX_PATH) {
            return;
        }
        folder_ = std::wstring(temp, n) + L"quillet-salvage-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(GetTickCount64());
        if (!CreateDirectoryW(folder_.c_str(), nullptr)) {
            folder_.clear();
            return;
        }
        const std::wstring to = folder_ + L"\\store.db";
        for (const wchar_t* suffix : {L"", L"-wal", L"-journal"}) {
            const std::wstring source = from + suffix;
            if (GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES) {
                continue;
            }
            if (!CopyFileW(source.c_str(), (to + suffix).c_str(), TRUE)) {
                return;
            }
        }
        path_ = to;
    }
    ~PairCopy() {
        if (folder_.empty()) {
            return;
        }
        for (const wchar_t* suffix : {L"", L"-wal", L"-journal", L"-shm"}) {
            DeleteFileW((folder_ + L"\\store.db" + suffix).c_str());
        }
        RemoveDirectoryW(folder_.c_str());
    }
    PairCopy(const PairCopy&) = delete;
    PairCopy& operator=(const PairCopy&) = delete;
    // Empty when the copy could not be made.
    const std::wstring& path() const { return path_; }

private:
    std::wstring folder_;
    std::wstring path_;
};

bool has_log(const std::wstring& path) {
    for (const wchar_t* suffix : {L"-wal", L"-journal"}) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW((path + suffix).c_str(), GetFileExInfoStandard, &data) &&
            (data.nFileSizeHigh != 0 || data.nFileSizeLow != 0)) {
            return true;
        }
    }
    return false;
}

}  // namespace

int Database::quick_check() {
    // The check reads every page once: through a memory map that costs
    // one system call per chunk instead of one per page.
    exec(L"PRAGMA mmap_size=1073741824");
    const int rc = run_quick_check();
    exec(L"PRAGMA mmap_size=0");
    return rc;
}

int Database::run_quick_check() {
    Statement check = Statement::prepare(connection_, "PRAGMA quick_check");
    if (!check) {
        return check.prepare_result();
    }
    bool sound = true;
    int rows = 0;
    int rc;
    while ((rc = check.step()) == SQLITE_ROW) {
        ++rows;
        if (check.column_text(0) != L"ok") {
            sound = false;
        }
    }
    if (rc != SQLITE_DONE) {
        return rc;
    }
    return sound && rows > 0 ? SQLITE_OK : SQLITE_CORRUPT;
}

bool Database::replace_damaged_store(bool salvage) {
    if (connection_) {
        // Closing must not write the log into the damaged file.
        sqlite3_db_config(connection_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    }
    close_connection();
    if (!move_damaged_file_aside()) {
        keep_damaged_file();
        return false;
    }
    damaged_kept_ = false;
    read_only_ = false;
    if (open_connection() != SQLITE_OK) {
        close_connection();
        return false;
    }
    open_ok_ = set_up_schema() == SQLITE_OK;
    unread_entries_ = 0;
    saved_entries_ = salvage && open_ok_ ? salvage_rows(damaged_path_) : -1;
    ++replacements_;
    return true;
}

void Database::keep_damaged_file() {
    // Left as it is: read only, and closed without a checkpoint, so that
    // neither the file nor its log changes until it can be set aside.
    damaged_kept_ = true;
    open_ok_ = open_connection(true) == SQLITE_OK;
    if (open_ok_) {
        sqlite3_db_config(connection_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        read_only_ = true;
    } else {
        close_connection();
    }
}

std::int64_t Database::salvage_rows(const std::wstring& from) {
    // Nothing is written beside the set-aside file: without a log it is read
    // in place as immutable (no log index made, no journal rolled back into
    // it); with one, from a copy of the pair (should the copy fail, for want
    // of room, the file alone still gives what it holds).
    std::optional<PairCopy> copy;
    if (has_log(from)) {
        copy.emplace(from);
        if (copy->path().empty()) {
            copy.reset();
        }
    }
    const std::string uri = copy ? to_utf8(copy->path()) : sqlite_file_uri(from, true);
    sqlite3* old = nullptr;
    const int flags = copy ? SQLITE_OPEN_READWRITE : (SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
    if (sqlite3_open_v2(uri.c_str(), &old, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(old);
        unread_entries_ = -1;
        return 0;
    }
    sqlite3_db_config(old, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_exec(old, "PRAGMA query_only=1", nullptr, nullptr, nullptr);
    std::int64_t saved = 0;
    TableCopy entries;
    exec(L"PRAGMA foreign_keys=OFF");
    if (exec(L"BEGIN") == SQLITE_OK) {
        for (const char* table : kTables) {
            const TableCopy copied = copy_table(old, connection_, table);
            if (std::string(table) == "history") {
                entries = copied;
            }
        }
        saved = entries.copied;
        // Rows whose parent did not read: no category, no quick slot.
        exec(L"UPDATE history SET category_id=NULL WHERE category_id IS NOT NULL AND "
             L"category_id NOT IN (SELECT id FROM categories)");
        exec(L"DELETE FROM slot_entries WHERE entry_id NOT IN (SELECT id FROM history)");
        if (!run_in_transaction_end(true)) {
            saved = 0;
        }
    }
    exec(L"PRAGMA foreign_keys=ON");
    const std::int64_t held = indexed_row_count(old, "history");
    sqlite3_close(old);
    if (held >= 0) {
        unread_entries_ = std::max<std::int64_t>(0, held - saved);
    } else {
        unread_entries_ = entries.met_damage ? -1 : 0;
    }
    return saved;
}

bool Database::recover_if_damaged() {
    const int before = replacements_;
    Guard guard(lock_);  // acts on a damage mark (StoreLock::lock)
    return replacements_ != before;
}

void Database::StoreLock::lock() {
    mutex_.lock();
    try {
        owner_.recover_unlocked();
    } catch (...) {
        mutex_.unlock();
        throw;
    }
}

bool Database::check_integrity() {
    const int before = replacements_;
    Guard guard(lock_);
    if (damaged_kept_) {
        // Another program held it: it may have let go since.
        if (replace_damaged_store(true)) {
            seed_default_snippets();
        }
    } else if (connection_) {
        // Pages kept from earlier reads would hide what changed in the file.
        sqlite3_db_release_memory(connection_);
        if (!is_damage_code(quick_check())) {
            return false;
        }
        damage_.seen = true;
        recover_unlocked();
    }
    return replacements_ != before;
}

bool Database::recover_unlocked() {
    if (!connection_ || !damage_.seen || damaged_kept_) {
        return false;
    }
    if (!replace_damaged_store(true)) {
        // The file could not be set aside (another program holds it or its
        // log): it stays in use as it is, read only.
        return false;
    }
    seed_default_snippets();
    return true;
}
