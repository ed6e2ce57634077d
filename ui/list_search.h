// The search of the cards list over whole texts: the compact folded form
// of a text that a search scans, made from the text whole or from its UTF-8
// bytes a piece at a time, and the scan itself. Pure functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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
