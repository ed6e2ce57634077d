#include "ui/dialogs/template_editor.h"

#include "app/app.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/winutil.h"
#include "store/database.h"
#include "theme/controls.h"
#include "theme/dark_mode.h"
#include "theme/geometry.h"
#include "ui/child_focus.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/modal_loop.h"
#include "ui/text_box.h"

namespace {

constexpr DWORD kEditorStyle = WS_CAPTION | WS_SYSMENU;
constexpr DWORD kEditorExStyle = WS_EX_DLGMODALFRAME;

constexpr COLORREF kDarkPage = 0x202020;
constexpr COLORREF kLightPage = 0xF3F3F3;
constexpr COLORREF kDarkText = 0xF2F2F2;
constexpr COLORREF kLightText = 0x141414;
constexpr COLORREF kDarkControl = 0x2B2B2B;
constexpr COLORREF kLightControl = 0xFFFFFF;

// The no-group label of the first versions, still read as no group.
constexpr const wchar_t* kRussianUngrouped = L"(\u0411\u0435\u0437 \u0433\u0440\u0443\u043F\u043F\u044B)";

const wchar_t* const kPlaceholders[kEditorInsertCount] = {L"{date}", L"{time}", L"{datetime}", L"{year}", L"{user}"};
const wchar_t* const kInsertKeys[kEditorInsertCount] = {L"editor.var_date", L"editor.var_time",
                                                        L"editor.var_datetime", L"editor.var_year",
                                                        L"editor.var_user"};
constexpr int kInsertWidths[kEditorInsertCount] = {70, 76, 100, 60, 110};

HINSTANCE module() { return GetModuleHandleW(nullptr); }

TemplateEditorResult* state_of(HWND window) {
    return reinterpret_cast<TemplateEditorResult*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

App* app_of(const MainWindow* mw) { return mw ? mw->app : nullptr; }

bool settings_dark(const MainWindow* mw) {
    const App* app = app_of(mw);
    return app && app->settings && app->settings->dark_mode;
}

Database* database_of(const MainWindow* mw) {
    App* app = app_of(mw);
    return app ? app->database.get() : nullptr;
}

bool register_editor_class() {
    static const bool ok = winutil::register_window_class(kTemplateEditorClass, template_editor_proc);
    return ok;
}

HWND make_child(HWND parent, const wchar_t* cls, const std::wstring& text, DWORD style, int x, int y, int w, int h,
                int id, HFONT font, DWORD ex_style = 0) {
    HWND child = CreateWindowExW(ex_style, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module(), nullptr);
    if (child && font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

HWND make_label(HWND parent, const std::wstring& text, int x, int y, int w, int h, HFONT font) {
    return make_child(parent, L"STATIC", text, SS_LEFT | SS_NOPREFIX, x, y, w, h, -1, font);
}

HWND label_at(HWND parent, const std::wstring& text, const RECT& r, HFONT font) {
    return make_label(parent, text, r.left, r.top, r.right - r.left, r.bottom - r.top, font);
}

// The font's line height and a text's width in it, measured on the window.
int font_text_height(HWND window, HFONT font) {
    HDC dc = GetDC(window);
    if (!dc) return 0;
    TEXTMETRICW tm{};
    {
        raii::SelectGuard use_font(dc, font);
        GetTextMetricsW(dc, &tm);
    }
    ReleaseDC(window, dc);
    return static_cast<int>(tm.tmHeight);
}

int font_text_width(HWND window, HFONT font, const std::wstring& text) {
    HDC dc = GetDC(window);
    if (!dc) return 0;
    SIZE size{};
    {
        raii::SelectGuard use_font(dc, font);
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    }
    ReleaseDC(window, dc);
    return static_cast<int>(size.cx);
}

HWND make_edit(HWND parent, const std::wstring& text, DWORD style, int x, int y, int w, int h, int id, HFONT font,
               bool dark) {
    HWND edit = make_child(parent, L"EDIT", text, style | WS_TABSTOP, x, y, w, h, id, font, WS_EX_CLIENTEDGE);
    theme_child_colors(edit, dark);
    theme_framed_control(edit, dark);
    return edit;
}

HWND make_button(HWND parent, const std::wstring& caption, int x, int y, int w, int h, int id, HFONT font, bool dark,
                 bool accent) {
    HWND button = make_child(parent, L"BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP, x, y, w, h, id, font);
    theme_button(button, dark, accent);
    return button;
}

std::wstring control_text(HWND window, int id) {
    HWND control = GetDlgItem(window, id);
    return control ? winutil::window_text(control) : std::wstring();
}

// The combo's items: the no-group entry, then the store's groups.
void fill_groups(HWND combo, const TemplateEditorResult& state) {
    std::vector<std::wstring> items{tr(L"editor.ungrouped_group")};
    if (Database* db = database_of(state.main_window))
        for (std::wstring& g : db->list_snippet_groups()) items.push_back(std::move(g));
    for (const std::wstring& item : items)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    const int index = editor_group_index(items, state.group);
    if (index >= 0)
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    else
        SetWindowTextW(combo, state.group.c_str());
}

LRESULT on_create(HWND window, LPARAM lp) {
    auto* state = static_cast<TemplateEditorResult*>(reinterpret_cast<const CREATESTRUCTW*>(lp)->lpCreateParams);
    if (!state) return -1;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    const bool dark = state->dark = settings_dark(state->main_window);
    state->static_brush.reset(CreateSolidBrush(dark ? kDarkPage : kLightPage));
    HFONT font = state->main_window && state->main_window->list_font
                     ? state->main_window->list_font.get()
                     : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    const int font_height = font_text_height(window, font);
    label_at(window, tr(L"prompt.name"), editor_label_rect(EditorLabel::Name, font_height), font);
    HWND name = make_edit(window, state->title, ES_AUTOHSCROLL, 120, 10, 640, 24, kEditorName, font, dark);
    // Names and texts of any length are the user's: no limit of the edit
    // cuts a paste (0 lifts the default of about 30,000 characters).
    if (name) SendMessageW(name, EM_SETLIMITTEXT, 0, 0);
    label_at(window, tr(L"editor.group_label"), editor_label_rect(EditorLabel::Group, font_height), font);
    HWND combo = make_child(window, L"COMBOBOX", L"", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 120,
                            40, 640, 200, kEditorGroup, font);
    theme_child_colors(combo, dark);
    label_at(window, tr(L"editor.template_label"), editor_label_rect(EditorLabel::Text, font_height), font);
    make_text_box(window, state->body,
                  ThreadedEditOptions{ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP,
                                      WS_EX_CLIENTEDGE, RECT{120, 70, 760, 410}, kEditorBody, font, dark, 0});
    label_at(window, tr(L"editor.insert_var"), editor_label_rect(EditorLabel::Insert, font_height), font);
    std::array<int, kEditorInsertCount> captions{};
    for (int i = 0; i < kEditorInsertCount; ++i)
        captions[static_cast<size_t>(i)] = font_text_width(window, font, tr(kInsertKeys[i]));
    const std::array<RECT, kEditorInsertCount> rects = editor_insert_button_rects(captions);
    for (int i = 0; i < kEditorInsertCount; ++i) {
        const RECT& r = rects[static_cast<size_t>(i)];
        make_button(window, tr(kInsertKeys[i]), r.left, r.top, r.right - r.left, r.bottom - r.top,
                    kEditorFirstInsert + i, font, dark, false);
    }
    label_at(window, tr(L"editor.vars_hint"), editor_label_rect(EditorLabel::Hint, font_height), font);
    const RECT ok = editor_ok_rect();
    make_button(window, L"OK", ok.left, ok.top, ok.right - ok.left, ok.bottom - ok.top, kEditorOk, font, dark, true);
    const RECT cancel = editor_cancel_rect(font_text_width(window, font, tr(L"action.cancel")));
    make_button(window, tr(L"action.cancel"), cancel.left, cancel.top, cancel.right - cancel.left,
                cancel.bottom - cancel.top, kEditorCancel, font, dark, false);

    if (combo) fill_groups(combo, *state);
    if (name) SetFocus(name);
    return 0;
}

// The text of the combo's first item, the no-group entry, in the language
// the window was made in.
std::wstring first_group_item(HWND window) {
    HWND combo = GetDlgItem(window, kEditorGroup);
    const LRESULT length = combo ? SendMessageW(combo, CB_GETLBTEXTLEN, 0, 0) : CB_ERR;
    if (length == CB_ERR || length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT got = SendMessageW(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

void on_ok(HWND window, TemplateEditorResult& state) {
    const std::wstring title = control_text(window, kEditorName);
    const std::wstring group = control_text(window, kEditorGroup);
    const std::wstring body = control_text(window, kEditorBody);
    if (!editor_input_complete(title, body)) {
        // Nothing typed is lost: the window stays with the texts as they are.
        show_message(window, tr(L"side.templates"), tr(L"message.need_title_text"));
        if (IsWindow(window)) SetFocus(GetDlgItem(window, trim(title).empty() ? kEditorName : kEditorBody));
        return;
    }
    state.title = title;
    state.group = editor_group_choice(group, first_group_item(window), tr(L"editor.ungrouped_group"));
    state.body = body;
    state.accepted = true;
    DestroyWindow(window);
}

void insert_placeholder(HWND window, int id) {
    HWND body = GetDlgItem(window, kEditorBody);
    const wchar_t* text = editor_placeholder(id);
    if (!body || !text) return;
    SendMessageW(body, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
    SetFocus(body);
}

// The group field gets the focus: while it shows the no-group entry, the
// whole label is selected, so that what the user types replaces it. Posted,
// so that it comes after the click that gave the focus placed the caret.
void on_group_focus(HWND window) {
    HWND combo = GetDlgItem(window, kEditorGroup);
    if (combo && control_text(window, kEditorGroup) == first_group_item(window))
        PostMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
}

LRESULT on_command(HWND window, WPARAM wp) {
    TemplateEditorResult* state = state_of(window);
    const int id = LOWORD(wp);
    if (id == kEditorGroup) {
        if (HIWORD(wp) == CBN_SETFOCUS) on_group_focus(window);
    } else if (id >= kEditorFirstInsert && id < kEditorFirstInsert + kEditorInsertCount) {
        if (HIWORD(wp) == BN_CLICKED) insert_placeholder(window, id);
    } else if (id == kEditorOk) {
        if (state && HIWORD(wp) == BN_CLICKED) on_ok(window, *state);
    } else if (id == kEditorCancel) {
        if (HIWORD(wp) == BN_CLICKED) DestroyWindow(window);
    }
    return 0;
}

LRESULT on_erase_background(HWND window, HDC dc) {
    const TemplateEditorResult* state = state_of(window);
    RECT rc{};
    GetClientRect(window, &rc);
    FillRect(dc, &rc, page_background_brush(state && state->dark));
    return 1;
}

LRESULT on_control_color(HWND window, HDC dc) {
    const TemplateEditorResult* state = state_of(window);
    const bool dark = state ? state->dark : false;
    SetTextColor(dc, dark ? kDarkText : kLightText);
    SetBkColor(dc, dark ? kDarkControl : kLightControl);
    return reinterpret_cast<LRESULT>(control_background_brush(dark));
}

LRESULT on_static_color(HWND window, HDC dc) {
    const TemplateEditorResult* state = state_of(window);
    const bool dark = state ? state->dark : false;
    SetTextColor(dc, dark ? kDarkText : kLightText);
    SetBkColor(dc, dark ? kDarkPage : kLightPage);
    SetBkMode(dc, TRANSPARENT);
    HBRUSH brush = state && state->static_brush ? state->static_brush.get() : page_background_brush(dark);
    return reinterpret_cast<LRESULT>(brush);
}

// The keyboard goes back to the control that had it when the window was
// left, else to the name.
LRESULT on_activate(HWND window, WPARAM wp, LPARAM lp) {
    TemplateEditorResult* state = state_of(window);
    if (!state) return DefWindowProcW(window, WM_ACTIVATE, wp, lp);
    return keep_child_focus_on_activate(window, wp, lp, state->last_focus, GetDlgItem(window, kEditorName));
}

LRESULT on_set_focus(HWND window) {
    TemplateEditorResult* state = state_of(window);
    give_keyboard(child_focus_target(window, state ? state->last_focus : nullptr, GetDlgItem(window, kEditorName)));
    return 0;
}

void on_destroy(HWND window) {
    if (TemplateEditorResult* state = state_of(window)) state->static_brush.reset();
}

// Esc anywhere in the editor cancels it, except while the group list is
// dropped down (Esc then only closes the list).
bool is_cancel_key(HWND editor, const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE) return false;
    if (msg.hwnd != editor && !IsChild(editor, msg.hwnd)) return false;
    HWND combo = GetDlgItem(editor, kEditorGroup);
    return !(combo && SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
}

void run_editor_loop(HWND editor, HWND owner) {
    run_modal_window(editor, owner, [editor](MSG& msg) {
        if (!is_cancel_key(editor, msg)) return false;
        DestroyWindow(editor);
        return true;
    });
}

}  // namespace

// --- pure parts ---------------------------------------------------------------------------

const wchar_t* editor_placeholder(int button_id) {
    const int i = button_id - kEditorFirstInsert;
    return i >= 0 && i < kEditorInsertCount ? kPlaceholders[i] : nullptr;
}

std::array<RECT, kEditorInsertCount> editor_insert_button_rects() { return editor_insert_button_rects({}); }

std::array<RECT, kEditorInsertCount> editor_insert_button_rects(const std::array<int, kEditorInsertCount>& captions) {
    std::array<RECT, kEditorInsertCount> rects{};
    int x = 14;
    for (int i = 0; i < kEditorInsertCount; ++i) {
        const int w = std::max(kInsertWidths[i], captions[static_cast<size_t>(i)] + 24);
        rects[static_cast<size_t>(i)] = RECT{x, 442, x + w, 442 + 26};
        x += w + 6;
    }
    return rects;
}

RECT editor_label_rect(EditorLabel which, int font_height) {
    const int h = std::max(18, font_height);
    switch (which) {
        case EditorLabel::Name: return RECT{14, 10, 114, 10 + h};
        case EditorLabel::Group: return RECT{14, 40, 114, 40 + h};
        case EditorLabel::Text: return RECT{14, 70, 114, 70 + h};
        case EditorLabel::Insert: {
            const int top = std::min(420, 440 - h);
            return RECT{14, top, 654, top + h};
        }
        case EditorLabel::Hint: return RECT{14, 476, 654, 476 + h};
    }
    return RECT{};
}

RECT editor_ok_rect() { return RECT{660, 502, 760, 530}; }

RECT editor_cancel_rect(int caption_width) {
    const RECT ok = editor_ok_rect();
    const int w = std::max(100, caption_width + 24);
    return RECT{ok.left - 8 - w, ok.top, ok.left - 8, ok.bottom};
}

SIZE editor_client_size() {
    const RECT ok = editor_ok_rect();
    return SIZE{ok.right + kEditorMargin, ok.bottom + kEditorMargin};
}

std::wstring editor_group_from_text(const std::wstring& text, const std::wstring& ungrouped_label) {
    if (text == ungrouped_label || text == kRussianUngrouped) return {};
    return text;
}

std::wstring editor_group_choice(const std::wstring& text, const std::wstring& first_item,
                                 const std::wstring& ungrouped_label) {
    if (!first_item.empty() && text == first_item) return {};
    // Typed behind the no-group label: the label is no part of the name.
    for (const std::wstring& label : {first_item, ungrouped_label, std::wstring(kRussianUngrouped)})
        if (!label.empty() && text.size() > label.size() && text.compare(0, label.size(), label) == 0)
            return trim(text.substr(label.size()));
    return editor_group_from_text(text, ungrouped_label);
}

int editor_group_index(const std::vector<std::wstring>& items, const std::wstring& group) {
    if (group.empty()) return items.empty() ? -1 : 0;
    int found = -1;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == group) found = static_cast<int>(i);
    return found;
}

bool editor_input_complete(const std::wstring& title, const std::wstring& body) {
    return !trim(title).empty() && !body.empty();
}

// --- the window ----------------------------------------------------------------------------

LRESULT CALLBACK template_editor_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE: return on_create(window, lp);
        case WM_COMMAND: return on_command(window, wp);
        case WM_ACTIVATE: return on_activate(window, wp, lp);
        case WM_SETFOCUS: return on_set_focus(window);
        case WM_CLOSE: DestroyWindow(window); return 0;
        case WM_DESTROY: on_destroy(window); return 0;
        case WM_ERASEBKGND: return on_erase_background(window, reinterpret_cast<HDC>(wp));
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN: return on_control_color(window, reinterpret_cast<HDC>(wp));
        case WM_CTLCOLORSTATIC: return on_static_color(window, reinterpret_cast<HDC>(wp));
        case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
        default: return DefWindowProcW(window, msg, wp, lp);
    }
}

bool show_template_editor(HWND owner, const MainWindow* main_window, std::wstring& title, std::wstring& group,
                          std::wstring& body) {
    if (!register_editor_class()) return false;
    // The window works on copies: the caller's texts change only on OK.
    TemplateEditorResult state;
    state.main_window = main_window;
    state.title = title;
    state.group = group;
    state.body = body;
    // The frame around the client area that the controls fill.
    const SIZE client = editor_client_size();
    RECT frame{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, kEditorStyle, FALSE, kEditorExStyle);
    HWND editor = CreateWindowExW(kEditorExStyle, kTemplateEditorClass, tr(L"editor.title").c_str(), kEditorStyle, 0,
                                  0, frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, module(),
                                  &state);
    if (!editor) return false;
    apply_dark_title_bar(editor, state.dark);
    apply_round_corners(editor);
    center_window(editor, owner);
    ShowWindow(editor, SW_SHOW);
    if (HWND name = GetDlgItem(editor, kEditorName)) SetFocus(name);
    run_editor_loop(editor, owner);
    if (!state.accepted) return false;
    title = state.title;
    group = state.group;
    body = state.body;
    return true;
}
