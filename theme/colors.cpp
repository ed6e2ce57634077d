#include "theme/colors.h"

namespace {

constexpr ThemeColors kLight{
    0xF3F3F3,  // page background
    0xFFFFFF,  // control background
    0x141414,  // text
    0xCC6600,  // accent
    0xD5D5D5,  // frame
    0x505050,  // chevrons
    0xC0C4C4,  // toggle track, off
    0xD06B0A,  // toggle track, on
    0xFFFFFF,  // toggle knob
    0x808080,  // toggle knob while pushed
};

constexpr ThemeColors kDark{
    0x202020, 0x2B2B2B, 0xF2F2F2, 0xD06B0A, 0x4A4A4A,
    0xE0E0E0, 0x3D3939, 0xD06B0A, 0xFFFFFF, 0xB0B0B0,
};

constexpr ButtonColors kButtonLight{0xFAFAFA, 0xECECEC, 0xCECECE, 0xC7C7C7};
constexpr ButtonColors kButtonDark{0x2E2E2E, 0x383838, 0x1C1C1C, 0x555555};
constexpr ButtonColors kAccentLight{0xCC6600, 0xE07A0A, 0xAA5500, 0xCC6600};
constexpr ButtonColors kAccentDark{0xE07A1A, 0xEE8A2E, 0xBE630F, 0xE07A1A};

}  // namespace

const ThemeColors& theme_colors(bool dark) { return dark ? kDark : kLight; }

const ButtonColors& button_colors(bool dark, bool accent) {
    if (accent) return dark ? kAccentDark : kAccentLight;
    return dark ? kButtonDark : kButtonLight;
}

COLORREF button_fill(bool dark, bool accent, bool hover, bool pressed) {
    const ButtonColors& c = button_colors(dark, accent);
    if (pressed) return c.pressed;
    if (hover) return c.hover;
    return c.normal;
}

bool is_light_fill(COLORREF fill) {
    // 0.299 R + 0.587 G + 0.114 B > 160, scaled by 1000.
    const long r = GetRValue(fill), g = GetGValue(fill), b = GetBValue(fill);
    return 299 * r + 587 * g + 114 * b > 160 * 1000;
}

COLORREF button_text_color(COLORREF fill) { return is_light_fill(fill) ? 0x141414 : 0xFFFFFF; }
