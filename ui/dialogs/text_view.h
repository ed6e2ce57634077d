// The read-only text view of the view window (window class
// "QuilletTextView"): a long text word-wrapped at the control's width and
// scrolled by lines, with a cost that grows with the text, not faster
// (the system's multi-line edit and rich edit controls re-measure the rest
// of a paragraph for every wrapped line). Only the visible lines are drawn.
//
// It answers like a read-only multi-line edit box: WM_SETTEXT, WM_GETTEXT,
// WM_GETTEXTLENGTH, WM_SETFONT, WM_GETFONT, EM_SETSEL, EM_GETSEL (the full
// offsets through its pointers; -1 returned when an end passes 65,535),
// WM_COPY. With the focus it shows a caret and a frame. The arrows, Home,
// End, Page Up and Page Down move the caret (Ctrl+Home and Ctrl+End to the
// text's ends, Ctrl with the arrows by word) and with Shift extend the
// selection; the text scrolls to keep the caret in view. The mouse selects
// by a press and a drag (Shift+click extends), a double click selects a
// word, Ctrl+A everything; Ctrl+C or Ctrl+Insert copies. The context menu
// (right click, the menu key, Shift+F10) offers Copy and Select all; the
// view takes the keyboard for it and holds it when the menu closes. The
// wheel and the scroll bar scroll. The colours come from the parent's
// answer to WM_CTLCOLOREDIT, as for an edit box. Interface thread only.
#pragma once

#include <windows.h>

inline constexpr const wchar_t* kTextViewClass = L"QuilletTextView";

// Registers the class once; true when it exists.
bool register_text_view_class();

// A child text view holding the text.
HWND create_text_view(HWND parent, const wchar_t* text, int x, int y, int width, int height, HFONT font);

// The first visible display line and the number of display lines.
int text_view_top_line(HWND view);
int text_view_line_count(HWND view);
