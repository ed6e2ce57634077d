// The real Quillet.exe, from a portable copy, on a store of texts of about
// 400,000 characters, each one paragraph, and a template as long, driven
// from outside as a user would: a click selects the longest row, a right
// click opens its menu, and a click chooses Edit…. The box (the template
// editor) shows the whole text within a second while the main window is
// asked for an answer every 20 ms; Ctrl+End and one character typed and OK
// store the whole text and that character, read from the SQLite file after
// the program ended. Add entry takes a Ctrl+V of such a text, copied by
// this process, the same way.
#include <gtest/gtest.h>

#include <windows.h>

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/app_ids.h"
#include "app/context_menus.h"
#include "core/clipboard_text.h"
#include "core/text.h"
#include "store/database.h"
#include "tests/app/answer_watch.h"
#include "tests/app/app_test_support.h"
#include "tests/app/long_paragraph.h"
#include "tests/app/portable_copy.h"
#include "tests/theme/gui_support.h"
#include "ui/dialogs/template_editor.h"
#include "ui/popup_menu.h"

namespace {

using namespace app_test;
using test_support::PortableCopy;

constexpr int kCmdSnippetsView = 1116;  // the main menu's templates command
constexpr int kCmdAddEntry = 1119;      // the main menu's Add entry
constexpr std::uint64_t kTemplateMenuEdit = 9;  // Edit… in a template's menu
constexpr wchar_t kMenuClass[] = L"QuilletPopupMenu";
constexpr wchar_t kInputBoxClass[] = L"QuilletInputBox";
constexpr int kInputBoxEdit = 100;
constexpr int kInputBoxOk = 1;

constexpr std::size_t kLongest = 420000;
constexpr int kOtherTexts = 9;

double now_ms() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The length of a control's text, asked of the control itself (for a
// window of another process GetWindowTextLength reads only the text the
// window was made with).
std::size_t text_length(HWND control) {
    const LRESULT n = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

// A visible window of the process and class, or null.
HWND shown_window_of(DWORD pid, const wchar_t* cls) {
    HWND w = find_window_of(pid, cls);
    return w && IsWindowVisible(w) ? w : nullptr;
}

// The row of the list whose item data is the key, or -1.
int row_of(HWND list, LPARAM key) {
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
        if (SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0) == key) return static_cast<int>(i);
    return -1;
}

// The text of the row with the id in the table of the store's file.
std::string stored_text(const std::wstring& path, const char* table, std::int64_t id) {
    sqlite3* db = nullptr;
    std::string text;
    if (sqlite3_open_v2(to_utf8(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        const std::string sql = std::string("SELECT text FROM ") + table + " WHERE id=?";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_int64(st, 1, id);
            if (sqlite3_step(st) == SQLITE_ROW)
                text.assign(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                            static_cast<std::size_t>(sqlite3_column_bytes(st, 0)));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return text;
}

// How many rows of the store's history hold exactly the text.
int rows_holding(const std::wstring& path, const std::wstring& text) {
    sqlite3* db = nullptr;
    int count = -1;
    if (sqlite3_open_v2(to_utf8(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM history WHERE text=?", -1, &st, nullptr) == SQLITE_OK) {
            const std::string utf8 = to_utf8(text);
            sqlite3_bind_text(st, 1, utf8.c_str(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW) count = sqlite3_column_int(st, 0);
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return count;
}

// What one edit showed and took.
struct EditSeen {
    double shown_ms = -1;    // from Enter on Edit… to the box shown holding the whole text
    double longest_wait = -1;  // the main window's longest wait for an answer meanwhile
    int missed = 0;
    int asked = 0;
    bool typed = false;      // the added character reached the box
    bool closed = false;     // OK closed the box
};

class EditLongText : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(copy_.ok());
        {
            Database db(copy_.database());
            ASSERT_TRUE(db.is_open());
            for (int i = 0; i < kOtherTexts; ++i)
                ASSERT_GT(db.add_text_entry(L"Text " + std::to_wstring(i) + L": " + long_paragraph(380000),
                                            std::nullopt, false, false),
                          0);
            entry_text_ = L"The longest: " + long_paragraph(kLongest);
            entry_id_ = db.add_text_entry(entry_text_, std::nullopt, false, false);
            ASSERT_GT(entry_id_, 0);
            template_text_ = L"A long template: " + long_paragraph(kLongest);
            template_id_ = db.add_snippet(L"Long template", template_text_, L"");
            ASSERT_GT(template_id_, 0);
        }
        ASSERT_TRUE(quillet_.start(copy_.exe(), L"", copy_.path()));
        main_ = main_window_of(quillet_.id(), 60000);
        ASSERT_TRUE(main_) << "no QuilletMain window";
        // Its controls are made after the window itself.
        ASSERT_TRUE(pump_until([&] { return (cards_ = GetDlgItem(main_, kIdCards)) != nullptr; }, 60000));
        // Settled: the first list shown and the window answering.
        ASSERT_TRUE(pump_until([&] { return row_of(cards_, static_cast<LPARAM>(entry_id_)) >= 0; }, 60000));
        AnswerWatch settle(main_);
        pump(1500);
    }

    void TearDown() override {
        if (!main_) return;
        for (const wchar_t* cls : {kMenuClass, kInputBoxClass, kTemplateEditorClass})
            if (HWND w = find_window_of(quillet_.id(), cls)) PostMessageW(w, WM_CLOSE, 0, 0);
        if (quillet_.running()) {
            PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kCmdQuit, 0), 0);
            EXPECT_EQ(quillet_.wait(60000), 0);
        }
    }

    // Opens Edit… on the row of the key from its context menu (a click on
    // the item, whose top edge edit_row_top gives for the menu's
    // rectangle), waits for the box
    // of the class to show `length` characters in its control, types one
    // character at the end (after a click into the text when
    // click_into_text) and presses OK.
    EditSeen edit_row(LPARAM key, const std::function<int(const RECT&)>& edit_row_top, const wchar_t* box_class,
                      int text_id, int ok_id, std::size_t length, bool click_into_text) {
        EditSeen seen;
        const int row = row_of(cards_, key);
        EXPECT_GE(row, 0) << "the row is listed";
        if (row < 0) return seen;
        SendMessageW(cards_, LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
        RECT item{};
        SendMessageW(cards_, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        POINT at{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
        ClientToScreen(cards_, &at);
        SetForegroundWindow(main_);
        gui_test::left_click_at(at);
        pump_until([&] { return SendMessageW(cards_, LB_GETSEL, static_cast<WPARAM>(row), 0) > 0; }, 5000);
        EXPECT_GT(SendMessageW(cards_, LB_GETSEL, static_cast<WPARAM>(row), 0), 0) << "the click selected the row";
        pump(500);
        gui_test::right_click_at(at);
        HWND menu = nullptr;
        pump_until([&] { return (menu = shown_window_of(quillet_.id(), kMenuClass)) != nullptr; }, 10000);
        EXPECT_TRUE(menu) << "no context menu";
        if (!menu) return seen;
        // Edit… clicked in the middle of its row.
        const RECT r = gui_test::window_rect(menu);
        const POINT edit_row{(r.left + r.right) / 2, edit_row_top(r) + kMenuItemHeight / 2};
        gui_test::move_pointer(edit_row);
        pump(300);

        AnswerWatch watch(main_, 20);
        const double asked = now_ms();
        gui_test::left_click_at(edit_row);
        HWND box = nullptr, text = nullptr;
        const bool shown = pump_until(
            [&] {
                box = shown_window_of(quillet_.id(), box_class);
                text = box ? GetDlgItem(box, text_id) : nullptr;
                return text && text_length(text) == length;
            },
            60000);
        if (shown) seen.shown_ms = now_ms() - asked;
        EXPECT_TRUE(shown) << "the box did not show the whole text";
        if (!shown) {
            watch.finish();
            seen.longest_wait = watch.longest();
            seen.missed = watch.missed();
            seen.asked = watch.asked();
            return seen;
        }
        // One character typed at the end of the text with real keys:
        // Ctrl+End, then Q. The input box gives its text the keyboard; in
        // the template editor the name has it and a click goes to the text.
        if (click_into_text) gui_test::left_click_at(gui_test::rect_center(gui_test::window_rect(text)));
        pump_until([&] { return gui_test::focus_of(GetWindowThreadProcessId(text, nullptr)) == text; }, 5000);
        EXPECT_EQ(gui_test::focus_of(GetWindowThreadProcessId(text, nullptr)), text) << "the text has the keyboard";
        gui_test::send_key_chord({VK_CONTROL, VK_END});
        gui_test::send_unicode_char(L'Q');
        seen.typed = pump_until(
            [&] { return text_length(text) == length + 1; }, 30000);
        PostMessageW(GetDlgItem(box, ok_id), BM_CLICK, 0, 0);
        seen.closed = pump_until([&] { return !IsWindow(box); }, 30000);
        // The store's write and the list's refresh after it.
        pump(1500);
        watch.finish();
        seen.longest_wait = watch.longest();
        seen.missed = watch.missed();
        seen.asked = watch.asked();
        return seen;
    }

    void report(const char* what, const EditSeen& seen) {
        std::printf("%s: box shown whole after %.0f ms; main window asked %d times, longest wait %.0f ms\n", what,
                    seen.shown_ms, seen.asked, seen.longest_wait);
        EXPECT_GE(seen.shown_ms, 0.0);
        EXPECT_LT(seen.shown_ms, 1000.0) << "the box shows within a second";
        EXPECT_TRUE(seen.typed);
        EXPECT_TRUE(seen.closed);
        EXPECT_GT(seen.asked, 10);
        EXPECT_EQ(seen.missed, 0);
        EXPECT_LT(seen.longest_wait, kLongestWaitMs) << "the main window answers all the while";
    }

    // Ends the program and reads the row from its store's file: the text.
    void expect_stored_after_quit(const char* table, std::int64_t id, const std::wstring& text) {
        PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kCmdQuit, 0), 0);
        ASSERT_EQ(quillet_.wait(60000), 0);
        const std::string stored = stored_text(copy_.database(), table, id);
        EXPECT_EQ(stored.size(), text.size());
        EXPECT_TRUE(stored == to_utf8(text)) << "the whole text and the character typed";
    }

    // The longest the main window may keep a message waiting.
    static constexpr double kLongestWaitMs = 100.0;

    PortableCopy copy_;
    Process quillet_;
    HWND main_ = nullptr;
    HWND cards_ = nullptr;
    std::wstring entry_text_, template_text_;
    std::int64_t entry_id_ = 0, template_id_ = 0;
};

TEST_F(EditLongText, EditOfTheLongestRowShowsAtOnceAndStoresTheWholeText) {
    // The history menu ends in Edit…, Delete.
    const auto edit_top = [](const RECT& menu) { return menu.bottom - kMenuPadding - 2 * kMenuItemHeight; };
    const EditSeen seen =
        edit_row(static_cast<LPARAM>(entry_id_), edit_top, kInputBoxClass, kInputBoxEdit, kInputBoxOk,
                 entry_text_.size(), false);
    report("Edit of a history row", seen);
    expect_stored_after_quit("history", entry_id_, entry_text_ + L"Q");
}

// Add entry, then Ctrl+V of the longest text, copied by this process:
// the empty box takes the paste whole while the main window answers, and
// the entry is stored with the paste and a character typed after it.
TEST_F(EditLongText, AddEntryTakesAPasteOfALongTextWhileTheProgramAnswers) {
    const std::wstring paste = L"Pasted: " + long_paragraph(kLongest);
    ASSERT_TRUE(winutil::set_clipboard_text(paste));
    AnswerWatch watch(main_, 20);
    SetForegroundWindow(main_);
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kCmdAddEntry, 0), 0);
    HWND box = nullptr, text = nullptr;
    ASSERT_TRUE(pump_until(
        [&] {
            box = shown_window_of(quillet_.id(), kInputBoxClass);
            text = box ? GetDlgItem(box, kInputBoxEdit) : nullptr;
            return text && gui_test::focus_of(GetWindowThreadProcessId(text, nullptr)) == text;
        },
        10000))
        << "the box with the keyboard in its text";
    gui_test::send_key_chord({VK_CONTROL, 'V'});
    const bool pasted = pump_until(
        [&] {
            text = GetDlgItem(box, kInputBoxEdit);
            return text && text_length(text) == paste.size() &&
                   gui_test::focus_of(GetWindowThreadProcessId(text, nullptr)) == text;
        },
        30000);
    EXPECT_TRUE(pasted) << "the whole paste in the box, which has the keyboard";
    gui_test::send_unicode_char(L'Q');
    EXPECT_TRUE(pump_until([&] { return text_length(text) == paste.size() + 1; }, 30000));
    PostMessageW(GetDlgItem(box, kInputBoxOk), BM_CLICK, 0, 0);
    EXPECT_TRUE(pump_until([&] { return !IsWindow(box); }, 30000));
    pump(1500);
    watch.finish();
    std::printf("Add entry with a paste: main window asked %d times, longest wait %.0f ms\n", watch.asked(),
                watch.longest());
    EXPECT_EQ(watch.missed(), 0);
    EXPECT_LT(watch.longest(), kLongestWaitMs) << "the main window answers all the while";
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kCmdQuit, 0), 0);
    ASSERT_EQ(quillet_.wait(60000), 0);
    EXPECT_EQ(rows_holding(copy_.database(), paste + L"Q"), 1) << "the paste and the character typed, stored";
}

TEST_F(EditLongText, TheTemplateEditorShowsALongTemplateAtOnceAndStoresItWhole) {
    PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kCmdSnippetsView, 0), 0);
    ASSERT_TRUE(pump_until([&] { return row_of(cards_, static_cast<LPARAM>(-template_id_)) >= 0; }, 30000));
    pump(1000);
    // The rows of a template's menu as the program builds them.
    const std::vector<PopupMenuItem> items = template_menu_items({}, L"", 1);
    std::size_t edit_index = 0;
    while (edit_index < items.size() && items[edit_index].id != kTemplateMenuEdit) ++edit_index;
    ASSERT_LT(edit_index, items.size());
    const auto edit_top = [&](const RECT& menu) { return menu.top + menu_row_top(items, edit_index); };
    const EditSeen seen = edit_row(static_cast<LPARAM>(-template_id_), edit_top, kTemplateEditorClass, kEditorBody,
                                   kEditorOk, template_text_.size(), true);
    report("Edit of a template", seen);
    expect_stored_after_quit("snippets", template_id_, template_text_ + L"Q");
}

}  // namespace

