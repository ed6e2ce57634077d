// How the settings window's controls map to settings values and back:
// numbers typed into edits, combo selections and the bits of the hidden
// side-panel views. Pure functions.
#pragma once

#include <optional>
#include <string>

// The number an edit holds as GetDlgItemInt reads it unsigned: blanks
// around it allowed, digits only, at most 4294967295; none otherwise
// (empty, a sign, letters, too large).
std::optional<unsigned long long> read_unsigned_text(const std::wstring& text);

// Limits of the retention edits: far beyond any sensible value, small
// enough that no cut-off computation can overflow.
inline constexpr int kMaxTtlDays = 36500;
inline constexpr int kMaxTrashHours = 876000;

// The history age limit in days typed into its edit (capped at
// kMaxTtlDays; 0 means keep for ever); none when the text is no number.
std::optional<int> ttl_days_from_text(const std::wstring& text);
// The trash age limit in hours (capped at kMaxTrashHours).
std::optional<int> trash_hours_from_text(const std::wstring& text);
// The card font size typed into its edit, limited to 10..18.
std::optional<int> font_size_from_text(const std::wstring& text);
// The font size after an up-down step: position + delta limited to 10..18.
int font_size_from_step(int position, int delta);

// The application filter mode of combo item 0, 1, 2 ("all", "whitelist",
// "blacklist"); "all" for anything else. And the item of a mode.
std::wstring app_filter_mode_from_index(int index);
int app_filter_index_from_mode(const std::wstring& mode);

// A combo of the choices 1 to 4 (scroll lines, sounds): selection + 1
// limited to 1..4, 1 without a selection (negative index).
int choice_from_index(int index);
// The item of scroll_lines: 0 below 1, value - 1 for 1..4, 3 above.
int scroll_lines_index(int lines);
// The item of a sound number: value - 1 for 1..4, else -1 (none).
int sound_index(int sound);

// The bit of categories_hidden of the check box id 1037..1042 (0x01 pinned,
// 0x02 slots, 0x04 no category, 0x08 trash, 0x10 templates, 0x20 images);
// 0 for any other id.
int hidden_view_bit(int control_id);
// The mask with the bit set (checked) or cleared.
int with_hidden_bit(int mask, int bit, bool checked);
