#include "core/i18n.h"

#include <windows.h>

#include <mutex>
#include <set>
#include <utility>

#include "core/handles.h"
#include "core/paths.h"
#include "core/text.h"

namespace {

struct LanguageState {
    std::mutex lock;
    std::map<std::wstring, std::wstring> table;
    std::wstring code;
};

// Never destroyed: a detached worker thread (the manual update check
// formats its result text) may still look up a text while the process ends.
LanguageState& state() {
    static LanguageState* const s = new LanguageState;
    return *s;
}

struct LanguageName {
    const wchar_t* code;
    const wchar_t* name;
};

const LanguageName kLanguageNames[] = {
    {L"ru", L"\u0420\u0443\u0441\u0441\u043a\u0438\u0439"},  // Русский
    {L"en", L"English"},
    {L"de", L"Deutsch"},
    {L"es", L"Espa\u00f1ol"},
    {L"fr", L"Fran\u00e7ais"},
    {L"it", L"Italiano"},
    {L"pl", L"Polski"},
    {L"pt", L"Portugu\u00eas"},
};

// Language files trim leading blanks and tabs, and trailing tabs, line
// ends and blanks.
std::wstring trim_line(const std::wstring& s) {
    size_t b = 0;
    while (b < s.size() && (s[b] == L' ' || s[b] == L'\t')) ++b;
    size_t e = s.size();
    while (e > b && (s[e - 1] == L'\t' || s[e - 1] == L'\n' || s[e - 1] == L'\r' || s[e - 1] == L' ')) --e;
    return s.substr(b, e - b);
}

void parse_line(std::string_view raw, std::map<std::wstring, std::wstring>& out) {
    std::wstring line = trim_line(from_utf8(std::string(raw)));
    if (line.empty() || line[0] == L'#' || line[0] == L';') return;
    size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) return;
    std::wstring key = trim_line(line.substr(0, eq));
    if (key.empty()) return;
    out[std::move(key)] = trim_line(line.substr(eq + 1));
}

bool read_whole_file(const std::wstring& path, std::string& bytes) {
    raii::Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bytes.clear();
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) return false;
        if (got == 0) return true;
        bytes.append(chunk, got);
    }
}

void replace_table(std::map<std::wstring, std::wstring> table) {
    LanguageState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.table = std::move(table);
}

}  // namespace

std::map<std::wstring, std::wstring> parse_language_file(std::string_view bytes) {
    std::map<std::wstring, std::wstring> out;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    while (!bytes.empty()) {
        size_t lf = bytes.find('\n');
        parse_line(bytes.substr(0, lf), out);
        if (lf == std::string_view::npos) break;
        bytes.remove_prefix(lf + 1);
    }
    return out;
}

std::wstring tr(const std::wstring& key) {
    LanguageState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.table.find(key);
    return it == s.table.end() ? key : it->second;
}

void set_language(const std::wstring& code) {
    std::wstring c = code == L"uk" ? L"en" : code;
    if (!is_safe_language_code(c)) c = L"en";
    {
        LanguageState& s = state();
        std::lock_guard<std::mutex> guard(s.lock);
        s.code = c;
    }
    load_language(std::wstring());
}

std::wstring current_language() {
    LanguageState& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.code;
}

bool load_language(const std::wstring& folder) {
    std::wstring dir = folder.empty() ? lang_dir() : folder;
    std::wstring code = current_language();
    // A failed load leaves every key showing as itself.
    if (dir.empty() || !is_safe_language_code(code)) {
        replace_table({});
        return false;
    }
    std::string bytes;
    if (!read_whole_file(join_path(dir, code + L".ini"), bytes)) {
        replace_table({});
        return false;
    }
    replace_table(parse_language_file(bytes));
    return true;
}

std::vector<std::wstring> available_languages_in(const std::wstring& folder) {
    std::set<std::wstring> codes{L"ru"};
    std::wstring dir = folder.empty() ? lang_dir() : folder;
    if (dir.empty()) return {codes.begin(), codes.end()};
    WIN32_FIND_DATAW found{};
    raii::FindHandle find(FindFirstFileW(join_path(dir, L"*.ini").c_str(), &found));
    if (find) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            std::wstring name = found.cFileName;
            if (name.size() <= 4 || name.compare(name.size() - 4, 4, L".ini") != 0) continue;
            std::wstring stem = name.substr(0, name.size() - 4);
            if (stem == L"uk" || !is_safe_language_code(stem)) continue;
            codes.insert(std::move(stem));
        } while (FindNextFileW(find.get(), &found));
    }
    return {codes.begin(), codes.end()};
}

std::vector<std::wstring> available_languages() { return available_languages_in(lang_dir()); }

bool is_allowed_language_code(const std::wstring& code) { return code != L"uk"; }

bool is_safe_language_code(std::wstring_view code) {
    if (code.empty() || code.size() > 16) return false;
    for (wchar_t c : code) {
        bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                  c == L'-' || c == L'_';
        if (!ok) return false;
    }
    return true;
}

std::wstring language_display_name(const std::wstring& code) {
    for (const LanguageName& n : kLanguageNames)
        if (code == n.code) return n.name;
    return code;
}
