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

// A visible top-level window of this process of that class, or null.
inline HWND own_window_of_class(const wchar_t* cls) {
    struct Find {
        const wchar_t* cls;
        HWND found = nullptr;
    } f{cls};
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto& f = *reinterpret_cast<Find*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            wchar_t name[64] = {};
            GetClassNameW(w, name, 64);
            if (pid != GetCurrentProcessId() || std::wstring(name) != f.cls || !IsWindowVisible(w)) return TRUE;
            f.found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

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
            if (HWND box = own_window_of_class(L"QuilletConfirmBox")) {
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
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::wstring> texts_;
    std::thread thread_;
};

}  // namespace gui_test
