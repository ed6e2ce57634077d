// The entry view window (class "QuilletViewDialog"): one history entry in
// full, modal over the main window. A text entry shows as read-only,
// scrollable text; an image entry as a picture fitted into the window
// (never enlarged), zoomed with the wheel and dragged when it is larger
// than its area. A band below tells where the entry came from and when it
// was copied, with the fit button (images) and the close button. Esc
// closes the window. Whenever the window becomes active again (after the
// text's context menu, another window, a click on its frame) the keyboard
// goes back to the control that had it, at first the text.
//
// show_view_dialog copies what it shows before its loop starts, so the
// caller's record may change or go while the window is open; the record is
// not touched afterwards. Interface thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/handles.h"
#include "store/records.h"

class MainWindow;

// --- geometry and zoom (pure) ----------------------------------------------------

inline constexpr float kViewMinZoom = 0.25f;
inline constexpr float kViewMaxZoom = 8.0f;

// The image area of a client rectangle: inset by 10 on the left, top and
// right and by 118 at the bottom, never narrower or lower than nothing.
RECT view_image_area(const RECT& client);

// The info band above the buttons, from x 14 to the client's right - 112,
// ending 48 above the bottom, at least 62 high and as high as the text
// needs; the image area ends 8 above it. The band never takes more than
// half of the client's height less the buttons' strip.
inline constexpr int kViewBandMinHeight = 62;
struct ViewBandLayout {
    RECT band;
    RECT image_area;
};
ViewBandLayout view_band_layout(const RECT& client, int text_height);

// The height the band's text needs in a band of the width, word-wrapped in
// the font of the DC: the lines before the last (application, page title,
// address) wrap, at most six lines of the font; the last line (the copy
// time) is one line of its own.
int view_band_text_height(HDC dc, const std::wstring& info, int width);

// Draws the band's text: the head wrapped into the band above the last
// line, which is drawn single-line at the band's bottom.
void draw_view_band_text(HDC dc, const std::wstring& info, const RECT& band);

// The width of a button of the band for its caption: 100, or the caption
// width + 24 when wider.
int view_button_width(int caption_width);

// The zoom after a wheel turn: zoom x 1.15 ^ (delta / 120), within 0.25..8.
float view_wheel_zoom(float zoom, int wheel_delta);

// The picture's size at the zoom: each side of the fitted size times the
// zoom, truncated, at least 1.
SIZE view_zoomed_size(int fit_width, int fit_height, float zoom);

// A pan component kept where the picture's edge does not come inside the
// area: within +-((zoomed - area) / 2) when the picture is larger than the
// area on that axis, else 0.
int view_clamp_pan(int pan, int zoomed, int area);

// Whether the zoomed picture is larger than the area on either axis.
bool view_oversized(SIZE zoomed, const RECT& area);

// Where the picture is drawn: centred in the area and moved by the pan.
RECT view_picture_rect(const RECT& area, SIZE zoomed, int pan_x, int pan_y);

// The copy time as the band shows it: "%d-%d-%dT%d:%d" read from the
// stamp (hour and minute 0 when missing); "%02d.%02d.%04d %02d:%02d" when
// a year other than 0 was read, else the stamp as stored.
std::wstring view_time_text(const std::wstring& created_at);

// The band's lines: application, for a browser page its title and address
// (each only when not empty), and the copy time.
std::wstring view_info_text(const HistoryEntry& entry);

// --- the window ---------------------------------------------------------------------

// The window's state, handed over as its creation parameter.
struct ViewDialog {
    MainWindow* main_window = nullptr;
    std::wstring text;
    std::wstring info;
    bool is_image = false;
    std::vector<std::uint8_t> image_bytes;
    raii::Bitmap bitmap;
    int image_width = 1;
    int image_height = 1;
    int fit_width = 1;
    int fit_height = 1;
    float zoom = 1.0f;
    int pan_x = 0;
    int pan_y = 0;
    bool dragging = false;
    int drag_start_x = 0;
    int drag_start_y = 0;
    POINT drag_start_pan{};
    raii::Brush background_brush;
    raii::Brush edit_brush;
    raii::Font font;
    HWND fit_button = nullptr;
    HWND close_button = nullptr;
    HWND text_edit = nullptr;
    // The control that held the keyboard when the window was last left
    // (for a menu of its own, another window); it gets it back.
    HWND last_focus = nullptr;
    bool dark = false;
    int band_text_height = kViewBandMinHeight;  // measured for the window's width

    // The image area of the window's client rectangle.
    RECT content_rect(HWND window) const;
};

// Shows the entry and returns when the window is closed: false without a
// main window (or its window), when the window cannot be made, or when the
// entry cannot be read whole (its text and, for an image, its bytes, taken
// through read_whole_entry; the user is told then, as for any other use of
// it). The main window is disabled meanwhile; a WM_QUIT that ends the loop
// is posted again.
bool show_view_dialog(MainWindow* main_window, const HistoryEntry& entry);

LRESULT CALLBACK view_dialog_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Window class and command ids.
inline constexpr const wchar_t* kViewDialogClass = L"QuilletViewDialog";
inline constexpr int kViewFitId = 1;
inline constexpr int kViewCloseId = 2;
