// A child edit box whose window belongs to a thread of its own, for a text
// long enough that laying it out takes a noticeable time: Wine's edit box
// lays a line of 400,000 characters out in about a fifth of a second, for
// the filling and again for every key typed into it. On its own thread
// that work never holds the window it sits in, nor the rest of the
// program's windows, which keep answering and painting meanwhile.
//
// The box is made and themed on its thread, then filled there: whoever
// asks it for its text (WM_GETTEXT) waits until the filling is done, so a
// reader always gets the whole text. Its notifications (WM_COMMAND,
// WM_CTLCOLOREDIT) reach the parent as from any child. Esc pressed in it
// goes to the parent window as a WM_KEYDOWN of its own, since the modal
// loop that cancels on it runs on the parent's thread. The box keeps a copy
// of the font it is given. It is closed when its parent is destroyed, and
// its thread ends with it.
//
// Interface thread for the calls; the box's own thread does the rest.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

struct ThreadedEditOptions {
    DWORD style = 0;            // the edit's styles; WS_CHILD and WS_VISIBLE are added
    DWORD ex_style = 0;
    RECT rect{};                // in the parent's client coordinates
    int id = 0;
    HFONT font = nullptr;       // copied; null keeps the system's font
    bool dark = false;          // the theme of its colours, frame and scroll bars
    std::size_t limit = 0;      // the most characters it takes; 0: as many as memory allows
    std::size_t caret = 0;      // where the caret stands once filled (scrolled into view)
};

// Makes the box on a new thread and returns it once it exists (its filling
// goes on meanwhile), or null when it cannot be made. While waiting the
// calling thread still answers messages sent to its windows.
HWND create_threaded_edit(HWND parent, const std::wstring& text, const ThreadedEditOptions& options);

// Sets a new edit box's font, limit (0: none) and theme: its colours, frame
// and scroll bars. On the thread that owns the box.
void prepare_edit(HWND edit, HFONT font, std::size_t limit, bool dark);

// Gives the box the keyboard as soon as it is filled, unless by then the
// focus went to another control of its window.
void focus_threaded_edit(HWND edit);
