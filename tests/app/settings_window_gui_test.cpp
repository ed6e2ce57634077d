// The settings window of a running App, driven with real clicks and key
// strokes: every control changed once and found in the settings file,
// hotkeys recorded and registered, a hotkey held by another program shown
// as busy, retention limits that purge only once typed, a settings file
// left alone while the pages are built, and the language change.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <time.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/app_ids.h"
#include "app/autostart.h"
#include "app/hotkey_text.h"
#include "theme/controls.h"
#include "capture/watcher.h"
#include "core/i18n.h"
#include "store/database.h"
#include "tests/app/settings_test_support.h"
#include "ui/dialogs/hotkey_chip.h"
#include "ui/list_model.h"
#include "ui/main_window.h"
#include "ui/side_panel.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using app_test::combination_free;
using app_test::RunningApp;
using namespace settings_test;

constexpr UINT ALT = MOD_ALT, CTRL = MOD_CONTROL, SHIFT = MOD_SHIFT;

using SettingsWindowTest = SettingsWindowFixture;

TEST_F(SettingsWindowTest, OpensOnceOnItsPageWithTheWholeLayout) {
    start();
    HWND first = sw().window;
    wchar_t cls[64] = {};
    GetClassNameW(first, cls, 64);
    EXPECT_STREQ(cls, kSettingsWindowClass);
    EXPECT_EQ(GetWindow(first, GW_OWNER), run->window());
    RECT client{};
    GetClientRect(first, &client);
    EXPECT_EQ(client.right, 760);
    EXPECT_EQ(client.bottom, 604 + 72) << "the lowest control is the last side-panel toggle";
    // The menu command and the toolbar button show the same window where it stands.
    SetWindowPos(first, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(run->window(), WM_COMMAND, kCmdOpenSettings, 0);
    SendMessageW(run->window(), WM_COMMAND, MAKEWPARAM(kIdSettings, BN_CLICKED), 0);
    pump(app(), 100);
    EXPECT_EQ(sw().window, first);
    EXPECT_EQ(gui_test::window_rect(first).left, 33);
    EXPECT_EQ(gui_test::window_rect(first).top, 44);
    EXPECT_EQ(gui_test::thread_windows(GetCurrentThreadId(), kSettingsWindowClass).size(), 1u);
    // Closing on page 5 and opening again shows page 5.
    open_page(app(), 5);
    EXPECT_EQ(sw().page, 5);
    EXPECT_TRUE(IsWindowVisible(on_page(5, kSetCheckUpdates)));
    EXPECT_FALSE(IsWindowVisible(on_page(0, kSetWatch)));
    click(app(), GetDlgItem(sw().window, kSetClose));
    EXPECT_EQ(sw().window, nullptr);
    SendMessageW(run->window(), WM_COMMAND, kCmdOpenSettings, 0);
    pump(app(), 100);
    ASSERT_TRUE(sw().window);
    EXPECT_EQ(SendMessageW(sw().page_list, LB_GETCURSEL, 0, 0), 5);
    EXPECT_TRUE(IsWindowVisible(on_page(5, kSetCheckUpdates)));
    // The tray menu's second item opens it too.
    click(app(), GetDlgItem(sw().window, kSetClose));
    ASSERT_EQ(sw().window, nullptr);
    // Down with nothing highlighted goes to the second item.
    PostMessageW(run->window(), WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(run->window(), WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(run->window(), WM_TRAYICON, 1, WM_RBUTTONUP);
    pump(app(), 200);
    ASSERT_TRUE(sw().window);
    EXPECT_TRUE(IsWindowVisible(sw().window));
    // Enter and Esc do not close it.
    SetFocus(on_page(5, kSetCheckUpdates));
    press(app(), VK_ESCAPE);
    press(app(), VK_RETURN);
    EXPECT_TRUE(sw().window && IsWindow(sw().window));
}

TEST_F(SettingsWindowTest, EveryControlChangedOnceReachesTheSettingsFile) {
    start();
    ASSERT_FALSE(is_autostart_enabled());
    const Settings before = saved();
    // Window page.
    open_page(app(), 2);
    for (int id : {kSetAlwaysOnTop, kSetCloseOnPaste, kSetHideOnCopy, kSetClickToCopy, kSetTrayOnMinimize,
                   kSetStartInTray, kSetDarkMode})
        click(app(), on_page(2, id));
    retype(app(), on_page(2, kSetFontSize), L"16");
    EXPECT_EQ(app().main_window->font_size, 16);
    HWND font_up_down = up_down_on_page(sw(), 2, kSetHotkeySnippets);
    RECT ud = gui_test::window_rect(font_up_down);
    click_at(app(), POINT{(ud.left + ud.right) / 2, ud.top + 3});
    for (int id = kSetHidePinned; id <= kSetHideImages; ++id) click(app(), on_page(2, id));
    // Clipboard page.
    open_page(app(), 0);
    for (int id : {kSetWatch, kSetSoundOnCopy, kSetSoundOnPaste}) click(app(), on_page(0, id));
    for (int id : {kSetSoundCopyId, kSetSoundPasteId, kSetFilterMode}) {
        SetFocus(on_page(0, id));
        press(app(), VK_DOWN);
    }
    retype(app(), on_page(0, kSetFilterList), L"chrome.exe; Telegram.exe");
    // Storage page.
    open_page(app(), 1);
    for (int id : {kSetShowTime, kSetShowHints, kSetShowCategory, kSetSortByFrequency, kSetPinnedFirst,
                   kSetRepeatOnCopy})
        click(app(), on_page(1, id));
    SetFocus(on_page(1, kSetScrollLines));
    press(app(), VK_DOWN);
    retype(app(), on_page(1, kSetTtlDays), L"365");
    retype(app(), on_page(1, kSetTrashHours), L"48");
    // Start-up page: autostart and two hotkeys.
    open_page(app(), 3);
    click(app(), on_page(3, kSetAutostart));
    EXPECT_TRUE(is_autostart_enabled());
    click(app(), on_page(3, kSetHotkeyOpen));
    chord(app(), {VK_CONTROL, VK_MENU}, 'H');
    click(app(), on_page(3, kSetHotkeyPlain));
    chord(app(), {VK_CONTROL, VK_MENU}, 'J');
    // Templates page.
    open_page(app(), 4);
    click(app(), on_page(4, kSetHotkeySnippets));
    chord(app(), {VK_CONTROL, VK_MENU}, 'K');
    // Advanced page.
    open_page(app(), 5);
    click(app(), on_page(5, kSetCheckUpdates));
    retype(app(), on_page(5, kSetBackupFolder), L"C:\\backups");
    // Screenshots page.
    open_page(app(), 6);
    for (int id : {kSetShotEditor, kSetShotCopies, kSetShotAutosave, kSetClipImagesAutosave})
        click(app(), on_page(6, id));
    const WORD fkeys[] = {VK_F5, VK_F6, VK_F7};
    const int fields[] = {kSetHotkeyRegion, kSetHotkeyWindow, kSetHotkeyFull};
    for (int i = 0; i < 3; ++i) {
        click(app(), on_page(6, fields[i]));
        chord(app(), {VK_CONTROL, VK_MENU}, fkeys[i]);
    }
    retype(app(), on_page(6, kSetShotFolder), L"C:\\shots");
    click(app(), GetDlgItem(sw().window, kSetClose));
    ASSERT_EQ(sw().window, nullptr);

    const Settings s = saved();
    EXPECT_EQ(s.always_on_top, !before.always_on_top);
    EXPECT_EQ(s.close_on_paste, !before.close_on_paste);
    EXPECT_EQ(s.hide_on_copy, !before.hide_on_copy);
    EXPECT_EQ(s.click_to_copy, !before.click_to_copy);
    EXPECT_EQ(s.tray_on_minimize, !before.tray_on_minimize);
    EXPECT_EQ(s.start_in_tray, !before.start_in_tray);
    EXPECT_EQ(s.dark_mode, !before.dark_mode);
    EXPECT_EQ(s.font_size, 17);
    EXPECT_EQ(s.categories_hidden, 0x3F);
    EXPECT_EQ(s.watch_clipboard, !before.watch_clipboard);
    EXPECT_EQ(s.sound_on_copy, !before.sound_on_copy);
    EXPECT_EQ(s.sound_on_paste, !before.sound_on_paste);
    EXPECT_EQ(s.sound_copy_id, before.sound_copy_id + 1);
    EXPECT_EQ(s.sound_paste_id, before.sound_paste_id + 1);
    EXPECT_EQ(s.app_filter_mode, L"whitelist");
    EXPECT_EQ(s.app_filter_list, L"chrome.exe; Telegram.exe");
    EXPECT_EQ(s.show_time, !before.show_time);
    EXPECT_EQ(s.show_hints, !before.show_hints);
    EXPECT_EQ(s.show_category, !before.show_category);
    EXPECT_EQ(s.sort_by_frequency, !before.sort_by_frequency);
    EXPECT_EQ(s.pinned_first, !before.pinned_first);
    EXPECT_EQ(s.repeat_on_copy, !before.repeat_on_copy);
    EXPECT_EQ(s.scroll_lines, before.scroll_lines + 1);
    EXPECT_EQ(s.ttl_days, 365);
    EXPECT_EQ(s.trash_hours, 48);
    EXPECT_EQ(s.hotkey, L"ctrl+alt+h");
    EXPECT_EQ(s.plain_hotkey, L"ctrl+alt+j");
    EXPECT_EQ(s.snippets_hotkey, L"ctrl+alt+k");
    EXPECT_EQ(s.check_updates, !before.check_updates);
    EXPECT_EQ(s.backup_folder, L"C:\\backups");
    EXPECT_EQ(s.screenshot_editor_enabled, !before.screenshot_editor_enabled);
    EXPECT_EQ(s.screenshot_copy_to_clipboard, !before.screenshot_copy_to_clipboard);
    EXPECT_EQ(s.screenshot_autosave, !before.screenshot_autosave);
    EXPECT_EQ(s.clipboard_images_autosave, !before.clipboard_images_autosave);
    EXPECT_EQ(s.screenshot_hotkey, L"ctrl+alt+f5");
    EXPECT_EQ(s.screenshot_window_hotkey, L"ctrl+alt+f6");
    EXPECT_EQ(s.screenshot_full_hotkey, L"ctrl+alt+f7");
    EXPECT_EQ(s.screenshot_folder, L"C:\\shots");

    // The program follows: the recorded hotkeys are registered, the old ones let go.
    EXPECT_EQ(app().history_binding, (HotkeyBinding{CTRL | ALT, 'H'}));
    EXPECT_FALSE(combination_free(CTRL | ALT, 'H'));
    EXPECT_TRUE(combination_free(CTRL | SHIFT, 'V'));
    EXPECT_FALSE(combination_free(CTRL | ALT, VK_F5));
    EXPECT_TRUE(combination_free(0, VK_SNAPSHOT));
    EXPECT_TRUE(combination_free(CTRL | SHIFT | ALT, 'U'));
    EXPECT_FALSE(app().watcher->enabled());
    EXPECT_FALSE(app().main_window->close_on_paste);
    EXPECT_TRUE(app().main_window->dark_mode());
    EXPECT_FALSE(GetWindowLongPtrW(run->window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    set_autostart(false);
}

TEST_F(SettingsWindowTest, ClearingAHotkeyUnbindsIt) {
    start();
    open_page(app(), 3);
    HWND field = on_page(3, kSetHotkeyPlain);
    click(app(), field);
    press(app(), VK_BACK);
    EXPECT_EQ(app().settings->plain_hotkey, L"");
    EXPECT_FALSE(app().plain_binding.bound());
    EXPECT_TRUE(combination_free(CTRL | SHIFT | ALT, 'U'));
    EXPECT_EQ(saved().plain_hotkey, L"");
    // Now free, another field may take it.
    open_page(app(), 4);
    click(app(), on_page(4, kSetHotkeySnippets));
    chord(app(), {VK_CONTROL, VK_SHIFT, VK_MENU}, 'U');
    EXPECT_EQ(app().settings->snippets_hotkey, L"ctrl+shift+alt+u");
    EXPECT_FALSE(combination_free(CTRL | SHIFT | ALT, 'U'));
}

// A combination that the system would hand to its holder as a hotkey never
// reaches the field as keys; the field gets the key message posted with
// the keyboard state of the modifiers held.
void post_combination(App& app, HWND field, std::initializer_list<BYTE> held, WPARAM vk) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    for (BYTE m : held) keys[m] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(field, WM_KEYDOWN, vk, 1);
    pump(app, 100);
    for (BYTE m : held) keys[m] = 0;
    SetKeyboardState(keys);
}

TEST_F(SettingsWindowTest, CombinationsTakenElsewhereAreRefused) {
    start([](Settings& s) { s.screenshot_full_hotkey = L"Shift+CTRL+F8"; });
    open_page(app(), 3);
    HWND field = on_page(3, kSetHotkeyOpen);
    const HotkeyField* state = hotkey_field_state(field);
    ASSERT_TRUE(state);
    // Another field's hotkey, held by this program.
    click(app(), field);
    post_combination(app(), field, {VK_CONTROL, VK_SHIFT, VK_MENU}, 'U');
    EXPECT_EQ(state->message, tr(L"hotkey_field.busy_own") + L" " + tr(L"startup.hotkey_plain"));
    EXPECT_EQ(app().settings->hotkey, L"ctrl+shift+v");
    // Another field's hotkey as the settings file holds it.
    click(app(), field);
    post_combination(app(), field, {VK_CONTROL, VK_SHIFT}, VK_F8);
    EXPECT_EQ(state->message, tr(L"hotkey_field.busy_own") + L" " + tr(L"screenshot.hotkey_full"));

    // A combination another program holds.
    app_test::Helper holder;
    ASSERT_TRUE(holder.start(L"hotkey 3 0x42"));  // Ctrl+Alt+B
    click(app(), field);
    post_combination(app(), field, {VK_CONTROL, VK_MENU}, 'B');
    EXPECT_EQ(state->message, tr(L"hotkey_field.busy_other"));
    EXPECT_TRUE(state->recording) << "a refused combination leaves the field listening";
    EXPECT_EQ(state->hotkey, L"ctrl+shift+v");
    EXPECT_EQ(app().settings->hotkey, L"ctrl+shift+v");
    press(app(), VK_ESCAPE);
    EXPECT_FALSE(state->recording);
    EXPECT_FALSE(combination_free(CTRL | SHIFT, 'V')) << "the old hotkey stays registered";
    // The field's own hotkey, however the file writes it, is no conflict.
    open_page(app(), 6);
    HWND full = on_page(6, kSetHotkeyFull);
    click(app(), full);
    post_combination(app(), full, {VK_CONTROL, VK_SHIFT}, VK_F8);
    EXPECT_EQ(hotkey_field_state(full)->message, L"");
    EXPECT_FALSE(hotkey_field_state(full)->recording);
    EXPECT_EQ(app().settings->screenshot_full_hotkey, L"Shift+CTRL+F8");
    open_page(app(), 3);
    // F12 is reserved.
    click(app(), field);
    press(app(), VK_F12);
    EXPECT_EQ(state->message, tr(L"hotkey_field.reserved_f12"));
    EXPECT_TRUE(state->recording);
    press(app(), VK_ESCAPE);
    EXPECT_FALSE(state->recording);
    EXPECT_EQ(saved().hotkey, L"ctrl+shift+v");
}

// A local time stamp of the store's form, days back from now.
std::string days_ago(int days) {
    __time64_t t = _time64(nullptr) - static_cast<__time64_t>(days) * 86400;
    struct tm local {};
    _localtime64_s(&local, &t);
    char buf[32];
    strftime(buf, sizeof(buf), "%Y-%m-%dT%H:%M:%S", &local);
    return buf;
}

void set_created(const std::wstring& db_path, std::int64_t id, int days) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open16(db_path.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "UPDATE history SET created_at='" + days_ago(days) + "' WHERE id=" + std::to_string(id);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

bool has_entry(Database& db, std::int64_t id) {
    for (const HistoryEntry& e : db.list_entries(L"all", false, true))
        if (e.id == id) return true;
    return false;
}

TEST_F(SettingsWindowTest, TypingARetentionLimitPurgesOnlyWhenTheFieldIsLeft) {
    start([](Settings& s) { s.ttl_days = 30; });
    Database& db = *app().database;
    const std::int64_t recent = db.add_text_entry(L"ten days old", std::nullopt, false, false);
    const std::int64_t older = db.add_text_entry(L"hundred days old", std::nullopt, false, false);
    const std::int64_t oldest = db.add_text_entry(L"four hundred days old", std::nullopt, false, false);
    set_created(run->files.database_path, recent, 10);
    set_created(run->files.database_path, older, 100);
    set_created(run->files.database_path, oldest, 400);
    open_page(app(), 1);
    HWND ttl = on_page(1, kSetTtlDays);
    ASSERT_EQ(gui_test::window_rect(ttl).left > 0, true);
    retype(app(), ttl, L"365");
    EXPECT_EQ(app().settings->ttl_days, 365);
    EXPECT_EQ(saved().ttl_days, 365);
    // "3" and "36" were on the way; nothing was deleted by them.
    EXPECT_TRUE(has_entry(db, recent));
    EXPECT_TRUE(has_entry(db, older));
    EXPECT_TRUE(has_entry(db, oldest)) << "no purge while the field has the focus";
    click(app(), on_page(1, kSetTrashHours));
    EXPECT_TRUE(has_entry(db, recent));
    EXPECT_TRUE(has_entry(db, older));
    EXPECT_FALSE(has_entry(db, oldest)) << "the 365-day limit applies once the field is left";
    // A limit typed just before the window closes applies when it closes.
    retype(app(), on_page(1, kSetTtlDays), L"50");
    EXPECT_TRUE(has_entry(db, older));
    PostMessageW(sw().window, WM_CLOSE, 0, 0);
    pump(app(), 200);
    EXPECT_EQ(sw().window, nullptr);
    EXPECT_TRUE(has_entry(db, recent));
    EXPECT_FALSE(has_entry(db, older));
    EXPECT_EQ(saved().ttl_days, 50);
}

TEST_F(SettingsWindowTest, BuildingThePagesWritesNothing) {
    start([](Settings& s) {
        s.ttl_days = 5000;
        s.trash_hours = 500;
        s.font_size = 25;  // loads as 18: any save of the settings would change the file
    });
    const std::string file_before = test_support::read_file(run->files.settings_path);
    click(app(), GetDlgItem(sw().window, kSetClose));
    app().show_settings();
    pump(app(), 200);
    EXPECT_EQ(test_support::read_file(run->files.settings_path), file_before);
    EXPECT_EQ(app().settings->ttl_days, 5000) << "beyond the up-down's range, kept as stored";
    EXPECT_EQ(app().settings->trash_hours, 500);
    EXPECT_EQ(window_text(on_page(1, kSetTtlDays)), L"5000");
    EXPECT_EQ(window_text(on_page(1, kSetTrashHours)), L"500");
    // Once built, a change of the edit's text is taken and saved.
    SetWindowTextW(on_page(1, kSetTtlDays), L"77");
    pump(app(), 50);
    EXPECT_EQ(app().settings->ttl_days, 77);
    EXPECT_NE(test_support::read_file(run->files.settings_path), file_before);
}

TEST_F(SettingsWindowTest, LanguageChangeRebuildsTheWindowOnTheSamePage) {
    start();
    open_page(app(), 0);
    HWND old_window = sw().window;
    HWND languages = on_page(0, kSetLanguage);
    ASSERT_EQ(sw().language_codes.at(static_cast<size_t>(SendMessageW(languages, CB_GETCURSEL, 0, 0))), L"en");
    ASSERT_EQ(sw().language_codes.front(), L"de");
    SetFocus(languages);
    press(app(), VK_UP);  // "en" is second, after "de"
    pump(app(), 300);
    ASSERT_TRUE(sw().window);
    EXPECT_EQ(sw().window, old_window) << "built again in the same window";
    EXPECT_EQ(current_language(), L"de");
    EXPECT_EQ(saved().language, L"de");
    EXPECT_EQ(window_text(sw().window), L"Einstellungen");
    EXPECT_EQ(sw().page, 0);
    EXPECT_EQ(SendMessageW(sw().page_list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(window_text(on_page(0, kSetWatch)), tr(L"clipboard.watch"));
    EXPECT_EQ(tr(L"clipboard.watch"), L"Zwischenablage aufzeichnen");
    // The main window speaks German too.
    EXPECT_EQ(window_text(app().main_window->watch_box), tr(L"toggle.watch_buffer"));
    // A rebuild keeps whatever page is shown.
    open_page(app(), 5);
    PostMessageW(sw().window, WM_SETTINGS_REBUILD, 0, 0);
    pump(app(), 300);
    EXPECT_EQ(sw().page, 5);
    EXPECT_EQ(SendMessageW(sw().page_list, LB_GETCURSEL, 0, 0), 5);
    EXPECT_TRUE(IsWindowVisible(on_page(5, kSetCheckUpdates)));
    set_language(L"en");
}

// The folder dialog of this process once it shows, or null after 10 s.
HWND wait_for_folder_dialog() {
    HWND found = nullptr;
    gui_test::wait_until(
        [&] {
            EnumWindows(
                [](HWND w, LPARAM lp) -> BOOL {
                    DWORD pid = 0;
                    GetWindowThreadProcessId(w, &pid);
                    wchar_t cls[16] = {};
                    GetClassNameW(w, cls, 16);
                    if (pid == GetCurrentProcessId() && IsWindowVisible(w) && wcscmp(cls, L"#32770") == 0) {
                        *reinterpret_cast<HWND*>(lp) = w;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&found));
            return found != nullptr;
        },
        10000);
    return found;
}

// The first edit box inside the window (the dialog's name field).
HWND first_edit(HWND parent) {
    HWND found = nullptr;
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM lp) -> BOOL {
            wchar_t cls[16] = {};
            GetClassNameW(w, cls, 16);
            if (_wcsicmp(cls, L"Edit") != 0 || !IsWindowVisible(w)) return TRUE;
            *reinterpret_cast<HWND*>(lp) = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST_F(SettingsWindowTest, BrowseButtonsTakeTheChosenFolder) {
    start();
    open_page(app(), 5);
    const std::string file_before = test_support::read_file(run->files.settings_path);
    // Cancelled: nothing changes, nothing is written.
    std::wstring title;
    std::thread cancel([&] {
        HWND dialog = wait_for_folder_dialog();
        if (!dialog) return;
        title = window_text(dialog);
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), sw().window);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    click(app(), on_page(5, kSetBackupBrowse));
    cancel.join();
    pump(app(), 200);
    EXPECT_EQ(title, tr(L"settings.backup_picker"));
    EXPECT_EQ(app().settings->backup_folder, L"");
    EXPECT_EQ(test_support::read_file(run->files.settings_path), file_before);
    // A folder typed into the dialog and confirmed.
    const std::wstring folder = run->folder.path();
    std::thread choose([&] {
        HWND dialog = wait_for_folder_dialog();
        if (!dialog) return;
        HWND name = first_edit(dialog);
        if (name) SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        // A dialog that opened the folder instead waits for a second OK.
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        if (IsWindow(dialog) && IsWindowVisible(dialog)) PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    click(app(), on_page(5, kSetBackupBrowse));
    choose.join();
    pump(app(), 300);
    EXPECT_EQ(_wcsicmp(app().settings->backup_folder.c_str(), folder.c_str()), 0)
        << "got " << app().settings->backup_folder.size();
    EXPECT_EQ(_wcsicmp(window_text(on_page(5, kSetBackupFolder)).c_str(), folder.c_str()), 0);
    EXPECT_EQ(_wcsicmp(saved().backup_folder.c_str(), folder.c_str()), 0);
}

TEST_F(SettingsWindowTest, DarkModeReachesEveryControlAtOnce) {
    start();
    open_page(app(), 2);
    click(app(), on_page(2, kSetDarkMode));
    EXPECT_TRUE(app().settings->dark_mode);
    EXPECT_TRUE(app().main_window->dark_mode());
    for (HWND w : sw().check_boxes) EXPECT_EQ(GetWindowLongPtrW(w, GWLP_USERDATA), 1);
    for (HWND w : sw().edits) EXPECT_EQ(GetWindowLongPtrW(w, GWLP_USERDATA), 1);
    for (HWND w : sw().hotkey_fields) EXPECT_TRUE(hotkey_field_state(w)->dark);
    ASSERT_FALSE(sw().buttons.empty());
    for (HWND w : sw().buttons)
        EXPECT_EQ(GetWindowLongPtrW(w, GWLP_USERDATA) & (kButtonDarkBit | kButtonAccentBit), kButtonDarkBit);
    // The window's own background follows.
    pump(app(), 200);
    POINT p{740, 70};
    ClientToScreen(sw().window, &p);
    RECT one{p.x, p.y, p.x + 1, p.y + 1};
    EXPECT_EQ(app_test::capture_screen(one).at(0, 0), static_cast<COLORREF>(0x202020));
}

TEST_F(SettingsWindowTest, FontSizeStaysWithinItsRange) {
    start();
    open_page(app(), 2);
    HWND edit = on_page(2, kSetFontSize);
    retype(app(), edit, L"25");
    EXPECT_EQ(app().settings->font_size, 18);
    EXPECT_EQ(app().main_window->font_size, 18);
    // The arrows stop at 18 and at 10. Clicks go to alternating spots, so
    // that none counts as a double click.
    retype(app(), edit, L"17");
    RECT ud = gui_test::window_rect(up_down_on_page(sw(), 2, kSetHotkeySnippets));
    const int mid = (ud.left + ud.right) / 2;
    for (int i = 0; i < 3; ++i) click_at(app(), POINT{mid, ud.top + (i % 2 ? 3 : 9)});
    EXPECT_EQ(app().settings->font_size, 18);
    EXPECT_EQ(window_text(edit), L"18");
    for (int i = 0; i < 10; ++i) click_at(app(), POINT{mid, ud.bottom - (i % 2 ? 3 : 9)});
    EXPECT_EQ(app().settings->font_size, 10);
    EXPECT_EQ(saved().font_size, 10);
    // Text that is no number changes nothing but is still saved.
    retype(app(), edit, L"x");
    EXPECT_EQ(app().settings->font_size, 10);
}

TEST_F(SettingsWindowTest, OpeningAgainLeavesNoGdiObjects) {
    start();
    auto cycle = [&] {
        DestroyWindow(sw().window);
        pump(app(), 50);
        app().show_settings();
        for (int n = 0; n < kSettingsPageCount; ++n) {
            sw().show_page(n);
            UpdateWindow(sw().window);
        }
        pump(app(), 100);
    };
    cycle();
    const DWORD after_first = gui_test::gdi_object_count();
    ASSERT_GT(after_first, 0u);
    for (int i = 0; i < 10; ++i) cycle();
    EXPECT_EQ(gui_test::gdi_object_count(), after_first);
}

TEST_F(SettingsWindowTest, TabMovesOnUnlessRecordingAndAltCombinationsRecord) {
    start();
    open_page(app(), 3);
    HWND open_field = on_page(3, kSetHotkeyOpen);
    HWND plain_field = on_page(3, kSetHotkeyPlain);
    SetFocus(open_field);
    press(app(), VK_TAB);
    EXPECT_EQ(GetFocus(), plain_field);
    // Enter starts recording; an Alt combination arrives as system keys.
    press(app(), VK_RETURN);
    EXPECT_TRUE(hotkey_field_state(plain_field)->recording);
    chord(app(), {VK_MENU}, VK_F9);
    EXPECT_EQ(app().settings->plain_hotkey, L"alt+f9");
    EXPECT_FALSE(combination_free(ALT, VK_F9));
    EXPECT_EQ(GetFocus(), plain_field);
    EXPECT_TRUE(sw().window && IsWindowVisible(sw().window));
}

bool side_panel_has_trash(MainWindow& mw) {
    for (const SidePanelRow& row : mw.panel.rows())
        if (row.kind == SideRowKind::View && row.view_kind == kViewTrash) return true;
    return false;
}

TEST_F(SettingsWindowTest, HidingTheTrashViewTakesItsRowAwayAtOnce) {
    start();
    MainWindow& mw = *app().main_window;
    ASSERT_TRUE(side_panel_has_trash(mw));
    const LRESULT rows_before = SendMessageW(mw.side, LB_GETCOUNT, 0, 0);
    open_page(app(), 2);
    HWND trash = on_page(2, kSetHidePinned + 3);
    click(app(), trash);
    EXPECT_EQ(app().settings->categories_hidden, 0x08);
    EXPECT_FALSE(side_panel_has_trash(mw));
    EXPECT_EQ(SendMessageW(mw.side, LB_GETCOUNT, 0, 0), rows_before - 1);
    // Space on the focused toggle brings it back.
    SetFocus(trash);
    press(app(), VK_SPACE);
    EXPECT_EQ(app().settings->categories_hidden, 0);
    EXPECT_TRUE(side_panel_has_trash(mw));
    EXPECT_EQ(saved().categories_hidden, 0);
}

TEST_F(SettingsWindowTest, BackupButtonsOpenTheirFileDialogs) {
    start();
    open_page(app(), 5);
    const std::string file_before = test_support::read_file(run->files.settings_path);
    for (int id : {kSetExport, kSetImport}) {
        HWND owner = nullptr;
        std::thread cancel([&] {
            HWND dialog = wait_for_folder_dialog();
            if (!dialog) return;
            owner = GetWindow(dialog, GW_OWNER);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        click(app(), on_page(5, id));
        cancel.join();
        pump(app(), 200);
        EXPECT_EQ(owner, sw().window) << id;
    }
    EXPECT_EQ(test_support::read_file(run->files.settings_path), file_before);
    EXPECT_TRUE(IsWindowEnabled(sw().window));
}

TEST_F(SettingsWindowTest, HotkeyFieldAnswersWhatItCopied) {
    start();
    open_page(app(), 3);
    HWND field = on_page(3, kSetHotkeyOpen);
    wchar_t small[5] = {L'x', L'x', L'x', L'x', L'x'};
    EXPECT_EQ(SendMessageW(field, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(small)), 4);
    EXPECT_STREQ(small, L"ctrl");
    EXPECT_EQ(SendMessageW(field, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(small)), 0);
    EXPECT_EQ(SendMessageW(field, WM_GETTEXTLENGTH, 0, 0), 12);
    EXPECT_EQ(window_text(field), L"ctrl+shift+v");
    // Alt+F4 and other system keys pass while the field is not recording.
    SetFocus(field);
    EXPECT_EQ(hotkey_field_state(field)->recording, false);
    EXPECT_NE(SendMessageW(field, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, DLGC_WANTALLKEYS);
    chord(app(), {VK_MENU}, VK_F4);
    EXPECT_FALSE(sw().window) << "Alt+F4 reached the window and closed it";
}

}  // namespace
