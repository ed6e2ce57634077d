#include "theme/painters.h"

#include "core/handles.h"
#include "theme/colors.h"

namespace {

HFONT control_font(HWND control) {
    HFONT font = control ? reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)) : nullptr;
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// The control's text, at most max_chars characters.
int control_text(HWND control, wchar_t* buffer, int capacity) {
    buffer[0] = 0;
    if (!control) return 0;
    return GetWindowTextW(control, buffer, capacity);
}

void draw_text_in(HDC dc, HWND control, const wchar_t* text, int length, RECT box, COLORREF color, UINT format) {
    raii::SelectGuard font(dc, control_font(control));
    const int old_mode = SetBkMode(dc, TRANSPARENT);
    const COLORREF old_color = SetTextColor(dc, color);
    DrawTextW(dc, text, length, &box, format);
    SetTextColor(dc, old_color);
    SetBkMode(dc, old_mode);
}

}  // namespace

ToggleLayout toggle_layout(const RECT& rc, bool on) {
    const LONG mid = rc.top + (rc.bottom - rc.top) / 2;
    const LONG x = rc.left + (on ? 22 : 2);
    ToggleLayout l;
    l.track_region = RECT{rc.left, mid - 10, rc.left + 41, mid + 11};
    l.track_outline = RECT{rc.left, mid - 10, rc.left + 40, mid + 10};
    l.knob = RECT{x, mid - 8, x + 16, mid + 8};
    l.label = RECT{rc.left + 48, rc.top, rc.right - 2, rc.bottom};
    return l;
}

RECT button_text_box(const RECT& rc) { return RECT{rc.left + 10, rc.top, rc.right - 10, rc.bottom}; }

RECT combo_text_box(const RECT& rc, int scroll_bar_width) {
    return RECT{rc.left + 6, rc.top, rc.right - (scroll_bar_width + 2), rc.bottom};
}

Triangle chevron_triangle(const RECT& rc, bool up) {
    const LONG w = rc.right - rc.left;
    const LONG cx = rc.left + w / 2;
    const LONG cy = rc.top + (rc.bottom - rc.top) / 2;
    const LONG base = up ? cy + w / 6 : cy - w / 6;
    const LONG tip = up ? cy - w / 6 : cy + w / 6;
    return Triangle{{{cx - w / 3, base}, {cx + w / 3, base}, {cx, tip}}};
}

RECT arrow_strip(const RECT& rc, bool combo_style, int scroll_bar_width) {
    if (!combo_style) return rc;
    return RECT{rc.right - scroll_bar_width, rc.top, rc.right, rc.bottom};
}

void fill_rect_color(HDC dc, const RECT& rc, COLORREF color) {
    raii::Brush brush(CreateSolidBrush(color));
    FillRect(dc, &rc, brush.get());
}

void fill_client_color(HWND window, HDC dc, COLORREF color) {
    RECT rc{};
    GetClientRect(window, &rc);
    fill_rect_color(dc, rc, color);
}

void draw_text_in(HDC dc, HFONT font, COLORREF color, const std::wstring& text, RECT rc, UINT format) {
    if (text.empty()) return;
    raii::SelectGuard use(dc, font);
    SetTextColor(dc, color);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, format | DT_NOPREFIX);
}

void draw_toggle_switch(HDC dc, const RECT& rc, bool on, bool dark, HWND control) {
    const ThemeColors& c = theme_colors(dark);
    const ToggleLayout l = toggle_layout(rc, on);
    fill_rect_color(dc, rc, c.page_background);

    const COLORREF track = on ? c.toggle_track_on : c.toggle_track_off;
    {
        raii::Region region(CreateRoundRectRgn(l.track_region.left, l.track_region.top, l.track_region.right,
                                               l.track_region.bottom, 10, 10));
        raii::Brush brush(CreateSolidBrush(track));
        FillRgn(dc, region.get(), brush.get());
        raii::Pen pen(CreatePen(PS_SOLID, 1, track));
        raii::SelectGuard use_pen(dc, pen.get());
        raii::SelectGuard no_fill(dc, GetStockObject(NULL_BRUSH));
        RoundRect(dc, l.track_outline.left, l.track_outline.top, l.track_outline.right, l.track_outline.bottom, 10,
                  10);
    }
    {
        const bool pushed = control && (SendMessageW(control, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
        raii::Brush brush(CreateSolidBrush(pushed ? c.toggle_knob_pushed : c.toggle_knob));
        raii::SelectGuard use_brush(dc, brush.get());
        raii::SelectGuard no_pen(dc, GetStockObject(NULL_PEN));
        Ellipse(dc, l.knob.left, l.knob.top, l.knob.right, l.knob.bottom);
    }
    if (control) {
        wchar_t text[512];
        const int n = control_text(control, text, 512);
        if (n > 0) draw_text_in(dc, control, text, n, l.label, c.text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
}

void draw_button(HDC dc, const RECT& rc, bool dark, bool accent, bool hover, bool pressed, HWND control) {
    const COLORREF fill = button_fill(dark, accent, hover, pressed);
    {
        raii::Brush brush(CreateSolidBrush(fill));
        raii::Pen pen(CreatePen(PS_SOLID, 1, button_colors(dark, accent).border));
        raii::SelectGuard use_brush(dc, brush.get());
        raii::SelectGuard use_pen(dc, pen.get());
        RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, 4, 4);
    }
    if (control) {
        wchar_t text[256];
        const int n = control_text(control, text, 256);
        if (n > 0) {
            const RECT box = button_text_box(rc);
            draw_text_in(dc, control, text, n, box, button_text_color(fill),
                         DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
    }
}

void draw_chevron(HDC dc, const RECT& rc, bool up, bool dark) {
    const COLORREF color = theme_colors(dark).chevron;
    const Triangle t = chevron_triangle(rc, up);
    raii::Pen pen(CreatePen(PS_SOLID, 1, color));
    raii::Brush brush(CreateSolidBrush(color));
    raii::SelectGuard use_pen(dc, pen.get());
    raii::SelectGuard use_brush(dc, brush.get());
    Polygon(dc, t.p, 3);
}

void draw_arrow_buttons(HDC dc, bool dark, const RECT& rc, bool combo_style) {
    const RECT strip = arrow_strip(rc, combo_style, GetSystemMetrics(SM_CXVSCROLL));
    fill_rect_color(dc, strip, theme_colors(dark).control_background);
    if (combo_style) {
        draw_chevron(dc, RECT{strip.left + 4, strip.top + 2, strip.right - 4, strip.bottom - 2}, false, dark);
        return;
    }
    const LONG mid = strip.top + (strip.bottom - strip.top) / 2;
    draw_chevron(dc, RECT{strip.left + 3, strip.top + 2, strip.right - 3, mid}, true, dark);
    draw_chevron(dc, RECT{strip.left + 3, mid, strip.right - 3, strip.bottom - 2}, false, dark);
}

void draw_accent_frame(HDC dc, const RECT& rc, bool dark) {
    raii::Pen pen(CreatePen(PS_SOLID, 1, theme_colors(dark).accent));
    raii::SelectGuard use_pen(dc, pen.get());
    raii::SelectGuard no_fill(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
}
