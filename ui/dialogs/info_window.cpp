#include "ui/dialogs/info_window.h"

#include <algorithm>

#include "app/app.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/winutil.h"
#include "theme/controls.h"
#include "theme/dark_mode.h"
#include "theme/fonts.h"
#include "theme/geometry.h"
#include "theme/paint_scope.h"
#include "theme/painters.h"
#include "ui/dialogs/dialog_loop.h"

namespace {

constexpr int kClientWidth = 600;
constexpr int kMinClientHeight = 180;
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

struct InfoColors {
    COLORREF background, text, key;
};
constexpr InfoColors kLight{0xF3F3F3, 0x141414, 0xCC6600};
constexpr InfoColors kDark{0x202020, 0xF2F2F2, 0xFFC24C};

const InfoColors& colors(bool dark) { return dark ? kDark : kLight; }

HINSTANCE module() { return GetModuleHandleW(nullptr); }

InfoWindow* record_of(HWND window) { return reinterpret_cast<InfoWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

bool register_info_class() {
    static const bool ok = winutil::register_window_class(kInfoWindowClass, info_wnd_proc);
    return ok;
}

struct InfoFonts {
    HFONT title, key, description;
};

SIZE measure(HDC dc, HFONT font, const std::wstring& text, int width, bool wrap) {
    if (text.empty()) return SIZE{0, 0};
    raii::SelectGuard use(dc, font);
    RECT rc{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc,
              DT_CALCRECT | DT_NOPREFIX | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

InfoLayout layout_with(const InfoFonts& f, const InfoWindow& r, int client_width) {
    InfoMeasures m;
    raii::WindowDC screen(nullptr);
    if (!screen) return info_layout(client_width, m);
    HDC dc = screen.get();
    m.title_height = measure(dc, f.title, r.title.empty() ? std::wstring(L" ") : r.title, client_width - 48, false).cy;
    for (const InfoRow& row : r.rows) m.key_width = std::max<int>(m.key_width, measure(dc, f.key, row.key, 0, false).cx);
    const int width = info_description_width(client_width, m.key_width);
    for (const InfoRow& row : r.rows) {
        m.key_heights.push_back(measure(dc, f.key, row.key, 0, false).cy);
        m.description_heights.push_back(measure(dc, f.description, row.description, width, true).cy);
    }
    return info_layout(client_width, m);
}

InfoFonts fonts_of(const InfoWindow& r) {
    return InfoFonts{r.title_font.get(), r.key_font.get(), r.description_font.get()};
}

void place(HWND control, const RECT& b) {
    if (control)
        SetWindowPos(control, nullptr, b.left, b.top, b.right - b.left, b.bottom - b.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void place_buttons(const InfoWindow& r) {
    place(r.close_button, r.layout.close_button);
    place(r.second_button, r.layout.second_button);
}

HWND make_button(HWND parent, const std::wstring& caption, int id, HFONT font, bool dark, bool accent) {
    HWND button = CreateWindowExW(0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                  0, 0, 100, 36, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module(),
                                  nullptr);
    if (button) {
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        theme_button(button, dark, accent);
    }
    return button;
}

HWND default_button(const InfoWindow& r) { return r.second_button ? r.second_button : r.close_button; }

// ---- handlers -------------------------------------------------------------------

LRESULT on_create(HWND window, LPARAM lp) {
    auto* r = static_cast<InfoWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    if (!r) return -1;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(r));
    r->title_font = create_ui_font(18, 600);
    r->key_font = create_ui_font(13, 600);
    r->description_font = create_ui_font(12, FW_NORMAL);
    r->button_font = create_ui_font(11, FW_NORMAL);
    r->close_button = make_button(window, tr(L"action.close"), kInfoCloseId, r->button_font.get(), r->dark, false);
    if (r->has_second)
        r->second_button = make_button(window, r->second_text, kInfoSecondId, r->button_font.get(), r->dark, true);
    RECT client{};
    GetClientRect(window, &client);
    r->layout = layout_with(fonts_of(*r), *r, client.right > 0 ? client.right : kClientWidth);
    place_buttons(*r);
    SetFocus(default_button(*r));
    return 0;
}

LRESULT on_size(HWND window, InfoWindow& r, int width) {
    r.layout = layout_with(fonts_of(r), r, width);
    place_buttons(r);
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

LRESULT on_erase_background(HWND window, const InfoWindow& r, HDC dc) {
    fill_client_color(window, dc, colors(r.dark).background);
    return 1;
}

LRESULT on_paint(HWND window, const InfoWindow& r) {
    PaintScope paint(window);
    HDC dc = paint.dc();
    if (!dc) return 0;
    const InfoColors& c = colors(r.dark);
    SetBkMode(dc, TRANSPARENT);
    draw_text_in(dc, r.title_font.get(), c.text, r.title, r.layout.title, DT_SINGLELINE | DT_END_ELLIPSIS);
    for (size_t i = 0; i < r.rows.size() && i < r.layout.keys.size(); ++i) {
        draw_text_in(dc, r.key_font.get(), c.key, r.rows[i].key, r.layout.keys[i], DT_SINGLELINE);
        draw_text_in(dc, r.description_font.get(), c.text, r.rows[i].description, r.layout.descriptions[i],
                  DT_WORDBREAK);
    }
    return 0;
}

void finish(HWND window, InfoWindow& r, bool chosen) {
    if (r.result) *r.result = chosen;
    DestroyWindow(window);
}

LRESULT on_command(HWND window, InfoWindow& r, WPARAM wp, LPARAM lp) {
    const int id = LOWORD(wp);
    if (HIWORD(wp) != BN_CLICKED) return 0;
    if (id == kInfoCloseId) {
        finish(window, r, false);
    } else if (id == kInfoSecondId && r.second_button && reinterpret_cast<HWND>(lp) == r.second_button) {
        finish(window, r, true);
    }
    return 0;
}

LRESULT on_destroy(InfoWindow& r) {
    r.close_button = nullptr;
    r.second_button = nullptr;
    r.title_font.reset();
    r.key_font.reset();
    r.description_font.reset();
    r.button_font.reset();
    return 0;
}

}  // namespace

int info_description_left(int key_width) { return key_width > 0 ? key_width + 44 : 24; }

int info_description_width(int client_width, int key_width) {
    return std::max(40, client_width - 24 - info_description_left(key_width));
}

InfoLayout info_layout(int w, const InfoMeasures& m) {
    InfoLayout l;
    const int right = w - 24;
    const int k = m.key_width;
    const int x = info_description_left(k);
    const int width = info_description_width(w, k);
    l.title = RECT{24, 20, right, m.title_height + 20};
    int y = m.title_height + 36;
    const size_t rows = std::min(m.key_heights.size(), m.description_heights.size());
    for (size_t i = 0; i < rows; ++i) {
        const int h = std::max(k > 0 ? m.key_heights[i] : 0, m.description_heights[i]);
        l.keys.push_back(RECT{24, y, k + 24, y + h});
        l.descriptions.push_back(RECT{x, y, x + width, y + h});
        y += h + 12;
    }
    l.close_button = RECT{w - 124, y + 12, w - 24, y + 48};
    l.second_button = RECT{w - 282, y + 12, w - 132, y + 48};
    l.total_height = y + 72;
    return l;
}

bool show_info_window(HWND owner, App* app, const std::wstring& title, const std::vector<InfoRow>& rows,
                      const wchar_t* second_text) {
    if (!register_info_class()) return false;
    bool result = false;
    InfoWindow r;
    r.owner = owner;
    r.title = title;
    r.rows = rows;
    if (second_text && *second_text) {
        r.second_text = second_text;
        r.has_second = true;
    }
    r.dark = app && app->settings && app->settings->dark_mode;
    r.result = &result;

    int height = 0;
    {
        raii::Font t = create_ui_font(18, 600), k = create_ui_font(13, 600), d = create_ui_font(12, FW_NORMAL);
        height = layout_with(InfoFonts{t.get(), k.get(), d.get()}, r, kClientWidth).total_height;
    }
    height = std::max(height, kMinClientHeight);
    RECT frame{0, 0, kClientWidth, height};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    HWND window = CreateWindowExW(kExStyle, kInfoWindowClass, r.title.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, module(), &r);
    if (!window) return false;
    apply_dark_title_bar(window, r.dark);
    apply_round_corners(window);
    center_window(window, owner);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    if (HWND focus = default_button(r)) SetFocus(focus);
    run_dialog_loop(window, owner);
    return result;
}

LRESULT CALLBACK info_wnd_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    InfoWindow* r = record_of(window);
    if (!r) {
        if (msg == WM_CREATE) return on_create(window, lp);
        return DefWindowProcW(window, msg, wp, lp);
    }
    switch (msg) {
        case WM_SIZE: return on_size(window, *r, LOWORD(lp));
        case WM_ERASEBKGND: return on_erase_background(window, *r, reinterpret_cast<HDC>(wp));
        case WM_PAINT: return on_paint(window, *r);
        case WM_SETFOCUS:
            if (HWND focus = default_button(*r)) SetFocus(focus);
            return 0;
        case WM_COMMAND: return on_command(window, *r, wp, lp);
        case WM_CLOSE: finish(window, *r, false); return 0;
        case WM_DESTROY: return on_destroy(*r);
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            return DefWindowProcW(window, msg, wp, lp);
        default: return DefWindowProcW(window, msg, wp, lp);
    }
}
