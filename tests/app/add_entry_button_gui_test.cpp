// The toolbar's add-entry button on a running App: enabled exactly in the
// views that take a new entry (where the edit menu's "Add entry" is), so a
// real click on it opens the new entry's box there and nothing can be
// clicked where it would add nothing; disabled, it is painted with a grey
// glyph and no hover shape, in both themes.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/app.h"
#include "app/app_ids.h"
#include "core/settings.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/app/ui_driver.h"
#include "tests/theme/gui_support.h"
#include "ui/main_window.h"
#include "ui/menu_bar.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using namespace app_test;
using namespace ui_driver;

constexpr wchar_t kGroup[] = L"Greetings";

// The button as it paints itself (its own WM_PRINTCLIENT painter).
gui_test::Pixels render(HWND button) {
    RECT rc{};
    GetClientRect(button, &rc);
    gui_test::Canvas canvas(rc.right, rc.bottom);
    canvas.fill(RGB(255, 0, 255));
    SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    return canvas.pixels();
}

bool same_pixels(const gui_test::Pixels& a, const gui_test::Pixels& b) {
    return a.width == b.width && a.height == b.height && a.bgra == b.bgra;
}

// Pixels of the colour; the colour's pixels are where the glyph was drawn.
int count_color(const gui_test::Pixels& p, COLORREF color) {
    int n = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.at(x, y) == color) ++n;
    return n;
}

// Counts and cancels every input box the thread opens while it lives.
class InputBoxWatch {
public:
    explicit InputBoxWatch(DWORD ui) : thread_([this, ui] {
        while (!stop_) {
            if (HWND box = newest_window(ui, kInputBoxClass)) {
                ++boxes_;
                press_button(GetDlgItem(box, 2));
                wait_gone(box);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }) {}
    ~InputBoxWatch() {
        stop_ = true;
        thread_.join();
    }
    int boxes() const { return boxes_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> boxes_{0};
    std::thread thread_;
};

class AddEntryButton : public testing::Test {
protected:
    void SetUp() override { start({}); }
    void TearDown() override { run.reset(); }

    void start(const std::function<void(Settings&)>& tweak) {
        run = std::make_unique<RunningApp>([tweak](Settings& s) {
            s.watch_clipboard = false;
            s.snippet_panel_collapsed = false;
            if (tweak) tweak(s);
        });
        ASSERT_TRUE(run->start());
        wnd = run->window();
        mw = run->app->main_window.get();
        db = run->app->database.get();
        ASSERT_TRUE(wnd && mw && db);
        button = GetDlgItem(wnd, kIdAddEntry);
        ASSERT_TRUE(button);
        SetWindowPos(wnd, HWND_TOPMOST, 20, 20, 640, 480, SWP_SHOWWINDOW);
        SetForegroundWindow(wnd);
        pointer_away();
        pump(200);
    }
    void pointer_away() {
        gui_test::move_pointer(POINT{GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2});
        pump(100);
    }
    void select_category(std::int64_t id) {
        ASSERT_TRUE(choose_side_category(*mw, id));
        ASSERT_EQ(mw->selected_category_id(), id);
    }
    bool enabled() const { return IsWindowEnabled(button) != FALSE; }
    POINT center() const { return gui_test::rect_center(gui_test::window_rect(button)); }

    std::unique_ptr<RunningApp> run;
    HWND wnd = nullptr;
    MainWindow* mw = nullptr;
    Database* db = nullptr;
    HWND button = nullptr;
};

// Every way to another view leaves the button as the menu item is: the
// side panel's rows, the view commands, the templates and a template group.
TEST_F(AddEntryButton, IsEnabledExactlyWhereTheMenuItemIs) {
    const std::int64_t alpha = db->add_category(L"Alpha");
    ASSERT_GT(alpha, 0);
    ASSERT_TRUE(db->add_snippet_group(kGroup));
    ASSERT_GT(db->add_snippet(L"Hello", L"Hello there", kGroup), 0);
    mw->refresh_all();
    struct Case {
        const char* view;
        std::function<void()> show;
        bool enabled;
    } cases[] = {
        {"all", [&] { mw->set_view(kViewAll, -1); }, true},
        {"trash", [&] { mw->set_view(kViewTrash, -1); }, false},
        {"pinned", [&] { mw->set_view(kViewPinned, -1); }, true},
        {"images", [&] { mw->show_images(); }, false},
        {"slots", [&] { mw->set_view(kViewSlots, -1); }, true},
        {"templates", [&] { mw->show_templates(); }, false},
        {"uncategorised", [&] { mw->set_view(kViewNone, -1); }, true},
        {"a template group", [&] { mw->show_template_group(kGroup); }, false},
        {"a category", [&] { select_category(alpha); }, true},
        {"a category view without a category", [&] { mw->set_view(kViewCategory, -1); }, false},
        {"all again", [&] { mw->set_view(kViewAll, -1); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        c.show();
        pump(50);
        EXPECT_EQ(mw->menu_bar_state().can_add_entry, c.enabled);
        EXPECT_EQ(enabled(), c.enabled);
    }
}

// The button a click left the focus on hands it to the cards list when it
// is disabled, so the keys still reach the window.
TEST_F(AddEntryButton, DisablingTheFocusedButtonMovesTheFocusToTheList) {
    ASSERT_GT(db->add_text_entry(L"an entry", std::nullopt, false, false), 0);
    mw->set_view(kViewAll, -1);
    pump(50);
    SetFocus(button);
    ASSERT_EQ(GetFocus(), button);
    mw->set_view(kViewTrash, -1);
    pump(50);
    EXPECT_FALSE(enabled());
    EXPECT_EQ(GetFocus(), mw->cards);
}

// The view the window starts in is the one it was left in.
TEST_F(AddEntryButton, FollowsTheViewRestoredAtStart) {
    struct Case {
        const char* view;
        std::function<void(Settings&)> tweak;
        bool enabled;
    } cases[] = {
        {"templates", [](Settings& s) { s.last_view_templates = true; }, false},
        {"trash", [](Settings& s) { s.last_view_filter = kViewTrash; }, false},
        {"pinned", [](Settings& s) { s.last_view_filter = kViewPinned; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        run.reset();
        start(c.tweak);
        EXPECT_EQ(mw->menu_bar_state().can_add_entry, c.enabled);
        EXPECT_EQ(enabled(), c.enabled);
    }
}

// A real click at the button's middle: in the "all" view it opens the box
// whose text becomes the new entry; in the templates and trash views the
// disabled button takes no click and nothing opens.
TEST_F(AddEntryButton, ARealClickOpensTheNewEntryBoxOnlyWhereItIsEnabled) {
    const DWORD ui = GetCurrentThreadId();
    mw->set_view(kViewAll, -1);
    pump(50);
    ASSERT_TRUE(enabled());
    const std::int64_t before = db->count_entries();
    EXPECT_TRUE(run_with_steps(ui, {input_answer(L"added by a click")}, [&] { gui_test::left_click_at(center()); }));
    EXPECT_EQ(db->count_entries(), before + 1);
    bool added = false;
    for (const HistoryEntry& e : db->list_entries(L"everything", false, false)) added = added || e.text == L"added by a click";
    EXPECT_TRUE(added);

    for (const char* view : {"templates", "trash"}) {
        SCOPED_TRACE(view);
        if (std::string(view) == "templates")
            mw->show_templates();
        else
            mw->set_view(kViewTrash, -1);
        pump(50);
        ASSERT_FALSE(enabled());
        InputBoxWatch watch(ui);
        gui_test::left_click_at(center());
        pump(1500);
        POINT at{};
        GetCursorPos(&at);
        EXPECT_EQ(at.x, center().x) << "the pointer was over the button";
        EXPECT_EQ(watch.boxes(), 0);
        EXPECT_EQ(db->count_entries(), before + 1);
    }
    // Back in a view that takes an entry the button answers again.
    mw->set_view(kViewPinned, -1);
    pump(50);
    ASSERT_TRUE(enabled());
    {
        InputBoxWatch watch(ui);
        gui_test::left_click_at(center());
        pump_until([&] { return watch.boxes() > 0; }, 10000);
        EXPECT_EQ(watch.boxes(), 1);
    }
    pointer_away();
}

// Disabled, the glyph is grey and the pointer over the button draws no
// hover shape; enabled again it is painted as before.
TEST_F(AddEntryButton, ADisabledButtonIsPaintedDisabledInBothThemes) {
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        run->app->apply_dark_mode(dark);
        mw->set_view(kViewAll, -1);
        pointer_away();
        const COLORREF background = dark ? 0x202020 : 0xF3F3F3;
        const COLORREF hover = dark ? 0x2B2B2B : 0xE9E9E9;
        const gui_test::Pixels normal = render(button);
        // A pixel inside the hover shape that no glyph covers.
        const POINT corner{4, normal.height / 2};
        EXPECT_EQ(normal.at(corner.x, corner.y), background);

        gui_test::move_pointer(center());
        pump_until([&] { return mw->hovered_button == button; }, 3000);
        ASSERT_EQ(mw->hovered_button, button);
        const gui_test::Pixels hovered = render(button);
        EXPECT_EQ(hovered.at(corner.x, corner.y), hover);

        // The pointer stays over the button while the view changes.
        mw->show_templates();
        pump(300);
        ASSERT_FALSE(enabled());
        const gui_test::Pixels disabled = render(button);
        EXPECT_EQ(disabled.at(corner.x, corner.y), background) << "no hover shape";
        EXPECT_FALSE(same_pixels(disabled, normal));
        const COLORREF glyph = toolbar_glyph_color(kIdAddEntry, dark);
        const COLORREF grey = toolbar_disabled_glyph_color(dark);
        const int glyph_pixels = count_color(normal, glyph);
        std::printf("%s: %d glyph pixels of 0x%06lX; disabled 0x%06lX\n", dark ? "dark" : "light", glyph_pixels,
                    static_cast<unsigned long>(glyph), static_cast<unsigned long>(grey));
        EXPECT_GT(glyph_pixels, 0) << "the enabled glyph in its colour";
        EXPECT_EQ(count_color(disabled, glyph), 0) << "no pixel in the enabled colour";
        EXPECT_EQ(count_color(disabled, grey), glyph_pixels) << "the same glyph, grey";
        {
            const gui_test::Pixels shown = gui_test::grab_screen(gui_test::window_rect(button));
            EXPECT_TRUE(same_pixels(shown, disabled)) << "the screen shows the disabled button";
        }
        pump(100);
        gui_test::save_png(gui_test::grab_painted_window(wnd),
                           gui_test::exe_dir() + (dark ? L"\\add_entry_disabled_dark.png" : L"\\add_entry_disabled_light.png"));

        mw->set_view(kViewAll, -1);
        pointer_away();
        ASSERT_TRUE(enabled());
        EXPECT_TRUE(same_pixels(render(button), normal));
        gui_test::save_png(gui_test::grab_painted_window(wnd),
                           gui_test::exe_dir() + (dark ? L"\\add_entry_enabled_dark.png" : L"\\add_entry_enabled_light.png"));
    }
}

}  // namespace
