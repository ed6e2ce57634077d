// Reading and writing the settings file's INI text.
#include "core/ini_text.h"

#include <windows.h>

#include <string_view>

namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view trim_blanks(std::wstring_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

wchar_t lower(wchar_t c) {
    if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + 32);
    if (c < 0x80) return c;
    wchar_t one[2] = {c, 0};
    CharLowerBuffW(one, 1);
    return one[0];
}

std::wstring lowered(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out) c = lower(c);
    return out;
}

bool equal_ci(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// One line of the text, without its ending.
struct Line {
    size_t begin;
    size_t end;      // of the line's text
    size_t next;     // of the next line
};

std::vector<Line> split_lines(const std::wstring& text) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(L"\r\n", pos);
        if (end == std::wstring::npos) {
            lines.push_back({pos, text.size(), text.size()});
            break;
        }
        size_t next = end + 1;
        if (text[end] == L'\r' && next < text.size() && text[next] == L'\n') ++next;
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

// The section name of a "[name]" line, or false.
bool section_name(std::wstring_view line, std::wstring_view& name) {
    line = trim_blanks(line);
    if (line.empty() || line.front() != L'[') return false;
    line.remove_prefix(1);
    const size_t close = line.find(L']');
    name = trim_blanks(close == std::wstring_view::npos ? line : line.substr(0, close));
    return true;
}

// The key of a "key = value" line, or false.
bool key_of(std::wstring_view line, std::wstring_view& key, std::wstring_view& value) {
    const size_t eq = line.find(L'=');
    if (eq == std::wstring_view::npos) return false;
    key = trim_blanks(line.substr(0, eq));
    value = trim_blanks(line.substr(eq + 1));
    return !key.empty();
}

std::wstring clean_value(const std::wstring& value) {
    std::wstring out(trim_blanks(value));
    for (wchar_t& c : out)
        if (c == L'\r' || c == L'\n') c = L' ';
    return std::wstring(trim_blanks(out));
}

}  // namespace

IniText decode_ini(const std::string& bytes) {
    IniText ini;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        const bool little = b[0] == 0xFF;
        ini.encoding = little ? IniEncoding::utf16le : IniEncoding::utf16be;
        ini.text.reserve((n - 2) / 2);
        for (size_t i = 2; i + 1 < n; i += 2)
            ini.text.push_back(static_cast<wchar_t>(little ? (b[i] | (b[i + 1] << 8)) : ((b[i] << 8) | b[i + 1])));
        return ini;
    }
    UINT code_page = CP_ACP;
    size_t skip = 0;
    ini.encoding = IniEncoding::ansi;
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        code_page = CP_UTF8;
        skip = 3;
        ini.encoding = IniEncoding::utf8_bom;
    }
    if (n > skip && n - skip <= 0x7FFFFFFF) {
        const int len = static_cast<int>(n - skip);
        const int units = MultiByteToWideChar(code_page, 0, bytes.data() + skip, len, nullptr, 0);
        if (units > 0) {
            ini.text.resize(static_cast<size_t>(units));
            MultiByteToWideChar(code_page, 0, bytes.data() + skip, len, ini.text.data(), units);
        }
    }
    return ini;
}

namespace {

// The text in the code page, or false when the code page cannot hold it
// exactly: no character may be replaced by a default one or by a similar
// one (best fit would write "Ł" as "L"), and the bytes must read back as
// the same text.
bool encode_exactly(const std::wstring& t, UINT code_page, std::string& out) {
    if (t.empty()) return true;
    if (t.size() > 0x3FFFFFFF) return false;
    const int len = static_cast<int>(t.size());
    const bool utf8 = code_page == CP_UTF8;
    // UTF-8 takes neither the flag nor the default-character report.
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lost = FALSE;
    BOOL* lost_ptr = utf8 ? nullptr : &lost;
    const int size = WideCharToMultiByte(code_page, flags, t.data(), len, nullptr, 0, nullptr, lost_ptr);
    if (size <= 0 || lost) return false;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(size));
    if (WideCharToMultiByte(code_page, flags, t.data(), len, out.data() + at, size, nullptr, lost_ptr) != size || lost)
        return false;
    const int units = MultiByteToWideChar(code_page, 0, out.data() + at, size, nullptr, 0);
    if (units != len) return false;
    std::wstring back(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(code_page, 0, out.data() + at, size, back.data(), units);
    return back == t;
}

}  // namespace

std::string encode_ini(const IniText& ini) {
    std::string out;
    const std::wstring& t = ini.text;
    IniEncoding encoding = ini.encoding;
    if (encoding == IniEncoding::ansi || encoding == IniEncoding::utf8_bom) {
        const UINT code_page = encoding == IniEncoding::ansi ? CP_ACP : CP_UTF8;
        if (encoding == IniEncoding::utf8_bom) out = "\xEF\xBB\xBF";
        if (encode_exactly(t, code_page, out)) return out;
        // Text the file's encoding cannot hold exactly: the file becomes UTF-16.
        out.clear();
        encoding = IniEncoding::utf16le;
    }
    const bool little = encoding == IniEncoding::utf16le;
    out.assign(little ? "\xFF\xFE" : "\xFE\xFF", 2);
    out.reserve(2 + t.size() * 2);
    for (wchar_t c : t) {
        const auto lo = static_cast<char>(c & 0xFF);
        const auto hi = static_cast<char>((c >> 8) & 0xFF);
        out += little ? lo : hi;
        out += little ? hi : lo;
    }
    return out;
}

std::map<std::wstring, std::wstring> ini_section_values(const std::wstring& text, const std::wstring& section) {
    std::map<std::wstring, std::wstring> values;
    bool inside = false;
    bool seen = false;
    for (const Line& l : split_lines(text)) {
        const std::wstring_view line(text.data() + l.begin, l.end - l.begin);
        std::wstring_view name;
        if (section_name(line, name)) {
            if (inside) break;  // only the first section of the name
            inside = !seen && equal_ci(name, section);
            seen = seen || inside;
            continue;
        }
        if (!inside) continue;
        std::wstring_view key, value;
        if (!key_of(line, key, value)) continue;
        if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        values.emplace(lowered(key), std::wstring(value));
    }
    return values;
}

std::wstring ini_with_values(const std::wstring& text, const std::wstring& section,
                             const std::vector<std::pair<std::wstring, std::wstring>>& values) {
    const std::vector<Line> lines = split_lines(text);
    std::wstring eol = L"\r\n";
    if (!lines.empty() && lines[0].next > lines[0].end)
        eol = text.substr(lines[0].end, lines[0].next - lines[0].end);

    // The section's lines: from its header to the next header.
    size_t header = lines.size();
    size_t stop = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::wstring_view line(text.data() + lines[i].begin, lines[i].end - lines[i].begin);
        std::wstring_view name;
        if (!section_name(line, name)) continue;
        if (header == lines.size()) {
            if (equal_ci(name, section)) header = i;
        } else {
            stop = i;
            break;
        }
    }

    // Which line each key replaces.
    std::vector<std::wstring> replaced(lines.size());
    std::vector<bool> is_replaced(lines.size(), false);
    std::vector<bool> placed(values.size(), false);
    size_t last_filled = header;
    if (header < lines.size()) {
        for (size_t i = header + 1; i < stop; ++i) {
            const std::wstring_view line(text.data() + lines[i].begin, lines[i].end - lines[i].begin);
            if (!trim_blanks(line).empty()) last_filled = i;
            std::wstring_view key, value;
            if (!key_of(line, key, value)) continue;
            for (size_t k = 0; k < values.size(); ++k) {
                if (placed[k] || !equal_ci(key, values[k].first)) continue;
                replaced[i] = values[k].first + L"=" + clean_value(values[k].second);
                is_replaced[i] = true;
                placed[k] = true;
                break;
            }
        }
    }
    std::wstring added;
    for (size_t k = 0; k < values.size(); ++k)
        if (!placed[k]) added += values[k].first + L"=" + clean_value(values[k].second) + eol;

    std::wstring out;
    out.reserve(text.size() + added.size() + section.size() + 8);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (is_replaced[i]) {
            out += replaced[i];
            out.append(text, lines[i].end, lines[i].next - lines[i].end);
        } else {
            out.append(text, lines[i].begin, lines[i].next - lines[i].begin);
        }
        if (i == last_filled && header < lines.size() && !added.empty()) {
            if (lines[i].next == lines[i].end) out += eol;  // the last line had no ending
            out += added;
        }
    }
    if (header == lines.size()) {
        if (!out.empty() && out.back() != L'\n' && out.back() != L'\r') out += eol;
        out += L"[" + section + L"]" + eol + added;
    }
    return out;
}
