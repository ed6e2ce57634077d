// The edit box that works on a thread of its own, in a window of this
// thread: it is made on another thread and returned before its long text
// is laid out, yet every read of its text gets the whole text; it keeps a
// font of its own; Esc in it reaches the parent; it takes the keyboard once
// filled unless the user went to another control meanwhile; and it is
// closed with its parent, its thread ending and leaving no GDI object.
#include "ui/threaded_edit.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/handles.h"
#include "tests/theme/gui_support.h"
#include "ui/text_edit_style.h"

namespace {

using gui_test::focus_of;
using gui_test::pump;
using gui_test::text_of;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

constexpr wchar_t kParentClass[] = L"QuilletThreadedEditTestParent";
constexpr int kEditId = 100;

// The keys that reached the parent window.
std::vector<WPARAM> g_parent_keys;

LRESULT CALLBACK parent_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_KEYDOWN) g_parent_keys.push_back(wp);
    return DefWindowProcW(w, msg, wp, lp);
}

double ms_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A paragraph of words without a line break, of the length.
std::wstring paragraph(std::size_t length) {
    std::wstring text;
    while (text.size() < length) text += L"word" + std::to_wstring(text.size() % 89) + L" ";
    text.resize(length);
    return text;
}

// Closes a box of another thread: its own thread destroys it.
void close_box(HWND box) { SendMessageW(box, WM_CLOSE, 0, 0); }

// Waits for the condition while this thread's windows are served.
bool pump_until(const std::function<bool()>& condition, int timeout_ms = 10000) {
    return gui_test::wait_until(
        [&] {
            pump();
            return condition();
        },
        timeout_ms);
}

class ThreadedEdit : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = parent_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kParentClass;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        RegisterClassW(&wc);
        g_parent_keys.clear();
        parent_.reset(CreateWindowExW(0, kParentClass, L"Threaded edit", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                      600, 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(parent_);
        SetForegroundWindow(parent_.get());
        pump();
    }
    void TearDown() override {
        parent_.reset();
        pump();
    }

    HWND make(const std::wstring& text, HFONT font = nullptr, std::size_t limit = 0) {
        ThreadedEditOptions o;
        o.style = ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | multiline_wrap_style(text.size());
        o.rect = RECT{10, 10, 500, 300};
        o.id = kEditId;
        o.font = font;
        o.limit = limit;
        return create_threaded_edit(parent_.get(), text, o);
    }

    raii::Window parent_;
};

TEST_F(ThreadedEdit, ALongTextIsMadeOnAThreadOfItsOwnAndReadWhole) {
    raii::Font font(CreateFontW(-17, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    ASSERT_TRUE(font);
    const std::wstring text = paragraph(2000000);
    // The process's first edit box loads what every later one shares.
    close_box(make(L"warm up"));
    const auto start = std::chrono::steady_clock::now();
    HWND edit = make(text, font.get(), 2500000);
    const double made_ms = ms_since(start);
    ASSERT_TRUE(edit);
    // Laying 2,000,000 characters out takes Wine's edit box about a
    // second; the box comes back long before that, even on a busy machine.
    EXPECT_LT(made_ms, 400.0) << "returned without waiting for the layout";
    std::printf("made after %.0f ms", made_ms);
    // The caller's font may go at once: the box holds a copy.
    LOGFONTW given{};
    GetObjectW(font.get(), sizeof(given), &given);
    font.reset();

    EXPECT_NE(GetWindowThreadProcessId(edit, nullptr), GetCurrentThreadId());
    EXPECT_EQ(GetDlgItem(parent_.get(), kEditId), edit);
    EXPECT_EQ(GetParent(edit), parent_.get());
    // The first read waits for the filling: it is whole.
    EXPECT_TRUE(text_of(edit) == text) << "the whole text at the first read";
    std::printf(", whole after %.0f ms\n", ms_since(start));
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 2500000);
    const LONG_PTR style = GetWindowLongPtrW(edit, GWL_STYLE);
    EXPECT_TRUE((style & (WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL)) ==
                (WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL));
    HFONT own = reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0));
    LOGFONTW kept{};
    ASSERT_EQ(GetObjectW(own, sizeof(kept), &kept), static_cast<int>(sizeof(kept))) << "a live font";
    EXPECT_EQ(kept.lfHeight, given.lfHeight);
    EXPECT_EQ(std::wstring(kept.lfFaceName), std::wstring(given.lfFaceName));

    // A key typed at the end is laid out on the box's thread too.
    PostMessageW(edit, EM_SETSEL, text.size(), text.size());
    PostMessageW(edit, WM_CHAR, L'Q', 1);
    EXPECT_TRUE(pump_until([&] { return text_of(edit) == text + L"Q"; })) << "the key reached the box";
}

TEST_F(ThreadedEdit, EscGoesToTheParentAndOtherKeysStayInTheBox) {
    HWND edit = make(paragraph(8000));
    ASSERT_TRUE(edit);
    gui_test::post_key(edit, VK_ESCAPE);
    PostMessageW(edit, WM_CHAR, L'Z', 1);
    ASSERT_TRUE(pump_until([&] { return GetWindowTextLengthW(edit) == 8001; }));
    ASSERT_TRUE(pump_until([&] { return !g_parent_keys.empty(); }));
    EXPECT_EQ(g_parent_keys, std::vector<WPARAM>{VK_ESCAPE}) << "Esc reached the parent, nothing else";
}

TEST_F(ThreadedEdit, TheKeyboardGoesToTheBoxOnceFilledUnlessTheUserMovedOn) {
    HWND button = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 320, 80, 28,
                                  parent_.get(), nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(button);
    ASSERT_TRUE(pump_until([&] { return GetForegroundWindow() == parent_.get(); }));
    struct Case {
        const char* what;
        bool to_button;  // the user went to the button before the box was filled
    };
    for (const Case& c : {Case{"the window holds the keyboard", false}, Case{"the user went to the button", true}}) {
        SCOPED_TRACE(c.what);
        SetFocus(parent_.get());
        HWND edit = make(paragraph(300000));
        ASSERT_TRUE(edit);
        if (c.to_button) SetFocus(button);
        focus_threaded_edit(edit);
        // A key posted behind the request: once it is typed, the request
        // has been handled.
        PostMessageW(edit, WM_CHAR, L'x', 1);
        ASSERT_TRUE(pump_until([&] { return GetWindowTextLengthW(edit) == 300001; }));
        pump();
        EXPECT_EQ(focus_of(GetCurrentThreadId()), c.to_button ? button : edit);
        close_box(edit);
    }
}

TEST_F(ThreadedEdit, TheThreadEndsWithItsParentAndLeavesNoGdiObject) {
    raii::Font font(CreateFontW(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    DWORD gdi_before = 0;
    // The first box of each theme makes what every later one shares (the
    // theme's brushes and scroll-bar parts); the count starts after them.
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        if (i == 2) gdi_before = gui_test::gdi_object_count();
        raii::Window parent(CreateWindowExW(0, kParentClass, L"Parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 500,
                                            300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(parent);
        ThreadedEditOptions o;
        o.style = ES_MULTILINE | ES_AUTOHSCROLL | WS_HSCROLL;
        o.rect = RECT{0, 0, 400, 200};
        o.id = kEditId;
        o.font = font.get();
        o.dark = (i % 2) != 0;
        HWND edit = create_threaded_edit(parent.get(), paragraph(50000), o);
        ASSERT_TRUE(edit);
        raii::Handle thread(OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(edit, nullptr)));
        ASSERT_TRUE(thread);
        parent.reset();
        EXPECT_TRUE(pump_until([&] { return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0; }))
            << "the box's thread ended";
        EXPECT_FALSE(IsWindow(edit));
    }
    // A leak of one object a box would leave ten.
    EXPECT_TRUE(pump_until([&] { return gui_test::gdi_object_count() <= gdi_before; }, 3000))
        << gui_test::gdi_object_count() << " GDI objects, " << gdi_before << " before";
}

// The box does not rely on the system to destroy a parent's children of
// other threads: the parent's WM_DESTROY itself closes it (sent here to a
// parent that stays, to see that path alone).
TEST_F(ThreadedEdit, TheParentsDestroyMessageClosesTheBox) {
    HWND edit = make(paragraph(20000));
    ASSERT_TRUE(edit);
    raii::Handle thread(OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(edit, nullptr)));
    ASSERT_TRUE(thread);
    SendMessageW(parent_.get(), WM_DESTROY, 0, 0);
    EXPECT_TRUE(pump_until([&] { return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0; }))
        << "the box's thread ended";
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_TRUE(IsWindow(parent_.get()));
}

}  // namespace
