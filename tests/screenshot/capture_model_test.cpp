// The capture overlay's model without a window: geometry, and tables of
// input sequences (mouse, keys, toolbar buttons) with the selection,
// annotations, undo and redo, marker numbers and result they must leave;
// the final image with its annotations and blur; the crop of a grab.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "screenshot/capture_overlay.h"
#include "tests/screenshot/shot_test_support.h"
#include "theme/fonts.h"

namespace {

using shot_test::decode_png;
using shot_test::pattern_at;
using shot_test::pattern_grab;

// ---- geometry --------------------------------------------------------------------

TEST(CaptureGeometry, ClampRect) {
    const Box bounds{0, 0, 100, 80};
    struct Case {
        Box in, out;
    } cases[] = {
        {{10, 10, 20, 20}, {10, 10, 20, 20}},     // inside: unchanged
        {{-5, -7, 20, 20}, {0, 0, 20, 20}},       // moved in at the top left
        {{90, 70, 20, 20}, {80, 60, 20, 20}},     // moved in at the bottom right
        {{-50, 10, 300, 20}, {0, 10, 100, 20}},   // shrunk only when larger
        {{5, 5, 100, 500}, {0, 0, 100, 80}},
    };
    for (const Case& c : cases) EXPECT_EQ(clamp_rect(c.in, bounds), c.out);
    EXPECT_EQ(clamp_rect(Box{0, 0, 10, 10}, Box{-20, -30, 50, 50}), (Box{0, 0, 10, 10}));
    EXPECT_EQ(clamp_rect(Box{-40, -40, 10, 10}, Box{-20, -30, 50, 50}), (Box{-20, -30, 10, 10}));
}

TEST(CaptureGeometry, RectFromPoints) {
    struct Case {
        POINT a, b;
        bool square;
        Box out;
    } cases[] = {
        {{10, 10}, {30, 20}, false, {10, 10, 20, 10}},
        {{30, 20}, {10, 10}, false, {10, 10, 20, 10}},
        {{10, 10}, {30, 20}, true, {10, 10, 20, 20}},
        {{30, 30}, {10, 25}, true, {10, 10, 20, 20}},
        {{5, 5}, {5, 5}, false, {5, 5, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(rect_from_points(c.a, c.b, c.square), c.out);
}

TEST(CaptureGeometry, RectContainsIsHalfOpen) {
    const Box r{10, 20, 5, 5};
    EXPECT_TRUE(rect_contains(r, POINT{10, 20}));
    EXPECT_TRUE(rect_contains(r, POINT{14, 24}));
    EXPECT_FALSE(rect_contains(r, POINT{15, 24}));
    EXPECT_FALSE(rect_contains(r, POINT{14, 25}));
    EXPECT_FALSE(rect_contains(r, POINT{9, 20}));
}

TEST(CaptureGeometry, HandlesAreWholeEdgesCornersFirst) {
    const Box r{100, 100, 200, 100};  // right edge x = 300, bottom y = 200
    struct Case {
        POINT p;
        int handle;
    } cases[] = {
        {{100, 100}, 1}, {{93, 93}, 1},   {{200, 100}, 2}, {{300, 100}, 3}, {{307, 95}, 3},
        {{300, 150}, 4}, {{300, 200}, 5}, {{200, 200}, 6}, {{100, 200}, 7}, {{100, 150}, 8},
        {{150, 150}, 0},  // inside, away from the edges
        {{92, 150}, 0},   // beyond the tolerance
        {{308, 150}, 0}, {{200, 208}, 0}, {{106, 150}, 8}, {{107, 150}, 8}, {{108, 150}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hit_test_handles(r, c.p), c.handle) << c.p.x << "," << c.p.y;
    // A rectangle narrower than the tolerance: the left edge wins.
    EXPECT_EQ(hit_test_handles(Box{100, 100, 4, 100}, POINT{102, 150}), 8);
    EXPECT_EQ(hit_test_handles(Box{100, 100, 4, 100}, POINT{102, 100}), 1);
}

TEST(CaptureGeometry, StoredColourAndThickness) {
    EXPECT_EQ(initial_tool_colour(0), kDefaultToolColour);
    EXPECT_EQ(initial_tool_colour(-5), kDefaultToolColour);
    EXPECT_EQ(initial_tool_colour(0x43A02E), 0x43A02Eu);
    // High bits (a palette index to GDI) are dropped.
    EXPECT_EQ(initial_tool_colour(0x0100FF00), 0x00FF00u);
    EXPECT_EQ(initial_tool_colour(0x01000000), kDefaultToolColour);
    EXPECT_EQ(initial_thickness(0), 1);
    EXPECT_EQ(initial_thickness(-3), 1);
    EXPECT_EQ(initial_thickness(7), 7);
    EXPECT_EQ(initial_thickness(99), 24);
}

// ---- input sequences --------------------------------------------------------------------

// The left button as GetKeyState sees it on this thread.
void set_left_button(bool down) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_LBUTTON] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

struct Ev {
    enum Kind { Down, Move, Up, Key, Tool, Button, Wheel } kind;
    int x = 0, y = 0;      // point, or the wheel delta in x
    UINT key = 0;          // Key: virtual key; Tool: tool; Button: toolbar id
    bool ctrl = false, shift = false;
};
Ev down(int x, int y) { return {Ev::Down, x, y}; }
Ev move(int x, int y, bool shift = false) { return {Ev::Move, x, y, 0, false, shift}; }
Ev up(int x, int y) { return {Ev::Up, x, y}; }
Ev key(UINT vk, bool ctrl = false, bool shift = false) { return {Ev::Key, 0, 0, vk, ctrl, shift}; }
Ev tool(int t) { return {Ev::Tool, 0, 0, static_cast<UINT>(t)}; }
Ev button(int id) { return {Ev::Button, 0, 0, static_cast<UINT>(id)}; }
Ev wheel(int delta) { return {Ev::Wheel, delta}; }

void run_events(CaptureOverlay& o, const std::vector<Ev>& events) {
    for (const Ev& e : events) {
        switch (e.kind) {
            case Ev::Down:
                set_left_button(true);
                o.on_mouse_down(POINT{e.x, e.y});
                break;
            case Ev::Move: o.on_mouse_move(POINT{e.x, e.y}, e.shift); break;
            case Ev::Up:
                set_left_button(false);
                o.on_mouse_up(POINT{e.x, e.y});
                break;
            case Ev::Key: o.on_key_down(e.key, e.ctrl, e.shift); break;
            case Ev::Tool: o.set_tool(static_cast<int>(e.key)); break;
            case Ev::Wheel: o.on_mouse_wheel(e.x); break;
            case Ev::Button: {
                // Pressed and released over the button, as a click would.
                o.layout_toolbar();
                o.toolbar_visible = o.show_editor && o.selection_valid;
                int index = -1;
                for (std::size_t i = 0; i < o.buttons.size(); ++i)
                    if (o.buttons[i].id == static_cast<int>(e.key)) index = static_cast<int>(i);
                ASSERT_GE(index, 0) << "no toolbar button " << e.key;
                const RECT& r = o.buttons[static_cast<std::size_t>(index)].rect;
                const POINT c{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
                set_left_button(true);
                o.on_mouse_down(c);
                set_left_button(false);
                o.on_mouse_up(c);
                break;
            }
        }
    }
    set_left_button(false);
}

struct Case {
    const char* name;
    std::vector<Ev> events;
    std::optional<Box> selection;  // none: no valid selection
    std::vector<std::uint32_t> types = {};
    std::size_t undone = 0;
    std::vector<int> markers = {};  // numbers of the marker annotations, in order
    int action = 0;                 // the result's action (0: no result)
    bool closed = false;
    bool editor = true;
    std::optional<Box> initial = std::nullopt;
    int thickness = 3;
};

const Box kSel{50, 50, 200, 150};  // the selection most cases start with

std::vector<Case> cases() {
    return {
        {"click without drag selects nothing", {down(20, 20), up(20, 20)}, std::nullopt},
        {"7 x 100 is too narrow", {down(20, 20), move(27, 120), up(27, 120)}, std::nullopt},
        {"8 x 8 is kept", {down(20, 20), move(28, 28), up(28, 28)}, Box{20, 20, 8, 8}},
        {"drag up and left", {down(100, 90), move(40, 30), up(40, 30)}, Box{40, 30, 60, 60}},
        {"shift makes a square", {down(10, 10), move(50, 30, true), up(50, 30)}, Box{10, 10, 40, 40}},
        {"a drag past the edge is moved inside", {down(300, 250), move(500, 400), up(500, 400)}, Box{200, 150, 200, 150}},
        {"editor off: a dragged selection copies at once",
         {down(20, 20), move(60, 50), up(60, 50)},
         Box{20, 20, 40, 30}, {}, 0, {}, kActionCopy, true, false},
        {"editor off: a small drag does not finish",
         {down(20, 20), move(25, 50), up(25, 50)},
         std::nullopt, {}, 0, {}, 0, false, false},
        {"editor off: Enter finishes with done",
         {key(VK_RETURN)}, kSel, {}, 0, {}, kActionDone, true, false, kSel},
        {"arrow of length 3 is dropped", {down(100, 100), move(103, 100), up(103, 100)}, kSel, {},
         0, {}, 0, false, true, kSel},
        {"arrow of length 4 is kept", {down(100, 100), move(104, 100), up(104, 100)}, kSel, {kAnnArrow},
         0, {}, 0, false, true, kSel},
        {"line", {tool(kToolLine), down(100, 100), move(150, 120), up(150, 120)}, kSel, {kAnnLine},
         0, {}, 0, false, true, kSel},
        {"pencil", {tool(kToolPencil), down(100, 100), move(110, 100), move(120, 110), up(120, 110)}, kSel,
         {kAnnPencil}, 0, {}, 0, false, true, kSel},
        {"a 2-pixel-wide rectangle is dropped",
         {tool(kToolRectangle), down(100, 100), move(102, 140), up(102, 140)}, kSel, {}, 0, {}, 0, false,
         true, kSel},
        {"3 x 3 rectangle is kept", {tool(kToolRectangle), down(100, 100), move(103, 103), up(103, 103)}, kSel,
         {kAnnRectangle}, 0, {}, 0, false, true, kSel},
        {"blur", {tool(kToolBlur), down(100, 100), move(140, 130), up(140, 130)}, kSel, {kAnnBlur}, 0, {}, 0,
         false, true, kSel},
        {"a drag without the button held is dropped",
         {tool(kToolRectangle), down(100, 100), Ev{Ev::Up, 0, 0}, move(140, 140)}, kSel, {}, 0, {}, 0, false,
         true, kSel},
        {"left handle past the right edge flips",
         {down(50, 120), move(300, 120), up(300, 120)}, Box{250, 50, 50, 150}, {}, 0, {}, 0, false, true,
         kSel},
        {"left handle shrinks to 8 with the right edge fixed",
         {down(50, 120), move(247, 120), up(247, 120)}, Box{242, 50, 8, 150}, {}, 0, {}, 0, false, true, kSel},
        {"top handle shrinks to 8 with the bottom edge fixed",
         {down(150, 50), move(150, 198), up(150, 198)}, Box{50, 192, 200, 8}, {}, 0, {}, 0, false, true, kSel},
        {"bottom-right handle grows", {down(250, 200), move(300, 260), up(300, 260)}, Box{50, 50, 250, 210}, {},
         0, {}, 0, false, true, kSel},
        {"move tool drags the selection", {tool(kToolMove), down(100, 100), move(130, 90), up(130, 90)},
         Box{80, 40, 200, 150}, {}, 0, {}, 0, false, true, kSel},
        {"move tool stops at the bounds", {tool(kToolMove), down(100, 100), move(400, 400), up(400, 400)},
         Box{200, 150, 200, 150}, {}, 0, {}, 0, false, true, kSel},
        {"a click outside starts a new selection and keeps annotations",
         {down(100, 100), move(140, 100), up(140, 100), down(300, 20), move(340, 60), up(340, 60)},
         Box{300, 20, 40, 40}, {kAnnArrow}, 0, {}, 0, false, true, kSel},
        {"undo, undo, redo",
         {tool(kToolRectangle), down(100, 100), move(120, 120), up(120, 120), down(130, 130), move(150, 150),
          up(150, 150), key('Z', true), key('Z', true), key('Y', true)},
         kSel, {kAnnRectangle}, 1, {}, 0, false, true, kSel},
        {"a new annotation clears redo",
         {tool(kToolRectangle), down(100, 100), move(120, 120), up(120, 120), key('Z', true), down(130, 130),
          move(150, 150), up(150, 150)},
         kSel, {kAnnRectangle}, 0, {}, 0, false, true, kSel},
        {"undo and redo buttons",
         {down(100, 100), move(140, 100), up(140, 100), button(kTbUndo), button(kTbUndo), button(kTbRedo)},
         kSel, {kAnnArrow}, 0, {}, 0, false, true, kSel},
        {"markers never reuse a number",
         {tool(kToolMarker), down(100, 100), up(100, 100), down(150, 100), up(150, 100), key('Z', true),
          down(200, 150), up(200, 150)},
         kSel, {kAnnMarker, kAnnMarker}, 0, {1, 3}, 0, false, true, kSel},
        {"ctrl+A selects the whole grab; arrows cannot move it",
         {key('A', true), key(VK_LEFT), key(VK_DOWN, false, true)}, Box{0, 0, 400, 300}},
        {"arrow keys move by 1, shift by 10",
         {key(VK_RIGHT), key(VK_DOWN, false, true), key(VK_LEFT, true)}, Box{50, 60, 200, 150}, {}, 0, {}, 0,
         false, true, kSel},
        {"arrow keys without a selection do nothing", {key(VK_RIGHT)}, std::nullopt},
        {"enter without a selection does nothing", {key(VK_RETURN)}, std::nullopt},
        {"enter finishes with done", {key(VK_RETURN)}, kSel, {}, 0, {}, kActionDone, true, true, kSel},
        {"ctrl+C copies", {key('C', true)}, kSel, {}, 0, {}, kActionCopy, true, true, kSel},
        {"ctrl+S saves", {key('S', true)}, kSel, {}, 0, {}, kActionSave, true, true, kSel},
        {"C without ctrl does nothing", {key('C')}, kSel, {}, 0, {}, 0, false, true, kSel},
        {"esc cancels", {key(VK_ESCAPE)}, kSel, {}, 0, {}, 0, true, true, kSel},
        {"done button", {button(kTbDone)}, kSel, {}, 0, {}, kActionDone, true, true, kSel},
        {"copy button", {button(kTbCopy)}, kSel, {}, 0, {}, kActionCopy, true, true, kSel},
        {"save button", {button(kTbSave)}, kSel, {}, 0, {}, kActionSave, true, true, kSel},
        {"cancel button", {button(kTbCancel)}, kSel, {}, 0, {}, 0, true, true, kSel},
        {"blur tool button then a drag",
         {button(kToolBlur + 1), down(100, 100), move(150, 150), up(150, 150)}, kSel, {kAnnBlur}, 0, {}, 0,
         false, true, kSel},
        {"initial selection larger than the grab is clamped", {}, Box{0, 0, 400, 300}, {}, 0, {}, 0, false,
         true, Box{-100, -100, 900, 900}},
    };
}

TEST(CaptureModel, InputSequences) {
    const ScreenGrab grab = pattern_grab(400, 300);
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        CaptureOverlay o;
        o.prepare(grab, false, c.editor, c.initial ? &*c.initial : nullptr, 0, c.thickness);
        run_events(o, c.events);
        if (c.selection) {
            EXPECT_TRUE(o.selection_valid);
            EXPECT_EQ(o.selection, *c.selection);
        } else {
            EXPECT_FALSE(o.selection_valid);
        }
        std::vector<std::uint32_t> types;
        std::vector<int> markers;
        for (const Annotation& a : o.annotations.items) {
            types.push_back(a.type);
            if (a.type == kAnnMarker) markers.push_back(a.number);
        }
        EXPECT_EQ(types, c.types);
        EXPECT_EQ(o.annotations.undone.size(), c.undone);
        EXPECT_EQ(markers, c.markers);
        EXPECT_EQ(o.result.ok, c.action != 0);
        EXPECT_EQ(o.result.action, c.action);
        EXPECT_EQ(o.closed, c.closed);
        if (c.action) {
            EXPECT_EQ(o.result.width, o.selection.w);
            EXPECT_EQ(o.result.height, o.selection.h);
            const shot_test::Image img = decode_png(o.result.png);
            EXPECT_EQ(static_cast<int>(img.width), o.selection.w);
            EXPECT_EQ(static_cast<int>(img.height), o.selection.h);
        }
    }
}

TEST(CaptureModel, ThicknessStaysWithinLimits) {
    const ScreenGrab grab = pattern_grab(400, 300);
    CaptureOverlay o;
    o.prepare(grab, false, true, &kSel, 0, 3);
    for (int i = 0; i < 40; ++i) o.on_mouse_wheel(120);
    EXPECT_EQ(o.thickness, 24);
    run_events(o, {button(kTbThicker)});
    EXPECT_EQ(o.thickness, 24);
    for (int i = 0; i < 40; ++i) o.on_mouse_wheel(-120);
    EXPECT_EQ(o.thickness, 1);
    run_events(o, {button(kTbThinner)});
    EXPECT_EQ(o.thickness, 1);
    run_events(o, {button(kTbThicker), button(kTbThicker)});
    EXPECT_EQ(o.thickness, 3);
}

TEST(CaptureModel, ToolbarPicksToolsAndColours) {
    const ScreenGrab grab = pattern_grab(400, 300);
    CaptureOverlay o;
    o.prepare(grab, false, true, &kSel, 0, 3);
    EXPECT_EQ(o.tool, kToolArrow);
    EXPECT_EQ(o.colour, kDefaultToolColour);
    for (int t = kToolMove; t <= kToolBlur; ++t) {
        run_events(o, {button(t + 1)});
        EXPECT_EQ(o.tool, t);
    }
    for (int i = 0; i < 9; ++i) {
        run_events(o, {button(kTbFirstSwatch + i)});
        EXPECT_EQ(o.colour, kSwatchColours[i]);
    }
    // A press on one button released over another runs nothing.
    o.layout_toolbar();
    o.toolbar_visible = true;
    const RECT a = o.buttons[0].rect, b = o.buttons[1].rect;
    set_left_button(true);
    o.on_mouse_down(POINT{(a.left + a.right) / 2, (a.top + a.bottom) / 2});
    set_left_button(false);
    o.on_mouse_up(POINT{(b.left + b.right) / 2, (b.top + b.bottom) / 2});
    EXPECT_NE(o.tool, kToolMove);
    EXPECT_EQ(o.pressed_index, -1);
}

TEST(CaptureModel, ResultCarriesColourAndThickness) {
    const ScreenGrab grab = pattern_grab(400, 300);
    CaptureOverlay o;
    o.prepare(grab, false, true, &kSel, 0x0143A02E, 30);
    EXPECT_EQ(o.colour, 0x43A02Eu);
    EXPECT_EQ(o.thickness, 24);
    run_events(o, {button(kTbFirstSwatch + 4), wheel(-120), key(VK_RETURN)});
    ASSERT_TRUE(o.result.ok);
    EXPECT_EQ(o.result.colour, kSwatchColours[4]);
    EXPECT_EQ(o.result.thickness, 23);
}

TEST(CaptureModel, CancelledOverlayHasTheDefaultResult) {
    CaptureOverlay o;
    o.prepare(pattern_grab(100, 100), false, true, nullptr, 0, 3);
    run_events(o, {key(VK_ESCAPE)});
    EXPECT_TRUE(o.closed);
    EXPECT_FALSE(o.result.ok);
    EXPECT_EQ(o.result.action, 0);
    EXPECT_EQ(o.result.colour, 0u);
    EXPECT_EQ(o.result.thickness, 3);
    EXPECT_TRUE(o.result.png.empty());
}

TEST(CaptureModel, TextAnnotationIsMeasured) {
    CaptureOverlay o;
    o.prepare(pattern_grab(400, 300), false, true, &kSel, 0, 4);
    o.add_text_annotation(POINT{60, 70}, L"");
    EXPECT_TRUE(o.annotations.items.empty()) << "an empty text is not kept";
    o.add_text_annotation(POINT{60, 70}, L"Hello, world");
    o.add_text_annotation(POINT{60, 120}, L"Hello, world and more");
    ASSERT_EQ(o.annotations.items.size(), 2u);
    const Annotation& a = o.annotations.items[0];
    EXPECT_EQ(a.type, kAnnText);
    EXPECT_EQ(a.x, 60);
    EXPECT_EQ(a.y, 70);
    EXPECT_EQ(a.thickness, 4);
    // Measured in the font of its size (height 3 x 4 + 14 = 26).
    EXPECT_GE(a.h, 26);
    EXPECT_LE(a.h, 26 + 16);
    EXPECT_GT(a.w, 60);
    EXPECT_GT(o.annotations.items[1].w, a.w) << "a longer text is wider";
}

// ---- toolbar, label and cursor places ----------------------------------------------------

TEST(CaptureLayout, ToolbarBelowAboveOrInsideTheSelection) {
    CaptureOverlay o;
    o.prepare(pattern_grab(1920, 1080), false, true, nullptr, 0, 3);
    struct Case {
        Box selection;
        int top;
    } cases[] = {
        {{300, 200, 800, 400}, 200 + 400 + 10},   // below
        {{300, 600, 800, 440}, 600 - 50},         // at the bottom of the screen: above
        {{0, 0, 1920, 1080}, 1080 - 50},          // the whole screen: inside, 50 above its bottom
        {{300, 30, 800, 1040}, 1070 - 50},        // no room below or above
    };
    for (const Case& c : cases) {
        o.selection = c.selection;
        o.layout_toolbar();
        EXPECT_EQ(o.toolbar_rect.top, c.top);
        EXPECT_EQ(o.toolbar_rect.bottom, c.top + 40);
    }
    // Right-aligned: it ends at the selection's right edge.
    o.selection = Box{300, 200, 1200, 400};
    o.layout_toolbar();
    EXPECT_EQ(o.toolbar_rect.right, 1500);
    const int width = o.toolbar_rect.right - o.toolbar_rect.left;
    // A narrow selection at the left: the toolbar starts at 8.
    o.selection = Box{10, 200, 50, 50};
    o.layout_toolbar();
    EXPECT_EQ(o.toolbar_rect.left, 8);
    // At the right edge: it ends 8 pixels inside the screen.
    o.selection = Box{1900, 200, 20, 50};
    o.layout_toolbar();
    EXPECT_EQ(o.toolbar_rect.right, 1920 - 8);
    EXPECT_EQ(o.toolbar_rect.right - o.toolbar_rect.left, width);
    // Every button lies inside the bar, in the order of the ids.
    ASSERT_EQ(o.buttons.size(), 8u + 2 + 2 + 9 + 4);
    const int ids[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 100, 101, 102, 103};
    for (std::size_t i = 0; i < o.buttons.size(); ++i) {
        EXPECT_EQ(o.buttons[i].id, ids[i]);
        RECT inside{};
        EXPECT_TRUE(IntersectRect(&inside, &o.buttons[i].rect, &o.toolbar_rect));
        EXPECT_TRUE(EqualRect(&inside, &o.buttons[i].rect));
        if (i > 0) EXPECT_GT(o.buttons[i].rect.left, o.buttons[i - 1].rect.left);
    }
}

TEST(CaptureLayout, SizeLabelAboveOrInsideAtTheTop) {
    CaptureOverlay o;
    o.prepare(pattern_grab(1920, 1080), false, true, nullptr, 0, 3);
    o.bold_font = create_ui_font(12, 600);
    raii::WindowDC screen(nullptr);
    const RECT above = o.size_label_rect_for(screen.get(), Box{300, 200, 400, 300});
    EXPECT_EQ(above.left, 300);
    EXPECT_LT(above.bottom, 200) << "above the selection";
    const RECT inside = o.size_label_rect_for(screen.get(), Box{300, 10, 400, 300});
    EXPECT_EQ(inside.top, 18) << "8 pixels below the top of a selection at the top edge";
    const RECT right = o.size_label_rect_for(screen.get(), Box{1880, 300, 40, 40});
    EXPECT_LE(right.right, 1920 - 3) << "kept off the right edge";
}

TEST(CaptureLayout, CursorsAndNoHandWithoutTheEditor) {
    for (bool editor : {true, false}) {
        CaptureOverlay o;
        o.prepare(pattern_grab(1920, 1080), false, editor, &kSel, 0, 3);
        o.layout_toolbar();
        o.toolbar_visible = editor;
        const RECT& b = o.buttons[0].rect;
        const POINT on_bar{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
        EXPECT_EQ(o.cursor_for(on_bar), editor ? IDC_HAND : IDC_CROSS);
        EXPECT_EQ(o.cursor_for(POINT{50, 50}), IDC_SIZENWSE);
        EXPECT_EQ(o.cursor_for(POINT{150, 50}), IDC_SIZENS);
        EXPECT_EQ(o.cursor_for(POINT{250, 50}), IDC_SIZENESW);
        EXPECT_EQ(o.cursor_for(POINT{250, 120}), IDC_SIZEWE);
        EXPECT_EQ(o.cursor_for(POINT{150, 120}), IDC_CROSS);
        o.set_tool(kToolMove);
        EXPECT_EQ(o.cursor_for(POINT{150, 120}), IDC_SIZEALL);
    }
}

// ---- the final image -------------------------------------------------------------------

TEST(CaptureRender, ImageShowsTheSelectionAndItsAnnotations) {
    const ScreenGrab grab = pattern_grab(400, 300, -100, -50);
    CaptureOverlay o;
    o.prepare(grab, false, true, &kSel, 0x00FF00, 3);
    run_events(o, {tool(kToolRectangle), down(100, 100), move(160, 140), up(160, 140), tool(kToolMarker),
                   down(200, 150), up(200, 150), key(VK_RETURN)});
    ASSERT_TRUE(o.result.ok);
    const shot_test::Image img = decode_png(o.result.png);
    ASSERT_EQ(img.width, 200u);
    ASSERT_EQ(img.height, 150u);
    // Unannotated pixels are the grab's at the selection's place.
    EXPECT_EQ(img.at(5, 140), pattern_at(55, 190));
    EXPECT_EQ(img.at(190, 5), pattern_at(240, 55));
    // The rectangle's frame (3 pixels wide, centred on its edge).
    EXPECT_EQ(img.at(50, 70), RGB(0, 255, 0));
    EXPECT_EQ(img.at(80, 50), RGB(0, 255, 0));
    EXPECT_NE(img.at(80, 70), RGB(0, 255, 0)) << "the rectangle is not filled";
    // The marker's circle around (200, 150), radius 13.
    EXPECT_EQ(img.at(150 - 10, 100), RGB(0, 255, 0));
    EXPECT_EQ(img.at(150, 100 + 10), RGB(0, 255, 0));
    EXPECT_NE(img.at(150 + 16, 100), RGB(0, 255, 0));
}

TEST(CaptureRender, BlurInTheFileEqualsTheBlurOnScreen) {
    const ScreenGrab grab = pattern_grab(400, 300);
    CaptureOverlay o;
    o.prepare(grab, false, true, &kSel, 0, 3);
    // A blur dragged from inside the selection to beyond its top left.
    run_events(o, {tool(kToolBlur), down(140, 140), move(20, 20), up(20, 20)});
    ASSERT_EQ(o.annotations.items.size(), 1u);
    EXPECT_EQ(o.annotations.items[0].x, 20);
    const std::vector<std::uint8_t> part = o.render_selection();
    // The same annotations over the whole grab: what the screen shows.
    o.selection = Box{0, 0, 400, 300};
    const std::vector<std::uint8_t> whole = o.render_selection();
    ASSERT_FALSE(part.empty());
    ASSERT_FALSE(whole.empty());
    auto pixel = [](const std::vector<std::uint8_t>& dib, int width, int x, int y) {
        const std::uint8_t* p = dib.data() + 40 + (static_cast<std::size_t>(y) * width + x) * 4;
        return RGB(p[2], p[1], p[0]);
    };
    int differ = 0;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            if (pixel(part, 200, x, y) != pixel(whole, 400, x + 50, y + 50)) ++differ;
    EXPECT_EQ(differ, 0);
    // Pixelated in blocks of 2 x 3 + 2 = 8 pixels from the box's corner.
    for (int by = 0; by < 15; ++by)
        for (int bx = 0; bx < 15; ++bx) {
            const int x0 = 20 + bx * 8, y0 = 20 + by * 8;
            const COLORREF c = pixel(whole, 400, x0, y0);
            EXPECT_EQ(pixel(whole, 400, x0 + 7, y0 + 7), c) << bx << "," << by;
            EXPECT_EQ(pixel(whole, 400, x0 + 3, y0 + 5), c) << bx << "," << by;
        }
    EXPECT_NE(pixel(whole, 400, 20, 20), pixel(whole, 400, 28, 20)) << "neighbouring blocks differ";
    // Outside the box the screen is untouched.
    EXPECT_EQ(pixel(whole, 400, 145, 145), pattern_at(145, 145));
}

TEST(CaptureRender, BlurPixelatesTheScreenNotTheAnnotationsBelowIt) {
    const ScreenGrab grab = pattern_grab(400, 300);
    CaptureOverlay o;
    o.prepare(grab, false, true, &kSel, 0x00FF00, 3);
    // An arrow, a blur over it, then a second arrow across the blur.
    run_events(o, {down(100, 120), move(200, 120), up(200, 120), tool(kToolBlur), down(96, 96), move(216, 144),
                   up(216, 144), tool(kToolArrow), down(100, 136), move(200, 136), up(200, 136), key(VK_RETURN)});
    ASSERT_TRUE(o.result.ok);
    const shot_test::Image img = decode_png(o.result.png);
    // The first arrow is gone under the blur; the second stays sharp.
    EXPECT_NE(img.at(150 - 50, 120 - 50), RGB(0, 255, 0));
    EXPECT_EQ(img.at(150 - 50, 136 - 50), RGB(0, 255, 0));
}

// ---- crop -------------------------------------------------------------------------------

TEST(ScreenGrabCrop, NegativeOriginAndClipping) {
    const ScreenGrab grab = pattern_grab(300, 200, -120, -40);
    // The same virtual-screen rectangle gives exactly those pixels.
    const ScreenGrab c = ScreenGrab::crop(grab, RECT{-110, -30, -10, 20});
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.left, -110);
    EXPECT_EQ(c.top, -30);
    EXPECT_EQ(c.width, 100);
    EXPECT_EQ(c.height, 50);
    ASSERT_EQ(c.dib.size(), 40u + 100 * 50 * 4);
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(c.dib.data());
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biHeight, -50);
    EXPECT_EQ(h->biBitCount, 32);
    EXPECT_EQ(h->biSizeImage, 100u * 50 * 4);
    for (int y = 0; y < 50; y += 7)
        for (int x = 0; x < 100; x += 9) EXPECT_EQ(shot_test::grab_at(c, x, y), pattern_at(x + 10, y + 10));
    // Partly outside: clipped.
    const ScreenGrab part = ScreenGrab::crop(grab, RECT{-200, 100, -100, 400});
    ASSERT_TRUE(part.ok);
    EXPECT_EQ(part.left, -120);
    EXPECT_EQ(part.top, 100);
    EXPECT_EQ(part.width, 20);
    EXPECT_EQ(part.height, 60);
    EXPECT_EQ(shot_test::grab_at(part, 0, 0), pattern_at(0, 140));
    // Wholly outside, or from an empty grab: empty.
    EXPECT_FALSE(ScreenGrab::crop(grab, RECT{200, 0, 300, 10}).ok);
    EXPECT_FALSE(ScreenGrab::crop(grab, RECT{-130, -40, -120, 0}).ok);
    EXPECT_FALSE(ScreenGrab::crop(ScreenGrab{}, RECT{0, 0, 10, 10}).ok);
}

}  // namespace
