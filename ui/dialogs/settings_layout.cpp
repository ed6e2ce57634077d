// The settings window's layout arithmetic (see settings_layout.h).
#include "ui/dialogs/settings_layout.h"

#include <algorithm>

RECT settings_page_label_rect(const RECT& item) { return RECT{item.left + 46, item.top, item.right - 4, item.bottom}; }

RECT settings_title_rect(int client_width, int title_font_height) {
    return RECT{kSettingsColumnX, 20, client_width - 24, title_font_height + 26};
}

SettingsFolderRow settings_folder_row(int y, int button_text_width) {
    const int x = kSettingsColumnX;
    const int right = x + kSettingsColumnWidth;
    const int button_width = std::clamp(button_text_width + 24, 90, 160);
    SettingsFolderRow row{};
    row.label = RECT{x, y + 2, x + kSettingsLabelWidth, y + 2 + kSettingsLabelHeight};
    row.button = RECT{right - button_width, y, right, y + 24};
    row.edit = RECT{x + kSettingsFieldOffset, y, row.button.left - 8, y + 24};
    return row;
}
