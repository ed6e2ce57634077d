// The settings window's value mappings: edit texts to days, hours and font
// sizes, combo selections to modes, lines and sounds, and the hidden-view
// bits.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ui/dialogs/settings_values.h"

namespace {

TEST(SettingsValues, UnsignedTextAsTheEditHoldsIt) {
    struct C {
        const wchar_t* text;
        std::optional<unsigned long long> value;
    };
    const C cases[] = {
        {L"0", 0},           {L"30", 30},        {L" 365 ", 365},     {L"007", 7},
        {L"", std::nullopt}, {L"  ", std::nullopt}, {L"-1", std::nullopt}, {L"+5", std::nullopt},
        {L"12days", std::nullopt}, {L"1 2", std::nullopt}, {L"4294967295", 4294967295ULL},
        {L"4294967296", std::nullopt}, {L"99999999999999999999999", std::nullopt},
    };
    for (const C& c : cases) EXPECT_EQ(read_unsigned_text(c.text), c.value) << std::wstring(c.text).size();
}

TEST(SettingsValues, RetentionAndFontSizeFromText) {
    struct C {
        const wchar_t* text;
        std::optional<int> days, hours, font;
    };
    const C cases[] = {
        {L"", std::nullopt, std::nullopt, std::nullopt},
        {L"abc", std::nullopt, std::nullopt, std::nullopt},
        {L"0", 0, 0, 10},
        {L"3", 3, 3, 10},
        {L"14", 14, 14, 14},
        {L"25", 25, 25, 18},
        {L"365", 365, 365, 18},
        {L"5000", 5000, 5000, 18},  // beyond the up-down's range, taken as typed
        {L"36501", kMaxTtlDays, 36501, 18},
        {L"4294967295", kMaxTtlDays, kMaxTrashHours, 18},  // never a negative int
    };
    for (const C& c : cases) {
        const std::wstring t = c.text;
        EXPECT_EQ(ttl_days_from_text(t), c.days) << t.size();
        EXPECT_EQ(trash_hours_from_text(t), c.hours) << t.size();
        EXPECT_EQ(font_size_from_text(t), c.font) << t.size();
    }
}

TEST(SettingsValues, FontSizeSteps) {
    struct C {
        int position, delta, size;
    };
    const C cases[] = {{14, 1, 15}, {14, -1, 13}, {18, 1, 18}, {10, -1, 10}, {3, 0, 10}, {2147483647, 1, 18}};
    for (const C& c : cases) EXPECT_EQ(font_size_from_step(c.position, c.delta), c.size) << c.position << c.delta;
}

TEST(SettingsValues, ComboIndexesAndValues) {
    EXPECT_EQ(app_filter_mode_from_index(0), L"all");
    EXPECT_EQ(app_filter_mode_from_index(1), L"whitelist");
    EXPECT_EQ(app_filter_mode_from_index(2), L"blacklist");
    EXPECT_EQ(app_filter_mode_from_index(-1), L"all");
    EXPECT_EQ(app_filter_index_from_mode(L"whitelist"), 1);
    EXPECT_EQ(app_filter_index_from_mode(L"blacklist"), 2);
    EXPECT_EQ(app_filter_index_from_mode(L"all"), 0);
    EXPECT_EQ(app_filter_index_from_mode(L"Whitelist"), 0);

    struct C {
        int index, choice;
    };
    for (const C& c : {C{-1, 1}, C{0, 1}, C{1, 2}, C{3, 4}, C{7, 4}}) EXPECT_EQ(choice_from_index(c.index), c.choice);
    for (const C& c : {C{0, 0}, C{-3, 0}, C{1, 0}, C{2, 1}, C{4, 3}, C{9, 3}})
        EXPECT_EQ(scroll_lines_index(c.index), c.choice) << c.index;
    for (const C& c : {C{1, 0}, C{4, 3}, C{0, -1}, C{5, -1}}) EXPECT_EQ(sound_index(c.index), c.choice) << c.index;
}

TEST(SettingsValues, HiddenViewBits) {
    struct C {
        int id, bit;
    };
    for (const C& c : {C{1036, 0}, C{1037, 0x01}, C{1038, 0x02}, C{1039, 0x04}, C{1040, 0x08}, C{1041, 0x10},
                       C{1042, 0x20}, C{1043, 0}})
        EXPECT_EQ(hidden_view_bit(c.id), c.bit) << c.id;
    EXPECT_EQ(with_hidden_bit(0x01, 0x08, true), 0x09);
    EXPECT_EQ(with_hidden_bit(0x09, 0x08, false), 0x01);
    EXPECT_EQ(with_hidden_bit(0x09, 0x02, false), 0x09);
}

}  // namespace
