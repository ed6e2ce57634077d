#include "ui/popup_menu.h"

#include <algorithm>
#include <utility>

#include "core/handles.h"
#include "core/winutil.h"
#include "theme/paint_scope.h"
#include "theme/painters.h"
#include "ui/modal_loop.h"

namespace {

constexpr const wchar_t* kClassName = kPopupMenuClass;
constexpr UINT_PTR kHoverTimerId = 1;
constexpr UINT kHoverDelayMs = 250;

constexpr PopupMenuColors kLight{0xFBFBFB, 0xD5D5D5, 0xF7E7D6, 0x141414, 0x606060, 0xBFBFBF};
constexpr PopupMenuColors kDark{0x272727, 0x4A4A4A, 0xD06B0A, 0xF2F2F2, 0xC7C7C7, 0xCC6600};

POINT cursor_pos() {
    POINT pt{};
    GetCursorPos(&pt);
    return pt;
}

RECT monitor_rect(POINT pt) {
    RECT rc{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    HMONITOR monitor = MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoW(monitor, &info)) rc = info.rcMonitor;
    return rc;
}

int widest_label(const std::vector<PopupMenuItem>& items) {
    raii::WindowDC screen(nullptr);
    if (!screen) return 0;
    raii::SelectGuard font(screen.get(), popup_menu_font());
    int widest = 0;
    for (const PopupMenuItem& item : items) {
        if (item.separator) continue;
        SIZE size{};
        if (GetTextExtentPoint32W(screen.get(), item.label.c_str(), static_cast<int>(item.label.size()), &size))
            widest = std::max<int>(widest, size.cx);
    }
    return widest;
}

void draw_glyph(HDC dc, const wchar_t* glyph, RECT box, COLORREF color, UINT extra) {
    SetTextColor(dc, color);
    DrawTextW(dc, glyph, -1, &box, DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | extra);
}

}  // namespace

// --- lists of keys and packed choices ----------------------------------------------

std::vector<MenuKeyItem> trash_menu_items(bool with_empty_trash) {
    std::vector<MenuKeyItem> items{{L"action.restore", 2, false}, {L"action.delete_forever", 10, false}};
    if (with_empty_trash) {
        items.push_back({L"", 0, true});
        items.push_back({L"action.empty_trash", 11, false});
    }
    return items;
}

MenuChoice unpack_menu_choice(uint64_t value, size_t list_size) {
    MenuChoice choice;
    choice.command = static_cast<uint32_t>(value & 0xFF);
    const uint64_t index = value >> 8;
    choice.index = index < list_size ? static_cast<size_t>(index) : list_size;
    return choice;
}

// --- geometry ----------------------------------------------------------------------------

int menu_row_height(const PopupMenuItem& item) { return item.separator ? kMenuSeparatorHeight : kMenuItemHeight; }

int menu_height(const std::vector<PopupMenuItem>& items) {
    int h = 2 * kMenuPadding;
    for (const PopupMenuItem& item : items) h += menu_row_height(item);
    return h;
}

int menu_width(int widest_label) { return std::max(kMenuMinWidth, widest_label + 58); }

RECT menu_label_rect(const PopupMenuItem& item, int width) {
    return RECT{item.checked ? 32 : 16, 0, item.children.empty() ? width - 12 : width - 28, kMenuItemHeight};
}

HFONT popup_menu_font() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

int menu_row_top(const std::vector<PopupMenuItem>& items, size_t index) {
    int y = kMenuPadding;
    for (size_t i = 0; i < index && i < items.size(); ++i) y += menu_row_height(items[i]);
    return y;
}

int menu_row_at(const std::vector<PopupMenuItem>& items, int y) {
    int top = kMenuPadding;
    for (size_t i = 0; i < items.size(); ++i) {
        const int bottom = top + menu_row_height(items[i]);
        if (y >= top && y < bottom) return items[i].separator ? -1 : static_cast<int>(i);
        top = bottom;
    }
    return -1;
}

POINT clamp_menu_origin(int x, int y, int width, int height, const RECT& monitor) {
    if (x + width > monitor.right)
        x = (monitor.right - monitor.left) - width > 0 ? monitor.right - width - 4 : monitor.left;
    if (y + height > monitor.bottom)
        y = (monitor.bottom - monitor.top) - height > 0 ? monitor.bottom - height - 4 : monitor.top;
    if (x < monitor.left) x = monitor.left;
    if (y < monitor.top) y = monitor.top;
    return POINT{x, y};
}

int menu_step_hot(const std::vector<PopupMenuItem>& items, int hot, int step) {
    const int count = static_cast<int>(items.size());
    if (count == 0) return hot;
    int pos = std::max(hot, 0);
    for (int tries = 0; tries < count + 1; ++tries) {
        pos += step;
        if (pos < 0) pos = count - 1;
        if (pos >= count) pos = 0;
        if (!items[pos].separator && items[pos].enabled) return pos;
    }
    return hot;
}

bool opens_submenu(const PopupMenuItem& item) { return item.enabled && !item.children.empty(); }

const PopupMenuColors& popup_menu_colors(bool dark) { return dark ? kDark : kLight; }

// --- item builders ---------------------------------------------------------------------

void PopupMenu::add_separator(std::vector<PopupMenuItem>& items) {
    PopupMenuItem item;
    item.separator = true;
    items.push_back(std::move(item));
}

void PopupMenu::add_item(std::vector<PopupMenuItem>& items, uint64_t id, const std::wstring& label) {
    add_check_item(items, id, label, false);
}

void PopupMenu::add_check_item(std::vector<PopupMenuItem>& items, uint64_t id, const std::wstring& label,
                               bool checked) {
    PopupMenuItem item;
    item.label = label;
    item.id = id;
    item.checked = checked;
    items.push_back(std::move(item));
}

void PopupMenu::append(std::vector<PopupMenuItem>& items, PopupMenuItem item) { items.push_back(std::move(item)); }

// --- window class and painting -------------------------------------------------------

bool register_popup_menu_class() {
    static const bool registered = winutil::register_window_class(kClassName, PopupMenuWndProc);
    return registered;
}

LRESULT CALLBACK PopupMenuWndProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    const auto* level = reinterpret_cast<const PopupMenuLevel*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (msg) {
        case WM_PAINT: {
            PaintScope paint(window);
            RECT client{};
            GetClientRect(window, &client);
            if (level && paint.dc()) PopupMenu::paint_level(paint.dc(), client, *level);
            return 0;
        }
        case WM_PRINTCLIENT: {
            RECT client{};
            GetClientRect(window, &client);
            if (level) PopupMenu::paint_level(reinterpret_cast<HDC>(wp), client, *level);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_CLOSE:
            // Alt+F4 on a level: the menu closes only through its own loop.
            return 0;
        default:
            return DefWindowProcW(window, msg, wp, lp);
    }
}

void PopupMenu::paint_level(HDC dc, const RECT& client, const PopupMenuLevel& view) {
    if (!view.items) return;
    const PopupMenuColors& c = popup_menu_colors(view.dark);
    const int W = client.right - client.left;
    const int H = client.bottom - client.top;
    BackBuffer buffer(dc, client);
    HDC out = buffer.dc();
    fill_rect_color(out, client, c.background);

    raii::SelectGuard font(out, popup_menu_font());
    SetBkMode(out, TRANSPARENT);
    const std::vector<PopupMenuItem>& items = *view.items;
    int y = kMenuPadding;
    for (size_t i = 0; i < items.size(); ++i) {
        const PopupMenuItem& item = items[i];
        if (item.separator) {
            raii::Pen pen(CreatePen(PS_SOLID, 1, c.separator));
            raii::SelectGuard use_pen(out, pen.get());
            MoveToEx(out, 12, y + 4, nullptr);
            LineTo(out, W - 12, y + 4);
            y += kMenuSeparatorHeight;
            continue;
        }
        if (static_cast<int>(i) == view.hot && item.enabled)
            fill_rect_color(out, RECT{2, y + 1, W - 2, y + 27}, c.hot_fill);
        const COLORREF color = item.enabled ? c.text : c.disabled_text;
        if (item.checked) draw_glyph(out, L"\u2713", RECT{12, y, 28, y + kMenuItemHeight}, c.text, 0);
        const bool has_children = !item.children.empty();
        if (has_children) draw_glyph(out, L"\u203A", RECT{W - 26, y, W - 10, y + kMenuItemHeight}, color, DT_RIGHT);
        RECT label = menu_label_rect(item, W);
        OffsetRect(&label, 0, y);
        SetTextColor(out, color);
        DrawTextW(out, item.label.c_str(), static_cast<int>(item.label.size()), &label,
                  DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
        y += kMenuItemHeight;
    }

    raii::Pen border(CreatePen(PS_INSIDEFRAME, 1, c.border));
    raii::SelectGuard use_pen(out, border.get());
    raii::SelectGuard no_fill(out, GetStockObject(NULL_BRUSH));
    // Rectangle leaves out its right and bottom edges, so the whole client
    // rectangle is given to frame every outer pixel.
    Rectangle(out, 0, 0, W, H);
}

// --- levels ----------------------------------------------------------------------------------

PopupMenu::~PopupMenu() { close_all(); }

void PopupMenu::close_all() {
    if (levels_.empty()) return;
    // Root first, innermost last.
    for (PopupMenuLevel& level : levels_) {
        if (level.timer) KillTimer(level.window, level.timer);
        if (IsWindow(level.window)) DestroyWindow(level.window);
    }
    levels_.clear();
    ReleaseCapture();
}

bool PopupMenu::take_down() {
    bool shown = false;
    for (PopupMenuLevel& level : levels_) {
        if (!IsWindow(level.window)) continue;
        if (IsWindowVisible(level.window)) shown = true;
        DestroyWindow(level.window);
    }
    return shown;
}

bool PopupMenu::open_level(const std::vector<PopupMenuItem>* items, int x, int y, int placement,
                           POINT monitor_point) {
    const int width = menu_width(widest_label(*items));
    const int height = menu_height(*items);
    if (placement == 1) y -= height;
    const POINT at = clamp_menu_origin(x, y, width, height, monitor_rect(monitor_point));
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName, L"", WS_POPUP, at.x, at.y, width,
                                  height, owner_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return false;
    PopupMenuLevel& level = levels_.emplace_back();
    level.window = window;
    level.items = items;
    level.dark = dark_;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&level));
    GetWindowRect(window, &level.rect);
    ShowWindow(window, SW_SHOW);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return true;
}

int PopupMenu::item_at(const PopupMenuLevel& level, POINT screen) const {
    POINT pt = screen;
    ScreenToClient(level.window, &pt);
    RECT client{};
    GetClientRect(level.window, &client);
    if (!PtInRect(&client, pt)) return -1;
    return menu_row_at(*level.items, pt.y);
}

int PopupMenu::level_at(POINT screen) const {
    for (size_t i = levels_.size(); i-- > 0;)
        if (PtInRect(&levels_[i].rect, screen)) return static_cast<int>(i);
    return -1;
}

void PopupMenu::redraw(const PopupMenuLevel& level) const { RedrawWindow(level.window, nullptr, nullptr, RDW_INVALIDATE); }

void PopupMenu::open_submenu(size_t index, int item) {
    if (index + 1 != levels_.size()) return;
    PopupMenuLevel& level = levels_[index];
    const std::vector<PopupMenuItem>& items = *level.items;
    if (item < 0 || item >= static_cast<int>(items.size()) || !opens_submenu(items[item])) return;
    const int x = level.rect.right + 2;
    const int y = level.rect.top + menu_row_top(items, static_cast<size_t>(item));
    // Kept on the monitor of the parent's row, so that near the monitor's
    // right edge the submenu overlaps its parent.
    const POINT anchor{level.rect.right - 1, y};
    if (!open_level(&items[item].children, x, y, 0, anchor)) return;
    // open_level added a level at the back; the deque keeps `level` valid.
    level.hot = item;
    redraw(level);
    SetCapture(levels_.back().window);
}

void PopupMenu::close_top_level() {
    if (levels_.size() < 2) return;
    PopupMenuLevel& last = levels_.back();
    if (last.timer) KillTimer(last.window, last.timer);
    DestroyWindow(last.window);
    levels_.pop_back();
    SetCapture(levels_.back().window);
}

void PopupMenu::close_levels_above(size_t index) {
    while (levels_.size() > index + 1) close_top_level();
}

bool PopupMenu::levels_alive() const {
    for (const PopupMenuLevel& level : levels_)
        if (!IsWindow(level.window)) return false;
    return true;
}

// --- the loop's handlers ---------------------------------------------------------------

bool PopupMenu::on_key_down(WPARAM key) {
    PopupMenuLevel& level = levels_.back();
    const std::vector<PopupMenuItem>& items = *level.items;
    const int h = level.hot;
    switch (key) {
        case VK_RETURN:
            if (h < 0 || h >= static_cast<int>(items.size()) || !items[h].enabled) return false;
            if (items[h].children.empty()) {
                result_ = items[h].id;
                return true;
            }
            open_submenu(levels_.size() - 1, h);
            return false;
        case VK_ESCAPE:
            result_ = 0;
            return true;
        case VK_LEFT:
            close_top_level();
            return false;
        case VK_RIGHT:
            if (h >= 0) open_submenu(levels_.size() - 1, h);
            return false;
        case VK_UP:
        case VK_DOWN:
            level.hot = menu_step_hot(items, h, key == VK_UP ? -1 : 1);
            if (level.timer) KillTimer(level.window, level.timer);
            level.timer = 0;
            level.pending = -1;
            redraw(level);
            return false;
        default:
            return false;
    }
}

void PopupMenu::on_timer(HWND window, WPARAM id) {
    for (size_t i = 0; i < levels_.size(); ++i) {
        PopupMenuLevel& level = levels_[i];
        if (level.window != window || level.timer == 0 || level.timer != id) continue;
        KillTimer(level.window, level.timer);
        level.timer = 0;
        const int p = std::exchange(level.pending, -1);
        if (p >= 0 && p == level.hot && p < static_cast<int>(level.items->size()) &&
            opens_submenu((*level.items)[p]) && i + 1 == levels_.size())
            open_submenu(i, p);
        return;
    }
}

void PopupMenu::on_mouse_move() {
    const POINT pt = cursor_pos();
    const int found = level_at(pt);
    if (found < 0) return;
    const size_t index = static_cast<size_t>(found);
    if (index + 1 != levels_.size()) {
        PopupMenuLevel& level = levels_[index];
        const int i = item_at(level, pt);
        // Back on the item whose submenu is open: it stays open.
        if (i >= 0 && i == level.hot && !(*level.items)[i].children.empty()) return;
        close_levels_above(index);
    }
    PopupMenuLevel& level = levels_[index];
    const int i = item_at(level, pt);
    if (i == level.hot) return;
    level.hot = i;
    if (level.timer) KillTimer(level.window, level.timer);
    level.timer = 0;
    level.pending = -1;
    if (i >= 0 && opens_submenu((*level.items)[i])) {
        level.pending = i;
        level.timer = SetTimer(level.window, kHoverTimerId, kHoverDelayMs, nullptr);
    }
    redraw(level);
}

bool PopupMenu::on_button_down() {
    const POINT pt = cursor_pos();
    const int found = level_at(pt);
    if (found < 0) {
        result_ = 0;  // a click outside every level
        return true;
    }
    const size_t index = static_cast<size_t>(found);
    PopupMenuLevel& level = levels_[index];
    const int i = item_at(level, pt);
    if (index + 1 != levels_.size() && i >= 0 && i == level.hot && !(*level.items)[i].children.empty())
        return false;  // its submenu is the open one
    close_levels_above(index);
    if (i < 0) return false;
    const PopupMenuItem& item = (*level.items)[i];
    if (!item.enabled) return false;
    if (item.children.empty()) {
        result_ = item.id;
        return true;
    }
    open_submenu(index, i);
    return false;
}

uint64_t PopupMenu::run() {
    ModalLoopScope modal;
    MSG msg{};
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Closing for WM_QUIT; track posts it again for the outer loop.
            quit_ = true;
            quit_code_ = static_cast<int>(msg.wParam);
            return 0;
        }
        if (got == -1) return 0;
        bool done = false;
        switch (msg.message) {
            case WM_KEYDOWN:
                done = on_key_down(msg.wParam);
                break;
            case WM_TIMER:
                on_timer(msg.hwnd, msg.wParam);
                break;
            case WM_MOUSEMOVE:
                on_mouse_move();
                break;
            case WM_LBUTTONDOWN:
            case WM_RBUTTONDOWN:
                done = on_button_down();
                break;
            case WM_LBUTTONUP:
            case WM_RBUTTONUP:
                break;
            default:
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
                break;
        }
        if (done) return result_;
        // A level window destroyed from outside (its owner went away)
        // ends the menu instead of leaving an invisible loop behind.
        if (!levels_alive()) return 0;
    }
}

uint64_t PopupMenu::track(HWND owner, int x, int y, const std::vector<PopupMenuItem>& items, bool dark,
                          int placement) {
    if (items.empty()) return 0;
    if (!register_popup_menu_class()) return 0;
    PopupMenu menu(owner, dark);
    if (!menu.open_level(&items, x, y, placement, POINT{x, y})) return 0;
    HWND root = menu.levels_.front().window;
    SetForegroundWindow(root);
    SetCapture(root);
    const uint64_t result = menu.run();
    menu.close_all();
    if (menu.quit_) PostQuitMessage(menu.quit_code_);
    return result;
}

uint64_t PopupMenu::track_at(HWND owner, int x, int y, const std::vector<PopupMenuItem>& items, bool dark) {
    return track(owner, x, y, items, dark, 0);
}
