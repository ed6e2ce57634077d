// Real pointer and key input for the screenshot tests (SendInput), and
// another program's window of one colour (screenshot_shot_window.exe).
#pragma once

#include <windows.h>

#include <string>
#include <thread>

#include "tests/app/app_test_support.h"
#include "tests/theme/gui_support.h"

namespace shot_test {

// Moves the pointer to the screen point with an absolute move of the
// virtual desktop, then makes sure it is exactly there.
inline void pointer_to(POINT p) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>((static_cast<long long>(p.x - left) * 65536 + width - 1) / width);
    in.mi.dy = static_cast<LONG>((static_cast<long long>(p.y - top) * 65536 + height - 1) / height);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    SendInput(1, &in, sizeof(in));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    POINT now{};
    GetCursorPos(&now);
    if (now.x != p.x || now.y != p.y) gui_test::move_pointer(p);
}

inline void left_button(bool down) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &in, sizeof(in));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

// A drag with the left button through the points (screen coordinates).
inline void drag(POINT from, POINT to, int steps = 6) {
    pointer_to(from);
    left_button(true);
    for (int i = 1; i <= steps; ++i)
        pointer_to(POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    left_button(false);
}

inline void click(POINT p) {
    pointer_to(p);
    left_button(true);
    left_button(false);
}

inline void key(WORD vk, bool down) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof(in));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

inline void press(WORD vk) {
    key(vk, true);
    key(vk, false);
}

// Another program's window of one colour at a screen rectangle, in front.
class ShotWindow {
public:
    bool start(const RECT& rc, COLORREF colour, bool pattern = false) {
        ready_.reset(CreateEventW(nullptr, TRUE, FALSE, (name_ + L"-ready").c_str()));
        quit_.reset(CreateEventW(nullptr, TRUE, FALSE, (name_ + L"-quit").c_str()));
        wchar_t args[256];
        swprintf(args, 256, L"%ls-ready %ls-quit %ld %ld %ld %ld 0x%06lX", name_.c_str(), name_.c_str(), rc.left,
                 rc.top, rc.right - rc.left, rc.bottom - rc.top, static_cast<unsigned long>(colour));
        if (pattern) wcscat(args, L" pattern");
        if (!process_.start(gui_test::exe_dir() + L"\\screenshot_shot_window.exe", args)) return false;
        HANDLE waits[] = {ready_.get(), process_.handle()};
        return WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
    }
    ~ShotWindow() {
        if (quit_) SetEvent(quit_.get());
        process_.wait(10000);
    }
    DWORD id() const { return process_.id(); }

private:
    std::wstring name_ = app_test::unique_name(L"shot");
    app_test::Process process_;
    raii::Handle ready_, quit_;
};

}  // namespace shot_test
