#include "ui/dialogs/hotkey_chip.h"

#include <cwchar>

#include "app/hotkey_text.h"
#include "core/handles.h"
#include "core/i18n.h"
#include "theme/paint_scope.h"

namespace {

struct FieldColors {
    COLORREF background, border, border_error, border_active, message, text, text_idle, chip_fill, chip_line;
};

const FieldColors& field_colors(bool dark) {
    static const FieldColors light{0xFFFFFF, 0xD5D5D5, 0x1C2BC4, 0xCC6600, 0x1C2BC4,
                                   0x141414, 0x606060, 0xFBFBFB, 0xD5D5D5};
    static const FieldColors dark_colors{0x2B2B2B, 0x4A4A4A, 0xA499FF, 0xFFC24C, 0xA499FF,
                                         0xF2F2F2, 0xC7C7C7, 0x272727, 0x4A4A4A};
    return dark ? dark_colors : light;
}

HotkeyField* state_of(HWND w) { return reinterpret_cast<HotkeyField*>(GetWindowLongPtrW(w, GWLP_USERDATA)); }

void notify_hotkey_field_changed(HWND w) {
    const int id = GetDlgCtrlID(w);
    SendMessageW(GetParent(w), WM_COMMAND, MAKEWPARAM(id, kHotkeyChangedCode), reinterpret_cast<LPARAM>(w));
}

void repaint(HWND w, bool erase = false) { InvalidateRect(w, nullptr, erase ? TRUE : FALSE); }

void draw_plain(HDC dc, RECT box, const std::wstring& text, COLORREF color) {
    SetTextColor(dc, color);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void draw_chips(HDC dc, const RECT& client, const std::vector<std::wstring>& texts, const FieldColors& c) {
    std::vector<int> widths;
    for (const std::wstring& t : texts) {
        SIZE size{};
        GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &size);
        widths.push_back(size.cx);
    }
    const std::vector<RECT> chips = layout_hotkey_chips(widths, client);
    raii::Brush fill(CreateSolidBrush(c.chip_fill));
    raii::Pen line(CreatePen(PS_SOLID, 1, c.chip_line));
    raii::SelectGuard use_brush(dc, fill.get());
    raii::SelectGuard use_pen(dc, line.get());
    SetTextColor(dc, c.text);
    for (size_t i = 0; i < chips.size(); ++i) {
        RECT r = chips[i];
        RoundRect(dc, r.left, r.top, r.right, r.bottom, 6, 6);
        DrawTextW(dc, texts[i].c_str(), static_cast<int>(texts[i].size()), &r,
                  DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
    }
}

void paint_field(HWND w, const HotkeyField& f, HDC target) {
    RECT client{};
    GetClientRect(w, &client);
    BackBuffer buffer(target, client);
    HDC dc = buffer.dc();
    const FieldColors& c = field_colors(f.dark);
    {
        raii::Brush back(CreateSolidBrush(c.background));
        FillRect(dc, &client, back.get());
    }
    const bool focused = GetFocus() == w;
    const COLORREF border = !f.message.empty() ? c.border_error : (f.recording || focused) ? c.border_active : c.border;
    {
        raii::Pen pen(CreatePen(PS_SOLID, f.recording ? 2 : 1, border));
        raii::SelectGuard use_pen(dc, pen.get());
        raii::SelectGuard no_fill(dc, GetStockObject(NULL_BRUSH));
        RoundRect(dc, client.left, client.top, client.right, client.bottom, 8, 8);
    }
    HFONT font = f.font ? f.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    raii::SelectGuard use_font(dc, font);
    SetBkMode(dc, TRANSPARENT);
    const RECT box = hotkey_field_text_box(client);
    const COLORREF plain = f.recording ? c.text : c.text_idle;
    if (!f.message.empty()) {
        draw_plain(dc, box, f.message, c.message);
    } else if (f.recording) {
        if (f.pending_modifiers || f.pending_key)
            draw_chips(dc, client, hotkey_chips(f.pending_modifiers, f.pending_key), c);
        else
            draw_plain(dc, box, tr(L"hotkey_field.recording"), plain);
    } else if (!f.hotkey.empty()) {
        const HotkeyBinding b = parse_hotkey(f.hotkey);
        const std::vector<std::wstring> chips =
            b.bound() ? hotkey_chips(b.modifiers, b.key) : std::vector<std::wstring>{};
        if (!chips.empty())
            draw_chips(dc, client, chips, c);
        else
            draw_plain(dc, box, f.hotkey, plain);
    } else {
        draw_plain(dc, box, tr(L"hotkey_field.empty"), plain);
    }
}

// Tells the field's hook when recording started or stopped since was. Runs
// before the parent hears of a new hotkey, so that the program's hotkeys
// are back when the parent registers the new one.
void track_recording(HotkeyField& f, bool was) {
    if (f.recording != was && f.recording_changed) f.recording_changed(f.recording);
}

void stop_recording(HWND w, HotkeyField& f) {
    if (!f.recording) return;
    hotkey_stop_recording(f);
    track_recording(f, true);
    repaint(w);
}

void move_focus(HWND w, bool previous) {
    HWND next = GetNextDlgTabItem(GetParent(w), w, previous ? TRUE : FALSE);
    if (next && next != w) SetFocus(next);
}

void apply(HWND w, HotkeyField& f, bool was_recording, HotkeyKeyResult result) {
    track_recording(f, was_recording);
    if (result == HotkeyKeyResult::Ignored) return;
    repaint(w);
    if (result == HotkeyKeyResult::Changed) notify_hotkey_field_changed(w);
    if (result == HotkeyKeyResult::FocusNext || result == HotkeyKeyResult::FocusPrevious)
        move_focus(w, result == HotkeyKeyResult::FocusPrevious);
}

void drop_queued_characters(HWND w) {
    MSG m;
    while (PeekMessageW(&m, w, WM_CHAR, WM_DEADCHAR, PM_REMOVE)) {
    }
    while (PeekMessageW(&m, w, WM_SYSCHAR, WM_SYSDEADCHAR, PM_REMOVE)) {
    }
}

// Tab and Shift+Tab, which move on between controls even while recording.
bool is_plain_tab(const MSG* m) {
    return m && m->message == WM_KEYDOWN && m->wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0 &&
           GetKeyState(VK_MENU) >= 0;
}

// --- message handlers ----------------------------------------------------------------

LRESULT on_get_text(const HotkeyField& f, WPARAM size, LPARAM lparam) {
    auto* out = reinterpret_cast<wchar_t*>(lparam);
    if (size == 0 || !out) return 0;
    const size_t n = f.hotkey.size() < size - 1 ? f.hotkey.size() : size - 1;
    wmemcpy(out, f.hotkey.c_str(), n);
    out[n] = L'\0';
    return static_cast<LRESULT>(n);
}

LRESULT on_set_text(HWND w, HotkeyField& f, LPARAM lparam) {
    const auto* text = reinterpret_cast<const wchar_t*>(lparam);
    f.hotkey = text ? text : L"";
    f.message.clear();
    repaint(w);
    return TRUE;
}

LRESULT on_key_down(HWND w, HotkeyField& f, UINT msg, WPARAM wp, LPARAM lp) {
    // Outside recording, system keys (Alt+F4, menu keys) keep working.
    if (!f.recording && msg == WM_SYSKEYDOWN) return DefWindowProcW(w, msg, wp, lp);
    const bool repeat = (lp & (1 << 30)) != 0;
    const bool was = f.recording;
    apply(w, f, was, hotkey_key_down(f, static_cast<unsigned>(wp), repeat, current_hotkey_modifiers()));
    // The character of the key that ended the recording is no longer the
    // field's to swallow: taken out of the queue, so that Alt+Space or
    // Alt+letter open no menu and Enter presses no button.
    if (was && !f.recording) drop_queued_characters(w);
    return 0;
}

LRESULT on_key_up(HWND w, HotkeyField& f, UINT msg, WPARAM wp, LPARAM lp) {
    if (!f.recording && msg == WM_SYSKEYUP) return DefWindowProcW(w, msg, wp, lp);
    const bool was = f.recording;
    apply(w, f, was, hotkey_key_up(f, static_cast<unsigned>(wp), current_hotkey_modifiers()));
    return 0;
}

// A click starts recording as a button clicks: the press takes the focus
// and the capture, and only its release inside the field starts it.
LRESULT on_button_down(HWND w) {
    SetFocus(w);
    SetCapture(w);
    return 0;
}

LRESULT on_button_up(HWND w, HotkeyField& f, LPARAM lp) {
    if (GetCapture() != w) return 0;
    ReleaseCapture();
    RECT client{};
    GetClientRect(w, &client);
    const POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    if (!f.recording && GetFocus() == w && PtInRect(&client, pt)) {
        hotkey_start_recording(f);
        track_recording(f, false);
        repaint(w);
    }
    return 0;
}

LRESULT on_get_dlg_code(const HotkeyField& f, LPARAM lp) {
    const MSG* m = reinterpret_cast<const MSG*>(lp);
    if (f.recording) return is_plain_tab(m) ? DLGC_WANTARROWS | DLGC_WANTCHARS : DLGC_WANTALLKEYS;
    if (m && m->message == WM_KEYDOWN && (m->wParam == VK_RETURN || m->wParam == VK_SPACE)) return DLGC_WANTALLKEYS;
    return DLGC_WANTARROWS | DLGC_WANTCHARS;
}

LRESULT on_mouse_move(HWND w, HotkeyField& f) {
    if (!f.hover) {
        f.hover = true;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, w, 0};
        TrackMouseEvent(&track);
        repaint(w);
    }
    return 0;
}

LRESULT on_nc_create(HWND w, WPARAM wp, LPARAM lp) {
    auto* f = new HotkeyField();
    SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(f));
    return DefWindowProcW(w, WM_NCCREATE, wp, lp);
}

LRESULT on_nc_destroy(HWND w, WPARAM wp, LPARAM lp) {
    // A field that goes away while recording stops recording first.
    if (HotkeyField* f = state_of(w); f && f->recording) {
        hotkey_stop_recording(*f);
        track_recording(*f, true);
    }
    delete state_of(w);
    SetWindowLongPtrW(w, GWLP_USERDATA, 0);
    return DefWindowProcW(w, WM_NCDESTROY, wp, lp);
}

LRESULT on_paint(HWND w, const HotkeyField& f) {
    PaintScope paint(w);
    if (paint.dc()) paint_field(w, f, paint.dc());
    return 0;
}

}  // namespace

void register_hotkey_field_class(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kHotkeyFieldClass, &existing)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = hotkey_field_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_HAND);
    wc.lpszClassName = kHotkeyFieldClass;
    RegisterClassExW(&wc);
}

void hotkey_field_set_dark(HWND field, bool dark) {
    HotkeyField* f = field ? state_of(field) : nullptr;
    if (!f) return;
    f->dark = dark;
    repaint(field);
}

void hotkey_field_set_validator(HWND field, HotkeyValidator validator) {
    if (HotkeyField* f = field ? state_of(field) : nullptr) f->validator = std::move(validator);
}

void hotkey_field_set_recording_hook(HWND field, std::function<void(bool recording)> hook) {
    if (HotkeyField* f = field ? state_of(field) : nullptr) f->recording_changed = std::move(hook);
}

const HotkeyField* hotkey_field_state(HWND field) {
    wchar_t name[32] = {};
    if (!field || !GetClassNameW(field, name, 32) || wcscmp(name, kHotkeyFieldClass) != 0) return nullptr;
    return state_of(field);
}

unsigned current_hotkey_modifiers() {
    unsigned mods = 0;
    if (GetKeyState(VK_CONTROL) < 0) mods |= MOD_CONTROL;
    if (GetKeyState(VK_SHIFT) < 0) mods |= MOD_SHIFT;
    if (GetKeyState(VK_MENU) < 0) mods |= MOD_ALT;
    return mods;
}

std::vector<RECT> layout_hotkey_chips(const std::vector<int>& text_widths, const RECT& client) {
    std::vector<RECT> chips;
    int x = client.left + 6;
    for (int w : text_widths) {
        const int right = x + w + 16;
        if (right >= client.right - 5) break;
        chips.push_back(RECT{x, client.top + 4, right, client.bottom - 4});
        x += w + 20;
    }
    return chips;
}

RECT hotkey_field_text_box(const RECT& client) {
    return RECT{client.left + 8, client.top, client.right - 8, client.bottom};
}

LRESULT CALLBACK hotkey_field_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) return on_nc_create(w, wp, lp);
    HotkeyField* f = state_of(w);
    if (!f) return DefWindowProcW(w, msg, wp, lp);
    switch (msg) {
        case WM_NCDESTROY: return on_nc_destroy(w, wp, lp);
        case WM_SETTEXT: return on_set_text(w, *f, lp);
        case WM_GETTEXT: return on_get_text(*f, wp, lp);
        case WM_GETTEXTLENGTH: return static_cast<LRESULT>(f->hotkey.size());
        case WM_SETFONT:
            f->font = reinterpret_cast<HFONT>(wp);
            return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(f->font);
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: return on_button_down(w);
        case WM_LBUTTONUP: return on_button_up(w, *f, lp);
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: return on_key_down(w, *f, msg, wp, lp);
        case WM_KEYUP:
        case WM_SYSKEYUP: return on_key_up(w, *f, msg, wp, lp);
        case WM_CHAR:
        case WM_SYSCHAR:
            if (f->recording) return 0;
            return DefWindowProcW(w, msg, wp, lp);
        case WM_KILLFOCUS:
            stop_recording(w, *f);
            repaint(w);
            return 0;
        case WM_SHOWWINDOW:
            // Hidden (its page left) or disabled: recording ends as well.
            if (!wp) stop_recording(w, *f);
            return DefWindowProcW(w, msg, wp, lp);
        case WM_ENABLE:
            if (!wp) stop_recording(w, *f);
            return 0;
        case WM_SETFOCUS: repaint(w); return 0;
        case WM_GETDLGCODE: return on_get_dlg_code(*f, lp);
        case WM_MOUSEMOVE: return on_mouse_move(w, *f);
        case WM_MOUSELEAVE:
            f->hover = false;
            repaint(w);
            return 0;
        case WM_SETCURSOR: SetCursor(LoadCursorW(nullptr, IDC_HAND)); return TRUE;
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: return on_paint(w, *f);
        default: return DefWindowProcW(w, msg, wp, lp);
    }
}
