// The view window's text view in a window of its own: the whole text in
// and out, wrapping again at a new width, scrolling by keys, the wheel and
// the scroll bar, a selection made by a mouse drag and with Ctrl+A, and
// copying it with Ctrl+C; the caret and the selection by keys, words and
// the context menu, emoji and ideographs laid out as drawn (real key and
// mouse input).
#include "ui/dialogs/text_view.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/clipboard_text.h"
#include "tests/theme/gui_support.h"
#include "theme/colors.h"
#include "ui/popup_menu.h"

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

// The selection as EM_GETSEL gives it through its pointers.
std::pair<DWORD, DWORD> selection_of(HWND view) {
    DWORD from = 0, to = 0;
    SendMessageW(view, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    return {from, to};
}

// The caret of this thread: its window and its client position.
struct Caret {
    HWND window = nullptr;
    POINT at{};
};
Caret caret_of_thread() {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetCurrentThreadId(), &info);
    return Caret{info.hwndCaret, POINT{info.rcCaret.left, info.rcCaret.top}};
}

void mouse_buttons(POINT screen, std::initializer_list<DWORD> flags) {
    gui_test::move_pointer(screen);
    for (DWORD f : flags) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = f;
        SendInput(1, &in, sizeof(INPUT));
        Sleep(30);
    }
}

// Runs the work on another thread while this one pumps its messages.
void pumping_while(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        work();
        done = true;
    });
    while (!done) {
        gui_test::pump();
        Sleep(5);
    }
    t.join();
    gui_test::pump();
}

// The rows of the view's context menu: Copy, a separator, Select all.
std::vector<PopupMenuItem> context_menu_rows() {
    std::vector<PopupMenuItem> rows;
    PopupMenu::add_item(rows, 1, L"Copy");
    PopupMenu::add_separator(rows);
    PopupMenu::add_item(rows, 2, L"Select all");
    return rows;
}

void click_menu_row(HWND menu, std::size_t index) {
    RECT rc{};
    GetWindowRect(menu, &rc);
    const int y = rc.top + menu_row_top(context_menu_rows(), index) + kMenuItemHeight / 2;
    mouse_buttons(POINT{rc.left + 40, y}, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
}

void press(std::initializer_list<WORD> keys) { gui_test::send_key_chord(keys); }

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
    // The drawn width of the text in the view's font (the call ExtTextOutW draws with).
    int drawn_width(const std::wstring& text) {
        HDC dc = GetDC(view);
        HGDIOBJ old = SelectObject(dc, font);
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(view, dc);
        return size.cx;
    }
    // Mouse input from another thread while this one pumps.
    void mouse(POINT client, std::initializer_list<DWORD> flags) {
        ClientToScreen(view, &client);
        SetForegroundWindow(host);
        pumping_while([client, flags] { mouse_buttons(client, flags); });
        for (int i = 0; i < 20; ++i) {
            gui_test::pump();
            Sleep(10);
        }
    }
    // A right click on the view opens its context menu; choose acts in it
    // (from another thread) and the menu is waited for to close.
    bool use_context_menu(const std::function<void(HWND menu)>& choose) {
        POINT at{60, 40};
        ClientToScreen(view, &at);
        SetForegroundWindow(host);
        SetFocus(view);
        const DWORD ui = GetCurrentThreadId();
        bool opened = false;
        pumping_while([&] {
            mouse_buttons(at, {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP});
            const std::vector<HWND> menus = gui_test::wait_for_windows(ui, kPopupMenuClass, 1, 3000);
            opened = !menus.empty();
            if (!opened) return;
            Sleep(150);
            choose(menus[0]);
            if (!gui_test::wait_until([&] { return gui_test::thread_windows(ui, kPopupMenuClass).empty(); }, 1500)) {
                press({VK_ESCAPE});
                gui_test::wait_until([&] { return gui_test::thread_windows(ui, kPopupMenuClass).empty(); }, 3000);
            }
        });
        return opened;
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
    // The keys move the caret; the text scrolls to keep it in view.
    keys({VK_DOWN});
    EXPECT_EQ(text_view_top_line(view), 0) << "the caret is still in view";
    keys({VK_NEXT});
    const int after_page = text_view_top_line(view);
    EXPECT_GT(after_page, 5);
    keys({VK_CONTROL, VK_END});
    const int last = text_view_top_line(view);
    EXPECT_GT(last, 150);
    keys({VK_DOWN});
    EXPECT_EQ(text_view_top_line(view), last) << "stops at the end";
    keys({VK_CONTROL, VK_HOME});
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

TEST_F(TextViewWindow, ShiftWithTheKeysSelectsLinesAndCtrlCCopiesThem) {
    const std::wstring text = numbered_lines(60);
    view = create_text_view(host, text.c_str(), 10, 10, 400, 300, font);
    ASSERT_NE(view, nullptr);
    // A mouse selection first, then the end of the text by the keyboard.
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 5));
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(30, 5));
    keys({VK_CONTROL, VK_END});
    const int bottom = text_view_top_line(view);
    EXPECT_GT(bottom, 30);
    EXPECT_EQ(selection_of(view), std::make_pair(static_cast<DWORD>(text.size()), static_cast<DWORD>(text.size())));
    keys({VK_SHIFT, VK_UP});
    EXPECT_EQ(text_view_top_line(view), bottom) << "the view stays with the caret";
    EXPECT_EQ(selection_of(view).second, static_cast<DWORD>(text.size()));

    keys({VK_CONTROL, VK_HOME});
    EXPECT_EQ(text_view_top_line(view), 0);
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{0}, DWORD{0}));
    const Caret home = caret_of_thread();
    EXPECT_EQ(home.window, view) << "a caret while the view has the focus";
    keys({VK_SHIFT, VK_DOWN});
    keys({VK_SHIFT, VK_DOWN});
    keys({VK_SHIFT, VK_END});
    const std::wstring three = L"Line 0 of the text\r\nLine 1 of the text\r\nLine 2 of the text";
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{0}, static_cast<DWORD>(three.size())));
    winutil::set_clipboard_text(L"before");
    keys({VK_CONTROL, 'C'});
    EXPECT_EQ(winutil::get_clipboard_text(), three);
    // The caret at the end of the third line, where the line is drawn to.
    const Caret end = caret_of_thread();
    EXPECT_EQ(end.at.x - home.at.x, drawn_width(L"Line 2 of the text"));
    EXPECT_GT(end.at.y, home.at.y);

    // Shift+Left gives back a character, Shift+Home the line; Page Down selects on a page.
    keys({VK_SHIFT, VK_LEFT});
    EXPECT_EQ(selection_of(view).second, static_cast<DWORD>(three.size() - 1));
    keys({VK_SHIFT, VK_HOME});
    EXPECT_EQ(selection_of(view).second, static_cast<DWORD>(three.size() - 18));
    keys({VK_SHIFT, VK_NEXT});
    EXPECT_GT(selection_of(view).second, static_cast<DWORD>(three.size() + 100));
    EXPECT_GT(text_view_top_line(view), 5);
    keys({VK_SHIFT, VK_PRIOR});
    EXPECT_EQ(text_view_top_line(view), 0);
    keys({VK_CONTROL, VK_SHIFT, VK_END});
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{0}, static_cast<DWORD>(text.size())));
    keys({VK_CONTROL, VK_SHIFT, VK_HOME});
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{0}, DWORD{0}));
    keys({VK_RIGHT});
    keys({VK_SHIFT, VK_RIGHT});
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{1}, DWORD{2}));

    // Without the focus there is no caret.
    SetFocus(host);
    gui_test::pump();
    EXPECT_EQ(caret_of_thread().window, nullptr);
}

TEST_F(TextViewWindow, SelectsWordsByDoubleClickAndCtrlShiftArrows) {
    const std::wstring text = L"alpha beta gamma\r\nsecond line";
    view = create_text_view(host, text.c_str(), 10, 10, 400, 300, font);
    ASSERT_NE(view, nullptr);
    keys({VK_CONTROL, VK_SHIFT, VK_RIGHT});
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{0}, DWORD{6})) << "the word and its blank";
    keys({VK_CONTROL, VK_SHIFT, VK_RIGHT});
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{0}, DWORD{11}));
    keys({VK_CONTROL, VK_SHIFT, VK_LEFT});
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{0}, DWORD{6}));
    keys({VK_CONTROL, VK_RIGHT});
    keys({VK_CONTROL, VK_RIGHT});
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{16}, DWORD{16})) << "to the line's end";
    keys({VK_CONTROL, VK_RIGHT});
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{18}, DWORD{18})) << "over the line break";

    // A real double click in the middle of "beta".
    const int x = 4 + drawn_width(L"alpha be");
    mouse(POINT{x, 8}, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{6}, DWORD{10}));
    winutil::set_clipboard_text(L"before");
    keys({VK_CONTROL, 'C'});
    EXPECT_EQ(winutil::get_clipboard_text(), L"beta");
}

TEST_F(TextViewWindow, ContextMenuCopiesAndSelectsAll) {
    const std::wstring text = L"alpha beta gamma\r\nsecond line";
    view = create_text_view(host, text.c_str(), 10, 10, 400, 300, font);
    ASSERT_NE(view, nullptr);
    winutil::set_clipboard_text(L"before");
    // Nothing selected: a click on Copy does nothing; Select all selects everything.
    bool copy_stayed_open = false;
    ASSERT_TRUE(use_context_menu([&](HWND menu) {
        click_menu_row(menu, 0);
        Sleep(300);
        copy_stayed_open = IsWindowVisible(menu) != FALSE;
    }));
    EXPECT_TRUE(copy_stayed_open) << "Copy is disabled without a selection";
    EXPECT_EQ(winutil::get_clipboard_text(), L"before");
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{0}, DWORD{0}));
    ASSERT_TRUE(use_context_menu([](HWND menu) { click_menu_row(menu, 2); }));
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{0}, static_cast<DWORD>(text.size())));
    EXPECT_EQ(winutil::get_clipboard_text(), L"before");
    // With a selection, Copy copies it.
    SendMessageW(view, EM_SETSEL, 6, 10);
    ASSERT_TRUE(use_context_menu([](HWND menu) { click_menu_row(menu, 0); }));
    EXPECT_EQ(winutil::get_clipboard_text(), L"beta");
    EXPECT_EQ(selection_of(view), std::make_pair(DWORD{6}, DWORD{10}));
    // The menu key opens it too, and Esc closes it without a choice.
    winutil::set_clipboard_text(L"before");
    const DWORD ui = GetCurrentThreadId();
    bool seen = false;
    SetForegroundWindow(host);
    SetFocus(view);
    pumping_while([&] {
        press({VK_APPS});
        seen = !gui_test::wait_for_windows(ui, kPopupMenuClass, 1, 3000).empty();
        Sleep(100);
        press({VK_ESCAPE});
        gui_test::wait_until([&] { return gui_test::thread_windows(ui, kPopupMenuClass).empty(); }, 3000);
    });
    EXPECT_TRUE(seen);
    EXPECT_EQ(winutil::get_clipboard_text(), L"before");
    EXPECT_TRUE(gui_test::thread_windows(ui, kPopupMenuClass).empty());
}

TEST_F(TextViewWindow, ShowsItsFocusWithAFrameAndTheCaret) {
    view = create_text_view(host, L"some text", 10, 10, 400, 300, font);
    ASSERT_NE(view, nullptr);
    const COLORREF accent = theme_colors(false).accent;
    auto frame_pixel = [&] {
        const gui_test::Pixels p = gui_test::grab_painted_window(view);
        return p.at(0, p.height / 2);
    };
    SetForegroundWindow(host);
    SetFocus(view);
    gui_test::pump();
    EXPECT_EQ(frame_pixel(), accent) << "focused";
    EXPECT_EQ(caret_of_thread().window, view);
    SetFocus(host);
    gui_test::pump();
    EXPECT_NE(frame_pixel(), accent) << "without the focus";
    EXPECT_EQ(caret_of_thread().window, nullptr);
}

TEST_F(TextViewWindow, GetSelAnswersAsAnEditBoxPast65535) {
    const std::wstring text(70000, L'x');
    view = create_text_view(host, text.c_str(), 10, 10, 400, 300, font);
    ASSERT_NE(view, nullptr);
    struct Case {
        int from, to;
        LRESULT packed;
    } cases[] = {{10, 65535, MAKELRESULT(10, 65535)}, {10, 65536, -1}, {65536, 69999, -1}, {0, -1, -1}, {3, 3, MAKELRESULT(3, 3)}};
    for (const Case& c : cases) {
        SendMessageW(view, EM_SETSEL, static_cast<WPARAM>(c.from), static_cast<LPARAM>(c.to));
        DWORD from = 0, to = 0;
        const LRESULT packed =
            SendMessageW(view, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        EXPECT_EQ(packed, c.packed) << c.from << ".." << c.to;
        EXPECT_EQ(from, static_cast<DWORD>(c.from));
        EXPECT_EQ(to, c.to < 0 ? 70000u : static_cast<DWORD>(c.to));
        EXPECT_EQ(SendMessageW(view, EM_GETSEL, 0, 0), c.packed) << "without pointers";
    }
}

// Every display line of an emoji-only and of a mixed text, taken with real
// keys (Home, Shift+End), is no wider than the view when measured with the
// drawing call, and the caret at its end stands where the drawing ends.
TEST_F(TextViewWindow, EmojiAndMixedTextsLayOutNoLineWiderThanTheView) {
    std::wstring emoji, mixed;
    for (int i = 0; i < 150; ++i) emoji += static_cast<wchar_t>(0xD83D), emoji += static_cast<wchar_t>(0xDE00 + i % 64);
    for (int i = 0; i < 6; ++i)
        mixed += L"Mixed \U0001F600\U0001F389 text \u4E2D\u6587\u65E5\u672C\u8A9E Latin \u2713 \U0001F44D caf\u00E9 ";
    struct Case {
        const char* name;
        const std::wstring& text;
    } cases[] = {{"emoji only", emoji}, {"mixed", mixed}};
    for (const Case& c : cases) {
        if (view) DestroyWindow(view);
        view = create_text_view(host, c.text.c_str(), 10, 10, 460, 300, font);
        ASSERT_NE(view, nullptr);
        RECT client{};
        GetClientRect(view, &client);
        const int lines = text_view_line_count(view);
        EXPECT_GT(lines, 1) << c.name;
        // As many lines at least as the drawn width of the text needs.
        EXPECT_GE(lines, drawn_width(c.text) / client.right) << c.name;
        keys({VK_CONTROL, VK_HOME});
        int widest = 0;
        std::wstring joined;
        for (int l = 0; l < lines; ++l) {
            keys({VK_HOME});
            const Caret start = caret_of_thread();
            keys({VK_SHIFT, VK_END});
            const Caret end = caret_of_thread();
            const auto [from, to] = selection_of(view);
            const std::wstring line = c.text.substr(from, to - from);
            joined += line;
            const int width = drawn_width(line);
            widest = std::max(widest, width);
            EXPECT_LT(start.at.x + width, client.right) << c.name << " line " << l;
            EXPECT_EQ(end.at.x - start.at.x, width) << c.name << " line " << l;
            keys({VK_DOWN});
        }
        EXPECT_EQ(joined, c.text) << c.name << ": the lines hold the whole text";
        std::printf("%s: %d lines, widest %d px in a view %ld px wide\n", c.name, lines, widest, client.right);
    }
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
