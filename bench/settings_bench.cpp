// Settings window timings on a running App (its own temporary data folder),
// each printed beside its floor measured in the same run:
//   - opening the window (creation, the seven pages, showing it) against
//     creating as many plain child windows as it holds on a plain window;
//   - switching pages (show_page with the repaint) against swapping one
//     group of plain children for another, as many as a page holds;
// and the memory it leaves behind: resident memory, the heap's bytes in use
// (and, where the system counts them, GDI and USER objects) after opening
// and closing it 100 times against after the first few times, per opening
// (the target: at most 1 MiB over 20 openings, about 51 KiB an opening).
// Like every benchmark it prints its figures and fails only when it cannot
// run; a missed target is for the reader to see.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "bench/bench_timing.h"
#include "bench/bench_window.h"
#include "core/settings.h"
#include "ui/dialogs/settings_window.h"

namespace {

using bench::time_median;

using bench::pump;

struct Memory {
    long long resident = 0;   // working set
    long long committed = 0;  // private bytes (Wine reports none)
    long long heap = 0;       // bytes in busy blocks of every heap of the process
    long long gdi = 0, user = 0;  // GDI and USER objects
};

long long heap_bytes_in_use() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    long long total = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        HeapUnlock(heap);
    }
    return total;
}

Memory memory_now() {
    Memory m;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof(counters))) {
        m.resident = static_cast<long long>(counters.WorkingSetSize);
        m.committed = static_cast<long long>(counters.PrivateUsage);
    }
    m.heap = heap_bytes_in_use();
    m.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    m.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    return m;
}

int count_children(HWND parent) {
    int n = 0;
    EnumChildWindows(
        parent, [](HWND, LPARAM lp) -> BOOL {
            ++*reinterpret_cast<int*>(lp);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&n));
    return n;
}

void report(const char* what, double figure, const char* floor_name, double floor) {
    std::printf("%-44s %9.3f ms   floor (%s) %9.3f ms   ratio %.2f\n", what, figure, floor_name, floor,
                floor > 0 ? figure / floor : 0.0);
}

// A plain top-level window with n STATIC children.
HWND plain_window_with_children(int n, std::vector<HWND>* children) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 820, 700, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    for (int i = 0; i < n; ++i) {
        HWND c = CreateWindowExW(0, L"STATIC", L"label", WS_CHILD | WS_VISIBLE, 236, 88 + (i % 20) * 26, 200, 20,
                                 parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (children) children->push_back(c);
    }
    return parent;
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path folder =
        std::filesystem::path(temp) / (L"quillet-settings-bench-" + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    AppFiles files{(folder / L"quillet.db.ini").wstring(), (folder / L"quillet.db").wstring()};
    SetEnvironmentVariableW(L"QUILLET_ALLOW_CAPTURE", L"1");
    {
        App app;
        if (!app.init(GetModuleHandleW(nullptr), files)) {
            std::printf("the App could not start\n");
            return 1;
        }
        pump();
        app.show_settings();
        pump();
        SettingsWindow& sw = *app.settings_window;
        const int children = count_children(sw.window);
        std::printf("settings window: %d child windows\n", children);
        auto close = [&] {
            if (sw.window) DestroyWindow(sw.window);
            pump();
        };

        close();
        const double open = time_median(15, [&](int) {
            app.show_settings();
            UpdateWindow(sw.window);
            pump();
            close();
        });
        const double floor_open = time_median(15, [&](int) {
            HWND w = plain_window_with_children(children, nullptr);
            UpdateWindow(w);
            pump();
            DestroyWindow(w);
            pump();
        });
        report("open and close the settings window", open, "plain children", floor_open);

        app.show_settings();
        pump();
        int next = 0;
        const double page = time_median(70, [&](int) {
            sw.show_page(next);
            UpdateWindow(sw.window);
            next = (next + 1) % kSettingsPageCount;
        });
        // The floor: the same children in seven groups, one group shown at a time.
        std::vector<HWND> plain;
        HWND floor_window = plain_window_with_children(children, &plain);
        for (size_t i = 0; i < plain.size(); ++i) ShowWindow(plain[i], i % kSettingsPageCount == 0 ? SW_SHOW : SW_HIDE);
        int shown = 0;
        const double floor_page = time_median(70, [&](int) {
            const int target = (shown + 1) % kSettingsPageCount;
            for (size_t i = 0; i < plain.size(); ++i) {
                const int group = static_cast<int>(i % kSettingsPageCount);
                if (group == shown) ShowWindow(plain[i], SW_HIDE);
                if (group == target) ShowWindow(plain[i], SW_SHOW);
            }
            shown = target;
            RedrawWindow(floor_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            UpdateWindow(floor_window);
        });
        DestroyWindow(floor_window);
        report("switch settings page", page, "swap plain child groups", floor_page);

        // The first openings fill caches that stay (fonts, classes, the
        // language texts); the growth is counted after them.
        constexpr int kWarmUp = 5, kOpenings = 100;
        close();
        for (int i = 0; i < kWarmUp; ++i) {
            app.show_settings();
            pump();
            close();
        }
        const Memory before = memory_now();
        for (int i = 0; i < kOpenings; ++i) {
            app.show_settings();
            pump();
            close();
        }
        const Memory after = memory_now();
        const double target_per_opening = 1024.0 / 20;  // KiB: 1 MiB over 20 openings
        auto print_growth = [&](const char* what, long long from, long long to) {
            const double growth_kib = static_cast<double>(to - from) / 1024.0;
            std::printf("%s: after %d openings %.2f MiB, after %d more %.2f MiB: growth %.1f KiB, "
                        "%.1f KiB per opening (target at most %.1f KiB per opening)\n",
                        what, kWarmUp, from / 1048576.0, kOpenings, to / 1048576.0, growth_kib,
                        growth_kib / kOpenings, target_per_opening);
        };
        print_growth("resident memory", before.resident, after.resident);
        if (before.committed || after.committed) print_growth("private bytes", before.committed, after.committed);
        print_growth("heap in use", before.heap, after.heap);
        // Counted by Windows only (Wine answers 0).
        if (before.gdi || after.gdi)
            std::printf("GDI objects: %lld, after %d more openings %lld; USER objects: %lld, then %lld\n",
                        before.gdi, kOpenings, after.gdi, before.user, after.user);
        if (HWND main = app.main_window_handle()) DestroyWindow(main);
        pump();
        app.shutdown();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
