// The export and import commands with their file dialogs and messages.
#include "app/commands_backup.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <array>
#include <cwchar>
#include <string>

#include "app/app.h"
#include "core/handles.h"
#include "core/i18n.h"
#include "core/settings.h"
#include "store/database.h"
#include "store/export.h"
#include "store/import.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

namespace {

// "JSON (*.json)" and its pattern, each ended by a NUL, the list by a second one.
constexpr wchar_t kJsonFilter[] = L"JSON (*.json)\0*.json\0";

OPENFILENAMEW file_dialog(HWND owner, wchar_t* buffer, DWORD capacity, const std::wstring& folder) {
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kJsonFilter;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = capacity;
    if (!folder.empty()) ofn.lpstrInitialDir = folder.c_str();
    return ofn;
}

}  // namespace

void export_backup(App& app, HWND owner) {
    if (!app.database) return;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::array<wchar_t, MAX_PATH> buffer{};
    std::wstring name = default_backup_file_name(now);
    wcsncpy(buffer.data(), name.c_str(), buffer.size() - 1);
    std::wstring folder = app.settings ? app.settings->backup_folder : std::wstring();
    OPENFILENAMEW ofn = file_dialog(owner, buffer.data(), static_cast<DWORD>(buffer.size()), folder);
    ofn.lpstrDefExt = L"json";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&ofn)) return;
    std::wstring path = buffer.data();
    // A write that failed is a failure even when an older file stays at the path.
    if (app.database->export_json(path) < 0 || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        show_message(owner, tr(L"title.export"), tr(L"status.export_failed"));
        return;
    }
    if (!ask_confirmation(owner, tr(L"title.export"), export_done_message(path), tr(L"action.open"))) return;
    std::wstring target = backup_folder_of(path);
    if (!target.empty()) ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void import_backup(App& app, HWND owner) {
    if (!app.database) return;
    std::array<wchar_t, MAX_PATH> buffer{};
    std::wstring folder = app.settings ? app.settings->backup_folder : std::wstring();
    OPENFILENAMEW ofn = file_dialog(owner, buffer.data(), static_cast<DWORD>(buffer.size()), folder);
    ofn.Flags = OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameW(&ofn)) return;
    ImportCounts counts;
    {
        // A large backup takes the store seconds.
        raii::WaitCursor busy;
        counts = app.database->import_json(buffer.data());
        // The imported entries are listed behind the result box, and
        // nothing is left to do once it is closed.
        if (app.main_window) {
            app.main_window->refresh_all();
            if (app.main_window->window) UpdateWindow(app.main_window->window);
        }
    }
    show_message(owner, tr(L"title.import"), import_result_message(counts));
}
