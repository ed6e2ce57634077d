// The numbers of the settings window's layout that decide how much room a
// text gets: the content column, the controls' sizes, the fonts and the
// rows whose width follows a measured text. The page builder and the
// painters use them, and so does the test that checks that every text of
// the window fits its control in every language.
#pragma once

#include <windows.h>

// Fonts: regular text and section headings 13 pixels (weight 400 and 700),
// the page title 20 pixels (weight 600).
inline constexpr int kSettingsFontSize = 13;
inline constexpr int kSettingsHeadingWeight = 700;
inline constexpr int kSettingsTitleFontSize = 20;
inline constexpr int kSettingsTitleWeight = 600;

// The content column right of the page list, and the client width.
inline constexpr int kSettingsColumnX = 236;
inline constexpr int kSettingsColumnWidth = 500;
inline constexpr int kSettingsClientWidth = kSettingsColumnX + kSettingsColumnWidth + 24;

// Controls of a page.
inline constexpr int kSettingsHeadingHeight = 20;
inline constexpr int kSettingsCheckWidth = 490;
inline constexpr int kSettingsCheckHeight = 22;
inline constexpr int kSettingsLabelWidth = 200;   // the label left of an edit or a hotkey field
inline constexpr int kSettingsLabelHeight = 20;
inline constexpr int kSettingsFieldOffset = 204;  // from the column to the edit or field beside a label
// The sound choice: its label from 24 in, ending 4 before the combo at 190
// (so that the two never overlap).
inline constexpr int kSettingsSoundLabelOffset = 24;
inline constexpr int kSettingsSoundComboOffset = 190;
inline constexpr int kSettingsSoundLabelWidth = kSettingsSoundComboOffset - kSettingsSoundLabelOffset - 4;
inline constexpr int kSettingsSoundComboWidth = 150;
inline constexpr int kSettingsFilterLabelWidth = 60;
inline constexpr int kSettingsFilterComboWidth = 200;
inline constexpr int kSettingsLanguageComboWidth = 120;
inline constexpr int kSettingsScrollLabelWidth = 260;
inline constexpr int kSettingsHintHeight = 18;    // a one-line hint below a control
inline constexpr int kSettingsTemplatesHintHeight = 40;  // two lines on the templates page
inline constexpr int kSettingsEditorHintHeight = 80;     // three lines on the screenshots page
inline constexpr int kSettingsBackupButtonWidth = 120;
inline constexpr int kSettingsCloseButtonWidth = 110;

// The hotkey field beside its label reaches the column's right edge, so
// that its messages and the chips of four keys have room.
inline constexpr int kSettingsHotkeyFieldWidth = kSettingsColumnWidth - kSettingsFieldOffset;
inline constexpr int kSettingsHotkeyFieldHeight = 24;

// The page list's item: the label from 46 (4 right of the glyph) to the
// right edge - 4 of the 192 pixels wide list.
inline constexpr int kSettingsPageListWidth = 192;
RECT settings_page_label_rect(const RECT& item);

// The page title from the column to the client's right edge - 24.
RECT settings_title_rect(int client_width, int title_font_height);

// A folder row: the label, the edit and the browse button that ends at
// the column's right edge. The button is at least 90 pixels wide and
// grows with its text (text width + 24, the themed button keeps 10 on
// either side); the edit takes what is left, 8 pixels before the button.
struct SettingsFolderRow {
    RECT label, edit, button;
};
SettingsFolderRow settings_folder_row(int y, int button_text_width);
