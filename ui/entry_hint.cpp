// The entry hint at work: the main window's hint methods (build, place,
// align, hide, scroll, hit tests, opening the view window), the popup's
// painting and subclass procedure, and the low-level mouse hook.
#include "ui/entry_hint.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "app/app.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/web_url.h"
#include "core/winutil.h"
#include "store/database.h"
#include "ui/dialogs/view_dialog.h"
#include "ui/entry_commands.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"
#include "ui/popup_menu.h"
#include "ui/whole_text.h"

namespace {

Settings* settings_of(App* app) { return app ? app->settings.get() : nullptr; }

int selected_count(HWND list) { return list ? static_cast<int>(SendMessageW(list, LB_GETSELCOUNT, 0, 0)) : 0; }

// The key of the only selected row, or none.
bool single_selected_key(HWND list, std::int64_t& key) {
    if (selected_count(list) != 1) return false;
    int row = -1;
    if (SendMessageW(list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&row)) != 1 || row < 0) return false;
    key = static_cast<std::int64_t>(SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(row), 0));
    return true;
}

RECT work_area_of(HWND window) {
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &mi)) return mi.rcWork;
    return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

int font_height(HDC dc) {
    TEXTMETRICW tm{};
    return GetTextMetricsW(dc, &tm) ? tm.tmHeight : 0;
}

}  // namespace

void HintPaintTools::make(bool dark_theme) {
    if (made && dark == dark_theme) return;
    const EntryHintColors& c = entry_hint_colors(dark_theme);
    panel.reset(CreateSolidBrush(c.panel));
    button_fill.reset(CreateSolidBrush(c.button_fill));
    track.reset(CreateSolidBrush(c.track));
    thumb.reset(CreateSolidBrush(c.thumb));
    border.reset(CreatePen(PS_SOLID, 1, c.border));
    rule.reset(CreatePen(PS_DOT, 1, c.border));
    button_border.reset(CreatePen(PS_SOLID, 1, c.button_border));
    dark = dark_theme;
    made = true;
}

const std::vector<TextLine>& EntryHint::body_lines(HFONT font, int width) {
    width = std::max(width, 1);
    if (width != lines_width || font != lines_font) {
        lines = wrap_text_lines(body, width, widths.of(font));
        lines_width = width;
        lines_font = font;
    }
    return lines;
}

int EntryHint::body_height(HFONT font, int width, int minimum) {
    if (body.empty()) return minimum;
    const std::size_t n = body_lines(font, width).size();
    return std::max(static_cast<int>(n) * widths.line_height(font), minimum);
}

int EntryHint::body_wrapped_width(HFONT font) {
    if (body.empty()) return 0;
    return text_lines_width(body, body_lines(font, kHintWrapWidth), widths.of(font));
}

// ---- showing and hiding --------------------------------------------------------------------

HFONT MainWindow::hint_font() const {
    if (list_font) return list_font.get();
    if (menu_font) return menu_font.get();
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void MainWindow::on_selection_changed() {
    // A refresh moves the selection without the user; refresh_hint follows it.
    if (!cards || refreshing) return;
    // The user chose this selection: a hint hidden on purpose may show again.
    hint.hidden_key = 0;
    update_entry_hint(true);
}

bool MainWindow::hint_should_show(std::int64_t& key) {
    key = 0;
    const bool single = single_selected_key(cards, key);
    // The hint was hidden on purpose for one selection; another forgets it.
    if (hint.hidden_key != 0 && !(single && key == hint.hidden_key)) hint.hidden_key = 0;
    Settings* s = settings_of(app);
    if ((s && !s->show_hints) || !single || hint.hidden_key != 0) return false;
    if (!window || !hint_popup || !IsWindowVisible(window) || IsIconic(window)) return false;
    // Over another window (of this program or another) it never shows,
    // unless a menu or the view window opened from the hint is running.
    const bool active = GetActiveWindow() == window && GetForegroundWindow() == window;
    return active || hint.busy;
}

void MainWindow::update_entry_hint(bool rebuild) {
    std::int64_t key = 0;
    if (!hint_should_show(key)) {
        take_down_hint();
        return;
    }
    if (key < 0)
        show_template_hint(key);
    else if (!rebuild && hint.shown && key == hint.hinted_key)
        align_entry_hint(key);
    else
        show_entry_hint(key);
}

void MainWindow::refresh_hint() { update_entry_hint(false); }

void MainWindow::schedule_hint_check() {
    if (cards) SetTimer(cards, kHintSelectionTimer, USER_TIMER_MINIMUM, nullptr);
}

void MainWindow::check_hint_selection() {
    if (cards) KillTimer(cards, kHintSelectionTimer);
    if (!cards || !window || refreshing) return;
    update_entry_hint(false);
}

void MainWindow::on_main_deactivated() {
    // Whichever window takes over, of this program or another (one of
    // another program may not be known to this one at all). Not hidden on
    // purpose: the hint comes back with the activation.
    if (hint.shown && !hint.busy) take_down_hint();
}

void MainWindow::show_entry_hint(std::int64_t id) {
    std::int64_t wanted = 0;
    if (!hint_should_show(wanted) || wanted != id) {
        take_down_hint();
        return;
    }
    hint.view_button_rect = RECT{};
    Settings* s = settings_of(app);
    if ((s ? clamp_font_size(s->font_size) : 14) != font_size) apply_font_size();
    const HistoryEntry* listed = model.find_entry(id);
    if (!listed || id <= 0) {
        take_down_hint();
        return;
    }
    // A copy with its payload: the listed record comes without its bytes.
    HistoryEntry e = *listed;
    if (e.payload_deferred && app && app->database) app->database->load_payload(e);
    // A listed entry holds a shorter start than the hint shows, or no text yet.
    if (!e.is_image && e.text_state != TextState::Whole && app && app->database)
        app->database->load_text_start(e, kRowTextLimit + 1);
    if (id != hint.hinted_key) {
        hint.hinted_key = id;
        hint.scroll = 0;
    }
    const std::wstring created = format_created_at(e.created_at);
    std::wstring app_name = e.source_app.empty() ? std::wstring() : winutil::app_display_name(e.source_app);
    if (app_name.empty()) app_name = L"\u2014";
    const bool image_mode = e.is_image && !e.image.empty();
    const std::wstring video = image_mode ? video_page_from_preview_url(e.html) : std::wstring();
    const std::wstring text = image_mode ? std::wstring() : e.text;
    hint.address = choose_page_url(text, e.is_browser_page, e.source_url, video);

    if (image_mode) {
        hint.bitmap = hint.previews.get(id, e.image);
        BITMAP bm{};
        if (hint.bitmap && GetObjectW(hint.bitmap, sizeof(bm), &bm))
            hint.bitmap_size = SIZE{std::max<LONG>(bm.bmWidth, 1), std::max<LONG>(bm.bmHeight, 1)};
        else
            hint.bitmap_size = SIZE{1, 1};
        hint.body.clear();
        hint.lines_width = -1;
        hint.meta = hint_image_meta(e, hint.address, created);
    } else {
        hint.bitmap = nullptr;
        hint.bitmap_size = SIZE{};
        hint.body = hint_body_text(e.text, e.text_state != TextState::Whole);
        hint.lines_width = -1;
        hint.meta = hint_text_meta(e, app_name, hint.address, created);
    }
    hint.window_text = hint.body + L"\n" + hint.meta;
    SetWindowTextW(hint_popup, hint.window_text.c_str());

    raii::WindowDC dc(hint_popup);
    raii::SelectGuard font(dc.get(), hint_font());
    const int line_h = hint_meta_line_height(font_height(dc.get()));
    const HFONT body_font = hint_font();
    const int body_w = image_mode ? static_cast<int>(hint.bitmap_size.cx) : hint.body_wrapped_width(body_font);
    const int w = hint_width(body_w, measure_text_width(dc.get(), hint.meta));
    const int lines = count_lines(hint.meta);
    if (image_mode) {
        const int k = hint.bitmap ? static_cast<int>(hint.bitmap_size.cy) : 2 * line_h;
        hint.layout = compute_hint_layout(w, k, lines, line_h, kHintImageMaxHeight);
    } else {
        int k = hint.body_height(body_font, w - 24, line_h);
        hint.layout = compute_hint_layout(w, k, lines, line_h, kHintTextMaxHeight);
        if (hint.layout.scroll) {
            k = hint.body_height(body_font, w - 34, line_h);
            hint.layout = compute_hint_layout(w, k, lines, line_h, kHintTextMaxHeight);
        }
    }
    hint.scroll = scroll_hint_by(hint.scroll, 0, hint.layout.content_height, hint.layout.visible_body_height);
    place_entry_hint(hint.layout.width, hint.layout.total_height, model.row_of_key(id));
}

void MainWindow::show_template_hint(std::int64_t key) {
    std::int64_t wanted = 0;
    if (!hint_should_show(wanted) || wanted != key) {
        take_down_hint();
        return;
    }
    hint.view_button_rect = RECT{};
    hint.address_rect = RECT{};
    Settings* s = settings_of(app);
    if ((s ? clamp_font_size(s->font_size) : 14) != font_size) apply_font_size();
    const Snippet* listed = model.find_template(key);
    if (!listed) {
        take_down_hint();
        return;
    }
    const Snippet t = *listed;
    // The key keeps its sign, so a template never passes for the entry of
    // the same number.
    if (key != hint.hinted_key) {
        hint.hinted_key = key;
        hint.scroll = 0;
    }
    hint.bitmap = nullptr;
    hint.bitmap_size = SIZE{};
    hint.address.clear();
    hint.body = hint_body_text(t.text);
    hint.lines_width = -1;
    hint.meta = tr(L"card.created") + format_created_at(t.created_at);
    hint.window_text = hint.body + L"\n" + hint.meta;
    SetWindowTextW(hint_popup, hint.window_text.c_str());

    raii::WindowDC dc(hint_popup);
    raii::SelectGuard font(dc.get(), hint_font());
    const int line_h = hint_meta_line_height(font_height(dc.get()));
    const HFONT body_font = hint_font();
    const int w = hint_width(hint.body_wrapped_width(body_font), measure_text_width(dc.get(), hint.meta));
    const int lines = count_lines(hint.meta);
    int k = hint.body_height(body_font, w - 24, line_h);
    hint.layout = compute_hint_layout(w, k, lines, line_h, kHintTextMaxHeight);
    if (hint.layout.scroll) {
        k = hint.body_height(body_font, w - 34, line_h);
        hint.layout = compute_hint_layout(w, k, lines, line_h, kHintTextMaxHeight);
    }
    hint.scroll = scroll_hint_by(hint.scroll, 0, hint.layout.content_height, hint.layout.visible_body_height);
    const int row = cards ? static_cast<int>(SendMessageW(cards, LB_GETCURSEL, 0, 0)) : -1;
    place_entry_hint(hint.layout.width, hint.layout.total_height, row);
}

// The y of a hint level with a row of the cards list (-1: the list's top).
static int hint_y_for_row(const MainWindow& mw, int row) {
    RECT m{};
    GetWindowRect(mw.window, &m);
    RECT list{};
    GetWindowRect(mw.cards, &list);
    POINT list_top{list.left, list.top};
    ScreenToClient(mw.window, &list_top);
    RECT item{};
    int row_top = 0;
    if (row >= 0 && SendMessageW(mw.cards, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) !=
                        LB_ERR)
        row_top = item.top;
    return hint_row_y(m.top, list_top.y, row_top);
}

void MainWindow::place_entry_hint(int w, int h, int row) {
    if (!hint_popup || !window || !cards) return;
    RECT m{};
    GetWindowRect(window, &m);
    const POINT at = place_hint(m, work_area_of(window), hint_y_for_row(*this, row), w, h);
    // Under a view window or menu opened from it, the hint keeps its place
    // in the z-order (below them, see open_hinted_entry).
    SetWindowPos(hint_popup, HWND_TOPMOST, at.x, at.y, w, h, SWP_NOACTIVATE | (hint.busy ? SWP_NOZORDER : 0));
    // Shown without activation: the main window keeps the focus and stays active.
    ShowWindow(hint_popup, SW_SHOWNOACTIVATE);
    InvalidateRect(hint_popup, nullptr, TRUE);
    hint.shown = true;
    if (!hint.mouse_hook) install_mouse_hook();
}

void MainWindow::align_entry_hint(std::int64_t id) {
    if (!hint.shown || !hint_popup) return;
    const int row = model.row_of_key(id);
    if (row < 0) return;
    RECT r{};
    GetWindowRect(hint_popup, &r);
    const int y = align_hint_y(hint_y_for_row(*this, row), r.bottom - r.top, work_area_of(window));
    SetWindowPos(hint_popup, HWND_TOPMOST, r.left, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | (hint.busy ? SWP_NOZORDER : 0));
}

void MainWindow::hide_entry_hint() {
    // The selection it was hidden for: the row it showed, or the row the
    // program selected meanwhile (a new screenshot's).
    std::int64_t key = 0;
    if (hint.shown)
        hint.hidden_key = hint.hinted_key;
    else if (single_selected_key(cards, key))
        hint.hidden_key = key;
    take_down_hint();
}

void MainWindow::take_down_hint() {
    remove_mouse_hook();
    if (hint_popup && IsWindowVisible(hint_popup)) ShowWindow(hint_popup, SW_HIDE);
    hint.shown = false;
    // The preview stays in the cache; the hint lets go of it.
    hint.bitmap = nullptr;
    hint.bitmap_size = SIZE{};
}

void MainWindow::install_mouse_hook() {
    if (hint.mouse_hook) return;
    hint.mouse_hook.reset(SetWindowsHookExW(WH_MOUSE_LL, entry_hint_mouse_hook, GetModuleHandleW(nullptr), 0));
}

void MainWindow::remove_mouse_hook() { hint.mouse_hook.reset(); }

void MainWindow::scroll_entry_hint(int delta) {
    if (!hint.shown || !hint_popup) return;
    if (hint.layout.content_height <= hint.layout.visible_body_height) return;
    const int scroll =
        scroll_hint_by(hint.scroll, delta, hint.layout.content_height, hint.layout.visible_body_height);
    if (scroll == hint.scroll) return;
    hint.scroll = scroll;
    InvalidateRect(hint_popup, nullptr, FALSE);
    UpdateWindow(hint_popup);
}

bool MainWindow::hint_url_hit(POINT client) const {
    return !hint.address.empty() && PtInRect(&hint.address_rect, client);
}

bool MainWindow::hint_view_button_hit(POINT client) const {
    return !IsRectEmpty(&hint.view_button_rect) && PtInRect(&hint.view_button_rect, client);
}

void MainWindow::open_hinted_entry() {
    if (hint.hinted_key <= 0) return;
    const HistoryEntry* listed = model.find_entry(hint.hinted_key);
    if (!listed) return;
    // A copy: the view window's loop may rebuild the list under it. The
    // whole text: the listed entry may hold only its start, or none yet.
    std::optional<HistoryEntry> whole = whole_entry_or_tell(app ? app->database.get() : nullptr, *listed, false, window);
    if (!whole) return;
    const HistoryEntry& entry = *whole;
    hint.busy = true;
    // The hint stays, under the view window: out of the top-most band while
    // the window runs.
    SetWindowPos(hint_popup, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    show_view_dialog(this, entry);
    hint.busy = false;
    if (hint.shown && hint_popup)
        SetWindowPos(hint_popup, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MainWindow::choose_hint_address(POINT screen) {
    const std::wstring address = hint.address;
    const std::vector<PopupMenuItem> items = address_menu_items(address);
    hint.busy = true;
    const std::uint64_t choice = PopupMenu::track_at(window, screen.x, screen.y, items, dark);
    hint.busy = false;
    run_address_choice(choice, address);
}

// ---- painting --------------------------------------------------------------------------------

void EntryHint::paint(MainWindow& owner, HDC dc, const RECT& r) {
    EntryHint& h = owner.hint;
    h.tools.make(owner.dark);
    const EntryHintColors& c = entry_hint_colors(owner.dark);
    {
        raii::SelectGuard pen(dc, GetStockObject(NULL_PEN));
        raii::SelectGuard brush(dc, h.tools.panel.get());
        RoundRect(dc, r.left, r.top, r.right, r.bottom, 8, 8);
    }
    {
        raii::SelectGuard pen(dc, h.tools.border.get());
        raii::SelectGuard brush(dc, GetStockObject(NULL_BRUSH));
        RoundRect(dc, r.left, r.top, r.right - 1, r.bottom - 1, 8, 8);
    }
    const RECT inner{r.left + 12, r.top + 8, r.right - 12, r.bottom - 8};
    raii::SelectGuard font(dc, owner.hint_font());
    SetBkMode(dc, TRANSPARENT);
    const int tm = font_height(dc);
    const int line_h = std::max(tm, 12) + 8;
    const bool with_bitmap = h.bitmap != nullptr;

    HintLayout l = h.layout;
    if (l.total_height <= 0 || l.width != r.right - r.left) {
        const int width = r.right - r.left;
        l = compute_hint_layout(width, line_h, h.layout.meta_line_count, line_h,
                                with_bitmap ? kHintImageMaxHeight : kHintTextMaxHeight);
        if (!with_bitmap) {
            const int k = h.body_height(owner.hint_font(), width > 24 ? width - 24 : 1, line_h);
            l = compute_hint_layout(width, k, h.layout.meta_line_count, line_h, kHintTextMaxHeight);
        }
    }

    const int clip_right = l.scroll ? inner.right - 10 : inner.right;
    const int y0 = l.body_top - h.scroll;
    {
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, inner.left, l.body_top, clip_right, l.body_bottom);
        if (with_bitmap) {
            RECT area{inner.left, y0, clip_right, y0 + l.content_height};
            FillRect(dc, &area, h.tools.panel.get());
            raii::MemoryDC src(CreateCompatibleDC(dc));
            if (src) {
                raii::SelectGuard picture(src.get(), h.bitmap);
                const int x = std::max<int>(inner.left + ((clip_right - inner.left) - h.bitmap_size.cx) / 2, inner.left);
                StretchBlt(dc, x, y0, h.bitmap_size.cx, h.bitmap_size.cy, src.get(), 0, 0, h.bitmap_size.cx,
                           h.bitmap_size.cy, SRCCOPY);
            }
        } else {
            // Only the lines in sight are drawn.
            SetTextColor(dc, c.body_text);
            SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
            const HFONT font = owner.hint_font();
            const std::vector<TextLine>& lines = h.body_lines(font, clip_right - inner.left);
            CharWidths& widths = h.widths.of(font);
            const int lh = h.widths.line_height(font);
            for (std::size_t i = static_cast<std::size_t>(std::max(h.scroll / lh, 0)); i < lines.size(); ++i) {
                const int y = y0 + static_cast<int>(i) * lh;
                if (y >= l.body_bottom) break;
                draw_text_line_part(dc, h.body, lines[i], lines[i].start, lines[i].start + lines[i].length, inner.left,
                                    y, widths);
            }
        }
        RestoreDC(dc, saved);
    }
    h.view_button_rect = RECT{};

    if (with_bitmap) {
        const std::wstring label = tr(L"action.view");
        const int label_w = measure_text_width(dc, label);
        const RECT b = hint_view_button_rect(label_w, tm, l.body_top, l.body_bottom, inner.left, clip_right);
        if (!IsRectEmpty(&b)) {
            h.view_button_rect = b;
            raii::SelectGuard pen(dc, h.tools.button_border.get());
            raii::SelectGuard brush(dc, h.tools.button_fill.get());
            RoundRect(dc, b.left, b.top, b.right, b.bottom, 4, 4);
            SetTextColor(dc, c.body_text);
            RECT t = b;
            DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &t,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
    }

    auto draw_rule = [&] {
        raii::SelectGuard pen(dc, h.tools.rule.get());
        MoveToEx(dc, inner.left, l.separator_y, nullptr);
        LineTo(dc, clip_right, l.separator_y);
    };
    draw_rule();
    RECT below{inner.left, l.separator_y, inner.right, r.bottom - 8};
    FillRect(dc, &below, h.tools.panel.get());
    draw_rule();
    h.address_rect = RECT{};

    SetTextColor(dc, c.meta_text);
    const std::wstring url_label = tr(L"card.url");
    int y = l.separator_y + 6;
    size_t start = 0;
    while (start <= h.meta.size()) {
        size_t end = h.meta.find(L'\n', start);
        if (end == std::wstring::npos) end = h.meta.size();
        const std::wstring line = h.meta.substr(start, end - start);
        RECT lr{inner.left, y, clip_right, y + line_h};
        DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &lr,
                  DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE);
        if (!h.address.empty() && !url_label.empty() && line.compare(0, url_label.size(), url_label) == 0)
            h.address_rect = RECT{inner.left, y, clip_right, y + line_h};
        y += line_h + 4;
        if (end >= h.meta.size()) break;
        start = end + 1;
    }

    if (l.scroll) {
        const int u = l.body_bottom - l.body_top - 4;
        RECT track{inner.right - 8, l.body_top + 2, inner.right - 2, l.body_top + 2 + u};
        FillRect(dc, &track, h.tools.track.get());
        const ScrollThumb t = hint_scroll_thumb(l.body_top + 2, u, l.visible_body_height, l.content_height, h.scroll);
        RECT thumb{inner.right - 8, t.top, inner.right - 2, t.top + t.height};
        FillRect(dc, &thumb, h.tools.thumb.get());
    }
}

// ---- the popup and the hook -------------------------------------------------------------------

namespace {

LRESULT on_hint_paint(MainWindow& mw, HWND popup) {
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(popup, &ps);
    if (!dc) return 0;
    RECT rc{};
    GetClientRect(popup, &rc);
    raii::MemoryDC mem(CreateCompatibleDC(dc));
    raii::Bitmap back(mem ? CreateCompatibleBitmap(dc, std::max<int>(rc.right, 1), std::max<int>(rc.bottom, 1))
                          : nullptr);
    if (mem && back) {
        raii::SelectGuard sel(mem.get(), back.get());
        EntryHint::paint(mw, mem.get(), rc);
        BitBlt(dc, 0, 0, rc.right, rc.bottom, mem.get(), 0, 0, SRCCOPY);
    } else {
        EntryHint::paint(mw, dc, rc);
    }
    EndPaint(popup, &ps);
    return 0;
}

LRESULT on_hint_set_cursor(MainWindow& mw, HWND popup, WPARAM wp, LPARAM lp) {
    POINT pt{};
    GetCursorPos(&pt);
    ScreenToClient(popup, &pt);
    if (mw.hint_url_hit(pt) || mw.hint_view_button_hit(pt)) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return 1;
    }
    return DefSubclassProc(popup, WM_SETCURSOR, wp, lp);
}

// The hint's two clickable parts, as kept in kHintPressedProp.
enum HintPart : INT_PTR { kHintNoPart = 0, kHintViewButton = 1, kHintAddress = 2 };
constexpr const wchar_t* kHintPressedProp = L"QuilletHintPressed";

HintPart hint_part_at(MainWindow& mw, POINT pt) {
    if (mw.hint_view_button_hit(pt)) return kHintViewButton;
    if (mw.hint_url_hit(pt)) return kHintAddress;
    return kHintNoPart;
}

// A part acts on the release of a press on that same part (the popup holds
// the capture meanwhile); a release whose press went elsewhere does nothing.
LRESULT on_hint_left_down(MainWindow& mw, HWND popup, WPARAM wp, LPARAM lp) {
    const HintPart part = hint_part_at(mw, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
    if (part == kHintNoPart) {
        RemovePropW(popup, kHintPressedProp);
        return DefSubclassProc(popup, WM_LBUTTONDOWN, wp, lp);
    }
    SetPropW(popup, kHintPressedProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(part)));
    SetCapture(popup);
    return 0;
}

LRESULT on_hint_left_up(MainWindow& mw, HWND popup, WPARAM wp, LPARAM lp) {
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    const auto pressed = static_cast<HintPart>(reinterpret_cast<INT_PTR>(RemovePropW(popup, kHintPressedProp)));
    const bool captured = GetCapture() == popup;
    if (captured) ReleaseCapture();
    const HintPart part = captured ? hint_part_at(mw, pt) : kHintNoPart;
    if (part == kHintNoPart || part != pressed) return DefSubclassProc(popup, WM_LBUTTONUP, wp, lp);
    if (part == kHintViewButton) {
        mw.open_hinted_entry();
        return 0;
    }
    POINT screen = pt;
    ClientToScreen(popup, &screen);
    mw.choose_hint_address(screen);
    return 0;
}

LRESULT on_hint_wheel(MainWindow& mw, WPARAM wp) {
    const WheelStep step = wheel_step(mw.hint.wheel_remainder, GET_WHEEL_DELTA_WPARAM(wp));
    mw.hint.wheel_remainder = step.remainder;
    if (step.notches != 0) mw.scroll_entry_hint(-10 * step.notches);
    return 0;
}

}  // namespace

LRESULT CALLBACK entry_hint_subclass_proc(HWND popup, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
    auto* mw = reinterpret_cast<MainWindow*>(ref);
    if (!mw) return DefSubclassProc(popup, msg, wp, lp);
    switch (msg) {
        case WM_PAINT: return on_hint_paint(*mw, popup);
        case WM_PRINTCLIENT: {
            RECT rc{};
            GetClientRect(popup, &rc);
            EntryHint::paint(*mw, reinterpret_cast<HDC>(wp), rc);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
        case WM_SETCURSOR: return on_hint_set_cursor(*mw, popup, wp, lp);
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: return on_hint_left_down(*mw, popup, wp, lp);
        case WM_LBUTTONUP: return on_hint_left_up(*mw, popup, wp, lp);
        case WM_MOUSEWHEEL: return on_hint_wheel(*mw, wp);
        case WM_NCDESTROY:
            RemovePropW(popup, kHintPressedProp);
            RemoveWindowSubclass(popup, entry_hint_subclass_proc, id);
            return DefSubclassProc(popup, msg, wp, lp);
        default: return DefSubclassProc(popup, msg, wp, lp);
    }
}

bool hint_hides_on_press(POINT screen, HWND hint, HWND main_window, bool busy) {
    if (busy || !hint) return false;
    RECT r{};
    if (GetWindowRect(hint, &r) && PtInRect(&r, screen)) return false;
    HWND under = WindowFromPoint(screen);
    if (!under) return true;
    // A child control of the main window counts as the main window.
    HWND root = GetAncestor(under, GA_ROOT);
    if (root == main_window || root == hint) return false;
    // So does any other window of this program (its menus and boxes).
    DWORD pid = 0;
    GetWindowThreadProcessId(under, &pid);
    return pid != GetCurrentProcessId();
}

LRESULT CALLBACK entry_hint_mouse_hook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && (wp == WM_LBUTTONDOWN || wp == WM_RBUTTONDOWN || wp == WM_MBUTTONDOWN) && g_app &&
        g_app->main_window) {
        MainWindow& mw = *g_app->main_window;
        const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(lp);
        if (mw.hint.shown && hint_hides_on_press(info->pt, mw.hint_popup, mw.window, mw.hint.busy)) {
            mw.hide_entry_hint();
            // The hook is gone now; the event still goes on.
            return CallNextHookEx(nullptr, code, wp, lp);
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}
