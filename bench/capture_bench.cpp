// Capture timings:
//  - from a clipboard write by another process to the entry being in the
//    store (median of 50 copies), for a text and for a 1920x1080 32-bit
//    bitmap, with the watcher driven as the main window drives it;
//  - the bitmap-to-PNG conversion of that bitmap, beside the time the
//    imaging component alone takes for the same encode.
//
//  - one watcher tick while the clipboard holds an unchanged 256 MiB bitmap,
//    against one tick with an unchanged short text;
//  - the size decision on an 8000x8000 bitmap of random pixels (its PNG
//    does not fit the stored-image limit) against dib_to_png of the
//    1920x1080 bitmap.
//
// The writer is this program started again with "--writer <kind>"; it
// writes copy i when told through an event and leaves the time of its
// CloseClipboard in shared memory. With "--hold <kind>" it writes one copy
// and keeps running until told.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/dib.h"
#include "capture/image.h"
#include "capture/watcher.h"
#include "core/settings.h"
#include "store/database.h"
#include "bench/bench_clipboard.h"
#include "bench/bench_timing.h"

namespace {

using bench::median;
using bench::put_on_clipboard;
using bench::screen_bitmap;
using bench::wait_answering_messages;

constexpr int kCopies = 50;
constexpr wchar_t kShared[] = L"QuilletCaptureBenchTimes";
constexpr wchar_t kGo[] = L"QuilletCaptureBenchGo";

// Copy 0 warms up the system's clipboard path and is not counted (under
// Wine the first large bitmap a new process puts there takes seconds).
constexpr int kWrites = kCopies + 1;

struct SharedTimes {
    volatile LONG64 written[kWrites];  // QueryPerformanceCounter after CloseClipboard
};

double ticks_to_ms(LONGLONG ticks) {
    static const double freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    return static_cast<double>(ticks) * 1000.0 / freq;
}

LONGLONG now_ticks() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

int run_writer(bool image) {
    HANDLE map = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, kShared);
    HANDLE go = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, kGo);
    if (!map || !go) return 2;
    auto* times = static_cast<SharedTimes*>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedTimes)));
    HWND owner = CreateWindowExW(0, L"STATIC", L"bench writer", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    std::vector<std::uint8_t> bitmap;
    for (int i = 0; i < kWrites; ++i) {
        if (image) bitmap = screen_bitmap(i);  // made before the clock starts
        if (!wait_answering_messages(go, 60000)) return 3;
        bool ok;
        if (image) {
            ok = put_on_clipboard(owner, CF_DIB, bitmap.data(), bitmap.size());
        } else {
            const std::wstring text = L"benchmark copy number " + std::to_wstring(i);
            ok = put_on_clipboard(owner, CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        }
        times->written[i] = ok ? now_ticks() : 0;
    }
    UnmapViewOfFile(times);
    return 0;
}

// A w x h 32-bit bottom-up bitmap of random pixels.
std::vector<std::uint8_t> noise_bitmap(std::int32_t w, std::int32_t h) {
    std::vector<std::uint8_t> dib(40 + static_cast<size_t>(w) * h * 4);
    BITMAPINFOHEADER header{};
    header.biSize = 40;
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(w) * h * 4;
    std::memcpy(dib.data(), &header, 40);
    std::uint64_t x = 0x9E3779B97F4A7C15ull;
    for (size_t i = 40; i + 8 <= dib.size(); i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        const std::uint64_t opaque = x | 0xFF000000FF000000ull;
        std::memcpy(dib.data() + i, &opaque, 8);
    }
    return dib;
}

// Puts one copy on the clipboard ("huge": a 256 MiB bitmap, else a short
// text) and keeps running until the go event.
int run_holder(bool huge) {
    HANDLE go = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, kGo);
    if (!go) return 2;
    HWND owner = CreateWindowExW(0, L"STATIC", L"bench holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    bool ok;
    if (huge) {
        const std::vector<std::uint8_t> bitmap = noise_bitmap(8192, 8192);
        ok = put_on_clipboard(owner, CF_DIB, bitmap.data(), bitmap.size());
    } else {
        const std::wstring text = L"short text";
        ok = put_on_clipboard(owner, CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    if (!ok) return 3;
    return wait_answering_messages(go, 300000) ? 0 : 4;
}

// The main window's part: poll on clipboard updates and on the 500 ms timer.
ClipboardWatcher* g_watcher = nullptr;

LRESULT CALLBACK host_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if ((msg == WM_CLIPBOARDUPDATE || msg == WM_TIMER) && g_watcher) {
        g_watcher->poll();
        return 0;
    }
    if (msg == kMsgClipboardRead && g_watcher) {
        g_watcher->take_finished_read();
        return 0;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

// Latencies in ms of kCopies copies written by another process.
std::vector<double> copy_latencies(bool image, const std::wstring& folder) {
    std::vector<double> out;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, FALSE};
    HANDLE map = CreateFileMappingW(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0, sizeof(SharedTimes), kShared);
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, kGo);
    auto* times = static_cast<SharedTimes*>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedTimes)));
    std::memset(const_cast<LONG64*>(times->written), 0, sizeof(SharedTimes));

    Database db(folder + (image ? L"\\image.db" : L"\\text.db"));
    Settings settings;
    settings.sound_on_copy = false;
    LONGLONG stored_at = 0;
    int stored = 0;
    ClipboardWatcher::Hooks hooks;
    hooks.captured = [&](const CapturedItem&) {
        stored_at = now_ticks();
        ++stored;
    };
    ClipboardWatcher watcher(db, settings, hooks);
    HWND host = CreateWindowExW(0, L"QuilletCaptureBenchHost", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    g_watcher = &watcher;
    watcher.start(host);
    SetTimer(host, 1, 500, nullptr);

    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --writer " + (image ? L"image" : L"text");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return out;
    Sleep(500);  // the writer starts

    for (int i = 0; i < kWrites; ++i) {
        const int before = stored;
        SetEvent(go);
        const ULONGLONG deadline = GetTickCount64() + 10000;
        while (stored == before && GetTickCount64() < deadline) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            if (stored == before) MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        // The writer notes its time right after closing the clipboard, which
        // may be after the watcher has already stored the copy.
        for (int wait = 0; wait < 200 && times->written[i] == 0; ++wait) Sleep(1);
        const LONG64 written = times->written[i];
        if (i > 0 && stored != before && written != 0) out.push_back(ticks_to_ms(stored_at - written));
        Sleep(image ? 150 : 20);  // the writer makes its next bitmap
    }
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    g_watcher = nullptr;
    KillTimer(host, 1);
    DestroyWindow(host);
    UnmapViewOfFile(times);
    CloseHandle(go);
    CloseHandle(map);
    return out;
}

void pump_messages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

struct TickFigures {
    double first_look_ms = 0;   // from the watcher's start to its first read taken
    double tick_ms = 0;         // median poll() with the clipboard unchanged
    bool ok = false;
};

// A watcher on a host window while another process holds a copy on the
// clipboard: how long its first look takes (on the read thread) and what
// a timer tick costs afterwards.
TickFigures unchanged_tick(bool huge, const std::wstring& folder) {
    TickFigures out;
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, kGo);
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --hold " + (huge ? L"huge" : L"text");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return out;
    // The holder has put its copy there when the sequence number moves.
    const DWORD before = GetClipboardSequenceNumber();
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (GetClipboardSequenceNumber() == before && GetTickCount64() < deadline) Sleep(20);
    Sleep(200);

    Database db(folder + (huge ? L"\\tick-huge.db" : L"\\tick-text.db"));
    Settings settings;
    settings.sound_on_copy = false;
    ClipboardWatcher watcher(db, settings);
    HWND host = CreateWindowExW(0, L"QuilletCaptureBenchHost", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    g_watcher = &watcher;
    auto finish_read = [&] {
        const ULONGLONG end = GetTickCount64() + 60000;
        while (watcher.reading() && GetTickCount64() < end) {
            pump_messages();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        return !watcher.reading();
    };
    const double t0 = bench::now_ms();
    watcher.start(host);
    out.ok = finish_read();
    out.first_look_ms = bench::now_ms() - t0;
    // Someone else (the system's clipboard synchronisation) may change the
    // clipboard meanwhile; then that copy is read first and the ticks are
    // timed again.
    for (int attempt = 0; attempt < 3 && out.ok; ++attempt) {
        out.tick_ms = bench::time_median(501, [&](int) { watcher.poll(); });
        if (!watcher.reading()) break;
        out.ok = finish_read() && attempt < 2;
    }

    g_watcher = nullptr;
    DestroyWindow(host);
    SetEvent(go);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(go);
    return out;
}

void tick_figures(const std::wstring& folder) {
    const TickFigures text = unchanged_tick(false, folder);
    const TickFigures huge = unchanged_tick(true, folder);
    if (!text.ok || !huge.ok) {
        std::printf("watcher tick: the clipboard did not stay unchanged (%s)\n", text.ok ? "bitmap" : "text");
        return;
    }
    std::printf("%-44s median %8.4f ms\n", "watcher tick, unchanged short text", text.tick_ms);
    std::printf("%-44s median %8.4f ms  (%.2fx the text tick)\n", "watcher tick, unchanged 256 MiB bitmap",
                huge.tick_ms, text.tick_ms > 0 ? huge.tick_ms / text.tick_ms : 0.0);
    std::printf("%-44s %8.0f ms on the read thread (text: %.1f ms)\n", "first look at the 256 MiB bitmap",
                huge.first_look_ms, text.first_look_ms);
}

// The size decision on noise, against the ordinary screen-sized encode.
void decision_figures() {
    const std::vector<std::uint8_t> noise = noise_bitmap(8000, 8000);
    const std::vector<std::uint8_t> screen = screen_bitmap(0);
    std::vector<std::uint8_t> out;
    bool kept = true;
    const double decide = bench::time_median(5, [&](int) { kept = winutil::prepare_image_for_storage(noise, kStoredImageLimit, out); });
    const double encode = bench::time_median(5, [&](int) { winutil::dib_to_png(screen, out); });
    std::uint32_t rows = 0;
    winutil::dib_to_png_within(noise, kStoredImageLimit, out, &rows);
    std::printf("%-44s median %8.2f ms  (%s; the encoder stopped after %u of 8000 rows)\n",
                "size decision, 8000x8000 noise", decide, kept ? "stored" : "refused", rows);
    std::printf("%-44s median %8.2f ms  (decision / encode = %.2f)\n", "dib_to_png 1920x1080x32, same run", encode,
                encode > 0 ? decide / encode : 0.0);
}

void print_latencies(const char* what, const std::vector<double>& v) {
    if (v.empty()) {
        std::printf("%-44s no copy was stored\n", what);
        return;
    }
    std::printf("%-44s median %8.2f ms  min %8.2f  max %8.2f  (%zu of %d copies)\n", what, median(v),
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), v.size(), kCopies);
}

void encode_figures() {
    const std::vector<std::uint8_t> dib = screen_bitmap(0);
    std::vector<std::uint8_t> pixels;
    std::uint32_t w = 0, h = 0;
    winutil::dib_to_bgra(dib, pixels, w, h);
    std::vector<double> whole, wic_only, unpack;
    std::vector<std::uint8_t> png;
    for (int i = 0; i < 9; ++i) {
        LONGLONG t = now_ticks();
        winutil::dib_to_png(dib, png);
        whole.push_back(ticks_to_ms(now_ticks() - t));
        t = now_ticks();
        winutil::encode_bgra_png(pixels.data(), w, h, png);
        wic_only.push_back(ticks_to_ms(now_ticks() - t));
        t = now_ticks();
        winutil::dib_to_bgra(dib, pixels, w, h);
        unpack.push_back(ticks_to_ms(now_ticks() - t));
    }
    std::printf("%-44s median %8.2f ms  (PNG %zu bytes)\n", "dib_to_png 1920x1080x32", median(whole), png.size());
    std::printf("%-44s median %8.2f ms\n", "  imaging component encode alone", median(wic_only));
    std::printf("%-44s median %8.2f ms\n", "  bitmap to BGRA rows alone", median(unpack));
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc >= 3 && std::wstring(argv[1]) == L"--writer") return run_writer(std::wstring(argv[2]) == L"image");
    if (argc >= 3 && std::wstring(argv[1]) == L"--hold") return run_holder(std::wstring(argv[2]) == L"huge");

    WNDCLASSW wc{};
    wc.lpfnWndProc = host_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuilletCaptureBenchHost";
    RegisterClassW(&wc);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"quillet-capture-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);

    encode_figures();
    decision_figures();
    tick_figures(folder);
    print_latencies("copy to stored, text", copy_latencies(false, folder));
    print_latencies("copy to stored, 1920x1080x32 bitmap", copy_latencies(true, folder));

    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(folder), ec);
    return 0;
}
