// The paste and copy actions for real: entries of a store in a temporary
// folder are put on the clipboard and pasted with injected Ctrl+V into the
// edit box of another process; a stand-in main window records WM_APP+4;
// a low-level keyboard hook times the injected keys; a clipboard watcher
// polled afterwards shows that the program's own writes are not recorded.
#include "ui/paste_actions.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_ids.h"
#include "capture/clipboard.h"
#include "capture/image.h"
#include "capture/watcher.h"
#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/text.h"
#include "core/winutil.h"
#include "store/database.h"
#include "tests/capture/dib_builders.h"
#include "tests/core/temp_folder.h"
#include "tests/theme/gui_support.h"
#include "tests/ui/edit_target_client.h"
#include "tests/ui/message_box_watch.h"
#include "ui/list_model.h"

namespace {

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

using Bytes = std::vector<std::uint8_t>;

bool pump_until(const std::function<bool()>& condition, int timeout_ms = 5000) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition()) return true;
        if (GetTickCount64() > deadline) return false;
        Sleep(5);
    }
}

void pump_for(int ms) { pump_until([] { return false; }, ms); }

double now_ms() {
    LARGE_INTEGER f{}, c{};
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// --- the stand-in main window: records WM_APP+4 --------------------------------------

std::vector<double> g_show_main_times;

LRESULT CALLBACK stand_in_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SHOW_MAIN) {
        g_show_main_times.push_back(now_ms());
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

HWND make_stand_in() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = stand_in_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuilletPasteTestMain";
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        RegisterClassW(&wc);
        registered = true;
    }
    return CreateWindowExW(0, L"QuilletPasteTestMain", L"stand-in main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                           300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// --- the injected keys, as a low-level hook sees them ----------------------------------

struct KeyEvent {
    DWORD vk;
    bool up;
    double at;
};
std::vector<KeyEvent> g_keys;

LRESULT CALLBACK key_hook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) {
        const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lp);
        g_keys.push_back({k->vkCode, wp == WM_KEYUP || wp == WM_SYSKEYUP, now_ms()});
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

using gui_test::EditTarget;

// --- clipboard inspection ---------------------------------------------------------------

struct ClipboardContent {
    bool has_text = false;
    std::wstring text;
    std::string rtf;
    std::string html;
    Bytes dib;
};

ClipboardContent read_clipboard_content() {
    ClipboardContent c;
    winutil::register_clipboard_formats();
    c.has_text = IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
    ClipboardSnapshot snap = winutil::read_clipboard();
    c.text = snap.text;
    c.rtf = snap.rtf;
    c.html = snap.html;
    c.dib = snap.dib;
    if (!IsClipboardFormatAvailable(winutil::rtf_clipboard_format())) c.rtf.clear();
    if (!IsClipboardFormatAvailable(winutil::html_clipboard_format())) c.html.clear();
    return c;
}

// A formats payload as a block gives it back: the bytes up to and with
// their terminating zero, when one was added.
std::string without_padding(std::string bytes) {
    while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    return bytes;
}

// --- the fixture ---------------------------------------------------------------------------

class PasteActions : public testing::Test {
protected:
    static void SetUpTestSuite() { set_language(L"en"); }

    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        db_ = std::make_unique<Database>(dir_.file(L"quillet.db"));
        ASSERT_TRUE(db_->is_open());
        settings_.sound_on_paste = false;
        settings_.sound_on_copy = false;
        settings_.hide_on_copy = false;
        watcher_ = std::make_unique<ClipboardWatcher>(*db_, settings_);
        main_ = make_stand_in();
        ASSERT_NE(main_, nullptr);
        g_show_main_times.clear();
        g_keys.clear();
    }
    void TearDown() override {
        // A paste thread still running would type into the next test.
        pump_for(50);
        if (main_) DestroyWindow(main_);
        pump_for(20);
    }

    std::int64_t add_text(const std::wstring& text, const std::string& rtf = {}, const std::string& html = {}) {
        return db_->add_entry({.text = text, .rtf = rtf, .html = html, .source_app = L"notepad.exe"});
    }
    std::int64_t add_image(const std::wstring& text, const Bytes& bytes) {
        return db_->add_entry({.text = text, .image = bytes, .source_app = L"paint.exe", .is_image = true,
            .repeat = true});
    }
    std::int64_t add_template(const std::wstring& title, const std::wstring& body) {
        return db_->add_snippet(title, body, L"");
    }

    // The listed records as the main window lists them (without their
    // payload): the texts of the "all" view and the images view.
    void reload() {
        constexpr auto deferred = Database::Payload::Deferred;
        entries_ = db_->list_entries(L"all", false, true, deferred);
        for (HistoryEntry& e : db_->list_entries(L"images", false, true, deferred)) entries_.push_back(std::move(e));
        templates_ = db_->list_snippets();
    }
    std::vector<HistoryEntry> every_entry() { return db_->list_entries(L"every", false, false); }

    PasteContext context(const std::vector<std::int64_t>& selected, HWND target = nullptr) {
        reload();
        PasteContext c;
        c.db = db_.get();
        c.watcher = watcher_.get();
        c.settings = &settings_;
        c.main_window = main_;
        c.remembered_target = target;
        c.close_on_paste = false;
        c.selected = selected;
        c.entries = &entries_;
        c.templates = &templates_;
        return c;
    }

    std::int64_t use_count(std::int64_t id) {
        for (const HistoryEntry& e : every_entry())
            if (e.id == id) return e.use_count;
        return -1;
    }
    std::int64_t template_use_count(std::int64_t id) {
        for (const Snippet& s : db_->list_snippets())
            if (s.id == id) return s.use_count;
        return -1;
    }

    // Waits for the paste thread of a paste with close-on-paste off.
    bool wait_reactivated(std::size_t count = 1) {
        return pump_until([&] { return g_show_main_times.size() >= count; }, 5000);
    }

    test_support::TempFolder dir_;
    Settings settings_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<ClipboardWatcher> watcher_;
    std::vector<HistoryEntry> entries_;
    std::vector<Snippet> templates_;
    HWND main_ = nullptr;
};

// --- paste into another process ---------------------------------------------------------

TEST_F(PasteActions, PastesOneEntryIntoTheTargetAndActivatesTheMainWindowAgain) {
    const std::int64_t id = add_text(L"pasted into another program");
    ASSERT_GT(id, 0);
    EditTarget target(L"PasteActionsTarget1");
    ASSERT_NE(target.edit, nullptr);
    // The user's window is no longer in front: the paste brings it back.
    // Under load the first request can be lost: ask again until it holds.
    pump_until([&] {
        if (GetForegroundWindow() == target.window) winutil::bring_to_front(main_);
        return GetForegroundWindow() != target.window;
    }, 5000);
    ASSERT_NE(GetForegroundWindow(), target.window);

    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, key_hook, GetModuleHandleW(nullptr), 0);
    ASSERT_NE(hook, nullptr);
    PasteContext c = context({id}, target.window);
    const double started = now_ms();
    ASSERT_TRUE(on_paste_selected(c));
    EXPECT_TRUE(IsWindowVisible(main_)) << "close-on-paste off leaves the main window shown";

    ASSERT_TRUE(pump_until([&] { return target.text() == L"pasted into another program"; }));
    ASSERT_TRUE(wait_reactivated());
    pump_for(100);
    UnhookWindowsHookEx(hook);

    EXPECT_EQ(use_count(id), 1);
    ASSERT_EQ(g_show_main_times.size(), 1u);
    EXPECT_TRUE(IsWindowVisible(main_));

    // Ctrl down 60 + 80 ms after the start, V down, V up and Ctrl up 40 ms
    // apart, WM_APP+4 200 ms after the last key.
    std::vector<KeyEvent> injected;
    for (const KeyEvent& k : g_keys)
        if (k.vk == VK_CONTROL || k.vk == VK_LCONTROL || k.vk == 'V') injected.push_back(k);
    ASSERT_EQ(injected.size(), 4u);
    EXPECT_TRUE((injected[0].vk == VK_CONTROL || injected[0].vk == VK_LCONTROL) && !injected[0].up);
    EXPECT_TRUE(injected[1].vk == 'V' && !injected[1].up);
    EXPECT_TRUE(injected[2].vk == 'V' && injected[2].up);
    EXPECT_TRUE((injected[3].vk == VK_CONTROL || injected[3].vk == VK_LCONTROL) && injected[3].up);
    EXPECT_GE(injected[0].at - started, 135.0);
    EXPECT_GE(injected[3].at - injected[0].at, 110.0);
    EXPECT_GE(g_show_main_times[0] - injected[3].at, 190.0);
    EXPECT_GE(g_show_main_times[0] - started, 450.0);
}

TEST_F(PasteActions, CloseOnPasteHidesTheMainWindowFirstAndDoesNotActivateItAgain) {
    const std::int64_t id = add_text(L"hidden while pasting");
    EditTarget target(L"PasteActionsTarget2");
    ASSERT_NE(target.edit, nullptr);
    // Under load the first request can be lost: ask again until it holds.
    pump_until([&] {
        if (GetForegroundWindow() == target.window) winutil::bring_to_front(main_);
        return GetForegroundWindow() != target.window;
    }, 5000);
    ASSERT_NE(GetForegroundWindow(), target.window);

    PasteContext c = context({id}, target.window);
    c.close_on_paste = true;
    ASSERT_TRUE(on_paste_selected(c));
    EXPECT_FALSE(IsWindowVisible(main_)) << "hidden before the thread starts";
    ASSERT_TRUE(pump_until([&] { return target.text() == L"hidden while pasting"; }));
    pump_for(600);
    EXPECT_TRUE(g_show_main_times.empty());
    EXPECT_FALSE(IsWindowVisible(main_));
}

TEST_F(PasteActions, WithoutATargetCtrlVGoesToTheWindowInFront) {
    const std::int64_t id = add_text(L"no target known");
    EditTarget target(L"PasteActionsTarget3");
    ASSERT_NE(target.edit, nullptr);
    // The target process puts its window in front itself.
    ASSERT_TRUE(pump_until([&] { return GetForegroundWindow() == target.window; }));

    // The remembered target is the main window itself: that counts as none.
    PasteContext c = context({id}, main_);
    ASSERT_TRUE(on_paste_selected(c));
    ASSERT_TRUE(pump_until([&] { return target.text() == L"no target known"; }));
    ASSERT_TRUE(wait_reactivated());
}

TEST_F(PasteActions, SeveralRowsArePastedJoinedByCrLfWithEveryUseCounted) {
    const std::int64_t first = add_text(L"first text");
    const std::int64_t image = add_image(L"", capture_test::make_dib({}));
    const std::int64_t third = add_text(L"third text");
    const std::int64_t tpl = add_template(L"Greeting", L"Hello {year}");
    ASSERT_GT(first, 0);
    ASSERT_GT(image, 0);
    ASSERT_GT(third, 0);
    ASSERT_GT(tpl, 0);
    EditTarget target(L"PasteActionsTarget4");
    ASSERT_NE(target.edit, nullptr);

    // The image without text adds nothing; a group header is skipped; a row
    // no longer listed is skipped.
    PasteContext c = context({first, image, kGroupHeaderKey, third, -tpl, 987654});
    c.remembered_target = target.window;
    ASSERT_TRUE(on_paste_selected(c));
    const std::wstring expected = L"first text\r\nthird text\r\nHello " + current_placeholder_values().year;
    ASSERT_TRUE(pump_until([&] { return target.text() == expected; })) << "got the text of the edit box";
    ASSERT_TRUE(wait_reactivated());
    EXPECT_EQ(use_count(first), 1);
    EXPECT_EQ(use_count(image), 1);
    EXPECT_EQ(use_count(third), 1);
    EXPECT_EQ(template_use_count(tpl), 1);
    EXPECT_EQ(winutil::get_clipboard_text(), expected);
}

TEST_F(PasteActions, MultiplePasteDoesNothingInTheTrashViewOrWithoutText) {
    const std::int64_t a = add_text(L"trashed one");
    const std::int64_t b = add_text(L"trashed two");
    const std::int64_t image = add_image(L"", capture_test::make_dib({}));
    ASSERT_TRUE(winutil::set_clipboard_text(L"left alone"));

    PasteContext trash = context({a, b});
    trash.trash_view = true;
    EXPECT_FALSE(on_paste_multiple(trash));
    EXPECT_FALSE(on_paste_selected(trash));
    EXPECT_EQ(use_count(a), 0);

    // Only an image without text: its use is counted, nothing is pasted.
    PasteContext images = context({image, kGroupHeaderKey});
    EXPECT_FALSE(on_paste_multiple(images));
    EXPECT_EQ(use_count(image), 1);
    EXPECT_FALSE(on_paste_multiple(context({})));
    pump_for(600);
    EXPECT_TRUE(g_show_main_times.empty());
    EXPECT_EQ(winutil::get_clipboard_text(), L"left alone");
}

TEST_F(PasteActions, PasteAsTransformsTheSelectedText) {
    const std::int64_t id = add_text(L"placeholder text");
    ASSERT_TRUE(db_->set_entry_text(id, L"  hello wORLD. second sentence\r\nnext Line  "));
    EditTarget target(L"PasteActionsTarget5");
    ASSERT_NE(target.edit, nullptr);
    const std::wstring original = L"  hello wORLD. second sentence\r\nnext Line  ";

    for (int n = 0; n <= 6; ++n) {
        SCOPED_TRACE(n);
        target.clear();
        g_show_main_times.clear();
        const std::wstring expected = transform_text(original, static_cast<unsigned>(n));
        ASSERT_NE(expected, original) << "each transform changes this text";
        PasteContext c = context({id}, target.window);
        ASSERT_TRUE(paste_selected_transformed(c, n));
        ASSERT_TRUE(pump_until([&] { return target.text() == expected; }));
        ASSERT_TRUE(wait_reactivated());
        EXPECT_EQ(use_count(id), n + 1);
    }
    EXPECT_EQ(transform_text(original, 0), L"  HELLO WORLD. SECOND SENTENCE\r\nNEXT LINE  ");
    EXPECT_EQ(transform_text(original, 6).find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_FALSE(paste_selected_transformed(context({id}, target.window), 7));
    EXPECT_FALSE(paste_selected_transformed(context({id, id}, target.window), 0));
}

TEST_F(PasteActions, PlainPasteLeavesTheRichFormatsOutAndIgnoresImages) {
    const std::string rtf = "{\\rtf1\\ansi {\\b bold} text}";
    const std::string html = "Version:0.9\r\nStartHTML:-1\r\n<b>bold</b> text";
    const std::int64_t rich = add_text(L"bold text", rtf, html);
    const std::int64_t image = add_image(L"", capture_test::make_dib({}));
    EditTarget target(L"PasteActionsTarget6");
    ASSERT_NE(target.edit, nullptr);

    ASSERT_TRUE(paste_selected_plain(context({rich}, target.window)));
    ASSERT_TRUE(pump_until([&] { return target.text() == L"bold text"; }));
    ASSERT_TRUE(wait_reactivated());
    ClipboardContent clip = read_clipboard_content();
    EXPECT_EQ(clip.text, L"bold text");
    EXPECT_TRUE(clip.rtf.empty());
    EXPECT_TRUE(clip.html.empty());
    EXPECT_EQ(use_count(rich), 1);

    EXPECT_FALSE(paste_selected_plain(context({image}, target.window)));
    EXPECT_FALSE(paste_selected_transformed(context({image}, target.window), 0));
    EXPECT_FALSE(paste_selected_plain(context({-5}, target.window)));
    EXPECT_EQ(use_count(image), 0);
}

// --- what goes on the clipboard ------------------------------------------------------------

TEST_F(PasteActions, EachKindOfRowGoesOnTheClipboardWithItsFormats) {
    const std::string rtf = "{\\rtf1\\ansi rich}";
    const std::string html = "Version:0.9\r\n<i>rich</i>";
    const Bytes dib = capture_test::make_dib({});
    const std::int64_t rich = add_text(L"rich", rtf, html);
    const std::int64_t plain = add_text(L"plain only");
    const std::int64_t image = add_image(L"", dib);
    const std::int64_t tpl = add_template(L"Signed", L"Regards, {user}");

    struct Case {
        const char* name;
        std::int64_t key;
        std::wstring text;
        std::string rtf, html;
        bool image;
    };
    const std::vector<Case> cases = {
        {"rtf and html", rich, L"rich", rtf, html, false},
        {"plain text", plain, L"plain only", "", "", false},
        {"image without text", image, L"", "", "", true},
        {"template", -tpl, L"Regards, " + current_placeholder_values().user, "", "", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        for (int road = 0; road < 2; ++road) {
            SCOPED_TRACE(road == 0 ? "paste" : "copy");
            ASSERT_TRUE(winutil::set_clipboard_text(L"before"));
            g_show_main_times.clear();
            if (road == 0) {
                ASSERT_TRUE(on_paste_selected(context({k.key})));
                ASSERT_TRUE(wait_reactivated());
            } else {
                ASSERT_TRUE(copy_entry_to_clipboard(context({}), k.key));
            }
            ClipboardContent clip = read_clipboard_content();
            EXPECT_TRUE(clip.has_text);
            EXPECT_EQ(clip.text, k.text);
            EXPECT_EQ(without_padding(clip.rtf), k.rtf);
            EXPECT_EQ(without_padding(clip.html), k.html);
            if (k.image)
                EXPECT_EQ(clip.dib, dib);
            else
                EXPECT_TRUE(clip.dib.empty());
        }
    }
    EXPECT_EQ(use_count(rich), 1) << "a copy counts no use of an entry";
    EXPECT_EQ(use_count(image), 1);
    EXPECT_EQ(template_use_count(tpl), 2) << "a template's copy counts a use";
}

// An entry deleted from the store after it was listed has no bytes to give:
// the copy reports it, the paste sends no Ctrl+V (it would paste what was
// there before), and the clipboard is left alone.
TEST_F(PasteActions, AnEntryGoneSinceItWasListedIsNotWritten) {
    const std::int64_t image = add_image(L"", capture_test::make_dib({}));
    PasteContext ctx = context({image});
    ASSERT_NE(find_listed_entry(ctx, image), nullptr);
    ASSERT_TRUE(db_->purge_entry(image));
    ASSERT_TRUE(winutil::set_clipboard_text(L"before"));
    gui_test::MessageBoxWatch boxes;
    EXPECT_FALSE(copy_entry_to_clipboard(ctx, image));
    g_show_main_times.clear();
    EXPECT_FALSE(on_paste_selected(ctx));
    EXPECT_FALSE(pump_until([] { return !g_show_main_times.empty(); }, 800)) << "no paste thread ran";
    ClipboardContent clip = read_clipboard_content();
    EXPECT_EQ(clip.text, L"before");
    EXPECT_TRUE(clip.dib.empty());
    // Each refusal is told.
    boxes.stop();
    ASSERT_EQ(boxes.texts().size(), 2u);
    for (const std::wstring& box : boxes.texts())
        EXPECT_NE(box.find(tr(L"message.text_unreadable")), std::wstring::npos) << to_utf8(box);
}

// Rows listed before their texts are read (as the main window lists a view
// at first): every way of pasting or copying them takes the whole text
// from the store; when the store has lost a row, each refuses, tells why,
// leaves the clipboard as it was and pastes nothing.
TEST_F(PasteActions, RowsListedWithoutTheirTextsAreWrittenWholeOrRefused) {
    std::wstring long_text;
    for (int i = 0; i < 400; ++i) long_text += L"Long Row Word " + std::to_wstring(i) + L" ";
    const std::int64_t a = add_text(long_text);
    const std::int64_t b = add_text(L"short row");
    for (const HistoryEntry& e : every_entry())
        if (e.id == a) long_text = e.text;
    struct Use {
        const char* name;
        std::function<bool(const PasteContext&)> run;
        bool joined;     // both rows, CR LF between
        int transform;   // -1 none
    };
    const Use uses[] = {
        {"copy", [](const PasteContext& c) { return copy_selected(c); }, false, -1},
        {"copy of both", [](const PasteContext& c) { return copy_selected(c); }, true, -1},
        {"click-to-copy", [](const PasteContext& c) { return on_click_copy_timer(c, c.selected.front()); }, false, -1},
        {"paste", [](const PasteContext& c) { return on_paste_selected(c); }, false, -1},
        {"paste of both", [](const PasteContext& c) { return on_paste_selected(c); }, true, -1},
        {"plain paste", [](const PasteContext& c) { return paste_selected_plain(c); }, false, -1},
        {"paste as upper case", [](const PasteContext& c) { return paste_selected_transformed(c, 0); }, false, 0},
    };
    auto not_read = [&](const std::vector<std::int64_t>& selected) {
        PasteContext c = context(selected);
        // The rows as the list has them before it reads their texts.
        entries_ = db_->list_entry_rows(L"all", false, true, nullptr);
        for (const HistoryEntry& e : entries_) EXPECT_EQ(e.text_state, TextState::NotRead);
        c.entries = &entries_;
        return c;
    };
    for (const Use& use : uses) {
        SCOPED_TRACE(use.name);
        const std::vector<std::int64_t> selected = use.joined ? std::vector<std::int64_t>{b, a} : std::vector<std::int64_t>{a};
        ASSERT_TRUE(winutil::set_clipboard_text(L"before"));
        const std::size_t pasted = g_show_main_times.size();
        ASSERT_TRUE(use.run(not_read(selected)));
        std::wstring expected = use.joined ? L"short row\r\n" + long_text : long_text;
        if (use.transform >= 0) expected = transform_text(expected, static_cast<unsigned>(use.transform));
        EXPECT_TRUE(winutil::get_clipboard_text() == expected) << winutil::get_clipboard_text().size() << " units";
        // A paste's thread ends by showing the main window again.
        if (std::string(use.name).find("paste") != std::string::npos) {
            EXPECT_TRUE(wait_reactivated(pasted + 1));
        }
    }

    // The long row gone from the store behind the list.
    ASSERT_TRUE(db_->purge_entry(a));
    pump_for(300);
    g_show_main_times.clear();
    gui_test::MessageBoxWatch boxes;
    for (const Use& use : uses) {
        SCOPED_TRACE(use.name);
        const std::vector<std::int64_t> selected = use.joined ? std::vector<std::int64_t>{b, a} : std::vector<std::int64_t>{a};
        ASSERT_TRUE(winutil::set_clipboard_text(L"before"));
        PasteContext c = not_read({b});
        // The list read before the purge still holds the row.
        HistoryEntry gone;
        gone.id = a;
        gone.text_state = TextState::NotRead;
        gone.payload_deferred = true;
        entries_.insert(entries_.begin(), gone);
        c.selected = selected;
        EXPECT_FALSE(use.run(c));
        EXPECT_EQ(winutil::get_clipboard_text(), L"before");
    }
    EXPECT_FALSE(pump_until([] { return !g_show_main_times.empty(); }, 800)) << "no paste thread ran";
    boxes.stop();
    EXPECT_EQ(boxes.texts().size(), std::size(uses));
    for (const std::wstring& box : boxes.texts())
        EXPECT_NE(box.find(tr(L"message.text_unreadable")), std::wstring::npos) << to_utf8(box);
}

TEST_F(PasteActions, NothingHappensForHeadersMissingRowsAndNoSelection) {
    add_text(L"unused entry");
    ASSERT_TRUE(winutil::set_clipboard_text(L"untouched"));
    for (std::int64_t key : {std::int64_t{0}, kGroupHeaderKey, kUngroupedHeaderKey, std::int64_t{424242},
                             std::int64_t{-424242}}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(on_paste_selected(context({key})));
        EXPECT_FALSE(copy_entry_to_clipboard(context({}), key));
        EXPECT_FALSE(copy_selected(context({key})));
    }
    EXPECT_FALSE(on_paste_selected(context({})));
    EXPECT_FALSE(copy_selected(context({})));
    pump_for(500);
    EXPECT_TRUE(g_show_main_times.empty());
    EXPECT_EQ(winutil::get_clipboard_text(), L"untouched");
}

TEST_F(PasteActions, CopyOfTheSelectionJoinsRowsAndHidesOnlyWhenAsked) {
    const std::int64_t a = add_text(L"alpha");
    const std::int64_t b = add_text(L"beta");
    const std::int64_t tpl = add_template(L"T", L"template body");

    ASSERT_TRUE(copy_selected(context({a, -tpl, b})));
    EXPECT_EQ(winutil::get_clipboard_text(), L"alpha\r\ntemplate body\r\nbeta");
    EXPECT_EQ(use_count(a), 0);
    EXPECT_EQ(use_count(b), 0);
    EXPECT_EQ(template_use_count(tpl), 1);
    EXPECT_TRUE(IsWindowVisible(main_));

    // Several rows copy in the trash view too.
    PasteContext trash = context({b, a});
    trash.trash_view = true;
    ASSERT_TRUE(copy_selected(trash));
    EXPECT_EQ(winutil::get_clipboard_text(), L"beta\r\nalpha");

    settings_.hide_on_copy = true;
    ASSERT_TRUE(copy_selected(context({a})));
    EXPECT_EQ(winutil::get_clipboard_text(), L"alpha");
    EXPECT_FALSE(IsWindowVisible(main_));
    ShowWindow(main_, SW_SHOW);
    ASSERT_TRUE(copy_selected(context({a, b})));
    EXPECT_FALSE(IsWindowVisible(main_));
    ShowWindow(main_, SW_SHOW);
    EXPECT_FALSE(copy_selected(context({777777})));
    EXPECT_TRUE(IsWindowVisible(main_)) << "nothing copied, nothing hidden";
    pump_for(300);
    EXPECT_TRUE(g_show_main_times.empty()) << "a copy starts no paste thread";
}

// --- the watcher is told about every write ----------------------------------------------------

TEST_F(PasteActions, OwnPastesAndCopiesAreNotRecordedByTheWatcher) {
    // A picture of its own for each case: the watcher never records the
    // bitmap it saw last, whoever wrote it.
    Bytes png_a, png_b;
    ASSERT_TRUE(winutil::dib_to_png(capture_test::make_dib({7, 4, 32}), png_a));
    ASSERT_TRUE(winutil::dib_to_png(capture_test::make_dib({3, 9, 24}), png_b));
    const std::int64_t dib_a = add_image(L"", capture_test::make_dib({5, 3, 24}));
    const std::int64_t dib_b = add_image(L"", capture_test::make_dib({4, 4, 32}));
    const std::int64_t named_png = add_image(L"named picture", png_a);
    const std::int64_t plain_png = add_image(L"", png_b);
    const std::int64_t text = add_text(L"a text of its own");
    for (std::int64_t id : {dib_a, dib_b, named_png, plain_png, text}) ASSERT_GT(id, 0);
    ASSERT_TRUE(winutil::set_clipboard_text(L"clipboard before the test"));
    // Every copy the watcher records becomes a new entry, so a recorded
    // text would show in the count too.
    settings_.repeat_on_copy = true;
    watcher_->start(nullptr);

    struct Case {
        const char* name;
        std::int64_t key;
        bool paste;
    };
    const std::vector<Case> cases = {
        {"paste of a bitmap", dib_a, true},  {"copy of a bitmap", dib_b, false},
        {"paste of a PNG", named_png, true}, {"copy of a PNG", plain_png, false},
        {"paste of a text", text, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const std::size_t before = every_entry().size();
        g_show_main_times.clear();
        if (k.paste) {
            ASSERT_TRUE(on_paste_selected(context({k.key})));
            ASSERT_TRUE(wait_reactivated());
        } else {
            ASSERT_TRUE(copy_entry_to_clipboard(context({}), k.key));
        }
        // Past the half second in which the watcher ignores the clipboard.
        pump_for(650);
        watcher_->poll();
        watcher_->poll();
        EXPECT_EQ(every_entry().size(), before);
        if (k.key != text) {
            EXPECT_FALSE(read_clipboard_content().dib.empty());
        }
    }

    // A bitmap written without telling the watcher is recorded: the watcher
    // was looking all along.
    Bytes other = capture_test::make_dib({6, 2, 24});
    const std::size_t before = every_entry().size();
    ASSERT_TRUE(winutil::set_clipboard_entry(L"", "", "", other));
    watcher_->poll();
    EXPECT_EQ(every_entry().size(), before + 1);
}

// --- click-to-copy -----------------------------------------------------------------------------

TEST_F(PasteActions, ClickCopyCopiesOnlyTheStillSelectedRow) {
    const std::int64_t a = add_text(L"clicked row");
    const std::int64_t b = add_text(L"other row");
    ASSERT_TRUE(winutil::set_clipboard_text(L"unchanged"));

    EXPECT_FALSE(on_click_copy_timer(context({a}), 0));
    EXPECT_FALSE(on_click_copy_timer(context({b}), a)) << "another row is selected now";
    EXPECT_FALSE(on_click_copy_timer(context({a, b}), a)) << "several rows are selected now";
    EXPECT_EQ(winutil::get_clipboard_text(), L"unchanged");

    settings_.hide_on_copy = true;
    EXPECT_TRUE(on_click_copy_timer(context({a}), a));
    EXPECT_EQ(winutil::get_clipboard_text(), L"clicked row");
    EXPECT_TRUE(IsWindowVisible(main_)) << "click-to-copy never hides the window";
    EXPECT_EQ(use_count(a), 0);
}

// The cards list's timer, on a list box of a real window.
LRESULT CALLBACK timer_counter(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER && wp == kClickCopyTimer) {
        KillTimer(w, kClickCopyTimer);
        SetPropW(w, L"fired", reinterpret_cast<HANDLE>(reinterpret_cast<INT_PTR>(GetPropW(w, L"fired")) + 1));
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

TEST_F(PasteActions, ClickCopyTimerRunsFor250MsAndCanBeCancelled) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = timer_counter;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuilletClickCopyTimerTest";
    RegisterClassW(&wc);
    HWND cards = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(cards, nullptr);
    auto fired = [&] { return reinterpret_cast<INT_PTR>(GetPropW(cards, L"fired")); };

    ClickCopy click;
    const double started = now_ms();
    click.arm(cards, 42);
    EXPECT_EQ(click.pending(), 42);
    ASSERT_TRUE(pump_until([&] { return fired() == 1; }, 2000));
    EXPECT_GE(now_ms() - started, 240.0);
    EXPECT_EQ(click.take(), 42);
    EXPECT_EQ(click.take(), 0) << "taking clears the key";

    click.arm(cards, 7);
    click.cancel(cards);
    EXPECT_EQ(click.pending(), 0);
    pump_for(500);
    EXPECT_EQ(fired(), 1) << "a cancelled timer does not fire";
    RemovePropW(cards, L"fired");
    DestroyWindow(cards);
}

}  // namespace

// --- long texts as the main window lists them --------------------------------------------------

// A listed entry holds only the start of a long text; every write takes the
// whole text from the store.
TEST_F(PasteActions, ListedStartsOfLongTextsAreWrittenWhole) {
    std::wstring first, second;
    for (int i = 0; i < 800; ++i) first += L"first text line " + std::to_wstring(i) + L"\r\n";
    for (int i = 0; i < 700; ++i) second += L"Second Text Word " + std::to_wstring(i) + L" ";
    const std::int64_t a = add_text(first);
    const std::int64_t b = add_text(second);
    // The texts as stored (the store trims what a capture brings).
    for (const HistoryEntry& e : every_entry()) {
        if (e.id == a) first = e.text;
        if (e.id == b) second = e.text;
    }
    ListModel model;
    load_list(model, *db_, settings_, ListView{}, L"", nullptr);
    while (model.has_pending_texts()) model.load_pending_texts(*db_, 0);
    ASSERT_NE(model.find_entry(a), nullptr);
    ASSERT_EQ(model.find_entry(a)->text_state, TextState::Start);
    ASSERT_LT(model.find_entry(b)->text.size(), second.size());
    auto listed = [&](const std::vector<std::int64_t>& selected, HWND target = nullptr) {
        PasteContext c = context(selected, target);
        entries_ = model.entries();
        c.entries = &entries_;
        return c;
    };
    ASSERT_TRUE(copy_selected(listed({b})));
    EXPECT_TRUE(winutil::get_clipboard_text() == second);
    ASSERT_TRUE(copy_selected(listed({a, b})));
    EXPECT_TRUE(winutil::get_clipboard_text() == first + L"\r\n" + second);

    EditTarget target(L"PasteActionsTargetLong");
    ASSERT_NE(target.edit, nullptr);
    g_show_main_times.clear();
    ASSERT_TRUE(paste_selected_plain(listed({b}, target.window)));
    EXPECT_TRUE(pump_until([&] { return target.text() == second; }));
    ASSERT_TRUE(wait_reactivated());
    target.clear();
    g_show_main_times.clear();
    ASSERT_TRUE(paste_selected_transformed(listed({b}, target.window), 0));
    EXPECT_TRUE(pump_until([&] { return target.text() == transform_text(second, 0); }));
    ASSERT_TRUE(wait_reactivated());
}
