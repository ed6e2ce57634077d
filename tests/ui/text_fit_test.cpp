// Every text of the settings window, the hotkey fields, the view window,
// the template editor, the cards, the confirmation box and the balloons,
// measured in the font of its control in every shipped language at the
// smallest and the largest font size, against the room that the window's
// own layout functions give it. A failure names the language, the size,
// the key and both measures.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/hotkey_text.h"
#include "app/tray_icon.h"
#include "core/handles.h"
#include "core/i18n.h"
#include "core/text.h"
#include "store/export.h"
#include "tests/ui/text_fit_support.h"
#include "theme/fonts.h"
#include "theme/painters.h"
#include "ui/card_draw.h"
#include "ui/dialogs/hotkey_chip.h"
#include "ui/dialogs/settings_layout.h"
#include "ui/dialogs/template_editor.h"
#include "ui/dialogs/view_dialog.h"
#include "ui/message_boxes.h"

namespace {

using namespace text_fit;

// ---- settings window -------------------------------------------------------------------

const wchar_t* const kPageKeys[] = {L"nav.clipboard",  L"nav.storage",  L"nav.window",     L"nav.startup",
                                    L"side.templates", L"nav.advanced", L"nav.screenshots"};

const wchar_t* const kHeadingKeys[] = {L"nav.window",       L"win.appearance",       L"win.categories",
                                       L"nav.clipboard",    L"clipboard.app_filter", L"nav.storage",
                                       L"nav.startup",      L"hotkeys.title",        L"side.templates",
                                       L"advanced.updates", L"advanced.backup",      L"nav.screenshots"};

const wchar_t* const kCheckKeys[] = {L"win.always_on_top",
                                     L"win.close_on_paste",
                                     L"win.hide_on_copy",
                                     L"win.click_to_copy",
                                     L"win.tray_on_minimize",
                                     L"win.start_in_tray",
                                     L"view.dark_mode",
                                     L"side.pinned",
                                     L"side.slots",
                                     L"side.none",
                                     L"side.trash",
                                     L"side.templates",
                                     L"side.images",
                                     L"clipboard.watch",
                                     L"clipboard.sound_copy",
                                     L"clipboard.sound_paste",
                                     L"view.show_time",
                                     L"storage.show_hints",
                                     L"storage.show_category",
                                     L"storage.sort_freq",
                                     L"storage.pinned_first",
                                     L"storage.repeat_copies",
                                     L"startup.autostart",
                                     L"advanced.check_updates",
                                     L"screenshot.show_editor",
                                     L"screenshot.done_copies",
                                     L"screenshot.autosave",
                                     L"screenshot.clip_autosave"};

// The labels left of an edit, a combo box or a hotkey field.
const wchar_t* const kFieldLabelKeys[] = {L"win.font_size",
                                          L"storage.ttl",
                                          L"storage.trash_hours",
                                          L"settings.language_label",
                                          L"startup.hotkey_open",
                                          L"startup.hotkey_plain",
                                          L"templates.hotkey",
                                          L"screenshot.hotkey_area",
                                          L"screenshot.hotkey_window",
                                          L"screenshot.hotkey_full"};

// The hotkey fields' labels, in the order of their slots.
const wchar_t* const kHotkeyLabelKeys[] = {L"startup.hotkey_open",      L"startup.hotkey_plain",
                                           L"templates.hotkey",         L"screenshot.hotkey_area",
                                           L"screenshot.hotkey_window", L"screenshot.hotkey_full"};

const wchar_t* const kOneLineHintKeys[] = {L"win.font_hint", L"win.hide_categories_hint", L"storage.trash_hint",
                                           L"advanced.check_updates_hint", L"clipboard.exe_list"};

TEST(TextFit, SettingsWindow) {
    Misfits misfits;
    in_every_language(misfits, [&](int) {
        const Measure regular(kSettingsFontSize, 400);
        const Measure bold(kSettingsFontSize, kSettingsHeadingWeight);
        const Measure title(kSettingsTitleFontSize, kSettingsTitleWeight);
        for (const wchar_t* k : kPageKeys) {
            misfits.line(title, "page title " + key_of(k), tr(k),
                         settings_title_rect(kSettingsClientWidth, title.line()));
            misfits.line(regular, "page list " + key_of(k), tr(k),
                         settings_page_label_rect(box(kSettingsPageListWidth, 40)));
        }
        for (const wchar_t* k : kHeadingKeys)
            misfits.line(bold, "heading " + key_of(k), tr(k), box(kSettingsColumnWidth, kSettingsHeadingHeight));
        const RECT toggle_label = toggle_layout(box(kSettingsCheckWidth, kSettingsCheckHeight), false).label;
        for (const wchar_t* k : kCheckKeys) misfits.line(regular, "toggle " + key_of(k), tr(k), toggle_label);
        for (const wchar_t* k : kFieldLabelKeys)
            misfits.line(regular, "label " + key_of(k), tr(k), box(kSettingsLabelWidth, kSettingsLabelHeight));
        for (const wchar_t* k : {L"clipboard.sound_copy_label", L"clipboard.sound_paste_label"})
            misfits.line(regular, "label " + key_of(k), tr(k), box(kSettingsSoundLabelWidth, kSettingsLabelHeight));
        misfits.line(regular, "label clipboard.filter_mode", tr(L"clipboard.filter_mode"),
                     box(kSettingsFilterLabelWidth, kSettingsLabelHeight));
        misfits.line(regular, "label storage.scroll_lines", tr(L"storage.scroll_lines"),
                     box(kSettingsScrollLabelWidth, kSettingsLabelHeight));
        for (const wchar_t* k : kOneLineHintKeys)
            misfits.line(regular, "hint " + key_of(k), tr(k), box(kSettingsColumnWidth, kSettingsHintHeight));
        misfits.wrapped(regular, "hint templates.hint", tr(L"templates.hint") + L"\r\n" + tr(L"templates.hint_vars"),
                        box(kSettingsColumnWidth, kSettingsTemplatesHintHeight), DT_EXPANDTABS);
        misfits.wrapped(regular, "hint screenshot.editor_hint",
                        tr(L"screenshot.editor_hint1") + L"\r\n" + tr(L"screenshot.editor_hint2") + L"\r\n" +
                            tr(L"screenshot.editor_hint3"),
                        box(kSettingsColumnWidth, kSettingsEditorHintHeight), DT_EXPANDTABS);

        // The number edits (70 pixels, the up-down arrows inside at their
        // right, the frame and the edit's margins) show the largest value
        // their arrows reach: the font size, the days to keep, the hours
        // in the trash.
        const int number_room = 70 - GetSystemMetrics(SM_CXVSCROLL) - 12;
        for (const wchar_t* value : {L"18", L"3650", L"168"})
            misfits.line(regular, "number edit", value, box(number_room, 24));

        // The drop-down lists show their selected item beside the arrow strip.
        const int arrows = GetSystemMetrics(SM_CXVSCROLL);
        for (const wchar_t* k : {L"sound.notification", L"sound.asterisk", L"sound.question", L"sound.error"})
            misfits.line(regular, "sound item " + key_of(k), tr(k),
                         combo_text_box(box(kSettingsSoundComboWidth, 24), arrows));
        for (const wchar_t* k : {L"clipboard.filter_all", L"clipboard.filter_only", L"clipboard.filter_except"})
            misfits.line(regular, "filter item " + key_of(k), tr(k),
                         combo_text_box(box(kSettingsFilterComboWidth, 24), arrows));
        for (const wchar_t* code : kLanguages)
            misfits.line(regular, "language item", language_display_name(code),
                         combo_text_box(box(kSettingsLanguageComboWidth, 24), arrows));

        // Buttons: export and import, the two browse buttons of the folder
        // rows (which leave the edit a usable width), and Close.
        for (const wchar_t* k : {L"advanced.export", L"advanced.import"})
            misfits.line(regular, "button " + key_of(k), tr(k), button_text_box(box(kSettingsBackupButtonWidth, 26)));
        misfits.line(regular, "button action.close", tr(L"action.close"),
                     button_text_box(box(kSettingsCloseButtonWidth, 32)));
        for (auto [label, button] : {std::pair{L"settings.backup_folder", L"settings.backup_browse"},
                                     std::pair{L"screenshot.folder", L"screenshot.browse"}}) {
            const SettingsFolderRow row = settings_folder_row(222, regular.width_of(tr(button)));
            misfits.line(regular, "label " + key_of(label), tr(label), row.label);
            misfits.line(regular, "button " + key_of(button), tr(button), button_text_box(row.button));
            if (width(row.edit) < 150) misfits.fail("folder edit", tr(label), "narrower than 150");
            if (row.button.right > kSettingsColumnX + kSettingsColumnWidth || row.edit.right > row.button.left)
                misfits.fail("folder row", tr(button), "leaves the column or overlaps");
        }
    });
    EXPECT_TRUE(misfits.empty()) << misfits.report();
}

// ---- hotkey fields ----------------------------------------------------------------------------

TEST(TextFit, HotkeyFieldMessages) {
    Misfits misfits;
    const RECT client = box(kSettingsHotkeyFieldWidth, kSettingsHotkeyFieldHeight);
    const RECT text_box = hotkey_field_text_box(client);
    in_every_language(misfits, [&](int) {
        const Measure m(kSettingsFontSize, 400);
        for (const wchar_t* k : {L"hotkey_field.reserved_f12", L"hotkey_field.unsupported", L"hotkey_field.busy_other",
                                 L"hotkey_field.recording", L"hotkey_field.empty"})
            misfits.line(m, key_of(k), tr(k), text_box);
        // The busy message names the field that holds the key.
        for (const wchar_t* label : kHotkeyLabelKeys)
            misfits.line(m, "busy_own + " + key_of(label), tr(L"hotkey_field.busy_own") + L" " + tr(label), text_box);
        // The label and the field side by side inside the column.
        if (kSettingsFieldOffset + kSettingsHotkeyFieldWidth > kSettingsColumnWidth)
            misfits.fail("hotkey field", L"", "reaches past the column");
    });
    EXPECT_TRUE(misfits.empty()) << misfits.report();
}

// Every key that the field can name, with all three modifiers, shows all
// four chips in the field.
TEST(TextFit, HotkeyChipsOfThreeModifiersAndAnyKey) {
    Misfits misfits;
    misfits.where(L"any", kSettingsFontSize);
    const Measure m(kSettingsFontSize, 400);
    const RECT client = box(kSettingsHotkeyFieldWidth, kSettingsHotkeyFieldHeight);
    int named = 0;
    for (unsigned vk = 1; vk < 0xFF; ++vk) {
        if (is_modifier_key(vk)) continue;
        const std::wstring name = key_name(vk);
        if (name.empty() || name.find(L"??") != std::wstring::npos) continue;
        ++named;
        const std::vector<std::wstring> chips = hotkey_chips(MOD_CONTROL | MOD_SHIFT | MOD_ALT, vk);
        std::vector<int> widths;
        for (const std::wstring& c : chips) widths.push_back(m.width_of(c));
        const std::vector<RECT> placed = layout_hotkey_chips(widths, client);
        if (placed.size() != chips.size())
            misfits.fail("chips", hotkey_display_text(MOD_CONTROL | MOD_SHIFT | MOD_ALT, vk),
                         std::to_string(placed.size()) + " of " + std::to_string(chips.size()) + " shown");
        for (size_t i = 0; i < placed.size(); ++i)
            if (m.line() > height(placed[i])) misfits.fail("chip", chips[i], "lower than the font");
    }
    EXPECT_GT(named, 60) << "the field names the letters, digits, function and editing keys";
    EXPECT_TRUE(misfits.empty()) << misfits.report();
}

// ---- view window -------------------------------------------------------------------------------

HistoryEntry browser_entry(const std::wstring& title) {
    HistoryEntry e;
    e.source_app = L"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe";
    e.is_browser_page = true;
    e.source_title = title;
    e.source_url = L"https://www.example.org/articles/2026/12/how-to-keep-a-clipboard-history";
    e.created_at = L"2026-12-10T21:15:09";
    return e;
}

RECT view_client() {
    RECT frame{0, 0, 640, 480};
    RECT none{0, 0, 0, 0};
    AdjustWindowRectEx(&none, WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, FALSE, WS_EX_DLGMODALFRAME);
    return RECT{0, 0, (frame.right - frame.left) - (none.right - none.left),
                (frame.bottom - frame.top) - (none.bottom - none.top)};
}

TEST(TextFit, ViewWindowBand) {
    Misfits misfits;
    const RECT client = view_client();
    const std::wstring wrapping =
        L"How to keep a clipboard history that survives a restart, with pictures and templates";
    std::wstring endless;
    for (int i = 0; i < 8; ++i) endless += wrapping + L" ";
    in_every_language(misfits, [&](int size) {
        const Measure m(size, 400);
        const int band_width = width(view_band_layout(client, kViewBandMinHeight).band);
        for (const std::wstring& title : {std::wstring(L"Clipboard history"), wrapping, endless}) {
            const std::wstring info = view_info_text(browser_entry(title));
            const int needed = view_band_text_height(m.dc(), info, band_width);
            const ViewBandLayout l = view_band_layout(client, needed);
            // A short or a wrapping title shows whole; an endless one is cut
            // after six lines, and the copy time below it always shows.
            if (title != endless) misfits.wrapped(m, "band", info, l.band, DT_EDITCONTROL);
            if (needed > height(l.band)) misfits.fail("band", title, "lower than its text");
            const std::wstring added = info.substr(info.rfind(L'\n') + 1);
            misfits.line(m, "band time line", added, RECT{0, 0, width(l.band), m.line()});
            if (height(l.image_area) < 150) misfits.fail("image area", title, "lower than 150");
        }
        for (const wchar_t* k : {L"view.fit", L"action.close"}) {
            const int w = view_button_width(m.width_of(tr(k)));
            misfits.line(m, "button " + key_of(k), tr(k), button_text_box(box(w, 28)));
        }
    });
    EXPECT_TRUE(misfits.empty()) << misfits.report();
}

// ---- template editor ----------------------------------------------------------------------------

TEST(TextFit, TemplateEditor) {
    Misfits misfits;
    const wchar_t* const insert_keys[kEditorInsertCount] = {
        L"editor.var_date", L"editor.var_time", L"editor.var_datetime", L"editor.var_year", L"editor.var_user"};
    in_every_language(misfits, [&](int size) {
        const Measure m(size, 400);
        const std::pair<EditorLabel, const wchar_t*> labels[] = {{EditorLabel::Name, L"prompt.name"},
                                                                 {EditorLabel::Group, L"editor.group_label"},
                                                                 {EditorLabel::Text, L"editor.template_label"},
                                                                 {EditorLabel::Insert, L"editor.insert_var"},
                                                                 {EditorLabel::Hint, L"editor.vars_hint"}};
        for (auto [which, k] : labels) misfits.line(m, "label " + key_of(k), tr(k), editor_label_rect(which, m.line()));
        std::array<int, kEditorInsertCount> captions{};
        for (int i = 0; i < kEditorInsertCount; ++i) captions[static_cast<size_t>(i)] = m.width_of(tr(insert_keys[i]));
        const auto rects = editor_insert_button_rects(captions);
        for (int i = 0; i < kEditorInsertCount; ++i)
            misfits.line(m, "button " + key_of(insert_keys[i]), tr(insert_keys[i]),
                         button_text_box(rects[static_cast<size_t>(i)]));
        if (rects.back().right > 760) misfits.fail("insert buttons", L"", "reach past the edits");
        if (editor_label_rect(EditorLabel::Insert, m.line()).bottom > rects.front().top)
            misfits.fail("insert label", tr(L"editor.insert_var"), "overlaps the buttons");
        if (editor_label_rect(EditorLabel::Hint, m.line()).bottom > 502)
            misfits.fail("hint", tr(L"editor.vars_hint"), "overlaps OK and Cancel");
        const RECT cancel = editor_cancel_rect(m.width_of(tr(L"action.cancel")));
        misfits.line(m, "button action.cancel", tr(L"action.cancel"), button_text_box(cancel));
        misfits.line(m, "button OK", L"OK", button_text_box(RECT{660, 502, 760, 530}));
        misfits.line(m, "group item", tr(L"editor.ungrouped_group"),
                     combo_text_box(box(640, 24), GetSystemMetrics(SM_CXVSCROLL)));
    });
    EXPECT_TRUE(misfits.empty()) << misfits.report();
}

// ---- cards --------------------------------------------------------------------------------------

TEST(TextFit, CardsKeepTheirTimeAndLines) {
    Misfits misfits;
    const std::wstring category = L"Work notes";
    const RECT text_row = box(360, kTextRowHeight);
    const RECT tall_row = box(360, kTallRowHeight);
    in_every_language(misfits, [&](int size) {
        const Measure m(size, 400);
        const Measure bold(size, 600);
        CardMetaInput in;
        in.category_name = &category;
        in.today = CivilDate{2026, 12, 10};
        for (const wchar_t* day : {L"2026-12-10T21:15:00", L"2026-12-09T21:15:00", L"2026-11-02T21:15:00"}) {
            in.created_at = day;
            const std::wstring meta = format_card_meta(in);
            const int mw = m.width_of(meta);
            misfits.line(m, "text card meta", meta, text_card_layout(text_row, mw).meta);
            const ImageCardLayout l = image_card_layout(tall_row, m.line(), mw);
            RECT meta_text = l.meta;
            meta_text.left = std::max<LONG>(meta_text.left, meta_text.right - mw);
            misfits.line(m, "image card meta", meta, meta_text);
            misfits.line(m, "image card line 1", L"Screenshot", l.line1);
            if (height(l.line2) < m.line()) misfits.fail("image card line 2", L"", "lower than one line");
            const bool apart = l.line2.right <= meta_text.left || l.line2.bottom <= l.meta.top + 2;
            if (!apart) misfits.fail("image card line 2", meta, "runs into the meta line");
        }
        const TemplateLayout t = template_card_layout(tall_row, true, bold.line());
        misfits.line(bold, "template title", L"Signature", t.title);
        if (height(t.body) < m.line()) misfits.fail("template body", L"", "lower than one line");
        misfits.line(bold, "group header", L"Work", group_header_layout(box(360, kHeaderRowHeight)).name);
        if (m.line() > kTextRowHeight - 4) misfits.fail("text card", L"", "row lower than the font");
    });
    EXPECT_TRUE(misfits.empty()) << misfits.report();
}

// ---- confirmation box and balloons ------------------------------------------------------------------

TEST(TextFit, ConfirmBoxOfALongPath) {
    Misfits misfits;
    // A file name longer than the box's 320 pixels breaks inside itself.
    const std::wstring path =
        L"C:\\Users\\someone\\AppData\\Roaming\\Quillet\\Backups\\"
        L"QuilletBackupOfTheTenthOfDecemberTwoThousandTwentySixAtNineFifteenInTheEvening.json";
    in_every_language(misfits, [&](int) {
        const Measure m(kConfirmTextFontSize, 400);
        const std::wstring text = export_done_message(path);
        raii::Font font = create_ui_font(kConfirmTextFontSize, 400);
        const SIZE measured = measure_confirm_text(text, font.get());
        const ConfirmBoxLayout l = confirm_box_layout(measured.cx, measured.cy, true);
        misfits.wrapped(m, "export question", text, l.text, DT_EDITCONTROL);
        if (measured.cx > 320 || l.text.right > l.client.cx)
            misfits.fail("export question", text, "wider than the box");
        for (const wchar_t* k : {L"action.open", L"action.cancel", L"action.ok"})
            misfits.line(m, "button " + key_of(k), tr(k), button_text_box(l.ok));
    });
    EXPECT_TRUE(misfits.empty()) << misfits.report();
}

TEST(TextFit, BalloonsFitTheNotificationFields) {
    Misfits misfits;
    const std::pair<const wchar_t*, const wchar_t*> balloons[] = {
        {L"tray.copied", nullptr},
        {L"tray.screenshots", L"tray.screenshot_hotkey_busy"},
        {L"tray.screenshot_added", L"screenshot.saved_to_images"},
        {L"tray.database_damaged.title", L"tray.database_damaged.text"},
        {L"tray.store_failed.title", L"tray.store_failed.text"},
        {L"update.available.title", L"update.available.text"}};
    in_every_language(misfits, [&](int) {
        for (auto [title, text] : balloons) {
            if (tr(title).size() > kBalloonTitleRoom)
                misfits.fail(key_of(title), tr(title), "longer than the title field");
            if (!text) continue;
            // A text that takes a value (a path, a version) leaves room for it.
            const std::wstring t = tr(text);
            const size_t room = t.find(L"%s") != std::wstring::npos ? 100 : 0;
            if (t.size() + room > kBalloonTextRoom) misfits.fail(key_of(text), t, "longer than the text field");
        }
    });
    EXPECT_TRUE(misfits.empty()) << misfits.report();
}

}  // namespace
