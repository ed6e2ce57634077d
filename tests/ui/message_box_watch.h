// Closes the program's message boxes ("QuilletConfirmBox") from a thread of
// its own while a test runs an action that may show one on the test's
// thread (the box runs its own message loop there), and keeps the texts of
// the boxes it closed.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace gui_test {

class MessageBoxWatch {
public:
    MessageBoxWatch() : thread_([this] { run(); }) {}
    ~MessageBoxWatch() { stop(); }
    MessageBoxWatch(const MessageBoxWatch&) = delete;
    MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // The texts of every box closed so far: the texts of its child windows,
    // joined by LF.
    std::vector<std::wstring> texts() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    void run() {
        while (!stop_) {
            if (HWND box = find_box()) {
                std::wstring all;
                EnumChildWindows(
                    box,
                    [](HWND child, LPARAM lp) -> BOOL {
                        wchar_t text[2048] = {};
                        DWORD_PTR ok = 0;
                        SendMessageTimeoutW(child, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                            2000, &ok);
                        *reinterpret_cast<std::wstring*>(lp) += std::wstring(text) + L"\n";
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(&all));
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    texts_.push_back(all);
                }
                PostMessageW(box, WM_CLOSE, 0, 0);
                while (!stop_ && IsWindow(box)) Sleep(10);
            }
            Sleep(20);
        }
    }
    static HWND find_box() {
        HWND found = nullptr;
        EnumWindows(
            [](HWND w, LPARAM lp) -> BOOL {
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                wchar_t cls[64] = {};
                GetClassNameW(w, cls, 64);
                if (pid != GetCurrentProcessId() || std::wstring(cls) != L"QuilletConfirmBox" || !IsWindowVisible(w))
                    return TRUE;
                *reinterpret_cast<HWND*>(lp) = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::wstring> texts_;
    std::thread thread_;
};

}  // namespace gui_test
