// The owner-painted buttons of the main window (menu bar, toolbar, search
// button), the add-entry button's enabled state and the toolbar tooltip.
#include <windows.h>
#include <commctrl.h>

#include "app/app_ids.h"
#include "theme/paint_scope.h"
#include "theme/painters.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"

namespace {

COLORREF page_background(bool dark) { return dark ? 0x202020 : 0xF3F3F3; }
COLORREF text_color(bool dark) { return dark ? 0xF2F2F2 : 0x141414; }

void fill_round(HDC dc, const RECT& rc, int ellipse, COLORREF color) {
    raii::Brush brush(CreateSolidBrush(color));
    raii::SelectGuard b(dc, brush.get());
    raii::SelectGuard p(dc, GetStockObject(NULL_PEN));
    RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, ellipse, ellipse);
}

std::wstring button_text(HWND button, int max_chars) {
    std::wstring text(static_cast<size_t>(max_chars) + 1, L'\0');
    int n = GetWindowTextW(button, text.data(), max_chars + 1);
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

// Hover tracking shared by both button kinds: one button at a time.
void on_hover_move(MainWindow& mw, HWND button) {
    if (mw.hovered_button == button) return;
    HWND old = mw.hovered_button;
    mw.hovered_button = button;
    TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, button, 0};
    TrackMouseEvent(&tme);
    if (old && IsWindow(old)) InvalidateRect(old, nullptr, TRUE);
    InvalidateRect(button, nullptr, TRUE);
}

void on_hover_leave(MainWindow& mw, HWND button) {
    if (mw.hovered_button == button) mw.hovered_button = nullptr;
    InvalidateRect(button, nullptr, TRUE);
}

bool is_pushed(HWND button) { return (SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }

LRESULT paint_message(MainWindow& mw, HWND button, UINT msg, WPARAM wp) {
    if (msg == WM_PRINTCLIENT) {
        mw.paint_button(button, reinterpret_cast<HDC>(wp), is_pushed(button));
        return 0;
    }
    PaintScope paint(button);
    if (paint.dc()) mw.paint_button(button, paint.dc(), is_pushed(button));
    return 0;
}

}  // namespace

void MainWindow::paint_button(HWND button, HDC target, bool pressed) {
    if (!button || !target) return;
    RECT rc{};
    GetClientRect(button, &rc);
    BackBuffer buffer(target, rc);
    HDC dc = buffer.dc();
    fill_rect_color(dc, rc, page_background(dark));
    bool hot = pressed || hovered_button == button;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
    raii::SelectGuard select(dc, font);
    SetBkMode(dc, TRANSPARENT);
    if (is_menu_button(button)) {
        if (hot) fill_round(dc, RECT{1, 1, rc.right - 1, rc.bottom - 1}, 6, dark ? 0x332E2E : 0xE8E5E5);
        SetTextColor(dc, text_color(dark));
        std::wstring text = button_text(button, 64);
        RECT tr_rc{8, 0, rc.right, rc.bottom};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &tr_rc, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
    } else {
        // A disabled button has no hover shape and a grey glyph.
        const bool enabled = IsWindowEnabled(button) != FALSE;
        if (hot && enabled) fill_round(dc, RECT{1, 1, rc.right - 1, rc.bottom - 1}, 8, dark ? 0x2B2B2B : 0xE9E9E9);
        SetTextColor(dc, enabled ? toolbar_glyph_color(GetDlgCtrlID(button), dark) : toolbar_disabled_glyph_color(dark));
        std::wstring glyph = button_text(button, 7);
        DrawTextW(dc, glyph.c_str(), static_cast<int>(glyph.size()), &rc,
                  DT_NOPREFIX | DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    }
}

COLORREF toolbar_disabled_glyph_color(bool dark) { return dark ? 0x5C5C5C : 0xBCBCBC; }

void MainWindow::sync_add_entry_button() {
    HWND button = window ? GetDlgItem(window, kIdAddEntry) : nullptr;
    if (!button) return;
    const bool allowed = new_entry_preset(current_view()).allowed;
    if ((IsWindowEnabled(button) != FALSE) == allowed) return;
    if (!allowed && hovered_button == button) {
        // A disabled window gets no more mouse messages, so no leave either.
        hovered_button = nullptr;
        hide_button_tooltip();
    }
    // The keys stay with the window: a disabled button would drop the focus.
    if (!allowed && GetFocus() == button) focus_cards_list();
    EnableWindow(button, allowed ? TRUE : FALSE);
    InvalidateRect(button, nullptr, TRUE);
}

void MainWindow::show_button_tooltip(HWND button) {
    auto it = tooltip_texts.find(button);
    if (it == tooltip_texts.end() || !tooltip || !window) return;
    const std::wstring& text = it->second;
    int text_width = 0;
    {
        raii::WindowDC dc(tooltip);
        raii::SelectGuard font(dc.get(), tooltip_font.get());
        SIZE size{};
        if (dc && !text.empty() && GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size))
            text_width = size.cx;
    }
    RECT b{};
    GetWindowRect(button, &b);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&b), 2);
    RECT client{};
    GetClientRect(window, &client);
    RECT rc = ::tooltip_rect(b, text_width, client.right - client.left);
    if (tooltip_visible && EqualRect(&rc, &tooltip_rect) && get_dlg_item_text(window, kIdTooltip) == text) return;
    invalidate_child_rect(tooltip_rect);
    SetWindowTextW(tooltip, text.c_str());
    SetWindowPos(tooltip, HWND_TOP, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, SWP_NOACTIVATE);
    ShowWindow(tooltip, SW_SHOWNOACTIVATE);
    InvalidateRect(tooltip, nullptr, TRUE);
    tooltip_rect = rc;
    tooltip_visible = true;
}

void MainWindow::hide_button_tooltip() {
    invalidate_child_rect(tooltip_rect);
    if (tooltip) ShowWindow(tooltip, SW_HIDE);
    tooltip_visible = false;
}

void MainWindow::invalidate_child_rect(const RECT& rc) {
    if (IsRectEmpty(&rc) || !cards || !window) return;
    RECT r = rc;
    MapWindowPoints(window, cards, reinterpret_cast<POINT*>(&r), 2);
    InvalidateRect(cards, &r, TRUE);
}

LRESULT CALLBACK flat_button_proc(HWND button, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
    auto& mw = *reinterpret_cast<MainWindow*>(ref);
    switch (msg) {
        case WM_PAINT:
        case WM_PRINTCLIENT: return paint_message(mw, button, msg, wp);
        case WM_ERASEBKGND: return 1;
        case WM_MOUSEMOVE: on_hover_move(mw, button); break;
        case WM_MOUSELEAVE: on_hover_leave(mw, button); break;
        case WM_NCDESTROY:
            if (mw.hovered_button == button) mw.hovered_button = nullptr;
            RemoveWindowSubclass(button, flat_button_proc, id);
            break;
        default: break;
    }
    return DefSubclassProc(button, msg, wp, lp);
}

LRESULT CALLBACK icon_button_proc(HWND button, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
    auto& mw = *reinterpret_cast<MainWindow*>(ref);
    switch (msg) {
        case WM_PAINT:
        case WM_PRINTCLIENT: return paint_message(mw, button, msg, wp);
        case WM_ERASEBKGND: {
            RECT rc{};
            GetClientRect(button, &rc);
            fill_rect_color(reinterpret_cast<HDC>(wp), rc, page_background(mw.dark_mode()));
            return 1;
        }
        case WM_MOUSEMOVE:
            on_hover_move(mw, button);
            mw.show_button_tooltip(button);
            break;
        case WM_MOUSELEAVE:
            on_hover_leave(mw, button);
            mw.hide_button_tooltip();
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            // The search button only moves the focus to the search box.
            if (button == mw.search_button) {
                if (mw.search) SetFocus(mw.search);
                return 0;
            }
            break;
        case WM_LBUTTONUP:
            if (button == mw.search_button) return 0;
            break;
        case WM_NCDESTROY:
            if (mw.hovered_button == button) mw.hovered_button = nullptr;
            RemoveWindowSubclass(button, icon_button_proc, id);
            break;
        default: break;
    }
    return DefSubclassProc(button, msg, wp, lp);
}
