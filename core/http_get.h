// The program's own HTTP GET over WinINet, used by the link-title fetch on
// its worker threads. Each call owns its handles; safe on any thread.
#pragma once

#include <windows.h>

#include <string>

// Request constants.
inline constexpr wchar_t kHttpUserAgent[] = L"Mozilla/5.0 (Windows NT 10.0; Win64; x64) Quillet/1.0";
inline constexpr wchar_t kHttpExtraHeaders[] = L"Accept-Encoding: identity\r\n";
inline constexpr DWORD kHttpTimeoutMs = 6000;       // connect, send and receive
inline constexpr DWORD kHttpReadChunk = 16384;
inline constexpr size_t kHttpBodyLimit = 524287;    // reading stops once the body is longer
// Redirects followed at most: a request and up to this many more.
inline constexpr int kHttpMaxRedirects = 5;
// The whole GET, redirects and body included, ends by this time.
inline constexpr DWORD kHttpDeadlineMs = 15000;

struct HttpReply {
    std::string body;      // the raw bytes, cut as described at http_get
    std::string charset;   // the charset parameter of the reply's Content-Type, as written
    DWORD status = 0;      // of the last reply
    int redirects = 0;     // followed
};

// GETs an "http://" or "https://" address (scheme in any letter case; every
// other address is refused) once, with the system's proxy settings.
// Redirects (301, 302, 303, 307, 308) are followed up to kHttpMaxRedirects,
// each to an http or https address; one more fails the GET. The body is
// read until the end or until it holds more than kHttpBodyLimit bytes (at
// most one read more). Whatever still runs at deadline_ms after the start
// is aborted by closing its handles, and the GET fails. True when a
// non-empty body was received; the HTTP status is not examined, so an error
// page counts.
bool http_get(const std::wstring& url, HttpReply& reply, DWORD deadline_ms = kHttpDeadlineMs);
bool http_get(const std::wstring& url, std::string& body);

// The charset parameter of a Content-Type value ("text/html; charset=utf-8"),
// in lower case and without quotes; empty when there is none.
std::string content_type_charset(const std::wstring& content_type);
