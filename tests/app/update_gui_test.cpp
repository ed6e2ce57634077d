// The update check of a running App against the local update server (the
// address this build compiled in): the manual check of command 1504 ending
// in the information window, and the automatic check of timer 5 with its
// daily rule, its tray balloon and the stored time of the check.
#include <gtest/gtest.h>

#include <windows.h>

#include <time.h>

#include <string>
#include <thread>

#include "app/app_ids.h"
#include "app/tray_icon.h"
#include "app/update_check.h"
#include "app/web_addresses.h"
#include "core/i18n.h"
#include "tests/app/app_test_support.h"
#include "tests/theme/gui_support.h"
#include "ui/dialogs/info_window.h"

namespace {

using namespace app_test;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

Settings saved_settings(const RunningApp& run) {
    Settings s;
    s.load(run.files.settings_path);
    return s;
}

std::int64_t now() { return static_cast<std::int64_t>(_time64(nullptr)); }

// What the information window showed.
struct Shown {
    bool opened = false;
    std::wstring caption;
    std::wstring close_text;
    std::wstring second_text;
    bool has_second = false;
};

class UpdateApp : public testing::Test {
protected:
    void SetUp() override {
        std::string ignored;
        ASSERT_TRUE(winhttp_get(update_base() + L"/__clear", ignored)) << "the local update server is not running";
        ASSERT_TRUE(run.start());
        wnd = run.window();
        ASSERT_TRUE(wnd);
        set_language(L"en");
    }
    void TearDown() override { set_mode(L"same"); }

    void set_mode(const wchar_t* mode) {
        std::string ignored;
        EXPECT_TRUE(winhttp_get(update_base() + L"/__mode/" + mode, ignored));
    }
    int manifest_requests() {
        std::string body;
        EXPECT_TRUE(winhttp_get(update_base() + L"/__log", body));
        int n = 0;
        for (size_t at = 0; (at = body.find("/download/version.json", at)) != std::string::npos; ++at) ++n;
        return n;
    }

    // Posts command 1504, waits for the information window and ends it
    // with the key (Esc, or Enter on the focused button).
    Shown check_now(UINT key) {
        Shown shown;
        const DWORD ui_thread = GetCurrentThreadId();
        std::thread driver([&] {
            std::vector<HWND> found = gui_test::wait_for_windows(ui_thread, kInfoWindowClass, 1, 15000);
            if (found.empty()) return;
            HWND w = found.front();
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            wchar_t text[256] = {};
            shown.opened = true;
            GetWindowTextW(w, text, 256);
            shown.caption = text;
            GetWindowTextW(GetDlgItem(w, kInfoCloseId), text, 256);
            shown.close_text = text;
            if (HWND second = GetDlgItem(w, kInfoSecondId)) {
                shown.has_second = true;
                GetWindowTextW(second, text, 256);
                shown.second_text = text;
            }
            gui_test::post_key(w, key);
            gui_test::wait_until([&] { return !IsWindow(w); }, 3000);
            if (IsWindow(w)) PostMessageW(w, WM_CLOSE, 0, 0);
        });
        PostMessageW(wnd, WM_COMMAND, kCmdCheckUpdates, 0);
        pump_until([&] { return shown.opened && gui_test::thread_windows(ui_thread, kInfoWindowClass).empty(); },
                   16000);
        driver.join();
        return shown;
    }

    RunningApp run;
    HWND wnd = nullptr;
};

TEST_F(UpdateApp, ManualCheckFindsANewerVersion) {
    set_mode(L"newer");
    run.app->settings->last_update_check = 0;
    const Shown shown = check_now(VK_ESCAPE);
    ASSERT_TRUE(shown.opened);
    EXPECT_EQ(shown.caption, tr(L"update.available.title"));
    EXPECT_TRUE(shown.has_second);
    EXPECT_EQ(shown.second_text, tr(L"action.download"));
    EXPECT_EQ(shown.close_text, tr(L"action.close"));
    EXPECT_EQ(manifest_requests(), 1);
    EXPECT_GT(run.app->settings->last_update_check, now() - 60);
    EXPECT_EQ(saved_settings(run).last_update_check, run.app->settings->last_update_check);
}

TEST_F(UpdateApp, ManualCheckSameOlderAndFailed) {
    for (const wchar_t* mode : {L"same", L"older", L"garbage", L"error"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(mode)));
        set_mode(mode);
        run.app->settings->last_update_check = 0;
        const Shown shown = check_now(VK_RETURN);
        ASSERT_TRUE(shown.opened);
        EXPECT_EQ(shown.caption, tr(L"action.check_updates"));
        EXPECT_FALSE(shown.has_second);
        EXPECT_GT(run.app->settings->last_update_check, 0) << "every result stores the time";
    }
    // The manual check runs whatever the setting and the last check say.
    run.app->settings->check_updates = false;
    run.app->settings->last_update_check = now();
    set_mode(L"same");
    EXPECT_TRUE(check_now(VK_ESCAPE).opened);
}

TEST_F(UpdateApp, TimerFiveAnnouncesANewerVersionOncePerDay) {
    App& app = *run.app;
    ASSERT_TRUE(app.tray_icon->is_added());
    set_mode(L"newer");
    app.settings->check_updates = true;
    app.settings->last_update_check = 0;
    const int balloons = app.tray_icon->balloons_shown;
    PostMessageW(wnd, WM_TIMER, kTimerUpdateStart, 0);
    ASSERT_TRUE(pump_until([&] { return app.settings->last_update_check > 0; }, 15000));
    EXPECT_EQ(app.tray_icon->balloons_shown, balloons + 1);
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"update.available.title"));
    EXPECT_EQ(app.tray_icon->last_balloon_text, tr_format(L"update.available.text", L"1.4.0"));
    EXPECT_EQ(saved_settings(run).last_update_check, app.settings->last_update_check);
    EXPECT_EQ(manifest_requests(), 1);

    // Checked a moment ago: not due, nothing is asked.
    const std::int64_t stored = app.settings->last_update_check;
    PostMessageW(wnd, WM_TIMER, kTimerUpdateStart, 0);
    pump(1500);
    EXPECT_EQ(manifest_requests(), 1);
    EXPECT_EQ(app.settings->last_update_check, stored);

    // A day ago: due again. The same version now: no balloon, time stored.
    set_mode(L"same");
    app.settings->last_update_check = now() - 86400;
    PostMessageW(wnd, WM_TIMER, kTimerUpdateStart, 0);
    ASSERT_TRUE(pump_until([&] { return app.settings->last_update_check > now() - 60; }, 15000));
    EXPECT_EQ(manifest_requests(), 2);
    EXPECT_EQ(app.tray_icon->balloons_shown, balloons + 1);
}

TEST_F(UpdateApp, AutomaticCheckRulesAndClockSetBack) {
    App& app = *run.app;
    set_mode(L"older");
    // Switched off: nothing is asked.
    app.settings->check_updates = false;
    app.settings->last_update_check = 0;
    app.start_update_check();
    pump(1500);
    EXPECT_EQ(manifest_requests(), 0);
    EXPECT_EQ(app.settings->last_update_check, 0);
    // 23 hours ago: not yet.
    app.settings->check_updates = true;
    app.settings->last_update_check = now() - 23 * 3600;
    app.start_update_check();
    pump(1500);
    EXPECT_EQ(manifest_requests(), 0);
    // In the future (the clock was set back): due.
    const std::int64_t future = now() + 5 * 86400;
    app.settings->last_update_check = future;
    const int balloons = app.tray_icon->balloons_shown;
    app.start_update_check();
    ASSERT_TRUE(pump_until([&] { return app.settings->last_update_check < future; }, 15000));
    EXPECT_EQ(manifest_requests(), 1);
    EXPECT_EQ(app.tray_icon->balloons_shown, balloons) << "an older version is not announced";
}

}  // namespace
