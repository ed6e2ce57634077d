// confirm_box and input_box driven with real input while their loops run:
// button clicks and keys posted from a helper thread or a timer, text
// typed into the edit. Checked: OK, Cancel, closing, Space on the focused
// button, Enter and Esc doing nothing, typed text returned or left alone,
// the capacity, sizes and placement, the owner disabled for the loop,
// WM_QUIT posted again, timers still running, GDI objects after a hundred
// openings, and pictures of both boxes in both themes.
#include "ui/message_boxes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "theme/colors.h"
#include "theme/controls.h"
#include "theme/geometry.h"
#include "tests/app/answer_watch.h"
#include "tests/theme/gui_support.h"
#include "ui/modal_loop.h"
#include "ui/text_edit_style.h"

namespace {

using gui_test::pump;
using gui_test::click;
using gui_test::text_of;
using gui_test::focus_of;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

constexpr const wchar_t* kConfirm = L"QuilletConfirmBox";
constexpr const wchar_t* kInput = L"QuilletInputBox";

void press_space(HWND w) {
    PostMessageW(w, WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageW(w, WM_KEYUP, VK_SPACE, 0xC0390001);
}

void type(HWND edit, const std::wstring& text) {
    for (wchar_t c : text) {
        if (c == L'\n') {
            // The loop's TranslateMessage makes the WM_CHAR of the key; it
            // joins the queue behind what is there, so wait for it.
            PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageW(edit, WM_KEYUP, VK_RETURN, 0xC01C0001);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } else {
            PostMessageW(edit, WM_CHAR, c, 1);
        }
    }
}

POINT client_origin(HWND w) {
    POINT p{0, 0};
    ClientToScreen(w, &p);
    return p;
}

class Boxes : public testing::Test {
protected:
    static void SetUpTestSuite() { set_language(L"en"); }

    void SetUp() override {
        owner_.reset(CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 200, 150, 500, 400, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(owner_);
        ShowWindow(owner_.get(), SW_SHOW);
        SetForegroundWindow(owner_.get());
        pump();
        ui_thread_ = GetCurrentThreadId();
        set_box_context({});
    }
    void TearDown() override {
        pump();
        EXPECT_TRUE(gui_test::thread_windows(ui_thread_, kConfirm).empty());
        EXPECT_TRUE(gui_test::thread_windows(ui_thread_, kInput).empty());
        EXPECT_TRUE(IsWindowEnabled(owner_.get())) << "the owner is enabled again";
        set_box_context({});
        owner_.reset();
        pump();
    }

    HWND wait_box(const wchar_t* cls) {
        std::vector<HWND> found = gui_test::wait_for_windows(ui_thread_, cls, 1);
        return found.empty() ? nullptr : found.front();
    }

    // Runs the box on this thread while the driver works from a helper
    // thread; a box the driver leaves open is closed.
    template <class Run>
    auto with_driver(const wchar_t* cls, std::function<void(HWND box)> driver, Run run) {
        std::atomic<bool> done{false};
        std::thread helper([&] {
            HWND box = wait_box(cls);
            if (box) driver(box);
            while (!done) {
                for (HWND open : gui_test::thread_windows(ui_thread_, cls)) PostMessageW(open, WM_CLOSE, 0, 0);
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
        auto result = run();
        done = true;
        helper.join();
        return result;
    }

    bool confirm(std::function<void(HWND)> driver, bool with_cancel = true,
                 const std::wstring& text = L"Delete the entry?") {
        return with_driver(kConfirm, std::move(driver),
                           [&] { return confirm_box(owner_.get(), L"Confirm", text, L"Delete", with_cancel); });
    }

    bool input(std::function<void(HWND)> driver, wchar_t* buffer, int capacity, bool multi = false) {
        return with_driver(kInput, std::move(driver),
                           [&] { return input_box(owner_.get(), L"Name", L"Enter a name:", buffer, capacity, multi); });
    }

    // The multi-line box over a text of any length; the text is left as it was.
    bool input_with_text(std::function<void(HWND)> driver, std::wstring text) {
        return with_driver(kInput, std::move(driver),
                           [&] { return input_box(owner_.get(), L"Edit", L"Text:", text, true); });
    }

    raii::Window owner_;
    DWORD ui_thread_ = 0;
};

// --- the confirmation box ----------------------------------------------------------------

TEST_F(Boxes, ConfirmOkCancelAndClose) {
    EXPECT_TRUE(confirm([](HWND box) { click(GetDlgItem(box, 1)); }));
    EXPECT_FALSE(confirm([](HWND box) { click(GetDlgItem(box, 2)); }));
    EXPECT_FALSE(confirm([](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); }));
    EXPECT_FALSE(confirm([&](HWND) { PostMessageW(focus_of(ui_thread_), WM_SYSKEYDOWN, VK_F4, 0x20000001); }))
        << "Alt+F4 counts as Cancel";
    std::atomic<bool> has_cancel{false};
    EXPECT_TRUE(with_driver(
        kConfirm,
        [&](HWND box) {
            has_cancel = GetDlgItem(box, 2) != nullptr;
            click(GetDlgItem(box, 1));
        },
        [&] { return ask_confirmation(owner_.get(), L"Question", L"Go on?", L"Go"); }));
    EXPECT_TRUE(has_cancel.load()) << "ask_confirmation has a Cancel button";
}

TEST_F(Boxes, ConfirmKeys) {
    std::atomic<bool> focus_on_cancel{false}, open_after_keys{false};
    bool r = confirm([&](HWND box) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        HWND focus = focus_of(ui_thread_);
        focus_on_cancel = focus == GetDlgItem(box, 2);
        for (HWND w : {focus, box}) {
            gui_test::post_key(w, VK_RETURN);
            gui_test::post_key(w, VK_ESCAPE);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        open_after_keys = IsWindowVisible(box) != FALSE;
        press_space(focus);  // Space presses the focused button: Cancel
    });
    EXPECT_TRUE(focus_on_cancel.load());
    EXPECT_TRUE(open_after_keys.load()) << "Enter and Esc do nothing";
    EXPECT_FALSE(r);

    std::atomic<bool> focus_on_ok{false};
    r = confirm(
        [&](HWND box) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            HWND focus = focus_of(ui_thread_);
            focus_on_ok = focus == GetDlgItem(box, 1);
            press_space(focus);
        },
        false);
    EXPECT_TRUE(focus_on_ok.load()) << "without Cancel the focus is on OK";
    EXPECT_TRUE(r);
}

TEST_F(Boxes, ConfirmLayoutOwnerAndGlyph) {
    std::atomic<bool> owner_disabled{false};
    RECT client{}, window{}, ok{}, cancel{};
    std::wstring glyph, cancel_text;
    confirm([&](HWND box) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the loop has started
        owner_disabled = !IsWindowEnabled(owner_.get());
        GetClientRect(box, &client);
        GetWindowRect(box, &window);
        ok = gui_test::window_rect(GetDlgItem(box, 1));
        cancel = gui_test::window_rect(GetDlgItem(box, 2));
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&ok), 2);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&cancel), 2);
        glyph = text_of(GetDlgItem(box, 11));
        cancel_text = text_of(GetDlgItem(box, 2));
        click(GetDlgItem(box, 2));
    });
    EXPECT_TRUE(owner_disabled.load());
    EXPECT_EQ(client.right, 324) << "a short text: 240 + 84";
    const int h = client.bottom - 152;
    EXPECT_GT(h, 0);
    EXPECT_EQ(ok.left, 240 - 54);
    EXPECT_EQ(ok.top, h + 100);
    EXPECT_EQ(ok.right - ok.left, 118);
    EXPECT_EQ(cancel.left, 240 - 180);
    EXPECT_EQ(glyph, std::wstring(1, kConfirmGlyph));
    EXPECT_EQ(cancel_text, tr(L"action.cancel"));
    // Centred in the work area of the owner's monitor.
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(owner_.get(), MONITOR_DEFAULTTONEAREST), &mi);
    const POINT at = centered_origin(mi.rcWork, window.right - window.left, window.bottom - window.top);
    EXPECT_EQ(window.left, at.x);
    EXPECT_EQ(window.top, at.y);

    std::wstring single_glyph, ok_text;
    EXPECT_TRUE(with_driver(
        kConfirm,
        [&](HWND box) {
            single_glyph = text_of(GetDlgItem(box, 11));
            ok_text = text_of(GetDlgItem(box, 1));
            EXPECT_EQ(GetDlgItem(box, 2), nullptr) << "no Cancel button";
            PostMessageW(box, WM_CLOSE, 0, 0);
        },
        [&] { return show_message(owner_.get(), L"Info", L"Nothing to do."); }))
        << "show_message is always true";
    EXPECT_EQ(single_glyph, std::wstring(1, kMessageGlyph));
    EXPECT_EQ(ok_text, L"OK");
}

TEST_F(Boxes, LongTextWrapsIntoATallerBox) {
    std::wstring text;
    for (int i = 0; i < 40; ++i) text += L"word ";
    RECT client{}, ok{};
    confirm([&](HWND box) {
        GetClientRect(box, &client);
        ok = gui_test::window_rect(GetDlgItem(box, 1));
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&ok), 2);
        click(GetDlgItem(box, 1));
    }, true, text);
    EXPECT_LE(client.right, 320 + 84);
    EXPECT_GT(client.right, 324);
    EXPECT_GT(client.bottom, 152 + 40) << "several lines";
    EXPECT_EQ(ok.top, client.bottom - 52) << "buttons at text height + 100";
}

TEST_F(Boxes, QuitIsPostedAgain) {
    PostQuitMessage(3);
    EXPECT_FALSE(confirm_box(owner_.get(), L"t", L"text", L"OK", true));
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    wchar_t buffer[16] = L"old";
    PostQuitMessage(4);
    EXPECT_FALSE(input_box(owner_.get(), L"t", L"p", buffer, 16, false));
    EXPECT_EQ(std::wstring(buffer), L"old");
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 4u);
}

std::atomic<int> g_ticks{0};
std::atomic<int> g_depth{-1};

TEST_F(Boxes, TimersRunAndTheLoopIsCounted) {
    g_ticks = 0;
    g_depth = -1;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        ++g_ticks;
        g_depth = modal_loop_depth();
    });
    confirm([](HWND box) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        click(GetDlgItem(box, 1));
    });
    KillTimer(nullptr, timer);
    EXPECT_GT(g_ticks.load(), 3) << "the box dispatches every message";
    EXPECT_EQ(g_depth.load(), 1);
    EXPECT_EQ(modal_loop_depth(), 0);
}

// --- the input box --------------------------------------------------------------------------

TEST_F(Boxes, InputReturnsTypedTextWithLineBreaks) {
    wchar_t buffer[64] = L"start";
    std::wstring initial;
    std::atomic<bool> focus_on_edit{false};
    EXPECT_TRUE(input([&](HWND box) {
        HWND edit = GetDlgItem(box, 100);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        focus_on_edit = focus_of(ui_thread_) == edit;
        initial = text_of(edit);
        PostMessageW(edit, EM_SETSEL, 0, -1);
        type(edit, L"ab\ncd");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        click(GetDlgItem(box, 1));
    }, buffer, 64));
    EXPECT_EQ(initial, L"start");
    EXPECT_TRUE(focus_on_edit.load());
    EXPECT_EQ(std::wstring(buffer), L"ab\r\ncd") << "Enter starts a new line, also in single-line mode";
}

TEST_F(Boxes, InputCancelEscAndCloseLeaveTheBuffer) {
    wchar_t buffer[32] = L"unchanged";
    std::atomic<bool> open_after_esc{false};
    EXPECT_FALSE(input([&](HWND box) {
        HWND edit = GetDlgItem(box, 100);
        type(edit, L"typed");
        gui_test::post_key(edit, VK_ESCAPE);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        open_after_esc = IsWindowVisible(box) != FALSE;
        click(GetDlgItem(box, 2));
    }, buffer, 32, true));
    EXPECT_TRUE(open_after_esc.load()) << "Esc does nothing";
    EXPECT_EQ(std::wstring(buffer), L"unchanged");
    EXPECT_FALSE(input([](HWND box) {
        type(GetDlgItem(box, 100), L"more");
        PostMessageW(box, WM_CLOSE, 0, 0);
    }, buffer, 32));
    EXPECT_EQ(std::wstring(buffer), L"unchanged");
}

TEST_F(Boxes, InputNeverTakesMoreThanTheBufferHolds) {
    // Typing stops at capacity - 1 characters, so what was typed is kept.
    wchar_t buffer[6] = L"";
    std::wstring shown;
    EXPECT_TRUE(input([&](HWND box) {
        HWND edit = GetDlgItem(box, 100);
        type(edit, L"abcdefghij");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        shown = text_of(edit);
        click(GetDlgItem(box, 1));
    }, buffer, 6));
    EXPECT_EQ(shown, L"abcde");
    EXPECT_EQ(std::wstring(buffer), L"abcde");

    // Exactly capacity - 1 characters fit.
    wchar_t full[5] = L"abcd";
    EXPECT_TRUE(input([](HWND box) { click(GetDlgItem(box, 1)); }, full, 5));
    EXPECT_EQ(std::wstring(full), L"abcd");

    // Text set past the limit (WM_SETTEXT ignores it) does not fit: false,
    // the buffer as it was.
    wchar_t small[6] = L"old";
    EXPECT_FALSE(input([](HWND box) {
        SendMessageW(GetDlgItem(box, 100), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"sixsix"));
        click(GetDlgItem(box, 1));
    }, small, 6));
    EXPECT_EQ(std::wstring(small), L"old");

    // An initial text without a terminator inside the capacity is read no further.
    wchar_t raw[4] = {L'w', L'x', L'y', L'z'};
    std::wstring seen;
    EXPECT_TRUE(input([&](HWND box) {
        seen = text_of(GetDlgItem(box, 100));
        click(GetDlgItem(box, 1));
    }, raw, 4));
    EXPECT_EQ(seen, L"wxy");
    EXPECT_EQ(std::wstring(raw, 3), L"wxy");
    EXPECT_EQ(raw[3], 0);
}

TEST_F(Boxes, InputSizesFollowTheMainWindow) {
    struct Row {
        bool main;
        int bar;
        bool multi;
        int width, height;
    };
    const Row rows[] = {
        {false, 0, false, 460, 210}, {true, 250, false, 300, 210}, {true, 520, false, 520, 210},
        {false, 0, true, 640, 430},  {true, 700, true, 700, 430},  {true, 250, true, 640, 430},
    };
    for (const Row& r : rows) {
        BoxContext context;
        if (r.main) {
            context.main_window = owner_.get();
            context.menu_bar_width = [bar = r.bar] { return bar; };
        }
        set_box_context(context);
        RECT window{}, edit{}, ok{};
        wchar_t buffer[8] = L"";
        input([&](HWND box) {
            GetWindowRect(box, &window);
            edit = gui_test::window_rect(GetDlgItem(box, 100));
            ok = gui_test::window_rect(GetDlgItem(box, 1));
            MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&edit), 2);
            MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&ok), 2);
            click(GetDlgItem(box, 2));
        }, buffer, 8, r.multi);
        EXPECT_EQ(window.right - window.left, r.width) << r.bar << " " << r.multi;
        EXPECT_EQ(window.bottom - window.top, r.height);
        EXPECT_EQ(edit.left, 16);
        EXPECT_EQ(edit.top, 44);
        EXPECT_EQ(edit.bottom - edit.top, r.multi ? 290 : 74);
        EXPECT_EQ(ok.left, r.width - 220);
        EXPECT_EQ(ok.top, r.multi ? 350 : 130);
    }
}

TEST_F(Boxes, InputTypedWithTheKeyboard) {
    // Real keystrokes through the system's input queue into the focused edit.
    wchar_t buffer[32] = L"";
    EXPECT_TRUE(input([&](HWND box) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        SetForegroundWindow(box);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (wchar_t c : std::wstring(L"Hi там")) {
            gui_test::send_unicode_char(c);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        click(GetDlgItem(box, 1));
    }, buffer, 32));
    EXPECT_EQ(std::wstring(buffer), L"Hi там");
}

// --- long texts ---------------------------------------------------------------------------------

// The text an entry may hold, whole in the box: a short one wraps at the
// box's edge, a long one scrolls sideways, so that the box opens at once.
// OK gives exactly what the box holds, one character typed at its end
// included.
TEST_F(Boxes, InputTakesAnyLengthWholeAndScrollsSidewaysWhenLong) {
    const std::size_t lengths[] = {12, kWrappedTextLimit, kWrappedTextLimit + 1, 100000, 400000};
    for (std::size_t length : lengths) {
        SCOPED_TRACE(length);
        std::wstring words;
        while (words.size() < length) words += L"word" + std::to_wstring(words.size() % 97) + L" ";
        words.resize(length - 1);
        words += L".";
        std::wstring text = words;
        std::atomic<int> shown_length{-1}, typed_length{-1};
        std::atomic<LONG_PTR> style{0};
        std::atomic<double> shown_ms{-1};
        const auto start = std::chrono::steady_clock::now();
        const bool ok = with_driver(
            kInput,
            [&](HWND box) {
                HWND edit = GetDlgItem(box, 100);
                gui_test::wait_until([&] { return IsWindowVisible(box) && GetWindowTextLengthW(edit) > 0; }, 10000);
                shown_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
                shown_length = GetWindowTextLengthW(edit);
                style = GetWindowLongPtrW(edit, GWL_STYLE);
                PostMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), static_cast<LPARAM>(length));
                PostMessageW(edit, WM_CHAR, L'Q', 1);
                gui_test::wait_until(
                    [&] { return static_cast<std::size_t>(GetWindowTextLengthW(edit)) == length + 1; }, 30000);
                typed_length = GetWindowTextLengthW(edit);
                click(GetDlgItem(box, 1));
            },
            [&] { return input_box(owner_.get(), L"Edit", L"Text:", text, true); });
        EXPECT_TRUE(ok);
        EXPECT_EQ(shown_length.load(), static_cast<int>(length)) << "the whole text in the box";
        EXPECT_EQ(typed_length.load(), static_cast<int>(length + 1));
        EXPECT_EQ(text.size(), length + 1);
        EXPECT_TRUE(text == words + L"Q") << "exactly what the box holds";
        const bool sideways = length > kWrappedTextLimit;
        EXPECT_EQ((style.load() & ES_AUTOHSCROLL) != 0, sideways);
        EXPECT_EQ((style.load() & WS_HSCROLL) != 0, sideways);
        EXPECT_LT(shown_ms.load(), 1000.0) << "shown whole within a second";
        std::printf("%zu characters: shown whole after %.0f ms\n", length, shown_ms.load());
    }
}

// A paste beyond the box's old limit of the text plus 4,095 characters is
// taken whole.
TEST_F(Boxes, InputOverATextCutsNoPaste) {
    std::wstring text = L"short";
    const std::wstring paste(20000, L'p');
    ASSERT_TRUE(winutil::set_clipboard_text(paste));
    std::atomic<int> after_paste{-1};
    EXPECT_TRUE(with_driver(
        kInput,
        [&](HWND box) {
            HWND edit = GetDlgItem(box, 100);
            PostMessageW(edit, EM_SETSEL, 5, 5);
            PostMessageW(edit, WM_PASTE, 0, 0);
            // A paste this long puts a sideways box in the edit's place.
            gui_test::wait_until([&] { return GetWindowTextLengthW(GetDlgItem(box, 100)) == 20005; }, 10000);
            after_paste = GetWindowTextLengthW(GetDlgItem(box, 100));
            click(GetDlgItem(box, 1));
        },
        [&] { return input_box(owner_.get(), L"Edit", L"Text:", text, true); }));
    EXPECT_EQ(after_paste.load(), 20005);
    EXPECT_TRUE(text == L"short" + paste);
}

// A paste that makes a word-wrapped box's text too long to wrap, by each
// way a user pastes: a sideways box on a thread of its own takes the
// edit's place with the text and the paste, the caret after the paste and
// the keyboard; the box's window answers all the while; what is typed
// next lands after the paste, and OK gives it all. A short paste stays in
// the word-wrapped box.
TEST_F(Boxes, APasteTooLongToWrapMakesASidewaysBoxInItsPlace) {
    std::wstring paste;
    while (paste.size() < 60000) paste += L"pasted words without a line break ";
    struct Case {
        const char* what;
        std::function<void(HWND edit)> paste;
        std::wstring clip;
        bool sideways;
    };
    const auto ctrl_v = [](HWND) { gui_test::send_key_chord({VK_CONTROL, 'V'}); };
    const Case cases[] = {
        {"Ctrl+V", ctrl_v, paste, true},
        {"Shift+Insert", [](HWND) { gui_test::send_key_chord({VK_SHIFT, VK_INSERT}); }, paste, true},
        {"the menu's Paste (WM_PASTE)", [](HWND edit) { PostMessageW(edit, WM_PASTE, 0, 0); }, paste, true},
        {"a short paste", ctrl_v, L"a few words", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(winutil::set_clipboard_text(c.clip));
        std::wstring text = L"Before after";
        const std::size_t whole = text.size() + c.clip.size();
        std::atomic<bool> in_front{false}, replaced{false}, other_thread{false}, focused{false}, typed{false};
        std::atomic<double> longest{0};
        const bool ok = with_driver(
            kInput,
            [&](HWND box) {
                HWND edit = GetDlgItem(box, 100);
                // Real keys go to the window in front; under load the first
                // request for the front can be lost: ask again until it holds.
                in_front = gui_test::wait_until([&] {
                    if (GetForegroundWindow() != box) SetForegroundWindow(box);
                    return GetForegroundWindow() == box && focus_of(ui_thread_) == edit;
                });
                PostMessageW(edit, EM_SETSEL, 7, 7);
                // The box's window is asked for an answer every 10 ms.
                app_test::AnswerWatch watch(box, 10);
                c.paste(edit);
                HWND now = nullptr;
                gui_test::wait_until(
                    [&] {
                        now = GetDlgItem(box, 100);
                        return now && static_cast<std::size_t>(GetWindowTextLengthW(now)) == whole;
                    },
                    30000);
                replaced = now != edit;
                other_thread = GetWindowThreadProcessId(now, nullptr) != ui_thread_;
                focused = gui_test::wait_until([&] { return focus_of(ui_thread_) == now; });
                gui_test::send_unicode_char(L'Q');
                typed = gui_test::wait_until(
                    [&] { return static_cast<std::size_t>(GetWindowTextLengthW(now)) == whole + 1; }, 10000);
                watch.finish();
                longest = watch.missed() > 0 ? 1000.0 : watch.longest();
                click(GetDlgItem(box, 1));
            },
            [&] { return input_box(owner_.get(), L"Edit", L"Text:", text, true); });
        EXPECT_TRUE(ok);
        EXPECT_TRUE(in_front.load()) << "the box in front, its text with the keyboard";
        EXPECT_EQ(replaced.load(), c.sideways);
        EXPECT_EQ(other_thread.load(), c.sideways);
        EXPECT_TRUE(focused.load()) << "the text box has the keyboard";
        EXPECT_TRUE(typed.load());
        EXPECT_TRUE(text == L"Before " + c.clip + L"Qafter") << "the paste at the caret, the key after it";
        EXPECT_LT(longest.load(), 100.0) << "the box's window answered all the while";
    }
}

// The box left for another window and activated again: its text has the
// keyboard again, for a short text and for one long enough to be laid out
// on a thread of its own, and a real key typed lands in it.
TEST_F(Boxes, TheTextHasTheKeyboardAgainWhenTheBoxComesBack) {
    raii::Window other(CreateWindowExW(0, L"STATIC", L"Another window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700, 500,
                                       300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(other);
    for (std::size_t length : {std::size_t{20}, 3 * kWrappedTextLimit}) {
        SCOPED_TRACE(length);
        std::wstring text(length, L't');
        std::atomic<bool> left{false}, back{false}, typed{false};
        const bool ok = with_driver(
            kInput,
            [&](HWND box) {
                HWND edit = GetDlgItem(box, 100);
                gui_test::wait_until([&] { return focus_of(ui_thread_) == edit; });
                const auto bring = [&](HWND w) {
                    return gui_test::wait_until([&] {
                        if (GetForegroundWindow() != w) SetForegroundWindow(w);
                        return GetForegroundWindow() == w;
                    });
                };
                left = bring(other.get());
                back = bring(box) && gui_test::wait_until([&] { return focus_of(ui_thread_) == edit; });
                PostMessageW(edit, EM_SETSEL, length, length);
                gui_test::send_unicode_char(L'K');
                typed = gui_test::wait_until(
                    [&] { return static_cast<std::size_t>(GetWindowTextLengthW(edit)) == length + 1; });
                click(GetDlgItem(box, 1));
            },
            [&] { return input_box(owner_.get(), L"Edit", L"Text:", text, true); });
        EXPECT_TRUE(ok);
        EXPECT_TRUE(left.load()) << "another window came to the front";
        EXPECT_TRUE(back.load()) << "the text has the keyboard again";
        EXPECT_TRUE(typed.load());
        EXPECT_TRUE(text == std::wstring(length, L't') + L"K");
    }
}

// Keys typed past the size that wraps, and two pastes in a row that pass
// it, each sent before the box could be replaced: the sideways box that
// takes the word-wrapped one's place holds every character.
TEST_F(Boxes, TypingOrPastingPastTheWrappingSizeLosesNothing) {
    const std::wstring start(kWrappedTextLimit - 5, L's');
    const std::wstring clip(4000, L'c');
    struct Case {
        const char* what;
        std::wstring text;
        std::function<void(HWND edit)> act;
        std::wstring expected;
    };
    const Case cases[] = {
        {"twenty keys at the end", start,
         [&](HWND edit) {
             PostMessageW(edit, EM_SETSEL, start.size(), start.size());
             for (int i = 0; i < 20; ++i) PostMessageW(edit, WM_CHAR, L'0' + i % 10, 1);
         },
         start + L"01234567890123456789"},
        {"two pastes at the caret", L"head tail",
         [&](HWND edit) {
             PostMessageW(edit, EM_SETSEL, 5, 5);
             PostMessageW(edit, WM_PASTE, 0, 0);
             PostMessageW(edit, WM_PASTE, 0, 0);
         },
         L"head " + clip + clip + L"tail"},
    };
    ASSERT_TRUE(winutil::set_clipboard_text(clip));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring text = c.text;
        std::atomic<bool> sideways{false};
        const bool ok = with_driver(
            kInput,
            [&](HWND box) {
                c.act(GetDlgItem(box, 100));
                sideways = gui_test::wait_until(
                    [&] {
                        HWND now = GetDlgItem(box, 100);
                        return GetWindowThreadProcessId(now, nullptr) != ui_thread_ &&
                               static_cast<std::size_t>(GetWindowTextLengthW(now)) == c.expected.size();
                    },
                    10000);
                click(GetDlgItem(box, 1));
            },
            [&] { return input_box(owner_.get(), L"Edit", L"Text:", text, true); });
        EXPECT_TRUE(ok);
        EXPECT_TRUE(sideways.load()) << "a sideways box with the whole text";
        EXPECT_EQ(text.size(), c.expected.size());
        EXPECT_TRUE(text == c.expected);
    }
}

// --- texts of the controls ---------------------------------------------------------------------

// Every control of a box holds, as its window text, what it shows: a
// screen reader or another program that asks a control for its text reads
// the box.
TEST_F(Boxes, EveryControlHoldsTheTextItShows) {
    using Texts = std::vector<std::wstring>;
    const std::wstring cancel = tr(L"action.cancel");
    struct Case {
        const char* what;
        const wchar_t* cls;
        std::wstring title;
        Texts children;  // in the order of the box's controls
        std::function<void()> open;
    };
    std::wstring entry = L"Line one of the text";
    wchar_t buffer[64] = L"Mails";
    const std::wstring question = L"Delete 3 entries and 1 template?";
    const std::wstring result = L"Exported 12 entries to C:\\Users\\me\\Documents\\quillet-backup-2026-12-11.json";
    const Case cases[] = {
        {"question", kConfirm, L"Confirm", {std::wstring(1, kConfirmGlyph), question, L"Delete", cancel},
         [&] { ask_confirmation(owner_.get(), L"Confirm", question, L"Delete"); }},
        {"message", kConfirm, L"Info", {std::wstring(1, kMessageGlyph), L"Nothing to do.", L"OK"},
         [&] { show_message(owner_.get(), L"Info", L"Nothing to do."); }},
        {"result", kConfirm, L"Export", {std::wstring(1, kConfirmGlyph), result, L"Open", cancel},
         [&] { ask_confirmation(owner_.get(), L"Export", result, L"Open"); }},
        {"input", kInput, L"Group", {L"Group name:", L"Mails", L"OK", cancel},
         [&] { input_box(owner_.get(), L"Group", L"Group name:", buffer, 64, false); }},
        {"edit", kInput, L"Edit", {L"Text:", entry, L"OK", cancel},
         [&] { input_box(owner_.get(), L"Edit", L"Text:", entry, true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Texts by_get_text, by_message;
        std::wstring title;
        with_driver(
            c.cls,
            [&](HWND box) {
                gui_test::wait_until([&] { return IsWindowVisible(box); });
                title = text_of(box);
                for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                    wchar_t got[256] = {};
                    GetWindowTextW(child, got, 256);
                    by_get_text.emplace_back(got);
                    wchar_t sent[256] = {};
                    SendMessageW(child, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(sent));
                    by_message.emplace_back(sent);
                }
                PostMessageW(box, WM_CLOSE, 0, 0);
            },
            [&] {
                c.open();
                return true;
            });
        EXPECT_EQ(title, c.title);
        EXPECT_EQ(by_get_text, c.children);
        EXPECT_EQ(by_message, c.children);
    }
}

// --- GDI objects ------------------------------------------------------------------------------

UINT_PTR g_closer = 0;

// A thread timer that answers every open box: OK, after typing a letter
// into an input box.
void CALLBACK answer_boxes(HWND, UINT, UINT_PTR, DWORD) {
    for (const wchar_t* cls : {kConfirm, kInput}) {
        HWND box = FindWindowW(cls, nullptr);
        if (!box || GetPropW(box, L"answered")) continue;
        SetPropW(box, L"answered", reinterpret_cast<HANDLE>(1));
        if (HWND edit = GetDlgItem(box, 100)) PostMessageW(edit, WM_CHAR, L'q', 1);
        click(GetDlgItem(box, 1));
    }
}

TEST_F(Boxes, HundredOpeningsLeaveNoGdiObjects) {
    Settings settings;
    g_closer = SetTimer(nullptr, 0, 5, answer_boxes);
    auto round = [&](int i) {
        settings.dark_mode = i % 2 == 1;
        BoxContext context;
        context.settings = &settings;
        set_box_context(context);
        wchar_t buffer[32] = L"x";
        bool ok = true;
        ok &= confirm_box(owner_.get(), L"Confirm", L"Delete the entry?", L"Delete", true);
        ok &= show_message(owner_.get(), L"Info", L"Done.");
        ok &= input_box(owner_.get(), L"Name", L"Name:", buffer, 32, false);
        ok &= input_box(owner_.get(), L"Text", L"Text:", buffer, 32, true);
        return ok;
    };
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(round(i));
    pump();
    const DWORD before = gui_test::gdi_object_count();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(round(i)) << i;
    pump();
    EXPECT_EQ(gui_test::gdi_object_count(), before);
    KillTimer(nullptr, g_closer);
}

// --- pictures ---------------------------------------------------------------------------------

gui_test::Pixels grab_box(HWND box) { return gui_test::grab_painted_window(box); }

TEST_F(Boxes, ScreenshotsInBothThemes) {
    Settings settings;
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        settings.dark_mode = dark;
        BoxContext context;
        context.settings = &settings;
        set_box_context(context);
        const BoxColors& c = box_colors(dark);
        const std::wstring suffix = dark ? L"_dark.png" : L"_light.png";

        // The confirmation box with both buttons.
        gui_test::Pixels shot;
        POINT origin{};
        RECT window{}, ok{}, cancel{}, icon{};
        confirm([&](HWND box) {
            shot = grab_box(box);
            window = gui_test::window_rect(box);
            origin = client_origin(box);
            ok = gui_test::window_rect(GetDlgItem(box, 1));
            cancel = gui_test::window_rect(GetDlgItem(box, 2));
            icon = gui_test::window_rect(GetDlgItem(box, 11));
            click(GetDlgItem(box, 2));
        }, true, L"Delete 3 entries? They go to the trash and can be restored from there.");
        ASSERT_GT(shot.width, 0);
        EXPECT_TRUE(gui_test::save_png(shot, gui_test::exe_dir() + L"\\confirm_box" + suffix));
        auto at = [&](LONG sx, LONG sy) { return shot.at(sx - window.left, sy - window.top); };
        EXPECT_EQ(at(origin.x + 5, origin.y + 5), c.background);
        EXPECT_EQ(at(origin.x + 70, origin.y + 90), c.background) << "between the text and the buttons";
        EXPECT_EQ(at(ok.left + 6, ok.top + 16), button_fill(dark, false, false, false));
        EXPECT_EQ(at(cancel.left + 6, cancel.top + 16), button_fill(dark, false, false, false));
        EXPECT_EQ(at(ok.left, ok.top + 16), button_colors(dark, false).border);
        int icon_pixels = 0;
        for (LONG y = icon.top; y < icon.bottom; ++y)
            for (LONG x = icon.left; x < icon.right; ++x) icon_pixels += at(x, y) == c.icon;
        EXPECT_GT(icon_pixels, 0) << "the glyph in the icon colour";

        // The single-button message: OK in the accent style.
        confirm([&](HWND box) {
            shot = grab_box(box);
            window = gui_test::window_rect(box);
            ok = gui_test::window_rect(GetDlgItem(box, 1));
            click(GetDlgItem(box, 1));
        }, false, L"The backup was saved.");
        EXPECT_TRUE(gui_test::save_png(shot, gui_test::exe_dir() + L"\\message_box" + suffix));
        EXPECT_EQ(at(ok.left + 6, ok.top + 16), button_fill(dark, true, false, false));
        // The accent button's top edge: the border over the fill, no arcs.
        auto stray_top_pixels = [&](const RECT& button) {
            int stray = 0;
            for (LONG y = button.top; y < button.top + 6; ++y)
                for (LONG x = button.left; x < button.right; ++x) {
                    const COLORREF p = at(x, y);
                    stray += p != c.background && p != button_colors(dark, true).border &&
                             p != button_fill(dark, true, false, false) && p != button_fill(dark, true, true, false);
                }
            return stray;
        };
        EXPECT_EQ(at((ok.left + ok.right) / 2, ok.top), button_colors(dark, true).border);
        EXPECT_EQ(stray_top_pixels(ok), 0);

        // The input box with some text.
        wchar_t buffer[64] = L"Work notes";
        RECT edit{};
        input([&](HWND box) {
            shot = grab_box(box);
            window = gui_test::window_rect(box);
            origin = client_origin(box);
            ok = gui_test::window_rect(GetDlgItem(box, 1));
            cancel = gui_test::window_rect(GetDlgItem(box, 2));
            edit = gui_test::window_rect(GetDlgItem(box, 100));
            click(GetDlgItem(box, 2));
        }, buffer, 64);
        EXPECT_TRUE(gui_test::save_png(shot, gui_test::exe_dir() + L"\\input_box" + suffix));
        EXPECT_EQ(at(origin.x + 5, origin.y + 36), c.background);
        EXPECT_EQ(at(edit.left + 6, edit.bottom - 6), c.control_background) << "inside the edit";
        EXPECT_EQ(at(edit.left, edit.top + 30), theme_colors(dark).frame) << "the edit's frame";
        EXPECT_EQ(at(edit.right - 1, edit.top + 30), theme_colors(dark).frame);
        EXPECT_EQ(at(ok.left + 6, ok.top + 16), button_fill(dark, true, false, false));
        EXPECT_EQ(at(cancel.left + 6, cancel.top + 16), button_fill(dark, false, false, false));
        EXPECT_EQ(stray_top_pixels(ok), 0);

        // The input box over a text long enough to be laid out on a thread
        // of its own: painted in the theme like the short one, its text
        // shown.
        std::wstring long_text;
        while (long_text.size() < 3 * kWrappedTextLimit) long_text += L"A long line of notes, never wrapped. ";
        input_with_text([&](HWND box) {
            HWND text = GetDlgItem(box, 100);
            gui_test::wait_until([&] { return GetWindowTextLengthW(text) == static_cast<int>(long_text.size()); });
            shot = grab_box(box);
            window = gui_test::window_rect(box);
            edit = gui_test::window_rect(text);
            click(GetDlgItem(box, 2));
        }, long_text);
        EXPECT_TRUE(gui_test::save_png(shot, gui_test::exe_dir() + L"\\input_box_long" + suffix));
        EXPECT_EQ(at(edit.left + 3, edit.top + 3), c.control_background) << "inside the edit";
        EXPECT_EQ(at(edit.left, edit.top + 30), theme_colors(dark).frame) << "the edit's frame";
        int text_pixels = 0;
        for (LONG y = edit.top + 2; y < edit.top + 24; ++y)
            for (LONG x = edit.left + 2; x < edit.right - 20; ++x) text_pixels += at(x, y) == c.text;
        EXPECT_GT(text_pixels, 20) << "the first line in the text colour";
    }
}

}  // namespace
