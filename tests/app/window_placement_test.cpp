// Start-up size and place of the main window, and the capture exclusion rule.
#include <gtest/gtest.h>

#include "app/window_placement.h"

namespace {

bool same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(WorkArea, UsableRectangle) {
    struct Case {
        bool ok;
        RECT reported;
        RECT expected;
    } cases[] = {
        {true, {0, 0, 1920, 1040}, {0, 0, 1920, 1040}},    {true, {100, 50, 1300, 850}, {100, 50, 1300, 850}},
        {false, {100, 50, 1300, 850}, {0, 0, 1920, 1080}}, {true, {0, 0, 0, 0}, {0, 0, 1920, 1080}},
        {true, {500, 0, 400, 900}, {0, 0, 1920, 900}},    // width below 1
        {true, {0, 300, 1000, 300}, {0, 0, 1000, 1080}},  // height below 1
    };
    for (const Case& c : cases) {
        RECT r = usable_work_area(c.ok, c.reported, 1920, 1080);
        EXPECT_TRUE(same(r, c.expected)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

TEST(InitialSize, ClampsToDefaultsAndWorkArea) {
    struct Case {
        int w, h;
        RECT work;
        int ew, eh;
    } cases[] = {
        {300, 200, {0, 0, 1920, 1040}, 576, 783},  // too small: the defaults
        {300, 200, {0, 0, 500, 700}, 480, 660},    // defaults limited to work - 20 / - 40
        {300, 200, {0, 0, 300, 200}, 400, 300},    // never below 400 x 300
        {399, 299, {0, 0, 1920, 1040}, 576, 783},     {400, 300, {0, 0, 1920, 1040}, 400, 300},
        {620, 440, {0, 0, 1920, 1040}, 620, 440},     {5000, 5000, {0, 0, 1920, 1040}, 1900, 1000},
        {5000, 5000, {100, 0, 1124, 768}, 1004, 728},
    };
    for (const Case& c : cases) {
        SIZE s = initial_window_size(c.w, c.h, c.work);
        EXPECT_EQ(s.cx, c.ew) << c.w << "x" << c.h;
        EXPECT_EQ(s.cy, c.eh) << c.w << "x" << c.h;
    }
}

TEST(InitialPosition, NegativeCoordinateUsesDefaultPlacement) {
    struct Case {
        int x, y;
        bool by_cursor;
    } cases[] = {{-1, -1, true}, {-1, 100, true}, {100, -1, true}, {0, 0, false}, {250, 120, false}};
    for (const Case& c : cases) {
        CreatePosition p = initial_window_position(c.x, c.y);
        EXPECT_EQ(p.placed_by_cursor, c.by_cursor) << c.x << "," << c.y;
        if (c.by_cursor) {
            // Both default: an explicit y beside a default x is no valid place.
            EXPECT_EQ(p.x, CW_USEDEFAULT);
            EXPECT_EQ(p.y, CW_USEDEFAULT);
        } else {
            EXPECT_EQ(p.x, c.x);
            EXPECT_EQ(p.y, c.y);
        }
    }
}

TEST(CursorPlacement, KeptInsideWorkArea) {
    const RECT work{0, 0, 1920, 1040};
    const SIZE size{576, 783};
    struct Case {
        POINT cursor;
        POINT expected;
    } cases[] = {
        {{1000, 500}, {690, 257}},  // min(460, 1040 - 783 = 257)
        {{1000, 100}, {690, 60}},
        {{100, 10}, {0, 0}},          // left and top edges
        {{1919, 1039}, {1344, 257}},  // right and bottom edges
    };
    for (const Case& c : cases) {
        POINT p = cursor_placement(c.cursor, size, work);
        EXPECT_EQ(p.x, c.expected.x) << c.cursor.x << "," << c.cursor.y;
        EXPECT_EQ(p.y, c.expected.y) << c.cursor.x << "," << c.cursor.y;
    }
    // A window larger than the work area stays at its top-left corner.
    POINT p = cursor_placement({800, 800}, SIZE{3000, 2000}, RECT{10, 20, 1000, 900});
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
}

TEST(CaptureExclusion, OnlyShortValuesBeginningWithOneAllowCapture) {
    EXPECT_TRUE(capture_exclusion_wanted(false, L""));
    EXPECT_TRUE(capture_exclusion_wanted(true, L""));
    EXPECT_TRUE(capture_exclusion_wanted(true, L"0"));
    EXPECT_TRUE(capture_exclusion_wanted(true, L"yes"));
    EXPECT_TRUE(capture_exclusion_wanted(true, L"10000000"));  // 8 characters do not fit
    EXPECT_FALSE(capture_exclusion_wanted(true, L"1"));
    EXPECT_FALSE(capture_exclusion_wanted(true, L"1abc"));
    EXPECT_FALSE(capture_exclusion_wanted(true, L"1000000"));  // 7 characters
}

}  // namespace
