#include "ui/quick_menu.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "capture/clipboard.h"
#include "capture/watcher.h"
#include "core/clipboard_text.h"
#include "core/text.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/winutil.h"
#include "store/database.h"
#include "theme/controls.h"
#include "theme/fonts.h"
#include "ui/list_model.h"
#include "ui/own_popups.h"
#include "ui/paste_actions.h"

namespace {

// Subclass of the list that hands Enter and Esc to the popup.
constexpr UINT_PTR kQuickListKeysSubclassId = 4113;

constexpr COLORREF kPopupLight = 0xFBFBFB, kPopupDark = 0x272727;
constexpr COLORREF kListLight = 0xFFFFFF, kListDark = 0x2B2B2B;
constexpr COLORREF kTextLight = 0x141414, kTextDark = 0xF2F2F2;


QuickMenu* menu_of(HWND w) { return reinterpret_cast<QuickMenu*>(GetWindowLongPtrW(w, GWLP_USERDATA)); }

LRESULT CALLBACK quick_list_keys_proc(HWND list, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
    switch (msg) {
        case WM_GETDLGCODE:
            return DefSubclassProc(list, msg, wp, lp) | DLGC_WANTALLKEYS;
        case WM_KEYDOWN:
            if ((wp == VK_RETURN || wp == VK_ESCAPE) && reinterpret_cast<QuickMenu*>(ref)->on_key(wp)) return 0;
            break;
        case WM_CHAR:
            // The character messages of Enter and Esc would only beep.
            if (wp == L'\r' || wp == 27) return 0;
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(list, quick_list_keys_proc, id);
            break;
        default:
            break;
    }
    return DefSubclassProc(list, msg, wp, lp);
}

}  // namespace

// --- pure helpers ------------------------------------------------------------------------

int quick_menu_font_size(const Settings* settings) {
    if (!settings) return 14;
    return std::clamp(settings->font_size, 10, 18);
}

int quick_menu_width(int font_size) { return font_size < 15 ? 400 : font_size * 24 + 64; }

int quick_menu_item_height(int font_height, bool has_font) {
    if (!has_font) return 40;
    return std::max(font_height + 14, 28);
}

int quick_menu_height(int edges, int item_height, int rows) {
    int h = std::min(edges + item_height * rows + 2, kQuickMenuMaxHeight);
    if (h <= edges + item_height + 1) h = edges + item_height + 2;
    return h;
}

std::wstring quick_menu_row_text(int number, const std::wstring& text, int available,
                                 const std::function<int(const std::wstring&)>& width_of) {
    // Like a card, a row takes at most the first kRowTextLimit characters
    // of a text: no row is that wide, and a long text is neither copied nor
    // measured whole.
    std::wstring t(text, 0, pair_safe_length(text, kRowTextLimit));
    for (wchar_t& c : t)
        if (c == L'\r' || c == L'\n') c = L' ';
    const std::wstring number_text = std::to_wstring(number) + L". ";
    std::wstring row = number_text + t;
    if (t.empty() || available <= 0 || !width_of || width_of(row) <= available) return row;
    // The whole row is measured as it is drawn, its number included.
    const std::wstring ellipsis = L"\u2026";
    std::size_t lo = 0, hi = t.size();
    while (lo < hi) {
        // The longest prefix that fits: widths only grow with the length.
        std::size_t mid = (lo + hi + 1) / 2;
        if (width_of(number_text + t.substr(0, mid) + ellipsis) <= available)
            lo = mid;
        else
            hi = mid - 1;
    }
    if (lo > 0 && is_high_surrogate(t[lo - 1])) --lo;
    return number_text + t.substr(0, lo) + ellipsis;
}

HWND quick_menu_target(HWND foreground, HWND previous) {
    if (!foreground) return nullptr;
    DWORD pid = 0;
    GetWindowThreadProcessId(foreground, &pid);
    if (pid == GetCurrentProcessId()) return previous;
    return foreground;
}

// --- the menu ------------------------------------------------------------------------------

QuickMenu::~QuickMenu() { release(); }

bool QuickMenu::create(HINSTANCE instance, HWND main_window, const QuickMenuServices& s) {
    main = main_window;
    services = s;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = quick_menu_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kQuickMenuClass;
    RegisterClassExW(&wc);  // a second registration fails harmlessly

    // Owned by the program's hidden popup owner, so that it has no taskbar
    // button and no Alt+Tab entry; not a tool window, as under X a window
    // manager gives the keyboard to no tool window of its own accord, and
    // the menu is chosen with the keys. The owner is never hidden or
    // minimised, so the menu shows whatever the main window does.
    window = CreateWindowExW(WS_EX_TOPMOST, kQuickMenuClass, L"", WS_POPUP | WS_BORDER, 0, 0, 400,
                             300, popup_owner_window(), nullptr, instance, this);
    if (!window) return false;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    listed = std::make_unique<OwnPopup>([this] {
        const bool shown = window && IsWindowVisible(window);
        hide();
        return shown;
    });

    list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, 0,
                           0, 400, 280, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kQuickMenuListId)),
                           instance, nullptr);
    if (list) {
        SetWindowLongPtrW(list, GWLP_USERDATA, 0);
        theme_framed_control(list, false);
        SetWindowSubclass(list, quick_list_keys_proc, kQuickListKeysSubclassId, reinterpret_cast<DWORD_PTR>(this));
        SetWindowPos(list, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    font_size = quick_menu_font_size(services.settings);
    font = create_ui_font(font_size, 400);
    measure_item_height();
    if (list) {
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        SendMessageW(list, LB_SETITEMHEIGHT, 0, item_height);
    }
    return true;
}

void QuickMenu::measure_item_height() {
    if (!font) {
        item_height = quick_menu_item_height(0, false);
        return;
    }
    raii::WindowDC dc(nullptr);
    raii::SelectGuard select(dc.get(), font.get());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc.get(), &tm);
    item_height = quick_menu_item_height(tm.tmHeight, true);
}

int QuickMenu::height() const {
    return quick_menu_height(2 * GetSystemMetrics(SM_CYEDGE), item_height, static_cast<int>(entries.size()));
}

bool QuickMenu::dark() const { return services.settings && services.settings->dark_mode; }

void QuickMenu::resize_popup() {
    if (!window) return;
    SetWindowPos(window, nullptr, 0, 0, width(), height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void QuickMenu::populate() {
    target = quick_menu_target(GetForegroundWindow(), target);
    // Only the rows the menu shows are read, each with the start of its
    // text a row can show; a choice reads the whole text from the store.
    entries.clear();
    if (services.db)
        entries = services.db->list_first_entries(L"all", false, true, kQuickMenuMaxEntries, kRowTextLimit);
    if (list) SendMessageW(list, LB_SETITEMHEIGHT, 0, item_height);
    resize_popup();
    fill_rows();
}

int QuickMenu::row_text_room() const {
    if (!list) return 0;
    RECT rc{};
    GetClientRect(list, &rc);
    int room = rc.right - rc.left;
    // The list shows its scroll bar when the rows do not fit, and the
    // client rectangle counts it only while it is shown.
    const int bar = GetSystemMetrics(SM_CXVSCROLL);
    const bool bar_shown = (GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL) != 0;
    const bool bar_needed = item_height * static_cast<int>(entries.size()) > rc.bottom - rc.top;
    if (bar_needed && !bar_shown) room -= bar;
    if (!bar_needed && bar_shown) room += bar;
    return room - kQuickMenuRowMargin;
}

void QuickMenu::fill_rows() {
    if (!list) return;
    const LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    raii::WindowDC dc(list);
    raii::SelectGuard select(dc.get(), font ? static_cast<HGDIOBJ>(font.get()) : GetStockObject(DEFAULT_GUI_FONT));
    auto width_of = [&](const std::wstring& s) {
        SIZE sz{};
        GetTextExtentPoint32W(dc.get(), s.c_str(), static_cast<int>(s.size()), &sz);
        return static_cast<int>(sz.cx);
    };
    const int available = row_text_room();
    bool added = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::wstring row = quick_menu_row_text(static_cast<int>(i) + 1, entries[i].text, available, width_of);
        LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
        if (at < 0) continue;
        SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(entries[i].id));
        added = true;
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    if (added) SendMessageW(list, LB_SETCURSEL, selected > 0 && selected < static_cast<LRESULT>(entries.size()) ? selected : 0, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void QuickMenu::show_at_cursor() {
    if (!window) return;
    POINT pt{};
    GetCursorPos(&pt);
    SetWindowPos(window, HWND_TOPMOST, pt.x, pt.y, width(), height(), SWP_SHOWWINDOW);
    // The hotkey that opened it lets the program take the foreground.
    SetForegroundWindow(window);
    if (list) SetFocus(list);
}

void QuickMenu::hide() {
    if (window) ShowWindow(window, SW_HIDE);
}

void QuickMenu::on_activate(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) return;
    const HistoryEntry entry = entries[static_cast<std::size_t>(index)];
    // Hidden first: a refused read is told in a box of its own.
    hide();
    // Ctrl+V would paste what was on the clipboard before.
    if (!write_entry_to_clipboard(entry, services.db, services.watcher, nullptr)) return;
    if (services.db) services.db->increment_use_count(entry.id);
    if (target) winutil::bring_to_front(target);
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        winutil::send_ctrl_v();
    }).detach();
}

void QuickMenu::set_font_size(int size) {
    size = std::clamp(size, 10, 18);
    if (size == font_size && font) return;
    font_size = size;
    font = create_ui_font(font_size, 400);
    measure_item_height();
    if (list) {
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
        SendMessageW(list, LB_SETITEMHEIGHT, 0, item_height);
    }
    if (window && IsWindowVisible(window)) {
        resize_popup();
        // The rows fitted again to the new width and font.
        fill_rows();
    }
}

void QuickMenu::release() {
    listed.reset();
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
    window = nullptr;
    list = nullptr;
    font.reset();
    entries.clear();
}

// --- window procedure -------------------------------------------------------------------

LRESULT QuickMenu::on_size() {
    if (list && window) {
        RECT rc{};
        GetClientRect(window, &rc);
        SetWindowPos(list, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return 0;
}

void QuickMenu::on_deactivate() { hide(); }

LRESULT QuickMenu::on_erase_background(HDC dc) {
    RECT rc{};
    GetClientRect(window, &rc);
    raii::Brush brush(CreateSolidBrush(dark() ? kPopupDark : kPopupLight));
    FillRect(dc, &rc, brush.get());
    return 1;
}

bool QuickMenu::on_key(WPARAM key) {
    if (key == VK_ESCAPE) {
        hide();
        return true;
    }
    if (key == VK_RETURN) {
        activate_selected();
        return true;
    }
    return false;
}

void QuickMenu::activate_selected() {
    if (!list) return;
    LRESULT sel = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (sel != LB_ERR) on_activate(static_cast<int>(sel));
}

void QuickMenu::on_command(WPARAM wp) {
    if (LOWORD(wp) == kQuickMenuListId && HIWORD(wp) == LBN_DBLCLK) activate_selected();
}

LRESULT QuickMenu::on_list_color(HDC dc) {
    const bool d = dark();
    SetTextColor(dc, d ? kTextDark : kTextLight);
    SetBkColor(dc, d ? kListDark : kListLight);
    // A brush kept for the life of the process, one per theme.
    return reinterpret_cast<LRESULT>(control_background_brush(d));
}

LRESULT CALLBACK quick_menu_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    QuickMenu* m = menu_of(w);
    if (!m) return DefWindowProcW(w, msg, wp, lp);
    switch (msg) {
        case WM_SIZE:
            return m->on_size();
        case WM_ACTIVATE:
            if (LOWORD(wp) == WA_INACTIVE) m->on_deactivate();
            return DefWindowProcW(w, msg, wp, lp);
        case WM_ERASEBKGND:
            return m->on_erase_background(reinterpret_cast<HDC>(wp));
        case WM_KEYDOWN:
            if (m->on_key(wp)) return 0;
            return DefWindowProcW(w, msg, wp, lp);
        case WM_COMMAND:
            m->on_command(wp);
            return 0;
        case WM_CTLCOLORLISTBOX:
            return m->on_list_color(reinterpret_cast<HDC>(wp));
        default:
            return DefWindowProcW(w, msg, wp, lp);
    }
}
