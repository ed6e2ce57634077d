// Damaged store files: SQLite's quick check at open, the replacement of a
// damaged file by a fresh store, and the copy of every row that still reads.
//
// The damaged file and its log are renamed aside unchanged: the connection
// to it closes without a checkpoint, and it is read afterwards by a
// connection that writes nothing. Rows are read in rowid order; where a
// damaged page stops the scan, the next rows are looked up one rowid at a
// time, and the scan goes on from the first one found.
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

using Guard = std::lock_guard<std::mutex>;

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

// Copies the rows of table that still read from old into fresh (the columns
// both have); the number copied.
std::int64_t copy_table(sqlite3* old, sqlite3* fresh, const char* table) {
    const std::vector<std::string> old_columns = column_names(old, table);
    std::vector<std::string> columns;
    for (const std::string& c : column_names(fresh, table)) {
        if (std::find(old_columns.begin(), old_columns.end(), c) != old_columns.end()) {
            columns.push_back(c);
        }
    }
    if (columns.empty()) {
        return 0;
    }
    std::string list;
    std::string params;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        list += (i ? "," : "") + quoted(columns[i]);
        params += (i ? ",?" : "?");
    }
    const std::string from = " FROM " + quoted(table);
    const std::string scan_sql = "SELECT rowid," + list + from + " WHERE rowid>?1 ORDER BY rowid";
    const std::string probe_sql = "SELECT rowid," + list + from + " WHERE rowid=?1";
    Statement insert =
        Statement::prepare(fresh, "INSERT OR IGNORE INTO " + quoted(table) + " (" + list + ") VALUES (" + params + ")");
    if (!insert) {
        return 0;
    }
    std::int64_t copied = 0;
    auto copy_row = [&](Statement& row) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            sqlite3_bind_value(insert.get(), static_cast<int>(i) + 1,
                               sqlite3_column_value(row.get(), static_cast<int>(i) + 1));
        }
        if (sqlite3_step(insert.get()) == SQLITE_DONE && sqlite3_changes(fresh) > 0) {
            ++copied;
        }
        sqlite3_reset(insert.get());
        sqlite3_clear_bindings(insert.get());
    };

    std::int64_t last = LLONG_MIN;
    std::optional<std::int64_t> end;
    for (;;) {
        {
            Statement scan = Statement::prepare(old, scan_sql);
            if (!scan) {
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
        // A damaged page: the next row that still reads, one rowid at a time.
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
            if (sqlite3_step(probe.get()) == SQLITE_ROW) {
                copy_row(probe);
                last = id;
                found = true;
            }
            sqlite3_reset(probe.get());
            if (found) {
                break;
            }
        }
        if (!found) {
            break;
        }
    }
    return copied;
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
        return false;
    }
    if (open_connection() != SQLITE_OK) {
        close_connection();
        return false;
    }
    open_ok_ = set_up_schema() == SQLITE_OK;
    saved_entries_ = salvage && open_ok_ ? salvage_rows(damaged_path_) : -1;
    ++replacements_;
    return true;
}

std::int64_t Database::salvage_rows(const std::wstring& from) {
    sqlite3* old = nullptr;
    if (sqlite3_open_v2(to_utf8(from).c_str(), &old, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(old);
        return 0;
    }
    sqlite3_db_config(old, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_exec(old, "PRAGMA query_only=1", nullptr, nullptr, nullptr);
    std::int64_t saved = 0;
    exec(L"PRAGMA foreign_keys=OFF");
    if (exec(L"BEGIN") == SQLITE_OK) {
        for (const char* table : kTables) {
            const std::int64_t copied = copy_table(old, connection_, table);
            if (std::string(table) == "history") {
                saved = copied;
            }
        }
        // Rows whose parent did not read: no category, no quick slot.
        exec(L"UPDATE history SET category_id=NULL WHERE category_id IS NOT NULL AND "
             L"category_id NOT IN (SELECT id FROM categories)");
        exec(L"DELETE FROM slot_entries WHERE entry_id NOT IN (SELECT id FROM history)");
        if (!run_in_transaction_end(true)) {
            saved = 0;
        }
    }
    exec(L"PRAGMA foreign_keys=ON");
    forget_connection_damage(old);
    sqlite3_close(old);
    return saved;
}

bool Database::recover_if_damaged() {
    Guard guard(lock_);
    return recover_unlocked();
}

bool Database::recover_unlocked() {
    if (!connection_ || !connection_reported_damage(connection_)) {
        return false;
    }
    if (!replace_damaged_store(true)) {
        // The file could not be set aside (another program holds it): it
        // stays in use as it is.
        if (!connection_ && open_connection() == SQLITE_OK) {
            exec(L"PRAGMA foreign_keys=ON");
        }
        return false;
    }
    seed_default_snippets();
    return true;
}
