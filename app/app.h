// The application object: owns every long-lived object of the program,
// runs the interface thread's message loop and tears everything down.
//
// One App exists, a local object of WinMain; g_app points at it from the
// start of App::init on. Everything here runs on the interface thread;
// worker threads only post to the main window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/exit_sequence.h"
#include "app/hotkey_text.h"

class Database;
struct Settings;
class MainWindow;
class TrayIcon;
class ClipboardWatcher;
class QuickMenu;
class SettingsWindow;

// The balloon text for a damaged store set aside as name: saved entries
// copied into the fresh store (-1: the file was no database), unread
// entries that could not be read (-1: some, their number unknown).
std::wstring damaged_store_text(const std::wstring& name, std::int64_t saved, std::int64_t unread);

// Where App::init reads and writes its files.
struct AppFiles {
    std::wstring settings_path;  // the INI file
    std::wstring database_path;  // the SQLite file
};

// The files of the data folder (portable or profile, see core/paths.h).
AppFiles default_app_files();

class App {
public:
    App();
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // Creates the objects and the main window (class "QuilletMain"). False
    // only when the main window cannot be created.
    bool init(HINSTANCE instance);
    bool init(HINSTANCE instance, const AppFiles& files);

    // The message loop; the WM_QUIT code (or -1 when GetMessageW failed).
    int run();

    // The rest of the exit sequence (a quit, unless the session is ending):
    // the captures waiting are written, what could not be is told, and the
    // owned objects are deleted, each once, in a fixed order. Runs at most
    // once; later calls do nothing.
    void shutdown();

    // ---- the exit sequence (exit_sequence.cpp) ----------------------------------
    // Begins an exit now; one already begun keeps its kind and start, from
    // which its deadline counts.
    void begin_exit(ExitKind kind);
    // The end of the session was called off before any stage ran.
    void cancel_exit();
    // Runs the stages of the exit up to and including last that have not
    // run yet (a quit begun now when no exit was begun).
    void run_exit(ExitStage last);

    // ---- operations used by the rest of the program -------------------------
    // A capture was stored: the list goes back to the top (unless refresh
    // is false: the caller refreshes it once for several), a tray balloon
    // shows the start of the text.
    void notify_copied(const std::wstring& text, bool refresh = true);
    // A capture could not be written to the store: told once in a tray
    // balloon, and again only after a capture was stored in between.
    void notify_store_failed();
    // Another program holds the store while captures wait to be written.
    void notify_store_busy();
    // At each clipboard tick and after the hourly check: a store file found
    // damaged since the last one is replaced (see
    // Database::recover_if_damaged) and told once.
    void check_store_damage();
    void clear_history();
    // Opens the settings window, or brings it to the front when it is open.
    void show_settings();
    void apply_dark_mode(bool on);
    void toggle_dark_mode();
    // Fills the quick menu and opens it at the pointer.
    void show_quick_menu();
    // The foreground window becomes the paste target unless it is one of the
    // program's own or a shell window.
    void remember_foreground_window();
    // Stores the window's outer rectangle and the main window's view in the
    // settings (not in the file).
    void store_window_rect(HWND window);
    // Hides to the tray when tray_on_minimize is on, else destroys.
    void close_main_window(HWND window);
    // Writes the settings file; never over a file that could not be read
    // (at the start or now), which is told once instead.
    void save_settings();
    // The settings file is there but cannot be read: told once in a balloon.
    void notify_settings_unreadable();
    // last_update_check = now, then the settings file is written.
    void mark_update_checked();
    // The automatic update check, when check_updates is on and the last
    // check is a day old (update_check.cpp); the manual one, always.
    void start_update_check();
    void check_updates_now();

    // ---- hotkeys (hotkeys.cpp) -----------------------------------------------
    void register_hotkeys(HWND window);
    void unregister_hotkeys(HWND window);
    bool set_main_hotkey(const std::wstring& text);
    bool set_plain_hotkey(const std::wstring& text);
    bool set_snippets_hotkey(const std::wstring& text);
    bool set_screenshot_hotkeys(int mode, const std::wstring& text);
    // While a hotkey field of the settings window records, the program's
    // own hotkeys are let go, so that their keys reach the field; resuming
    // registers them again. Both may be called any number of times.
    void suspend_hotkeys();
    void resume_hotkeys();
    // Quick slot n (1..9) into the paste target.
    void on_quick_slot(int n);
    // The clipboard's text pasted as plain text into the window in front.
    void start_plain_text_paste();

    HWND main_window_handle() const;

    // ---- screenshots (app_screenshot.cpp) ------------------------------------------
    // Mode 0 region, 1 window, 2 full screen; nothing while one is running.
    void take_screenshot(int mode);

    // ---- fields ------------------------------------------------------------------
    HINSTANCE instance = nullptr;
    std::unique_ptr<Database> database;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<MainWindow> main_window;
    std::unique_ptr<TrayIcon> tray_icon;
    std::unique_ptr<QuickMenu> quick_menu;
    std::unique_ptr<ClipboardWatcher> watcher;
    std::unique_ptr<SettingsWindow> settings_window;  // made on first use

    HotkeyBinding history_binding;
    int history_hotkey_id = 10;
    int quick_menu_hotkey_id = 11;
    int first_slot_hotkey_id = 20;
    HotkeyBinding plain_binding;
    HotkeyBinding snippets_binding;
    HotkeyBinding region_shot_binding;
    HotkeyBinding window_shot_binding;
    HotkeyBinding full_shot_binding;
    bool hotkeys_suspended = false;
    bool screenshot_busy = false;
    bool store_failure_told = false;
    // The settings file could not be read at the start: the settings held
    // are not the file's, so no save replaces it while the program runs.
    bool settings_file_unread = false;
    bool settings_unreadable_told = false;
    int replacements_told = 0;  // Database::replacements() when last told
    std::optional<std::int64_t> capture_category;
    HWND paste_target = nullptr;
    bool damaged_kept_told = false;  // a damaged file that could not be set aside

    AppFiles files;

    ExitSequence exit_sequence;
    // The captures the exit's write could not store.
    std::size_t captures_left_at_exit = 0;

private:
    bool create_main_window();
    void run_exit_stage(ExitStage stage);
    // At quit: the captures still waiting (and the reads not yet decided)
    // that the store did not take within the exit's seconds are told with
    // their number, and the user may wait longer.
    void tell_captures_not_saved();
    void release_objects();
    void announce_damaged_database();

    bool shut_down_ = false;
};

extern App* g_app;
