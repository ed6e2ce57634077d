// Tests and conversions of web addresses: is a copied text a single web
// address, which address a history entry shows, and the video page behind a
// preview image of the second video service. Pure functions, safe on any
// thread.
#pragma once

#include <string>

// True when the text, trimmed of blanks, tabs, CR and LF at both ends, is one
// "http://" or "https://" address (scheme in any letter case) with something
// after the scheme and no blank, tab, CR or LF inside.
bool is_web_url(const std::wstring& text);

// The address to show for an entry: the trimmed text when it is a web
// address; else the preferred address when not empty; else the source
// address when allow_source is set and it is not empty; else empty.
std::wstring choose_page_url(const std::wstring& text, bool allow_source, const std::wstring& source_url,
                             const std::wstring& preferred_url);

// The video page of the second video service ("https://" host "/video/"
// id "/") for a text holding one of its preview image addresses: the host
// followed by "/api/video", and "/preview/" followed by 32 hexadecimal
// digits (the id, kept as written). Empty otherwise.
std::wstring video_page_from_preview_url(const std::string& utf8_text);
// The same for a given host of the service.
std::wstring video_page_from_preview_url(const std::string& utf8_text, const std::wstring& service_host);

// True when text ends with suffix (case-sensitive); an empty suffix always.
bool ends_with(const std::wstring& text, const std::wstring& suffix);
