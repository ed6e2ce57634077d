// The capture overlay's annotation toolbar: layout, drawing, tooltips,
// hit testing, and the cursor over the overlay.
#include <algorithm>

#include "core/i18n.h"
#include "screenshot/capture_colors.h"
#include "screenshot/capture_overlay.h"

namespace {

constexpr const wchar_t* kToolTips[8] = {L"capture.tip_move", L"capture.tip_arrow", L"capture.tip_pencil",
                                          L"capture.tip_line", L"capture.tip_rect",  L"capture.tip_text",
                                          L"capture.tip_number", L"capture.tip_blur"};

void fill_rounded(HDC dc, const RECT& rc, COLORREF fill, COLORREF border, int corner) {
    raii::Brush brush(CreateSolidBrush(fill));
    raii::Pen pen(CreatePen(PS_SOLID, 1, border));
    raii::SelectGuard select_brush(dc, brush.get());
    raii::SelectGuard select_pen(dc, pen.get());
    RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, corner, corner);
}

void stroke(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

void draw_centered(HDC dc, HFONT font, const std::wstring& text, RECT rc, COLORREF colour) {
    raii::SelectGuard select(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc,
              DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}

bool is_swatch(int id) { return id >= kTbFirstSwatch && id < kTbFirstSwatch + 9; }

}  // namespace

void CaptureOverlay::layout_toolbar() {
    buttons.clear();
    separators.clear();
    int x = 6;
    auto add = [&](int id, int width, const wchar_t* tip) {
        buttons.push_back(ToolbarButton{RECT{x, 6, x + width, 34}, id, tr(tip)});
        x += width + 2;
    };
    auto separator = [&] {
        separators.push_back(x + 3);
        x += 9;
    };
    for (int id = 1; id <= 8; ++id) add(id, 28, kToolTips[id - 1]);
    separator();
    add(kTbUndo, 28, L"capture.tip_undo");
    add(kTbRedo, 28, L"capture.tip_redo");
    separator();
    add(kTbThinner, 24, L"capture.tip_thinner");
    thickness_rect = RECT{x, 10, x + 22, 30};
    x += 24;
    add(kTbThicker, 24, L"capture.tip_thicker");
    separator();
    for (int i = 0; i < 9; ++i) {
        buttons.push_back(ToolbarButton{RECT{x + 2, 13, x + 18, 29}, kTbFirstSwatch + i, tr(L"capture.tip_color")});
        x += 18;
    }
    separator();
    add(kTbDone, 28, L"capture.tip_done");
    add(kTbCopy, 28, L"capture.tip_copy");
    add(kTbSave, 28, L"capture.tip_save");
    add(kTbCancel, 28, L"capture.tip_cancel");

    const int w = x;
    const Box& s = selection;
    const int overlay_w = grab.width, overlay_h = grab.height;
    int left = std::max(s.x + s.w - w - 6, 8);
    if (left + w + 6 >= overlay_w - 7) left = std::max(overlay_w - w - 14, 8);
    const int bottom = s.y + s.h;
    int top;
    if (bottom + 50 < overlay_h - 7) {
        top = bottom + 10;
    } else {
        top = s.y - 50;
        if (top < 8) top = bottom - 50;
        if (top < 8) top = 8;
    }
    toolbar_rect = RECT{left, top, left + w + 6, top + 40};
    for (ToolbarButton& b : buttons) OffsetRect(&b.rect, left, top);
    for (int& sx : separators) sx += left;
    OffsetRect(&thickness_rect, left, top);
}

int CaptureOverlay::toolbar_hit_test(POINT p) const {
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (PtInRect(&buttons[i].rect, p)) return static_cast<int>(i);
    return -1;
}

void CaptureOverlay::draw_tool_icon(HDC dc, const ToolbarButton& b, COLORREF glyph) {
    const RECT& r = b.rect;
    const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    if (b.id == kToolText + 1 || b.id == kToolMarker + 1) {
        draw_centered(dc, bold_font.get(), b.id == kToolText + 1 ? L"T" : L"1", r, glyph);
        return;
    }
    raii::Pen pen(CreatePen(PS_SOLID, 2, glyph));
    raii::SelectGuard select_pen(dc, pen.get());
    raii::SelectGuard select_brush(dc, GetStockObject(HOLLOW_BRUSH));
    switch (b.id - 1) {
        case kToolMove:
            stroke(dc, cx - 7, cy, cx + 7, cy);
            stroke(dc, cx, cy - 7, cx, cy + 7);
            stroke(dc, cx - 7, cy, cx - 4, cy - 3);
            stroke(dc, cx - 7, cy, cx - 4, cy + 3);
            stroke(dc, cx + 7, cy, cx + 4, cy - 3);
            stroke(dc, cx + 7, cy, cx + 4, cy + 3);
            stroke(dc, cx, cy - 7, cx - 3, cy - 4);
            stroke(dc, cx, cy - 7, cx + 3, cy - 4);
            stroke(dc, cx, cy + 7, cx - 3, cy + 4);
            stroke(dc, cx, cy + 7, cx + 3, cy + 4);
            return;
        case kToolArrow: {
            const int ex = r.right - 7, ey = r.top + 7;
            stroke(dc, r.left + 7, r.bottom - 7, ex, ey);
            stroke(dc, ex, ey, ex - 6, ey);
            stroke(dc, ex, ey, ex, ey + 6);
            return;
        }
        case kToolPencil: {
            const int sx = r.left + 8, sy = r.bottom - 8;
            stroke(dc, sx, sy, r.right - 8, r.top + 8);
            stroke(dc, sx, sy, sx + 4, sy);
            stroke(dc, sx, sy, sx, sy - 4);
            return;
        }
        case kToolLine: stroke(dc, r.left + 7, r.bottom - 7, r.right - 7, r.top + 7); return;
        case kToolRectangle: Rectangle(dc, r.left + 6, r.top + 7, r.right - 6, r.bottom - 7); return;
        case kToolBlur: {
            raii::Brush fill(CreateSolidBrush(glyph));
            for (int row = 0; row < 4; ++row)
                for (int col = 0; col < 4; ++col) {
                    if ((row + col) % 2) continue;
                    RECT sq{cx - 8 + col * 4, cy - 8 + row * 4, cx - 4 + col * 4, cy - 4 + row * 4};
                    FillRect(dc, &sq, fill.get());
                }
            return;
        }
        default: return;
    }
}

void CaptureOverlay::draw_toolbar(HDC dc) {
    const CaptureColors& c = capture_colors(dark);
    fill_rounded(dc, toolbar_rect, c.toolbar_background, c.toolbar_border, 8);
    {
        raii::Pen pen(CreatePen(PS_SOLID, 1, c.toolbar_border));
        raii::SelectGuard select_pen(dc, pen.get());
        for (int x : separators) stroke(dc, x, toolbar_rect.top + 10, x, toolbar_rect.bottom - 10);
    }
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const ToolbarButton& b = buttons[i];
        const bool selected = (b.id >= 1 && b.id <= 8 && b.id - 1 == tool) ||
                              (is_swatch(b.id) && kSwatchColours[b.id - kTbFirstSwatch] == colour);
        if (is_swatch(b.id)) {
            const COLORREF swatch = kSwatchColours[b.id - kTbFirstSwatch];
            raii::Brush fill(CreateSolidBrush(swatch));
            FillRect(dc, &b.rect, fill.get());
            raii::Brush border(CreateSolidBrush(selected ? c.button_pressed : 0x4A4A4A));
            RECT outer = b.rect;
            FrameRect(dc, &outer, border.get());
            if (selected) {
                InflateRect(&outer, -1, -1);
                FrameRect(dc, &outer, border.get());
            }
            continue;
        }
        const bool pressed = static_cast<int>(i) == pressed_index;
        const bool hover = static_cast<int>(i) == hover_index;
        if (pressed || hover || selected) {
            const COLORREF back = pressed ? c.button_pressed : selected ? c.button_selected : c.button_hover;
            fill_rounded(dc, b.rect, back, back, 4);
        }
        const COLORREF glyph = selected ? c.glyph_selected : c.glyph_normal;
        switch (b.id) {
            case kTbUndo: draw_centered(dc, symbol_font.get(), L"\uE7A7", b.rect, glyph); break;
            case kTbRedo: draw_centered(dc, symbol_font.get(), L"\uE7A6", b.rect, glyph); break;
            case kTbDone: draw_centered(dc, symbol_font.get(), L"\uE73E", b.rect, glyph); break;
            case kTbCopy: draw_centered(dc, symbol_font.get(), L"\uE8C8", b.rect, glyph); break;
            case kTbSave: draw_centered(dc, symbol_font.get(), L"\uE74E", b.rect, glyph); break;
            case kTbCancel: draw_centered(dc, symbol_font.get(), L"\uE711", b.rect, glyph); break;
            case kTbThinner: draw_centered(dc, bold_font.get(), L"\u2212", b.rect, glyph); break;
            case kTbThicker: draw_centered(dc, bold_font.get(), L"+", b.rect, glyph); break;
            default: draw_tool_icon(dc, b, glyph); break;
        }
    }
    draw_centered(dc, bold_font.get(), std::to_wstring(thickness), thickness_rect, c.glyph_normal);
    draw_tooltip(dc);
}

RECT CaptureOverlay::tooltip_rect_for(HDC dc, int index) const {
    if (index < 0 || index >= static_cast<int>(buttons.size())) return RECT{};
    const ToolbarButton& b = buttons[static_cast<std::size_t>(index)];
    if (b.tip.empty()) return RECT{};
    raii::SelectGuard font(dc, label_font.get());
    RECT calc{0, 0, 0, 0};
    DrawTextW(dc, b.tip.c_str(), static_cast<int>(b.tip.size()), &calc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    const int tw = calc.right - calc.left, th = calc.bottom - calc.top;
    int top = b.rect.top - th - 16;
    if (top <= 3) top = b.rect.bottom + 6;
    const int width = tw + 16;
    int left = std::max(static_cast<int>((b.rect.left + b.rect.right) / 2) - width / 2, 4);
    if (left + width > grab.width - 3) left = grab.width - 4 - width;
    return RECT{left, top, left + width, top + th + 10};
}

void CaptureOverlay::draw_tooltip(HDC dc) {
    const RECT rc = tooltip_rect_for(dc, hover_index);
    if (IsRectEmpty(&rc)) return;
    tooltip_rect = rc;
    const ToolbarButton& b = buttons[static_cast<std::size_t>(hover_index)];
    const CaptureColors& c = capture_colors(dark);
    raii::SelectGuard font(dc, label_font.get());
    fill_rounded(dc, rc, c.label_fill, c.label_border, 4);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, c.label_text);
    RECT text_rc = rc;
    DrawTextW(dc, b.tip.c_str(), static_cast<int>(b.tip.size()), &text_rc,
              DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}

LPCWSTR CaptureOverlay::cursor_for(POINT p) const {
    if (show_editor && toolbar_visible && PtInRect(&toolbar_rect, p)) return IDC_HAND;
    if (!selection_valid) return IDC_CROSS;
    switch (hit_test_handles(selection, p)) {
        case 1:
        case 5: return IDC_SIZENWSE;
        case 2:
        case 6: return IDC_SIZENS;
        case 3:
        case 7: return IDC_SIZENESW;
        case 4:
        case 8: return IDC_SIZEWE;
        default: break;
    }
    if (tool == kToolMove && rect_contains(selection, p)) return IDC_SIZEALL;
    return IDC_CROSS;
}

void CaptureOverlay::update_cursor(POINT p) { SetCursor(LoadCursorW(nullptr, cursor_for(p))); }
