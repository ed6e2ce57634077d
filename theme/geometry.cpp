#include "theme/geometry.h"

#include <algorithm>

namespace {

// floor(value * numerator / denominator) for positive ints, at least 1.
int scaled_side(int value, int numerator, int denominator) {
    const int64_t r = static_cast<int64_t>(value) * numerator / denominator;
    return static_cast<int>(std::max<int64_t>(r, 1));
}

}  // namespace

POINT centered_origin(const RECT& work, int width, int height) {
    LONG x = work.left + ((work.right - work.left) - width) / 2;
    LONG y = work.top + ((work.bottom - work.top) - height) / 2;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
    return POINT{x, y};
}

void center_window(HWND window, HWND owner) {
    if (!window) return;
    RECT rc{};
    if (!GetWindowRect(window, &rc)) return;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    HMONITOR monitor = MonitorFromWindow(owner ? owner : window, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoW(monitor, &info)) work = info.rcWork;
    const POINT at = centered_origin(work, rc.right - rc.left, rc.bottom - rc.top);
    SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

FittedSize fit_size(int width, int height, int max_width, int max_height) {
    const int w = std::max(width, 1), h = std::max(height, 1);
    const int mw = std::max(max_width, 1), mh = std::max(max_height, 1);
    if (w > mw) {
        // Scale mw / w; the height then exceeds mh exactly when h * mw > mh * w.
        if (static_cast<int64_t>(h) * mw > static_cast<int64_t>(mh) * w) return {scaled_side(w, mh, h), mh};
        return {mw, scaled_side(h, mw, w)};
    }
    if (h > mh) return {scaled_side(w, mh, h), mh};
    return {w, h};
}

FittedSize scale_to_fit(int width, int height, int max_width, int max_height) {
    const int w = std::max(width, 1), h = std::max(height, 1);
    const int mw = std::max(max_width, 1), mh = std::max(max_height, 1);
    // mw / w <= mh / h: the width limits.
    if (static_cast<int64_t>(mw) * h <= static_cast<int64_t>(mh) * w) return {mw, scaled_side(h, mw, w)};
    return {scaled_side(w, mh, h), mh};
}

int count_lines(const std::wstring& text) {
    int pieces = 1;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == L'\n' && i + 1 < text.size()) ++pieces;
    return pieces;
}

HintLayout compute_hint_layout(int width, int content_height, int meta_lines, int meta_line_height, int max_height) {
    HintLayout l;
    const int h = meta_line_height > 0 ? meta_line_height : 20;
    const int m = meta_lines > 0 ? meta_lines : 1;
    const int c = std::max(content_height, h);
    const int meta_block = (h + 4) * m + 14;
    const int available = std::max(max_height - 24 - meta_block, 40);
    l.width = width;
    l.meta_line_height = h;
    l.meta_line_count = m;
    l.content_height = c;
    l.visible_body_height = std::min(available, c);
    l.scroll = available < c;
    l.body_top = 18;
    l.body_bottom = l.visible_body_height + 18;
    l.separator_y = l.visible_body_height + 24;
    l.total_height = meta_block + l.visible_body_height + 24;
    l.wrap_width = l.scroll ? width - 34 : width - 24;
    if (l.wrap_width <= 0) l.wrap_width = 1;
    return l;
}

int listbox_item_from_point(HWND list, POINT pt) {
    if (!list) return -1;
    const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y));
    const int index = LOWORD(hit);
    RECT item{};
    if (SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)) == LB_ERR) return -1;
    return PtInRect(&item, pt) ? index : -1;
}

void listbox_clear_selection(HWND list) {
    if (!list) return;
    SendMessageW(list, LB_SETSEL, FALSE, -1);
}
