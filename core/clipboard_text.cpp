#include "core/clipboard_text.h"

#include <cstring>
#include <string_view>
#include <utility>

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

raii::GlobalMemory make_clipboard_block(const void* bytes, size_t length) {
    if (!bytes || length == 0) return {};
    raii::GlobalMemory mem(GlobalAlloc(GMEM_MOVEABLE, length));
    if (!mem) return {};
    {
        raii::GlobalLocked<void> lock(mem.get());
        if (!lock.ok()) return {};
        std::memcpy(lock.get(), bytes, length);
    }
    return mem;
}

raii::GlobalMemory make_clipboard_text_block(const std::wstring& text) {
    return make_clipboard_block(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

bool place_clipboard_block(UINT format, raii::GlobalMemory block) {
    if (format == 0 || !block) return false;
    if (!SetClipboardData(format, block.get())) return false;
    block.release();  // the clipboard owns the block now
    return true;
}

bool place_clipboard_text(const std::wstring& text) {
    return place_clipboard_block(CF_UNICODETEXT, make_clipboard_text_block(text));
}

std::wstring get_clipboard_text() {
    raii::ClipboardOpen clip;
    if (!clip.ok()) return {};
    return read_open_clipboard_text();
}

bool all_blocks_made(const std::vector<ClipboardBlock>& blocks) {
    if (blocks.empty()) return false;
    for (const ClipboardBlock& b : blocks)
        if (b.format == 0 || !b.mem) return false;
    return true;
}

bool set_clipboard_blocks(std::vector<ClipboardBlock> blocks) {
    // Not everything in hand: the clipboard is not even opened, so what the
    // user copied last stays there.
    if (!all_blocks_made(blocks)) return false;
    raii::ClipboardOpen clip;
    if (!clip.ok()) return false;
    EmptyClipboard();
    bool placed = true;
    for (ClipboardBlock& b : blocks) placed = place_clipboard_block(b.format, std::move(b.mem)) && placed;
    const bool closed = clip.close();
    return placed && closed;
}

bool set_clipboard_text(const std::wstring& text) {
    std::vector<ClipboardBlock> blocks;
    blocks.push_back({CF_UNICODETEXT, make_clipboard_text_block(text)});
    return set_clipboard_blocks(std::move(blocks));
}

}  // namespace winutil
