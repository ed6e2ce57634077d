// Writing image files.
#include "capture/image_file.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>

#include "capture/image.h"
#include "core/handles.h"

namespace {

enum class NewFileResult { written, exists, failed };

// Creates the file (it must not exist yet) and writes every byte; a file
// this call created is deleted again when the write fails.
NewFileResult write_new_file(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() > MAXDWORD) return NewFileResult::failed;
    raii::Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFileResult::exists
                                                                            : NewFileResult::failed;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    const bool closed = CloseHandle(file.release()) != FALSE;
    if (ok && closed) return NewFileResult::written;
    DeleteFileW(path.c_str());
    return NewFileResult::failed;
}

bool is_existing_file(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES;
}

std::wstring full_path(const std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, buffer, nullptr);
    return n >= 1 && n < MAX_PATH ? std::wstring(buffer, n) : path;
}

}  // namespace

bool write_file_bytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty() || path.empty()) return false;
    const NewFileResult direct = write_new_file(path, bytes);
    if (direct != NewFileResult::exists) return direct == NewFileResult::written;

    // The file is there: the new content goes to a temporary file first and
    // replaces it only when complete.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring temp = path + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(attempt);
        const NewFileResult staged = write_new_file(temp, bytes);
        if (staged == NewFileResult::exists) continue;
        if (staged == NewFileResult::failed) return false;
        if (MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        DeleteFileW(temp.c_str());
        return false;
    }
    return false;
}

std::wstring image_file_stamp() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%04d-%02d-%02d %02d-%02d-%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return buffer;
}

std::wstring screenshot_file_name() {
    std::wstring name = L"\u0421\u043a\u0440\u0438\u043d\u0448\u043e\u0442 " + image_file_stamp() + L".png";
    if (name.size() > 127) name.resize(127);
    return name;
}

std::wstring image_file_candidate(const std::wstring& folder, const std::wstring& base, const std::wstring& stamp,
                                  int n) {
    std::wstring path = folder;
    if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path += L'\\';
    path += base;
    path += L' ';
    path += stamp;
    if (n >= 2) path += L" (" + std::to_wstring(n) + L")";
    path += L".png";
    return path;
}

namespace winutil {

bool save_png_file(const std::wstring& folder, const std::wstring& base, const std::vector<std::uint8_t>& image,
                   std::wstring& path_out) {
    path_out.clear();
    if (folder.empty() || base.empty() || image.empty()) return false;
    // Absolute first: the folder is created by a call that takes full paths only.
    const std::wstring dir = full_path(folder);
    const int made = SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS && !is_existing_file(dir))
        return false;

    std::vector<std::uint8_t> png;
    if (is_png(image)) {
        png = image;
    } else if (!dib_to_png(image, png)) {
        return false;
    }

    const std::wstring stamp = image_file_stamp();
    for (int n = 1; n <= 999; ++n) {
        const std::wstring candidate = image_file_candidate(dir, base, stamp, n);
        if (is_existing_file(candidate)) continue;
        const NewFileResult result = write_new_file(candidate, png);
        if (result == NewFileResult::exists) continue;  // taken meanwhile
        if (result == NewFileResult::written) path_out = candidate;
        return result == NewFileResult::written;
    }
    return false;
}

}  // namespace winutil
