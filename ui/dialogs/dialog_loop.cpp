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
    run_modal_window(window, owner, [window](MSG& msg) {
        return answer_dialog_key(window, msg) || IsDialogMessageW(window, &msg);
    });
}
