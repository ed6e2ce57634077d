// A 1 MiB text entry over a running main window: selecting it with a real
// click shows the start of its text in the hint, opening it shows the
// whole text in the view window, scrolled with real keys and closed with
// Esc, and meanwhile the main window answers a message from another
// thread within a second at every moment.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "store/database.h"
#include "tests/app/answer_watch.h"
#include "tests/app/long_paragraph.h"
#include "tests/app/app_test_support.h"
#include "tests/theme/gui_support.h"
#include "ui/cards_list.h"
#include "ui/dialogs/text_view.h"
#include "ui/dialogs/view_dialog.h"
#include "ui/list_model.h"
#include "ui/main_window.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using namespace app_test;

void click_at(POINT screen) { gui_test::left_click_at(screen); }

TEST(LongText, OneMebibyteEntryLeavesTheMainWindowAnswering) {
    RunningApp running;
    ASSERT_TRUE(running.start());
    MainWindow* mw = running.app->main_window.get();
    Database* db = running.app->database.get();
    ASSERT_TRUE(mw && db && mw->hint_popup);
    SetWindowPos(running.window(), HWND_TOPMOST, 900, 120, 620, 520, SWP_SHOWWINDOW);
    SetForegroundWindow(running.window());
    pump(200);

    const std::wstring text = long_paragraph(1u << 20);
    const std::int64_t id = db->add_text_entry(text, std::nullopt, false, false);
    ASSERT_GT(id, 0);
    mw->refresh_all();
    pump(200);
    const int row = mw->model.row_of_key(id);
    ASSERT_GE(row, 0);

    AnswerWatch watch(running.window());
    // Selected with a real click: the hint shows the start of the text.
    RECT item{};
    SendMessageW(mw->cards, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    POINT at{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(mw->cards, &at);
    std::thread clicker([at] { click_at(at); });
    const bool shown = pump_until([&] { return mw->hint.shown && mw->hint.hinted_key == id; }, 5000);
    clicker.join();
    ASSERT_TRUE(shown);
    pump(300);
    ASSERT_EQ(mw->hint.body.size(), kRowTextLimit + 1);
    EXPECT_EQ(mw->hint.body.back(), L'\u2026');
    EXPECT_TRUE(mw->hint.body.compare(0, kRowTextLimit, text, 0, kRowTextLimit) == 0);
    EXPECT_TRUE(mw->hint.layout.scroll);
    // Its end, for a look by eye: the last line ends in the ellipsis.
    mw->scroll_entry_hint(1 << 24);
    EXPECT_EQ(mw->hint.scroll, mw->hint.layout.content_height - mw->hint.layout.visible_body_height);
    // Grabbed from another thread while this one answers.
    std::atomic<bool> grabbed{false};
    std::thread grab([&] {
        gui_test::save_png(gui_test::grab_painted_window(mw->hint_popup),
                           gui_test::exe_dir() + L"\\..\\long_text_hint_end.png");
        grabbed = true;
    });
    pump_until([&] { return grabbed.load(); }, 5000);
    grab.join();

    // The view window holds the whole text; Ctrl+End takes the caret to its
    // end and scrolls it to its last line, and Esc closes it.
    const DWORD ui = GetCurrentThreadId();
    std::atomic<bool> same{false}, scrolled{false}, closed_by_esc{false};
    std::atomic<int> length{0};
    std::thread helper([&] {
        std::vector<HWND> found = gui_test::wait_for_windows(ui, kViewDialogClass, 1, 10000);
        if (found.empty()) return;
        HWND dialog = found[0];
        auto* d = reinterpret_cast<ViewDialog*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
        if (d && d->text_edit) {
            length = GetWindowTextLengthW(d->text_edit);
            same = gui_test::text_of(d->text_edit) == text;
            SetForegroundWindow(dialog);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            gui_test::send_key_chord({VK_CONTROL, VK_END});
            scrolled = gui_test::wait_until(
                [&] {
                    return text_view_top_line(d->text_edit) > 0 &&
                           text_view_top_line(d->text_edit) + 60 >= text_view_line_count(d->text_edit);
                },
                3000);
            gui_test::save_png(gui_test::grab_painted_window(dialog),
                               gui_test::exe_dir() + L"\\..\\long_text_view_end.png");
        }
        gui_test::send_key_chord({VK_ESCAPE});
        closed_by_esc = gui_test::wait_until([&] { return !IsWindow(dialog); }, 3000);
        if (IsWindow(dialog)) PostMessageW(dialog, WM_CLOSE, 0, 0);
    });
    mw->open_selected_entry();
    helper.join();
    pump(300);
    watch.finish();

    EXPECT_EQ(length.load(), static_cast<int>(text.size()));
    EXPECT_TRUE(same) << "the whole text";
    EXPECT_TRUE(scrolled);
    EXPECT_TRUE(closed_by_esc);
    EXPECT_GT(watch.asked(), 5);
    EXPECT_EQ(watch.missed(), 0);
    EXPECT_LT(watch.longest(), 1000.0) << "the longest wait for an answer, ms";
    std::printf("main window answered %d times, longest wait %.1f ms\n", watch.asked(), watch.longest());
}

}  // namespace
