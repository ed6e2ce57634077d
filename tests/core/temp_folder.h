// A fresh folder under the system's temporary folder, deleted with all its
// content when the object goes away. Shared by the core tests.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "core/handles.h"

namespace test_support {

// Calls `visit` with the path of every file under the folder, in the
// folders below it too.
inline void for_each_file(const std::wstring& dir, const std::function<void(const std::wstring& path)>& visit) {
    WIN32_FIND_DATAW found{};
    raii::FindHandle find(FindFirstFileW((dir + L"\\*").c_str(), &found));
    if (!find) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            for_each_file(dir + L"\\" + name, visit);
        else
            visit(dir + L"\\" + name);
    } while (FindNextFileW(find.get(), &found));
}

inline void delete_tree(const std::wstring& dir) {
    WIN32_FIND_DATAW found{};
    raii::FindHandle find(FindFirstFileW((dir + L"\\*").c_str(), &found));
    if (find) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = dir + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                delete_tree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find.get(), &found));
    }
    find.reset();
    RemoveDirectoryW(dir.c_str());
}

class TempFolder {
public:
    // The folder's name ends in the given suffix (it may hold any text).
    explicit TempFolder(const std::wstring& suffix = L"") {
        static std::atomic<unsigned> counter{0};
        wchar_t base[MAX_PATH + 1] = {};
        DWORD n = GetTempPathW(MAX_PATH + 1, base);
        std::wstring root(base, n);
        if (!root.empty() && root.back() != L'\\') root += L'\\';
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::wstring candidate = root + L"quillet-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                     std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++) + suffix;
            if (CreateDirectoryW(candidate.c_str(), nullptr)) {
                path_ = candidate;
                break;
            }
        }
    }
    ~TempFolder() {
        if (!path_.empty()) delete_tree(path_);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Without a trailing separator; empty when the folder could not be made.
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Writes the bytes to the file, replacing it.
inline bool write_file(const std::wstring& path, const std::string& bytes) {
    raii::Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// The whole file, or empty when it cannot be read.
inline std::string read_file(const std::wstring& path) {
    raii::Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

// The folder of the running test executable, without a trailing separator.
inline std::wstring own_exe_dir() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), 32768));
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace test_support
