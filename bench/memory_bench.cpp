// Memory of a running main window, from the process's own counters, beside
// Wine's notepad started on the same prefix in the same run:
//   - the resident set of the idle main window;
//   - the resident set after 200 texts and 20 bitmaps of 1920x1080 were
//     copied by another process and captured;
//   - the largest resident set while a text of 20 million characters
//     (40 MB as UTF-16) is captured, and the resident set it settles at.
//
// The main window runs in a process of its own (this program started with
// "--app"); the copies come from a third ("--writer"), one per signal.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "bench/bench_clipboard.h"
#include "bench/bench_timing.h"
#include "bench/bench_window.h"
#include "capture/clipboard.h"
#include "capture/watcher.h"
#include "core/settings.h"
#include "core/text.h"
#include "store/database.h"
#include "ui/list_model.h"

namespace {

using bench::put_on_clipboard;
using bench::screen_bitmap;
using bench::wait_answering_messages;

constexpr int kTexts = 200;
constexpr int kImages = 20;
constexpr int kLongChars = 20 * 1000 * 1000;
constexpr wchar_t kGo[] = L"QuilletMemoryBenchGo";

double mib(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

PROCESS_MEMORY_COUNTERS counters(HANDLE process) {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(process, &pmc, sizeof(pmc));
    return pmc;
}

void pump_for(DWORD ms) { bench::pump_for(ms, 10); }

// The copies, in order: the texts, the bitmaps, then the long text.
int run_writer() {
    HANDLE go = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, kGo);
    if (!go) return 2;
    HWND owner = CreateWindowExW(0, L"STATIC", L"memory bench writer", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
    for (int i = 0; i < kTexts + kImages + 1; ++i) {
        std::vector<std::uint8_t> bitmap;
        std::wstring text;
        if (i < kTexts) {
            text = L"memory bench copy number " + std::to_wstring(i);
        } else if (i < kTexts + kImages) {
            bitmap = screen_bitmap(i);
        } else {
            text.assign(kLongChars, L'x');
            for (int k = 0; k < kLongChars; k += 97) text[static_cast<size_t>(k)] = L' ';
        }
        if (!wait_answering_messages(go, 120000)) return 3;
        if (bitmap.empty()) {
            put_on_clipboard(owner, CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        } else {
            put_on_clipboard(owner, CF_DIB, bitmap.data(), bitmap.size());
        }
    }
    // Stay the owner until the last copy has been read.
    wait_answering_messages(go, 120000);
    return 0;
}

// The floor of a capture's memory: a bare process that opens the
// clipboard and copies its text out once, as any reader must. It also
// shows what the system keeps of the text in the process after
// CloseClipboard (Wine caches each format it hands out), whether a freed
// large string goes back to the system, and whether one more open of the
// clipboard lets the system's copy go.
int run_reader(const std::wstring& dir) {
    const std::uint64_t before = counters(GetCurrentProcess()).PeakWorkingSetSize;
    const std::uint64_t start = counters(GetCurrentProcess()).WorkingSetSize;
    auto above = [&] {
        const std::uint64_t now = counters(GetCurrentProcess()).WorkingSetSize;
        return mib(now > start ? now - start : 0);
    };
    std::wstring text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
                text.assign(p, GlobalSize(data) / sizeof(wchar_t));
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    const std::uint64_t peak = counters(GetCurrentProcess()).PeakWorkingSetSize;
    const double after_close = above();
    const std::size_t chars = text.size();
    std::wstring().swap(text);
    const double own_freed = above();
    if (OpenClipboard(nullptr)) CloseClipboard();
    const double reopened = above();
    char line[512];
    std::snprintf(line, sizeof(line),
                  "  floor: a bare process reading that text off the clipboard once: largest %.1f MiB above its start\n"
                  "    resident above its start: after CloseClipboard %.1f MiB, its own copy freed %.1f MiB "
                  "(the system's copy), after one more open of the clipboard %.1f MiB",
                  mib(peak > before ? peak - before : 0), after_close, own_freed, reopened);
    FILE* f = _wfopen((dir + L"\\results.txt").c_str(), L"ab");
    if (f) {
        std::fputs(line, f);
        std::fputs("\n", f);
        std::fclose(f);
    }
    return chars > 1000 ? 0 : 1;
}

// The steps of one capture of the long text with the program's own code, in
// a process of its own over a store of 200 short texts: the read, the store
// (add_entry), the list load the main window runs after a capture, and the
// end of the capture. For each, the largest resident set during the step
// and the resident set after it, above the process's figure before.
int run_steps(const std::wstring& dir) {
    Database db(dir + L"\\steps.db");
    for (int i = 0; i < kTexts; ++i)
        db.add_entry({.text = L"memory bench copy number " + std::to_wstring(i), .source_app = L"bench.exe"});
    Settings settings;
    settings.sound_on_copy = false;
    settings.clipboard_images_autosave = false;
    ListModel model;
    load_list(model, db, settings, ListView{}, L"", nullptr);

    constexpr int kSteps = 5;
    const char* names[kSteps] = {"read off the clipboard", "stored (add_entry)", "list loaded", "capture finished",
                                 "list released"};
    std::atomic<int> step{-1};
    std::atomic<std::uint64_t> largest[kSteps];
    for (auto& l : largest) l = 0;
    std::uint64_t after[kSteps] = {};
    std::atomic<bool> sampling{true};
    std::thread sampler([&] {
        while (sampling) {
            const int k = step;
            const std::uint64_t now = counters(GetCurrentProcess()).WorkingSetSize;
            if (k >= 0 && now > largest[k]) largest[k] = now;
            Sleep(1);
        }
    });
    std::uint64_t peak_mark = 0;
    // Ends step k: its resident set now, and the process's peak when it rose
    // during the step (no sample is missed that way).
    auto end_step = [&](int k) {
        const PROCESS_MEMORY_COUNTERS c = counters(GetCurrentProcess());
        after[k] = c.WorkingSetSize;
        if (c.PeakWorkingSetSize > peak_mark && c.PeakWorkingSetSize > largest[k]) largest[k] = c.PeakWorkingSetSize;
        if (after[k] > largest[k]) largest[k] = after[k];
        peak_mark = c.PeakWorkingSetSize;
    };
    Sleep(50);
    const PROCESS_MEMORY_COUNTERS c0 = counters(GetCurrentProcess());
    const std::uint64_t start = c0.WorkingSetSize;
    peak_mark = c0.PeakWorkingSetSize;

    step = 0;
    ClipboardSnapshot snap = winutil::read_clipboard();
    end_step(0);
    const bool read_ok = snap.text.size() > 1000;
    step = 1;
    ClipboardWatcher::Hooks hooks;
    hooks.captured = [&](const CapturedItem&) {
        end_step(1);
        step = 2;
        load_list(model, db, settings, ListView{}, L"", nullptr);
        end_step(2);
        step = 3;
    };
    ClipboardWatcher watcher(db, settings, hooks);
    const std::int64_t id = watcher.check_snapshot(std::move(snap), false);
    end_step(3);
    step = 4;
    model.release_records();
    end_step(4);
    step = -1;
    sampling = false;
    sampler.join();

    FILE* f = _wfopen((dir + L"\\results.txt").c_str(), L"ab");
    if (!f) return 1;
    std::fprintf(f, "  steps of one capture with the program's code, in a process of its own (above its start):\n");
    for (int k = 0; k < kSteps; ++k) {
        const double top = mib(largest[k] > start ? largest[k] - start : 0);
        const double rest = mib(after[k] > start ? after[k] - start : 0);
        std::fprintf(f, "    %-24s largest %6.1f MiB, after it %6.1f MiB\n", names[k], top, rest);
    }
    if (!read_ok || id == 0) std::fprintf(f, "    (the long text was not read or not stored)\n");
    std::fclose(f);
    return 0;
}

// The store's share of a long text's capture, in a process of its own:
// add_entry of the text, then one load of the list that shows it.
int run_store(const std::wstring& dir) {
    std::wstring text(kLongChars, L'x');
    for (int k = 0; k < kLongChars; k += 97) text[static_cast<size_t>(k)] = L' ';
    Database db(dir + L"\\store-share.db");
    // SQLite's own allocations (records, values, sorter, page cache) apart.
    // SQLite's largest single allocation and page cache of the last step.
    double sqlite_block = 0, sqlite_pages = 0;
    auto sqlite_largest = [&] {
        sqlite3_int64 now = 0, top = 0, block = 0, pages = 0;
        sqlite3_status64(SQLITE_STATUS_MEMORY_USED, &now, &top, 1);
        sqlite3_status64(SQLITE_STATUS_MALLOC_SIZE, &now, &block, 1);
        sqlite3_status64(SQLITE_STATUS_PAGECACHE_OVERFLOW, &now, &pages, 1);
        sqlite_block = mib(static_cast<std::uint64_t>(block));
        sqlite_pages = mib(static_cast<std::uint64_t>(pages));
        return mib(static_cast<std::uint64_t>(top));
    };
    const std::uint64_t start = counters(GetCurrentProcess()).WorkingSetSize;
    sqlite_largest();
    db.add_entry({.text = text, .source_app = L"bench.exe"});
    const std::uint64_t after_add = counters(GetCurrentProcess()).PeakWorkingSetSize;
    const double sqlite_add = sqlite_largest();
    const double add_block = sqlite_block, add_pages = sqlite_pages;
    {
        std::vector<HistoryEntry> list = db.list_entries(L"all", false, true, Database::Payload::Deferred);
    }
    const std::uint64_t after_list = counters(GetCurrentProcess()).PeakWorkingSetSize;
    const double sqlite_list = sqlite_largest();
    const double list_block = sqlite_block, list_pages = sqlite_pages;
    char line[1024];
    std::snprintf(line, sizeof(line),
                  "  of a capture: add_entry of the text %.1f MiB above the text itself, a load of the list "
                  "%.1f MiB above it\n"
                  "    of which SQLite's own allocations at most: %.1f MiB in add_entry (its largest block %.1f MiB, "
                  "page cache %.1f MiB), %.1f MiB in the list load (largest block %.1f MiB, page cache %.1f MiB)",
                  mib(after_add > start ? after_add - start : 0), mib(after_list > start ? after_list - start : 0),
                  sqlite_add, add_block, add_pages, sqlite_list, list_block, list_pages);
    FILE* f = _wfopen((dir + L"\\results.txt").c_str(), L"ab");
    if (f) {
        std::fputs(line, f);
        std::fputs("\n", f);
        std::fclose(f);
    }
    return 0;
}

using bench::newest_id;

void report(const std::wstring& dir, const char* fmt, double a, double b = 0, double c = 0) {
    char line[512];
    std::snprintf(line, sizeof(line), fmt, a, b, c);
    FILE* f = _wfopen((dir + L"\\results.txt").c_str(), L"ab");
    if (!f) return;
    std::fputs(line, f);
    std::fputs("\n", f);
    std::fclose(f);
}

int run_app(const std::wstring& dir) {
    SetEnvironmentVariableW(L"QUILLET_ALLOW_CAPTURE", L"1");
    report(dir, "the same process before its main window is made: resident %7.1f MiB",
           mib(counters(GetCurrentProcess()).WorkingSetSize));
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, kGo);
    AppFiles files{dir + L"\\quillet.db.ini", dir + L"\\quillet.db"};
    auto app = std::make_unique<App>();
    if (!app->init(GetModuleHandleW(nullptr), files)) return 2;
    HWND main = app->main_window_handle();
    ShowWindow(main, SW_SHOW);
    pump_for(3000);
    report(dir, "idle main window:                     resident %7.1f MiB",
           mib(counters(GetCurrentProcess()).WorkingSetSize));

    sqlite3* raw = nullptr;
    sqlite3_open(to_utf8(files.database_path).c_str(), &raw);
    sqlite3_busy_timeout(raw, 2000);

    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --writer";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 3;
    pump_for(1000);

    // Signals copy i and waits, answering messages, until it is stored.
    auto copy = [&](int i, DWORD timeout) {
        const std::int64_t before = newest_id(raw);
        SetEvent(go);
        const ULONGLONG end = GetTickCount64() + timeout;
        while (newest_id(raw) == before && GetTickCount64() < end) pump_for(20);
        pump_for(i < kTexts ? 30 : 200);
        return newest_id(raw) != before;
    };
    int stored = 0;
    for (int i = 0; i < kTexts + kImages; ++i) stored += copy(i, 10000) ? 1 : 0;
    pump_for(3000);
    const double after_run = mib(counters(GetCurrentProcess()).WorkingSetSize);
    report(dir, "after %.0f copies (200 texts, 20 bitmaps 1920x1080): resident %7.1f MiB", stored, after_run);

    // The long text: the largest resident set while it is captured.
    std::atomic<bool> sampling{true};
    std::atomic<std::uint64_t> largest{0};
    std::thread sampler([&] {
        while (sampling) {
            std::uint64_t now = counters(GetCurrentProcess()).WorkingSetSize;
            if (now > largest) largest = now;
            Sleep(2);
        }
    });
    const bool long_stored = copy(kTexts + kImages, 60000);
    pump_for(1000);
    sampling = false;
    sampler.join();
    pump_for(4000);
    const double settled = mib(counters(GetCurrentProcess()).WorkingSetSize);
    const double utf16 = mib(static_cast<std::uint64_t>(kLongChars) * 2);
    report(dir, "text of 20 million characters (%.1f MiB as UTF-16):", utf16);
    report(dir, "  largest resident set while captured %7.1f MiB, %.0f MiB above the figure before", mib(largest),
           mib(largest) - after_run);
    report(dir, "  settles at %7.1f MiB, %.1f MiB above the figure before", settled, settled - after_run);
    if (!long_stored) report(dir, "  (the long text was not stored)", 0);
    {
        // The writer still owns the long text: a bare reader takes it too.
        std::wstring reader = L"\"" + std::wstring(exe) + L"\" --reader \"" + dir + L"\"";
        STARTUPINFOW rsi{};
        rsi.cb = sizeof rsi;
        PROCESS_INFORMATION rpi{};
        if (CreateProcessW(exe, reader.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &rsi, &rpi)) {
            while (WaitForSingleObject(rpi.hProcess, 20) == WAIT_TIMEOUT) pump_for(20);
            CloseHandle(rpi.hProcess);
            CloseHandle(rpi.hThread);
        }
        std::wstring steps = L"\"" + std::wstring(exe) + L"\" --steps \"" + dir + L"\"";
        if (CreateProcessW(exe, steps.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &rsi, &rpi)) {
            while (WaitForSingleObject(rpi.hProcess, 20) == WAIT_TIMEOUT) pump_for(20);
            CloseHandle(rpi.hProcess);
            CloseHandle(rpi.hThread);
        }
        std::wstring store = L"\"" + std::wstring(exe) + L"\" --store \"" + dir + L"\"";
        if (CreateProcessW(exe, store.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &rsi, &rpi)) {
            while (WaitForSingleObject(rpi.hProcess, 20) == WAIT_TIMEOUT) pump_for(20);
            CloseHandle(rpi.hProcess);
            CloseHandle(rpi.hThread);
        }
    }
    SetEvent(go);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    sqlite3_close(raw);
    DestroyWindow(main);
    pump_for(200);
    app->shutdown();
    return 0;
}

// Wine's notepad on the same prefix, idle with its window shown.
double notepad_resident() {
    wchar_t cmd[] = L"notepad.exe";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForInputIdle(pi.hProcess, 10000);
    Sleep(3000);
    const double resident = mib(counters(pi.hProcess).WorkingSetSize);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return resident;
}

int drive() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = std::wstring(temp) + L"quillet-memory-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    const double notepad = notepad_resident();

    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --app \"" + dir + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, 600000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    std::printf("floor: Wine's notepad, idle:           resident %7.1f MiB\n", notepad);
    FILE* f = _wfopen((dir + L"\\results.txt").c_str(), L"rb");
    if (f) {
        char line[512];
        while (std::fgets(line, sizeof(line), f)) std::fputs(line, stdout);
        std::fclose(f);
    } else {
        std::printf("the main window did not run\n");
    }
    for (const wchar_t* name :
         {L"\\store-share.db", L"\\store-share.db-wal", L"\\store-share.db-shm", L"\\steps.db", L"\\steps.db-wal", L"\\steps.db-shm", L"\\results.txt", L"\\quillet.db", L"\\quillet.db-wal", L"\\quillet.db-shm", L"\\quillet.db.ini"})
        DeleteFileW((dir + name).c_str());
    RemoveDirectoryW(dir.c_str());
    return 0;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc >= 2 && std::wstring(argv[1]) == L"--writer") return run_writer();
    if (argc >= 3 && std::wstring(argv[1]) == L"--app") return run_app(argv[2]);
    if (argc >= 3 && std::wstring(argv[1]) == L"--reader") return run_reader(argv[2]);
    if (argc >= 3 && std::wstring(argv[1]) == L"--store") return run_store(argv[2]);
    if (argc >= 3 && std::wstring(argv[1]) == L"--steps") return run_steps(argv[2]);
    return drive();
}
