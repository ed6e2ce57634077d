// Painting of the capture overlay: the frozen screen dimmed outside the
// selection, the annotations, the selection frame with its handles and
// size label, the hint, and the final image of the selection.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "capture/image.h"
#include "core/i18n.h"
#include "screenshot/capture_colors.h"
#include "screenshot/capture_overlay.h"
#include "theme/fonts.h"

namespace {

// Text extent of a single line in the DC's current font.
SIZE text_size(HDC dc, const std::wstring& text) {
    RECT rc{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

// A filled rectangle with a one-pixel border, or a rounded one when corner
// is above 0; the pen and brush live for the call only.
void fill_framed(HDC dc, const RECT& rc, COLORREF fill, COLORREF border, int corner) {
    raii::Brush brush(CreateSolidBrush(fill));
    raii::Pen pen(CreatePen(PS_SOLID, 1, border));
    raii::SelectGuard select_brush(dc, brush.get());
    raii::SelectGuard select_pen(dc, pen.get());
    if (corner > 0)
        RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, corner, corner);
    else
        Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
}

void draw_line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

}  // namespace

void CaptureOverlay::paint_buffered(HDC hdc) {
    if (!back_select.ok()) {
        back_dc.reset(CreateCompatibleDC(hdc));
        back_bitmap.reset(CreateCompatibleBitmap(hdc, grab.width, grab.height));
        if (!back_dc || !back_bitmap) return;
        back_select = raii::SelectGuard(back_dc.get(), back_bitmap.get());
        if (!back_select.ok()) return;
        back_size = SIZE{grab.width, grab.height};
    }
    if (paint_clip) SelectClipRgn(back_dc.get(), paint_clip);
    paint();
    SelectClipRgn(back_dc.get(), nullptr);
    BitBlt(hdc, 0, 0, back_size.cx, back_size.cy, back_dc.get(), 0, 0, SRCCOPY);
}

void CaptureOverlay::paint() {
    HDC dc = back_dc.get();
    if (!back_select.ok() || !snapshot_select.ok()) return;
    // The screen dimmed once when the overlay opened; without it, undimmed.
    HDC base = dimmed_select.ok() ? dimmed_dc.get() : snapshot_dc.get();
    label_rect = RECT{};
    tooltip_rect = RECT{};
    BitBlt(dc, 0, 0, grab.width, grab.height, base, 0, 0, SRCCOPY);
    if (selection_valid && selection.w > 0 && selection.h > 0) {
        BitBlt(dc, selection.x, selection.y, selection.w, selection.h, snapshot_dc.get(), selection.x, selection.y,
               SRCCOPY);
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, selection.x, selection.y, selection.x + selection.w, selection.y + selection.h);
        blur_source = snapshot_dc.get();
        for (const Annotation& a : annotations.items) draw_annotation(dc, a, 0, 0);
        if (drawing) draw_annotation(dc, current, 0, 0);
        blur_source = nullptr;
        RestoreDC(dc, saved);
        draw_frame(dc);
        if (show_editor) {
            layout_toolbar();
            draw_toolbar(dc);
            toolbar_visible = true;
        } else {
            toolbar_visible = false;
        }
    } else {
        draw_hint(dc);
        toolbar_visible = false;
    }
}

void CaptureOverlay::draw_hint(HDC dc) {
    raii::SelectGuard font(dc, label_font.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, capture_colors(dark).hint_text);
    RECT rc{0, 0, grab.width, grab.height};
    const std::wstring hint = tr(L"capture.hint");
    DrawTextW(dc, hint.c_str(), static_cast<int>(hint.size()), &rc,
              DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}

void CaptureOverlay::draw_frame(HDC dc) {
    const CaptureColors& c = capture_colors(dark);
    const Box& s = selection;
    {
        raii::Pen pen(CreatePen(PS_SOLID, 1, c.frame));
        raii::SelectGuard select_pen(dc, pen.get());
        raii::SelectGuard select_brush(dc, GetStockObject(HOLLOW_BRUSH));
        Rectangle(dc, s.x - 1, s.y - 1, s.x + s.w + 1, s.y + s.h + 1);
    }
    const POINT handles[8] = {{s.x, s.y},
                              {s.x + s.w / 2, s.y},
                              {s.x + s.w, s.y},
                              {s.x + s.w, s.y + s.h / 2},
                              {s.x + s.w, s.y + s.h},
                              {s.x + s.w / 2, s.y + s.h},
                              {s.x, s.y + s.h},
                              {s.x, s.y + s.h / 2}};
    {
        raii::Brush brush(CreateSolidBrush(c.handle_fill));
        raii::Pen pen(CreatePen(PS_SOLID, 1, c.handle_border));
        raii::SelectGuard select_brush(dc, brush.get());
        raii::SelectGuard select_pen(dc, pen.get());
        for (const POINT& h : handles) Rectangle(dc, h.x - 3, h.y - 3, h.x + 4, h.y + 4);
    }
    // The size label above the selection, or inside it at the top edge.
    wchar_t text[64];
    swprintf(text, 64, L"%d \u00D7 %d", s.w, s.h);
    RECT label = size_label_rect_for(dc, s);
    label_rect = label;
    raii::SelectGuard font(dc, bold_font.get());
    fill_framed(dc, label, c.label_fill, c.label_border, 4);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, c.label_text);
    DrawTextW(dc, text, -1, &label, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}

RECT CaptureOverlay::size_label_rect_for(HDC dc, const Box& s) const {
    wchar_t text[64];
    swprintf(text, 64, L"%d \u00D7 %d", s.w, s.h);
    raii::SelectGuard font(dc, bold_font.get());
    const SIZE ts = text_size(dc, text);
    int top = s.y - ts.cy - 16;
    if (top < 4) top = s.y + 8;
    int left = s.x;
    if (left + ts.cx + 16 > grab.width - 3) left = grab.width - ts.cx - 20;
    left = std::max(left, 4);
    return RECT{left, top, left + ts.cx + 16, top + ts.cy + 8};
}

void CaptureOverlay::invalidate_selection_change(const Box& old_sel, bool old_valid, const RECT& old_label,
                                                 const RECT& old_toolbar, const RECT& old_tooltip) {
    if (!hwnd) return;
    const bool both = old_valid && selection_valid && old_sel.w > 0 && old_sel.h > 0 && selection.w > 0 &&
                      selection.h > 0;
    if (!both || !back_select.ok()) {
        InvalidateRect(hwnd, nullptr, FALSE);
        return;
    }
    HDC dc = back_dc.get();
    raii::Region region(CreateRectRgn(0, 0, 0, 0));
    auto add = [&](HRGN part) { CombineRgn(region.get(), region.get(), part, RGN_OR); };
    auto add_rect = [&](const RECT& r) {
        if (IsRectEmpty(&r)) return;
        raii::Region part(CreateRectRgnIndirect(&r));
        add(part.get());
    };
    auto box_region = [](const Box& b, int grow) {
        return raii::Region(CreateRectRgn(b.x - grow, b.y - grow, b.x + b.w + grow, b.y + b.h + grow));
    };
    {
        raii::Region a = box_region(old_sel, 0), b = box_region(selection, 0);
        raii::Region swapped(CreateRectRgn(0, 0, 0, 0));
        CombineRgn(swapped.get(), a.get(), b.get(), RGN_XOR);
        add(swapped.get());
    }
    for (const Box& s : {old_sel, selection}) {
        // The frame one pixel outside, the handles up to 4 pixels around the edges.
        raii::Region outer = box_region(s, 5), inner = box_region(s, -5);
        raii::Region ring(CreateRectRgn(0, 0, 0, 0));
        CombineRgn(ring.get(), outer.get(), inner.get(), RGN_DIFF);
        add(ring.get());
    }
    add_rect(old_label);
    add_rect(size_label_rect_for(dc, selection));
    add_rect(old_toolbar);
    add_rect(old_tooltip);
    if (show_editor) {
        add_rect(toolbar_rect);
        add_rect(tooltip_rect_for(dc, hover_index));
    }
    InvalidateRgn(hwnd, region.get(), FALSE);
}

void CaptureOverlay::draw_annotation(HDC dc, const Annotation& a, int dx, int dy) {
    const int width = a.thickness > 0 ? a.thickness : 1;
    raii::Pen pen(CreatePen(PS_SOLID, width, a.colour));
    raii::SelectGuard select_pen(dc, pen.get());
    raii::SelectGuard select_brush(dc, GetStockObject(HOLLOW_BRUSH));
    switch (a.type) {
        case kAnnArrow:
        case kAnnLine: {
            if (a.points.size() < 2) return;
            const POINT p0 = a.points.front(), p1 = a.points.back();
            draw_line(dc, p0.x + dx, p0.y + dy, p1.x + dx, p1.y + dy);
            if (a.type == kAnnArrow) {
                const double angle = std::atan2(static_cast<double>(p1.y - p0.y), static_cast<double>(p1.x - p0.x));
                const double length = std::max(10, 4 * a.thickness);
                for (double side : {0.45, -0.45}) {
                    const int hx = static_cast<int>(p1.x - length * std::cos(angle + side));
                    const int hy = static_cast<int>(p1.y - length * std::sin(angle + side));
                    draw_line(dc, p1.x + dx, p1.y + dy, hx + dx, hy + dy);
                }
            }
            return;
        }
        case kAnnPencil: {
            if (a.points.size() < 2) return;
            std::vector<POINT> pts(a.points);
            for (POINT& p : pts) {
                p.x += dx;
                p.y += dy;
            }
            Polyline(dc, pts.data(), static_cast<int>(pts.size()));
            return;
        }
        case kAnnRectangle: Rectangle(dc, a.x + dx, a.y + dy, a.x + a.w + dx, a.y + a.h + dy); return;
        case kAnnText: {
            raii::Font font = create_ui_font(3 * a.thickness + 14, 400);
            raii::SelectGuard select_font(dc, font.get());
            SetTextColor(dc, a.colour);
            SetBkMode(dc, TRANSPARENT);
            RECT rc{a.x + dx, a.y + dy, a.x + a.w + 8 + dx, a.y + a.h + 8 + dy};
            DrawTextW(dc, a.text.c_str(), static_cast<int>(a.text.size()), &rc, DT_SINGLELINE | DT_NOPREFIX);
            return;
        }
        case kAnnMarker: {
            const int r = a.thickness + 10;
            const int cx = a.x + a.w / 2 + dx, cy = a.y + a.h / 2 + dy;
            {
                raii::Brush fill(CreateSolidBrush(a.colour));
                raii::Pen border(CreatePen(PS_SOLID, 1, a.colour));
                raii::SelectGuard select_fill(dc, fill.get());
                raii::SelectGuard select_border(dc, border.get());
                Ellipse(dc, cx - r, cy - r, cx + r, cy + r);
            }
            wchar_t number[16];
            swprintf(number, 16, L"%d", a.number);
            raii::SelectGuard select_font(dc, bold_font.get());
            SetTextColor(dc, RGB(255, 255, 255));
            SetBkMode(dc, TRANSPARENT);
            RECT rc{cx - r, cy - r, cx + r, cy + r};
            DrawTextW(dc, number, -1, &rc, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
            return;
        }
        case kAnnBlur: {
            if (a.w < 2 || a.h < 2 || !blur_source) return;
            // Sampled from the unannotated screen in its own coordinates,
            // only where the screen is: the preview and the saved image
            // show the same blocks.
            const int x0 = std::max(a.x, 0), y0 = std::max(a.y, 0);
            const int x1 = std::min(a.x + a.w, grab.width), y1 = std::min(a.y + a.h, grab.height);
            const int w = x1 - x0, h = y1 - y0;
            if (w < 2 || h < 2) return;
            const int block = std::max(4, 2 * a.thickness + 2);
            const int sw = std::max(1, w / block), sh = std::max(1, h / block);
            raii::MemoryDC small_dc(CreateCompatibleDC(dc));
            raii::Bitmap small(CreateCompatibleBitmap(dc, sw, sh));
            if (!small_dc || !small) return;
            raii::SelectGuard select_small(small_dc.get(), small.get());
            if (!select_small.ok()) return;
            SetStretchBltMode(small_dc.get(), COLORONCOLOR);
            StretchBlt(small_dc.get(), 0, 0, sw, sh, blur_source, x0, y0, w, h, SRCCOPY);
            const int old_mode = SetStretchBltMode(dc, COLORONCOLOR);
            StretchBlt(dc, x0 + dx, y0 + dy, w, h, small_dc.get(), 0, 0, sw, sh, SRCCOPY);
            if (old_mode) SetStretchBltMode(dc, old_mode);
            return;
        }
        default: return;
    }
}

bool CaptureOverlay::render_pixels(const std::function<bool(std::uint8_t*, int, int)>& use) {
    if (!selection_valid || selection.w <= 0 || selection.h <= 0) return false;
    const RECT area{grab.left + selection.x, grab.top + selection.y, grab.left + selection.x + selection.w,
                    grab.top + selection.y + selection.h};
    // The crop of the grab to the selection, its rows copied straight into
    // the section the annotations are drawn on.
    const RECT crop = ScreenGrab::crop_area(grab, area);
    if (IsRectEmpty(&crop)) return false;
    const int width = crop.right - crop.left, height = crop.bottom - crop.top;
    make_fonts();
    if (!make_snapshot()) return false;

    const std::vector<std::uint8_t> header = top_down_dib(width, 0);
    BITMAPINFO bi{};
    std::memcpy(&bi.bmiHeader, header.data(), 40);
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biSizeImage = static_cast<DWORD>(static_cast<std::size_t>(width) * height * 4);
    void* bits = nullptr;
    raii::MemoryDC dc(CreateCompatibleDC(nullptr));
    raii::Bitmap section(CreateDIBSection(dc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc || !section || !bits) return false;
    const std::size_t pixel_bytes = static_cast<std::size_t>(width) * height * 4;
    ScreenGrab::copy_rows(grab, crop, static_cast<std::uint8_t*>(bits));
    raii::SelectGuard select(dc.get(), section.get());
    if (!select.ok()) return false;
    IntersectClipRect(dc.get(), 0, 0, width, height);
    blur_source = snapshot_dc.get();
    for (const Annotation& a : annotations.items) draw_annotation(dc.get(), a, -selection.x, -selection.y);
    blur_source = nullptr;
    GdiFlush();
    auto* p = static_cast<std::uint8_t*>(bits);
    for (std::size_t i = 3; i < pixel_bytes; i += 4) p[i] = 255;
    return use(p, width, height);
}

std::vector<std::uint8_t> CaptureOverlay::render_selection() {
    std::vector<std::uint8_t> dib;
    render_pixels([&](std::uint8_t* pixels, int w, int h) {
        dib = top_down_dib(w, h);
        std::memcpy(dib.data() + 40, pixels, dib.size() - 40);
        return true;
    });
    return dib;
}

bool CaptureOverlay::render_png(std::vector<std::uint8_t>& png) {
    png.clear();
    // Encoded straight from the drawn pixels: no copy of the image on the way.
    return render_pixels([&](std::uint8_t* pixels, int w, int h) {
        return winutil::encode_bgra_png(pixels, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), png);
    });
}
