#include "app/help.h"

#include <shellapi.h>

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

bool open_file_else_address(HWND owner, const std::wstring& file, const std::wstring& working_folder,
                            const std::wstring& address, const std::wstring& title, const std::wstring& missing_text) {
    if (!file.empty()) {
        const wchar_t* working = working_folder.empty() ? nullptr : working_folder.c_str();
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(owner, L"open", file.c_str(), nullptr, working, SW_SHOWNORMAL));
        if (result > 32) return true;
    }
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return true;
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
