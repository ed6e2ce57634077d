// A portable copy of the program in a temporary folder (Quillet.exe, the
// lang folder and portable.txt), so that a test runs the real executable on
// data of its own: the "data" folder beside it. Its settings file starts
// with the automatic update check switched off: the real program asks the
// real update server, and a test reaches no other host than this one.
#pragma once

#include <windows.h>

#include <string>

#include "core/handles.h"
#include "core/settings.h"
#include "tests/core/temp_folder.h"

namespace test_support {

class PortableCopy {
public:
    PortableCopy() {
        const std::wstring bin = own_exe_dir();
        ok_ = CopyFileW((bin + L"\\Quillet.exe").c_str(), exe().c_str(), FALSE) != FALSE;
        CreateDirectoryW(folder_.file(L"lang").c_str(), nullptr);
        WIN32_FIND_DATAW found{};
        raii::FindHandle find(FindFirstFileW((bin + L"\\lang\\*.ini").c_str(), &found));
        if (find) {
            do {
                CopyFileW((bin + L"\\lang\\" + found.cFileName).c_str(),
                          (folder_.file(L"lang") + L"\\" + found.cFileName).c_str(), FALSE);
            } while (FindNextFileW(find.get(), &found));
        }
        ok_ = ok_ && write_file(folder_.file(L"portable.txt"), "portable\r\n");
        CreateDirectoryW(data().c_str(), nullptr);
        Settings settings;
        settings.check_updates = false;
        settings.save(ini());
        ok_ = ok_ && GetFileAttributesW(ini().c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    bool ok() const { return ok_; }
    std::wstring exe() const { return folder_.file(L"Quillet.exe"); }
    std::wstring data() const { return folder_.file(L"data"); }
    std::wstring database() const { return data() + L"\\quillet.db"; }
    std::wstring ini() const { return data() + L"\\quillet.db.ini"; }
    std::wstring screenshots() const { return data() + L"\\screenshots"; }
    const std::wstring& path() const { return folder_.path(); }

private:
    TempFolder folder_;
    bool ok_ = false;
};

}  // namespace test_support
