// The capture overlay's colours in the light and the dark theme.
#pragma once

#include <windows.h>

struct CaptureColors {
    COLORREF frame;
    COLORREF handle_fill;
    COLORREF handle_border;
    COLORREF label_fill;
    COLORREF label_border;
    COLORREF label_text;
    COLORREF hint_text;
    COLORREF toolbar_background;
    COLORREF toolbar_border;
    COLORREF button_pressed;  // also the selected swatch's border
    COLORREF button_selected;
    COLORREF button_hover;
    COLORREF glyph_selected;
    COLORREF glyph_normal;
    COLORREF text_box_text;
    COLORREF text_box_background;
};

inline const CaptureColors& capture_colors(bool dark) {
    static const CaptureColors kDark{0xFFC24C, 0xFFFFFF, 0xF2F2F2, 0x272727, 0x4A4A4A, 0xF2F2F2,
                                     0xFFFFFF, 0x272727, 0x4A4A4A, 0xFFC24C, 0xD06B0A, 0x6E4E1E,
                                     0xF2F2F2, 0xF2F2F2, 0xF2F2F2, 0x2B2B2B};
    static const CaptureColors kLight{0xCC6600, 0xFFFFFF, 0xF2F2F2, 0x272727, 0x4A4A4A, 0xF2F2F2,
                                      0xFFFFFF, 0xFBFBFB, 0xD5D5D5, 0xCC6600, 0xCC6600, 0xF7E7D6,
                                      0xFFFFFF, 0x141414, 0x141414, 0xFFFFFF};
    return dark ? kDark : kLight;
}

// Dimming of the screen outside the selection: black at this alpha (of 255).
inline constexpr BYTE kDimAlpha = 150;
