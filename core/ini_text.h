// The INI form of the settings file as text: decoding and encoding the
// file's bytes, reading one section's values and writing values into it,
// as the system's profile functions read and write them, in one pass over
// the whole file. Pure functions, safe on any thread.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

enum class IniEncoding { utf16le, utf16be, utf8_bom, ansi };

struct IniText {
    std::wstring text;
    IniEncoding encoding = IniEncoding::utf16le;
};

// The file's text by its byte-order mark (UTF-16 LE or BE, UTF-8); a file
// without one is in the ANSI code page. The mark is not part of the text.
IniText decode_ini(const std::string& bytes);

// The text in the encoding, with its byte-order mark (none for ANSI).
// Text that the ANSI code page or UTF-8 cannot hold exactly (a character
// without its own code, never a look-alike by best fit; bytes that do not
// read back as the same text) is written as UTF-16 LE instead.
std::string encode_ini(const IniText& ini);

// The keys of the first section named section (letter case ignored), each
// in lower case with its value, as the profile functions read them: the
// key and the value trimmed of blanks and tabs, one pair of matching
// quotes around the value removed; the first of several equal keys counts.
// Lines are separated by LF, CR LF or CR.
std::map<std::wstring, std::wstring> ini_section_values(const std::wstring& text, const std::wstring& section);

// The text with each key = value set in the first section named section:
// the line of a key already there is replaced by "key=value" (the first
// such line), other keys follow the section's last line that is not blank,
// in the order given; a missing section is added at the end, after a line
// "[section]". Every other line stays as it was, and new lines end like the
// file's first line (CR LF in a file without one). Values are trimmed of
// blanks and tabs, and a line break in a value becomes a blank.
std::wstring ini_with_values(const std::wstring& text, const std::wstring& section,
                             const std::vector<std::pair<std::wstring, std::wstring>>& values);
