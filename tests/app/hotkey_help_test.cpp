// The rows of the hotkey overview.
#include <gtest/gtest.h>

#include "app/hotkey_help.h"
#include "core/i18n.h"
#include "core/settings.h"

namespace {

class HotkeyHelpRows : public testing::Test {
protected:
    void SetUp() override { set_language(L"en"); }
};

TEST_F(HotkeyHelpRows, FixedRowsWithoutSettings) {
    const std::vector<InfoRow> rows = hotkey_help_rows(nullptr);
    ASSERT_EQ(rows.size(), 6u);
    const wchar_t* keys[] = {L"Ctrl+Shift+V", L"Ctrl+Shift+Alt+V", L"Enter", L"Ctrl+F", L"Ctrl+Shift+1..9", L"Esc"};
    const wchar_t* texts[] = {L"hotkey.open_history", L"hotkey.quick_menu", L"hotkey.paste_selected",
                              L"hotkey.search",       L"hotkey.quick_slots", L"hotkey.close"};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].key, keys[i]);
        EXPECT_EQ(rows[i].description, tr(texts[i]));
        EXPECT_NE(rows[i].description, texts[i]) << "a real text";
    }
}

TEST_F(HotkeyHelpRows, ConfiguredHotkeysAreShown) {
    Settings s;
    s.hotkey = L"alt+win+h";
    s.plain_hotkey = L"ctrl+shift+alt+u";
    s.snippets_hotkey = L"ctrl+f9";
    std::vector<InfoRow> rows = hotkey_help_rows(&s);
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[0].key, L"Alt+Win+H") << "the history hotkey as configured";
    EXPECT_EQ(rows[6].key, L"ctrl+shift+alt+u");
    EXPECT_EQ(rows[6].description, tr(L"hotkey.paste_plain"));
    EXPECT_EQ(rows[7].key, L"ctrl+f9");
    EXPECT_EQ(rows[7].description, tr(L"hotkey.snippets"));

    s.hotkey = L"Shift+CTRL+V";
    rows = hotkey_help_rows(&s);
    EXPECT_EQ(rows[0].key, L"Ctrl+Shift+V") << "shown in one form however it is written";
    s.hotkey = L"";
    rows = hotkey_help_rows(&s);
    EXPECT_EQ(rows[0].key, L"") << "no history hotkey: an empty key cell";
    EXPECT_EQ(rows[0].description, tr(L"hotkey.open_history"));
}

}  // namespace
