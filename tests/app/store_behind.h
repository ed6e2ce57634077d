// What another program does to the store's file behind the running program:
// a connection of its own, not the program's Database.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "core/text.h"

namespace app_test {

// Deletes the history row of the id from the file at path through a
// connection of its own; true when the statement ran.
inline bool delete_row_behind(const std::wstring& path, std::int64_t id) {
    sqlite3* other = nullptr;
    if (sqlite3_open(to_utf8(path).c_str(), &other) != SQLITE_OK) {
        sqlite3_close(other);
        return false;
    }
    sqlite3_busy_timeout(other, 5000);
    sqlite3_stmt* statement = nullptr;
    bool done = sqlite3_prepare_v2(other, "DELETE FROM history WHERE id=?1", -1, &statement, nullptr) == SQLITE_OK &&
                sqlite3_bind_int64(statement, 1, id) == SQLITE_OK && sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_finalize(statement);
    sqlite3_close(other);
    return done;
}

}  // namespace app_test
