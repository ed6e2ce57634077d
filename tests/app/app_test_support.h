// Shared pieces of the application tests: message pumping, helper
// processes, files and the App started on files of a temporary folder.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "core/handles.h"
#include "core/settings.h"
#include "tests/core/temp_folder.h"

namespace app_test {

using test_support::own_exe_dir;
using test_support::TempFolder;

// True when another owner could take the hotkey combination now (it is free).
inline bool combination_free(UINT mods, UINT vk) {
    if (!RegisterHotKey(nullptr, 0xBEEF, mods, vk)) return false;
    UnregisterHotKey(nullptr, 0xBEEF);
    return true;
}

// Dispatches the thread's messages for ms milliseconds.
inline void pump(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

// Real key presses through the system's input queue, each down and up;
// modifiers held around the key.
inline void press_keys(std::initializer_list<WORD> held, WORD key) {
    std::vector<INPUT> in;
    auto add = [&](WORD vk, bool up) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = vk;
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        in.push_back(i);
    };
    for (WORD m : held) add(m, false);
    add(key, false);
    add(key, true);
    for (WORD m : held) add(m, true);
    for (INPUT& i : in) {
        SendInput(1, &i, sizeof(INPUT));
        Sleep(15);
    }
}

// Pumps until the condition holds or the time is up; the condition's last value.
inline bool pump_until(const std::function<bool()>& done, DWORD timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    while (!done()) {
        if (GetTickCount64() >= end) return done();
        pump(20);
    }
    return true;
}

// A process started from a command line, ended (if still running) when
// the object goes away.
class Process {
public:
    Process() = default;
    bool start(const std::wstring& exe, const std::wstring& args, const std::wstring& folder = L"",
               const wchar_t* environment = nullptr) {
        std::wstring cmd = L"\"" + exe + L"\" " + args;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        DWORD flags = environment ? CREATE_UNICODE_ENVIRONMENT : 0;
        if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, flags, const_cast<wchar_t*>(environment),
                            folder.empty() ? nullptr : folder.c_str(), &si, &pi))
            return false;
        process_.reset(pi.hProcess);
        CloseHandle(pi.hThread);
        id_ = pi.dwProcessId;
        return true;
    }
    ~Process() { kill(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    HANDLE handle() const { return process_.get(); }
    DWORD id() const { return id_; }
    bool running() const { return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
    // The exit code, or -1 when the process did not end in time.
    int wait(DWORD ms) {
        if (!process_) return -1;
        if (WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return static_cast<int>(code);
    }
    void kill() {
        if (running()) {
            TerminateProcess(process_.get(), 99);
            WaitForSingleObject(process_.get(), 5000);
        }
    }

private:
    raii::Handle process_;
    DWORD id_ = 0;
};

// A top-level window of the process with the class name; none yet.
inline HWND find_window_of(DWORD pid, const std::wstring& class_name) {
    struct Search {
        DWORD pid;
        const std::wstring* name;
        HWND found;
    } search{pid, &class_name, nullptr};
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == s->pid && *s->name == cls) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The top-level window of the class in the process, waiting for it to appear.
inline HWND process_window(DWORD pid, const wchar_t* cls, DWORD timeout_ms) {
    HWND found = nullptr;
    pump_until([&] { return (found = find_window_of(pid, cls)) != nullptr; }, timeout_ms);
    return found;
}

// The "QuilletMain" window of the process, waiting for it to appear.
// The test prefix hands web addresses to winebrowser only when this machine
// has a browser (tools/wine-run says so in QUILLET_HOST_BROWSER).
inline bool machine_has_browser() {
    wchar_t value[16] = {};
    return GetEnvironmentVariableW(L"QUILLET_HOST_BROWSER", value, 16) > 0 && std::wstring(value) == L"1";
}

inline HWND main_window_of(DWORD pid, DWORD timeout_ms) { return process_window(pid, L"QuilletMain", timeout_ms); }

inline std::wstring helper_exe() { return own_exe_dir() + L"\\app_test_helper.exe"; }

// A named event of this test, made fresh.
inline std::wstring unique_name(const wchar_t* what) {
    static int n = 0;
    return std::wstring(L"QuilletTest-") + what + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++n);
}

// Runs the helper with the arguments, waits for it to signal "ready" and
// keeps it running until the object goes away (it then gets "quit").
class Helper {
public:
    bool start(const std::wstring& args) {
        std::wstring ready = unique_name(L"ready");
        std::wstring quit = unique_name(L"quit");
        ready_.reset(CreateEventW(nullptr, TRUE, FALSE, ready.c_str()));
        quit_.reset(CreateEventW(nullptr, TRUE, FALSE, quit.c_str()));
        if (!process_.start(helper_exe(), ready + L" " + quit + L" " + args)) return false;
        HANDLE waits[] = {ready_.get(), process_.handle()};
        return WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
    }
    // The helper's exit code once it ended.
    int stop() {
        if (quit_) SetEvent(quit_.get());
        return process_.wait(10000);
    }
    ~Helper() { stop(); }
    DWORD id() const { return process_.id(); }

private:
    Process process_;
    raii::Handle ready_;
    raii::Handle quit_;
};

// Settings written to the INI file of a folder before the App starts.
inline void write_settings(const std::wstring& ini, const std::function<void(Settings&)>& tweak) {
    Settings s;
    s.load(ini);
    if (tweak) tweak(s);
    s.save(ini);
}

// An App on the files of a temporary folder, with its window shown.
struct RunningApp {
    TempFolder folder;
    std::unique_ptr<App> app;
    AppFiles files;

    explicit RunningApp(const std::function<void(Settings&)>& tweak = {}) {
        files.settings_path = folder.file(L"quillet.db.ini");
        files.database_path = folder.file(L"quillet.db");
        write_settings(files.settings_path, tweak);
    }
    bool start() {
        SetEnvironmentVariableW(L"QUILLET_ALLOW_CAPTURE", L"1");
        app = std::make_unique<App>();
        bool ok = app->init(GetModuleHandleW(nullptr), files);
        // The automatic update check would ask the network 10 s after the
        // start and then write the settings file; a test that wants it posts
        // the timer itself.
        if (HWND w = window()) KillTimer(w, 5);
        pump(200);
        return ok;
    }
    HWND window() const { return app ? app->main_window_handle() : nullptr; }
    // Destroys the window and shuts the App down.
    void stop() {
        if (!app) return;
        if (HWND w = window(); w && IsWindow(w)) DestroyWindow(w);
        pump(50);
        app->shutdown();
        app.reset();
    }
    ~RunningApp() { stop(); }
};

// The 32-bit pixels of a rectangle of the screen, top-down BGRA.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    COLORREF at(int x, int y) const {
        const std::uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
        return RGB(p[2], p[1], p[0]);
    }
};

inline Capture capture_screen(const RECT& rc) {
    Capture c;
    c.width = rc.right - rc.left;
    c.height = rc.bottom - rc.top;
    raii::WindowDC screen(nullptr);
    raii::MemoryDC mem(CreateCompatibleDC(screen.get()));
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = c.width;
    bi.bmiHeader.biHeight = -c.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    raii::Bitmap bmp(CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bmp || !bits) return c;
    {
        raii::SelectGuard sel(mem.get(), bmp.get());
        BitBlt(mem.get(), 0, 0, c.width, c.height, screen.get(), rc.left, rc.top, SRCCOPY);
    }
    GdiFlush();
    auto* p = static_cast<const std::uint8_t*>(bits);
    c.pixels.assign(p, p + static_cast<size_t>(c.width) * c.height * 4);
    for (size_t i = 3; i < c.pixels.size(); i += 4) c.pixels[i] = 255;
    return c;
}

}  // namespace app_test
