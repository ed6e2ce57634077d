// Another program holding a file open without delete sharing
// (file_holder.exe beside the test), for as long as the object lives or
// until let_go.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/core/temp_folder.h"

namespace store_test {

class HeldFile {
public:
    explicit HeldFile(const std::wstring& path) {
        const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
        const std::wstring ready_name = L"quillet-held-ready-" + tag;
        const std::wstring go_name = L"quillet-held-go-" + tag;
        ready_ = CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str());
        let_go_ = CreateEventW(nullptr, TRUE, FALSE, go_name.c_str());
        const std::wstring exe = test_support::own_exe_dir() + L"\\file_holder.exe";
        std::wstring cmd = L"\"" + exe + L"\" \"" + path + L"\" " + ready_name + L" " + go_name;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) {
            ADD_FAILURE() << "file_holder.exe did not start: " << GetLastError();
            return;
        }
        HANDLE both[2] = {ready_, process_.hProcess};
        holding_ = WaitForMultipleObjects(2, both, FALSE, 20000) == WAIT_OBJECT_0;
    }
    ~HeldFile() {
        let_go();
        CloseHandle(ready_);
        CloseHandle(let_go_);
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool holding() const { return holding_; }
    // Closes the file and waits for the program to end.
    void let_go() {
        if (!process_.hProcess) return;
        SetEvent(let_go_);
        WaitForSingleObject(process_.hProcess, 20000);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
        process_ = PROCESS_INFORMATION{};
        holding_ = false;
    }

private:
    HANDLE ready_ = nullptr;
    HANDLE let_go_ = nullptr;
    PROCESS_INFORMATION process_{};
    bool holding_ = false;
};

}  // namespace store_test
