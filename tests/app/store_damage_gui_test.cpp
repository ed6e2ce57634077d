// What the program tells about its store's recovery, in its tray balloon,
// with the store held by another program or on a full disk, and what it
// tells once a copy finds the store free or the disk with room again.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/app_ids.h"
#include "app/tray_icon.h"
#include "core/handles.h"
#include "core/i18n.h"
#include "core/text.h"
#include "store/database.h"
#include "tests/app/app_test_support.h"
#include "tests/store/damage_support.h"

namespace {

using namespace app_test;
using damage_test::FullDisk;

std::wstring name_of(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

// Copies the text from another program and ticks the clipboard poll until
// the program has stored it, then once more (the tick that tells what the
// store's recovery did).
bool copy_and_store(App& app, HWND window, const std::wstring& text) {
    Helper writer;
    if (!writer.start(L"text \"" + text + L"\"")) return false;
    const bool stored = pump_until(
        [&] {
            SendMessageW(window, WM_TIMER, kTimerClipboardPoll, 0);
            for (const HistoryEntry& e : app.database->list_entries(L"all", false, false))
                if (e.text == text) return true;
            return false;
        },
        15000);
    SendMessageW(window, WM_TIMER, kTimerClipboardPoll, 0);
    return stored;
}

// A file that is no database, held open by another program at start: the
// balloon says so (not that a damaged store is kept and read); the first
// copy once it is free sets it aside, is stored, and the balloon tells the
// file kept aside.
TEST(StoreDamageTold, AFileThatIsNoDatabaseHeldAtStartIsToldAndReplacedAtTheNextCopy) {
    TempFolder keep;
    RunningApp run;
    ASSERT_TRUE(test_support::write_file(run.files.database_path, std::string(4096, 'x')));
    raii::Handle holder(CreateFileW(run.files.database_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    const HWND window = run.window();
    KillTimer(window, kTimerClipboardPoll);
    EXPECT_TRUE(app.database->damaged_file_kept());
    EXPECT_EQ(app.tray_icon->balloons_shown, 1);
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.database_kept.title"));
    EXPECT_EQ(app.tray_icon->last_balloon_text, tr(L"tray.database_held.text"));
    SendMessageW(window, WM_TIMER, kTimerClipboardPoll, 0);
    EXPECT_EQ(app.tray_icon->balloons_shown, 1) << "told once";

    holder.reset();
    ASSERT_TRUE(copy_and_store(app, window, L"copied once the file is free"));
    ASSERT_TRUE(app.database->recovered_damaged_file());
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.database_damaged.title"));
    EXPECT_EQ(app.tray_icon->last_balloon_text,
              tr_format(L"tray.database_damaged.text", name_of(app.database->damaged_file_path())));
}

// A damaged store set aside on a full disk (SQLite's page limit on the
// fresh store): the balloon names the kept file and says the new store
// could not be written; once there is room, the next copy fills the fresh
// store and the balloon tells the entries saved.
TEST(StoreDamageTold, AFreshStoreThatCannotBeWrittenIsToldAndFilledAtTheNextCopy) {
    TempFolder keep;
    RunningApp run;
    {
        Database db(run.files.database_path);
        for (int i = 1; i <= 20; ++i)
            ASSERT_GT(db.add_entry({.text = L"entry " + std::to_wstring(i) + L" " + std::wstring(3000, L'q')}), 0);
    }
    const std::string file = damage_test::read_file(run.files.database_path);
    const std::size_t page = damage_test::page_holding(file, "entry 10 " + std::string(200, 'q'));
    ASSERT_GT(page, 0u);
    damage_test::overwrite_pages(run.files.database_path, page, damage_test::pseudo_random_bytes(4096, 10));

    FullDisk full(1);
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    const HWND window = run.window();
    KillTimer(window, kTimerClipboardPoll);
    ASSERT_TRUE(app.database->salvage_waiting());
    const std::wstring kept = name_of(app.database->damaged_file_path());
    EXPECT_EQ(app.tray_icon->balloons_shown, 1);
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.database_kept.title"));
    EXPECT_EQ(app.tray_icon->last_balloon_text, tr_format(L"tray.database_not_written.text", kept));

    full.make_room();
    ASSERT_TRUE(copy_and_store(app, window, L"copied once there is room"));
    EXPECT_FALSE(app.database->salvage_waiting());
    EXPECT_EQ(app.database->count_entries(), 20);
    EXPECT_EQ(app.tray_icon->last_balloon_title, tr(L"tray.database_damaged.title"));
    EXPECT_EQ(app.tray_icon->last_balloon_text, tr_format(L"tray.database_partly_read.text", kept, 19, 1));
}

}  // namespace
