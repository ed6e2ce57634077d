// Texts the shell builds: balloon fields, the copied-text notice and the
// control colours of the main window.
#include <gtest/gtest.h>

#include "app/app.h"
#include "app/tray_icon.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "ui/main_window.h"

namespace {

TEST(BalloonText, ShortTextsUnchanged) {
    EXPECT_EQ(shorten_with_ellipsis(L"", 60), L"");
    EXPECT_EQ(shorten_with_ellipsis(std::wstring(60, L'a'), 60), std::wstring(60, L'a'));
    EXPECT_EQ(fit_balloon_field(L"title", kBalloonTitleRoom), L"title");
}

TEST(BalloonText, LongTextsCutWithEllipsis) {
    EXPECT_EQ(shorten_with_ellipsis(std::wstring(61, L'a'), 60), std::wstring(60, L'a') + L"\u2026");
    EXPECT_EQ(fit_balloon_field(std::wstring(300, L'x'), kBalloonTextRoom), std::wstring(255, L'x'));
    EXPECT_EQ(fit_balloon_field(std::wstring(64, L'x'), kBalloonTitleRoom), std::wstring(63, L'x'));
}

TEST(BalloonText, NeverSplitsSurrogatePair) {
    // 59 letters, then an emoji (two code units) across the cut at 60.
    std::wstring text = std::wstring(59, L'a') + L"\U0001F4CB" + L"tail";
    EXPECT_EQ(shorten_with_ellipsis(text, 60), std::wstring(59, L'a') + L"\u2026");
    std::wstring title = std::wstring(62, L'b') + L"\U0001F4CB";
    EXPECT_EQ(fit_balloon_field(title, 63), std::wstring(62, L'b'));
    // A pair that ends exactly at the cut stays whole.
    std::wstring whole = std::wstring(58, L'c') + L"\U0001F4CB" + L"tail";
    EXPECT_EQ(shorten_with_ellipsis(whole, 60), std::wstring(58, L'c') + L"\U0001F4CB" + L"\u2026");
}

// The balloon for a damaged store says how many entries were saved and
// whether some could not be read, in every language.
TEST(BalloonText, DamagedStoreTellsTheEntriesSavedAndUnread) {
    struct Case {
        std::int64_t saved;
        std::int64_t unread;
        const wchar_t* key;
        std::vector<std::wstring> numbers;
    };
    const Case cases[] = {
        {-1, 0, L"tray.database_damaged.text", {}},
        {0, 0, L"tray.database_damaged.text", {}},
        {33, 0, L"tray.database_recovered.text", {L"33"}},
        {33, 7, L"tray.database_partly_read.text", {L"33", L"7"}},
        {33, -1, L"tray.database_some_unread.text", {L"33"}},
        {0, -1, L"tray.database_none_read.text", {}},
        {0, 40, L"tray.database_none_read.text", {}},
    };
    for (const wchar_t* lang : {L"en", L"ru", L"de", L"es", L"fr", L"it", L"pl", L"pt"}) {
        set_language(lang);
        for (const Case& c : cases) {
            const std::wstring text = damaged_store_text(L"quillet.db.damaged-x", c.saved, c.unread);
            SCOPED_TRACE(std::to_string(c.saved) + "/" + std::to_string(c.unread));
            EXPECT_NE(tr(c.key), c.key) << "translated";
            EXPECT_NE(text.find(L"quillet.db.damaged-x"), std::wstring::npos);
            for (const std::wstring& n : c.numbers) EXPECT_NE(text.find(n), std::wstring::npos);
            EXPECT_EQ(text.find(L'%'), std::wstring::npos);
            const std::wstring name = L"quillet.db.damaged-x";
            const int saved = static_cast<int>(c.saved);
            const int unread = static_cast<int>(c.unread);
            EXPECT_EQ(text, c.numbers.empty()       ? tr_format(c.key, name)
                            : c.numbers.size() == 1 ? tr_format(c.key, name, saved)
                                                    : tr_format(c.key, name, saved, unread));
        }
    }
    set_language(L"en");
    EXPECT_EQ(damaged_store_text(L"f", 33, 7),
              L"The damaged database was kept as f and a new one was started: 33 entries were saved; 7 could not be read.");
}

TEST(ControlColors, Table) {
    struct Case {
        UINT message;
        int id;
        bool toolbar;
        bool dark;
        bool answered;
        COLORREF text, background;
    } cases[] = {
        {WM_CTLCOLOREDIT, 102, false, false, true, 0x141414, 0xFFFFFF},
        {WM_CTLCOLOREDIT, 102, false, true, true, 0xF2F2F2, 0x2B2B2B},
        {WM_CTLCOLORLISTBOX, 101, false, false, true, 0x141414, 0xFFFFFF},
        {WM_CTLCOLORLISTBOX, 103, false, true, true, 0xF2F2F2, 0x2B2B2B},
        {WM_CTLCOLORBTN, 201, true, false, true, 0x141414, 0xF3F3F3},
        {WM_CTLCOLORBTN, 201, true, true, true, 0xF2F2F2, 0x202020},
        {WM_CTLCOLORBTN, 210, false, false, false, 0, 0},
        {WM_CTLCOLORSTATIC, 109, false, false, true, 0x606060, 0xF3F3F3},
        {WM_CTLCOLORSTATIC, 105, false, true, true, 0xC7C7C7, 0x202020},
        {WM_CTLCOLORSTATIC, 0, false, false, true, 0xD5D5D5, 0xF3F3F3},
        {WM_CTLCOLORSTATIC, 0, false, true, true, 0xF2F2F2, 0x202020},
        {WM_CTLCOLORSTATIC, 300, false, false, true, 0x141414, 0xFBFBFB},
        {WM_CTLCOLORSTATIC, 310, false, true, true, 0xF2F2F2, 0x272727},
        {WM_CTLCOLORSTATIC, 106, false, false, true, 0x141414, 0xF3F3F3},
        {WM_CTLCOLORSTATIC, 104, false, true, true, 0xF2F2F2, 0x202020},
        {WM_CTLCOLORDLG, 0, false, false, false, 0, 0},
    };
    for (const Case& c : cases) {
        ControlColors got{};
        bool answered = main_control_colors(c.message, c.id, c.toolbar, c.dark, got);
        EXPECT_EQ(answered, c.answered) << c.message << " " << c.id;
        if (answered && c.answered) {
            EXPECT_EQ(got.text, c.text) << c.message << " " << c.id << " " << c.dark;
            EXPECT_EQ(got.background, c.background) << c.message << " " << c.id << " " << c.dark;
        }
    }
}

TEST(ControlColors, ToolbarGlyphs) {
    const struct {
        int id;
        COLORREF light, dark;
    } cases[] = {
        {201, 0x5EB016, 0x7BC92E}, {202, 0xD68F00, 0xEEB03E}, {203, 0xC44F6D, 0xE06F8D}, {204, 0x173BE4, 0x3A60FC},
        {205, 0x779B00, 0x9AC21F}, {206, 0x779B00, 0x9AC21F}, {207, 0x8A8A8A, 0xA8A8A8}, {208, 0x575757, 0x9A9A9A},
        {209, 0xB07C00, 0xDDA93A}, {221, 0xCC7A00, 0xEBA64D}, {220, 0x141414, 0xF2F2F2}, {108, 0x141414, 0xF2F2F2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toolbar_glyph_color(c.id, false), c.light) << c.id;
        EXPECT_EQ(toolbar_glyph_color(c.id, true), c.dark) << c.id;
    }
}

}  // namespace
