// The settings window of a running App against what happens around it,
// with real input: the release of a click whose press chose "Settings…" in
// the menu bar changes nothing in the window that opens under the pointer,
// and nothing is written.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "app/app_ids.h"
#include "core/settings.h"
#include "tests/app/settings_test_support.h"
#include "tests/app/ui_driver.h"
#include "ui/dialogs/hotkey_chip.h"
#include "ui/dialogs/settings_window.h"
#include "ui/main_window.h"
#include "ui/menu_bar.h"
#include "ui/popup_menu.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using app_test::RunningApp;

constexpr std::uint64_t kOpenSettingsItem = 1404;

void mouse_button(bool down) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &in, sizeof(INPUT));
}

FILETIME last_write(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// The screen centre of an item of an open menu level.
POINT item_center(HWND menu, std::uint64_t id) {
    const PopupMenuLevel* level = ui_driver::menu_level(menu);
    if (!level || !level->items) return POINT{-1, -1};
    const std::vector<PopupMenuItem>& items = *level->items;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].id == id) {
            const RECT r = gui_test::window_rect(menu);
            return POINT{(r.left + r.right) / 2, r.top + menu_row_top(items, i) + menu_row_height(items[i]) / 2};
        }
    return POINT{-1, -1};
}

class SettingsWindowState : public testing::Test {
protected:
    void start() {
        run = std::make_unique<RunningApp>([](Settings& s) {
            s.watch_clipboard = false;
            s.sound_on_paste = false;
            s.always_on_top = false;
            s.dark_mode = false;
        });
        ASSERT_TRUE(run->start());
        wnd = run->window();
        mw = run->app->main_window.get();
        ASSERT_TRUE(wnd && mw);
        SetWindowPos(wnd, nullptr, 20, 20, 640, 480, SWP_SHOWWINDOW | SWP_NOZORDER);
        SetForegroundWindow(wnd);
        settings_test::pump(app(), 200);
    }
    void TearDown() override {
        if (run) run->stop();
    }
    App& app() { return *run->app; }
    SettingsWindow* sw() { return app().settings_window.get(); }
    HWND settings_window() { return sw() ? sw()->window : nullptr; }

    // Opens the settings menu of the menu bar with a push of its button;
    // act runs on a thread of its own with the open menu.
    bool with_settings_menu(const std::function<bool(HWND)>& act) {
        HWND button = GetDlgItem(wnd, kIdFirstMenuButton + kMenuSettings);
        if (!button) return false;
        std::atomic<bool> done{false}, ok{false};
        const DWORD ui = GetCurrentThreadId();
        std::thread driver([&] {
            if (HWND menu = ui_driver::wait_window(ui, ui_driver::kMenuClass)) ok = act(menu);
            done = true;
        });
        SendMessageW(button, BM_CLICK, 0, 0);
        app_test::pump_until([&] { return done.load(); }, 30000);
        settings_test::pump(app(), 300);
        driver.join();
        return ok;
    }

    std::unique_ptr<RunningApp> run;
    HWND wnd = nullptr;
    MainWindow* mw = nullptr;
};

// Settings → Settings… chosen with a real click while the toggle "Play a
// sound after pasting" of the window that opens lies under the pointer: the
// press chooses the item, the release lands on the toggle, which saw no
// press of its own.
TEST_F(SettingsWindowState, TheReleaseOfTheMenuClickChangesNoSetting) {
    start();
    // Where the toggle will be: the window opens centred on the screen,
    // the first page shown.
    app().show_settings();
    ASSERT_TRUE(settings_window());
    HWND toggle = settings_test::control_on_page(*sw(), 0, kSetSoundOnPaste);
    ASSERT_TRUE(toggle && IsWindowVisible(toggle));
    RECT target = gui_test::window_rect(toggle);
    const POINT toggle_point{target.left + 20, (target.top + target.bottom) / 2};
    DestroyWindow(settings_window());
    settings_test::pump(app(), 200);
    ASSERT_EQ(settings_window(), nullptr);

    // The main window goes where the menu item lies over that point.
    POINT item{};
    ASSERT_TRUE(with_settings_menu([&](HWND menu) {
        item = item_center(menu, kOpenSettingsItem);
        ui_driver::press_key(menu, VK_ESCAPE);
        return item.x >= 0;
    }));
    RECT main = gui_test::window_rect(wnd);
    SetWindowPos(wnd, nullptr, main.left + toggle_point.x - item.x, main.top + toggle_point.y - item.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    SetForegroundWindow(wnd);
    // The moved window's place is saved 500 ms after the move.
    settings_test::pump(app(), kMoveSaveMs + 400);

    const std::string file_before = test_support::read_file(run->files.settings_path);
    const FILETIME written_before = last_write(run->files.settings_path);
    std::atomic<bool> over_item{false};
    std::atomic<HWND> under_release{nullptr};
    const DWORD ui = GetCurrentThreadId();
    ASSERT_TRUE(with_settings_menu([&](HWND menu) {
        const POINT at = item_center(menu, kOpenSettingsItem);
        over_item = at.x == toggle_point.x && at.y == toggle_point.y;
        gui_test::move_pointer(at);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        mouse_button(true);
        // The press chose the item; the window opens under the pointer
        // while the button is still down.
        const bool opened = gui_test::wait_until(
            [&] {
                std::vector<HWND> found = gui_test::thread_windows(ui, kSettingsWindowClass);
                return !found.empty() && IsWindowVisible(found.front());
            },
            20000);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        under_release = WindowFromPoint(at);
        mouse_button(false);
        return opened;
    }));
    settings_test::pump(app(), 500);
    ASSERT_TRUE(settings_window());
    EXPECT_TRUE(over_item) << "the item lay over the toggle";
    toggle = settings_test::control_on_page(*sw(), 0, kSetSoundOnPaste);
    EXPECT_EQ(under_release.load(), toggle) << "the release went to the toggle";
    EXPECT_EQ(SendMessageW(toggle, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(app().settings->sound_on_paste);
    EXPECT_EQ(test_support::read_file(run->files.settings_path), file_before) << "nothing written";
    const FILETIME written_after = last_write(run->files.settings_path);
    EXPECT_EQ(CompareFileTime(&written_before, &written_after), 0);

    // A real click of its own on the toggle still flips it, and is saved.
    settings_test::click(app(), toggle);
    settings_test::pump(app(), 200);
    EXPECT_EQ(SendMessageW(toggle, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(app().settings->sound_on_paste);
    Settings saved;
    saved.load(run->files.settings_path);
    EXPECT_TRUE(saved.sound_on_paste);
}

// A hotkey field starts recording on the release of a press of its own
// inside it, as the toggles and buttons act.
TEST_F(SettingsWindowState, AHotkeyFieldRecordsOnlyAfterAPressOfItsOwn) {
    start();
    app().show_settings();
    ASSERT_TRUE(settings_window());
    settings_test::open_page(app(), 3);
    HWND field = settings_test::control_on_page(*sw(), 3, kSetHotkeyOpen);
    ASSERT_TRUE(field && hotkey_field_state(field));
    RECT client{};
    GetClientRect(field, &client);
    const LPARAM inside = MAKELPARAM(client.right / 2, client.bottom / 2);
    const LPARAM outside = MAKELPARAM(client.right + 40, client.bottom / 2);
    PostMessageW(field, WM_LBUTTONUP, 0, inside);
    settings_test::pump(app(), 100);
    EXPECT_FALSE(hotkey_field_state(field)->recording) << "a release without a press";
    PostMessageW(field, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    PostMessageW(field, WM_LBUTTONUP, 0, outside);
    settings_test::pump(app(), 100);
    EXPECT_FALSE(hotkey_field_state(field)->recording) << "pressed, released outside";
    EXPECT_NE(GetCapture(), field);
    settings_test::click(app(), field);
    EXPECT_TRUE(hotkey_field_state(field)->recording) << "a real click";
    settings_test::press(app(), VK_ESCAPE);
    EXPECT_FALSE(hotkey_field_state(field)->recording);
}

}  // namespace
