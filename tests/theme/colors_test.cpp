// The colour tables of both themes, the push-button fills and the choice
// of dark or white button text.
#include "theme/colors.h"

#include <gtest/gtest.h>

namespace {

TEST(ThemeColors, LightAndDarkPairs) {
    struct Row {
        COLORREF ThemeColors::*field;
        COLORREF light, dark;
        const char* role;
    };
    const Row rows[] = {
        {&ThemeColors::page_background, 0xF3F3F3, 0x202020, "page background"},
        {&ThemeColors::control_background, 0xFFFFFF, 0x2B2B2B, "control background"},
        {&ThemeColors::text, 0x141414, 0xF2F2F2, "text"},
        {&ThemeColors::accent, 0xCC6600, 0xD06B0A, "accent"},
        {&ThemeColors::frame, 0xD5D5D5, 0x4A4A4A, "frame"},
        {&ThemeColors::chevron, 0x505050, 0xE0E0E0, "chevrons"},
        {&ThemeColors::toggle_track_off, 0xC0C4C4, 0x3D3939, "track off"},
        {&ThemeColors::toggle_track_on, 0xD06B0A, 0xD06B0A, "track on"},
        {&ThemeColors::toggle_knob, 0xFFFFFF, 0xFFFFFF, "knob"},
        {&ThemeColors::toggle_knob_pushed, 0x808080, 0xB0B0B0, "knob pushed"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(theme_colors(false).*r.field, r.light) << r.role;
        EXPECT_EQ(theme_colors(true).*r.field, r.dark) << r.role;
    }
}

TEST(ThemeColors, ButtonFillsByVariantAndState) {
    struct Row {
        bool dark, accent;
        COLORREF normal, hover, pressed, border;
    };
    const Row rows[] = {
        {false, false, 0xFAFAFA, 0xECECEC, 0xCECECE, 0xC7C7C7},
        {true, false, 0x2E2E2E, 0x383838, 0x1C1C1C, 0x555555},
        {false, true, 0xCC6600, 0xE07A0A, 0xAA5500, 0xCC6600},
        {true, true, 0xE07A1A, 0xEE8A2E, 0xBE630F, 0xE07A1A},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "dark " << r.dark << " accent " << r.accent);
        EXPECT_EQ(button_colors(r.dark, r.accent).border, r.border);
        EXPECT_EQ(button_fill(r.dark, r.accent, false, false), r.normal);
        EXPECT_EQ(button_fill(r.dark, r.accent, true, false), r.hover);
        EXPECT_EQ(button_fill(r.dark, r.accent, false, true), r.pressed);
        EXPECT_EQ(button_fill(r.dark, r.accent, true, true), r.pressed) << "pressed wins over hover";
    }
}

TEST(ThemeColors, ButtonTextFollowsLuminance) {
    struct Row {
        COLORREF fill;
        COLORREF text;
    };
    const Row rows[] = {
        {0xCC6600, 0xFFFFFF},  // light accent: luminance about 83
        {0xFAFAFA, 0x141414},  // light normal
        {0x2E2E2E, 0xFFFFFF},  // dark normal
        {0xCECECE, 0x141414},  // light pressed
        {0xEE8A2E, 0xFFFFFF},  // dark accent hover: 0.299*46+0.587*138+0.114*238 = 122.4
        {RGB(160, 160, 160), 0xFFFFFF},  // exactly 160 is not above it
        {RGB(161, 160, 160), 0x141414},  // 160.299
    };
    for (const Row& r : rows) EXPECT_EQ(button_text_color(r.fill), r.text) << std::hex << r.fill;
}

}  // namespace
