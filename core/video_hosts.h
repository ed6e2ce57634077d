// The two video services whose oEmbed endpoints give the titles of copied
// video links, and whose preview images lead back to their video pages.
//
// The addresses are fixed when the program is built. Functions that reach
// them take a VideoServices record, so that a test can point them at a
// local server; the program itself always passes default_video_services().
#pragma once

#include <string>

// Built-in host names and endpoints.
inline constexpr wchar_t kVideo1MainHost[] = L"youtube.com";
inline constexpr wchar_t kVideo1ShortHost[] = L"youtu.be";
inline constexpr wchar_t kVideo1OembedEndpoint[] = L"https://www.youtube.com/oembed?format=json&url=";
inline constexpr wchar_t kVideo2Host[] = L"rutube.ru";
inline constexpr wchar_t kVideo2OembedEndpoint[] = L"https://rutube.ru/api/oembed/?format=json&url=";

struct VideoServices {
    // The first service: its main host (subdomains included) and its
    // short-link host, both answered by one oEmbed endpoint.
    std::wstring first_main_host;
    std::wstring first_short_host;
    std::wstring first_oembed;   // full prefix; the percent-encoded address follows
    // The second service: its host (subdomains included).
    std::wstring second_host;
    std::wstring second_oembed;  // full prefix; the percent-encoded address follows
};

// The built-in services above.
inline const VideoServices& default_video_services() {
    static const VideoServices* const services =
        new VideoServices{kVideo1MainHost, kVideo1ShortHost, kVideo1OembedEndpoint, kVideo2Host, kVideo2OembedEndpoint};
    return *services;  // never destroyed: worker threads may still read it at exit
}
