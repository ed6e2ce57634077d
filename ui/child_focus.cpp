#include "ui/child_focus.h"

#include "ui/threaded_edit.h"

void give_keyboard(HWND control) {
    if (!control) return;
    if (GetWindowThreadProcessId(control, nullptr) == GetCurrentThreadId())
        SetFocus(control);
    else
        focus_threaded_edit(control);
}

HWND child_focus_target(HWND window, HWND last, HWND fallback) {
    if (last && IsWindow(last) && IsChild(window, last) && IsWindowVisible(last) && IsWindowEnabled(last)) return last;
    return fallback;
}

LRESULT keep_child_focus_on_activate(HWND window, WPARAM wp, LPARAM lp, HWND& last, HWND fallback) {
    if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) last = focus;
        return DefWindowProcW(window, WM_ACTIVATE, wp, lp);
    }
    HWND target = HIWORD(wp) == 0 ? child_focus_target(window, last, fallback) : nullptr;
    if (!target) return DefWindowProcW(window, WM_ACTIVATE, wp, lp);
    give_keyboard(target);
    return 0;
}
