// The hotkey field: a small control of class "QLHotkeyChip" that shows a
// global hotkey as rounded key chips ("Ctrl", "Shift", "V") and records a
// new one when the user clicks it (or presses Enter or Space) and then
// presses the combination.
//
// WM_SETTEXT sets the hotkey without telling anyone; WM_GETTEXT copies it
// (answering the number of characters copied). When the user records or
// clears the hotkey, the parent gets WM_COMMAND with the control id and the
// code kHotkeyChangedCode, lParam the field. Interface thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/dialogs/hotkey_recorder.h"

inline constexpr const wchar_t* kHotkeyFieldClass = L"QLHotkeyChip";
// The notification code of a changed hotkey (the same as EN_CHANGE).
inline constexpr WORD kHotkeyChangedCode = 0x0300;

// Registers the class once per process (later calls do nothing).
void register_hotkey_field_class(HINSTANCE instance);

// The field's dark flag (repaints) and its validator.
void hotkey_field_set_dark(HWND field, bool dark);
void hotkey_field_set_validator(HWND field, HotkeyValidator validator);
// The hook told when the field starts (true) or stops (false) recording,
// by whatever way, the field's destruction included.
void hotkey_field_set_recording_hook(HWND field, std::function<void(bool recording)> hook);

// The field's state, or null for a window that is not a hotkey field.
const HotkeyField* hotkey_field_state(HWND field);

// The modifiers held now (GetKeyState): Ctrl 2, Shift 4, Alt 1; never Win.
unsigned current_hotkey_modifiers();

// Where the chips go: left to right from left + 6, each text width + 16
// wide with 4 pixels between them, from top + 4 to bottom - 4; a chip whose
// right end would reach right - 5 is left out with every later one.
std::vector<RECT> layout_hotkey_chips(const std::vector<int>& text_widths, const RECT& client);

// Where a message or a plain text goes: the client inset 8 left and right.
RECT hotkey_field_text_box(const RECT& client);

LRESULT CALLBACK hotkey_field_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
