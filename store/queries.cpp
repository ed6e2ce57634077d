// The read side of the history table: the list behind each view, the list
// of quick-slot entries, and one-place moves of selected entries.
#include "store/database.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cerrno>
#include <climits>
#include <cwchar>

#include <sqlite3.h>

#include "core/text.h"
#include "store/sql_text.h"

namespace {

using Guard = std::lock_guard<std::mutex>;

// Texts of at least this many bytes are read from the file a piece at a
// time rather than as one value.
constexpr int kLongTextBytes = 1 << 20;

// The columns of a list row: those that lie before the payload columns of
// the table (or are flags, which the record format holds without content),
// so that reading a row never touches its image, RTF or HTML bytes. A long
// text comes as '' with its length in bytes (which SQLite reads from the
// record header alone) and is read with read_long_text.
std::string list_row_columns() {
    return "id, CASE WHEN octet_length(text)>=" + std::to_string(kLongTextBytes) +
           " THEN '' ELSE text END, created_at, pinned, category_id, use_count, is_image, is_browser_page, " +
           pinned_expr() + ", keep, octet_length(text)";
}

enum ListColumn {
    kColId,
    kColText,
    kColCreatedAt,
    kColPinned,
    kColCategory,
    kColUseCount,
    kColIsImage,
    kColIsBrowserPage,
    kColEffectivePin,
    kColKeep,
    kColTextBytes,
};

bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The text of row id, read in pieces through a blob handle and converted
// piece by piece into a string of its exact length, as from_utf8 would
// convert it whole (up to its first NUL): SQLite never holds the whole
// text in memory beside the converted one. False when it cannot be read.
bool read_long_text(sqlite3* db, std::int64_t id, std::wstring& out) {
    sqlite3_blob* blob = nullptr;
    if (sqlite3_blob_open(db, "main", "history", "text", id, 0, &blob) != SQLITE_OK) {
        sqlite3_blob_close(blob);
        return false;
    }
    const int total = sqlite3_blob_bytes(blob);
    constexpr int kPiece = 1 << 20;
    std::string piece;
    // Walks the text a piece at a time, no piece ending inside a UTF-8
    // sequence; each call of step gets one piece. False on a read error.
    auto walk = [&](const auto& step) {
        int at = 0;
        int carry = 0;  // bytes of a sequence cut at the end of the last piece
        while (at < total) {
            const int want = std::min(kPiece, total - at);
            piece.resize(static_cast<std::size_t>(carry + want));
            if (sqlite3_blob_read(blob, piece.data() + carry, want, at) != SQLITE_OK) {
                return false;
            }
            at += want;
            std::size_t usable = piece.size();
            if (at < total) {
                std::size_t back = 0;
                while (back < 3 && back < usable && is_continuation(static_cast<unsigned char>(piece[usable - 1 - back]))) {
                    ++back;
                }
                if (back < usable && static_cast<unsigned char>(piece[usable - 1 - back]) >= 0xC0) {
                    usable -= back + 1;  // a lead byte and its continuations so far
                }
            }
            const std::size_t nul = piece.find('\0');
            const bool ends = nul != std::string::npos && nul < usable;
            if (ends) {
                usable = nul;
            }
            if (!step(piece.data(), static_cast<int>(usable))) {
                return false;
            }
            if (ends) {
                return true;
            }
            carry = static_cast<int>(piece.size() - usable);
            piece.erase(0, usable);
        }
        return true;
    };
    std::size_t units = 0;
    bool ok = walk([&](const char* bytes, int n) {
        if (n == 0) {
            return true;
        }
        const int got = MultiByteToWideChar(CP_UTF8, 0, bytes, n, nullptr, 0);
        units += static_cast<std::size_t>(got);
        return got > 0;
    });
    if (ok) {
        out.assign(units, L'\0');
        std::size_t written = 0;
        ok = walk([&](const char* bytes, int n) {
            if (n == 0) {
                return true;
            }
            const int room = static_cast<int>(std::min<std::size_t>(out.size() - written, INT_MAX));
            const int got = MultiByteToWideChar(CP_UTF8, 0, bytes, n, out.data() + written, room);
            written += static_cast<std::size_t>(got);
            return got > 0;
        });
        out.resize(written);
    }
    sqlite3_blob_close(blob);
    return ok;
}

// A decimal 64-bit number, or 0 when the whole text is not one.
std::int64_t parse_id(const std::wstring& text) {
    if (text.empty()) {
        return 0;
    }
    wchar_t* end = nullptr;
    errno = 0;
    long long v = std::wcstoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != L'\0') {
        return 0;
    }
    return static_cast<std::int64_t>(v);
}

}  // namespace

// ---- pure helpers ------------------------------------------------------------------

std::vector<std::int64_t> reorder_ids(const std::vector<std::int64_t>& order,
                                      const std::vector<std::int32_t>& classes,
                                      const std::vector<std::int64_t>& selected,
                                      int direction) {
    if ((direction != -1 && direction != 1) || order.empty() || selected.empty() ||
        classes.size() != order.size()) {
        return order;
    }
    std::vector<bool> marked(order.size(), false);
    std::size_t count = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        for (std::int64_t s : selected) {
            if (order[i] == s) {
                marked[i] = true;
                ++count;
                break;
            }
        }
    }
    if (count == 0 || count == order.size()) {
        return order;
    }
    std::size_t first = 0;
    while (!marked[first]) {
        ++first;
    }
    std::size_t last = order.size() - 1;
    while (!marked[last]) {
        --last;
    }
    std::int32_t cls = classes[first];
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (marked[i] && classes[i] != cls) {
            return order;  // a selection never spans classes
        }
    }
    std::size_t target;
    if (direction == 1) {
        if (last + 1 >= order.size()) {
            return order;
        }
        target = last + 1;
    } else {
        if (first == 0) {
            return order;
        }
        target = first - 1;
    }
    if (classes[target] != cls) {
        return order;
    }
    std::vector<std::int64_t> moved;
    std::vector<std::int64_t> rest;
    std::size_t k = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (marked[i]) {
            moved.push_back(order[i]);
        } else {
            if (i == target) {
                k = rest.size();
            }
            rest.push_back(order[i]);
        }
    }
    std::size_t j = direction == 1 ? k + 1 : k;
    std::vector<std::int64_t> result(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(j));
    result.insert(result.end(), moved.begin(), moved.end());
    result.insert(result.end(), rest.begin() + static_cast<std::ptrdiff_t>(j), rest.end());
    return result;
}

MoveScope move_scope_for_filter(int view_kind, std::int64_t category_id) {
    switch (view_kind) {
    case 3:
        return {1, 0};
    case 6:
        return {3, 0};
    case 2:
        return {4, 0};
    case 1:
        return {5, 0};
    default:
        break;
    }
    if (view_kind == 5 || view_kind > 4) {
        return {2, category_id};
    }
    return {0, 0};
}

std::vector<std::int64_t> filter_keys_by_sign(const std::vector<std::int64_t>& keys, bool positive) {
    std::vector<std::int64_t> out;
    for (std::int64_t k : keys) {
        if (positive ? k > 0 : k < 0) {
            out.push_back(k);
        }
    }
    return out;
}

// ---- lists ---------------------------------------------------------------------------------

// The fields of an entry that its list row does not carry: the text
// columns stored after the payload columns, and with Payload::Full the
// RTF, HTML and image bytes.
int Database::load_entry_details(HistoryEntry& entry, Payload payload) {
    const bool full = payload == Payload::Full;
    Statement s = cached(full ? "SELECT source_app, source_title, source_url, custom_title, link_title, "
                                "rtf, html, image FROM history WHERE id=?1"
                              : "SELECT source_app, source_title, source_url, custom_title, link_title "
                                "FROM history WHERE id=?1");
    if (!s) {
        return SQLITE_ERROR;
    }
    s.bind_int64(1, entry.id);
    if (s.step() == SQLITE_ROW) {
        entry.source_app = s.column_text(0);
        entry.source_title = s.column_text(1);
        entry.source_url = s.column_text(2);
        if (!s.column_is_null(3)) {
            entry.custom_title = s.column_text(3);
        }
        entry.link_title = s.column_text(4);
        if (full) {
            s.read_blob(5, entry.rtf);
            s.read_blob(6, entry.html);
            s.read_blob(7, entry.image);
        }
        entry.payload_deferred = !full;
    }
    return s.finish();
}

std::vector<HistoryEntry> Database::read_entries(Statement& rows, std::size_t expected, Payload payload) {
    std::vector<HistoryEntry> entries;
    entries.reserve(expected);
    while (rows.step() == SQLITE_ROW) {
        HistoryEntry e;
        e.id = rows.column_int64(kColId);
        const bool long_text = rows.column_int64(kColTextBytes) >= kLongTextBytes;
        if (!long_text) {
            e.text = rows.column_text(kColText);
        }
        e.created_at = rows.column_text(kColCreatedAt);
        e.pinned = rows.column_flag(kColPinned);
        if (!rows.column_is_null(kColCategory)) {
            e.category_id = rows.column_int64(kColCategory);
        }
        e.use_count = rows.column_int64(kColUseCount);
        e.is_image = rows.column_flag(kColIsImage);
        e.is_browser_page = rows.column_flag(kColIsBrowserPage);
        e.effective_pinned = rows.column_flag(kColEffectivePin);
        e.keep = rows.column_flag(kColKeep);
        // Within the list's read transaction: the row is as listed.
        if (long_text && !read_long_text(connection_, e.id, e.text)) {
            e.text.clear();
        }
        load_entry_details(e, payload);
        entries.push_back(std::move(e));
    }
    return entries;
}

bool Database::load_payload(HistoryEntry& entry) {
    if (!entry.payload_deferred) {
        return true;
    }
    Guard guard(lock_);
    if (!connection_) {
        return false;
    }
    Statement s = cached("SELECT rtf, html, image FROM history WHERE id=?1");
    if (!s) {
        return false;
    }
    s.bind_int64(1, entry.id);
    if (s.step() != SQLITE_ROW) {
        return false;
    }
    std::string rtf, html;
    std::vector<std::uint8_t> image;
    s.read_blob(0, rtf);
    s.read_blob(1, html);
    s.read_blob(2, image);
    if (s.finish() != SQLITE_OK) {
        return false;
    }
    entry.rtf = std::move(rtf);
    entry.html = std::move(html);
    entry.image = std::move(image);
    entry.payload_deferred = false;
    return true;
}

std::vector<HistoryEntry> Database::list_entries(const std::wstring& view, bool sort_by_use,
                                                 bool pinned_first, Payload payload) {
    Guard guard(lock_);
    if (!connection_) {
        return {};
    }
    // One read transaction keeps the rows as they were counted and listed.
    const bool in_transaction = exec(L"BEGIN") == SQLITE_OK;
    std::vector<HistoryEntry> entries;
    if (view == L"slots") {
        // A handful of rows: the slot order is settled first, then each row is read.
        std::vector<std::int64_t> ids;
        {
            Statement list = cached("SELECT h.id FROM history h INNER JOIN slot_entries s ON h.id=s.entry_id "
                                    "WHERE h.deleted_at IS NULL ORDER BY s.slot_order ASC, s.entry_id ASC");
            while (list.step() == SQLITE_ROW) {
                ids.push_back(list.column_int64(0));
            }
        }
        for (std::int64_t id : ids) {
            Statement row = cached("SELECT " + list_row_columns() + " FROM history WHERE id=?1");
            row.bind_int64(1, id);
            std::vector<HistoryEntry> one = read_entries(row, 1, payload);
            if (!one.empty()) {
                entries.push_back(std::move(one.front()));
            }
        }
    } else {
        std::string where;
        bool by_category = false;
        std::int64_t category = 0;
        if (view.rfind(L"cat:", 0) == 0) {
            by_category = true;
            category = parse_id(view.substr(4));
            where = " WHERE deleted_at IS NULL AND category_id = ?1";
        } else if (view == L"all") {
            where = " WHERE deleted_at IS NULL AND is_image=0";
        } else if (view == L"images") {
            where = " WHERE deleted_at IS NULL AND is_image=1";
        } else if (view == L"none") {
            where = " WHERE deleted_at IS NULL AND category_id IS NULL AND is_image=0";
        } else if (view == L"pinned") {
            where = " WHERE deleted_at IS NULL AND (" + pinned_expr() + ")=1";
        } else if (view == L"trash") {
            where = " WHERE deleted_at IS NOT NULL";
        }
        std::string order;
        if (view == L"trash") {
            order = " ORDER BY deleted_at DESC, id DESC";
        } else {
            order = " ORDER BY ";
            if (pinned_first) {
                order += pinned_expr() + " DESC, ";
            }
            order += sort_by_use ? "use_count DESC, sort_order DESC, id DESC" : "sort_order DESC, id DESC";
        }
        std::int64_t expected = 0;
        {
            // A size hint: growing a vector of thousands of records costs
            // more than counting them.
            Statement count = cached("SELECT COUNT(*) FROM history" + where);
            if (by_category) {
                count.bind_int64(1, category);
            }
            if (count.step() == SQLITE_ROW) {
                expected = count.column_int64(0);
            }
        }
        // The sorter carries the list columns only: a text of 1 MiB or
        // more rides in it as '' and is read from the file afterwards, so
        // a huge text is never held by SQLite beside the list's copy.
        Statement list = cached("SELECT " + list_row_columns() + " FROM history" + where + order);
        if (by_category) {
            list.bind_int64(1, category);
        }
        entries = read_entries(list, static_cast<std::size_t>(expected > 0 ? expected : 0), payload);
    }
    if (in_transaction) {
        exec(L"COMMIT");
    }
    return entries;
}

std::vector<HistoryEntry> Database::list_slot_entries() {
    return list_entries(L"slots", false, false);
}

// ---- lists of the main window and the quick menu ---------------------------------------------

namespace {

// The columns of a list row without its text: those before the payload
// columns, and flags, which the record header holds without content.
std::string row_columns_without_text() {
    return "id, created_at, pinned, category_id, use_count, is_image, is_browser_page, " + pinned_expr() + ", keep";
}

// The WHERE clause of a view (?1 the category of a category view) and its
// ORDER BY, as list_entries reads them; the slots view is not one of them.
struct ViewQuery {
    std::string where;
    std::string order;
    bool by_category = false;
    std::int64_t category = 0;
};

ViewQuery view_query(const std::wstring& view, bool sort_by_use, bool pinned_first) {
    ViewQuery q;
    if (view.rfind(L"cat:", 0) == 0) {
        q.by_category = true;
        q.category = parse_id(view.substr(4));
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
}

// Most history rows the write log remembers; a reader further behind
// reads everything again.
constexpr std::size_t kWriteLogRows = 4096;

}  // namespace

void Database::on_row_written(void* self, int, const char*, const char* table, long long rowid) {
    // Called inside the writing statement, whose caller holds the lock.
    WriteLog& log = static_cast<Database*>(self)->write_log_;
    if (std::strcmp(table, "history") != 0) {
        ++log.others;
        return;
    }
    if (log.ids.size() >= kWriteLogRows) {
        log.base += log.ids.size();
        log.ids.clear();
    }
    log.ids.push_back(static_cast<std::int64_t>(rowid));
}

void Database::hook_write_log() {
    if (!connection_ || write_log_.hooked == connection_) {
        return;
    }
    // A new connection: what was written before is not known.
    static std::atomic<std::uint64_t> epochs{0};
    write_log_.hooked = connection_;
    write_log_.epoch = ++epochs;
    write_log_.base = 0;
    write_log_.ids.clear();
    write_log_.others = 0;
    sqlite3_update_hook(connection_, &Database::on_row_written, this);
}

Database::WriteMark Database::write_mark() const {
    WriteMark m;
    if (!connection_ || write_log_.hooked != connection_) {
        return m;
    }
    m.epoch = write_log_.epoch;
    m.rows = write_log_.base + write_log_.ids.size();
    m.others = write_log_.others;
    return m;
}

bool Database::history_writes_since(const WriteMark& mark, std::vector<std::int64_t>& ids, bool* others_written) {
    Guard guard(lock_);
    ids.clear();
    const WriteMark now = write_mark();
    if (mark.epoch == 0 || now.epoch != mark.epoch || mark.rows < write_log_.base || mark.rows > now.rows) {
        return false;
    }
    if (others_written) {
        *others_written = now.others != mark.others;
    }
    const std::size_t from = static_cast<std::size_t>(mark.rows - write_log_.base);
    ids.assign(write_log_.ids.begin() + static_cast<std::ptrdiff_t>(from), write_log_.ids.end());
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return true;
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
        *mark = write_mark();
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
        Statement s = cached("SELECT CASE WHEN octet_length(text)>=" + std::to_string(kLongTextBytes) +
                             " THEN '' ELSE text END, source_app, source_title, source_url, custom_title, link_title, "
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
            e.source_app = s.column_text(1);
            e.source_title = s.column_text(2);
            e.source_url = s.column_text(3);
            if (!s.column_is_null(4)) {
                e.custom_title = s.column_text(4);
            }
            e.link_title = s.column_text(5);
            if (s.column_int64(6) >= kLongTextBytes && !read_long_text(connection_, id, e.text)) {
                e.text.clear();
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
    // A start of the text in characters: SQLite's substr counts characters,
    // and a character beyond the Basic Multilingual Plane takes two units.
    const std::int64_t chars = static_cast<std::int64_t>(std::min<std::size_t>(text_limit, INT_MAX / 2));
    std::vector<HistoryEntry> entries;
    for (std::int64_t id : ids) {
        Statement row = cached("SELECT " + row_columns_without_text() +
                               ", substr(text, 1, ?2), length(text) FROM history WHERE id=?1");
        row.bind_int64(1, id).bind_int64(2, chars + 1);
        if (row.step() != SQLITE_ROW) {
            continue;
        }
        HistoryEntry e;
        read_row_without_text(row, e);
        std::wstring text = row.column_text(9);
        const std::int64_t length = row.column_int64(10);
        row.finish();
        const std::size_t keep = pair_safe_length(text, text_limit);
        e.text_cut = keep < text.size() || length > chars + 1;
        text.resize(keep);
        e.text = std::move(text);
        load_entry_details(e, Payload::Deferred);
        entries.push_back(std::move(e));
    }
    if (in_transaction) {
        exec(L"COMMIT");
    }
    return entries;
}

bool Database::load_whole_text(HistoryEntry& entry) {
    if (!entry.text_cut) {
        return true;
    }
    Guard guard(lock_);
    if (!connection_) {
        return false;
    }
    std::wstring text;
    {
        Statement s = cached("SELECT CASE WHEN octet_length(text)>=" + std::to_string(kLongTextBytes) +
                             " THEN '' ELSE text END, octet_length(text) FROM history WHERE id=?1");
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
    entry.text_cut = false;
    return true;
}

// ---- moves -----------------------------------------------------------------------------------

bool Database::reorder_entries(const std::vector<std::int64_t>& selected, int direction,
                               bool pinned_first, const MoveScope& scope) {
    if (selected.empty()) {
        return false;
    }
    Guard guard(lock_);
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
