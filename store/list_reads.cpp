// The reads of the main window's list and the quick menu: a view's rows
// without their texts, the texts of listed rows one by one, the first rows
// of a view with the start of their texts, the whole text of a listed
// entry, and the log of the history rows written since a list was read.
#include "store/database.h"

#include <windows.h>

#include <algorithm>
#include <climits>

#include <sqlite3.h>

#include "core/text.h"
#include "store/list_text.h"
#include "store/sql_text.h"

namespace {

using Guard = std::lock_guard<std::mutex>;

}  // namespace

namespace {

// The columns of a list row without its text: those before the payload
// columns, and flags, which the record header holds without content.
std::string row_columns_without_text() {
    return "id, created_at, pinned, category_id, use_count, is_image, is_browser_page, " + pinned_expr() + ", keep";
}

void read_row_without_text(const Statement& rows, HistoryEntry& e) {
    e.id = rows.column_int64(0);
    e.created_at = rows.column_text(1);
    e.pinned = rows.column_flag(2);
    if (!rows.column_is_null(3)) {
        e.category_id = rows.column_int64(3);
    }
    e.use_count = rows.column_int64(4);
    e.is_image = rows.column_flag(5);
    e.is_browser_page = rows.column_flag(6);
    e.effective_pinned = rows.column_flag(7);
    e.keep = rows.column_flag(8);
    e.payload_deferred = true;
    e.text_state = TextState::NotRead;
}

}  // namespace

std::int64_t text_start_chars(std::size_t limit) {
    return static_cast<std::int64_t>(std::min<std::size_t>(limit, INT_MAX / 2)) + 1;
}

void keep_text_start(std::wstring text, std::int64_t length, std::size_t limit, HistoryEntry& e) {
    const std::size_t keep = pair_safe_length(text, limit);
    e.text_state = keep < text.size() || length >= text_start_chars(limit) ? TextState::Start : TextState::Whole;
    text.resize(keep);
    e.text = std::move(text);
}

ViewQuery view_query(const std::wstring& view, bool sort_by_use, bool pinned_first) {
    ViewQuery q;
    if (view.rfind(L"cat:", 0) == 0) {
        q.by_category = true;
        q.category = parse_view_id(view.substr(4));
        q.where = " WHERE deleted_at IS NULL AND category_id = ?1";
    } else if (view == L"all") {
        q.where = " WHERE deleted_at IS NULL AND is_image=0";
    } else if (view == L"images") {
        q.where = " WHERE deleted_at IS NULL AND is_image=1";
    } else if (view == L"none") {
        q.where = " WHERE deleted_at IS NULL AND category_id IS NULL AND is_image=0";
    } else if (view == L"pinned") {
        q.where = " WHERE deleted_at IS NULL AND (" + pinned_expr() + ")=1";
    } else if (view == L"trash") {
        q.where = " WHERE deleted_at IS NOT NULL";
    }
    if (view == L"trash") {
        q.order = " ORDER BY deleted_at DESC, id DESC";
    } else {
        q.order = " ORDER BY ";
        if (pinned_first) {
            q.order += pinned_expr() + " DESC, ";
        }
        q.order += sort_by_use ? "use_count DESC, sort_order DESC, id DESC" : "sort_order DESC, id DESC";
    }
    return q;
}

void read_entry_sources(const Statement& row, int first, HistoryEntry& e) {
    e.source_app = row.column_text(first);
    e.source_title = row.column_text(first + 1);
    e.source_url = row.column_text(first + 2);
    if (!row.column_is_null(first + 3)) {
        e.custom_title = row.column_text(first + 3);
    }
    e.link_title = row.column_text(first + 4);
}

void Database::hook_write_log() {
    if (!connection_) {
        return;
    }
    std::int64_t version = -1;
    {
        Statement s = cached("PRAGMA data_version");
        if (s.step() == SQLITE_ROW) {
            version = s.column_int64(0);
        }
    }
    write_log_.attach(connection_, version);
}

bool Database::history_writes_since(const WriteMark& mark, std::vector<std::int64_t>& ids, bool* others_written) {
    Guard guard(lock_);
    hook_write_log();
    return write_log_.writes_since(mark, connection_, ids, others_written);
}

std::vector<HistoryEntry> Database::list_entry_rows(const std::wstring& view, bool sort_by_use, bool pinned_first,
                                                    WriteMark* mark) {
    Guard guard(lock_);
    if (mark) {
        *mark = WriteMark{};
    }
    if (!connection_) {
        return {};
    }
    hook_write_log();
    const bool in_transaction = exec(L"BEGIN") == SQLITE_OK;
    if (mark) {
        *mark = write_log_.mark(connection_);
    }
    std::vector<HistoryEntry> entries;
    if (view == L"slots") {
        Statement list = cached("SELECT " + row_columns_without_text() +
                                " FROM history h INNER JOIN slot_entries s ON h.id=s.entry_id "
                                "WHERE h.deleted_at IS NULL ORDER BY s.slot_order ASC, s.entry_id ASC");
        while (list.step() == SQLITE_ROW) {
            HistoryEntry e;
            read_row_without_text(list, e);
            entries.push_back(std::move(e));
        }
    } else {
        // No count first: with the texts left out the records are small,
        // and a second pass over the table costs more than growing the vector.
        const ViewQuery q = view_query(view, sort_by_use, pinned_first);
        Statement list = cached("SELECT " + row_columns_without_text() + " FROM history" + q.where + q.order);
        if (q.by_category) {
            list.bind_int64(1, q.category);
        }
        while (list.step() == SQLITE_ROW) {
            HistoryEntry e;
            read_row_without_text(list, e);
            entries.push_back(std::move(e));
        }
    }
    if (in_transaction) {
        exec(L"COMMIT");
    }
    return entries;
}

std::size_t Database::read_list_texts(const std::vector<std::int64_t>& ids, std::uint64_t deadline_ms,
                                      const std::function<void(HistoryEntry&, std::string_view)>& each) {
    Guard guard(lock_);
    if (!connection_ || ids.empty()) {
        return 0;
    }
    const bool in_transaction = exec(L"BEGIN") == SQLITE_OK;
    std::size_t done = 0;
    HistoryEntry e;
    for (std::int64_t id : ids) {
        if (deadline_ms != 0 && done > 0 && GetTickCount64() >= deadline_ms) {
            break;
        }
        e = HistoryEntry{};
        e.id = id;
        e.text_state = TextState::NotRead;
        Statement s = cached("SELECT " + short_text_column() + ", source_app, source_title, source_url, custom_title, link_title, "
                             "octet_length(text) FROM history WHERE id=?1");
        s.bind_int64(1, id);
        std::string_view utf8;
        if (s.step() == SQLITE_ROW) {
            // SQLite's own bytes, not converted here: the reader folds them
            // piece by piece.
            if (const unsigned char* t = sqlite3_column_text(s.get(), 0)) {
                utf8 = std::string_view(reinterpret_cast<const char*>(t),
                                        static_cast<std::size_t>(sqlite3_column_bytes(s.get(), 0)));
            }
            read_entry_sources(s, 1, e);
            e.text_state = TextState::Whole;
            if (s.column_int64(6) >= kLongTextBytes && !read_long_text(connection_, id, e.text)) {
                e.text.clear();
                e.text_state = TextState::NotRead;
            }
        }
        each(e, utf8);
        s.finish();
        ++done;
    }
    if (in_transaction) {
        exec(L"COMMIT");
    }
    return done;
}

std::vector<HistoryEntry> Database::list_first_entries(const std::wstring& view, bool sort_by_use, bool pinned_first,
                                                       std::size_t count, std::size_t text_limit) {
    Guard guard(lock_);
    if (!connection_ || count == 0 || view == L"slots") {
        return {};
    }
    const bool in_transaction = exec(L"BEGIN") == SQLITE_OK;
    // The order is settled over the small columns; only the rows kept are read.
    std::vector<std::int64_t> ids;
    {
        const ViewQuery q = view_query(view, sort_by_use, pinned_first);
        Statement list = cached("SELECT id FROM history" + q.where + q.order + " LIMIT ?2");
        if (q.by_category) {
            list.bind_int64(1, q.category);
        }
        list.bind_int64(2, static_cast<std::int64_t>(std::min<std::size_t>(count, INT_MAX)));
        while (list.step() == SQLITE_ROW) {
            ids.push_back(list.column_int64(0));
        }
    }
    const std::int64_t chars = text_start_chars(text_limit);
    std::vector<HistoryEntry> entries;
    for (std::int64_t id : ids) {
        Statement row = cached("SELECT " + row_columns_without_text() +
                               ", substr(text, 1, ?2), length(text) FROM history WHERE id=?1");
        row.bind_int64(1, id).bind_int64(2, chars);
        if (row.step() != SQLITE_ROW) {
            continue;
        }
        HistoryEntry e;
        read_row_without_text(row, e);
        std::wstring text = row.column_text(9);
        const std::int64_t length = row.column_int64(10);
        row.finish();
        keep_text_start(std::move(text), length, text_limit, e);
        load_entry_details(e, Payload::Deferred);
        entries.push_back(std::move(e));
    }
    if (in_transaction) {
        exec(L"COMMIT");
    }
    return entries;
}

bool Database::load_whole_text(HistoryEntry& entry) {
    if (entry.text_state == TextState::Whole) {
        return true;
    }
    Guard guard(lock_);
    if (!connection_) {
        return false;
    }
    std::wstring text;
    {
        Statement s = cached("SELECT " + short_text_column() + ", octet_length(text) FROM history WHERE id=?1");
        s.bind_int64(1, entry.id);
        if (s.step() != SQLITE_ROW) {
            return false;
        }
        text = s.column_text(0);
        const bool long_text = s.column_int64(1) >= kLongTextBytes;
        if (s.finish() != SQLITE_OK) {
            return false;
        }
        if (long_text && !read_long_text(connection_, entry.id, text)) {
            return false;
        }
    }
    entry.text = std::move(text);
    entry.text_state = TextState::Whole;
    return true;
}

bool Database::load_text_start(HistoryEntry& entry, std::size_t limit) {
    if (entry.text_state == TextState::Whole ||
        (entry.text_state == TextState::Start && entry.text.size() >= limit)) {
        return true;
    }
    Guard guard(lock_);
    if (!connection_) {
        return false;
    }
    Statement s = cached("SELECT substr(text, 1, ?2), length(text) FROM history WHERE id=?1");
    s.bind_int64(1, entry.id).bind_int64(2, text_start_chars(limit));
    if (s.step() != SQLITE_ROW) {
        return false;
    }
    std::wstring text = s.column_text(0);
    const std::int64_t length = s.column_int64(1);
    if (s.finish() != SQLITE_OK) {
        return false;
    }
    keep_text_start(std::move(text), length, limit, entry);
    return true;
}

// ---- moves -----------------------------------------------------------------------------------

bool Database::reorder_entries(const std::vector<std::int64_t>& selected, int direction,
                               bool pinned_first, const MoveScope& scope) {
    if (selected.empty()) {
        return false;
    }
    Guard guard(lock_);
    ensure_sound_locked();
    std::string visible;
    switch (scope.kind) {
    case 1:
        visible = "CASE WHEN deleted_at IS NULL AND is_image=0 AND category_id IS NULL THEN 1 ELSE 0 END";
        break;
    case 2:
        visible = "CASE WHEN deleted_at IS NULL AND is_image=0 AND category_id=?1 THEN 1 ELSE 0 END";
        break;
    case 3:
        visible = "CASE WHEN deleted_at IS NULL AND is_image=1 THEN 1 ELSE 0 END";
        break;
    default:
        visible = "CASE WHEN deleted_at IS NULL AND is_image=0 THEN 1 ELSE 0 END";
        break;
    }
    std::string sql = "SELECT id, (" + pinned_expr() + ") AS ep, " + visible +
                      " AS vis FROM history ORDER BY ";
    if (pinned_first) {
        sql += pinned_expr() + " DESC, ";
    }
    sql += "sort_order DESC, id DESC";

    std::vector<std::int64_t> all;
    std::vector<std::size_t> positions;
    std::vector<std::int64_t> in_scope;
    std::vector<std::int32_t> classes;
    {
        Statement rows = cached(sql);
        if (scope.kind == 2) {
            rows.bind_int64(1, scope.category_id < 0 ? 0 : scope.category_id);
        }
        while (rows.step() == SQLITE_ROW) {
            std::int64_t id = rows.column_int64(0);
            if (rows.column_flag(2)) {
                positions.push_back(all.size());
                in_scope.push_back(id);
                classes.push_back(pinned_first && rows.column_flag(1) ? 1 : 0);
            }
            all.push_back(id);
        }
    }
    std::vector<std::int64_t> moved = reorder_ids(in_scope, classes, selected, direction);
    if (moved == in_scope) {
        return false;
    }
    for (std::size_t i = 0; i < positions.size(); ++i) {
        all[positions[i]] = moved[i];
    }
    if (exec(L"BEGIN") != SQLITE_OK) {
        exec(L"ROLLBACK");
        return false;
    }
    const std::int64_t n = static_cast<std::int64_t>(all.size());
    bool ok = true;
    for (std::size_t i = 0; ok && i < all.size(); ++i) {
        // Rows already holding their value are skipped: an UPDATE of a row
        // with a large image reads and may rewrite the whole row.
        Statement up = cached("UPDATE history SET sort_order=?1 WHERE id=?2 AND sort_order<>?1");
        up.bind_int64(1, n - static_cast<std::int64_t>(i)).bind_int64(2, all[i]);
        ok = up.run() == SQLITE_DONE;
    }
    return run_in_transaction_end(ok);
}

bool Database::reorder_slots(const std::vector<std::int64_t>& selected, int direction) {
    if (selected.empty()) {
        return false;
    }
    Guard guard(lock_);
    ensure_sound_locked();
    // Only slots of live entries are positions the user sees.
    std::vector<std::int64_t> order;
    {
        Statement rows = cached(
            "SELECT s.entry_id FROM slot_entries s INNER JOIN history h ON h.id=s.entry_id "
            "WHERE h.deleted_at IS NULL ORDER BY s.slot_order ASC, s.entry_id ASC");
        while (rows.step() == SQLITE_ROW) {
            order.push_back(rows.column_int64(0));
        }
    }
    std::vector<std::int32_t> classes(order.size(), 0);
    std::vector<std::int64_t> moved = reorder_ids(order, classes, selected, direction);
    if (moved == order) {
        return false;
    }
    if (exec(L"BEGIN") != SQLITE_OK) {
        exec(L"ROLLBACK");
        return false;
    }
    bool ok = true;
    for (std::size_t i = 0; ok && i < moved.size(); ++i) {
        Statement up = cached("UPDATE slot_entries SET slot_order=?1 WHERE entry_id=?2");
        up.bind_int64(1, static_cast<std::int64_t>(i + 1)).bind_int64(2, moved[i]);
        ok = up.run() == SQLITE_DONE;
    }
    return run_in_transaction_end(ok);
}
