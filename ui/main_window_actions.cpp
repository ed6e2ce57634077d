// The main window's actions on the selected rows of the cards list: paste,
// copy and click-to-copy (ui/paste_actions.h), and the entry commands
// (ui/entry_commands.h) with what the window does after each.
#include <windows.h>

#include "app/app.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "store/database.h"
#include "ui/cards_list.h"
#include "ui/dialogs/template_editor.h"
#include "ui/entry_commands.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

namespace {

Settings* settings_of(App* app) { return app ? app->settings.get() : nullptr; }

}  // namespace

PasteContext MainWindow::paste_context() const {
    PasteContext ctx;
    if (app) {
        ctx.db = app->database.get();
        ctx.watcher = app->watcher.get();
        ctx.settings = app->settings.get();
        ctx.remembered_target = app->paste_target;
    }
    ctx.main_window = window;
    ctx.close_on_paste = close_on_paste;
    ctx.trash_view = trash_view;
    ctx.selected = list_selected_keys(cards);
    ctx.entries = &model.entries();
    ctx.templates = &model.templates();
    return ctx;
}

EntryCommandContext MainWindow::command_context() const {
    EntryCommandContext ctx;
    if (app) {
        ctx.db = app->database.get();
        ctx.settings = app->settings.get();
    }
    ctx.main_window = window;
    ctx.dark = dark;
    ctx.view_kind = templates_mode ? kViewAll : view_kind;
    ctx.category_id = templates_mode ? -1 : category_id;
    ctx.trash_view = trash_view;
    ctx.templates_mode = templates_mode;
    ctx.search_empty = search_empty();
    if (cards) read_list_selection(cards, ctx);
    ctx.entries = &model.entries();
    ctx.templates = &model.templates();
    ctx.edit_template = [self = this](HWND owner, const Snippet& snippet) -> std::optional<TemplateEdit> {
        std::wstring title = snippet.title, group = snippet.grp, body = snippet.text;
        if (!show_template_editor(owner, self, title, group, body)) return std::nullopt;
        return TemplateEdit{title, body, group};
    };
    return ctx;
}

void MainWindow::apply_result(const CommandResult& result) {
    if (result.rows_moved) {
        refreshing = true;
        apply_row_move(cards, result,
                       [this](int from, int to) { return move_list_row(cards, shown_rows, model, from, to); });
        refreshing = false;
        refresh_hint();
        return;
    }
    if (result.clear_search && search) SetWindowTextW(search, L"");
    if (result.refresh) refresh_view(false);
    if (result.select_entry > 0) list_select_entry(cards, result.select_entry);
}

// ---- paste and copy ----------------------------------------------------------------------

void MainWindow::on_paste_selected() { ::on_paste_selected(paste_context()); }
void MainWindow::on_paste_multiple() { ::on_paste_multiple(paste_context()); }
void MainWindow::paste_selected_plain() { ::paste_selected_plain(paste_context()); }
void MainWindow::paste_selected_transformed(int transform) { ::paste_selected_transformed(paste_context(), transform); }
void MainWindow::copy_selected() { ::copy_selected(paste_context()); }

void MainWindow::arm_click_copy(std::int64_t key) {
    if (cards) click_copy.arm(cards, key);
}

void MainWindow::cancel_click_copy() {
    if (cards) click_copy.cancel(cards);
}

void MainWindow::on_click_copy_timer() {
    std::int64_t key = click_copy.take();
    if (key == 0) return;
    if (::on_click_copy_timer(paste_context(), key)) show_copied_toast();
}

// ---- entry commands ------------------------------------------------------------------------

void MainWindow::toggle_pin_selected() { apply_result(::toggle_pin_selected(command_context())); }
void MainWindow::toggle_keep_selected() { apply_result(::toggle_keep_selected(command_context())); }
void MainWindow::delete_selected() { apply_result(::delete_selected(command_context())); }
void MainWindow::restore_selected() { apply_result(::restore_selected(command_context())); }
void MainWindow::delete_forever_selected() { apply_result(::delete_forever_selected(command_context())); }
void MainWindow::move_selected_up() { apply_result(::move_selected(command_context(), -1)); }
void MainWindow::move_selected_down() { apply_result(::move_selected(command_context(), +1)); }
void MainWindow::show_to_category_menu() { apply_result(::show_to_category_menu(command_context())); }
void MainWindow::remove_selected_from_category() { apply_result(::remove_selected_from_category(command_context())); }
void MainWindow::add_selected_to_slots() { apply_result(::add_selected_to_slots(command_context())); }
void MainWindow::remove_selected_from_slots() { apply_result(::remove_selected_from_slots(command_context())); }
void MainWindow::edit_selected() { apply_result(::edit_selected(command_context())); }

void MainWindow::new_entry_in_current_view() {
    NewEntryPreset preset = new_entry_preset(current_view());
    if (!preset.allowed) return;
    apply_result(::new_entry(command_context(), preset));
}

void MainWindow::new_entry_in_category(std::int64_t id) {
    NewEntryPreset preset = new_entry_preset_for_category(id);
    if (!preset.allowed) return;
    apply_result(::new_entry(command_context(), preset));
}

void MainWindow::select_all() {
    if (cards && SendMessageW(cards, LB_GETCOUNT, 0, 0) > 0) SendMessageW(cards, LB_SETSEL, TRUE, -1);
}

void MainWindow::focus_search() {
    if (!search) return;
    SetFocus(search);
    SendMessageW(search, EM_SETSEL, 0, -1);
}

void MainWindow::toggle_show_time() {
    ::toggle_show_time(show_time, settings_of(app));
    if (cards) InvalidateRect(cards, nullptr, TRUE);
    refresh_view(false);
}

void MainWindow::empty_trash() {
    if (!app || !app->database) return;
    if (!ask_confirmation(window, tr(L"confirm.title"), tr(L"confirm.empty_trash"), tr(L"action.delete"))) return;
    app->database->empty_trash();
    refresh_view(false);
}

bool MainWindow::selected_has_text() const { return model.selected_has_text(list_single_selected_key(cards)); }
bool MainWindow::selected_is_kept() const { return model.selected_is_kept(list_single_selected_key(cards)); }

bool MainWindow::rows_can_move() const {
    if (trash_view || templates_mode || !search_empty()) return false;
    // The pinned view keeps its own order; nothing is moved there.
    return move_scope_for_filter(view_kind, category_id).kind != 5;
}
