// The main window's commands on a real window of a running App: the lists
// filled from the store, the side panel choosing the view (and the capture
// category), the search filtering, and menu commands that pin, delete and
// move categories, checked in the store.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_ids.h"
#include "capture/watcher.h"
#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "ui/cards_list.h"
#include "ui/entry_commands.h"
#include "ui/main_window.h"

namespace {

using namespace app_test;

constexpr int kCmdPin = 1104;
constexpr int kCmdDelete = 1114;
constexpr int kCmdPinCategory = 1203;
constexpr int kCmdCategoryDown = 1205;

// The visible confirmation boxes of a thread.
HWND open_confirm_box(DWORD thread) {
    struct Find {
        HWND found = nullptr;
    } f;
    EnumThreadWindows(
        thread,
        [](HWND w, LPARAM lp) -> BOOL {
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (std::wstring(cls) == L"QuilletConfirmBox" && IsWindowVisible(w)) {
                reinterpret_cast<Find*>(lp)->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

// Presses OK in every confirmation box the thread opens while it lives.
class BoxAnswerer {
public:
    explicit BoxAnswerer(DWORD thread) : thread_([this, thread] {
        while (!done_) {
            if (HWND box = open_confirm_box(thread)) {
                ++answered_;
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, 1)));
                for (int i = 0; i < 250 && IsWindow(box); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }) {}
    ~BoxAnswerer() {
        done_ = true;
        thread_.join();
    }
    int answered() const { return answered_; }

private:
    std::atomic<bool> done_{false};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

bool listed(const std::vector<HistoryEntry>& list, std::int64_t id) {
    for (const HistoryEntry& e : list)
        if (e.id == id) return true;
    return false;
}

int side_row_of_category(const MainWindow& mw, std::int64_t id) {
    const auto& rows = mw.panel.rows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].kind == SideRowKind::Category && rows[i].category_id == id) return static_cast<int>(i);
    return -1;
}

void choose_side_row(HWND window, MainWindow& mw, int row) {
    SendMessageW(mw.side, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(kIdSide, LBN_SELCHANGE), reinterpret_cast<LPARAM>(mw.side));
}

class MainWindowCommands : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.start());
        wnd = run.window();
        ASSERT_TRUE(wnd);
        mw = run.app->main_window.get();
        db = run.app->database.get();
        ASSERT_TRUE(mw && db);
        first = db->add_text_entry(L"first entry", std::nullopt, false, false);
        second = db->add_text_entry(L"second entry", std::nullopt, false, false);
        ASSERT_GT(first, 0);
        ASSERT_GT(second, 0);
        mw->refresh_all();
    }
    void command(int id) { SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    RunningApp run;
    HWND wnd = nullptr;
    MainWindow* mw = nullptr;
    Database* db = nullptr;
    std::int64_t first = 0;
    std::int64_t second = 0;
};

TEST_F(MainWindowCommands, TheListShowsTheStoreAndTheSearchFiltersIt) {
    ASSERT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(list_row_of_key(mw->cards, second), 0) << "the newest entry first";
    EXPECT_EQ(list_row_of_key(mw->cards, first), 1);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(wnd, kIdEmptyHint)));
    // Typing into the search box filters at once (EN_CHANGE).
    SetWindowTextW(mw->search, L"SECOND");
    pump(50);
    ASSERT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(list_row_of_key(mw->cards, second), 0);
    SetWindowTextW(mw->search, L"nothing like this");
    pump(50);
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 0);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(wnd, kIdEmptyHint)));
    SetWindowTextW(mw->search, L"");
    pump(50);
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 2);
    // The card rows are measured by the card layout, the side rows fixed.
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETITEMHEIGHT, 0, 0), 30);
    EXPECT_EQ(SendMessageW(mw->side, LB_GETITEMHEIGHT, 0, 0), 28);
}

TEST_F(MainWindowCommands, PinAndDeleteActOnTheSelectedEntry) {
    ASSERT_TRUE(list_select_entry(mw->cards, first));
    command(kCmdPin);
    std::vector<HistoryEntry> pinned = db->list_entries(L"pinned", false, true);
    EXPECT_TRUE(listed(pinned, first));
    EXPECT_FALSE(listed(pinned, second));
    // The list was refreshed: the pinned entry leads it now.
    EXPECT_EQ(list_row_of_key(mw->cards, first), 0);

    ASSERT_TRUE(list_select_entry(mw->cards, second));
    {
        BoxAnswerer answer(GetCurrentThreadId());
        command(kCmdDelete);
        pump(100);
        EXPECT_EQ(answer.answered(), 1) << "deleting asks first";
    }
    EXPECT_TRUE(listed(db->list_entries(L"trash", false, true), second));
    EXPECT_FALSE(listed(db->list_entries(L"all", false, true), second));
    EXPECT_EQ(list_row_of_key(mw->cards, second), -1) << "the deleted entry left the list";
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 1);
}

TEST_F(MainWindowCommands, SideRowsChooseTheViewAndTheCaptureCategory) {
    std::int64_t work = db->add_category(L"Work");
    ASSERT_GT(work, 0);
    mw->refresh_all();
    const int row = side_row_of_category(*mw, work);
    ASSERT_GE(row, 0);
    choose_side_row(wnd, *mw, row);
    EXPECT_EQ(mw->view_kind, kViewCategory);
    EXPECT_EQ(mw->category_id, work);
    ASSERT_TRUE(run.app->capture_category.has_value());
    EXPECT_EQ(*run.app->capture_category, work);
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 0) << "the new category holds nothing";
    // Back to every entry: the capture category is cleared.
    choose_side_row(wnd, *mw, 0);
    EXPECT_EQ(mw->view_kind, kViewAll);
    EXPECT_FALSE(run.app->capture_category.has_value());
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 2);
}

// A group row chosen in the side panel stays selected, so the arrow keys go
// on from it; the templates of every group select the templates row.
TEST_F(MainWindowCommands, AChosenGroupRowStaysSelected) {
    run.app->settings->snippet_panel_collapsed = false;
    mw->refresh_all();
    const auto& rows = mw->panel.rows();
    int group = -1, node = -1;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].kind == SideRowKind::TemplateGroup && group < 0) group = static_cast<int>(i);
        if (rows[i].kind == SideRowKind::TemplatesNode) node = static_cast<int>(i);
    }
    ASSERT_GE(group, 0) << "the store seeds template groups";
    ASSERT_GE(node, 0);
    choose_side_row(wnd, *mw, group);
    EXPECT_TRUE(mw->templates_mode);
    EXPECT_EQ(mw->group_filter, rows[static_cast<size_t>(group)].group_name);
    EXPECT_EQ(SendMessageW(mw->side, LB_GETCURSEL, 0, 0), group);
    mw->show_templates();
    EXPECT_EQ(SendMessageW(mw->side, LB_GETCURSEL, 0, 0), node);
}

// The total label is as wide as its text: a count that gains a digit
// widens it at once.
TEST_F(MainWindowCommands, TheTotalLabelGrowsWithItsText) {
    HWND label = GetDlgItem(wnd, kIdTotalLabel);
    auto width = [&] {
        RECT rc{};
        GetWindowRect(label, &rc);
        return rc.right - rc.left;
    };
    EXPECT_EQ(get_dlg_item_text(wnd, kIdTotalLabel), total_label_text(2));
    const int narrow = width();
    for (int i = 0; i < 9; ++i) db->add_text_entry(L"more entry " + std::to_wstring(i), std::nullopt, false, false);
    mw->refresh_view(true);
    EXPECT_EQ(get_dlg_item_text(wnd, kIdTotalLabel), total_label_text(11));
    EXPECT_GT(width(), narrow);
}

// Click-to-copy waits 250 ms for a second click; a wheel turn or another
// button's press in that time cancels it.
TEST_F(MainWindowCommands, ClickToCopyIsCancelledByTheWheelAndOtherClicks) {
    run.app->settings->click_to_copy = true;
    // The test's own clipboard writes are not to be recorded (a capture
    // refreshes the list, which cancels a pending copy too).
    run.app->watcher->set_enabled(false);
    RECT row{};
    SendMessageW(mw->cards, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    const LPARAM at = MAKELPARAM(row.left + 40, row.top + 10);
    POINT screen{row.left + 40, row.top + 10};
    ClientToScreen(mw->cards, &screen);
    auto press = [&] {
        SendMessageW(mw->cards, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(mw->cards, WM_LBUTTONUP, 0, at);
    };
    struct Case {
        const char* what;
        std::function<void()> then;
        bool copied;
    } cases[] = {
        {"nothing else", [] {}, true},
        {"a wheel turn over the list",
         [&] { SendMessageW(mw->cards, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(screen.x, screen.y)); }, false},
        {"a wheel turn elsewhere",
         [&] { SendMessageW(wnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(0, 0)); }, false},
        {"a right click", [&] { SendMessageW(mw->cards, WM_RBUTTONDOWN, MK_RBUTTON, at); }, false},
        {"a press in the side panel", [&] { SendMessageW(mw->side, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)); },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(winutil::set_clipboard_text(L"before"));
        press();
        c.then();
        pump(450);

        EXPECT_EQ(winutil::get_clipboard_text(), c.copied ? std::wstring(L"second entry") : std::wstring(L"before"));
        SendMessageW(mw->side, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        mw->set_view(kViewAll, -1);
    }
}

TEST_F(MainWindowCommands, CategoryCommandsMoveAndPinTheSelectedCategory) {
    std::int64_t a = db->add_category(L"Alpha");
    std::int64_t b = db->add_category(L"Beta");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    mw->refresh_all();
    choose_side_row(wnd, *mw, side_row_of_category(*mw, a));
    ASSERT_EQ(mw->selected_category_id(), a);
    command(kCmdCategoryDown);
    std::vector<Category> cats = db->list_categories();
    ASSERT_EQ(cats.size(), 2u);
    EXPECT_EQ(cats[0].id, b);
    EXPECT_EQ(cats[1].id, a);
    // The side panel was rebuilt in the new order and keeps the category selected.
    EXPECT_LT(side_row_of_category(*mw, b), side_row_of_category(*mw, a));
    EXPECT_EQ(mw->selected_category_id(), a);
    command(kCmdPinCategory);
    for (const Category& c : db->list_categories()) EXPECT_EQ(c.pinned, c.id == a) << c.id;
}

TEST_F(MainWindowCommands, EmptyTrashAsksAndEmptiesIt) {
    ASSERT_TRUE(db->trash_entry(first));
    mw->refresh_all();
    choose_side_row(wnd, *mw, static_cast<int>(side_selection_row(mw->panel.rows(), ListView{false, kViewTrash, -1, L""})));
    ASSERT_TRUE(mw->trash_view);
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 1);
    {
        BoxAnswerer answer(GetCurrentThreadId());
        mw->empty_trash();
        EXPECT_EQ(answer.answered(), 1);
    }
    EXPECT_TRUE(db->list_entries(L"trash", false, true).empty());
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 0);
}

}  // namespace
