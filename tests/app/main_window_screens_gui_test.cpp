// Pictures of the main window filled from the store (a text, an RTF, an
// HTML and an image entry) in both themes at the smallest and the largest
// font size, written as PNG files into the build folder for a look by eye,
// with the checks that can be made on them by the test.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_ids.h"
#include "capture/image.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/theme/icon_cells.h"
#include "theme/fonts.h"
#include "ui/card_draw.h"
#include "ui/cards_list.h"
#include "ui/main_window.h"

namespace {

using namespace app_test;

// A 32 x 32 bitmap with a colour gradient.
std::vector<std::uint8_t> gradient_dib() {
    const int n = 32;
    std::vector<std::uint8_t> dib(40 + n * n * 4, 0);
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = n;
    h.biHeight = n;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biSizeImage = n * n * 4;
    std::memcpy(dib.data(), &h, 40);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            std::uint8_t* p = &dib[40 + (static_cast<size_t>(y) * n + x) * 4];
            p[0] = static_cast<std::uint8_t>(x * 8);
            p[1] = static_cast<std::uint8_t>(y * 8);
            p[2] = 0xC0;
            p[3] = 0xFF;
        }
    return dib;
}

double mean_brightness(const Capture& c) {
    double sum = 0;
    for (size_t i = 0; i + 3 < c.pixels.size(); i += 4) sum += c.pixels[i] + c.pixels[i + 1] + c.pixels[i + 2];
    return c.pixels.empty() ? 0 : sum / (3.0 * static_cast<double>(c.pixels.size() / 4));
}

struct Shot {
    bool dark;
    int font_size;
};

// The window's picture: its brightness fits the theme; written as
// main_window_<what>_<theme>_<size>.png beside the bin folder.
void save_shot(HWND wnd, const Shot& shot, const wchar_t* what) {
    RECT rc{};
    GetWindowRect(wnd, &rc);
    Capture c = capture_screen(rc);
    ASSERT_GT(c.width, 0);
    if (shot.dark)
        EXPECT_LT(mean_brightness(c), 110.0) << what;
    else
        EXPECT_GT(mean_brightness(c), 150.0) << what;
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(winutil::encode_bgra_png(c.pixels.data(), static_cast<std::uint32_t>(c.width),
                                         static_cast<std::uint32_t>(c.height), png));
    const std::wstring name = std::wstring(L"\\..\\main_window_") + what + (shot.dark ? L"_dark_" : L"_light_") +
                              std::to_wstring(shot.font_size) + L".png";
    EXPECT_TRUE(test_support::write_file(own_exe_dir() + name, std::string(png.begin(), png.end())));
}

// The control's rectangle in the window's picture, `inset` pixels in.
RECT cell_of(HWND wnd, HWND control, int inset) {
    RECT w{}, c{};
    GetWindowRect(wnd, &w);
    GetWindowRect(control, &c);
    return RECT{c.left - w.left + inset, c.top - w.top + inset, c.right - w.left - inset, c.bottom - w.top - inset};
}

// Every toolbar button and the search button show their icon, and the side
// panel's rows their emoji: something is drawn in each, and it is not the
// drawing of a missing glyph.
void expect_icons_drawn(HWND wnd, const MainWindow& mw) {
    RECT rc{};
    GetWindowRect(wnd, &rc);
    const Capture c = capture_screen(rc);
    ASSERT_GT(c.width, 0);
    const icon_cells::PixelAt at = [&c](int x, int y) { return c.at(x, y); };
    std::vector<HWND> buttons(mw.toolbar_buttons.begin(), mw.toolbar_buttons.end());
    buttons.push_back(mw.search_button);
    int checked = 0;
    for (HWND b : buttons) {
        if (!b || !IsWindowVisible(b)) continue;
        const HFONT font = reinterpret_cast<HFONT>(SendMessageW(b, WM_GETFONT, 0, 0));
        EXPECT_EQ(icon_cells::icon_cell_problem(at, cell_of(wnd, b, 3), {{font}}), "")
            << "button " << GetDlgCtrlID(b);
        ++checked;
    }
    EXPECT_GE(checked, 10);
    if (!IsWindowVisible(mw.side)) return;
    const HFONT side_font = reinterpret_cast<HFONT>(SendMessageW(mw.side, WM_GETFONT, 0, 0));
    // Where no font of the system has the emoji, the fallback icon font at
    // the list font's size draws them.
    TEXTMETRICW tm{};
    {
        raii::MemoryDC dc(CreateCompatibleDC(nullptr));
        raii::SelectGuard select(dc.get(), side_font);
        GetTextMetricsW(dc.get(), &tm);
    }
    const raii::Font fallback = create_fallback_icon_font(static_cast<int>(tm.tmHeight - tm.tmInternalLeading));
    const RECT side = cell_of(wnd, mw.side, 0);
    int emoji = 0;
    for (int i = 0; i < static_cast<int>(mw.panel.rows().size()); ++i) {
        const SidePanelRow& row = mw.panel.rows()[i];
        if (side_row_icon(row.text).empty()) continue;
        RECT item{};
        if (SendMessageW(mw.side, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item)) == LB_ERR) continue;
        if (item.bottom > side.bottom - side.top) break;
        RECT icon = side_row_layout(item, side_row_indented(row)).icon;
        OffsetRect(&icon, side.left, side.top);
        EXPECT_EQ(icon_cells::icon_cell_problem(at, icon, {{side_font, icon_cells::kMissingPair}, {fallback.get()}}), "")
            << "side row " << i;
        ++emoji;
    }
    EXPECT_GE(emoji, 3);
}

class MainWindowScreens : public testing::TestWithParam<Shot> {};

TEST_P(MainWindowScreens, CardsOfEveryKindAreDrawn) {
    const Shot shot = GetParam();
    RunningApp run([&](Settings& s) {
        s.dark_mode = shot.dark;
        s.font_size = shot.font_size;
    });
    ASSERT_TRUE(run.start());
    HWND wnd = run.window();
    MainWindow* mw = run.app->main_window.get();
    Database* db = run.app->database.get();
    ASSERT_TRUE(wnd && mw && db);
    ASSERT_GT(db->add_entry({.image = gradient_dib(), .source_app = L"mspaint.exe", .is_image = true,
        .page_title = L"Picture"}),
              0);
    ASSERT_GT(db->add_entry({.text = L"Formatted <b>HTML</b> text from a web page",
        .html = "<html><body><b>HTML</b> text</body></html>", .source_app = L"browser.exe",
        .page_title = L"Example page", .page_url = L"https://example.com/", .is_browser = true}),
              0);
    ASSERT_GT(db->add_entry({.text = L"Rich text from a word processor", .rtf = "{\\rtf1\\ansi {\\b Rich} text}",
        .source_app = L"wordpad.exe", .page_title = L"Document"}),
              0);
    std::int64_t plain = db->add_text_entry(L"A plain text entry\r\nwith a second line", std::nullopt, false, false);
    ASSERT_GT(plain, 0);
    mw->refresh_all();
    SetWindowPos(wnd, HWND_TOPMOST, 20, 20, 620, 460, SWP_SHOWWINDOW);
    SetForegroundWindow(wnd);
    list_select_entry(mw->cards, plain);
    pump(800);

    // The history view lists the text entries (plain, RTF, HTML).
    ASSERT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETITEMHEIGHT, 0, 0), kTextRowHeight);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(wnd, kIdEmptyHint)));
    save_shot(wnd, shot, L"texts");
    expect_icons_drawn(wnd, *mw);
    // The images view with its thumbnail card.
    mw->show_images();
    pump(500);
    ASSERT_EQ(SendMessageW(mw->cards, LB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendMessageW(mw->cards, LB_GETITEMHEIGHT, 0, 0), kTallRowHeight) << "the image card is tall";
    save_shot(wnd, shot, L"images");
}

INSTANTIATE_TEST_SUITE_P(ThemesAndSizes, MainWindowScreens,
                         testing::Values(Shot{false, 10}, Shot{false, 18}, Shot{true, 10}, Shot{true, 18}));

}  // namespace
