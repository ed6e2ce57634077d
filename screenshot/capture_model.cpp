// The capture overlay's model: geometry, selection, tools, annotations,
// keys, toolbar commands and the result.
#include "screenshot/capture_overlay.h"

#include <algorithm>
#include <cstdlib>

#include "capture/image.h"
#include "theme/fonts.h"

// ---- annotation list -------------------------------------------------------------

void AnnotationList::push(const Annotation& a) {
    items.push_back(a);
    undone.clear();
}

void AnnotationList::undo() {
    if (items.empty()) return;
    undone.push_back(std::move(items.back()));
    items.pop_back();
}

void AnnotationList::redo() {
    if (undone.empty()) return;
    items.push_back(std::move(undone.back()));
    undone.pop_back();
}

// ---- geometry ------------------------------------------------------------------------

Box clamp_rect(const Box& r, const Box& bounds) {
    Box out;
    out.w = std::min(r.w, bounds.w);
    out.h = std::min(r.h, bounds.h);
    out.x = std::min(std::max(r.x, bounds.x), bounds.x + bounds.w - out.w);
    out.y = std::min(std::max(r.y, bounds.y), bounds.y + bounds.h - out.h);
    return out;
}

Box rect_from_points(POINT a, POINT b, bool square) {
    const int dx = b.x - a.x, dy = b.y - a.y;
    int w = std::abs(dx), h = std::abs(dy);
    if (square) w = h = std::max(w, h);
    return Box{dx < 0 ? a.x - w : a.x, dy < 0 ? a.y - h : a.y, w, h};
}

bool rect_contains(const Box& r, POINT p) { return r.x <= p.x && p.x < r.x + r.w && r.y <= p.y && p.y < r.y + r.h; }

int hit_test_handles(const Box& r, POINT p, int tolerance) {
    if (p.x < r.x - tolerance || p.x > r.x + r.w + tolerance || p.y < r.y - tolerance ||
        p.y > r.y + r.h + tolerance)
        return 0;
    const bool left = std::abs(p.x - r.x) <= tolerance;
    const bool right = std::abs(p.x - (r.x + r.w)) <= tolerance;
    const bool top = std::abs(p.y - r.y) <= tolerance;
    const bool bottom = std::abs(p.y - (r.y + r.h)) <= tolerance;
    if (left && top) return 1;
    if (right && top) return 3;
    if (left && bottom) return 7;
    if (right && bottom) return 5;
    if (top) return 2;
    if (bottom) return 6;
    if (right && !left) return 4;
    if (left) return 8;
    return 0;
}

COLORREF initial_tool_colour(int setting) {
    // A stored value may carry high bits (read as a palette index by GDI)
    // or be negative: only the colour itself is taken.
    if (setting <= 0) return kDefaultToolColour;
    const COLORREF c = static_cast<COLORREF>(setting) & 0xFFFFFF;
    return c == 0 ? kDefaultToolColour : c;
}

int initial_thickness(int setting) { return setting <= 0 ? 1 : std::min(setting, kMaxThickness); }

// ---- set-up --------------------------------------------------------------------------

CaptureOverlay::~CaptureOverlay() { release_resources(); }

void CaptureOverlay::prepare(const ScreenGrab& g, bool dark_theme, bool editor, const Box* initial, int colour_setting,
                             int thickness_setting) {
    grab = g;
    bounds = Box{0, 0, grab.width, grab.height};
    dark = dark_theme;
    show_editor = editor;
    colour = initial_tool_colour(colour_setting);
    thickness = initial_thickness(thickness_setting);
    if (initial && initial->w > 0 && initial->h > 0) {
        selection = clamp_rect(*initial, bounds);
        selection_valid = selection.w > 0 && selection.h > 0;
    }
}

void CaptureOverlay::repaint() {
    if (hwnd) InvalidateRect(hwnd, nullptr, FALSE);
}

// ---- mouse ---------------------------------------------------------------------------

void CaptureOverlay::on_mouse_down(POINT p) {
    if (show_editor && toolbar_visible && PtInRect(&toolbar_rect, p)) {
        pressed_index = toolbar_hit_test(p);
        repaint();
        return;
    }
    commit_text_box();
    if (hwnd) SetCapture(hwnd);
    anchor = p;
    drag_mode = 0;
    if (selection_valid && selection.w > 0 && selection.h > 0) {
        if (int handle = hit_test_handles(selection, p)) {
            drag_mode = 3;
            drag_handle = handle;
            drag_start = selection;
            return;
        }
        if (rect_contains(selection, p)) {
            switch (tool) {
                case kToolMove:
                    drag_mode = 2;
                    drag_start = selection;
                    return;
                case kToolText: open_text_box(p); return;
                case kToolMarker: place_marker(p); return;
                default: start_annotation(p); return;
            }
        }
    }
    drag_mode = 1;
    drag_start = selection;
    selection = Box{p.x, p.y, 0, 0};
    selection_valid = true;
    repaint();
}

void CaptureOverlay::place_marker(POINT p) {
    Annotation a;
    a.type = kAnnMarker;
    a.colour = colour;
    a.thickness = thickness;
    a.number = marker_counter++;
    const int r = thickness + 10;
    a.x = p.x - r;
    a.y = p.y - r;
    a.w = a.h = 2 * r;
    annotations.push(a);
    repaint();
}

void CaptureOverlay::start_annotation(POINT p) {
    current = Annotation{};
    current.type = tool == kToolBlur ? kAnnBlur : static_cast<std::uint32_t>(tool - 1);
    current.colour = colour;
    current.thickness = thickness;
    current.points = {p, p};
    if (current.type == kAnnRectangle || current.type == kAnnBlur) {
        current.x = p.x;
        current.y = p.y;
    }
    drawing = true;
}

void CaptureOverlay::on_mouse_move(POINT p, bool shift) {
    const Box old_selection = selection;
    const bool old_valid = selection_valid;
    const RECT old_label = label_rect, old_toolbar = toolbar_visible ? toolbar_rect : RECT{};
    const RECT old_tooltip = tooltip_rect;
    if (!(GetKeyState(VK_LBUTTON) & 0x8000)) {
        drag_mode = 0;
        drag_handle = 0;
        drawing = false;
    }
    switch (drag_mode) {
        case 1:
            selection = clamp_rect(rect_from_points(anchor, p, shift), bounds);
            selection_valid = selection.w > 0 && selection.h > 0;
            break;
        case 2: {
            Box moved = drag_start;
            moved.x += p.x - anchor.x;
            moved.y += p.y - anchor.y;
            selection = clamp_rect(moved, bounds);
            break;
        }
        case 3: resize_selection(p); break;
        default:
            if (drawing) continue_annotation(p, shift);
            break;
    }
    if (show_editor && selection_valid) layout_toolbar();
    hover_index = toolbar_visible ? toolbar_hit_test(p) : -1;
    if (hwnd) update_cursor(p);
    // A selection dragged, moved or resized, or the pointer over the
    // toolbar: only what changed is drawn again.
    if (drawing)
        repaint();
    else
        invalidate_selection_change(old_selection, old_valid, old_label, old_toolbar, old_tooltip);
}

void CaptureOverlay::resize_selection(POINT p) {
    int left = drag_start.x, top = drag_start.y;
    int right = drag_start.x + drag_start.w, bottom = drag_start.y + drag_start.h;
    const int h = drag_handle;
    if (h == 1 || h == 7 || h == 8) left = p.x;
    if (h == 3 || h == 4 || h == 5) right = p.x;
    if (h == 1 || h == 2 || h == 3) top = p.y;
    if (h == 5 || h == 6 || h == 7) bottom = p.y;
    int x0 = std::min(left, right), x1 = std::max(left, right);
    int y0 = std::min(top, bottom), y1 = std::max(top, bottom);
    if (x1 - x0 <= 7) {
        if (h == 1 || h == 7 || h == 8)
            x0 = x1 - 8;
        else
            x1 = x0 + 8;
    }
    if (y1 - y0 <= 7) {
        if (h == 1 || h == 2 || h == 3)
            y0 = y1 - 8;
        else
            y1 = y0 + 8;
    }
    selection = clamp_rect(Box{x0, y0, x1 - x0, y1 - y0}, bounds);
}

void CaptureOverlay::continue_annotation(POINT p, bool shift) {
    switch (current.type) {
        case kAnnPencil: {
            const POINT last = current.points.empty() ? POINT{} : current.points.back();
            if (current.points.empty() || std::abs(p.x - last.x) + std::abs(p.y - last.y) > 1)
                current.points.push_back(p);
            break;
        }
        case kAnnRectangle:
        case kAnnBlur: {
            const Box b = rect_from_points(current.points.front(), p, shift);
            current.x = b.x;
            current.y = b.y;
            current.w = b.w;
            current.h = b.h;
            break;
        }
        default:
            if (!current.points.empty()) current.points.back() = p;
            break;
    }
}

void CaptureOverlay::commit_current() {
    bool keep = false;
    switch (current.type) {
        case kAnnArrow:
        case kAnnLine: {
            if (current.points.size() >= 2) {
                const long long dx = current.points.back().x - current.points.front().x;
                const long long dy = current.points.back().y - current.points.front().y;
                keep = dx * dx + dy * dy > 15;
            }
            break;
        }
        case kAnnPencil: keep = current.points.size() >= 2; break;
        case kAnnRectangle:
        case kAnnBlur: keep = current.w >= 3 && current.h >= 3; break;
        default: break;
    }
    if (keep) annotations.push(current);
}

void CaptureOverlay::on_mouse_up(POINT p) {
    if (pressed_index >= 0) {
        const int pressed = pressed_index;
        pressed_index = -1;
        if (toolbar_hit_test(p) == pressed) on_toolbar_command(pressed);
        repaint();
        return;
    }
    if (drag_mode == 1) {
        if (selection.w < 8 || selection.h < 8) {
            selection_valid = false;
        } else if (!show_editor) {
            drag_mode = 0;
            if (finish(kActionCopy)) return;
        }
    } else if (drawing) {
        commit_current();
        drawing = false;
    }
    drag_mode = 0;
    drag_handle = 0;
    if (hwnd && GetCapture() == hwnd) ReleaseCapture();
    repaint();
}

void CaptureOverlay::on_mouse_wheel(int delta) {
    thickness = std::clamp(thickness + (delta > 0 ? 1 : -1), kMinThickness, kMaxThickness);
    repaint();
}

// ---- keys and toolbar ---------------------------------------------------------------

void CaptureOverlay::on_key_down(UINT vk, bool ctrl, bool shift) {
    switch (vk) {
        case VK_ESCAPE:
            if (text_box)
                cancel_text_box();
            else
                close();
            return;
        case VK_RETURN:
            if (selection_valid) finish(kActionDone);
            return;
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN: {
            if (!selection_valid) return;
            const int step = shift ? 10 : 1;
            Box moved = selection;
            if (vk == VK_LEFT) moved.x -= step;
            if (vk == VK_RIGHT) moved.x += step;
            if (vk == VK_UP) moved.y -= step;
            if (vk == VK_DOWN) moved.y += step;
            selection = clamp_rect(moved, bounds);
            repaint();
            return;
        }
        default: break;
    }
    if (!ctrl) return;
    switch (vk) {
        case 'C':
            if (selection_valid) finish(kActionCopy);
            return;
        case 'S':
            if (selection_valid) finish(kActionSave);
            return;
        case 'A':
            selection = bounds;
            selection_valid = true;
            break;
        case 'Z': annotations.undo(); break;
        case 'Y': annotations.redo(); break;
        default: return;
    }
    repaint();
}

void CaptureOverlay::on_toolbar_command(int index) {
    if (index < 0 || index >= static_cast<int>(buttons.size())) return;
    const int id = buttons[static_cast<std::size_t>(index)].id;
    if (id >= 1 && id <= 8) {
        set_tool(id - 1);
    } else if (id == kTbUndo) {
        annotations.undo();
    } else if (id == kTbRedo) {
        annotations.redo();
    } else if (id == kTbThinner) {
        thickness = std::max(thickness - 1, kMinThickness);
    } else if (id == kTbThicker) {
        thickness = std::min(thickness + 1, kMaxThickness);
    } else if (id >= kTbFirstSwatch && id < kTbFirstSwatch + 9) {
        colour = kSwatchColours[id - kTbFirstSwatch];
    } else if (id == kTbDone || id == kTbCopy || id == kTbSave) {
        finish(id - kTbDone + kActionDone);
        return;
    } else if (id == kTbCancel) {
        close();
        return;
    }
    repaint();
}

void CaptureOverlay::set_tool(int t) { tool = std::clamp(t, static_cast<int>(kToolMove), static_cast<int>(kToolBlur)); }

// ---- finishing ------------------------------------------------------------------------

bool CaptureOverlay::finish(int action) {
    // Text still being typed belongs to the picture.
    commit_text_box();
    if (!selection_valid || selection.w <= 0 || selection.h <= 0) return false;
    std::vector<std::uint8_t> png;
    if (!render_png(png)) return false;
    result.ok = true;
    result.png = std::move(png);
    result.width = selection.w;
    result.height = selection.h;
    result.colour = colour;
    result.thickness = thickness;
    result.action = action;
    close();
    return true;
}

void CaptureOverlay::close() {
    cancel_text_box();
    closed = true;
    if (hwnd) DestroyWindow(hwnd);
}

// ---- text ----------------------------------------------------------------------------------

void CaptureOverlay::add_text_annotation(POINT p, const std::wstring& text) {
    if (text.empty()) return;
    raii::Font font = create_ui_font(3 * thickness + 14, 400);
    raii::WindowDC screen(nullptr);
    SIZE size{};
    {
        raii::SelectGuard select(screen.get(), font.get());
        RECT rc{0, 0, 0, 0};
        DrawTextW(screen.get(), text.c_str(), static_cast<int>(text.size()), &rc,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        size.cx = rc.right - rc.left;
        size.cy = rc.bottom - rc.top;
    }
    Annotation a;
    a.type = kAnnText;
    a.text = text;
    a.colour = colour;
    a.thickness = thickness;
    a.x = p.x;
    a.y = p.y;
    a.w = std::max(10, static_cast<int>(size.cx) + 4);
    a.h = std::max(10, static_cast<int>(size.cy) + 4);
    annotations.push(a);
    repaint();
}
