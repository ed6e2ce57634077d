// The colour pairs of the light and the dark theme (COLORREF, 0x00BBGGRR).
//
// Every themed control and painter takes its colours from here, chosen by
// the dark flag the owner passes (Settings dark_mode).
#pragma once

#include <windows.h>

struct ThemeColors {
    COLORREF page_background;     // windows, toggle rows
    COLORREF control_background;  // edits, lists, combo boxes, up-down
    COLORREF text;
    COLORREF accent;              // focus-style frame of combo and up-down
    COLORREF frame;               // frame of framed controls
    COLORREF chevron;
    COLORREF toggle_track_off;
    COLORREF toggle_track_on;
    COLORREF toggle_knob;
    COLORREF toggle_knob_pushed;
};

// The table of one theme.
const ThemeColors& theme_colors(bool dark);

// Push-button fills and border of one variant (dark or light, accent or not).
struct ButtonColors {
    COLORREF normal;
    COLORREF hover;
    COLORREF pressed;
    COLORREF border;
};

const ButtonColors& button_colors(bool dark, bool accent);

// The fill of a button in its state: pressed wins over hover.
COLORREF button_fill(bool dark, bool accent, bool hover, bool pressed);

// True when 0.299 R + 0.587 G + 0.114 B of the colour exceeds 160 (computed
// exactly in integers).
bool is_light_fill(COLORREF fill);

// The text colour on a button fill: 0x141414 on a light fill, else white.
COLORREF button_text_color(COLORREF fill);
