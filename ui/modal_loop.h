// Counts the nested message loops of the program that are running (modal
// boxes, the popup menu, secondary windows run modally, the capture
// overlay), so that work which must not run inside them can wait: the
// main window's clipboard poll skips its tick while modal_loop_depth() is
// above 0 and takes the clipboard at the next tick after the loop ends.
//
// Interface thread only.
#pragma once

// The number of nested loops running now.
int modal_loop_depth();

// Counts one nested loop for its lifetime.
class ModalLoopScope {
public:
    ModalLoopScope() noexcept;
    ~ModalLoopScope();
    ModalLoopScope(const ModalLoopScope&) = delete;
    ModalLoopScope& operator=(const ModalLoopScope&) = delete;
};

#include <windows.h>

#include <functional>

// Runs a nested message loop for as long as `window` exists, with `owner`
// disabled meanwhile (when it was enabled). `take` sees each message first
// and returns true for one it handled itself. Afterwards the owner is
// enabled, the window is gone, the owner comes to the front, and a
// WM_QUIT met by the loop is posted again for the loop outside.
void run_modal_window(HWND window, HWND owner, const std::function<bool(MSG&)>& take = {});
