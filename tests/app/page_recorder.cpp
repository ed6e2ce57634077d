// Test helper: stands in for the program the shell opens a page with.
// Command line: <record file> <what the shell handed over>. Writes the
// handed-over text, a line break and its own working folder to the record
// file (UTF-16) and ends.
#include <windows.h>

#include <string>

#include "core/handles.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    std::wstring folder(32768, L'\0');
    folder.resize(GetCurrentDirectoryW(32768, folder.data()));
    const std::wstring text = std::wstring(argv[2]) + L"\n" + folder;
    // Written under another name first: the test never reads half a record.
    const std::wstring record = argv[1];
    const std::wstring partial = record + L".part";
    BOOL ok = FALSE;
    {
        raii::Handle file(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return 3;
        DWORD written = 0;
        ok = WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
                       nullptr);
    }
    if (!ok || !MoveFileExW(partial.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING)) return 4;
    return 0;
}
