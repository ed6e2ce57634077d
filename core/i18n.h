// The user interface's texts, looked up by dotted lower-case keys
// ("menu.file") in the current language.
//
// The texts live only in the language files "<code>.ini" of the language
// folder (lang_dir()): UTF-8 (an initial byte-order mark skipped), one
// "key = text" per line, lines starting with "#" or ";" are comments, no
// sections, no escapes, the later of two equal keys wins. A key without a
// text shows as the key itself.
//
// One lock guards the table: set_language and load_language run on the
// interface thread, tr and tr_format may be called from any thread and
// always return the caller's own copy.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/i18n_format.h"

// The text of the key in the current language, or the key itself.
std::wstring tr(const std::wstring& key);

// tr(key) used as a format text for the arguments (see safe_format): a
// translation whose conversions do not fit the arguments shows them as
// written instead of reading wrong memory. At most kFormatMaxChars long.
template <class... Args>
std::wstring tr_format(const std::wstring& key, const Args&... args) {
    return safe_format(tr(key), args...);
}

// Makes the code current and loads its file from the language folder. "uk"
// becomes "en", and so does a code that is not safe (is_safe_language_code).
void set_language(const std::wstring& code);

// The current language code; empty until set_language is called.
std::wstring current_language();

// Loads the current language's file from the folder (the language folder
// when empty) into the table, which is emptied first. True when the file
// was opened and read, even when it holds no texts.
bool load_language(const std::wstring& folder);

// The codes offered to the user: "ru" and every "<code>.ini" of the folder
// (the language folder when empty) except "uk" and codes that are not safe,
// unique and in ascending order.
std::vector<std::wstring> available_languages_in(const std::wstring& folder);
std::vector<std::wstring> available_languages();

// False only for "uk".
bool is_allowed_language_code(const std::wstring& code);

// True for 1 to 16 characters, each an ASCII letter, digit, "-" or "_": a
// code that can name a file of the language folder and nothing else.
bool is_safe_language_code(std::wstring_view code);

// The language's own name ("Deutsch" for "de"), or the code itself.
std::wstring language_display_name(const std::wstring& code);

// Parses the bytes of a language file into its key-text pairs.
std::map<std::wstring, std::wstring> parse_language_file(std::string_view bytes);
