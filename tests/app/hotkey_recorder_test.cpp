// The hotkey field's key handling and the check of a new combination, as
// plain functions: sequences of key events against the resulting state,
// and candidates against stored hotkeys and a probe that plays the system.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <utility>
#include <vector>

#include "core/i18n.h"
#include "core/settings.h"
#include "ui/dialogs/hotkey_chip.h"
#include "ui/dialogs/hotkey_recorder.h"

namespace {

constexpr unsigned ALT = MOD_ALT, CTRL = MOD_CONTROL, SHIFT = MOD_SHIFT;

// One event of a recording: a key going down or up with the modifiers
// held right after it.
struct Key {
    bool down;
    unsigned vk;
    unsigned held;
    bool repeat = false;
};

Key down(unsigned vk, unsigned held = 0) { return {true, vk, held}; }
Key up(unsigned vk, unsigned held = 0) { return {false, vk, held}; }
Key repeat(unsigned vk, unsigned held) { return {true, vk, held, true}; }

struct Case {
    const char* name;
    std::wstring start;  // hotkey before
    std::vector<Key> keys;
    std::wstring hotkey;   // after
    std::wstring message;  // after (a key of tr, or empty)
    bool recording;        // after
    int changes;           // notifications of the parent
    unsigned pending = 0;  // pending modifiers after
};

struct Recording {
    HotkeyField field;
    int changes = 0;
    std::vector<std::wstring> validated;
};

// Starts recording as a click does, then plays the keys; every candidate
// that reaches the validator is noted; "ctrl+alt+x" is refused.
void play(Recording& run, const std::wstring& start, const std::vector<Key>& keys, bool click = true) {
    run.field.hotkey = start;
    run.field.validator = [&run](const std::wstring& candidate) {
        run.validated.push_back(candidate);
        return candidate == L"ctrl+alt+x" ? std::wstring(L"taken") : std::wstring();
    };
    if (click) hotkey_start_recording(run.field);
    for (const Key& k : keys) {
        HotkeyKeyResult r = k.down ? hotkey_key_down(run.field, k.vk, k.repeat, k.held)
                                   : hotkey_key_up(run.field, k.vk, k.held);
        if (r == HotkeyKeyResult::Changed) ++run.changes;
    }
}

std::wstring text_of(const std::wstring& key) { return key.empty() ? key : tr(key); }

TEST(HotkeyRecorder, KeySequences) {
    const Case cases[] = {
        {"ctrl and shift held, shift released, then V", L"f9",
         {down(VK_CONTROL, CTRL), down(VK_SHIFT, CTRL | SHIFT), up(VK_SHIFT, CTRL), down('V', CTRL)},
         L"ctrl+v", L"", false, 1},
        {"modifiers shown while held", L"f9", {down(VK_CONTROL, CTRL), down(VK_SHIFT, CTRL | SHIFT)}, L"f9", L"",
         true, 0, CTRL | SHIFT},
        {"releasing shift leaves ctrl", L"f9",
         {down(VK_CONTROL, CTRL), down(VK_SHIFT, CTRL | SHIFT), up(VK_SHIFT, CTRL)}, L"f9", L"", true, 0, CTRL},
        {"auto-repeat of a held modifier changes nothing", L"f9",
         {down(VK_CONTROL, CTRL), repeat(VK_CONTROL, CTRL | SHIFT), repeat('A', CTRL)}, L"f9", L"", true, 0, CTRL},
        {"left and right variants count as modifiers", L"", {down(VK_LSHIFT, SHIFT), down(VK_RMENU, SHIFT | ALT)},
         L"", L"", true, 0, SHIFT | ALT},
        {"escape stops and keeps the hotkey", L"ctrl+shift+v", {down(VK_CONTROL, CTRL), down(VK_ESCAPE, CTRL)},
         L"ctrl+shift+v", L"", false, 0},
        {"backspace alone clears", L"ctrl+shift+v", {down(VK_BACK)}, L"", L"", false, 1},
        {"delete alone clears", L"ctrl+shift+v", {down(VK_DELETE)}, L"", L"", false, 1},
        {"ctrl+backspace is a combination", L"f9", {down(VK_CONTROL, CTRL), down(VK_BACK, CTRL)}, L"ctrl+backspace",
         L"", false, 1},
        {"f12 is reserved and recording goes on", L"f9", {down(VK_F12)}, L"f9", L"hotkey_field.reserved_f12", true,
         0},
        {"after f12 a valid key replaces the message", L"f9", {down(VK_F12), down(VK_F8)}, L"f8", L"", false, 1},
        {"a key without a name is unsupported and recording goes on", L"f9",
         {down(VK_CONTROL, CTRL), down(VK_OEM_1, CTRL)}, L"f9", L"hotkey_field.unsupported", true, 0},
        {"virtual key 0 is unsupported", L"f9", {down(0)}, L"f9", L"hotkey_field.unsupported", true, 0},
        {"the windows key never joins", L"f9", {down(VK_LWIN, 0), down(VK_F8, 0)}, L"f8", L"", false, 1},
        {"the windows key does not make a letter a hotkey", L"f9", {down(VK_LWIN, 0), down('E', 0)}, L"f9",
         L"hotkey_field.unsupported", true, 0},
        {"prtscr is taken on its release", L"f9", {down(VK_SNAPSHOT), up(VK_SNAPSHOT)}, L"prtscr", L"", false, 1},
        {"a press of prtscr alone records nothing", L"f9", {down(VK_SNAPSHOT)}, L"f9", L"", true, 0},
        {"alt+prtscr", L"f9", {down(VK_MENU, ALT), up(VK_SNAPSHOT, ALT)}, L"alt+prtscr", L"", false, 1},
        {"shift+prtscr", L"f9", {down(VK_SHIFT, SHIFT), down(VK_SNAPSHOT, SHIFT), up(VK_SNAPSHOT, SHIFT)},
         L"shift+prtscr", L"", false, 1},
        {"tab is never recorded", L"f9", {down(VK_TAB)}, L"f9", L"", false, 0},
        {"shift+tab is never recorded", L"f9", {down(VK_SHIFT, SHIFT), down(VK_TAB, SHIFT)}, L"f9", L"", false, 0},
        {"ctrl+tab is a combination", L"f9", {down(VK_CONTROL, CTRL), down(VK_TAB, CTRL)}, L"ctrl+tab", L"", false,
         1},
        {"shift+backspace types", L"f9", {down(VK_SHIFT, SHIFT), down(VK_BACK, SHIFT)}, L"f9",
         L"hotkey_field.unsupported", true, 0},
        {"a modifier held without a key-down event still counts", L"f9", {down('K', CTRL | ALT)}, L"ctrl+alt+k", L"",
         false, 1},
        {"the field's own hotkey again, written differently", L"Shift+CTRL+V",
         {down(VK_CONTROL, CTRL), down(VK_SHIFT, CTRL | SHIFT), down('V', CTRL | SHIFT)}, L"Shift+CTRL+V", L"", false,
         0},
        {"a refused combination keeps the old hotkey and recording goes on", L"f9",
         {down(VK_CONTROL, CTRL), down(VK_MENU, CTRL | ALT), down('X', CTRL | ALT)}, L"f9", L"taken", true, 0},
        // After a refusal the field still listens: no second click is needed.
        {"a typing key refused, then a combination is taken", L"f9",
         {down('A'), up('A'), down(VK_CONTROL, CTRL), down(VK_MENU, CTRL | ALT), down('K', CTRL | ALT)},
         L"ctrl+alt+k", L"", false, 1},
        {"a modifier after a refusal shows itself in place of the message", L"f9",
         {down(VK_SPACE), up(VK_SPACE), down(VK_CONTROL, CTRL)}, L"f9", L"", true, 0, CTRL},
        {"a refusal, then Esc stops", L"f9", {down('A'), up('A'), down(VK_ESCAPE)}, L"f9",
         L"hotkey_field.unsupported", false, 0},
        {"a refusal, then Tab stops", L"f9", {down('A'), up('A'), down(VK_TAB)}, L"f9", L"hotkey_field.unsupported",
         false, 0},
        {"a combination held elsewhere, then one that is free, modifiers still held", L"f9",
         {down(VK_CONTROL, CTRL), down(VK_MENU, CTRL | ALT), down('X', CTRL | ALT), up('X', CTRL | ALT),
          down('Y', CTRL | ALT)},
         L"ctrl+alt+y", L"", false, 1},
        {"f12, then a refused letter, then a function key", L"f9", {down(VK_F12), down('Q'), down(VK_F7)}, L"f7", L"",
         false, 1},
    };
    for (const Case& c : cases) {
        Recording run;
        play(run, c.start, c.keys);
        EXPECT_EQ(run.field.hotkey, c.hotkey) << c.name;
        EXPECT_EQ(run.field.message, c.message == L"taken" ? c.message : text_of(c.message)) << c.name;
        EXPECT_EQ(run.field.recording, c.recording) << c.name;
        EXPECT_EQ(run.changes, c.changes) << c.name;
        EXPECT_EQ(run.field.pending_modifiers, c.pending) << c.name;
    }
}

TEST(HotkeyRecorder, OwnHotkeyAgainClearsTheMessageWithoutAsking) {
    Recording run;
    run.field.message = L"old message";
    play(run, L"alt+prtscr", {}, false);
    hotkey_start_recording(run.field);
    EXPECT_TRUE(run.field.message.empty()) << "starting clears the message";
    run.field.message = L"still shown";
    hotkey_key_down(run.field, VK_MENU, false, ALT);
    hotkey_key_up(run.field, VK_SNAPSHOT, ALT);
    EXPECT_TRUE(run.field.message.empty());
    EXPECT_TRUE(run.validated.empty()) << "the field's own hotkey is not probed";
}

// Keys that type or edit text are refused alone and with Shift (the
// "cannot be a hotkey" message, the hotkey kept, nothing asked), and taken
// with Ctrl or Alt; keys that type nothing stand alone.
TEST(HotkeyRecorder, TypingKeysNeedCtrlOrAlt) {
    struct T {
        unsigned vk;
        const wchar_t* with_ctrl;  // the hotkey recorded with Ctrl held
        const wchar_t* with_alt;
    };
    const T typing[] = {
        {'A', L"ctrl+a", L"alt+a"},          {'Z', L"ctrl+z", L"alt+z"},
        {'0', L"ctrl+0", L"alt+0"},          {'7', L"ctrl+7", L"alt+7"},
        {VK_SPACE, L"ctrl+space", L"alt+space"}, {VK_RETURN, L"ctrl+enter", L"alt+enter"},
        {VK_LEFT, L"ctrl+left", L"alt+left"}, {VK_DOWN, L"ctrl+down", L"alt+down"},
        {VK_HOME, L"ctrl+home", L"alt+home"}, {VK_END, L"ctrl+end", L"alt+end"},
        {VK_PRIOR, L"ctrl+pageup", L"alt+pageup"}, {VK_NEXT, L"ctrl+pagedown", L"alt+pagedown"},
        {VK_DELETE, L"ctrl+delete", L"alt+delete"}, {VK_BACK, L"ctrl+backspace", L"alt+backspace"},
    };
    const std::wstring refused = tr(L"hotkey_field.unsupported");
    for (const T& t : typing) {
        EXPECT_TRUE(is_typing_key(t.vk)) << t.vk;
        for (unsigned held : {0u, SHIFT}) {
            if (held == 0 && (t.vk == VK_BACK || t.vk == VK_DELETE)) continue;  // alone they clear
            Recording run;
            play(run, L"f9", {down(t.vk, held)});
            EXPECT_EQ(run.field.hotkey, L"f9") << t.vk << " held " << held;
            EXPECT_EQ(run.field.message, refused) << t.vk << " held " << held;
            EXPECT_TRUE(run.field.recording) << t.vk << ": the field goes on listening";
            EXPECT_EQ(run.changes, 0) << t.vk;
            EXPECT_TRUE(run.validated.empty()) << t.vk << ": refused before it is checked";
        }
        const std::pair<unsigned, const wchar_t*> with[] = {
            {CTRL, t.with_ctrl}, {ALT, t.with_alt}, {CTRL | SHIFT, nullptr}};
        for (const auto& [held, expected] : with) {
            Recording run;
            play(run, L"f9", {down(t.vk, held)});
            if (expected) {
                EXPECT_EQ(run.field.hotkey, expected) << t.vk;
            }
            EXPECT_EQ(run.field.message, L"") << t.vk << " held " << held;
            EXPECT_EQ(run.changes, 1) << t.vk << " held " << held;
        }
    }
    // Punctuation and the keypad are typing keys too; the hotkey format has
    // no words for them, so with Ctrl they are unsupported rather than refused.
    for (unsigned vk : {unsigned(VK_OEM_1), unsigned(VK_OEM_PLUS), unsigned(VK_OEM_COMMA), unsigned(VK_OEM_MINUS),
                        unsigned(VK_OEM_PERIOD), unsigned(VK_OEM_2), unsigned(VK_OEM_3), unsigned(VK_OEM_4),
                        unsigned(VK_OEM_7), unsigned(VK_OEM_102), unsigned(VK_NUMPAD0), unsigned(VK_NUMPAD9),
                        unsigned(VK_MULTIPLY), unsigned(VK_ADD), unsigned(VK_DECIMAL), unsigned(VK_DIVIDE),
                        unsigned(VK_CLEAR), unsigned(VK_TAB)})
        EXPECT_TRUE(is_typing_key(vk)) << vk;
    // Keys that type nothing may stand alone.
    for (unsigned vk : {unsigned(VK_F1), unsigned(VK_F11), unsigned(VK_F12), unsigned(VK_F24), unsigned(VK_SNAPSHOT),
                        unsigned(VK_PAUSE), unsigned(VK_SCROLL), unsigned(VK_INSERT), unsigned(VK_ESCAPE),
                        unsigned(VK_LWIN), unsigned(VK_SHIFT), unsigned(VK_CONTROL), unsigned(VK_MENU)})
        EXPECT_FALSE(is_typing_key(vk)) << vk;
    struct Alone {
        std::vector<Key> keys;
        std::wstring hotkey;
    };
    const Alone alone[] = {
        {{down(VK_F1)}, L"f1"},
        {{down(VK_F11)}, L"f11"},
        {{down(VK_INSERT)}, L"insert"},
        {{down(VK_SHIFT, SHIFT), down(VK_INSERT, SHIFT)}, L"shift+insert"},
        {{down(VK_SHIFT, SHIFT), down(VK_F5, SHIFT)}, L"shift+f5"},
        {{up(VK_SNAPSHOT)}, L"prtscr"},
    };
    for (const Alone& a : alone) {
        Recording run;
        play(run, L"f9", a.keys);
        EXPECT_EQ(run.field.hotkey, a.hotkey);
        EXPECT_EQ(run.field.message, L"") << a.hotkey;
        EXPECT_EQ(run.changes, 1) << a.hotkey;
    }
    // Pause and Scroll Lock are not refused as typing keys; the hotkey
    // format has no word for them.
    for (unsigned vk : {unsigned(VK_PAUSE), unsigned(VK_SCROLL)}) {
        Recording run;
        play(run, L"f9", {down(vk)});
        EXPECT_EQ(run.field.message, refused) << vk;
        EXPECT_EQ(run.field.hotkey, L"f9") << vk;
    }
}

// Tab and Shift+Tab stop recording and ask for the focus to move on.
TEST(HotkeyRecorder, TabMovesTheFocus) {
    struct T {
        unsigned held;
        HotkeyKeyResult result;
    };
    for (const T& t : {T{0, HotkeyKeyResult::FocusNext}, T{SHIFT, HotkeyKeyResult::FocusPrevious}}) {
        HotkeyField f;
        f.hotkey = L"ctrl+shift+v";
        f.validator = [](const std::wstring&) { return std::wstring(L"asked"); };
        hotkey_start_recording(f);
        hotkey_key_down(f, VK_SHIFT, false, t.held);
        EXPECT_EQ(hotkey_key_down(f, VK_TAB, false, t.held), t.result);
        EXPECT_FALSE(f.recording);
        EXPECT_EQ(f.hotkey, L"ctrl+shift+v");
        EXPECT_EQ(f.message, L"");
        EXPECT_EQ(f.pending_modifiers, 0u);
    }
    HotkeyField idle;
    EXPECT_EQ(hotkey_key_down(idle, VK_TAB, false, 0), HotkeyKeyResult::Ignored) << "outside recording: the dialog's";
}

TEST(HotkeyRecorder, OutsideRecordingOnlyEnterAndSpaceStart) {
    for (unsigned vk : {unsigned('A'), unsigned(VK_TAB), unsigned(VK_BACK), unsigned(VK_ESCAPE), unsigned(VK_F12)}) {
        HotkeyField f;
        f.hotkey = L"ctrl+shift+v";
        EXPECT_EQ(hotkey_key_down(f, vk, false, 0), HotkeyKeyResult::Ignored) << vk;
        EXPECT_FALSE(f.recording);
        EXPECT_EQ(f.hotkey, L"ctrl+shift+v") << "Backspace outside recording clears nothing";
    }
    for (unsigned vk : {unsigned(VK_RETURN), unsigned(VK_SPACE)}) {
        HotkeyField f;
        f.message = L"refused";
        EXPECT_EQ(hotkey_key_down(f, vk, false, 0), HotkeyKeyResult::Repaint);
        EXPECT_TRUE(f.recording);
        EXPECT_TRUE(f.message.empty());
    }
    HotkeyField f;
    EXPECT_EQ(hotkey_key_up(f, VK_SHIFT, 0), HotkeyKeyResult::Ignored);
}

TEST(HotkeyRecorder, StoppingClearsThePendingState) {
    HotkeyField f;
    hotkey_start_recording(f);
    hotkey_key_down(f, VK_CONTROL, false, CTRL);
    ASSERT_EQ(f.pending_modifiers, CTRL);
    hotkey_stop_recording(f);
    EXPECT_FALSE(f.recording);
    EXPECT_EQ(f.pending_modifiers, 0u);
}

// --- the validator ------------------------------------------------------------------

struct Probe {
    std::set<std::pair<unsigned, unsigned>> taken;
    std::vector<std::pair<unsigned, unsigned>> asked;
    HotkeyProbe fn() {
        return [this](unsigned m, unsigned k) {
            asked.emplace_back(m, k);
            return taken.count({m, k}) == 0;
        };
    }
};

TEST(HotkeyValidator, CandidatesAgainstOtherSlotsAndTheSystem) {
    Settings s;  // defaults: ctrl+shift+v, ctrl+shift+alt+u, ctrl+shift+alt+s, prtscr, alt+prtscr, shift+prtscr
    s.screenshot_window_hotkey = L"ALT+PrintScreen";
    Probe probe;
    probe.taken = {{CTRL | SHIFT | ALT, 'V'}, {CTRL, 'Q'}};
    struct V {
        int own;
        const wchar_t* candidate;
        std::wstring expected;
        bool probed;
    };
    const std::wstring own = tr(L"hotkey_field.busy_own") + L" ";
    const V cases[] = {
        {1018, L"ctrl+shift+v", own + tr(L"startup.hotkey_open"), false},
        {1010, L"shift+ctrl+alt+U", own + tr(L"startup.hotkey_plain"), false},
        {1010, L"alt+prtscr", own + tr(L"screenshot.hotkey_window"), false},  // compared parsed
        {1033, L"shift+prtscr", own + tr(L"screenshot.hotkey_full"), false},
        {1024, L"ctrl+shift+alt+s", L"", true},  // its own slot is not compared
        // The program's fixed hotkeys, which the probe no longer sees while
        // a field records.
        {1010, L"ctrl+shift+alt+v", tr(L"hotkey_field.busy_other"), false},
        {1018, L"shift+ctrl+5", tr(L"hotkey_field.busy_other"), false},
        {1024, L"ctrl+shift+alt+5", L"", true},
        {1010, L"ctrl+q", tr(L"hotkey_field.busy_other"), true},
        {1010, L"ctrl+alt+h", L"", true},
        {1010, L"ctrl+shift", L"", false},  // no key: accepted without a probe
    };
    for (const V& v : cases) {
        probe.asked.clear();
        HotkeyValidator check = make_hotkey_validator_with(&s, v.own, probe.fn());
        EXPECT_EQ(check(v.candidate), v.expected) << v.own << " case " << (&v - cases);
        EXPECT_EQ(!probe.asked.empty(), v.probed) << v.own << " case " << (&v - cases);
    }
}

TEST(HotkeyValidator, AnEmptySlotBlocksNothingAndNoSettingsComparesNothing) {
    Settings s;
    s.plain_hotkey.clear();
    Probe probe;
    EXPECT_EQ(make_hotkey_validator_with(&s, 1010, probe.fn())(L"ctrl+shift+alt+u"), L"");
    s.plain_hotkey = L"ctrl+shift+alt+u";
    EXPECT_EQ(make_hotkey_validator_with(nullptr, 1010, probe.fn())(L"ctrl+shift+alt+u"), L"");
    EXPECT_EQ(make_hotkey_validator_with(&s, 1010, nullptr)(L"ctrl+j"), L"") << "no probe: nothing taken";
}

TEST(HotkeyValidator, TheRealProbeSeesAHotkeyOfThisProcess) {
    ASSERT_TRUE(RegisterHotKey(nullptr, 77, CTRL | ALT | SHIFT, VK_F7));
    HotkeyValidator check = make_hotkey_validator(nullptr, nullptr, 1010);
    EXPECT_EQ(check(L"ctrl+shift+alt+f7"), tr(L"hotkey_field.busy_other"));
    UnregisterHotKey(nullptr, 77);
    EXPECT_EQ(check(L"ctrl+shift+alt+f7"), L"");
    // The probe let it go again.
    EXPECT_TRUE(RegisterHotKey(nullptr, 78, CTRL | ALT | SHIFT, VK_F7));
    UnregisterHotKey(nullptr, 78);
}

// --- chip layout ----------------------------------------------------------------------

TEST(HotkeyChips, LayoutDropsChipsThatDoNotFit) {
    const RECT client{0, 0, 160, 24};
    struct L {
        std::vector<int> widths;
        std::vector<RECT> chips;
    };
    const L cases[] = {
        {{}, {}},
        {{20}, {{6, 4, 42, 20}}},
        {{20, 30, 8}, {{6, 4, 42, 20}, {46, 4, 92, 20}, {96, 4, 120, 20}}},
        // 126 + 16 = 142 ends before 155; a chip ending at 155 is dropped with the rest.
        {{120, 10}, {{6, 4, 142, 20}}},
        {{133}, {}},
        {{132}, {{6, 4, 154, 20}}},
    };
    for (const L& c : cases) {
        std::vector<RECT> got = layout_hotkey_chips(c.widths, client);
        ASSERT_EQ(got.size(), c.chips.size());
        for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(EqualRect(&got[i], &c.chips[i])) << i;
    }
}

}  // namespace
