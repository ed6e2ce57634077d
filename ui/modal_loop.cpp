#include "ui/modal_loop.h"

namespace {
int g_depth = 0;
}  // namespace

int modal_loop_depth() { return g_depth; }

ModalLoopScope::ModalLoopScope() noexcept { ++g_depth; }

ModalLoopScope::~ModalLoopScope() { --g_depth; }

void run_modal_window(HWND window, HWND owner, const std::function<bool(MSG&)>& take) {
    ModalLoopScope modal;
    const bool disabled_here = owner && IsWindow(owner) && IsWindowEnabled(owner);
    if (disabled_here) EnableWindow(owner, FALSE);
    bool quit = false;
    int quit_code = 0;
    MSG msg{};
    while (IsWindow(window)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            quit_code = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) break;
        if (take && take(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // The owner first, so that the system does not activate another window.
    if (disabled_here && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(window)) DestroyWindow(window);
    if (owner && IsWindow(owner)) SetForegroundWindow(owner);
    if (quit) PostQuitMessage(quit_code);
}
