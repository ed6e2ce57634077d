// Screenshot timings on the display's whole virtual screen (make bench runs
// this on a 2560x1440 display), each printed beside its floor measured in
// the same run:
//   - hotkey to overlay shown (DPI switch, grab, overlay window, first
//     paint) against the grab alone (one BitBlt and one GetDIBits of the
//     virtual screen);
//   - one overlay repaint during a selection drag against one full-screen
//     BitBlt;
//   - Done to entry stored and PNG written (render, encode, overlay
//     closed, entry stored, file written) against the imaging component's
//     PNG encode of the same crop alone;
// and the resident memory after 20 screenshots against after the first.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/bench_window.h"
#include "capture/image.h"
#include "capture/image_file.h"
#include "core/handles.h"
#include "core/winutil.h"
#include "screenshot/capture_overlay.h"
#include "screenshot/screen_grab.h"
#include "store/database.h"
#include "theme/fonts.h"

namespace {

using bench::median;
using bench::now_ms;

using bench::pump;

double resident_mib() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc))) return -1.0;
    return static_cast<double>(pmc.WorkingSetSize) / (1024.0 * 1024.0);
}

// A window over the whole screen showing a made-up desktop: what is grabbed.
LRESULT CALLBACK desktop_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT) return msg == WM_ERASEBKGND ? 1 : DefWindowProcW(w, msg, wp, lp);
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(w, &ps);
    RECT rc{};
    GetClientRect(w, &rc);
    for (int y = 0; y < rc.bottom; y += 4) {
        raii::Brush b(CreateSolidBrush(RGB(40 + y * 60 / rc.bottom, 90 + y * 80 / rc.bottom, 150)));
        RECT band{0, y, rc.right, y + 4};
        FillRect(dc, &band, b.get());
    }
    raii::Font font = create_ui_font(15, 400);
    raii::SelectGuard sel(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    for (int win = 0; win < 3; ++win) {
        const int x0 = 80 + win * 820, y0 = 90 + win * 60;
        raii::Brush paper(CreateSolidBrush(RGB(250, 250, 250)));
        RECT page{x0, y0, x0 + 760, y0 + 1100};
        FillRect(dc, &page, paper.get());
        SetTextColor(dc, RGB(30, 30, 30));
        for (int i = 0; i < 50; ++i) {
            wchar_t line[96];
            swprintf(line, 96, L"%d. The quick brown fox jumps over the lazy dog: %d, %d, %d", i + 1, i * 17 % 97,
                     i * 31 % 89, (i + win) * 7 % 53);
            TextOutW(dc, x0 + 16, y0 + 16 + i * 21, line, static_cast<int>(wcslen(line)));
        }
    }
    EndPaint(w, &ps);
    return 0;
}

HWND show_desktop(const ScreenGrab& area) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = desktop_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuilletBenchDesktop";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, area.left, area.top,
                             area.width, area.height, nullptr, nullptr, wc.hInstance, nullptr);
    UpdateWindow(w);
    for (int i = 0; i < 20; ++i) {
        pump();
        Sleep(10);
    }
    return w;
}

// The grab's floor: one BitBlt and one GetDIBits of the virtual screen into
// a buffer made beforehand.
double grab_floor_ms(int runs) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int w = GetSystemMetrics(SM_CXVIRTUALSCREEN), h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 4);
    std::vector<double> times;
    for (int i = -1; i < runs; ++i) {
        const double t0 = now_ms();
        raii::WindowDC screen(nullptr);
        raii::MemoryDC mem(CreateCompatibleDC(screen.get()));
        raii::Bitmap bmp(CreateCompatibleBitmap(screen.get(), w, h));
        {
            raii::SelectGuard s(mem.get(), bmp.get());
            BitBlt(mem.get(), 0, 0, w, h, screen.get(), left, top, SRCCOPY | CAPTUREBLT);
        }
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        GetDIBits(mem.get(), bmp.get(), 0, static_cast<UINT>(h), pixels.data(), &bi, DIB_RGB_COLORS);
        if (i >= 0) times.push_back(now_ms() - t0);
    }
    return median(times);
}

void add_annotations(CaptureOverlay& o) {
    auto add = [&](std::uint32_t type, int x, int y, int w, int h) {
        Annotation a;
        a.type = type;
        a.colour = kDefaultToolColour;
        a.thickness = 3;
        a.x = x;
        a.y = y;
        a.w = w;
        a.h = h;
        a.points = {POINT{x, y}, POINT{x + w, y + h}};
        a.number = static_cast<int>(o.annotations.items.size()) + 1;
        o.annotations.push(a);
    };
    add(kAnnArrow, 300, 300, 400, 200);
    add(kAnnRectangle, 900, 400, 500, 300);
    add(kAnnMarker, 500, 800, 26, 26);
    add(kAnnMarker, 560, 800, 26, 26);
    add(kAnnBlur, 1200, 900, 600, 160);
    o.add_text_annotation(POINT{300, 1000}, L"Look at these figures");
}

// Opens the overlay over the grab and paints it once; the window stays.
bool open_overlay(CaptureOverlay& o, const ScreenGrab& grab, const Box& selection) {
    o.hinstance = GetModuleHandleW(nullptr);
    o.prepare(grab, false, true, &selection, 0, 3);
    if (!o.create_window()) return false;
    ShowWindow(o.hwnd, SW_SHOW);
    SetForegroundWindow(o.hwnd);
    UpdateWindow(o.hwnd);
    return true;
}

void close_overlay(CaptureOverlay& o) {
    if (o.hwnd) DestroyWindow(o.hwnd);
    o.hwnd = nullptr;
    o.release_resources();
    pump();
}

void set_left_button(bool down) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_LBUTTON] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// Done as the screenshot command files it: the final image and its PNG,
// the history entry, the PNG file in the folder and its path.
bool done_and_file(CaptureOverlay& o, Database& db, const std::wstring& folder) {
    if (!o.finish(kActionDone)) return false;
    const std::int64_t id =
        db.add_entry({.image = o.result.png, .source_app = L"bench_screenshot.exe", .is_image = true,
            .repeat = true});
    std::wstring path;
    if (!winutil::save_png_file(folder, L"Screenshot", o.result.png, path)) return false;
    return id != 0 && db.set_image_path(id, path);
}

}  // namespace

int main() {
    winutil::ensure_com();
    const DPI_AWARENESS_CONTEXT dpi = enter_per_monitor_dpi();
    ScreenGrab area;
    area.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    area.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    area.width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    area.height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    std::printf("virtual screen: %dx%d at (%d, %d)\n", area.width, area.height, area.left, area.top);
    HWND desktop = show_desktop(area);
    const Box full{0, 0, area.width, area.height};

    // 1. Hotkey to overlay shown, against the grab alone.
    {
        const double floor = grab_floor_ms(10);
        std::vector<double> times;
        for (int i = -1; i < 10; ++i) {
            const double t0 = now_ms();
            const DPI_AWARENESS_CONTEXT previous = enter_per_monitor_dpi();
            ScreenGrab grab = ScreenGrab::capture_virtual_screen();
            CaptureOverlay o;
            const bool shown = grab.ok && open_overlay(o, grab, full);
            const double t1 = now_ms();
            close_overlay(o);
            restore_thread_dpi(previous);
            if (!shown) {
                std::printf("the overlay did not open\n");
                return 1;
            }
            if (i >= 0) times.push_back(t1 - t0);
        }
        std::printf("hotkey -> overlay shown:            %8.2f ms   (grab alone: BitBlt + GetDIBits %8.2f ms, %.2fx)\n",
                    median(times), floor, median(times) / floor);
    }

    const ScreenGrab grab = ScreenGrab::capture_virtual_screen();
    if (!grab.ok) {
        std::printf("no grab\n");
        return 1;
    }

    // 2. One repaint during a selection drag, against one full-screen BitBlt.
    {
        CaptureOverlay o;
        add_annotations(o);
        if (!open_overlay(o, grab, full)) return 1;
        pump();
        set_left_button(true);
        o.selection_valid = false;
        o.on_mouse_down(POINT{200, 150});
        std::vector<double> paints;
        for (int i = 0; i < 40; ++i) {
            o.on_mouse_move(POINT{400 + i * 40, 300 + i * 25}, false);
            const double t0 = now_ms();
            UpdateWindow(o.hwnd);
            paints.push_back(now_ms() - t0);
        }
        set_left_button(false);
        if (getenv("QUILLET_BENCH_DETAIL")) {
            std::vector<double> p, mm;
            for (int i = 0; i < 20; ++i) {
                double t0 = now_ms();
                o.paint();
                GdiFlush();
                p.push_back(now_ms() - t0);
                t0 = now_ms();
                BitBlt(o.back_dc.get(), 0, 0, grab.width, grab.height, o.dimmed_dc.get(), 0, 0, SRCCOPY);
                GdiFlush();
                mm.push_back(now_ms() - t0);
            }
            std::printf("  paint() alone %.2f ms, one memory-to-memory full-screen BitBlt %.2f ms\n", median(p), median(mm));
            std::vector<Annotation> saved = o.annotations.items;
            o.annotations.items.clear();
            p.clear();
            for (int i = 0; i < 20; ++i) {
                double t0 = now_ms();
                o.paint();
                GdiFlush();
                p.push_back(now_ms() - t0);
            }
            std::printf("  paint() without annotations %.2f ms\n", median(p));
            o.show_editor = false;
            p.clear();
            for (int i = 0; i < 20; ++i) {
                double t0 = now_ms();
                o.paint();
                GdiFlush();
                p.push_back(now_ms() - t0);
            }
            std::printf("  paint() without annotations and toolbar %.2f ms\n", median(p));
            o.show_editor = true;
            o.annotations.items = saved;
        }
        o.on_mouse_up(POINT{1960, 1275});
        std::vector<double> blits;
        {
            raii::WindowDC window(o.hwnd);
            raii::MemoryDC mem(CreateCompatibleDC(window.get()));
            raii::Bitmap bmp(CreateCompatibleBitmap(window.get(), grab.width, grab.height));
            raii::SelectGuard s(mem.get(), bmp.get());
            for (int i = -1; i < 40; ++i) {
                const double t0 = now_ms();
                BitBlt(window.get(), 0, 0, grab.width, grab.height, mem.get(), 0, 0, SRCCOPY);
                GdiFlush();
                if (i >= 0) blits.push_back(now_ms() - t0);
            }
        }
        close_overlay(o);
        std::printf("overlay repaint during a drag:      %8.2f ms   (one full-screen BitBlt %8.2f ms, %.2fx; target <= 3x)\n",
                    median(paints), median(blits), median(paints) / median(blits));
    }

    // 3. Done to entry stored and PNG written, against the PNG encode alone.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"quillet-bench-shots-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    {
        Database db(folder + L"\\bench.db");
        std::vector<double> done, encode;
        const RECT all{grab.left, grab.top, grab.left + grab.width, grab.top + grab.height};
        for (int i = -1; i < 9; ++i) {
            const ScreenGrab crop = ScreenGrab::crop(grab, all);
            std::vector<std::uint8_t> png;
            double t0 = now_ms();
            winutil::encode_bgra_png(crop.dib.data() + 40, static_cast<std::uint32_t>(crop.width),
                                     static_cast<std::uint32_t>(crop.height), png);
            if (i >= 0) encode.push_back(now_ms() - t0);

            // The overlay is open and painted when the user presses Enter.
            CaptureOverlay o;
            add_annotations(o);
            if (!open_overlay(o, grab, full)) return 1;
            pump();
            t0 = now_ms();
            const bool ok = done_and_file(o, db, folder);
            if (i >= 0) done.push_back(now_ms() - t0);
            close_overlay(o);
            if (!ok) {
                std::printf("Done failed\n");
                return 1;
            }
        }
        if (getenv("QUILLET_BENCH_DETAIL")) {
            std::vector<double> fin, store, file;
            for (int i = 0; i < 5; ++i) {
                CaptureOverlay o;
                add_annotations(o);
                if (!open_overlay(o, grab, full)) return 1;
                pump();
                double t0 = now_ms();
                o.finish(kActionDone);
                fin.push_back(now_ms() - t0);
                close_overlay(o);
                t0 = now_ms();
                const std::int64_t id = db.add_entry({.image = o.result.png, .source_app = L"b", .is_image = true,
                    .repeat = true});
                store.push_back(now_ms() - t0);
                t0 = now_ms();
                std::wstring path;
                winutil::save_png_file(folder, L"Screenshot", o.result.png, path);
                db.set_image_path(id, path);
                file.push_back(now_ms() - t0);
            }
            std::printf("  finish %.2f ms, add_entry %.2f ms, file and path %.2f ms\n", median(fin), median(store),
                        median(file));
        }
        std::printf("Done -> entry stored, PNG written:  %8.2f ms   (PNG encode of the same crop %8.2f ms, %.2fx; target <= 1.3x)\n",
                    median(done), median(encode), median(done) / median(encode));
    }

    // 4. Resident memory after 20 screenshots against after the first.
    {
        Database db(folder + L"\\memory.db");
        double after_first = 0;
        for (int i = 0; i < 20; ++i) {
            const DPI_AWARENESS_CONTEXT previous = enter_per_monitor_dpi();
            {
                ScreenGrab g = ScreenGrab::capture_virtual_screen();
                CaptureOverlay o;
                add_annotations(o);
                if (!g.ok || !open_overlay(o, g, full)) return 1;
                pump();
                o.hinstance = GetModuleHandleW(nullptr);
                if (!done_and_file(o, db, folder)) return 1;
                o.hwnd = nullptr;
                o.release_resources();
                pump();
            }
            restore_thread_dpi(previous);
            if (i == 0) after_first = resident_mib();
        }
        const double after_twenty = resident_mib();
        std::printf("resident memory after 20 screenshots: %.1f MiB   (after the first %.1f MiB, %+.1f MiB; target within 5 MiB)\n",
                    after_twenty, after_first, after_twenty - after_first);
    }
    DestroyWindow(desktop);
    restore_thread_dpi(dpi);
    return 0;
}
