// The entry view window over a running main window, driven with real
// input (SendInput wheel turns, button presses and pointer moves) from a
// helper thread while its loop runs: fit, zoom limits, drag limits, the
// reset on resize, a small picture at its own size, text read-only, the
// main window disabled meanwhile, WM_QUIT posted again, the context-menu
// road, the GDI objects after many openings, and a mixed text (emoji,
// ideographs, Latin) selected with the keys and copied.
#include "ui/dialogs/view_dialog.h"

#include <gtest/gtest.h>

#include "core/clipboard_text.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

#include "app/app_ids.h"
#include "capture/image.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/app/store_behind.h"
#include "tests/app/view_test_images.h"
#include "tests/ui/message_box_watch.h"
#include "core/i18n.h"
#include "ui/cards_list.h"
#include "ui/list_model.h"
#include "tests/theme/gui_support.h"
#include "ui/main_window.h"
#include "ui/modal_loop.h"
#include "ui/popup_menu.h"
#include "core/text.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using namespace app_test;

// Runs show_view_dialog on this thread while `act` runs on a helper thread
// with the window and its state; the window is closed afterwards when act
// left it open. Returns what show_view_dialog returned.
bool with_view(MainWindow* mw, const HistoryEntry& entry, const std::function<void(HWND, ViewDialog*)>& act) {
    const DWORD ui_thread = GetCurrentThreadId();
    std::thread helper([&] {
        std::vector<HWND> found = gui_test::wait_for_windows(ui_thread, kViewDialogClass, 1);
        if (found.empty()) return;
        HWND dialog = found[0];
        auto* d = reinterpret_cast<ViewDialog*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        if (d) act(dialog, d);
        if (IsWindow(dialog)) PostMessageW(dialog, WM_CLOSE, 0, 0);
    });
    const bool shown = show_view_dialog(mw, entry);
    helper.join();
    return shown;
}

void send_mouse(DWORD flags, DWORD data = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.mouseData = data;
    SendInput(1, &in, sizeof(in));
}

// A pointer move through the system's input queue, to a screen point.
void send_move(POINT screen) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof(in));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

POINT area_center(HWND dialog, const ViewDialog& d) {
    RECT area = d.content_rect(dialog);
    POINT c{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    ClientToScreen(dialog, &c);
    return c;
}

// Wheel notches over the picture, one at a time, waiting for each to land.
void wheel(HWND dialog, const ViewDialog& d, int notches) {
    SetForegroundWindow(dialog);
    gui_test::move_pointer(area_center(dialog, d));
    for (int i = 0; i < std::abs(notches); ++i) {
        const float before = d.zoom;
        send_mouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(notches > 0 ? WHEEL_DELTA : -WHEEL_DELTA));
        gui_test::wait_until([&] { return d.zoom != before; }, 500);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// A drag from the area's centre by (dx, dy) in small steps.
void drag(HWND dialog, const ViewDialog& d, int dx, int dy) {
    SetForegroundWindow(dialog);
    const POINT from = area_center(dialog, d);
    gui_test::move_pointer(from);
    send_mouse(MOUSEEVENTF_LEFTDOWN);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    for (int i = 1; i <= 10; ++i) send_move(POINT{from.x + dx * i / 10, from.y + dy * i / 10});
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    send_mouse(MOUSEEVENTF_LEFTUP);
    gui_test::wait_until([&] { return !d.dragging; }, 1000);
}

class ViewDialogWindow : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(running.start());
        mw = running.app->main_window.get();
        ASSERT_NE(mw, nullptr);
    }
    RunningApp running;
    MainWindow* mw = nullptr;
};

TEST_F(ViewDialogWindow, SmallPictureOpensAtItsOwnSize) {
    HistoryEntry e = view_test::image_entry(view_test::gradient_png(100, 100));
    int fit_w = 0, fit_h = 0, image_w = 0;
    bool fit_button = false;
    EXPECT_TRUE(with_view(mw, e, [&](HWND, ViewDialog* d) {
        fit_w = d->fit_width;
        fit_h = d->fit_height;
        image_w = d->image_width;
        fit_button = d->fit_button != nullptr;
    }));
    EXPECT_EQ(image_w, 100);
    EXPECT_EQ(fit_w, 100);
    EXPECT_EQ(fit_h, 100);
    EXPECT_TRUE(fit_button);
}

TEST_F(ViewDialogWindow, LargePictureIsFittedAndOnlyDraggedWhenZoomedIn) {
    HistoryEntry e = view_test::image_entry(view_test::gradient_png(1200, 900));
    EXPECT_TRUE(with_view(mw, e, [&](HWND dialog, ViewDialog* d) {
        const RECT area = d->content_rect(dialog);
        const int aw = area.right - area.left, ah = area.bottom - area.top;
        // Fitted: one side meets the area, neither passes it.
        EXPECT_TRUE(d->fit_width == aw || d->fit_height == ah) << d->fit_width << "x" << d->fit_height;
        EXPECT_LE(d->fit_width, aw);
        EXPECT_LE(d->fit_height, ah);

        // At the fit, a drag moves nothing and starts no drag.
        drag(dialog, *d, 80, 60);
        EXPECT_EQ(d->pan_x, 0);
        EXPECT_EQ(d->pan_y, 0);

        // Fifteen notches up reach 8 and more change nothing.
        wheel(dialog, *d, 15);
        EXPECT_FLOAT_EQ(d->zoom, 8.0f);
        wheel(dialog, *d, 2);
        EXPECT_FLOAT_EQ(d->zoom, 8.0f);

        // Back to the fit, then three notches in: a little larger than the area.
        SendMessageW(dialog, WM_COMMAND, kViewFitId, 0);
        EXPECT_FLOAT_EQ(d->zoom, 1.0f);
        wheel(dialog, *d, 3);
        EXPECT_NEAR(d->zoom, 1.520875f, 1e-4);
        // Dragged far right and down: the picture's left and top edges stop
        // at the area's edges.
        const SIZE z = view_zoomed_size(d->fit_width, d->fit_height, d->zoom);
        drag(dialog, *d, 300, 200);
        EXPECT_EQ(d->pan_x, (z.cx - aw) / 2);
        EXPECT_EQ(d->pan_y, (z.cy - ah) / 2);
        const RECT pic = view_picture_rect(area, z, d->pan_x, d->pan_y);
        EXPECT_EQ(pic.left, area.left);
        EXPECT_LE(std::abs(pic.top - area.top), 1);
        // Far back the other way: the right edge stops at the area's right edge.
        const int before = d->pan_x;
        drag(dialog, *d, -300, 0);
        EXPECT_EQ(d->pan_x, -before);
        EXPECT_EQ(view_picture_rect(area, z, d->pan_x, d->pan_y).right - area.right, (z.cx - aw) % 2)
            << "an odd excess leaves its last pixel beyond the right edge";

        // Far down, the zoom ends at 0.25; the pan returns to the centre.
        wheel(dialog, *d, -15);
        EXPECT_FLOAT_EQ(d->zoom, 0.25f);
        EXPECT_EQ(d->pan_x, 0);
        EXPECT_EQ(d->pan_y, 0);

        // Fit brings zoom 1 back.
        SendMessageW(dialog, WM_COMMAND, kViewFitId, 0);
        EXPECT_FLOAT_EQ(d->zoom, 1.0f);
    }));
}

TEST_F(ViewDialogWindow, ResizingResetsZoomAndPan) {
    HistoryEntry e = view_test::image_entry(view_test::gradient_png(1200, 900));
    EXPECT_TRUE(with_view(mw, e, [&](HWND dialog, ViewDialog* d) {
        wheel(dialog, *d, 5);
        drag(dialog, *d, 50, 40);
        EXPECT_GT(d->zoom, 1.5f);
        EXPECT_NE(d->pan_x, 0);
        const int old_fit = d->fit_width;
        SetWindowPos(dialog, nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);
        gui_test::wait_until([&] { return d->zoom == 1.0f; }, 1000);
        EXPECT_FLOAT_EQ(d->zoom, 1.0f);
        EXPECT_EQ(d->pan_x, 0);
        EXPECT_EQ(d->pan_y, 0);
        EXPECT_GT(d->fit_width, old_fit) << "the fit follows the larger area";
        RECT client{};
        GetClientRect(dialog, &client);
        const RECT close = gui_test::window_rect(d->close_button);
        POINT at{close.left, close.top};
        ScreenToClient(dialog, &at);
        EXPECT_EQ(at.x, client.right - 112);
        EXPECT_EQ(at.y, client.bottom - 40);
    }));
}

TEST_F(ViewDialogWindow, TextIsShownReadOnlyAndTheMainWindowWaits) {
    HistoryEntry e;
    e.id = 5;
    e.text_state = TextState::Whole;
    e.text = L"first line\r\nsecond line with more words";
    e.created_at = L"2024-03-05T07:08:09";
    bool read_only = false, has_scroll = false, main_enabled = true;
    int modal_depth = 0;
    std::wstring shown;
    EXPECT_TRUE(with_view(mw, e, [&](HWND, ViewDialog* d) {
        ASSERT_NE(d->text_edit, nullptr);
        EXPECT_EQ(d->fit_button, nullptr);
        const LONG style = GetWindowLongW(d->text_edit, GWL_STYLE);
        read_only = (style & ES_READONLY) != 0;
        has_scroll = (style & WS_VSCROLL) != 0;
        wchar_t buf[256] = {};
        GetWindowTextW(d->text_edit, buf, 256);
        shown = buf;
        main_enabled = IsWindowEnabled(running.window()) != FALSE;
        modal_depth = modal_loop_depth();
        EXPECT_NE(d->info.find(L"05.03.2024 07:08"), std::wstring::npos);
        EXPECT_NE(d->info.find(L"\u2014"), std::wstring::npos) << "no source application";
    }));
    EXPECT_TRUE(read_only);
    EXPECT_TRUE(has_scroll);
    EXPECT_EQ(shown, e.text);
    EXPECT_FALSE(main_enabled);
    EXPECT_EQ(modal_depth, 1) << "the clipboard poll waits while the window runs";
    EXPECT_EQ(modal_loop_depth(), 0);
    EXPECT_TRUE(IsWindowEnabled(running.window()));
}

TEST_F(ViewDialogWindow, QuitDuringTheWindowIsPostedAgain) {
    HistoryEntry e;
    e.text = L"text";
    e.text_state = TextState::Whole;
    const DWORD ui = GetCurrentThreadId();
    HWND seen = nullptr;
    EXPECT_TRUE(with_view(mw, e, [&](HWND dialog, ViewDialog*) {
        seen = dialog;
        PostThreadMessageW(ui, WM_QUIT, 7, 0);
        gui_test::wait_until([&] { return !IsWindow(dialog); }, 3000);
    }));
    EXPECT_FALSE(IsWindow(seen));
    MSG msg{};
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT) {
            quit = true;
            EXPECT_EQ(msg.wParam, 7u);
        }
    EXPECT_TRUE(quit);
    EXPECT_TRUE(IsWindowEnabled(running.window()));
}

TEST_F(ViewDialogWindow, NoMainWindowShowsNothing) {
    HistoryEntry e;
    e.text = L"x";
    EXPECT_FALSE(show_view_dialog(nullptr, e));
    MainWindow detached;
    EXPECT_FALSE(show_view_dialog(&detached, e));
}

TEST_F(ViewDialogWindow, ContextMenuViewOpensTheSelectedEntry) {
    Database& db = *running.app->database;
    const std::int64_t id = db.add_text_entry(L"an entry to read in full", std::nullopt, false, false);
    ASSERT_GT(id, 0);
    mw->refresh_view(true);
    const int row = mw->model.row_of_key(id);
    ASSERT_GE(row, 0);
    SendMessageW(mw->cards, LB_SETSEL, FALSE, -1);
    SendMessageW(mw->cards, LB_SETSEL, TRUE, row);
    const DWORD ui = GetCurrentThreadId();
    std::wstring shown;
    std::thread helper([&] {
        std::vector<HWND> found = gui_test::wait_for_windows(ui, kViewDialogClass, 1);
        if (found.empty()) return;
        auto* d = reinterpret_cast<ViewDialog*>(GetWindowLongPtrW(found[0], GWLP_USERDATA));
        if (d && d->text_edit) {
            wchar_t buf[128] = {};
            GetWindowTextW(d->text_edit, buf, 128);
            shown = buf;
        }
        PostMessageW(found[0], WM_CLOSE, 0, 0);
    });
    mw->open_selected_entry();
    helper.join();
    EXPECT_EQ(shown, L"an entry to read in full");
}

// A chord of real keys, given a moment to arrive.
void send_keys(std::initializer_list<WORD> keys) {
    gui_test::send_key_chord(keys);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
}

TEST_F(ViewDialogWindow, KeysSelectLinesOfAMixedTextAndCtrlCCopiesThem) {
    const std::wstring lines[] = {
        L"Emoji \U0001F600\U0001F389\U0001F44D and Latin",
        L"\u4E2D\u6587\u65E5\u672C\u8A9E ideographs \u2713",
        L"caf\u00E9 \U0001F680 the third line",
        L"a fourth line, not taken",
    };
    HistoryEntry e;
    e.id = 7;
    e.text_state = TextState::Whole;
    for (const std::wstring& l : lines) e.text += l + L"\r\n";
    for (int i = 0; i < 3; ++i) e.text += L"\U0001F600\U0001F601\U0001F602 mixed \u4E2D\u6587 words wrap here ";
    const std::wstring wanted = lines[0] + L"\r\n" + lines[1] + L"\r\n" + lines[2];
    winutil::set_clipboard_text(L"before");
    bool copied = false;
    DWORD from = 0, to = 0;
    EXPECT_TRUE(with_view(mw, e, [&](HWND dialog, ViewDialog* d) {
        ASSERT_NE(d->text_edit, nullptr);
        SetForegroundWindow(dialog);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        send_keys({VK_CONTROL, VK_END});
        send_keys({VK_CONTROL, VK_HOME});
        send_keys({VK_SHIFT, VK_DOWN});
        send_keys({VK_SHIFT, VK_DOWN});
        send_keys({VK_SHIFT, VK_END});
        send_keys({VK_CONTROL, 'C'});
        copied = gui_test::wait_until([&] { return winutil::get_clipboard_text() == wanted; }, 3000);
        SendMessageW(d->text_edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        gui_test::save_png(gui_test::grab_painted_window(dialog),
                           gui_test::exe_dir() + L"\\..\\view_dialog_mixed_selection.png");
    }));
    EXPECT_TRUE(copied) << "the clipboard holds exactly the three lines";
    EXPECT_EQ(winutil::get_clipboard_text(), wanted);
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, static_cast<DWORD>(wanted.size()));
}

// A chord of real keys held in a table: pressed in order, released in
// reverse, given a moment to arrive.
void send_chord(const std::vector<WORD>& keys) {
    std::vector<INPUT> in;
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t i = 0; i < keys.size(); ++i) {
            INPUT k{};
            k.type = INPUT_KEYBOARD;
            k.ki.wVk = keys[pass == 0 ? i : keys.size() - 1 - i];
            k.ki.dwFlags = pass == 0 ? 0 : KEYEVENTF_KEYUP;
            in.push_back(k);
        }
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
}

// The text's context menu opened with a real right click, closed by a
// choice made with the keys (Select all, Copy) or by Esc: the keyboard is
// back on the text, so the keys typed next (Ctrl+C, Ctrl+A, Ctrl+Home,
// Shift with the arrows) act on it, as the clipboard shows.
TEST_F(ViewDialogWindow, AfterTheContextMenuTheKeysActOnTheText) {
    const std::wstring first = L"the first line of the text";
    HistoryEntry e;
    e.id = 9;
    e.text_state = TextState::Whole;
    e.text = first + L"\r\na second line\r\nand a third one";
    struct Case {
        const char* name;
        std::pair<DWORD, DWORD> selection;              // set before the menu opens
        std::vector<std::vector<WORD>> menu_keys;        // typed into the open menu
        std::wstring after_menu;                         // the clipboard once the menu is gone
        std::vector<std::vector<WORD>> keys;             // typed afterwards
        std::wstring wanted;                             // the clipboard then
    };
    const Case cases[] = {
        {"Select all, then Ctrl+C", {0, 0}, {{VK_UP}, {VK_RETURN}}, L"before", {{VK_CONTROL, 'C'}}, e.text},
        {"Esc, then Ctrl+A and Ctrl+C", {3, 3}, {{VK_ESCAPE}}, L"before", {{VK_CONTROL, 'A'}, {VK_CONTROL, 'C'}},
         e.text},
        {"Esc, then Ctrl+Home, Shift+End and Ctrl+C", {5, 12}, {{VK_ESCAPE}}, L"before",
         {{VK_CONTROL, VK_HOME}, {VK_SHIFT, VK_END}, {VK_CONTROL, 'C'}}, first},
        {"Copy, then Shift+Right and Ctrl+C", {0, 3}, {{VK_UP}, {VK_UP}, {VK_RETURN}}, L"the",
         {{VK_SHIFT, VK_RIGHT}, {VK_CONTROL, 'C'}}, L"the "},
    };
    const DWORD ui = GetCurrentThreadId();
    EXPECT_TRUE(with_view(mw, e, [&](HWND dialog, ViewDialog* d) {
        ASSERT_NE(d->text_edit, nullptr);
        SetForegroundWindow(dialog);
        ASSERT_TRUE(gui_test::wait_until([&] { return gui_test::focus_of(ui) == d->text_edit; }, 3000));
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            ASSERT_TRUE(winutil::set_clipboard_text(L"before"));
            SendMessageW(d->text_edit, EM_SETSEL, c.selection.first, c.selection.second);
            // A real right click on the text.
            const RECT text = gui_test::window_rect(d->text_edit);
            gui_test::move_pointer(POINT{text.left + 80, text.top + 60});
            send_mouse(MOUSEEVENTF_RIGHTDOWN);
            send_mouse(MOUSEEVENTF_RIGHTUP);
            ASSERT_FALSE(gui_test::wait_for_windows(ui, kPopupMenuClass, 1, 3000).empty()) << "no context menu";
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            for (const std::vector<WORD>& k : c.menu_keys) send_chord(k);
            ASSERT_TRUE(gui_test::wait_until([&] { return gui_test::thread_windows(ui, kPopupMenuClass).empty(); },
                                             3000))
                << "the menu stayed open";
            EXPECT_TRUE(gui_test::wait_until([&] { return winutil::get_clipboard_text() == c.after_menu; }, 2000));
            EXPECT_TRUE(gui_test::wait_until([&] { return gui_test::focus_of(ui) == d->text_edit; }, 2000))
                << "the keyboard is on " << gui_test::focus_of(ui) << ", the text is " << d->text_edit
                << ", the window " << dialog;
            for (const std::vector<WORD>& k : c.keys) send_chord(k);
            EXPECT_TRUE(gui_test::wait_until([&] { return winutil::get_clipboard_text() == c.wanted; }, 3000))
                << "the clipboard holds \"" << to_utf8(winutil::get_clipboard_text()) << "\"";
        }
    }));
}

// An entry whose row another program deleted from the store after the list
// read it: whether an image or a text that the list holds only the start of,
// opening it from the list's command or the hint's view button is refused
// with the message, and no view window opens.
TEST_F(ViewDialogWindow, AnEntryGoneFromTheStoreIsRefusedAlikeWithoutAWindow) {
    Database& db = *running.app->database;
    std::wstring long_text;
    while (long_text.size() <= 4 * kListedTextLimit) long_text += L"a long text the list holds only the start of. ";
    struct Case {
        const char* name;
        NewEntry entry;
        bool from_hint;
    };
    const Case cases[] = {
        {"an image, the list's command", NewEntry{.image = view_test::gradient_png(300, 200), .is_image = true}, false},
        {"an image, the hint's button", NewEntry{.image = view_test::gradient_png(320, 200), .is_image = true}, true},
        {"a long text, the list's command", NewEntry{.text = long_text}, false},
        {"a long text, the hint's button", NewEntry{.text = long_text + L"!"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::int64_t id = db.add_entry(c.entry);
        ASSERT_GT(id, 0);
        // Images are listed in their own view.
        if (c.entry.is_image)
            mw->show_images();
        else
            mw->set_view(kViewAll, -1);
        mw->refresh_all();
        pump(100);
        const HistoryEntry* listed = mw->model.find_entry(id);
        ASSERT_NE(listed, nullptr);
        ASSERT_TRUE(c.entry.is_image ? listed->payload_deferred : listed->text_state != TextState::Whole)
            << "the list holds what the window shows";
        ASSERT_TRUE(list_select_entry(mw->cards, id));
        // Another program deletes the row from the file.
        ASSERT_TRUE(delete_row_behind(running.files.database_path, id));
        // A view window that opens is noted and closed.
        std::atomic<bool> stop{false}, viewed{false};
        std::thread watch([&] {
            while (!stop) {
                if (HWND view = gui_test::own_window_of_class(kViewDialogClass)) {
                    viewed = true;
                    PostMessageW(view, WM_CLOSE, 0, 0);
                }
                Sleep(10);
            }
        });
        gui_test::MessageBoxWatch boxes;
        if (c.from_hint) {
            mw->hint.hinted_key = id;
            mw->open_hinted_entry();
        } else {
            mw->open_selected_entry();
        }
        EXPECT_TRUE(gui_test::wait_until([&] { return !boxes.texts().empty(); }, 3000)) << "no message";
        boxes.stop();
        stop = true;
        watch.join();
        EXPECT_FALSE(viewed) << "a view window opened";
        EXPECT_EQ(boxes.texts().size(), 1u);
        for (const std::wstring& box : boxes.texts())
            EXPECT_NE(box.find(tr(L"message.text_unreadable")), std::wstring::npos) << to_utf8(box);
        mw->hint.hinted_key = 0;
    }
}

TEST_F(ViewDialogWindow, EscClosesTheWindow) {
    HistoryEntry text;
    text.text = L"a text to read";
    text.text_state = TextState::Whole;
    const HistoryEntry entries[] = {text, view_test::image_entry(view_test::gradient_png(300, 200))};
    for (const HistoryEntry& e : entries) {
        std::atomic<bool> closed{false};
        EXPECT_TRUE(with_view(mw, e, [&](HWND dialog, ViewDialog*) {
            SetForegroundWindow(dialog);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            INPUT in[2] = {};
            in[0].type = in[1].type = INPUT_KEYBOARD;
            in[0].ki.wVk = in[1].ki.wVk = VK_ESCAPE;
            in[1].ki.dwFlags = KEYEVENTF_KEYUP;
            SendInput(2, in, sizeof(INPUT));
            closed = gui_test::wait_until([&] { return !IsWindow(dialog); }, 3000);
        }));
        EXPECT_TRUE(closed) << (e.is_image ? "image" : "text");
        EXPECT_TRUE(IsWindowEnabled(running.window()));
    }
}

TEST_F(ViewDialogWindow, ManyOpeningsLeaveNoGdiObjects) {
    HistoryEntry e = view_test::image_entry(view_test::gradient_png(300, 200));
    with_view(mw, e, [](HWND, ViewDialog*) {});
    pump(100);
    const DWORD before = gui_test::gdi_object_count();
    for (int i = 0; i < 10; ++i)
        with_view(mw, e, [](HWND dialog, ViewDialog* d) {
            wheel(dialog, *d, 2);
            InvalidateRect(dialog, nullptr, TRUE);
        });
    pump(100);
    EXPECT_LE(gui_test::gdi_object_count(), before + 2);
}

}  // namespace
