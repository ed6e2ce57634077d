// The program and a settings file that another program holds: a file that
// cannot be read is never replaced by the program's saves, and the user is
// told so once.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/tray_icon.h"
#include "core/handles.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "tests/app/app_test_support.h"

namespace {

using app_test::RunningApp;
using test_support::read_file;

// The file held by another handle with the sharing given (no reading).
raii::Handle hold(const std::wstring& path, DWORD share) {
    return raii::Handle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

int unreadable_balloons(App& app, int before) {
    const bool last_is_ours = app.tray_icon->last_balloon_title == tr(L"tray.settings_unreadable.title") &&
                              app.tray_icon->last_balloon_text == tr(L"tray.settings_unreadable.text");
    return last_is_ours ? app.tray_icon->balloons_shown - before : 0;
}

}  // namespace

// Held with no read sharing while the program starts: the program runs on
// the defaults, tells once, and neither its saves nor its end replace the
// file, even after the other program lets it go.
TEST(SettingsFile, HeldAtTheStartItIsNeverReplacedAndToldOnce) {
    RunningApp run([](Settings& s) {
        s.font_size = 12;
        s.hotkey = L"ctrl+alt+q";
        s.screenshot_folder = L"D:\\Shots";
    });
    const std::string before = read_file(run.files.settings_path);
    ASSERT_FALSE(before.empty());
    raii::Handle other = hold(run.files.settings_path, FILE_SHARE_DELETE);
    ASSERT_TRUE(other);
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    ASSERT_TRUE(app.tray_icon->is_added());
    EXPECT_EQ(app.settings->font_size, 14) << "the defaults";
    EXPECT_EQ(unreadable_balloons(app, 0), 1);
    const int shown = app.tray_icon->balloons_shown;

    app.settings->dark_mode = true;
    app.save_settings();
    other.reset();
    app.save_settings();
    app.mark_update_checked();
    EXPECT_EQ(app.tray_icon->balloons_shown, shown) << "told once";
    run.stop();
    EXPECT_EQ(read_file(run.files.settings_path), before);
}

// Readable at the start, held while a setting is saved: that save and the
// next leave the file as it is and tell once; once it is let go, the next
// save writes it.
TEST(SettingsFile, HeldDuringASaveIsLeftAsItIsUntilItCanBeRead) {
    RunningApp run([](Settings& s) { s.font_size = 12; });
    ASSERT_TRUE(run.start());
    App& app = *run.app;
    ASSERT_TRUE(app.tray_icon->is_added());
    EXPECT_EQ(app.settings->font_size, 12);
    const int start_balloons = app.tray_icon->balloons_shown;
    const std::string before = read_file(run.files.settings_path);

    raii::Handle other = hold(run.files.settings_path, FILE_SHARE_DELETE);
    ASSERT_TRUE(other);
    app.settings->font_size = 16;
    app.save_settings();
    app.save_settings();
    EXPECT_EQ(unreadable_balloons(app, start_balloons), 1);
    other.reset();
    EXPECT_EQ(read_file(run.files.settings_path), before);

    app.save_settings();
    Settings saved;
    EXPECT_EQ(saved.load(run.files.settings_path), SettingsFileState::ok);
    EXPECT_EQ(saved.font_size, 16);
    EXPECT_EQ(app.tray_icon->balloons_shown, start_balloons + 1);
}
