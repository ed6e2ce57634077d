// Text, encoding and time helpers shared by every part of the program.
//
// Wide strings (std::wstring) hold UTF-16 text; byte strings (std::string)
// hold UTF-8 text or raw bytes; byte vectors (std::vector<uint8_t>) hold
// binary data such as image bytes. None of these functions keeps state and
// all of them are safe to call from any thread. None of them reports errors:
// they return empty results instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// UTF-16 -> UTF-8. Conversion stops at the first NUL character. Empty input
// gives an empty result. Invalid sequences are replaced by U+FFFD.
std::string to_utf8(const std::wstring& text);

// UTF-8 -> UTF-16. Conversion stops at the first NUL byte. Empty input gives
// an empty result. Invalid sequences are replaced by U+FFFD.
std::wstring from_utf8(const std::string& text);

// Appends the 1 to 4 byte UTF-8 form of a code point. Surrogate code points
// and values above 0x10FFFF are written with the same bit pattern, unchecked.
void append_utf8(std::string& out, uint32_t code_point);

// Base64 with the standard alphabet and "=" padding, no line breaks.
std::string base64_encode(const void* data, size_t size);
std::string base64_encode(const std::vector<uint8_t>& bytes);
std::string base64_encode(std::string_view bytes);

// Reads Base64 text: the first "=" ends the input, characters outside the
// alphabet are skipped, left-over bits are dropped. Never fails.
std::vector<uint8_t> base64_decode(std::string_view text);

// Copy without tab, LF, CR and space at both ends (no other characters).
std::wstring trim(const std::wstring& text);

// The text, or its first max_len characters followed by U+2026 when longer.
std::wstring ellipsize(const std::wstring& text, size_t max_len);

// True for the first half of a UTF-16 surrogate pair.
bool is_high_surrogate(wchar_t c);

// How much of the text its first n characters are: the whole text when it is
// no longer, one fewer when the n-th is the first half of a surrogate pair.
size_t pair_safe_length(const std::wstring& text, size_t n);

// Locale-aware casing of the whole text (CharLowerBuffW / CharUpperBuffW).
std::wstring to_lower(const std::wstring& text);
std::wstring to_upper(const std::wstring& text);

// The paste-as transforms:
//   0 upper case, 1 lower case, 2 capitalise words, 3 sentence case,
//   4 invert case, 5 trim white space (iswspace), 6 remove CR and LF;
//   any other mode returns the text unchanged.
std::wstring transform_text(const std::wstring& text, unsigned mode);

// Value of the "SourceURL:" line of an "HTML Format" clipboard payload
// (name compared case-insensitively, value trimmed); empty when absent.
std::wstring html_source_url(const std::wstring& html_format_text);

// The same for the raw payload bytes, each byte read as one Latin-1 unit.
std::wstring html_source_url_bytes(const std::string& html_format_bytes);

// True when the text is made only of digits, blanks and "-", holds 13 to 19
// digits and passes the Luhn check.
bool looks_like_card_number(const std::wstring& text);

// Replaces {date}/{d}, {time}/{t}, {datetime}, {year} and {user}/{username}
// (names compared case-insensitively) with the current local values.
std::wstring expand_placeholders(const std::wstring& snippet_text);

// The texts a placeholder can stand for.
struct PlaceholderValues {
    std::wstring date;      // "%d.%m.%Y"
    std::wstring time;      // "%H:%M"
    std::wstring datetime;  // "%d.%m.%Y %H:%M"
    std::wstring year;      // "%Y"
    std::wstring user;      // current user name, empty when unknown
};

// The values for the current local time and user.
PlaceholderValues current_placeholder_values();

// Expansion with given values (what expand_placeholders does with
// current_placeholder_values()).
std::wstring expand_placeholders(const std::wstring& snippet_text,
                                 const PlaceholderValues& values);

// Current local time as "YYYY-MM-DDTHH:MM:SS" (19 characters).
std::wstring now_iso_timestamp();
