// The owner-painted controls driven with real messages: toggle switches
// (mouse, double click, space), push buttons, combo box, up-down control,
// framed edit and themed background; their painting checked pixel by
// pixel; the painters' GDI objects all released; centring and list-box hit
// testing on real windows.
#include "theme/controls.h"

#include <gtest/gtest.h>

#include <vector>

#include "theme/colors.h"
#include "theme/geometry.h"
#include "theme/painters.h"
#include "tests/theme/gui_support.h"

namespace {

using gui_test::Canvas;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

struct Command {
    int id;
    int code;
    HWND control;
};
std::vector<Command> g_commands;

LRESULT CALLBACK host_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) {
        g_commands.push_back({LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)});
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class Host : public testing::Test {
protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = host_proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"ThemeTestHost";
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            RegisterClassW(&wc);
            registered = true;
        }
        host_.reset(CreateWindowExW(0, L"ThemeTestHost", L"theme test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 100,
                                    100, 520, 360, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(host_);
        ShowWindow(host_.get(), SW_SHOW);
        SetForegroundWindow(host_.get());
        pump();
        g_commands.clear();
    }
    void TearDown() override {
        host_.reset();
        pump();
    }

    HWND child(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id,
               DWORD ex = 0) {
        HWND c = CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, host_.get(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                 nullptr);
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        return c;
    }

    // Paints the control through WM_PRINTCLIENT into a canvas of its size.
    static Canvas print(HWND control) {
        RECT rc{};
        GetClientRect(control, &rc);
        Canvas canvas(rc.right, rc.bottom);
        canvas.fill(RGB(255, 0, 255));
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        return canvas;
    }

    raii::Window host_;
};

void click(HWND w, int x, int y) {
    PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    pump();
}

void space(HWND w) {
    PostMessageW(w, WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageW(w, WM_CHAR, L' ', 0x00390001);
    PostMessageW(w, WM_KEYUP, VK_SPACE, 0xC0390001);
    pump();
}

bool checked(HWND w) { return SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Pixels of the upper rows of a painted button (above its text) that are
// neither the outside colour, the border nor the fill.
int stray_top_pixels(const Canvas& canvas, int width, COLORREF outside, bool dark, bool accent, bool hover,
                     bool pressed) {
    const COLORREF fill = button_fill(dark, accent, hover, pressed);
    const COLORREF border = button_colors(dark, accent).border;
    int stray = 0;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF p = canvas.at(x, y);
            if (p != outside && p != border && p != fill) {
                if (stray == 0) ADD_FAILURE() << "first stray pixel at " << x << "," << y << ": " << std::hex << p;
                ++stray;
            }
        }
    return stray;
}

// --- painters (no window) ---------------------------------------------------------

TEST(Painters, ToggleSwitchPixels) {
    for (bool dark : {false, true}) {
        const ThemeColors& c = theme_colors(dark);
        Canvas canvas(200, 24);
        draw_toggle_switch(canvas.dc(), RECT{0, 0, 200, 24}, true, dark, nullptr);
        EXPECT_EQ(canvas.at(30, 12), c.toggle_knob) << "knob on the right when on";
        EXPECT_EQ(canvas.at(8, 12), c.toggle_track_on) << "track left of the knob";
        EXPECT_EQ(canvas.at(100, 12), c.page_background);
        EXPECT_EQ(canvas.at(20, 0), c.page_background) << "above the track";
        draw_toggle_switch(canvas.dc(), RECT{0, 0, 200, 24}, false, dark, nullptr);
        EXPECT_EQ(canvas.at(10, 12), c.toggle_knob) << "knob on the left when off";
        EXPECT_EQ(canvas.at(32, 12), c.toggle_track_off);
        EXPECT_EQ(canvas.at(44, 12), c.page_background) << "the track ends at 41";
    }
}

TEST(Painters, ButtonFillBorderAndHighlight) {
    struct Row {
        bool dark, accent, hover, pressed;
    };
    const Row rows[] = {{false, false, false, false}, {false, false, true, false}, {false, false, false, true},
                        {true, false, false, false},  {false, true, false, false}, {true, true, true, false},
                        {true, true, false, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.dark << r.accent << r.hover << r.pressed);
        Canvas canvas(118, 32);
        canvas.fill(RGB(255, 0, 255));
        draw_button(canvas.dc(), RECT{0, 0, 118, 32}, r.dark, r.accent, r.hover, r.pressed, nullptr);
        EXPECT_EQ(canvas.at(6, 16), button_fill(r.dark, r.accent, r.hover, r.pressed));
        EXPECT_EQ(canvas.at(0, 16), button_colors(r.dark, r.accent).border);
        EXPECT_EQ(canvas.at(117, 16), button_colors(r.dark, r.accent).border);
        EXPECT_EQ(canvas.at(0, 0), RGB(255, 0, 255)) << "rounded corner left untouched";
        EXPECT_EQ(canvas.at(58, 0), button_colors(r.dark, r.accent).border) << "the top edge is the border";
        EXPECT_EQ(stray_top_pixels(canvas, 118, RGB(255, 0, 255), r.dark, r.accent, r.hover, r.pressed), 0);
    }
}

TEST(Painters, ChevronsStripsAndFrame) {
    for (bool dark : {false, true}) {
        const ThemeColors& c = theme_colors(dark);
        Canvas canvas(120, 24);
        canvas.fill(RGB(255, 0, 255));
        draw_arrow_buttons(canvas.dc(), dark, RECT{0, 0, 120, 24}, true);
        const int strip = GetSystemMetrics(SM_CXVSCROLL);
        EXPECT_EQ(canvas.at(60, 12), RGB(255, 0, 255)) << "only the strip is painted";
        EXPECT_EQ(canvas.at(120 - strip + 1, 2), c.control_background);
        EXPECT_EQ(canvas.at(120 - strip / 2, 12), c.chevron) << "the chevron in the strip";

        Canvas updown(20, 40);
        draw_arrow_buttons(updown.dc(), dark, RECT{0, 0, 20, 40}, false);
        EXPECT_EQ(updown.at(10, 11), c.chevron) << "up chevron";
        EXPECT_EQ(updown.at(10, 29), c.chevron) << "down chevron";
        EXPECT_EQ(updown.at(1, 1), c.control_background);

        Canvas frame(30, 20);
        frame.fill(RGB(255, 0, 255));
        draw_accent_frame(frame.dc(), RECT{0, 0, 30, 20}, dark);
        EXPECT_EQ(frame.at(0, 10), c.accent);
        EXPECT_EQ(frame.at(29, 10), c.accent);
        EXPECT_EQ(frame.at(15, 19), c.accent);
        EXPECT_EQ(frame.at(15, 10), RGB(255, 0, 255)) << "no fill";
    }
}

TEST(Painters, ReleaseEveryObject) {
    Canvas canvas(200, 40);
    auto paint_all = [&] {
        draw_toggle_switch(canvas.dc(), RECT{0, 0, 200, 24}, true, false, nullptr);
        draw_button(canvas.dc(), RECT{0, 0, 118, 32}, true, true, false, false, nullptr);
        draw_chevron(canvas.dc(), RECT{0, 0, 20, 20}, true, true);
        draw_arrow_buttons(canvas.dc(), false, RECT{0, 0, 120, 24}, true);
        draw_arrow_buttons(canvas.dc(), false, RECT{0, 0, 20, 40}, false);
        draw_accent_frame(canvas.dc(), RECT{0, 0, 30, 20}, false);
    };
    paint_all();
    HGDIOBJ pen = GetCurrentObject(canvas.dc(), OBJ_PEN), brush = GetCurrentObject(canvas.dc(), OBJ_BRUSH);
    const DWORD before = gui_test::gdi_object_count();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 200; ++i) paint_all();
    EXPECT_EQ(gui_test::gdi_object_count(), before);
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PEN), pen) << "selections put back";
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BRUSH), brush);
}

// --- toggle switch -------------------------------------------------------------------

TEST_F(Host, ToggleFlipsOnClickAndTellsTheParent) {
    HWND t = child(L"BUTTON", L"Watch", BS_CHECKBOX | WS_TABSTOP, 10, 10, 200, 24, 501);
    install_toggle_switch(t, false);
    pump();
    ASSERT_FALSE(checked(t));
    click(t, 20, 12);
    EXPECT_TRUE(checked(t));
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].id, 501);
    EXPECT_EQ(g_commands[0].code, 0);
    EXPECT_EQ(g_commands[0].control, t);
    click(t, 20, 12);
    EXPECT_FALSE(checked(t));
    EXPECT_EQ(g_commands.size(), 2u);
}

TEST_F(Host, ToggleDoubleClickFlipsTwiceAndLeavesNoCapture) {
    HWND t = child(L"BUTTON", L"Sound", BS_CHECKBOX, 10, 10, 200, 24, 502);
    install_toggle_switch(t, true);
    pump();
    PostMessageW(t, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 12));
    PostMessageW(t, WM_LBUTTONUP, 0, MAKELPARAM(20, 12));
    PostMessageW(t, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 12));
    PostMessageW(t, WM_LBUTTONUP, 0, MAKELPARAM(20, 12));
    pump();
    EXPECT_FALSE(checked(t)) << "two flips";
    EXPECT_EQ(g_commands.size(), 2u);
    EXPECT_NE(GetCapture(), t);
    EXPECT_EQ(SendMessageW(t, BM_GETSTATE, 0, 0) & BST_PUSHED, 0) << "the knob is not left pushed";
    click(t, 20, 12);  // a later click flips this toggle once
    EXPECT_TRUE(checked(t));
    EXPECT_EQ(g_commands.size(), 3u);
}

// A toggle and a push button act only on the release of a press of their
// own, inside them: a release alone (its press went to a menu that closed
// and opened the window below the pointer), a press released outside and a
// press whose capture was taken away do nothing.
TEST_F(Host, ToggleAndButtonActOnlyOnTheReleaseOfTheirOwnPress) {
    enum class Sequence { ReleaseOnly, ReleaseOutside, CaptureTaken, SpaceHeldReleaseOnly, Click };
    struct Case {
        const char* name;
        Sequence sequence;
        size_t commands;
    } cases[] = {
        {"release without a press", Sequence::ReleaseOnly, 0},
        {"pressed, released outside", Sequence::ReleaseOutside, 0},
        {"pressed, capture taken, released inside", Sequence::CaptureTaken, 0},
        {"space held, a release without a press", Sequence::SpaceHeldReleaseOnly, 0},
        {"pressed and released inside", Sequence::Click, 1},
    };
    for (bool toggle : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << (toggle ? "toggle: " : "button: ") << c.name);
            HWND w = child(L"BUTTON", L"Sound", toggle ? BS_CHECKBOX : BS_PUSHBUTTON, 10, 10, 200, 24, 505);
            if (toggle)
                install_toggle_switch(w, false);
            else
                theme_button(w, false, false);
            SetFocus(w);
            pump();
            g_commands.clear();
            const LPARAM inside = MAKELPARAM(20, 12), outside = MAKELPARAM(260, 12);
            switch (c.sequence) {
                case Sequence::ReleaseOnly:
                    PostMessageW(w, WM_LBUTTONUP, 0, inside);
                    break;
                case Sequence::ReleaseOutside:
                    PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, inside);
                    PostMessageW(w, WM_LBUTTONUP, 0, outside);
                    break;
                case Sequence::CaptureTaken:
                    PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, inside);
                    pump();
                    EXPECT_EQ(GetCapture(), w) << "a press captures the mouse";
                    SetCapture(host_.get());
                    ReleaseCapture();
                    PostMessageW(w, WM_LBUTTONUP, 0, inside);
                    break;
                case Sequence::SpaceHeldReleaseOnly:
                    PostMessageW(w, WM_KEYDOWN, VK_SPACE, 0x00390001);
                    PostMessageW(w, WM_LBUTTONUP, 0, inside);
                    break;
                case Sequence::Click:
                    PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, inside);
                    PostMessageW(w, WM_LBUTTONUP, 0, inside);
                    break;
            }
            pump();
            EXPECT_EQ(g_commands.size(), c.commands);
            if (toggle) {
                EXPECT_EQ(checked(w), c.commands == 1);
            }
            EXPECT_NE(GetCapture(), w) << "no capture is left behind";
            DestroyWindow(w);
            pump();
        }
    }
}

TEST_F(Host, ToggleSpaceKeyFlips) {
    HWND t = child(L"BUTTON", L"Hints", BS_CHECKBOX | WS_TABSTOP, 10, 10, 200, 24, 503);
    install_toggle_switch(t, false);
    SetFocus(t);
    pump();
    space(t);
    EXPECT_TRUE(checked(t));
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].id, 503);
    space(t);
    EXPECT_FALSE(checked(t));
    // A key-up whose key-down went elsewhere does nothing.
    PostMessageW(t, WM_KEYUP, VK_SPACE, 0xC0390001);
    pump();
    EXPECT_FALSE(checked(t));
    EXPECT_EQ(g_commands.size(), 2u);
}

TEST_F(Host, TogglePaintsItsState) {
    HWND t = child(L"BUTTON", L"On", BS_CHECKBOX, 10, 10, 200, 24, 504);
    install_toggle_switch(t, true);
    SendMessageW(t, BM_SETCHECK, BST_CHECKED, 0);
    const ThemeColors& c = theme_colors(true);
    Canvas on = print(t);
    EXPECT_EQ(on.at(30, 12), c.toggle_knob);
    EXPECT_EQ(on.at(8, 12), c.toggle_track_on);
    EXPECT_EQ(on.at(199, 1), c.page_background);
    SendMessageW(t, BM_SETCHECK, BST_UNCHECKED, 0);
    Canvas off = print(t);
    EXPECT_EQ(off.at(10, 12), c.toggle_knob);
    EXPECT_EQ(off.at(32, 12), c.toggle_track_off);
    // Its label is drawn in the text colour from x 48.
    bool text_seen = false;
    for (int x = 48; x < 80 && !text_seen; ++x)
        for (int y = 4; y < 20 && !text_seen; ++y) text_seen = off.at(x, y) == c.text;
    EXPECT_TRUE(text_seen);
}

// --- push button -----------------------------------------------------------------------

TEST_F(Host, ButtonClicksOnlyWhenReleasedInside) {
    HWND b = child(L"BUTTON", L"OK", BS_PUSHBUTTON | WS_TABSTOP, 10, 50, 118, 32, 1);
    theme_button(b, false, true);
    EXPECT_EQ(GetWindowLongPtrW(b, GWLP_USERDATA), kButtonAccentBit);
    click(b, 50, 16);
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].id, 1);
    EXPECT_EQ(g_commands[0].control, b);
    EXPECT_EQ(GetCapture(), nullptr);
    // Pressed, then released outside: no click.
    PostMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 16));
    PostMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(300, 16));
    pump();
    EXPECT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(GetWindowLongPtrW(b, GWLP_USERDATA) & kButtonPressedBit, 0);
}

TEST_F(Host, ButtonDoubleClickGivesTwoClicks) {
    HWND b = child(L"BUTTON", L"Next", BS_PUSHBUTTON, 10, 50, 118, 32, 7);
    theme_button(b, true, false);
    PostMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 16));
    PostMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(50, 16));
    PostMessageW(b, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, 16));
    PostMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(50, 16));
    pump();
    EXPECT_EQ(g_commands.size(), 2u);
}

TEST_F(Host, ButtonSpaceKeyAndSwallowedKeys) {
    HWND b = child(L"BUTTON", L"Go", BS_PUSHBUTTON | WS_TABSTOP, 10, 50, 118, 32, 9);
    theme_button(b, false, false);
    SetFocus(b);
    pump();
    space(b);
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].id, 9);
    // A space key-up without its key-down on this button is no click.
    PostMessageW(b, WM_KEYUP, VK_SPACE, 0xC0390001);
    pump();
    EXPECT_EQ(g_commands.size(), 1u);
    // Enter and other keys are swallowed.
    gui_test::post_key(b, VK_RETURN);
    gui_test::post_key(b, 'A');
    pump();
    EXPECT_EQ(g_commands.size(), 1u);
}

TEST_F(Host, ButtonPaintsNormalHoverAndPressed) {
    HWND b = child(L"BUTTON", L"Paint", BS_PUSHBUTTON, 10, 50, 118, 32, 3);
    theme_button(b, false, false);
    pump();
    EXPECT_EQ(print(b).at(6, 16), 0xFAFAFAu);
    PostMessageW(b, WM_MOUSEMOVE, 0, MAKELPARAM(50, 16));
    pump();
    EXPECT_EQ(print(b).at(6, 16), 0xECECECu) << "hover";
    PostMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 16));
    pump();
    EXPECT_EQ(print(b).at(6, 16), 0xCECECEu) << "pressed";
    Canvas pressed = print(b);
    EXPECT_EQ(pressed.at(0, 0), theme_colors(false).page_background) << "corners show the page";
    PostMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(50, 16));
    PostMessageW(b, WM_MOUSELEAVE, 0, 0);
    pump();
    EXPECT_EQ(print(b).at(6, 16), 0xFAFAFAu);
    // Dark text on the light fill.
    Canvas canvas = print(b);
    bool dark_text = false;
    for (int x = 30; x < 90 && !dark_text; ++x)
        for (int y = 8; y < 24 && !dark_text; ++y) dark_text = GetRValue(canvas.at(x, y)) < 0x60;
    EXPECT_TRUE(dark_text);
}

TEST_F(Host, AccentButtonsHaveACleanTopEdgeInBothThemes) {
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        HWND b = child(L"BUTTON", L"OK", BS_PUSHBUTTON, 10, 100, 118, 32, 5);
        theme_button(b, dark, true);
        pump();
        const COLORREF page = theme_colors(dark).page_background;
        Canvas normal = print(b);
        EXPECT_EQ(normal.at(0, 0), page);
        EXPECT_EQ(normal.at(59, 0), button_colors(dark, true).border);
        EXPECT_EQ(normal.at(59, 3), button_fill(dark, true, false, false));
        EXPECT_EQ(stray_top_pixels(normal, 118, page, dark, true, false, false), 0);
        PostMessageW(b, WM_MOUSEMOVE, 0, MAKELPARAM(50, 16));
        pump();
        Canvas hover = print(b);
        EXPECT_EQ(hover.at(59, 3), button_fill(dark, true, true, false));
        EXPECT_EQ(stray_top_pixels(hover, 118, page, dark, true, true, false), 0);
        DestroyWindow(b);
    }
}

// --- combo box, up-down, framed edit, background ------------------------------------

TEST_F(Host, ComboBoxPaintsTextArrowAndFrame) {
    HWND combo = child(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_TABSTOP, 10, 100, 160, 200, 20, WS_EX_CLIENTEDGE);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"First"));
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Second"));
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    theme_combo_box(combo, true);
    EXPECT_EQ(GetWindowLongPtrW(combo, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_EQ(GetWindowLongPtrW(combo, GWLP_USERDATA), 1);
    const ThemeColors& c = theme_colors(true);
    Canvas canvas = print(combo);
    RECT rc{};
    GetClientRect(combo, &rc);
    EXPECT_EQ(canvas.at(0, rc.bottom / 2), c.accent);
    EXPECT_EQ(canvas.at(rc.right - 1, rc.bottom / 2), c.accent);
    EXPECT_EQ(canvas.at(2, 2), c.control_background);
    const int strip = GetSystemMetrics(SM_CXVSCROLL);
    EXPECT_EQ(canvas.at(rc.right - strip / 2, rc.bottom / 2), c.chevron);
    bool text_seen = false;
    for (int x = 6; x < 60 && !text_seen; ++x)
        for (int y = 2; y < rc.bottom - 2 && !text_seen; ++y) text_seen = canvas.at(x, y) == c.text;
    EXPECT_TRUE(text_seen) << "the selected item's text";
}

TEST_F(Host, UpDownPaintsBothChevrons) {
    HWND ud = child(UPDOWN_CLASSW, L"", 0, 200, 100, 20, 40, 21);
    ASSERT_NE(ud, nullptr);
    theme_up_down_control(ud, false);
    const ThemeColors& c = theme_colors(false);
    Canvas canvas = print(ud);
    RECT rc{};
    GetClientRect(ud, &rc);
    EXPECT_EQ(canvas.at(0, rc.bottom / 2), c.accent);
    EXPECT_EQ(canvas.at(rc.right / 2, rc.bottom / 4 + 1), c.chevron);
    EXPECT_EQ(canvas.at(rc.right / 2, 3 * rc.bottom / 4 - 1), c.chevron);
}

TEST_F(Host, FramedEditShowsTheFrameColour) {
    struct Row {
        DWORD style, ex;
        const char* what;
    };
    // The client edge goes; an edit draws its WS_BORDER itself inside its
    // client area, so the frame gets a ring of its own; a list box keeps
    // its thin border and the frame covers it.
    const Row rows[] = {{0, WS_EX_CLIENTEDGE, "edit with a client edge"},
                        {0, 0, "edit without a border"},
                        {ES_MULTILINE | WS_VSCROLL, WS_EX_CLIENTEDGE, "multi-line edit"}};
    for (bool dark : {false, true}) {
        for (const Row& r : rows) {
            SCOPED_TRACE(r.what);
            HWND edit = child(L"EDIT", L"framed", r.style, 10, 150, 200, 40, 22, r.ex);
            theme_framed_control(edit, dark);
            EXPECT_EQ(GetWindowLongPtrW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
            RECT client{};
            GetClientRect(edit, &client);
            const int scroll = (r.style & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0;
            EXPECT_EQ(client.right, 198 - scroll) << "a one-pixel ring on each side";
            EXPECT_EQ(client.bottom, 38);
            // Typing repaints the client area; the frame stays.
            SendMessageW(edit, WM_CHAR, L'x', 0);
            RedrawWindow(edit, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            pump();
            Sleep(50);
            gui_test::Pixels shot = gui_test::grab_screen(gui_test::window_rect(edit));
            const COLORREF frame = theme_colors(dark).frame;
            EXPECT_EQ(shot.at(0, 20), frame);
            EXPECT_EQ(shot.at(199, 20), frame);
            EXPECT_EQ(shot.at(100, 0), frame);
            EXPECT_EQ(shot.at(100, 39), frame);
            DestroyWindow(edit);
        }
        HWND list = child(L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 10, 150, 200, 60, 24);
        theme_framed_control(list, dark);
        RECT client{};
        GetClientRect(list, &client);
        EXPECT_EQ(client.bottom, 58) << "its own border, no extra ring";
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
        pump();
        Sleep(50);
        gui_test::Pixels shot = gui_test::grab_screen(gui_test::window_rect(list));
        EXPECT_EQ(shot.at(0, 30), theme_colors(dark).frame);
        EXPECT_EQ(shot.at(199, 30), theme_colors(dark).frame);
        DestroyWindow(list);
    }
}

TEST_F(Host, ThemedBackgroundAnswersWithOneBrushPerTheme) {
    HWND panel = child(L"STATIC", L"", 0, 0, 0, 100, 100, 23);
    theme_child_colors(panel, true);
    Canvas canvas(10, 10);
    const LRESULT a = SendMessageW(panel, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(canvas.dc()), 0);
    const LRESULT b = SendMessageW(panel, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(canvas.dc()), 0);
    EXPECT_NE(a, 0);
    EXPECT_EQ(a, b) << "the same brush every time";
    EXPECT_EQ(reinterpret_cast<HBRUSH>(a), control_background_brush(true));
    EXPECT_EQ(GetTextColor(canvas.dc()), theme_colors(true).text);
    EXPECT_EQ(GetBkColor(canvas.dc()), theme_colors(true).control_background);
    Canvas erase(100, 100);
    EXPECT_EQ(SendMessageW(panel, WM_ERASEBKGND, reinterpret_cast<WPARAM>(erase.dc()), 0), 1);
    EXPECT_EQ(erase.at(50, 50), theme_colors(true).control_background);
}

TEST_F(Host, ThemedControlsReleaseTheirObjects) {
    auto round = [&] {
        HWND b = child(L"BUTTON", L"B", BS_PUSHBUTTON, 10, 50, 118, 32, 30);
        theme_button(b, true, true);
        HWND t = child(L"BUTTON", L"T", BS_CHECKBOX, 10, 10, 200, 24, 31);
        install_toggle_switch(t, false);
        HWND e = child(L"EDIT", L"e", 0, 10, 150, 200, 24, 32);
        theme_framed_control(e, true);
        theme_child_colors(e, true);
        HWND c = child(L"COMBOBOX", L"", CBS_DROPDOWNLIST, 10, 100, 160, 200, 33);
        theme_combo_box(c, false);
        for (HWND w : {b, t, c}) print(w);
        RedrawWindow(host_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pump();
        for (HWND w : {b, t, e, c}) DestroyWindow(w);
        pump();
    };
    for (int i = 0; i < 3; ++i) round();
    const DWORD before = gui_test::gdi_object_count();
    for (int i = 0; i < 100; ++i) round();
    EXPECT_EQ(gui_test::gdi_object_count(), before);
}

// --- geometry on windows -------------------------------------------------------------

TEST_F(Host, CenterWindowInTheOwnersWorkArea) {
    raii::Window box(CreateWindowExW(0, L"ThemeTestHost", L"box", WS_POPUP | WS_CAPTION, 0, 0, 300, 200,
                                     host_.get(), nullptr, GetModuleHandleW(nullptr), nullptr));
    center_window(box.get(), host_.get());
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(host_.get(), MONITOR_DEFAULTTONEAREST), &mi);
    const RECT rc = gui_test::window_rect(box.get());
    const POINT want = centered_origin(mi.rcWork, 300, 200);
    EXPECT_EQ(rc.left, want.x);
    EXPECT_EQ(rc.top, want.y);
    EXPECT_EQ(rc.right - rc.left, 300) << "not resized";
    // Larger than the work area: its top-left corner.
    SetWindowPos(box.get(), nullptr, 0, 0, 5000, 4000, SWP_NOZORDER | SWP_NOACTIVATE);
    center_window(box.get(), nullptr);
    const RECT big = gui_test::window_rect(box.get());
    EXPECT_EQ(big.left, mi.rcWork.left);
    EXPECT_EQ(big.top, mi.rcWork.top);
    center_window(nullptr, host_.get());  // ignored
}

TEST_F(Host, ListBoxHitTestAndClearSelection) {
    HWND list = child(L"LISTBOX", L"", LBS_EXTENDEDSEL | LBS_NOTIFY | WS_VSCROLL, 10, 10, 200, 200, 40);
    for (const wchar_t* s : {L"one", L"two", L"three", L"four"})
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(listbox_item_from_point(list, POINT{item.left + 5, item.top + 1}), 2);
    EXPECT_EQ(listbox_item_from_point(list, POINT{item.left + 5, item.bottom - 1}), 2);
    RECT last{};
    SendMessageW(list, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&last));
    EXPECT_EQ(listbox_item_from_point(list, POINT{5, last.bottom + 20}), -1) << "below the last item";
    EXPECT_EQ(listbox_item_from_point(nullptr, POINT{5, 5}), -1);

    SendMessageW(list, LB_SETSEL, TRUE, 0);
    SendMessageW(list, LB_SETSEL, TRUE, 2);
    ASSERT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 2);
    listbox_clear_selection(list);
    EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 0);
    listbox_clear_selection(nullptr);
}

// --- a picture of the controls ---------------------------------------------------------

TEST_F(Host, ScreenshotOfThemedControls) {
    for (bool dark : {false, true}) {
        raii::Window panel(CreateWindowExW(0, L"ThemeTestHost", L"", WS_CHILD | WS_VISIBLE, 0, 0, 500, 320,
                                           host_.get(), nullptr, GetModuleHandleW(nullptr), nullptr));
        theme_child_colors(panel.get(), dark);
        auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h) {
            HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, panel.get(), nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
            SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
            return c;
        };
        HWND on = make(L"BUTTON", L"Toggle on", BS_CHECKBOX, 10, 10, 200, 24);
        SendMessageW(on, BM_SETCHECK, BST_CHECKED, 0);
        install_toggle_switch(on, dark);
        install_toggle_switch(make(L"BUTTON", L"Toggle off", BS_CHECKBOX, 10, 40, 200, 24), dark);
        theme_button(make(L"BUTTON", L"Button", BS_PUSHBUTTON, 10, 80, 118, 32), dark, false);
        theme_button(make(L"BUTTON", L"Accent", BS_PUSHBUTTON, 140, 80, 118, 32), dark, true);
        HWND combo = make(L"COMBOBOX", L"", CBS_DROPDOWNLIST, 10, 130, 200, 200);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Combo item"));
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
        theme_combo_box(combo, dark);
        theme_up_down_control(make(UPDOWN_CLASSW, L"", 0, 220, 130, 20, 40), dark);
        HWND edit = make(L"EDIT", L"Framed edit", 0, 10, 180, 200, 24);
        theme_framed_control(edit, dark);
        RedrawWindow(panel.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN |
                                                        RDW_UPDATENOW);
        pump();
        Sleep(150);
        pump();
        RECT rc{};
        GetWindowRect(panel.get(), &rc);
        rc.right = rc.left + 300;
        rc.bottom = rc.top + 215;
        gui_test::Pixels shot = gui_test::grab_screen(rc);
        const std::wstring path = gui_test::exe_dir() + (dark ? L"\\themed_controls_dark.png" : L"\\themed_controls_light.png");
        EXPECT_TRUE(gui_test::save_png(shot, path));
        const ThemeColors& c = theme_colors(dark);
        EXPECT_EQ(shot.at(290, 5), c.control_background) << "panel background";
        EXPECT_EQ(shot.at(10 + 30, 10 + 12), c.toggle_knob);
        EXPECT_EQ(shot.at(10 + 8, 10 + 12), c.toggle_track_on);
        EXPECT_EQ(shot.at(10 + 32, 40 + 12), c.toggle_track_off);
        EXPECT_EQ(shot.at(16, 96), button_fill(dark, false, false, false));
        EXPECT_EQ(shot.at(146, 96), button_fill(dark, true, false, false));
        EXPECT_EQ(shot.at(10, 190), c.frame) << "the framed edit";
    }
}

}  // namespace
