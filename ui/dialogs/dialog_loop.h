// The nested message loop of the program's secondary windows (about,
// information): the owner is disabled while the window exists, every
// message is offered to IsDialogMessageW first (Tab moves between the
// buttons), and two keys are answered before it:
//   Esc   closes the window (WM_CLOSE), as its system menu would;
//   Enter presses the focused button (BN_CLICKED to the window).
// A WM_QUIT that arrives ends the loop and is posted again for the outer
// loop. When the loop ends the window is gone, the owner is enabled and
// brought to the front.
//
// Interface thread only.
#pragma once

#include <windows.h>

void run_dialog_loop(HWND window, HWND owner);

// True when the message is a key press that run_dialog_loop answers itself
// for the window (Esc, or Enter on one of its buttons); the answer is given.
bool answer_dialog_key(HWND window, const MSG& msg);
