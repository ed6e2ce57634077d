// The screenshot command of a running App: the entry it files is selected
// in the list, the tray balloon tells of it, the tool colour and thickness
// go back to the settings, the main window comes back; the window mode
// with the program's own window in front opens the overlay without a
// selection; a second screenshot while one runs does nothing; the entry
// hint and every other popup of the program are gone before the grab, on
// every way a screenshot starts, and the hint stays gone afterwards; a
// Save-as that cannot write its file says so with the path.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "app/app_ids.h"
#include "app/tray_icon.h"
#include "core/i18n.h"
#include "core/text.h"
#include "screenshot/capture_overlay.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/app/ui_driver.h"
#include "tests/screenshot/shot_test_support.h"
#include "tests/theme/gui_support.h"
#include "ui/cards_list.h"
#include "ui/main_window.h"
#include "ui/popup_menu.h"
#include "ui/quick_menu.h"

namespace {

using namespace app_test;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

// Runs start on this thread (a way into the screenshot command); drive
// gets the overlay window on another thread and must end it.
void run_driven_by(const std::function<void()>& start, const std::function<void(HWND)>& drive) {
    const DWORD thread = GetCurrentThreadId();
    std::thread driver([&] {
        auto found = gui_test::wait_for_windows(thread, L"QuilletCaptureOverlay", 1, 10000);
        if (found.empty()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        drive(found[0]);
        // Whatever overlay is still open (a failed expectation) is closed.
        for (int i = 0; i < 50; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            auto left = gui_test::thread_windows(thread, L"QuilletCaptureOverlay");
            if (left.empty()) break;
            for (HWND w : left) gui_test::post_key(w, VK_ESCAPE);
        }
    });
    start();
    driver.join();
    pump(300);
}

void run_driven(App& app, int mode, const std::function<void(HWND)>& drive) {
    run_driven_by([&] { app.take_screenshot(mode); }, drive);
}

std::uint64_t menu_choice = 0;

// The main window's Screenshot command (a menu-bar item).
constexpr int kScreenshotCommand = 1118;

TEST(ScreenshotCommand, FilesSelectsAndTellsOfTheEntry) {
    RunningApp run([](Settings& s) {
        s.screenshot_color = 0x0143A02E;  // high bits: only the colour is taken
        s.screenshot_thickness = 40;
        s.screenshot_copy_to_clipboard = false;
    });
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    HWND main = run.window();
    ShowWindow(main, SW_SHOW);
    // The images view, where the new entry is listed.
    app.main_window->show_images();
    pump(200);
    ASSERT_EQ(SendMessageW(app.main_window->cards, LB_GETCOUNT, 0, 0), 0);
    const int balloons = app.tray_icon->balloons_shown;
    bool hidden_meanwhile = false, busy_meanwhile = false;
    run_driven(app, 2, [&](HWND overlay) {
        hidden_meanwhile = !IsWindowVisible(main);
        busy_meanwhile = app.screenshot_busy;
        gui_test::post_key(overlay, VK_RETURN);
    });
    EXPECT_TRUE(hidden_meanwhile);
    EXPECT_TRUE(busy_meanwhile);
    EXPECT_FALSE(app.screenshot_busy);
    EXPECT_TRUE(IsWindowVisible(main));
    const std::vector<HistoryEntry> images = app.database->list_entries(L"images", false, true);
    ASSERT_EQ(images.size(), 1u);
    pump(200);
    EXPECT_EQ(SendMessageW(app.main_window->cards, LB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(list_selected_count(app.main_window->cards), 1);
    EXPECT_EQ(list_selected_entry_id(app.main_window->cards), images[0].id) << "the new entry is selected";
    EXPECT_EQ(app.tray_icon->balloons_shown, balloons + 1);
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.screenshot_added"));
    EXPECT_EQ(app.tray_icon->last_balloon_text, tr(L"screenshot.saved_to_images"));
    EXPECT_EQ(app.settings->screenshot_color, 0x43A02E);
    EXPECT_EQ(app.settings->screenshot_thickness, 24);
}

TEST(ScreenshotCommand, WindowModeWithTheProgramInFrontStartsWithoutASelection) {
    RunningApp run;
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    HWND main = run.window();
    // Another window of the program in front (the main window is hidden
    // before the window in front is looked at).
    raii::Window own(CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"own", WS_POPUP | WS_VISIBLE, 200, 200, 400, 300,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(own);
    SetForegroundWindow(own.get());
    pump(300);
    ASSERT_EQ(GetForegroundWindow(), own.get());
    int overlays_during_second = -1;
    const DWORD ui_thread = GetCurrentThreadId();
    run_driven(app, 1, [&](HWND overlay) {
        // Enter without a selection files nothing; a second screenshot
        // while this one runs opens nothing.
        gui_test::post_key(overlay, VK_RETURN);
        PostMessageW(main, WM_HOTKEY, kHotkeyFullShot, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        overlays_during_second =
            static_cast<int>(gui_test::thread_windows(ui_thread, L"QuilletCaptureOverlay").size());
        gui_test::post_key(overlay, VK_ESCAPE);
    });
    EXPECT_EQ(overlays_during_second, 1);
    pump(300);
    EXPECT_TRUE(app.database->list_entries(L"images", false, true).empty());
}

// A window of one colour over the whole screen, below every other, run by
// a thread of its own as another program's window would be.
class Backdrop {
public:
    static constexpr COLORREF kColour = RGB(0xFF, 0x00, 0xFF);
    Backdrop() {
        thread_ = std::thread([this] {
            static const bool registered = [] {
                WNDCLASSW wc{};
                wc.lpfnWndProc = DefWindowProcW;
                wc.hInstance = GetModuleHandleW(nullptr);
                wc.hbrBackground = CreateSolidBrush(kColour);
                wc.lpszClassName = L"QuilletTestBackdrop";
                return RegisterClassW(&wc) != 0;
            }();
            if (registered)
                window_ = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, L"QuilletTestBackdrop", L"", WS_POPUP,
                                          0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                                          nullptr, GetModuleHandleW(nullptr), nullptr);
            if (window_) {
                ShowWindow(window_, SW_SHOWNOACTIVATE);
                SetWindowPos(window_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                UpdateWindow(window_);
            }
            thread_id_ = GetCurrentThreadId();
            ready_ = true;
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
            if (window_) DestroyWindow(window_);
        });
        while (!ready_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~Backdrop() {
        PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
        thread_.join();
    }
    bool ok() const { return window_ != nullptr; }

private:
    std::atomic<bool> ready_{false};
    DWORD thread_id_ = 0;
    HWND window_ = nullptr;
    std::thread thread_;
};

// The visible popups (no title bar) of a thread but the capture overlay.
std::vector<HWND> visible_popups(DWORD thread, HWND main) {
    std::vector<HWND> found;
    struct Walk {
        HWND main;
        std::vector<HWND>* found;
    } walk{main, &found};
    EnumThreadWindows(
        thread,
        [](HWND w, LPARAM lp) -> BOOL {
            auto& walk = *reinterpret_cast<Walk*>(lp);
            wchar_t name[64] = {};
            GetClassNameW(w, name, 64);
            const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
            if (w != walk.main && IsWindowVisible(w) && (style & WS_POPUP) && (style & WS_CAPTION) != WS_CAPTION &&
                wcscmp(name, L"QuilletCaptureOverlay") != 0)
                walk.found->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return found;
}

bool all_of_colour(const shot_test::Image& img, const RECT& rc, COLORREF colour, int* others = nullptr) {
    int wrong = 0;
    for (LONG y = std::max<LONG>(rc.top, 0); y < std::min<LONG>(rc.bottom, img.height); ++y)
        for (LONG x = std::max<LONG>(rc.left, 0); x < std::min<LONG>(rc.right, img.width); ++x)
            if (img.at(x, y) != colour) ++wrong;
    if (others) *others = wrong;
    return wrong == 0;
}

class ScreenshotPopups : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(backdrop.ok());
        ASSERT_TRUE(run.start());
        app = run.app.get();
        mw = app->main_window.get();
        main = run.window();
        // Far enough from the left edge for the hint to go left of the window.
        SetWindowPos(main, HWND_TOP, 900, 120, 620, 520, SWP_SHOWWINDOW);
        SetForegroundWindow(main);
        id = app->database->add_text_entry(kPrivate, std::nullopt, false, false);
        ASSERT_GT(id, 0);
        mw->refresh_all();
        pump(200);
        show_hint();
    }
    void show_hint() {
        list_select_entry(mw->cards, id);
        mw->on_selection_changed();
        pump(300);
        ASSERT_TRUE(IsWindowVisible(mw->hint_popup));
        ASSERT_EQ(gui_test::text_of(mw->hint_popup).rfind(kPrivate, 0), 0u);
        hint_rect = gui_test::window_rect(mw->hint_popup);
    }
    static constexpr const wchar_t* kPrivate = L"Private hint text 4711";
    Backdrop backdrop;
    RunningApp run{[](Settings& s) {
        s.screenshot_copy_to_clipboard = false;
        s.show_hints = true;
    }};
    App* app = nullptr;
    MainWindow* mw = nullptr;
    HWND main = nullptr;
    std::int64_t id = 0;
    RECT hint_rect{};
};

// Hotkey 16 and Enter: the stored PNG has the backdrop where the hint was,
// and the hint is not shown again afterwards.
TEST_F(ScreenshotPopups, TheHintIsNotInTheGrabAndDoesNotComeBack) {
    // The hint is on the screen, over the backdrop.
    int hint_pixels = 0;
    {
        const Capture before = capture_screen(hint_rect);
        shot_test::Image img;
        img.width = before.width;
        img.height = before.height;
        img.bgra = before.pixels;
        all_of_colour(img, RECT{0, 0, before.width, before.height}, Backdrop::kColour, &hint_pixels);
        ASSERT_GT(hint_pixels, before.width * before.height / 2) << "the hint is painted over the backdrop";
    }
    std::vector<HWND> popups_meanwhile{nullptr};
    run_driven_by([&] { SendMessageW(main, WM_HOTKEY, kHotkeyFullShot, 0); },
                  [&](HWND overlay) {
                      popups_meanwhile = visible_popups(GetWindowThreadProcessId(overlay, nullptr), main);
                      gui_test::post_key(overlay, VK_RETURN);
                  });
    EXPECT_TRUE(popups_meanwhile.empty());
    const std::vector<HistoryEntry> images = app->database->list_entries(L"images", false, true);
    ASSERT_EQ(images.size(), 1u);
    const shot_test::Image img = shot_test::decode_png(images[0].image);
    ASSERT_EQ(img.width, static_cast<std::uint32_t>(GetSystemMetrics(SM_CXVIRTUALSCREEN)));
    int others = 0;
    EXPECT_TRUE(all_of_colour(img, hint_rect, Backdrop::kColour, &others))
        << others << " pixels of the hint's place are not the backdrop";
    pump(500);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(IsWindowVisible(mw->hint_popup)) << "the hint came back by itself";
    EXPECT_FALSE(mw->hint.shown);
}

// Every way a screenshot starts hides the hint (and any other popup) before
// the overlay is up: the three hotkeys, the toolbar button, the menu
// command, the tray menu's item, and a hotkey while a menu is open.
TEST_F(ScreenshotPopups, EveryWayHidesThePopupsFirst) {
    HWND button = GetDlgItem(main, kIdScreenshot);
    bool quick_menu_was_open = false;
    RECT quick_menu_rect{};
    struct Case {
        const char* what;
        std::function<void()> start;
        bool file = false;  // Enter files the grab; else Esc
    } cases[] = {
        {"hotkey 14", [&] { SendMessageW(main, WM_HOTKEY, kHotkeyRegionShot, 0); }},
        {"hotkey 15", [&] { SendMessageW(main, WM_HOTKEY, kHotkeyWindowShot, 0); }},
        {"hotkey 16", [&] { SendMessageW(main, WM_HOTKEY, kHotkeyFullShot, 0); }},
        {"toolbar button",
         [&] { SendMessageW(main, WM_COMMAND, MAKEWPARAM(kIdScreenshot, BN_CLICKED), reinterpret_cast<LPARAM>(button)); }},
        {"menu command", [&] { SendMessageW(main, WM_COMMAND, MAKEWPARAM(kScreenshotCommand, 0), 0); }},
        {"tray menu item",
         [&] {
             // The tray menu opens; the driver thread chooses its item.
             std::thread chooser([&] {
                 HWND menu = ui_driver::wait_window(GetWindowThreadProcessId(main, nullptr), ui_driver::kMenuClass);
                 if (menu) ui_driver::choose_menu_item(menu, kTrayScreenshot);
             });
             SendMessageW(app->tray_icon->window, WM_TRAYICON, 0, WM_RBUTTONUP);
             chooser.join();
         }},
        {"hotkey while the quick menu is open",
         [&] {
             // Over the backdrop, clear of the main window and the hint.
             SetCursorPos(60, 60);
             app->show_quick_menu();
             pump(200);
             quick_menu_was_open = IsWindowVisible(app->quick_menu->window) != FALSE;
             quick_menu_rect = gui_test::window_rect(app->quick_menu->window);
             SendMessageW(main, WM_HOTKEY, kHotkeyFullShot, 0);
         },
         true},
        {"hotkey while a menu is open",
         [&] {
             PostMessageW(main, WM_HOTKEY, kHotkeyFullShot, 0);
             const std::vector<PopupMenuItem> items = {PopupMenuItem{L"Private menu item", 1, false, false, true, {}}};
             POINT at{200, 200};
             menu_choice = PopupMenu::track_at(main, at.x, at.y, items, false);
         }},
    };
    ASSERT_TRUE(button);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        show_hint();
        menu_choice = 99;
        std::vector<HWND> popups_meanwhile{nullptr};
        bool overlay_seen = false;
        run_driven_by(c.start, [&](HWND overlay) {
            overlay_seen = true;
            popups_meanwhile = visible_popups(GetWindowThreadProcessId(overlay, nullptr), main);
            gui_test::post_key(overlay, c.file ? VK_RETURN : VK_ESCAPE);
        });
        EXPECT_TRUE(overlay_seen);
        EXPECT_TRUE(popups_meanwhile.empty()) << popups_meanwhile.size() << " popups shown over the grab";
        if (std::string(c.what) == "hotkey while the quick menu is open") {
            EXPECT_TRUE(quick_menu_was_open);
            EXPECT_FALSE(IsWindowVisible(app->quick_menu->window));
            // Not in the grab either: its place shows the backdrop.
            const std::vector<HistoryEntry> images = app->database->list_entries(L"images", false, true);
            ASSERT_FALSE(images.empty());
            const shot_test::Image img = shot_test::decode_png(images[0].image);
            int others = 0;
            EXPECT_TRUE(all_of_colour(img, quick_menu_rect, Backdrop::kColour, &others))
                << others << " pixels of the quick menu's place are not the backdrop";
            EXPECT_TRUE(all_of_colour(img, hint_rect, Backdrop::kColour, &others))
                << others << " pixels of the hint's place are not the backdrop";
        }
        if (std::string(c.what) == "hotkey while a menu is open") {
            EXPECT_EQ(menu_choice, 0u) << "the menu ends with the screenshot";
            EXPECT_TRUE(ui_driver::newest_window(GetCurrentThreadId(), ui_driver::kMenuClass) == nullptr);
        }
        pump(300);
        EXPECT_FALSE(IsWindowVisible(mw->hint_popup));
        EXPECT_FALSE(app->screenshot_busy);
    }
}

// The visible top-level windows of a class that another process owns (the
// notification area and its balloon are explorer's under Wine).
std::vector<HWND> others_windows(const wchar_t* cls) {
    struct Walk {
        const wchar_t* cls;
        std::vector<HWND> found;
    } walk{cls, {}};
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto& walk = *reinterpret_cast<Walk*>(lp);
            wchar_t name[64] = {};
            GetClassNameW(w, name, 64);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid != GetCurrentProcessId() && IsWindowVisible(w) && _wcsicmp(name, walk.cls) == 0)
                walk.found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return walk.found;
}

const shot_test::Image newest_image(Database& db) {
    const std::vector<HistoryEntry> images = db.list_entries(L"images", false, true);
    const HistoryEntry* newest = nullptr;
    for (const HistoryEntry& e : images)
        if (!newest || e.id > newest->id) newest = &e;
    return newest ? shot_test::decode_png(newest->image) : shot_test::Image{};
}

// The "Screenshot added" balloon of one full-screen shot still showing when
// the next is taken (hotkey 16 and Enter): the next PNG has the backdrop
// where the balloon was. Wine's notification area (explorer's window
// "__winex11_standalone_tray" on a desktop without a tray of its own) draws
// the balloon as a tooltip window of explorer's, two seconds after the
// call; the part of it below the tray window is compared.
TEST_F(ScreenshotPopups, TheTrayBalloonIsNotInTheNextShot) {
    ASSERT_TRUE(app->tray_icon && app->tray_icon->is_added());
    const int balloons = app->tray_icon->balloons_shown;
    run_driven_by([&] { SendMessageW(main, WM_HOTKEY, kHotkeyFullShot, 0); },
                  [&](HWND overlay) { gui_test::post_key(overlay, VK_RETURN); });
    ASSERT_EQ(app->tray_icon->last_balloon_title, tr(L"tray.screenshot_added"));
    ASSERT_TRUE(app->tray_icon->balloon_up);
    HWND balloon = nullptr;
    pump_until(
        [&] {
            const std::vector<HWND> shown = others_windows(L"tooltips_class32");
            balloon = shown.empty() ? nullptr : shown.front();
            return balloon != nullptr;
        },
        8000);
    ASSERT_TRUE(balloon) << "the shell shows no balloon on this desktop";
    pump(500);
    RECT place = gui_test::window_rect(balloon);
    for (HWND tray : others_windows(L"__winex11_standalone_tray")) {
        const RECT t = gui_test::window_rect(tray);
        if (t.bottom > place.top && t.top <= place.top) place.top = t.bottom;
    }
    ASSERT_GT(place.bottom - place.top, 10);
    {
        // The balloon is on the screen, over the backdrop.
        const Capture before = capture_screen(place);
        shot_test::Image img;
        img.width = before.width;
        img.height = before.height;
        img.bgra = before.pixels;
        int balloon_pixels = 0;
        all_of_colour(img, RECT{0, 0, before.width, before.height}, Backdrop::kColour, &balloon_pixels);
        ASSERT_GT(balloon_pixels, before.width * before.height / 2) << "the balloon is painted over the backdrop";
    }
    bool balloon_meanwhile = true;
    run_driven_by([&] { SendMessageW(main, WM_HOTKEY, kHotkeyFullShot, 0); },
                  [&](HWND overlay) {
                      balloon_meanwhile = IsWindowVisible(balloon) != FALSE;
                      gui_test::post_key(overlay, VK_RETURN);
                  });
    EXPECT_FALSE(balloon_meanwhile) << "the balloon showed over the grab";
    ASSERT_EQ(app->database->list_entries(L"images", false, true).size(), 2u);
    const shot_test::Image img = newest_image(*app->database);
    int others = 0;
    EXPECT_TRUE(all_of_colour(img, place, Backdrop::kColour, &others))
        << others << " pixels of the balloon's place (" << place.left << "," << place.top << ")-(" << place.right
        << "," << place.bottom << ") are not the backdrop";
    // The second shot's own balloon is the one now shown.
    EXPECT_EQ(app->tray_icon->balloons_shown, balloons + 2);
    EXPECT_TRUE(app->tray_icon->balloon_up);
}

// A Save-as whose file cannot be written: the entry is stored and a
// message names the path; no plain "Screenshot added" balloon.
TEST(ScreenshotCommand, AFailedSaveAsIsToldWithThePath) {
    RunningApp run([](Settings& s) {
        s.screenshot_autosave = false;
        s.screenshot_copy_to_clipboard = false;
    });
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    HWND main = run.window();
    ShowWindow(main, SW_SHOW);
    pump(200);
    // A file another handle holds without sharing cannot be written.
    TempFolder elsewhere;
    const std::wstring locked_path = elsewhere.file(L"locked shot.png");
    raii::Handle locked(CreateFileW(locked_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(locked.get() != INVALID_HANDLE_VALUE && locked.get() != nullptr);
    const int balloons = app.tray_icon->balloons_shown;
    const DWORD ui = GetCurrentThreadId();
    std::wstring message;
    bool answered = false;
    run_driven_by([&] { SendMessageW(main, WM_HOTKEY, kHotkeyFullShot, 0); },
                  [&](HWND overlay) {
                      // The Save button of the whole-screen selection: the
                      // Save-as dialog, then its overwrite prompt.
                      CaptureOverlay model;
                      model.grab.width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
                      model.grab.height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
                      model.selection = Box{0, 0, model.grab.width, model.grab.height};
                      model.layout_toolbar();
                      POINT save{-1, -1};
                      for (const ToolbarButton& b : model.buttons)
                          if (b.id == kTbSave) save = POINT{(b.rect.left + b.rect.right) / 2, (b.rect.top + b.rect.bottom) / 2};
                      PostMessageW(overlay, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(save.x, save.y));
                      PostMessageW(overlay, WM_LBUTTONUP, 0, MAKELPARAM(save.x, save.y));
                      if (!ui_driver::answer_file_dialog(ui, locked_path)) return;
                      HWND box = ui_driver::wait_window(ui, ui_driver::kConfirmBoxClass);
                      if (!box) return;
                      answered = ui_driver::confirm_answer(true, &message).act(box);
                  });
    EXPECT_TRUE(answered) << "no message came";
    EXPECT_NE(message.find(locked_path), std::wstring::npos) << to_utf8(message);
    EXPECT_NE(message.find(tr(L"screenshot.saved_to_images")), std::wstring::npos);
    EXPECT_EQ(app.database->list_entries(L"images", false, true).size(), 1u) << "the entry is stored";
    EXPECT_EQ(app.tray_icon->balloons_shown, balloons) << "no plain \"Screenshot added\"";
}

}  // namespace
