// The view window's arithmetic without a window: the image area, wheel
// zoom and its limits, zoomed sizes, pan limits, the picture's place, and
// the texts of the info band.
#include "ui/dialogs/view_dialog.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/i18n.h"

namespace {

TEST(ViewDialogGeometry, ImageAreaInsetsTheClient) {
    struct Case {
        RECT client;
        RECT area;
    } cases[] = {
        {{0, 0, 624, 441}, {10, 10, 614, 323}},
        {{0, 0, 300, 200}, {10, 10, 290, 82}},
        {{0, 0, 15, 100}, {10, 10, 10, 10}},   // too small: no width or height left
        {{0, 0, 0, 0}, {10, 10, 10, 10}},
    };
    for (const Case& c : cases) {
        const RECT a = view_image_area(c.client);
        EXPECT_EQ(a.left, c.area.left);
        EXPECT_EQ(a.top, c.area.top);
        EXPECT_EQ(a.right, c.area.right) << c.client.right;
        EXPECT_EQ(a.bottom, c.area.bottom) << c.client.bottom;
    }
}

TEST(ViewDialogZoom, WheelNotchesScaleByFifteenPercentWithinLimits) {
    struct Case {
        float zoom;
        int delta;
        float expected;
    } cases[] = {
        {1.0f, 120, 1.15f},
        {1.0f, -120, 1.0f / 1.15f},
        {1.0f, 240, 1.3225f},
        {1.0f, 60, static_cast<float>(std::sqrt(1.15))},  // a half notch of a fine wheel
        {7.9f, 120, 8.0f},
        {8.0f, 120, 8.0f},
        {0.26f, -120, 0.25f},
        {0.25f, -1200, 0.25f},
        {2.0f, 0, 2.0f},
    };
    for (const Case& c : cases) EXPECT_NEAR(view_wheel_zoom(c.zoom, c.delta), c.expected, 1e-4) << c.zoom << " " << c.delta;
}

TEST(ViewDialogZoom, FifteenNotchesUpReachEightAndTenDownReachAQuarter) {
    float z = 1.0f;
    for (int i = 0; i < 14; ++i) z = view_wheel_zoom(z, 120);
    EXPECT_LT(z, 8.0f);
    z = view_wheel_zoom(z, 120);
    EXPECT_FLOAT_EQ(z, 8.0f);
    EXPECT_FLOAT_EQ(view_wheel_zoom(z, 120), 8.0f);
    z = 1.0f;
    for (int i = 0; i < 9; ++i) z = view_wheel_zoom(z, -120);
    EXPECT_GT(z, 0.25f);
    z = view_wheel_zoom(z, -120);
    EXPECT_FLOAT_EQ(z, 0.25f);
}

TEST(ViewDialogZoom, ZoomedSizeTruncatesAndIsAtLeastOne) {
    struct Case {
        int w, h;
        float zoom;
        LONG cx, cy;
    } cases[] = {
        {100, 100, 1.0f, 100, 100}, {100, 50, 1.15f, 114, 57}, {3, 2, 0.25f, 1, 1},
        {604, 313, 8.0f, 4832, 2504}, {1, 1, 0.25f, 1, 1},
    };
    for (const Case& c : cases) {
        const SIZE s = view_zoomed_size(c.w, c.h, c.zoom);
        EXPECT_EQ(s.cx, c.cx) << c.w << "x" << c.h << " at " << c.zoom;
        EXPECT_EQ(s.cy, c.cy);
    }
}

TEST(ViewDialogPan, KeptWhereTheEdgeMeetsTheAreaEdge) {
    struct Case {
        int pan, zoomed, area, expected;
    } cases[] = {
        {50, 100, 200, 0},     // smaller than the area: centred
        {-7, 200, 200, 0},     // exactly the area: centred
        {30, 300, 200, 30},    // within the half of the excess
        {80, 300, 200, 50},
        {-80, 300, 200, -50},
        {9, 203, 200, 1},      // integer halving of an odd excess
        {-9, 203, 200, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(view_clamp_pan(c.pan, c.zoomed, c.area), c.expected) << c.pan << " " << c.zoomed << " " << c.area;
}

TEST(ViewDialogPan, OversizedOnEitherAxis) {
    const RECT area{10, 10, 210, 110};  // 200 x 100
    EXPECT_FALSE(view_oversized(SIZE{200, 100}, area));
    EXPECT_TRUE(view_oversized(SIZE{201, 50}, area));
    EXPECT_TRUE(view_oversized(SIZE{20, 101}, area));
}

TEST(ViewDialogPan, PictureIsCentredAndMovedByThePan) {
    const RECT area{10, 10, 210, 110};  // centre 110, 60
    RECT r = view_picture_rect(area, SIZE{100, 50}, 0, 0);
    EXPECT_EQ(r.left, 60);
    EXPECT_EQ(r.top, 35);
    EXPECT_EQ(r.right, 160);
    EXPECT_EQ(r.bottom, 85);
    // At the pan limit the picture's edge meets the area's edge.
    const SIZE big{400, 100};
    const int limit = view_clamp_pan(1000, big.cx, 200);
    r = view_picture_rect(area, big, limit, 0);
    EXPECT_EQ(r.left, area.left);
    r = view_picture_rect(area, big, -limit, 0);
    EXPECT_EQ(r.right, area.right);
}

TEST(ViewDialogTexts, CopyTimeAsTheBandShowsIt) {
    struct Case {
        const wchar_t* stamp;
        const wchar_t* shown;
    } cases[] = {
        {L"2024-03-05T07:08:09", L"05.03.2024 07:08"},
        {L"2024-12-31T23:59:00", L"31.12.2024 23:59"},
        {L"2024-03-05", L"05.03.2024 00:00"},   // no time: hour and minute 0
        {L"yesterday", L"yesterday"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(view_time_text(c.stamp), c.shown) << c.stamp;
}

TEST(ViewDialogTexts, InfoBandLines) {
    const std::wstring app = tr(L"card.app"), page = tr(L"card.page"), url = tr(L"card.url"),
                       created = tr(L"card.created");
    HistoryEntry e;
    e.created_at = L"2024-03-05T07:08:09";
    EXPECT_EQ(view_info_text(e), app + L"\u2014\n" + created + L"05.03.2024 07:08");

    e.source_app = L"C:\\Tools\\notes.exe";
    e.source_title = L"Title";
    e.source_url = L"https://example.org/";
    // Not a browser page: neither page line.
    EXPECT_EQ(view_info_text(e).find(page), std::wstring::npos);
    EXPECT_EQ(view_info_text(e).find(url), std::wstring::npos);

    e.is_browser_page = true;
    const std::wstring both = view_info_text(e);
    EXPECT_NE(both.find(L"\n" + page + L"Title\n" + url + L"https://example.org/\n"), std::wstring::npos) << both;

    e.source_title.clear();
    const std::wstring only_url = view_info_text(e);
    EXPECT_EQ(only_url.find(page), std::wstring::npos);
    EXPECT_NE(only_url.find(L"\n" + url + L"https://example.org/\n"), std::wstring::npos);
}

}  // namespace
