// Shared by the store's list reads (queries.cpp, list_reads.cpp).
#pragma once

#include <cstdint>
#include <string>

struct sqlite3;
class Statement;
struct HistoryEntry;

// Texts of at least this many bytes are read from the file a piece at a
// time rather than as one value.
inline constexpr int kLongTextBytes = 1 << 20;

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
