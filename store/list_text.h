// Shared by the store's list reads (queries.cpp, list_reads.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct sqlite3;
class Statement;
struct HistoryEntry;

// Texts of at least this many bytes are read from the file a piece at a
// time rather than as one value.
inline constexpr int kLongTextBytes = 1 << 20;

// The text column as a statement reads it: a text of kLongTextBytes or more
// comes as '' (read it with read_long_text), the others whole.
inline std::string short_text_column() {
    return "CASE WHEN octet_length(text)>=" + std::to_string(kLongTextBytes) + " THEN '' ELSE text END";
}

// The start of a text read as substr(text, 1, text_start_chars(limit)) with
// length(text): SQLite counts characters, and one beyond the limit tells a
// text that goes on (a character beyond the Basic Multilingual Plane takes
// two units).
std::int64_t text_start_chars(std::size_t limit);
// Cuts such a start to at most limit units, never inside a surrogate pair,
// into e's text, and marks it a start or the whole text.
void keep_text_start(std::wstring text, std::int64_t length, std::size_t limit, HistoryEntry& e);

// The text of row id, read in pieces through a blob handle and converted
// piece by piece into a string of its exact length, as from_utf8 would
// convert it whole (up to its first NUL): SQLite never holds the whole
// text in memory beside the converted one. False when it cannot be read.
bool read_long_text(sqlite3* db, std::int64_t id, std::wstring& out);

// The number of a view key's "cat:<id>" (the text after the prefix): a
// decimal 64-bit number, or 0 when the whole text is not one.
std::int64_t parse_view_id(const std::wstring& text);

// The WHERE clause of a view (?1 the category of a category view) and its
// ORDER BY, as the list reads read them; the slots view is not one of them.
struct ViewQuery {
    std::string where;
    std::string order;
    bool by_category = false;
    std::int64_t category = 0;
};

ViewQuery view_query(const std::wstring& view, bool sort_by_use, bool pinned_first);

// The columns source_app, source_title, source_url, custom_title and
// link_title of a row, read from column first onwards into e.
void read_entry_sources(const Statement& row, int first, HistoryEntry& e);
