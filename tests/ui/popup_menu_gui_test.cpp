// PopupMenu::track driven with real input while its loop runs: keys posted
// to the thread's queue, mouse moves and clicks at the real pointer from a
// helper thread. Checked: the chosen id, Esc, submenus by keyboard and by
// hover, disabled items and separators skipped, clicks outside and on
// separators, placement on the screen, WM_QUIT posted again, timers and
// key-downs of the thread consumed, a level destroyed from outside, GDI
// objects after a hundred openings, and pictures of the menu in both themes.
#include "ui/popup_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "tests/theme/gui_support.h"
#include "ui/modal_loop.h"

namespace {

using gui_test::pump;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

constexpr const wchar_t* kMenuClass = L"QuilletPopupMenu";
constexpr UINT kDestroyMenus = WM_APP + 7;
constexpr UINT kRecordDepth = WM_APP + 8;

int g_owner_keydowns = 0;
int g_owner_timers = 0;
int g_depth_seen = -1;

BOOL CALLBACK destroy_menu_window(HWND w, LPARAM) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    if (wcscmp(name, kMenuClass) == 0) DestroyWindow(w);
    return TRUE;
}

LRESULT CALLBACK owner_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_KEYDOWN:
            ++g_owner_keydowns;
            return 0;
        case WM_TIMER:
            ++g_owner_timers;
            return 0;
        case kDestroyMenus:
            EnumThreadWindows(GetCurrentThreadId(), destroy_menu_window, 0);
            return 0;
        case kRecordDepth:
            g_depth_seen = modal_loop_depth();
            return 0;
        default:
            return DefWindowProcW(w, msg, wp, lp);
    }
}

PopupMenuItem item(uint64_t id, const wchar_t* label, bool enabled = true, bool checked = false) {
    PopupMenuItem it;
    it.id = id;
    it.label = label;
    it.enabled = enabled;
    it.checked = checked;
    return it;
}

PopupMenuItem separator() {
    PopupMenuItem it;
    it.separator = true;
    return it;
}

PopupMenuItem parent(uint64_t id, const wchar_t* label, std::vector<PopupMenuItem> children) {
    PopupMenuItem it = item(id, label);
    it.children = std::move(children);
    return it;
}

// The level windows, left to right (a submenu opens right of its parent).
std::vector<HWND> levels(DWORD thread, size_t count, int timeout_ms = 3000) {
    std::vector<HWND> found;
    gui_test::wait_until(
        [&] {
            found = gui_test::thread_windows(thread, kMenuClass);
            return found.size() == count;
        },
        timeout_ms);
    std::sort(found.begin(), found.end(),
              [](HWND a, HWND b) { return gui_test::window_rect(a).left < gui_test::window_rect(b).left; });
    return found;
}

// The screen point in the middle of item i's row.
POINT row_point(HWND level, const std::vector<PopupMenuItem>& items, size_t i) {
    const RECT rc = gui_test::window_rect(level);
    return POINT{rc.left + 40, rc.top + menu_row_top(items, i) + menu_row_height(items[i]) / 2};
}

class Menu : public testing::Test {
protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = owner_proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"MenuTestOwner";
            RegisterClassW(&wc);
            registered = true;
        }
        owner_.reset(CreateWindowExW(0, L"MenuTestOwner", L"owner", WS_OVERLAPPEDWINDOW, 600, 500, 400, 300, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(owner_);
        ShowWindow(owner_.get(), SW_SHOW);
        SetForegroundWindow(owner_.get());
        park_pointer();
        pump();
        g_owner_keydowns = 0;
        g_owner_timers = 0;
        g_depth_seen = -1;
        ui_thread_ = GetCurrentThreadId();
    }
    void TearDown() override {
        pump();
        EXPECT_TRUE(gui_test::thread_windows(ui_thread_, kMenuClass).empty()) << "a level window was left behind";
        owner_.reset();
        pump();
    }

    // Keeps the pointer away from where the menus open, so that no stray
    // mouse move picks an item.
    static void park_pointer() { SetCursorPos(1900, 1060); }

    void post_keys(std::initializer_list<UINT> keys) {
        for (UINT k : keys) PostMessageW(owner_.get(), WM_KEYDOWN, k, 1);
    }

    // Runs track while the driver works from a helper thread. When the
    // driver leaves a menu open, Esc closes it.
    uint64_t track(const std::vector<PopupMenuItem>& items, std::function<void()> driver = {}, int x = 100,
                   int y = 100, bool dark = false, int placement = 0) {
        std::atomic<bool> done{false};
        std::thread helper;
        if (driver) {
            helper = std::thread([&] {
                driver();
                // Safety net: never leave a menu waiting for input.
                while (!done) {
                    std::vector<HWND> open = gui_test::thread_windows(ui_thread_, kMenuClass);
                    if (!open.empty()) PostMessageW(open.front(), WM_KEYDOWN, VK_ESCAPE, 1);
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                }
            });
        }
        const uint64_t result = PopupMenu::track(owner_.get(), x, y, items, dark, placement);
        done = true;
        if (helper.joinable()) helper.join();
        return result;
    }

    raii::Window owner_;
    DWORD ui_thread_ = 0;
};

// --- keyboard --------------------------------------------------------------------------

TEST_F(Menu, KeyboardChoosesTheHotItem) {
    const std::vector<PopupMenuItem> items{item(1, L"One"), item(2, L"Two"), item(3, L"Three")};
    post_keys({VK_DOWN, VK_DOWN, VK_RETURN});
    EXPECT_EQ(track(items), 3u) << "Down from nothing starts at item 1";
    post_keys({VK_UP, VK_RETURN});
    EXPECT_EQ(track(items), 3u) << "Up from nothing: the last item";
    post_keys({VK_UP, VK_UP, VK_UP, VK_RETURN});
    EXPECT_EQ(track(items), 1u);
    post_keys({VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
    EXPECT_EQ(track(items), 1u) << "wraps to the top";
}

TEST_F(Menu, EscapeAndEnterWithoutHotItem) {
    const std::vector<PopupMenuItem> items{item(1, L"One"), item(2, L"Two")};
    post_keys({VK_ESCAPE});
    EXPECT_EQ(track(items), 0u);
    post_keys({VK_RETURN, VK_DOWN, VK_RETURN});  // Enter with nothing hot is ignored
    EXPECT_EQ(track(items), 2u);
}

TEST_F(Menu, DisabledItemsAndSeparatorsAreSkipped) {
    const std::vector<PopupMenuItem> items{item(1, L"One"), item(2, L"Off", false), separator(), item(3, L"Three")};
    post_keys({VK_DOWN, VK_RETURN});
    EXPECT_EQ(track(items), 3u);
    post_keys({VK_UP, VK_UP, VK_RETURN});
    EXPECT_EQ(track(items), 1u);
    // Other keys do nothing.
    post_keys({'A', VK_TAB, VK_F5, VK_DOWN, VK_RETURN});
    EXPECT_EQ(track(items), 3u);
}

TEST_F(Menu, SubmenuByKeyboard) {
    const std::vector<PopupMenuItem> items{
        item(1, L"One"), parent(99, L"More", {item(11, L"Eleven"), item(12, L"Twelve"), item(13, L"Thirteen")}),
        item(3, L"Three")};
    post_keys({VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN});
    EXPECT_EQ(track(items), 12u);
    post_keys({VK_DOWN, VK_RETURN, VK_UP, VK_RETURN});  // Enter opens it too
    EXPECT_EQ(track(items), 13u);
    post_keys({VK_DOWN, VK_RIGHT, VK_LEFT, VK_DOWN, VK_RETURN});  // Left closes it again
    EXPECT_EQ(track(items), 3u);
    post_keys({VK_DOWN, VK_RIGHT, VK_LEFT, VK_LEFT, VK_UP, VK_RETURN});  // Left on the root does nothing
    EXPECT_EQ(track(items), 1u);
    post_keys({VK_RIGHT, VK_UP, VK_RETURN});  // Right with nothing hot opens nothing
    EXPECT_EQ(track(items), 3u);
}

TEST_F(Menu, ParentIdIsNeverReturned) {
    const std::vector<PopupMenuItem> items{parent(99, L"More", {item(11, L"Eleven")}), item(3, L"Three")};
    post_keys({VK_UP, VK_UP, VK_RETURN, VK_ESCAPE});
    EXPECT_EQ(track(items), 0u);
    PopupMenuItem off = parent(98, L"Off", {item(21, L"Inner")});
    off.enabled = false;
    const std::vector<PopupMenuItem> disabled{off, item(4, L"Four")};
    std::atomic<size_t> open_levels{0};
    uint64_t r = track(disabled, [&] {
        std::vector<HWND> root = levels(ui_thread_, 1);
        ASSERT_EQ(root.size(), 1u);
        gui_test::post_mouse(root[0], WM_MOUSEMOVE, row_point(root[0], disabled, 0));
        PostMessageW(root[0], WM_KEYDOWN, VK_RIGHT, 1);
        PostMessageW(root[0], WM_KEYDOWN, VK_RETURN, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        open_levels = gui_test::thread_windows(ui_thread_, kMenuClass).size();
        PostMessageW(root[0], WM_KEYDOWN, VK_ESCAPE, 1);
    });
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(open_levels.load(), 1u) << "a disabled parent opens nothing";
}

// --- mouse --------------------------------------------------------------------------------

TEST_F(Menu, ClickChoosesAndClickOutsideDismisses) {
    const std::vector<PopupMenuItem> items{item(1, L"One"), separator(), item(2, L"Two"), item(3, L"Off", false)};
    uint64_t r = track(items, [&] {
        std::vector<HWND> root = levels(ui_thread_, 1);
        ASSERT_EQ(root.size(), 1u);
        const POINT p = row_point(root[0], items, 2);
        gui_test::post_mouse(root[0], WM_MOUSEMOVE, p);
        gui_test::post_mouse(root[0], WM_LBUTTONDOWN, p, MK_LBUTTON);
        gui_test::post_mouse(root[0], WM_LBUTTONUP, p);
    });
    EXPECT_EQ(r, 2u);

    r = track(items, [&] {
        std::vector<HWND> root = levels(ui_thread_, 1);
        ASSERT_EQ(root.size(), 1u);
        gui_test::post_mouse(root[0], WM_RBUTTONDOWN, row_point(root[0], items, 0), MK_RBUTTON);
    });
    EXPECT_EQ(r, 1u) << "the right button chooses too";

    std::atomic<bool> open_after_disabled{false};
    r = track(items, [&] {
        std::vector<HWND> root = levels(ui_thread_, 1);
        ASSERT_EQ(root.size(), 1u);
        gui_test::post_mouse(root[0], WM_LBUTTONDOWN, row_point(root[0], items, 3), MK_LBUTTON);  // disabled
        gui_test::post_mouse(root[0], WM_LBUTTONDOWN, row_point(root[0], items, 1), MK_LBUTTON);  // separator
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        open_after_disabled = !gui_test::thread_windows(ui_thread_, kMenuClass).empty();
        const RECT rc = gui_test::window_rect(root[0]);
        gui_test::post_mouse(root[0], WM_LBUTTONDOWN, POINT{rc.right + 50, rc.bottom + 50}, MK_LBUTTON);
    });
    EXPECT_EQ(r, 0u) << "a click outside every level";
    EXPECT_TRUE(open_after_disabled.load()) << "disabled items and separators keep the menu open";
}

TEST_F(Menu, HoverOpensSubmenuAndMovingBackKeepsIt) {
    const std::vector<PopupMenuItem> items{item(1, L"One"),
                                           parent(0, L"More", {item(11, L"Eleven"), item(12, L"Twelve")}),
                                           separator(), item(3, L"Three")};
    std::atomic<size_t> after_hover{0}, after_back{0}, after_other{0};
    uint64_t r = track(items, [&] {
        std::vector<HWND> root = levels(ui_thread_, 1);
        ASSERT_EQ(root.size(), 1u);
        gui_test::post_mouse(root[0], WM_MOUSEMOVE, row_point(root[0], items, 1));
        std::vector<HWND> both = levels(ui_thread_, 2);  // after the 250 ms hover delay
        after_hover = both.size();
        ASSERT_EQ(both.size(), 2u);
        // Into the submenu, then back onto its parent item: it stays.
        gui_test::post_mouse(both[1], WM_MOUSEMOVE, row_point(both[1], items[1].children, 0));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        gui_test::post_mouse(both[1], WM_MOUSEMOVE, row_point(both[0], items, 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        after_back = gui_test::thread_windows(ui_thread_, kMenuClass).size();
        // Onto another item of the parent: it closes.
        gui_test::post_mouse(both[1], WM_MOUSEMOVE, row_point(both[0], items, 0));
        after_other = levels(ui_thread_, 1).size();
        // Open it again and choose in it.
        gui_test::post_mouse(both[0], WM_MOUSEMOVE, row_point(both[0], items, 1));
        both = levels(ui_thread_, 2);
        ASSERT_EQ(both.size(), 2u);
        const POINT p = row_point(both[1], items[1].children, 1);
        gui_test::post_mouse(both[1], WM_MOUSEMOVE, p);
        gui_test::post_mouse(both[1], WM_LBUTTONDOWN, p, MK_LBUTTON);
    });
    EXPECT_EQ(after_hover.load(), 2u);
    EXPECT_EQ(after_back.load(), 2u);
    EXPECT_EQ(after_other.load(), 1u);
    EXPECT_EQ(r, 12u);
}

TEST_F(Menu, HoverTimerAfterThePointerLeftOpensNothing) {
    const std::vector<PopupMenuItem> items{item(1, L"One"), parent(0, L"More", {item(11, L"Eleven")}),
                                           item(3, L"Three")};
    std::atomic<size_t> open{0};
    track(items, [&] {
        std::vector<HWND> root = levels(ui_thread_, 1);
        ASSERT_EQ(root.size(), 1u);
        gui_test::post_mouse(root[0], WM_MOUSEMOVE, row_point(root[0], items, 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        gui_test::post_mouse(root[0], WM_MOUSEMOVE, row_point(root[0], items, 2));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        open = gui_test::thread_windows(ui_thread_, kMenuClass).size();
    });
    EXPECT_EQ(open.load(), 1u);
}

TEST_F(Menu, ClickOnParentOpensAndSeparatorClosesDeeperLevels) {
    const std::vector<PopupMenuItem> items{parent(0, L"More", {item(11, L"Eleven")}), separator(), item(3, L"Three")};
    std::atomic<size_t> after_click{0}, after_separator{0};
    uint64_t r = track(items, [&] {
        std::vector<HWND> root = levels(ui_thread_, 1);
        ASSERT_EQ(root.size(), 1u);
        gui_test::post_mouse(root[0], WM_LBUTTONDOWN, row_point(root[0], items, 0), MK_LBUTTON);
        after_click = levels(ui_thread_, 2, 1000).size();
        gui_test::post_mouse(root[0], WM_LBUTTONDOWN, row_point(root[0], items, 1), MK_LBUTTON);
        after_separator = levels(ui_thread_, 1, 1000).size();
        PostMessageW(root[0], WM_KEYDOWN, VK_ESCAPE, 1);
    });
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(after_click.load(), 2u) << "a click opens the submenu at once";
    EXPECT_EQ(after_separator.load(), 1u);
}

// --- placement ---------------------------------------------------------------------------

TEST_F(Menu, PlacementBelowAboveAndOnTheScreen) {
    const std::vector<PopupMenuItem> items{item(1, L"One"), item(2, L"Two")};
    const int height = menu_height(items);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    struct Row {
        int x, y, placement;
        LONG left, top;
    };
    const Row rows[] = {
        {200, 300, 0, 200, 300},
        {200, 300, 1, 200, 300 - height},  // the bottom-left corner at the point
        {200, 10, 1, 200, 0},              // not enough room above
        {sw - 10, 300, 0, sw - 120 - 4, 300},
        {200, sh - 10, 0, 200, sh - height - 4},
        {-30, -30, 0, 0, 0},
    };
    for (const Row& row : rows) {
        RECT seen{};
        track(items,
              [&] {
                  std::vector<HWND> root = levels(ui_thread_, 1);
                  ASSERT_EQ(root.size(), 1u);
                  seen = gui_test::window_rect(root[0]);
                  PostMessageW(root[0], WM_KEYDOWN, VK_ESCAPE, 1);
              },
              row.x, row.y, false, row.placement);
        EXPECT_EQ(seen.left, row.left) << row.x << "," << row.y << " placement " << row.placement;
        EXPECT_EQ(seen.top, row.top) << row.x << "," << row.y << " placement " << row.placement;
        EXPECT_EQ(seen.bottom - seen.top, height);
        EXPECT_EQ(seen.right - seen.left, 120) << "short labels: the minimum width";
    }
}

TEST_F(Menu, TallMenuStartsAtTheTopAndSubmenuStaysOnScreen) {
    std::vector<PopupMenuItem> tall;
    for (int i = 1; i <= 60; ++i) tall.push_back(item(i, L"Row"));
    RECT seen{};
    track(tall, [&] {
        std::vector<HWND> root = levels(ui_thread_, 1);
        ASSERT_EQ(root.size(), 1u);
        seen = gui_test::window_rect(root[0]);
        PostMessageW(root[0], WM_KEYDOWN, VK_ESCAPE, 1);
    }, 300, 500);
    EXPECT_EQ(seen.top, 0);
    EXPECT_EQ(seen.left, 300);

    // Near the right edge the submenu overlaps its parent instead of leaving the screen.
    const int sw = GetSystemMetrics(SM_CXSCREEN);
    const std::vector<PopupMenuItem> items{item(1, L"One"), parent(0, L"More", {item(11, L"Eleven")})};
    RECT root_rc{}, sub_rc{};
    post_keys({VK_DOWN, VK_RIGHT});
    track(items, [&] {
        std::vector<HWND> both = levels(ui_thread_, 2);
        ASSERT_EQ(both.size(), 2u);
        root_rc = gui_test::window_rect(both[0]);
        sub_rc = gui_test::window_rect(both[1]);
        PostMessageW(both[1], WM_KEYDOWN, VK_ESCAPE, 1);
    }, sw - 200, 200);
    EXPECT_EQ(sub_rc.right, sw - 4);
    EXPECT_LT(sub_rc.left, root_rc.right) << "overlaps its parent";
    EXPECT_EQ(sub_rc.top, root_rc.top + menu_row_top(items, 1));
}

// --- the loop and the thread -----------------------------------------------------------

TEST_F(Menu, QuitIsPostedAgain) {
    const std::vector<PopupMenuItem> items{item(1, L"One")};
    PostQuitMessage(42);
    EXPECT_EQ(track(items), 0u);
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the outer loop still gets WM_QUIT";
    EXPECT_EQ(msg.wParam, 42u);
}

TEST_F(Menu, TimersAndKeyDownsOfTheThreadAreConsumed) {
    const std::vector<PopupMenuItem> items{item(1, L"One"), item(2, L"Two")};
    static std::atomic<int> proc_calls{0};
    proc_calls = 0;
    const UINT_PTR thread_timer =
        SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) { ++proc_calls; });
    SetTimer(owner_.get(), 5, 10, nullptr);
    PostMessageW(owner_.get(), WM_KEYDOWN, 'A', 1);
    PostMessageW(owner_.get(), kRecordDepth, 0, 0);
    const uint64_t r = track(items, [&] {
        std::vector<HWND> root = levels(ui_thread_, 1);
        ASSERT_EQ(root.size(), 1u);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        PostMessageW(root[0], WM_KEYDOWN, VK_DOWN, 1);
        PostMessageW(root[0], WM_KEYDOWN, VK_RETURN, 1);
    });
    EXPECT_EQ(r, 2u) << "the 'A' did nothing, Down and Enter chose";
    EXPECT_EQ(g_owner_keydowns, 0) << "key-downs of other windows are consumed";
    EXPECT_EQ(g_owner_timers, 0);
    EXPECT_EQ(proc_calls.load(), 0) << "timer procedures do not run either";
    EXPECT_EQ(g_depth_seen, 1) << "the loop counts as a nested loop";
    EXPECT_EQ(modal_loop_depth(), 0);
    // Once the menu is closed the timers run again.
    const DWORD until = GetTickCount() + 300;
    while (GetTickCount() < until) {
        pump();
        Sleep(5);
    }
    EXPECT_GT(g_owner_timers, 0);
    EXPECT_GT(proc_calls.load(), 0);
    KillTimer(nullptr, thread_timer);
    KillTimer(owner_.get(), 5);
}

TEST_F(Menu, AltF4DoesNotCloseALevel) {
    const std::vector<PopupMenuItem> items{item(1, L"One"), item(2, L"Two")};
    std::atomic<bool> still_open{false};
    const uint64_t r = track(items, [&] {
        std::vector<HWND> root = levels(ui_thread_, 1);
        ASSERT_EQ(root.size(), 1u);
        PostMessageW(root[0], WM_SYSKEYDOWN, VK_F4, 0x20000001);  // Alt held
        PostMessageW(root[0], WM_CLOSE, 0, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        still_open = IsWindow(root[0]) && IsWindowVisible(root[0]);
        PostMessageW(root[0], WM_KEYDOWN, VK_DOWN, 1);
        PostMessageW(root[0], WM_KEYDOWN, VK_RETURN, 1);
    });
    EXPECT_TRUE(still_open.load());
    EXPECT_EQ(r, 2u);
}

TEST_F(Menu, LevelDestroyedFromOutsideEndsTheMenu) {
    const std::vector<PopupMenuItem> items{item(1, L"One"), parent(0, L"More", {item(11, L"Eleven")})};
    PostMessageW(owner_.get(), kDestroyMenus, 0, 0);
    EXPECT_EQ(track(items), 0u);
    post_keys({VK_DOWN, VK_RIGHT});
    PostMessageW(owner_.get(), kDestroyMenus, 0, 0);
    EXPECT_EQ(track(items), 0u);
}

TEST_F(Menu, HundredOpeningsLeaveNoGdiObjects) {
    const std::vector<PopupMenuItem> items{
        item(1, L"Open"), item(2, L"Pinned", true, true), separator(),
        parent(0, L"Move to", {item(11, L"Work"), item(12, L"Home", true, true), item(13, L"Archive", false)}),
        item(5, L"Delete")};
    auto open_once = [&](bool dark) {
        post_keys({VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_UP, VK_LEFT, VK_RIGHT, VK_DOWN, VK_RETURN});
        return PopupMenu::track(owner_.get(), 100, 100, items, dark, 0);
    };
    for (int i = 0; i < 5; ++i) ASSERT_EQ(open_once(i % 2 == 1), 12u);
    pump();
    const DWORD before = gui_test::gdi_object_count();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(open_once(i % 2 == 1), 12u);
    pump();
    EXPECT_EQ(gui_test::gdi_object_count(), before);
}

// --- pictures -------------------------------------------------------------------------------

TEST_F(Menu, ScreenshotsInBothThemes) {
    const std::vector<PopupMenuItem> items{
        item(1, L"Open"), item(2, L"Pinned", true, true), separator(),
        parent(0, L"Move to category", {item(11, L"Work"), item(12, L"Home", true, true), item(13, L"Archive", false)}),
        item(4, L"Disabled item", false), item(5, L"Delete")};
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        gui_test::Pixels shot;
        RECT root_rc{}, sub_rc{};
        post_keys({VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN});
        track(items, [&] {
            std::vector<HWND> both = levels(ui_thread_, 2);
            ASSERT_EQ(both.size(), 2u);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            root_rc = gui_test::window_rect(both[0]);
            sub_rc = gui_test::window_rect(both[1]);
            RECT all{root_rc.left - 10, root_rc.top - 10, sub_rc.right + 10,
                     std::max(root_rc.bottom, sub_rc.bottom) + 10};
            shot = gui_test::grab_screen(all);
            PostMessageW(both[1], WM_KEYDOWN, VK_ESCAPE, 1);
        }, 100, 100, dark);
        ASSERT_GT(shot.width, 0);
        const std::wstring path = gui_test::exe_dir() + (dark ? L"\\popup_menu_dark.png" : L"\\popup_menu_light.png");
        EXPECT_TRUE(gui_test::save_png(shot, path));

        const PopupMenuColors& c = popup_menu_colors(dark);
        auto root = [&](int x, int y) { return shot.at(10 + x, 10 + y); };
        auto sub = [&](int x, int y) { return shot.at(10 + (sub_rc.left - root_rc.left) + x, 10 + (sub_rc.top - root_rc.top) + y); };
        const int rw = root_rc.right - root_rc.left, rh = root_rc.bottom - root_rc.top;
        EXPECT_EQ(root(5, 3), c.background);
        EXPECT_EQ(root(0, rh / 2), c.border);
        EXPECT_EQ(root(rw - 1, rh / 2), c.border);
        EXPECT_EQ(root(rw / 2, 0), c.border);
        EXPECT_EQ(root(rw / 2, rh - 1), c.border);
        const int sep = menu_row_top(items, 2);
        EXPECT_EQ(root(rw / 2, sep + 4), c.separator);
        EXPECT_EQ(root(rw / 2, sep + 2), c.background);
        const int parent_row = menu_row_top(items, 3);
        EXPECT_EQ(root(4, parent_row + 14), c.hot_fill) << "the parent of the open submenu stays hot";
        EXPECT_EQ(root(4, menu_row_top(items, 0) + 14), c.background);
        const int sw = sub_rc.right - sub_rc.left;
        EXPECT_EQ(sub(4, menu_row_top(items[3].children, 1) + 14), c.hot_fill) << "the hot submenu item";
        EXPECT_EQ(sub(4, menu_row_top(items[3].children, 0) + 14), c.background);
        EXPECT_EQ(sub(sw - 1, 10), c.border);
        EXPECT_EQ(sub_rc.left, root_rc.right + 2);
        EXPECT_EQ(sub_rc.top, root_rc.top + parent_row);
    }
}

}  // namespace
