// Start-up size and place of the main window.
#include "app/window_placement.h"

#include <algorithm>

RECT usable_work_area(bool ok, const RECT& reported, int screen_w, int screen_h) {
    RECT work = ok ? reported : RECT{0, 0, 0, 0};
    int width = ok ? work.right - work.left : 0;
    int height = ok ? work.bottom - work.top : 0;
    if (width < 1) width = screen_w;
    if (height < 1) height = screen_h;
    if (!ok || work.left >= work.right || work.top >= work.bottom) work = RECT{0, 0, width, height};
    return work;
}

SIZE initial_window_size(int stored_w, int stored_h, const RECT& work) {
    int work_w = work.right - work.left;
    int work_h = work.bottom - work.top;
    int w = stored_w < 400 ? 576 : stored_w;
    int h = stored_h < 300 ? 783 : stored_h;
    w = std::min(w, std::max(work_w - 20, 400));
    h = std::min(h, std::max(work_h - 40, 300));
    return SIZE{w, h};
}

CreatePosition initial_window_position(int stored_x, int stored_y) {
    CreatePosition pos;
    if (stored_x >= 0 && stored_y >= 0) {
        pos.x = stored_x;
        pos.y = stored_y;
        pos.placed_by_cursor = false;
    }
    return pos;
}

POINT cursor_placement(POINT cursor, SIZE size, const RECT& work) {
    int x = std::min(std::max(static_cast<int>(cursor.x) - 310, static_cast<int>(work.left)),
                     std::max(static_cast<int>(work.left), static_cast<int>(work.right - size.cx)));
    int y = std::min(std::max(static_cast<int>(cursor.y) - 40, static_cast<int>(work.top)),
                     std::max(static_cast<int>(work.top), static_cast<int>(work.bottom - size.cy)));
    return POINT{x, y};
}

bool capture_exclusion_wanted(bool present, const std::wstring& value) {
    // The value is read into an 8-character buffer: 8 or more characters do
    // not fit and count as not beginning with "1".
    if (!present || value.size() >= 8) return true;
    return value.empty() || value[0] != L'1';
}
