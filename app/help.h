// The help pages: the local page of the user's language in the folder
// "help" beside the executable, else the English one there, else the online
// documentation on the update server.
#pragma once

#include <windows.h>

#include <string>

// What open_help opens.
struct HelpTarget {
    bool local = false;   // a file: opened with the executable's folder as working folder
    std::wstring target;  // the file's path or the web address
};

// The language code for the help: the settings' language through the App,
// "en" without an App or settings, or when the code is empty or not a safe
// code (letters, digits, "-", "_").
std::wstring help_language_code();

// The page for the language code: "help\index.html" for "ru", else
// "help\index.<code>.html", in exe_folder (which ends with its separator or
// is empty); when is_file does not accept it, "help\index.en.html"; when
// that is missing too, the online page: "/docs/" for "ru", "/docs/index.<code>.html"
// for en, de, es, fr, it, pl and pt, else "/docs/index.en.html", on the
// update server docs_base.
HelpTarget help_target(const std::wstring& exe_folder, const std::wstring& code, const std::wstring& docs_base,
                       bool (*is_file)(const std::wstring& path));

// The online documentation address for the code (see help_target).
std::wstring online_help_address(const std::wstring& docs_base, const std::wstring& code);

// True when the shell has a program that opens files of the file's type
// (an "open" command registered for its extension).
bool has_open_command(const std::wstring& file);

// Hands the file or web address to the shell ("open"; working_folder may be
// empty) without any box of the shell's; true when a program took it.
bool shell_open(HWND owner, const std::wstring& target, const std::wstring& working_folder);

// Opens the file with the shell (working_folder may be empty), or, when
// file is empty, nothing opens files of its type or the shell refuses it,
// the web address. When the address cannot be opened either, a message
// titled title says missing_text, a blank line and the address. True when
// the shell took one of them.
bool open_file_else_address(HWND owner, const std::wstring& file, const std::wstring& working_folder,
                            const std::wstring& address, const std::wstring& title, const std::wstring& missing_text);

// Opens the help for the owner (command 1505): the local page with the
// executable's folder as working folder, else the online documentation,
// else a message naming it. True when the shell took one of them.
bool open_help(HWND owner);
