// Breaks a long value's overflow chain in a store's file, as a failing disk
// could: the value no longer reads, while the rest of the file does.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace store_test {

// Finds, in the file at path (pages of page_size bytes), a page in the
// middle of an overflow chain that holds nothing but the byte fill (its
// next-page number not 0), and points that next-page number beyond the end
// of the file. The page's offset, or 0 when no such page was found or the
// file could not be written.
inline std::size_t break_overflow_chain(const std::wstring& path, std::size_t page_size, char fill) {
    std::string file;
    HANDLE in = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return 0;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(in, buf, sizeof(buf), &got, nullptr) && got > 0) file.append(buf, got);
    CloseHandle(in);
    std::size_t broken = 0;
    for (std::size_t at = 0; page_size > 4 && at + page_size <= file.size() && !broken; at += page_size) {
        if (file.compare(at + 4, page_size - 4, std::string(page_size - 4, fill)) == 0 &&
            file.compare(at, 4, std::string(4, '\0')) != 0)
            broken = at;
    }
    if (!broken) return 0;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(broken);
    const char never[4] = {'\x7f', '\xff', '\xff', '\xff'};
    DWORD written = 0;
    const bool ok = SetFilePointerEx(out, to, nullptr, FILE_BEGIN) && WriteFile(out, never, 4, &written, nullptr) &&
                    written == 4 && FlushFileBuffers(out);
    CloseHandle(out);
    return ok ? broken : 0;
}

}  // namespace store_test
