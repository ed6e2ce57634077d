// The one rule of the entry hint over a running App, on the roads that used
// to bring it back over other windows: a copy made by another program while
// that program is in front, a capture after a screenshot hid the hint, and
// a language or theme change made in the settings window. In each the hint
// stays hidden; a selection of the user's brings it back.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "app/app_ids.h"
#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/app/settings_test_support.h"
#include "tests/theme/gui_support.h"
#include "ui/cards_list.h"
#include "ui/dialogs/settings_window.h"
#include "ui/main_window.h"

namespace {

using namespace app_test;

bool hint_visible(const MainWindow& mw) { return mw.hint.shown && IsWindowVisible(mw.hint_popup); }

// Whether the hint shows at any moment while the thread pumps.
struct HintWatch {
    const MainWindow& mw;
    bool seen = false;
    // Pumps until done (or the time is up), looking at the hint every turn.
    bool pump_until(const std::function<bool()>& done, DWORD ms) {
        const ULONGLONG end = GetTickCount64() + ms;
        for (;;) {
            if (hint_visible(mw)) seen = true;
            if (done()) return true;
            if (GetTickCount64() >= end) return false;
            pump(10);
        }
    }
    void pump_for(DWORD ms) { pump_until([] { return false; }, ms); }
};

class HintRule : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.start());
        wnd = run.window();
        mw = run.app->main_window.get();
        db = run.app->database.get();
        ASSERT_TRUE(wnd && mw && db);
        // Topmost (the default), away from the helpers' windows at (40, 40).
        SetWindowPos(wnd, HWND_TOPMOST, 900, 120, 620, 520, SWP_SHOWWINDOW);
        SetForegroundWindow(wnd);
        pump(200);
        hinted = db->add_text_entry(L"the hinted entry", std::nullopt, false, false);
        ASSERT_GT(hinted, 0);
        mw->refresh_all();
        pump(100);
        ASSERT_TRUE(list_select_entry(mw->cards, hinted));
        mw->on_selection_changed();
        ASSERT_TRUE(hint_visible(*mw)) << "the hint of the selected row over the active window";
    }
    // The count of stored entries reaches n and the list shows rows rows
    // (a capture was filed and listed).
    bool wait_for_entries(HintWatch& watch, std::int64_t n, std::size_t rows) {
        return watch.pump_until([&] { return db->count_entries() == n && mw->model.row_count() == rows; }, 8000);
    }

    RunningApp run{[](Settings& s) {
        s.screenshot_copy_to_clipboard = false;
        s.screenshot_autosave = false;
    }};
    HWND wnd = nullptr;
    MainWindow* mw = nullptr;
    Database* db = nullptr;
    std::int64_t hinted = 0;
};

// Another program in front copies a text: the capture refreshes the list
// behind it, and the hint does not come back over that program.
TEST_F(HintRule, ACopyInAnotherProgramInFrontShowsNoHint) {
    Helper front;
    ASSERT_TRUE(front.start(L"window QuilletHintRuleFront"));
    HWND other = FindWindowW(L"QuilletHintRuleFront", nullptr);
    ASSERT_TRUE(other);
    SetForegroundWindow(other);
    ASSERT_TRUE(pump_until([&] { return GetForegroundWindow() == other && !hint_visible(*mw); }, 3000))
        << "the hint goes with the activation";
    const std::int64_t before = db->count_entries();
    HintWatch watch{*mw};
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        // The copying program's window comes in front and copies.
        Helper copier;
        ASSERT_TRUE(copier.start(L"text \"copied elsewhere " + std::to_wstring(i) + L"\""));
        EXPECT_TRUE(wait_for_entries(watch, before + i, static_cast<std::size_t>(before + i)))
            << "the copy was not captured";
        watch.pump_for(400);
        EXPECT_NE(GetForegroundWindow(), wnd);
    }
    EXPECT_FALSE(watch.seen) << "the hint came back over the program in front";
    EXPECT_EQ(list_selected_entry_id(mw->cards), hinted) << "the selection stayed";
    // Back in the main window, the hint shows again: it went with the
    // activation, not on purpose.
    SetForegroundWindow(wnd);
    EXPECT_TRUE(pump_until([&] { return hint_visible(*mw); }, 3000));
    EXPECT_EQ(mw->hint.hinted_key, hinted);
}

// A screenshot hides the hint (its entry goes to the images, the selection
// stays); a capture after it, with the main window active, brings no hint
// back. The user's next selection does.
TEST_F(HintRule, AfterAScreenshotACaptureLeavesTheHintHidden) {
    const DWORD ui = GetCurrentThreadId();
    std::thread driver([ui] {
        auto found = gui_test::wait_for_windows(ui, L"QuilletCaptureOverlay", 1, 10000);
        if (found.empty()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gui_test::post_key(found[0], VK_RETURN);
    });
    SendMessageW(wnd, WM_HOTKEY, kHotkeyFullShot, 0);
    driver.join();
    pump(300);
    ASSERT_EQ(db->list_entries(L"images", false, true).size(), 1u) << "the screenshot was filed";
    EXPECT_EQ(list_selected_entry_id(mw->cards), hinted);
    SetForegroundWindow(wnd);
    HintWatch watch{*mw};
    watch.pump_for(400);
    ASSERT_EQ(GetForegroundWindow(), wnd);
    EXPECT_FALSE(watch.seen) << "the hint came back after the screenshot";

    // A copy made meanwhile (by this process: the main window stays active).
    const std::int64_t before = db->count_entries();
    const std::size_t rows = mw->model.row_count();
    ASSERT_TRUE(winutil::set_clipboard_text(L"copied after the screenshot"));
    EXPECT_TRUE(wait_for_entries(watch, before + 1, rows + 1)) << "the copy was not captured";
    watch.pump_for(400);
    EXPECT_EQ(GetForegroundWindow(), wnd);
    EXPECT_FALSE(watch.seen) << "the capture brought the hint back";
    EXPECT_EQ(list_selected_entry_id(mw->cards), hinted);
    // So does the history hotkey while the window is in front.
    SendMessageW(wnd, WM_HOTKEY, kHotkeyHistory, 0);
    watch.pump_for(300);
    EXPECT_FALSE(watch.seen) << "the history hotkey brought the hint back";

    // The user picks a row (here the same one again): the hint follows it.
    ASSERT_TRUE(list_select_entry(mw->cards, hinted));
    mw->on_selection_changed();
    EXPECT_TRUE(hint_visible(*mw));
    EXPECT_EQ(mw->hint.hinted_key, hinted);
}

// The settings window opened over the main window, and its language and
// theme changed there: the main window is rebuilt behind it, and the hint
// never shows over it.
TEST_F(HintRule, ALanguageOrThemeChangeInTheSettingsShowsNoHint) {
    App& app = *run.app;
    HintWatch watch{*mw};
    app.show_settings();
    ASSERT_TRUE(app.settings_window && app.settings_window->window);
    SettingsWindow& sw = *app.settings_window;
    SetForegroundWindow(sw.window);
    watch.pump_for(300);
    EXPECT_FALSE(hint_visible(*mw)) << "the settings window in front";
    watch.seen = false;

    settings_test::open_page(app, 0);
    HWND languages = settings_test::control_on_page(sw, 0, kSetLanguage);
    ASSERT_TRUE(languages);
    ASSERT_EQ(current_language(), L"en");
    SetFocus(languages);
    settings_test::press(app, VK_UP);  // "de" is the one before "en"
    watch.pump_for(400);
    ASSERT_EQ(current_language(), L"de");
    EXPECT_EQ(gui_test::text_of(mw->watch_box), tr(L"toggle.watch_buffer")) << "the main window speaks German";
    EXPECT_FALSE(watch.seen) << "the language change brought the hint over the settings window";

    const bool dark = app.settings->dark_mode;
    settings_test::open_page(app, 2);
    settings_test::click(app, settings_test::control_on_page(*app.settings_window, 2, kSetDarkMode));
    watch.pump_for(400);
    ASSERT_NE(app.settings->dark_mode, dark) << "the theme changed";
    EXPECT_FALSE(watch.seen) << "the theme change brought the hint over the settings window";

    DestroyWindow(app.settings_window->window);
    SetForegroundWindow(wnd);
    EXPECT_TRUE(pump_until([&] { return hint_visible(*mw); }, 3000)) << "back with the main window";
    set_language(L"en");
}

}  // namespace
