// Pieces of the tests that run the real program (a portable copy) from
// outside: its windows found by process, a window of the test that puts
// data on the clipboard as another program would, and a second connection
// that holds the store's write lock.
#pragma once

#include <windows.h>

#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/clipboard_text.h"
#include "core/handles.h"
#include "core/text.h"
#include "tests/app/app_test_support.h"

namespace app_test {

// The texts of a window's child controls of the class, in order.
inline std::vector<std::wstring> child_texts(HWND parent, const wchar_t* class_name) {
    struct Collect {
        const wchar_t* name;
        std::vector<std::wstring> texts;
    } collect{class_name, {}};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM lp) -> BOOL {
            auto* c = reinterpret_cast<Collect*>(lp);
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (_wcsicmp(cls, c->name) == 0) {
                wchar_t text[1024] = {};
                GetWindowTextW(w, text, 1024);
                c->texts.emplace_back(text);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&collect));
    return collect.texts;
}

// A window of this test that owns what it puts on the clipboard, as a
// program the user copies from would.
class ClipboardSource {
public:
    ClipboardSource() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuilletTestClipboardSource";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"source", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    }
    ~ClipboardSource() {
        if (window_) DestroyWindow(window_);
    }
    ClipboardSource(const ClipboardSource&) = delete;
    ClipboardSource& operator=(const ClipboardSource&) = delete;
    // The program reads the clipboard twice a second; like any program
    // that writes it, try again for a moment when it is open just then.
    raii::ClipboardOpen open_clipboard() {
        for (int i = 0; i < 50; ++i) {
            raii::ClipboardOpen open(window_);
            if (open.ok()) return open;
            Sleep(20);
        }
        return raii::ClipboardOpen(window_);
    }
    bool put_text(const std::wstring& text) {
        raii::ClipboardOpen open = open_clipboard();
        if (!open.ok()) return false;
        EmptyClipboard();
        return winutil::place_clipboard_text(text);
    }
    bool put_dib(const std::vector<std::uint8_t>& dib) {
        raii::ClipboardOpen open = open_clipboard();
        if (!open.ok()) return false;
        EmptyClipboard();
        raii::GlobalMemory mem(GlobalAlloc(GMEM_MOVEABLE, dib.size()));
        if (!mem) return false;
        {
            raii::GlobalLocked<std::uint8_t> p(mem.get());
            std::memcpy(p.get(), dib.data(), dib.size());
        }
        if (!SetClipboardData(CF_DIB, mem.get())) return false;
        mem.release();
        return true;
    }

private:
    HWND window_ = nullptr;
};

// A second connection to the store's file, holding its write lock while it
// lives (or until release), as another program could.
class StoreLock {
public:
    explicit StoreLock(const std::wstring& path) {
        if (sqlite3_open(to_utf8(path).c_str(), &db_) == SQLITE_OK)
            locked_ = sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~StoreLock() {
        release();
        sqlite3_close(db_);
    }
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    bool locked() const { return locked_; }
    void release() {
        if (locked_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        locked_ = false;
    }

private:
    sqlite3* db_ = nullptr;
    bool locked_ = false;
};

}  // namespace app_test
