// The about window (class "QuilletAbout"): the product name, the version,
// a short description and consent note, links to the licence text and the
// web site, and a Close button. Drawn by the program in the current theme
// and run modally over its owner.
//
// Interface thread only.
#pragma once

#include <windows.h>

#include <string>

#include "core/handles.h"

class App;

inline constexpr wchar_t kAboutWindowClass[] = L"QuilletAbout";

// The measured heights of the texts and widths of the two links.
struct AboutMeasures {
    int title = 0;        // single line, title font
    int version = 0;      // single line, small font
    int description = 0;  // wrapped, text font
    int consent = 0;      // wrapped, small font
    int licence = 0;      // single line, link font
    int site = 0;         // single line, link font
    int licence_width = 0;
    int site_width = 0;
};

struct AboutLayout {
    RECT title{};
    RECT version{};
    RECT description{};
    RECT consent{};
    RECT licence_link{};
    RECT site_link{};
    RECT close_button{};
    int total_height = 0;
};

// The layout for a client width: texts 24 pixels in from either side, the
// links below the consent note, Close 110 x 36 at the bottom right.
AboutLayout about_layout(int client_width, const AboutMeasures& m);

// What a record of the window holds (built by show_about_window).
struct AboutWindow {
    bool dark = false;
    HWND close_button = nullptr;
    AboutLayout layout;
    int hovered_link = 0;  // 0 none, 1 licence, 2 site
    int pressed_link = 0;  // the link a held left button was pressed on (the window holds the capture)
    raii::Font title_font;  // 18, weight 600
    raii::Font text_font;   // 12
    raii::Font small_font;  // 11
    raii::Font link_font;   // 12
    std::wstring site_address;
    std::wstring text;
    std::wstring consent;
    std::wstring version_line;
    std::wstring licence_text;
    std::wstring site_text;
};

// The site's start page for a language code: the Russian one for "ru" and
// for an empty code, the English one for any other.
std::wstring about_site_address(const std::wstring& language);

// Runs the about window over the owner until it is closed. Nothing happens
// when the window cannot be made.
void show_about_window(HWND owner, App* app);

// Opens the licence text beside the executable ("license.txt", else
// "LICENSE.txt"), else the terms page; when that fails too, a message names
// the terms page and the result is false.
bool open_license(HWND owner);

// The licence file to open: the first of folder + "\license.txt" and
// folder + "\LICENSE.txt" (the bare names without a folder) that is_file
// accepts; empty when neither.
std::wstring find_license_file(const std::wstring& folder, bool (*is_file)(const std::wstring& path));

// The terms page for a language code: Russian for "ru", else English.
std::wstring terms_page_address(const std::wstring& language);

LRESULT CALLBACK about_wnd_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
