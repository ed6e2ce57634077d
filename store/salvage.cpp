// Damaged store files: the copy of every row that still reads from a file
// set aside into the fresh store that replaces it.
//
// The set-aside file is read without anything written beside it
// (read-only and immutable, or, with a log, from a copy of the pair in a
// folder of its own). The rows are found by their rowids (row_source.h) and
// read one by one; a row that does not read whole is read column by
// column, and a history row is kept only while it is still an entry
// (salvage_rule.h).
#include "store/database.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "core/image_header.h"
#include "core/text.h"
#include "store/entry_rule.h"
#include "store/row_source.h"
#include "store/salvage_rule.h"

namespace {

// The tables copied, parents first.
const char* const kTables[] = {"categories", "history", "snippets", "snippet_groups", "slot_entries"};

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

std::optional<std::int64_t> single_int(sqlite3* db, const std::string& sql) {
    Statement s = Statement::prepare(db, sql);
    if (s.step() != SQLITE_ROW || s.column_is_null(0)) {
        return std::nullopt;
    }
    return s.column_int64(0);
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

// One row of the old file: read whole (its values are the statement's
// columns), or column by column (owned copies; null where a column did not
// read, as a broken overflow page of an image).
class OldRow {
public:
    OldRow() = default;
    OldRow(const OldRow&) = delete;
    OldRow& operator=(const OldRow&) = delete;
    ~OldRow() { clear(); }
    void clear() {
        for (sqlite3_value* v : parts_) {
            sqlite3_value_free(v);
        }
        parts_.clear();
        whole_ = nullptr;
    }
    void set_whole(sqlite3_stmt* row) { whole_ = row; }
    void add_part(sqlite3_value* v) { parts_.push_back(v); }
    bool whole() const { return whole_ != nullptr; }
    // Column i of the copied columns; null when it did not read.
    sqlite3_value* value(std::size_t i) const {
        return whole_ ? sqlite3_column_value(whole_, static_cast<int>(i)) : parts_[i];
    }

private:
    sqlite3_stmt* whole_ = nullptr;
    std::vector<sqlite3_value*> parts_;
};

// What read of a history row's text and image (columns text_at and
// image_at; npos when the old file has none).
SalvagedRowFacts history_row_facts(const OldRow& row, std::size_t text_at, std::size_t image_at) {
    SalvagedRowFacts facts;
    if (sqlite3_value* text = text_at == std::string::npos ? nullptr : row.value(text_at)) {
        facts.text_read = true;
        const char* bytes = reinterpret_cast<const char*>(sqlite3_value_text(text));
        const int size = sqlite3_value_bytes(text);
        facts.text_units = bytes && size > 0 ? trimmed_text_units(std::string_view(bytes, static_cast<std::size_t>(size)))
                                             : 0;
    }
    if (image_at == std::string::npos) {
        facts.image_read = true;  // a layout without images: none to lose
    } else if (sqlite3_value* image = row.value(image_at)) {
        facts.image_read = true;
        const int size = sqlite3_value_bytes(image);
        const void* bytes = sqlite3_value_blob(image);
        facts.image_present = size > 0 && bytes;
        facts.image_keepable = facts.image_present &&
                               winutil::image_bytes_keepable(static_cast<const std::uint8_t*>(bytes),
                                                             static_cast<std::size_t>(size),
                                                             static_cast<std::uint64_t>(size));
    }
    return facts;
}

struct TableCopy {
    std::int64_t copied = 0;
    std::int64_t found = 0;       // rows the table was found to hold
    bool met_damage = false;      // some row or page did not read
    bool write_failed = false;    // the fresh store refused a write: nothing of the copy counts
};

// Copies the rows of table that still read from old into fresh (the columns
// both have). A row of which only some columns read keeps those, the others
// at their defaults; a history row only while it is still an entry.
class TableCopier {
public:
    TableCopier(sqlite3* old, sqlite3* fresh, const char* table) : old_(old), fresh_(fresh), table_(table) {}

    TableCopy run() {
        const std::vector<std::string> old_columns = column_names(old_, table_);
        for (const FreshColumn& c : fresh_columns(fresh_, table_)) {
            if (std::find(old_columns.begin(), old_columns.end(), c.name) != old_columns.end()) {
                columns_.push_back(c);
            }
        }
        if (columns_.empty()) {
            result_.met_damage = old_columns.empty();
            return result_;
        }
        std::string list;
        std::string params;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            list += (i ? "," : "") + quoted(columns_[i].name);
            params += (i ? ",?" : "?");
            if (table_ == std::string("history") && columns_[i].name == "text") text_at_ = i;
            if (table_ == std::string("history") && columns_[i].name == "image") image_at_ = i;
            if (table_ == std::string("history") && columns_[i].name == "is_image") is_image_at_ = i;
        }
        from_ = " FROM " + quoted(table_) + " WHERE rowid=?1";
        whole_ = Statement::prepare(old_, "SELECT " + list + from_);
        insert_ = Statement::prepare(fresh_, "INSERT OR IGNORE INTO " + quoted(table_) + " (" + list + ") VALUES (" +
                                                 params + ")");
        if (!whole_ || !insert_) {
            result_.met_damage = true;
            result_.write_failed = !insert_;
            return result_;
        }
        const RowIds ids = find_row_ids(old_, table_);
        result_.met_damage = result_.met_damage || ids.met_damage;
        result_.found = static_cast<std::int64_t>(ids.ids.size());
        for (const std::int64_t id : ids.ids) {
            copy_row(id);
            if (result_.write_failed) {
                break;
            }
        }
        return result_;
    }

private:
    void copy_row(std::int64_t id) {
        OldRow row;
        whole_.bind_int64(1, id);
        if (sqlite3_step(whole_.get()) == SQLITE_ROW) {
            row.set_whole(whole_.get());
        } else {
            result_.met_damage = true;
            sqlite3_reset(whole_.get());
            if (!read_columns(id, row)) {
                return;
            }
        }
        keep(row);
        sqlite3_reset(whole_.get());
    }

    // The columns of a row that does not read whole, each alone. False when
    // its own cell does not read (its page is broken): then nothing of it
    // does.
    bool read_columns(std::int64_t id, OldRow& row) {
        if (!exists_) {
            exists_ = Statement::prepare(old_, "SELECT rowid" + from_);
            for (const FreshColumn& c : columns_) {
                each_column_.push_back(Statement::prepare(old_, "SELECT " + quoted(c.name) + from_));
            }
        }
        exists_.bind_int64(1, id);
        const int found = sqlite3_step(exists_.get());
        sqlite3_reset(exists_.get());
        if (found != SQLITE_ROW) {
            return false;
        }
        bool any = false;
        for (Statement& one : each_column_) {
            sqlite3_value* v = nullptr;
            if (one) {
                one.bind_int64(1, id);
                if (sqlite3_step(one.get()) == SQLITE_ROW) {
                    v = sqlite3_value_dup(sqlite3_column_value(one.get(), 0));
                }
                sqlite3_reset(one.get());
            }
            row.add_part(v);
            any = any || v;
        }
        return any;
    }

    void keep(const OldRow& row) {
        SalvageKeep what = SalvageKeep::AsRead;
        if (text_at_ != std::string::npos) {
            what = salvage_history_row(history_row_facts(row, text_at_, image_at_));
        }
        if (what == SalvageKeep::Drop) {
            return;  // counted among the rows found and not copied
        }
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const int at = static_cast<int>(i) + 1;
            sqlite3_value* v = row.value(i);
            if (what == SalvageKeep::TextOnly && i == is_image_at_) {
                insert_.bind_int(at, 0);
            } else if (what == SalvageKeep::TextOnly && i == image_at_) {
                insert_.bind_null(at);
            } else if (v) {
                sqlite3_bind_value(insert_.get(), at, v);
            } else if (columns_[i].needs_value) {
                insert_.bind_utf8(at, "");
            } else {
                insert_.bind_null(at);
            }
        }
        const int rc = insert_.step();
        if (rc == SQLITE_DONE) {
            result_.copied += sqlite3_changes(fresh_) > 0 ? 1 : 0;
        } else {
            result_.write_failed = true;  // a full disk, an I/O error
        }
        sqlite3_reset(insert_.get());
        sqlite3_clear_bindings(insert_.get());
    }

    sqlite3* old_;
    sqlite3* fresh_;
    const char* table_;
    std::vector<FreshColumn> columns_;
    std::size_t text_at_ = std::string::npos;  // history only
    std::size_t image_at_ = std::string::npos;
    std::size_t is_image_at_ = std::string::npos;
    std::string from_;
    Statement whole_;
    Statement insert_;
    Statement exists_;
    std::vector<Statement> each_column_;
    TableCopy result_;
};

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
        if (auto n = single_int(old, "SELECT count(*) FROM " + quoted(table) + " INDEXED BY " + quoted(index))) {
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

bool Database::salvage_rows(const std::wstring& from, std::int64_t& saved, std::int64_t& unread) {
    // Nothing is written beside the set-aside file: without a log it is read
    // in place as immutable (no log index made, no journal rolled back into
    // it); with one, from a copy of the pair (should the copy fail, for want
    // of room, the file alone still gives what it holds).
    saved = 0;
    unread = 0;
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
        unread = -1;
        return true;  // nothing reads: nothing to write
    }
    sqlite3_db_config(old, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_exec(old, "PRAGMA query_only=1", nullptr, nullptr, nullptr);
    TableCopy entries;
    bool written = false;
    exec(L"PRAGMA foreign_keys=OFF");
    if (exec(L"BEGIN") == SQLITE_OK) {
        bool ok = true;
        for (const char* table : kTables) {
            const TableCopy copied = TableCopier(old, connection_, table).run();
            ok = ok && !copied.write_failed;
            if (std::string(table) == "history") {
                entries = copied;
            }
            if (!ok) {
                break;
            }
        }
        // Rows whose parent did not read: no category, no quick slot.
        ok = ok && exec(L"UPDATE history SET category_id=NULL WHERE category_id IS NOT NULL AND "
                        L"category_id NOT IN (SELECT id FROM categories)") == SQLITE_OK;
        ok = ok && exec(L"DELETE FROM slot_entries WHERE entry_id NOT IN (SELECT id FROM history)") == SQLITE_OK;
        written = run_in_transaction_end(ok);
    }
    exec(L"PRAGMA foreign_keys=ON");
    // The rows the file held: what its indexes count (each holds one entry
    // per row), or else what was found. Without a readable index, a damaged
    // page may have hidden rows of unknown number.
    const std::int64_t indexed = indexed_row_count(old, "history");
    sqlite3_close(old);
    if (!written) {
        return false;
    }
    saved = entries.copied;
    if (indexed < 0 && entries.met_damage) {
        unread = -1;
    } else {
        unread = std::max<std::int64_t>(0, std::max(indexed, entries.found) - saved);
    }
    return true;
}
