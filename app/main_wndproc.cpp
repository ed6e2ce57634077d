// The main window procedure: a switch whose arms call one handler each.
#include "app/main_wndproc.h"

#include <windowsx.h>

#include "app/app.h"
#include "app/app_ids.h"
#include "app/tray_icon.h"
#include "app/update_check.h"
#include "capture/watcher.h"
#include "capture/posted_text.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "core/winutil.h"
#include "store/database.h"
#include "theme/dark_mode.h"
#include "theme/painters.h"
#include "ui/main_window.h"
#include "ui/modal_loop.h"

namespace {

App* app_of(HWND window) { return reinterpret_cast<App*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

bool dark_of(const App& app) { return app.settings && app.settings->dark_mode; }

void run_cleanup(App& app) {
    if (!app.database || !app.settings) return;
    if (app.settings->ttl_days > 0) app.database->delete_entries_older_than(app.settings->ttl_days);
    if (app.settings->trash_hours > 0) app.database->purge_trash_older_than(app.settings->trash_hours);
}

// The hourly clean-up also runs the store's quick check: damage met while
// the program runs is set aside as at the next start.
void on_cleanup_timer(App& app) {
    if (app.database) {
        app.database->check_integrity();
        app.check_store_damage();
    }
    run_cleanup(app);
}

// ---- window life ------------------------------------------------------------

LRESULT on_create(HWND window, LPARAM lparam) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    App* app = static_cast<App*>(cs->lpCreateParams);
    if (!app) return -1;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
    if (app->watcher) app->watcher->start(window);
    if (app->tray_icon) app->tray_icon->add(window, app);
    if (app->main_window) app->main_window->init(window, app);
    app->register_hotkeys(window);
    SetTimer(window, kTimerCleanup, kCleanupMs, nullptr);
    run_cleanup(*app);
    return 0;
}

// Quit: the stages that need the window run while it is still there; the
// rest follow once the message loop has ended (App::shutdown).
LRESULT on_destroy(App& app) {
    app.begin_exit(ExitKind::quit);
    app.run_exit(ExitStage::save_settings);
    PostQuitMessage(0);
    return 0;
}

// The end of the session: its deadline counts from the first of Windows'
// two messages.
LRESULT on_end_session(App& app, WPARAM ending) {
    if (!ending) {
        app.cancel_exit();
        return 0;
    }
    // At sign-out the window is never destroyed: the exit runs here, and
    // Windows ends the process once this is answered.
    app.begin_exit(ExitKind::session_end);
    app.run_exit(ExitStage::write_captures);
    return 0;
}

LRESULT on_query_end_session(App& app, HWND window, WPARAM wparam, LPARAM lparam) {
    app.begin_exit(ExitKind::session_end);
    // A first try for the captures waiting, before the session ends.
    if (app.watcher) app.watcher->store_waiting_captures();
    return DefWindowProcW(window, WM_QUERYENDSESSION, wparam, lparam);
}

LRESULT on_close(App& app, HWND window) {
    app.close_main_window(window);
    // Put away with the window to the tray, the hint was not hidden on
    // purpose: it comes back with the window.
    if (IsWindow(window) && app.main_window) app.main_window->hint.hidden_key = 0;
    return 0;
}

// ---- size and place -----------------------------------------------------------

LRESULT on_move(HWND window) {
    KillTimer(window, kTimerMoveSave);
    SetTimer(window, kTimerMoveSave, kMoveSaveMs, nullptr);
    return 0;
}

LRESULT on_size(App& app, HWND window) {
    if (app.main_window) app.main_window->relayout();
    apply_round_corners(window);
    return 0;
}

LRESULT on_exit_size_move(App& app, HWND window) {
    if (app.main_window) app.main_window->remember_width();
    app.store_window_rect(window);
    return 0;
}

LRESULT on_get_min_max_info(App& app, HWND window, LPARAM lparam) {
    if (app.main_window && app.main_window->window) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        int min_w = winutil::window_width_for_client(window, app.main_window->min_client_width());
        if (info->ptMinTrackSize.x < min_w) info->ptMinTrackSize.x = min_w;
    }
    return 0;
}

// ---- activation and painting ----------------------------------------------------

LRESULT on_activate(App& app, HWND window, WPARAM wparam, LPARAM lparam) {
    MainWindow* mw = app.main_window && app.main_window->window ? app.main_window.get() : nullptr;
    // Also when no window of this program takes over (another program's, or
    // none known to Wine): the foreground window may then be null.
    if (LOWORD(wparam) == WA_INACTIVE) {
        if (mw) mw->on_main_deactivated();
        return DefWindowProcW(window, WM_ACTIVATE, wparam, lparam);
    }
    // DefWindowProc would give the keyboard to the frame itself, where the
    // list's keys do nothing; it goes to the cards list instead (a
    // minimised window leaves it where it is).
    if (!mw || HIWORD(wparam) != 0) return DefWindowProcW(window, WM_ACTIVATE, wparam, lparam);
    mw->on_main_activated();
    return 0;
}

LRESULT on_command(App& app, HWND window, WPARAM wparam, LPARAM lparam) {
    // A changed search text lists other rows: the next Down or Up in the box
    // starts at the first of them.
    if (app.main_window && lparam && reinterpret_cast<HWND>(lparam) == app.main_window->search &&
        HIWORD(wparam) == EN_CHANGE)
        app.main_window->search_step = SearchStep{};
    // A click or a key in the cards list chose a row: Down and Up in the
    // search box go on from there.
    if (app.main_window && lparam && reinterpret_cast<HWND>(lparam) == app.main_window->cards &&
        HIWORD(wparam) == LBN_SELCHANGE)
        app.main_window->note_list_choice();
    on_main_command(app, window, wparam, lparam);
    return 0;
}

// The frame itself was given the focus (SetFocus, the activation of a
// window that holds none): it hands it on to the cards list.
LRESULT on_set_focus(App& app, HWND window) {
    if (app.main_window && app.main_window->window && !IsIconic(window)) app.main_window->focus_cards_list();
    return 0;
}

LRESULT on_activate_app(App& app, HWND window, WPARAM wparam, LPARAM lparam) {
    if (!wparam && app.main_window && app.main_window->window) app.main_window->on_main_deactivated();
    return DefWindowProcW(window, WM_ACTIVATEAPP, wparam, lparam);
}

LRESULT on_nc_activate(App& app, HWND window, WPARAM wparam, LPARAM lparam) {
    apply_dark_title_bar(window, dark_of(app));
    return DefWindowProcW(window, WM_NCACTIVATE, wparam, lparam);
}

LRESULT on_erase_background(App& app, HWND window, HDC dc) {
    RECT rc{};
    GetClientRect(window, &rc);
    fill_rect_color(dc, rc, dark_of(app) ? RGB(0x20, 0x20, 0x20) : RGB(0xF3, 0xF3, 0xF3));
    return 1;
}

LRESULT on_ctl_color(App& app, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (app.main_window) {
        if (HBRUSH brush =
                app.main_window->control_color(message, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)))
            return reinterpret_cast<LRESULT>(brush);
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT on_draw_item(App& app, HWND window, WPARAM wparam, LPARAM lparam) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
    if (app.main_window && app.main_window->draw_item(dis)) return TRUE;
    return DefWindowProcW(window, WM_DRAWITEM, wparam, lparam);
}

LRESULT on_measure_item(App& app, HWND window, WPARAM wparam, LPARAM lparam) {
    auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
    if (mis->CtlType == ODT_LISTBOX && (mis->CtlID == kIdSide || mis->CtlID == kIdCards)) {
        mis->itemHeight = static_cast<UINT>(
            MainWindow::row_height(app.main_window.get(), static_cast<int>(mis->CtlID), static_cast<int>(mis->itemID)));
        return TRUE;
    }
    return DefWindowProcW(window, WM_MEASUREITEM, wparam, lparam);
}

// The window's own keys while it holds the focus itself (its children
// answer them through their subclass).
LRESULT on_key_down(App& app, HWND window, WPARAM wparam, LPARAM lparam) {
    if (app.main_window && app.main_window->on_key(wparam)) return 0;
    return DefWindowProcW(window, WM_KEYDOWN, wparam, lparam);
}

LRESULT on_mouse_wheel(App& app, HWND window, WPARAM wparam, LPARAM lparam) {
    if (app.main_window) {
        app.main_window->cancel_click_copy();
        POINT pt{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        if (HWND list = app.main_window->list_at_point(pt)) {
            app.main_window->wheel_scroll_list(list, GET_WHEEL_DELTA_WPARAM(wparam));
            return 0;
        }
    }
    return DefWindowProcW(window, WM_MOUSEWHEEL, wparam, lparam);
}

// ---- timers -----------------------------------------------------------------------

// Captures that waited for the store are written a slice at a time: while
// the store takes them, the next slice follows on a short timer, so that
// input and painting are served between slices.
void follow_waiting_captures(App& app, HWND window) {
    if (app.watcher && app.watcher->writing_waiting_captures())
        SetTimer(window, kTimerWaitingCaptures, kWaitingCapturesMs, nullptr);
    else
        KillTimer(window, kTimerWaitingCaptures);
}

void poll_clipboard(App& app, HWND window) {
    // A modal box or another nested loop of the program dispatches timers
    // too; a capture then could rebuild the list under a command that still
    // works on it. The item waits for the next tick instead.
    if (app.watcher && modal_loop_depth() == 0) app.watcher->poll();
    follow_waiting_captures(app, window);
}

void on_waiting_captures_timer(App& app, HWND window) {
    if (app.watcher && modal_loop_depth() == 0) app.watcher->store_waiting_captures();
    follow_waiting_captures(app, window);
}

void on_poll_timer(App& app, HWND window) {
    HWND fg = GetForegroundWindow();
    if (fg && fg != window && !winutil::is_ignorable_window(fg)) app.paste_target = fg;
    app.check_store_damage();
    poll_clipboard(app, window);
}

// The restore of the main window taken down to reach the front (see
// show_main_window).
void on_front_restore(HWND window) {
    KillTimer(window, kTimerFrontRestore);
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

LRESULT on_timer(App& app, HWND window, WPARAM id, LPARAM lparam) {
    switch (id) {
        case kTimerClipboardPoll: on_poll_timer(app, window); return 0;
        case kTimerCleanup: on_cleanup_timer(app); return 0;
        case kTimerMoveSave:
            KillTimer(window, kTimerMoveSave);
            app.store_window_rect(window);
            app.save_settings();
            return 0;
        case kTimerToast:
            if (app.main_window) app.main_window->hide_toast();
            return 0;
        case kTimerUpdateStart:
            KillTimer(window, kTimerUpdateStart);
            app.start_update_check();
            return 0;
        case kTimerFrontRestore: on_front_restore(window); return 0;
        case kTimerWaitingCaptures: on_waiting_captures_timer(app, window); return 0;
        default: return DefWindowProcW(window, WM_TIMER, id, lparam);
    }
}

// ---- hotkeys and private messages ---------------------------------------------

LRESULT on_hotkey(App& app, HWND window, WPARAM id) {
    int hotkey = static_cast<int>(id);
    if (hotkey == app.history_hotkey_id) {
        // The list is current before the keyboard lands on it.
        if (app.main_window) app.main_window->refresh_view(false);
        show_main_window(app, window);
    } else if (hotkey == app.quick_menu_hotkey_id) {
        app.show_quick_menu();
    } else if (hotkey >= app.first_slot_hotkey_id && hotkey < app.first_slot_hotkey_id + 9) {
        app.remember_foreground_window();
        app.on_quick_slot(hotkey - app.first_slot_hotkey_id + 1);
    } else if (hotkey == kHotkeyPlainPaste) {
        app.start_plain_text_paste();
    } else if (hotkey == kHotkeySnippets) {
        app.remember_foreground_window();
        if (app.main_window) app.main_window->open_templates();
    } else if (hotkey == kHotkeyRegionShot || hotkey == kHotkeyWindowShot || hotkey == kHotkeyFullShot) {
        app.take_screenshot(hotkey - kHotkeyRegionShot);
    }
    return 0;
}

LRESULT on_show_main(App& app, HWND window) {
    show_main_window(app, window);
    ShowWindow(window, SW_RESTORE);
    return 0;
}

// The text of a result message: empty for a null lParam, none for a pointer
// this process did not post (such a message is ignored).
std::optional<std::wstring> result_text(LPARAM lparam) {
    if (lparam == 0) return std::wstring();
    return take_posted_text(lparam);
}

LRESULT on_update_auto_result(App& app, WPARAM newer, LPARAM lparam) {
    std::optional<std::wstring> version = result_text(lparam);
    if (!version) return 0;
    if (newer == 1 && !version->empty() && app.settings && app.settings->check_updates && app.tray_icon &&
        app.tray_icon->is_added()) {
        app.tray_icon->show_balloon(tr(L"update.available.title"), tr_format(L"update.available.text", *version));
    }
    app.mark_update_checked();
    return 0;
}

LRESULT on_update_manual_result(App& app, WPARAM newer, LPARAM lparam) {
    std::optional<std::wstring> text = result_text(lparam);
    if (!text) return 0;
    app.mark_update_checked();
    show_manual_update_result(app, newer == 1, *text);
    return 0;
}

LRESULT on_link_title(App& app, WPARAM id, LPARAM lparam) {
    if (lparam == 0) return 0;
    std::optional<std::wstring> title = take_posted_text(lparam);
    if (!title || title->empty() || !app.database) return 0;
    if (app.database->set_link_title(static_cast<std::int64_t>(id), *title) && app.main_window) {
        app.main_window->set_link_title(static_cast<std::int64_t>(id), *title);
    }
    return 0;
}

LRESULT on_taskbar_created(App& app) {
    if (app.tray_icon) app.tray_icon->add_again();
    return 0;
}

LRESULT on_clipboard_update(App& app, HWND window) {
    poll_clipboard(app, window);
    return 0;
}

static_assert(WM_CLIPBOARD_READ == kMsgClipboardRead, "the watcher posts its read to the main window");

LRESULT on_clipboard_read(App& app, HWND window) {
    // Like the poll, the decision waits while a nested loop runs; the next
    // poll after it takes the read.
    if (app.watcher && modal_loop_depth() == 0) app.watcher->take_finished_read();
    follow_waiting_captures(app, window);
    return 0;
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    App* app = app_of(window);
    if (!app) {
        if (message == WM_CREATE) return on_create(window, lparam);
        return DefWindowProcW(window, message, wparam, lparam);
    }
    switch (message) {
        case WM_DESTROY: return on_destroy(*app);
        case WM_QUERYENDSESSION: return on_query_end_session(*app, window, wparam, lparam);
        case WM_ENDSESSION: return on_end_session(*app, wparam);
        case WM_MOVE: return on_move(window);
        case WM_SIZE: return on_size(*app, window);
        case WM_ACTIVATE: return on_activate(*app, window, wparam, lparam);
        case WM_ACTIVATEAPP: return on_activate_app(*app, window, wparam, lparam);
        case WM_SETFOCUS: return on_set_focus(*app, window);
        case WM_CLOSE: return on_close(*app, window);
        case WM_ERASEBKGND: return on_erase_background(*app, window, reinterpret_cast<HDC>(wparam));
        case WM_GETMINMAXINFO: return on_get_min_max_info(*app, window, lparam);
        case WM_DRAWITEM: return on_draw_item(*app, window, wparam, lparam);
        case WM_MEASUREITEM: return on_measure_item(*app, window, wparam, lparam);
        case WM_CONTEXTMENU: on_main_context_menu(*app, window, wparam); return 0;
        case WM_COMMAND: return on_command(*app, window, wparam, lparam);
        case WM_NCACTIVATE: return on_nc_activate(*app, window, wparam, lparam);
        case WM_TIMER: return on_timer(*app, window, wparam, lparam);
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC: return on_ctl_color(*app, window, message, wparam, lparam);
        case WM_MOUSEWHEEL: return on_mouse_wheel(*app, window, wparam, lparam);
        case WM_KEYDOWN: return on_key_down(*app, window, wparam, lparam);
        case WM_EXITSIZEMOVE: return on_exit_size_move(*app, window);
        case WM_HOTKEY: return on_hotkey(*app, window, wparam);
        case WM_TRAYICON: on_tray_notify(*app, window, lparam); return 0;
        case WM_SHOW_MAIN: return on_show_main(*app, window);
        case WM_UPDATE_AUTO_RESULT: return on_update_auto_result(*app, wparam, lparam);
        case WM_UPDATE_MANUAL_RESULT: return on_update_manual_result(*app, wparam, lparam);
        case WM_LINK_TITLE: return on_link_title(*app, wparam, lparam);
        case WM_CLIPBOARDUPDATE: return on_clipboard_update(*app, window);
        case WM_CLIPBOARD_READ: return on_clipboard_read(*app, window);
        default: break;
    }
    UINT taskbar_created = TrayIcon::taskbar_created_message();
    if (taskbar_created != 0 && message == taskbar_created) return on_taskbar_created(*app);
    return DefWindowProcW(window, message, wparam, lparam);
}

void show_window_animated(HWND window) {
    if (!window) return;
    BOOL animation = FALSE;
    SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animation, 0);
    if (!animation || IsWindowVisible(window))
        ShowWindow(window, SW_SHOW);
    else
        AnimateWindow(window, 120, AW_BLEND | AW_ACTIVATE);
}

void show_main_window(App& app, HWND window) {
    app.remember_foreground_window();
    // Visible while another program's window is in front, the request for
    // the front can be refused: a window manager under X keeps the keyboard
    // where it is (Wine asks it nothing for a window already on screen,
    // and reports the window in front all the same), but gives it to a
    // window that comes back from the taskbar. The restore waits until the
    // manager has taken the window down.
    HWND front = GetForegroundWindow();
    DWORD front_process = 0;
    if (front) GetWindowThreadProcessId(front, &front_process);
    if (front && front_process != GetCurrentProcessId() && IsWindowVisible(window) && !IsIconic(window)) {
        ShowWindow(window, SW_MINIMIZE);
        SetTimer(window, kTimerFrontRestore, 250, nullptr);
        return;
    }
    show_window_animated(window);
    // Painted before the keys that follow the hotkey are taken.
    UpdateWindow(window);
    SetForegroundWindow(window);
    // Already the active window, it is not activated again: the keyboard
    // goes to the cards list all the same.
    if (GetActiveWindow() == window && app.main_window) app.main_window->focus_cards_list();
}
