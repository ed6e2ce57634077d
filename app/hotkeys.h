// What the global hotkeys do beyond their registration (App, hotkeys.cpp):
// the rows of the hotkey overview.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct Settings;

// Rows (key text, description) of the hotkey overview, in order: the
// history hotkey as configured, the quick menu, Enter, Ctrl+F, the quick
// slots, Esc, then the plain-text and snippets hotkeys from the settings. A
// configurable hotkey that is unbound has no row; without settings only
// the fixed rows are listed.
std::vector<std::pair<std::wstring, std::wstring>> hotkey_help_rows(const Settings* settings);
