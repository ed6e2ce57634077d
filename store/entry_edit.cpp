// Editing the text of a history entry by hand.
#include "store/database.h"

#include <sqlite3.h>

bool Database::replace_entry_text(std::int64_t id, const std::wstring& text) {
    if (text.empty()) {
        return false;
    }
    Guard guard(lock_);
    ensure_sound_locked();
    if (!connection_) {
        return false;
    }
    // The stored RTF and HTML hold the text as it was copied; pasting them
    // after an edit would bring the old content back into rich targets.
    Statement s = cached("UPDATE history SET text=?1, rtf=NULL, html=NULL WHERE id=?2");
    if (!s) {
        return false;
    }
    s.bind_text(1, text).bind_int64(2, id);
    const int rc = s.run();
    if (rc != SQLITE_DONE) {
        log_sql_error("replace_entry_text", rc);
        return false;
    }
    return sqlite3_changes(connection_) > 0;
}
