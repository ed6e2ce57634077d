// HTTP GET through WinINet: system proxy first, then a direct connection.
#include "core/http_get.h"

#include <wininet.h>

#include "core/handles.h"

namespace {

struct InternetTraits {
    using type = HINTERNET;
    static type none() noexcept { return nullptr; }
    static bool empty(type v) noexcept { return v == nullptr; }
    static void close(type v) noexcept { ::InternetCloseHandle(v); }
};
using InternetHandle = raii::Unique<InternetTraits>;

bool starts_with_ci(const std::wstring& text, const wchar_t* prefix) {
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size()) return false;
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
        if (c != prefix[i]) return false;
    }
    return true;
}

bool get_once(const std::wstring& url, bool secure, DWORD access_type, std::string& body) {
    body.clear();
    InternetHandle net(InternetOpenW(kHttpUserAgent, access_type, nullptr, nullptr, 0));
    if (!net) return false;
    DWORD timeout = kHttpTimeoutMs;
    InternetSetOptionW(net.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(net.get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(net.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);

    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    InternetHandle request(InternetOpenUrlW(net.get(), url.c_str(), kHttpExtraHeaders,
                                            static_cast<DWORD>(-1), flags, 0));
    if (!request) return false;

    char chunk[kHttpReadChunk];
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request.get(), chunk, sizeof chunk, &got)) {
            body.clear();
            return false;
        }
        if (got == 0) break;
        body.append(chunk, got);
        if (body.size() > kHttpBodyLimit) break;
    }
    return !body.empty();
}

}  // namespace

bool http_get(const std::wstring& url, std::string& body) {
    body.clear();
    const bool secure = starts_with_ci(url, L"https://");
    if (!secure && !starts_with_ci(url, L"http://")) return false;
    InternetSetOptionW(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    InternetSetOptionW(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
    if (get_once(url, secure, INTERNET_OPEN_TYPE_PRECONFIG, body)) return true;
    return get_once(url, secure, INTERNET_OPEN_TYPE_DIRECT, body);
}
