// Global hotkeys of a running App: registration of every id, the region
// screenshot fallback when another program holds its hotkey, rebinding and
// unbinding, the quick slots and the plain-text paste.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include <sqlite3.h>

#include "app/app_ids.h"
#include "app/tray_icon.h"
#include "capture/clipboard.h"
#include "capture/watcher.h"
#include "core/clipboard_text.h"
#include "core/i18n.h"
#include "core/text.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/store/damage_pages.h"
#include "tests/ui/message_box_watch.h"
#include "tests/ui/edit_target_client.h"

namespace {

using namespace app_test;

constexpr UINT ALT = MOD_ALT, CTRL = MOD_CONTROL, SHIFT = MOD_SHIFT;

struct Combo {
    UINT mods;
    UINT vk;
};

std::vector<Combo> default_combinations() {
    std::vector<Combo> all = {
        {CTRL | SHIFT, 'V'},        // 10 history
        {CTRL | SHIFT | ALT, 'V'},  // 11 quick menu
        {CTRL | SHIFT | ALT, 'U'},  // 12 plain text
        {CTRL | SHIFT | ALT, 'S'},  // 13 snippets
        {0, VK_SNAPSHOT},           // 14 region
        {ALT, VK_SNAPSHOT},         // 15 window
        {SHIFT, VK_SNAPSHOT},       // 16 full screen
    };
    for (UINT d = '1'; d <= '9'; ++d) all.push_back({CTRL | SHIFT, d});  // 20..28
    return all;
}

TEST(Hotkeys, EveryIdIsRegisteredWhileTheWindowLives) {
    auto combos = default_combinations();
    for (const Combo& c : combos) ASSERT_TRUE(combination_free(c.mods, c.vk)) << c.mods << "+" << c.vk;
    {
        RunningApp run;
        ASSERT_TRUE(run.start());
        for (const Combo& c : combos) EXPECT_FALSE(combination_free(c.mods, c.vk)) << c.mods << "+" << c.vk;
        EXPECT_EQ(run.app->region_shot_binding, (HotkeyBinding{0, VK_SNAPSHOT}));
        EXPECT_EQ(run.app->tray_icon->balloons_shown, 0);
    }
    for (const Combo& c : combos) EXPECT_TRUE(combination_free(c.mods, c.vk)) << c.mods << "+" << c.vk;
}

TEST(Hotkeys, TakenRegionHotkeyFallsBackOnceWithBalloon) {
    Helper holder;
    ASSERT_TRUE(holder.start(L"hotkey 0 0x2C")) << "the helper could not take PrtScr";
    ASSERT_FALSE(combination_free(0, VK_SNAPSHOT));
    RunningApp run;
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    EXPECT_EQ(app.region_shot_binding, (HotkeyBinding{CTRL | SHIFT | ALT, 'P'}));
    EXPECT_EQ(app.settings->screenshot_hotkey, L"ctrl+shift+alt+p");
    EXPECT_FALSE(combination_free(CTRL | SHIFT | ALT, 'P'));
    ASSERT_TRUE(app.tray_icon->is_added());
    EXPECT_EQ(app.tray_icon->balloons_shown, 1);
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.screenshots"));
    EXPECT_EQ(app.tray_icon->last_balloon_text, tr(L"tray.screenshot_hotkey_busy"));
    // The other hotkeys are there as usual.
    EXPECT_FALSE(combination_free(ALT, VK_SNAPSHOT));
    EXPECT_FALSE(combination_free(CTRL | SHIFT, 'V'));
    // The new text reaches the settings file at shutdown.
    std::wstring ini = run.files.settings_path;
    run.stop();
    Settings saved;
    saved.load(ini);
    EXPECT_EQ(saved.screenshot_hotkey, L"ctrl+shift+alt+p");
}

class RunningHotkeys : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(run.start()); }
    RunningApp run;
};

TEST_F(RunningHotkeys, EmptyTextUnbinds) {
    App& app = *run.app;
    EXPECT_TRUE(app.set_plain_hotkey(L""));
    EXPECT_FALSE(app.plain_binding.bound());
    EXPECT_EQ(app.settings->plain_hotkey, L"");
    EXPECT_TRUE(combination_free(CTRL | SHIFT | ALT, 'U'));
    // PrtScr can be freed too, and no fallback is taken for an empty text.
    EXPECT_TRUE(app.set_screenshot_hotkeys(0, L""));
    EXPECT_FALSE(app.region_shot_binding.bound());
    EXPECT_EQ(app.settings->screenshot_hotkey, L"");
    EXPECT_TRUE(combination_free(0, VK_SNAPSHOT));
    EXPECT_TRUE(combination_free(CTRL | SHIFT | ALT, 'P'));
    EXPECT_TRUE(app.set_main_hotkey(L""));
    EXPECT_TRUE(combination_free(CTRL | SHIFT, 'V'));
}

TEST_F(RunningHotkeys, TextWithoutKeyChangesNothing) {
    App& app = *run.app;
    EXPECT_FALSE(app.set_main_hotkey(L"ctrl+shift"));
    EXPECT_EQ(app.settings->hotkey, L"ctrl+shift+v");
    EXPECT_EQ(app.history_binding, (HotkeyBinding{CTRL | SHIFT, 'V'}));
    EXPECT_FALSE(combination_free(CTRL | SHIFT, 'V'));
    EXPECT_FALSE(app.set_snippets_hotkey(L"banana"));
    EXPECT_EQ(app.settings->snippets_hotkey, L"ctrl+shift+alt+s");
}

TEST_F(RunningHotkeys, RebindMovesRegistration) {
    App& app = *run.app;
    EXPECT_TRUE(app.set_main_hotkey(L"Ctrl+Alt+H"));
    EXPECT_EQ(app.settings->hotkey, L"Ctrl+Alt+H");
    EXPECT_TRUE(combination_free(CTRL | SHIFT, 'V'));
    EXPECT_FALSE(combination_free(CTRL | ALT, 'H'));
    EXPECT_TRUE(app.set_screenshot_hotkeys(2, L"ctrl+f11"));
    EXPECT_EQ(app.settings->screenshot_full_hotkey, L"ctrl+f11");
    EXPECT_TRUE(combination_free(SHIFT, VK_SNAPSHOT));
    EXPECT_FALSE(combination_free(CTRL, VK_F11));
}

TEST_F(RunningHotkeys, TakenHotkeyStaysStoredButUnregistered) {
    Helper holder;
    ASSERT_TRUE(holder.start(L"hotkey 0 0x78"));  // F9
    App& app = *run.app;
    // Region screenshot: falls back to Ctrl+Shift+Alt+P.
    EXPECT_TRUE(app.set_screenshot_hotkeys(0, L"f9"));
    EXPECT_EQ(app.settings->screenshot_hotkey, L"ctrl+shift+alt+p");
    EXPECT_EQ(app.region_shot_binding, (HotkeyBinding{CTRL | SHIFT | ALT, 'P'}));
    EXPECT_TRUE(combination_free(0, VK_SNAPSHOT));  // the old one was let go
    // Window screenshot: reports the failure and keeps the text.
    EXPECT_FALSE(app.set_screenshot_hotkeys(1, L"f9"));
    EXPECT_EQ(app.settings->screenshot_window_hotkey, L"f9");
    EXPECT_TRUE(combination_free(ALT, VK_SNAPSHOT));
    EXPECT_FALSE(app.set_plain_hotkey(L"f9"));
    EXPECT_EQ(app.settings->plain_hotkey, L"f9");
}

// A 2 x 2 32-bit bottom-up bitmap.
std::vector<std::uint8_t> small_dib(std::uint8_t shade) {
    std::vector<std::uint8_t> dib(40 + 16, 0);
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = 2;
    h.biHeight = 2;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biSizeImage = 16;
    std::memcpy(dib.data(), &h, 40);
    for (size_t i = 40; i < dib.size(); i += 4) {
        dib[i] = shade;
        dib[i + 1] = 0x40;
        dib[i + 2] = 0x80;
        dib[i + 3] = 0xFF;
    }
    return dib;
}

std::int64_t use_count_of(Database& db, std::int64_t id) {
    for (const HistoryEntry& e : db.list_entries(L"every", false, true))
        if (e.id == id) return e.use_count;
    return -1;
}

TEST_F(RunningHotkeys, QuickSlotPutsEntryOnClipboard) {
    App& app = *run.app;
    Database& db = *app.database;
    std::vector<std::int64_t> ids;
    for (const wchar_t* t : {L"slot one", L"slot two", L"slot three"})
        ids.push_back(db.add_text_entry(t, std::nullopt, false, true));
    ASSERT_EQ(db.list_slot_entries().size(), 3u);
    ASSERT_TRUE(winutil::set_clipboard_text(L"marker"));
    pump(700);  // the watcher takes the marker as a capture of its own
    const std::int64_t before = db.count_entries();

    // Slot 5 of 3: nothing at all.
    app.on_quick_slot(5);
    pump(300);
    EXPECT_EQ(winutil::get_clipboard_text(), L"marker");
    for (std::int64_t id : ids) EXPECT_EQ(use_count_of(db, id), 0);

    std::vector<HistoryEntry> slots = db.list_slot_entries();
    app.on_quick_slot(2);
    EXPECT_EQ(winutil::get_clipboard_text(), slots[1].text);
    EXPECT_EQ(use_count_of(db, slots[1].id), 1);
    pump(1500);  // several polls: the program's own write is not recorded
    EXPECT_EQ(db.count_entries(), before);
}

TEST_F(RunningHotkeys, QuickSlotImageIsNotRecordedAgain) {
    App& app = *run.app;
    Database& db = *app.database;
    std::vector<std::uint8_t> dib = small_dib(0x20);
    std::int64_t id = db.add_entry({.image = dib, .source_app = L"paint.exe", .is_image = true});
    ASSERT_GT(id, 0);
    ASSERT_TRUE(db.add_to_slot(id, 9));
    pump(700);
    const std::int64_t before = db.count_entries();
    app.on_quick_slot(1);
    ClipboardSnapshot snap = winutil::read_clipboard();
    EXPECT_EQ(snap.dib, dib);
    pump(2000);
    EXPECT_EQ(db.count_entries(), before);
}

TEST_F(RunningHotkeys, QuickSlotOfAnImageThatCannotBeDecodedWritesNothingAndSendsNoPaste) {
    App& app = *run.app;
    Database& db = *app.database;
    // A PNG whose header reads well but whose image data is broken.
    std::vector<std::uint8_t> broken = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D',
                                        'R', 0, 0, 0, 4, 0, 0, 0, 4, 8, 6, 0, 0, 0, 0x12, 0x34, 0x56, 0x78};
    for (int i = 0; i < 40; ++i) broken.push_back(static_cast<std::uint8_t>(i * 7));
    const std::int64_t image_id =
        db.add_entry({.text = L"caption of the picture", .image = broken, .source_app = L"paint.exe",
            .is_image = true});
    ASSERT_GT(image_id, 0);
    ASSERT_TRUE(db.add_to_slot(image_id, 9));
    const std::int64_t text_id = db.add_text_entry(L"slot text that pastes", std::nullopt, false, true);
    ASSERT_GT(text_id, 0);
    ASSERT_EQ(db.list_slot_entries().size(), 2u);

    gui_test::EditTarget target(L"QuickSlotTarget");
    ASSERT_TRUE(target.edit);
    target.bring_to_front();
    app.paste_target = target.window;  // the window the user pastes into
    ASSERT_TRUE(winutil::set_clipboard_text(L"the user's own copy"));
    pump(700);

    app.on_quick_slot(1);
    pump(1500);  // a paste would have arrived well within this
    EXPECT_EQ(winutil::get_clipboard_text(), L"the user's own copy");
    EXPECT_TRUE(winutil::read_clipboard().dib.empty());
    EXPECT_EQ(target.text(), L"") << "Ctrl+V was sent";
    EXPECT_EQ(use_count_of(db, image_id), 0);

    // The same road with an entry that can be written does paste.
    target.bring_to_front();
    app.on_quick_slot(2);
    EXPECT_TRUE(pump_until([&] { return target.text() == L"slot text that pastes"; }, 5000)) << "no paste arrived";
    EXPECT_EQ(use_count_of(db, text_id), 1);
}

// A quick slot whose text no longer reads from the file (a broken page in
// its overflow chain, met first by the key) stays in its place: its key is
// refused and told, with the clipboard kept and no paste sent, rather than
// pasting the slot after it. (The store is then set aside and salvaged
// without that entry, after which the slots count again from the first.)
TEST_F(RunningHotkeys, AQuickSlotThatDoesNotReadIsRefusedInItsPlace) {
    App& app = *run.app;
    Database& db = *app.database;
    for (const std::wstring& text : {std::wstring(L"slot before"), std::wstring(100 * 1000, L'Q'),
                                     std::wstring(L"slot after the broken one")}) {
        const std::int64_t id = db.add_entry({.text = text});
        ASSERT_GT(id, 0);
        ASSERT_TRUE(db.add_to_slot(id, 9));
    }
    gui_test::EditTarget target(L"QuickSlotTarget");
    ASSERT_TRUE(target.edit);
    target.bring_to_front();
    app.paste_target = target.window;
    ASSERT_TRUE(winutil::set_clipboard_text(L"the user's own copy"));
    // The program takes the copy (and refreshes its list) before the damage.
    ASSERT_TRUE(pump_until([&] { return db.count_entries() == 4; }, 5000));
    pump(700);
    std::size_t page_size = 0;
    {
        // Another connection's write and checkpoint: the store reads its
        // pages from the file again, and the file holds every row.
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(to_utf8(run.files.database_path).c_str(), &other), SQLITE_OK);
        sqlite3_busy_timeout(other, 5000);
        EXPECT_EQ(sqlite3_exec(other, "UPDATE snippets SET use_count=use_count+1", nullptr, nullptr, nullptr), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(other, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(other, "PRAGMA page_size", -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            page_size = static_cast<std::size_t>(sqlite3_column_int64(s, 0));
        sqlite3_finalize(s);
        sqlite3_close(other);
    }
    ASSERT_GT(store_test::break_overflow_chain(run.files.database_path, page_size, 'Q'), 0u);

    gui_test::MessageBoxWatch boxes;
    app.on_quick_slot(2);
    pump(1500);  // a paste would have arrived well within this
    boxes.stop();
    EXPECT_EQ(winutil::get_clipboard_text(), L"the user's own copy");
    EXPECT_EQ(target.text(), L"") << "Ctrl+V was sent";
    ASSERT_EQ(boxes.texts().size(), 1u) << "the refusal is told";
    EXPECT_NE(boxes.texts().front().find(tr(L"message.text_unreadable")), std::wstring::npos)
        << to_utf8(boxes.texts().front());
}

TEST_F(RunningHotkeys, PlainTextHotkeyLeavesFocusAndWindowsAlone) {
    App& app = *run.app;
    HWND wnd = run.window();
    Helper target;
    ASSERT_TRUE(target.start(L"window QuilletTestTarget"));
    HWND other = FindWindowW(L"QuilletTestTarget", nullptr);
    ASSERT_TRUE(other);
    ShowWindow(wnd, SW_HIDE);
    app.paste_target = other;
    // Unicode text with HTML beside it.
    {
        raii::ClipboardOpen open(wnd);
        ASSERT_TRUE(open.ok());
        EmptyClipboard();
        ASSERT_TRUE(winutil::place_clipboard_text(L"plain paste"));
        std::string html = "Version:0.9\r\n<b>x</b>";
        ASSERT_TRUE(winutil::set_clipboard_bytes(winutil::html_clipboard_format(), html.data(), html.size() + 1));
    }
    // Let the watcher's look at the new content end first: the worker does
    // not retry a clipboard that is open elsewhere.
    pump(700);
    ASSERT_TRUE(IsClipboardFormatAvailable(winutil::html_clipboard_format()));
    SendMessageW(wnd, WM_HOTKEY, kHotkeyPlainPaste, 0);
    EXPECT_EQ(app.paste_target, other);
    EXPECT_FALSE(IsWindowVisible(wnd));
    // The worker replaces the clipboard by its text alone.
    EXPECT_TRUE(pump_until([] { return !IsClipboardFormatAvailable(winutil::html_clipboard_format()); }, 3000));
    EXPECT_EQ(winutil::get_clipboard_text(), L"plain paste");
    EXPECT_FALSE(IsWindowVisible(wnd));
}

TEST_F(RunningHotkeys, QuickMenuHotkeyOpensMenuWithEntries) {
    Database& db = *run.app->database;
    db.add_text_entry(L"first for the menu", std::nullopt, false, false);
    db.add_text_entry(L"second for the menu", std::nullopt, false, false);
    SendMessageW(run.window(), WM_HOTKEY, kHotkeyQuickMenu, 0);
    pump(100);
    HWND menu = FindWindowW(L"QuilletQuickMenu", nullptr);
    ASSERT_TRUE(menu);
    EXPECT_TRUE(IsWindowVisible(menu));
    EXPECT_EQ(SendMessageW(GetDlgItem(menu, 1), LB_GETCOUNT, 0, 0), 2);
    SendMessageW(GetDlgItem(menu, 1), WM_KEYDOWN, VK_ESCAPE, 0);
    pump(50);
}

TEST_F(RunningHotkeys, HistoryHotkeyShowsWindow) {
    HWND wnd = run.window();
    ShowWindow(wnd, SW_HIDE);
    SendMessageW(wnd, WM_HOTKEY, kHotkeyHistory, 0);
    pump(100);
    EXPECT_TRUE(IsWindowVisible(wnd));
}

}  // namespace
