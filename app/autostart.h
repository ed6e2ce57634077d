// Starting the program at sign-in: the per-user value "Quillet" under
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run, holding
// the executable's full path in double quotes.
#pragma once

#include <windows.h>

// True when the value exists and fits 520 bytes.
bool is_autostart_enabled();

// Writes (on) or deletes (off) the value. Returns the registry status:
// ERROR_SUCCESS (0) on success; deleting a value that does not exist counts
// as success. When the key cannot be opened nothing changes.
LONG set_autostart(bool on);
