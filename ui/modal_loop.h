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
