// Where the program keeps its files.
//
// Portable mode: a file "portable.txt" beside the executable puts the data
// in the folder "data" beside the executable ("quillet.db", its settings
// file "quillet.db.ini" and the image folder "screenshots"). Otherwise the
// database ".quillet.db" and its settings file ".quillet.db.ini" live in the
// user's profile folder and there is no default image folder.
//
// Nothing is cached: every call looks at the file system and the process
// environment again. No function reports an error; a folder that cannot be
// determined is empty, so the paths built on it become relative names.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace winutil {

// Full path of the running executable, however long; empty when it cannot
// be read.
std::wstring exe_path();

// Reads a path through a function that fills a buffer the way
// GetModuleFileNameW does (returns the length copied, or the buffer's size
// when the path was cut, or 0 on failure), with bigger buffers until the
// whole path fits, up to 32,768 characters. Empty on failure or when even
// the biggest buffer is too small.
std::wstring read_whole_path(const std::function<DWORD(wchar_t* buffer, DWORD size)>& fill);

// The executable's folder: exe_path() up to (not including) its last "\" or
// "/"; empty when the path holds neither.
std::wstring exe_dir();

// True when "portable.txt" exists beside the executable and is not a folder.
bool is_portable();

// True when the process environment variable "QUILLET_PORTABLE_FALLBACK" is
// exactly "1": the portable data folder could not be made, so the profile
// locations are used although "portable.txt" exists.
bool portable_fallback_active();

// True when the data lives in the portable data folder: is_portable() and
// not portable_fallback_active().
bool uses_portable_data();

// The data folder: "data" beside the executable in portable mode, else the
// user's profile folder (CSIDL_PROFILE).
std::wstring data_dir();

// database_path_in(data_dir(), uses_portable_data()).
std::wstring database_path();

// database_path() followed by ".ini".
std::wstring ini_path();

// "screenshots" in the data folder in portable mode, else empty.
std::wstring screenshots_dir();

// The local application-data folder (CSIDL_LOCAL_APPDATA) followed directly
// by "\Quillet".
std::wstring local_appdata_dir();

// Creates the folders the program writes to. Portable mode: the data folder
// and its image folder; when the data folder neither exists nor can be made,
// "QUILLET_PORTABLE_FALLBACK" is set to "1" in this process, so every path
// above moves to the profile locations. Otherwise the per-user application
// folder (skipped when the local application-data folder is unknown).
void prepare_data_dirs();

// GetFullPathNameW of the path (unchanged when that fails), then trailing
// "\" and "/" removed while the path is longer than one character.
std::wstring normalize_path(const std::wstring& path);

// True when the path lies strictly inside the folder: both normalised, the
// folder a proper prefix of the path (case ignored, ordinal) followed by a
// separator. False when either is empty.
bool is_path_inside(const std::wstring& path, const std::wstring& folder);

}  // namespace winutil

// The folder joined with "quillet.db" when portable, else with ".quillet.db".
std::wstring database_path_in(const std::wstring& folder, bool portable);

// Folder and name joined with one separator: an empty folder gives the name,
// a folder ending in "\" or "/" is followed directly by the name.
std::wstring join_path(const std::wstring& folder, const std::wstring& name);

// The language folder: the executable's folder with its separator followed
// by "lang\"; empty when the executable path cannot be read.
std::wstring lang_dir();

// The local help pages: the executable's folder with its separator followed
// by "help\" ("help\" alone when the executable path holds no separator).
std::wstring help_dir();
