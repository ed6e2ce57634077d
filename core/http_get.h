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

// GETs an "http://" or "https://" address (scheme in any letter case; every
// other address is refused) with the system's proxy settings, then, when
// that attempt fails, directly. body receives the raw bytes, cut after the
// read that takes it beyond kHttpBodyLimit. True when a non-empty body was
// received; the HTTP status is not examined, so an error page counts.
bool http_get(const std::wstring& url, std::string& body);
