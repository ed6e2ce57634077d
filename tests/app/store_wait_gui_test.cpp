// The real Quillet.exe, from a portable copy, while another program (this
// test) holds its store with BEGIN EXCLUSIVE: copies made meanwhile are
// all stored in order once it lets go, quit and sign-out write what waits,
// and what quit cannot write is told with its number.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/app_ids.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/app/portable_copy.h"
#include "tests/app/program_run.h"

namespace {

using namespace app_test;
using test_support::PortableCopy;

// Every stored entry's text, oldest first.
std::vector<std::wstring> stored_texts(const std::wstring& path) {
    Database db(path);
    std::vector<HistoryEntry> all = db.list_entries(L"every", false, false);
    std::vector<std::wstring> texts;
    for (auto it = all.rbegin(); it != all.rend(); ++it) texts.push_back(it->text);
    return texts;
}

std::vector<std::wstring> numbered(const wchar_t* what, int count) {
    std::vector<std::wstring> texts;
    for (int i = 1; i <= count; ++i) texts.push_back(std::wstring(what) + L" " + std::to_wstring(i));
    return texts;
}

double seconds_since(ULONGLONG start) { return static_cast<double>(GetTickCount64() - start) / 1000.0; }

// The portable copy, running with its window settled.
class StoreWait : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(copy_.ok());
        ASSERT_TRUE(quillet_.start(copy_.exe(), L"", copy_.path()));
        main_ = main_window_of(quillet_.id(), 30000);
        ASSERT_TRUE(main_) << "no QuilletMain window";
        pump(1500);
    }
    // Copies the texts gap_ms apart (on a schedule, the time to copy
    // included); after[i] runs right after the i-th copy (from 0) when given.
    void copy_texts(const std::vector<std::wstring>& texts, DWORD gap_ms,
                    const std::function<void(size_t)>& after = nullptr) {
        const ULONGLONG start = GetTickCount64();
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_TRUE(source_.put_text(texts[i]));
            if (after) after(i);
            while (GetTickCount64() - start < (i + 1) * gap_ms) pump(5);
        }
    }
    // Holds the store, then copies the texts 0.6 s apart, and gives the
    // program a moment to meet the held store with the last of them.
    std::unique_ptr<StoreLock> hold_and_copy(const std::vector<std::wstring>& texts) {
        auto lock = std::make_unique<StoreLock>(copy_.database());
        EXPECT_TRUE(lock->locked());
        copy_texts(texts, 600);
        // The program reads the clipboard twice a second; on a loaded
        // machine its read of the last copy can take longer than that.
        pump(1500);
        return lock;
    }
    // Quits with the message (the quit command or closing the window, which
    // quits by default) while the copies wait; the store is let go about
    // 4 s later: all of them are stored, in order, and the program ends.
    void quit_and_let_go(UINT message, WPARAM wparam, const wchar_t* what) {
        const std::vector<std::wstring> texts = numbered(what, 3);
        std::unique_ptr<StoreLock> lock = hold_and_copy(texts);
        PostMessageW(main_, message, wparam, 0);
        const ULONGLONG quit_at = GetTickCount64();
        pump(4000);
        EXPECT_TRUE(quillet_.running()) << "the program waits for the store";
        lock->release();
        const int code = quillet_.wait(10000);
        std::printf("ended %.1f s after the quit\n", seconds_since(quit_at));
        EXPECT_EQ(code, 0);
        EXPECT_EQ(stored_texts(copy_.database()), texts);
    }
    // The program's box about the copies not saved after the quit, waited
    // for; none when it did not come. Its title and count are checked.
    HWND box_telling(int count) {
        HWND box = wait_for_box(15000);
        if (!box) return nullptr;
        wchar_t title[128] = {};
        GetWindowTextW(box, title, 128);
        EXPECT_STREQ(title, L"Copies not saved");
        const std::wstring told = L"not yet saved: " + std::to_wstring(count) + L".";
        bool number_told = false;
        for (const std::wstring& t : child_texts(box, L"Static"))
            number_told = number_told || t.find(told) != std::wstring::npos;
        EXPECT_TRUE(number_told) << "the box names the number of copies: "
                                 << to_utf8(child_texts(box, L"Static").empty() ? L"" : child_texts(box, L"Static").back());
        const std::vector<std::wstring> buttons = child_texts(box, L"Button");
        EXPECT_NE(std::find(buttons.begin(), buttons.end(), L"Wait longer"), buttons.end());
        return box;
    }
    // The program's confirmation box, waited for up to ms until it shows:
    // its controls are made before that, so a box found earlier may not
    // have its text yet.
    HWND wait_for_box(DWORD ms) {
        HWND box = nullptr;
        pump_until(
            [&] {
                box = find_window_of(quillet_.id(), L"QuilletConfirmBox");
                return box != nullptr && IsWindowVisible(box);
            },
            ms);
        return box && IsWindowVisible(box) ? box : nullptr;
    }

    PortableCopy copy_;
    Process quillet_;
    HWND main_ = nullptr;
    ClipboardSource source_;
};

// 140 copies 0.2 s apart; the store is held for the first 20 s and let go
// while the copies go on: every copy is stored, in order. (While the 100
// waiting copies are written in one go, with a notice each, the interface
// thread is busy for most of a second: a read thread must be watching the
// clipboard then, or the copies replaced meanwhile are lost.)
TEST_F(StoreWait, CopiesMadeWhileTheStoreIsHeldAndAfterAreAllStoredInOrder) {
    constexpr int kCopies = 140;
    constexpr size_t kReleaseAfter = 100;
    const std::vector<std::wstring> texts = numbered(L"dense copy", kCopies);
    {
        StoreLock lock(copy_.database());
        ASSERT_TRUE(lock.locked());
        copy_texts(texts, 200, [&](size_t i) {
            if (i + 1 == kReleaseAfter) lock.release();
        });
    }
    pump(3000);
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kCmdQuit, 0), 0);
    ASSERT_EQ(quillet_.wait(20000), 0);
    const std::vector<std::wstring> stored = stored_texts(copy_.database());
    std::vector<std::wstring> missing;
    for (const std::wstring& t : texts)
        if (std::find(stored.begin(), stored.end(), t) == stored.end()) missing.push_back(t);
    for (const std::wstring& t : missing) std::printf("missing: %ls\n", t.c_str());
    EXPECT_EQ(stored, texts);
}

// Three copies wait for the held store when the user quits; it is let go
// about 4 s later.
TEST_F(StoreWait, QuitWritesTheCopiesThatWaitWhenTheStoreIsFreeWithinTheWait) {
    quit_and_let_go(WM_COMMAND, MAKEWPARAM(kCmdQuit, 0), L"waiting at quit");
}

TEST_F(StoreWait, ClosingTheWindowQuitsAndWritesTheCopiesThatWait) {
    quit_and_let_go(WM_CLOSE, 0, L"waiting at close");
}

// The store stays held past the wait: a box tells how many copies are not
// saved. "Wait longer" tries again (the store let go then: all stored);
// Cancel ends the program at once without them.
TEST_F(StoreWait, ALockHeldPastTheWaitIsToldWithTheNumberAndTheUserChooses) {
    const std::vector<std::wstring> texts = numbered(L"held past the wait", 3);
    std::unique_ptr<StoreLock> lock = hold_and_copy(texts);
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kCmdQuit, 0), 0);
    const ULONGLONG quit_at = GetTickCount64();
    HWND box = box_telling(3);
    ASSERT_TRUE(box) << "no box about the copies not saved";
    const double told_after = seconds_since(quit_at);
    std::printf("told %.1f s after the quit\n", told_after);
    EXPECT_GE(told_after, 4.5) << "the store is given a few seconds first";
    // Wait longer, and the store is let go meanwhile.
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), 0);
    pump(1000);
    lock->release();
    EXPECT_EQ(quillet_.wait(10000), 0);
    EXPECT_EQ(stored_texts(copy_.database()), texts);
}

TEST_F(StoreWait, CancelInTheBoxEndsTheProgramAtOnce) {
    std::unique_ptr<StoreLock> lock = hold_and_copy(numbered(L"given up", 2));
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kCmdQuit, 0), 0);
    HWND box = box_telling(2);
    ASSERT_TRUE(box);
    const ULONGLONG cancel_at = GetTickCount64();
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), 0);
    EXPECT_EQ(quillet_.wait(5000), 0) << "nothing hangs";
    std::printf("ended %.1f s after Cancel\n", seconds_since(cancel_at));
    lock->release();
    EXPECT_TRUE(stored_texts(copy_.database()).empty());
}

// Sign-out: WM_QUERYENDSESSION, then WM_ENDSESSION, as Windows sends them.
// The answer to WM_ENDSESSION comes within Windows' allowance; the store
// let go 1.5 s into it takes every copy that waited, and a store held
// throughout does not hold the answer past it.
TEST_F(StoreWait, SignOutWritesWhatWaitsWithinTheTimeWindowsGives) {
    const std::vector<std::wstring> texts = numbered(L"waiting at sign-out", 3);
    std::unique_ptr<StoreLock> lock = hold_and_copy(texts);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(main_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer));
    EXPECT_EQ(answer, TRUE) << "the session may end";
    double answered_after = -1;
    std::thread end_session([&] {
        const ULONGLONG start = GetTickCount64();
        DWORD_PTR ignored = 0;
        if (SendMessageTimeoutW(main_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &ignored))
            answered_after = seconds_since(start);
    });
    Sleep(1500);
    lock.reset();
    end_session.join();
    std::printf("WM_ENDSESSION answered after %.1f s\n", answered_after);
    EXPECT_GE(answered_after, 0.0) << "WM_ENDSESSION was answered";
    EXPECT_LT(answered_after, 5.0);
    // Windows ends the process once the session ends.
    quillet_.kill();
    EXPECT_EQ(stored_texts(copy_.database()), texts);
}

TEST_F(StoreWait, SignOutWithTheStoreHeldThroughoutAnswersInTime) {
    std::unique_ptr<StoreLock> lock = hold_and_copy(numbered(L"never written", 2));
    const ULONGLONG start = GetTickCount64();
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(SendMessageTimeoutW(main_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &ignored));
    const double answered_after = seconds_since(start);
    std::printf("WM_ENDSESSION answered after %.1f s with the store held\n", answered_after);
    EXPECT_GE(answered_after, 3.0) << "the time was used for tries";
    EXPECT_LT(answered_after, 5.0);
    EXPECT_FALSE(find_window_of(quillet_.id(), L"QuilletConfirmBox")) << "no box at sign-out";
    quillet_.kill();
}

// Windows' 5 s for the end of the session count from its first message:
// WM_ENDSESSION coming 2 s after WM_QUERYENDSESSION, with the store held
// throughout, is answered once the time left of the 3.5 s for the waiting
// copies has passed (about 1.5 s), not 3.5 s after it. The second message
// is sent from outside while the program is idle, as Windows sends it once
// the other programs have answered the first.
TEST_F(StoreWait, SignOutTimeCountsFromWindowsFirstMessage) {
    std::unique_ptr<StoreLock> lock = hold_and_copy(numbered(L"held through the sign-out", 2));
    DWORD_PTR answer = 0;
    const ULONGLONG first = GetTickCount64();
    ASSERT_TRUE(SendMessageTimeoutW(main_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer));
    EXPECT_EQ(answer, TRUE);
    // The other programs answer in the meantime.
    pump(2000 - static_cast<DWORD>(std::min<ULONGLONG>(GetTickCount64() - first, 2000)));
    const ULONGLONG second = GetTickCount64();
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(SendMessageTimeoutW(main_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &ignored));
    const double answered_after = seconds_since(second);
    const double since_first = seconds_since(first);
    std::printf("WM_ENDSESSION answered %.1f s after it came, %.1f s after WM_QUERYENDSESSION\n", answered_after,
                since_first);
    EXPECT_GE(answered_after, 1.0) << "the time left was used for tries";
    // 3.5 s from the first message, with room for a loaded machine: well
    // short of the 3.5 s counted from the second.
    EXPECT_LT(since_first, 4.6);
    EXPECT_LT(answered_after, 2.6);
    EXPECT_FALSE(find_window_of(quillet_.id(), L"QuilletConfirmBox")) << "no box at sign-out";
    quillet_.kill();
}

}  // namespace
