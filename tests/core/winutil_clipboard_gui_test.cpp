// The plain-text clipboard reader and writer against the real clipboard.
#include "core/clipboard_text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/handles.h"
#include "core/text.h"

namespace {

HGLOBAL block_of(const void* bytes, size_t size) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!mem) return nullptr;
    raii::GlobalLocked<void> lock(mem);
    if (!lock.ok()) {
        GlobalFree(mem);
        return nullptr;
    }
    std::memcpy(lock.get(), bytes, size);
    return mem;
}

UINT html_format() { return RegisterClipboardFormatW(L"HTML Format"); }

// Puts text and an "HTML Format" block on the clipboard, as a browser would.
void put_rich_content(const std::wstring& text) {
    raii::ClipboardOpen clip;
    ASSERT_TRUE(clip.ok());
    EmptyClipboard();
    ASSERT_TRUE(winutil::place_clipboard_text(text));
    const char html[] = "Version:0.9\r\n<b>x</b>";
    raii::GlobalMemory mem(block_of(html, sizeof html));
    ASSERT_TRUE(mem);
    ASSERT_TRUE(SetClipboardData(html_format(), mem.get()));
    mem.release();
}

bool format_available(UINT format) {
    raii::ClipboardOpen clip;
    return clip.ok() && IsClipboardFormatAvailable(format);
}

// Holds the clipboard open from another thread (with a window of its own,
// as another program would) for the lifetime of the object.
class ClipboardHolder {
public:
    ClipboardHolder() {
        thread_ = std::thread([this] {
            raii::Window owner(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                               GetModuleHandleW(nullptr), nullptr));
            if (!OpenClipboard(owner.get())) {
                state_ = -1;
                return;
            }
            state_ = 1;
            while (state_ != 2) Sleep(5);
            CloseClipboard();
        });
        while (state_ == 0) Sleep(5);
    }
    ~ClipboardHolder() {
        if (state_ == 1) state_ = 2;
        thread_.join();
    }
    bool holding() const { return state_ == 1; }

private:
    std::atomic<int> state_{0};
    std::thread thread_;
};

TEST(ClipboardText, RoundTripsEveryKindOfText) {
    const std::wstring long_text(100000, L'\u00E9');
    const std::wstring cases[] = {
        L"a",
        L"plain ASCII text",
        L"Gr\u00FC\u00DFe, \u043C\u0438\u0440, \u4E16\u754C",
        L"emoji \U0001F600 and \u2603",
        L"line one\r\nline two\r\n",
        L"  blanks and\ttabs  ",
        long_text,
    };
    for (const std::wstring& text : cases) {
        ASSERT_TRUE(winutil::set_clipboard_text(text));
        EXPECT_EQ(winutil::get_clipboard_text(), text) << to_utf8(text.substr(0, 40));
    }
}

TEST(ClipboardText, EmptyTextIsWrittenAsAnEmptyUnicodeText) {
    ASSERT_TRUE(winutil::set_clipboard_text(L"something first"));
    ASSERT_TRUE(winutil::set_clipboard_text(L""));
    EXPECT_TRUE(format_available(CF_UNICODETEXT));
    EXPECT_EQ(winutil::get_clipboard_text(), L"");
}

TEST(ClipboardText, WritingReplacesEveryOtherFormat) {
    put_rich_content(L"rich");
    ASSERT_TRUE(format_available(html_format()));
    ASSERT_TRUE(winutil::set_clipboard_text(L"plain"));
    EXPECT_FALSE(format_available(html_format()));
    EXPECT_EQ(winutil::get_clipboard_text(), L"plain");
}

TEST(ClipboardText, NoTextGivesEmpty) {
    {
        raii::ClipboardOpen clip;
        ASSERT_TRUE(clip.ok());
        EmptyClipboard();
        const char html[] = "<i>only html</i>";
        raii::GlobalMemory mem(block_of(html, sizeof html));
        ASSERT_TRUE(SetClipboardData(html_format(), mem.get()));
        mem.release();
    }
    EXPECT_EQ(winutil::get_clipboard_text(), L"");
}

TEST(ClipboardText, ReadStopsAtTheEndOfABlockWithoutTerminator) {
    // Another program may leave the terminating zero out.
    const wchar_t units[] = {L'a', L'b', L'c'};
    {
        raii::ClipboardOpen clip;
        ASSERT_TRUE(clip.ok());
        EmptyClipboard();
        raii::GlobalMemory mem(block_of(units, sizeof units));
        ASSERT_TRUE(SetClipboardData(CF_UNICODETEXT, mem.get()));
        mem.release();
    }
    // Nothing beyond the block is read. Windows hands the block back as it
    // was given; Wine terminates it itself by overwriting its last unit.
    std::wstring got = winutil::get_clipboard_text();
    EXPECT_TRUE(got == L"abc" || got == L"ab") << to_utf8(got);
}

TEST(ClipboardText, BlockTextIsBoundedByTheBlockSize) {
    struct Case {
        std::string bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {std::string("a\0b\0c\0", 6), L"abc"},                 // no terminator
        {std::string("a\0b\0c\0d", 7), L"abc"},                // odd size: the half unit is dropped
        {std::string("a\0\0\0c\0\0\0", 8), L"a"},              // up to the first zero
        {std::string("\0\0x\0", 4), L""},
        {std::string("\x3C\x04\x38\x04\x40\x04\0\0", 8), L"\u043C\u0438\u0440"},
    };
    for (const Case& c : cases) {
        raii::GlobalMemory mem(block_of(c.bytes.data(), c.bytes.size()));
        ASSERT_TRUE(mem);
        // GlobalSize may round up on some systems; compare within what it reports.
        std::wstring got = winutil::text_of_global_block(mem.get());
        EXPECT_EQ(got.substr(0, c.text.size()), c.text);
        EXPECT_LE(got.size() * sizeof(wchar_t), GlobalSize(mem.get()));
        if (GlobalSize(mem.get()) == c.bytes.size()) {
            EXPECT_EQ(got, c.text);
        }
    }
    EXPECT_EQ(winutil::text_of_global_block(nullptr), L"");
}

TEST(ClipboardText, HeldClipboardReadsEmptyAndIsNotWritten) {
    ASSERT_TRUE(winutil::set_clipboard_text(L"before"));
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.holding());
        EXPECT_EQ(winutil::get_clipboard_text(), L"");
        EXPECT_FALSE(winutil::set_clipboard_text(L"after"));
    }
    EXPECT_EQ(winutil::get_clipboard_text(), L"before");
}

TEST(ClipboardText, PlacingWithoutAnOpenClipboardFails) {
    ASSERT_TRUE(winutil::set_clipboard_text(L"kept"));
    EXPECT_FALSE(winutil::place_clipboard_text(L"not placed"));
    EXPECT_EQ(winutil::get_clipboard_text(), L"kept");
}

// One block of each: the text, and an "HTML Format" block.
std::vector<winutil::ClipboardBlock> text_and_html(const std::wstring& text, bool html_made = true) {
    const char html[] = "Version:0.9\r\n<i>y</i>";
    std::vector<winutil::ClipboardBlock> blocks;
    blocks.push_back({CF_UNICODETEXT, winutil::make_clipboard_text_block(text)});
    blocks.push_back({html_format(), html_made ? winutil::make_clipboard_block(html, sizeof html) : raii::GlobalMemory{}});
    return blocks;
}

TEST(ClipboardText, BlocksAreMadeBeforeTheClipboardIsTouched) {
    const std::wstring text = L"Gr\u00FC\u00DFe \U0001F600";
    raii::GlobalMemory block = winutil::make_clipboard_text_block(text);
    ASSERT_TRUE(block);
    EXPECT_GE(GlobalSize(block.get()), (text.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(winutil::text_of_global_block(block.get()), text);
    {
        raii::GlobalLocked<const wchar_t> lock(block.get());
        ASSERT_TRUE(lock.ok());
        EXPECT_EQ(lock.get()[text.size()], L'\0');
    }
    // An empty text still has its terminating zero.
    raii::GlobalMemory empty_text = winutil::make_clipboard_text_block(L"");
    ASSERT_TRUE(empty_text);
    EXPECT_GE(GlobalSize(empty_text.get()), sizeof(wchar_t));
    // No bytes give no block.
    EXPECT_FALSE(winutil::make_clipboard_block(nullptr, 4));
    EXPECT_FALSE(winutil::make_clipboard_block("x", 0));

    // The blocks in hand replace the whole clipboard and are read back.
    ASSERT_TRUE(winutil::set_clipboard_text(L"before"));
    ASSERT_TRUE(winutil::set_clipboard_blocks(text_and_html(text)));
    EXPECT_EQ(winutil::get_clipboard_text(), text);
    EXPECT_TRUE(format_available(html_format()));
}

// An empty block is what make_clipboard_block and make_clipboard_text_block
// give when the memory cannot be had: the clipboard keeps the user's last
// copy, whichever block is missing.
TEST(ClipboardText, BlocksThatCannotAllBeMadeLeaveTheClipboardAsItWas) {
    struct Case {
        const char* name;
        std::function<std::vector<winutil::ClipboardBlock>()> blocks;
    } cases[] = {
        {"the text's block",
         [] {
             std::vector<winutil::ClipboardBlock> b;
             b.push_back({CF_UNICODETEXT, raii::GlobalMemory{}});
             return b;
         }},
        {"the second of two", [] { return text_and_html(L"new text", false); }},
        {"a block without a format",
         [] {
             std::vector<winutil::ClipboardBlock> b = text_and_html(L"new text");
             b.back().format = 0;
             return b;
         }},
        {"no blocks at all", [] { return std::vector<winutil::ClipboardBlock>{}; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        put_rich_content(L"the user's last copy");
        const DWORD sequence = GetClipboardSequenceNumber();
        EXPECT_FALSE(winutil::set_clipboard_blocks(c.blocks()));
        EXPECT_EQ(winutil::get_clipboard_text(), L"the user's last copy");
        EXPECT_TRUE(format_available(html_format()));
        // Not emptied and written again either: the clipboard did not change.
        EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    }
}

TEST(ClipboardText, PlacingAnEmptyBlockFails) {
    ASSERT_TRUE(winutil::set_clipboard_text(L"kept"));
    raii::ClipboardOpen clip;
    ASSERT_TRUE(clip.ok());
    EXPECT_FALSE(winutil::place_clipboard_block(CF_UNICODETEXT, raii::GlobalMemory{}));
    EXPECT_FALSE(winutil::place_clipboard_block(0, winutil::make_clipboard_text_block(L"no format")));
    clip.close();
    EXPECT_EQ(winutil::get_clipboard_text(), L"kept");
}

TEST(ClipboardText, ReadOpenClipboardTextUsesTheCallersOpen) {
    ASSERT_TRUE(winutil::set_clipboard_text(L"inside one open"));
    raii::ClipboardOpen clip;
    ASSERT_TRUE(clip.ok());
    EXPECT_EQ(winutil::read_open_clipboard_text(), L"inside one open");
}

}  // namespace
