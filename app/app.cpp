// The App object: initialisation, the message loop, shutdown, and the small
// operations the rest of the program calls.
#include "app/app.h"

#include <time.h>

#include "app/app_ids.h"
#include "app/main_wndproc.h"
#include "app/tray_icon.h"
#include "capture/watcher.h"
#include "core/i18n.h"
#include "core/paths.h"
#include "core/settings.h"
#include "core/winutil.h"
#include "store/database.h"
#include "theme/dark_mode.h"
#include "ui/dialogs/settings_window.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/quick_menu.h"

App* g_app = nullptr;

AppFiles default_app_files() { return AppFiles{winutil::ini_path(), winutil::database_path()}; }

App::App() = default;

App::~App() { shutdown(); }

bool App::init(HINSTANCE inst) { return init(inst, default_app_files()); }

bool App::init(HINSTANCE inst, const AppFiles& paths) {
    instance = inst;
    g_app = this;
    capture_category.reset();
    files = paths;

    settings = std::make_unique<Settings>();
    settings_file_unread = settings->load(files.settings_path) == SettingsFileState::unreadable;
    settings_unreadable_told = false;
    set_language(settings->language);

    database = std::make_unique<Database>(files.database_path);

    ClipboardWatcher::Hooks hooks;
    hooks.capture_category = [this] { return capture_category; };
    hooks.captured = [this](const CapturedItem& item) { notify_copied(item.label); };
    // Captures written together after the store was held: each told in
    // the tray as it comes, the list refreshed once.
    hooks.captured_batch = [this](const std::vector<CapturedItem>& items) {
        for (const CapturedItem& item : items) notify_copied(item.label, false);
        if (!items.empty() && main_window) main_window->refresh_view(true);
    };
    hooks.store_failed = [this] { notify_store_failed(); };
    hooks.store_busy = [this] { notify_store_busy(); };
    watcher = std::make_unique<ClipboardWatcher>(*database, *settings, std::move(hooks));

    history_binding = parse_hotkey(settings->hotkey);
    plain_binding = parse_hotkey(settings->plain_hotkey);
    snippets_binding = parse_hotkey(settings->snippets_hotkey);
    region_shot_binding = parse_hotkey(settings->screenshot_hotkey);
    window_shot_binding = parse_hotkey(settings->screenshot_window_hotkey);
    full_shot_binding = parse_hotkey(settings->screenshot_full_hotkey);

    main_window = std::make_unique<MainWindow>();
    tray_icon = std::make_unique<TrayIcon>();
    quick_menu = std::make_unique<QuickMenu>();

    register_main_window_class(instance);
    if (!create_main_window()) return false;
    BoxContext boxes;
    boxes.settings = settings.get();
    boxes.main_window = main_window_handle();
    boxes.menu_bar_width = [this] { return main_window ? main_window->menu_bar_width() : 0; };
    set_box_context(std::move(boxes));
    announce_damaged_database();
    if (settings_file_unread) notify_settings_unreadable();
    return true;
}

int App::run() {
    MSG msg{};
    for (;;) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got == -1) return -1;
        // The settings window's controls are reached with Tab and the arrows.
        if (settings_window && settings_window->window && IsDialogMessageW(settings_window->window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void App::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    run_exit(ExitStage::release);
}

HWND App::main_window_handle() const { return main_window ? main_window->window : nullptr; }

void App::save_settings() {
    if (!settings) return;
    if (settings_file_unread || settings->save(files.settings_path) == SettingsFileState::unreadable)
        notify_settings_unreadable();
}

void App::notify_settings_unreadable() {
    if (settings_unreadable_told || !tray_icon || !tray_icon->is_added()) return;
    settings_unreadable_told = true;
    tray_icon->show_balloon(tr(L"tray.settings_unreadable.title"), tr(L"tray.settings_unreadable.text"));
}

void App::mark_update_checked() {
    if (!settings) return;
    settings->last_update_check = static_cast<std::int64_t>(_time64(nullptr));
    save_settings();
}

void App::notify_copied(const std::wstring& text, bool refresh) {
    store_failure_told = false;
    if (refresh && main_window) main_window->refresh_view(true);
    if (tray_icon) tray_icon->show_balloon(tr(L"tray.copied"), shorten_with_ellipsis(text, 60));
}

void App::notify_store_failed() {
    if (store_failure_told) return;
    store_failure_told = true;
    if (tray_icon) tray_icon->show_balloon(tr(L"tray.store_failed.title"), tr(L"tray.store_failed.text"));
}

void App::notify_store_busy() {
    if (tray_icon) tray_icon->show_balloon(tr(L"tray.store_busy.title"), tr(L"tray.store_busy.text"));
}

void App::clear_history() {
    HWND owner = main_window_handle();
    if (!ask_confirmation(owner, tr(L"title.clear_history"), tr(L"confirm.clear_history"), tr(L"action.delete")))
        return;
    if (database) database->clear_history();
    if (main_window) {
        main_window->refresh_all();
    }
}

void App::apply_dark_mode(bool on) {
    if (settings) settings->dark_mode = on;
    HWND wnd = main_window_handle();
    if (main_window) main_window->apply_dark_mode(on);
    if (wnd) {
        apply_round_corners(wnd);
        apply_dark_title_bar(wnd, on);
        if (settings_window && settings_window->window) apply_dark_title_bar(settings_window->window, on);
        RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
}

void App::show_settings() {
    if (!settings_window) settings_window = std::make_unique<SettingsWindow>();
    // open shows and raises a window that is already there.
    if (!settings_window->open(main_window_handle(), this)) return;
    ShowWindow(settings_window->window, SW_SHOW);
    SetForegroundWindow(settings_window->window);
}

void App::show_quick_menu() {
    if (!quick_menu) return;
    quick_menu->populate();
    quick_menu->show_at_cursor();
}

void App::toggle_dark_mode() { apply_dark_mode(!(settings && settings->dark_mode)); }

void App::remember_foreground_window() {
    HWND fg = GetForegroundWindow();
    // The program's own windows and the shell's are never paste targets.
    if (fg && fg != main_window_handle() && IsWindowVisible(fg) && !winutil::is_ignorable_window(fg)) paste_target = fg;
}

void App::store_window_rect(HWND wnd) {
    if (!settings || !wnd || IsIconic(wnd) || IsZoomed(wnd)) return;
    RECT rc{};
    if (!GetWindowRect(wnd, &rc)) return;
    settings->window_x = rc.left;
    settings->window_y = rc.top;
    settings->window_w = rc.right - rc.left;
    settings->window_h = rc.bottom - rc.top;
    if (main_window) {
        settings->last_view_filter = main_window->view_kind;
        settings->last_view_cat_id = main_window->category_id;
        settings->last_view_templates = main_window->templates_mode;
    }
}

void App::close_main_window(HWND wnd) {
    store_window_rect(wnd);
    if (!settings || !settings->tray_on_minimize) {
        DestroyWindow(wnd);
        return;
    }
    if (main_window) main_window->hide_entry_hint();
    ShowWindow(wnd, SW_HIDE);
}

std::wstring damaged_store_text(const std::wstring& name, std::int64_t saved, std::int64_t unread) {
    // A file that held no entries lost none: nothing to count.
    if (saved < 0 || (saved == 0 && unread == 0)) return tr_format(L"tray.database_damaged.text", name);
    if (saved == 0) return tr_format(L"tray.database_none_read.text", name);
    if (unread > 0)
        return tr_format(L"tray.database_partly_read.text", name, static_cast<int>(saved), static_cast<int>(unread));
    if (unread < 0) return tr_format(L"tray.database_some_unread.text", name, static_cast<int>(saved));
    return tr_format(L"tray.database_recovered.text", name, static_cast<int>(saved));
}

void App::announce_damaged_database() {
    if (!database) return;
    replacements_told = database->replacements();
    if (!tray_icon) return;
    if (database->damaged_file_kept()) {
        if (damaged_kept_told) return;
        damaged_kept_told = true;
        tray_icon->show_balloon(tr(L"tray.database_kept.title"), tr(L"tray.database_kept.text"));
        return;
    }
    if (!database->recovered_damaged_file()) {
        // Told once at start; the captures that fail add nothing to it.
        if (database->read_only() && !store_failure_told) {
            store_failure_told = true;
            tray_icon->show_balloon(tr(L"tray.database_read_only.title"), tr(L"tray.database_read_only.text"));
        }
        return;
    }
    std::wstring path = database->damaged_file_path();
    size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    tray_icon->show_balloon(tr(L"tray.database_damaged.title"),
                            damaged_store_text(name, database->saved_entries(), database->unread_entries()));
}

void App::check_store_damage() {
    if (!database) return;
    // A damaged file met by a read is replaced here; one met by a capture
    // was replaced already.
    database->recover_if_damaged();
    const bool newly_kept = database->damaged_file_kept() && !damaged_kept_told;
    if (database->replacements() == replacements_told && !newly_kept) return;
    announce_damaged_database();
    if (main_window) {
        main_window->refresh_all();
    }
}
