// The program's fixed global hotkeys, which no setting changes: the quick
// menu and the nine quick slots (registered by App, hotkeys.cpp).
#pragma once

#include <windows.h>

#include "app/hotkey_text.h"

// The quick menu: Ctrl+Shift+Alt+V.
inline constexpr unsigned kQuickMenuModifiers = MOD_CONTROL | MOD_SHIFT | MOD_ALT;
inline constexpr unsigned kQuickMenuKey = 'V';
// The quick slots 1..9: Ctrl+Shift+1 .. Ctrl+Shift+9.
inline constexpr unsigned kQuickSlotModifiers = MOD_CONTROL | MOD_SHIFT;

// True when the binding is one of the fixed hotkeys.
inline bool is_fixed_hotkey(const HotkeyBinding& b) {
    if (b.modifiers == kQuickMenuModifiers && b.key == kQuickMenuKey) return true;
    return b.modifiers == kQuickSlotModifiers && b.key >= '1' && b.key <= '9';
}
