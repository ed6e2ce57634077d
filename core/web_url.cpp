// Web address tests and the address shown for an entry.
#include "core/web_url.h"

#include <algorithm>

#include "core/text.h"
#include "core/video_hosts.h"

namespace {

bool is_inner_space(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool is_hex_digit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Length of the "http://" or "https://" scheme at the start, 0 for none.
size_t web_scheme_length(const std::wstring& s) {
    if (s.compare(0, 8, L"https://") == 0) return 8;
    if (s.compare(0, 7, L"http://") == 0) return 7;
    if (s.size() >= 8) {
        std::wstring head = s.substr(0, 8);
        for (wchar_t& c : head)
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
        if (head == L"https://") return 8;
        if (head.compare(0, 7, L"http://") == 0) return 7;
    }
    return 0;
}

}  // namespace

bool is_web_url(const std::wstring& text) {
    // Looked at in place: a copied text can run to tens of megabytes.
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && is_inner_space(text[begin])) ++begin;
    while (end > begin && is_inner_space(text[end - 1])) --end;
    if (begin == end) return false;
    for (size_t i = begin; i < end; ++i)
        if (is_inner_space(text[i])) return false;
    const size_t scheme = web_scheme_length(text.substr(begin, std::min<size_t>(8, end - begin)));
    return scheme != 0 && end - begin > scheme;
}

std::wstring choose_page_url(const std::wstring& text, bool allow_source, const std::wstring& source_url,
                             const std::wstring& preferred_url) {
    if (is_web_url(text)) return trim(text);
    if (!preferred_url.empty()) return preferred_url;
    if (allow_source && !source_url.empty()) return source_url;
    return {};
}

std::wstring video_page_from_preview_url(const std::string& utf8_text) {
    return video_page_from_preview_url(utf8_text, default_video_services().second_host);
}

std::wstring video_page_from_preview_url(const std::string& utf8_text, const std::wstring& service_host) {
    if (service_host.empty()) return {};
    const std::string host = to_utf8(service_host);
    if (utf8_text.find(host + "/api/video") == std::string::npos) return {};
    const std::string marker = "/preview/";
    const size_t at = utf8_text.find(marker);
    if (at == std::string::npos) return {};
    const size_t start = at + marker.size();
    if (utf8_text.size() - start < 32) return {};
    const std::string id = utf8_text.substr(start, 32);
    for (char c : id)
        if (!is_hex_digit(c)) return {};
    return L"https://" + service_host + L"/video/" + from_utf8(id) + L"/";
}

bool ends_with(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}
