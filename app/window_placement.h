// Where the main window opens: the arithmetic of its size and place at
// start-up, kept free of windows so it can be checked with plain numbers.
#pragma once

#include <windows.h>

#include <string>

// The work area as the system reported it, made usable: a width below 1
// becomes screen_w, a height below 1 screen_h, and an empty rectangle
// becomes (0, 0, width, height). `ok` is false when the system call failed
// (the reported rectangle is then ignored).
RECT usable_work_area(bool ok, const RECT& reported, int screen_w, int screen_h);

// The start-up size from the stored one: a width below 400 becomes 576,
// then at most max(work width - 20, 400); a height below 300 becomes 783,
// then at most max(work height - 40, 300).
SIZE initial_window_size(int stored_w, int stored_h, const RECT& work);

// The position passed to CreateWindowExW. A stored position with both
// coordinates at 0 or above is used as it is; otherwise x is CW_USEDEFAULT
// (which makes the system ignore y), and the window is later placed next to
// the cursor. `placed_by_cursor` tells which.
struct CreatePosition {
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    bool placed_by_cursor = true;
};
CreatePosition initial_window_position(int stored_x, int stored_y);

// The place next to the cursor: 310 pixels left of it and 40 above it, kept
// inside the work area as far as the window's size allows.
POINT cursor_placement(POINT cursor, SIZE size, const RECT& work);

// True when the window must be hidden from screen capture: unless the
// environment value was read (`present`), fits 7 characters and begins
// with "1".
bool capture_exclusion_wanted(bool present, const std::wstring& value);
