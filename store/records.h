// The records in which data leaves the history store. All of them are plain
// values: default construction gives ids 0, empty texts and byte strings,
// false flags, a text not read; copying copies every field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How much of its text a history entry holds: none (a listed row whose
// text the list has not read, or one that could not be read), only its
// start, or all of it. A record says it holds its text whole only when the
// reader that made it read the text whole: a record made without saying so
// holds none, so that no empty text is ever taken for a whole one.
enum class TextState { NotRead, Start, Whole };

// One history entry.
struct HistoryEntry {
    std::int64_t id = 0;
    std::wstring text;
    std::wstring created_at;        // "YYYY-MM-DDTHH:MM:SS", local time
    bool pinned = false;            // the entry's own pin
    bool effective_pinned = false;  // own pin, or pinned category without override
    bool keep = false;
    std::optional<std::int64_t> category_id;
    std::int64_t use_count = 0;
    std::string rtf;                // raw "Rich Text Format" bytes
    std::string html;               // raw "HTML Format" bytes
    std::vector<std::uint8_t> image;  // DIB or PNG bytes
    std::wstring source_app;
    bool is_image = false;
    bool is_browser_page = false;
    std::wstring source_title;
    std::wstring source_url;
    std::wstring custom_title;
    std::wstring link_title;
    bool payload_deferred = false;  // rtf, html and image not read (Database::load_payload)
    TextState text_state = TextState::NotRead;  // how much of the stored text `text` holds (Database::load_whole_text)
};

// What a capture hands the store: one new history entry before it is
// stored (Database::add_entry).
struct NewEntry {
    std::wstring text;
    std::string rtf;
    std::string html;
    std::vector<std::uint8_t> image;
    std::wstring source_app;
    bool is_image = false;
    bool repeat = false;            // store it again even when an equal text is there
    std::optional<std::int64_t> category;
    std::wstring page_title;
    std::wstring page_url;
    bool is_browser = false;
    std::wstring copied_at;         // its time stamp as the store keeps it; empty: the time of the write

    // The bytes it holds (texts counted at their in-memory size).
    std::size_t bytes() const {
        return text.size() * sizeof(wchar_t) + rtf.size() + html.size() + image.size() +
               (source_app.size() + page_title.size() + page_url.size()) * sizeof(wchar_t);
    }
};

// One category of history entries.
struct Category {
    std::int64_t id = 0;
    std::wstring name;
    bool pinned = false;
    std::int64_t cat_order = 0;     // position key, smaller first
};

// One snippet (a reusable text with placeholders).
struct Snippet {
    std::int64_t id = 0;
    std::wstring title;
    std::wstring text;
    std::wstring grp;               // group name, empty for none
    std::int64_t use_count = 0;
    std::wstring created_at;
    std::wstring deleted_at;        // empty while live
};

// Which rows take part in a one-place move of the selected entries.
//   kind 0: all live text entries
//   kind 1: live text entries without a category
//   kind 2: live text entries of category_id
//   kind 3: live image entries
//   kind 4: the quick slots
//   kind 5: the pinned view (no move is offered there)
struct MoveScope {
    std::int32_t kind = 0;
    std::int64_t category_id = 0;   // kind 2 only
};
