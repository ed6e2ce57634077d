#include "store/row_source.h"

#include <algorithm>
#include <climits>
#include <optional>

#include <sqlite3.h>

#include "core/text.h"
#include "store/statement.h"

namespace {

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

// The table's b-tree from a rowid on, in rowid order, never through an
// index.
class TableWalk {
public:
    TableWalk(sqlite3* db, const std::string& table)
        : seek_(Statement::prepare(db, "SELECT rowid FROM " + quoted(table) +
                                           " NOT INDEXED WHERE rowid>=?1 ORDER BY rowid")) {}
    bool ready() const { return static_cast<bool>(seek_); }

    // Reads rowids from 'from' on into ids until the end (true) or a page
    // that does not read (false).
    bool read_from(std::int64_t from, std::vector<std::int64_t>& ids) {
        sqlite3_reset(seek_.get());
        seek_.bind_int64(1, from);
        int rc;
        while ((rc = seek_.step()) == SQLITE_ROW) {
            ids.push_back(seek_.column_int64(0));
        }
        sqlite3_reset(seek_.get());
        return rc == SQLITE_DONE;
    }

    // Whether the first row at or after 'at' can be reached: the seek and
    // the step to that row read.
    bool reaches(std::int64_t at) {
        sqlite3_reset(seek_.get());
        seek_.bind_int64(1, at);
        const int rc = seek_.step();
        sqlite3_reset(seek_.get());
        return rc == SQLITE_ROW || rc == SQLITE_DONE;
    }

    // The smallest rowid after 'failed' (whose seek did not read) from
    // which the walk reads again; none when nothing further reads.
    std::optional<std::int64_t> next_readable(std::int64_t failed) {
        std::int64_t bad = failed;
        std::int64_t good = 0;
        std::uint64_t step = 1;
        for (;;) {
            // bad + step, at most LLONG_MAX (unsigned: the distance from a
            // negative rowid fits).
            const std::uint64_t room = static_cast<std::uint64_t>(LLONG_MAX) - static_cast<std::uint64_t>(bad);
            std::int64_t at =
                step >= room ? LLONG_MAX : static_cast<std::int64_t>(static_cast<std::uint64_t>(bad) + step);
            // Rowids are mostly 1 and up: a search from below 0 starts
            // over at 0 rather than leaping past the first rows.
            if (bad < 0 && at > 0) {
                at = 0;
            }
            if (reaches(at)) {
                good = at;
                break;
            }
            if (at == LLONG_MAX) {
                return std::nullopt;
            }
            step = at == 0 && bad < 0 ? 1 : step * 2;
            bad = at;
        }
        while (static_cast<std::uint64_t>(good) - static_cast<std::uint64_t>(bad) > 1) {
            const std::int64_t mid = static_cast<std::int64_t>(
                static_cast<std::uint64_t>(bad) + (static_cast<std::uint64_t>(good) - static_cast<std::uint64_t>(bad)) / 2);
            (reaches(mid) ? good : bad) = mid;
        }
        return good;
    }

private:
    Statement seek_;
};

// The rowids an index holds, as far as it reads; false when it did not
// read to its end.
bool index_rowids(sqlite3* db, const std::string& table, const std::string& index, std::vector<std::int64_t>& ids) {
    Statement scan = Statement::prepare(db, "SELECT rowid FROM " + quoted(table) + " INDEXED BY " + quoted(index));
    if (!scan) {
        return false;
    }
    int rc;
    while ((rc = scan.step()) == SQLITE_ROW) {
        ids.push_back(scan.column_int64(0));
    }
    return rc == SQLITE_DONE;
}

}  // namespace

RowIds find_row_ids(sqlite3* db, const std::string& table) {
    RowIds found;
    TableWalk walk(db, table);
    if (!walk.ready()) {
        found.met_damage = true;
    } else {
        std::int64_t from = LLONG_MIN;
        while (!walk.read_from(from, found.ids)) {
            found.met_damage = true;
            const std::int64_t failed = found.ids.empty() || found.ids.back() < from ? from : found.ids.back();
            const std::optional<std::int64_t> next = walk.next_readable(failed);
            if (!next) {
                break;
            }
            from = *next;
        }
    }
    std::vector<std::string> indexes;
    {
        // A partial index holds only some rows and cannot be scanned alone.
        Statement list = Statement::prepare(db, "SELECT name FROM pragma_index_list(?1) WHERE partial=0");
        list.bind_utf8(1, table.c_str());
        while (list.step() == SQLITE_ROW) {
            indexes.push_back(to_utf8(list.column_text(0)));
        }
    }
    if (found.met_damage) {
        for (const std::string& index : indexes) {
            if (!index_rowids(db, table, index, found.ids)) {
                found.met_damage = true;
            }
        }
    }
    std::sort(found.ids.begin(), found.ids.end());
    found.ids.erase(std::unique(found.ids.begin(), found.ids.end()), found.ids.end());
    return found;
}
