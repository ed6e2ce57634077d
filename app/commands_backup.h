// The backup commands of the main window's file menu: export of the whole
// store to a JSON file and import of such a file, each with its file dialog
// and its message. Interface thread only.
#pragma once

#include <windows.h>

class App;

// Asks for the file (save dialog), writes the backup and reports it; the
// folder can be opened from the report.
void export_backup(App& app, HWND owner);
// Asks for the file (open dialog), merges it into the store, reports the
// counts and reloads the main window.
void import_backup(App& app, HWND owner);
