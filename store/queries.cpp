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
#include "store/list_text.h"
#include "store/sql_text.h"

namespace {

using Guard = std::lock_guard<std::mutex>;


// The columns of a list row: those that lie before the payload columns of
// the table (or are flags, which the record format holds without content),
// so that reading a row never touches its image, RTF or HTML bytes. A long
// text comes as '' with its length in bytes (which SQLite reads from the
// record header alone) and is read with read_long_text.
std::string list_row_columns() {
    return "id, " + short_text_column() + ", created_at, pinned, category_id, use_count, is_image, is_browser_page, " +
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

}  // namespace

namespace {

bool utf8_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

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
                while (back < 3 && back < usable && utf8_continuation(static_cast<unsigned char>(piece[usable - 1 - back]))) {
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
std::int64_t parse_view_id(const std::wstring& text) {
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
        read_entry_sources(s, 0, entry);
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
        // Within the list's read transaction: the row is as listed. A long
        // text that does not read leaves the entry without a text, never
        // with an empty one taken for whole.
        e.text_state = TextState::Whole;
        if (long_text && !read_long_text(connection_, e.id, e.text)) {
            e.text.clear();
            e.text_state = TextState::NotRead;
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
            if (one.empty()) {
                // A row that does not read keeps its slot: the slots after
                // it stay where they are, and a use of this one reads the
                // store again and is refused there.
                HistoryEntry unread;
                unread.id = id;
                unread.payload_deferred = true;
                one.push_back(std::move(unread));
            }
            entries.push_back(std::move(one.front()));
        }
    } else {
        const ViewQuery q = view_query(view, sort_by_use, pinned_first);
        std::int64_t expected = 0;
        {
            // A size hint: growing a vector of thousands of records costs
            // more than counting them.
            Statement count = cached("SELECT COUNT(*) FROM history" + q.where);
            if (q.by_category) {
                count.bind_int64(1, q.category);
            }
            if (count.step() == SQLITE_ROW) {
                expected = count.column_int64(0);
            }
        }
        // The sorter carries the list columns only: a text of 1 MiB or
        // more rides in it as '' and is read from the file afterwards, so
        // a huge text is never held by SQLite beside the list's copy.
        Statement list = cached("SELECT " + list_row_columns() + " FROM history" + q.where + q.order);
        if (q.by_category) {
            list.bind_int64(1, q.category);
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
