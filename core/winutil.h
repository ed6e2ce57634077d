// Helpers over the Windows user interface and process interfaces: who owns
// a window or the clipboard, which windows are never paste targets, friendly
// application names and the source lines of a card, the application filter,
// bringing a window to the front, waiting for the modifier keys, injecting
// Ctrl+V, the notification tones, COM start-up, the compositor wait, window
// sizing and a drawn fallback icon.
//
// bring_to_front, wait_modifiers_released, send_ctrl_v and
// repaste_clipboard_text may run on worker threads (the paste threads); the
// rest is meant for the interface thread. None of them keeps state beyond
// the one-time look-ups of optional system functions and, per thread, the
// outcome of ensure_com.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/handles.h"

namespace winutil {

// --- windows and processes --------------------------------------------------

// The window's title; empty when it has none.
std::wstring window_text(HWND wnd);

// The window's class name (up to 255 characters).
std::wstring window_class(HWND wnd);

// True for the class names of the shell's own windows (taskbars, the
// notification overflow, the desktop), compared exactly.
bool is_shell_window_class(const std::wstring& class_name);

// True for no window, a window of this process, or a shell window (see
// is_shell_window_class), which are never paste targets.
bool is_ignorable_window(HWND wnd);

// Lower-cased file name of the executable of the window's process
// ("chrome.exe"); empty when it cannot be read.
std::wstring process_name_of_window(HWND wnd);

// The same for the foreground window.
std::wstring foreground_process_name();

// The same for the clipboard owner; when there is no owner or its name is
// empty, that of the foreground window.
std::wstring clipboard_owner_process_name();

// --- application names and the application filter -----------------------------

// True when the last path component, lower-cased, is the executable of a web
// browser whose pages the program can read.
bool is_browser_process(const std::wstring& exe_path_or_name);

// A friendly name of the application ("Chrome", "Microsoft Word"); the
// executable's stem as written for an application not in the table, the text
// of "card.app.unknown" for an empty stem.
std::wstring app_display_name(const std::wstring& exe_path_or_name);

// True when the application filter excludes the executable. Mode "whitelist"
// blocks every name not listed, "blacklist" every name listed, any other mode
// (compared case-sensitively) nothing. Names and items are compared whole and
// case-insensitively; an empty name is never blocked.
bool is_app_blocked(const std::wstring& mode, const std::vector<std::wstring>& items, const std::wstring& exe_name);

// --- focus and keystrokes (paste threads) ------------------------------------

// Makes the window the foreground window, attaching to the input of the
// current foreground thread for the call and restoring a minimised window.
// True when SetForegroundWindow succeeded; false for no window.
bool bring_to_front(HWND wnd);

// True while Ctrl, Shift, Alt or either Windows key is held down.
bool any_modifier_down();

// Returns once no modifier key is down, or when the time-out (ms; a negative
// one counts as 0) has passed. The keys are always checked at least once.
void wait_modifiers_released(int timeout_ms);

// Injects Ctrl+V: Ctrl down, 40 ms, V down, 40 ms, V up, 40 ms, Ctrl up.
void send_ctrl_v();

// Replaces the clipboard by its own Unicode text alone, waits 40 ms and
// injects Ctrl+V. An empty or missing text does nothing. before_write, when
// given, is called with the text right before the clipboard is written (so
// the clipboard watcher can be told to ignore the program's own write).
// True when the text was written and Ctrl+V sent; when the write fails,
// nothing is pasted.
bool repaste_clipboard_text(const std::function<void(const std::wstring&)>& before_write = {});

// --- sounds --------------------------------------------------------------------

struct Tone {
    DWORD frequency_hz = 0;  // 0: silent
    DWORD duration_ms = 0;
};

// The tone of a tone number: 1 880 Hz 160 ms, 2 660/220, 3 523/200,
// 4 330/260; any other number is silent.
Tone tone_for(int tone);

// Plays the tone (Beep, blocking for its duration); other numbers play nothing.
void play_tone(int tone);
void play_copy_sound(int tone);
void play_paste_sound(int tone);

// --- system ----------------------------------------------------------------------

// COM initialised (single-threaded apartment) on the calling thread: the
// first call on each thread runs CoInitializeEx once, and that thread's later
// calls return the same outcome. True for S_OK, S_FALSE and
// RPC_E_CHANGED_MODE. The initialisation lasts as long as the thread.
bool ensure_com();

// Waits for the desktop compositor (DwmFlush, when available), then 60 ms more.
void flush_dwm();

// The outer width of a window whose client area is client_width wide, for the
// window's style and DPI (no window: WS_OVERLAPPEDWINDOW at 96 DPI). No menu.
int window_width_for_client(HWND wnd, int client_width);

// Registers a window class of this module with an arrow cursor (or the
// cursor given) and no background brush; true when the class exists
// afterwards, also when it was registered before.
bool register_window_class(const wchar_t* name, WNDPROC proc, UINT style = 0, const wchar_t* cursor = IDC_ARROW);

// A simple drawn icon (a white rounded page with a black bar) of
// size x size pixels, for when the program's icon resource is missing.
raii::Icon make_fallback_icon(int size);

}  // namespace winutil

// --- history card source lines ----------------------------------------------------

// The source lines of a history card: the application's display name ("—"
// when the executable is unknown); with with_page, the page title line and
// the page address line, each when not empty.
std::wstring card_info_text(const std::wstring& exe_name, bool with_page, const std::wstring& page_title,
                            const std::wstring& page_url);

// A history card's tooltip: the application line with its label, the page
// lines as for card_info_text, then always the creation time line.
std::wstring card_tooltip_text(const std::wstring& exe_name, bool with_page, const std::wstring& page_title,
                               const std::wstring& page_url, const std::wstring& created_text);
