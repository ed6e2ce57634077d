// HTTP GET through WinINet, with redirects followed here and a deadline
// kept by closing the handles from a timer.
#include "core/http_get.h"

#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "core/handles.h"

namespace {

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

bool is_web_scheme(const std::wstring& url) {
    return starts_with_ci(url, L"http://") || starts_with_ci(url, L"https://");
}

// The session handle, closed once: by the GET when it is done, or by the
// deadline timer when it is not. WinINet's own time-outs do not bound a
// server that answers slowly, nor (under Wine) one that never answers;
// closing the session aborts every call on its handles.
class Session {
public:
    explicit Session(HINTERNET handle) : handle_(handle) {}
    ~Session() { close(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    HINTERNET get() const { return handle_; }
    bool closed() const { return closed_; }
    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ && !closed_.exchange(true)) InternetCloseHandle(handle_);
    }
    // A request of the session, unless closing the session closed it already.
    void close_request(HINTERNET request) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (request && !closed_) InternetCloseHandle(request);
    }

private:
    HINTERNET handle_;
    std::mutex mutex_;
    std::atomic<bool> closed_{false};
};

void CALLBACK on_deadline(PVOID session, BOOLEAN) { static_cast<Session*>(session)->close(); }

// A one-shot timer queue timer; deleting it waits for a callback under way.
class DeadlineTimer {
public:
    DeadlineTimer(Session& session, DWORD ms) {
        if (!CreateTimerQueueTimer(&timer_, nullptr, on_deadline, &session, ms, 0, WT_EXECUTEONLYONCE))
            timer_ = nullptr;
    }
    ~DeadlineTimer() {
        if (timer_) DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
    }
    DeadlineTimer(const DeadlineTimer&) = delete;
    DeadlineTimer& operator=(const DeadlineTimer&) = delete;
    bool ok() const { return timer_ != nullptr; }

private:
    HANDLE timer_ = nullptr;
};

bool is_redirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

DWORD status_of(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return 0;
    return status;
}

// A header of the reply as text; empty when missing.
std::wstring header_of(HINTERNET request, DWORD query) {
    std::vector<wchar_t> buf(1024);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD size = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
        if (HttpQueryInfoW(request, query, buf.data(), &size, nullptr))
            return std::wstring(buf.data(), size / sizeof(wchar_t));
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > 65536) return {};
        buf.resize(size / sizeof(wchar_t) + 1);
    }
    return {};
}

// The redirect target of a relative or absolute Location.
std::wstring resolve(const std::wstring& base, const std::wstring& location) {
    std::vector<wchar_t> buf(base.size() + location.size() + 64);
    DWORD size = static_cast<DWORD>(buf.size());
    if (!InternetCombineUrlW(base.c_str(), location.c_str(), buf.data(), &size, ICU_NO_ENCODE)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        buf.resize(size + 1);
        size = static_cast<DWORD>(buf.size());
        if (!InternetCombineUrlW(base.c_str(), location.c_str(), buf.data(), &size, ICU_NO_ENCODE)) return {};
    }
    return std::wstring(buf.data(), size);
}

}  // namespace

namespace {

// The request and connection handles of one GET, closed through the
// session so that none is closed after the session took it with it.
struct Request {
    Session& session;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    explicit Request(Session& s) : session(s) {}
    ~Request() {
        session.close_request(request);
        session.close_request(connection);
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
};

void set_timeouts(HINTERNET handle, DWORD ms) {
    InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &ms, sizeof ms);
    InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
}

// Connects and sends the GET; the reply's headers are in when true. The
// time-outs are set on the request itself: WinINet under Wine does not
// hand the session's on to it.
bool send_get(Request& r, const std::wstring& url, DWORD timeout_ms) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
    const std::wstring host(parts.lpszHostName ? parts.lpszHostName : L"", parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo ? parts.lpszExtraInfo : L"", parts.dwExtraInfoLength);
    const size_t fragment = path.find(L'#');
    if (fragment != std::wstring::npos) path.resize(fragment);
    if (path.empty() || path[0] != L'/') path.insert(0, 1, L'/');
    if (host.empty()) return false;

    r.connection = InternetConnectW(r.session.get(), host.c_str(), parts.nPort, nullptr, nullptr,
                                    INTERNET_SERVICE_HTTP, 0, 0);
    if (!r.connection || r.session.closed()) return false;
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                  INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    r.request = HttpOpenRequestW(r.connection, L"GET", path.c_str(), nullptr, nullptr, nullptr, flags, 0);
    if (!r.request || r.session.closed()) return false;
    set_timeouts(r.request, timeout_ms);
    return HttpSendRequestW(r.request, kHttpExtraHeaders, static_cast<DWORD>(-1), nullptr, 0) &&
           !r.session.closed();
}

}  // namespace

bool http_get(const std::wstring& url, HttpReply& reply, DWORD deadline_ms) {
    reply = HttpReply{};
    if (!is_web_scheme(url) || deadline_ms == 0) return false;
    const ULONGLONG start = GetTickCount64();
    auto remaining = [&]() -> DWORD {
        const ULONGLONG spent = GetTickCount64() - start;
        return spent >= deadline_ms ? 0 : static_cast<DWORD>(deadline_ms - spent);
    };
    InternetSetOptionW(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    InternetSetOptionW(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
    Session session(InternetOpenW(kHttpUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session.get()) return false;
    DeadlineTimer deadline(session, deadline_ms);
    if (!deadline.ok()) return false;

    std::wstring current = url;
    for (;;) {
        const DWORD left = remaining();
        if (left == 0) return false;
        Request r(session);
        if (!send_get(r, current, std::min(kHttpTimeoutMs, left))) return false;
        reply.status = status_of(r.request);
        if (is_redirect(reply.status)) {
            const std::wstring next = resolve(current, header_of(r.request, HTTP_QUERY_LOCATION));
            if (next.empty() || !is_web_scheme(next) || reply.redirects >= kHttpMaxRedirects) return false;
            ++reply.redirects;
            current = next;
            continue;
        }
        reply.charset = content_type_charset(header_of(r.request, HTTP_QUERY_CONTENT_TYPE));
        // Only what has arrived is read, so that the deadline is looked at
        // between the pieces of a slow body; a wait for the next piece is
        // bounded by the receive time-out.
        char chunk[kHttpReadChunk];
        for (;;) {
            DWORD available = 0;
            if (!InternetQueryDataAvailable(r.request, &available, 0, 0) || session.closed() || remaining() == 0) {
                reply.body.clear();
                return false;
            }
            if (available == 0) break;
            DWORD got = 0;
            if (!InternetReadFile(r.request, chunk, std::min<DWORD>(available, sizeof chunk), &got) ||
                session.closed()) {
                reply.body.clear();
                return false;
            }
            if (got == 0) break;
            reply.body.append(chunk, got);
            if (reply.body.size() > kHttpBodyLimit) break;
        }
        return !reply.body.empty();
    }
}

bool http_get(const std::wstring& url, std::string& body) {
    HttpReply reply;
    const bool ok = http_get(url, reply);
    body = std::move(reply.body);
    return ok;
}

std::string content_type_charset(const std::wstring& content_type) {
    std::string lower;
    for (wchar_t c : content_type) {
        if (c > 0x7F) return {};
        lower += static_cast<char>(c >= L'A' && c <= L'Z' ? c + 32 : c);
    }
    const size_t key = lower.find("charset=");
    if (key == std::string::npos) return {};
    size_t start = key + 8;
    if (start < lower.size() && (lower[start] == '"' || lower[start] == '\'')) ++start;
    size_t end = start;
    while (end < lower.size() && lower[end] != ';' && lower[end] != '"' && lower[end] != '\'' && lower[end] != ' ')
        ++end;
    return lower.substr(start, end - start);
}
