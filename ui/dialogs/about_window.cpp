#include "ui/dialogs/about_window.h"

#include <windowsx.h>
#include <shellapi.h>

#include <utility>

#include "app/app.h"
#include "app/help.h"
#include "app/web_addresses.h"
#include "core/i18n.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/winutil.h"
#include "resources/version.h"
#include "theme/controls.h"
#include "theme/dark_mode.h"
#include "theme/fonts.h"
#include "theme/geometry.h"
#include "theme/paint_scope.h"
#include "theme/painters.h"
#include "ui/dialogs/dialog_loop.h"

namespace {

constexpr int kClientWidth = 600;
constexpr int kCloseId = 1;
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr wchar_t kProductName[] = L"Quillet";

struct AboutColors {
    COLORREF background, text, muted, link, link_hover;
};
constexpr AboutColors kLight{0xF3F3F3, 0x141414, 0x606060, 0xCC6600, 0xE07A0A};
constexpr AboutColors kDark{0x202020, 0xF2F2F2, 0xC7C7C7, 0xFFC24C, 0xFFD47F};

const AboutColors& colors(bool dark) { return dark ? kDark : kLight; }

HINSTANCE module() { return GetModuleHandleW(nullptr); }

AboutWindow* record_of(HWND window) {
    return reinterpret_cast<AboutWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool register_about_class() {
    static const bool ok = winutil::register_window_class(kAboutWindowClass, about_wnd_proc);
    return ok;
}

struct AboutFonts {
    HFONT title, text, small, link;
};

// Height of the text in the font: one line, or wrapped to the width.
SIZE measure(HDC dc, HFONT font, const std::wstring& text, int width, bool wrap) {
    raii::SelectGuard use(dc, font);
    RECT rc{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc,
              DT_CALCRECT | DT_NOPREFIX | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

AboutMeasures measure_about(HDC dc, const AboutFonts& f, const AboutWindow& r, int client_width) {
    const int w = client_width - 48;
    AboutMeasures m;
    m.title = measure(dc, f.title, kProductName, w, false).cy;
    m.version = measure(dc, f.small, r.version_line, w, false).cy;
    m.description = measure(dc, f.text, r.text, w, true).cy;
    m.consent = measure(dc, f.small, r.consent, w, true).cy;
    const SIZE licence = measure(dc, f.link, r.licence_text, w, false);
    const SIZE site = measure(dc, f.link, r.site_text, w, false);
    m.licence = licence.cy;
    m.licence_width = licence.cx;
    m.site = site.cy;
    m.site_width = site.cx;
    return m;
}

AboutLayout layout_with(const AboutFonts& fonts, const AboutWindow& r, int client_width) {
    raii::WindowDC screen(nullptr);
    if (!screen) return about_layout(client_width, AboutMeasures{});
    return about_layout(client_width, measure_about(screen.get(), fonts, r, client_width));
}

AboutFonts fonts_of(const AboutWindow& r) {
    return AboutFonts{r.title_font.get(), r.text_font.get(), r.small_font.get(), r.link_font.get()};
}

void place_close_button(const AboutWindow& r) {
    const RECT& b = r.layout.close_button;
    if (r.close_button)
        SetWindowPos(r.close_button, nullptr, b.left, b.top, b.right - b.left, b.bottom - b.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

int link_at(const AboutWindow& r, POINT pt) {
    if (PtInRect(&r.layout.licence_link, pt)) return 1;
    if (PtInRect(&r.layout.site_link, pt)) return 2;
    return 0;
}

void set_hovered(HWND window, AboutWindow& r, int link) {
    if (r.hovered_link == link) return;
    r.hovered_link = link;
    InvalidateRect(window, &r.layout.licence_link, TRUE);
    InvalidateRect(window, &r.layout.site_link, TRUE);
}

// ---- handlers -------------------------------------------------------------------

LRESULT on_create(HWND window, LPARAM lp) {
    auto* r = static_cast<AboutWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    if (!r) return -1;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(r));
    r->title_font = create_ui_font(18, 600);
    r->text_font = create_ui_font(12, FW_NORMAL);
    r->small_font = create_ui_font(11, FW_NORMAL);
    r->link_font = create_ui_font(12, FW_NORMAL);
    r->close_button = CreateWindowExW(0, L"BUTTON", tr(L"action.close").c_str(),
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 110, 36, window,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCloseId)), module(), nullptr);
    if (r->close_button) {
        SendMessageW(r->close_button, WM_SETFONT, reinterpret_cast<WPARAM>(r->text_font.get()), FALSE);
        theme_button(r->close_button, r->dark, false);
    }
    RECT client{};
    GetClientRect(window, &client);
    r->layout = layout_with(fonts_of(*r), *r, client.right > 0 ? client.right : kClientWidth);
    place_close_button(*r);
    SetFocus(r->close_button);
    return 0;
}

LRESULT on_size(HWND window, AboutWindow& r, int width) {
    r.layout = layout_with(fonts_of(r), r, width);
    place_close_button(r);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

LRESULT on_erase_background(HWND window, const AboutWindow& r, HDC dc) {
    fill_client_color(window, dc, colors(r.dark).background);
    return 1;
}

void draw_link(HDC dc, const AboutWindow& r, const std::wstring& text, const RECT& rc, bool hovered) {
    const AboutColors& c = colors(r.dark);
    const COLORREF color = hovered ? c.link_hover : c.link;
    draw_text_in(dc, r.link_font.get(), color, text, rc, DT_SINGLELINE);
    RECT line{rc.left, rc.bottom - 2, rc.right, rc.bottom - 1};
    fill_rect_color(dc, line, color);
}

LRESULT on_paint(HWND window, const AboutWindow& r) {
    PaintScope paint(window);
    HDC dc = paint.dc();
    if (!dc) return 0;
    const AboutColors& c = colors(r.dark);
    const AboutLayout& l = r.layout;
    SetBkMode(dc, TRANSPARENT);
    draw_text_in(dc, r.title_font.get(), c.text, kProductName, l.title, DT_SINGLELINE | DT_END_ELLIPSIS);
    draw_text_in(dc, r.small_font.get(), c.muted, r.version_line, l.version, DT_SINGLELINE | DT_END_ELLIPSIS);
    draw_text_in(dc, r.text_font.get(), c.text, r.text, l.description, DT_WORDBREAK | DT_END_ELLIPSIS);
    draw_text_in(dc, r.small_font.get(), c.muted, r.consent, l.consent, DT_WORDBREAK);
    draw_link(dc, r, r.licence_text, l.licence_link, r.hovered_link == 1);
    draw_link(dc, r, r.site_text, l.site_link, r.hovered_link == 2);
    return 0;
}

LRESULT on_mouse_move(HWND window, AboutWindow& r, LPARAM lp) {
    set_hovered(window, r, link_at(r, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}));
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = window;
    TrackMouseEvent(&track);
    return 0;
}

LRESULT on_set_cursor(HWND window, const AboutWindow& r, WPARAM wp, LPARAM lp) {
    if (LOWORD(lp) == HTCLIENT) {
        POINT pt{};
        GetCursorPos(&pt);
        ScreenToClient(window, &pt);
        if (link_at(r, pt) != 0) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
    }
    return DefWindowProcW(window, WM_SETCURSOR, wp, lp);
}

// A link opens on the release of a press on that same link, as a button
// clicks; a release whose press went elsewhere does nothing.
LRESULT on_button_down(HWND window, AboutWindow& r, LPARAM lp) {
    r.pressed_link = link_at(r, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
    if (r.pressed_link != 0) SetCapture(window);
    return 0;
}

LRESULT on_button_up(HWND window, AboutWindow& r, LPARAM lp) {
    const int pressed = std::exchange(r.pressed_link, 0);
    if (GetCapture() != window) return 0;
    ReleaseCapture();
    const int link = link_at(r, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
    if (link == 0 || link != pressed) return 0;
    if (link == 1) {
        open_license(window);
    } else if (link == 2) {
        ShellExecuteW(window, L"open", r.site_address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
    return 0;
}

LRESULT on_command(HWND window, WPARAM wp) {
    const int id = LOWORD(wp);
    if (id == 1 || id == 2) DestroyWindow(window);
    return 0;
}

LRESULT on_destroy(AboutWindow& r) {
    r.close_button = nullptr;
    r.title_font.reset();
    r.text_font.reset();
    r.small_font.reset();
    r.link_font.reset();
    return 0;
}

bool is_file(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

AboutLayout about_layout(int w, const AboutMeasures& m) {
    AboutLayout l;
    const int right = w - 24;
    const int t = m.title + m.version + m.description + m.consent;
    l.title = RECT{24, 20, right, m.title + 20};
    l.version = RECT{24, m.title + 22, right, m.title + m.version + 22};
    l.description = RECT{24, m.title + m.version + 36, right, m.title + m.version + m.description + 36};
    l.consent = RECT{24, l.description.bottom + 10, right, l.description.bottom + 10 + m.consent};
    l.licence_link = RECT{24, t + 62, 24 + m.licence_width, t + m.licence + 66};
    const int site_top = t + m.licence + 68;
    l.site_link = RECT{24, site_top, 24 + m.site_width, site_top + m.site + 4};
    const int button_top = site_top + m.site + 28;
    l.close_button = RECT{w - 134, button_top, w - 24, button_top + 36};
    l.total_height = site_top + m.site + 88;
    return l;
}

std::wstring about_site_address(const std::wstring& language) {
    return language.empty() || language == L"ru" ? kSiteStartRu : kSiteStartEn;
}

std::wstring terms_page_address(const std::wstring& language) {
    return language == L"ru" ? kTermsPageRu : kTermsPageEn;
}

std::wstring find_license_file(const std::wstring& folder, bool (*exists)(const std::wstring& path)) {
    for (const wchar_t* name : {L"license.txt", L"LICENSE.txt"}) {
        const std::wstring path = folder.empty() ? std::wstring(name) : folder + L"\\" + name;
        if (exists(path)) return path;
    }
    return {};
}

bool open_license(HWND owner) {
    return open_file_else_address(owner, find_license_file(winutil::exe_dir(), is_file), std::wstring(),
                                  terms_page_address(current_language()), tr(L"action.license"),
                                  tr(L"license.missing"));
}

void show_about_window(HWND owner, App* app) {
    if (!register_about_class()) return;
    const Settings* settings = app ? app->settings.get() : nullptr;
    AboutWindow r;
    r.dark = settings && settings->dark_mode;
    r.site_address = about_site_address(settings ? settings->language : std::wstring(L"ru"));
    r.text = tr(L"about.text");
    r.consent = tr(L"about.consent");
    r.version_line = tr_format(L"about.version", std::wstring(QUILLET_VERSION_WTEXT));
    r.licence_text = tr(L"action.license");
    r.site_text = kSiteHostName;

    int height = 0;
    {
        raii::Font title = create_ui_font(18, 600), text = create_ui_font(12, FW_NORMAL),
                   small = create_ui_font(11, FW_NORMAL), link = create_ui_font(12, FW_NORMAL);
        height = layout_with(AboutFonts{title.get(), text.get(), small.get(), link.get()}, r, kClientWidth)
                     .total_height;
    }
    if (height <= 0) height = 300;
    RECT frame{0, 0, kClientWidth, height};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    HWND window = CreateWindowExW(kExStyle, kAboutWindowClass, tr(L"action.about").c_str(), kStyle, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, owner, nullptr,
                                  module(), &r);
    if (!window) return;
    apply_dark_title_bar(window, r.dark);
    apply_round_corners(window);
    center_window(window, owner);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    if (r.close_button) SetFocus(r.close_button);
    run_dialog_loop(window, owner);
}

LRESULT CALLBACK about_wnd_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    AboutWindow* r = record_of(window);
    if (!r) {
        if (msg == WM_CREATE) return on_create(window, lp);
        return DefWindowProcW(window, msg, wp, lp);
    }
    switch (msg) {
        case WM_SIZE: return on_size(window, *r, LOWORD(lp));
        case WM_ERASEBKGND: return on_erase_background(window, *r, reinterpret_cast<HDC>(wp));
        case WM_PAINT: return on_paint(window, *r);
        case WM_MOUSEMOVE: return on_mouse_move(window, *r, lp);
        case WM_MOUSELEAVE: set_hovered(window, *r, 0); return 0;
        case WM_SETCURSOR: return on_set_cursor(window, *r, wp, lp);
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: return on_button_down(window, *r, lp);
        case WM_LBUTTONUP: return on_button_up(window, *r, lp);
        case WM_CAPTURECHANGED: r->pressed_link = 0; return 0;
        case WM_SETFOCUS:
            if (r->close_button) SetFocus(r->close_button);
            return 0;
        case WM_COMMAND: return on_command(window, wp);
        case WM_CLOSE: DestroyWindow(window); return 0;
        case WM_DESTROY: return on_destroy(*r);
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            return DefWindowProcW(window, msg, wp, lp);
        default: return DefWindowProcW(window, msg, wp, lp);
    }
}
