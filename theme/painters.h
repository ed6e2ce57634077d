// Painters of the owner-drawn controls, for the subclass procedures and for
// owners that draw themselves. Every painter deletes the pens, brushes and
// regions it makes before it returns and leaves the DC's selections as it
// found them.
#pragma once

#include <windows.h>

#include <string>

// --- geometry of the painters (pure) -------------------------------------------

struct ToggleLayout {
    RECT track_region;   // the filled rounded track
    RECT track_outline;  // its outline, one pixel inside on the right and bottom
    RECT knob;           // the knob's circle
    RECT label;          // where the control's text goes
};

// The parts of a toggle switch drawn into the rectangle.
ToggleLayout toggle_layout(const RECT& rc, bool on);

// Where a push button's caption goes: the rectangle inset 10 left and right.
RECT button_text_box(const RECT& rc);

// Where a drop-down list shows its selected item: from 6 in to the arrow
// strip (scroll_bar_width + 2 from the right edge).
RECT combo_text_box(const RECT& rc, int scroll_bar_width);

// The three corners of a chevron in the rectangle, pointing up or down.
struct Triangle {
    POINT p[3];
};
Triangle chevron_triangle(const RECT& rc, bool up);

// The strip of the arrows: for a combo box the rightmost scroll-bar width
// (scroll_bar_width) of the rectangle, for an up-down control the whole.
RECT arrow_strip(const RECT& rc, bool combo_style, int scroll_bar_width);

// --- painters ----------------------------------------------------------------------

// A toggle switch with, when a control is given, its text beside it (the
// control's font, else DEFAULT_GUI_FONT). The knob takes the pushed colour
// while the control's state has BST_PUSHED.
void draw_toggle_switch(HDC dc, const RECT& rc, bool on, bool dark, HWND control);

// A rounded push button in its state with the control's text, if any.
void draw_button(HDC dc, const RECT& rc, bool dark, bool accent, bool hover, bool pressed, HWND control);

// A filled triangle in the chevron colour.
void draw_chevron(HDC dc, const RECT& rc, bool up, bool dark);

// The arrow strip of a combo box (one down chevron) or an up-down control
// (an up and a down chevron) on the control background.
void draw_arrow_buttons(HDC dc, bool dark, const RECT& rc, bool combo_style);

// A one-pixel outline in the accent colour along the rectangle.
void draw_accent_frame(HDC dc, const RECT& rc, bool dark);

// A filled rectangle in a colour (a brush made and deleted for the call).
void fill_rect_color(HDC dc, const RECT& rc, COLORREF color);

// The whole client area of the window filled in a colour; for WM_ERASEBKGND.
void fill_client_color(HWND window, HDC dc, COLORREF color);

// Text in a font and colour into the rectangle (DrawTextW with the format
// and DT_NOPREFIX); the DC's font is put back. Nothing for an empty text.
void draw_text_in(HDC dc, HFONT font, COLORREF color, const std::wstring& text, RECT rc, UINT format);
