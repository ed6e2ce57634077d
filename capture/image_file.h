// Image files: writing bytes to a file without ever losing one that was
// there, PNG files under the program's naming scheme, and the default name
// of a saved screenshot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes the bytes to the file. A new file is made and, when the write
// fails, deleted again. An existing file is replaced only once the new
// content is completely written (through a temporary file beside it), so a
// failure leaves it as it was. False for empty bytes and on any failure.
bool write_file_bytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);

// The default file name of a screenshot from the local time:
// "Скриншот YYYY-MM-DD hh-mm-ss.png".
std::wstring screenshot_file_name();

// The n-th candidate name of an image file: the folder, a "\" unless it
// already ends in "\" or "/", the base word, a blank, the stamp, for n of 2
// or more " (n)", then ".png".
std::wstring image_file_candidate(const std::wstring& folder, const std::wstring& base, const std::wstring& stamp,
                                  int n);

// The local time as "YYYY-MM-DD hh-mm-ss".
std::wstring image_file_stamp();

namespace winutil {

// Saves PNG bytes, or bitmap bytes encoded as PNG, as a new file in the
// folder (made absolute, and created when missing) named by
// image_file_candidate with the current time, taking the first n from 1 to
// 999 whose name is free; an existing file is never overwritten. path_out
// is the saved file's path. False when folder, base or image is empty, the
// folder cannot be made, the bitmap cannot be encoded, the write fails or
// every name is taken.
bool save_png_file(const std::wstring& folder, const std::wstring& base, const std::vector<std::uint8_t>& image,
                   std::wstring& path_out);

}  // namespace winutil
