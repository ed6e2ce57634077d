// The update check: the newest version is read from a small JSON manifest
// on the update server, automatically at most once a day and on demand.
//
// The network work runs on detached worker threads that only post their
// result to the main window (WM_UPDATE_AUTO_RESULT, WM_UPDATE_MANUAL_RESULT,
// app/app_ids.h). Everything else here is a pure function, safe on any
// thread.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/web_addresses.h"
#include "resources/version.h"

class App;

// The program's own version.
inline constexpr wchar_t kProgramVersion[] = QUILLET_VERSION_WTEXT;
inline constexpr char kProgramVersionUtf8[] = QUILLET_VERSION_TEXT;

// Every request of the update check sends this user agent.
inline constexpr wchar_t kUpdateUserAgent[] = L"Quillet/" QUILLET_VERSION_WTEXT;

// Time-outs of name resolution, connection, sending and receiving.
inline constexpr int kUpdateTimeoutMs = 7000;
// Reading stops once the body holds this many bytes or more.
inline constexpr std::size_t kUpdateBodyLimit = 65536;
inline constexpr std::size_t kUpdateReadChunk = 4096;

// The automatic check runs when the last one is at least this old.
inline constexpr std::int64_t kUpdateInterval = 86400;

struct Version {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    std::int32_t patch = 0;

    // Compares major, then minor, then patch; equal versions are not newer.
    bool is_newer_than(const Version& other) const;
    // "major.minor.patch" in decimal.
    std::wstring to_string() const;
    bool operator==(const Version&) const = default;
};

// Reads a dotted version: characters up to the first digit are skipped (a
// "-" among them gives 0.0.0), then up to three numbers joined by "."; what
// follows them is ignored. A number stops growing at 1,000,000 or more.
// Empty or digit-less input gives 0.0.0.
Version parse_version(const char* bytes, std::size_t length);
Version parse_version_string(std::string_view utf8);

// The decoded string value of the first occurrence of "key" that stands as
// an object key (at the start, or after "{" or "," and blanks), read on
// 8-bit text. Empty when there is none, when its value is not a string or
// when the string does not end. Escapes: \n \r \t as LF CR TAB, \u kept as
// the two characters "\u", any other escaped character as itself.
std::string json_string_field(std::string_view text, std::string_view key);

// True when a check is due: last below 1 (never), interval below 1, now
// before last (the clock was set back), or at least interval seconds since.
bool update_check_due(std::int64_t last, std::int64_t now, std::int64_t interval);

// An "http://" or "https://" address taken apart for WinHTTP.
struct HttpTarget {
    bool secure = false;
    std::wstring host;
    unsigned port = 0;   // 443 or 80 unless the address names one
    std::wstring path;   // from the first "/" or "?" on; "/" when there is none
};

// False for any other scheme, an empty host or a port that is not a number
// from 1 to 65535. The host ends at the first "/" or "?"; a ":" and digits at
// its end give the port.
bool split_http_url(const std::wstring& url, HttpTarget& target);

// GETs the address with WinHTTP: the update user agent, 7-second time-outs,
// no redirects followed. True only for status 200 and a non-empty body,
// which is read up to kUpdateBodyLimit bytes (the last piece may pass it by
// up to one chunk). The body is emptied first.
bool winhttp_get(const std::wstring& url, std::string& body);

// The manifest's "version" text (UTF-8); empty on any failure.
std::string fetch_latest_version(const std::wstring& manifest_url);
std::string fetch_latest_version();

// What a check tells the main window.
struct UpdateResult {
    bool newer = false;
    std::wstring text;
};

// The automatic check's result for the fetched version text: newer with the
// normalised remote version, else not newer with an empty text.
UpdateResult automatic_check_result(const std::string& remote);

// The manual check's result: "update.ask" with the remote version when it is
// newer, "update.latest" with the program's version when it is not, and
// "update.failed" when nothing was fetched.
UpdateResult manual_check_result(const std::string& remote);

// Start the checks on detached threads, which post their results to main
// (nothing when main is gone by then). The program uses the built-in
// manifest address.
void start_automatic_update_check(HWND main, const std::wstring& manifest_url = update_manifest_url());
void start_manual_update_check(HWND main, const std::wstring& manifest_url = update_manifest_url());

// The manual check's answer in the main window (the posted text already
// taken, the time of the check stored): the information window, with a
// button that opens the download page when a newer version exists.
void show_manual_update_result(App& app, bool newer, const std::wstring& text);
