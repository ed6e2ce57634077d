// Texts posted to a window are taken back exactly once; strangers' lParams
// and failed posts are handled.
#include "capture/posted_text.h"

#include <gtest/gtest.h>

#include <thread>

TEST(PostedText, TakenOnceByTheReceiver) {
    HWND wnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(wnd, nullptr);
    std::thread worker([wnd] { EXPECT_TRUE(post_text_message(wnd, WM_APP + 10, 7, L"T\u00eftle \U0001F600")); });
    worker.join();
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, wnd, WM_APP + 10, WM_APP + 10, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
    const auto text = take_posted_text(msg.lParam);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, L"T\u00eftle \U0001F600");
    EXPECT_FALSE(take_posted_text(msg.lParam).has_value());
    DestroyWindow(wnd);
}

TEST(PostedText, ForeignPointersAreIgnored) {
    wchar_t local[] = L"not ours";
    EXPECT_FALSE(take_posted_text(reinterpret_cast<LPARAM>(local)).has_value());
    EXPECT_FALSE(take_posted_text(0).has_value());
    EXPECT_FALSE(take_posted_text(12345).has_value());
}

TEST(PostedText, NoPostToAMissingWindow) {
    HWND wnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(wnd, nullptr);
    DestroyWindow(wnd);
    EXPECT_FALSE(post_text_message(wnd, WM_APP + 10, 1, L"lost"));
    EXPECT_FALSE(post_text_message(nullptr, WM_APP + 10, 1, L"lost"));
}
