// The main window on a store of 10,000 pinned texts of 10 KB and 100 pinned
// images of 1 MiB: it answers a message sent from another thread within a
// second all through its start while the texts come in pieces, every row is
// listed, the search finds a tag that stands far past the start a row holds,
// and a copy of the found row puts its whole text on the clipboard.
#include <gtest/gtest.h>

#include <windows.h>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/main_wndproc.h"
#include "bench/scale_store.h"
#include "core/winutil.h"
#include "tests/app/app_test_support.h"
#include "ui/cards_list.h"
#include "ui/main_window.h"

namespace {

using namespace app_test;

double now_ms() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

HWND main_window_of_this_process() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (pid != GetCurrentProcessId() || std::wstring(cls) != kMainWindowClass) return TRUE;
            *reinterpret_cast<HWND*>(lp) = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Sends WM_NULL to the main window from its own thread as soon as the
// window exists, and keeps the longest wait for an answer.
class Pinger {
public:
    Pinger() {
        thread_ = std::thread([this] {
            HWND main = nullptr;
            while (running_ && !main) {
                main = main_window_of_this_process();
                if (!main) Sleep(1);
            }
            while (running_) {
                const double t0 = now_ms();
                DWORD_PTR r = 0;
                if (SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r)) {
                    if (answers_++ == 0) first_answer_ = now_ms();
                }
                const double waited = now_ms() - t0;
                if (waited > longest_) longest_ = waited;
                Sleep(5);
            }
        });
    }
    ~Pinger() { stop(); }
    void stop() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }
    double longest() const { return longest_; }
    double first_answer() const { return first_answer_; }
    int answers() const { return answers_; }

private:
    std::atomic<bool> running_{true};
    std::atomic<double> longest_{0};
    std::atomic<double> first_answer_{0};
    std::atomic<int> answers_{0};
    std::thread thread_;
};

std::wstring clipboard_text() {
    std::wstring text;
    for (int attempt = 0; attempt < 50 && !OpenClipboard(nullptr); ++attempt) Sleep(10);
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            text = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

TEST(MainWindowAtScale, AnswersThroughItsStartAndFindsPastTheShownStart) {
    RunningApp run;
    const double built_at = now_ms();
    ASSERT_TRUE(scale_store::build(run.files.database_path, scale_store::store_a()));
    const double build_ms = now_ms() - built_at;

    Pinger pinger;
    const double t0 = now_ms();
    ASSERT_TRUE(run.start());
    MainWindow* mw = run.app->main_window.get();
    ASSERT_TRUE(mw);
    ShowWindow(run.window(), SW_SHOW);
    EXPECT_TRUE(pump_until([&] { return !mw->model.has_pending_texts(); }, 20000));
    pump(300);
    pinger.stop();
    EXPECT_GT(pinger.answers(), 10);
    EXPECT_LT(pinger.first_answer() - t0, 1000.0) << "the first answer after the start";
    EXPECT_LT(pinger.longest(), 1000.0) << "the longest wait for an answer";
    EXPECT_EQ(mw->model.row_count(), 10000u);
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 10000);
    RecordProperty("store_build_ms", static_cast<int>(build_ms));

    // The tag stands about 200 bytes before the end of the 10 KB text.
    SetWindowTextW(mw->search, L"tag1234MARK");
    pump(50);
    ASSERT_EQ(mw->model.row_count(), 1u);
    const std::int64_t id = mw->model.row_key(0);
    const HistoryEntry* listed = mw->model.find_entry(id);
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->text_state, TextState::Start);
    EXPECT_EQ(listed->text.find(L"Tag1234Mark"), std::wstring::npos);
    const std::wstring whole = from_utf8(scale_store::text_utf8(1234, 10 * 1024));
    EXPECT_EQ(listed->text, whole.substr(0, kListedTextLimit));

    // Copied from the list, the clipboard gets the whole text.
    ASSERT_TRUE(list_select_entry(mw->cards, id));
    mw->copy_selected();
    pump(50);
    EXPECT_EQ(clipboard_text(), whole);

    SetWindowTextW(mw->search, L"");
    pump(50);
    EXPECT_EQ(mw->model.row_count(), 10000u);
}

}  // namespace
