// The program's own modal boxes: the confirmation box (a question or a
// message with an icon glyph, a word-wrapped text and one or two buttons)
// and the text-input box, plus the count phrases of the delete questions.
//
// Both boxes are plain windows of child controls drawn in the current
// theme, centred on their owner's monitor, and run a nested message loop
// that dispatches every message while their owner is disabled. There are
// no dialog-manager keys: Space presses the focused button, Enter and Esc
// do nothing (in the input box Enter starts a new line). Closing a box
// with its system menu or Alt+F4 counts as Cancel. A WM_QUIT that arrives
// ends the loop and is posted again for the outer loop.
//
// Interface thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct Settings;

// What the boxes read from the running program when they open. Without
// settings they are light with an edit font of 14; without a main window
// the input box is 460 pixels wide.
struct BoxContext {
    const Settings* settings = nullptr;  // dark_mode, font_size
    HWND main_window = nullptr;
    std::function<int()> menu_bar_width;  // the main window's menu-bar width
};

// Set once by the application when its main window exists.
void set_box_context(BoxContext context);
const BoxContext& box_context();

// The input box's window user data, on the caller's stack for the call.
struct InputBoxState {
    std::wstring text;       // the initial text; on OK what the box holds
    std::size_t limit = 0;   // the most characters the box takes; 0: no limit
    bool ok = false;         // OK pressed and the text fitted
    HWND last_focus = nullptr;  // the control with the keyboard when the box was left
};

// True only when the OK button was pressed.
bool confirm_box(HWND owner, const std::wstring& title, const std::wstring& text, const std::wstring& ok_caption,
                 bool with_cancel);
// confirm_box with a Cancel button.
bool ask_confirmation(HWND owner, const std::wstring& title, const std::wstring& text,
                      const std::wstring& ok_caption);
// confirm_box with the single button "OK"; always true.
bool show_message(HWND owner, const std::wstring& title, const std::wstring& text);

// True only when OK was pressed and the text fitted into the buffer (fewer
// than capacity characters), which then holds it. The edit takes no more
// than capacity - 1 characters, so typed text always fits. Both modes take
// line breaks; they differ in size only. False without changing the buffer
// for a null buffer, a capacity below 1 or a window that cannot be made.
bool input_box(HWND owner, const std::wstring& title, const std::wstring& prompt, wchar_t* buffer, int capacity,
               bool multi_line);
// The same over a text of any length: the box takes the whole text and
// as much more as is typed or pasted; on OK the text holds exactly what
// the box holds. Above kWrappedTextLimit characters the box scrolls
// sideways instead of wrapping words, so that it opens at once, and its
// edit box works on a thread of its own, so that laying the text out
// never holds the program's windows.
bool input_box(HWND owner, const std::wstring& title, const std::wstring& prompt, std::wstring& text,
               bool multi_line);

// --- count phrases -------------------------------------------------------------------

enum class PluralForm { One, Few, Many };

// The rule for every language: n % 100 in 11..14 many; else n % 10 == 1
// one; else n % 10 in 2..4 few; else many.
PluralForm plural_form(uint64_t n);

// The decimal n, a blank and the word of its form.
std::wstring format_count_plural(uint64_t n, const std::wstring& one, const std::wstring& few,
                                 const std::wstring& many);

// The question of a delete command that removes history entries and
// templates ("confirm.del_and" for both, else "confirm.del_some").
std::wstring format_delete_confirmation(uint64_t entries, uint64_t templates);

// --- layout (pure) -------------------------------------------------------------------------

struct ConfirmBoxLayout {
    SIZE client;  // (w + 84) x (h + 152)
    RECT icon;
    RECT text;
    RECT ok;
    RECT cancel;  // empty without a Cancel button
};

// The size of the box's text in the font, word-wrapped at 320 pixels; a
// word longer than that (a path) breaks inside itself, as the box's static
// text draws it.
SIZE measure_confirm_text(const std::wstring& text, HFONT font);
// The text font of the confirmation box (create_ui_font at this size).
inline constexpr int kConfirmTextFontSize = 12;

// The layout for a text measured text_width x text_height in a 320-pixel
// box (w = max(width, 240), h = height).
ConfirmBoxLayout confirm_box_layout(int text_width, int text_height, bool with_cancel);

struct InputBoxLayout {
    SIZE window;  // outer size
    RECT prompt;
    RECT edit;
    RECT ok;
    RECT cancel;
};

// 460 without a main window, else max(300, menu-bar width).
int input_box_base_width(bool has_main_window, int menu_bar_width);
InputBoxLayout input_box_layout(int base_width, bool multi_line);

// Settings font_size limited to 10..18; 14 without settings.
int input_box_font_size(const Settings* settings);

// The colours of the boxes.
struct BoxColors {
    COLORREF background;
    COLORREF control_background;  // edits and buttons
    COLORREF text;
    COLORREF icon;
};
const BoxColors& box_colors(bool dark);

// The icon glyphs: a question (with Cancel) and an information mark.
inline constexpr wchar_t kConfirmGlyph = 0xE7BA;
inline constexpr wchar_t kMessageGlyph = 0xE946;

// The window procedures (classes "QuilletConfirmBox", "QuilletInputBox").
LRESULT CALLBACK confirm_box_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CALLBACK input_box_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
