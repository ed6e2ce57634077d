// Driving the settings window of a running App with real input: mouse
// clicks and key strokes through SendInput, and a message pump that offers
// each message to the settings window's dialog navigation as the App's
// own loop does.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>

#include "tests/app/app_test_support.h"
#include "tests/theme/gui_support.h"
#include "ui/dialogs/settings_window.h"

namespace settings_test {

// Dispatches the thread's messages for ms milliseconds, the settings
// window's navigation first.
inline void pump(App& app, DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            HWND settings = app.settings_window ? app.settings_window->window : nullptr;
            if (settings && IsDialogMessageW(settings, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

inline void key_event(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof(INPUT));
}

// Holds the modifiers, presses the key, releases everything in reverse.
inline void chord(App& app, std::initializer_list<WORD> modifiers, WORD vk) {
    for (WORD m : modifiers) {
        key_event(m, false);
        pump(app, 30);
    }
    key_event(vk, false);
    pump(app, 30);
    key_event(vk, true);
    pump(app, 30);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) {
        key_event(*it, true);
        pump(app, 30);
    }
    pump(app, 60);
}

inline void press(App& app, WORD vk) { chord(app, {}, vk); }

// Types the text character by character (KEYEVENTF_UNICODE).
inline void type_text(App& app, const std::wstring& text) {
    for (wchar_t c : text) {
        gui_test::send_unicode_char(c);
        pump(app, 40);
    }
    pump(app, 60);
}

// A left click at a screen point.
inline void click_at(App& app, POINT screen) {
    gui_test::move_pointer(screen);
    pump(app, 30);
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &in[0], sizeof(INPUT));
    pump(app, 40);
    SendInput(1, &in[1], sizeof(INPUT));
    pump(app, 80);
}

inline void click(App& app, HWND control) { click_at(app, gui_test::rect_center(gui_test::window_rect(control))); }

// The control of the current settings window with the id on the page
// (ids 1012, 1013 and 1024 name two controls each).
inline HWND control_on_page(const SettingsWindow& s, int page, int id) {
    for (HWND w : s.page_controls[static_cast<size_t>(page)])
        if (GetDlgCtrlID(w) == id) {
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (std::wstring(cls) != UPDOWN_CLASSW) return w;
        }
    return nullptr;
}

inline HWND up_down_on_page(const SettingsWindow& s, int page, int id) {
    for (HWND w : s.page_controls[static_cast<size_t>(page)]) {
        wchar_t cls[64] = {};
        GetClassNameW(w, cls, 64);
        if (GetDlgCtrlID(w) == id && std::wstring(cls) == UPDOWN_CLASSW) return w;
    }
    return nullptr;
}

// Clicks the page's item in the page list.
inline void open_page(App& app, int page) {
    SettingsWindow& s = *app.settings_window;
    RECT item{};
    SendMessageW(s.page_list, LB_GETITEMRECT, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&item));
    MapWindowPoints(s.page_list, nullptr, reinterpret_cast<POINT*>(&item), 2);
    click_at(app, gui_test::rect_center(item));
    pump(app, 100);
}

// A running App with its settings window open in front (start), stopped
// after the test.
class SettingsWindowFixture : public testing::Test {
protected:
    void start(const std::function<void(Settings&)>& tweak = {}) {
        run = std::make_unique<app_test::RunningApp>(tweak);
        ASSERT_TRUE(run->start());
        app().show_settings();
        ASSERT_TRUE(app().settings_window && app().settings_window->window);
        SetForegroundWindow(sw().window);
        pump(app(), 300);
    }
    void TearDown() override {
        if (run) run->stop();
    }
    App& app() { return *run->app; }
    SettingsWindow& sw() { return *app().settings_window; }
    HWND on_page(int page, int id) { return control_on_page(sw(), page, id); }
    // The settings file as it is now.
    Settings saved() {
        Settings s;
        s.load(run->files.settings_path);
        return s;
    }
    std::unique_ptr<app_test::RunningApp> run;
};

// Replaces an edit's text by typing: a click into it, Home, Shift+End, the text.
inline void retype(App& app, HWND edit, const std::wstring& text) {
    click(app, edit);
    press(app, VK_HOME);
    chord(app, {VK_SHIFT}, VK_END);
    type_text(app, text);
}

}  // namespace settings_test
