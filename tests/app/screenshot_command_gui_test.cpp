// The screenshot command of a running App: the entry it files is selected
// in the list, the tray balloon tells of it, the tool colour and thickness
// go back to the settings, the main window comes back; the window mode
// with the program's own window in front opens the overlay without a
// selection; a second screenshot while one runs does nothing.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <thread>

#include "app/app_ids.h"
#include "app/tray_icon.h"
#include "core/i18n.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/theme/gui_support.h"
#include "ui/cards_list.h"
#include "ui/main_window.h"

namespace {

using namespace app_test;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

// Runs the command on this thread; drive gets the overlay window on another
// thread and must end it.
void run_driven(App& app, int mode, const std::function<void(HWND)>& drive) {
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
    app.take_screenshot(mode);
    driver.join();
    pump(300);
}

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

}  // namespace
