// The paste target of the GUI tests: ui_edit_target.exe (built beside the
// test) started as another process, a top-level window holding an EDIT box.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/handles.h"
#include "core/winutil.h"
#include "tests/theme/gui_support.h"

namespace gui_test {

class EditTarget {
public:
    explicit EditTarget(const std::wstring& title) : title_(title) {
        std::wstring exe = exe_dir() + L"\\ui_edit_target.exe";
        std::wstring cmd = L"\"" + exe + L"\" " + title;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            process_.reset(pi.hProcess);
            CloseHandle(pi.hThread);
        }
        // The window can be found while it is still creating its edit box.
        wait_until(
            [&] {
                window = FindWindowW(L"QuilletTestEditTarget", title_.c_str());
                edit = window ? FindWindowExW(window, nullptr, L"EDIT", nullptr) : nullptr;
                return edit != nullptr && IsWindowVisible(window);
            },
            10000);
    }
    ~EditTarget() {
        if (window) PostMessageW(window, WM_CLOSE, 0, 0);
        if (process_ && WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 1);
    }
    EditTarget(const EditTarget&) = delete;
    EditTarget& operator=(const EditTarget&) = delete;

    std::wstring text() const {
        std::vector<wchar_t> buf(65536, L'\0');
        SendMessageTimeoutW(edit, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG,
                            2000, nullptr);
        return buf.data();
    }
    void clear() const {
        SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_ABORTIFHUNG, 2000, nullptr);
    }
    void bring_to_front() const {
        winutil::bring_to_front(window);
        wait_until([&] { return GetForegroundWindow() == window; }, 3000);
    }

    HWND window = nullptr;
    HWND edit = nullptr;

private:
    std::wstring title_;
    raii::Handle process_;
};

}  // namespace gui_test
