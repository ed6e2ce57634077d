// Clock-dependent text helpers: the stored time stamp and the snippet
// placeholders.
#include "core/text.h"

#include <windows.h>
#include <lmcons.h>

#include <ctime>
#include <cwchar>
#include <cwctype>

namespace {

// Local time of "now" in whole seconds; false when it cannot be converted.
bool local_now(std::tm& out) {
    const __time64_t now = _time64(nullptr);
    return _localtime64_s(&out, &now) == 0;
}

std::wstring format_wide(const std::tm& tm, const wchar_t* format) {
    wchar_t buf[64];
    const size_t n = std::wcsftime(buf, 64, format, &tm);
    return std::wstring(buf, n);
}

// Name between "{" and "}" as it is looked up: lower-cased, untrimmed. The
// longest known name has eight characters, so anything longer is unknown
// without lower-casing it.
constexpr size_t kLongestName = 8;

const std::wstring* lookup_placeholder(const std::wstring& text, size_t begin, size_t end,
                                       const PlaceholderValues& v) {
    if (end - begin > kLongestName) return nullptr;
    std::wstring name;
    for (size_t i = begin; i < end; ++i)
        name.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(text[i]))));
    if (name == L"date" || name == L"d") return &v.date;
    if (name == L"time" || name == L"t") return &v.time;
    if (name == L"datetime") return &v.datetime;
    if (name == L"year") return &v.year;
    if (name == L"user" || name == L"username") return &v.user;
    return nullptr;
}

}  // namespace

std::wstring now_iso_timestamp() {
    std::tm tm{};
    if (!local_now(tm)) return std::wstring();
    char buf[32];
    const size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    return from_utf8(std::string(buf, n));
}

PlaceholderValues current_placeholder_values() {
    PlaceholderValues v;
    std::tm tm{};
    if (local_now(tm)) {
        v.date = format_wide(tm, L"%d.%m.%Y");
        v.time = format_wide(tm, L"%H:%M");
        v.datetime = format_wide(tm, L"%d.%m.%Y %H:%M");
        v.year = format_wide(tm, L"%Y");
    }
    wchar_t user[UNLEN + 1];
    DWORD size = UNLEN + 1;
    if (GetUserNameW(user, &size) && size > 0)
        v.user = user;
    return v;
}

std::wstring expand_placeholders(const std::wstring& snippet_text, const PlaceholderValues& values) {
    const std::wstring& text = snippet_text;
    std::wstring out;
    out.reserve(text.size());
    // Position of the next "}" after the current "{"; it only moves forward,
    // so the whole scan stays linear.
    size_t close = 0;
    bool close_known = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c != L'{') {
            out.push_back(c);
            continue;
        }
        if (!close_known || (close != std::wstring::npos && close <= i)) {
            close = text.find(L'}', i + 1);
            close_known = true;
        }
        if (close != std::wstring::npos) {
            if (const std::wstring* value = lookup_placeholder(text, i + 1, close, values)) {
                out += *value;
                i = close;
                continue;
            }
        }
        out.push_back(L'{');
    }
    return out;
}

std::wstring expand_placeholders(const std::wstring& snippet_text) {
    return expand_placeholders(snippet_text, current_placeholder_values());
}
