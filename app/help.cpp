#include "app/help.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "app/app.h"
#include "app/web_addresses.h"
#include "core/i18n.h"
#include "core/paths.h"
#include "core/settings.h"
#include "ui/message_boxes.h"

namespace {

bool is_file(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The executable's folder with its final separator; empty when the path
// has none.
std::wstring exe_folder_with_separator() {
    const std::wstring path = winutil::exe_path();
    const size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

}  // namespace

std::wstring help_language_code() {
    std::wstring code;
    if (g_app && g_app->settings) code = g_app->settings->language;
    if (code.empty() || !is_safe_language_code(code)) code = L"en";
    return code;
}

std::wstring online_help_address(const std::wstring& docs_base, const std::wstring& code) {
    if (code == L"ru") return docs_base + L"/docs/";
    for (const wchar_t* known : {L"en", L"de", L"es", L"fr", L"it", L"pl", L"pt"})
        if (code == known) return docs_base + L"/docs/index." + code + L".html";
    return docs_base + L"/docs/index.en.html";
}

HelpTarget help_target(const std::wstring& exe_folder, const std::wstring& code, const std::wstring& docs_base,
                       bool (*exists)(const std::wstring& path)) {
    const std::wstring page = code == L"ru" ? std::wstring(L"index.html") : L"index." + code + L".html";
    std::wstring path = exe_folder + L"help\\" + page;
    if (!exists(path)) path = exe_folder + L"help\\index.en.html";
    if (exists(path)) return HelpTarget{true, path};
    return HelpTarget{false, online_help_address(docs_base, code)};
}

bool has_open_command(const std::wstring& file) {
    const wchar_t* extension = PathFindExtensionW(file.c_str());
    if (!extension || !*extension) return false;
    // Without IGNOREUNKNOWN Windows answers with its "Open with" dialog for
    // a type nothing is registered for. A packaged app (the Notepad of
    // Windows 11) registers a delegate in place of a command line.
    for (const ASSOCSTR what : {ASSOCSTR_COMMAND, ASSOCSTR_DELEGATEEXECUTE}) {
        DWORD size = 0;
        const HRESULT found = AssocQueryStringW(ASSOCF_INIT_IGNOREUNKNOWN, what, extension, L"open", nullptr, &size);
        if ((found == S_OK || found == S_FALSE) && size > 1) return true;
    }
    return false;
}

bool shell_open(HWND owner, const std::wstring& target, const std::wstring& working_folder) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // The program tells what went wrong itself: no box of the shell's.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = target.c_str();
    info.lpDirectory = working_folder.empty() ? nullptr : working_folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) && reinterpret_cast<INT_PTR>(info.hInstApp) > 32;
}

bool open_file_else_address(HWND owner, const std::wstring& file, const std::wstring& working_folder,
                            const std::wstring& address, const std::wstring& title, const std::wstring& missing_text) {
    if (!file.empty() && has_open_command(file) && shell_open(owner, file, working_folder)) return true;
    if (shell_open(owner, address, std::wstring())) return true;
    show_message(owner, title, missing_text + L"\n\n" + address);
    return false;
}

bool open_help(HWND owner) {
    const std::wstring folder = exe_folder_with_separator();
    const std::wstring code = help_language_code();
    const HelpTarget help = help_target(folder, code, update_base(), is_file);
    return open_file_else_address(owner, help.local ? help.target : std::wstring(), folder,
                                  online_help_address(update_base(), code), tr(L"action.guide"),
                                  tr(L"help.missing"));
}
