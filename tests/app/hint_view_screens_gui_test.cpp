// Pictures of the entry hint (a text entry from a web page and an image
// entry) and of the view window (text and image) in both themes, written as
// PNG files into the build folder for a look by eye, with the checks that
// can be made on them: the panel and window colours of the theme, and the
// picture's frame where it should be.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <thread>

#include "capture/image.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/app/view_test_images.h"
#include "tests/theme/gui_support.h"
#include "ui/cards_list.h"
#include "ui/dialogs/view_dialog.h"
#include "ui/entry_hint.h"
#include "ui/main_window.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using namespace app_test;

void save(const Capture& c, const std::wstring& name) {
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(winutil::encode_bgra_png(c.pixels.data(), static_cast<std::uint32_t>(c.width),
                                         static_cast<std::uint32_t>(c.height), png));
    EXPECT_TRUE(test_support::write_file(own_exe_dir() + L"\\..\\" + name + L".png", std::string(png.begin(), png.end())));
}

const wchar_t* theme_name(bool dark) { return dark ? L"dark" : L"light"; }

// The view window of the entry, photographed once it has painted, with
// its window and client rectangles on the screen.
struct ViewShot {
    Capture shot;
    RECT window{};
    RECT client{};
    // A client point's pixel.
    COLORREF at_client(int x, int y) const {
        return shot.at(client.left - window.left + x, client.top - window.top + y);
    }
};

ViewShot view_picture(MainWindow* mw, const HistoryEntry& e) {
    ViewShot out;
    const DWORD ui = GetCurrentThreadId();
    std::thread t([&] {
        std::vector<HWND> found = gui_test::wait_for_windows(ui, kViewDialogClass, 1);
        if (found.empty()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        out.window = gui_test::window_rect(found[0]);
        out.shot = capture_screen(out.window);
        GetClientRect(found[0], &out.client);
        MapWindowPoints(found[0], nullptr, reinterpret_cast<POINT*>(&out.client), 2);
        PostMessageW(found[0], WM_CLOSE, 0, 0);
    });
    show_view_dialog(mw, e);
    t.join();
    return out;
}

class HintViewScreens : public testing::TestWithParam<bool> {};

TEST_P(HintViewScreens, HintAndViewWindowInTheTheme) {
    const bool dark = GetParam();
    RunningApp run([&](Settings& s) { s.dark_mode = dark; });
    ASSERT_TRUE(run.start());
    MainWindow* mw = run.app->main_window.get();
    Database* db = run.app->database.get();
    SetWindowPos(run.window(), HWND_TOPMOST, 720, 60, 620, 560, SWP_SHOWWINDOW);
    SetForegroundWindow(run.window());

    const std::int64_t text = db->add_entry({
        .text = L"Quillet keeps what you copy.\r\nThe hint shows the whole text of the selected entry, word-wrapped, " L"with where it came from below the dotted rule.",
        .source_app = L"C:\\Program Files\\Browser\\browser.exe", .page_title = L"Release notes - Example Browser",
        .page_url = L"https://example.org/notes", .is_browser = true});
    const std::int64_t image = db->add_entry({.image = view_test::gradient_png(480, 300),
        .source_app = L"mspaint.exe", .is_image = true});
    ASSERT_TRUE(text > 0 && image > 0);
    mw->refresh_all();
    pump(200);
    const EntryHintColors& colors = entry_hint_colors(dark);

    // The text hint.
    ASSERT_TRUE(list_select_entry(mw->cards, text));
    mw->on_selection_changed();
    pump(500);
    ASSERT_TRUE(IsWindowVisible(mw->hint_popup));
    Capture c = capture_screen(gui_test::window_rect(mw->hint_popup));
    EXPECT_EQ(c.at(4, c.height / 2), colors.panel);
    save(c, std::wstring(L"entry_hint_text_") + theme_name(dark));

    // The image hint, with its view button.
    mw->show_images();
    pump(200);
    ASSERT_TRUE(list_select_entry(mw->cards, image));
    mw->on_selection_changed();
    pump(500);
    ASSERT_TRUE(IsWindowVisible(mw->hint_popup));
    c = capture_screen(gui_test::window_rect(mw->hint_popup));
    EXPECT_EQ(c.at(4, c.height / 2), colors.panel);
    EXPECT_FALSE(IsRectEmpty(&mw->hint.view_button_rect));
    save(c, std::wstring(L"entry_hint_image_") + theme_name(dark));
    mw->hide_entry_hint();

    // The view window of the text entry and of a small picture, which keeps its size.
    mw->set_view(0, -1);
    pump(100);
    const HistoryEntry* listed_text = mw->model.find_entry(text);
    ASSERT_NE(listed_text, nullptr);
    const HistoryEntry text_entry = *listed_text;
    const COLORREF background = dark ? 0x202020 : 0xF3F3F3;
    ViewShot v = view_picture(mw, text_entry);
    ASSERT_GT(v.shot.width, 0);
    EXPECT_EQ(v.at_client(4, 4), background);
    save(v.shot, std::wstring(L"view_text_") + theme_name(dark));

    v = view_picture(mw, view_test::image_entry(view_test::gradient_png(100, 100)));
    ASSERT_GT(v.shot.width, 0);
    EXPECT_EQ(v.at_client(4, 4), background);
    save(v.shot, std::wstring(L"view_image_") + theme_name(dark));
    // The 100 x 100 picture at its own size, centred in the image area: its
    // red frame is exactly 100 pixels wide and high.
    const RECT area = view_image_area(RECT{0, 0, v.client.right - v.client.left, v.client.bottom - v.client.top});
    const int cx = (area.left + area.right) / 2, cy = (area.top + area.bottom) / 2;
    int left = -1, right = -1, top = -1, bottom = -1;
    for (int x = area.left; x < area.right; ++x)
        if (v.at_client(x, cy) == view_test::kFrame) {
            if (left < 0) left = x;
            right = x;
        }
    for (int y = area.top; y < area.bottom; ++y)
        if (v.at_client(cx, y) == view_test::kFrame) {
            if (top < 0) top = y;
            bottom = y;
        }
    EXPECT_EQ(right - left + 1, 100);
    EXPECT_EQ(bottom - top + 1, 100);
    EXPECT_LE(std::abs((left + right) / 2 - cx), 1);
}

INSTANTIATE_TEST_SUITE_P(Themes, HintViewScreens, testing::Values(false, true));

}  // namespace
