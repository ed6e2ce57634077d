// The "copied" toast over the bottom of the cards list.
#include <windows.h>
#include <commctrl.h>

#include "app/app_ids.h"
#include "core/i18n.h"
#include "theme/paint_scope.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"

void MainWindow::show_copied_toast() {
    if (!toast || !window) return;
    toast_text = tr(L"toast.copied");
    position_toast();
    ShowWindow(toast, SW_SHOWNOACTIVATE);
    SetWindowPos(toast, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    InvalidateRect(toast, nullptr, TRUE);
    toast_visible = true;
    SetTimer(window, kTimerToast, kToastMs, nullptr);
}

void MainWindow::position_toast() {
    if (!window || !toast || !cards) return;
    RECT list{};
    GetWindowRect(cards, &list);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&list), 2);
    int text_width = 0;
    if (!toast_text.empty()) {
        raii::WindowDC dc(toast);
        raii::SelectGuard font(dc.get(), toast_font.get());
        SIZE size{};
        if (dc && GetTextExtentPoint32W(dc.get(), toast_text.c_str(), static_cast<int>(toast_text.size()), &size))
            text_width = size.cx;
    }
    RECT rc = ::toast_rect(list, text_width);
    SetWindowPos(toast, HWND_TOP, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_NOACTIVATE);
    toast_rect = rc;
}

void MainWindow::hide_toast() {
    if (window) KillTimer(window, kTimerToast);
    toast_visible = false;
    if (toast) ShowWindow(toast, SW_HIDE);
    invalidate_child_rect(toast_rect);
}

void Toast::paint(const MainWindow& mw, HDC dc, const RECT& r) {
    if (!dc) return;
    const bool dark = mw.dark;
    RECT rc = r;
    if (rc.right <= rc.left) rc.right = rc.left + 2;
    if (rc.bottom <= rc.top) rc.bottom = rc.top + 2;
    {
        raii::Region region(CreateRoundRectRgn(rc.left, rc.top, rc.right, rc.bottom, 8, 8));
        raii::Brush fill(CreateSolidBrush(dark ? 0x272727 : 0xFBFBFB));
        if (region) FillRgn(dc, region.get(), fill.get());
    }
    {
        raii::Pen pen(CreatePen(PS_SOLID, 1, dark ? 0x4A4A4A : 0xD5D5D5));
        raii::SelectGuard p(dc, pen.get());
        raii::SelectGuard b(dc, GetStockObject(NULL_BRUSH));
        RoundRect(dc, rc.left, rc.top, rc.right - 1, rc.bottom - 1, 8, 8);
    }
    int old_mode = SetBkMode(dc, TRANSPARENT);
    {
        raii::SelectGuard font(dc, mw.toast_icon_font.get());
        SetTextColor(dc, dark ? 0xFFC24C : 0xCC6600);
        RECT g{rc.left + 12, rc.top, rc.right, rc.bottom};
        DrawTextW(dc, L"\uE73E", 1, &g, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    {
        raii::SelectGuard font(dc, mw.toast_font.get());
        SetTextColor(dc, dark ? 0xF2F2F2 : 0x141414);
        RECT t{rc.left + 34, rc.top, rc.right - 6, rc.bottom};
        DrawTextW(dc, mw.toast_text.c_str(), static_cast<int>(mw.toast_text.size()), &t,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SetBkMode(dc, old_mode);
}

LRESULT CALLBACK toast_subclass_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
    const auto& mw = *reinterpret_cast<const MainWindow*>(ref);
    switch (msg) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            PaintScope paint(wnd);
            RECT rc{};
            GetClientRect(wnd, &rc);
            Toast::paint(mw, paint.dc(), rc);
            return 0;
        }
        case WM_PRINTCLIENT: {
            RECT rc{};
            GetClientRect(wnd, &rc);
            Toast::paint(mw, reinterpret_cast<HDC>(wp), rc);
            return 0;
        }
        case WM_NCDESTROY: RemoveWindowSubclass(wnd, toast_subclass_proc, id); break;
        default: break;
    }
    return DefSubclassProc(wnd, msg, wp, lp);
}
