#include "theme/controls.h"

#include <windowsx.h>

#include "core/handles.h"
#include "theme/colors.h"
#include "theme/paint_scope.h"
#include "theme/painters.h"

namespace {

// Set on a toggle switch between its space key-down and key-up.
constexpr const wchar_t* kSpaceDownProp = L"QuilletToggleSpaceDown";

// GetWindowDC / ReleaseDC: the DC of the whole window, frame included.
class WholeWindowDC {
public:
    explicit WholeWindowDC(HWND w) noexcept : w_(w), dc_(GetWindowDC(w)) {}
    ~WholeWindowDC() {
        if (dc_) ReleaseDC(w_, dc_);
    }
    WholeWindowDC(const WholeWindowDC&) = delete;
    WholeWindowDC& operator=(const WholeWindowDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND w_;
    HDC dc_;
};

bool user_dark(HWND w) { return GetWindowLongPtrW(w, GWLP_USERDATA) != 0; }

void remove_client_edge(HWND w) {
    const LONG_PTR ex = GetWindowLongPtrW(w, GWL_EXSTYLE);
    if (ex & WS_EX_CLIENTEDGE) SetWindowLongPtrW(w, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE));
}

bool has_own_border(HWND w) {
    const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
    const LONG_PTR ex = GetWindowLongPtrW(w, GWL_EXSTYLE);
    return (style & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)) != 0 ||
           (ex & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME)) != 0;
}

void frame_changed(HWND w) {
    SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void install(HWND w, SUBCLASSPROC proc, UINT_PTR id, LONG_PTR user_data, bool framed, bool repaint) {
    if (framed) remove_client_edge(w);
    SetWindowLongPtrW(w, GWLP_USERDATA, user_data);
    SetWindowSubclass(w, proc, id, 0);
    if (framed) frame_changed(w);
    if (repaint) InvalidateRect(w, nullptr, TRUE);
}

void repaint(HWND w) { InvalidateRect(w, nullptr, FALSE); }

void notify_parent(HWND control) {
    const int id = GetDlgCtrlID(control);
    SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(control));
}

RECT client_rect(HWND w) {
    RECT rc{};
    GetClientRect(w, &rc);
    return rc;
}

// The common painting of the combo box and the up-down control.
void paint_arrow_control(HWND w, HDC dc, bool combo) {
    const bool dark = user_dark(w);
    const RECT rc = client_rect(w);
    const ThemeColors& c = theme_colors(dark);
    BackBuffer buffer(dc, rc);
    HDC out = buffer.dc();
    fill_rect_color(out, rc, c.control_background);
    if (combo) {
        wchar_t text[256];
        const int n = GetWindowTextW(w, text, 256);
        if (n > 0) {
            RECT box = combo_text_box(rc, GetSystemMetrics(SM_CXVSCROLL));
            HFONT font = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
            raii::SelectGuard use_font(out, font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
            SetBkMode(out, TRANSPARENT);
            SetTextColor(out, c.text);
            DrawTextW(out, text, n, &box, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
    }
    draw_arrow_buttons(out, dark, rc, combo);
    draw_accent_frame(out, rc, dark);
}

LRESULT arrow_control_message(HWND w, UINT msg, WPARAM wp, LPARAM lp, bool combo) {
    switch (msg) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            repaint(w);
            return DefSubclassProc(w, msg, wp, lp);
        case WM_PAINT: {
            PaintScope paint(w);
            paint_arrow_control(w, paint.dc(), combo);
            return 0;
        }
        case WM_PRINTCLIENT:
            paint_arrow_control(w, reinterpret_cast<HDC>(wp), combo);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        default:
            return DefSubclassProc(w, msg, wp, lp);
    }
}

// --- toggle switch -----------------------------------------------------------

void paint_toggle(HWND w, HDC dc) {
    const RECT rc = client_rect(w);
    BackBuffer buffer(dc, rc);
    const bool on = SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED;
    draw_toggle_switch(buffer.dc(), rc, on, user_dark(w), w);
}

// A press on the switch captures the mouse; only the release of that
// press, inside the switch, flips it. A release whose press went elsewhere
// (a menu item chosen over the spot where this window then opened) does
// nothing.
LRESULT toggle_on_button_down(HWND w) {
    SetCapture(w);
    repaint(w);
    return 0;
}

LRESULT toggle_on_button_up(HWND w, LPARAM lp) {
    if (GetCapture() != w) return 0;
    ReleaseCapture();
    const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    const RECT rc = client_rect(w);
    if (PtInRect(&rc, pt)) toggle_switch_flip(w);
    return 0;
}

LRESULT toggle_on_key(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (wp != VK_SPACE) return DefSubclassProc(w, msg, wp, lp);
    if (msg == WM_KEYDOWN) {
        SetPropW(w, kSpaceDownProp, reinterpret_cast<HANDLE>(1));
    } else if (RemovePropW(w, kSpaceDownProp)) {
        toggle_switch_flip(w);
    }
    return 0;
}

// --- push button -----------------------------------------------------------------

LONG_PTR button_bits(HWND w) { return GetWindowLongPtrW(w, GWLP_USERDATA); }
void set_button_bits(HWND w, LONG_PTR bits) { SetWindowLongPtrW(w, GWLP_USERDATA, bits); }

void paint_button(HWND w, HDC dc) {
    const LONG_PTR bits = button_bits(w);
    const RECT rc = client_rect(w);
    BackBuffer buffer(dc, rc);
    // The corners outside the rounded shape show the page background.
    fill_rect_color(buffer.dc(), rc, theme_colors(bits & kButtonDarkBit).page_background);
    draw_button(buffer.dc(), rc, bits & kButtonDarkBit, bits & kButtonAccentBit, bits & kButtonHoverBit,
                bits & kButtonPressedBit, w);
}

LRESULT button_on_mouse_move(HWND w) {
    const LONG_PTR bits = button_bits(w);
    if (!(bits & kButtonHoverBit)) {
        set_button_bits(w, bits | kButtonHoverBit);
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, w, 0};
        TrackMouseEvent(&track);
        repaint(w);
    }
    return 0;
}

LRESULT button_on_button_down(HWND w) {
    SetFocus(w);
    set_button_bits(w, button_bits(w) | kButtonPressedBit);
    SetCapture(w);
    repaint(w);
    return 0;
}

LRESULT button_on_button_up(HWND w, LPARAM lp) {
    // Read the state before releasing: ReleaseCapture sends WM_CAPTURECHANGED,
    // which clears the pressed bit. Only the release of a mouse press on this
    // button (it holds the capture) clicks; a held space key sets the
    // pressed bit too.
    const bool captured = GetCapture() == w;
    const bool was_pressed = captured && (button_bits(w) & kButtonPressedBit) != 0;
    if (captured) ReleaseCapture();
    set_button_bits(w, button_bits(w) & ~kButtonPressedBit);
    repaint(w);
    const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    const RECT rc = client_rect(w);
    if (was_pressed && PtInRect(&rc, pt)) notify_parent(w);
    return 0;
}

LRESULT button_on_key(HWND w, UINT msg, WPARAM wp) {
    if (wp != VK_SPACE) return 0;  // every other key is swallowed
    const LONG_PTR bits = button_bits(w);
    if (msg == WM_KEYDOWN) {
        if (!(bits & kButtonPressedBit)) {
            set_button_bits(w, bits | kButtonPressedBit);
            repaint(w);
        }
        return 0;
    }
    // Space released: a click only when the press began on this button.
    if (bits & kButtonPressedBit) {
        set_button_bits(w, bits & ~kButtonPressedBit);
        repaint(w);
        notify_parent(w);
    }
    return 0;
}

}  // namespace

// --- installers ------------------------------------------------------------------

void theme_up_down_control(HWND control, bool dark) {
    if (control) install(control, up_down_proc, kUpDownSubclassId, dark ? 1 : 0, true, true);
}

void theme_combo_box(HWND control, bool dark) {
    if (control) install(control, combo_box_proc, kComboBoxSubclassId, dark ? 1 : 0, true, true);
}

void theme_framed_control(HWND control, bool dark) {
    if (control) install(control, framed_control_proc, kFramedControlSubclassId, dark ? 1 : 0, true, false);
}

void theme_child_colors(HWND window, bool dark) {
    if (window) install(window, themed_background_proc, kThemedBackgroundSubclassId, dark ? 1 : 0, false, true);
}

void theme_button(HWND button, bool dark, bool accent) {
    if (!button) return;
    const LONG_PTR bits = (dark ? kButtonDarkBit : 0) | (accent ? kButtonAccentBit : 0);
    install(button, button_proc, kButtonSubclassId, bits, false, true);
}

void install_toggle_switch(HWND check_box, bool dark) {
    if (check_box) install(check_box, toggle_switch_proc, kToggleSwitchSubclassId, dark ? 1 : 0, false, true);
}

void toggle_switch_flip(HWND control) {
    if (!control) return;
    const LRESULT state = SendMessageW(control, BM_GETCHECK, 0, 0);
    SendMessageW(control, BM_SETCHECK, state == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    repaint(control);
    notify_parent(control);
}

HBRUSH control_background_brush(bool dark) {
    // Two brushes for the life of the process, never one per message.
    static HBRUSH light = CreateSolidBrush(theme_colors(false).control_background);
    static HBRUSH dark_brush = CreateSolidBrush(theme_colors(true).control_background);
    return dark ? dark_brush : light;
}

HBRUSH page_background_brush(bool dark) {
    static HBRUSH light = CreateSolidBrush(theme_colors(false).page_background);
    static HBRUSH dark_brush = CreateSolidBrush(theme_colors(true).page_background);
    return dark ? dark_brush : light;
}

// --- procedures ----------------------------------------------------------------------

LRESULT CALLBACK up_down_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(w, up_down_proc, id);
    return arrow_control_message(w, msg, wp, lp, false);
}

LRESULT CALLBACK combo_box_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(w, combo_box_proc, id);
    return arrow_control_message(w, msg, wp, lp, true);
}

LRESULT CALLBACK framed_control_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            repaint(w);
            return DefSubclassProc(w, msg, wp, lp);
        case WM_NCCALCSIZE: {
            // A control without a border of its own (an edit drops WS_BORDER
            // and paints it inside its client area) gets a one-pixel ring
            // outside its client area for the frame, where its own painting
            // and scrolling never reach.
            const LRESULT result = DefSubclassProc(w, msg, wp, lp);
            if (!has_own_border(w)) {
                RECT* client = wp ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0] : reinterpret_cast<RECT*>(lp);
                InflateRect(client, -1, -1);
            }
            return result;
        }
        case WM_NCPAINT:
        case WM_NCACTIVATE: {
            const LRESULT result = DefSubclassProc(w, msg, wp, lp);
            // A one-pixel frame along the window's edge: the ring right
            // around the client area (a thin border or the ring above).
            RECT win{};
            GetWindowRect(w, &win);
            WholeWindowDC dc(w);
            if (dc.get()) {
                raii::Pen pen(CreatePen(PS_SOLID, 1, theme_colors(user_dark(w)).frame));
                raii::SelectGuard use_pen(dc.get(), pen.get());
                raii::SelectGuard no_fill(dc.get(), GetStockObject(NULL_BRUSH));
                Rectangle(dc.get(), 0, 0, win.right - win.left, win.bottom - win.top);
            }
            return result;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(w, framed_control_proc, id);
            return DefSubclassProc(w, msg, wp, lp);
        default:
            return DefSubclassProc(w, msg, wp, lp);
    }
}

LRESULT CALLBACK themed_background_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
        case WM_ERASEBKGND: {
            const RECT rc = client_rect(w);
            FillRect(reinterpret_cast<HDC>(wp), &rc, control_background_brush(user_dark(w)));
            return 1;
        }
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX: {
            const bool dark = user_dark(w);
            HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, theme_colors(dark).text);
            SetBkColor(dc, theme_colors(dark).control_background);
            return reinterpret_cast<LRESULT>(control_background_brush(dark));
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(w, themed_background_proc, id);
            return DefSubclassProc(w, msg, wp, lp);
        default:
            return DefSubclassProc(w, msg, wp, lp);
    }
}

LRESULT CALLBACK button_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
        case WM_PAINT: {
            PaintScope paint(w);
            paint_button(w, paint.dc());
            return 0;
        }
        case WM_PRINTCLIENT:
            paint_button(w, reinterpret_cast<HDC>(wp));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEMOVE:
            return button_on_mouse_move(w);
        case WM_MOUSELEAVE:
            set_button_bits(w, button_bits(w) & ~kButtonHoverBit);
            repaint(w);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            return button_on_button_down(w);
        case WM_LBUTTONUP:
            return button_on_button_up(w, lp);
        case WM_CAPTURECHANGED:
            if (button_bits(w) & kButtonPressedBit) {
                set_button_bits(w, button_bits(w) & ~kButtonPressedBit);
                repaint(w);
            }
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
            return button_on_key(w, msg, wp);
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_SETTEXT:
        case WM_ENABLE:
        case BM_SETSTATE:
        case BM_SETSTYLE: {
            // The standard button draws itself here; paint over it at once.
            const LRESULT result = DefSubclassProc(w, msg, wp, lp);
            repaint(w);
            return result;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(w, button_proc, id);
            return DefSubclassProc(w, msg, wp, lp);
        default:
            return DefSubclassProc(w, msg, wp, lp);
    }
}

LRESULT CALLBACK toggle_switch_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR) {
    switch (msg) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            repaint(w);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            return toggle_on_button_down(w);
        case WM_PAINT: {
            PaintScope paint(w);
            paint_toggle(w, paint.dc());
            return 0;
        }
        case WM_PRINTCLIENT:
            paint_toggle(w, reinterpret_cast<HDC>(wp));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONUP:
            return toggle_on_button_up(w, lp);
        case WM_KEYDOWN:
        case WM_KEYUP:
            return toggle_on_key(w, msg, wp, lp);
        case WM_CHAR:
            if (wp == L' ') return 0;
            return DefSubclassProc(w, msg, wp, lp);
        case WM_NCDESTROY:
            RemovePropW(w, kSpaceDownProp);
            RemoveWindowSubclass(w, toggle_switch_proc, id);
            return DefSubclassProc(w, msg, wp, lp);
        default:
            return DefSubclassProc(w, msg, wp, lp);
    }
}
