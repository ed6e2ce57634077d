// The settings window (class "QuilletSettings"): a modeless window owned by
// the main window, with a list of seven pages on the left and the controls
// of the chosen page on the right. Every change takes effect at once and
// the whole settings record is written after it; there is no OK button.
//
// App owns the one object (made on first use, kept until shutdown); the
// window comes and goes, the page shown survives it. Interface thread only.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "core/handles.h"

class App;

// Control ids of the settings window.
enum SettingsControlId : int {
    kSetWatch = 1001,
    kSetDarkMode = 1002,
    kSetAlwaysOnTop = 1003,
    kSetCloseOnPaste = 1004,
    kSetTrayOnMinimize = 1005,
    kSetStartInTray = 1006,
    kSetShowTime = 1007,
    kSetSortByFrequency = 1008,
    kSetAutostart = 1009,
    kSetHotkeyOpen = 1010,
    kSetTtlDays = 1011,
    kSetTrashHours = 1012,  // also the up-down of the ttl edit
    kSetFilterMode = 1013,  // also the up-down of the trash edit
    kSetFilterList = 1014,
    kSetExport = 1015,
    kSetImport = 1016,
    kSetClose = 1017,
    kSetHotkeyPlain = 1018,
    kSetSoundOnCopy = 1019,
    kSetSoundOnPaste = 1020,
    kSetHideOnCopy = 1021,
    kSetRepeatOnCopy = 1022,
    kSetFontSize = 1023,
    kSetHotkeySnippets = 1024,  // also the up-down of the font-size edit
    kSetShowHints = 1026,
    kSetShowCategory = 1027,
    kSetScrollLines = 1028,
    kSetShotEditor = 1029,
    kSetShotCopies = 1030,
    kSetShotAutosave = 1031,
    kSetShotFolder = 1032,
    kSetHotkeyRegion = 1033,
    kSetHotkeyWindow = 1034,
    kSetHotkeyFull = 1035,
    kSetHidePinned = 1037,  // 1037..1042: hidden side-panel views
    kSetHideImages = 1042,
    kSetClipImagesAutosave = 1043,
    kSetShotBrowse = 1044,
    kSetPinnedFirst = 1045,
    kSetSoundCopyId = 1046,
    kSetSoundPasteId = 1047,
    kSetLanguage = 1048,
    kSetCheckUpdates = 1049,
    kSetBackupFolder = 1050,
    kSetBackupBrowse = 1051,
    kSetClickToCopy = 1052,
    kSetPageList = 1100,
};

// Posted to the settings window after a language change: build it again.
inline constexpr UINT WM_SETTINGS_REBUILD = WM_APP + 60;

inline constexpr const wchar_t* kSettingsWindowClass = L"QuilletSettings";
inline constexpr int kSettingsPageCount = 7;

class SettingsWindow {
public:
    SettingsWindow() = default;
    ~SettingsWindow();
    SettingsWindow(const SettingsWindow&) = delete;
    SettingsWindow& operator=(const SettingsWindow&) = delete;

    // Creates the window centred on its owner when there is none (false
    // when that fails), then shows it and brings it to the front.
    bool open(HWND owner, App* app);
    // Builds the pages again in the current language, in the same window
    // and on the same page (opens the window when there is none). The
    // window itself stays: destroying a shown top-level window can keep
    // the old one on screen for seconds (Wine waits for the window manager).
    void rebuild();
    // Sets every switch to what the settings hold now and the controls to
    // the theme in force, after a change made outside the window (main
    // window, menus, tray). Changes nothing in the settings.
    void show_settings_state();
    // Shows page n (0..6; larger n are ignored).
    void show_page(int n);
    // Deletes the fonts and forgets the controls; the window itself goes
    // with its owner.
    void destroy();
    void save_settings();

    // ---- handlers of settings_wnd_proc -----------------------------------------------
    void on_command(int id, int code, HWND control);
    LRESULT on_notify(const NMHDR* header);
    void on_paint();
    void on_erase(HDC dc);
    void on_draw_item(const DRAWITEMSTRUCT* dis);
    HBRUSH on_control_color(UINT message, HDC dc, HWND control);
    void on_destroy();
    void set_hovered_page(int index);

    // ---- fields ------------------------------------------------------------------------
    HWND window = nullptr;
    HWND owner = nullptr;
    App* app = nullptr;
    HWND page_list = nullptr;
    std::vector<std::wstring> language_codes;
    int page = 0;
    int page_list_width = 208;
    std::array<std::vector<HWND>, kSettingsPageCount> page_controls;
    raii::Font regular_font;
    raii::Font heading_font;
    raii::Font title_font;
    raii::Font glyph_font;
    std::vector<HWND> check_boxes;
    std::vector<HWND> edits;  // edits, combo boxes and up-down controls
    std::vector<HWND> hotkey_fields;
    std::vector<HWND> buttons;
    HWND font_up_down = nullptr;
    int hovered_page = -1;
    // True while the pages are built: notifications change nothing then.
    bool building = false;
    // A retention limit was changed and its purge has not run yet.
    bool ttl_changed = false;
    bool trash_changed = false;

private:
    bool dark() const;
    void create_fonts();
    void build_pages();
    void forget_controls();
    void size_window(int lowest_bottom);
    void apply_dark_mode_to_controls(bool dark);
    void apply_retention(bool ttl);
    void on_toggle(int id, bool checked);
    void on_click(int id);
    void on_edit_change(int id, HWND control);
    void on_combo_change(int id, HWND control);
    void on_language_change(HWND combo);
    void browse_folder(int edit_id, const wchar_t* title_key, std::wstring* setting);

    // Page list brushes (0x272727 / 0xFBFBFB), made once per object.
    raii::Brush band_brush_[2];
    friend class SettingsPageBuilder;
};

// The folder chooser of the browse buttons: the common item dialog in
// folder mode, or the shell's folder browser where that dialog is missing.
// out is cleared first; true only when a folder was chosen.
bool pick_folder(HWND owner, const std::wstring& initial, std::wstring& out, const wchar_t* title_key);

// The full text of a window (GetWindowTextLengthW long).
std::wstring window_text(HWND window);

LRESULT CALLBACK settings_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
