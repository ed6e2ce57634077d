// The main window's controls: creation, layout, theme, fonts and language.
#include "ui/main_window.h"

#include <commctrl.h>

#include <algorithm>

#include "app/app.h"
#include "app/app_ids.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/winutil.h"
#include "theme/controls.h"
#include "theme/dark_mode.h"
#include "theme/fonts.h"
#include "theme/geometry.h"
#include "ui/card_draw.h"
#include "ui/main_window_layout.h"
#include "ui/quick_menu.h"

namespace {

constexpr UINT_PTR kButtonSubclassIdMain = 1;
constexpr UINT_PTR kListSubclassId = 2;
constexpr UINT_PTR kHintSubclassId = 3;
constexpr UINT_PTR kToastSubclassId = 5;

const wchar_t kHintClass[] = L"QuilletEntryHint";

Settings* settings_of(App* app) { return app ? app->settings.get() : nullptr; }

std::wstring menu_label(const wchar_t* key) { return tr(key); }

// Tooltip key of each toolbar button.
const wchar_t* tooltip_key(int id) {
    switch (id) {
        case kIdPaste: return L"tooltip.paste";
        case kIdCopy: return L"tooltip.copy";
        case kIdScreenshot: return L"tooltip.screenshot";
        case kIdAddEntry: return L"tooltip.add_entry";
        case kIdPin: return L"tooltip.pin";
        case kIdMoveUp: return L"tooltip.move_up";
        case kIdMoveDown: return L"tooltip.move_down";
        case kIdDelete: return L"tooltip.delete";
        case kIdClear: return L"tooltip.clear";
        case kIdPanelToggle: return L"tooltip.cat_toggle";
        case kIdSettings: return L"tooltip.settings";
        default: return nullptr;
    }
}

HWND make_child(HWND parent, DWORD ex_style, const wchar_t* cls, const std::wstring& text, DWORD style, int id,
                HFONT font) {
    HWND h = CreateWindowExW(ex_style, cls, text.c_str(), WS_CHILD | style, 0, 0, 10, 10, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (h && font) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return h;
}

// A child already in place is left alone: the layout runs several times
// while the window is made and on every change of the totals' text, and
// each move costs a round of messages and a repaint of the child.
void move(HWND h, const RECT& rc) {
    if (!h) return;
    RECT now{};
    if (GetWindowRect(h, &now)) {
        MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&now), 2);
        if (EqualRect(&now, &rc)) return;
    }
    MoveWindow(h, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

}  // namespace

// ---- free helpers -----------------------------------------------------------------

bool main_control_colors(UINT message, int id, bool toolbar_button, bool dark, ControlColors& out) {
    switch (message) {
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            out = dark ? ControlColors{0xF2F2F2, 0x2B2B2B} : ControlColors{0x141414, 0xFFFFFF};
            return true;
        case WM_CTLCOLORBTN:
            if (!toolbar_button) return false;
            out = dark ? ControlColors{0xF2F2F2, 0x202020} : ControlColors{0x141414, 0xF3F3F3};
            return true;
        case WM_CTLCOLORSTATIC:
            if (id == 105 || id == kIdTotalLabel)
                out = dark ? ControlColors{0xC7C7C7, 0x202020} : ControlColors{0x606060, 0xF3F3F3};
            else if (id == 0)
                out = dark ? ControlColors{0xF2F2F2, 0x202020} : ControlColors{0xD5D5D5, 0xF3F3F3};
            else if (id == kIdTooltip || id == 310)
                out = dark ? ControlColors{0xF2F2F2, 0x272727} : ControlColors{0x141414, 0xFBFBFB};
            else
                out = dark ? ControlColors{0xF2F2F2, 0x202020} : ControlColors{0x141414, 0xF3F3F3};
            return true;
        default: return false;
    }
}

COLORREF toolbar_glyph_color(int id, bool dark) {
    switch (id) {
        case kIdPaste: return dark ? 0x7BC92E : 0x5EB016;
        case kIdCopy: return dark ? 0xEEB03E : 0xD68F00;
        case kIdPin: return dark ? 0xE06F8D : 0xC44F6D;
        case kIdDelete: return dark ? 0x3A60FC : 0x173BE4;
        case kIdMoveUp:
        case kIdMoveDown: return dark ? 0x9AC21F : 0x779B00;
        case kIdClear: return dark ? 0xA8A8A8 : 0x8A8A8A;
        case kIdSettings: return dark ? 0x9A9A9A : 0x575757;
        case kIdPanelToggle: return dark ? 0xDDA93A : 0xB07C00;
        case kIdAddEntry: return dark ? 0xEBA64D : 0xCC7A00;
        default: return dark ? 0xF2F2F2 : 0x141414;
    }
}

std::wstring get_dlg_item_text(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    if (!item) return {};
    int len = GetWindowTextLengthW(item);
    if (len <= 0) return {};
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    int got = GetWindowTextW(item, text.data(), len + 1);
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return text;
}

int measure_text_height(HDC dc, const std::wstring& text, int width, int minimum) {
    if (text.empty()) return minimum;
    RECT rc{0, 0, std::max(width, 1), 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    return std::max(static_cast<int>(rc.bottom - rc.top), minimum);
}

int measure_wrapped_width(HDC dc, const std::wstring& text) {
    if (text.empty()) return 0;
    RECT rc{0, 0, 340, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    return rc.right - rc.left;
}

int measure_text_width(HDC dc, const std::wstring& text) {
    if (text.empty()) return 0;
    RECT rc{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return rc.right - rc.left;
}

bool window_is_placed(HWND window) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    return GetWindowPlacement(window, &wp) != FALSE;
}

// ---- life -------------------------------------------------------------------------------

MainWindow::~MainWindow() { release_resources(); }

void MainWindow::init(HWND wnd, App* owner) {
    window = wnd;
    app = owner;
    if (Settings* s = settings_of(app)) {
        always_on_top = s->always_on_top;
        close_on_paste = s->close_on_paste;
        tray_on_minimize = s->tray_on_minimize;
        categories_collapsed = s->categories_collapsed;
        categories_width = s->categories_width;
        show_time = s->show_time;
        dark = s->dark_mode;
        font_size = clamp_font_size(s->font_size);
    }
    create_controls();
    apply_dark_mode(dark);
    relayout();
    if (categories_collapsed) {
        RECT rc{};
        GetWindowRect(window, &rc);
        expanded_width = (rc.right - rc.left) + categories_width;
    }
    if (Settings* s = settings_of(app)) {
        RestoredView v = restore_view(s->last_view_templates, s->last_view_filter, s->last_view_cat_id);
        templates_mode = v.templates_mode;
        view_kind = v.view_kind;
        category_id = v.category_id;
        trash_view = !templates_mode && view_kind == 4;
    }
    scroll_to_top = false;
    // A category view whose category is gone falls back to every entry in
    // build_side_panel; the capture category follows the view.
    publish_current_category();
    refresh_all();
}

void MainWindow::create_controls() {
    menu_font = create_ui_font(kMainMenuFontSize, 400);
    small_font = create_ui_font(kMainSmallFontSize, 400);
    glyph_font = create_icon_font(20);
    tooltip_font = create_ui_font(kMainTooltipFontSize, 400);
    list_font = create_ui_font(font_size, 400);
    toast_font = create_ui_font(kMainToastFontSize, 400);
    toast_icon_font = create_icon_font(14);

    create_menu_buttons();
    create_toolbar();

    tooltip = make_child(window, WS_EX_NOACTIVATE | WS_EX_TRANSPARENT, L"STATIC", L"",
                         WS_BORDER | SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, kIdTooltip, tooltip_font.get());
    search = make_child(window, 0, L"EDIT", L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, kIdSearch, menu_font.get());
    theme_framed_control(search, dark);
    search_button = make_child(window, 0, L"BUTTON", std::wstring(1, L'\uE721'), WS_VISIBLE | BS_FLAT, kIdSearchButton,
                               glyph_font.get());
    SetWindowSubclass(search_button, icon_button_proc, kButtonSubclassIdMain, reinterpret_cast<DWORD_PTR>(this));

    cards = make_child(window, 0, L"LISTBOX", L"",
                       WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_OWNERDRAWVARIABLE |
                           LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT,
                       kIdCards, list_font.get());
    side = make_child(
        window, 0, L"LISTBOX", L"",
        WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
        kIdSide, menu_font.get());
    for (HWND list : {cards, side}) {
        set_window_dark_theme(list, dark);
        SetWindowSubclass(list, list_subclass_proc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this));
    }

    watch_box = make_child(window, 0, L"BUTTON", tr(L"toggle.watch_buffer"), WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                           kIdWatchBox, menu_font.get());
    Settings* s = settings_of(app);
    SendMessageW(watch_box, BM_SETCHECK, (!s || s->watch_clipboard) ? BST_CHECKED : BST_UNCHECKED, 0);
    install_toggle_switch(watch_box, dark);

    total_label = make_child(window, 0, L"STATIC", L"", WS_VISIBLE | SS_RIGHT | SS_CENTERIMAGE | SS_NOPREFIX,
                             kIdTotalLabel, small_font.get());
    empty_hint =
        make_child(window, 0, L"STATIC", tr(L"hint.empty"), SS_CENTER | SS_NOPREFIX, kIdEmptyHint, menu_font.get());

    register_hint_class();
    hint_popup = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kHintClass, L"", WS_POPUP, 0, 0,
                                 10, 10, window, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (hint_popup) {
        SendMessageW(hint_popup, WM_SETFONT, reinterpret_cast<WPARAM>(list_font.get()), FALSE);
        SetWindowSubclass(hint_popup, entry_hint_subclass_proc, kHintSubclassId, reinterpret_cast<DWORD_PTR>(this));
    }

    toast = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TRANSPARENT, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, window,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    if (toast) SetWindowSubclass(toast, toast_subclass_proc, kToastSubclassId, reinterpret_cast<DWORD_PTR>(this));
    listed_popups = std::make_unique<OwnPopup>([this] {
        const bool shown = (hint_popup && IsWindowVisible(hint_popup)) || tooltip_visible || toast_visible;
        hide_entry_hint();
        hide_button_tooltip();
        hide_toast();
        return shown;
    });

    fill_tooltip_map();
    install_key_handling();
}

void MainWindow::create_menu_buttons() {
    menu_keys.assign(std::begin(kMainMenuKeys), std::end(kMainMenuKeys));
    menu_buttons.clear();
    int id = kIdFirstMenuButton;
    for (const wchar_t* key : menu_keys) {
        HWND b = make_child(window, 0, L"BUTTON", menu_label(key), WS_VISIBLE | BS_FLAT | BS_CENTER | BS_OWNERDRAW,
                            id++, menu_font.get());
        SetWindowSubclass(b, flat_button_proc, kButtonSubclassIdMain, reinterpret_cast<DWORD_PTR>(this));
        menu_buttons.push_back(b);
    }
}

void MainWindow::create_toolbar() {
    const int T = top_bar_height;
    size_t n = 0;
    for (const ToolbarSlot& slot : toolbar_slots()) {
        if (slot.id == 0) {
            HWND sep = make_child(window, 0, L"STATIC", L"|", WS_VISIBLE | SS_CENTER | SS_NOPREFIX, 0, menu_font.get());
            MoveWindow(sep, slot.x, T + 2, 14, 24, FALSE);
            continue;
        }
        HWND b = make_child(window, 0, L"BUTTON", std::wstring(1, slot.glyph),
                            WS_VISIBLE | BS_FLAT | BS_CENTER | BS_OWNERDRAW, slot.id, glyph_font.get());
        MoveWindow(b, slot.x, T, 28, 28, FALSE);
        SetWindowSubclass(b, icon_button_proc, kButtonSubclassIdMain, reinterpret_cast<DWORD_PTR>(this));
        if (n < toolbar_buttons.size()) toolbar_buttons[n++] = b;
    }
}

void MainWindow::fill_tooltip_map() {
    tooltip_texts.clear();
    for (HWND b : toolbar_buttons) {
        if (!b) continue;
        if (const wchar_t* key = tooltip_key(GetDlgCtrlID(b))) tooltip_texts[b] = tr(key);
    }
    if (search_button) tooltip_texts[search_button] = tr(L"tooltip.search");
}

void MainWindow::register_hint_class() {
    static const bool registered = winutil::register_window_class(kHintClass, DefWindowProcW, CS_HREDRAW | CS_VREDRAW);
    (void)registered;
}

void MainWindow::destroy_popups() {
    remove_mouse_hook();
    hint.shown = false;
    hint.bitmap = nullptr;
    if (hint_popup) DestroyWindow(hint_popup);
    hint_popup = nullptr;
    if (tooltip) DestroyWindow(tooltip);
    tooltip = nullptr;
    tooltip_visible = false;
}

void MainWindow::release_resources() {
    if (released_) return;
    released_ = true;
    destroy_popups();
    if (window && IsWindow(window)) KillTimer(window, kTimerToast);
    menu_font.reset();
    small_font.reset();
    glyph_font.reset();
    tooltip_font.reset();
    list_font.reset();
    toast_font.reset();
    toast_icon_font.reset();
    brushes_.clear();
    hint.previews.clear();
    tooltip_texts.clear();
    menu_buttons.clear();
    menu_keys.clear();
}

// ---- layout ---------------------------------------------------------------------------

std::vector<int> MainWindow::menu_text_widths() {
    std::vector<int> widths;
    raii::WindowDC dc(window);
    raii::SelectGuard font(dc.get(), menu_font.get());
    for (HWND b : menu_buttons) {
        wchar_t text[65] = {};
        int n = GetWindowTextW(b, text, 65);
        SIZE size{};
        if (dc && n > 0 && GetTextExtentPoint32W(dc.get(), text, n, &size))
            widths.push_back(size.cx);
        else
            widths.push_back(0);
    }
    return widths;
}

int MainWindow::total_text_width() {
    raii::WindowDC dc(window);
    if (!dc) return -1;
    raii::SelectGuard font(dc.get(), small_font.get());
    std::wstring text = get_dlg_item_text(window, kIdTotalLabel);
    SIZE size{};
    if (text.empty() || !GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size)) return 0;
    return size.cx;
}

int MainWindow::watch_text_width() {
    raii::WindowDC dc(window);
    if (!dc || !watch_box) return -1;
    raii::SelectGuard font(dc.get(), menu_font.get());
    const std::wstring text = get_dlg_item_text(window, kIdWatchBox);
    SIZE size{};
    if (text.empty() || !GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size)) return 0;
    return size.cx;
}

int MainWindow::card_time_width() {
    raii::WindowDC dc(window);
    if (!dc) return 0;
    raii::SelectGuard font(dc.get(), list_font.get());
    int widest = 0;
    for (const wchar_t* key : {L"time.today", L"time.yesterday"}) {
        const std::wstring text = tr_format(key, 23, 59);
        SIZE size{};
        if (GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size))
            widest = std::max<int>(widest, size.cx);
    }
    return widest;
}

int MainWindow::menu_bar_width() { return ::menu_bar_width(menu_text_widths()); }

int MainWindow::min_client_width() {
    MainLayoutInput in;
    in.menu_text_widths = menu_text_widths();
    in.total_text_width = total_text_width();
    in.watch_text_width = watch_text_width();
    in.collapsed = categories_collapsed;
    in.categories_width = categories_width;
    in.cards_min_width = cards_min_width(card_time_width(), GetSystemMetrics(SM_CXVSCROLL));
    return main_min_client_width(in);
}

void MainWindow::relayout() {
    if (!window) return;
    RECT client{};
    GetClientRect(window, &client);
    MainLayoutInput in;
    in.client_w = client.right - client.left;
    in.client_h = client.bottom - client.top;
    in.top_bar_height = top_bar_height;
    in.collapsed = categories_collapsed;
    in.categories_width = categories_width;
    in.menu_text_widths = menu_text_widths();
    in.total_text_width = total_text_width();
    in.watch_text_width = watch_text_width();
    MainLayout l = compute_main_layout(in);

    for (size_t i = 0; i < menu_buttons.size() && i < l.menu_buttons.size(); ++i)
        move(menu_buttons[i], l.menu_buttons[i]);
    move(search, l.search);
    move(search_button, l.search_button);
    if (l.side_visible) {
        move(side, l.side);
        ShowWindow(side, SW_SHOW);
    } else {
        ShowWindow(side, SW_HIDE);
    }
    move(cards, l.cards);
    move(empty_hint, l.empty_hint);
    move(watch_box, l.watch_box);
    move(total_label, l.total_label);
    if (toast_visible) position_toast();
}

void MainWindow::keep_min_width() {
    if (!window || IsIconic(window) || IsZoomed(window)) return;
    RECT client{};
    GetClientRect(window, &client);
    const int need = min_client_width();
    if (client.right - client.left >= need) return;
    RECT rc{};
    GetWindowRect(window, &rc);
    SetWindowPos(window, nullptr, 0, 0, winutil::window_width_for_client(window, need), rc.bottom - rc.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::remember_width() {
    if (!window || IsIconic(window) || IsZoomed(window)) return;
    RECT rc{};
    GetWindowRect(window, &rc);
    expanded_width = expanded_width_for(rc.right - rc.left, categories_collapsed, categories_width);
}

void MainWindow::toggle_category_panel() {
    if (!window) return;
    categories_collapsed = !categories_collapsed;
    if (Settings* s = settings_of(app)) s->categories_collapsed = categories_collapsed;
    if (IsIconic(window) || IsZoomed(window)) {
        relayout();
        return;
    }
    PanelToggleInput in;
    GetWindowRect(window, &in.window);
    in.collapsing = categories_collapsed;
    in.categories_width = categories_width;
    in.expanded_width = expanded_width;
    in.min_width = winutil::window_width_for_client(window, min_client_width());
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &mi))
        in.work = mi.rcWork;
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &in.work, 0);
    PanelToggleResult r = compute_panel_toggle(in);
    expanded_width = r.expanded_width;
    SetWindowPos(window, nullptr, r.x, in.window.top, r.width, in.window.bottom - in.window.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    relayout();
}

// ---- theme, fonts, language ----------------------------------------------------------------

void MainWindow::apply_theme_to_controls() {
    for (HWND list : {cards, side}) set_window_dark_theme(list, dark);
    if (search) {
        // The framed edit reads its variant from its user data.
        SetWindowLongPtrW(search, GWLP_USERDATA, dark ? 1 : 0);
        SetWindowPos(search, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

void MainWindow::apply_dark_mode(bool on) {
    dark = on;
    if (!window) return;
    apply_theme_to_controls();
    apply_dark_title_bar(window, dark);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(window, nullptr, TRUE);
    DrawMenuBar(window);
    if (watch_box) {
        SetWindowLongPtrW(watch_box, GWLP_USERDATA, dark ? 1 : 0);
        RedrawWindow(watch_box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (toast_visible && toast) {
        InvalidateRect(toast, nullptr, TRUE);
        invalidate_child_rect(toast_rect);
    }
}

void MainWindow::toggle_always_on_top() {
    always_on_top = !always_on_top;
    if (window)
        SetWindowPos(window, always_on_top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (Settings* s = settings_of(app)) s->always_on_top = always_on_top;
}

void MainWindow::apply_font_size() {
    Settings* s = settings_of(app);
    font_size = s ? clamp_font_size(s->font_size) : 14;
    raii::Font font = create_ui_font(font_size, 400);
    if (cards) SendMessageW(cards, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    if (app && app->quick_menu) app->quick_menu->set_font_size(font_size);
    if (hint_popup) SendMessageW(hint_popup, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    list_font = std::move(font);
    keep_min_width();
    relayout();
    // A shown hint is measured again with the new font.
    if (hint.shown) {
        if (hint.hinted_key < 0)
            show_template_hint(hint.hinted_key);
        else
            show_entry_hint(hint.hinted_key);
    }
    if (cards) InvalidateRect(cards, nullptr, TRUE);
    if (window) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void MainWindow::apply_language() {
    if (!window) return;
    SetWindowTextW(window, tr(L"title.main").c_str());
    for (size_t i = 0; i < menu_buttons.size() && i < menu_keys.size(); ++i)
        SetWindowTextW(menu_buttons[i], menu_label(menu_keys[i]).c_str());
    fill_tooltip_map();
    if (watch_box) SetWindowTextW(watch_box, tr(L"toggle.watch_buffer").c_str());
    if (empty_hint) SetWindowTextW(empty_hint, tr(L"hint.empty").c_str());
    build_side_panel();
    refresh_list();
    keep_min_width();
    relayout();
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

// ---- lists -----------------------------------------------------------------------------------

void MainWindow::listbox_add(const std::wstring& text, LPARAM item_data) {
    if (!side) return;
    LRESULT index = SendMessageW(side, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index >= 0) SendMessageW(side, LB_SETITEMDATA, static_cast<WPARAM>(index), item_data);
}

int MainWindow::row_height(const MainWindow* self, int control_id, int index) {
    if (control_id == kIdSide) return kSideRowHeight;
    return card_row_height(self ? &self->model : nullptr, index);
}

HWND MainWindow::list_at_point(POINT screen) const {
    HWND under = WindowFromPoint(screen);
    if (under && (under == cards || under == side)) return under;
    return nullptr;
}

void MainWindow::wheel_scroll_list(HWND list, int delta) {
    if (!list || (list != cards && list != side)) return;
    int& remainder = list == cards ? cards_wheel_remainder_ : side_wheel_remainder_;
    WheelStep step = wheel_step(remainder, delta);
    remainder = step.remainder;
    int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    if (step.notches == 0 || count <= 0) return;
    Settings* s = settings_of(app);
    int lines = s && s->scroll_lines > 0 ? s->scroll_lines : 1;
    int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    int new_top = wheel_top_index(top, step.notches, lines, count);
    if (new_top != top) SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(new_top), 0);
}

// ---- colours and owner drawing -------------------------------------------------------------

bool MainWindow::is_toolbar_button(HWND control) const {
    return control && std::find(toolbar_buttons.begin(), toolbar_buttons.end(), control) != toolbar_buttons.end();
}

bool MainWindow::is_menu_button(HWND control) const {
    return control && std::find(menu_buttons.begin(), menu_buttons.end(), control) != menu_buttons.end();
}

HBRUSH MainWindow::brush_for(COLORREF color) {
    auto it = brushes_.find(color);
    if (it == brushes_.end()) it = brushes_.emplace(color, raii::Brush(CreateSolidBrush(color))).first;
    return it->second.get();
}

HBRUSH MainWindow::control_color(UINT message, HDC dc, HWND control) {
    ControlColors c{};
    if (!main_control_colors(message, GetDlgCtrlID(control), is_toolbar_button(control), dark, c)) return nullptr;
    SetTextColor(dc, c.text);
    SetBkColor(dc, c.background);
    return brush_for(c.background);
}

bool MainWindow::draw_item(const DRAWITEMSTRUCT* dis) {
    if (dis && dis->CtlType == ODT_LISTBOX) return draw_list_item(dis);
    if (!dis || dis->CtlType != ODT_BUTTON) return false;
    int id = static_cast<int>(dis->CtlID);
    if (id < kIdPaste || id > kIdAddEntry) return false;
    paint_button(dis->hwndItem, dis->hDC, (dis->itemState & ODS_SELECTED) != 0);
    return true;
}
