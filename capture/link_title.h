// Human-readable titles of copied web addresses, fetched by a few worker
// threads: the oEmbed endpoint of the two video services first, then
// the page's Open Graph title, Twitter-card title or title element. Also
// the clean-up of browser window titles shown in the entry hint.
//
// Everything here except start_link_title_fetch is a pure function, safe on
// any thread; the fetching ones block on the network.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/video_hosts.h"

// Posted to the main window when a title was fetched: wParam the history
// entry id, lParam a text of post_text_message (capture/posted_text.h) that
// the receiver takes with take_posted_text and stores with
// Database::set_link_title.
inline constexpr UINT kMsgLinkTitle = WM_APP + 10;

// Longest title kept, in UTF-16 code units; a longer one is cut and "…" added.
inline constexpr std::size_t kLinkTitleMax = 300;

// Every fetch of a title ends by this time, oEmbed and page together.
inline constexpr DWORD kLinkFetchDeadlineMs = 15000;
// Fetches run at once at most; further ones wait, in order, up to
// kMaxWaitingLinkFetches of them; beyond that a fetch is dropped.
inline constexpr int kMaxLinkFetches = 3;
inline constexpr std::size_t kMaxWaitingLinkFetches = 32;

// Hands the title fetch of text (a copied web address, as captured) to the
// fetch workers (detached threads, at most kMaxLinkFetches); when it finds
// a title and main is still a window, kMsgLinkTitle is posted with id.
// Nothing is posted otherwise. False when the fetch was dropped.
bool start_link_title_fetch(HWND main, std::int64_t id, const std::wstring& text,
                            DWORD deadline_ms = kLinkFetchDeadlineMs);

// The title of a copied web address; empty when the text is not one, the
// fetch fails, takes longer than deadline_ms (reading the page included),
// or the page has no title.
std::wstring fetch_link_title(const std::wstring& text);
std::wstring fetch_link_title(const std::wstring& text, const VideoServices& services,
                              DWORD deadline_ms = kLinkFetchDeadlineMs);

// The oEmbed endpoint prefix for a video link of one of the services
// (main host, a subdomain of it, or the first service's short-link host);
// empty for any other address.
std::wstring oembed_endpoint(const std::wstring& address);
std::wstring oembed_endpoint(const std::wstring& address, const VideoServices& services);

// The address's host in lower case, without user information and port;
// empty when "://" is missing.
std::wstring url_host(const std::wstring& address);

// UTF-8 bytes of the text with every byte other than A-Z, a-z, 0-9, "-",
// ".", "_" and "~" written as "%" and two upper-case hexadecimal digits.
std::wstring percent_encode(const std::wstring& text);

// The string value of the first "title" key of an oEmbed reply (a direct
// scan, no JSON parser), normalised; empty when it cannot be read.
std::wstring json_title(const std::string& reply);

// The first og:title or twitter:title meta content of a page, else the text
// of its title element, read in the charset the reply's header names (when
// Windows has it), else in the one a meta tag of the page declares, else as
// UTF-8; with character references decoded, normalised; empty when there is
// none.
std::wstring html_title(const std::string& page, const std::string& header_charset = {});
// The same, given up (empty) once the clock (GetTickCount64) passes
// deadline_tick; 0 for no limit. Its time grows with the page's length.
std::wstring html_title(const std::string& page, const std::string& header_charset, ULONGLONG deadline_tick);

// Character references of a title ("&amp;", "&#x41;", "&#65;" ...) decoded;
// unknown ones, those whose ";" lies more than ten characters after the
// "&", and those naming a surrogate or no character, kept as written; in
// one pass over the text.
std::string decode_html_entities(const std::string& text);

// Runs of blanks, tabs, CR and LF become one blank, none at either end;
// other control characters (C0, DEL, C1), the line and paragraph
// separators (U+2028, U+2029), the invisible zero-width ones (U+200B-U+200D,
// U+FEFF) and the marks that change the direction of text (U+061C, U+200E,
// U+200F, U+202A-U+202E, U+2066-U+2069) are removed, so that a title cannot
// disguise what it says or break the line it is shown on; a text longer
// than kLinkTitleMax is cut there (never inside a surrogate pair) and "…"
// added.
std::wstring normalize_title(const std::wstring& text);

// A browser window title without the browser's or video site's suffix
// (" - Google Chrome", " | RUTUBE" ...; letter case ignored, cut at the first
// place any of them occurs) and without trailing white space.
std::wstring strip_window_title_suffix(const std::wstring& title);
