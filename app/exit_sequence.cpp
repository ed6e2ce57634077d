// The exit sequence: its rule (stages and deadline) and App's work for
// each stage.
#include "app/exit_sequence.h"

#include <algorithm>
#include <chrono>

#include "app/app.h"
#include "app/tray_icon.h"
#include "capture/watcher.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "store/database.h"
#include "ui/dialogs/settings_window.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/quick_menu.h"

namespace {

// How long quit waits for a store held by another program, each time.
constexpr double kQuitStoreSeconds = 5.0;
// What is left for the waiting captures of Windows' 5 s at the end of the
// session, the rest being for the settings and the answer.
constexpr double kSessionEndStoreSeconds = 3.5;

}  // namespace

std::vector<ExitStage> exit_stages(ExitKind kind) {
    if (kind == ExitKind::session_end)
        return {ExitStage::remove_tray_icon, ExitStage::save_settings, ExitStage::write_captures, ExitStage::release};
    return {ExitStage::stop_input,     ExitStage::remove_tray_icon, ExitStage::save_settings,
            ExitStage::write_captures, ExitStage::tell_unsaved,     ExitStage::release};
}

double exit_allowance(ExitKind kind) {
    return kind == ExitKind::session_end ? kSessionEndStoreSeconds : kQuitStoreSeconds;
}

double exit_seconds_left(ExitKind kind, double since, double now) {
    const double allowance = exit_allowance(kind);
    return std::clamp(allowance - (now - since), 0.0, allowance);
}

void ExitSequence::begin(ExitKind kind, double now) {
    if (begun_) return;
    begun_ = true;
    kind_ = kind;
    since_ = now;
}

void ExitSequence::cancel() {
    if (!done_.empty()) return;
    begun_ = false;
    kind_ = ExitKind::quit;
    since_ = 0;
}

std::vector<ExitStage> ExitSequence::take_until(ExitStage last) {
    std::vector<ExitStage> due;
    for (ExitStage stage : exit_stages(kind_)) {
        if (stage > last) break;
        if (std::find(done_.begin(), done_.end(), stage) != done_.end()) continue;
        done_.push_back(stage);
        due.push_back(stage);
    }
    return due;
}

double exit_clock_seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// ---- App's part ---------------------------------------------------------------

void App::begin_exit(ExitKind kind) { exit_sequence.begin(kind, exit_clock_seconds()); }

void App::cancel_exit() { exit_sequence.cancel(); }

void App::run_exit(ExitStage last) {
    // An exit nobody began (the message loop ended otherwise) is a quit
    // begun now.
    begin_exit(ExitKind::quit);
    for (ExitStage stage : exit_sequence.take_until(last)) run_exit_stage(stage);
}

void App::run_exit_stage(ExitStage stage) {
    HWND window = main_window_handle();
    if (window && !IsWindow(window)) window = nullptr;
    switch (stage) {
        case ExitStage::stop_input:
            if (window) unregister_hotkeys(window);
            if (main_window) main_window->destroy_popups();
            return;
        case ExitStage::remove_tray_icon:
            if (tray_icon) tray_icon->remove();
            return;
        case ExitStage::save_settings:
            // At sign-out the window is never destroyed: its place is kept
            // here, as closing it would.
            // Without a window (it was never made) there is nothing new to keep.
            if (!window) return;
            if (exit_sequence.kind() == ExitKind::session_end) store_window_rect(window);
            save_settings();
            return;
        case ExitStage::write_captures:
            captures_left_at_exit = 0;
            if (watcher)
                captures_left_at_exit = watcher->store_before_exit(
                    exit_seconds_left(exit_sequence.kind(), exit_sequence.since(), exit_clock_seconds()));
            return;
        case ExitStage::tell_unsaved: tell_captures_not_saved(); return;
        case ExitStage::release: release_objects(); return;
    }
}

void App::tell_captures_not_saved() {
    if (!watcher) return;
    std::size_t left = captures_left_at_exit;
    // The main window is gone: the box stands alone, with a taskbar button.
    while (left > 0) {
        const std::wstring title = tr(L"title.captures_not_saved");
        const int count = static_cast<int>(left);
        // Only those the store refused for good are left: waiting is no help.
        if (watcher->waiting_captures() == 0) {
            show_message(nullptr, title, tr_format(L"message.captures_not_saved", count));
            return;
        }
        if (!ask_confirmation(nullptr, title, tr_format(L"confirm.captures_not_saved", count),
                              tr(L"action.wait_longer")))
            return;
        left = watcher->store_before_exit(exit_allowance(ExitKind::quit));
    }
}

void App::release_objects() {
    // The boxes must not reach the objects deleted below.
    set_box_context(BoxContext{});
    if (quick_menu) quick_menu->release();
    quick_menu.reset();
    if (settings_window) settings_window->destroy();
    settings_window.reset();
    tray_icon.reset();
    if (main_window) main_window->release_resources();
    main_window.reset();
    watcher.reset();
    database.reset();
    settings.reset();
}
