// Owner-painted standard controls: subclass procedures that repaint push
// buttons, check boxes as toggle switches, up-down controls, drop-down
// combo boxes, framed edits and lists, and the background of windows that
// hold edits and lists.
//
// Each themed control keeps its theme variant in its window user data
// (GWLP_USERDATA). Interface thread only; every installer ignores a null
// window.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Subclass ids (SetWindowSubclass).
inline constexpr UINT_PTR kUpDownSubclassId = 20722;
inline constexpr UINT_PTR kComboBoxSubclassId = 20721;
inline constexpr UINT_PTR kFramedControlSubclassId = 12529;
inline constexpr UINT_PTR kThemedBackgroundSubclassId = 4337;
inline constexpr UINT_PTR kButtonSubclassId = 8432;
inline constexpr UINT_PTR kToggleSwitchSubclassId = 4336;

// The state bits of a themed push button's user data. Dark and accent are
// set by theme_button; pressed and hover belong to the procedure.
inline constexpr LONG_PTR kButtonDarkBit = 1;
inline constexpr LONG_PTR kButtonAccentBit = 2;
inline constexpr LONG_PTR kButtonPressedBit = 4;
inline constexpr LONG_PTR kButtonHoverBit = 8;

// Installers. The first three remove WS_EX_CLIENTEDGE and apply the frame
// change; all but theme_framed_control repaint the control.
void theme_up_down_control(HWND control, bool dark);
void theme_combo_box(HWND control, bool dark);
void theme_framed_control(HWND control, bool dark);
void theme_child_colors(HWND window, bool dark);
void theme_button(HWND button, bool dark, bool accent);

// Makes a check box a toggle switch (user data non-zero for dark).
void install_toggle_switch(HWND check_box, bool dark);

// Inverts the check state (checked becomes unchecked, anything else
// checked), repaints, and sends the parent WM_COMMAND with the control id
// in the low word, 0 in the high word and the control as lParam.
void toggle_switch_flip(HWND control);

// The subclass procedures.
LRESULT CALLBACK up_down_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK combo_box_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK framed_control_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK themed_background_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK button_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK toggle_switch_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

// The solid brush of the control background of a variant, made on first
// use and kept for the life of the process (WM_CTLCOLOR* answers must stay
// valid after they return).
HBRUSH control_background_brush(bool dark);

// The same for the page background (0xF3F3F3 / 0x202020).
HBRUSH page_background_brush(bool dark);
