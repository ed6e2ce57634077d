// Writes to the history table: storing captured and typed-in entries (with
// the duplicate bump and the trim), pins, keep, titles, trash, permanent
// deletion and the time-based clean-ups.
#include "store/database.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <limits>
#include <ctime>
#include <cwchar>
#include <cwctype>

#include <sqlite3.h>

#include "core/image_header.h"
#include "core/text.h"
#include "store/sql_text.h"

namespace {

using Guard = std::lock_guard<std::mutex>;

const std::int64_t* opt_ptr(const std::optional<std::int64_t>& v) {
    return v ? &*v : nullptr;
}

// Local wall-clock time 'seconds_back' seconds ago, as stored time stamps
// are written. None when that lies before 1970 or cannot be converted, so
// that an oversized retention period deletes nothing.
std::optional<std::wstring> local_cutoff(std::int64_t seconds_back) {
    __time64_t now = _time64(nullptr);
    if (now < 0 || seconds_back < 0 || seconds_back > now) {
        return std::nullopt;
    }
    __time64_t then = now - seconds_back;
    struct tm local {};
    if (_localtime64_s(&local, &then) != 0) {
        return std::nullopt;
    }
    wchar_t buf[32];
    if (wcsftime(buf, 32, L"%Y-%m-%dT%H:%M:%S", &local) == 0) {
        return std::nullopt;
    }
    return std::wstring(buf);
}

bool ends_with_png(const std::wstring& path) {
    if (path.size() < 5) {
        return false;
    }
    std::wstring tail = path.substr(path.size() - 4);
    for (wchar_t& c : tail) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return tail == L".png";
}

// text[first, last) as UTF-8 (up to its first NUL, as to_utf8 reads),
// every CR and LF a blank. Converted a piece at a time into a string of
// the exact size: no wide copy of a long text is made on the way.
std::string flat_utf8(const std::wstring& text, std::size_t first, std::size_t last) {
    const std::size_t nul = text.find(L'\0', first);
    if (nul != std::wstring::npos && nul < last) {
        last = nul;
    }
    constexpr std::size_t kPiece = 1 << 16;
    auto piece_end = [&](std::size_t at) {
        std::size_t end = std::min(last, at + kPiece);
        // A surrogate pair is never split between two pieces.
        if (end < last && end > at + 1 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) {
            --end;
        }
        return end;
    };
    std::size_t bytes = 0;
    for (std::size_t at = first; at < last;) {
        const std::size_t end = piece_end(at);
        const int n = WideCharToMultiByte(CP_UTF8, 0, text.data() + at, static_cast<int>(end - at), nullptr, 0,
                                          nullptr, nullptr);
        if (n <= 0) {
            return std::string();
        }
        bytes += static_cast<std::size_t>(n);
        at = end;
    }
    std::string out(bytes, '\0');
    std::vector<wchar_t> piece;
    piece.reserve(std::min(kPiece, last - first));
    std::size_t written = 0;
    for (std::size_t at = first; at < last;) {
        const std::size_t end = piece_end(at);
        piece.assign(text.begin() + static_cast<std::ptrdiff_t>(at), text.begin() + static_cast<std::ptrdiff_t>(end));
        for (wchar_t& c : piece) {
            if (c == L'\r' || c == L'\n') {
                c = L' ';
            }
        }
        const std::size_t room = std::min<std::size_t>(out.size() - written, INT_MAX);
        const int n = WideCharToMultiByte(CP_UTF8, 0, piece.data(), static_cast<int>(piece.size()),
                                          out.data() + written, static_cast<int>(room), nullptr, nullptr);
        if (n <= 0) {
            return std::string();
        }
        written += static_cast<std::size_t>(n);
        at = end;
    }
    out.resize(written);
    return out;
}

}  // namespace

// ---- image files ---------------------------------------------------------------

void delete_image_file(const std::wstring& path) {
    if (!ends_with_png(path)) {
        return;
    }
    DWORD attrs = GetFileAttributesW(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        return;
    }
    DeleteFileW(path.c_str());
}

void delete_image_files(const std::vector<std::wstring>& paths) {
    for (const std::wstring& p : paths) {
        delete_image_file(p);
    }
}

// The image files of the rows the condition picks that may go with them: a
// file stays while a row the condition leaves names it, and whenever any
// row marks it as the user's own (a Save-as over an older autosave leaves
// two rows naming one file).
std::vector<std::wstring> Database::image_paths_where(const std::wstring& condition) {
    std::vector<std::wstring> paths;
    for (auto& row : query(L"SELECT DISTINCT h.image_path FROM history h WHERE (" + condition +
                           L") AND h.image_path IS NOT NULL AND h.image_path <> '' AND NOT EXISTS "
                           L"(SELECT 1 FROM history o WHERE o.image_path = h.image_path COLLATE NOCASE "
                           L"AND (o.image_user_file <> 0 OR o.id NOT IN (SELECT id FROM history WHERE " +
                           condition + L")))")) {
        if (!row.empty() && !row[0].empty()) {
            paths.push_back(std::move(row[0]));
        }
    }
    return paths;
}

// ---- helpers (lock held) -----------------------------------------------------------

std::int64_t Database::next_sort_order() {
    // The aggregate always yields a row; 1 also when the table is empty.
    return query_int64("SELECT COALESCE(MAX(sort_order),0) FROM history", 0) + 1;
}

void Database::remove_orphan_slots() {
    exec(L"DELETE FROM slot_entries WHERE entry_id NOT IN (SELECT id FROM history)");
}

std::vector<std::wstring> Database::trim_history(std::int64_t* removed) {
    if (removed) {
        *removed = 0;
    }
    // The rows that are not effectively pinned, gathered through the
    // partial index on unpinned rows one category at a time, so that the
    // pinned rows are never visited: those without a category, those of a
    // category that is not pinned (or no longer exists), and those of a
    // pinned category that carry the override.
    std::vector<std::int64_t> pinned_categories;
    {
        Statement s = cached("SELECT id FROM categories WHERE pinned=1");
        while (s.step() == SQLITE_ROW) {
            pinned_categories.push_back(s.column_int64(0));
        }
    }
    struct Row {
        std::int64_t sort_order;
        std::int64_t id;
    };
    std::vector<Row> rows;
    auto collect = [&](Statement& s) {
        while (s.step() == SQLITE_ROW) {
            rows.push_back(Row{s.column_int64(0), s.column_int64(1)});
        }
    };
    {
        Statement s = cached("SELECT sort_order, id FROM history WHERE pinned=0 AND category_id IS NULL");
        collect(s);
    }
    std::int64_t after = std::numeric_limits<std::int64_t>::min();
    for (;;) {
        std::int64_t category = 0;
        {
            Statement next = cached(
                "SELECT category_id FROM history WHERE pinned=0 AND category_id>?1 "
                "ORDER BY category_id LIMIT 1");
            next.bind_int64(1, after);
            if (next.step() != SQLITE_ROW) {
                break;
            }
            category = next.column_int64(0);
        }
        after = category;
        bool pinned = std::find(pinned_categories.begin(), pinned_categories.end(), category) !=
                      pinned_categories.end();
        Statement s = cached(pinned ? "SELECT sort_order, id FROM history WHERE pinned=0 AND category_id=?1 "
                                      "AND cat_pin_override=1"
                                    : "SELECT sort_order, id FROM history WHERE pinned=0 AND category_id=?1");
        s.bind_int64(1, category);
        collect(s);
    }
    if (rows.size() <= static_cast<std::size_t>(kHistoryKeep)) {
        return {};
    }
    // The newest entries are those with the highest sort order (an entry
    // bumped to the top keeps its old id); the id breaks ties.
    auto newer = [](const Row& a, const Row& b) {
        return a.sort_order != b.sort_order ? a.sort_order > b.sort_order : a.id > b.id;
    };
    std::nth_element(rows.begin(), rows.begin() + kHistoryKeep, rows.end(), newer);
    std::vector<std::int64_t> ids;
    for (auto it = rows.begin() + kHistoryKeep; it != rows.end(); ++it) {
        ids.push_back(it->id);
    }
    std::sort(ids.begin(), ids.end());
    std::wstring condition = L"id IN (" + join_ids(ids) + L")";
    std::vector<std::wstring> paths = image_paths_where(condition);
    if (exec(L"DELETE FROM history WHERE " + condition) != SQLITE_OK) {
        if (removed) {
            *removed = -1;
        }
        return {};
    }
    if (removed) {
        *removed = static_cast<std::int64_t>(ids.size());
    }
    remove_orphan_slots();
    return paths;
}

// ---- storing ---------------------------------------------------------------------------

std::int64_t Database::add_entry(const NewEntry& entry, bool* failed, bool* busy) {
    bool write_failed = false;
    bool write_busy = false;
    std::int64_t id = store_captured_entry(entry, &write_failed, &write_busy);
    // A capture is never left in a damaged file: it goes into the fresh
    // store that replaces it.
    if (id == 0 && write_failed && !write_busy && recover_if_damaged()) {
        id = store_captured_entry(entry, &write_failed, &write_busy);
    }
    if (failed) {
        *failed = write_failed;
    }
    if (busy) {
        *busy = write_busy;
    }
    return id;
}

namespace {

// What a captured item stores, as store_captured_entry and add_entries
// write it.
struct CapturedRow {
    std::string flat;        // the text, line breaks as blanks and trimmed, as UTF-8
    bool text_entry = false; // the text is long enough to be an entry of its own
    bool is_image = false;
    const std::vector<std::uint8_t>* image = nullptr;
};

// The row of a captured item; none when there is nothing to store.
std::optional<CapturedRow> captured_row(const NewEntry& entry) {
    // Bytes that are no image the program can draw are not kept: the copy
    // is stored by its text alone.
    static const std::vector<std::uint8_t> kNoImage;
    const bool image_refused = !entry.image.empty() && !winutil::image_bytes_keepable(entry.image);
    CapturedRow row;
    row.image = image_refused ? &kNoImage : &entry.image;
    row.is_image = entry.is_image && !image_refused;
    // Line breaks become blanks and the blanks at both ends go, written
    // straight into the one UTF-8 copy of the text that the store binds
    // without a further copy, so that a long text is not held several
    // times over.
    const std::wstring& text = entry.text;
    std::size_t first = 0;
    std::size_t last = text.size();
    auto blank = [](wchar_t c) { return c == L'\t' || c == L'\n' || c == L'\r' || c == L' '; };
    while (first < last && blank(text[first])) {
        ++first;
    }
    while (last > first && blank(text[last - 1])) {
        --last;
    }
    row.text_entry = last - first >= 2;
    if (!row.text_entry && row.image->empty()) {
        return std::nullopt;
    }
    row.flat = flat_utf8(text, first, last);
    return row;
}

bool busy_code(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

}  // namespace

std::int64_t Database::write_captured_unlocked(const NewEntry& entry, const std::string& flat, bool text_entry,
                                               bool is_image, const std::vector<std::uint8_t>& image,
                                               std::vector<std::wstring>& trimmed, bool* busy) {
    const std::string& rtf = entry.rtf;
    const std::string& html = entry.html;
    const std::wstring& source_app = entry.source_app;
    const std::wstring& source_title = entry.page_title;
    const std::wstring& source_url = entry.page_url;
    const bool is_browser_page = entry.is_browser;
    const std::wstring stamp = !entry.copied_at.empty() ? entry.copied_at : now_iso_timestamp();
    const std::int64_t* category = opt_ptr(entry.category);
    auto note_busy = [busy](int rc) {
        if (busy && busy_code(rc)) {
            *busy = true;
        }
    };

    if (!entry.repeat && text_entry && !is_image) {
        // Only a text entry is bumped: an image entry with equal text keeps
        // its image.
        std::int64_t found = 0;
        {
            // The first 64 characters find the candidates through the
            // partial index on live text entries.
            Statement find = cached(
                "SELECT id FROM history WHERE substr(text,1,64)=substr(?1,1,64) AND text=?1 "
                "AND deleted_at IS NULL AND is_image=0 ORDER BY id LIMIT 1");
            find.bind_utf8_terminated(1, flat);
            if (find.step() == SQLITE_ROW) {
                found = find.column_int64(0);
            }
        }
        if (found != 0) {
            std::int64_t next = next_sort_order();
            // A category that no longer exists files the entry without one.
            Statement move = cached(
                "UPDATE history SET created_at=?1, sort_order=?2, "
                "category_id=(SELECT id FROM categories WHERE id=?3), cat_pin_override=0 "
                "WHERE id=?4");
            move.bind_text(1, stamp).bind_int64(2, next).bind_optional(3, category).bind_int64(4, found);
            const bool moved = move.run() == SQLITE_DONE;
            move.finish();
            Statement payload = cached(
                "UPDATE history SET rtf=?1, html=?2, image=?3, source_app=?4, is_image=?5, "
                "source_title=?6, source_url=?7, is_browser_page=?8 WHERE id=?9");
            payload.bind_bytes(1, rtf)
                .bind_bytes(2, html)
                .bind_bytes(3, image)
                .bind_text(4, source_app)
                .bind_int(5, 0)
                .bind_text(6, source_title)
                .bind_text(7, source_url)
                .bind_int(8, is_browser_page ? 1 : 0)
                .bind_int64(9, found);
            const bool replaced = moved && payload.run() == SQLITE_DONE;
            payload.finish();
            return replaced ? found : 0;
        }
    }

    std::int64_t next = next_sort_order();
    std::int64_t id = 0;
    {
        // The image goes in with the row, so an entry is never stored
        // without the image it was captured with.
        Statement insert = cached(
            "INSERT INTO history (text, created_at, sort_order, category_id, rtf, html, source_app, "
            "is_image, source_title, source_url, is_browser_page, image) VALUES "
            "(?1,?2,?3,(SELECT id FROM categories WHERE id=?4),?5,?6,?7,?8,?9,?10,?11,?12)");
        insert.bind_utf8_terminated(1, flat)
            .bind_text(2, stamp)
            .bind_int64(3, next)
            .bind_optional(4, category)
            .bind_bytes(5, rtf)
            .bind_bytes(6, html)
            .bind_text(7, source_app)
            .bind_int(8, is_image ? 1 : 0)
            .bind_text(9, source_title)
            .bind_text(10, source_url)
            .bind_int(11, is_browser_page ? 1 : 0)
            .bind_bytes(12, image);
        const int rc = insert.step();
        if (rc == SQLITE_DONE) {
            id = last_insert_id();
        }
        note_busy(rc);
    }
    if (id != 0) {
        trimmed = trim_history();
    }
    return id;
}

std::int64_t Database::store_captured_entry(const NewEntry& entry, bool* failed, bool* busy) {
    if (failed) {
        *failed = false;
    }
    if (busy) {
        *busy = false;
    }
    // Something was to be stored and the write did not complete.
    auto fail = [failed] {
        if (failed) {
            *failed = true;
        }
        return std::int64_t{0};
    };
    const std::optional<CapturedRow> row = captured_row(entry);
    if (!row) {
        return 0;
    }
    Guard guard(lock_);
    if (!connection_) {
        return fail();
    }
    // One transaction for the lookup, the write and the trim: one commit.
    const int begin = exec(L"BEGIN IMMEDIATE");
    if (begin != SQLITE_OK) {
        exec(L"ROLLBACK");
        if (busy && busy_code(begin)) {
            *busy = true;
        }
        return fail();
    }
    std::vector<std::wstring> trimmed;
    const std::int64_t id =
        write_captured_unlocked(entry, row->flat, row->text_entry, row->is_image, *row->image, trimmed, busy);
    // A write that did not reach the file is not reported as stored.
    if (!run_in_transaction_end(id != 0)) {
        return fail();
    }
    // Files go only once their rows are gone for good.
    delete_image_files(trimmed);
    return id;
}

std::vector<Database::CapturedWrite> Database::add_entries(const std::vector<const NewEntry*>& entries,
                                                           double budget_ms) {
    std::vector<CapturedWrite> results;
    if (entries.empty()) {
        return results;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        results.clear();
        std::vector<std::wstring> trimmed;
        {
            Guard guard(lock_);
            const auto started = std::chrono::steady_clock::now();
            const int begin = connection_ ? exec(L"BEGIN IMMEDIATE") : SQLITE_ERROR;
            if (begin != SQLITE_OK) {
                if (connection_) {
                    exec(L"ROLLBACK");
                }
                results.push_back(CapturedWrite{0, true, busy_code(begin)});
            } else {
                for (const NewEntry* entry : entries) {
                    const double spent = std::chrono::duration<double, std::milli>(
                                             std::chrono::steady_clock::now() - started).count();
                    if (!results.empty() && spent >= budget_ms) {
                        break;
                    }
                    const std::optional<CapturedRow> row = captured_row(*entry);
                    if (!row) {
                        results.push_back(CapturedWrite{});
                        continue;
                    }
                    // Each item is kept or undone on its own.
                    exec(L"SAVEPOINT captured");
                    std::vector<std::wstring> gone;
                    bool busy = false;
                    const std::int64_t id = write_captured_unlocked(*entry, row->flat, row->text_entry, row->is_image,
                                                                    *row->image, gone, &busy);
                    if (id == 0) {
                        exec(L"ROLLBACK TO captured");
                    } else {
                        trimmed.insert(trimmed.end(), gone.begin(), gone.end());
                    }
                    exec(L"RELEASE captured");
                    results.push_back(CapturedWrite{id, id == 0, busy});
                }
                const int commit = exec(L"COMMIT");
                if (commit != SQLITE_OK) {
                    exec(L"ROLLBACK");
                    trimmed.clear();
                    for (CapturedWrite& r : results) {
                        if (r.id != 0) {
                            r = CapturedWrite{0, true, busy_code(commit)};
                        }
                    }
                }
            }
        }
        delete_image_files(trimmed);
        // A store found damaged is replaced, and the items go into the
        // fresh one, as add_entry does.
        const CapturedWrite& first = results.front();
        if (attempt == 0 && first.failed && !first.busy && recover_if_damaged()) {
            continue;
        }
        break;
    }
    return results;
}

std::int64_t Database::add_text_entry(const std::wstring& text,
                                      std::optional<std::int64_t> category_id, bool pinned,
                                      bool quick_slot) {
    std::wstring value = trim(text);
    if (value.empty()) {
        return 0;
    }
    std::wstring stamp = now_iso_timestamp();
    Guard guard(lock_);
    if (!connection_) {
        return 0;
    }
    std::int64_t next = next_sort_order();
    std::int64_t id = 0;
    {
        Statement insert = cached(
            "INSERT INTO history (text, created_at, sort_order, pinned, category_id) VALUES "
            "(?1,?2,?3,?4,(SELECT id FROM categories WHERE id=?5))");
        insert.bind_text(1, value)
            .bind_text(2, stamp)
            .bind_int64(3, next)
            .bind_int(4, pinned ? 1 : 0)
            .bind_optional(5, opt_ptr(category_id));
        if (insert.step() == SQLITE_DONE) {
            id = last_insert_id();
        }
    }
    delete_image_files(trim_history());
    if (id > 0 && quick_slot) {
        add_to_slot_unlocked(id, 9);
    }
    return id;
}

bool Database::set_image_path(std::int64_t id, const std::wstring& path, bool user_file) {
    Guard guard(lock_);
    Statement s = cached("UPDATE history SET image_path=?1, image_user_file=?2 WHERE id=?3");
    s.bind_text(1, path).bind_int(2, user_file ? 1 : 0).bind_int64(3, id);
    return s.run() == SQLITE_DONE && sqlite3_changes(connection_) > 0;
}

bool Database::set_link_title(std::int64_t id, const std::wstring& title) {
    if (title.empty()) {
        return false;
    }
    Guard guard(lock_);
    Statement s = cached("UPDATE history SET link_title=?1 WHERE id=?2");
    s.bind_text(1, title).bind_int64(2, id);
    return s.run() == SQLITE_DONE && sqlite3_changes(connection_) > 0;
}

// ---- simple updates and reads -----------------------------------------------------------

bool Database::set_entry_text(std::int64_t id, const std::wstring& text) {
    if (text.empty()) {
        return false;
    }
    Guard guard(lock_);
    Statement s = cached("UPDATE history SET text=?1 WHERE id=?2");
    s.bind_text(1, text).bind_int64(2, id);
    return s.run() == SQLITE_DONE;
}

bool Database::set_custom_title(std::int64_t id, const std::wstring& title) {
    Guard guard(lock_);
    Statement s = cached("UPDATE history SET custom_title=?1 WHERE id=?2");
    s.bind_text(1, title).bind_int64(2, id);
    return s.run() == SQLITE_DONE;
}

bool Database::increment_use_count(std::int64_t id) {
    Guard guard(lock_);
    Statement s = cached("UPDATE history SET use_count=use_count+1 WHERE id=?1");
    s.bind_int64(1, id);
    return s.run() == SQLITE_DONE;
}

bool Database::set_entry_category(std::int64_t id, std::optional<std::int64_t> category_id) {
    Guard guard(lock_);
    Statement s = cached("UPDATE history SET category_id=?1, cat_pin_override=0 WHERE id=?2");
    s.bind_optional(1, opt_ptr(category_id)).bind_int64(2, id);
    return s.run() == SQLITE_DONE;
}

int Database::set_entries_category(const std::vector<std::int64_t>& ids,
                                   std::optional<std::int64_t> category_id) {
    if (ids.empty()) {
        return 0;
    }
    Guard guard(lock_);
    Statement s = Statement::prepare(
        connection_, to_utf8(L"UPDATE history SET category_id=?1, cat_pin_override=0 WHERE id IN (" +
                             join_ids(ids) + L")"));
    s.bind_optional(1, opt_ptr(category_id));
    s.run();
    return static_cast<int>(ids.size());
}

bool Database::set_keep(std::int64_t id, bool keep) {
    Guard guard(lock_);
    {
        Statement exists = cached("SELECT 1 FROM history WHERE id=?1");
        exists.bind_int64(1, id);
        if (exists.step() != SQLITE_ROW) {
            return false;
        }
    }
    Statement s = cached("UPDATE history SET keep=?1 WHERE id=?2");
    s.bind_int(1, keep ? 1 : 0).bind_int64(2, id);
    return s.run() == SQLITE_DONE;
}

bool Database::is_kept(std::int64_t id) {
    Guard guard(lock_);
    Statement s = cached("SELECT keep FROM history WHERE id=?1");
    s.bind_int64(1, id);
    return s.step() == SQLITE_ROW && s.column_flag(0);
}

bool Database::trash_entry(std::int64_t id) {
    return trash_entries({id}) == 1;
}

int Database::trash_entries(const std::vector<std::int64_t>& ids) {
    if (ids.empty()) {
        return 0;
    }
    std::wstring stamp = now_iso_timestamp();
    Guard guard(lock_);
    std::wstring list = join_ids(ids);
    exec(L"UPDATE history SET deleted_at=" + sql_quote(stamp) + L" WHERE id IN (" + list + L")");
    exec(L"DELETE FROM slot_entries WHERE entry_id IN (" + list + L")");
    return static_cast<int>(ids.size());
}

bool Database::restore_entry(std::int64_t id) {
    return restore_entries({id}) == 1;
}

int Database::restore_entries(const std::vector<std::int64_t>& ids) {
    if (ids.empty()) {
        return 0;
    }
    Guard guard(lock_);
    exec(L"UPDATE history SET deleted_at=NULL WHERE id IN (" + join_ids(ids) + L")");
    return static_cast<int>(ids.size());
}

std::int64_t Database::count_entries() {
    Guard guard(lock_);
    return query_int64("SELECT COUNT(*) FROM history WHERE deleted_at IS NULL", 0);
}

// ---- pins ----------------------------------------------------------------------------------

bool Database::set_pinned_unlocked(std::int64_t id, bool pinned) {
    if (pinned) {
        Statement s = cached("UPDATE history SET pinned=1, cat_pin_override=0 WHERE id=?1");
        s.bind_int64(1, id);
        return s.run() == SQLITE_DONE;
    }
    std::optional<std::int64_t> category;
    {
        Statement s = cached("SELECT category_id FROM history WHERE id=?1");
        s.bind_int64(1, id);
        if (s.step() != SQLITE_ROW) {
            return false;
        }
        if (!s.column_is_null(0)) {
            category = s.column_int64(0);
        }
    }
    bool category_pinned = false;
    if (category) {
        Statement s = cached("SELECT pinned FROM categories WHERE id=?1");
        s.bind_int64(1, *category);
        category_pinned = s.step() == SQLITE_ROW && s.column_flag(0);
    }
    // Unpinning inside a pinned category records the override.
    Statement s = cached("UPDATE history SET pinned=0, cat_pin_override=?1 WHERE id=?2");
    s.bind_int(1, category_pinned ? 1 : 0).bind_int64(2, id);
    return s.run() == SQLITE_DONE;
}

int Database::set_pinned_many(const std::vector<std::int64_t>& ids, bool pinned) {
    if (ids.empty()) {
        return 0;
    }
    Guard guard(lock_);
    if (exec(L"BEGIN") != SQLITE_OK) {
        exec(L"ROLLBACK");
        return 0;
    }
    int count = 0;
    for (std::int64_t id : ids) {
        if (set_pinned_unlocked(id, pinned)) {
            ++count;
        }
    }
    return run_in_transaction_end(true) ? count : 0;
}

// ---- deletion and retention -------------------------------------------------------------

bool Database::purge_entry(std::int64_t id) {
    purge_entries({id});
    return true;
}

int Database::purge_entries(const std::vector<std::int64_t>& ids) {
    if (ids.empty()) {
        return 0;
    }
    Guard guard(lock_);
    std::wstring list = join_ids(ids);
    std::wstring condition = L"id IN (" + list + L")";
    std::vector<std::wstring> paths = image_paths_where(condition);
    bool deleted = exec(L"DELETE FROM history WHERE " + condition) == SQLITE_OK;
    exec(L"DELETE FROM slot_entries WHERE entry_id IN (" + list + L")");
    if (deleted) {
        delete_image_files(paths);
    }
    return static_cast<int>(ids.size());
}

int Database::empty_trash() {
    Guard guard(lock_);
    int count = static_cast<int>(query_int64(
        "SELECT (SELECT COUNT(*) FROM history WHERE deleted_at IS NOT NULL) + "
        "(SELECT COUNT(*) FROM snippets WHERE deleted_at IS NOT NULL)",
        0));
    std::vector<std::wstring> paths = image_paths_where(L"deleted_at IS NOT NULL");
    bool deleted = exec(L"DELETE FROM history WHERE deleted_at IS NOT NULL") == SQLITE_OK;
    exec(L"DELETE FROM snippets WHERE deleted_at IS NOT NULL");
    remove_orphan_slots();
    if (deleted) {
        delete_image_files(paths);
    }
    return count;
}

int Database::purge_trash_older_than(std::int64_t hours) {
    if (hours < 1 || hours > INT64_MAX / 3600) {
        return 0;
    }
    std::optional<std::wstring> cutoff = local_cutoff(hours * 3600);
    if (!cutoff) {
        return 0;
    }
    Guard guard(lock_);
    std::wstring condition = L"deleted_at IS NOT NULL AND deleted_at < " + sql_quote(*cutoff);
    Rows counted = query(L"SELECT (SELECT COUNT(*) FROM history WHERE " + condition +
                         L") + (SELECT COUNT(*) FROM snippets WHERE " + condition + L")");
    int count = (counted.empty() || counted[0].empty()) ? 0 : _wtoi(counted[0][0].c_str());
    std::vector<std::wstring> paths = image_paths_where(condition);
    bool deleted = exec(L"DELETE FROM history WHERE " + condition) == SQLITE_OK;
    exec(L"DELETE FROM snippets WHERE " + condition);
    remove_orphan_slots();
    if (deleted) {
        delete_image_files(paths);
    }
    return count;
}

int Database::delete_history_where(const std::wstring& condition) {
    Rows counted = query(L"SELECT COUNT(*) FROM history WHERE " + condition);
    int count = (counted.empty() || counted[0].empty()) ? 0 : _wtoi(counted[0][0].c_str());
    std::vector<std::wstring> paths = image_paths_where(condition);
    bool deleted = exec(L"DELETE FROM history WHERE " + condition) == SQLITE_OK;
    remove_orphan_slots();
    if (deleted) {
        delete_image_files(paths);  // only files whose rows are gone
    }
    return count;
}

int Database::delete_entries_older_than(std::int64_t days) {
    if (days <= 0 || days > INT64_MAX / 86400) {
        return 0;
    }
    std::optional<std::wstring> cutoff = local_cutoff(days * 86400);
    if (!cutoff) {
        return 0;
    }
    Guard guard(lock_);
    std::wstring condition = L"pinned=0 AND keep=0 AND deleted_at IS NULL AND created_at < " +
                             sql_quote(*cutoff) +
                             L" AND (category_id IS NULL OR category_id NOT IN (SELECT id FROM "
                             L"categories WHERE pinned=1) OR cat_pin_override=1)";
    return delete_history_where(condition);
}

int Database::clear_history() {
    Guard guard(lock_);
    const std::wstring condition =
        L"pinned=0 AND deleted_at IS NULL AND keep=0 AND (category_id IS NULL OR category_id NOT "
        L"IN (SELECT id FROM categories WHERE pinned=1) OR cat_pin_override=1)";
    return delete_history_where(condition);
}
