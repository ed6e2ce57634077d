// The texts of the menus and boxes a running App shows, with English
// loaded: every context menu of the side panel and the cards list opened
// with a right click on each row kind of each view (one row, several rows,
// the empty area), the tray menu, the main window's own labels and
// tooltips, and the confirmation, message and input boxes of its commands. The menu's items (submenus
// included) and the box's title, text and buttons are read while they are
// open; none may be empty or show a language key instead of its text.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_ids.h"
#include "core/i18n.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/theme/gui_support.h"
#include "tests/app/menu_labels.h"
#include "ui/cards_list.h"
#include "ui/main_window.h"
#include "ui/popup_menu.h"
#include "ui/side_panel.h"

namespace {

using gui_test::text_of;

using namespace app_test;
using menu_labels::looks_like_key;
using menu_labels::untranslated;

constexpr const wchar_t* kMenuClass = L"QuilletPopupMenu";
constexpr const wchar_t* kConfirmClass = L"QuilletConfirmBox";
constexpr const wchar_t* kInputClass = L"QuilletInputBox";
constexpr const wchar_t* kInspectorClass = L"QuilletTestInspector";
constexpr UINT kInspect = WM_APP + 77;

// What was open while an action ran: each menu's items and each box's texts.
struct BoxTexts {
    std::wstring cls;
    std::wstring title;
    std::vector<std::wstring> texts;  // the static texts and buttons, the edit left out
};
struct Seen {
    std::vector<std::vector<PopupMenuItem>> menus;
    std::vector<BoxTexts> boxes;
};

Seen* g_seen = nullptr;
// When set, an input box is answered with this text and OK instead of
// being cancelled.
const std::wstring* g_input_answer = nullptr;

std::wstring class_of(HWND w) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    return cls;
}

BOOL CALLBACK collect_child(HWND child, LPARAM lp) {
    if (_wcsicmp(class_of(child).c_str(), L"Edit") != 0) reinterpret_cast<BoxTexts*>(lp)->texts.push_back(text_of(child));
    return TRUE;
}

// Runs on the interface thread, inside the menu's or the box's own loop:
// reads what the window shows, then closes it without a choice (Esc for a
// menu, the close command, which is Cancel, for a box).
void inspect(HWND w) {
    if (!g_seen || !IsWindow(w)) return;
    const std::wstring cls = class_of(w);
    if (cls == kMenuClass) {
        const auto* level = reinterpret_cast<const PopupMenuLevel*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (level && level->items) g_seen->menus.push_back(*level->items);
        PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0);
        return;
    }
    BoxTexts box;
    box.cls = cls;
    box.title = text_of(w);
    EnumChildWindows(w, collect_child, reinterpret_cast<LPARAM>(&box));
    g_seen->boxes.push_back(box);
    if (cls == kInputClass && g_input_answer) {
        SetWindowTextW(GetDlgItem(w, 100), g_input_answer->c_str());
        PostMessageW(w, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(w, 1)));
        return;
    }
    PostMessageW(w, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK inspector_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kInspect) {
        inspect(reinterpret_cast<HWND>(lp));
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

// A visible menu or box of the thread.
HWND open_menu_or_box(DWORD thread) {
    HWND found = nullptr;
    EnumThreadWindows(
        thread,
        [](HWND w, LPARAM lp) -> BOOL {
            const std::wstring cls = class_of(w);
            if ((cls == kMenuClass || cls == kConfirmClass || cls == kInputClass) && IsWindowVisible(w)) {
                *reinterpret_cast<HWND*>(lp) = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// While it lives, hands every menu and box the thread opens to the
// inspector window, whose messages the open window's loop dispatches.
class Watcher {
public:
    Watcher(DWORD thread, HWND inspector)
        : thread_([this, thread, inspector] {
              while (!done_) {
                  if (HWND open = open_menu_or_box(thread)) {
                      PostMessageW(inspector, kInspect, 0, reinterpret_cast<LPARAM>(open));
                      for (int i = 0; i < 250 && IsWindow(open) && IsWindowVisible(open); ++i)
                          std::this_thread::sleep_for(std::chrono::milliseconds(20));
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ~Watcher() {
        done_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

POINT row_center(HWND list, int row) {
    RECT rc{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rc));
    POINT p{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ClientToScreen(list, &p);
    return p;
}

// A point of the list below its last row; false when the rows fill it.
bool empty_area(HWND list, POINT& screen) {
    RECT client{};
    GetClientRect(list, &client);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    int bottom = 0;
    if (count > 0) {
        RECT last{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(count - 1), reinterpret_cast<LPARAM>(&last));
        bottom = last.bottom;
    }
    if (client.bottom - bottom < 12) return false;
    screen = POINT{client.right / 2, client.bottom - 6};
    ClientToScreen(list, &screen);
    return true;
}

class MenuTexts : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.start());
        wnd = run.window();
        ASSERT_TRUE(wnd);
        mw = run.app->main_window.get();
        db = run.app->database.get();
        ASSERT_TRUE(mw && db);
        ASSERT_EQ(current_language(), L"en");
        ASSERT_NE(tr(L"action.delete"), L"action.delete") << "lang\\en.ini was not found beside the test";
        // The whole window on the screen, so the pointer can reach every row.
        SetWindowPos(wnd, HWND_TOP, 0, 0, 900, 700, SWP_SHOWWINDOW);
        pump(50);

        WNDCLASSW wc{};
        wc.lpfnWndProc = inspector_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kInspectorClass;
        RegisterClassW(&wc);
        inspector = CreateWindowExW(0, kInspectorClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(inspector);
    }
    void TearDown() override {
        if (inspector) DestroyWindow(inspector);
    }

    // What opened while the action ran.
    Seen while_running(const std::function<void()>& action) {
        Seen seen;
        g_seen = &seen;
        {
            Watcher watcher(GetCurrentThreadId(), inspector);
            action();
            pump(30);
        }
        g_seen = nullptr;
        return seen;
    }

    Seen right_click(HWND list, POINT screen) {
        SetCursorPos(screen.x, screen.y);
        POINT now{};
        GetCursorPos(&now);
        EXPECT_EQ(now.x, screen.x);
        EXPECT_EQ(now.y, screen.y);
        return while_running([&] {
            SendMessageW(wnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(screen.x, screen.y));
        });
    }

    void choose_side_row(int row) {
        SendMessageW(mw->side, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
        SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kIdSide, LBN_SELCHANGE), reinterpret_cast<LPARAM>(mw->side));
        pump(30);
    }

    int side_row_of(SideRowKind kind, int view_kind = -1) const {
        const auto& rows = mw->panel.rows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].kind == kind && (view_kind < 0 || rows[i].view_kind == view_kind)) return static_cast<int>(i);
        return -1;
    }

    // Every menu seen has a real text on every item; returns how many were seen.
    size_t check_menus(const Seen& seen, const std::string& where) {
        for (const auto& items : seen.menus) {
            EXPECT_FALSE(items.empty()) << where;
            EXPECT_EQ(untranslated(items, where), std::vector<std::string>{});
        }
        EXPECT_TRUE(seen.boxes.empty()) << where;
        return seen.menus.size();
    }

    // The boxes seen, as many as expected, and the title, text and buttons
    // of each are real texts.
    void check_boxes(const Seen& seen, size_t expected, const std::string& where) {
        EXPECT_TRUE(seen.menus.empty()) << where;
        ASSERT_EQ(seen.boxes.size(), expected) << where << ": not every box opened";
        for (const BoxTexts& box : seen.boxes) {
            EXPECT_FALSE(box.title.empty()) << where;
            EXPECT_FALSE(looks_like_key(box.title)) << where << ": title " << to_utf8(box.title);
            int filled = 0;
            for (const std::wstring& text : box.texts) {
                EXPECT_FALSE(looks_like_key(text)) << where << ": " << to_utf8(text);
                if (!text.empty()) ++filled;
            }
            // The icon or prompt, the text and at least one button.
            EXPECT_GE(filled, 2) << where;
        }
    }
    void check_one_box(const Seen& seen, const std::string& where) { check_boxes(seen, 1, where); }

    // What opened while the action ran, input boxes answered with the text.
    Seen answering(const std::wstring& answer, const std::function<void()>& action) {
        g_input_answer = &answer;
        Seen seen = while_running(action);
        g_input_answer = nullptr;
        return seen;
    }

    void add_entries() {
        notes = db->add_category(L"Notes");
        ASSERT_GT(notes, 0);
        first = db->add_text_entry(L"first entry", std::nullopt, false, false);
        second = db->add_text_entry(L"second entry", notes, false, false);
        pinned = db->add_text_entry(L"pinned entry", std::nullopt, true, true);
        const std::int64_t gone = db->add_text_entry(L"thrown away", std::nullopt, false, false);
        const std::int64_t gone2 = db->add_text_entry(L"thrown away too", std::nullopt, false, false);
        ASSERT_TRUE(first > 0 && second > 0 && pinned > 0 && gone > 0 && gone2 > 0);
        ASSERT_TRUE(db->trash_entry(gone));
        ASSERT_TRUE(db->trash_entry(gone2));
        ASSERT_GT(db->add_snippet(L"Loose template", L"text without a group", L""), 0);
        run.app->settings->snippet_panel_collapsed = false;
        mw->refresh_all();
        pump(30);
    }

    RunningApp run;
    HWND wnd = nullptr;
    HWND inspector = nullptr;
    MainWindow* mw = nullptr;
    Database* db = nullptr;
    std::int64_t notes = 0, first = 0, second = 0, pinned = 0;
};

TEST_F(MenuTexts, EveryContextMenuOfEveryViewShowsRealTexts) {
    add_entries();
    const size_t rows = mw->panel.rows().size();
    bool saw[5] = {};
    int side_menus = 0, card_menus = 0;
    for (size_t i = 0; i < rows; ++i) {
        choose_side_row(static_cast<int>(i));
        ASSERT_LT(i, mw->panel.rows().size());
        const SidePanelRow row = mw->panel.rows()[i];
        saw[static_cast<int>(row.kind)] = true;
        const std::string where = "side row " + to_utf8(row.text);

        // The side row's own menu: none for the plain views but the trash.
        const size_t side = check_menus(right_click(mw->side, row_center(mw->side, static_cast<int>(i))), where);
        const bool side_has_menu = row.kind != SideRowKind::View || row.view_kind == kViewTrash;
        EXPECT_EQ(side, side_has_menu ? 1u : 0u) << where;
        side_menus += static_cast<int>(side);

        // One row at a time, the first few rows of the view.
        const int count = static_cast<int>(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0));
        for (int r = 0; r < count && r < 4; ++r) {
            SendMessageW(mw->cards, LB_SETSEL, FALSE, -1);
            const size_t n = check_menus(right_click(mw->cards, row_center(mw->cards, r)),
                                         where + ", card " + std::to_string(r));
            EXPECT_EQ(n, 1u) << where << ", card " << r;
            card_menus += static_cast<int>(n);
        }
        // Every row selected.
        if (count >= 2) {
            SendMessageW(mw->cards, LB_SETSEL, TRUE, -1);
            const size_t n = check_menus(right_click(mw->cards, row_center(mw->cards, count - 1)), where + ", all cards");
            EXPECT_EQ(n, 1u) << where << ", all cards";
            card_menus += static_cast<int>(n);
        }
        // The empty area below the rows.
        POINT below{};
        if (empty_area(mw->cards, below)) {
            const size_t n = check_menus(right_click(mw->cards, below), where + ", empty area");
            const bool expected = !(row.kind == SideRowKind::View && row.view_kind == kViewImages);
            EXPECT_EQ(n, expected ? 1u : 0u) << where << ", empty area";
            card_menus += static_cast<int>(n);
        }
    }
    for (bool s : saw) EXPECT_TRUE(s) << "a kind of side row is missing from the panel";
    EXPECT_GE(side_menus, 5);
    EXPECT_GE(card_menus, 20);
}

// The window's own texts: its title, the menu-bar buttons, every control,
// the toolbar's tooltips and the side panel's rows.
TEST_F(MenuTexts, TheMainWindowShowsRealTexts) {
    add_entries();
    std::vector<std::pair<std::string, std::wstring>> texts;
    texts.emplace_back("title", text_of(wnd));
    for (HWND b : mw->menu_buttons) texts.emplace_back("menu button", text_of(b));
    EXPECT_EQ(mw->menu_buttons.size(), 6u);
    for (const auto& [button, tip] : mw->tooltip_texts) texts.emplace_back("tooltip", tip);
    EXPECT_FALSE(mw->tooltip_texts.empty());
    for (const SidePanelRow& row : mw->panel.rows()) texts.emplace_back("side row", side_row_label(row.text));
    std::vector<HWND> children;
    EnumChildWindows(
        wnd,
        [](HWND w, LPARAM lp) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    for (HWND child : children)
        if (_wcsicmp(class_of(child).c_str(), L"Edit") != 0) texts.emplace_back(to_utf8(class_of(child)), text_of(child));
    for (const auto& [what, text] : texts)
        EXPECT_FALSE(looks_like_key(text)) << what << ": " << to_utf8(text);
    for (HWND b : mw->menu_buttons) EXPECT_FALSE(text_of(b).empty());
    EXPECT_EQ(text_of(mw->menu_buttons.front()), L"File");
}

TEST_F(MenuTexts, TheTrayMenuShowsRealTexts) {
    Seen seen = while_running([&] { SendMessageW(wnd, WM_TRAYICON, 0, WM_RBUTTONUP); });
    EXPECT_EQ(check_menus(seen, "tray"), 1u);
    ASSERT_EQ(seen.menus.size(), 1u);
    EXPECT_EQ(seen.menus[0].front().label, L"Open history");
}

TEST_F(MenuTexts, EveryBoxOfTheMainWindowShowsRealTexts) {
    // Before there is any category: a message says so.
    const std::int64_t lone = db->add_text_entry(L"lone entry", std::nullopt, false, false);
    ASSERT_GT(lone, 0);
    mw->refresh_all();
    ASSERT_TRUE(list_select_entry(mw->cards, lone));
    check_one_box(while_running([&] { mw->show_to_category_menu(); }), "no categories");

    add_entries();
    choose_side_row(0);
    ASSERT_TRUE(list_select_entry(mw->cards, first));
    check_one_box(while_running([&] { mw->delete_selected(); }), "delete entry");
    ASSERT_TRUE(list_select_entry(mw->cards, first));
    check_one_box(while_running([&] { mw->edit_selected(); }), "edit entry");
    check_one_box(while_running([&] { mw->new_entry_in_current_view(); }), "new entry");
    check_one_box(while_running([&] { run.app->clear_history(); }), "clear history");
    check_one_box(while_running([&] { mw->new_category(); }), "new category");
    {
        ASSERT_TRUE(list_select_entry(mw->cards, first));
        Seen seen = while_running([&] { mw->show_to_category_menu(); });
        EXPECT_EQ(check_menus(seen, "to category"), 1u);
    }

    const int category = side_row_of(SideRowKind::Category);
    ASSERT_GE(category, 0);
    choose_side_row(category);
    check_one_box(while_running([&] { mw->rename_category(); }), "rename category");
    check_one_box(while_running([&] { mw->delete_category(); }), "delete category");
    check_one_box(while_running([&] { mw->delete_category_with_entries(); }), "delete category with entries");

    check_one_box(while_running([&] { mw->empty_trash(); }), "empty trash");
    const int trash = side_row_of(SideRowKind::View, kViewTrash);
    ASSERT_GE(trash, 0);
    choose_side_row(trash);
    ASSERT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 2);
    SendMessageW(mw->cards, LB_SETSEL, FALSE, -1);
    SendMessageW(mw->cards, LB_SETSEL, TRUE, 0);
    check_one_box(while_running([&] { mw->delete_selected(); }), "delete one entry for good");
    SendMessageW(mw->cards, LB_SETSEL, TRUE, -1);
    check_one_box(while_running([&] { mw->delete_forever_selected(); }), "delete entries for good");

    const std::vector<std::wstring> groups = db->list_snippet_groups();
    ASSERT_FALSE(groups.empty()) << "the store seeds template groups";
    check_one_box(while_running([&] { mw->new_template_group(); }), "new group");
    check_one_box(while_running([&] { mw->rename_template_group(groups.front()); }), "rename group");
    check_one_box(while_running([&] { mw->delete_template_group(groups.front()); }), "delete group");
    // The messages that answer a name the store cannot take.
    ASSERT_GE(groups.size(), 2u);
    const struct {
        std::wstring answer;
        bool rename;
        const wchar_t* message;
    } names[] = {
        {L"   ", false, L"message.enter_name"},
        {groups[1], false, L"message.dup_group"},
        {groups[1], true, L"message.dup_group2"},
    };
    for (const auto& n : names) {
        Seen seen = answering(n.answer, [&] {
            if (n.rename)
                mw->rename_template_group(groups[0]);
            else
                mw->new_template_group();
        });
        check_boxes(seen, 2, to_utf8(n.message));
        if (seen.boxes.size() == 2) {
            const auto& texts = seen.boxes[1].texts;
            EXPECT_NE(std::find(texts.begin(), texts.end(), tr(n.message)), texts.end()) << to_utf8(n.message);
        }
    }

    const int ungrouped = side_row_of(SideRowKind::Ungrouped);
    ASSERT_GE(ungrouped, 0);
    choose_side_row(ungrouped);
    ASSERT_TRUE(mw->templates_mode);
    int template_row = -1;
    const int count = static_cast<int>(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0));
    for (int r = 0; r < count && template_row < 0; ++r)
        if (is_template_key(static_cast<std::int64_t>(SendMessageW(mw->cards, LB_GETITEMDATA, r, 0)))) template_row = r;
    ASSERT_GE(template_row, 0);
    SendMessageW(mw->cards, LB_SETSEL, FALSE, -1);
    SendMessageW(mw->cards, LB_SETSEL, TRUE, template_row);
    check_one_box(while_running([&] { mw->delete_selected(); }), "delete template");

    // Every box was cancelled: nothing was deleted.
    EXPECT_EQ(db->list_categories().size(), 1u);
    EXPECT_EQ(db->list_entries(L"trash", false, true).size(), 2u);
    EXPECT_EQ(db->list_snippet_groups(), groups);
}

}  // namespace
