// The screen grab on the test display, and the capture overlay's window:
// its place over the virtual screen, the selection dragged with real
// pointer input, the text box with Enter, Esc and focus loss, WM_QUIT
// posted again, screenshots of the overlay in both themes, and the
// process's GDI objects after fifty overlays.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

#include "screenshot/capture_overlay.h"
#include "ui/own_popups.h"
#include "screenshot/screen_grab.h"
#include "tests/screenshot/shot_input.h"
#include "tests/screenshot/shot_test_support.h"
#include "core/i18n.h"
#include "theme/fonts.h"
#include "tests/theme/icon_cells.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

class English : public ::testing::Environment {
    void SetUp() override { set_language(L"en"); }
};
const auto* const g_english = ::testing::AddGlobalTestEnvironment(new English);

using shot_test::ShotWindow;

// A made-up desktop of the virtual screen's size: a gradient, a window
// with a title bar and text lines, and coloured tiles.
ScreenGrab fake_desktop() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int w = GetSystemMetrics(SM_CXVIRTUALSCREEN), h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    gui_test::Canvas canvas(w, h);
    HDC dc = canvas.dc();
    for (int y = 0; y < h; y += 8) {
        raii::Brush b(CreateSolidBrush(RGB(40 + y * 60 / h, 90 + y * 80 / h, 150 + y * 60 / h)));
        RECT band{0, y, w, y + 8};
        FillRect(dc, &band, b.get());
    }
    auto fill = [&](RECT rc, COLORREF c) {
        raii::Brush b(CreateSolidBrush(c));
        FillRect(dc, &rc, b.get());
    };
    fill(RECT{360, 240, 1260, 820}, RGB(250, 250, 250));
    fill(RECT{360, 240, 1260, 276}, RGB(225, 228, 235));
    raii::Font font = create_ui_font(16, 400);
    raii::SelectGuard sel(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(30, 30, 30));
    TextOutW(dc, 376, 248, L"Quarterly report.txt - Editor", 29);
    for (int i = 0; i < 18; ++i) {
        wchar_t line[96];
        swprintf(line, 96, L"Line %d: the quick brown fox jumps over the lazy dog, figures %d, %d and %d.", i + 1,
                 i * 17 % 97, i * 31 % 89, i * 7 % 53);
        TextOutW(dc, 380, 300 + i * 28, line, static_cast<int>(wcslen(line)));
    }
    const COLORREF tiles[] = {RGB(230, 70, 70), RGB(240, 160, 40), RGB(70, 160, 70), RGB(60, 120, 220)};
    for (int i = 0; i < 4; ++i) fill(RECT{1400, 260 + i * 130, 1620, 370 + i * 130}, tiles[i]);
    ScreenGrab g;
    const gui_test::Pixels px = canvas.pixels();
    g.dib = top_down_dib(w, h);
    for (std::size_t i = 0; i < px.bgra.size(); ++i) {
        const std::uint32_t v = px.bgra[i] | 0xFF000000u;
        std::memcpy(g.dib.data() + 40 + i * 4, &v, 4);
    }
    g.width = w;
    g.height = h;
    g.left = left;
    g.top = top;
    g.ok = true;
    return g;
}

// Runs the overlay on this thread; drive runs on another thread once the
// overlay window is shown, and must end it (a missing window ends the loop).
CaptureResult run_driven(CaptureOverlay& o, const ScreenGrab& grab, bool dark, bool editor, const Box* initial,
                         const std::function<void(HWND)>& drive, int colour = 0, int thickness = 3) {
    const DWORD thread = GetCurrentThreadId();
    std::thread driver([&] {
        auto found = gui_test::wait_for_windows(thread, L"QuilletCaptureOverlay", 1, 10000);
        if (found.empty()) {
            PostThreadMessageW(thread, WM_QUIT, 0, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        drive(found[0]);
    });
    CaptureResult result;
    run_capture(result, o, GetModuleHandleW(nullptr), grab, dark, editor, initial, colour, thickness);
    driver.join();
    // A WM_QUIT of a failed start is not the test's.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    return result;
}

POINT screen_point(const ScreenGrab& g, int x, int y) { return POINT{g.left + x, g.top + y}; }

void add_sample_annotations(CaptureOverlay& o);

// ---- the grab ---------------------------------------------------------------------------

TEST(ScreenGrabOnScreen, FindsAWindowOfKnownColourAtItsPlace) {
    const RECT place{300, 200, 460, 320};
    const COLORREF colour = RGB(0x2E, 0xA0, 0x43);
    ShotWindow window;
    ASSERT_TRUE(window.start(place, colour));
    const ScreenGrab g = ScreenGrab::capture_virtual_screen();
    ASSERT_TRUE(g.ok);
    EXPECT_EQ(g.width, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(g.height, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EXPECT_EQ(g.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(g.top, GetSystemMetrics(SM_YVIRTUALSCREEN));
    ASSERT_EQ(g.dib.size(), 40u + static_cast<std::size_t>(g.width) * g.height * 4);
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(g.dib.data());
    EXPECT_EQ(h->biHeight, -g.height) << "rows run top-down";
    EXPECT_EQ(h->biBitCount, 32);
    for (POINT p : {POINT{301, 201}, POINT{458, 318}, POINT{380, 260}})
        EXPECT_EQ(shot_test::grab_at(g, p.x - g.left, p.y - g.top), colour) << p.x << "," << p.y;
    EXPECT_NE(shot_test::grab_at(g, 470 - g.left, 260 - g.top), colour);
    for (std::size_t i = 40 + 3; i < g.dib.size(); i += 4 * 9973) ASSERT_EQ(g.dib[i], 255);

    // The crop of the window's rectangle is the window.
    const ScreenGrab c = ScreenGrab::crop(g, place);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.width, 160);
    EXPECT_EQ(c.height, 120);
    EXPECT_EQ(shot_test::grab_at(c, 0, 0), colour);
    EXPECT_EQ(shot_test::grab_at(c, 159, 119), colour);
}

TEST(ScreenGrabOnScreen, ForegroundWindowRectangle) {
    {
        ShotWindow other;
        ASSERT_TRUE(other.start(RECT{500, 300, 508, 308}, RGB(200, 0, 0)));
        ASSERT_TRUE(gui_test::wait_until([] {
            DWORD pid = 0;
            GetWindowThreadProcessId(GetForegroundWindow(), &pid);
            return pid != 0 && pid != GetCurrentProcessId();
        }));
        const RECT r = foreground_window_rect();
        EXPECT_EQ(r.left, 500);
        EXPECT_EQ(r.top, 300);
        EXPECT_EQ(r.right, 508) << "8 x 8 is reported";
        EXPECT_EQ(r.bottom, 308);
    }
    {
        ShotWindow thin;
        ASSERT_TRUE(thin.start(RECT{500, 300, 507, 400}, RGB(200, 0, 0)));
        gui_test::wait_until([&] {
            DWORD pid = 0;
            GetWindowThreadProcessId(GetForegroundWindow(), &pid);
            return pid == thin.id();
        });
        const RECT r = foreground_window_rect();
        EXPECT_EQ(r.right - r.left, 0) << "7 x 100 is not";
    }
    // One of this process: none.
    HWND own = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"own", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(own);
    SetForegroundWindow(own);
    app_test::pump(200);
    if (GetForegroundWindow() == own) {
        const RECT r = foreground_window_rect();
        EXPECT_EQ(r.right - r.left, 0);
        EXPECT_EQ(r.bottom - r.top, 0);
    }
    DestroyWindow(own);
}

TEST(ScreenGrabOnScreen, PerMonitorDpiSwitchAndRestore) {
    using GetFn = DPI_AWARENESS_CONTEXT(WINAPI*)();
    using EqualFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT);
    using ValidFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto get = reinterpret_cast<GetFn>(reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    auto equal = reinterpret_cast<EqualFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "AreDpiAwarenessContextsEqual")));
    auto valid =
        reinterpret_cast<ValidFn>(reinterpret_cast<void*>(GetProcAddress(user32, "IsValidDpiAwarenessContext")));
    const bool has_switch = GetProcAddress(user32, "SetThreadDpiAwarenessContext") != nullptr;
    const DPI_AWARENESS_CONTEXT before = get ? get() : nullptr;
    const DPI_AWARENESS_CONTEXT previous = enter_per_monitor_dpi();
    if (!has_switch || (valid && !valid(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2))) {
        // Wine 8 has the switch but refuses per-monitor version 2 (it knows
        // versions up to per-monitor 1): the call is made and changes nothing.
        EXPECT_EQ(previous, nullptr);
        if (get && equal) {
            EXPECT_TRUE(equal(get(), before));
        }
        restore_thread_dpi(previous);
        if (get && equal) {
            EXPECT_TRUE(equal(get(), before));
        }
        GTEST_SKIP() << "this system has no per-monitor (version 2) DPI awareness for threads";
    }
    ASSERT_NE(previous, nullptr);
    ASSERT_TRUE(get && equal);
    EXPECT_TRUE(equal(previous, before));
    EXPECT_TRUE(equal(get(), DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2));
    restore_thread_dpi(previous);
    EXPECT_TRUE(equal(get(), before));
    restore_thread_dpi(nullptr);  // nothing happens
    EXPECT_TRUE(equal(get(), before));
}

// ---- the window -------------------------------------------------------------------------

TEST(CaptureOverlayWindow, CoversTheVirtualScreenAndEscCancels) {
    const ScreenGrab grab = fake_desktop();
    CaptureOverlay o;
    RECT rect{};
    LONG_PTR ex_style = 0, style = 0;
    std::wstring title;
    HWND owner = nullptr;
    bool owner_visible = true;
    const CaptureResult r = run_driven(o, grab, false, true, nullptr, [&](HWND w) {
        GetWindowRect(w, &rect);
        owner = GetWindow(w, GW_OWNER);
        owner_visible = owner && IsWindowVisible(owner);
        ex_style = GetWindowLongPtrW(w, GWL_EXSTYLE);
        style = GetWindowLongPtrW(w, GWL_STYLE);
        wchar_t text[128] = {};
        GetWindowTextW(w, text, 128);
        title = text;
        gui_test::post_key(w, VK_ESCAPE);
    });
    EXPECT_EQ(rect.left, grab.left);
    EXPECT_EQ(rect.top, grab.top);
    EXPECT_EQ(rect.right - rect.left, grab.width);
    EXPECT_EQ(rect.bottom - rect.top, grab.height);
    EXPECT_TRUE(ex_style & WS_EX_TOPMOST);
    EXPECT_FALSE(ex_style & WS_EX_TOOLWINDOW) << "a window manager would keep the keyboard from it";
    // Owned (no taskbar button, no Alt+Tab entry) by the program's hidden
    // popup owner, which is neither shown nor minimised with the main window.
    EXPECT_FALSE(ex_style & WS_EX_APPWINDOW);
    EXPECT_TRUE(owner != nullptr) << "an unowned overlay gets a taskbar button";
    EXPECT_EQ(owner, popup_owner_window());
    EXPECT_FALSE(owner_visible);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(title.empty());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.action, 0);
    EXPECT_EQ(o.hwnd, nullptr);
}

TEST(CaptureOverlayWindow, RealPointerDragSelectsAndEnterFinishes) {
    const ScreenGrab grab = fake_desktop();
    CaptureOverlay o;
    Box seen{};
    const CaptureResult r = run_driven(o, grab, false, true, nullptr, [&](HWND w) {
        shot_test::drag(screen_point(grab, 400, 300), screen_point(grab, 800, 560));
        app_test::pump(100);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        seen = o.selection;
        // An arrow inside, then Enter.
        shot_test::drag(screen_point(grab, 450, 350), screen_point(grab, 700, 500));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gui_test::post_key(w, VK_RETURN);
    });
    EXPECT_EQ(seen, (Box{400, 300, 400, 260}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.action, kActionDone);
    EXPECT_EQ(r.width, 400);
    EXPECT_EQ(r.height, 260);
    ASSERT_EQ(o.annotations.items.size(), 1u);
    EXPECT_EQ(o.annotations.items[0].type, kAnnArrow);
    const shot_test::Image img = shot_test::decode_png(r.png);
    ASSERT_EQ(img.width, 400u);
    // The arrow's middle, at (575, 425) on the screen: the tool's red.
    EXPECT_EQ(img.at(175, 125), kDefaultToolColour);
}

TEST(CaptureOverlayWindow, DragRepaintsShowWhatAFullRepaintShows) {
    // While the selection is dragged only the changed parts are drawn
    // again; the screen must still be exactly the whole overlay.
    const ScreenGrab grab = fake_desktop();
    CaptureOverlay o;
    o.tool = kToolMove;
    add_sample_annotations(o);
    gui_test::Pixels partial, full;
    Box seen{};
    run_driven(o, grab, false, true, nullptr, [&](HWND w) {
        shot_test::drag(screen_point(grab, 300, 200), screen_point(grab, 1000, 700));
        // Across the toolbar: hover and tooltips.
        for (int x = o.toolbar_rect.left + 5; x < o.toolbar_rect.right; x += 37)
            shot_test::pointer_to(screen_point(grab, x, (o.toolbar_rect.top + o.toolbar_rect.bottom) / 2));
        // The bottom-right handle, shrinking, then growing past the first
        // size, still held while the screen is taken (the button's release
        // repaints everything).
        shot_test::pointer_to(screen_point(grab, 1000, 700));
        shot_test::left_button(true);
        for (POINT p : {POINT{900, 600}, POINT{700, 450}, POINT{600, 380}, POINT{1100, 760}, POINT{800, 500}})
            shot_test::pointer_to(screen_point(grab, p.x, p.y));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        seen = o.selection;
        const RECT all{grab.left, grab.top, grab.left + grab.width, grab.top + grab.height};
        partial = gui_test::grab_screen(all);
        RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        full = gui_test::grab_screen(all);
        shot_test::left_button(false);
        gui_test::post_key(w, VK_ESCAPE);
    });
    EXPECT_EQ(seen, (Box{300, 200, 500, 300}));
    ASSERT_EQ(partial.bgra.size(), full.bgra.size());
    int differ = 0;
    for (std::size_t i = 0; i < full.bgra.size(); ++i)
        if (partial.bgra[i] != full.bgra[i]) ++differ;
    EXPECT_EQ(differ, 0);
    if (differ) gui_test::save_png(partial, gui_test::exe_dir() + L"\\capture_overlay_partial.png");
}

TEST(CaptureOverlayWindow, TextBoxEnterEscFocusLossAndDone) {
    const ScreenGrab grab = fake_desktop();
    CaptureOverlay o;
    o.tool = kToolText;
    const Box initial{300, 200, 900, 500};
    int after_enter = -1, after_esc = -1, after_focus = -1;
    bool box_seen = false;
    auto type_into_box = [&](HWND w, POINT at, const wchar_t* text) {
        PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
        HWND box = nullptr;
        gui_test::wait_until([&] { return (box = FindWindowExW(w, nullptr, L"EDIT", nullptr)) != nullptr; });
        box_seen = box_seen || box;
        for (const wchar_t* c = text; *c; ++c) PostMessageW(box, WM_CHAR, *c, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return box;
    };
    const CaptureResult r = run_driven(o, grab, false, true, &initial, [&](HWND w) {
        HWND box = type_into_box(w, POINT{400, 300}, L"Entered");
        PostMessageW(box, WM_KEYDOWN, VK_RETURN, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        after_enter = static_cast<int>(o.annotations.items.size());

        box = type_into_box(w, POINT{400, 400}, L"Dropped");
        PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        after_esc = static_cast<int>(o.annotations.items.size());

        // Another window takes the focus: the box commits.
        type_into_box(w, POINT{400, 500}, L"Left behind");
        HWND other = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(other);
        SetFocus(other);
        gui_test::wait_until([&] { return o.annotations.items.size() == 2; }, 3000);
        after_focus = static_cast<int>(o.annotations.items.size());
        DestroyWindow(other);

        // Text still open when Done is pressed is in the picture.
        type_into_box(w, POINT{700, 300}, L"At the end");
        for (const ToolbarButton& b : o.buttons)
            if (b.id == kTbDone) {
                const POINT c{(b.rect.left + b.rect.right) / 2, (b.rect.top + b.rect.bottom) / 2};
                PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
                PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(c.x, c.y));
            }
        gui_test::wait_until([&] { return !IsWindow(w); }, 5000);
        if (IsWindow(w)) gui_test::post_key(w, VK_ESCAPE);
    });
    EXPECT_TRUE(box_seen);
    EXPECT_EQ(after_enter, 1);
    EXPECT_EQ(after_esc, 1);
    EXPECT_EQ(after_focus, 2);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.action, kActionDone);
    ASSERT_EQ(o.annotations.items.size(), 3u);
    EXPECT_EQ(o.annotations.items[0].text, L"Entered");
    EXPECT_EQ(o.annotations.items[1].text, L"Left behind");
    EXPECT_EQ(o.annotations.items[2].text, L"At the end");
    // The last text is drawn in the tool colour in the file.
    const Annotation& last = o.annotations.items[2];
    const shot_test::Image img = shot_test::decode_png(r.png);
    int red = 0;
    for (int y = last.y - initial.y; y < last.y - initial.y + last.h; ++y)
        for (int x = last.x - initial.x; x < last.x - initial.x + last.w; ++x)
            if (img.at(x, y) == kDefaultToolColour) ++red;
    EXPECT_GT(red, 20) << "the text is in the image";
}

TEST(CaptureOverlayWindow, QuitWhileOpenIsPostedAgain) {
    const ScreenGrab grab = fake_desktop();
    CaptureOverlay o;
    const DWORD thread = GetCurrentThreadId();
    std::thread driver([&] {
        gui_test::wait_for_windows(thread, L"QuilletCaptureOverlay", 1, 10000);
        PostThreadMessageW(thread, WM_QUIT, 7, 0);
    });
    CaptureResult r;
    run_capture(r, o, GetModuleHandleW(nullptr), grab, false, true, nullptr, 0, 3);
    driver.join();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(o.hwnd, nullptr) << "the window is gone";
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the outer loop still gets WM_QUIT";
    EXPECT_EQ(msg.wParam, 7u);
}

// ---- screenshots of the overlay -----------------------------------------------------------

void add_sample_annotations(CaptureOverlay& o) {
    Annotation arrow;
    arrow.type = kAnnArrow;
    arrow.colour = kSwatchColours[0];
    arrow.thickness = 4;
    arrow.points = {POINT{480, 420}, POINT{700, 330}};
    o.annotations.push(arrow);
    Annotation rect;
    rect.type = kAnnRectangle;
    rect.colour = kSwatchColours[3];
    rect.thickness = 3;
    rect.x = 760;
    rect.y = 380;
    rect.w = 300;
    rect.h = 90;
    o.annotations.push(rect);
    Annotation blur;
    blur.type = kAnnBlur;
    blur.thickness = 3;
    blur.x = 380;
    blur.y = 520;
    blur.w = 420;
    blur.h = 60;
    o.annotations.push(blur);
    for (int i = 0; i < 2; ++i) {
        Annotation m;
        m.type = kAnnMarker;
        m.colour = kSwatchColours[5];
        m.thickness = 3;
        m.number = i + 1;
        m.x = 1100 + i * 60 - 13;
        m.y = 560 - 13;
        m.w = m.h = 26;
        o.annotations.push(m);
    }
    o.colour = kSwatchColours[0];
    o.add_text_annotation(POINT{820, 600}, L"Check these figures");
}

TEST(CaptureOverlayScreens, SelectionToolbarAndAnnotationsInBothThemes) {
    const ScreenGrab grab = fake_desktop();
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        CaptureOverlay o;
        add_sample_annotations(o);
        o.tool = kToolRectangle;
        const Box initial{360, 280, 900, 400};
        gui_test::Pixels shot;
        const CaptureResult r = run_driven(o, grab, dark, true, &initial, [&](HWND w) {
            // Hover the blur button: its tooltip shows.
            for (const ToolbarButton& b : o.buttons)
                if (b.id == kToolBlur + 1) {
                    const POINT c{(b.rect.left + b.rect.right) / 2, (b.rect.top + b.rect.bottom) / 2};
                    gui_test::post_mouse(w, WM_MOUSEMOVE, screen_point(grab, c.x, c.y));
                }
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            shot = gui_test::grab_screen(RECT{grab.left, grab.top, grab.left + grab.width, grab.top + grab.height});
            gui_test::post_key(w, VK_ESCAPE);
        });
        EXPECT_FALSE(r.ok);
        ASSERT_EQ(shot.width, grab.width);
        gui_test::save_png(shot, gui_test::exe_dir() + (dark ? L"\\capture_overlay_dark.png"
                                                              : L"\\capture_overlay_light.png"));
        // Outside the selection the screen is dimmed; inside it is not.
        const COLORREF outside = shot_test::grab_at(grab, 100, 100);
        const COLORREF dimmed = shot.at(100, 100);
        EXPECT_NEAR(GetBValue(dimmed), GetBValue(outside) * 105 / 255, 3);
        EXPECT_EQ(shot.at(1000, 300), shot_test::grab_at(grab, 1000, 300));
        // The frame just outside the selection, in the theme's colour.
        EXPECT_EQ(shot.at(600, 279), dark ? RGB(0x4C, 0xC2, 0xFF) : RGB(0x00, 0x66, 0xCC));
        // The toolbar below the selection, right-aligned with it.
        EXPECT_EQ(o.toolbar_rect.top, 280 + 400 + 10);
        EXPECT_EQ(o.toolbar_rect.right, 360 + 900);
        const COLORREF bar = dark ? RGB(0x27, 0x27, 0x27) : RGB(0xFB, 0xFB, 0xFB);
        EXPECT_EQ(shot.at(o.toolbar_rect.left + 3, o.toolbar_rect.top + 20), bar);
        // The markers' circles.
        EXPECT_EQ(shot.at(1100 - 11, 560), kSwatchColours[5]);
        // The icons of undo, redo, done, copy, save and cancel are drawn:
        // something is there, and it is not the drawing of a missing glyph.
        const raii::Font symbols = create_icon_font(16);
        int icons = 0;
        for (const ToolbarButton& b : o.buttons) {
            if (b.id != kTbUndo && b.id != kTbRedo && b.id < kTbDone) continue;
            RECT cell = b.rect;
            InflateRect(&cell, -2, -2);
            EXPECT_EQ(icon_cells::icon_cell_problem([&shot](int x, int y) { return shot.at(x, y); }, cell,
                                                    {{symbols.get()}}),
                      "")
                << "button " << b.id;
            ++icons;
        }
        EXPECT_EQ(icons, 6);
    }
}

TEST(CaptureOverlayScreens, WholeScreenSelectionHasTheToolbarAndLabelInside) {
    const ScreenGrab grab = fake_desktop();
    CaptureOverlay o;
    add_sample_annotations(o);
    const Box all{0, 0, grab.width, grab.height};
    gui_test::Pixels shot;
    run_driven(o, grab, true, true, &all, [&](HWND w) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        shot = gui_test::grab_screen(RECT{grab.left, grab.top, grab.left + grab.width, grab.top + grab.height});
        gui_test::post_key(w, VK_ESCAPE);
    });
    ASSERT_EQ(shot.width, grab.width);
    gui_test::save_png(shot, gui_test::exe_dir() + L"\\capture_overlay_whole_screen.png");
    // The toolbar inside, 50 pixels above the bottom; the label 8 pixels
    // below the top.
    EXPECT_EQ(o.toolbar_rect.top, grab.height - 50);
    EXPECT_EQ(shot.at(o.toolbar_rect.left + 3, o.toolbar_rect.top + 20), RGB(0x27, 0x27, 0x27));
    EXPECT_EQ(shot.at(6, 8 + 3), RGB(0x27, 0x27, 0x27)) << "the size label's fill";
    EXPECT_EQ(shot.at(1000, 700), shot_test::grab_at(grab, 1000, 700)) << "nothing is dimmed";
}

TEST(CaptureOverlayScreens, HintBeforeAnythingIsSelected) {
    const ScreenGrab grab = fake_desktop();
    CaptureOverlay o;
    gui_test::Pixels shot;
    run_driven(o, grab, true, true, nullptr, [&](HWND w) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        shot = gui_test::grab_screen(RECT{grab.left, grab.top, grab.left + grab.width, grab.top + grab.height});
        gui_test::post_key(w, VK_ESCAPE);
    });
    ASSERT_EQ(shot.width, grab.width);
    gui_test::save_png(shot, gui_test::exe_dir() + L"\\capture_overlay_hint.png");
    // White hint text in the middle of the dimmed screen.
    int white = 0;
    for (int y = grab.height / 2 - 12; y < grab.height / 2 + 12; ++y)
        for (int x = grab.width / 2 - 200; x < grab.width / 2 + 200; ++x)
            if (shot.at(x, y) == RGB(255, 255, 255)) ++white;
    EXPECT_GT(white, 30);
    EXPECT_FALSE(o.toolbar_visible);
}

// ---- resources ------------------------------------------------------------------------------

TEST(CaptureOverlayResources, FiftyOverlaysLeaveNoGdiObjects) {
    const ScreenGrab grab = fake_desktop();
    const Box initial{360, 280, 900, 400};
    auto one = [&] {
        CaptureOverlay o;
        add_sample_annotations(o);
        run_driven(o, grab, false, true, &initial, [&](HWND w) {
            gui_test::post_mouse(w, WM_MOUSEMOVE, screen_point(grab, 380, 700));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            gui_test::post_key(w, VK_ESCAPE);
        });
    };
    one();
    app_test::pump(100);
    const DWORD before = gui_test::gdi_object_count();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 50; ++i) one();
    app_test::pump(100);
    EXPECT_EQ(gui_test::gdi_object_count(), before);
}

}  // namespace
