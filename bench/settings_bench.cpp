// Settings window timings on a running App (its own temporary data folder),
// each printed beside its floor measured in the same run:
//   - opening the window (creation, the seven pages, showing it) against
//     creating as many plain child windows as it holds on a plain window;
//   - switching pages (show_page with the repaint) against swapping one
//     group of plain children for another, as many as a page holds;
// and the resident memory after opening and closing it 20 times against
// after the first time (it must stay within 1 MiB).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "bench/bench_timing.h"
#include "core/settings.h"
#include "ui/dialogs/settings_window.h"

namespace {

using bench::time_median;

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

SIZE_T resident_bytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)) ? counters.WorkingSetSize : 0;
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
    int status = 0;
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

        close();
        app.show_settings();
        pump();
        close();
        const SIZE_T after_first = resident_bytes();
        for (int i = 1; i < 20; ++i) {
            app.show_settings();
            pump();
            close();
        }
        const SIZE_T after_twenty = resident_bytes();
        const long long growth = static_cast<long long>(after_twenty) - static_cast<long long>(after_first);
        std::printf("resident memory: after 1 opening %.1f MiB, after 20 %.1f MiB, growth %lld KiB (%s 1 MiB)\n",
                    after_first / 1048576.0, after_twenty / 1048576.0, growth / 1024,
                    growth <= 1048576 ? "within" : "OVER");
        if (growth > 1048576) status = 1;
        if (HWND main = app.main_window_handle()) DestroyWindow(main);
        pump();
        app.shutdown();
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return status;
}
