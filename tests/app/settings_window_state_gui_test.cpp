// The settings window of a running App against what happens around it,
// with real input: the release of a click whose press chose "Settings…" in
// the menu bar changes nothing in the window that opens under the pointer,
// and nothing is written; a hotkey field records only after a press of its
// own; changes made in the main window show in the settings window at
// once; a language change shows the new texts in the same window at once;
// the entry hint's view button opens only on a click of its own.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cwchar>
#include <memory>
#include <string>
#include <thread>

#include "app/app_ids.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "store/database.h"
#include "tests/app/settings_test_support.h"
#include "tests/app/view_test_images.h"
#include "tests/app/ui_driver.h"
#include "ui/dialogs/hotkey_chip.h"
#include "ui/dialogs/settings_window.h"
#include "ui/dialogs/view_dialog.h"
#include "ui/cards_list.h"
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

// Counts texts set on a shown label narrower than the text: a static
// control draws a new text at once, into the width it has then.
struct NarrowTexts {
    int count = 0;
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
        if (msg == WM_SETTEXT && lp && IsWindowVisible(w)) {
            const auto* text = reinterpret_cast<const wchar_t*>(lp);
            HDC dc = GetDC(w);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)));
            SIZE size{};
            GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
            SelectObject(dc, old);
            ReleaseDC(w, dc);
            RECT client{};
            GetClientRect(w, &client);
            if (client.right < size.cx) ++reinterpret_cast<NarrowTexts*>(ref)->count;
        }
        return DefSubclassProc(w, msg, wp, lp);
    }
};

// The entry hint's view button opens the view window only on the release
// of a press of its own: a release alone, or a press released beside the
// button, opens nothing.
TEST_F(SettingsWindowState, TheHintsViewButtonOpensOnlyOnItsOwnClick) {
    start();
    Database& db = *run->app->database;
    const std::int64_t id = db.add_entry({.image = view_test::gradient_png(300, 200), .source_app = L"mspaint.exe",
        .is_image = true});
    ASSERT_GT(id, 0);
    mw->show_images();
    settings_test::pump(app(), 200);
    // The hint shows over the active main window only.
    SetForegroundWindow(run->window());
    settings_test::pump(app(), 200);
    ASSERT_TRUE(list_select_entry(mw->cards, id));
    mw->on_selection_changed();
    settings_test::pump(app(), 300);
    ASSERT_TRUE(IsWindowVisible(mw->hint_popup));
    const RECT b = mw->hint.view_button_rect;
    ASSERT_FALSE(IsRectEmpty(&b));
    const LPARAM on_button = MAKELPARAM((b.left + b.right) / 2, (b.top + b.bottom) / 2);
    const LPARAM beside = MAKELPARAM(b.right + 30, b.bottom + 30);

    // Any view window that opens is counted and closed.
    std::atomic<bool> stop{false};
    std::atomic<int> opened{0};
    const DWORD ui = GetCurrentThreadId();
    std::thread closer([&] {
        while (!stop) {
            if (HWND view = ui_driver::newest_window(ui, kViewDialogClass)) {
                ++opened;
                PostMessageW(view, WM_CLOSE, 0, 0);
                ui_driver::wait_gone(view, 5000);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    struct Case {
        const char* name;
        bool press;
        LPARAM release_at;
        int opens;
    } cases[] = {{"a release alone", false, on_button, 0},
                 {"pressed, released beside", true, beside, 0},
                 {"pressed and released on it", true, on_button, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        opened = 0;
        if (c.press) PostMessageW(mw->hint_popup, WM_LBUTTONDOWN, MK_LBUTTON, on_button);
        PostMessageW(mw->hint_popup, WM_LBUTTONUP, 0, c.release_at);
        app_test::pump_until([&] { return opened.load() >= 1; }, c.opens ? 10000 : 600);
        settings_test::pump(app(), 200);
        EXPECT_EQ(opened.load(), c.opens);
        EXPECT_NE(GetCapture(), mw->hint_popup);
    }
    stop = true;
    closer.join();
}

bool switch_on(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool switch_dark(HWND box) { return GetWindowLongPtrW(box, GWLP_USERDATA) != 0; }
bool topmost(HWND w) { return (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// Dark mode, always on top, clipboard recording and the cards' times
// changed in the main window (its menus' commands, a real click on its switch) show in the open
// settings window at once, and its next click changes the setting back.
TEST_F(SettingsWindowState, ChangesMadeInTheMainWindowShowAtOnce) {
    start();
    app().show_settings();
    ASSERT_TRUE(settings_window());
    HWND dark = settings_test::control_on_page(*sw(), 2, kSetDarkMode);
    HWND top = settings_test::control_on_page(*sw(), 2, kSetAlwaysOnTop);
    HWND watch = settings_test::control_on_page(*sw(), 0, kSetWatch);
    HWND times = settings_test::control_on_page(*sw(), 1, kSetShowTime);
    ASSERT_TRUE(dark && top && watch && times);
    ASSERT_FALSE(switch_on(dark) || switch_on(top) || switch_on(watch));
    ASSERT_TRUE(switch_on(times));

    // The menu commands (the menu posts its choice to the main window).
    for (bool on : {true, false}) {
        SCOPED_TRACE(on);
        for (int command : {kCmdDarkMode, kCmdAlwaysOnTop, kCmdWatchClipboard, kCmdShowTime})
            PostMessageW(wnd, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        settings_test::pump(app(), 200);
        EXPECT_EQ(app().settings->show_time, !on);
        EXPECT_EQ(switch_on(times), !on);
        EXPECT_EQ(app().settings->dark_mode, on);
        EXPECT_EQ(switch_on(dark), on);
        EXPECT_EQ(switch_dark(dark), on) << "the switches are painted in the theme in force";
        EXPECT_EQ(switch_dark(watch), on);
        EXPECT_EQ(app().settings->always_on_top, on);
        EXPECT_EQ(switch_on(top), on);
        EXPECT_EQ(app().settings->watch_clipboard, on);
        EXPECT_EQ(switch_on(watch), on);
    }

    // A real click on the main window's recording switch.
    SetForegroundWindow(wnd);
    settings_test::pump(app(), 100);
    settings_test::click(app(), mw->watch_box);
    settings_test::pump(app(), 100);
    EXPECT_TRUE(app().settings->watch_clipboard);
    EXPECT_TRUE(switch_on(watch));

    // Topmost from the menu, then one real click on the settings switch
    // takes it away again.
    PostMessageW(wnd, WM_COMMAND, MAKEWPARAM(kCmdAlwaysOnTop, 0), 0);
    settings_test::pump(app(), 200);
    ASSERT_TRUE(topmost(wnd));
    SetForegroundWindow(settings_window());
    settings_test::open_page(app(), 2);
    settings_test::click(app(), top);
    settings_test::pump(app(), 200);
    EXPECT_FALSE(app().settings->always_on_top);
    EXPECT_FALSE(switch_on(top));
    EXPECT_FALSE(topmost(wnd));
    Settings saved;
    saved.load(run->files.settings_path);
    EXPECT_FALSE(saved.always_on_top);
}

// The language picked in the settings window: the same window shows every
// text in the new language as soon as the choice is handled, the main
// window's total reads the store's count in that language and fits its
// label, and back again.
TEST_F(SettingsWindowState, ALanguageChangeShowsTheNewTextsAndCountAtOnce) {
    start();
    for (int i = 0; i < 8; ++i)
        ASSERT_GT(run->app->database->add_text_entry(L"entry " + std::to_wstring(i), std::nullopt, false, false), 0);
    mw->refresh_all();
    app().show_settings();
    ASSERT_TRUE(settings_window());
    HWND window = settings_window();
    SetForegroundWindow(window);
    settings_test::open_page(app(), 0);
    NarrowTexts narrow;
    SetWindowSubclass(mw->total_label, NarrowTexts::proc, 1, reinterpret_cast<DWORD_PTR>(&narrow));
    // Typed initials choose the languages (Deutsch, English, Español, ...,
    // Italiano); the total's text grows from Italian to German.
    struct Step {
        const wchar_t* code;
        WORD key;
        const wchar_t* title;
        const wchar_t* total;
    } steps[] = {{L"it", 'I', L"Impostazioni", L"Voci: 8"},
                 {L"de", 'D', L"Einstellungen", L"Einträge: 8"},
                 {L"en", 'E', L"Settings", L"Entries: 8"}};
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << step.code);
        HWND languages = settings_test::control_on_page(*sw(), 0, kSetLanguage);
        ASSERT_TRUE(languages);
        SetFocus(languages);
        settings_test::key_event(step.key, false);
        settings_test::key_event(step.key, true);
        // Until the choice and the rebuild it posts are handled, and never
        // with the window hidden.
        const ULONGLONG start_ms = GetTickCount64();
        bool always_shown = true;
        while (GetTickCount64() - start_ms < 3000 && window_text(window) != step.title) {
            settings_test::pump(app(), 10);
            always_shown = always_shown && IsWindow(window) && IsWindowVisible(window);
        }
        const ULONGLONG took = GetTickCount64() - start_ms;
        EXPECT_LT(took, 1000u);
        EXPECT_TRUE(always_shown);
        EXPECT_EQ(current_language(), step.code);
        ASSERT_EQ(settings_window(), window) << "the same window, built again";
        EXPECT_EQ(window_text(window), step.title);
        EXPECT_EQ(sw()->page, 0);
        for (int id : {kSetWatch, kSetSoundOnCopy, kSetSoundOnPaste}) {
            HWND box = settings_test::control_on_page(*sw(), 0, id);
            ASSERT_TRUE(box && IsWindowVisible(box));
        }
        EXPECT_EQ(window_text(settings_test::control_on_page(*sw(), 0, kSetWatch)), tr(L"clipboard.watch"));
        EXPECT_EQ(window_text(settings_test::control_on_page(*sw(), 2, kSetDarkMode)), tr(L"view.dark_mode"));
        EXPECT_EQ(window_text(mw->total_label), step.total);
        // The label is as wide as its text needs (the text is never drawn
        // into the old width).
        HDC dc = GetDC(mw->total_label);
        HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(mw->total_label, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, step.total, static_cast<int>(wcslen(step.total)), &size);
        SelectObject(dc, old_font);
        ReleaseDC(mw->total_label, dc);
        RECT label{};
        GetClientRect(mw->total_label, &label);
        EXPECT_GE(label.right, size.cx);
        EXPECT_EQ(narrow.count, 0) << "no text was shown in a label too narrow for it";
        EXPECT_EQ(GetFocus(), settings_test::control_on_page(*sw(), 0, kSetLanguage)) << "the focus stays on the list";
    }
    RemoveWindowSubclass(mw->total_label, NarrowTexts::proc, 1);
    // Building again in the same window leaves nothing behind.
    PostMessageW(window, WM_SETTINGS_REBUILD, 0, 0);
    settings_test::pump(app(), 200);
    const DWORD gdi_before = gui_test::gdi_object_count();
    auto child_count = [&] {
        int n = 0;
        for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++n;
        return n;
    };
    const int children_before = child_count();
    ASSERT_GT(children_before, 50);
    for (int i = 0; i < 10; ++i) {
        PostMessageW(window, WM_SETTINGS_REBUILD, 0, 0);
        settings_test::pump(app(), 30);
    }
    settings_test::pump(app(), 200);
    EXPECT_LE(gui_test::gdi_object_count(), gdi_before + 2);
    EXPECT_EQ(child_count(), children_before) << "the old controls are gone";
    EXPECT_EQ(settings_window(), window);
    set_language(L"en");
}

}  // namespace

