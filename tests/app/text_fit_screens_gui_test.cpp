// The texts of the real windows measured where they are drawn, with the
// pictures written into the build folder for a look by eye: the settings
// window in every language (every static text and button of every page
// against its own client rectangle, in its own font; the hotkey fields
// with their messages and with the chips of wide keys), the view window
// of a browser entry and the template editor at font size 18, the
// question after an export to a long path and the screenshot balloon.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "app/app_ids.h"
#include "app/tray_icon.h"
#include "capture/image.h"
#include "core/i18n.h"
#include "core/text.h"
#include "store/database.h"
#include "store/export.h"
#include "tests/app/settings_test_support.h"
#include "theme/painters.h"
#include "ui/dialogs/hotkey_chip.h"
#include "ui/dialogs/template_editor.h"
#include "ui/dialogs/view_dialog.h"
#include "ui/card_draw.h"
#include "ui/main_window.h"
#include "ui/side_panel.h"
#include "ui/message_boxes.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using namespace app_test;
using settings_test::click;
using settings_test::open_page;

void save(const Capture& c, const std::wstring& name) {
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(winutil::encode_bgra_png(c.pixels.data(), static_cast<std::uint32_t>(c.width),
                                         static_cast<std::uint32_t>(c.height), png));
    EXPECT_TRUE(
        test_support::write_file(own_exe_dir() + L"\\..\\" + name + L".png", std::string(png.begin(), png.end())));
}

std::wstring class_of(HWND w) {
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

// What a child control needs for its text in its own font, and the room it
// has: a static wraps in its client rectangle, a push button keeps its
// caption inside the themed box, a toggle its label beside the switch.
struct ChildFit {
    bool fits = true;
    std::string report;
};

ChildFit child_fit(HWND w) {
    ChildFit out;
    const std::wstring text = gui_test::text_of(w);
    if (text.empty()) return out;
    const std::wstring cls = class_of(w);
    RECT client{};
    GetClientRect(w, &client);
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    RECT room = client;
    bool single_line = false;
    if (cls == L"Button") {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_OWNERDRAW) return out;  // draws its own caption; measured by its owner's test
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX)
            room = toggle_layout(client, false).label;
        else
            room = button_text_box(client);
        single_line = true;
    } else if (cls != L"Static") {
        return out;
    }
    HDC dc = GetDC(w);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    RECT need{0, 0, room.right - room.left, 0};
    const UINT flags = single_line ? DT_SINGLELINE : (DT_WORDBREAK | DT_EXPANDTABS);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need, DT_CALCRECT | DT_NOPREFIX | flags);
    SelectObject(dc, old);
    ReleaseDC(w, dc);
    const LONG need_w = need.right - need.left, need_h = need.bottom - need.top;
    if (need_w > room.right - room.left || need_h > room.bottom - room.top) {
        out.fits = false;
        out.report = "\"" + to_utf8(text) + "\" needs " + std::to_string(need_w) + " x " + std::to_string(need_h) +
                     ", has " + std::to_string(room.right - room.left) + " x " + std::to_string(room.bottom - room.top);
    }
    return out;
}

class SettingsInLanguage : public testing::TestWithParam<const wchar_t*> {};

TEST_P(SettingsInLanguage, EveryTextFitsAndTheFieldsShowTheirMessages) {
    const std::wstring code = GetParam();
    RunningApp run([&](Settings& s) {
        s.language = code;
        s.screenshot_hotkey = L"ctrl+shift+alt+backspace";
        s.screenshot_window_hotkey = L"ctrl+shift+alt+delete";
        s.screenshot_full_hotkey = L"ctrl+shift+alt+f10";
        s.backup_folder = L"C:\\Users\\someone\\Documents\\Quillet backups";
        s.screenshot_folder = L"C:\\Users\\someone\\Pictures\\Quillet";
    });
    ASSERT_TRUE(run.start());
    ASSERT_EQ(current_language(), code);
    App& app = *run.app;
    app.show_settings();
    ASSERT_TRUE(app.settings_window && app.settings_window->window);
    SettingsWindow& sw = *app.settings_window;
    SetWindowPos(sw.window, HWND_TOPMOST, 10, 10, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(sw.window);
    settings_test::pump(app, 400);

    for (int n = 0; n < kSettingsPageCount; ++n) {
        const std::vector<HWND>& controls = sw.page_controls[static_cast<size_t>(n)];
        for (HWND w : controls) {
            const ChildFit fit = child_fit(w);
            EXPECT_TRUE(fit.fits) << "page " << n << " id " << GetDlgCtrlID(w) << ": " << fit.report;
        }
        // No control covers another one's text (a closed drop-down list is
        // only as high as its selection field).
        for (size_t i = 0; i < controls.size(); ++i)
            for (size_t j = i + 1; j < controls.size(); ++j) {
                if (class_of(controls[i]) == UPDOWN_CLASSW || class_of(controls[j]) == UPDOWN_CLASSW) continue;
                RECT a = gui_test::window_rect(controls[i]), b = gui_test::window_rect(controls[j]), both{};
                EXPECT_FALSE(IntersectRect(&both, &a, &b))
                    << "page " << n << ": \"" << to_utf8(gui_test::text_of(controls[i])) << "\" and \""
                    << to_utf8(gui_test::text_of(controls[j])) << "\" overlap";
            }
    }

    // The startup page: the history field refuses the plain-text hotkey and
    // names that field, the plain-text field refuses F12.
    open_page(app, 3);
    HWND open_field = settings_test::control_on_page(sw, 3, kSetHotkeyOpen);
    HWND plain_field = settings_test::control_on_page(sw, 3, kSetHotkeyPlain);
    ASSERT_TRUE(open_field && plain_field);
    click(app, open_field);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_SHIFT] = keys[VK_MENU] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(open_field, WM_KEYDOWN, 'U', 1);
    settings_test::pump(app, 100);
    keys[VK_CONTROL] = keys[VK_SHIFT] = keys[VK_MENU] = 0;
    SetKeyboardState(keys);
    const std::wstring busy = tr(L"hotkey_field.busy_own") + L" " + tr(L"startup.hotkey_plain");
    EXPECT_EQ(hotkey_field_state(open_field)->message, busy);
    click(app, plain_field);
    PostMessageW(plain_field, WM_KEYDOWN, VK_F12, 1);
    settings_test::pump(app, 100);
    EXPECT_EQ(hotkey_field_state(plain_field)->message, tr(L"hotkey_field.reserved_f12"));

    // Each message fits its field in the field's own font.
    for (HWND f : {open_field, plain_field}) {
        RECT client{};
        GetClientRect(f, &client);
        const RECT text_box = hotkey_field_text_box(client);
        HDC dc = GetDC(f);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(f, WM_GETFONT, 0, 0)));
        const std::wstring& message = hotkey_field_state(f)->message;
        SIZE size{};
        GetTextExtentPoint32W(dc, message.c_str(), static_cast<int>(message.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(f, dc);
        EXPECT_LE(size.cx, text_box.right - text_box.left) << to_utf8(message);
    }
    settings_test::pump(app, 200);
    RECT rc{};
    GetWindowRect(sw.window, &rc);
    save(capture_screen(rc), L"text_fit_settings_" + code + L"_page3");

    // The screenshots page: three fields of wide keys with all three modifiers.
    open_page(app, 6);
    settings_test::pump(app, 200);
    save(capture_screen(rc), L"text_fit_settings_" + code + L"_page6");
    for (int n : {0, 2, 5}) {
        open_page(app, n);
        settings_test::pump(app, 200);
        save(capture_screen(rc), L"text_fit_settings_" + code + L"_page" + std::to_wstring(n));
    }
    set_language(L"en");
}

INSTANTIATE_TEST_SUITE_P(Languages, SettingsInLanguage,
                         testing::Values(L"en", L"ru", L"de", L"es", L"fr", L"it", L"pl", L"pt"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) { return to_utf8(info.param); });

// The main window in German and French at font size 18, at the width it
// opens with and at its narrowest: every static text and the watch switch
// in its own font, the menu-bar captions from 8 in to their buttons' right
// edges, the side panel's labels beside their icons; a picture of each.
class MainWindowInLanguage : public testing::TestWithParam<const wchar_t*> {};

TEST_P(MainWindowInLanguage, EveryTextFitsAtItsOpeningAndItsNarrowestWidth) {
    const std::wstring code = GetParam();
    RunningApp run([&](Settings& s) {
        s.language = code;
        s.font_size = 18;
        s.snippet_panel_collapsed = false;
    });
    ASSERT_TRUE(run.start());
    HWND wnd = run.window();
    MainWindow* mw = run.app->main_window.get();
    Database* db = run.app->database.get();
    ASSERT_TRUE(wnd && mw && db);
    for (int i = 0; i < 30; ++i)
        ASSERT_GT(db->add_text_entry(L"Entry " + std::to_wstring(i), std::nullopt, false, false), 0);
    ASSERT_GT(db->add_category(L"Notes"), 0);
    mw->build_side_panel();
    mw->refresh_all();
    const int narrowest = mw->min_client_width();
    for (int client_width : {604, narrowest}) {
        RECT rc{0, 0, client_width, 401};
        AdjustWindowRectEx(&rc, static_cast<DWORD>(GetWindowLongW(wnd, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(wnd, GWL_EXSTYLE)));
        SetWindowPos(wnd, HWND_TOPMOST, 20, 20, rc.right - rc.left, rc.bottom - rc.top, SWP_SHOWWINDOW);
        SetForegroundWindow(wnd);
        pump(500);
        RECT client{};
        GetClientRect(wnd, &client);
        EXPECT_EQ(client.right, client_width);
        const std::string at = to_utf8(code) + " at " + std::to_string(client_width) + ": ";
        for (HWND w = GetWindow(wnd, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
            if (!IsWindowVisible(w)) continue;
            RECT r = gui_test::window_rect(w);
            MapWindowPoints(nullptr, wnd, reinterpret_cast<POINT*>(&r), 2);
            EXPECT_LE(r.right, client_width) << at << "id " << GetDlgCtrlID(w) << " reaches past the client";
            // The search button draws its one glyph centred in 28 pixels.
            if (GetDlgCtrlID(w) == kIdSearchButton) continue;
            const ChildFit fit = child_fit(w);
            EXPECT_TRUE(fit.fits) << at << "id " << GetDlgCtrlID(w) << " " << fit.report;
        }
        // The menu-bar captions and the side panel's labels in their fonts.
        HDC dc = GetDC(wnd);
        HGDIOBJ old = SelectObject(dc, mw->menu_font.get());
        for (HWND b : mw->menu_buttons) {
            const std::wstring text = gui_test::text_of(b);
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            RECT br{};
            GetClientRect(b, &br);
            EXPECT_LE(size.cx, br.right - 8) << at << to_utf8(text);
        }
        RECT item{};
        const int rows = static_cast<int>(SendMessageW(mw->side, LB_GETCOUNT, 0, 0));
        EXPECT_GE(rows, 8);
        for (int i = 0; i < rows; ++i) {
            const SidePanelRow* row = mw->panel.row(i);
            if (!row || SendMessageW(mw->side, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item)) == LB_ERR) continue;
            const std::wstring label = side_row_label(row->text);
            SIZE size{};
            GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &size);
            const RECT room = side_row_layout(item, side_row_indented(*row)).label;
            EXPECT_LE(size.cx, room.right - room.left) << at << to_utf8(label);
        }
        SelectObject(dc, old);
        ReleaseDC(wnd, dc);
        save(capture_screen(gui_test::window_rect(wnd)),
             L"text_fit_main_" + code + L"_18_" + std::to_wstring(client_width));
    }
    set_language(L"en");
}

// A window left at its narrowest in English grows when French comes, and
// again when the cards' font grows to 18, so that nothing of it is cut.
TEST(TextFitScreens, MainWindowWidensForANewLanguageAndFontSize) {
    RunningApp run;
    ASSERT_TRUE(run.start());
    HWND wnd = run.window();
    MainWindow* mw = run.app->main_window.get();
    ASSERT_TRUE(wnd && mw);
    auto client_width = [&] {
        RECT c{};
        GetClientRect(wnd, &c);
        return static_cast<int>(c.right - c.left);
    };
    const int english = mw->min_client_width();
    RECT rc{0, 0, english, 401};
    AdjustWindowRectEx(&rc, static_cast<DWORD>(GetWindowLongW(wnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(wnd, GWL_EXSTYLE)));
    SetWindowPos(wnd, nullptr, 20, 20, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_SHOWWINDOW);
    pump(100);
    ASSERT_EQ(client_width(), english);
    set_language(L"fr");
    mw->apply_language();
    pump(100);
    const int french = mw->min_client_width();
    EXPECT_GT(french, english);
    EXPECT_EQ(client_width(), french);
    run.app->settings->font_size = 18;
    mw->apply_font_size();
    pump(100);
    EXPECT_GT(mw->min_client_width(), french);
    EXPECT_EQ(client_width(), mw->min_client_width());
    // A wider window keeps its width.
    const int wide = client_width() + 100;
    rc = RECT{0, 0, wide, 401};
    AdjustWindowRectEx(&rc, static_cast<DWORD>(GetWindowLongW(wnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(wnd, GWL_EXSTYLE)));
    SetWindowPos(wnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top, SWP_NOZORDER | SWP_NOMOVE);
    pump(100);
    set_language(L"de");
    mw->apply_language();
    pump(100);
    EXPECT_EQ(client_width(), wide);
    set_language(L"en");
}

INSTANTIATE_TEST_SUITE_P(Languages, MainWindowInLanguage, testing::Values(L"de", L"fr"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) { return to_utf8(info.param); });

// Photographs the first window of the class that the thread opens, then
// closes it.
Capture picture_of(const wchar_t* cls, const std::function<void()>& open, RECT* client_on_screen = nullptr,
                   const std::function<void(HWND)>& inspect = {}) {
    Capture shot;
    const DWORD ui = GetCurrentThreadId();
    std::thread t([&] {
        std::vector<HWND> found = gui_test::wait_for_windows(ui, cls, 1);
        if (found.empty()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        shot = capture_screen(gui_test::window_rect(found[0]));
        if (client_on_screen) {
            RECT c{};
            GetClientRect(found[0], &c);
            MapWindowPoints(found[0], nullptr, reinterpret_cast<POINT*>(&c), 2);
            RECT w = gui_test::window_rect(found[0]);
            OffsetRect(&c, -w.left, -w.top);
            *client_on_screen = c;
        }
        if (inspect) inspect(found[0]);
        PostMessageW(found[0], WM_CLOSE, 0, 0);
    });
    open();
    t.join();
    return shot;
}

TEST(TextFitScreens, ViewWindowOfABrowserEntryAtSize18ShowsItsTimeLine) {
    RunningApp run([](Settings& s) { s.font_size = 18; });
    ASSERT_TRUE(run.start());
    MainWindow* mw = run.app->main_window.get();
    HistoryEntry e;
    e.text = L"Quillet keeps what you copy.";
    e.text_state = TextState::Whole;
    e.source_app = L"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe";
    e.is_browser_page = true;
    e.source_title = L"How to keep a clipboard history that survives a restart, with pictures and templates";
    e.source_url = L"https://www.example.org/articles/2026/12/how-to-keep-a-clipboard-history";
    e.created_at = L"2026-12-10T21:15:09";
    RECT client{};
    Capture c = picture_of(
        kViewDialogClass, [&] { show_view_dialog(mw, e); }, &client);
    ASSERT_GT(c.width, 0);
    save(c, L"text_fit_view_browser_18");

    // The band as the window lays it out for its width and font.
    const std::wstring info = view_info_text(e);
    const RECT local{0, 0, client.right - client.left, client.bottom - client.top};
    HDC dc = GetDC(mw->window);
    HGDIOBJ old = SelectObject(dc, mw->list_font.get());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    const RECT narrow = view_band_layout(local, kViewBandMinHeight).band;
    const int needed = view_band_text_height(dc, info, static_cast<int>(narrow.right - narrow.left));
    SelectObject(dc, old);
    ReleaseDC(mw->window, dc);
    const ViewBandLayout l = view_band_layout(local, needed);
    EXPECT_EQ(l.band.bottom - l.band.top, needed) << "the band holds all its lines";
    // The time line is drawn: its row of the band has text pixels.
    const COLORREF background = 0xF3F3F3;
    int ink = 0;
    for (int y = l.band.bottom - tm.tmHeight; y < l.band.bottom; ++y)
        for (int x = l.band.left; x < l.band.right; ++x)
            if (c.at(client.left + x, client.top + y) != background) ++ink;
    EXPECT_GT(ink, 50) << "the copy time shows on the band's last line";
}

TEST(TextFitScreens, ExportQuestionWrapsALongPath) {
    RunningApp run;
    ASSERT_TRUE(run.start());
    const std::wstring path =
        L"C:\\Users\\someone\\AppData\\Roaming\\Quillet\\BackupsOfTheWholeHistoryKeptForLater\\"
        L"QuilletBackupOfTheTenthOfDecemberTwoThousandTwentySixAtNineFifteenInTheEvening.json";
    RECT client{};
    Capture c = picture_of(
        L"QuilletConfirmBox",
        [&] { ask_confirmation(run.window(), tr(L"title.export"), export_done_message(path), tr(L"action.open")); },
        &client);
    ASSERT_GT(c.width, 0);
    save(c, L"text_fit_export_question");
    // Nothing of the text touches the box's right edge: the last four
    // columns of the client are background from top to the buttons.
    const COLORREF background = c.at(client.right - 2, client.top + 2);
    int ink = 0;
    for (int y = client.top + 4; y < client.top + 60; ++y)
        for (int x = client.right - 4; x < client.right; ++x)
            if (c.at(x, y) != background) ++ink;
    EXPECT_EQ(ink, 0);
}

// The template editor in German at font size 18: labels as high as the
// font, the insert buttons and Cancel as wide as their captions.
TEST(TextFitScreens, TemplateEditorInGermanAtSize18) {
    RunningApp run([](Settings& s) {
        s.language = L"de";
        s.font_size = 18;
    });
    ASSERT_TRUE(run.start());
    MainWindow* mw = run.app->main_window.get();
    std::wstring title = L"Gruß", group, body = L"Guten Tag, {user}!";
    std::vector<std::string> misfits;
    int children = 0;
    Capture c = picture_of(
        kTemplateEditorClass, [&] { show_template_editor(run.window(), mw, title, group, body); }, nullptr,
        [&](HWND editor) {
            for (HWND w = GetWindow(editor, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
                ++children;
                const ChildFit fit = child_fit(w);
                if (!fit.fits) misfits.push_back(fit.report);
            }
        });
    ASSERT_GT(c.width, 0);
    EXPECT_GE(children, 15);
    for (const std::string& m : misfits) ADD_FAILURE() << m;
    save(c, L"text_fit_template_editor_de_18");
    set_language(L"en");
}

// The screenshot balloon hands the notification area its whole title and
// text in every language (the fields hold 63 and 255 characters).
TEST(TextFitScreens, ScreenshotBalloonCarriesItsWholeText) {
    RunningApp run;
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.app->tray_icon);
    TrayIcon& tray = *run.app->tray_icon;
    for (const wchar_t* code : {L"ru", L"de", L"es", L"fr", L"it", L"pl", L"pt", L"en"}) {
        set_language(code);
        tray.show_balloon(tr(L"tray.screenshot_added"), tr(L"screenshot.saved_to_images"));
        EXPECT_EQ(tray.last_balloon_title, tr(L"tray.screenshot_added")) << to_utf8(code);
        EXPECT_EQ(tray.last_balloon_text, tr(L"screenshot.saved_to_images")) << to_utf8(code);
    }
    // The balloon as the notification area draws it (Wine shows it two
    // seconds after the call).
    pump(3500);
    save(capture_screen(RECT{0, 0, 640, 240}), L"text_fit_balloon");
}

}  // namespace
