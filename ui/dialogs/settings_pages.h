// Pieces of the settings window shared by its source files.
#pragma once

#include <windows.h>

class SettingsWindow;

// The owner-drawn page list (id 1100) with one item per page, its hover
// tracking installed.
HWND create_page_list(SettingsWindow& settings_window, HINSTANCE instance);
