// The main window's category commands: add, rename, pin, move and delete
// the category selected in the side panel.
#include <windows.h>

#include <array>

#include "app/app.h"
#include "core/i18n.h"
#include "core/text.h"
#include "store/database.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

namespace {

Database* database_of(App* app) { return app ? app->database.get() : nullptr; }

// The trimmed text typed into a single-line input box; empty when cancelled.
std::wstring ask_name(HWND owner, const std::wstring& title, const std::wstring& prompt) {
    std::array<wchar_t, 256> buffer{};
    if (!input_box(owner, title, prompt, buffer.data(), static_cast<int>(buffer.size()), false)) return {};
    buffer.back() = L'\0';
    return trim(buffer.data());
}

std::wstring category_name(Database& db, std::int64_t id) {
    for (const Category& c : db.list_categories())
        if (c.id == id) return c.name;
    return {};
}

}  // namespace

void MainWindow::new_category() {
    Database* db = database_of(app);
    if (!db) return;
    std::wstring name = ask_name(window, tr(L"input.new_category"), tr(L"prompt.name"));
    if (!name.empty()) db->add_category(name);
    refresh_all();
}

void MainWindow::rename_category() {
    Database* db = database_of(app);
    std::int64_t id = selected_category_id();
    if (!db || id < 1) return;
    std::wstring name = ask_name(window, tr(L"input.rename"), tr(L"prompt.new_name"));
    if (!name.empty()) db->rename_category(id, name);
    refresh_all();
}

void MainWindow::toggle_category_pinned() {
    Database* db = database_of(app);
    std::int64_t id = selected_category_id();
    if (!db || id < 1) return;
    db->toggle_category_pinned(id);
    refresh_all();
}

void MainWindow::move_category(int direction) {
    Database* db = database_of(app);
    std::int64_t id = selected_category_id();
    if (!db || id < 1) return;
    db->move_category(id, direction);
    refresh_all();
}

void MainWindow::delete_category() {
    Database* db = database_of(app);
    std::int64_t id = selected_category_id();
    if (!db || id < 1) return;
    if (!ask_confirmation(window, tr(L"confirm.title"), tr(L"confirm.delete_category"), tr(L"action.delete"))) return;
    db->delete_category(id);
    refresh_all();
}

void MainWindow::delete_category_with_entries() {
    Database* db = database_of(app);
    std::int64_t id = selected_category_id();
    if (!db || id < 1) return;
    int n = db->count_category_entries(id);
    if (n <= 0) return;
    std::wstring name = category_name(*db, id);
    if (!ask_confirmation(window, tr(L"confirm.title"), tr_format(L"confirm.delete_category_with_entries", name, n),
                          tr(L"action.delete")))
        return;
    db->delete_category_with_entries(id);
    refresh_all();
}
