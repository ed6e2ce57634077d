#include "ui/dialogs/dialog_loop.h"

#include <cwchar>

#include "ui/modal_loop.h"

namespace {

bool is_button(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    return _wcsicmp(name, L"Button") == 0;
}

}  // namespace

bool answer_dialog_key(HWND window, const MSG& msg) {
    if (msg.message != WM_KEYDOWN) return false;
    if (msg.hwnd != window && !IsChild(window, msg.hwnd)) return false;
    if (msg.wParam == VK_ESCAPE) {
        SendMessageW(window, WM_CLOSE, 0, 0);
        return true;
    }
    if (msg.wParam == VK_RETURN) {
        HWND focus = GetFocus();
        if (!focus || GetParent(focus) != window || !is_button(focus) || !IsWindowEnabled(focus)) return false;
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                     reinterpret_cast<LPARAM>(focus));
        return true;
    }
    return false;
}

void run_dialog_loop(HWND window, HWND owner) {
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
        if (answer_dialog_key(window, msg)) continue;
        if (IsDialogMessageW(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // The owner first, so that the system does not activate another window.
    if (disabled_here && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(window)) DestroyWindow(window);
    if (owner && IsWindow(owner)) SetForegroundWindow(owner);
    if (quit) PostQuitMessage(quit_code);
}
