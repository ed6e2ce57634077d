// What a history entry must hold to be one: the rule a capture applies
// before it stores an item, and that a salvage applies to each row it
// finds in a damaged file.
#pragma once

#include <cstddef>
#include <string_view>

// The blanks a stored text loses at both ends.
constexpr bool is_entry_blank(wchar_t c) {
    return c == L'\t' || c == L'\n' || c == L'\r' || c == L' ';
}

// The fewest UTF-16 units a text entry holds once its blanks are trimmed.
constexpr std::size_t kEntryTextMin = 2;

// True when an item is an entry: it holds an image the program keeps
// (core/image_header's image_bytes_keepable), or a text of at least
// kEntryTextMin units after trimming.
constexpr bool holds_an_entry(std::size_t trimmed_text_units, bool keepable_image) {
    return keepable_image || trimmed_text_units >= kEntryTextMin;
}

// The UTF-16 units of a UTF-8 text once its blanks are trimmed, counted up
// to 'cap' at most (a long text is not walked to its end).
std::size_t trimmed_text_units(std::string_view utf8, std::size_t cap = kEntryTextMin);
