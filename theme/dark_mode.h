// Dark title bars, rounded corners and the system's dark control theme.
//
// The system functions are looked up at run time, so the program starts on
// systems that lack them; a missing function is skipped silently. Each
// call loads the library it needs and releases it again. Every function
// ignores a null window.
#pragma once

#include <windows.h>

// The signatures of the functions looked up at run time.
using DwmSetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
using RtlGetVersionFn = LONG(WINAPI*)(PRTL_OSVERSIONINFOW);

inline constexpr DWORD kDwmaUseImmersiveDarkModeOld = 19;
inline constexpr DWORD kDwmaUseImmersiveDarkMode = 20;
inline constexpr DWORD kDwmaWindowCornerPreference = 33;
inline constexpr int kDwmCornerRound = 2;

// DWMWA_USE_IMMERSIVE_DARK_MODE (20) with a 4-byte boolean; when that
// fails, the older attribute 19 with the same value.
void apply_dark_title_bar(HWND window, bool dark);
void apply_dark_title_bar_with(DwmSetWindowAttributeFn set_attribute, HWND window, bool dark);

// Rounded corners (DWMWA_WINDOW_CORNER_PREFERENCE = round), only on
// Windows 11 and later.
void apply_round_corners(HWND window);
void apply_round_corners_with(DwmSetWindowAttributeFn set_attribute, bool windows11, HWND window);

// True when the version is above 10, or 10 with a build number above 21999.
bool is_windows11_version(DWORD major, DWORD minor, DWORD build);

// The running system's version through RtlGetVersion (ntdll); false when
// the function is missing or fails.
bool is_windows11_or_later();
bool is_windows11_or_later_with(RtlGetVersionFn get_version);

// AllowDarkModeForWindow (window, TRUE) when uxtheme exports it by that
// name, then SetWindowTheme with "DarkMode_Explorer" (dark) or "Explorer".
void set_window_dark_theme(HWND window, bool dark);

// The class name SetWindowTheme is given for the variant.
const wchar_t* window_theme_name(bool dark);

// uxtheme's SetPreferredAppMode (looked up by that name) with the mode
// (2: follow the dark flag the program sets per window). False when the
// function does not exist.
bool set_preferred_app_mode(int mode);
