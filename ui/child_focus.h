// The keyboard in a window of child controls across activations.
// DefWindowProc gives the keyboard to the window itself when it is
// activated, where no key does anything: such a window remembers the
// control that had the keyboard when it was left and gives it back, or to
// its main control the first time.
//
// Interface thread only.
#pragma once

#include <windows.h>

// Gives the control the keyboard: at once when it belongs to this thread;
// a control of another thread's (a threaded edit box) takes it once it is
// filled.
void give_keyboard(HWND control);

// The control that should hold the keyboard: `last` while it is still a
// visible, enabled child of the window, else `fallback`.
HWND child_focus_target(HWND window, HWND last, HWND fallback);

// WM_ACTIVATE: on leaving, the child with the keyboard goes into `last`;
// on coming back (not minimised) the keyboard goes to the target.
LRESULT keep_child_focus_on_activate(HWND window, WPARAM wp, LPARAM lp, HWND& last, HWND fallback);
