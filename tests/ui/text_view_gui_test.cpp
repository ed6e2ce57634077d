// The view window's text view in a window of its own: the whole text in
// and out, wrapping again at a new width, scrolling by keys, the wheel and
// the scroll bar, a selection made by a mouse drag and with Ctrl+A, and
// copying it with Ctrl+C (real key input).
#include "ui/dialogs/text_view.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "core/clipboard_text.h"
#include "tests/theme/gui_support.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

LRESULT CALLBACK host_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CTLCOLOREDIT) {
        SetTextColor(reinterpret_cast<HDC>(wp), 0x141414);
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    return DefWindowProcW(w, msg, wp, lp);
}

std::wstring numbered_lines(int n) {
    std::wstring text;
    for (int i = 0; i < n; ++i) text += L"Line " + std::to_wstring(i) + L" of the text\r\n";
    return text;
}

void press(std::initializer_list<WORD> keys) {
    std::vector<INPUT> in;
    for (WORD k : keys) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = k;
        in.push_back(i);
    }
    for (auto it = keys.end(); it != keys.begin();) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = *--it;
        i.ki.dwFlags = KEYEVENTF_KEYUP;
        in.push_back(i);
    }
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

class TextViewWindow : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = host_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuilletTextViewHost";
        RegisterClassW(&wc);
        host = CreateWindowExW(0, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 500, 400,
                               nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(host, nullptr);
        font = CreateFontW(-14, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    }
    void TearDown() override {
        if (host) DestroyWindow(host);
        if (font) DeleteObject(font);
    }
    // Pumps while the keys go in from another thread.
    void keys(std::initializer_list<WORD> k) {
        SetForegroundWindow(host);
        SetFocus(view);
        std::thread t([k] { press(k); });
        t.join();
        for (int i = 0; i < 20; ++i) {
            gui_test::pump();
            Sleep(10);
        }
    }
    HWND host = nullptr;
    HWND view = nullptr;
    HFONT font = nullptr;
};

TEST_F(TextViewWindow, HoldsTheWholeTextAndWrapsItAtItsWidth) {
    const std::wstring text = std::wstring(3000, L'w') + L" end";
    view = create_text_view(host, text.c_str(), 10, 10, 400, 300, font);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(GetWindowTextLengthW(view), static_cast<int>(text.size()));
    EXPECT_EQ(gui_test::text_of(view), text);
    wchar_t small[6] = {};
    EXPECT_EQ(GetWindowTextW(view, small, 6), 5) << "a short buffer takes what fits";
    EXPECT_EQ(std::wstring(small), L"wwwww");
    const int wide = text_view_line_count(view);
    EXPECT_GT(wide, 3);
    MoveWindow(view, 10, 10, 200, 300, TRUE);
    EXPECT_GT(text_view_line_count(view), wide) << "narrower: more lines";
    SetWindowTextW(view, L"one\r\ntwo");
    EXPECT_EQ(text_view_line_count(view), 2);
    EXPECT_EQ(gui_test::text_of(view), L"one\r\ntwo");
    EXPECT_EQ(GetWindowLongW(view, GWL_STYLE) & (ES_READONLY | WS_VSCROLL), ES_READONLY | WS_VSCROLL);
}

TEST_F(TextViewWindow, ScrollsByKeysWheelAndScrollBar) {
    view = create_text_view(host, numbered_lines(200).c_str(), 10, 10, 400, 300, font);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(text_view_line_count(view), 201);
    keys({VK_DOWN});
    EXPECT_EQ(text_view_top_line(view), 1);
    keys({VK_NEXT});
    const int after_page = text_view_top_line(view);
    EXPECT_GT(after_page, 5);
    keys({VK_END});
    const int last = text_view_top_line(view);
    EXPECT_GT(last, 150);
    keys({VK_DOWN});
    EXPECT_EQ(text_view_top_line(view), last) << "stops at the end";
    keys({VK_HOME});
    EXPECT_EQ(text_view_top_line(view), 0);
    SendMessageW(view, WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<WORD>(static_cast<SHORT>(-WHEEL_DELTA))) << 16,
                 0);
    UINT per_notch = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &per_notch, 0);
    EXPECT_EQ(text_view_top_line(view), static_cast<int>(per_notch));
    SendMessageW(view, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(text_view_top_line(view), last);
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    GetScrollInfo(view, SB_VERT, &si);
    EXPECT_EQ(si.nPos, last);
    EXPECT_EQ(si.nMax, 200);
}

TEST_F(TextViewWindow, SelectsByDragAndCtrlAAndCopies) {
    const std::wstring text = L"alpha beta gamma\r\nsecond line";
    view = create_text_view(host, text.c_str(), 10, 10, 400, 300, font);
    ASSERT_NE(view, nullptr);
    // A drag from the start of the first line to the middle of the second.
    PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 5));
    PostMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 5));
    PostMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(2, 24));
    PostMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(2, 24));
    gui_test::pump();
    DWORD from = 99, to = 99;
    SendMessageW(view, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 18u) << "to the start of the second line";
    EXPECT_EQ(GetCapture(), nullptr);

    keys({VK_CONTROL, 'A'});
    SendMessageW(view, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, static_cast<DWORD>(text.size()));
    winutil::set_clipboard_text(L"before");
    keys({VK_CONTROL, 'C'});
    EXPECT_EQ(winutil::get_clipboard_text(), text);

    SendMessageW(view, EM_SETSEL, 6, 10);
    SendMessageW(view, WM_COPY, 0, 0);
    EXPECT_EQ(winutil::get_clipboard_text(), L"beta");
}

}  // namespace
