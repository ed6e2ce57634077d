// Main-window list timings on a store of 200 entries (20 of them images of
// 1 MiB) beside 1,000 pinned texts. Each figure is printed beside its floor
// measured in the same run:
//   - the list rebuild after a capture (store query, rows, list box) against
//     the bare store query of that view, with the window shown and hidden;
//   - one search keystroke against a plain case-insensitive substring scan
//     over the same texts;
//   - a full repaint of the visible cards against one BitBlt of the list's
//     client area.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/text.h"
#include "store/database.h"
#include "theme/fonts.h"
#include "ui/card_draw.h"
#include "ui/cards_list.h"
#include "ui/list_model.h"
#include "ui/thumbnail_cache.h"
#include "bench/bench_timing.h"
#include "bench/bench_window.h"

namespace {

using bench::now_ms;
using bench::median;
using bench::time_median;
using bench::pump;

constexpr int kEntries = 200;
constexpr int kImages = 20;
constexpr int kPinnedTexts = 1000;
constexpr std::uint32_t kImageSide = 512;  // 512 x 512 x 4 bytes = 1 MiB

std::vector<std::uint8_t> make_image(std::uint32_t seed) { return bench::noise_dib(kImageSide, kImageSide, seed); }

// The window of the cards list: measures and draws rows through the model.
using CardsWindow = bench::CardsHost<std::vector<ListRow>>;

void print_pair(const char* what, double figure, const char* floor_name, double floor) {
    std::printf("%-44s %9.3f ms   floor (%s) %9.3f ms   ratio %.2f\n", what, figure, floor_name, floor,
                floor > 0 ? figure / floor : 0.0);
}

void run(const std::wstring& dir) {
    const std::wstring path = dir + L"\\bench.db";
    double t0 = now_ms();
    auto db = std::make_unique<Database>(path);
    if (!db->is_open()) {
        std::printf("the store could not be opened\n");
        return;
    }
    for (int i = 0; i < kPinnedTexts; ++i)
        db->add_text_entry(L"Pinned snippet number " + std::to_wstring(i) + L" with Some Mixed Case text", std::nullopt,
                           true, false);
    // The images come last, so that the trim after each timed capture takes
    // the oldest texts and every image stays listed.
    for (int i = 0; i < kEntries - kImages; ++i)
        db->add_entry({.text = L"Copied text " + std::to_wstring(i) + L" from a Document about Quarterly Figures",
            .source_app = L"winword.exe"});
    for (int i = 0; i < kImages; ++i)
        db->add_entry({.image = make_image(static_cast<std::uint32_t>(i)), .source_app = L"mspaint.exe",
            .is_image = true});
    std::printf("store: %lld entries (%d pinned texts, %d entries of which %d images of %u bytes), set up in %.0f ms\n",
                static_cast<long long>(db->count_entries()), kPinnedTexts, kEntries, kImages,
                40u + kImageSide * kImageSide * 4u, now_ms() - t0);

    Settings settings;
    CardsWindow w;
    if (!w.create(L"QuilletUiBench", 440, LBS_HASSTRINGS)) {
        std::printf("no window could be created\n");
        return;
    }
    pump();
    const int runs = 15;
    int capture = 0;
    auto capture_one = [&] {
        db->add_entry({.text = L"A new capture " + std::to_wstring(++capture), .source_app = L"notepad.exe"});
    };
    // What any change of a visible list box costs on this system: one
    // refresh of its scroll bar.
    auto scroll_bar_refresh = [&] {
        return time_median(runs, [&](int) {
            SCROLLINFO si{};
            si.cbSize = sizeof(si);
            si.fMask = SIF_ALL;
            GetScrollInfo(w.list, SB_VERT, &si);
            SetScrollInfo(w.list, SB_VERT, &si, TRUE);
        });
    };
    auto show = [&](const ListView& view) {
        load_list(w.model, *db, settings, view, L"", &w.thumbnails);
        apply_rows_to_list(w.list, w.shown, w.model.rows(), read_list_position(w.list), false, true);
        RedrawWindow(w.list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        pump();
    };

    // --- the list rebuild after a capture ------------------------------------------------
    // Shown, the list box paints its scroll bar when it is switched back on
    // after the change (the "scroll bar refresh" floor); with the window in
    // the tray, where it usually is while the user copies elsewhere, there
    // is nothing to paint.
    struct Case {
        int kind;
        bool window_shown;
    };
    for (Case c : {Case{kViewAll, true}, Case{kViewAll, false}, Case{kViewImages, true}}) {
        ListView view;
        view.view_kind = c.kind;
        const std::wstring key = view_key_for(view);
        ShowWindow(w.parent, c.window_shown ? SW_SHOWNOACTIVATE : SW_HIDE);
        show(view);
        std::vector<double> total, model, list_box, query;
        for (int i = 0; i < runs; ++i) {
            // The floor: the view's query after a capture, read in the state
            // a rebuild reads it in (the model's old records let go first,
            // which load_list does as its first step).
            capture_one();
            w.model.release_records();
            double a = now_ms();
            {
                std::vector<HistoryEntry> rows = db->list_entries(key, settings.sort_by_frequency,
                                                                  settings.pinned_first, Database::Payload::Deferred);
                query.push_back(now_ms() - a);
            }
            show(view);
            capture_one();
            a = now_ms();
            ListPosition pos = read_list_position(w.list);
            bool same = load_list(w.model, *db, settings, view, L"", &w.thumbnails);
            const double b = now_ms();
            apply_rows_to_list(w.list, w.shown, w.model.rows(), pos, same, true);
            const double c2 = now_ms();
            total.push_back(c2 - a);
            model.push_back(b - a);
            list_box.push_back(c2 - b);
            pump();
        }
        const double bar = scroll_bar_refresh();
        std::printf("view \"%ls\", window %s: %zu rows\n", key.c_str(), c.window_shown ? "shown" : "hidden",
                    w.model.rows().size());
        print_pair("  list rebuild after a capture", median(total), "store query", median(query));
        print_pair("    of it: model (store query, rows)", median(model), "store query", median(query));
        print_pair("    of it: list box update", median(list_box), "scroll bar refresh", bar);
    }
    ShowWindow(w.parent, SW_SHOWNOACTIVATE);

    // --- search keystrokes over the "all" view --------------------------------------------
    ListView all;
    show(all);
    std::vector<std::wstring> texts;
    for (const HistoryEntry& e : w.model.entries()) texts.push_back(e.text);
    const std::wstring searches[] = {L"number 1", L"number 12", L"FIGURES", L"quarterly f", L"mixed case text"};
    std::size_t sink = 0;
    const double scan = time_median(runs * 4, [&](int i) {
        const std::wstring s = to_lower(searches[static_cast<std::size_t>(i + 1) % 5]);
        for (const std::wstring& t : texts) sink += to_lower(t).find(s) != std::wstring::npos;
    });
    std::vector<double> first_model, next_model, next_list_box;
    for (int i = 0; i < runs; ++i) {
        // The first keystroke after a refresh lower-cases the texts once.
        load_list(w.model, *db, settings, all, L"", &w.thumbnails);
        apply_rows_to_list(w.list, w.shown, w.model.rows(), read_list_position(w.list), true, false);
        double a = now_ms();
        w.model.set_search(searches[static_cast<std::size_t>(i) % 5]);
        first_model.push_back(now_ms() - a);
        a = now_ms();
        bool same = w.model.set_search(searches[static_cast<std::size_t>(i + 1) % 5]);
        next_model.push_back(now_ms() - a);
        a = now_ms();
        apply_rows_to_list(w.list, w.shown, w.model.rows(), read_list_position(w.list), same, false);
        next_list_box.push_back(now_ms() - a);
        pump();
    }
    const double bar = scroll_bar_refresh();
    std::printf("search over %zu texts (%zu matches seen by the scan)\n", texts.size(), sink);
    print_pair("  keystroke, model (first after a refresh)", median(first_model), "substring scan", scan);
    print_pair("  keystroke, model (further keystrokes)", median(next_model), "substring scan", scan);
    print_pair("  keystroke, list box update", median(next_list_box), "scroll bar refresh", bar);

    // --- repaint of the visible cards -------------------------------------------------------
    for (int kind : {kViewAll, kViewImages}) {
        ListView view;
        view.view_kind = kind;
        show(view);
        const std::size_t made_before = w.thumbnails.made_count();
        RECT rc{};
        GetClientRect(w.list, &rc);
        raii::WindowDC screen(w.list);
        raii::MemoryDC mem(CreateCompatibleDC(screen.get()));
        raii::Bitmap bmp(CreateCompatibleBitmap(screen.get(), rc.right, rc.bottom));
        raii::SelectGuard sel(mem.get(), bmp.get());
        BitBlt(mem.get(), 0, 0, rc.right, rc.bottom, screen.get(), 0, 0, SRCCOPY);
        const double repaint = time_median(runs * 2, [&](int) {
            RedrawWindow(w.list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            GdiFlush();
        });
        const double blit = time_median(runs * 2, [&](int) {
            BitBlt(screen.get(), 0, 0, rc.right, rc.bottom, mem.get(), 0, 0, SRCCOPY);
            GdiFlush();
        });
        std::printf("repaint \"%ls\" (%dx%d client, %d rows)\n", view_key_for(view).c_str(), static_cast<int>(rc.right),
                    static_cast<int>(rc.bottom), static_cast<int>(w.model.rows().size()));
        print_pair("  full repaint of the visible cards", repaint, "one BitBlt", blit);
        if (kind == kViewImages) {
            // The visible image cards got their thumbnails in show(); the
            // repaints above made none.
            std::size_t images = 0;
            for (const HistoryEntry& e : w.model.entries()) images += e.is_image ? 1 : 0;
            std::printf("thumbnails: %zu cached for %zu listed images, %zu made during %d repaints\n",
                        w.thumbnails.size(), images, w.thumbnails.made_count() - made_before, 1 + runs * 2);
        }
    }
    DestroyWindow(w.parent);
}

}  // namespace

int main() {
    wchar_t base[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, base);
    std::wstring dir = std::wstring(base, n) + L"quillet-ui-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    run(dir);
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(dir), ec);
    return 0;
}
