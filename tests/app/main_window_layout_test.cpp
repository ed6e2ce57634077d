// The main window's layout arithmetic and its key table.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ui/main_window_keys.h"
#include "ui/main_window_layout.h"

namespace {

::testing::AssertionResult RectIs(const RECT& r, int x, int y, int w, int h) {
    if (r.left == x && r.top == y && r.right - r.left == w && r.bottom - r.top == h)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << r.left << "," << r.top << ") " << r.right - r.left << "x"
                                         << r.bottom - r.top << ", want (" << x << "," << y << ") " << w << "x" << h;
}

TEST(MenuBar, ButtonWidthsAndTotal) {
    EXPECT_EQ(menu_button_width(0), 40);
    EXPECT_EQ(menu_button_width(28), 40);
    EXPECT_EQ(menu_button_width(29), 41);
    EXPECT_EQ(menu_button_width(60), 72);
    // 10 + (40+1) + (72+1) + 12
    EXPECT_EQ(menu_bar_width({20, 60}), 136);
    EXPECT_EQ(menu_bar_width({}), 22);
}

MainLayoutInput input(int w, int h, bool collapsed, int cw) {
    MainLayoutInput in;
    in.client_w = w;
    in.client_h = h;
    in.top_bar_height = 30;
    in.collapsed = collapsed;
    in.categories_width = cw;
    in.menu_text_widths = {25, 30, 70, 35, 60, 40};
    in.total_text_width = 50;
    return in;
}

TEST(MainLayout, WideWindowWithSidePanel) {
    MainLayout l = compute_main_layout(input(560, 744, false, 130));
    ASSERT_EQ(l.menu_buttons.size(), 6u);
    EXPECT_TRUE(RectIs(l.menu_buttons[0], 10, 2, 40, 26));
    EXPECT_TRUE(RectIs(l.menu_buttons[1], 51, 2, 42, 26));
    EXPECT_TRUE(RectIs(l.menu_buttons[2], 94, 2, 82, 26));
    EXPECT_TRUE(RectIs(l.menu_buttons[5], 10 + 41 + 43 + 83 + 48 + 73, 2, 52, 26));
    EXPECT_TRUE(RectIs(l.search, 12, 73, 502, 22));
    EXPECT_TRUE(RectIs(l.search_button, 520, 70, 28, 28));
    ASSERT_TRUE(l.side_visible);
    EXPECT_TRUE(RectIs(l.side, 12, 104, 130, 610));
    // F = 560 - 130 - 24 = 406; the cards list reaches the right edge.
    EXPECT_TRUE(RectIs(l.cards, 154, 104, 406, 610));
    EXPECT_TRUE(RectIs(l.empty_hint, 154, 134, 560 - 154 - 24, 60));
    EXPECT_TRUE(RectIs(l.watch_box, 12, 714, 210, 28));
    EXPECT_TRUE(RectIs(l.total_label, 560 - 58 - 12, 714, 58, 28));
}

TEST(MainLayout, CollapsedPanelHidesSideList) {
    MainLayout l = compute_main_layout(input(560, 744, true, 130));
    EXPECT_FALSE(l.side_visible);
    EXPECT_TRUE(RectIs(l.cards, 12, 104, 536, 610));
    EXPECT_TRUE(RectIs(l.empty_hint, 12, 134, 524, 60));
}

TEST(MainLayout, NarrowWindowShrinksSideList) {
    struct Case {
        int w;
        bool side;
        int side_w;
        int cards_x;
        int cards_w;
    } cases[] = {
        {354, true, 130, 154, 200},  // F = 200: the side list keeps its width
        {353, true, 129, 153, 200},  // F = 199 < 200: side = W - 224
        {300, true, 76, 100, 200},  {225, true, 1, 25, 200}, {224, false, 0, 12, 200},  // W - 224 = 0: hidden
        {150, false, 0, 12, 126},
    };
    for (const Case& c : cases) {
        MainLayout l = compute_main_layout(input(c.w, 500, false, 130));
        EXPECT_EQ(l.side_visible, c.side) << c.w;
        if (c.side) {
            EXPECT_EQ(l.side.right - l.side.left, c.side_w) << c.w;
        }
        EXPECT_EQ(l.cards.left, c.cards_x) << c.w;
        EXPECT_EQ(l.cards.right - l.cards.left, c.cards_w) << c.w;
    }
}

TEST(MainLayout, MinimumsOfSearchAndList) {
    MainLayout l = compute_main_layout(input(100, 120, true, 130));
    EXPECT_TRUE(RectIs(l.search, 12, 73, 120, 22));  // at least 120 wide
    EXPECT_TRUE(RectIs(l.search_button, 138, 70, 28, 28));
    EXPECT_EQ(l.cards.bottom - l.cards.top, 40);  // at least 40 high
    MainLayoutInput in = input(560, 744, false, 130);
    in.total_text_width = -1;  // no DC
    EXPECT_TRUE(RectIs(compute_main_layout(in).total_label, 508, 714, 40, 28));
    in.total_text_width = 10;
    EXPECT_TRUE(RectIs(compute_main_layout(in).total_label, 508, 714, 40, 28));
}

TEST(MainLayout, WatchSwitchGrowsWithItsLabel) {
    for (auto [text, width] : {std::pair{-1, 210}, std::pair{100, 210}, std::pair{154, 210}, std::pair{155, 211},
                               std::pair{236, 292}}) {
        EXPECT_EQ(watch_box_width(text), width) << text;
        MainLayoutInput in;
        in.client_w = 700;
        in.client_h = 400;
        in.watch_text_width = text;
        const MainLayout l = compute_main_layout(in);
        EXPECT_EQ(l.watch_box.left, 12);
        EXPECT_EQ(l.watch_box.right - l.watch_box.left, width) << text;
    }
}

// The narrowest client: the widest of the menu bar, the toolbar, the
// bottom row and the side panel beside the narrowest cards list.
TEST(MainLayout, NarrowestClientKeepsEveryRow) {
    struct Case {
        std::vector<int> menus;
        int watch, total, side;
        bool collapsed;
        int cards, expected;
    } cases[] = {
        {{28, 28, 28, 28, 28, 28}, 100, 60, 130, true, 0, 412},       // the toolbar: 6 + 378 + 28
        {{60, 80, 90, 70, 100, 50}, 100, 60, 130, true, 0, 550},      // 10 + 522 + 6 + 12
        {{28, 28, 28, 28, 28, 28}, 300, 100, 130, true, 0, 496},      // 12 + 356 + 8 + 108 + 12
        {{28, 28, 28, 28, 28, 28}, 100, 60, 212, false, 327, 563},    // 212 + 24 + 327
        {{28, 28, 28, 28, 28, 28}, 100, 60, 212, true, 327, 412},     // collapsed: 24 + 327
    };
    for (const Case& c : cases) {
        MainLayoutInput in;
        in.menu_text_widths = c.menus;
        in.watch_text_width = c.watch;
        in.total_text_width = c.total;
        in.categories_width = c.side;
        in.collapsed = c.collapsed;
        in.cards_min_width = c.cards;
        EXPECT_EQ(main_min_client_width(in), c.expected) << c.watch << " " << c.side;
    }
    EXPECT_EQ(cards_min_width(150, 17), 150 + 28 + 120 + 17);
}

TEST(Toolbar, SlotsInOrder) {
    const auto& s = toolbar_slots();
    const int ids[] = {201, 202, 220, 221, 203, 0, 205, 206, 0, 204, 207, 0, 209, 0, 208};
    const int xs[] = {6, 36, 66, 96, 126, 156, 174, 204, 234, 252, 282, 312, 330, 360, 378};
    ASSERT_EQ(s.size(), std::size(ids));
    for (size_t i = 0; i < s.size(); ++i) {
        EXPECT_EQ(s[i].id, ids[i]) << i;
        EXPECT_EQ(s[i].x, xs[i]) << i;
        EXPECT_EQ(s[i].glyph == 0, ids[i] == 0) << i;
    }
    EXPECT_EQ(s[0].glyph, L'\uE77F');
    EXPECT_EQ(s[14].glyph, L'\uE713');
}

TEST(PanelToggle, CollapseKeepsRightEdge) {
    PanelToggleInput in;
    in.window = RECT{500, 100, 1100, 900};  // 600 wide
    in.collapsing = true;
    in.categories_width = 130;
    in.min_width = 300;
    in.work = RECT{0, 0, 1920, 1040};
    PanelToggleResult r = compute_panel_toggle(in);
    EXPECT_EQ(r.width, 470);
    EXPECT_EQ(r.x, 630);
    EXPECT_EQ(r.expanded_width, 600);
    // Never below the menu bar's width.
    in.min_width = 520;
    r = compute_panel_toggle(in);
    EXPECT_EQ(r.width, 520);
    EXPECT_EQ(r.x, 580);
    // A negative panel width removes nothing.
    in.min_width = 300;
    in.categories_width = -5;
    EXPECT_EQ(compute_panel_toggle(in).width, 600);
}

TEST(PanelToggle, ExpandUsesRememberedWidthOrAddsPanel) {
    PanelToggleInput in;
    in.window = RECT{500, 100, 970, 900};  // 470 wide
    in.collapsing = false;
    in.categories_width = 130;
    in.expanded_width = 600;
    in.work = RECT{0, 0, 1920, 1040};
    PanelToggleResult r = compute_panel_toggle(in);
    EXPECT_EQ(r.width, 600);
    EXPECT_EQ(r.x, 370);
    EXPECT_EQ(r.expanded_width, 600);
    in.expanded_width = 0;  // nothing remembered: add the panel width
    r = compute_panel_toggle(in);
    EXPECT_EQ(r.width, 600);
    in.expanded_width = 400;  // never narrower than now
    EXPECT_EQ(compute_panel_toggle(in).width, 470);
    in.expanded_width = 0;
    in.categories_width = -1;
    EXPECT_EQ(compute_panel_toggle(in).width, 470);
}

TEST(PanelToggle, StaysInsideWorkArea) {
    PanelToggleInput in;
    in.work = RECT{0, 0, 1920, 1040};
    in.categories_width = 130;
    // Expanding near the left edge: the left edge would leave the work area.
    in.window = RECT{50, 100, 520, 900};
    in.collapsing = false;
    in.expanded_width = 600;
    PanelToggleResult r = compute_panel_toggle(in);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.width, 600);
    // A window already left of the work area is not pulled in.
    in.window = RECT{-100, 100, 370, 900};
    EXPECT_EQ(compute_panel_toggle(in).x, -230);
    // Pulled in at the left, the right edge would pass the work area: the
    // window then ends at the work area's right edge.
    in.work = RECT{0, 0, 500, 1040};
    in.window = RECT{50, 100, 450, 900};
    r = compute_panel_toggle(in);
    EXPECT_EQ(r.width, 600);
    EXPECT_EQ(r.x, -100);
}

TEST(RememberWidth, AddsPanelWhileCollapsed) {
    EXPECT_EQ(expanded_width_for(470, true, 130), 600);
    EXPECT_EQ(expanded_width_for(470, false, 130), 470);
    EXPECT_EQ(expanded_width_for(470, true, -3), 470);
}

TEST(Tooltip, CentredUnderButtonAndKeptInClient) {
    RECT b{126, 30, 154, 58};
    EXPECT_TRUE(RectIs(tooltip_rect(b, 40, 560), 140 - 27, 60, 54, 24));
    EXPECT_TRUE(RectIs(tooltip_rect(b, 5, 560), 125, 60, 30, 24));  // at least 30 wide
    RECT left{6, 30, 34, 58};
    EXPECT_TRUE(RectIs(tooltip_rect(left, 100, 560), 0, 60, 114, 24));
    // The rightmost button of a narrow window: shifted left.
    RECT right{378, 30, 406, 58};
    EXPECT_TRUE(RectIs(tooltip_rect(right, 90, 420), 420 - 104, 60, 104, 24));
    EXPECT_TRUE(RectIs(tooltip_rect(right, 500, 420), 0, 60, 514, 24));
}

TEST(Toast, GeometryOverList) {
    // 100-pixel-wide list: 84 wide, 8 from its left edge.
    EXPECT_TRUE(RectIs(toast_rect(RECT{154, 104, 254, 714}, 200), 162, 666, 84, 36));
    // Wide list: centred, 48 above the bottom.
    EXPECT_TRUE(RectIs(toast_rect(RECT{154, 104, 560, 714}, 60), 154 + (406 - 108) / 2, 666, 108, 36));
    // Short list: at least 8 below its top.
    EXPECT_TRUE(RectIs(toast_rect(RECT{12, 104, 412, 140}, 60), 12 + (400 - 108) / 2, 112, 108, 36));
    // A list narrower than 16 pixels.
    EXPECT_TRUE(RectIs(toast_rect(RECT{12, 104, 22, 714}, 60), 14, 666, 0, 36));
}

TEST(Wheel, WholeNotches) {
    WheelStep s = wheel_step(0, 60);
    EXPECT_EQ(s.notches, 0);
    EXPECT_EQ(s.remainder, 60);
    s = wheel_step(s.remainder, 60);
    EXPECT_EQ(s.notches, 1);
    EXPECT_EQ(s.remainder, 0);
    s = wheel_step(0, -360);
    EXPECT_EQ(s.notches, -3);
    s = wheel_step(50, -170);
    EXPECT_EQ(s.notches, -1);
    EXPECT_EQ(s.remainder, 0);
    s = wheel_step(0, -100);
    EXPECT_EQ(s.notches, 0);
    EXPECT_EQ(s.remainder, -100);
}

TEST(Wheel, TopIndex) {
    EXPECT_EQ(wheel_top_index(10, -1, 3, 50), 13);  // a notch down with 3 lines
    EXPECT_EQ(wheel_top_index(0, 1, 1, 50), 0);     // at the top a notch up changes nothing
    EXPECT_EQ(wheel_top_index(48, -2, 4, 50), 49);
    EXPECT_EQ(wheel_top_index(10, 1, 0, 50), 9);  // lines below 1 count as 1
    EXPECT_EQ(wheel_top_index(10, 1, 9, 50), 6);  // lines above 4 count as 4
}

TEST(FontSize, Clamped) {
    EXPECT_EQ(clamp_font_size(25), 18);
    EXPECT_EQ(clamp_font_size(5), 10);
    EXPECT_EQ(clamp_font_size(14), 14);
}

TEST(RestoreView, FromSettings) {
    struct Case {
        bool templates;
        int filter, cat;
        bool e_templates;
        int e_kind, e_cat;
    } cases[] = {
        {true, 6, 5, true, 0, -1},     {false, 6, 5, false, 6, -1},  {false, 5, 7, false, 5, 7},
        {false, 5, 0, false, 0, -1},   {false, 3, 7, false, 3, -1},  {false, 4, -1, false, 4, -1},
        {false, 1, -1, false, 1, -1},  {false, 0, -1, false, 0, -1}, {false, 9, -1, false, 0, -1},
        {false, -2, -1, false, 0, -1},
    };
    for (const Case& c : cases) {
        RestoredView v = restore_view(c.templates, c.filter, c.cat);
        EXPECT_EQ(v.templates_mode, c.e_templates) << c.filter;
        EXPECT_EQ(v.view_kind, c.e_kind) << c.filter;
        EXPECT_EQ(v.category_id, c.e_cat) << c.filter;
    }
}

}  // namespace

TEST(MainKeys, EscHidesAndCtrlFSearches) {
    struct Case {
        unsigned vk;
        bool ctrl, shift, alt;
        MainKeyAction action;
    };
    const Case cases[] = {
        {VK_ESCAPE, false, false, false, MainKeyAction::Hide},
        {VK_ESCAPE, false, true, false, MainKeyAction::Hide},
        {VK_ESCAPE, true, false, false, MainKeyAction::None},   // the system's Start menu
        {VK_ESCAPE, false, false, true, MainKeyAction::None},   // the system's window switch
        {'F', true, false, false, MainKeyAction::FocusSearch},
        {'F', false, false, false, MainKeyAction::None},        // a letter for the search box
        {'F', true, true, false, MainKeyAction::None},
        {'F', true, false, true, MainKeyAction::None},          // AltGr on some layouts
        {VK_RETURN, false, false, false, MainKeyAction::None},  // the cards list's own
        {'G', true, false, false, MainKeyAction::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(main_key_action(c.vk, c.ctrl, c.shift, c.alt), c.action)
            << c.vk << " ctrl " << c.ctrl << " shift " << c.shift << " alt " << c.alt;
}

// Down and Up in the search box: the first key after the text changed
// takes the first row that can be selected (group headers cannot), the
// next ones go on from there and stay at either end.
TEST(MainWindowKeys, SearchBoxStepsThroughTheRows) {
    const std::vector<bool> headers = {true, false, false, true, false};  // rows 0 and 3 are group headers
    const auto selectable = [&](int row) { return !headers[static_cast<size_t>(row)]; };
    struct Case {
        int count;
        int from;
        int step;
        bool with_headers;
        int row;
    } cases[] = {
        {0, -1, 1, false, -1},  // an empty list
        {5, -1, 1, false, 0},   {5, -1, -1, false, 0},  // a fresh start: the first row either way
        {5, 0, 1, false, 1},    {5, 3, 1, false, 4},    {5, 4, 1, false, 4},  // stays at the end
        {5, 2, -1, false, 1},   {5, 0, -1, false, 0},   // stays at the top
        {5, 7, 1, false, 0},    // a row that is gone: a fresh start
        {5, -1, 1, true, 1},    {5, 2, 1, true, 4},     {5, 4, -1, true, 2},  {5, 1, -1, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " from " << c.from << " step " << c.step << " headers "
                                        << c.with_headers);
        EXPECT_EQ(search_step_row(c.count, c.from, c.step, c.with_headers ? std::function<bool(int)>(selectable)
                                                                           : std::function<bool(int)>()),
                  c.row);
    }
    EXPECT_EQ(search_step_row(2, -1, 1, [](int) { return false; }), -1) << "only headers";
}

// Where Down and Up in the search box start: from the row the user chose
// (with the mouse or the keys, in the list or the box) while the box holds
// the text it was chosen with; from the top once the text changed, when the
// selection is not the chosen one, or with nothing selected. Row 3 selected
// in a list of six: Down takes row 4 and Up row 2.
TEST(MainWindowKeys, SearchBoxKeysGoOnFromTheChosenRow) {
    constexpr std::int64_t kChosen = 103;  // the key of row 3
    struct Case {
        const char* name;
        int selected_row;            // -1: nothing selected
        std::int64_t selected_key;
        SearchStep chosen;
        std::wstring text;           // in the box now
        int down, up;                // the rows Down and Up select
    } cases[] = {
        {"row 3 clicked, no text", 3, kChosen, {L"", kChosen}, L"", 4, 2},
        {"row 3 chosen with the text that stands", 3, kChosen, {L"app", kChosen}, L"app", 4, 2},
        {"the text changed since", 3, kChosen, {L"app", kChosen}, L"appl", 0, 0},
        {"the choice forgotten by a change of the text", 3, kChosen, {}, L"", 0, 0},
        {"another row selected since, not by the user", 2, 102, {L"", kChosen}, L"", 0, 0},
        {"nothing selected", -1, 0, {L"", kChosen}, L"", 0, 0},
        {"the last row chosen", 5, 105, {L"", 105}, L"", 5, 4},
        {"the first row chosen", 0, 100, {L"x", 100}, L"x", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int from = search_step_from(c.selected_row, c.selected_key, c.chosen, c.text);
        EXPECT_EQ(search_step_row(6, from, 1, {}), c.down);
        EXPECT_EQ(search_step_row(6, from, -1, {}), c.up);
    }
}
