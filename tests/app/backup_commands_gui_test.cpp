// The import and export commands of a running App, driven through their
// common file dialogs and result boxes from another thread: a large import
// shows the wait cursor while it runs and lists the imported entries
// before its result box shows; after any result box is closed (an import,
// an empty import, an export) the main window answers at once, as it does
// after the clear-history box.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "app/app_ids.h"
#include "core/i18n.h"
#include "core/text.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/app/ui_driver.h"
#include "tests/theme/gui_support.h"
#include "ui/main_window.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using namespace app_test;
using namespace ui_driver;

// A backup file of the program's format with `count` texts of `size`
// characters, pinned or not.
bool write_backup(const std::wstring& path, int count, std::size_t size = 20, bool pinned = false) {
    std::string json = "{\"format\":\"quillet-export\",\"version\":2,\"entries\":[";
    for (int i = 0; i < count; ++i) {
        if (i) json += ",";
        std::string text = "imported entry " + std::to_string(i) + " ";
        text.resize(std::max(size, text.size()), 'x');
        json += "{\"text\":\"" + text + "\",\"created_at\":\"2026-02-03T09:05:00\",\"pinned\":" +
                (pinned ? "true" : "false") + ",\"keep\":false,\"slot_order\":0,"
                "\"category\":\"\",\"category_pinned\":false}";
    }
    json += "]}";
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    const bool ok = fwrite(json.data(), 1, json.size(), f) == json.size();
    return fclose(f) == 0 && ok;
}

// The texts of a box's controls, one a line.
std::wstring box_text(HWND box) {
    std::wstring all;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM lp) -> BOOL {
            *reinterpret_cast<std::wstring*>(lp) += gui_test::text_of(child) + L"\n";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

// A click of the mouse in the middle of the control, through the input queue.
void real_click(HWND control) {
    const RECT r = gui_test::window_rect(control);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &in[0], sizeof(INPUT));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    SendInput(1, &in[1], sizeof(INPUT));
}

// How long the window takes to answer a message sent from this thread.
double answer_ms(HWND window) {
    const auto start = std::chrono::steady_clock::now();
    DWORD_PTR result = 0;
    const LRESULT answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return answered ? ms : 10000.0;
}

// What the driver saw of one command.
struct Seen {
    bool box = false;           // the result box came
    bool box_closed = false;    // and went after its button was pressed
    double answer_after = -1;   // ms the main window took to answer then
    bool wait_cursor = false;   // the wait cursor showed before the box
    int listed_at_box = -1;     // rows of the cards list while the box shows
    std::wstring box_text;
};

// Runs the command on this thread while another thread drives it: the
// file dialog (when a path is given) gets the path, the result box is
// closed with OK (a message) or Cancel (the export's "Open" question, the
// clear-history question), and the main window's answer time is measured
// right after.
Seen run_command(App& app, int command, const std::wstring& path, bool ok, HWND sender = nullptr) {
    HWND main = app.main_window_handle();
    const DWORD ui = GetCurrentThreadId();
    Seen seen;
    std::atomic<bool> done{false};
    std::thread driver([&] {
        if (!path.empty() && !answer_file_dialog(ui, path)) {
            done = true;
            return;
        }
        const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
        HWND box = nullptr;
        gui_test::wait_until(
            [&] {
                CURSORINFO ci{sizeof(ci)};
                if (GetCursorInfo(&ci) && ci.hCursor == wait) seen.wait_cursor = true;
                box = newest_window(ui, kConfirmBoxClass);
                return box != nullptr;
            },
            kWindowTimeoutMs);
        if (!box) {
            done = true;
            return;
        }
        seen.box = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        seen.listed_at_box = static_cast<int>(SendMessageW(app.main_window->cards, LB_GETCOUNT, 0, 0));
        seen.box_text = box_text(box);
        real_click(GetDlgItem(box, ok ? 1 : 2));
        seen.box_closed = wait_gone(box, 10000);
        if (seen.box_closed) seen.answer_after = answer_ms(main);
        done = true;
    });
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(command, sender ? BN_CLICKED : 0), reinterpret_cast<LPARAM>(sender));
    pump_until([&] { return done.load(); }, 60000);
    driver.join();
    pump(300);
    return seen;
}

class BackupCommands : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.start());
        app = run.app.get();
        main = run.window();
        SetWindowPos(main, HWND_TOP, 300, 100, 620, 520, SWP_SHOWWINDOW);
        SetForegroundWindow(main);
        pump(300);
    }
    RunningApp run;
    App* app = nullptr;
    HWND main = nullptr;
};

// 10,000 entries: the wait cursor while the store takes them, the list
// filled when the result box comes, a box that says how many of them the
// history limit did not keep, and an answer at once after it.
TEST_F(BackupCommands, ALargeImportShowsTheWaitCursorAndTheListBeforeItsBox) {
    const std::wstring file = run.folder.file(L"large backup.json");
    ASSERT_TRUE(write_backup(file, 10000));
    ASSERT_EQ(SendMessageW(app->main_window->cards, LB_GETCOUNT, 0, 0), 0);
    const auto start = std::chrono::steady_clock::now();
    const Seen seen = run_command(*app, kCmdImportJson, file, true);
    const double total = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    printf("import of 10,000: %.0f ms in all; the main window answered %.0f ms after the box closed\n", total,
           seen.answer_after);
    ASSERT_TRUE(seen.box);
    EXPECT_NE(seen.box_text.find(L"10000"), std::wstring::npos) << to_utf8(seen.box_text);
    EXPECT_NE(seen.box_text.find(tr_format(L"status.import_over_limit", 200, 9800)), std::wstring::npos)
        << to_utf8(seen.box_text);
    EXPECT_TRUE(seen.wait_cursor) << "no wait cursor while the import ran";
    EXPECT_GT(seen.listed_at_box, 0) << "the list was empty behind the result box";
    ASSERT_TRUE(seen.box_closed);
    EXPECT_LT(seen.answer_after, 300.0);
}

// Every result box is closed with a main window that answers at once: an
// empty import, an export, and (for comparison) the clear-history box.
TEST_F(BackupCommands, TheMainWindowAnswersAtOnceAfterEveryResultBox) {
    const std::wstring empty = run.folder.file(L"empty backup.json");
    ASSERT_TRUE(write_backup(empty, 0));
    ASSERT_GT(app->database->add_text_entry(L"an entry to export", std::nullopt, false, false), 0);
    struct Case {
        const char* what;
        int command;
        std::wstring path;
        bool ok;
    } cases[] = {
        {"empty import", kCmdImportJson, empty, true},
        {"export", kCmdExportJson, run.folder.file(L"exported.json"), false},
        {"import of the export", kCmdImportJson, run.folder.file(L"exported.json"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Seen seen = run_command(*app, c.command, c.path, c.ok);
        printf("%-22s the main window answered %.0f ms after the box closed\n", c.what, seen.answer_after);
        ASSERT_TRUE(seen.box);
        ASSERT_TRUE(seen.box_closed);
        EXPECT_LT(seen.answer_after, 300.0);
    }
    // The clear-history question, answered Cancel: no file dialog before it.
    const Seen clear = run_command(*app, kIdClear, L"", false, GetDlgItem(main, kIdClear));
    printf("%-22s the main window answered %.0f ms after the box closed\n", "clear history", clear.answer_after);
    ASSERT_TRUE(clear.box_closed);
    EXPECT_LT(clear.answer_after, 300.0);
}

}  // namespace
