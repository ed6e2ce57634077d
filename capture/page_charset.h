// The character set a fetched page declares, and its titles decoded with
// it. Pure functions, safe on any thread.
#pragma once

#include <windows.h>

#include <string>

// The Windows code page of a charset name as pages and replies write it
// ("utf-8", "windows-1251", "ISO-8859-5", "koi8-r", "cp866", "shift_jis" ...;
// letter case and surrounding blanks or quotes ignored); 0 when the name is
// unknown or the system has no such code page. "iso-8859-1", "latin1" and
// "us-ascii" are read as windows-1252, as browsers do.
UINT code_page_of_charset(const std::string& name);

// The charset a page declares in a meta tag (<meta charset="...">, or the
// charset parameter of an http-equiv Content-Type's content); empty when
// none is found.
std::string meta_charset(const std::string& page);

// Bytes in the code page as UTF-8; invalid sequences become U+FFFD.
// UTF-8 (65001) and 0 give the bytes unchanged.
std::string code_page_to_utf8(const std::string& bytes, UINT code_page);
