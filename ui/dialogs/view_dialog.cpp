// The entry view window: the pure zoom and pan arithmetic, the window
// procedure and the modal run.
#include "ui/dialogs/view_dialog.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "app/app.h"
#include "capture/image.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/winutil.h"
#include "store/database.h"
#include "theme/controls.h"
#include "theme/dark_mode.h"
#include "theme/fonts.h"
#include "theme/geometry.h"
#include "ui/child_focus.h"
#include "ui/dialogs/dialog_loop.h"
#include "ui/dialogs/text_view.h"
#include "ui/main_window.h"
#include "ui/modal_loop.h"
#include "ui/whole_text.h"

// --- geometry and zoom --------------------------------------------------------------

RECT view_image_area(const RECT& client) {
    RECT area{client.left + 10, client.top + 10, client.right - 10, client.bottom - 118};
    area.right = std::max(area.right, area.left);
    area.bottom = std::max(area.bottom, area.top);
    return area;
}

ViewBandLayout view_band_layout(const RECT& client, int text_height) {
    const int client_height = static_cast<int>(client.bottom - client.top);
    const int most = std::max(kViewBandMinHeight, (client_height - 48) / 2);
    const int h = std::clamp(text_height, kViewBandMinHeight, most);
    ViewBandLayout l{};
    l.band = RECT{client.left + 14, client.bottom - 48 - h, client.right - 112, client.bottom - 48};
    l.image_area = RECT{client.left + 10, client.top + 10, client.right - 10, l.band.top - 8};
    l.image_area.right = std::max(l.image_area.right, l.image_area.left);
    l.image_area.bottom = std::max(l.image_area.bottom, l.image_area.top);
    return l;
}

namespace {

constexpr UINT kBandWrapped = DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS | DT_NOPREFIX;
constexpr UINT kBandLine = DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX;
constexpr int kBandHeadLines = 6;

void split_last_line(const std::wstring& info, std::wstring& head, std::wstring& tail) {
    const size_t lf = info.rfind(L'\n');
    if (lf == std::wstring::npos) {
        head.clear();
        tail = info;
        return;
    }
    head = info.substr(0, lf);
    tail = info.substr(lf + 1);
}

int font_line_height(HDC dc) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    return static_cast<int>(tm.tmHeight);
}

int wrapped_height(HDC dc, const std::wstring& text, int width) {
    if (text.empty()) return 0;
    RECT r{0, 0, std::max(width, 1), 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, kBandWrapped | DT_CALCRECT);
    return static_cast<int>(r.bottom - r.top);
}

}  // namespace

int view_band_text_height(HDC dc, const std::wstring& info, int width) {
    std::wstring head, tail;
    split_last_line(info, head, tail);
    const int line = font_line_height(dc);
    return std::min(wrapped_height(dc, head, width), kBandHeadLines * line) + line;
}

void draw_view_band_text(HDC dc, const std::wstring& info, const RECT& band) {
    std::wstring head, tail;
    split_last_line(info, head, tail);
    const int line = font_line_height(dc);
    const int room = std::max<int>(static_cast<int>(band.bottom - band.top) - line, 0);
    const int head_height = std::min(wrapped_height(dc, head, static_cast<int>(band.right - band.left)), room);
    RECT head_box{band.left, band.top, band.right, band.top + head_height};
    if (head_height > 0) DrawTextW(dc, head.c_str(), static_cast<int>(head.size()), &head_box, kBandWrapped);
    RECT tail_box{band.left, head_box.bottom, band.right, head_box.bottom + line};
    DrawTextW(dc, tail.c_str(), static_cast<int>(tail.size()), &tail_box, kBandLine);
}

int view_button_width(int caption_width) { return std::max(100, caption_width + 24); }

float view_wheel_zoom(float zoom, int wheel_delta) {
    const double z = static_cast<double>(zoom) * std::pow(1.15, static_cast<double>(wheel_delta) / 120.0);
    return static_cast<float>(std::clamp(z, static_cast<double>(kViewMinZoom), static_cast<double>(kViewMaxZoom)));
}

SIZE view_zoomed_size(int fit_width, int fit_height, float zoom) {
    const auto side = [zoom](int fit) {
        const double v = static_cast<double>(fit) * static_cast<double>(zoom);
        return v < 1.0 ? 1 : static_cast<int>(std::min(v, 1.0e9));
    };
    return SIZE{side(fit_width), side(fit_height)};
}

int view_clamp_pan(int pan, int zoomed, int area) {
    if (zoomed <= area) return 0;
    const int limit = (zoomed - area) / 2;
    return std::clamp(pan, -limit, limit);
}

bool view_oversized(SIZE zoomed, const RECT& area) {
    return zoomed.cx > area.right - area.left || zoomed.cy > area.bottom - area.top;
}

RECT view_picture_rect(const RECT& area, SIZE zoomed, int pan_x, int pan_y) {
    const int cx = area.left + (area.right - area.left) / 2 + pan_x;
    const int cy = area.top + (area.bottom - area.top) / 2 + pan_y;
    const int left = cx - zoomed.cx / 2;
    const int top = cy - zoomed.cy / 2;
    return RECT{left, top, left + zoomed.cx, top + zoomed.cy};
}

std::wstring view_time_text(const std::wstring& created_at) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    swscanf(created_at.c_str(), L"%d-%d-%dT%d:%d", &year, &month, &day, &hour, &minute);
    if (year == 0) return created_at;
    wchar_t buf[64] = {};
    swprintf(buf, 64, L"%02d.%02d.%04d %02d:%02d", day, month, year, hour, minute);
    return buf;
}

std::wstring view_info_text(const HistoryEntry& entry) {
    std::wstring app = entry.source_app.empty() ? std::wstring(L"\u2014") : winutil::app_display_name(entry.source_app);
    if (app.empty()) app = L"\u2014";
    std::wstring out = tr(L"card.app") + app;
    if (entry.is_browser_page) {
        if (!entry.source_title.empty()) out += L"\n" + tr(L"card.page") + entry.source_title;
        if (!entry.source_url.empty()) out += L"\n" + tr(L"card.url") + entry.source_url;
    }
    out += L"\n" + tr(L"card.created") + view_time_text(entry.created_at);
    return out;
}

RECT ViewDialog::content_rect(HWND window) const {
    RECT client{};
    GetClientRect(window, &client);
    return view_band_layout(client, band_text_height).image_area;
}

// --- the window -----------------------------------------------------------------------

namespace {

constexpr COLORREF kBackground[2] = {0xF3F3F3, 0x202020};
constexpr COLORREF kEditBackground[2] = {0xFFFFFF, 0x2B2B2B};
constexpr COLORREF kText[2] = {0x141414, 0xF2F2F2};

ViewDialog* state_of(HWND window) { return reinterpret_cast<ViewDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

// The caption's width in the font.
int caption_width(HWND window, HFONT font, const std::wstring& caption) {
    HDC dc = GetDC(window);
    if (!dc) return 0;
    SIZE size{};
    {
        raii::SelectGuard use_font(dc, font);
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
    }
    ReleaseDC(window, dc);
    return static_cast<int>(size.cx);
}

// The band's text measured again for the window's width.
void measure_band(ViewDialog& d, HWND window, HFONT font) {
    RECT client{};
    GetClientRect(window, &client);
    const RECT band = view_band_layout(client, kViewBandMinHeight).band;
    HDC dc = GetDC(window);
    if (!dc) return;
    {
        raii::SelectGuard use_font(dc, font);
        d.band_text_height = view_band_text_height(dc, d.info, static_cast<int>(band.right - band.left));
    }
    ReleaseDC(window, dc);
}

// The band's buttons from the right: close 12 from the edge, fit 12 left of it.
void place_buttons(const ViewDialog& d, const RECT& client) {
    int right = client.right - 12;
    for (HWND b : {d.close_button, d.fit_button}) {
        if (!b) continue;
        RECT rc{};
        GetWindowRect(b, &rc);
        const int w = static_cast<int>(rc.right - rc.left);
        SetWindowPos(b, nullptr, right - w, client.bottom - 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        right -= w + 12;
    }
}

HWND make_button(HWND parent, const std::wstring& caption, int id, int x, int y, HFONT font, bool dark) {
    const int width = view_button_width(caption_width(parent, font, caption));
    HWND b = CreateWindowExW(0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x, y,
                             width, 28, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    if (b && font) SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    theme_button(b, dark, false);
    return b;
}

void refit(ViewDialog& d, HWND window) {
    const RECT area = d.content_rect(window);
    const FittedSize fit =
        fit_size(d.image_width, d.image_height, area.right - area.left, area.bottom - area.top);
    d.fit_width = fit.width;
    d.fit_height = fit.height;
}

SIZE zoomed_of(const ViewDialog& d) { return view_zoomed_size(d.fit_width, d.fit_height, d.zoom); }

void repaint_area(const ViewDialog& d, HWND window) {
    const RECT area = d.content_rect(window);
    InvalidateRect(window, &area, FALSE);
}

// Pans limited again for the current zoom and area; true when they changed.
bool limit_pan(ViewDialog& d, HWND window, int pan_x, int pan_y) {
    const RECT area = d.content_rect(window);
    const SIZE z = zoomed_of(d);
    const int x = view_clamp_pan(pan_x, z.cx, area.right - area.left);
    const int y = view_clamp_pan(pan_y, z.cy, area.bottom - area.top);
    const bool changed = x != d.pan_x || y != d.pan_y;
    d.pan_x = x;
    d.pan_y = y;
    return changed;
}

LRESULT on_create(HWND window, LPARAM lparam) {
    auto* d = static_cast<ViewDialog*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    if (!d) return -1;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(d));
    d->background_brush.reset(CreateSolidBrush(kBackground[d->dark]));
    d->edit_brush.reset(CreateSolidBrush(kEditBackground[d->dark]));
    HFONT font = d->font ? d->font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    RECT client{};
    GetClientRect(window, &client);
    measure_band(*d, window, font);
    if (d->is_image) {
        // A picture smaller than 1600 x 1200 keeps its own size: it is never
        // scaled up, so a small image opens at its size.
        d->bitmap.reset(winutil::image_thumbnail(d->image_bytes, 1600, 1200, false));
        BITMAP bm{};
        if (d->bitmap && GetObjectW(d->bitmap.get(), sizeof(bm), &bm)) {
            d->image_width = std::max<int>(bm.bmWidth, 1);
            d->image_height = std::max<int>(bm.bmHeight, 1);
        }
        refit(*d, window);
        d->fit_button = make_button(window, tr(L"view.fit"), kViewFitId, client.right - 224, client.bottom - 40, font,
                                    d->dark);
    }
    d->close_button = make_button(window, tr(L"action.close"), kViewCloseId, client.right - 112, client.bottom - 40,
                                  font, d->dark);
    place_buttons(*d, client);
    if (!d->is_image) {
        const RECT area = d->content_rect(window);
        // Not an edit box: it wraps a long paragraph in a time that grows
        // faster than the paragraph.
        d->text_edit = create_text_view(window, d->text.c_str(), area.left, area.top, area.right - area.left,
                                        area.bottom - area.top, font);
        if (d->text_edit) {
            theme_child_colors(d->text_edit, d->dark);
            theme_framed_control(d->text_edit, d->dark);
            SetFocus(d->text_edit);
        }
    }
    return 0;
}

LRESULT on_size(ViewDialog& d, HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    measure_band(d, window, d.font ? d.font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    const RECT area = d.content_rect(window);
    if (d.is_image) {
        refit(d, window);
        d.zoom = 1.0f;
        d.pan_x = d.pan_y = 0;
    } else if (d.text_edit) {
        MoveWindow(d.text_edit, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    }
    place_buttons(d, client);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

void draw_picture(const ViewDialog& d, HDC dc, const RECT& area) {
    FillRect(dc, &area, d.background_brush.get());
    if (!d.bitmap) return;
    const RECT to = view_picture_rect(area, zoomed_of(d), d.pan_x, d.pan_y);
    raii::MemoryDC src(CreateCompatibleDC(dc));
    if (!src) return;
    raii::SelectGuard picture(src.get(), d.bitmap.get());
    // The picture stays inside its area, off the band below.
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, to.left, to.top, to.right - to.left, to.bottom - to.top, src.get(), 0, 0, d.image_width,
               d.image_height, SRCCOPY);
    RestoreDC(dc, saved);
}

void draw_view(const ViewDialog& d, HDC dc, const RECT& client) {
    FillRect(dc, &client, d.background_brush.get());
    HFONT font = d.font ? d.font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    raii::SelectGuard selected(dc, font);
    SetTextColor(dc, kText[d.dark]);
    SetBkMode(dc, TRANSPARENT);
    const ViewBandLayout l = view_band_layout(client, d.band_text_height);
    draw_view_band_text(dc, d.info, l.band);
    if (d.is_image) draw_picture(d, dc, l.image_area);
}

LRESULT on_paint(ViewDialog& d, HWND window) {
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return 0;
    RECT client{};
    GetClientRect(window, &client);
    if (d.is_image) {
        // Double-buffered: the whole client drawn into memory, then copied.
        const int w = std::max<int>(client.right, 1);
        const int h = std::max<int>(client.bottom, 1);
        raii::MemoryDC mem(CreateCompatibleDC(dc));
        raii::Bitmap back(mem ? CreateCompatibleBitmap(dc, w, h) : nullptr);
        if (mem && back) {
            {
                raii::SelectGuard sel(mem.get(), back.get());
                draw_view(d, mem.get(), client);
                BitBlt(dc, 0, 0, w, h, mem.get(), 0, 0, SRCCOPY);
            }
            EndPaint(window, &ps);
            return 0;
        }
    }
    draw_view(d, dc, client);
    EndPaint(window, &ps);
    return 0;
}

LRESULT on_mouse_wheel(ViewDialog& d, HWND window, WPARAM wparam, LPARAM lparam) {
    if (!d.is_image) return DefWindowProcW(window, WM_MOUSEWHEEL, wparam, lparam);
    const float zoom = view_wheel_zoom(d.zoom, GET_WHEEL_DELTA_WPARAM(wparam));
    if (std::fabs(zoom - d.zoom) >= 0.0005f) {
        d.zoom = zoom;
        limit_pan(d, window, d.pan_x, d.pan_y);
        repaint_area(d, window);
    }
    return 0;
}

LRESULT on_left_down(ViewDialog& d, HWND window, WPARAM wparam, LPARAM lparam) {
    const POINT pt{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    const RECT area = d.content_rect(window);
    if (d.is_image && PtInRect(&area, pt) && view_oversized(zoomed_of(d), area)) {
        d.dragging = true;
        d.drag_start_x = pt.x;
        d.drag_start_y = pt.y;
        d.drag_start_pan = POINT{d.pan_x, d.pan_y};
        SetCapture(window);
        SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
        return 0;
    }
    return DefWindowProcW(window, WM_LBUTTONDOWN, wparam, lparam);
}

LRESULT on_mouse_move(ViewDialog& d, HWND window, WPARAM wparam, LPARAM lparam) {
    if (!d.dragging) return DefWindowProcW(window, WM_MOUSEMOVE, wparam, lparam);
    const int x = d.drag_start_pan.x + (GET_X_LPARAM(lparam) - d.drag_start_x);
    const int y = d.drag_start_pan.y + (GET_Y_LPARAM(lparam) - d.drag_start_y);
    if (limit_pan(d, window, x, y)) repaint_area(d, window);
    return 0;
}

LRESULT on_left_up(ViewDialog& d, HWND window, WPARAM wparam, LPARAM lparam) {
    if (!d.dragging) return DefWindowProcW(window, WM_LBUTTONUP, wparam, lparam);
    d.dragging = false;
    ReleaseCapture();
    return 0;
}

LRESULT on_capture_changed(ViewDialog& d) {
    d.dragging = false;
    return 0;
}

LRESULT on_set_cursor(ViewDialog& d, HWND window, WPARAM wparam, LPARAM lparam) {
    if (d.is_image && LOWORD(lparam) == HTCLIENT) {
        POINT pt{};
        GetCursorPos(&pt);
        ScreenToClient(window, &pt);
        const RECT area = d.content_rect(window);
        if (PtInRect(&area, pt) && view_oversized(zoomed_of(d), area)) {
            SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
            return TRUE;
        }
    }
    return DefWindowProcW(window, WM_SETCURSOR, wparam, lparam);
}

LRESULT on_command(ViewDialog& d, HWND window, WPARAM wparam) {
    switch (LOWORD(wparam)) {
        case kViewFitId:
            d.zoom = 1.0f;
            d.pan_x = d.pan_y = 0;
            repaint_area(d, window);
            return 0;
        case kViewCloseId: DestroyWindow(window); return 0;
        default: return 0;
    }
}

// The keyboard goes back to the control that had it when the window was
// left, else to the text (an image keeps it on the window itself).
LRESULT on_activate(ViewDialog& d, HWND window, WPARAM wparam, LPARAM lparam) {
    return keep_child_focus_on_activate(window, wparam, lparam, d.last_focus, d.text_edit);
}

// The window itself was given the keyboard: it hands it on.
LRESULT on_set_focus(ViewDialog& d, HWND window) {
    if (HWND target = child_focus_target(window, d.last_focus, d.text_edit)) SetFocus(target);
    return 0;
}

LRESULT on_erase_background(ViewDialog& d, HWND window, HDC dc) {
    RECT client{};
    GetClientRect(window, &client);
    FillRect(dc, &client, d.background_brush.get());
    return 1;
}

LRESULT on_ctl_color(ViewDialog& d, UINT message, HDC dc) {
    SetTextColor(dc, kText[d.dark]);
    SetBkMode(dc, TRANSPARENT);
    // The buttons' colour is that of the edit: one brush serves both.
    if (message == WM_CTLCOLORSTATIC) {
        SetBkColor(dc, kBackground[d.dark]);
        return reinterpret_cast<LRESULT>(d.background_brush.get());
    }
    SetBkColor(dc, kEditBackground[d.dark]);
    return reinterpret_cast<LRESULT>(d.edit_brush.get());
}

LRESULT on_destroy(ViewDialog& d) {
    d.bitmap.reset();
    d.dragging = false;
    return 0;
}

LRESULT on_nc_destroy(ViewDialog& d, HWND window, WPARAM wparam, LPARAM lparam) {
    // The children are gone now: their brushes and font can go too.
    d.background_brush.reset();
    d.edit_brush.reset();
    d.font.reset();
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return DefWindowProcW(window, WM_NCDESTROY, wparam, lparam);
}

bool register_view_class() {
    static const bool registered = winutil::register_window_class(kViewDialogClass, view_dialog_wnd_proc);
    return registered;
}

}  // namespace

LRESULT CALLBACK view_dialog_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CREATE) return on_create(window, lparam);
    ViewDialog* d = state_of(window);
    if (!d) return DefWindowProcW(window, message, wparam, lparam);
    switch (message) {
        case WM_SIZE: return on_size(*d, window);
        case WM_PAINT: return on_paint(*d, window);
        case WM_ERASEBKGND: return on_erase_background(*d, window, reinterpret_cast<HDC>(wparam));
        case WM_MOUSEWHEEL: return on_mouse_wheel(*d, window, wparam, lparam);
        case WM_LBUTTONDOWN: return on_left_down(*d, window, wparam, lparam);
        case WM_MOUSEMOVE: return on_mouse_move(*d, window, wparam, lparam);
        case WM_LBUTTONUP: return on_left_up(*d, window, wparam, lparam);
        case WM_CAPTURECHANGED: return on_capture_changed(*d);
        case WM_SETCURSOR: return on_set_cursor(*d, window, wparam, lparam);
        case WM_COMMAND: return on_command(*d, window, wparam);
        case WM_ACTIVATE: return on_activate(*d, window, wparam, lparam);
        case WM_SETFOCUS: return on_set_focus(*d, window);
        case WM_CLOSE: DestroyWindow(window); return 0;
        case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: return on_ctl_color(*d, message, reinterpret_cast<HDC>(wparam));
        case WM_DESTROY: return on_destroy(*d);
        case WM_NCDESTROY: return on_nc_destroy(*d, window, wparam, lparam);
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

bool show_view_dialog(MainWindow* main_window, const HistoryEntry& entry) {
    if (!main_window || !main_window->window || !IsWindow(main_window->window)) return false;
    if (!register_view_class()) return false;
    HWND owner = main_window->window;
    App* app = main_window->app;

    // Everything shown is copied here: the loop below dispatches timers, and
    // a refresh of the main window's list may replace the caller's record.
    ViewDialog d;
    d.main_window = main_window;
    d.dark = app && app->settings && app->settings->dark_mode;
    d.font = create_ui_font(main_window->font_size, 400);
    // What the window shows is whole: the text, and an image's bytes. A
    // record that cannot be read so (its row gone, the store unreadable) is
    // refused as any other use of it is, the user told, and no window opens.
    std::optional<HistoryEntry> whole =
        whole_entry_or_tell(app ? app->database.get() : nullptr, entry, entry.is_image, owner);
    if (!whole) return false;
    HistoryEntry& copy = *whole;
    d.text = std::move(copy.text);
    d.is_image = copy.is_image && !copy.image.empty();
    d.image_bytes = std::move(copy.image);
    d.info = view_info_text(entry);

    HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, kViewDialogClass, tr(L"view.title").c_str(),
                                  WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN, 0, 0, 640, 480, owner,
                                  nullptr, GetModuleHandleW(nullptr), &d);
    if (!dialog) return false;
    apply_dark_title_bar(dialog, d.dark);
    apply_round_corners(dialog);
    center_window(dialog, owner);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);

    // The window never outlives the record it points at.
    // Esc closes it, as it closes the other secondary windows.
    run_modal_window(dialog, owner, [dialog](MSG& msg) { return answer_dialog_key(dialog, msg); });
    return true;
}
