// The information window (class "QuilletInfo"): a title and a table of
// rows, each a highlighted key text beside a wrapped description, with a
// Close button and an optional second button whose choice is returned.
// It shows the hotkey overview and the result of a manual update check.
//
// Keys: Tab moves between the buttons, Enter presses the focused one, Esc
// closes the window as Close does. Interface thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/handles.h"

class App;

inline constexpr wchar_t kInfoWindowClass[] = L"QuilletInfo";

// Button ids.
inline constexpr int kInfoCloseId = 1;
inline constexpr int kInfoSecondId = 2;

struct InfoRow {
    std::wstring key;          // left column; may be empty
    std::wstring description;  // right column, word-wrapped
};

// What the layout needs measured: the title's height, the widest key text
// (0 when every key is empty), and per row its key's single-line height
// and its description's height wrapped to a given width.
struct InfoMeasures {
    int title_height = 0;
    int key_width = 0;
    std::vector<int> key_heights;
    std::vector<int> description_heights;
};

struct InfoLayout {
    RECT title{};
    std::vector<RECT> keys;
    std::vector<RECT> descriptions;
    RECT close_button{};
    RECT second_button{};
    int total_height = 0;
};

// Where the description column starts (K + 44, or 24 without keys) and how
// wide it is (at least 40) in a client of the width.
int info_description_left(int key_width);
int info_description_width(int client_width, int key_width);

// The layout for a client width; the description heights must be measured
// at info_description_width.
InfoLayout info_layout(int client_width, const InfoMeasures& m);

struct InfoWindow {
    bool dark = false;
    HWND owner = nullptr;
    HWND close_button = nullptr;
    HWND second_button = nullptr;
    std::vector<InfoRow> rows;
    std::wstring title;
    std::wstring second_text;
    bool has_second = false;
    InfoLayout layout;
    raii::Font title_font;        // 18, weight 600
    raii::Font key_font;          // 13, weight 600
    raii::Font description_font;  // 12
    raii::Font button_font;       // 11
    bool* result = nullptr;
};

// Runs the window over the owner until it is closed. True only when the
// second button was chosen (clicked, or Enter while it has the focus);
// false for Close, Esc, closing the window and a window that cannot be
// made. second_text null or empty: no second button.
bool show_info_window(HWND owner, App* app, const std::wstring& title, const std::vector<InfoRow>& rows,
                      const wchar_t* second_text);

LRESULT CALLBACK info_wnd_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
