// The template editor (window class "QuilletSnippetEditor"): the modal
// window in which the user writes or edits a template's name, group and
// text, with buttons that insert the placeholders expanded at paste time.
//
// The editor stores nothing itself; the main window's template commands
// store what it returns. It refuses to close with OK while the name (after
// trimming) or the text is empty, says so, and keeps what was typed. Esc,
// Cancel and the close box leave the caller's texts as they were.
//
// It runs a nested message loop with its owner disabled; a WM_QUIT that
// arrives ends the loop and is posted again for the outer loop. Interface
// thread only.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "core/handles.h"

class MainWindow;

inline constexpr wchar_t kTemplateEditorClass[] = L"QuilletSnippetEditor";

// Control ids of the editor.
inline constexpr int kEditorName = 1;
inline constexpr int kEditorGroup = 2;
inline constexpr int kEditorBody = 3;
inline constexpr int kEditorOk = 4;
inline constexpr int kEditorCancel = 5;
inline constexpr int kEditorFirstInsert = 10;  // 10..14: date, time, date and time, year, user
inline constexpr int kEditorInsertCount = 5;

// The window's state, kept in its user data for its lifetime.
struct TemplateEditorResult {
    const MainWindow* main_window = nullptr;  // theme flag, list font and store; may be null
    std::wstring title;                 // in: the initial name; out: the name entered
    std::wstring group;                 // in: the initial group (empty for none); out: the group
    std::wstring body;                  // in: the initial text; out: the text entered
    bool accepted = false;              // true only after OK
    bool dark = false;                  // the theme when the window was made
    raii::Brush static_brush;           // background of the static texts
    HWND last_focus = nullptr;          // the control with the keyboard when the window was left
};

// Runs the editor modally over the caller's three texts. True only when the
// user pressed OK, the texts then holding the entered values; otherwise
// they are unchanged. False when the window cannot be made.
bool show_template_editor(HWND owner, const MainWindow* main_window, std::wstring& title, std::wstring& group,
                          std::wstring& body);

LRESULT CALLBACK template_editor_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp);

// --- pure parts ---------------------------------------------------------------------------

// The placeholder an insert button puts at the caret ("{date}", "{time}",
// "{datetime}", "{year}", "{user}"); null for any other id.
const wchar_t* editor_placeholder(int button_id);

// The rectangles (client coordinates) of the five insert buttons: y 442,
// 26 high, from x 14 with 6 pixels between them, widths 70, 76, 100, 60, 110.
std::array<RECT, kEditorInsertCount> editor_insert_button_rects();
// The same for the measured caption widths: a button whose caption needs
// more than its width less 24 grows to caption + 24, and the later ones
// move along.
std::array<RECT, kEditorInsertCount> editor_insert_button_rects(
    const std::array<int, kEditorInsertCount>& caption_widths);

// The labels in the editor's font: 18 high, or the font's height when
// taller. Name, group and text labels at x 14 and y 10, 40 and 70, 100
// wide; the insert label 640 wide at y 420, moved up so that it ends two
// pixels above the insert buttons when taller than 20; the hint 640 wide
// at y 476.
enum class EditorLabel { Name, Group, Text, Insert, Hint };
RECT editor_label_rect(EditorLabel which, int font_height);

// OK: 100 x 28 at (660, 502), the bottom right control.
RECT editor_ok_rect();
// Cancel: 100 wide or caption + 24, its right edge at 652 (8 left of OK).
RECT editor_cancel_rect(int caption_width);

// The margin right of and below the controls.
inline constexpr int kEditorMargin = 14;
// The client area: the margin right of and below OK, the farthest control
// (the window's frame is made around it, so no band is left below the
// buttons).
SIZE editor_client_size();

// The group of the combo's text: empty for the no-group entry (its label in
// the current language) or for "(Без группы)"; the text itself otherwise.
std::wstring editor_group_from_text(const std::wstring& text, const std::wstring& ungrouped_label);

// The group of the combo's text on OK: empty when the text is the combo's
// first item (the no-group entry as the window shows it, whatever language
// was chosen since); what follows that label (or the no-group label),
// trimmed, when the text starts with it, since the label is never part of
// a name; otherwise as editor_group_from_text.
std::wstring editor_group_choice(const std::wstring& text, const std::wstring& first_item,
                                 const std::wstring& ungrouped_label);

// The combo item to select for a group among the combo's items (item 0 is
// the no-group entry): 0 for an empty group, else the last item equal to
// it, else -1 (the group is then typed into the combo's edit).
int editor_group_index(const std::vector<std::wstring>& items, const std::wstring& group);

// True when the store can take the template: a name that is not blank and
// a text that is not empty.
bool editor_input_complete(const std::wstring& title, const std::wstring& body);
