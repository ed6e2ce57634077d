// The window procedure of the main window (class "QuilletMain").
#pragma once

#include <windows.h>

class App;

inline constexpr wchar_t kMainWindowClass[] = L"QuilletMain";

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Shows the window with the system's client-area animation when that is on
// and the window is hidden; nothing for a null window.
void show_window_animated(HWND window);

// Remembers the paste target, shows the window animated and brings it to
// the front.
void show_main_window(App& app, HWND window);

// Registers the window class "QuilletMain" with the program's icons. The
// result of the registration is not needed: creation fails without it.
void register_main_window_class(HINSTANCE instance);

// WM_COMMAND of the main window (main_commands.cpp).
void on_main_command(App& app, HWND window, WPARAM wparam, LPARAM lparam);

// WM_CONTEXTMENU: the menus of the cards list and the side panel (wparam:
// the window clicked); a right click elsewhere does nothing.
void on_main_context_menu(App& app, HWND window, WPARAM wparam);
