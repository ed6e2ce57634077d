// Entry hint and view window timings over a running main window, each
// printed beside its floor measured in the same run:
//   - opening the hint for a selected 1 MiB PNG image entry (first time,
//     and again with its preview kept) against making its preview alone;
//   - opening the view window for that entry up to its first paint against
//     decoding its PNG alone;
//   - one wheel-zoom repaint of a 4000 x 3000 picture in the view window
//     against one StretchBlt of that picture into the same area;
//   - the hint of a 1 MiB text entry against the hint of a 100-character
//     one (target: at most 2x);
//   - the view window of that 1 MiB text entry up to its text's first paint
//     against reading the text from the store (target: at most 3x).
// A figure past its target is told, never an exit code.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "bench/bench_app.h"
#include "bench/bench_timing.h"
#include "bench/bench_window.h"
#include "capture/image.h"
#include "core/settings.h"
#include "core/text.h"
#include "store/database.h"
#include "ui/cards_list.h"
#include "ui/dialogs/text_view.h"
#include "ui/dialogs/view_dialog.h"
#include "ui/main_window.h"
#include "ui/text_layout.h"

namespace {

using bench::now_ms;
using bench::time_median;

using bench::pump;

void print_pair(const char* what, double figure, const char* floor_name, double floor) {
    std::printf("%-46s %9.3f ms   floor (%s) %9.3f ms   ratio %.2f\n", what, figure, floor_name, floor,
                floor > 0 ? figure / floor : 0.0);
}

// Width x height pixels of noise (noise=true: a PNG of about w * h * 3
// bytes) or of a smooth gradient, as PNG bytes.
std::vector<std::uint8_t> make_png(int w, int h, bool noise) {
    std::vector<std::uint8_t> bgra(static_cast<std::size_t>(w) * h * 4);
    std::uint32_t x = 12345;
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < w; ++i) {
            std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * w + i) * 4];
            for (int c = 0; c < 3; ++c) {
                x = x * 1103515245u + 12345u;
                p[c] = noise ? static_cast<std::uint8_t>(x >> 24)
                             : static_cast<std::uint8_t>(c == 0 ? i * 255 / w : c == 1 ? y * 255 / h : 0x80);
            }
            p[3] = 0xFF;
        }
    std::vector<std::uint8_t> png;
    winutil::encode_bgra_png(bgra.data(), static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h), png);
    return png;
}

// Runs `inside` once the view window of the entry has painted, then closes it.
struct ViewProbe {
    static inline std::function<void(HWND)> inside;
    static inline double painted_at = 0;
    static inline bool done = false;
    static inline HHOOK hook = nullptr;
    static inline const wchar_t* painted_class = kViewDialogClass;

    static LRESULT CALLBACK after_message(int code, WPARAM wp, LPARAM lp) {
        const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lp);
        if (code == HC_ACTION && m->message == WM_PAINT && !done) {
            wchar_t cls[64] = {};
            GetClassNameW(m->hwnd, cls, 64);
            if (std::wstring(cls) == painted_class) {
                painted_at = now_ms();
                done = true;
                HWND dialog = GetAncestor(m->hwnd, GA_ROOT);
                if (inside) inside(dialog);
                PostMessageW(dialog, WM_CLOSE, 0, 0);
            }
        }
        return CallNextHookEx(nullptr, code, wp, lp);
    }

    // The milliseconds from the call to the window's first paint.
    // A text entry's window has painted once its text view has.
    static double open(MainWindow* mw, const HistoryEntry& e, std::function<void(HWND)> act = {}) {
        inside = std::move(act);
        painted_class = e.is_image ? kViewDialogClass : kTextViewClass;
        done = false;
        hook = SetWindowsHookExW(WH_CALLWNDPROCRET, after_message, nullptr, GetCurrentThreadId());
        const double t0 = now_ms();
        show_view_dialog(mw, e);
        UnhookWindowsHookEx(hook);
        return painted_at - t0;
    }
};

// One paragraph of words without a line break, the hardest case of wrapping.
std::wstring words(std::size_t units) {
    std::wstring text;
    text.reserve(units + 16);
    std::uint32_t x = 99;
    while (text.size() < units) {
        x = x * 1103515245u + 12345u;
        const int len = 2 + static_cast<int>((x >> 16) % 9);
        for (int i = 0; i < len; ++i) text += static_cast<wchar_t>(L'a' + ((x >> (i + 3)) % 26));
        text += L' ';
    }
    text.resize(units);
    return text;
}

void print_target(const char* what, double figure, const char* floor_name, double floor, double target) {
    const double ratio = floor > 0 ? figure / floor : 0.0;
    std::printf("%-46s %9.3f ms   floor (%s) %9.3f ms   ratio %.2f (target %.0fx%s)\n", what, figure, floor_name,
                floor, ratio, target, ratio > target ? ", MISSED" : "");
}

// The text of the entry read from the store file as the program reads it:
// one row by its id, UTF-8 made UTF-16.
double store_read_ms(const std::wstring& db_path, std::int64_t id, std::size_t expect) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(to_utf8(db_path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return 0;
    }
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT text FROM history WHERE id = ?1", -1, &st, nullptr);
    std::size_t got = 0;
    const double ms = time_median(9, [&](int) {
        sqlite3_reset(st);
        sqlite3_bind_int64(st, 1, id);
        if (sqlite3_step(st) == SQLITE_ROW) {
            const auto* p = static_cast<const wchar_t*>(sqlite3_column_text16(st, 0));
            const int bytes = sqlite3_column_bytes16(st, 0);
            std::wstring text(p ? p : L"", static_cast<std::size_t>(bytes) / sizeof(wchar_t));
            got = text.size();
        }
    });
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (got != expect) std::printf("(the store read %zu units, not %zu)\n", got, expect);
    return ms;
}

void long_text(App& app, MainWindow& mw, const std::wstring& dir) {
    const std::wstring big_text = words(1u << 20);
    const std::int64_t big = app.database->add_text_entry(big_text, std::nullopt, false, false);
    const std::int64_t small = app.database->add_text_entry(words(100), std::nullopt, false, false);
    mw.set_view(0, -1);
    pump();
    std::printf("text entries: %zu characters in one paragraph, and 100\n", big_text.size());
    auto hint_of = [&](std::int64_t id) {
        return time_median(15, [&](int) {
            mw.hide_entry_hint();
            list_select_entry(mw.cards, id);
            mw.on_selection_changed();
            UpdateWindow(mw.hint_popup);
        });
    };
    const double hint_big = hint_of(big);
    const double hint_small = hint_of(small);
    print_target("hint of the 1 MiB text entry", hint_big, "hint of 100 characters", hint_small, 2);
    mw.hide_entry_hint();

    const HistoryEntry* listed = mw.model.find_entry(big);
    if (!listed) return;
    const HistoryEntry entry = *listed;
    std::vector<double> opens;
    ViewProbe::open(&mw, entry);
    pump();
    for (int i = 0; i < 5; ++i) {
        opens.push_back(ViewProbe::open(&mw, entry));
        pump();
    }
    const double read = store_read_ms(dir + L"\\quillet.db", big, big_text.size());
    print_target("view window of the 1 MiB text, to its paint", bench::median(opens), "store read of the text", read,
                 3);
    HistoryEntry short_text;
    short_text.text = words(100);
    short_text.text_state = TextState::Whole;
    std::vector<double> short_opens;
    for (int i = 0; i < 5; ++i) {
        short_opens.push_back(ViewProbe::open(&mw, short_text));
        pump();
    }
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, mw.hint_font());
    CharWidths widths = CharWidths::of_dc(screen);
    std::size_t lines = 0;
    const double wrap = time_median(5, [&](int) { lines = wrap_text_lines(big_text, 600, widths).size(); });
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    const double own = bench::median(opens) - bench::median(short_opens);
    std::printf("of an opening: the window with 100 characters %.3f ms, wrapping the 1 MiB text into %zu lines "
                "%.3f ms; what the 1 MiB text adds to an opening %.3f ms (%.2fx the store read)\n",
                bench::median(short_opens), lines, wrap, own, read > 0 ? own / read : 0.0);
}

void run(const std::wstring& dir) {
    std::unique_ptr<App> app = bench::start_app(dir);
    if (!app) return;
    MainWindow* mw = app->main_window.get();
    HWND main = app->main_window_handle();
    SetWindowPos(main, HWND_TOPMOST, 700, 80, 620, 560, SWP_SHOWWINDOW);
    pump();

    const std::vector<std::uint8_t> png = make_png(560, 560, true);
    const std::int64_t id = app->database->add_entry({.image = png, .source_app = L"mspaint.exe",
        .is_image = true});
    mw->show_images();
    list_select_entry(mw->cards, id);
    pump();
    std::printf("image entry: %zu bytes of PNG (560 x 560)\n", png.size());

    // The hint: built, placed and painted.
    auto open_hint = [&] {
        mw->on_selection_changed();
        UpdateWindow(mw->hint_popup);
    };
    const double hint_first = time_median(15, [&](int) {
        mw->hide_entry_hint();
        mw->hint.previews.clear();
        open_hint();
    });
    const std::size_t made_before = mw->hint.previews.made_count();
    const double hint_again = time_median(15, [&](int) {
        mw->hide_entry_hint();
        open_hint();
    });
    const std::size_t made_again = mw->hint.previews.made_count() - made_before;
    const double preview = time_median(15, [&](int) {
        DeleteObject(winutil::image_thumbnail(png, 340, 200, true));
    });
    const double payload = time_median(15, [&](int) {
        HistoryEntry copy = *mw->model.find_entry(id);
        app->database->load_payload(copy);
    });
    const double place = time_median(15, [&](int) {
        ShowWindow(mw->hint_popup, SW_HIDE);
        mw->place_entry_hint(mw->hint.layout.width, mw->hint.layout.total_height, 0);
        UpdateWindow(mw->hint_popup);
    });
    print_pair("hint of the image entry, first opening", hint_first, "its preview alone", preview);
    print_pair("hint of the image entry, opened again", hint_again, "its preview alone", preview);
    std::printf("previews made by the 15 later openings: %zu; of an opening: store read of the entry's bytes %.3f ms, "
                "placing and painting the popup %.3f ms\n",
                made_again, payload, place);
    mw->hide_entry_hint();

    // The view window up to its first paint.
    const HistoryEntry* listed = mw->model.find_entry(id);
    if (!listed) return;
    const HistoryEntry entry = *listed;
    std::vector<double> opens;
    ViewProbe::open(mw, entry);
    pump();
    for (int i = 0; i < 9; ++i) {
        opens.push_back(ViewProbe::open(mw, entry));
        pump();
    }
    const double decode = time_median(9, [&](int) {
        std::vector<std::uint8_t> dib;
        winutil::png_to_dib(png, dib);
    });
    print_pair("view window of the entry, to its first paint", bench::median(opens), "PNG decode alone", decode);
    // What the window itself costs: a one-line text entry, and the picture
    // made of the bytes.
    HistoryEntry short_text;
    short_text.text = L"a short text";
    short_text.text_state = TextState::Whole;
    std::vector<double> text_opens;
    for (int i = 0; i < 9; ++i) {
        text_opens.push_back(ViewProbe::open(mw, short_text));
        pump();
    }
    const double picture = time_median(9, [&](int) { DeleteObject(winutil::image_thumbnail(png, 1600, 1200, false)); });
    std::printf("of an opening: the window with a short text %.3f ms, the picture made of the bytes %.3f ms\n",
                bench::median(text_opens), picture);

    // Wheel zoom of a 4000 x 3000 picture.
    const std::vector<std::uint8_t> big_png = make_png(4000, 3000, false);
    HistoryEntry big;
    big.id = 1;
    big.is_image = true;
    big.image = big_png;
    big.text_state = TextState::Whole;
    big.created_at = L"2024-05-01T14:03:00";
    double repaint_near = 0, repaint_far = 0, stretch = 0;
    ViewProbe::open(mw, big, [&](HWND dialog) {
        auto* d = reinterpret_cast<ViewDialog*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
        if (!d) return;
        auto zoom_repaint = [&](int delta) {
            SendMessageW(dialog, WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<WORD>(static_cast<SHORT>(delta))) << 16,
                         0);
            UpdateWindow(dialog);
        };
        // Near the fit: one notch in and out by turns.
        repaint_near = time_median(21, [&](int i) { zoom_repaint(i % 2 ? -120 : 120); });
        // Deep in: between 7 and 8 times the fit.
        for (int i = 0; i < 15; ++i) zoom_repaint(120);
        repaint_far = time_median(21, [&](int i) { zoom_repaint(i % 2 ? 120 : -120); });
        // The floor: the whole 4000 x 3000 picture stretched into the area.
        std::vector<std::uint8_t> dib;
        winutil::png_to_dib(big_png, dib);
        HDC window_dc = GetDC(dialog);
        HDC src = CreateCompatibleDC(window_dc);
        HBITMAP bitmap = winutil::dib_to_bitmap(dib, 4000, 3000, false);
        HGDIOBJ old = SelectObject(src, bitmap);
        const RECT area = d->content_rect(dialog);
        SetStretchBltMode(window_dc, HALFTONE);
        SetBrushOrgEx(window_dc, 0, 0, nullptr);
        stretch = time_median(21, [&](int) {
            StretchBlt(window_dc, area.left, area.top, area.right - area.left, area.bottom - area.top, src, 0, 0, 4000,
                       3000, SRCCOPY);
            GdiFlush();
        });
        SelectObject(src, old);
        DeleteObject(bitmap);
        DeleteDC(src);
        ReleaseDC(dialog, window_dc);
    });
    print_pair("wheel-zoom repaint 4000x3000, near the fit", repaint_near, "one StretchBlt", stretch);
    print_pair("wheel-zoom repaint 4000x3000, at 7-8x", repaint_far, "one StretchBlt", stretch);

    long_text(*app, *mw, dir);

    DestroyWindow(main);
    pump();
    app->shutdown();
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = std::wstring(temp) + L"quillet-hint-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    run(dir);
    for (const wchar_t* name : {L"\\quillet.db", L"\\quillet.db-wal", L"\\quillet.db-shm", L"\\quillet.db.ini"})
        DeleteFileW((dir + name).c_str());
    RemoveDirectoryW(dir.c_str());
    return 0;
}
