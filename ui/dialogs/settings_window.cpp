// The settings window: opening and re-opening, the pages, the window
// procedure and the painting of the window and its page list.
#include "ui/dialogs/settings_window.h"

#include <commctrl.h>

#include "ui/dialogs/settings_pages.h"

#include "app/app.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "theme/colors.h"
#include "theme/controls.h"
#include "theme/dark_mode.h"
#include "theme/fonts.h"
#include "ui/dialogs/settings_layout.h"
#include "theme/geometry.h"
#include "theme/paint_scope.h"

namespace {

constexpr UINT_PTR kPageListSubclassId = 12528;

struct PageInfo {
    const wchar_t* glyph;
    const wchar_t* key;
};

constexpr PageInfo kPages[kSettingsPageCount] = {
    {L"\xE77F", L"nav.clipboard"}, {L"\xE8B7", L"nav.storage"},  {L"\xE7C3", L"nav.window"},
    {L"\xE768", L"nav.startup"},   {L"\xE8FD", L"side.templates"}, {L"\xE713", L"nav.advanced"},
    {L"\xE722", L"nav.screenshots"},
};

// Colours of the window's own painting, light and dark.
struct WindowColors {
    COLORREF band, line, title, item_selected, item_hover, label_selected, label;
};

const WindowColors& window_colors(bool dark) {
    static const WindowColors light{0xFBFBFB, 0xD5D5D5, 0x141414, 0xE9E9E9, 0xEFEFEF, 0x141414, 0x606060};
    static const WindowColors dark_colors{0x272727, 0x4A4A4A, 0xF2F2F2, 0x333333, 0x2D2D2D, 0xF2F2F2, 0xC7C7C7};
    return dark ? dark_colors : light;
}

SettingsWindow* object_of(HWND w) { return reinterpret_cast<SettingsWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA)); }

RECT client_of(HWND w) {
    RECT rc{};
    GetClientRect(w, &rc);
    return rc;
}

void register_settings_class(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kSettingsWindowClass, &existing)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = settings_wnd_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kSettingsWindowClass;
    RegisterClassExW(&wc);
}

LRESULT CALLBACK page_list_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
    auto* self = reinterpret_cast<SettingsWindow*>(data);
    switch (msg) {
        case WM_MOUSEMOVE: {
            const LRESULT hit = SendMessageW(w, LB_ITEMFROMPOINT, 0, lp);
            self->set_hovered_page(HIWORD(hit) ? -1 : static_cast<int>(LOWORD(hit)));
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, w, 0};
            TrackMouseEvent(&track);
            break;
        }
        case WM_MOUSELEAVE: self->set_hovered_page(-1); break;
        case WM_NCDESTROY: RemoveWindowSubclass(w, page_list_proc, id); break;
        default: break;
    }
    return DefSubclassProc(w, msg, wp, lp);
}

void fill(HDC dc, const RECT& rc, COLORREF color) {
    raii::Brush brush(CreateSolidBrush(color));
    FillRect(dc, &rc, brush.get());
}

void draw_single_line(HDC dc, const std::wstring& text, RECT box, HFONT font, COLORREF color, UINT extra = 0) {
    raii::SelectGuard use_font(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | extra);
}

}  // namespace

std::wstring window_text(HWND w) {
    if (!w) return {};
    const int n = GetWindowTextLengthW(w);
    if (n <= 0) return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(w, text.data(), n + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

SettingsWindow::~SettingsWindow() { destroy(); }

bool SettingsWindow::dark() const { return app && app->settings && app->settings->dark_mode; }

void SettingsWindow::create_fonts() {
    regular_font = create_ui_font(kSettingsFontSize, 400);
    heading_font = create_ui_font(kSettingsFontSize, kSettingsHeadingWeight);
    title_font = create_ui_font(kSettingsTitleFontSize, kSettingsTitleWeight);
    glyph_font = create_icon_font(13);
}

bool SettingsWindow::open(HWND owner_window, App* the_app) {
    owner = owner_window;
    app = the_app;
    if (!window) {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        register_settings_class(instance);
        window = CreateWindowExW(WS_EX_DLGMODALFRAME, kSettingsWindowClass, tr(L"menu.settings").c_str(),
                                 WS_CAPTION | WS_SYSMENU, 0, 0, 820, 580, owner, nullptr, instance, this);
        if (!window) return false;
        apply_round_corners(window);
        apply_dark_title_bar(window, dark());
        create_fonts();
        build_pages();
        center_window(window, owner);
    }
    // A window that is already open stays where the user put it.
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return true;
}

void SettingsWindow::rebuild() {
    if (!window) {
        open(owner, app);
        return;
    }
    // Limits typed into an edit that still has the focus take effect now.
    if (ttl_changed) apply_retention(true);
    if (trash_changed) apply_retention(false);
    const bool had_focus = IsChild(window, GetFocus()) != FALSE;
    SendMessageW(window, WM_SETREDRAW, FALSE, 0);
    building = true;  // the controls going away change nothing
    std::vector<HWND> children;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
    for (HWND c : children) DestroyWindow(c);
    forget_controls();
    building = false;
    SetWindowTextW(window, tr(L"menu.settings").c_str());
    build_pages();  // switches redrawing on again when it shows the page
    SendMessageW(window, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (had_focus) {
        HWND languages = GetDlgItem(window, kSetLanguage);
        SetFocus(languages && IsWindowVisible(languages) ? languages : page_list);
    }
}

void SettingsWindow::forget_controls() {
    page_list = nullptr;
    font_up_down = nullptr;
    hovered_page = -1;
    for (auto& controls : page_controls) controls.clear();
    check_boxes.clear();
    edits.clear();
    hotkey_fields.clear();
    buttons.clear();
    language_codes.clear();
}

void SettingsWindow::show_page(int n) {
    if (n < 0 || n >= kSettingsPageCount) return;
    page = n;
    // One repaint for the whole switch instead of one per control.
    if (window) SendMessageW(window, WM_SETREDRAW, FALSE, 0);
    for (int p = 0; p < kSettingsPageCount; ++p)
        for (HWND control : page_controls[static_cast<size_t>(p)]) ShowWindow(control, p == n ? SW_SHOW : SW_HIDE);
    if (!window) return;
    SendMessageW(window, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void SettingsWindow::destroy() {
    if (window) DestroyWindow(window);
    regular_font.reset();
    heading_font.reset();
    title_font.reset();
    glyph_font.reset();
    forget_controls();
}

void SettingsWindow::save_settings() {
    if (app) app->save_settings();
}

void SettingsWindow::size_window(int lowest_bottom) {
    RECT rc{0, 0, kSettingsClientWidth, lowest_bottom + 72};
    AdjustWindowRectEx(&rc, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT client = client_of(window);
    MoveWindow(page_list, 8, 8, 192, client.bottom - 16, TRUE);
}

void SettingsWindow::set_hovered_page(int index) {
    if (index == hovered_page) return;
    hovered_page = index;
    if (page_list) InvalidateRect(page_list, nullptr, FALSE);
}

void SettingsWindow::on_destroy() {
    // Limits changed in an edit that still has the focus take effect now.
    if (ttl_changed) apply_retention(true);
    if (trash_changed) apply_retention(false);
    // Whatever ended a field's recording, the program's hotkeys are back.
    if (app) app->resume_hotkeys();
    window = nullptr;
    forget_controls();
}

// --- painting ------------------------------------------------------------------------

void SettingsWindow::on_erase(HDC dc) {
    const RECT rc = client_of(window);
    FillRect(dc, &rc, page_background_brush(dark()));
}

void SettingsWindow::on_paint() {
    PaintScope paint(window);
    HDC dc = paint.dc();
    if (!dc) return;
    const bool is_dark = dark();
    const WindowColors& c = window_colors(is_dark);
    const RECT client = client_of(window);
    const int band = page_list_width > 0 ? page_list_width : 208;
    fill(dc, RECT{0, 0, band, client.bottom}, c.band);
    fill(dc, RECT{band, 0, band + 1, client.bottom}, c.line);

    HFONT font = title_font ? title_font.get() : regular_font.get();
    TEXTMETRICW tm{};
    {
        raii::SelectGuard use_font(dc, font);
        GetTextMetricsW(dc, &tm);
    }
    const int height = tm.tmHeight;
    const std::wstring title = page >= 0 && page < kSettingsPageCount ? tr(kPages[page].key) : std::wstring();
    draw_single_line(dc, title, settings_title_rect(client.right, height), font, c.title);
    fill(dc, RECT{band + 28, height + 34, client.right - 24, height + 35}, c.line);
}

void SettingsWindow::on_draw_item(const DRAWITEMSTRUCT* dis) {
    if (!dis || dis->CtlID != kSetPageList) return;
    const bool is_dark = dark();
    const WindowColors& c = window_colors(is_dark);
    HDC dc = dis->hDC;
    const RECT rc = dis->rcItem;
    fill(dc, rc, c.band);
    if (dis->itemID == static_cast<UINT>(-1)) return;
    const bool selected = (dis->itemState & ODS_SELECTED) != 0;
    const bool hovered = static_cast<int>(dis->itemID) == hovered_page;
    if (selected || hovered) {
        raii::Brush brush(CreateSolidBrush(selected ? c.item_selected : c.item_hover));
        raii::SelectGuard use_brush(dc, brush.get());
        raii::SelectGuard no_pen(dc, GetStockObject(NULL_PEN));
        // A null pen leaves the right and bottom edge out; one more pixel.
        RoundRect(dc, rc.left + 4, rc.top + 2, rc.right - 4 + 1, rc.bottom - 2 + 1, 8, 8);
    }
    if (selected) fill(dc, RECT{rc.left + 7, rc.top + 11, rc.left + 10, rc.bottom - 11}, 0xCC6600);
    const COLORREF text = selected ? c.label_selected : c.label;
    HFONT list_font = reinterpret_cast<HFONT>(SendMessageW(dis->hwndItem, WM_GETFONT, 0, 0));
    const wchar_t* glyph = reinterpret_cast<const wchar_t*>(dis->itemData);
    if (glyph)
        draw_single_line(dc, glyph, RECT{rc.left + 18, rc.top, rc.left + 42, rc.bottom},
                         glyph_font ? glyph_font.get() : list_font, text);
    const LRESULT length = SendMessageW(dis->hwndItem, LB_GETTEXTLEN, dis->itemID, 0);
    if (length > 0) {
        std::wstring label(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT got =
            SendMessageW(dis->hwndItem, LB_GETTEXT, dis->itemID, reinterpret_cast<LPARAM>(label.data()));
        label.resize(got > 0 ? static_cast<size_t>(got) : 0);
        draw_single_line(dc, label, settings_page_label_rect(rc), list_font, text,
                         DT_END_ELLIPSIS);
    }
}

HBRUSH SettingsWindow::on_control_color(UINT message, HDC dc, HWND control) {
    const bool is_dark = dark();
    const ThemeColors& t = theme_colors(is_dark);
    SetTextColor(dc, t.text);
    if (message == WM_CTLCOLORSTATIC) {
        SetBkColor(dc, t.page_background);
        return page_background_brush(is_dark);
    }
    if (message == WM_CTLCOLORLISTBOX && control == page_list) {
        const WindowColors& c = window_colors(is_dark);
        raii::Brush& brush = band_brush_[is_dark ? 1 : 0];
        if (!brush) brush.reset(CreateSolidBrush(c.band));
        SetBkColor(dc, c.band);
        return brush.get();
    }
    SetBkColor(dc, t.control_background);
    return control_background_brush(is_dark);
}

// --- the window procedure ----------------------------------------------------------

LRESULT CALLBACK settings_wnd_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* self = static_cast<SettingsWindow*>(create->lpCreateParams);
        SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) self->window = w;
        return DefWindowProcW(w, msg, wp, lp);
    }
    SettingsWindow* self = object_of(w);
    if (!self) return DefWindowProcW(w, msg, wp, lp);
    switch (msg) {
        case WM_COMMAND:
            self->on_command(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
            return 0;
        case WM_NOTIFY: return self->on_notify(reinterpret_cast<const NMHDR*>(lp));
        case WM_MEASUREITEM: {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            if (mis && mis->CtlID == kSetPageList) mis->itemHeight = 40;
            return TRUE;
        }
        case WM_DRAWITEM:
            self->on_draw_item(reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return TRUE;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(self->on_control_color(msg, reinterpret_cast<HDC>(wp),
                                                                    reinterpret_cast<HWND>(lp)));
        case WM_ERASEBKGND:
            self->on_erase(reinterpret_cast<HDC>(wp));
            return 1;
        case WM_PAINT: self->on_paint(); return 0;
        case WM_SETTINGS_REBUILD: self->rebuild(); return 0;
        case WM_CLOSE: DestroyWindow(w); return 0;
        case WM_DESTROY:
            self->on_destroy();
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(w, GWLP_USERDATA, 0);
            return DefWindowProcW(w, msg, wp, lp);
        default: return DefWindowProcW(w, msg, wp, lp);
    }
}

// --- the page list (used by the page builder) --------------------------------------

HWND create_page_list(SettingsWindow& s, HINSTANCE instance) {
    HWND list = CreateWindowExW(0, L"LISTBOX", L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                                    LBS_NOINTEGRALHEIGHT,
                                8, 8, 192, 400, s.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSetPageList)),
                                instance, nullptr);
    if (!list) return nullptr;
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(s.regular_font.get()), FALSE);
    SendMessageW(list, LB_SETITEMHEIGHT, 0, 40);
    for (const PageInfo& p : kPages) {
        const LRESULT index = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(tr(p.key).c_str()));
        if (index >= 0)
            SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(p.glyph));
    }
    SetWindowSubclass(list, page_list_proc, kPageListSubclassId, reinterpret_cast<DWORD_PTR>(&s));
    return list;
}
