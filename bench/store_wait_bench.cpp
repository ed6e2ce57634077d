// The write-out after a long lock: a whole App runs with its main window
// while a second process (this program started again with "--hold") holds
// the store with BEGIN EXCLUSIVE; 200 copies meet the held store and wait.
// The hold ends, and the window's own timers write them out. Measured: the
// time from the end of the hold until none waits, and the longest stall of
// the interface thread meanwhile: the longest single message it handled
// (input and painting wait that long), and beside it the longest wait of a
// probe thread's WM_NULL sent every few milliseconds (answered sooner when
// the thread itself waits on another window inside a message).
#include <windows.h>
#include <shellapi.h>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/app.h"
#include "bench/bench_app.h"
#include "bench/bench_timing.h"
#include "bench/bench_window.h"
#include "capture/clipboard.h"
#include "capture/watcher.h"
#include "core/text.h"
#include "store/database.h"

namespace {

constexpr wchar_t kHeld[] = L"QuilletStoreWaitBenchHeld";
constexpr wchar_t kRelease[] = L"QuilletStoreWaitBenchRelease";
constexpr int kCopies = 200;

// The second process: holds the store until told to let go.
int run_holder(const std::wstring& path) {
    HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, kHeld);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, kRelease);
    if (!held || !release) return 2;
    sqlite3* db = nullptr;
    if (sqlite3_open(to_utf8(path).c_str(), &db) != SQLITE_OK) return 3;
    if (sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) return 4;
    SetEvent(held);
    WaitForSingleObject(release, 120000);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}

// Sends WM_NULL to the window every few milliseconds until stopped; the
// longest wait for an answer.
class Probe {
public:
    explicit Probe(HWND window) : window_(window), thread_([this] { run(); }) {}
    ~Probe() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // Called on the window's thread: its messages are handled until the
    // probe's last one is answered.
    double stop() {
        stop_ = true;
        while (!ended_) bench::pump_for(5, 1);
        if (thread_.joinable()) thread_.join();
        return longest_;
    }

private:
    void run() {
        while (!stop_) {
            const double t0 = bench::now_ms();
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored);
            longest_ = std::max(longest_, bench::now_ms() - t0);
            Sleep(5);
        }
        ended_ = true;
    }

    HWND window_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    double longest_ = 0;
    std::thread thread_;
};

void run(const std::wstring& dir) {
    std::unique_ptr<App> app = bench::start_app(dir);
    if (!app) return;
    HWND main = app->main_window_handle();
    KillTimer(main, 5);  // no update check
    // Shown, as the list's refreshes cost most then.
    SetWindowPos(main, HWND_TOPMOST, 700, 80, 620, 560, SWP_SHOWWINDOW);
    bench::pump_for(300, 20);

    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, kHeld);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, kRelease);
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --hold \"" + app->files.database_path + L"\"";
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) ||
        WaitForSingleObject(held, 30000) != WAIT_OBJECT_0) {
        std::printf("the store could not be held from a second process\n");
        return;
    }

    // The copies meet the held store and wait.
    for (int i = 0; i < kCopies; ++i) {
        ClipboardSnapshot snap;
        snap.text = L"copy made while the store was held, number " + std::to_wstring(i + 1);
        snap.owner_app = L"notepad.exe";
        snap.opened = true;
        app->watcher->check_snapshot(std::move(snap), false);
    }
    const std::size_t waiting = app->watcher->waiting_captures();

    Probe probe(main);
    bench::pump_for(200, 5);
    const double released = bench::now_ms();
    SetEvent(release);
    WaitForSingleObject(pi.hProcess, 30000);
    double longest_message = 0;
    while (app->watcher->waiting_captures() > 0 && bench::now_ms() - released < 120000) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
            continue;
        }
        if (msg.message == WM_QUIT) continue;
        const double t0 = bench::now_ms();
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        longest_message = std::max(longest_message, bench::now_ms() - t0);
    }
    const double total = bench::now_ms() - released;
    const double probed = probe.stop();
    const std::int64_t stored = app->database->count_entries();
    std::printf("write-out after a lock: total %.0f ms, longest stall %.0f ms (a sent probe waited at most %.0f ms; "
                "%zu copies waited, %lld stored)\n",
                total, longest_message, probed, waiting, static_cast<long long>(stored));

    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(held);
    CloseHandle(release);
    DestroyWindow(main);
    bench::pump();
    app->shutdown();
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc >= 3 && std::wstring(argv[1]) == L"--hold") return run_holder(argv[2]);

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = std::wstring(temp) + L"quillet-store-wait-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    run(dir);
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(dir), ec);
    return 0;
}
