// Reading the clipboard under one open, and writing whole entries.
#include "capture/clipboard.h"

#include <cstring>
#include <new>
#include <utility>

#include "capture/image.h"
#include "core/handles.h"
#include "core/image_header.h"
#include "core/winutil.h"

TextFingerprint text_fingerprint(std::wstring_view text) {
    TextFingerprint f;
    f.length = text.size();
    for (wchar_t c : text) {
        f.hash ^= static_cast<std::uint16_t>(c);
        f.hash *= 0x100000001B3ull;
    }
    return f;
}

namespace winutil {

namespace {

struct Formats {
    UINT rtf = 0;
    UINT html = 0;
    UINT exclude = 0;        // "ExcludeClipboardContentFromMonitorProcessing"
    UINT viewer_ignore = 0;  // "Clipboard Viewer Ignore"
    UINT history = 0;        // "CanIncludeInClipboardHistory"
};

const Formats& formats() {
    static const Formats f = [] {
        Formats r;
        r.rtf = RegisterClipboardFormatW(L"Rich Text Format");
        r.html = RegisterClipboardFormatW(L"HTML Format");
        r.exclude = RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
        r.viewer_ignore = RegisterClipboardFormatW(L"Clipboard Viewer Ignore");
        r.history = RegisterClipboardFormatW(L"CanIncludeInClipboardHistory");
        return r;
    }();
    return f;
}

bool available(UINT format) { return format != 0 && IsClipboardFormatAvailable(format); }

// With the clipboard open.
bool open_clipboard_is_excluded() {
    const Formats& f = formats();
    if (available(f.exclude) || available(f.viewer_ignore)) return true;
    if (available(f.history)) {
        raii::GlobalLocked<const std::uint8_t> lock(GetClipboardData(f.history));
        if (lock.ok() && lock.size() >= sizeof(DWORD)) {
            DWORD value = 0;
            std::memcpy(&value, lock.get(), sizeof value);
            if (value == 0) return true;
        }
    }
    return false;
}

// With the clipboard open: the whole CF_DIB block, bounded in size. unread
// is set when a bitmap is there but too large to keep.
std::vector<std::uint8_t> open_clipboard_dib(bool& unread) {
    std::vector<std::uint8_t> out;
    unread = false;
    if (!IsClipboardFormatAvailable(CF_DIB)) return out;
    raii::GlobalLocked<const std::uint8_t> lock(GetClipboardData(CF_DIB));
    const std::size_t size = lock.size();
    if (!lock.ok() || size == 0) return out;
    if (size > kMaxClipboardDibBytes) {
        unread = true;
        return out;
    }
    try {
        out.assign(lock.get(), lock.get() + size);
    } catch (const std::bad_alloc&) {
        out.clear();
        unread = true;
    }
    return out;
}

TextFingerprint fingerprint_of_block(HGLOBAL block) {
    if (!block) return text_fingerprint({});
    raii::GlobalLocked<const wchar_t> lock(block);
    if (!lock.ok()) return text_fingerprint({});
    std::wstring_view units(lock.get(), lock.size() / sizeof(wchar_t));
    const std::size_t end = units.find(L'\0');
    if (end != std::wstring_view::npos) units = units.substr(0, end);
    return text_fingerprint(units);
}

bool read_anything(const ClipboardSnapshot& snap) {
    return !snap.text.empty() || !snap.rtf.empty() || !snap.html.empty() || !snap.dib.empty() || snap.bitmap_unread;
}

}  // namespace

void release_clipboard_copies(HWND opener) {
    raii::ClipboardOpen clip(opener);
}

TextFingerprint clipboard_text_fingerprint(HWND opener) {
    TextFingerprint f = text_fingerprint({});
    {
        raii::ClipboardOpen clip(opener);
        if (!clip.ok()) return f;
        if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return f;
        f = fingerprint_of_block(GetClipboardData(CF_UNICODETEXT));
    }
    release_clipboard_copies(opener);
    return f;
}

void register_clipboard_formats() { (void)formats(); }
UINT rtf_clipboard_format() { return formats().rtf; }
UINT html_clipboard_format() { return formats().html; }

void read_clipboard_bytes(UINT format, std::string& out) {
    if (format == 0) return;
    raii::GlobalLocked<const char> lock(GetClipboardData(format));
    const std::size_t size = lock.size();
    if (!lock.ok() || size == 0) return;
    try {
        out.assign(lock.get(), size);
    } catch (const std::bad_alloc&) {
        // Too big to keep: read as absent.
    }
}

ClipboardSnapshot read_clipboard(HWND opener) {
    const Formats& f = formats();
    ClipboardSnapshot snap;
    {
        raii::ClipboardOpen clip(opener);
        if (!clip.ok()) return snap;
        snap.opened = true;
        snap.sequence = GetClipboardSequenceNumber();
        try {
            snap.text = read_open_clipboard_text();
        } catch (const std::bad_alloc&) {
            snap.text.clear();
        }
        if (available(f.rtf)) read_clipboard_bytes(f.rtf, snap.rtf);
        if (available(f.html)) read_clipboard_bytes(f.html, snap.html);
        snap.dib = open_clipboard_dib(snap.bitmap_unread);
        snap.excluded = open_clipboard_is_excluded();
        snap.owner_app = process_name_of_window(GetClipboardOwner());
        if (snap.owner_app.empty()) snap.owner_app = foreground_process_name();
    }
    // What was read is held once, in the snapshot.
    if (read_anything(snap)) release_clipboard_copies(opener);
    return snap;
}

bool set_clipboard_bytes(UINT format, const void* bytes, std::size_t length) {
    if (format == 0) return false;
    return place_clipboard_block(format, make_clipboard_block(bytes, length));
}

bool set_clipboard_entry(const std::wstring& text, const std::string& rtf, const std::string& html,
                         const std::vector<std::uint8_t>& image,
                         const std::function<void(const std::vector<std::uint8_t>&)>& before_image_write) {
    const Formats& f = formats();
    // The bitmap is ready before the clipboard is touched: an image that
    // cannot be written leaves the user's clipboard as it was, never the
    // entry's text alone.
    std::vector<std::uint8_t> dib;
    if (is_png(image)) {
        if (!png_to_dib(image, dib)) return false;
    } else if (!image.empty()) {
        if (!image_bytes_keepable(image)) return false;
        dib = image;
    }
    // Every block is made before the clipboard is emptied, too: memory that
    // cannot be had leaves the clipboard as it was.
    std::vector<ClipboardBlock> blocks;
    blocks.push_back({CF_UNICODETEXT, make_clipboard_text_block(text)});
    if (!rtf.empty()) blocks.push_back({f.rtf, make_clipboard_block(rtf.data(), rtf.size())});
    if (!html.empty()) blocks.push_back({f.html, make_clipboard_block(html.data(), html.size())});
    if (!dib.empty()) blocks.push_back({CF_DIB, make_clipboard_block(dib.data(), dib.size())});
    if (!all_blocks_made(blocks)) return false;
    if (!dib.empty() && before_image_write) before_image_write(dib);
    return set_clipboard_blocks(std::move(blocks));
}

bool is_clipboard_excluded() {
    raii::ClipboardOpen clip(nullptr);
    if (!clip.ok()) return false;
    return open_clipboard_is_excluded();
}

}  // namespace winutil
