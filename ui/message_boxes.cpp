#include "ui/message_boxes.h"

#include <algorithm>
#include <cwchar>
#include <utility>

#include "core/handles.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/winutil.h"
#include "theme/colors.h"
#include "theme/controls.h"
#include "theme/dark_mode.h"
#include "theme/fonts.h"
#include "theme/geometry.h"
#include "ui/child_focus.h"
#include "ui/modal_loop.h"
#include "ui/text_box.h"

namespace {

constexpr const wchar_t* kConfirmClass = L"QuilletConfirmBox";
constexpr const wchar_t* kInputClass = L"QuilletInputBox";

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdIcon = 11;
constexpr int kIdEdit = 100;

constexpr DWORD kBoxStyle = WS_CAPTION | WS_SYSMENU;
constexpr DWORD kBoxExStyle = WS_EX_DLGMODALFRAME;

constexpr BoxColors kLightColors{0xF3F3F3, 0xFFFFFF, 0x141414, 0xCC6600};
constexpr BoxColors kDarkColors{0x202020, 0x2B2B2B, 0xF2F2F2, 0xFFC24C};

BoxContext& context_storage() {
    static BoxContext context;
    return context;
}

// The theme as the settings say now.
bool box_dark() {
    const Settings* settings = box_context().settings;
    return settings && settings->dark_mode;
}

HINSTANCE module() { return GetModuleHandleW(nullptr); }

bool register_box_class(const wchar_t* name, WNDPROC proc) { return winutil::register_window_class(name, proc); }

bool register_confirm_class() {
    static const bool ok = register_box_class(kConfirmClass, confirm_box_proc);
    return ok;
}

bool register_input_class() {
    static const bool ok = register_box_class(kInputClass, input_box_proc);
    return ok;
}

HWND make_child(HWND parent, const wchar_t* cls, const std::wstring& text, DWORD style, const RECT& rc, int id,
                HFONT font) {
    HWND child = CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, rc.left, rc.top,
                                 rc.right - rc.left, rc.bottom - rc.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module(), nullptr);
    if (child && font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

HWND make_button(HWND parent, const std::wstring& caption, const RECT& rc, int id, bool dark, bool accent) {
    HWND button = make_child(parent, L"BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP, rc, id,
                             static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    theme_button(button, dark, accent);
    return button;
}

void apply_box_frame(HWND box, bool dark) {
    apply_dark_title_bar(box, dark);
    apply_round_corners(box);
}

// Runs the box's loop: the owner is disabled while the box exists. The box
// is gone when this returns; the owner comes to the front again.
void run_modal(HWND box, HWND owner) { run_modal_window(box, owner); }

// The answers to WM_CTLCOLOR* shared by both boxes.
LRESULT color_static(HDC dc, bool icon) {
    const bool dark = box_dark();
    const BoxColors& c = box_colors(dark);
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, c.background);
    SetTextColor(dc, icon ? c.icon : c.text);
    return reinterpret_cast<LRESULT>(page_background_brush(dark));
}

LRESULT color_control(HDC dc) {
    const bool dark = box_dark();
    const BoxColors& c = box_colors(dark);
    SetTextColor(dc, c.text);
    SetBkColor(dc, c.control_background);
    return reinterpret_cast<LRESULT>(control_background_brush(dark));
}

LRESULT on_erase_background(HWND window, HDC dc) {
    RECT rc{};
    GetClientRect(window, &rc);
    FillRect(dc, &rc, page_background_brush(box_dark()));
    return 1;
}

// --- confirmation box -------------------------------------------------------------


LRESULT confirm_on_command(HWND window, WPARAM wp) {
    auto* ok = reinterpret_cast<bool*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (LOWORD(wp)) {
        case kIdOk:
            if (ok) *ok = true;
            DestroyWindow(window);
            break;
        case kIdCancel:
            DestroyWindow(window);
            break;
        default:
            break;
    }
    return 0;
}

// --- input box ---------------------------------------------------------------------------

LRESULT input_on_command(HWND window, WPARAM wp) {
    auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (LOWORD(wp)) {
        case kIdOk: {
            HWND edit = GetDlgItem(window, kIdEdit);
            if (state && edit) {
                // WM_SETTEXT passes by the limit: a text too long is refused.
                std::wstring text = winutil::window_text(edit);
                if (state->limit == 0 || text.size() <= state->limit) {
                    state->text = std::move(text);
                    state->ok = true;
                }
            }
            DestroyWindow(window);
            break;
        }
        case kIdCancel:
            DestroyWindow(window);
            break;
        default:
            break;
    }
    return 0;
}

LRESULT on_create(HWND window, LPARAM lp) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return 0;
}

}  // namespace

// --- context and colours -------------------------------------------------------------

void set_box_context(BoxContext context) { context_storage() = std::move(context); }

const BoxContext& box_context() { return context_storage(); }

const BoxColors& box_colors(bool dark) { return dark ? kDarkColors : kLightColors; }

// --- count phrases -------------------------------------------------------------------

PluralForm plural_form(uint64_t n) {
    const uint64_t mod100 = n % 100, mod10 = n % 10;
    if (mod100 >= 11 && mod100 <= 14) return PluralForm::Many;
    if (mod10 == 1) return PluralForm::One;
    if (mod10 >= 2 && mod10 <= 4) return PluralForm::Few;
    return PluralForm::Many;
}

std::wstring format_count_plural(uint64_t n, const std::wstring& one, const std::wstring& few,
                                 const std::wstring& many) {
    const PluralForm form = plural_form(n);
    const std::wstring& word = form == PluralForm::One ? one : form == PluralForm::Few ? few : many;
    return std::to_wstring(n) + L" " + word;
}

std::wstring format_delete_confirmation(uint64_t entries, uint64_t templates) {
    const std::wstring rec =
        format_count_plural(entries, tr(L"confirm.rec_one"), tr(L"confirm.rec_few"), tr(L"confirm.rec_many"));
    const std::wstring tpl =
        format_count_plural(templates, tr(L"confirm.tpl_one"), tr(L"confirm.tpl_few"), tr(L"confirm.tpl_many"));
    if (entries != 0 && templates != 0) return tr_format(L"confirm.del_and", rec, tpl);
    return tr_format(L"confirm.del_some", entries != 0 ? rec : tpl);
}

// --- layouts -----------------------------------------------------------------------------

SIZE measure_confirm_text(const std::wstring& text, HFONT font) {
    raii::WindowDC screen(nullptr);
    RECT box{0, 0, 320, 0};
    if (screen) {
        raii::SelectGuard use_font(screen.get(), font);
        DrawTextW(screen.get(), text.c_str(), static_cast<int>(text.size()), &box,
                  DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    }
    return SIZE{box.right - box.left, box.bottom - box.top};
}


ConfirmBoxLayout confirm_box_layout(int text_width, int text_height, bool with_cancel) {
    const int w = std::max(text_width, 240);
    const int h = std::max(text_height, 0);
    ConfirmBoxLayout l{};
    l.client = SIZE{w + 84, h + 152};
    l.icon = RECT{20, 20, 64, 64};
    // Centred on the icon; a text too tall for that starts near the top.
    const int y = std::max((40 - h) / 2 + 20, 12);
    l.text = RECT{80, y, 80 + w, y + h + 4};
    l.ok = RECT{w - 54, h + 100, w - 54 + 118, h + 132};
    l.cancel = with_cancel ? RECT{w - 180, h + 100, w - 180 + 118, h + 132} : RECT{0, 0, 0, 0};
    return l;
}

int input_box_base_width(bool has_main_window, int menu_bar_width) {
    return has_main_window ? std::max(300, menu_bar_width) : 460;
}

InputBoxLayout input_box_layout(int base_width, bool multi_line) {
    const int width = multi_line ? (base_width > 639 ? base_width : 640) : base_width;
    const int height = multi_line ? 430 : 210;
    const int edit_height = multi_line ? 290 : 74;
    const int row = multi_line ? 350 : 130;
    InputBoxLayout l{};
    l.window = SIZE{width, height};
    l.prompt = RECT{16, 10, width - 16, 30};
    l.edit = RECT{16, 44, width - 16, 44 + edit_height};
    l.ok = RECT{width - 220, row, width - 120, row + 32};
    l.cancel = RECT{width - 112, row, width - 16, row + 32};
    return l;
}

int input_box_font_size(const Settings* settings) {
    if (!settings) return 14;
    return std::clamp(settings->font_size, 10, 18);
}

// --- window procedures ---------------------------------------------------------------

LRESULT CALLBACK confirm_box_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            return on_create(window, lp);
        case WM_COMMAND:
            return confirm_on_command(window, wp);
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_ERASEBKGND:
            return on_erase_background(window, reinterpret_cast<HDC>(wp));
        case WM_CTLCOLORBTN:
            return color_control(reinterpret_cast<HDC>(wp));
        case WM_CTLCOLORSTATIC:
            return color_static(reinterpret_cast<HDC>(wp), GetDlgCtrlID(reinterpret_cast<HWND>(lp)) == kIdIcon);
        default:
            return DefWindowProcW(window, msg, wp, lp);
    }
}

// The keyboard goes back to the control that had it when the box was
// left, else to the text box.
LRESULT input_on_activate(HWND window, WPARAM wp, LPARAM lp) {
    auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!state) return DefWindowProcW(window, WM_ACTIVATE, wp, lp);
    return keep_child_focus_on_activate(window, wp, lp, state->last_focus, GetDlgItem(window, kIdEdit));
}

LRESULT input_on_set_focus(HWND window) {
    auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    give_keyboard(child_focus_target(window, state ? state->last_focus : nullptr, GetDlgItem(window, kIdEdit)));
    return 0;
}

LRESULT CALLBACK input_box_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            return on_create(window, lp);
        case WM_COMMAND:
            return input_on_command(window, wp);
        case WM_ACTIVATE:
            return input_on_activate(window, wp, lp);
        case WM_SETFOCUS:
            return input_on_set_focus(window);
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_ERASEBKGND:
            return on_erase_background(window, reinterpret_cast<HDC>(wp));
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            return color_control(reinterpret_cast<HDC>(wp));
        case WM_CTLCOLORSTATIC:
            return color_static(reinterpret_cast<HDC>(wp), false);
        default:
            return DefWindowProcW(window, msg, wp, lp);
    }
}

// --- the boxes -----------------------------------------------------------------------------

bool confirm_box(HWND owner, const std::wstring& title, const std::wstring& text, const std::wstring& ok_caption,
                 bool with_cancel) {
    // The fonts outlive the box: they are deleted after its window is gone.
    raii::Font text_font = create_ui_font(kConfirmTextFontSize, FW_NORMAL);
    raii::Font icon_font = create_icon_font(26);
    const SIZE measured = measure_confirm_text(text, text_font.get());
    if (!register_confirm_class()) return false;
    const ConfirmBoxLayout l = confirm_box_layout(measured.cx, measured.cy, with_cancel);

    RECT frame{0, 0, l.client.cx, l.client.cy};
    AdjustWindowRectEx(&frame, kBoxStyle, FALSE, kBoxExStyle);
    bool ok = false;
    HWND box = CreateWindowExW(kBoxExStyle, kConfirmClass, title.c_str(), kBoxStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                               frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, module(), &ok);
    if (!box) return false;
    const bool dark = box_dark();
    apply_box_frame(box, dark);

    const wchar_t glyph[2] = {with_cancel ? kConfirmGlyph : kMessageGlyph, 0};
    make_child(box, L"STATIC", glyph, SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, l.icon, kIdIcon, icon_font.get());
    // The static breaks a word longer than a line (a path) as it was measured.
    make_child(box, L"STATIC", text, SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, l.text, -1, text_font.get());
    HWND ok_button = make_button(box, ok_caption, l.ok, kIdOk, dark, !with_cancel);
    HWND cancel_button =
        with_cancel ? make_button(box, tr(L"action.cancel"), l.cancel, kIdCancel, dark, false) : nullptr;

    center_window(box, owner);
    ShowWindow(box, SW_SHOW);
    SetFocus(cancel_button ? cancel_button : ok_button);
    run_modal(box, owner);
    return ok;
}

bool ask_confirmation(HWND owner, const std::wstring& title, const std::wstring& text,
                      const std::wstring& ok_caption) {
    return confirm_box(owner, title, text, ok_caption, true);
}

bool show_message(HWND owner, const std::wstring& title, const std::wstring& text) {
    confirm_box(owner, title, text, tr(L"action.ok"), false);
    return true;
}

namespace {

// Runs the input box over the state; true when OK took the text.
bool run_input_box(HWND owner, const std::wstring& title, const std::wstring& prompt, InputBoxState& state,
                   bool multi_line, bool read_only) {
    if (!register_input_class()) return false;
    const BoxContext& context = box_context();
    const bool has_main = context.main_window && IsWindow(context.main_window);
    const int bar = has_main && context.menu_bar_width ? context.menu_bar_width() : 0;
    const InputBoxLayout l = input_box_layout(input_box_base_width(has_main, bar), multi_line);

    raii::Font edit_font = create_ui_font(input_box_font_size(context.settings), FW_NORMAL);
    HWND box = CreateWindowExW(kBoxExStyle, kInputClass, title.c_str(), kBoxStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                               l.window.cx, l.window.cy, owner, nullptr, module(), &state);
    if (!box) return false;
    const bool dark = box_dark();
    apply_box_frame(box, dark);

    HFONT gui_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    make_child(box, L"STATIC", prompt, SS_LEFT | SS_NOPREFIX, l.prompt, -1, gui_font);
    // Typed or pasted text never grows past the limit; without one the box
    // takes as much as memory allows.
    HWND edit = make_text_box(box, state.text,
                              ThreadedEditOptions{static_cast<DWORD>(ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN |
                                                                     WS_VSCROLL | WS_TABSTOP |
                                                                     (read_only ? ES_READONLY : 0)),
                                                  0, l.edit, kIdEdit, edit_font.get(), dark, state.limit});
    make_button(box, tr(L"action.ok"), l.ok, kIdOk, dark, true);
    make_button(box, tr(L"action.cancel"), l.cancel, kIdCancel, dark, false);

    center_window(box, owner);
    ShowWindow(box, SW_SHOW);
    give_keyboard(edit);
    run_modal(box, owner);
    return state.ok;
}

}  // namespace

bool input_box(HWND owner, const std::wstring& title, const std::wstring& prompt, wchar_t* buffer, int capacity,
               bool multi_line) {
    if (!buffer || capacity < 1) return false;
    InputBoxState state;
    // The initial text, read no further than the buffer reaches.
    const std::size_t initial =
        std::min<std::size_t>(wcsnlen(buffer, static_cast<std::size_t>(capacity)), static_cast<std::size_t>(capacity - 1));
    state.text.assign(buffer, initial);
    // With room for no character at all, nothing can be typed (and lost).
    state.limit = capacity < 2 ? 1 : static_cast<std::size_t>(capacity - 1);
    if (!run_input_box(owner, title, prompt, state, multi_line, capacity < 2)) return false;
    if (state.text.size() >= static_cast<std::size_t>(capacity)) return false;
    std::copy(state.text.begin(), state.text.end(), buffer);
    buffer[state.text.size()] = L'\0';
    return true;
}

bool input_box(HWND owner, const std::wstring& title, const std::wstring& prompt, std::wstring& text,
               bool multi_line) {
    InputBoxState state;
    state.text = text;
    if (!run_input_box(owner, title, prompt, state, multi_line, false)) return false;
    text = std::move(state.text);
    return true;
}
