// Reading the real clipboard under one open and writing whole entries.
#include "capture/clipboard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>

#include "capture/dib.h"
#include "capture/image.h"
#include "core/handles.h"
#include "dib_builders.h"

using namespace capture_test;

namespace {

HWND make_owner() {
    return CreateWindowExW(0, L"STATIC", L"clipboard test", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// Replaces the clipboard with raw formats, owned by a window of this thread
// (the clipboard owner while the returned window lives).
raii::Window put_raw(const std::vector<std::pair<UINT, std::string>>& formats) {
    raii::Window owner(make_owner());
    EXPECT_TRUE(OpenClipboard(owner.get()));
    EmptyClipboard();
    for (const auto& [format, bytes] : formats) {
        HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(GlobalLock(mem), bytes.data(), bytes.size());
        GlobalUnlock(mem);
        EXPECT_TRUE(SetClipboardData(format, mem));
    }
    CloseClipboard();
    return owner;
}

std::string wide_bytes(const std::wstring& s, bool terminated = true) {
    return std::string(reinterpret_cast<const char*>(s.c_str()), (s.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

std::string as_string(const Bytes& b) { return std::string(b.begin(), b.end()); }

// Holds the clipboard open from another thread, as another program would.
class ClipboardHolder {
public:
    ClipboardHolder() {
        thread_ = std::thread([this] {
            raii::Window owner(make_owner());
            opened_ = OpenClipboard(owner.get()) != FALSE;
            ready_ = true;
            while (!release_) Sleep(5);
            if (opened_) CloseClipboard();
        });
        while (!ready_) Sleep(5);
    }
    ~ClipboardHolder() {
        release_ = true;
        thread_.join();
    }
    bool opened() const { return opened_; }

private:
    std::thread thread_;
    std::atomic<bool> ready_{false}, release_{false}, opened_{false};
};

}  // namespace

TEST(ClipboardRead, EveryFormatUnderOneOpenByteForByte) {
    const std::string rtf("{\\rtf1 bold}\0\0\0", 15);
    const std::string html = "Version:0.9\r\nSourceURL:https://example.com/page\r\n<b>x</b>";
    const Bytes dib = make_dib({7, -3, 24});
    raii::Window owner = put_raw({{CF_UNICODETEXT, wide_bytes(L"Hello \u00e9\U0001F600")},
             {winutil::rtf_clipboard_format(), rtf},
             {winutil::html_clipboard_format(), html},
             {CF_DIB, as_string(dib)}});
    const ClipboardSnapshot snap = winutil::read_clipboard();
    EXPECT_EQ(snap.text, L"Hello \u00e9\U0001F600");
    EXPECT_EQ(snap.rtf, rtf);
    EXPECT_EQ(snap.html, html);
    EXPECT_EQ(snap.dib, dib);
    EXPECT_FALSE(snap.excluded);
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring name = exe;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    for (wchar_t& c : name) c = static_cast<wchar_t>(towlower(c));
    EXPECT_EQ(snap.owner_app, name);
}

TEST(ClipboardRead, TextWithoutTerminatorStaysInsideItsBlock) {
    put_raw({{CF_UNICODETEXT, wide_bytes(L"abc", false)}});
    // Whatever the system makes of the missing zero, nothing beyond the
    // block's three characters is read.
    const std::wstring text = winutil::read_clipboard().text;
    EXPECT_LE(text.size(), 3u);
    EXPECT_EQ(std::wstring(L"abc").rfind(text, 0), 0u) << text.size();
}

TEST(ClipboardRead, PrivacyMarkers) {
    const UINT exclude = RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
    const UINT ignore = RegisterClipboardFormatW(L"Clipboard Viewer Ignore");
    const UINT history = RegisterClipboardFormatW(L"CanIncludeInClipboardHistory");
    const DWORD zero = 0, one = 1;
    const std::string zero_bytes(reinterpret_cast<const char*>(&zero), 4);
    const std::string one_bytes(reinterpret_cast<const char*>(&one), 4);
    struct Case {
        const char* name;
        UINT format;
        std::string bytes;
        bool excluded;
    };
    const Case cases[] = {
        {"exclusion marker", exclude, "", true},
        {"viewer ignore", ignore, "x", true},
        {"history allowed 0", history, zero_bytes, true},
        {"history allowed 1", history, one_bytes, false},
        {"no marker", 0, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::pair<UINT, std::string>> formats = {{CF_UNICODETEXT, wide_bytes(L"secret")},
                                                            {CF_DIB, as_string(make_dib({2, 2, 24}))}};
        if (c.format) formats.push_back({c.format, c.bytes.empty() ? std::string(1, '\0') : c.bytes});
        put_raw(formats);
        const ClipboardSnapshot snap = winutil::read_clipboard();
        EXPECT_EQ(snap.text, L"secret");
        EXPECT_EQ(snap.excluded, c.excluded);
        EXPECT_EQ(winutil::is_clipboard_excluded(), c.excluded);
    }
}

TEST(ClipboardWrite, WholeEntryRoundTripAndTheExactBitmap) {
    const std::string rtf("{\\rtf1 x}\0\0", 11);
    const std::string html = "Version:0.9\r\n<i>y</i>\0";
    const Bytes dib = make_dib({6, 4, 32, 40, true});
    Bytes told;
    ASSERT_TRUE(winutil::set_clipboard_entry(L"entry text", rtf, html, dib, [&](const Bytes& b) { told = b; }));
    EXPECT_EQ(told, dib);
    const ClipboardSnapshot snap = winutil::read_clipboard();
    EXPECT_EQ(snap.text, L"entry text");
    EXPECT_EQ(snap.rtf, rtf);
    EXPECT_EQ(snap.html, html);
    EXPECT_EQ(snap.dib, dib);  // byte for byte, as stored

    // Read back and written again: still identical.
    ASSERT_TRUE(winutil::set_clipboard_entry(snap.text, snap.rtf, snap.html, snap.dib));
    const ClipboardSnapshot again = winutil::read_clipboard();
    EXPECT_EQ(again.rtf, rtf);
    EXPECT_EQ(again.html, html);
    EXPECT_EQ(again.dib, dib);
}

TEST(ClipboardWrite, ImageWithoutTextAndStoredPng) {
    Bytes png;
    ASSERT_TRUE(winutil::dib_to_png(make_dib({9, 5, 24}), png));
    Bytes told;
    ASSERT_TRUE(winutil::set_clipboard_entry(L"", "", "", png, [&](const Bytes& b) { told = b; }));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(winutil::rtf_clipboard_format()));
    EXPECT_FALSE(IsClipboardFormatAvailable(winutil::html_clipboard_format()));
    const ClipboardSnapshot snap = winutil::read_clipboard();
    EXPECT_EQ(snap.text, L"");
    EXPECT_EQ(snap.dib, told);
    winutil::DibLayout l;
    ASSERT_TRUE(winutil::read_dib_layout(snap.dib, l));
    EXPECT_EQ(l.bits, 32);
    EXPECT_GT(l.height, 0);  // bottom-up
    EXPECT_EQ(pixel_of(snap.dib, 3, 2), pattern(3, 2));
    for (size_t i = 40 + 3; i < snap.dib.size(); i += 4) ASSERT_EQ(snap.dib[i], 255);
}

TEST(ClipboardWrite, AnImageThatCannotBeWrittenLeavesTheClipboardAsItWas) {
    const Bytes bad_png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 9, 9, 9};
    Bytes bad_header = make_dib({2, 2, 24});
    put32(bad_header, 0, 20);
    for (const Bytes& bad : {bad_png, bad_header}) {
        ASSERT_TRUE(winutil::set_clipboard_entry(L"the user's own copy", "{\\rtf1 own}", "", {}));
        bool told = false;
        EXPECT_FALSE(winutil::set_clipboard_entry(L"entry text", "", "", bad, [&](const Bytes&) { told = true; }));
        EXPECT_FALSE(told);
        const ClipboardSnapshot snap = winutil::read_clipboard();
        EXPECT_EQ(snap.text, L"the user's own copy");
        EXPECT_EQ(snap.rtf, "{\\rtf1 own}");
        EXPECT_TRUE(snap.dib.empty());
    }
}

TEST(ClipboardWrite, HeldOpenElsewhereNothingIsReadOrWritten) {
    ASSERT_TRUE(winutil::set_clipboard_entry(L"before", "{\\rtf1 b}", "", {}));
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.opened());
        const ClipboardSnapshot snap = winutil::read_clipboard();
        EXPECT_TRUE(snap.text.empty());
        EXPECT_TRUE(snap.rtf.empty());
        EXPECT_TRUE(snap.dib.empty());
        EXPECT_TRUE(snap.owner_app.empty());
        EXPECT_EQ(winutil::get_clipboard_text(), L"");
        EXPECT_FALSE(winutil::set_clipboard_entry(L"after", "", "", make_dib({2, 2, 24})));
        EXPECT_FALSE(winutil::set_clipboard_text(L"after"));
    }
    const ClipboardSnapshot snap = winutil::read_clipboard();
    EXPECT_EQ(snap.text, L"before");
    EXPECT_EQ(snap.rtf, "{\\rtf1 b}");
    EXPECT_TRUE(snap.dib.empty());
}

TEST(ClipboardWrite, PlacingBytesReportsFailure) {
    raii::Window owner(make_owner());
    ASSERT_TRUE(OpenClipboard(owner.get()));
    EmptyClipboard();
    EXPECT_FALSE(winutil::set_clipboard_bytes(0, "x", 1));
    EXPECT_FALSE(winutil::set_clipboard_bytes(winutil::rtf_clipboard_format(), "x", 0));
    EXPECT_TRUE(winutil::set_clipboard_bytes(winutil::rtf_clipboard_format(), "xyz", 3));
    std::string out = "unchanged";
    winutil::read_clipboard_bytes(winutil::html_clipboard_format(), out);  // absent: left as it was
    EXPECT_EQ(out, "unchanged");
    winutil::read_clipboard_bytes(winutil::rtf_clipboard_format(), out);
    EXPECT_EQ(out, "xyz");
    CloseClipboard();
}
