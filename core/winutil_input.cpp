// Focus and keystrokes for the paste threads.
#include <cstdint>

#include "core/clipboard_text.h"
#include "core/winutil.h"

namespace winutil {

namespace {

const int kModifierKeys[] = {VK_CONTROL, VK_SHIFT, VK_MENU, VK_LWIN, VK_RWIN};

// Shares the input state of another thread for the lifetime of the object.
class InputAttachment {
public:
    InputAttachment(DWORD self, DWORD other) noexcept
        : self_(self), other_(other), attached_(other != 0 && other != self && AttachThreadInput(self, other, TRUE)) {}
    ~InputAttachment() {
        if (attached_) AttachThreadInput(self_, other_, FALSE);
    }
    InputAttachment(const InputAttachment&) = delete;
    InputAttachment& operator=(const InputAttachment&) = delete;

private:
    DWORD self_;
    DWORD other_;
    bool attached_;
};

void key(BYTE vk, DWORD flags) { keybd_event(vk, 0, flags, 0); }

}  // namespace

bool bring_to_front(HWND wnd) {
    if (!wnd) return false;
    const DWORD self = GetCurrentThreadId();
    HWND foreground = GetForegroundWindow();
    const DWORD foreground_thread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    bool ok = false;
    {
        InputAttachment attach(self, foreground_thread);
        if (IsIconic(wnd)) ShowWindow(wnd, SW_RESTORE);
        ok = SetForegroundWindow(wnd) != FALSE;
        BringWindowToTop(wnd);
    }
    return ok;
}

bool any_modifier_down() {
    for (int vk : kModifierKeys)
        if (GetAsyncKeyState(vk) & 0x8000) return true;
    return false;
}

void wait_modifiers_released(int timeout_ms) {
    const DWORD deadline = GetTickCount() + static_cast<DWORD>(timeout_ms > 0 ? timeout_ms : 0);
    for (;;) {
        if (!any_modifier_down()) return;
        // A signed difference, so the counter's wrap after 49.7 days does no harm.
        if (static_cast<int32_t>(GetTickCount() - deadline) >= 0) return;
        Sleep(10);
    }
}

void send_ctrl_v() {
    key(VK_CONTROL, 0);
    Sleep(40);
    key('V', 0);
    Sleep(40);
    key('V', KEYEVENTF_KEYUP);
    Sleep(40);
    key(VK_CONTROL, KEYEVENTF_KEYUP);
}

bool repaste_clipboard_text(const std::function<void(const std::wstring&)>& before_write) {
    const std::wstring text = get_clipboard_text();
    if (text.empty()) return false;
    if (before_write) before_write(text);
    if (!set_clipboard_text(text)) return false;
    Sleep(40);
    send_ctrl_v();
    return true;
}

}  // namespace winutil
