// Plain Unicode text on the system clipboard: the low-level reader and
// writer that the paste helpers and the clipboard capture build on.
//
// Clipboard data comes from other programs and is not trusted: text is read
// up to its first NUL but never beyond the clipboard block's own size, so a
// block without a terminator cannot make the read run past its end.
// Failures are reported by an empty result or a false return; nothing is
// shown to the user and OpenClipboard is never retried.
#pragma once

#include <windows.h>

#include <string>

namespace winutil {

// The text of a CF_UNICODETEXT block: up to its first NUL, at most
// GlobalSize / 2 characters. Empty for no block or one that cannot be locked.
std::wstring text_of_global_block(HGLOBAL block);

// The clipboard's CF_UNICODETEXT text, read while the caller holds the
// clipboard open; empty when there is none.
std::wstring read_open_clipboard_text();

// Places text (with its terminating zero) as CF_UNICODETEXT on the clipboard
// the caller holds open and has emptied. True when the clipboard took the
// data; on failure the memory is freed and false returned.
bool place_clipboard_text(const std::wstring& text);

// Opens the clipboard and reads its CF_UNICODETEXT text; empty when the
// clipboard cannot be opened or holds no text.
std::wstring get_clipboard_text();

// Replaces the clipboard's whole content by the text as CF_UNICODETEXT. True
// only when the text is on the clipboard: false when the clipboard cannot be
// opened (it is then left as it was) or the data could not be placed (the
// clipboard is then left empty).
bool set_clipboard_text(const std::wstring& text);

}  // namespace winutil
