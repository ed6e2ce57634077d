// The main window's template-group commands: add, rename and delete a
// group, move a group's templates into another one, and set one
// template's group.
#include <windows.h>

#include <array>
#include <cwchar>

#include "app/app.h"
#include "core/i18n.h"
#include "core/text.h"
#include "store/database.h"
#include "ui/dialogs/template_editor.h"
#include "ui/dialogs/view_dialog.h"
#include "ui/entry_commands.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

namespace {

Database* database_of(App* app) { return app ? app->database.get() : nullptr; }

}  // namespace

void MainWindow::new_template() { new_template_in_group(std::wstring()); }

void MainWindow::new_template_in_group(const std::wstring& group) {
    Database* db = database_of(app);
    if (!db) return;
    std::wstring title, body, chosen_group = group;
    // A template the store refuses (a title that is taken) is told, and the
    // editor opens again with what the user wrote, so nothing typed is lost.
    for (;;) {
        if (!show_template_editor(window, this, title, chosen_group, body)) return;
        const std::int64_t r = db->add_snippet(title, body, chosen_group);
        if (r > 0) break;
        show_message(window, tr(L"side.templates"), r < 0 ? tr(L"message.need_title_text") : tr(L"message.dup_template"));
    }
    if (templates_mode) refresh_all();
}

void MainWindow::new_template_in_current_group() {
    if (!group_filter.empty() && group_filter != std::wstring(1, kUngroupedFilter))
        new_template_in_group(group_filter);
    else
        new_template();
}

void MainWindow::open_selected_entry() {
    // A copy: the view window's loop may refresh the list meanwhile.
    std::optional<HistoryEntry> entry = entry_to_open(command_context());
    if (entry) show_view_dialog(this, *entry);
}

void MainWindow::new_template_group() {
    Database* db = database_of(app);
    if (!db) return;
    std::array<wchar_t, 256> buffer{};
    if (!input_box(window, tr(L"input.new_group"), tr(L"prompt.group_name"), buffer.data(),
                   static_cast<int>(buffer.size()), false))
        return;
    buffer.back() = L'\0';
    std::wstring name = trim(buffer.data());
    if (name.empty()) {
        show_message(window, tr(L"side.templates"), tr(L"message.enter_name"));
        return;
    }
    if (!db->add_snippet_group(name)) show_message(window, tr(L"side.templates"), tr(L"message.dup_group"));
    refresh_all();
}

void MainWindow::rename_template_group(const std::wstring& old_name) {
    Database* db = database_of(app);
    if (!db) return;
    std::array<wchar_t, 256> buffer{};
    wcsncpy(buffer.data(), old_name.c_str(), buffer.size() - 1);
    if (!input_box(window, tr(L"input.rename_group"), tr(L"prompt.new_name"), buffer.data(),
                   static_cast<int>(buffer.size()), false))
        return;
    buffer.back() = L'\0';
    std::wstring name = trim(buffer.data());
    if (name.empty() || name == old_name) return;
    if (!db->rename_snippet_group(old_name, name)) show_message(window, tr(L"side.templates"), tr(L"message.dup_group2"));
    refresh_all();
}

void MainWindow::delete_template_group(const std::wstring& name) {
    Database* db = database_of(app);
    if (!db) return;
    if (!ask_confirmation(window, tr(L"side.templates"), tr(L"confirm.delete_group"), tr(L"action.delete"))) return;
    db->delete_snippet_group(name);
    refresh_all();
}

void MainWindow::move_group_templates(const std::wstring& group, const std::wstring& new_group) {
    Database* db = database_of(app);
    if (!db) return;
    // The group's live templates come from the store: the list the window
    // holds may show another view (or the trash) when the command comes
    // from the side panel.
    for (const Snippet& s : db->list_snippets())
        if (s.grp == group) db->set_snippet_group(s.id, new_group);
    refresh_all();
}

void MainWindow::set_template_group(std::int64_t key, const std::wstring& group) {
    Database* db = database_of(app);
    if (!db || key == 0) return;
    db->set_snippet_group(key < 0 ? -key : key, group);
    refresh_all();
}
