// The template editor in a running App, driven with typed characters,
// keys and button pushes: a new template typed (Cyrillic included) and
// confirmed is stored; Cancel, Esc and the close box store nothing; an
// empty name or text is refused with a message while the window stays; a
// placeholder button inserts at the caret; a taken title is told and the
// editor comes back with what was typed; the editor opens from every place
// that offers it; WM_QUIT survives its loop. Also pictures of the editor
// and of a menu of the menu bar in both themes.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/app_ids.h"
#include "capture/image.h"
#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/app/ui_driver.h"
#include "tests/theme/gui_support.h"
#include "ui/cards_list.h"
#include "ui/dialogs/settings_window.h"
#include "ui/dialogs/template_editor.h"
#include "ui/list_model.h"
#include "ui/main_window.h"
#include "ui/menu_bar.h"
#include "ui/text_edit_style.h"

namespace {

using gui_test::text_of;
using gui_test::focus_of;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using namespace app_test;
using namespace ui_driver;

constexpr int kCmdEdit = 1105;
constexpr int kCmdNewTemplate = 1117;

std::optional<Snippet> snippet_titled(Database& db, const std::wstring& title) {
    for (const Snippet& s : db.list_snippets())
        if (s.title == title) return s;
    return std::nullopt;
}

HWND item(HWND editor, int id) { return GetDlgItem(editor, id); }
HWND combo_edit(HWND editor) { return FindWindowExW(item(editor, kEditorGroup), nullptr, L"Edit", nullptr); }

// The editor as it opened: its three texts and the combo's selection.
struct Opened {
    std::wstring title, group, body;
    LRESULT combo_selection = CB_ERR;
    bool focus_in_name = false;
};

Step editor_step(const std::function<bool(HWND)>& act) { return {kEditorClass, act}; }

Step look_and_cancel(Opened& seen, DWORD ui_thread) {
    return editor_step([&seen, ui_thread](HWND editor) {
        seen.title = text_of(item(editor, kEditorName));
        seen.group = text_of(item(editor, kEditorGroup));
        seen.body = text_of(item(editor, kEditorBody));
        seen.combo_selection = SendMessageW(item(editor, kEditorGroup), CB_GETCURSEL, 0, 0);
        seen.focus_in_name = focus_of(ui_thread) == item(editor, kEditorName);
        press_button(item(editor, kEditorCancel));
        return true;
    });
}

double mean_brightness(const Capture& c) {
    double sum = 0;
    for (size_t i = 0; i + 3 < c.pixels.size(); i += 4) sum += c.pixels[i] + c.pixels[i + 1] + c.pixels[i + 2];
    return c.pixels.empty() ? 0 : sum / (3.0 * static_cast<double>(c.pixels.size() / 4));
}

bool save_capture(const Capture& c, const std::wstring& name) {
    std::vector<std::uint8_t> png;
    if (c.width <= 0 || !winutil::encode_bgra_png(c.pixels.data(), static_cast<std::uint32_t>(c.width),
                                                  static_cast<std::uint32_t>(c.height), png))
        return false;
    return test_support::write_file(own_exe_dir() + L"\\..\\" + name, std::string(png.begin(), png.end()));
}

class TemplateEditorGui : public testing::Test {
protected:
    void start(bool dark = false) {
        run = std::make_unique<RunningApp>([dark](Settings& s) {
            s.watch_clipboard = false;
            s.dark_mode = dark;
            s.snippet_panel_collapsed = false;
        });
        ASSERT_TRUE(run->start());
        wnd = run->window();
        mw = run->app->main_window.get();
        db = run->app->database.get();
        ASSERT_TRUE(wnd && mw && db);
        SetWindowPos(wnd, HWND_TOPMOST, 20, 20, 640, 480, SWP_SHOWWINDOW);
        // Menus are chosen with the keyboard; the pointer stays clear of them.
        gui_test::move_pointer(
            POINT{GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2});
        pump(150);
    }
    void SetUp() override { start(); }
    void TearDown() override { run.reset(); }

    bool command(int id, const std::vector<Step>& steps) {
        return run_with_steps(ui, steps, [&] { SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(id, 0), 0); });
    }
    // A right click on a row of a list of the main window.
    bool context_menu(HWND list, int row, const std::vector<Step>& steps) {
        RECT rc{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rc));
        POINT pt{rc.left + 20, (rc.top + rc.bottom) / 2};
        ClientToScreen(list, &pt);
        gui_test::move_pointer(pt);
        pump(200);  // the pointer's motion arrives before the menu opens
        return run_with_steps(ui, steps, [&] {
            SendMessageW(wnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(pt.x, pt.y));
        });
    }
    int side_row(const std::function<bool(const SidePanelRow&)>& match) {
        const auto& rows = mw->panel.rows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (match(rows[i])) return static_cast<int>(i);
        return -1;
    }

    DWORD ui = GetCurrentThreadId();
    std::unique_ptr<RunningApp> run;
    HWND wnd = nullptr;
    MainWindow* mw = nullptr;
    Database* db = nullptr;
};

TEST_F(TemplateEditorGui, ATypedTemplateIsStoredWithThePlaceholderAtTheCaret) {
    Opened opened;
    std::wstring body_after_insert;
    Step write = editor_step([&](HWND editor) {
        opened.title = text_of(item(editor, kEditorName));
        opened.body = text_of(item(editor, kEditorBody));
        opened.combo_selection = SendMessageW(item(editor, kEditorGroup), CB_GETCURSEL, 0, 0);
        opened.focus_in_name = focus_of(ui) == item(editor, kEditorName);
        type_text(item(editor, kEditorName), L"Приветствие");
        HWND group = combo_edit(editor);
        if (!group) return false;
        PostMessageW(group, EM_SETSEL, 0, -1);
        type_text(group, L"Письма");
        HWND body = item(editor, kEditorBody);
        type_text(body, L"Здравствуйте!\r Сегодня ");
        type_text(body, L"пора");
        // The caret goes back over "пора"; the date goes in before it.
        for (int i = 0; i < 4; ++i) press_key(body, VK_LEFT);
        press_button(item(editor, kEditorFirstInsert));
        gui_test::wait_until([&] { return text_of(body).find(L"{date}") != std::wstring::npos; });
        body_after_insert = text_of(body);
        press_button(item(editor, kEditorOk));
        return true;
    });
    mw->open_templates();
    ASSERT_TRUE(command(kCmdNewTemplate, {write}));
    EXPECT_TRUE(opened.title.empty());
    EXPECT_TRUE(opened.body.empty());
    EXPECT_EQ(opened.combo_selection, 0) << "the no-group entry";
    EXPECT_TRUE(opened.focus_in_name);
    EXPECT_EQ(body_after_insert, L"Здравствуйте!\r\n Сегодня {date}пора");
    std::optional<Snippet> s = snippet_titled(*db, L"Приветствие");
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->text, L"Здравствуйте!\r\n Сегодня {date}пора");
    EXPECT_EQ(s->grp, L"Письма");
    EXPECT_GE(list_row_of_key(mw->cards, -s->id), 0) << "the templates list shows it";
}

TEST_F(TemplateEditorGui, CancelEscAndTheCloseBoxStoreNothing) {
    const size_t before = db->list_snippets().size();
    auto typed_then = [&](const std::function<void(HWND)>& leave) {
        return editor_step([leave](HWND editor) {
            type_text(item(editor, kEditorName), L"Черновик");
            type_text(item(editor, kEditorBody), L"текст");
            leave(editor);
            return true;
        });
    };
    const std::vector<std::pair<const char*, Step>> ways = {
        {"Cancel", typed_then([](HWND e) { press_button(item(e, kEditorCancel)); })},
        {"Esc in the text", typed_then([](HWND e) { press_key(item(e, kEditorBody), VK_ESCAPE); })},
        {"Esc in the name", typed_then([](HWND e) { press_key(item(e, kEditorName), VK_ESCAPE); })},
        // A text too long to wrap is edited in a box of its own thread.
        {"Esc in a long text", typed_then([](HWND e) {
             const std::wstring long_text(kWrappedTextLimit + 100, L'w');
             if (!winutil::set_clipboard_text(long_text)) return;
             PostMessageW(item(e, kEditorBody), WM_PASTE, 0, 0);
             HWND body = nullptr;
             gui_test::wait_until([&] {
                 body = item(e, kEditorBody);
                 return GetWindowThreadProcessId(body, nullptr) != GetWindowThreadProcessId(e, nullptr) &&
                        GetWindowTextLengthW(body) > static_cast<int>(kWrappedTextLimit);
             });
             press_key(body, VK_ESCAPE);
         })},
        {"the close box", typed_then([](HWND e) { PostMessageW(e, WM_SYSCOMMAND, SC_CLOSE, 0); })},
    };
    for (const auto& [what, step] : ways) {
        SCOPED_TRACE(what);
        EXPECT_TRUE(command(kCmdNewTemplate, {step}));
        EXPECT_EQ(db->list_snippets().size(), before);
        EXPECT_FALSE(snippet_titled(*db, L"Черновик").has_value());
        EXPECT_TRUE(IsWindowEnabled(wnd)) << "the main window is usable again";
    }
}

// The editor left for another window and activated again: the control
// that had the keyboard (the text, after a click into it) has it again,
// and a real key typed lands there.
TEST_F(TemplateEditorGui, TheKeyboardComesBackToTheControlThatHadIt) {
    raii::Window other(CreateWindowExW(0, L"STATIC", L"Another window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700, 500,
                                       300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(other);
    bool left = false, back = false, typed = false;
    Step step = editor_step([&](HWND editor) {
        HWND body = item(editor, kEditorBody);
        const auto bring = [&](HWND w) {
            return gui_test::wait_until([&] {
                if (GetForegroundWindow() != w) SetForegroundWindow(w);
                return GetForegroundWindow() == w;
            });
        };
        bring(editor);
        gui_test::left_click_at(gui_test::rect_center(gui_test::window_rect(body)));
        gui_test::wait_until([&] { return focus_of(ui) == body; });
        left = bring(other.get());
        back = bring(editor) && gui_test::wait_until([&] { return focus_of(ui) == body; });
        gui_test::send_unicode_char(L'K');
        typed = gui_test::wait_until([&] { return text_of(body) == L"K"; });
        press_button(item(editor, kEditorCancel));
        return true;
    });
    EXPECT_TRUE(command(kCmdNewTemplate, {step}));
    EXPECT_TRUE(left) << "another window came to the front";
    EXPECT_TRUE(back) << "the text has the keyboard again";
    EXPECT_TRUE(typed);
}

TEST_F(TemplateEditorGui, AnEmptyNameOrTextIsRefusedAndTheWindowStays) {
    struct Case {
        const char* what;
        const wchar_t* name;
        const wchar_t* body;
        int fix_id;
        const wchar_t* fix;
    } cases[] = {{"no name", L"", L"Тело", kEditorName, L"Имя"},
                 {"a blank name", L"   ", L"Тело", kEditorName, L"Имя 2"},
                 {"no text", L"Имя 3", L"", kEditorBody, L"Тело"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring message;
        bool stayed = false;
        std::wstring kept_body;
        Step write = editor_step([&](HWND editor) {
            type_text(item(editor, kEditorName), c.name);
            type_text(item(editor, kEditorBody), c.body);
            press_button(item(editor, kEditorOk));
            HWND box = wait_window(ui, kConfirmBoxClass);
            if (!box || !confirm_answer(true, &message).act(box) || !wait_gone(box)) return false;
            stayed = IsWindow(editor) && IsWindowVisible(editor);
            kept_body = text_of(item(editor, kEditorBody));
            type_text(item(editor, c.fix_id), c.fix);
            press_button(item(editor, kEditorOk));
            return true;
        });
        EXPECT_TRUE(command(kCmdNewTemplate, {write}));
        EXPECT_NE(message.find(tr(L"message.need_title_text")), std::wstring::npos);
        EXPECT_TRUE(stayed);
        EXPECT_EQ(kept_body, c.body);
        const std::wstring title = trim(std::wstring(c.name) + (c.fix_id == kEditorName ? c.fix : L""));
        std::optional<Snippet> s = snippet_titled(*db, title);
        ASSERT_TRUE(s.has_value()) << "stored once complete";
        EXPECT_EQ(s->text, std::wstring(c.body) + (c.fix_id == kEditorBody ? c.fix : L""));
    }
}

// A taken title is told, and the editor opens again with what was typed.
TEST_F(TemplateEditorGui, ATakenTitleComesBackToTheEditor) {
    ASSERT_GT(db->add_snippet(L"Подпись", L"старая", L""), 0);
    const size_t before = db->list_snippets().size();
    std::wstring message;
    Opened again;
    Step first = editor_step([&](HWND editor) {
        type_text(item(editor, kEditorName), L"Подпись");
        type_text(item(editor, kEditorBody), L"новая");
        press_button(item(editor, kEditorOk));
        return true;
    });
    EXPECT_TRUE(command(kCmdNewTemplate, {first, confirm_answer(true, &message), look_and_cancel(again, ui)}));
    EXPECT_NE(message.find(tr(L"message.dup_template")), std::wstring::npos);
    EXPECT_EQ(again.title, L"Подпись");
    EXPECT_EQ(again.body, L"новая");
    EXPECT_EQ(snippet_titled(*db, L"Подпись")->text, L"старая");
    EXPECT_EQ(db->list_snippets().size(), before);
}

// Edit of a template row: the editor shows the template; OK stores it.
TEST_F(TemplateEditorGui, EditingATemplateRow) {
    ASSERT_TRUE(db->add_snippet_group(L"Работа"));
    const std::int64_t id = db->add_snippet(L"Отчёт", L"Текст отчёта", L"Работа");
    ASSERT_GT(id, 0);
    mw->open_templates();
    list_select_keys(mw->cards, {-id});
    Opened opened;
    Step edit = editor_step([&](HWND editor) {
        opened.title = text_of(item(editor, kEditorName));
        opened.group = text_of(item(editor, kEditorGroup));
        opened.body = text_of(item(editor, kEditorBody));
        HWND body = item(editor, kEditorBody);
        PostMessageW(body, EM_SETSEL, 0, -1);
        type_text(body, L"Новый текст");
        // The no-group entry chosen in the combo.
        SendMessageW(item(editor, kEditorGroup), CB_SETCURSEL, 0, 0);
        press_button(item(editor, kEditorOk));
        return true;
    });
    EXPECT_TRUE(command(kCmdEdit, {edit}));
    EXPECT_EQ(opened.title, L"Отчёт");
    EXPECT_EQ(opened.group, L"Работа");
    EXPECT_EQ(opened.body, L"Текст отчёта");
    std::optional<Snippet> s = snippet_titled(*db, L"Отчёт");
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->text, L"Новый текст");
    EXPECT_EQ(s->grp, L"") << "the no-group entry gives no group";
}

// Pasted names and texts are taken whole, far beyond an edit's default
// limit of about 30,000 characters.
TEST_F(TemplateEditorGui, LongPastedNameAndTextAreStoredWhole) {
    std::wstring title(40000, L'T');
    title.replace(0, 12, L"Long title: ");
    std::wstring body;
    for (int line = 0; body.size() < 100000; ++line)
        body += L"Line " + std::to_wstring(line) + L" of a long template text, pasted in one go.\r\n";
    body.resize(100000);
    body.back() = L'.';
    ASSERT_TRUE(winutil::set_clipboard_text(title));
    bool name_whole = false, body_whole = false;
    Step write = editor_step([&](HWND editor) {
        HWND name = item(editor, kEditorName), text = item(editor, kEditorBody);
        PostMessageW(name, WM_PASTE, 0, 0);
        name_whole = gui_test::wait_until([&] { return GetWindowTextLengthW(name) == 40000; }, 10000);
        if (!winutil::set_clipboard_text(body)) return false;
        PostMessageW(text, WM_PASTE, 0, 0);
        // A paste this long puts a sideways box in the text's place.
        body_whole = gui_test::wait_until(
            [&] { return GetWindowTextLengthW(item(editor, kEditorBody)) == 100000; }, 30000);
        press_button(item(editor, kEditorOk));
        return true;
    });
    mw->open_templates();
    ASSERT_TRUE(command(kCmdNewTemplate, {write}));
    EXPECT_TRUE(name_whole);
    EXPECT_TRUE(body_whole);
    std::optional<Snippet> s = snippet_titled(*db, title);
    ASSERT_TRUE(s.has_value()) << "stored under the whole name";
    EXPECT_EQ(s->text.size(), body.size());
    EXPECT_TRUE(s->text == body) << "the whole text";
}

// A click into the group field while it shows the no-group entry, then
// typed characters: what is typed replaces the label, and the group is
// stored as typed.
TEST_F(TemplateEditorGui, TypingIntoTheNoGroupFieldReplacesTheLabel) {
    std::wstring shown_before, shown_after;
    bool focused = false;
    Step write = editor_step([&](HWND editor) {
        type_text(item(editor, kEditorName), L"Weekly report");
        type_text(item(editor, kEditorBody), L"Dear team,");
        HWND group = combo_edit(editor);
        if (!group) return false;
        gui_test::wait_until([&] { return text_of(item(editor, kEditorName)) == L"Weekly report"; });
        shown_before = text_of(group);
        // A real click in the middle of the field, through the input queue.
        gui_test::left_click_at(gui_test::rect_center(gui_test::window_rect(group)));
        focused = gui_test::wait_until([&] { return focus_of(ui) == group; });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        type_text(group, L"Mails");
        gui_test::wait_until([&] { return text_of(group).find(L"Mails") != std::wstring::npos; });
        shown_after = text_of(group);
        press_button(item(editor, kEditorOk));
        return true;
    });
    mw->open_templates();
    ASSERT_TRUE(command(kCmdNewTemplate, {write}));
    EXPECT_EQ(shown_before, L"(no group)");
    EXPECT_TRUE(focused) << "the click gave the field the focus";
    EXPECT_EQ(shown_after, L"Mails") << "the typed text replaced the label";
    std::optional<Snippet> s = snippet_titled(*db, L"Weekly report");
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->grp, L"Mails");
    for (const std::wstring& g : db->list_snippet_groups()) EXPECT_EQ(g.find(L"(no group)"), std::wstring::npos) << to_utf8(g);
}

// The window ends the margin below its OK and Cancel row: no empty band.
TEST_F(TemplateEditorGui, NoEmptyBandUnderTheButtons) {
    RECT client{}, ok{}, cancel{};
    Step look = editor_step([&](HWND editor) {
        GetClientRect(editor, &client);
        ok = gui_test::window_rect(item(editor, kEditorOk));
        cancel = gui_test::window_rect(item(editor, kEditorCancel));
        MapWindowPoints(nullptr, editor, reinterpret_cast<POINT*>(&ok), 2);
        MapWindowPoints(nullptr, editor, reinterpret_cast<POINT*>(&cancel), 2);
        press_button(item(editor, kEditorCancel));
        return true;
    });
    mw->open_templates();
    ASSERT_TRUE(command(kCmdNewTemplate, {look}));
    EXPECT_EQ(client.bottom - ok.bottom, kEditorMargin) << "client height " << client.bottom;
    EXPECT_EQ(cancel.bottom, ok.bottom);
    EXPECT_EQ(client.right - ok.right, kEditorMargin) << "client width " << client.right;
    const SIZE expected = editor_client_size();
    EXPECT_EQ(client.right, expected.cx);
    EXPECT_EQ(client.bottom, expected.cy);
}

// The language changed in the (modeless) settings window while the editor
// is open: its first group item still means no group.
TEST_F(TemplateEditorGui, NoGroupStaysNoGroupAfterALanguageChange) {
    ASSERT_EQ(current_language(), L"en");
    run->app->show_settings();
    SettingsWindow* sw = run->app->settings_window.get();
    ASSERT_TRUE(sw && sw->window);
    ASSERT_EQ(sw->language_codes.front(), L"de");
    std::wstring first_item, settings_title;
    Step write = editor_step([&](HWND editor) {
        HWND combo = item(editor, kEditorGroup);
        wchar_t buffer[128] = {};
        SendMessageW(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buffer));
        first_item = buffer;
        type_text(item(editor, kEditorName), L"Greeting");
        type_text(item(editor, kEditorBody), L"Hello");
        // German chosen in the settings window's language list.
        HWND settings = sw->window;
        HWND languages = GetDlgItem(settings, kSetLanguage);
        PostMessageW(languages, CB_SETCURSEL, 0, 0);
        PostMessageW(settings, WM_COMMAND, MAKEWPARAM(kSetLanguage, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(languages));
        gui_test::wait_until([&] { return sw->window && sw->window != settings && text_of(sw->window) == L"Einstellungen"; },
                             10000);
        settings_title = sw->window ? text_of(sw->window) : L"";
        press_button(item(editor, kEditorOk));
        return true;
    });
    mw->open_templates();
    const bool ok = command(kCmdNewTemplate, {write});
    const std::wstring language = current_language();
    set_language(L"en");
    ASSERT_TRUE(ok);
    EXPECT_EQ(first_item, L"(no group)");
    EXPECT_EQ(language, L"de");
    EXPECT_EQ(settings_title, L"Einstellungen") << "the language changed while the editor was open";
    std::optional<Snippet> s = snippet_titled(*db, L"Greeting");
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->grp, L"");
    for (const std::wstring& g : db->list_snippet_groups()) EXPECT_NE(g, L"(no group)");
}

// Every place that offers a new template opens the editor, with the group
// the place stands for.
TEST_F(TemplateEditorGui, TheEditorOpensFromEveryPlace) {
    ASSERT_TRUE(db->add_snippet_group(L"Рассылки"));
    const std::int64_t letter = db->add_snippet(L"Рассылка весной", L"Текст", L"Рассылки");
    ASSERT_GT(letter, 0);
    ASSERT_GT(db->add_snippet(L"Без группы", L"Текст", L""), 0);
    mw->refresh_all();
    const int node = side_row([](const SidePanelRow& r) { return r.kind == SideRowKind::TemplatesNode; });
    const int group = side_row([](const SidePanelRow& r) { return r.group_name == L"Рассылки"; });
    const int ungrouped = side_row([](const SidePanelRow& r) { return r.kind == SideRowKind::Ungrouped; });
    ASSERT_GE(node, 0);
    ASSERT_GE(group, 0);
    ASSERT_GE(ungrouped, 0);

    struct Place {
        const char* what;
        std::function<bool(const std::vector<Step>&)> open;  // with the steps after the editor opens
        std::vector<Step> before;                            // the menu choices on the way
        const wchar_t* group;
    };
    auto side = [&](int row) { return [&, row](const std::vector<Step>& s) { return context_menu(mw->side, row, s); }; };
    auto cards = [&](std::int64_t key) {
        return [&, key](const std::vector<Step>& s) {
            return context_menu(mw->cards, list_row_of_key(mw->cards, key), s);
        };
    };
    const std::vector<Place> places = {
        {"command 1117", [&](const std::vector<Step>& s) { return command(kCmdNewTemplate, s); }, {}, L""},
        {"side panel, templates node", side(node), {menu_choice(2)}, L""},
        {"side panel, the ungrouped row", side(ungrouped), {menu_choice(1)}, L""},
        {"side panel, a group row", side(group), {menu_choice(21)}, L"Рассылки"},
        {"cards, a template row", cards(-letter), {menu_choice(12)}, L""},
        {"cards, a group header", cards(kGroupHeaderKey), {menu_choice(21)}, L"Рассылки"},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(p.what);
        mw->show_template_group(L"Рассылки");
        Opened seen;
        std::vector<Step> steps = p.before;
        steps.push_back(look_and_cancel(seen, ui));
        EXPECT_TRUE(p.open(steps));
        // The combo shows the group, or its no-group entry selected.
        const std::wstring group_text = *p.group ? std::wstring(p.group) : tr(L"editor.ungrouped_group");
        EXPECT_EQ(seen.group, group_text);
        if (!*p.group) {
            EXPECT_EQ(seen.combo_selection, 0);
        }
        EXPECT_TRUE(seen.focus_in_name);
    }
}

// The header of the templates without a group is no group: its menu offers
// a new template only, which gets no group; a named group's header offers
// the group's commands.
TEST_F(TemplateEditorGui, TheUngroupedHeaderOffersNoGroupCommands) {
    mw->show_template_group(std::wstring(1, kUngroupedFilter));
    const int header = list_row_of_key(mw->cards, kUngroupedHeaderKey);
    ASSERT_EQ(header, 0);
    std::vector<std::uint64_t> ids;
    Step look{kMenuClass, [&](HWND menu) {
                  const PopupMenuLevel* level = menu_level(menu);
                  if (!level || !level->items) return false;
                  for (const PopupMenuItem& it : *level->items) ids.push_back(it.id);
                  return choose_menu_item(menu, 12);
              }};
    Opened seen;
    const size_t groups_before = db->list_snippet_groups().size();
    EXPECT_TRUE(context_menu(mw->cards, header, {look, look_and_cancel(seen, ui)}));
    EXPECT_EQ(ids, std::vector<std::uint64_t>{12});
    EXPECT_EQ(seen.combo_selection, 0) << "the no-group entry";
    EXPECT_EQ(db->list_snippet_groups().size(), groups_before);

    // A named group's header: new template in it, rename, move all, delete.
    ASSERT_TRUE(db->add_snippet_group(L"Рассылки"));
    ASSERT_GT(db->add_snippet(L"Рассылка весной", L"Текст", L"Рассылки"), 0);
    mw->show_template_group(L"Рассылки");
    ids.clear();
    Step look_named{kMenuClass, [&](HWND menu) {
                        const PopupMenuLevel* level = menu_level(menu);
                        if (!level || !level->items) return false;
                        for (const PopupMenuItem& it : *level->items)
                            if (!it.separator) ids.push_back(it.children.empty() ? it.id : 1);
                        press_key(menu, VK_ESCAPE);
                        return true;
                    }};
    EXPECT_TRUE(context_menu(mw->cards, 0, {look_named}));
    EXPECT_EQ(ids, (std::vector<std::uint64_t>{21, 22, 1, 24}));
}

// The group commands check the name before the store: a blank name asks
// for one, a taken name is told, an unchanged rename does nothing.
TEST_F(TemplateEditorGui, GroupNamesAreCheckedFirst) {
    const std::vector<std::wstring> groups = db->list_snippet_groups();
    ASSERT_FALSE(groups.empty()) << "the store seeds groups";
    struct Case {
        const char* what;
        std::function<void()> run;
        std::wstring typed;
        const wchar_t* message;  // null: no message
    } cases[] = {
        {"a blank new group", [&] { mw->new_template_group(); }, L"   ", L"message.enter_name"},
        {"a taken new group", [&] { mw->new_template_group(); }, L" " + groups[0] + L" ", L"message.dup_group"},
        {"an unchanged rename", [&] { mw->rename_template_group(groups[0]); }, groups[0], nullptr},
        {"a blank rename", [&] { mw->rename_template_group(groups[0]); }, L"  ", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring message;
        std::vector<Step> steps{input_answer(c.typed)};
        if (c.message) steps.push_back(confirm_answer(true, &message));
        EXPECT_TRUE(run_with_steps(ui, steps, c.run));
        if (c.message) {
            EXPECT_NE(message.find(tr(c.message)), std::wstring::npos) << to_utf8(message);
        }
        EXPECT_EQ(newest_window(ui, kConfirmBoxClass), nullptr) << "nothing more is said";
        EXPECT_EQ(db->list_snippet_groups(), groups);
    }
}

// A group move from the side panel takes the group's live templates from
// the store, whatever the cards list shows.
TEST_F(TemplateEditorGui, MovingAGroupTakesItsTemplatesFromTheStore) {
    ASSERT_TRUE(db->add_snippet_group(L"Старая"));
    ASSERT_TRUE(db->add_snippet_group(L"Новая"));
    const std::int64_t a = db->add_snippet(L"Один", L"1", L"Старая");
    const std::int64_t b = db->add_snippet(L"Два", L"2", L"Старая");
    ASSERT_TRUE(a > 0 && b > 0);
    mw->set_view(kViewAll, -1);  // the cards show the history, no template
    mw->move_group_templates(L"Старая", L"Новая");
    EXPECT_EQ(snippet_titled(*db, L"Один")->grp, L"Новая");
    EXPECT_EQ(snippet_titled(*db, L"Два")->grp, L"Новая");
}

// A WM_QUIT that arrives while the editor is open ends it and is posted
// again for the outer loop.
TEST_F(TemplateEditorGui, QuitIsPassedOnToTheOuterLoop) {
    std::wstring title = L"t", group, body = L"b";
    Step quit = editor_step([&](HWND) { return PostThreadMessageW(ui, WM_QUIT, 7, 0) != 0; });
    bool saved = true;
    bool quit_again = false;
    WPARAM code = 0;
    EXPECT_TRUE(run_with_steps(ui, {quit}, [&] {
        saved = show_template_editor(wnd, mw, title, group, body);
        MSG msg{};
        quit_again = PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
        code = msg.wParam;
    }));
    EXPECT_FALSE(saved);
    EXPECT_EQ(title, L"t");
    EXPECT_TRUE(quit_again);
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(IsWindowEnabled(wnd));
    EXPECT_EQ(newest_window(ui, kEditorClass), nullptr);
}

// Opening and closing the editor many times keeps the GDI objects level.
TEST_F(TemplateEditorGui, NoGdiObjectsAreLeft) {
    auto open_close = [&] {
        std::wstring t, g, b;
        Step cancel = editor_step([](HWND e) {
            press_button(item(e, kEditorCancel));
            return true;
        });
        return run_with_steps(ui, {cancel}, [&] { show_template_editor(wnd, mw, t, g, b); });
    };
    ASSERT_TRUE(open_close());
    pump(100);
    const DWORD before = gui_test::gdi_object_count();
    for (int i = 0; i < 15; ++i) ASSERT_TRUE(open_close());
    pump(100);
    EXPECT_LE(gui_test::gdi_object_count(), before + 2);
}

// Pictures of the editor and of the edit menu, light (English) and dark
// (Russian), written as
// template_editor_<theme>.png and menu_bar_edit_<theme>.png beside the bin
// folder.
TEST_F(TemplateEditorGui, PicturesInBothThemes) {
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark);
        run.reset();
        start(dark);
        // The dark pictures show the Russian texts, the light ones English.
        set_language(dark ? L"ru" : L"en");
        mw->apply_language();
        ASSERT_TRUE(db->add_snippet_group(L"Рассылки"));
        const std::int64_t id = db->add_snippet(L"Приветствие", L"Здравствуйте, {user}!\r\nСегодня {date}.", L"Рассылки");
        ASSERT_GT(id, 0);
        mw->open_templates();
        list_select_keys(mw->cards, {-id});
        const std::wstring theme = dark ? L"dark" : L"light";
        Capture editor_shot, menu_shot;
        Step shoot_editor = editor_step([&](HWND e) {
            std::this_thread::sleep_for(std::chrono::milliseconds(600));  // painted
            editor_shot = capture_screen(gui_test::window_rect(e));
            press_button(item(e, kEditorCancel));
            return true;
        });
        EXPECT_TRUE(command(kCmdEdit, {shoot_editor}));
        Step shoot_menu{kMenuClass, [&](HWND menu) {
                            press_key(menu, VK_DOWN);
                            std::this_thread::sleep_for(std::chrono::milliseconds(400));
                            menu_shot = capture_screen(gui_test::window_rect(menu));
                            press_key(menu, VK_ESCAPE);
                            return true;
                        }};
        HWND edit_button = GetDlgItem(wnd, kIdFirstMenuButton + kMenuEdit);
        EXPECT_TRUE(run_with_steps(ui, {shoot_menu}, [&] { SendMessageW(edit_button, BM_CLICK, 0, 0); }));
        ASSERT_GT(editor_shot.width, 0);
        ASSERT_GT(menu_shot.width, 0);
        if (dark) {
            EXPECT_LT(mean_brightness(editor_shot), 110.0);
            EXPECT_LT(mean_brightness(menu_shot), 110.0);
        } else {
            EXPECT_GT(mean_brightness(editor_shot), 150.0);
            EXPECT_GT(mean_brightness(menu_shot), 150.0);
        }
        EXPECT_TRUE(save_capture(editor_shot, L"template_editor_" + theme + L".png"));
        EXPECT_TRUE(save_capture(menu_shot, L"menu_bar_edit_" + theme + L".png"));
    }
    set_language(L"en");
}

}  // namespace
