// Pictures of every page of the settings window in both themes, written as
// settings_page<n>_<theme>.png into the build folder for a look by eye,
// with the checks that can be made on the pixels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/image.h"
#include "core/i18n.h"
#include "tests/app/settings_test_support.h"
#include "tests/theme/icon_cells.h"
#include "ui/main_window.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using namespace app_test;

double mean_brightness(const Capture& c) {
    double sum = 0;
    for (size_t i = 0; i + 3 < c.pixels.size(); i += 4) sum += c.pixels[i] + c.pixels[i + 1] + c.pixels[i + 2];
    return c.pixels.empty() ? 0 : sum / (3.0 * static_cast<double>(c.pixels.size() / 4));
}

class SettingsScreens : public testing::TestWithParam<bool> {};

TEST_P(SettingsScreens, EveryPageIsDrawnInTheTheme) {
    const bool dark = GetParam();
    RunningApp run([&](Settings& s) {
        s.dark_mode = dark;
        s.app_filter_list = L"chrome.exe; Telegram.exe";
        s.plain_hotkey = L"";
    });
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    app.show_settings();
    ASSERT_TRUE(app.settings_window && app.settings_window->window);
    SettingsWindow& sw = *app.settings_window;
    SetWindowPos(sw.window, HWND_TOPMOST, 10, 10, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(sw.window);
    settings_test::pump(app, 400);
    const COLORREF band = dark ? 0x272727 : 0xFBFBFB;
    const COLORREF page = dark ? 0x202020 : 0xF3F3F3;
    for (int n = 0; n < kSettingsPageCount; ++n) {
        settings_test::open_page(app, n);
        if (n == 3) {
            // A hotkey field recording, with the mouse away from the list.
            settings_test::click(app, settings_test::control_on_page(sw, 3, kSetHotkeyOpen));
        }
        settings_test::pump(app, 300);
        ASSERT_EQ(sw.page, n);
        RECT rc{};
        GetWindowRect(sw.window, &rc);
        Capture c = capture_screen(rc);
        ASSERT_GT(c.width, 0);
        if (dark)
            EXPECT_LT(mean_brightness(c), 110.0) << n;
        else
            EXPECT_GT(mean_brightness(c), 150.0) << n;
        // The left band, the divider and the page background in the theme's colours.
        POINT band_point{4, 660}, page_point{740, 70};
        ClientToScreen(sw.window, &band_point);
        ClientToScreen(sw.window, &page_point);
        EXPECT_EQ(c.at(band_point.x - rc.left, band_point.y - rc.top), band) << n;
        EXPECT_EQ(c.at(page_point.x - rc.left, page_point.y - rc.top), page) << n;
        if (n == 0) {
            // Every page's icon in the list on the left is drawn: something
            // is there, and it is not the drawing of a missing glyph.
            const int rows = static_cast<int>(SendMessageW(sw.page_list, LB_GETCOUNT, 0, 0));
            EXPECT_EQ(rows, kSettingsPageCount);
            for (int i = 0; i < rows; ++i) {
                RECT item{};
                SendMessageW(sw.page_list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
                POINT corner{item.left + 18, item.top};
                ClientToScreen(sw.page_list, &corner);
                const RECT cell{corner.x - rc.left, corner.y - rc.top + 2, corner.x - rc.left + 24,
                                corner.y - rc.top + (item.bottom - item.top) - 2};
                EXPECT_EQ(icon_cells::icon_cell_problem([&c](int x, int y) { return c.at(x, y); }, cell,
                                                        {{sw.glyph_font.get()}}),
                          "")
                    << "page " << i;
            }
        }
        std::vector<std::uint8_t> png;
        ASSERT_TRUE(winutil::encode_bgra_png(c.pixels.data(), static_cast<std::uint32_t>(c.width),
                                             static_cast<std::uint32_t>(c.height), png));
        const std::wstring name = L"\\..\\settings_page" + std::to_wstring(n) + (dark ? L"_dark" : L"_light") + L".png";
        EXPECT_TRUE(test_support::write_file(own_exe_dir() + name, std::string(png.begin(), png.end())));
    }
}

INSTANTIATE_TEST_SUITE_P(Themes, SettingsScreens, testing::Values(false, true));

}  // namespace
