#include "core/paths.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace {

constexpr const wchar_t* kFallbackVariable = L"QUILLET_PORTABLE_FALLBACK";

// The longest path the wide file API accepts.
constexpr DWORD kMaxLongPath = 32768;

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Position just after the last separator of the executable path, or 0.
size_t folder_end(const std::wstring& path) {
    size_t pos = path.find_last_of(L"\\/");
    return pos == std::wstring::npos ? 0 : pos + 1;
}

std::wstring known_folder(int csidl) {
    wchar_t buf[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, buf))) return {};
    return buf;
}

bool is_directory(const std::wstring& path) {
    DWORD attr = GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

namespace winutil {

std::wstring read_whole_path(const std::function<DWORD(wchar_t*, DWORD)>& fill) {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD size = static_cast<DWORD>(buf.size());
        DWORD n = fill(buf.data(), size);
        if (n == 0) return {};
        if (n < size) return std::wstring(buf.data(), n);
        // The path filled the buffer, so it may have been cut: try a bigger one.
        if (size >= kMaxLongPath) return {};
        buf.resize(size * 2 > kMaxLongPath ? kMaxLongPath : size * 2);
    }
}

std::wstring exe_path() {
    return read_whole_path([](wchar_t* buf, DWORD size) { return GetModuleFileNameW(nullptr, buf, size); });
}

std::wstring exe_dir() {
    std::wstring path = exe_path();
    size_t end = folder_end(path);
    return end == 0 ? std::wstring() : path.substr(0, end - 1);
}

bool is_portable() {
    std::wstring marker = join_path(exe_dir(), L"portable.txt");
    DWORD attr = GetFileAttributesW(marker.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool portable_fallback_active() {
    wchar_t buf[4] = {};
    DWORD n = GetEnvironmentVariableW(kFallbackVariable, buf, 4);
    return n == 1 && buf[0] == L'1';
}

bool uses_portable_data() { return is_portable() && !portable_fallback_active(); }

std::wstring data_dir() {
    if (uses_portable_data()) return join_path(exe_dir(), L"data");
    return known_folder(CSIDL_PROFILE);
}

std::wstring database_path() { return database_path_in(data_dir(), uses_portable_data()); }

std::wstring ini_path() { return database_path() + L".ini"; }

std::wstring screenshots_dir() {
    if (!uses_portable_data()) return {};
    return join_path(data_dir(), L"screenshots");
}

std::wstring local_appdata_dir() { return known_folder(CSIDL_LOCAL_APPDATA) + L"\\Quillet"; }

void prepare_data_dirs() {
    if (uses_portable_data()) {
        std::wstring data = data_dir();
        CreateDirectoryW(data.c_str(), nullptr);
        // A file of that name, a read-only folder or a missing drive: the data
        // cannot live there, so it goes to the profile locations instead.
        if (!is_directory(data)) {
            SetEnvironmentVariableW(kFallbackVariable, L"1");
            return;
        }
        std::wstring shots = screenshots_dir();
        if (!shots.empty()) CreateDirectoryW(shots.c_str(), nullptr);
        return;
    }
    if (known_folder(CSIDL_LOCAL_APPDATA).empty()) return;
    CreateDirectoryW(local_appdata_dir().c_str(), nullptr);
}

std::wstring normalize_path(const std::wstring& path) {
    std::wstring out = path;
    std::vector<wchar_t> buf(1040);
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = static_cast<DWORD>(buf.size());
        DWORD n = GetFullPathNameW(path.c_str(), size, buf.data(), nullptr);
        if (n == 0) break;
        if (n < size) {
            out.assign(buf.data(), n);
            break;
        }
        // n is the size needed, terminator included.
        if (n > kMaxLongPath) break;
        buf.resize(n + 1);
    }
    while (out.size() > 1 && is_separator(out.back())) out.pop_back();
    return out;
}

bool is_path_inside(const std::wstring& path, const std::wstring& folder) {
    if (path.empty() || folder.empty()) return false;
    std::wstring p = normalize_path(path);
    std::wstring f = normalize_path(folder);
    if (f.size() >= p.size()) return false;
    if (f.size() > 0x7FFFFFFF) return false;
    int len = static_cast<int>(f.size());
    if (CompareStringOrdinal(p.c_str(), len, f.c_str(), len, TRUE) != CSTR_EQUAL) return false;
    return is_separator(p[f.size()]);
}

}  // namespace winutil

std::wstring database_path_in(const std::wstring& folder, bool portable) {
    return join_path(folder, portable ? L"quillet.db" : L".quillet.db");
}

std::wstring join_path(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    if (is_separator(folder.back())) return folder + name;
    return folder + L"\\" + name;
}

std::wstring lang_dir() {
    std::wstring path = winutil::exe_path();
    if (path.empty()) return {};
    return path.substr(0, folder_end(path)) + L"lang\\";
}

std::wstring help_dir() {
    std::wstring path = winutil::exe_path();
    return path.substr(0, folder_end(path)) + L"help\\";
}
