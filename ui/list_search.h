// The search of the cards list over whole texts: the compact folded form
// of a text that a search scans, made from the text whole or from its UTF-8
// bytes a piece at a time, and the scan itself (pure functions); and the
// incremental search that the cards list's model filters its rows with
// (IncrementalSearch below). The model keeps the folded texts beside its
// entries; the search keeps the search text and what it matched last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/records.h"

// --- the search over whole texts ---------------------------------------------

// The compact form a search scans: the text lower-cased as to_lower does it
// (CharLowerBuffW over the whole text), each UTF-16 unit then written on its
// own as one to three bytes (UTF-8's forms; a surrogate is written as a
// unit of its own, so that no unit is lost or merged). One text contains
// another lower-cased text exactly when its folded form contains the
// other's folded form: every unit's bytes begin with a byte no other byte
// of a unit can be.
std::string fold_for_search(const std::wstring& text);
// Whether the folded pattern occurs in the folded text (an empty pattern
// always does).
bool folded_contains(std::string_view folded_text, std::string_view folded_pattern);

// A text given as UTF-8 (up to its first NUL, converted as from_utf8
// converts it whole): its folded form, its start of at most start_limit
// UTF-16 units (one fewer when the cut would split a surrogate pair) and
// its length in units. Converted piece_bytes at a time, never ending a
// piece inside a UTF-8 sequence, so that no whole copy of the text is made.
struct FoldedText {
    std::string folded;
    std::wstring start;
    std::size_t units = 0;
};
FoldedText fold_utf8_text(std::string_view utf8, std::size_t start_limit, std::size_t piece_bytes = 1 << 16);

// --- the templates --------------------------------------------------------------

// True for an empty search; otherwise whether the lower-cased
// title + " " + body + " " + group contains the (lower-cased) search.
bool template_matches_search(const std::wstring& search_lower, const Snippet& snippet);

// --- the incremental search -------------------------------------------------------

// The search the user types into the cards list's box, kept lower-cased and
// folded, with the entries (indexes into the list's entries) that it
// matched last. A search that contains the previous one can only match
// where that one did or in a text read since, so only those are tested
// again; anything else tests every text. A text not read yet matches
// nothing; it is tested once it arrives (text_arrived). The templates'
// lower-cased texts are made on the first search that needs them after
// the templates change. Interface thread only, no store.
class IncrementalSearch {
public:
    // The search as typed; empty() for no search.
    void set_text(const std::wstring& search);
    bool empty() const { return lowered_.empty(); }
    // The search lower-cased (to_lower), as the rows are filtered by it.
    const std::wstring& lowered() const { return lowered_; }

    // The entries changed as a whole (another list, rows moved): the next
    // search tests every text.
    void forget_matches();
    // The text of the entry at the index was read: the next search tests it.
    void text_arrived(std::uint32_t index);
    // The indexes below count whose folded text (folded_of) contains the
    // search, ascending; remembered for the next search. Every index for an
    // empty search, which remembers nothing.
    std::vector<std::uint32_t> match_entries(std::size_t count,
                                             const std::function<std::string_view(std::size_t)>& folded_of);

    // The templates changed: their lower-cased texts are made again.
    void forget_templates();
    // Whether templates[index] holds the search (always for an empty one).
    // templates must be the same list until forget_templates.
    bool template_matches(const std::vector<Snippet>& templates, std::size_t index);

    // Drops what is held for the entries and templates (the text stays).
    void release();

private:
    std::wstring lowered_;
    std::string folded_;
    // What the last entry search was and matched, while the entries stay as
    // they are.
    std::string matched_search_;
    std::vector<std::uint32_t> matched_;
    bool matches_valid_ = false;
    // The entries whose texts were read since the last search: not in
    // matched_, and not yet tested.
    std::vector<std::uint32_t> fresh_;
    std::vector<std::wstring> lowered_templates_;
    bool templates_lowered_ = false;
};
