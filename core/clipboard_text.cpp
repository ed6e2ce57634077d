#include "core/clipboard_text.h"

#include <cstring>
#include <string_view>

#include "core/handles.h"

namespace winutil {

std::wstring text_of_global_block(HGLOBAL block) {
    if (!block) return {};
    raii::GlobalLocked<const wchar_t> lock(block);
    if (!lock.ok()) return {};
    // The block's own size bounds the read; its text ends at the first NUL
    // inside it, or at its end when the writer left the terminator out.
    std::wstring_view units(lock.get(), lock.size() / sizeof(wchar_t));
    size_t end = units.find(L'\0');
    if (end != std::wstring_view::npos) units = units.substr(0, end);
    return std::wstring(units);
}

std::wstring read_open_clipboard_text() {
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return {};
    return text_of_global_block(GetClipboardData(CF_UNICODETEXT));
}

bool place_clipboard_text(const std::wstring& text) {
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    raii::GlobalMemory mem(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!mem) return false;
    {
        raii::GlobalLocked<wchar_t> lock(mem.get());
        if (!lock.ok()) return false;
        std::memcpy(lock.get(), text.c_str(), bytes);
    }
    if (!SetClipboardData(CF_UNICODETEXT, mem.get())) return false;
    mem.release();  // the clipboard owns the block now
    return true;
}

std::wstring get_clipboard_text() {
    raii::ClipboardOpen clip;
    if (!clip.ok()) return {};
    return read_open_clipboard_text();
}

bool set_clipboard_text(const std::wstring& text) {
    raii::ClipboardOpen clip;
    if (!clip.ok()) return false;
    EmptyClipboard();
    const bool placed = place_clipboard_text(text);
    const bool closed = clip.close();
    return placed && closed;
}

}  // namespace winutil
