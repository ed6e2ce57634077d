// The text form of global hotkeys ("ctrl+shift+alt+u") and their display.
//
// A binding is a pair (modifiers, virtual key) with the modifier bits of
// RegisterHotKey (MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8); a
// virtual key of 0 means unbound. Everything here is pure.
#pragma once

#include <string>
#include <vector>

struct HotkeyBinding {
    unsigned modifiers = 0;
    unsigned key = 0;

    bool bound() const { return key != 0; }
    bool operator==(const HotkeyBinding&) const = default;
};

// Reads a hotkey text: parts joined by "+", any case. Modifier words
// "ctrl"/"control", "shift", "alt", "win"; key words from the table
// (delete, backspace, enter, esc, space, tab, insert, home, end, pageup,
// pagedown, left, right, up, down, prtscr, f1..f12) and on input also
// "del", "escape", "print", "printscreen"; a single letter or digit.
// Parts are not trimmed; unknown parts are skipped; a later key replaces an
// earlier one. Both outputs are set to 0 first; true when a key was found.
bool parse_hotkey(const std::wstring& text, unsigned& modifiers, unsigned& key);

// The same into a binding (unbound when the text has no key).
HotkeyBinding parse_hotkey(const std::wstring& text);

// The text of a binding: "ctrl", "shift", "alt", "win" for the modifiers
// present, in that order, then the key (a letter in lower case, a digit, the
// first key word of the table, or "??"), joined with "+".
std::wstring hotkey_to_string(unsigned modifiers, unsigned key);

// Display name of a key for chips and overviews: "Backspace", "PgUp", "←",
// "F5", "A" ...; a key without a display name gets its key word, else "??".
std::wstring key_name(unsigned key);

// "Ctrl", "Shift", "Alt", "Win" for the modifiers present, in that order,
// then key_name(key) when the key is not 0.
std::vector<std::wstring> hotkey_chips(unsigned modifiers, unsigned key);

// The chips joined with "+" ("Ctrl+Shift+V"); empty for an unbound binding.
std::wstring hotkey_display_text(unsigned modifiers, unsigned key);

// True for Shift, Ctrl, Alt (generic, left and right) and both Windows keys.
bool is_modifier_key(unsigned key);
