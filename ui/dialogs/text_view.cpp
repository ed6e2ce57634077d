// The read-only text view: layout by ui/text_layout, drawing of the
// visible lines, scrolling, selection and copying.
#include "ui/dialogs/text_view.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/clipboard_text.h"
#include "core/handles.h"
#include "core/i18n.h"
#include "theme/colors.h"
#include "ui/popup_menu.h"
#include "ui/text_layout.h"

namespace {

constexpr int kMarginX = 4;
constexpr int kMarginY = 2;
// The commands of the context menu.
constexpr std::uint64_t kMenuCopy = 1;
constexpr std::uint64_t kMenuSelectAll = 2;

struct TextView {
    std::wstring text;
    HFONT font = nullptr;
    FontWidths fonts;
    CharWidths* widths = nullptr;   // of the font, kept by fonts
    std::vector<TextLine> lines;
    int line_height = 16;
    int layout_width = -1;
    // The lines are wrapped again before they are next used.
    bool dirty = true;
    int top = 0;
    // The selection runs from the anchor to the caret, the end that moves.
    std::uint32_t anchor = 0;
    std::uint32_t caret = 0;
    // The caret sits at the end of its display line rather than at the start
    // of the next one (the same offset where a long line wraps).
    bool caret_at_line_end = false;
    // The x that Up, Down, Page Up and Page Down keep to; -1: the caret's own.
    int goal_x = -1;
    bool focused = false;
    bool selecting = false;
    int wheel_remainder = 0;

    std::uint32_t sel_start() const { return std::min(anchor, caret); }
    std::uint32_t sel_end() const { return std::max(anchor, caret); }
    std::uint32_t size() const { return static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), 0xFFFFFFF0u)); }
};

TextView* view_of(HWND w) { return reinterpret_cast<TextView*>(GetWindowLongPtrW(w, 0)); }

void place_caret(TextView& v, HWND w);

// The colour of a solid brush (the fallback for another kind).
COLORREF brush_color(HBRUSH brush, COLORREF fallback) {
    LOGBRUSH lb{};
    if (!brush || GetObjectW(brush, sizeof(lb), &lb) != sizeof(lb) || lb.lbStyle != BS_SOLID) return fallback;
    return lb.lbColor;
}

RECT client_of(HWND w) {
    RECT rc{};
    GetClientRect(w, &rc);
    return rc;
}

int visible_lines(const TextView& v, HWND w) {
    const RECT rc = client_of(w);
    return std::max<int>((rc.bottom - 2 * kMarginY) / std::max(v.line_height, 1), 1);
}

int max_top(const TextView& v, HWND w) {
    return std::max<int>(static_cast<int>(v.lines.size()) - visible_lines(v, w), 0);
}

// The display line holding the unit (the last line that starts at or before it).
int line_of(const TextView& v, std::uint32_t offset) {
    auto it = std::upper_bound(v.lines.begin(), v.lines.end(), offset,
                               [](std::uint32_t o, const TextLine& l) { return o < l.start; });
    return it == v.lines.begin() ? 0 : static_cast<int>(it - v.lines.begin()) - 1;
}

// The display line the caret is drawn on.
int caret_line(const TextView& v) {
    const int l = line_of(v, v.caret);
    if (v.caret_at_line_end && l > 0 && v.lines[static_cast<std::size_t>(l)].start == v.caret) {
        const TextLine& before = v.lines[static_cast<std::size_t>(l) - 1];
        if (before.start + before.length == v.caret) return l - 1;
    }
    return l;
}

// True when the offset, the end of display line l, is also where the next
// line starts (a wrapped line).
bool wraps_at(const TextView& v, int l, std::uint32_t offset) {
    const std::size_t i = static_cast<std::size_t>(l);
    return i + 1 < v.lines.size() && v.lines[i].length > 0 && v.lines[i].start + v.lines[i].length == offset &&
           v.lines[i + 1].start == offset;
}

void update_scroll_bar(TextView& v, HWND w) {
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = std::max<int>(static_cast<int>(v.lines.size()) - 1, 0);
    si.nPage = static_cast<UINT>(visible_lines(v, w));
    si.nPos = v.top;
    SetScrollInfo(w, SB_VERT, &si, TRUE);
}

void select_font(TextView& v, HFONT font) {
    v.font = font;
    v.widths = &v.fonts.of(font);
    v.line_height = v.fonts.line_height(font);
}

// Wraps the text again at the client width when the text, the font or the
// width changed since, keeping the first visible unit in view. Changes come
// in bursts while the window is made (font, text, frame, size): the text is
// wrapped once, when it is next drawn or used.
void layout(TextView& v, HWND w) {
    const RECT rc = client_of(w);
    const int width = std::max<int>(rc.right - 2 * kMarginX, 1);
    if (!v.dirty && width == v.layout_width) return;
    const std::uint32_t first = v.lines.empty() ? 0 : v.lines[std::min<std::size_t>(v.top, v.lines.size() - 1)].start;
    v.layout_width = width;
    v.dirty = false;
    v.lines = wrap_text_lines(v.text, width, *v.widths);
    v.top = std::min(line_of(v, first), max_top(v, w));
    update_scroll_bar(v, w);
    place_caret(v, w);
}

// The lines need wrapping again; the scroll bar follows at the next use.
void invalidate_layout(TextView& v, HWND w) {
    v.dirty = true;
    InvalidateRect(w, nullptr, FALSE);
}

void scroll_to(TextView& v, HWND w, int top) {
    layout(v, w);
    top = std::clamp(top, 0, max_top(v, w));
    if (top == v.top) return;
    v.top = top;
    update_scroll_bar(v, w);
    place_caret(v, w);
    InvalidateRect(w, nullptr, FALSE);
}

// Puts the system caret where the caret is (while the view has the focus).
void place_caret(TextView& v, HWND w) {
    if (!v.focused) return;
    layout(v, w);
    if (v.lines.empty()) return;
    const int l = caret_line(v);
    const int x = text_line_x(v.text, v.lines[static_cast<std::size_t>(l)], v.caret, *v.widths);
    SetCaretPos(kMarginX + x, kMarginY + (l - v.top) * v.line_height);
}

// The selection from anchor to caret (never inside a surrogate pair).
void set_selection(TextView& v, HWND w, std::uint32_t anchor, std::uint32_t caret, bool at_line_end = false) {
    v.anchor = std::min(anchor, v.size());
    v.caret = std::min(caret, v.size());
    if (inside_surrogate_pair(v.text, v.anchor)) --v.anchor;
    if (inside_surrogate_pair(v.text, v.caret)) --v.caret;
    v.caret_at_line_end = at_line_end;
    v.goal_x = -1;
    place_caret(v, w);
    InvalidateRect(w, nullptr, FALSE);
}

// Scrolls as little as keeps the caret's line in view.
void scroll_to_caret(TextView& v, HWND w) {
    layout(v, w);
    const int l = caret_line(v);
    if (l < v.top) scroll_to(v, w, l);
    else if (l >= v.top + visible_lines(v, w)) scroll_to(v, w, l - visible_lines(v, w) + 1);
    place_caret(v, w);
}

// The display line under the client y (clamped to the text's lines).
int row_at(TextView& v, HWND w, int y) {
    layout(v, w);
    const int dy = y - kMarginY;
    const int row = v.top + (dy >= 0 ? dy / v.line_height : -1 - (-dy - 1) / v.line_height);
    return std::clamp(row, 0, std::max(static_cast<int>(v.lines.size()) - 1, 0));
}

struct Hit {
    std::uint32_t offset = 0;
    bool at_line_end = false;
};

// The offset nearest to x on display line l.
Hit hit_on_line(TextView& v, int l, int x) {
    if (v.lines.empty()) return {};
    const std::uint32_t at = text_line_hit(v.text, v.lines[static_cast<std::size_t>(l)], x, *v.widths);
    return Hit{at, wraps_at(v, l, at)};
}

Hit hit(TextView& v, HWND w, POINT pt) { return hit_on_line(v, row_at(v, w, pt.y), pt.x - kMarginX); }

void copy_selection(const TextView& v) {
    if (v.sel_end() <= v.sel_start()) return;
    winutil::set_clipboard_text(v.text.substr(v.sel_start(), v.sel_end() - v.sel_start()));
}

void select_all(TextView& v, HWND w) { set_selection(v, w, 0, v.size()); }

// Moves the caret (and with extend the selection's end) by a key, and
// scrolls it into view. Vertical moves keep the x they started at.
void move_caret(TextView& v, HWND w, Hit to, bool extend, bool keep_goal = false) {
    const int goal = v.goal_x;
    set_selection(v, w, extend ? v.anchor : to.offset, to.offset, to.at_line_end);
    if (keep_goal) v.goal_x = goal;
    scroll_to_caret(v, w);
}

// The caret moved by lines (Up, Down, Page Up, Page Down) at the goal x.
void move_caret_by_lines(TextView& v, HWND w, int delta, bool extend) {
    layout(v, w);
    if (v.lines.empty()) return;
    const int l = caret_line(v);
    if (v.goal_x < 0) v.goal_x = text_line_x(v.text, v.lines[static_cast<std::size_t>(l)], v.caret, *v.widths);
    const int target = std::clamp(l + delta, 0, static_cast<int>(v.lines.size()) - 1);
    move_caret(v, w, hit_on_line(v, target, v.goal_x), extend, true);
}

// The dark menu goes with a dark background: the one the parent paints the view with.
bool dark_background(HWND w) {
    raii::WindowDC dc(w);
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(w), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(w)));
    return !is_light_fill(brush_color(brush, GetSysColor(COLOR_WINDOW)));
}

// The context menu of an edit box that cannot be changed: Copy (only with
// a selection) and Select all, at the screen point or, from the keyboard,
// at the caret.
void show_context_menu(TextView& v, HWND w, POINT screen, bool from_keyboard) {
    // As an edit box does: the view takes the keyboard for its menu, and has
    // it when the menu is gone (the menu's window took the activation).
    if (!v.focused) SetFocus(w);
    if (from_keyboard) {
        POINT caret{};
        GetCaretPos(&caret);
        if (!v.focused) caret = POINT{kMarginX, kMarginY};
        screen = POINT{caret.x, caret.y + v.line_height};
        ClientToScreen(w, &screen);
    }
    std::vector<PopupMenuItem> items;
    PopupMenu::add_item(items, kMenuCopy, tr(L"action.copy"));
    items.back().enabled = v.sel_end() > v.sel_start();
    PopupMenu::add_separator(items);
    PopupMenu::add_item(items, kMenuSelectAll, tr(L"action.select_all"));
    const std::uint64_t choice = PopupMenu::track_at(w, screen.x, screen.y, items, dark_background(w));
    if (!IsWindow(w) || view_of(w) != &v) return;
    if (GetActiveWindow() == GetAncestor(w, GA_ROOT) && GetFocus() != w) SetFocus(w);
    if (choice == kMenuCopy) copy_selection(v);
    else if (choice == kMenuSelectAll) select_all(v, w);
}

// --- messages ----------------------------------------------------------------------

LRESULT on_nc_create(HWND w, WPARAM wp, LPARAM lp) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    auto v = std::make_unique<TextView>();
    if (cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) v->text = cs->lpszName;
    select_font(*v, nullptr);
    SetWindowLongPtrW(w, 0, reinterpret_cast<LONG_PTR>(v.release()));
    // The text is kept here only: the window's own caption stays empty.
    CREATESTRUCTW copy = *cs;
    copy.lpszName = L"";
    return DefWindowProcW(w, WM_NCCREATE, wp, reinterpret_cast<LPARAM>(&copy));
}

LRESULT on_paint(TextView& v, HWND w) {
    layout(v, w);
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(w, &ps);
    if (!dc) return 0;
    const RECT rc = client_of(w);
    raii::MemoryDC mem(CreateCompatibleDC(dc));
    raii::Bitmap back(mem ? CreateCompatibleBitmap(dc, std::max<int>(rc.right, 1), std::max<int>(rc.bottom, 1))
                          : nullptr);
    HDC target = mem && back ? mem.get() : dc;
    {
        raii::SelectGuard bitmap(mem.get(), back ? static_cast<HGDIOBJ>(back.get()) : nullptr);
        raii::SelectGuard font(target, v.font ? static_cast<HGDIOBJ>(v.font) : GetStockObject(DEFAULT_GUI_FONT));
        SetTextColor(target, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(target, GetSysColor(COLOR_WINDOW));
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(w), WM_CTLCOLOREDIT,
                                                           reinterpret_cast<WPARAM>(target), reinterpret_cast<LPARAM>(w)));
        FillRect(target, &rc, brush ? brush : GetSysColorBrush(COLOR_WINDOW));
        const COLORREF text_color = GetTextColor(target);
        SetBkMode(target, TRANSPARENT);
        SetTextAlign(target, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        const std::uint32_t s = v.sel_start(), e = v.sel_end();
        const int shown = visible_lines(v, w) + 1;
        for (int i = 0; i < shown && v.top + i < static_cast<int>(v.lines.size()); ++i) {
            const TextLine& line = v.lines[static_cast<std::size_t>(v.top + i)];
            const int y = kMarginY + i * v.line_height;
            const std::uint32_t end = line.start + line.length;
            const std::uint32_t a = std::clamp(s, line.start, end), b = std::clamp(e, line.start, end);
            SetTextColor(target, text_color);
            draw_text_line_part(target, v.text, line, line.start, a, kMarginX, y, *v.widths);
            draw_text_line_part(target, v.text, line, b, end, kMarginX, y, *v.widths);
            if (a < b || (s <= end && e > end)) {
                const int x1 = text_line_x(v.text, line, a, *v.widths);
                int x2 = text_line_x(v.text, line, b, *v.widths);
                if (e > end) x2 += std::max(v.widths->width(L' '), 2);   // the selected line break
                RECT sel{kMarginX + x1, y, kMarginX + x2, y + v.line_height};
                FillRect(target, &sel, GetSysColorBrush(COLOR_HIGHLIGHT));
                SetTextColor(target, GetSysColor(COLOR_HIGHLIGHTTEXT));
                draw_text_line_part(target, v.text, line, a, b, kMarginX, y, *v.widths);
            }
        }
        if (v.focused) {
            // The focus: a frame in the accent colour inside the margins.
            const bool dark = !is_light_fill(brush_color(brush, GetSysColor(COLOR_WINDOW)));
            raii::Brush accent(CreateSolidBrush(theme_colors(dark).accent));
            FrameRect(target, &rc, accent ? accent.get() : GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        if (target != dc) BitBlt(dc, 0, 0, rc.right, rc.bottom, target, 0, 0, SRCCOPY);
    }
    EndPaint(w, &ps);
    return 0;
}

// A new width wraps the text again when it is next used; a new height
// changes only the page of the scroll bar.
LRESULT on_size(TextView& v, HWND w) {
    InvalidateRect(w, nullptr, FALSE);
    if (v.dirty) return 0;
    v.top = std::min(v.top, max_top(v, w));
    update_scroll_bar(v, w);
    return 0;
}

LRESULT on_vscroll(TextView& v, HWND w, WPARAM wp) {
    layout(v, w);
    const int page = std::max(visible_lines(v, w) - 1, 1);
    switch (LOWORD(wp)) {
        case SB_LINEUP: scroll_to(v, w, v.top - 1); break;
        case SB_LINEDOWN: scroll_to(v, w, v.top + 1); break;
        case SB_PAGEUP: scroll_to(v, w, v.top - page); break;
        case SB_PAGEDOWN: scroll_to(v, w, v.top + page); break;
        case SB_TOP: scroll_to(v, w, 0); break;
        case SB_BOTTOM: scroll_to(v, w, max_top(v, w)); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si{};
            si.cbSize = sizeof(si);
            si.fMask = SIF_TRACKPOS;
            GetScrollInfo(w, SB_VERT, &si);
            scroll_to(v, w, si.nTrackPos);
            break;
        }
        default: break;
    }
    return 0;
}

LRESULT on_wheel(TextView& v, HWND w, WPARAM wp) {
    layout(v, w);
    UINT per_notch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &per_notch, 0);
    if (per_notch == WHEEL_PAGESCROLL) per_notch = static_cast<UINT>(std::max(visible_lines(v, w) - 1, 1));
    const int sum = v.wheel_remainder + GET_WHEEL_DELTA_WPARAM(wp);
    v.wheel_remainder = sum % WHEEL_DELTA;
    const int notches = sum / WHEEL_DELTA;
    if (notches != 0) scroll_to(v, w, v.top - notches * static_cast<int>(per_notch));
    return 0;
}

LRESULT on_key_down(TextView& v, HWND w, WPARAM wp, LPARAM lp) {
    layout(v, w);
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool has_selection = v.sel_end() > v.sel_start();
    const int page = std::max(visible_lines(v, w) - 1, 1);
    const int line = v.lines.empty() ? 0 : caret_line(v);
    const TextLine current = v.lines.empty() ? TextLine{} : v.lines[static_cast<std::size_t>(line)];
    switch (wp) {
        case VK_LEFT: {
            // Without Shift a selection collapses to its start.
            std::uint32_t to = ctrl ? prev_word_pos(v.text, v.caret) : prev_char_pos(v.text, v.caret);
            if (!shift && !ctrl && has_selection) to = v.sel_start();
            move_caret(v, w, Hit{to, false}, shift);
            return 0;
        }
        case VK_RIGHT: {
            std::uint32_t to = ctrl ? next_word_pos(v.text, v.caret) : next_char_pos(v.text, v.caret);
            if (!shift && !ctrl && has_selection) to = v.sel_end();
            move_caret(v, w, Hit{to, false}, shift);
            return 0;
        }
        case VK_UP: move_caret_by_lines(v, w, -1, shift); return 0;
        case VK_DOWN: move_caret_by_lines(v, w, 1, shift); return 0;
        case VK_PRIOR:
        case VK_NEXT: {
            // The text moves a page and the caret a page with it.
            const int delta = wp == VK_PRIOR ? -page : page;
            scroll_to(v, w, v.top + delta);
            move_caret_by_lines(v, w, delta, shift);
            return 0;
        }
        case VK_HOME:
            move_caret(v, w, Hit{ctrl ? 0 : current.start, false}, shift);
            return 0;
        case VK_END: {
            if (ctrl) {
                move_caret(v, w, Hit{v.size(), false}, shift);
                return 0;
            }
            const std::uint32_t end = current.start + current.length;
            move_caret(v, w, Hit{end, wraps_at(v, line, end)}, shift);
            return 0;
        }
        case VK_APPS: show_context_menu(v, w, POINT{}, true); return 0;
        case 'A':
            if (ctrl) select_all(v, w);
            return 0;
        case 'C':
        case VK_INSERT:
            if (ctrl) copy_selection(v);
            return 0;
        default: return DefWindowProcW(w, WM_KEYDOWN, wp, lp);
    }
}

// Shift+F10 opens the context menu as the menu key does.
LRESULT on_sys_key_down(TextView& v, HWND w, WPARAM wp, LPARAM lp) {
    if (wp == VK_F10 && GetKeyState(VK_SHIFT) < 0) {
        show_context_menu(v, w, POINT{}, true);
        return 0;
    }
    return DefWindowProcW(w, WM_SYSKEYDOWN, wp, lp);
}

// The releases of the menu keys are taken here: the menu opened on their press.
LRESULT on_key_up(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (wp == VK_APPS || (wp == VK_F10 && GetKeyState(VK_SHIFT) < 0)) return 0;
    return DefWindowProcW(w, msg, wp, lp);
}

LRESULT on_context_menu(TextView& v, HWND w, LPARAM lp) {
    const bool from_keyboard = lp == -1;
    show_context_menu(v, w, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, from_keyboard);
    return 0;
}

LRESULT on_set_focus(TextView& v, HWND w) {
    v.focused = true;
    DWORD caret_width = 1;
    SystemParametersInfoW(SPI_GETCARETWIDTH, 0, &caret_width, 0);
    CreateCaret(w, nullptr, std::max<int>(static_cast<int>(caret_width), 1), v.line_height);
    place_caret(v, w);
    ShowCaret(w);
    InvalidateRect(w, nullptr, FALSE);
    return 0;
}

LRESULT on_kill_focus(TextView& v, HWND w) {
    v.focused = false;
    HideCaret(w);
    DestroyCaret();
    InvalidateRect(w, nullptr, FALSE);
    return 0;
}

// A double click selects the word (or the run of blanks or signs) under it.
LRESULT on_left_double_click(TextView& v, HWND w, LPARAM lp) {
    SetFocus(w);
    const Hit at = hit(v, w, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
    const TextSpan word = word_at(v.text, at.offset);
    set_selection(v, w, word.start, word.end);
    return 0;
}

LRESULT on_left_down(TextView& v, HWND w, WPARAM wp, LPARAM lp) {
    SetFocus(w);
    const Hit at = hit(v, w, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
    set_selection(v, w, (wp & MK_SHIFT) ? v.anchor : at.offset, at.offset, at.at_line_end);
    v.selecting = true;
    SetCapture(w);
    return 0;
}

LRESULT on_mouse_move(TextView& v, HWND w, LPARAM lp) {
    if (!v.selecting) return 0;
    const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    const RECT rc = client_of(w);
    // Dragged past an edge: the text comes along a line at a time.
    if (pt.y < 0) scroll_to(v, w, v.top - 1);
    else if (pt.y >= rc.bottom) scroll_to(v, w, v.top + 1);
    const Hit at = hit(v, w, pt);
    if (at.offset != v.caret || at.at_line_end != v.caret_at_line_end)
        set_selection(v, w, v.anchor, at.offset, at.at_line_end);
    return 0;
}

LRESULT on_left_up(TextView& v) {
    if (v.selecting) {
        v.selecting = false;
        ReleaseCapture();
    }
    return 0;
}

LRESULT on_get_text(const TextView& v, WPARAM wp, LPARAM lp) {
    auto* out = reinterpret_cast<wchar_t*>(lp);
    if (!out || wp == 0) return 0;
    const std::size_t n = std::min<std::size_t>(v.text.size(), wp - 1);
    std::copy_n(v.text.data(), n, out);
    out[n] = L'\0';
    return static_cast<LRESULT>(n);
}

LRESULT on_set_text(TextView& v, HWND w, LPARAM lp) {
    const auto* text = reinterpret_cast<const wchar_t*>(lp);
    v.text = text ? text : L"";
    v.anchor = v.caret = 0;
    v.caret_at_line_end = false;
    v.goal_x = -1;
    v.lines.clear();
    v.top = 0;
    invalidate_layout(v, w);
    place_caret(v, w);
    return TRUE;
}

LRESULT on_set_sel(TextView& v, HWND w, WPARAM wp, LPARAM lp) {
    const auto from = static_cast<std::int64_t>(static_cast<int>(wp));
    const auto to = static_cast<std::int64_t>(static_cast<int>(lp));
    if (from < 0) {
        set_selection(v, w, v.caret, v.caret);
        return 0;
    }
    set_selection(v, w, static_cast<std::uint32_t>(from), to < 0 ? v.size() : static_cast<std::uint32_t>(to));
    return 0;
}

// As an edit box: the full ends through the pointers; the packed answer is
// -1 when an end does not fit into 16 bits.
LRESULT on_get_sel(const TextView& v, WPARAM wp, LPARAM lp) {
    if (wp) *reinterpret_cast<DWORD*>(wp) = v.sel_start();
    if (lp) *reinterpret_cast<DWORD*>(lp) = v.sel_end();
    if (v.sel_start() > 0xFFFF || v.sel_end() > 0xFFFF) return -1;
    return MAKELRESULT(v.sel_start(), v.sel_end());
}

void on_nc_destroy(HWND w) {
    TextView* v = view_of(w);
    SetWindowLongPtrW(w, 0, 0);
    delete v;
}

LRESULT CALLBACK text_view_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) return on_nc_create(w, wp, lp);
    TextView* v = view_of(w);
    if (!v) return DefWindowProcW(w, msg, wp, lp);
    switch (msg) {
        case WM_SIZE: return on_size(*v, w);
        case WM_PAINT: return on_paint(*v, w);
        case WM_ERASEBKGND: return 1;
        case WM_SETFONT:
            select_font(*v, reinterpret_cast<HFONT>(wp));
            invalidate_layout(*v, w);
            return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(v->font);
        case WM_SETTEXT: return on_set_text(*v, w, lp);
        case WM_GETTEXT: return on_get_text(*v, wp, lp);
        case WM_GETTEXTLENGTH: return static_cast<LRESULT>(v->text.size());
        case EM_SETSEL: return on_set_sel(*v, w, wp, lp);
        case EM_GETSEL: return on_get_sel(*v, wp, lp);
        case WM_COPY: copy_selection(*v); return 0;
        case WM_VSCROLL: return on_vscroll(*v, w, wp);
        case WM_MOUSEWHEEL: return on_wheel(*v, w, wp);
        case WM_KEYDOWN: return on_key_down(*v, w, wp, lp);
        case WM_SYSKEYDOWN: return on_sys_key_down(*v, w, wp, lp);
        case WM_KEYUP:
        case WM_SYSKEYUP: return on_key_up(w, msg, wp, lp);
        case WM_CONTEXTMENU: return on_context_menu(*v, w, lp);
        case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_LBUTTONDOWN: return on_left_down(*v, w, wp, lp);
        case WM_LBUTTONDBLCLK: return on_left_double_click(*v, w, lp);
        case WM_MOUSEMOVE: return on_mouse_move(*v, w, lp);
        case WM_LBUTTONUP: return on_left_up(*v);
        case WM_CAPTURECHANGED: v->selecting = false; return 0;
        case WM_SETFOCUS: return on_set_focus(*v, w);
        case WM_KILLFOCUS: return on_kill_focus(*v, w);
        case WM_NCDESTROY:
            on_nc_destroy(w);
            return DefWindowProcW(w, msg, wp, lp);
        default: return DefWindowProcW(w, msg, wp, lp);
    }
}

}  // namespace

bool register_text_view_class() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = text_view_proc;
        wc.cbWndExtra = sizeof(void*);
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
        wc.lpszClassName = kTextViewClass;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

HWND create_text_view(HWND parent, const wchar_t* text, int x, int y, int width, int height, HFONT font) {
    if (!register_text_view_class()) return nullptr;
    // Made empty, given its font, then its text: the text is laid out once.
    HWND w = CreateWindowExW(0, kTextViewClass, L"",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY, x, y,
                             width, height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!w) return nullptr;
    if (font) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L""));
    return w;
}

int text_view_top_line(HWND view) {
    TextView* v = view_of(view);
    if (!v) return 0;
    layout(*v, view);
    return v->top;
}

int text_view_line_count(HWND view) {
    TextView* v = view_of(view);
    if (!v) return 0;
    layout(*v, view);
    return static_cast<int>(v->lines.size());
}
