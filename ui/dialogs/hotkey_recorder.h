// What a hotkey field does with the keys it receives, and the check of a
// new combination against the other hotkeys: plain functions on the
// field's state, without a window, so that every road can be tested.
//
// Modifier sets use the RegisterHotKey bits (MOD_ALT 1, MOD_CONTROL 2,
// MOD_SHIFT 4); the Windows key never takes part in a recorded hotkey.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>

struct Settings;

// Answers the empty text for an acceptable candidate, else the message to
// show in the field.
using HotkeyValidator = std::function<std::wstring(const std::wstring& candidate)>;

// True when the combination can be registered now (nobody holds it).
using HotkeyProbe = std::function<bool(unsigned modifiers, unsigned key)>;

// The state of one hotkey field.
struct HotkeyField {
    std::wstring hotkey;   // stored text ("ctrl+shift+v"), empty for none
    std::wstring message;  // shown in place of the hotkey, empty for none
    HotkeyValidator validator;
    HFONT font = nullptr;  // from WM_SETFONT; the stock GUI font when null
    bool recording = false;
    bool hover = false;
    bool dark = false;
    unsigned pending_modifiers = 0;
    unsigned pending_key = 0;
    // Told true when recording starts and false when it stops, whatever
    // stops it (a combination, Esc, Tab, focus loss, the field going away);
    // may be unset.
    std::function<void(bool recording)> recording_changed;
};

// What the field must do after a key.
enum class HotkeyKeyResult {
    Ignored,        // nothing changed
    Repaint,        // the look changed
    Changed,        // the hotkey changed by the user: repaint and tell the parent
    FocusNext,      // Tab: recording stopped; the focus moves to the next control
    FocusPrevious,  // Shift+Tab: the same, to the previous control
};

// True for a key that types or edits text: letters, digits, Space, Enter,
// Tab, Backspace, Delete, the arrows, Home, End, Page Up/Down, punctuation
// and the keypad keys. In a hotkey such a key needs Ctrl or Alt (Shift
// alone types too; the Windows key is never part of a hotkey). Function
// keys, PrtScr, Pause, Scroll Lock and Insert are no typing keys.
bool is_typing_key(unsigned vk);

// Starts recording: message and pending state cleared.
void hotkey_start_recording(HotkeyField& field);

// Stops recording (Esc, focus loss): pending state cleared; hotkey and
// message stay.
void hotkey_stop_recording(HotkeyField& field);

// A key press (WM_KEYDOWN or WM_SYSKEYDOWN). held is the modifier set now
// held (current_hotkey_modifiers). Outside recording only Enter and Space
// do something: they start it. While recording, Tab and Shift+Tab (without
// Ctrl or Alt) stop it and move the focus; a typing key without Ctrl or
// Alt is refused with the "cannot be a hotkey" message. A refused
// combination (that message, F12, one held elsewhere) leaves the field
// recording until a combination is taken, Esc or Tab; a modifier pressed
// after a refusal clears its message. PrtScr is taken on its release only
// (Windows gives a window no press for it).
HotkeyKeyResult hotkey_key_down(HotkeyField& field, unsigned vk, bool repeat, unsigned held);

// A key release: a modifier released while recording leaves the pending
// modifiers at what is still held; PrtScr completes the combination.
HotkeyKeyResult hotkey_key_up(HotkeyField& field, unsigned vk, unsigned held);

// One hotkey of the settings: the control id of its field, the settings
// field that stores it, and the label key used in messages.
struct HotkeySlot {
    int id;
    std::wstring Settings::*setting;
    const wchar_t* label_key;
};

// The six configurable hotkeys in a fixed order: open history (1010), plain
// paste (1018), snippets (1024), region (1033), window (1034) and full
// screen (1035) screenshots.
const std::array<HotkeySlot, 6>& hotkey_slots();

// The validator of the field with the control id: a candidate that is
// another slot's stored hotkey (compared parsed) is refused with the busy
// message naming that slot; one of the program's fixed hotkeys (quick menu,
// quick slots), or one that the probe finds taken, is refused as held
// elsewhere; a candidate that does not parse is accepted. The fixed ones
// are compared because the program lets its hotkeys go while a field
// records, so the probe no longer sees them. settings may be null (no slot
// is then compared).
HotkeyValidator make_hotkey_validator_with(const Settings* settings, int own_id, HotkeyProbe probe);

// The same, probing with RegisterHotKey on the window under id 32766.
HotkeyValidator make_hotkey_validator(HWND window, const Settings* settings, int own_id);

// The hotkey id the probe registers for a moment.
inline constexpr int kHotkeyProbeId = 32766;
