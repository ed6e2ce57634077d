// The pure geometry of the theme: fitting, centring, line counts, the
// entry hint's layout and the parts of the painted controls.
#include "theme/geometry.h"

#include <gtest/gtest.h>

#include "theme/painters.h"

// Printed as "WxH" in failures.
inline void PrintTo(const FittedSize& s, std::ostream* os) { *os << s.width << "x" << s.height; }

namespace {

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(FitSize, Table) {
    struct Row {
        int w, h, mw, mh;
        FittedSize want;
    };
    const Row rows[] = {
        {1000, 500, 400, 400, {400, 200}},
        {100, 50, 400, 400, {100, 50}},  // never enlarged
        {0, 0, 400, 400, {1, 1}},
        {-5, 20, 400, 400, {1, 20}},
        {79, 79, 42, 42, {42, 42}},  // the limiting side is exact
        {500, 1000, 400, 400, {200, 400}},
        {1000, 999, 400, 400, {400, 399}},
        {999, 1000, 400, 400, {399, 400}},
        {10000, 1, 42, 42, {42, 1}},  // at least 1
        {1, 10000, 42, 42, {1, 42}},
        {400, 400, 400, 400, {400, 400}},
        {401, 300, 400, 400, {400, 299}},
        {1600, 1200, 0, 0, {1, 1}},  // a non-positive box counts as 1 x 1
    };
    for (const Row& r : rows)
        EXPECT_EQ(fit_size(r.w, r.h, r.mw, r.mh), r.want) << r.w << "x" << r.h << " into " << r.mw << "x" << r.mh;
}

TEST(FitSize, LimitingSideMeetsTheBoxForEveryWidth) {
    // Every width and box tried in doubles lost a pixel somewhere; in
    // integers the side that limits always equals its maximum.
    for (int box = 20; box <= 60; box += 2) {
        for (int w = 1; w <= 400; ++w) {
            const FittedSize s = fit_size(w, w, box, box);
            const int want = w > box ? box : w;
            ASSERT_EQ(s.width, want) << w << " into " << box;
            ASSERT_EQ(s.height, want) << w << " into " << box;
        }
    }
    for (int w = 43; w <= 2000; ++w) {
        const FittedSize s = fit_size(w, 37, 42, 42);
        ASSERT_EQ(s.width, 42);
        ASSERT_EQ(s.height, std::max<int64_t>(1, 37LL * 42 / w));
    }
}

TEST(ScaleToFit, EnlargesAndShrinks) {
    struct Row {
        int w, h, mw, mh;
        FittedSize want;
    };
    const Row rows[] = {
        {100, 50, 400, 400, {400, 200}},
        {50, 100, 340, 200, {100, 200}},
        {1000, 500, 400, 400, {400, 200}},
        {79, 79, 42, 42, {42, 42}},
        {3, 3, 340, 200, {200, 200}},
        {0, 0, 10, 20, {10, 10}},
    };
    for (const Row& r : rows) EXPECT_EQ(scale_to_fit(r.w, r.h, r.mw, r.mh), r.want) << r.w << "x" << r.h;
}

TEST(CenteredOrigin, CentresAndKeepsTheTopLeftInside) {
    const RECT work{0, 0, 1920, 1040};
    POINT p = centered_origin(work, 400, 300);
    EXPECT_EQ(p.x, 760);
    EXPECT_EQ(p.y, 370);
    p = centered_origin(work, 2500, 1200);  // larger than the work area
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    const RECT second{1920, 40, 3840, 1080};  // a monitor to the right, taskbar at the top
    p = centered_origin(second, 401, 301);
    EXPECT_EQ(p.x, 1920 + (1920 - 401) / 2);
    EXPECT_EQ(p.y, 40 + (1040 - 301) / 2);
    p = centered_origin(second, 3000, 2000);
    EXPECT_EQ(p.x, 1920);
    EXPECT_EQ(p.y, 40);
}

TEST(CountLines, Table) {
    struct Row {
        const wchar_t* text;
        int lines;
    };
    const Row rows[] = {
        {L"", 1}, {L"\n", 1}, {L"a", 1}, {L"a\n", 1}, {L"a\n\nb", 3}, {L"a\nb", 2},
        {L"\n\n", 2}, {L"a\r\nb\r\n", 2}, {L"\na", 2},
    };
    for (const Row& r : rows) EXPECT_EQ(count_lines(r.text), r.lines) << testing::PrintToString(std::wstring(r.text));
}

TEST(HintLayout, ScrollingBody) {
    const HintLayout l = compute_hint_layout(360, 500, 2, 0, 300);
    EXPECT_EQ(l.meta_line_height, 20);
    EXPECT_EQ(l.meta_line_count, 2);
    EXPECT_EQ(l.content_height, 500);
    EXPECT_EQ(l.visible_body_height, 214);
    EXPECT_TRUE(l.scroll);
    EXPECT_EQ(l.wrap_width, 326);
    EXPECT_EQ(l.body_top, 18);
    EXPECT_EQ(l.body_bottom, 232);
    EXPECT_EQ(l.separator_y, 238);
    EXPECT_EQ(l.total_height, 300);
    EXPECT_EQ(l.width, 360);
}

TEST(HintLayout, ShortBodyAndLimits) {
    // Content shorter than a meta line grows to it; no scroll bar.
    HintLayout l = compute_hint_layout(200, 5, 0, 16, 380);
    EXPECT_EQ(l.meta_line_count, 1);
    EXPECT_EQ(l.content_height, 16);
    EXPECT_EQ(l.visible_body_height, 16);
    EXPECT_FALSE(l.scroll);
    EXPECT_EQ(l.wrap_width, 176);
    EXPECT_EQ(l.total_height, (16 + 4) + 14 + 16 + 24);
    // A tiny maximum still leaves 40 pixels of body.
    l = compute_hint_layout(20, 100, 3, 20, 50);
    EXPECT_EQ(l.visible_body_height, 40);
    EXPECT_TRUE(l.scroll);
    EXPECT_EQ(l.wrap_width, 1);  // 20 - 34 is not positive
}

TEST(ToggleLayout, PartsOfTheSwitch) {
    const RECT rc{0, 0, 200, 24};
    ToggleLayout on = toggle_layout(rc, true);
    ToggleLayout off = toggle_layout(rc, false);
    EXPECT_TRUE((on.track_region == RECT{0, 2, 41, 23}));
    EXPECT_TRUE((on.track_outline == RECT{0, 2, 40, 22}));
    EXPECT_TRUE((on.knob == RECT{22, 4, 38, 20}));
    EXPECT_TRUE((off.knob == RECT{2, 4, 18, 20}));
    EXPECT_EQ(on.label.left, 48);
    EXPECT_EQ(on.label.right, 198);
    // Offset rectangles move every part.
    ToggleLayout moved = toggle_layout(RECT{10, 100, 300, 131}, false);
    EXPECT_TRUE((moved.track_region == RECT{10, 105, 51, 126}));
    EXPECT_TRUE((moved.knob == RECT{12, 107, 28, 123}));
}

TEST(Chevron, TrianglePointsUpAndDown) {
    const RECT rc{0, 0, 30, 20};  // w 30: cx 15, cy 10, w/3 10, w/6 5
    Triangle up = chevron_triangle(rc, true);
    EXPECT_EQ(up.p[0].x, 5);
    EXPECT_EQ(up.p[0].y, 15);
    EXPECT_EQ(up.p[1].x, 25);
    EXPECT_EQ(up.p[1].y, 15);
    EXPECT_EQ(up.p[2].x, 15);
    EXPECT_EQ(up.p[2].y, 5);
    Triangle down = chevron_triangle(rc, false);
    EXPECT_EQ(down.p[0].y, 5);
    EXPECT_EQ(down.p[1].y, 5);
    EXPECT_EQ(down.p[2].y, 15);
}

TEST(ArrowStrip, ComboUsesTheScrollBarWidth) {
    const RECT rc{0, 0, 120, 24};
    EXPECT_TRUE((arrow_strip(rc, true, 17) == RECT{103, 0, 120, 24}));
    EXPECT_TRUE((arrow_strip(rc, false, 17) == rc));
}

}  // namespace
