// The real Quillet.exe, from a portable copy, driven from outside as a user
// would: Import… and Export… through their file dialogs, each result box
// closed with a click of the mouse (the export's box with "Open", which
// shows the folder, and with Cancel), and the clear-history question for
// comparison, with a row chosen so that its hint shows. After every box the
// test asks the main window for an answer every 5 ms for 3 s: it answers
// within 300 ms each time, on an empty store and on a store of 10,000
// pinned texts of 10 KB. Registered twice: on the test desktop without a
// window manager and under openbox.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/app_ids.h"
#include "bench/scale_store.h"
#include "core/handles.h"
#include "core/text.h"
#include "tests/app/app_test_support.h"
#include "tests/app/portable_copy.h"
#include "tests/app/ui_driver.h"
#include "tests/theme/gui_support.h"

namespace {

using namespace app_test;
using namespace ui_driver;
using test_support::PortableCopy;

double now_ms() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The longest the window kept a message waiting while it was asked every
// 5 ms, and when that ask began (ms after the watch began).
struct Answers {
    double longest_ms = 0;
    double at_ms = 0;
};

Answers watch_answers(HWND window, double for_ms = 3000) {
    Answers seen;
    const double start = now_ms();
    while (now_ms() - start < for_ms) {
        const double asked = now_ms();
        DWORD_PTR result = 0;
        const bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
        const double waited = answered ? now_ms() - asked : 10000.0;
        if (waited > seen.longest_ms) {
            seen.longest_ms = waited;
            seen.at_ms = asked - start;
        }
        Sleep(5);
    }
    return seen;
}

// A click of the mouse in the middle of the control, through the input queue.
void real_click(HWND control) {
    const RECT r = gui_test::window_rect(control);
    gui_test::left_click_at(gui_test::rect_center(r));
}

// A backup file of the program's format with `count` short texts.
bool write_backup(const std::wstring& path, int count) {
    std::string json = "{\"format\":\"quillet-export\",\"version\":2,\"entries\":[";
    for (int i = 0; i < count; ++i) {
        if (i) json += ",";
        json += "{\"text\":\"imported entry " + std::to_string(i) +
                "\",\"created_at\":\"2026-02-03T09:05:00\",\"pinned\":false,\"keep\":false,\"slot_order\":0,"
                "\"category\":\"\",\"category_pinned\":false}";
    }
    json += "]}";
    return test_support::write_file(path, json);
}

// The visible top-level windows of other processes than these two.
std::set<HWND> windows_of_others(DWORD program) {
    struct Collect {
        DWORD program;
        std::set<HWND> found;
    } collect{program, {}};
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* c = reinterpret_cast<Collect*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid != c->program && pid != GetCurrentProcessId() && IsWindowVisible(w)) c->found.insert(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&collect));
    return collect.found;
}

// One way to reach a result box and the button that closes it.
struct Case {
    const char* what;
    int command;        // kCmdImportJson, kCmdExportJson or kIdClear
    const wchar_t* file;  // the file the dialog is given (in the test folder)
    int button;         // 1: the box's OK ("Open" in the export's), 2: Cancel
    bool opens_folder;  // the shell shows the exported file's folder
};

// The portable copy on a store of the shape, running with its window shown.
class ResultBoxAnswer : public ::testing::Test {
protected:
    void start(const scale_store::Shape& shape) {
        ASSERT_TRUE(copy_.ok());
        if (shape.texts > 0) {
            ASSERT_TRUE(scale_store::build(copy_.database(), shape));
        }
        ASSERT_TRUE(write_backup(files_.file(L"empty.json"), 0));
        ASSERT_TRUE(write_backup(files_.file(L"three.json"), 3));
        ASSERT_TRUE(quillet_.start(copy_.exe(), L"", copy_.path()));
        main_ = main_window_of(quillet_.id(), 60000);
        ASSERT_TRUE(main_) << "no QuilletMain window";
        ui_ = GetWindowThreadProcessId(main_, nullptr);
        // Settled: the first list shown and the window answering.
        pump(2000);
        watch_answers(main_, 500);
        // The first row chosen with the mouse, as a user would have one
        // (its hint shows whenever the window is active).
        SetForegroundWindow(main_);
        pump(300);
        const RECT cards = gui_test::window_rect(GetDlgItem(main_, kIdCards));
        gui_test::left_click_at(POINT{(cards.left + cards.right) / 2, cards.top + 20});
        pump(1000);
    }

    // Runs the case; the main window's answers after its box was closed.
    Answers run(const Case& c) {
        Answers none;
        none.longest_ms = -1;
        SetForegroundWindow(main_);
        pump(300);
        if (c.command == kIdClear) {
            PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kIdClear, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(main_, kIdClear)));
        } else {
            PostMessageW(main_, WM_COMMAND, MAKEWPARAM(c.command, 0), 0);
            EXPECT_TRUE(answer_file_dialog(ui_, files_.file(c.file))) << "the file dialog was not answered";
        }
        HWND box = wait_window(ui_, kConfirmBoxClass);
        EXPECT_TRUE(box) << "no result box";
        if (!box) {
            close_leftovers(ui_);
            return none;
        }
        Sleep(300);
        HWND button = GetDlgItem(box, c.button);
        EXPECT_TRUE(button) << "the box has no button " << c.button;
        if (!button) {
            close_leftovers(ui_);
            return none;
        }
        const std::set<HWND> before = windows_of_others(quillet_.id());
        real_click(button);
        const bool closed = wait_gone(box, 10000);
        EXPECT_TRUE(closed) << "the click did not close the box";
        if (!closed) {
            close_leftovers(ui_);
            return none;
        }
        const Answers seen = watch_answers(main_);
        // "Open" shows the folder in a window of the shell's, titled with
        // its name; that window is closed again.
        bool folder_shown = false;
        const std::wstring folder = files_.path().substr(files_.path().find_last_of(L'\\') + 1);
        for (HWND w : windows_of_others(quillet_.id())) {
            if (before.count(w)) continue;
            folder_shown = folder_shown || gui_test::text_of(w).find(folder) != std::wstring::npos;
            PostMessageW(w, WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(folder_shown, c.opens_folder) << "the folder " << to_utf8(folder);
        return seen;
    }

    void run_all() {
        const Case cases[] = {
            {"empty import", kCmdImportJson, L"empty.json", 1, false},
            {"import", kCmdImportJson, L"three.json", 1, false},
            {"export, Cancel", kCmdExportJson, L"out.json", 2, false},
            {"export, Open", kCmdExportJson, L"out.json", 1, true},
            {"clear history, Cancel", kIdClear, nullptr, 2, false},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            const Answers seen = run(c);
            std::printf("%-22s longest wait for an answer %4.0f ms, %4.0f ms after the box closed\n", c.what,
                        seen.longest_ms, seen.at_ms);
            EXPECT_GE(seen.longest_ms, 0.0);
            EXPECT_LT(seen.longest_ms, 300.0);
        }
    }

    void TearDown() override {
        if (main_) {
            close_leftovers(ui_);
            PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kCmdQuit, 0), 0);
            EXPECT_EQ(quillet_.wait(20000), 0);
        }
    }

    PortableCopy copy_;
    test_support::TempFolder files_;
    Process quillet_;
    HWND main_ = nullptr;
    DWORD ui_ = 0;
};

TEST_F(ResultBoxAnswer, OnAnEmptyStore) {
    start(scale_store::Shape{});
    if (HasFatalFailure()) return;
    run_all();
}

TEST_F(ResultBoxAnswer, OnTenThousandPinnedTexts) {
    start(scale_store::Shape{10000, 10 * 1024, true, 0, 0});
    if (HasFatalFailure()) return;
    run_all();
}

}  // namespace
