// The clipboard as the capture reads it and the writers that put history
// entries back on it. Interface thread (the plain-text paste thread uses
// only the text functions of core/clipboard_text.h).
//
// These functions open the clipboard once: a failed read gives an empty
// snapshot, a failed write leaves the clipboard as it was and returns false.
// The watcher's read thread tries again while another program holds it
// (capture/clipboard_reader.h).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/clipboard_text.h"

// Everything the watcher needs, read under one OpenClipboard.
struct ClipboardSnapshot {
    std::wstring text;               // CF_UNICODETEXT up to its zero, bounded by its block
    std::string rtf;                 // "Rich Text Format": the whole block (GlobalSize bytes)
    std::string html;                // "HTML Format": the whole block
    std::vector<std::uint8_t> dib;   // CF_DIB: the whole block
    // Lower-case executable name of the clipboard owner's process, else of
    // the foreground window's; empty when neither can be read.
    std::wstring owner_app;
    // A privacy marker is present: "ExcludeClipboardContentFromMonitorProcessing",
    // "Clipboard Viewer Ignore", or "CanIncludeInClipboardHistory" holding 0.
    bool excluded = false;
    // CF_DIB is there but could not be read (too large, or no memory for
    // it): dib is empty, yet the copy carries a bitmap.
    bool bitmap_unread = false;
    // The clipboard could be opened, and its sequence number while it was.
    bool opened = false;
    DWORD sequence = 0;

    bool has_bitmap() const { return !dib.empty() || bitmap_unread; }
};

// What is kept of a text to know it again without holding it: its length
// and a 64-bit FNV-1a hash of its UTF-16 code units.
struct TextFingerprint {
    std::size_t length = 0;
    std::uint64_t hash = 0xCBF29CE484222325ull;
    bool operator==(const TextFingerprint&) const = default;
};
TextFingerprint text_fingerprint(std::wstring_view text);

// Largest CF_DIB block read: bigger bitmaps could never be converted.
inline constexpr std::size_t kMaxClipboardDibBytes = 256u * 1024 * 1024 + 65536;

namespace winutil {

// Registers "Rich Text Format" and "HTML Format" once per process.
void register_clipboard_formats();
UINT rtf_clipboard_format();
UINT html_clipboard_format();

// Opens the clipboard once and reads text, RTF, HTML, bitmap, owner and the
// privacy markers. Empty when the clipboard cannot be opened. opener is the
// window the clipboard is opened for (none: the calling thread). The text
// is copied out of its block once; afterwards the system's own copies of
// what was read are let go (release_clipboard_copies).
ClipboardSnapshot read_clipboard(HWND opener = nullptr);

// Opens the clipboard and fingerprints its CF_UNICODETEXT text where it
// lies (up to its first NUL, within its block), without copying it out.
// The fingerprint of an empty text when there is none or the clipboard
// cannot be opened.
TextFingerprint clipboard_text_fingerprint(HWND opener = nullptr);

// Opens and closes the clipboard once, so that the system drops the copies
// of clipboard data it made for this process while it read them (Wine keeps
// a whole copy of each format read until this process next opens the
// clipboard, or the clipboard changes). What is on the clipboard stays.
void release_clipboard_copies(HWND opener = nullptr);

// While the clipboard is open: replaces out with the whole block of the
// format; leaves it unchanged when the data, its size or its lock is missing.
void read_clipboard_bytes(UINT format, std::string& out);

// While the clipboard is open: places a copy of the bytes as the format.
// True when the clipboard took it; false (memory freed) otherwise.
bool set_clipboard_bytes(UINT format, const void* bytes, std::size_t length);

// Replaces the clipboard with a history entry: CF_UNICODETEXT always (only
// its zero for an empty text), "Rich Text Format" and "HTML Format" when not
// empty, and CF_DIB when there is an image: PNG bytes decoded to a 32-bit
// bottom-up bitmap, bitmap bytes as they are. before_image_write, when
// given, receives the exact bitmap bytes right before the clipboard is
// opened (the watcher's remember_own_image). True only when every format
// was placed. Image bytes that cannot be written (a PNG that does not
// decode, a bitmap image_bytes_keepable refuses) give false before the
// clipboard is opened: it keeps what it held. So does a format whose memory
// cannot be had: every block is made before the clipboard is emptied.
bool set_clipboard_entry(const std::wstring& text, const std::string& rtf, const std::string& html,
                         const std::vector<std::uint8_t>& image,
                         const std::function<void(const std::vector<std::uint8_t>&)>& before_image_write = {});

// Opens the clipboard and tells whether a privacy marker is present.
bool is_clipboard_excluded();

}  // namespace winutil
