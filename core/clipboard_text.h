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
#include <vector>

#include "core/handles.h"

namespace winutil {

// The text of a CF_UNICODETEXT block: up to its first NUL, at most
// GlobalSize / 2 characters. Empty for no block or one that cannot be locked.
std::wstring text_of_global_block(HGLOBAL block);

// The clipboard's CF_UNICODETEXT text, read while the caller holds the
// clipboard open; empty when there is none.
std::wstring read_open_clipboard_text();

// A movable global block holding a copy of the bytes, ready to be handed to
// SetClipboardData; empty when there are no bytes or the memory cannot be had.
raii::GlobalMemory make_clipboard_block(const void* bytes, size_t length);

// The CF_UNICODETEXT block of the text, with its terminating zero; empty when
// the memory cannot be had.
raii::GlobalMemory make_clipboard_text_block(const std::wstring& text);

// Hands the block as the format to the clipboard the caller holds open. True
// when the clipboard took it (it owns the block then); an empty block or a
// refusal gives false and the block is freed.
bool place_clipboard_block(UINT format, raii::GlobalMemory block);

// Places text (with its terminating zero) as CF_UNICODETEXT on the clipboard
// the caller holds open and has emptied. True when the clipboard took the
// data; on failure the memory is freed and false returned.
bool place_clipboard_text(const std::wstring& text);

// Opens the clipboard and reads its CF_UNICODETEXT text; empty when the
// clipboard cannot be opened or holds no text.
std::wstring get_clipboard_text();

// One format's data, made before the clipboard is touched.
struct ClipboardBlock {
    UINT format = 0;
    raii::GlobalMemory mem;
};

// True when there are blocks and each has its format and its memory.
bool all_blocks_made(const std::vector<ClipboardBlock>& blocks);

// Replaces the clipboard's whole content by the blocks, each as its format.
// Every block is in hand before the clipboard is touched: when one is empty
// (its memory could not be had) false is returned and the clipboard is never
// opened, so it keeps what it held; so it does when it cannot be opened.
// Only a block the clipboard refuses after it was emptied leaves it without
// that format. True when every block was taken.
bool set_clipboard_blocks(std::vector<ClipboardBlock> blocks);

// Replaces the clipboard's whole content by the text as CF_UNICODETEXT. True
// only when the text is on the clipboard. The text's block is made first: when
// its memory cannot be had, or the clipboard cannot be opened, false is
// returned and the clipboard is left as it was.
bool set_clipboard_text(const std::wstring& text);

}  // namespace winutil
