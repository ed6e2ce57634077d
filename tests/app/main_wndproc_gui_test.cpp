// The main window procedure of a running App: timers, private messages and
// their text ownership, sign-out, the re-created taskbar, the clipboard
// poll and its pause during nested loops, closing, and start-up placement.
#include <gtest/gtest.h>

#include <windows.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "app/app_ids.h"
#include "app/tray_icon.h"
#include "capture/clipboard.h"
#include "capture/posted_text.h"
#include "capture/watcher.h"
#include "core/i18n.h"
#include "core/text.h"
#include "core/winutil.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/app/program_run.h"
#include "tests/theme/gui_support.h"
#include "ui/main_window.h"
#include "ui/modal_loop.h"

namespace {

using namespace app_test;

Settings saved_settings(const RunningApp& run) {
    Settings s;
    s.load(run.files.settings_path);
    return s;
}

const HistoryEntry* find_entry(const std::vector<HistoryEntry>& list, std::int64_t id) {
    for (const HistoryEntry& e : list)
        if (e.id == id) return &e;
    return nullptr;
}

const HistoryEntry* find_text(const std::vector<HistoryEntry>& list, const std::wstring& text) {
    for (const HistoryEntry& e : list)
        if (e.text == text) return &e;
    return nullptr;
}

std::wstring link_title_of(Database& db, std::int64_t id) {
    std::vector<HistoryEntry> list = db.list_entries(L"all", false, true);
    const HistoryEntry* e = find_entry(list, id);
    return e ? e->link_title : L"<missing>";
}

class WndProc : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.start());
        wnd = run.window();
        ASSERT_TRUE(wnd);
    }
    RunningApp run;
    HWND wnd = nullptr;
};

TEST_F(WndProc, MovesWithinHalfASecondSaveOnceAfterTheLast) {
    const int start_x = saved_settings(run).window_x;
    for (int x : {150, 170, 190}) {
        SetWindowPos(wnd, nullptr, x, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        pump(150);
    }
    EXPECT_EQ(saved_settings(run).window_x, start_x);  // not yet: the timer restarted each time
    EXPECT_TRUE(pump_until([&] { return saved_settings(run).window_x == 190; }, 1500));
    RECT rc{};
    GetWindowRect(wnd, &rc);
    Settings s = saved_settings(run);
    EXPECT_EQ(s.window_y, rc.top);
    EXPECT_EQ(s.window_w, rc.right - rc.left);
    EXPECT_EQ(s.window_h, rc.bottom - rc.top);
}

TEST_F(WndProc, PollRemembersForeignWindowButNotShellWindows) {
    Helper target;
    ASSERT_TRUE(target.start(L"window QuilletTestTarget"));
    HWND other = FindWindowW(L"QuilletTestTarget", nullptr);
    ASSERT_TRUE(other);
    SetForegroundWindow(other);
    ASSERT_TRUE(pump_until([&] { return run.app->paste_target == other; }, 3000));
    Helper shell;
    ASSERT_TRUE(shell.start(L"window Progman"));
    HWND progman = nullptr;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"Progman", nullptr); w;
         w = FindWindowExW(nullptr, w, L"Progman", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == shell.id()) progman = w;
    }
    ASSERT_TRUE(progman);
    SetForegroundWindow(progman);
    pump(1200);
    ASSERT_EQ(GetForegroundWindow(), progman);
    EXPECT_EQ(run.app->paste_target, other);
    // The program's own window is not a target either.
    SetForegroundWindow(wnd);
    pump(1200);
    EXPECT_EQ(run.app->paste_target, other);
}

TEST_F(WndProc, LinkTitleStoredOnlyFromPostedText) {
    Database& db = *run.app->database;
    std::int64_t id = db.add_text_entry(L"https://example.com/page", std::nullopt, false, false);
    ASSERT_GT(id, 0);
    // A foreign pointer is not the program's: ignored, not freed.
    static wchar_t foreign[] = L"Forged";
    PostMessageW(wnd, WM_LINK_TITLE, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(foreign));
    PostMessageW(wnd, WM_LINK_TITLE, static_cast<WPARAM>(id), 0);
    pump(100);
    std::vector<HistoryEntry> list = db.list_entries(L"all", false, true);
    ASSERT_NE(find_entry(list, id), nullptr);
    EXPECT_EQ(find_entry(list, id)->link_title, L"");
    EXPECT_STREQ(foreign, L"Forged");
    // An empty title changes nothing but is freed.
    ASSERT_TRUE(post_text_message(wnd, WM_LINK_TITLE, static_cast<WPARAM>(id), L""));
    pump(100);
    EXPECT_EQ(link_title_of(db, id), L"");
    ASSERT_TRUE(post_text_message(wnd, WM_LINK_TITLE, static_cast<WPARAM>(id), L"Example page"));
    pump(100);
    EXPECT_EQ(link_title_of(db, id), L"Example page");
    // A title for an entry that no longer exists changes nothing.
    ASSERT_TRUE(post_text_message(wnd, WM_LINK_TITLE, 987654, L"Nobody"));
    pump(100);
    EXPECT_EQ(link_title_of(db, id), L"Example page");
}

TEST_F(WndProc, AutomaticUpdateResultAnnouncesAndMarksCheck) {
    App& app = *run.app;
    app.settings->check_updates = true;
    app.settings->last_update_check = 0;
    ASSERT_TRUE(app.tray_icon->is_added());
    const int balloons = app.tray_icon->balloons_shown;

    static wchar_t forged[] = L"9.9.9";
    PostMessageW(wnd, WM_UPDATE_AUTO_RESULT, 1, reinterpret_cast<LPARAM>(forged));
    pump(100);
    EXPECT_EQ(app.settings->last_update_check, 0);
    EXPECT_EQ(app.tray_icon->balloons_shown, balloons);

    ASSERT_TRUE(post_text_message(wnd, WM_UPDATE_AUTO_RESULT, 1, L"2.0.0"));
    pump(100);
    EXPECT_GT(app.settings->last_update_check, 0);
    EXPECT_EQ(saved_settings(run).last_update_check, app.settings->last_update_check);
    EXPECT_EQ(app.tray_icon->balloons_shown, balloons + 1);
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"update.available.title"));
    EXPECT_EQ(app.tray_icon->last_balloon_text, tr_format(L"update.available.text", L"2.0.0"));

    // No newer version, or announcements off: no balloon, still marked.
    app.settings->last_update_check = 0;
    PostMessageW(wnd, WM_UPDATE_AUTO_RESULT, 0, 0);
    pump(100);
    EXPECT_GT(app.settings->last_update_check, 0);
    app.settings->check_updates = false;
    ASSERT_TRUE(post_text_message(wnd, WM_UPDATE_AUTO_RESULT, 1, L"3.0.0"));
    pump(100);
    EXPECT_EQ(app.tray_icon->balloons_shown, balloons + 1);
}

TEST_F(WndProc, ManualUpdateResultMarksCheck) {
    App& app = *run.app;
    app.settings->last_update_check = 0;
    // The result is shown in the information window, closed here once it is up.
    const DWORD ui_thread = GetCurrentThreadId();
    std::wstring caption;
    std::thread closer([&] {
        std::vector<HWND> found = gui_test::wait_for_windows(ui_thread, L"QuilletInfo", 1, 10000);
        if (found.empty()) return;
        wchar_t text[128] = {};
        GetWindowTextW(found.front(), text, 128);
        caption = text;
        PostMessageW(found.front(), WM_CLOSE, 0, 0);
    });
    ASSERT_TRUE(post_text_message(wnd, WM_UPDATE_MANUAL_RESULT, 0, L"latest"));
    pump(300);
    closer.join();
    EXPECT_EQ(caption, tr(L"action.check_updates"));
    EXPECT_GT(app.settings->last_update_check, 0);
    EXPECT_EQ(saved_settings(run).last_update_check, app.settings->last_update_check);
}

TEST_F(WndProc, SignOutSavesSettingsAndRemovesIcon) {
    App& app = *run.app;
    app.settings->dark_mode = true;  // changed in memory only
    SetWindowPos(wnd, nullptr, 222, 111, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    KillTimer(wnd, kTimerMoveSave);
    EXPECT_FALSE(saved_settings(run).dark_mode);
    SendMessageW(wnd, WM_QUERYENDSESSION, 0, 0);
    SendMessageW(wnd, WM_ENDSESSION, TRUE, 0);
    Settings s = saved_settings(run);
    EXPECT_TRUE(s.dark_mode);
    EXPECT_EQ(s.window_x, 222);
    EXPECT_EQ(s.window_y, 111);
    EXPECT_FALSE(app.tray_icon->is_added());
    // A cancelled sign-out changes nothing.
    app.settings->dark_mode = false;
    SendMessageW(wnd, WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(saved_settings(run).dark_mode);
}

TEST_F(WndProc, TaskbarCreatedAddsIconAgain) {
    App& app = *run.app;
    UINT msg = TrayIcon::taskbar_created_message();
    ASSERT_NE(msg, 0u);
    app.tray_icon->remove();
    ASSERT_FALSE(app.tray_icon->is_added());
    SendMessageW(wnd, msg, 0, 0);
    EXPECT_TRUE(app.tray_icon->is_added());
    // Balloons need the icon.
    app.tray_icon->remove();
    int n = app.tray_icon->balloons_shown;
    app.tray_icon->show_balloon(L"t", L"x");
    EXPECT_EQ(app.tray_icon->balloons_shown, n);
}

TEST_F(WndProc, ClipboardPollPausesInsideNestedLoops) {
    App& app = *run.app;
    KillTimer(wnd, kTimerClipboardPoll);
    pump(100);
    Helper writer;
    ASSERT_TRUE(writer.start(L"text \"copied inside a box\""));
    auto stored = [&] { return find_text(app.database->list_entries(L"all", false, true), L"copied inside a box"); };
    {
        ModalLoopScope box;
        SendMessageW(wnd, WM_TIMER, kTimerClipboardPoll, 0);
        SendMessageW(wnd, WM_CLIPBOARDUPDATE, 0, 0);
        pump(300);
        EXPECT_FALSE(app.watcher->reading()) << "no read starts inside a box";
        EXPECT_EQ(stored(), nullptr);
    }
    // A read that finishes while a box is open waits for the box to close.
    SendMessageW(wnd, WM_TIMER, kTimerClipboardPoll, 0);
    EXPECT_TRUE(app.watcher->reading());
    {
        ModalLoopScope box;
        pump(600);
        EXPECT_EQ(stored(), nullptr);
    }
    SendMessageW(wnd, WM_TIMER, kTimerClipboardPoll, 0);
    std::vector<HistoryEntry> list = app.database->list_entries(L"all", false, true);
    const HistoryEntry* e = find_text(list, L"copied inside a box");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->source_app, L"app_test_helper.exe");
    // The tray balloon shows the copied text.
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.copied"));
    EXPECT_EQ(app.tray_icon->last_balloon_text, L"copied inside a box");
}

TEST_F(WndProc, ClipboardUpdateAlsoPolls) {
    App& app = *run.app;
    KillTimer(wnd, kTimerClipboardPoll);
    pump(100);
    Helper writer;
    ASSERT_TRUE(writer.start(L"text \"seen at once\""));
    SendMessageW(wnd, WM_CLIPBOARDUPDATE, 0, 0);
    // The read runs on the watcher's thread and comes back as a message.
    EXPECT_TRUE(pump_until(
        [&] { return find_text(app.database->list_entries(L"all", false, true), L"seen at once") != nullptr; },
        3000));
    // The clipboard has not changed since: further polls read nothing.
    SendMessageW(wnd, WM_CLIPBOARDUPDATE, 0, 0);
    SendMessageW(wnd, WM_TIMER, kTimerClipboardPoll, 0);
    EXPECT_FALSE(app.watcher->reading());
}


// Copies made while another program holds the store wait and are stored
// once it lets go; a hold of more than a few seconds is told once, as a
// wait, never as a lost copy.
TEST_F(WndProc, AStoreHeldByAnotherProgramIsToldOnceAndLosesNoCopy) {
    App& app = *run.app;
    TrayIcon& tray = *app.tray_icon;
    ASSERT_TRUE(tray.is_added());
    auto copy = [&](const std::wstring& text) {
        Helper writer;
        EXPECT_TRUE(writer.start(L"text \"" + text + L"\""));
        pump(1200);
    };
    auto busy_told = [&] { return tray.last_balloon_title == tr(L"tray.store_busy.title"); };
    auto hold_until = [&](ULONGLONG since, ULONGLONG ms) {
        while (GetTickCount64() - since < ms) pump(50);
    };
    int balloons = tray.balloons_shown;
    {
        StoreLock lock(run.files.database_path);
        ASSERT_TRUE(lock.locked());
        const ULONGLONG locked_at = GetTickCount64();
        copy(L"first while locked");
        EXPECT_EQ(tray.balloons_shown, balloons) << "a short hold is not told";
        copy(L"second while locked");
        hold_until(locked_at, 4500);
        EXPECT_EQ(tray.balloons_shown, balloons + 1);
        EXPECT_TRUE(busy_told());
        EXPECT_EQ(tray.last_balloon_text, tr(L"tray.store_busy.text"));
        // Told once: a longer hold shows nothing new.
        pump(1500);
        EXPECT_EQ(tray.balloons_shown, balloons + 1);
        EXPECT_TRUE(IsWindow(wnd));
    }
    pump(1500);
    std::vector<HistoryEntry> list = app.database->list_entries(L"all", false, true);
    EXPECT_NE(find_text(list, L"first while locked"), nullptr);
    EXPECT_NE(find_text(list, L"second while locked"), nullptr);
    EXPECT_EQ(tray.last_balloon_title, tr(L"tray.copied"));
    EXPECT_EQ(tray.balloons_shown, balloons + 3);
    {
        // A new hold is told again.
        StoreLock lock(run.files.database_path);
        ASSERT_TRUE(lock.locked());
        const ULONGLONG locked_at = GetTickCount64();
        copy(L"locked again");
        hold_until(locked_at, 4500);
        EXPECT_EQ(tray.balloons_shown, balloons + 4);
        EXPECT_TRUE(busy_told());
    }
    pump(1500);
    list = app.database->list_entries(L"all", false, true);
    EXPECT_NE(find_text(list, L"locked again"), nullptr);
}

// 200 copies meet a store another connection holds; once it lets go, the
// window's own timers write them all, in order, in slices between its
// other messages: no single message the window handles meanwhile takes
// long (each slice spends at most ClipboardWatcher::kSliceStoreMs in the
// store, then one list refresh). The bound checked is 250 ms, for a test
// machine under load; unloaded, the longest is about 60 ms (make bench
// prints it), where writing them one by one with a refresh each held the
// window for seconds.
TEST_F(WndProc, TwoHundredCopiesWaitingForAHeldStoreAreWrittenInShortSlices) {
    App& app = *run.app;
    ShowWindow(wnd, SW_SHOW);
    constexpr int kCopies = 200;
    std::vector<std::wstring> texts;
    for (int i = 1; i <= kCopies; ++i) texts.push_back(L"copy waiting for the store " + std::to_wstring(i));
    {
        StoreLock lock(run.files.database_path);
        ASSERT_TRUE(lock.locked());
        for (const std::wstring& t : texts) {
            ClipboardSnapshot snap;
            snap.text = t;
            snap.owner_app = L"notepad.exe";
            snap.opened = true;
            app.watcher->check_snapshot(std::move(snap), false);
        }
        ASSERT_EQ(app.watcher->waiting_captures(), static_cast<std::size_t>(kCopies));
    }
    // Every message handled until none waits, each timed.
    double longest = 0;
    const ULONGLONG start = GetTickCount64();
    while (app.watcher->waiting_captures() > 0 && GetTickCount64() - start < 60000) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            continue;
        }
        LARGE_INTEGER f, a, b;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&a);
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        QueryPerformanceCounter(&b);
        longest = std::max(longest, static_cast<double>(b.QuadPart - a.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart));
    }
    std::printf("written %.0f ms after the store was let go; the longest message took %.0f ms\n",
                static_cast<double>(GetTickCount64() - start), longest);
    ASSERT_EQ(app.watcher->waiting_captures(), 0u);
    std::vector<HistoryEntry> all = app.database->list_entries(L"all", false, false);
    std::vector<std::wstring> stored;
    for (auto it = all.rbegin(); it != all.rend(); ++it) stored.push_back(it->text);
    EXPECT_EQ(stored, texts);
    EXPECT_LT(longest, 250.0);
    EXPECT_EQ(app.tray_icon->last_balloon_text, texts.back()) << "the newest one is told last";
}

// The busy notice, timed: a copy meets the held store at once; the notice
// comes once the writes have been refused for 3 s, at the first clipboard
// tick after that (the timer runs every 0.5 s), never before.
TEST_F(WndProc, TheBusyNoticeComesAfterThreeSecondsOfRefusedWrites) {
    App& app = *run.app;
    TrayIcon& tray = *app.tray_icon;
    ASSERT_TRUE(tray.is_added());
    StoreLock lock(run.files.database_path);
    ASSERT_TRUE(lock.locked());
    const int balloons = tray.balloons_shown;
    Helper writer;
    ASSERT_TRUE(writer.start(L"text \"meets the held store\""));
    const ULONGLONG copied_at = GetTickCount64();
    ASSERT_TRUE(pump_until([&] { return app.watcher->waiting_captures() == 1; }, 3000));
    const ULONGLONG refused_at = GetTickCount64();
    ASSERT_TRUE(pump_until([&] { return tray.balloons_shown > balloons; }, 8000));
    const double after_refusal = static_cast<double>(GetTickCount64() - refused_at) / 1000.0;
    const double after_copy = static_cast<double>(GetTickCount64() - copied_at) / 1000.0;
    std::printf("busy notice %.2f s after the first refused write, %.2f s after the copy\n", after_refusal,
                after_copy);
    EXPECT_EQ(tray.last_balloon_title, tr(L"tray.store_busy.title"));
    EXPECT_GE(after_refusal, 3.0);
    EXPECT_LT(after_copy, 4.0);
}

TEST_F(WndProc, SecondInstanceMessageShowsWindow) {
    ShowWindow(wnd, SW_HIDE);
    PostMessageW(wnd, WM_SHOW_MAIN, 0, 0);
    pump(200);
    EXPECT_TRUE(IsWindowVisible(wnd));
}

TEST_F(WndProc, CloseDestroysOrHidesToTray) {
    App& app = *run.app;
    app.settings->tray_on_minimize = true;
    SetWindowPos(wnd, nullptr, 140, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(wnd));
    EXPECT_FALSE(IsWindowVisible(wnd));
    EXPECT_EQ(app.settings->window_x, 140);
    app.settings->tray_on_minimize = false;
    SendMessageW(wnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(wnd));
    // Destruction saved the settings.
    EXPECT_EQ(saved_settings(run).window_x, 140);
}

TEST_F(WndProc, TrayClicksShowWindowOrOpenMenu) {
    ShowWindow(wnd, SW_HIDE);
    // A middle click, or a right press without release, does nothing.
    SendMessageW(wnd, WM_TRAYICON, 1, WM_MBUTTONUP);
    SendMessageW(wnd, WM_TRAYICON, 1, WM_RBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(wnd));
    SendMessageW(wnd, WM_TRAYICON, 1, WM_LBUTTONUP);
    pump(100);
    EXPECT_TRUE(IsWindowVisible(wnd));
    // The tray menu: Up from no highlighted item reaches the last item,
    // Quit; the keys are waiting before the menu's loop starts.
    PostMessageW(wnd, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(wnd, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(wnd, WM_TRAYICON, 1, WM_RBUTTONUP);
    EXPECT_FALSE(IsWindow(wnd));
}

// Presses the button with the caption in the first confirmation box that
// opens, from a timer that runs inside the box's own loop.
std::wstring g_press_caption;
void CALLBACK press_in_confirm_box(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"QuilletConfirmBox", nullptr);
    if (!box) return;
    KillTimer(nullptr, id);
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t text[128] = {};
        GetWindowTextW(c, text, 128);
        if (g_press_caption == text) {
            SendMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), BN_CLICKED), reinterpret_cast<LPARAM>(c));
            return;
        }
    }
    PostMessageW(box, WM_CLOSE, 0, 0);
}

TEST_F(WndProc, ClearHistoryAsksFirstAndKeepsPinned) {
    Database& db = *run.app->database;
    std::int64_t plain = db.add_text_entry(L"plain entry", std::nullopt, false, false);
    std::int64_t pinned = db.add_text_entry(L"pinned entry", std::nullopt, true, false);
    ASSERT_GT(plain, 0);
    ASSERT_GT(pinned, 0);
    // Closing the box is no.
    g_press_caption = L"no such button";
    SetTimer(nullptr, 0, 100, press_in_confirm_box);
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kIdClear, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(wnd, kIdClear)));
    std::vector<HistoryEntry> list = db.list_entries(L"all", false, true);
    EXPECT_NE(find_entry(list, plain), nullptr);
    // Confirming deletes what is neither pinned nor kept.
    g_press_caption = tr(L"action.delete");
    SetTimer(nullptr, 0, 100, press_in_confirm_box);
    SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kIdClear, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(wnd, kIdClear)));
    list = db.list_entries(L"all", false, true);
    EXPECT_EQ(find_entry(list, plain), nullptr);
    EXPECT_NE(find_entry(list, pinned), nullptr);
    EXPECT_TRUE(IsWindowEnabled(wnd));
}

TEST_F(WndProc, MessagesBeforeCreateGoToDefault) {
    // A window of the class without the App behind it answers as a plain window.
    HWND bare = CreateWindowExW(0, L"QuilletMain", L"bare", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(bare, nullptr) << "creation without an App fails in WM_CREATE";
    MINMAXINFO info{};
    info.ptMinTrackSize.x = 7;
    EXPECT_EQ(SendMessageW(wnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_GT(info.ptMinTrackSize.x, 7);
}

LRESULT CALLBACK refuse_creation(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_NCCREATE) return FALSE;
    return DefWindowProcW(w, m, wp, lp);
}

TEST(WndProcStart, OnlyAFailedWindowFailsStartUp) {
    // A class of that name that refuses every window: creation fails.
    UnregisterClassW(L"QuilletMain", GetModuleHandleW(nullptr));
    WNDCLASSW wc{};
    wc.lpfnWndProc = refuse_creation;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuilletMain";
    ASSERT_TRUE(RegisterClassW(&wc));
    RunningApp run;
    run.app = std::make_unique<App>();
    EXPECT_FALSE(run.app->init(GetModuleHandleW(nullptr), run.files));
    EXPECT_EQ(run.window(), nullptr);
    // What init made is deleted once, in order, and a second shutdown is harmless.
    run.app->shutdown();
    EXPECT_FALSE(run.app->main_window);
    EXPECT_FALSE(run.app->watcher);
    EXPECT_FALSE(run.app->database);
    EXPECT_FALSE(run.app->settings);
    EXPECT_FALSE(run.app->tray_icon);
    EXPECT_FALSE(run.app->quick_menu);
    run.app->shutdown();
    UnregisterClassW(L"QuilletMain", GetModuleHandleW(nullptr));
    // A failed database open, by contrast, is no reason to stop.
    RunningApp bad_db;
    bad_db.files.database_path = bad_db.folder.file(L"no\\such\\folder\\quillet.db");
    ASSERT_TRUE(bad_db.start());
    EXPECT_TRUE(IsWindow(bad_db.window()));
    EXPECT_FALSE(bad_db.app->database->is_open());
}

TEST(WndProcStart, StoredSizeClampedAndUnplacedWindowGoesToCursor) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetCursorPos(1000, 500);
    RunningApp run([](Settings& s) {
        s.window_w = 300;
        s.window_h = 200;
        s.window_x = -1;
        s.window_y = 100;
    });
    ASSERT_TRUE(run.start());
    RECT rc{};
    GetWindowRect(run.window(), &rc);
    int w = std::min(576, std::max(static_cast<int>(work.right - work.left) - 20, 400));
    int h = std::min(783, std::max(static_cast<int>(work.bottom - work.top) - 40, 300));
    EXPECT_EQ(rc.right - rc.left, w);
    EXPECT_EQ(rc.bottom - rc.top, h);
    EXPECT_EQ(rc.left, std::min(std::max(1000 - 310, static_cast<int>(work.left)),
                                std::max(static_cast<int>(work.left), static_cast<int>(work.right) - w)));
    EXPECT_EQ(rc.top, std::min(std::max(500 - 40, static_cast<int>(work.top)),
                               std::max(static_cast<int>(work.top), static_cast<int>(work.bottom) - h)));
    EXPECT_TRUE(IsWindowVisible(run.window()));
}

TEST(WndProcStart, StartInTrayStaysHiddenWhereCreated) {
    SetCursorPos(1000, 500);
    RunningApp run([](Settings& s) {
        s.start_in_tray = true;
        s.window_x = 30;
        s.window_y = 40;
        s.always_on_top = false;
    });
    ASSERT_TRUE(run.start());
    EXPECT_FALSE(IsWindowVisible(run.window()));
    RECT rc{};
    GetWindowRect(run.window(), &rc);
    EXPECT_EQ(rc.left, 30);
    EXPECT_EQ(rc.top, 40);
    EXPECT_FALSE(GetWindowLongW(run.window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST(WndProcStart, DamagedDatabaseIsToldOnce) {
    TempFolder keep;
    RunningApp run;
    ASSERT_TRUE(test_support::write_file(run.files.database_path, std::string(4096, 'x')));
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    ASSERT_TRUE(app.database->recovered_damaged_file());
    ASSERT_TRUE(app.tray_icon->is_added());
    EXPECT_EQ(app.tray_icon->balloons_shown, 1);
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.database_damaged.title"));
    std::wstring damaged = app.database->damaged_file_path();
    std::wstring name = damaged.substr(damaged.find_last_of(L"\\/") + 1);
    EXPECT_EQ(app.tray_icon->last_balloon_text, tr_format(L"tray.database_damaged.text", name));
    EXPECT_NE(GetFileAttributesW(damaged.c_str()), INVALID_FILE_ATTRIBUTES);
    // The next start opens the fresh file and says nothing.
    run.stop();
    run.app = std::make_unique<App>();
    ASSERT_TRUE(run.app->init(GetModuleHandleW(nullptr), run.files));
    EXPECT_FALSE(run.app->database->recovered_damaged_file());
    EXPECT_EQ(run.app->tray_icon->balloons_shown, 0);
}

// Zeroes the root page of the history table in the file, with another
// connection's write and checkpoint first so that an open store reads the
// page from the file again.
void zero_history_root(const std::wstring& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(to_utf8(path).c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 2000);
    sqlite3_exec(db, "UPDATE snippets SET use_count=use_count+1; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_schema WHERE name='history'", -1, &s, nullptr);
    const sqlite3_int64 root = s && sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_finalize(s);
    sqlite3_close(db);
    ASSERT_GT(root, 1);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = (root - 1) * 4096;
    SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
    const std::string zeros(4096, '\0');
    DWORD written = 0;
    WriteFile(h, zeros.data(), 4096, &written, nullptr);
    CloseHandle(h);
    ASSERT_EQ(written, 4096u);
}

// A store damaged inside is told with the number of entries saved: at start
// (the quick check) and when a later read meets the damage. With the history
// table's root page gone, none of its entries read, and the balloon says so.
TEST(WndProcStart, AStoreDamagedInsideIsToldWithTheEntriesSaved) {
    TempFolder keep;
    RunningApp run;
    {
        Database db(run.files.database_path);
        ASSERT_TRUE(db.is_open());
        ASSERT_GT(db.add_snippet(L"Kept snippet", L"text", L""), 0);
        for (int i = 0; i < 3; ++i) db.add_text_entry(L"entry " + std::to_wstring(i), std::nullopt, false, false);
    }
    zero_history_root(run.files.database_path);
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    ASSERT_TRUE(app.database->recovered_damaged_file());
    EXPECT_EQ(app.tray_icon->balloons_shown, 1);
    auto name_of = [](const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); };
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.database_damaged.title"));
    EXPECT_EQ(app.tray_icon->last_balloon_text,
              tr_format(L"tray.database_none_read.text", name_of(app.database->damaged_file_path())));
    const std::wstring first_aside = app.database->damaged_file_path();

    // Damage while running: the list read meets it, the next tick replaces
    // the file and tells it once.
    ASSERT_GT(app.database->add_text_entry(L"entry after start", std::nullopt, false, false), 0);
    zero_history_root(run.files.database_path);
    app.main_window->refresh_view(false);
    SendMessageW(run.window(), WM_TIMER, kTimerClipboardPoll, 0);
    EXPECT_EQ(app.tray_icon->balloons_shown, 2);
    EXPECT_NE(app.database->damaged_file_path(), first_aside);
    EXPECT_EQ(app.tray_icon->last_balloon_text,
              tr_format(L"tray.database_none_read.text", name_of(app.database->damaged_file_path())));
    SendMessageW(run.window(), WM_TIMER, kTimerClipboardPoll, 0);
    EXPECT_EQ(app.tray_icon->balloons_shown, 2) << "told once";
    bool kept = false;
    for (const Snippet& s : app.database->list_snippets()) kept = kept || s.title == L"Kept snippet";
    EXPECT_TRUE(kept);
    EXPECT_GT(app.database->add_text_entry(L"stored in the fresh store", std::nullopt, false, false), 0);
    EXPECT_EQ(app.database->count_entries(), 1);
}

// Three text entries, "entry 0" to "entry 2".
void add_three_entries(Database& db) {
    for (int i = 0; i < 3; ++i) ASSERT_GT(db.add_text_entry(L"entry " + std::to_wstring(i), std::nullopt, false, false), 0);
}

// The hourly clean-up runs the store's quick check: damage met while the
// program runs is set aside at once and told, before any read met it.
TEST(WndProcStart, TheHourlyCleanUpFindsDamageMetWhileRunning) {
    TempFolder keep;
    RunningApp run;
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    add_three_entries(*app.database);
    EXPECT_EQ(app.tray_icon->balloons_shown, 0);
    zero_history_root(run.files.database_path);
    SendMessageW(run.window(), WM_TIMER, kTimerCleanup, 0);
    ASSERT_TRUE(app.database->recovered_damaged_file());
    EXPECT_EQ(app.tray_icon->balloons_shown, 1);
    const std::wstring aside = app.database->damaged_file_path();
    EXPECT_EQ(app.tray_icon->last_balloon_text,
              tr_format(L"tray.database_none_read.text", aside.substr(aside.find_last_of(L"\\/") + 1)));
    SendMessageW(run.window(), WM_TIMER, kTimerCleanup, 0);
    EXPECT_EQ(app.tray_icon->balloons_shown, 1) << "a sound store says nothing";
}

// A damaged store whose log another program holds open without delete
// sharing cannot be set aside whole: it is kept where it is, read only, and
// told; the next hourly check, once the log is free, sets the pair aside.
TEST(WndProcStart, ADamagedStoreThatCannotBeSetAsideIsKeptAndTold) {
    TempFolder keep;
    RunningApp run;
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    add_three_entries(*app.database);
    zero_history_root(run.files.database_path);
    raii::Handle holder(CreateFileW((run.files.database_path + L"-wal").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    SendMessageW(run.window(), WM_TIMER, kTimerCleanup, 0);
    EXPECT_TRUE(app.database->damaged_file_kept());
    EXPECT_FALSE(app.database->recovered_damaged_file());
    EXPECT_EQ(app.tray_icon->balloons_shown, 1);
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.database_kept.title"));
    EXPECT_EQ(app.tray_icon->last_balloon_text, tr(L"tray.database_kept.text"));
    SendMessageW(run.window(), WM_TIMER, kTimerClipboardPoll, 0);
    EXPECT_EQ(app.tray_icon->balloons_shown, 1) << "told once";
    holder.reset();
    SendMessageW(run.window(), WM_TIMER, kTimerCleanup, 0);
    ASSERT_TRUE(app.database->recovered_damaged_file());
    EXPECT_FALSE(app.database->damaged_file_kept());
    EXPECT_EQ(app.tray_icon->balloons_shown, 2);
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.database_damaged.title"));
    EXPECT_GT(app.database->add_text_entry(L"stored in the fresh store", std::nullopt, false, false), 0);
}

// A store file that takes no writes is listed, and the user is told once at
// start that copies cannot be saved. The file is marked read-only (under
// Wine, run as root here, the mark is all that makes it so: the folder's
// permissions cannot keep root from writing, so that case is not shown).
TEST(WndProcStart, AReadOnlyStoreShowsItsRowsAndIsToldOnce) {
    TempFolder keep;
    RunningApp run;
    {
        Database db(run.files.database_path);
        add_three_entries(db);
    }
    ASSERT_TRUE(SetFileAttributesW(run.files.database_path.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    EXPECT_TRUE(app.database->read_only());
    EXPECT_EQ(SendMessageW(app.main_window->cards, LB_GETCOUNT, 0, 0), 3);
    wchar_t total[128] = {};
    GetWindowTextW(app.main_window->total_label, total, 128);
    EXPECT_EQ(std::wstring(total), tr_format(L"label.total", 3));
    EXPECT_EQ(app.tray_icon->balloons_shown, 1);
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.database_read_only.title"));
    EXPECT_EQ(app.tray_icon->last_balloon_text, tr(L"tray.database_read_only.text"));
    // A copy that then fails adds no second word.
    app.notify_store_failed();
    SendMessageW(run.window(), WM_TIMER, kTimerClipboardPoll, 0);
    SendMessageW(run.window(), WM_TIMER, kTimerCleanup, 0);
    EXPECT_EQ(app.tray_icon->balloons_shown, 1);
    run.stop();
    SetFileAttributesW(run.files.database_path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
