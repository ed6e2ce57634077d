// The main window on two heavy stores, each figure beside its floor measured
// in the same run:
//   A: 10,000 pinned texts of 10 KB and 100 pinned images of 1 MiB;
//   B: 200 texts of 500 KB;
// and the empty store as the reference of the start and the hotkeys.
//
// For each store three processes of their own:
//   --steps: where the time of a list goes, step by step (the store query,
//            building the model, the list box rows, the lower-casing and the
//            scan of a search, measuring and drawing the cards), beside the
//            bare store query of the same rows (raw SQLite, the texts read
//            as UTF-8) and a plain substring scan of the same lower-cased
//            texts in memory;
//   --memory: the resident set of a list read whole, and what of it stays
//            when the model lets its records go;
//   --first-key: the first search keystroke 0 or 200 ms after the main
//            window first answers, while its texts arrive;
//   --app:   the program's main window: start to the window answering a
//            sent message (a second thread sends WM_NULL every 2 ms from the
//            process's first instant, and notes the longest wait), the
//            resident set after start, search keystrokes, clearing the
//            search, the stall of one copy made by a third process, the
//            quick-menu and history hotkeys.
// At the end a table gives each figure of the stores beside its target and
// its floor. QUILLET_SCALE_ONLY=a (b, empty) runs one store alone;
// QUILLET_SCALE_KEEP=1 leaves the stores in the temporary folder.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/main_wndproc.h"
#include "bench/bench_clipboard.h"
#include "bench/bench_timing.h"
#include "bench/bench_window.h"
#include "bench/scale_store.h"
#include "core/settings.h"
#include "core/text.h"
#include "store/database.h"
#include "theme/fonts.h"
#include "ui/card_draw.h"
#include "ui/cards_list.h"
#include "ui/list_model.h"
#include "ui/main_window.h"
#include "ui/quick_menu.h"
#include "ui/thumbnail_cache.h"

namespace {

using bench::now_ms;
using bench::median;
using bench::pump;

constexpr wchar_t kGo[] = L"QuilletScaleBenchGo";

double mib(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

std::uint64_t resident() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.WorkingSetSize;
}

void pump_for(DWORD ms) { bench::pump_for(ms, 5); }

FILE* results(const std::wstring& dir) { return _wfopen((dir + L"\\results.txt").c_str(), L"ab"); }

void line(const std::wstring& dir, const char* fmt, double a = 0, double b = 0, double c = 0, double d = 0) {
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, a, b, c, d);
    if (FILE* f = results(dir)) {
        std::fputs(buf, f);
        std::fputs("\n", f);
        std::fclose(f);
    }
}

// A figure for the summary table: the store (a, b, empty: the file's
// name), the figure's name and its value.
void figure(const std::wstring& dir, const std::wstring& store_path, const char* name, double value) {
    std::wstring file = store_path.substr(store_path.find_last_of(L"\\") + 1);
    file = file.substr(0, file.find(L'.'));
    if (FILE* f = _wfopen((dir + L"\\figures.txt").c_str(), L"ab")) {
        std::fprintf(f, "%ls %s %.3f\n", file.c_str(), name, value);
        std::fclose(f);
    }
}

void pair(const std::wstring& dir, const char* what, double figure, const char* floor_name, double floor) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "  %-46s %9.1f ms   floor (%s) %9.1f ms", what, figure, floor_name, floor);
    if (FILE* f = results(dir)) {
        std::fputs(buf, f);
        std::fputs("\n", f);
        std::fclose(f);
    }
}

// ---- the steps -------------------------------------------------------------------------

using CardsHost = bench::CardsHost<ShownRows>;

// The bare store query of the "all" view: every live text row in the
// list's order, the text read as SQLite's UTF-8.
double raw_query_ms(const std::wstring& path, std::size_t& rows, std::size_t& bytes) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(to_utf8(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    const double t0 = now_ms();
    sqlite3_prepare_v2(db,
                       "SELECT id, text, created_at, pinned, category_id, use_count, keep FROM history "
                       "WHERE deleted_at IS NULL AND is_image=0 ORDER BY pinned DESC, sort_order DESC, id DESC",
                       -1, &s, nullptr);
    rows = bytes = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(s, 1);
        bytes += static_cast<std::size_t>(sqlite3_column_bytes(s, 1)) + (t ? 0 : 0);
        ++rows;
    }
    const double t = now_ms() - t0;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return t;
}

int run_steps(const std::wstring& dir, const std::wstring& path) {
    CardsHost w;
    // The main window's cards list: owner-drawn rows that hold no text.
    if (!w.create(L"QuilletScaleBench", 580, 0)) return 2;
    pump();
    Settings settings;
    Database db(path);
    const int runs = 3;

    std::size_t rows = 0, bytes = 0;
    std::vector<double> floor_query;
    for (int i = 0; i < runs; ++i) floor_query.push_back(raw_query_ms(path, rows, bytes));
    line(dir, "  %.0f listed texts, %.1f MiB as UTF-8", static_cast<double>(rows), mib(bytes));
    figure(dir, path, "floor_query", median(floor_query));
    figure(dir, path, "texts_mib", mib(bytes));

    // The program's store query of the view, as a list reads it.
    std::vector<double> query;
    for (int i = 0; i < runs; ++i) {
        const double t0 = now_ms();
        std::vector<HistoryEntry> listed = db.list_entry_rows(L"all", settings.sort_by_frequency, settings.pinned_first, nullptr);
        query.push_back(now_ms() - t0);
    }
    pair(dir, "store query of the rows (no texts)", median(query), "raw SQLite query", median(floor_query));
    {
        std::vector<std::int64_t> ids;
        for (const HistoryEntry& e :
             db.list_entry_rows(L"all", settings.sort_by_frequency, settings.pinned_first, nullptr))
            ids.push_back(e.id);
        std::size_t units = 0;
        double t0 = now_ms();
        std::size_t bytes_read = 0;
        db.read_list_texts(ids, 0, [&](HistoryEntry&, std::string_view u) { bytes_read += u.size(); });
        const double texts = now_ms() - t0;
        pair(dir, "reading the whole texts (read_list_texts)", texts, "raw SQLite query", median(floor_query));
        std::size_t folded = 0;
        double fold_ms = 0;
        db.read_list_texts(ids, 0, [&](HistoryEntry&, std::string_view u) {
            const double a = now_ms();
            FoldedText f = fold_utf8_text(u, kListedTextLimit);
            fold_ms += now_ms() - a;
            folded += f.folded.size();
            units += f.units;
        });
        pair(dir, "folding them for the search (lower-cased)", fold_ms, "-", 0);
        line(dir, "  %.1f MiB read as UTF-8, %.1f MiB as UTF-16, %.1f MiB folded", mib(bytes_read), mib(units * 2),
             mib(folded));
    }

    // The model: a first load, then a reload after a copy (texts held).
    std::vector<double> first_load, reload, list_box, measure, draw;
    for (int i = 0; i < runs; ++i) {
        w.model = ListModel();
        double t0 = now_ms();
        bool same = load_list(w.model, db, settings, ListView{}, L"", &w.thumbnails);
        first_load.push_back(now_ms() - t0);
        w.shown = ShownRows();
        SendMessageW(w.list, LB_RESETCONTENT, 0, 0);
        w.measured = 0;
        t0 = now_ms();
        apply_model_to_list(w.list, w.shown, w.model, read_list_position(w.list), same, true);
        list_box.push_back(now_ms() - t0);
        t0 = now_ms();
        RedrawWindow(w.list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        GdiFlush();
        draw.push_back(now_ms() - t0);
        pump();
        db.add_entry({.text = L"a new copy " + std::to_wstring(i), .source_app = L"notepad.exe"});
        t0 = now_ms();
        ListPosition pos = read_list_position(w.list);
        same = load_list(w.model, db, settings, ListView{}, L"", &w.thumbnails);
        apply_model_to_list(w.list, w.shown, w.model, pos, same, true);
        reload.push_back(now_ms() - t0);
        pump();
    }
    pair(dir, "first load of the model (query, texts, index)", median(first_load), "raw SQLite query",
         median(floor_query));
    pair(dir, "list box rows (all rows added, measured)", median(list_box), "-", 0);
    pair(dir, "drawing the visible cards", median(draw), "-", 0);
    pair(dir, "reload after a copy (model and list box)", median(reload), "raw SQLite query", median(floor_query));

    // The texts not read by the first load, in the pieces the window reads
    // them in between its messages.
    {
        w.model = ListModel();
        load_list(w.model, db, settings, ListView{}, L"", &w.thumbnails);
        int pieces = 0;
        std::vector<double> piece;
        const double t0 = now_ms();
        while (w.model.has_pending_texts()) {
            const double a = now_ms();
            w.model.load_pending_texts(db, GetTickCount64() + kListTextsPieceMs);
            piece.push_back(now_ms() - a);
            ++pieces;
        }
        std::sort(piece.begin(), piece.end());
        pair(dir, "the rest of the texts, all pieces", now_ms() - t0, "reading them (raw SQLite)", median(floor_query));
        line(dir, "  in %.0f pieces, the longest %.1f ms", pieces, piece.empty() ? 0 : piece.back());
        w.shown = ShownRows();
        apply_model_to_list(w.list, w.shown, w.model, ListPosition{}, false, true);
    }

    // Search: the floor lower-cases every text once outside the timing and
    // scans the lower-cased copies with std::wstring::find.
    std::vector<std::wstring> whole;
    {
        sqlite3* raw = nullptr;
        sqlite3_open_v2(to_utf8(path).c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(raw, "SELECT text FROM history WHERE deleted_at IS NULL AND is_image=0", -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            whole.push_back(from_utf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))));
        sqlite3_finalize(s);
        sqlite3_close(raw);
    }
    double t0 = now_ms();
    for (std::wstring& t : whole) t = to_lower(t);
    const double lowering = now_ms() - t0;
    const std::wstring searches[] = {L"t", L"ta", L"tag", L"tag1", L"tag12", L"tag123", L"tag1234", L"zz", L"stra\u00dfe l"};
    std::vector<double> floor_scan, keystroke;
    for (const std::wstring& s : searches) {
        std::size_t hits = 0;
        t0 = now_ms();
        const std::wstring lowered = to_lower(s);
        for (const std::wstring& t : whole) hits += t.find(lowered) != std::wstring::npos;
        floor_scan.push_back(now_ms() - t0);
        t0 = now_ms();
        ListPosition pos = read_list_position(w.list);
        const bool same = load_list(w.model, db, settings, ListView{}, s, &w.thumbnails);
        apply_model_to_list(w.list, w.shown, w.model, pos, same, false);
        keystroke.push_back(now_ms() - t0);
        if (hits != w.model.row_count())
            line(dir, "  (search of %.0f characters: %.0f rows, the plain scan found %.0f)",
                 static_cast<double>(s.size()), static_cast<double>(w.model.row_count()), static_cast<double>(hits));
    }
    pair(dir, "lower-casing every text once (to_lower)", lowering, "-", 0);
    std::sort(keystroke.begin(), keystroke.end());
    std::sort(floor_scan.begin(), floor_scan.end());
    figure(dir, path, "floor_scan", floor_scan.back());
    pair(dir, "search keystroke, model and list box (largest)", keystroke.back(), "plain scan, largest", floor_scan.back());
    pair(dir, "search keystroke, model and list box (median)", median(keystroke), "plain scan, median", median(floor_scan));
    t0 = now_ms();
    ListPosition pos = read_list_position(w.list);
    const bool same = load_list(w.model, db, settings, ListView{}, L"", &w.thumbnails);
    apply_model_to_list(w.list, w.shown, w.model, pos, same, false);
    pair(dir, "clearing the search, model and list box", now_ms() - t0, "-", 0);
    line(dir, "  resident set of this process %.1f MiB", mib(resident()));
    DestroyWindow(w.parent);
    return 0;
}

// Where the resident set of a loaded list goes: the process before and
// after a list is read whole, and after the model lets its records go.
int run_memory(const std::wstring& dir, const std::wstring& path) {
    const std::uint64_t start = resident();
    Settings settings;
    Database db(path);
    const std::uint64_t opened = resident();
    ListModel model;
    load_list(model, db, settings, ListView{}, L"", nullptr);
    while (model.has_pending_texts()) model.load_pending_texts(db, 0);
    const std::uint64_t loaded = resident();
    std::size_t starts = 0;
    for (const HistoryEntry& e : model.entries()) starts += e.text.capacity() * sizeof(wchar_t);
    model.release_records();
    const std::uint64_t released = resident();
    line(dir, "  memory: process %.1f MiB, store opened +%.1f MiB, list read whole +%.1f MiB (starts of the texts %.1f MiB),",
         mib(start), mib(opened - start), mib(loaded - opened), mib(starts));
    line(dir, "    after the model let its records go +%.1f MiB above the opened store", mib(released > opened ? released - opened : 0));
    return 0;
}

// ---- the main window -------------------------------------------------------------------

HWND find_main_window() {
    struct Find {
        HWND found = nullptr;
    } f;
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (pid == GetCurrentProcessId() && std::wstring(cls) == kMainWindowClass) {
                reinterpret_cast<Find*>(lp)->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

double since_process_start_ms() {
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimePreciseAsFileTime(&now);
    auto v = [](FILETIME t) { return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(v(now) - v(created)) / 10000.0;
}

// When the interface thread first takes a posted message: it is back in
// its message loop then, where a key press is taken. A sent message can be
// answered earlier, inside a call that waits on another thread or process
// while the program is still starting, and says nothing of that.
constexpr UINT kProbeMessage = WM_APP + 77;
std::atomic<double> g_loop_reached{-1};

LRESULT CALLBACK probe_proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kProbeMessage && g_loop_reached < 0) g_loop_reached = since_process_start_ms();
    return DefWindowProcW(window, msg, wp, lp);
}

// Made on the interface thread before the program starts.
HWND make_probe_window() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = probe_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuilletScaleBenchProbe";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

// From another thread: the moment the main window first answers (its
// thread in its message loop, told by a message posted to the probe once
// the window exists), and the longest time the window left a sent WM_NULL
// unanswered since the last reset (a message sent before the reset counts
// from the reset). A WM_NULL goes every 2 ms.
struct Pinger {
    std::atomic<bool> running{true};
    std::atomic<double> first_answer{-1};   // ms since the process started
    std::atomic<double> longest{0};
    std::atomic<double> count_from{0};      // now_ms() of the last reset
    std::thread thread;
    HWND probe = make_probe_window();

    void reset() {
        count_from = now_ms();
        longest = 0;
    }
    void start() {
        thread = std::thread([this] {
            HWND main = nullptr;
            while (running && !main) {
                main = find_main_window();
                if (!main) Sleep(1);
            }
            PostMessageW(probe, kProbeMessage, 0, 0);
            while (running) {
                const double sent = now_ms();
                DWORD_PTR r = 0;
                const bool answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &r) != 0;
                const double waited = now_ms() - std::max(sent, count_from.load());
                if (first_answer < 0 && g_loop_reached >= 0) {
                    first_answer = g_loop_reached.load();
                    reset();
                } else if (answered && first_answer >= 0 && waited > longest) {
                    longest = waited;
                }
                Sleep(2);
            }
        });
    }
    void stop() {
        running = false;
        if (thread.joinable()) thread.join();
    }
};

int run_writer() {
    HANDLE go = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, kGo);
    if (!go) return 2;
    HWND owner = CreateWindowExW(0, L"STATIC", L"scale bench writer", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                 nullptr);
    for (int i = 0; i < 3; ++i) {
        const std::wstring text = L"scale bench copy number " + std::to_wstring(i) + L" " + std::to_wstring(GetTickCount64());
        if (!bench::wait_answering_messages(go, 120000)) return 3;
        bench::put_on_clipboard(owner, CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }
    bench::wait_answering_messages(go, 120000);
    return 0;
}

using bench::newest_id;

int run_app(const std::wstring& dir, const std::wstring& path) {
    Pinger pinger;
    pinger.start();
    SetEnvironmentVariableW(L"QUILLET_ALLOW_CAPTURE", L"1");
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, kGo);
    AppFiles files{dir + L"\\scale.ini", path};
    auto app = std::make_unique<App>();
    if (!app->init(GetModuleHandleW(nullptr), files)) return 2;
    HWND main = app->main_window_handle();
    ShowWindow(main, SW_SHOW);
    while (pinger.first_answer < 0) pump_for(1);
    const double start = pinger.first_answer;
    pump_for(4000);
    const double longest_start = pinger.longest;
    line(dir, "  start to the main window answering %.0f ms; longest wait for an answer during the first 4 s %.0f ms",
         start, longest_start);
    line(dir, "  resident set after start %.1f MiB", mib(resident()));
    figure(dir, path, "start", start);
    figure(dir, path, "start_longest", longest_start);
    figure(dir, path, "resident", mib(resident()));

    MainWindow& mw = *app->main_window;
    auto settle = [&] {
        UpdateWindow(main);
        pump();
    };
    // Search keystrokes: the box's text set (its EN_CHANGE runs the search)
    // and the window painted.
    const std::wstring typed = L"tag123";
    std::vector<double> keys;
    for (std::size_t n = 1; n <= typed.size(); ++n) {
        const double t0 = now_ms();
        SetWindowTextW(mw.search, typed.substr(0, n).c_str());
        settle();
        keys.push_back(now_ms() - t0);
    }
    std::sort(keys.begin(), keys.end());
    figure(dir, path, "keystroke", keys.back());
    line(dir, "  search keystrokes: largest %.1f ms, median %.1f ms (%.0f rows for \"tag123\")", keys.back(),
         median(keys), static_cast<double>(mw.model.row_count()));
    double t0 = now_ms();
    SetWindowTextW(mw.search, L"");
    settle();
    const double cleared = now_ms() - t0;
    figure(dir, path, "clearing", cleared);
    line(dir, "  clearing the search %.1f ms (%.0f rows)", cleared, static_cast<double>(mw.model.row_count()));

    // One copy by another process: the longest wait of a sent message while
    // it is captured.
    sqlite3* raw = nullptr;
    sqlite3_open(to_utf8(path).c_str(), &raw);
    sqlite3_busy_timeout(raw, 2000);
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --writer";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<double> stalls;
    if (CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        pump_for(500);
        for (int i = 0; i < 3; ++i) {
            const std::int64_t before = newest_id(raw);
            pinger.reset();
            SetEvent(go);
            const ULONGLONG end = GetTickCount64() + 10000;
            while (newest_id(raw) == before && GetTickCount64() < end) pump_for(5);
            pump_for(800);
            stalls.push_back(pinger.longest);
        }
        SetEvent(go);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    std::sort(stalls.begin(), stalls.end());
    if (!stalls.empty())
        line(dir, "  the window stalled by one copy: largest %.1f ms, median %.1f ms", stalls.back(), median(stalls));
    if (!stalls.empty()) figure(dir, path, "copy", stalls.back());
    sqlite3_close(raw);

    // The quick-menu hotkey: filled, shown and painted.
    std::vector<double> quick;
    for (int i = 0; i < 5; ++i) {
        t0 = now_ms();
        SendMessageW(main, WM_HOTKEY, static_cast<WPARAM>(app->quick_menu_hotkey_id), 0);
        if (app->quick_menu && app->quick_menu->window) UpdateWindow(app->quick_menu->window);
        pump();
        quick.push_back(now_ms() - t0);
        if (app->quick_menu) app->quick_menu->hide();
        pump_for(100);
    }
    line(dir, "  quick-menu hotkey to the menu shown: median %.1f ms", median(quick));
    figure(dir, path, "quick", median(quick));

    // The history hotkey with the window hidden: shown and answering.
    std::vector<double> history;
    for (int i = 0; i < 5; ++i) {
        ShowWindow(main, SW_HIDE);
        pump_for(300);
        pinger.reset();
        t0 = now_ms();
        SendMessageW(main, WM_HOTKEY, static_cast<WPARAM>(app->history_hotkey_id), 0);
        settle();
        history.push_back(now_ms() - t0);
        pump_for(100);
    }
    line(dir, "  history hotkey to the window answering: median %.1f ms", median(history));
    figure(dir, path, "history", median(history));
    pinger.stop();
    DestroyWindow(main);
    pump_for(200);
    app->shutdown();
    return 0;
}

// The first search keystroke delay_ms after the main window first answers,
// while its texts may still be arriving: how long the keystroke holds the
// window, and when the search has every text.
int run_first_key(const std::wstring& dir, const std::wstring& path, int delay_ms) {
    Pinger pinger;
    pinger.start();
    SetEnvironmentVariableW(L"QUILLET_ALLOW_CAPTURE", L"1");
    AppFiles files{dir + L"\\first-key.ini", path};
    auto app = std::make_unique<App>();
    if (!app->init(GetModuleHandleW(nullptr), files)) return 2;
    HWND main = app->main_window_handle();
    ShowWindow(main, SW_SHOW);
    // The key comes the moment the interface thread is in its loop: the
    // messages queued before the probe are handled, nothing after it.
    MSG msg;
    while (g_loop_reached < 0) {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
    }
    const double answered = now_ms();
    while (now_ms() - answered < delay_ms) pump_for(1);
    MainWindow& mw = *app->main_window;
    const bool pending = mw.model.has_pending_texts();
    pinger.reset();
    const double t0 = now_ms();
    SetWindowTextW(mw.search, L"t");
    UpdateWindow(main);
    const double held = now_ms() - t0;
    while (mw.model.has_pending_texts()) pump_for(5);
    const double complete = now_ms() - t0;
    pump_for(100);
    const std::string name = "first_key_" + std::to_string(delay_ms);
    figure(dir, path, name.c_str(), held);
    char text[256];
    std::snprintf(text, sizeof text,
                  "  first search keystroke %d ms after the window answered: %.1f ms (texts %s), the search "
                  "complete after %.0f ms, the longest wait for an answer meanwhile %.0f ms (%.0f rows)",
                  delay_ms, held, pending ? "still arriving" : "all read", complete, pinger.longest.load(),
                  static_cast<double>(mw.model.row_count()));
    line(dir, text);
    pinger.stop();
    DestroyWindow(main);
    pump_for(200);
    app->shutdown();
    return 0;
}

int run_child(const std::wstring& args) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, 900000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}

// The table of the figures: each store's figure, its target and its floor
// (the store query of the same rows with their texts, or for a keystroke
// the plain scan of the same lower-cased texts in memory).
void print_summary(const std::wstring& dir) {
    std::map<std::string, double> v;  // "store name" -> value
    if (FILE* f = _wfopen((dir + L"\\figures.txt").c_str(), L"rb")) {
        char store[32], name[64];
        double value = 0;
        while (std::fscanf(f, "%31s %63s %lf", store, name, &value) == 3) v[std::string(store) + " " + name] = value;
        std::fclose(f);
    }
    auto get = [&](const char* store, const char* name) {
        auto it = v.find(std::string(store) + " " + name);
        return it == v.end() ? -1.0 : it->second;
    };
    std::printf("\nsummary (ms, resident in MiB)         empty        A        B   target A / B            floor A / B\n");
    struct Row {
        const char* what;
        const char* name;
        const char* floor;
    } rows[] = {
        {"start to the window answering", "start", "floor_query"},
        {"  longest wait during the start", "start_longest", "floor_query"},
        {"resident set after start", "resident", nullptr},
        {"first keystroke 0 ms after start", "first_key_0", "floor_scan"},
        {"first keystroke 200 ms after start", "first_key_200", "floor_scan"},
        {"one search keystroke (largest)", "keystroke", "floor_scan"},
        {"clearing the search", "clearing", "floor_query"},
        {"the window stalled by one copy", "copy", "floor_query"},
        {"quick-menu hotkey to the menu", "quick", "floor_query"},
        {"history hotkey to the window", "history", "floor_query"},
    };
    for (const Row& r : rows) {
        char target[48];
        const std::string name = r.name;
        if (name == "resident")
            std::snprintf(target, sizeof target, "%6.1f / %6.1f", get("empty", "resident") + 1.2 * get("a", "texts_mib"),
                          get("empty", "resident") + 1.2 * get("b", "texts_mib"));
        else if (name == "history")
            std::snprintf(target, sizeof target, "%6.1f / %6.1f", get("empty", "history") + 100, get("empty", "history") + 100);
        else if (name == "start" || name == "start_longest")
            std::snprintf(target, sizeof target, "%6.0f / %6.0f", 500.0, 500.0);
        else
            std::snprintf(target, sizeof target, "%6.0f / %6.0f", 100.0, 100.0);
        std::printf("%-36s %8.1f %8.1f %8.1f   %-18s", r.what, get("empty", r.name), get("a", r.name), get("b", r.name), target);
        if (r.floor)
            std::printf("   %6.1f / %6.1f (%s)\n", get("a", r.floor), get("b", r.floor),
                        std::string(r.floor) == "floor_scan" ? "plain scan" : "store query with texts");
        else
            std::printf("\n");
    }
}

int drive() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = std::wstring(temp) + L"quillet-scale-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    struct Store {
        const char* name;
        const wchar_t* file;
        scale_store::Shape shape;
    };
    const Store stores[] = {
        {"empty store", L"empty.db", scale_store::Shape{}},
        {"store A (10,000 pinned texts of 10 KB, 100 pinned images of 1 MiB)", L"a.db", scale_store::store_a()},
        {"store B (200 texts of 500 KB)", L"b.db", scale_store::store_b()},
    };
    // QUILLET_SCALE_ONLY=a, b or empty runs that store alone.
    const char* only = getenv("QUILLET_SCALE_ONLY");
    for (const Store& s : stores) {
        if (only && std::wstring(s.file).rfind(std::wstring(only, only + std::strlen(only)), 0) != 0) continue;
        const std::wstring path = dir + L"\\" + s.file;
        const double t0 = now_ms();
        if (!scale_store::build(path, s.shape)) {
            std::printf("%s could not be built\n", s.name);
            continue;
        }
        WIN32_FILE_ATTRIBUTE_DATA fa{};
        GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &fa);
        const std::uint64_t size = (static_cast<std::uint64_t>(fa.nFileSizeHigh) << 32) | fa.nFileSizeLow;
        line(dir, "");
        char head[256];
        std::snprintf(head, sizeof head, "== %s: %.1f MiB file, built in %.0f ms", s.name, mib(size), now_ms() - t0);
        line(dir, head);
        if (s.shape.texts > 0 && !getenv("QUILLET_SCALE_NO_STEPS")) {
            line(dir, " steps (a process of its own):");
            run_child(L"--steps \"" + dir + L"\" \"" + path + L"\"");
            run_child(L"--memory \"" + dir + L"\" \"" + path + L"\"");
        }
        line(dir, " the main window (a process of its own):");
        run_child(L"--app \"" + dir + L"\" \"" + path + L"\"");
        if (s.shape.texts > 0) {
            line(dir, " the first search keystroke while the texts arrive (a process each):");
            for (int delay : {0, 200})
                run_child(L"--first-key \"" + dir + L"\" \"" + path + L"\" " + std::to_wstring(delay));
        }
    }
    if (FILE* f = _wfopen((dir + L"\\results.txt").c_str(), L"rb")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, f)) std::fputs(buf, stdout);
        std::fclose(f);
    }
    print_summary(dir);
    if (getenv("QUILLET_SCALE_KEEP")) return 0;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((dir + L"\\" + fd.cFileName).c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
    return 0;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc >= 2 && std::wstring(argv[1]) == L"--writer") return run_writer();
    if (argc >= 4 && std::wstring(argv[1]) == L"--app") return run_app(argv[2], argv[3]);
    if (argc >= 4 && std::wstring(argv[1]) == L"--steps") return run_steps(argv[2], argv[3]);
    if (argc >= 4 && std::wstring(argv[1]) == L"--memory") return run_memory(argv[2], argv[3]);
    if (argc >= 5 && std::wstring(argv[1]) == L"--first-key") return run_first_key(argv[2], argv[3], _wtoi(argv[4]));
    return drive();
}
