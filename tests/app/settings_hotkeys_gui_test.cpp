// Recording hotkeys in the settings window of a running App with real key
// strokes (SendInput): the program lets its own hotkeys go while a field
// records, so that their keys reach the field and its busy messages show,
// and takes them back whatever ends the recording; Tab moves on; a key that
// types needs Ctrl or Alt; PrtScr is recorded on its release; a hotkey
// recorded after a held combination works as a hotkey afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "core/i18n.h"
#include "tests/app/settings_test_support.h"
#include "ui/dialogs/hotkey_chip.h"
#include "ui/quick_menu.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using app_test::combination_free;
using app_test::RunningApp;
using namespace settings_test;

constexpr UINT ALT = MOD_ALT, CTRL = MOD_CONTROL, SHIFT = MOD_SHIFT;

// Pages and their hotkey fields.
constexpr int kStartupPage = 3, kScreenshotPage = 6;

// The program's own hotkeys, one of each kind: the history hotkey as the
// settings give it, the quick menu and a quick slot.
bool program_hotkeys_held() {
    return !combination_free(CTRL | SHIFT, 'V') && !combination_free(CTRL | SHIFT | ALT, 'V') &&
           !combination_free(CTRL | SHIFT, '3');
}
bool program_hotkeys_let_go() {
    return combination_free(CTRL | SHIFT, 'V') && combination_free(CTRL | SHIFT | ALT, 'V') &&
           combination_free(CTRL | SHIFT, '3');
}

class SettingsHotkeysTest : public SettingsWindowFixture {
protected:
    void start(const std::function<void(Settings&)>& tweak = {}) {
        SettingsWindowFixture::start(tweak);
        if (HasFatalFailure()) return;
        ASSERT_TRUE(program_hotkeys_held());
    }
    const HotkeyField& state(HWND field) { return *hotkey_field_state(field); }
    // Clicks the field: it records and the program's hotkeys are let go.
    void start_recording(HWND field) {
        click(app(), field);
        ASSERT_TRUE(state(field).recording);
        ASSERT_TRUE(program_hotkeys_let_go()) << "a recording field lets the program's hotkeys go";
    }
};

// The program's own combinations reach the field and are refused with the
// field's busy messages; the field goes on recording (the hotkeys stay let
// go) and they come back when recording ends.
TEST_F(SettingsHotkeysTest, TheProgramsOwnHotkeysReachTheField) {
    start();
    open_page(app(), kStartupPage);
    HWND plain = on_page(kStartupPage, kSetHotkeyPlain);
    const bool main_visible = IsWindowVisible(run->window()) != FALSE;

    start_recording(plain);
    chord(app(), {VK_CONTROL, VK_SHIFT}, 'V');
    EXPECT_EQ(state(plain).message, tr(L"hotkey_field.busy_own") + L" " + tr(L"startup.hotkey_open"));
    EXPECT_TRUE(state(plain).recording) << "a refused combination leaves the field listening";
    EXPECT_TRUE(program_hotkeys_let_go());
    press(app(), VK_ESCAPE);
    EXPECT_FALSE(state(plain).recording);
    EXPECT_TRUE(program_hotkeys_held()) << "recording ended: the hotkeys are back";

    // The quick menu's and a quick slot's combinations: held by the program.
    for (WORD key : {WORD('V'), WORD('3')}) {
        start_recording(plain);
        if (key == 'V')
            chord(app(), {VK_CONTROL, VK_SHIFT, VK_MENU}, key);
        else
            chord(app(), {VK_CONTROL, VK_SHIFT}, key);
        EXPECT_EQ(state(plain).message, tr(L"hotkey_field.busy_other")) << char(key);
        EXPECT_TRUE(state(plain).recording) << char(key);
        press(app(), VK_ESCAPE);
        EXPECT_TRUE(program_hotkeys_held()) << char(key);
    }
    EXPECT_EQ(app().settings->plain_hotkey, L"ctrl+shift+alt+u");
    EXPECT_EQ(saved().plain_hotkey, L"ctrl+shift+alt+u");
    EXPECT_EQ(IsWindowVisible(run->window()) != FALSE, main_visible) << "no hotkey ran";
    const bool quick_menu_shown = app().quick_menu && app().quick_menu->window &&
                                  IsWindowVisible(app().quick_menu->window);
    EXPECT_FALSE(quick_menu_shown) << "the quick menu did not open";
}

// Whatever ends the recording, the program's hotkeys are registered again.
TEST_F(SettingsHotkeysTest, EveryWayOutOfRecordingGivesTheHotkeysBack) {
    start();
    open_page(app(), kStartupPage);
    HWND open = on_page(kStartupPage, kSetHotkeyOpen);
    HWND plain = on_page(kStartupPage, kSetHotkeyPlain);
    struct Way {
        const char* name;
        std::function<void()> end;
    };
    const Way ways[] = {
        {"Esc", [&] { press(app(), VK_ESCAPE); }},
        {"Tab", [&] { press(app(), VK_TAB); }},
        {"Esc after a refused typing key", [&] { press(app(), 'A'); press(app(), VK_ESCAPE); }},
        {"a click on another field", [&] { click(app(), plain); press(app(), VK_ESCAPE); }},
        {"another page", [&] { open_page(app(), 1); }},
        {"another window in front", [&] {
             SetForegroundWindow(run->window());
             pump(app(), 200);
         }},
    };
    for (const Way& way : ways) {
        open_page(app(), kStartupPage);
        SetForegroundWindow(sw().window);
        pump(app(), 100);
        start_recording(open);
        way.end();
        EXPECT_FALSE(state(open).recording) << way.name;
        EXPECT_TRUE(program_hotkeys_held()) << way.name;
        EXPECT_EQ(app().settings->hotkey, L"ctrl+shift+v") << way.name;
    }
    // The window closed while a field records.
    open_page(app(), kStartupPage);
    SetForegroundWindow(sw().window);
    pump(app(), 100);
    start_recording(open);
    PostMessageW(sw().window, WM_CLOSE, 0, 0);
    pump(app(), 300);
    EXPECT_EQ(sw().window, nullptr);
    EXPECT_TRUE(program_hotkeys_held()) << "closing the window";
}

// Tab and Shift+Tab move the focus out of a recording field and are never
// recorded.
TEST_F(SettingsHotkeysTest, TabMovesTheFocusAndIsNeverRecorded) {
    start();
    open_page(app(), kStartupPage);
    HWND open = on_page(kStartupPage, kSetHotkeyOpen);
    HWND plain = on_page(kStartupPage, kSetHotkeyPlain);
    start_recording(open);
    press(app(), VK_TAB);
    EXPECT_EQ(GetFocus(), plain) << "Tab: the next control";
    EXPECT_FALSE(state(open).recording);
    start_recording(plain);
    chord(app(), {VK_SHIFT}, VK_TAB);
    EXPECT_EQ(GetFocus(), open) << "Shift+Tab: the previous control";
    EXPECT_FALSE(state(plain).recording);
    EXPECT_EQ(state(open).hotkey, L"ctrl+shift+v");
    EXPECT_EQ(state(plain).hotkey, L"ctrl+shift+alt+u");
    EXPECT_EQ(saved().hotkey, L"ctrl+shift+v");
    EXPECT_EQ(saved().plain_hotkey, L"ctrl+shift+alt+u");
    EXPECT_TRUE(combination_free(0, VK_TAB)) << "Tab stays every program's";
}

// A key that types is refused alone and with Shift; with Ctrl or Alt it is
// taken. Keys that type nothing stand alone.
TEST_F(SettingsHotkeysTest, KeysThatTypeNeedCtrlOrAlt) {
    start();
    open_page(app(), kStartupPage);
    HWND open = on_page(kStartupPage, kSetHotkeyOpen);
    const std::wstring refused = tr(L"hotkey_field.unsupported");
    struct Refused {
        std::initializer_list<WORD> modifiers;
        WORD key;
    };
    const Refused cases[] = {
        {{}, 'A'},      {{}, '5'},       {{}, VK_SPACE},     {{}, VK_RETURN}, {{}, VK_LEFT},
        {{}, VK_HOME},  {{}, VK_NEXT},   {{}, VK_OEM_COMMA}, {{}, VK_NUMPAD4}, {{VK_SHIFT}, 'A'},
        {{VK_SHIFT}, VK_BACK}, {{VK_SHIFT}, VK_DELETE}, {{VK_LWIN}, 'E'},
    };
    for (const Refused& c : cases) {
        start_recording(open);
        chord(app(), c.modifiers, c.key);
        EXPECT_EQ(state(open).message, refused) << c.key;
        EXPECT_EQ(state(open).hotkey, L"ctrl+shift+v") << c.key;
        EXPECT_TRUE(state(open).recording) << c.key << ": the field goes on listening";
        press(app(), VK_ESCAPE);
        EXPECT_FALSE(state(open).recording) << c.key;
        EXPECT_TRUE(program_hotkeys_held()) << c.key;
    }
    EXPECT_EQ(saved().hotkey, L"ctrl+shift+v");
    EXPECT_TRUE(combination_free(0, 'A'));

    struct Taken {
        std::initializer_list<WORD> modifiers;
        WORD key;
        const wchar_t* hotkey;
        UINT mods;
    };
    const Taken taken[] = {
        {{VK_CONTROL, VK_MENU}, 'J', L"ctrl+alt+j", CTRL | ALT},
        {{VK_MENU}, VK_SPACE, L"alt+space", ALT},
        {{VK_CONTROL}, VK_RETURN, L"ctrl+enter", CTRL},
        {{}, VK_F8, L"f8", 0},
        {{}, VK_INSERT, L"insert", 0},
        {{VK_SHIFT}, VK_F9, L"shift+f9", SHIFT},
    };
    for (const Taken& t : taken) {
        start_recording(open);
        chord(app(), t.modifiers, t.key);
        EXPECT_EQ(state(open).message, L"") << t.key;
        EXPECT_EQ(app().settings->hotkey, t.hotkey);
        EXPECT_EQ(saved().hotkey, t.hotkey);
        EXPECT_FALSE(combination_free(t.mods, t.key)) << "registered: " << t.key;
    }
}

// After "cannot be a hotkey" the field still listens: the next combination,
// typed without a new click, is taken and registered.
TEST_F(SettingsHotkeysTest, ARefusedKeyLeavesTheFieldListening) {
    start();
    open_page(app(), kStartupPage);
    HWND open = on_page(kStartupPage, kSetHotkeyOpen);
    start_recording(open);
    chord(app(), {VK_SHIFT}, 'A');
    ASSERT_EQ(state(open).message, tr(L"hotkey_field.unsupported"));
    EXPECT_TRUE(state(open).recording);
    EXPECT_TRUE(program_hotkeys_let_go()) << "still recording: the program's hotkeys stay let go";
    chord(app(), {}, VK_SPACE);
    EXPECT_EQ(state(open).message, tr(L"hotkey_field.unsupported")) << "a second refusal";
    EXPECT_TRUE(state(open).recording);
    chord(app(), {VK_CONTROL, VK_MENU}, 'J');
    EXPECT_FALSE(state(open).recording);
    EXPECT_EQ(state(open).message, L"");
    EXPECT_EQ(app().settings->hotkey, L"ctrl+alt+j");
    EXPECT_EQ(saved().hotkey, L"ctrl+alt+j");
    EXPECT_FALSE(combination_free(CTRL | ALT, 'J')) << "registered";
    EXPECT_TRUE(combination_free(CTRL | SHIFT, 'V')) << "the old one let go";
    EXPECT_FALSE(combination_free(CTRL | SHIFT | ALT, 'V')) << "the program's other hotkeys are back";
}

// PrtScr is recorded on its release, alone, with Alt and with Shift.
TEST_F(SettingsHotkeysTest, PrintScreenIsRecordedOnItsRelease) {
    start([](Settings& s) {
        s.screenshot_hotkey = L"ctrl+alt+f5";
        s.screenshot_window_hotkey = L"ctrl+alt+f6";
        s.screenshot_full_hotkey = L"ctrl+alt+f7";
    });
    open_page(app(), kScreenshotPage);
    struct P {
        int id;
        std::initializer_list<WORD> modifiers;
        const wchar_t* hotkey;
        UINT mods;
        std::wstring Settings::*setting;
    };
    const P cases[] = {
        {kSetHotkeyRegion, {}, L"prtscr", 0, &Settings::screenshot_hotkey},
        {kSetHotkeyWindow, {VK_MENU}, L"alt+prtscr", ALT, &Settings::screenshot_window_hotkey},
        {kSetHotkeyFull, {VK_SHIFT}, L"shift+prtscr", SHIFT, &Settings::screenshot_full_hotkey},
    };
    for (const P& p : cases) {
        HWND field = on_page(kScreenshotPage, p.id);
        start_recording(field);
        chord(app(), p.modifiers, VK_SNAPSHOT);
        EXPECT_FALSE(state(field).recording) << p.id;
        EXPECT_EQ(state(field).message, L"") << p.id;
        EXPECT_EQ(state(field).hotkey, p.hotkey);
        EXPECT_EQ((*app().settings).*p.setting, p.hotkey);
        EXPECT_EQ(saved().*p.setting, p.hotkey);
        EXPECT_FALSE(combination_free(p.mods, VK_SNAPSHOT)) << "registered: " << p.id;
        EXPECT_TRUE(program_hotkeys_held()) << p.id;
    }
}

// After the program's own combination was held in the field, a new hotkey
// is recorded and works as a hotkey: pressed, it shows the history.
TEST_F(SettingsHotkeysTest, AHotkeyRecordedAfterAHeldCombinationWorks) {
    start();
    open_page(app(), kStartupPage);
    HWND open = on_page(kStartupPage, kSetHotkeyOpen);
    // Ctrl and Shift held: their chips; then V, the field's own hotkey.
    start_recording(open);
    key_event(VK_CONTROL, false);
    pump(app(), 30);
    key_event(VK_SHIFT, false);
    pump(app(), 60);
    EXPECT_EQ(state(open).pending_modifiers, CTRL | SHIFT);
    key_event('V', false);
    pump(app(), 30);
    key_event('V', true);
    key_event(VK_SHIFT, true);
    key_event(VK_CONTROL, true);
    pump(app(), 100);
    EXPECT_FALSE(state(open).recording);
    EXPECT_EQ(state(open).message, L"");
    // A new one, Ctrl+Alt held first.
    start_recording(open);
    chord(app(), {VK_CONTROL, VK_MENU}, 'Y');
    EXPECT_EQ(app().settings->hotkey, L"ctrl+alt+y");
    EXPECT_FALSE(combination_free(CTRL | ALT, 'Y'));
    EXPECT_TRUE(combination_free(CTRL | SHIFT, 'V')) << "the old history hotkey was let go";
    EXPECT_FALSE(combination_free(CTRL | SHIFT | ALT, 'V')) << "the quick menu is back";

    // The new hotkey does what the history hotkey does.
    ShowWindow(run->window(), SW_HIDE);
    pump(app(), 100);
    ASSERT_FALSE(IsWindowVisible(run->window()));
    chord(app(), {VK_CONTROL, VK_MENU}, 'Y');
    EXPECT_TRUE(app_test::pump_until([&] { return IsWindowVisible(run->window()) != FALSE; }, 3000));
}

}  // namespace
