// The hotkey overview: the information window listing the program's keys.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/dialogs/info_window.h"

struct Settings;

// The rows in their order: the history hotkey as configured (as chips
// joined by "+"; "Ctrl+Shift+V" without settings), the quick menu, Enter,
// Ctrl+F, the quick slots, Esc, then, with settings, the stored
// plain-text and snippets hotkeys.
std::vector<InfoRow> hotkey_help_rows(const Settings* settings);

// Shows the overview over the owner (commands 1403 and 1502).
void show_hotkey_help(HWND owner);
