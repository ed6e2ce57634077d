// The update check: versions, the manifest scan, the daily rule, the WinHTTP
// GET and the two checking threads.
#include "app/update_check.h"

#include <shellapi.h>
#include <time.h>
#include <winhttp.h>

#include <system_error>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/app_ids.h"
#include "capture/posted_text.h"
#include "core/handles.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "ui/dialogs/info_window.h"

std::wstring update_manifest_url() { return update_base() + kManifestPath; }
std::wstring download_page_url() { return update_base() + kDownloadPath; }

// ---------------------------------------------------------------- versions

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_blank_byte(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads consecutive digits at i into value; false when there is none. Once
// the value has reached 1,000,000 the remaining digits leave it unchanged.
bool parse_decimal(const char* s, std::size_t n, std::size_t& i, std::int32_t& value) {
    if (i >= n || !is_digit(s[i])) return false;
    std::int32_t v = 0;
    while (i < n && is_digit(s[i])) {
        if (v < 1000000) v = v * 10 + (s[i] - '0');
        ++i;
    }
    value = v;
    return true;
}

}  // namespace

bool Version::is_newer_than(const Version& other) const {
    if (major != other.major) return major > other.major;
    if (minor != other.minor) return minor > other.minor;
    return patch > other.patch;
}

std::wstring Version::to_string() const {
    return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(patch);
}

Version parse_version(const char* bytes, std::size_t length) {
    Version v;
    if (!bytes || length == 0) return v;
    std::size_t i = 0;
    while (i < length && !is_digit(bytes[i])) {
        if (bytes[i] == '-') return Version{};
        ++i;
    }
    if (!parse_decimal(bytes, length, i, v.major)) return Version{};
    for (std::int32_t* field : {&v.minor, &v.patch}) {
        if (i >= length || bytes[i] != '.') break;
        ++i;
        if (!parse_decimal(bytes, length, i, *field)) break;
    }
    return v;
}

Version parse_version_string(std::string_view utf8) { return parse_version(utf8.data(), utf8.size()); }

// ---------------------------------------------------------------- the manifest

std::string json_string_field(std::string_view text, std::string_view key) {
    if (key.empty()) return {};
    const std::string needle = "\"" + std::string(key) + "\"";
    const std::size_t n = text.size();
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(needle, from);
        if (at == std::string_view::npos) return {};
        from = at + needle.size();
        // A key stands at the start or after "{" or "," (blanks between).
        std::size_t back = at;
        while (back > 0 && is_blank_byte(text[back - 1])) --back;
        if (back > 0 && text[back - 1] != '{' && text[back - 1] != ',') continue;
        std::size_t i = from;
        while (i < n && is_blank_byte(text[i])) ++i;
        if (i >= n) return {};
        if (text[i] != ':') continue;
        ++i;
        while (i < n && is_blank_byte(text[i])) ++i;
        if (i >= n || text[i] != '"') return {};
        ++i;
        std::string value;
        while (i < n) {
            const char c = text[i];
            if (c == '"') return value;
            if (c == '\\') {
                if (i + 1 >= n) {
                    value += c;
                    ++i;
                    continue;
                }
                const char e = text[i + 1];
                switch (e) {
                    case 'n': value += '\n'; break;
                    case 'r': value += '\r'; break;
                    case 't': value += '\t'; break;
                    case 'u': value += "\\u"; break;
                    default: value += e; break;
                }
                i += 2;
                continue;
            }
            value += c;
            ++i;
        }
        return {};  // the string never ends
    }
}

// ---------------------------------------------------------------- the daily rule

bool update_check_due(std::int64_t last, std::int64_t now, std::int64_t interval) {
    if (last < 1 || interval < 1 || now < last) return true;
    return now - last >= interval;
}

// ---------------------------------------------------------------- addresses

bool split_http_url(const std::wstring& url, HttpTarget& target) {
    target = HttpTarget{};
    std::wstring rest;
    if (url.rfind(L"https://", 0) == 0) {
        target.secure = true;
        target.port = 443;
        rest = url.substr(8);
    } else if (url.rfind(L"http://", 0) == 0) {
        target.port = 80;
        rest = url.substr(7);
    } else {
        return false;
    }
    const std::size_t cut = rest.find_first_of(L"/?");
    std::wstring host = rest.substr(0, cut);
    target.path = cut == std::wstring::npos ? L"/" : rest.substr(cut);
    // A port after the last ":" (outside the brackets of an IPv6 address).
    const std::size_t colon = host.find_last_of(L':');
    const std::size_t bracket = host.find_last_of(L']');
    if (colon != std::wstring::npos && (bracket == std::wstring::npos || colon > bracket)) {
        const std::wstring digits = host.substr(colon + 1);
        if (digits.empty() || digits.size() > 5) return false;
        unsigned port = 0;
        for (wchar_t c : digits) {
            if (c < L'0' || c > L'9') return false;
            port = port * 10 + static_cast<unsigned>(c - L'0');
        }
        if (port < 1 || port > 65535) return false;
        target.port = port;
        host.resize(colon);
    }
    if (host.empty()) return false;
    target.host = host;
    return true;
}

// ---------------------------------------------------------------- results

UpdateResult automatic_check_result(const std::string& remote) {
    UpdateResult r;
    if (remote.empty()) return r;
    const Version v = parse_version_string(remote);
    if (v.is_newer_than(parse_version_string(kProgramVersionUtf8))) {
        r.newer = true;
        r.text = v.to_string();
    }
    return r;
}

UpdateResult manual_check_result(const std::string& remote) {
    UpdateResult r;
    if (remote.empty()) {
        r.text = tr(L"update.failed");
        return r;
    }
    const Version v = parse_version_string(remote);
    if (v.is_newer_than(parse_version_string(kProgramVersionUtf8))) {
        r.newer = true;
        r.text = tr_format(L"update.ask", v.to_string());
    } else {
        r.text = tr_format(L"update.latest", std::wstring(kProgramVersion));
    }
    return r;
}

// ---------------------------------------------------------------- the GET

namespace {

struct WinHttpTraits {
    using type = HINTERNET;
    static type none() noexcept { return nullptr; }
    static bool empty(type v) noexcept { return v == nullptr; }
    static void close(type v) noexcept { ::WinHttpCloseHandle(v); }
};
using WinHttpHandle = raii::Unique<WinHttpTraits>;

}  // namespace

bool winhttp_get(const std::wstring& url, std::string& body) {
    body.clear();
    HttpTarget target;
    if (!split_http_url(url, target)) return false;
    WinHttpHandle session(WinHttpOpen(kUpdateUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return false;
    if (!WinHttpSetTimeouts(session.get(), kUpdateTimeoutMs, kUpdateTimeoutMs, kUpdateTimeoutMs, kUpdateTimeoutMs))
        return false;
    WinHttpHandle connection(
        WinHttpConnect(session.get(), target.host.c_str(), static_cast<INTERNET_PORT>(target.port), 0));
    if (!connection) return false;
    WinHttpHandle request(WinHttpOpenRequest(connection.get(), L"GET", target.path.c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             target.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return false;
    // The wait for the reply's headers is bounded as well (on some systems it
    // does not follow the receive time-out set above).
    DWORD response_timeout = kUpdateTimeoutMs;
    WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response_timeout,
                     sizeof(response_timeout));
    DWORD no_redirects = WINHTTP_DISABLE_REDIRECTS;
    if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &no_redirects, sizeof(no_redirects)))
        return false;
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        return false;
    if (!WinHttpReceiveResponse(request.get(), nullptr)) return false;
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
        status != 200)
        return false;
    std::vector<char> chunk(kUpdateReadChunk);
    while (body.size() < kUpdateBodyLimit) {
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read)) {
            body.clear();
            return false;
        }
        if (read == 0) break;
        body.append(chunk.data(), read);
    }
    return !body.empty();
}

std::string fetch_latest_version(const std::wstring& manifest_url) {
    std::string body;
    if (!winhttp_get(manifest_url, body)) return {};
    return json_string_field(body, "version");
}

std::string fetch_latest_version() { return fetch_latest_version(update_manifest_url()); }

// ---------------------------------------------------------------- the threads

namespace {

template <class Work>
void start_detached(Work work) {
    try {
        std::thread(std::move(work)).detach();
    } catch (const std::system_error&) {
        // No thread: no check this time.
    }
}

}  // namespace

void start_automatic_update_check(HWND main, const std::wstring& manifest_url) {
    start_detached([main, manifest_url] {
        const UpdateResult r = automatic_check_result(fetch_latest_version(manifest_url));
        // A main window that is gone by now gets nothing; the text is freed.
        post_text_message(main, WM_UPDATE_AUTO_RESULT, r.newer ? 1 : 0, r.text);
    });
}

void start_manual_update_check(HWND main, const std::wstring& manifest_url) {
    start_detached([main, manifest_url] {
        const UpdateResult r = manual_check_result(fetch_latest_version(manifest_url));
        post_text_message(main, WM_UPDATE_MANUAL_RESULT, r.newer ? 1 : 0, r.text);
    });
}

void App::start_update_check() {
    if (!settings || !settings->check_updates) return;
    const std::int64_t now = static_cast<std::int64_t>(_time64(nullptr));
    if (!update_check_due(settings->last_update_check, now, kUpdateInterval)) return;
    start_automatic_update_check(main_window_handle());
}

void App::check_updates_now() { start_manual_update_check(main_window_handle()); }

// ---------------------------------------------------------------- the answer

void show_manual_update_result(App& app, bool newer, const std::wstring& text) {
    HWND owner = app.main_window_handle();
    const std::vector<InfoRow> rows{InfoRow{L"", text}};
    if (newer) {
        const std::wstring download = tr(L"action.download");
        if (show_info_window(owner, &app, tr(L"update.available.title"), rows, download.c_str()))
            ShellExecuteW(owner, L"open", download_page_url().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    } else {
        show_info_window(owner, &app, tr(L"action.check_updates"), rows, nullptr);
    }
}
