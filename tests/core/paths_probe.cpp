// Helper for paths_test: reports the file locations as this executable sees
// them from wherever it was copied to.
//
//   core_paths_probe.exe <output file> [prepare]
//
// With "prepare" the data folders are created first. The output file gets
// one "name=value" line per location, in UTF-8.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "core/handles.h"
#include "core/paths.h"
#include "core/text.h"

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    std::wstring out_path = argv[1];
    bool prepare = argc > 2 && std::wstring(argv[2]) == L"prepare";
    LocalFree(argv);

    if (prepare) winutil::prepare_data_dirs();

    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"exe_path", winutil::exe_path()},
        {L"exe_dir", winutil::exe_dir()},
        {L"is_portable", winutil::is_portable() ? L"1" : L"0"},
        {L"fallback", winutil::portable_fallback_active() ? L"1" : L"0"},
        {L"data_dir", winutil::data_dir()},
        {L"database_path", winutil::database_path()},
        {L"ini_path", winutil::ini_path()},
        {L"screenshots_dir", winutil::screenshots_dir()},
        {L"local_appdata_dir", winutil::local_appdata_dir()},
        {L"lang_dir", lang_dir()},
        {L"help_dir", help_dir()},
    };
    std::string text;
    for (const auto& [name, value] : values) text += to_utf8(name) + "=" + to_utf8(value) + "\n";

    raii::Handle file(CreateFileW(out_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 3;
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return 4;
    return written == text.size() ? 0 : 4;
}
