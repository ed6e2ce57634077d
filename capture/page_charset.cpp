// Charset names and the conversion of page bytes to UTF-8.
#include "capture/page_charset.h"

#include <cstdlib>

#include "core/text.h"

namespace {

std::string lower_trimmed(const std::string& name) {
    std::string s;
    for (char c : name) {
        if (c == ' ' || c == '\t' || c == '"' || c == '\'') continue;
        s += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    return s;
}

bool all_digits(const std::string& s) {
    if (s.empty() || s.size() > 5) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

UINT known_code_page(const std::string& n) {
    struct Name {
        const char* name;
        UINT code_page;
    };
    static const Name kNames[] = {
        {"utf-8", 65001},          {"utf8", 65001},          {"unicode-1-1-utf-8", 65001},
        {"us-ascii", 1252},        {"ascii", 1252},          {"iso-8859-1", 1252},
        {"iso8859-1", 1252},       {"latin1", 1252},         {"l1", 1252},
        {"koi8-r", 20866},         {"koi8r", 20866},         {"koi8-u", 21866},
        {"koi8-ru", 21866},        {"ibm866", 866},          {"866", 866},
        {"shift_jis", 932},        {"shift-jis", 932},       {"sjis", 932},
        {"windows-31j", 932},      {"x-sjis", 932},          {"euc-jp", 20932},
        {"iso-2022-jp", 50220},    {"gb2312", 936},          {"gbk", 936},
        {"x-gbk", 936},            {"gb18030", 54936},       {"big5", 950},
        {"big5-hkscs", 950},       {"euc-kr", 949},          {"ks_c_5601-1987", 949},
        {"macintosh", 10000},      {"x-mac-roman", 10000},   {"x-mac-cyrillic", 10007},
        {"tis-620", 874},          {"iso-8859-11", 874},     {"windows-874", 874},
    };
    for (const Name& entry : kNames)
        if (n == entry.name) return entry.code_page;
    // "iso-8859-N": code page 28590 + N.
    for (const char* prefix : {"iso-8859-", "iso8859-", "iso_8859-"}) {
        if (starts_with(n, prefix)) {
            const std::string rest = n.substr(std::string(prefix).size());
            if (all_digits(rest)) {
                const int part = std::atoi(rest.c_str());
                if (part >= 2 && part <= 16) return static_cast<UINT>(28590 + part);
            }
        }
    }
    // "windows-1251", "cp1251", "x-cp1251", "ibm852", "cp-866".
    for (const char* prefix : {"windows-", "x-cp", "cp-", "cp", "ibm"}) {
        if (starts_with(n, prefix)) {
            const std::string rest = n.substr(std::string(prefix).size());
            if (all_digits(rest)) return static_cast<UINT>(std::atoi(rest.c_str()));
        }
    }
    return 0;
}

}  // namespace

UINT code_page_of_charset(const std::string& name) {
    const UINT cp = known_code_page(lower_trimmed(name));
    if (cp == 0) return 0;
    // UTF-16 and UTF-32 names are not among these; every other number is
    // asked of the system.
    if (cp == 1200 || cp == 1201 || cp == 12000 || cp == 12001) return 0;
    return cp == 65001 || IsValidCodePage(cp) ? cp : 0;
}

std::string meta_charset(const std::string& page) {
    std::string lower;
    lower.reserve(page.size());
    for (char c : page) lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    size_t pos = 0;
    for (;;) {
        const size_t tag = lower.find("<meta", pos);
        if (tag == std::string::npos) return {};
        const size_t close = lower.find('>', tag);
        if (close == std::string::npos) return {};
        const std::string_view text(lower.data() + tag, close - tag);
        const size_t at = text.find("charset=");
        if (at != std::string_view::npos) {
            size_t start = at + 8;
            while (start < text.size() && (text[start] == '"' || text[start] == '\'' || text[start] == ' ')) ++start;
            size_t end = start;
            while (end < text.size() && text[end] != '"' && text[end] != '\'' && text[end] != ' ' &&
                   text[end] != ';' && text[end] != '/')
                ++end;
            if (end > start) return std::string(text.substr(start, end - start));
        }
        pos = close + 1;
    }
}

std::string code_page_to_utf8(const std::string& bytes, UINT code_page) {
    if (code_page == 0 || code_page == 65001 || bytes.empty() || bytes.size() > 0x7FFFFFFF) return bytes;
    const int n = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(code_page, 0, bytes.data(), n, nullptr, 0);
    if (units <= 0) return bytes;
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(code_page, 0, bytes.data(), n, wide.data(), units);
    return to_utf8(wide);
}
