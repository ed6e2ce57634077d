// The watcher on the real clipboard: another process (clip_writer.exe)
// copies, the watcher is polled as the main window does it (its timer and
// WM_CLIPBOARDUPDATE), and the real store in a temporary folder is checked.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "capture/clipboard.h"
#include "capture/image.h"
#include "capture/link_title.h"
#include "capture/posted_text.h"
#include "core/text.h"
#include "dib_builders.h"
#include "tests/app/answer_watch.h"
#include "tests/core/temp_folder.h"
#include "watcher_fixture.h"

using namespace capture_test;

namespace {

constexpr UINT_PTR kPollTimer = 1;

// The main window's part: poll on the timer and on clipboard updates, store
// fetched link titles.
struct Host {
    ClipboardWatcher* watcher = nullptr;
    Database* db = nullptr;
    int clipboard_updates = 0;
    int titles = 0;
};
Host g_host;

LRESULT CALLBACK host_proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            if (wp == kPollTimer && g_host.watcher) g_host.watcher->poll();
            return 0;
        case WM_CLIPBOARDUPDATE:
            ++g_host.clipboard_updates;
            if (g_host.watcher) g_host.watcher->poll();
            return 0;
        case kMsgClipboardRead:
            if (g_host.watcher) g_host.watcher->take_finished_read();
            return 0;
        case kMsgLinkTitle:
            if (auto title = take_posted_text(lp)) {
                ++g_host.titles;
                g_host.db->set_link_title(static_cast<std::int64_t>(wp), *title);
            }
            return 0;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

HWND make_host_window() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = host_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuilletTestWatcherHost";
        return RegisterClassW(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    return CreateWindowExW(0, L"QuilletTestWatcherHost", L"watcher host", WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

void pump_for(int ms) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

std::wstring quote(const std::wstring& arg) { return L"\"" + arg + L"\""; }

std::wstring server_base() {
    std::ifstream in("title_server.port");
    int port = 0;
    in >> port;
    return port > 0 ? L"http://127.0.0.1:" + std::to_wstring(port) : std::wstring();
}

class WatcherGui : public WatcherTest {
protected:
    void SetUp() override {
        host_ = make_host_window();
        ASSERT_NE(host_, nullptr);
        g_host = Host{};
        g_host.db = &db_;
        // Something already on the clipboard when the watcher starts.
        ASSERT_TRUE(winutil::set_clipboard_text(L"on the clipboard before start"));
        start_watcher();
    }
    void TearDown() override {
        KillTimer(host_, kPollTimer);
        g_host.watcher = nullptr;
        watcher_.reset();
        DestroyWindow(host_);
        // A huge bitmap left there would slow down every later test.
        winutil::set_clipboard_text(L"left by the watcher tests");
    }
    void start_watcher() {
        g_host.watcher = watcher_.get();
        watcher_->start(host_);
        SetTimer(host_, kPollTimer, 500, nullptr);
    }

    // Runs clip_writer.exe (or a copy under another name) with the arguments
    // and keeps polling until it has ended, then a little longer.
    void run_writer(const std::vector<std::wstring>& args, const std::wstring& exe = L"") {
        std::wstring path = exe.empty() ? test_support::own_exe_dir() + L"\\clip_writer.exe" : exe;
        std::wstring cmd = quote(path);
        for (const auto& a : args) cmd += L" " + quote(a);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessW(path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            << GetLastError();
        raii::Handle process(pi.hProcess), thread(pi.hThread);
        const ULONGLONG end = GetTickCount64() + 120000;
        while (WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT && GetTickCount64() < end) pump_for(20);
        DWORD code = 99;
        GetExitCodeProcess(process.get(), &code);
        EXPECT_EQ(code, 0u) << "clip_writer failed";
        pump_for(700);
    }

    // Starts clip_writer.exe with the arguments and returns at once.
    raii::Handle start_writer(const std::vector<std::wstring>& args) {
        const std::wstring path = test_support::own_exe_dir() + L"\\clip_writer.exe";
        std::wstring cmd = quote(path);
        for (const auto& a : args) cmd += L" " + quote(a);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return raii::Handle();
        CloseHandle(pi.hThread);
        return raii::Handle(pi.hProcess);
    }

    std::wstring write_file(const std::wstring& name, const Bytes& bytes) {
        const std::wstring path = files_.file(name);
        EXPECT_TRUE(test_support::write_file(path, std::string(bytes.begin(), bytes.end())));
        return path;
    }
    std::wstring write_file(const std::wstring& name, const std::string& bytes) {
        return write_file(name, Bytes(bytes.begin(), bytes.end()));
    }

    test_support::TempFolder files_;
    HWND host_ = nullptr;
};

}  // namespace

TEST_F(WatcherGui, TextFromAnotherProcessWithItsApplication) {
    run_writer({L"--text", L"copied elsewhere \u00e9\U0001F600", L"--commit", L"--wait", L"300"});
    const auto all = entries();
    ASSERT_EQ(all.size(), 1u) << "what was on the clipboard at start is not recorded";
    EXPECT_EQ(all[0].text, L"copied elsewhere \u00e9\U0001F600");
    EXPECT_EQ(all[0].source_app, L"clip_writer.exe");
    EXPECT_FALSE(all[0].is_image);
    EXPECT_GE(g_host.clipboard_updates, 1);
}

TEST_F(WatcherGui, RichTextAndHtmlAreStoredAsTheirBytes) {
    const std::string rtf("{\\rtf1\\ansi {\\b bold} text}\0\0", 30);
    const std::string html =
        "Version:0.9\r\nStartHTML:0000000000\r\nSourceURL:https://example.com/from\r\n<html><b>bold</b></html>";
    run_writer({L"--text", L"bold text", L"--file", L"Rich Text Format", write_file(L"a.rtf", rtf), L"--file",
                L"HTML Format", write_file(L"a.html", html), L"--commit", L"--wait", L"300"});
    const auto all = entries();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].text, L"bold text");
    EXPECT_EQ(all[0].rtf, rtf);
    EXPECT_EQ(all[0].html, html);
    EXPECT_FALSE(all[0].is_browser_page);  // not a browser: the source address is not taken
    EXPECT_EQ(all[0].source_url, L"");
}

TEST_F(WatcherGui, BitmapsOfEveryKindAreStoredAsGiven) {
    const Bytes dibs[] = {
        make_dib({21, 13, 24}),             // 24 bits, bottom-up
        make_dib({21, -13, 24}),            // 24 bits, top-down
        make_dib({17, 9, 32}),              // 32 bits
        make_dib({17, -9, 32, 40, true}),   // 32 bits with bitfields, top-down
        make_dib({12, 8, 32, 124, true}),   // a V5 header
    };
    std::vector<std::wstring> args;
    int n = 0;
    for (const Bytes& d : dibs) {
        args.insert(args.end(), {L"--file", L"dib", write_file(L"d" + std::to_wstring(n++) + L".dib", d), L"--commit",
                                 L"--wait", L"700"});
    }
    run_writer(args);
    const auto all = entries();
    ASSERT_EQ(all.size(), 5u);
    for (size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(all[i].is_image);
        EXPECT_EQ(all[i].text, L"");
        EXPECT_EQ(all[i].image, dibs[i]);
        EXPECT_EQ(all[i].source_app, L"clip_writer.exe");
    }
    ASSERT_EQ(captured_.size(), 5u);
    EXPECT_EQ(captured_[0].label, std::wstring(kClipboardImageLabel));
}

// Bitmaps another program puts on the clipboard whose layout cannot be
// drawn are not kept as images: the text copied with them is kept alone, and
// without a text nothing is stored. One whose only flaw is its image size
// field is kept as given and drawn.
TEST_F(WatcherGui, BitmapsThatCannotBeDrawnAreNotKeptAsImages) {
    auto spoiled = [](DibShape shape, const std::function<void(Bytes&)>& spoil) {
        Bytes d = make_dib(shape);
        spoil(d);
        return d;
    };
    DibShape paletted;
    paletted.bits = 8;
    paletted.colours_used = 16;
    struct Case {
        const wchar_t* text;
        Bytes dib;
    };
    const Case refused[] = {
        {L"claims 100000 rows", spoiled({100, 100, 24}, [](Bytes& d) { put32(d, 8, 100000); })},
        {L"bitfields without masks",
         spoiled({8, 8, 32}, [](Bytes& d) { put32(d, 16, BI_BITFIELDS); })},
        {L"jpeg over junk", spoiled({8, 8, 24}, [](Bytes& d) { put32(d, 16, BI_JPEG); })},
        {L"rle8 over junk", spoiled({8, 8, 8}, [](Bytes& d) { put32(d, 16, BI_RLE8); })},
        {L"colours used 0xFFFFFFFF", spoiled(paletted, [](Bytes& d) { put32(d, 32, 0xFFFFFFFFu); })},
        {L"", spoiled({8, 8, 24}, [](Bytes& d) { put32(d, 16, BI_PNG); })},
    };
    const Bytes wrong_size = spoiled({9, 7, 24}, [](Bytes& d) { put32(d, 20, 0x7FFFFFF0u); });
    std::vector<std::wstring> args;
    int n = 0;
    for (const Case& c : refused) {
        if (*c.text) args.insert(args.end(), {L"--text", c.text});
        args.insert(args.end(), {L"--file", L"dib", write_file(L"r" + std::to_wstring(n++) + L".dib", c.dib),
                                 L"--commit", L"--wait", L"700"});
    }
    args.insert(args.end(), {L"--file", L"dib", write_file(L"wrong-size.dib", wrong_size), L"--commit", L"--wait",
                             L"300"});
    run_writer(args);
    const auto all = entries();
    ASSERT_EQ(all.size(), 6u);
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(to_utf8(refused[i].text));
        EXPECT_EQ(all[i].text, refused[i].text);
        EXPECT_FALSE(all[i].is_image);
        EXPECT_TRUE(all[i].image.empty());
    }
    EXPECT_TRUE(all[5].is_image);
    EXPECT_EQ(all[5].image, wrong_size);
    raii::Bitmap drawn(winutil::image_thumbnail(all[5].image, 64, 64, false));
    EXPECT_TRUE(drawn) << "a wrong image size field does not hide the picture";
    ASSERT_EQ(captured_.size(), 6u);
    EXPECT_FALSE(captured_[0].has_bitmap);
}

TEST_F(WatcherGui, MarkedContentIsNotRecorded) {
    run_writer({L"--text", L"secret one", L"--file", L"ExcludeClipboardContentFromMonitorProcessing",
                write_file(L"m", std::string(1, '\0')), L"--commit", L"--wait", L"700",
                // a marked copy with a bitmap
                L"--text", L"secret two", L"--file", L"dib", write_file(L"m.dib", make_dib({5, 5, 24})),
                L"--dword", L"CanIncludeInClipboardHistory", L"0", L"--commit", L"--wait", L"700",
                L"--text", L"secret three", L"--file", L"Clipboard Viewer Ignore", write_file(L"v", std::string("x")),
                L"--commit", L"--wait", L"700",
                L"--text", L"4111 1111 1111 1111", L"--commit", L"--wait", L"700",
                L"--text", L"allowed", L"--dword", L"CanIncludeInClipboardHistory", L"1", L"--commit", L"--wait",
                L"300"});
    const auto all = entries();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].text, L"allowed");
}

TEST_F(WatcherGui, TwentyQuickCopiesAreAllStoredInOrder) {
    std::vector<std::wstring> args;
    for (int i = 1; i <= 20; ++i)
        args.insert(args.end(), {L"--text", L"quick copy " + std::to_wstring(i), L"--commit", L"--wait", L"100"});
    args.insert(args.end(), {L"--wait", L"300"});
    run_writer(args);
    const auto all = entries();
    ASSERT_EQ(all.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(all[static_cast<size_t>(i)].text, L"quick copy " + std::to_wstring(i + 1));
}

// Another program holds the store for 2 s while three texts are copied:
// they wait, and all three are stored in order once it lets go.
TEST_F(WatcherGui, CopiesMadeWhileAnotherProgramHoldsTheStoreAreStoredInOrderAfterwards) {
    int failures = 0;
    ClipboardWatcher::Hooks hooks;
    hooks.captured = [this](const CapturedItem& item) { captured_.push_back(item); };
    hooks.store_failed = [&] { ++failures; };
    KillTimer(host_, kPollTimer);
    watcher_ = std::make_unique<ClipboardWatcher>(db_, settings_, hooks);
    start_watcher();
    pump_for(300);

    auto other = std::make_unique<store_test::RawDb>(db_path_);
    other->exec("BEGIN EXCLUSIVE");
    const ULONGLONG locked_at = GetTickCount64();
    app_test::AnswerWatch pinger(host_, 100);
    run_writer({L"--text", L"held copy one", L"--commit", L"--wait", L"250", L"--text", L"held copy two", L"--commit",
                L"--wait", L"250", L"--text", L"held copy three", L"--commit", L"--wait", L"250"});
    while (GetTickCount64() - locked_at < 2000) pump_for(20);
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(watcher_->waiting_captures(), 3u);
    other->exec("ROLLBACK");
    other.reset();
    pump_for(1200);
    pinger.finish();

    const auto all = entries();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].text, L"held copy one");
    EXPECT_EQ(all[1].text, L"held copy two");
    EXPECT_EQ(all[2].text, L"held copy three");
    EXPECT_EQ(captured_.size(), 3u);
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(watcher_->waiting_captures(), 0u);
    // The window kept answering: a write waits for the lock only briefly.
    EXPECT_EQ(pinger.missed(), 0);
    EXPECT_LT(pinger.longest(), 400.0);
}

TEST_F(WatcherGui, OwnWritesAreNotRecorded) {
    // An image entry, stored as a bitmap and as a PNG, pasted by the program.
    const Bytes image = make_dib({30, 20, 24});
    watcher_->remember_own_text(L"[image]");
    ASSERT_TRUE(winutil::set_clipboard_entry(L"", "", "", image,
                                             [&](const Bytes& dib) { watcher_->remember_own_image(dib); }));
    pump_for(1200);
    Bytes png;
    ASSERT_TRUE(winutil::dib_to_png(make_dib({31, 20, 24}), png));
    watcher_->remember_own_text(L"[image]");
    ASSERT_TRUE(winutil::set_clipboard_entry(L"", "", "", png,
                                             [&](const Bytes& dib) { watcher_->remember_own_image(dib); }));
    pump_for(1200);
    // A text entry.
    watcher_->remember_own_text(L"our own paste");
    ASSERT_TRUE(winutil::set_clipboard_entry(L"our own paste", "{\\rtf1 x}", "", {}));
    pump_for(1200);
    EXPECT_TRUE(entries().empty());
    // The same text copied again elsewhere is no change; a new text is.
    run_writer({L"--text", L"our own paste", L"--commit", L"--wait", L"300", L"--text", L"theirs", L"--commit",
                L"--wait", L"300"});
    const auto all = entries();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].text, L"theirs");
}

TEST_F(WatcherGui, NothingCopiedWhileOffIsRecordedWhenSwitchedOn) {
    watcher_->set_enabled(false);
    run_writer({L"--text", L"copied while off", L"--commit", L"--file", L"dib",
                write_file(L"off.dib", make_dib({6, 6, 24})), L"--commit", L"--wait", L"300"});
    watcher_->set_enabled(true);
    pump_for(1200);
    EXPECT_TRUE(entries().empty());
    run_writer({L"--text", L"copied while on", L"--commit", L"--wait", L"300"});
    const auto all = entries();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].text, L"copied while on");
}

TEST_F(WatcherGui, FilteredApplicationIsNotRecorded) {
    settings_.app_filter_mode = L"blacklist";
    settings_.app_filter_list = L"CLIP_WRITER.EXE";
    run_writer({L"--text", L"from a blocked program", L"--commit", L"--wait", L"300"});
    EXPECT_TRUE(entries().empty());
    settings_.app_filter_mode = L"whitelist";
    watcher_->reload_filters();
    run_writer({L"--text", L"from an allowed program", L"--commit", L"--wait", L"300"});
    ASSERT_EQ(entries().size(), 1u);
}

TEST_F(WatcherGui, CopiedWebAddressGetsItsLinkTitle) {
    const std::wstring base = server_base();
    if (base.empty()) GTEST_SKIP() << "the local title server is not running (start it with ctest)";
    run_writer({L"--text", L"  " + base + L"/page/og\r\n", L"--commit", L"--wait", L"300"});
    for (int i = 0; i < 100 && g_host.titles == 0; ++i) pump_for(50);
    const auto all = entries();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(g_host.titles, 1);
    EXPECT_EQ(all[0].link_title, L"A & B");
}

TEST_F(WatcherGui, BrowserCopyRecordsThePage) {
    // The helper under a browser's executable name.
    const std::wstring browser = files_.file(L"chrome.exe");
    ASSERT_TRUE(CopyFileW((test_support::own_exe_dir() + L"\\clip_writer.exe").c_str(), browser.c_str(), FALSE));
    const std::string html =
        "Version:0.9\r\nStartHTML:0000000000\r\nSourceURL:https://example.com/article\r\n<p>quoted</p>";
    run_writer({L"--title", L"Article title - Google Chrome", L"--text", L"quoted text from the page", L"--file",
                L"HTML Format", write_file(L"b.html", html), L"--commit", L"--wait", L"300"},
               browser);
    run_writer({L"--title", std::wstring(600, L't'), L"--text", L"second quote", L"--file", L"HTML Format",
                write_file(L"c.html", html), L"--commit", L"--wait", L"300"},
               browser);
    const auto all = entries();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].source_app, L"chrome.exe");
    EXPECT_TRUE(all[0].is_browser_page);
    EXPECT_EQ(all[0].source_title, L"Article title - Google Chrome");
    EXPECT_EQ(all[0].source_url, L"https://example.com/article");
    EXPECT_TRUE(all[1].is_browser_page);
    EXPECT_EQ(all[1].source_title, L"") << "a title over 511 characters is not kept";
    EXPECT_EQ(all[1].source_url, L"https://example.com/article");
}

TEST_F(WatcherGui, AHugeNoiseImageNeverFreezesTheWindow) {
    // 8000 x 8000 random pixels: 256 MB that neither fit the stored-image
    // limit nor compress below it. A text is copied 2 s after it.
    app_test::AnswerWatch pinger(host_, 100);
    run_writer({L"--noise-dib", L"8000", L"8000", L"--commit", L"--wait", L"2000", L"--text",
                L"copied after the noise", L"--commit", L"--wait", L"300"});
    const ULONGLONG end = GetTickCount64() + 20000;
    while (entries().empty() && GetTickCount64() < end) pump_for(100);
    pump_for(500);
    pinger.finish();
    std::printf("noise image: %d pings, longest answer %.0f ms\n", pinger.asked(), pinger.longest());

    EXPECT_GT(pinger.asked(), 20);
    // Every ping answered within its 1 s time-out. The time a ping takes
    // also counts the moments in which Wine's server moves the 256 MB block
    // between the processes and answers nobody; a frozen window would take
    // seconds.
    EXPECT_EQ(pinger.missed(), 0);
    EXPECT_LT(pinger.longest(), 2000.0);
    const auto all = entries();
    ASSERT_EQ(all.size(), 1u) << "the noise image without text stores nothing";
    EXPECT_EQ(all[0].text, L"copied after the noise");
    EXPECT_FALSE(all[0].is_image);
    // The clipboard is not read again while it does not change.
    for (int i = 0; i < 3; ++i) watcher_->poll();
    EXPECT_FALSE(watcher_->reading());
}

TEST_F(WatcherGui, AHugeSmoothImageIsStoredAsPngWithoutFreezingTheWindow) {
    // 8000 x 8000 gradients: 256 MB whose PNG fits the limit. Encoding it
    // takes seconds, on the read thread.
    app_test::AnswerWatch pinger(host_, 100);
    run_writer({L"--gradient-dib", L"8000", L"8000", L"--commit", L"--wait", L"300"});
    const ULONGLONG end = GetTickCount64() + 30000;
    while (entries().empty() && GetTickCount64() < end) pump_for(100);
    pinger.finish();
    std::printf("gradient image: %d pings, longest answer %.0f ms\n", pinger.asked(), pinger.longest());

    EXPECT_EQ(pinger.missed(), 0);
    EXPECT_LT(pinger.longest(), 2000.0);
    const auto all = entries();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_TRUE(all[0].is_image);
    ASSERT_TRUE(is_png(all[0].image));
    EXPECT_LE(all[0].image.size(), kStoredImageLimit);
    Bytes back;
    ASSERT_TRUE(winutil::png_to_dib(all[0].image, back));
    EXPECT_EQ(back.size(), 40u + 8000u * 8000u * 4u);
}

TEST_F(WatcherGui, ABitmapTooLargeToReadIsStoredWithItsTextAsAnImageCopy) {
    // 8200 x 8200 x 4 bytes is more than the largest bitmap read.
    ASSERT_GT(40ull + 8200ull * 8200ull * 4ull, static_cast<unsigned long long>(kMaxClipboardDibBytes));
    run_writer({L"--text", L"caption of a huge picture", L"--noise-dib", L"8200", L"8200", L"--commit", L"--wait",
                L"300"});
    const ULONGLONG end = GetTickCount64() + 20000;
    while (entries().empty() && GetTickCount64() < end) pump_for(100);
    const auto all = entries();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].text, L"caption of a huge picture");
    EXPECT_TRUE(all[0].is_image);
    EXPECT_TRUE(all[0].image.empty());
    ASSERT_EQ(captured_.size(), 1u);
    EXPECT_TRUE(captured_[0].has_bitmap);
}

TEST_F(WatcherGui, AnOwnWriteWaitsForARunningRead) {
    // A 64 MB bitmap, copied while capture is off, takes a moment to read:
    // switching capture on starts that read at once, and it holds the
    // clipboard open for a part of a second.
    watcher_->set_enabled(false);
    run_writer({L"--noise-dib", L"4000", L"4000", L"--commit", L"--wait", L"300"});
    watcher_->set_enabled(true);
    ASSERT_TRUE(watcher_->reading());
    Sleep(50);
    // A paste of the program's own: the clipboard can be written.
    watcher_->remember_own_text(L"pasted by the program");
    EXPECT_TRUE(winutil::set_clipboard_text(L"pasted by the program"));
    pump_for(1500);
    EXPECT_EQ(winutil::get_clipboard_text(), L"pasted by the program");
    EXPECT_TRUE(entries().empty()) << "neither the bitmap taken as seen nor the own text is recorded";
}

TEST_F(WatcherGui, ALongTextIsCapturedWholeAndHeldOnlyWhileCaptured) {
    // 8 million characters (16 MB as UTF-16) from another process. Once the
    // capture is over, the process holds no copy of it: neither the read's
    // own nor the one the system made for it while it was read.
    std::wstring text(8 * 1000 * 1000, L'q');
    for (std::size_t k = 0; k < text.size(); k += 89) text[k] = L' ';
    text += L" end";
    const std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
    const std::wstring path = write_file(L"long.txt", bytes);
    auto resident = [] {
        PROCESS_MEMORY_COUNTERS pmc{};
        pmc.cb = sizeof pmc;
        GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
        return static_cast<double>(pmc.WorkingSetSize) / (1024.0 * 1024.0);
    };
    pump_for(300);
    const double before = resident();
    run_writer({L"--file", L"text", path, L"--commit", L"--wait", L"300"});
    const ULONGLONG end = GetTickCount64() + 20000;
    while (captured_.empty() && GetTickCount64() < end) pump_for(100);
    ASSERT_EQ(captured_.size(), 1u);
    EXPECT_EQ(captured_[0].text.size(), text.size());
    EXPECT_EQ(captured_[0].label.size(), kCapturedLabelLimit);
    std::vector<CapturedItem>().swap(captured_);
    pump_for(300);
    EXPECT_LT(resident() - before, 10.0) << "a copy of the 16 MB text stayed in the process";
    const auto all = entries();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].text.size(), text.size() - 1);  // the store trims the leading blank
    EXPECT_EQ(all[0].text.substr(all[0].text.size() - 4), L" end");
}

TEST_F(WatcherGui, CopiesWhileAnotherProgramHoldsTheClipboardAreAllStoredInOrder) {
    // A second program opens the clipboard on every change and holds it for
    // 50 ms, as clipboard tools and remote-desktop clients do.
    raii::Handle holder = start_writer({L"--title", L"clipboard holder", L"--hold-on-change", L"50", L"--wait",
                                        L"60000"});
    ASSERT_TRUE(holder);
    pump_for(500);
    constexpr int kCopies = 50;
    std::vector<std::wstring> args;
    for (int i = 1; i <= kCopies; ++i)
        args.insert(args.end(), {L"--text", L"held copy " + std::to_wstring(i), L"--commit", L"--wait", L"150"});
    args.insert(args.end(), {L"--wait", L"300"});
    run_writer(args);
    HWND holder_window = FindWindowW(L"QuilletTestClipWriter", L"clipboard holder");
    ASSERT_NE(holder_window, nullptr);
    PostMessageW(holder_window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(holder.get(), 10000), WAIT_OBJECT_0);
    DWORD held = 0;
    GetExitCodeProcess(holder.get(), &held);
    std::printf("the holder held the clipboard after %lu changes\n", static_cast<unsigned long>(held));
    EXPECT_GE(held, static_cast<DWORD>(kCopies)) << "the other program held the clipboard after every copy";

    const auto all = entries();
    ASSERT_EQ(all.size(), static_cast<size_t>(kCopies));
    for (int i = 0; i < kCopies; ++i)
        EXPECT_EQ(all[static_cast<size_t>(i)].text, L"held copy " + std::to_wstring(i + 1));
}

TEST_F(WatcherGui, LongTextsCopiedInQuickSuccessionAreAllStored) {
    // Texts of 2,000,000 characters, 0.39 s apart, into a store that holds
    // more of them with every copy.
    int copies = 10;
    if (const char* n = std::getenv("QUILLET_LONG_COPIES")) copies = std::atoi(n);
    std::vector<std::wstring> args;
    for (int i = 1; i <= copies; ++i) {
        args.insert(args.end(), {L"--long-text", L"2000000", L" long copy " + std::to_wstring(i), L"--commit",
                                 L"--wait", L"390"});
    }
    // A watcher that keeps no copy of the texts it hands over.
    KillTimer(host_, kPollTimer);
    g_host.watcher = nullptr;
    watcher_.reset();
    int stored = 0;
    const ULONGLONG start = GetTickCount64();
    ULONGLONG last_at = start;
    ClipboardWatcher::Hooks hooks;
    // The main window refreshes its list after each capture; with many
    // long entries that takes the interface thread longer than the time
    // between the copies.
    int busy_ms = 600;
    if (const char* n = std::getenv("QUILLET_LONG_BUSY_MS")) busy_ms = std::atoi(n);
    hooks.captured = [&](const CapturedItem&) {
        Sleep(static_cast<DWORD>(busy_ms));
        ++stored;
        last_at = GetTickCount64();
    };
    watcher_ = std::make_unique<ClipboardWatcher>(db_, settings_, hooks);
    start_watcher();
    run_writer(args);
    const ULONGLONG end = GetTickCount64() + 20000;
    while (stored < copies && GetTickCount64() < end) pump_for(100);
    const auto all = entries();
    std::printf("%zu of %d long texts stored, the last %.1f s after the start\n", all.size(), copies,
                static_cast<double>(last_at - start) / 1000.0);
    ASSERT_EQ(all.size(), static_cast<size_t>(copies));
    for (int i = 0; i < copies; ++i) {
        const std::wstring& t = all[static_cast<size_t>(i)].text;
        const std::wstring tag = L" long copy " + std::to_wstring(i + 1);
        EXPECT_EQ(t.substr(t.size() - tag.size()), tag);
    }
}

TEST_F(WatcherGui, ACopyReadBeforeAnOwnPasteIsStoredAndThePasteIsNot) {
    // While the interface thread is busy with the first copy, a second one
    // is read and waits; then the program pastes a text of its own.
    KillTimer(host_, kPollTimer);
    g_host.watcher = nullptr;
    watcher_.reset();
    bool pasted = false;
    ClipboardWatcher::Hooks hooks;
    hooks.captured = [&](const CapturedItem& item) {
        captured_.push_back(item);
        if (pasted) return;
        pasted = true;
        Sleep(600);
        watcher_->remember_own_text(L"pasted by the program");
        EXPECT_TRUE(winutil::set_clipboard_text(L"pasted by the program"));
    };
    watcher_ = std::make_unique<ClipboardWatcher>(db_, settings_, hooks);
    start_watcher();
    run_writer({L"--text", L"theirs one", L"--commit", L"--wait", L"200", L"--text", L"theirs two", L"--commit",
                L"--wait", L"1500"});
    pump_for(1000);
    const auto all = entries();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].text, L"theirs one");
    EXPECT_EQ(all[1].text, L"theirs two");
    EXPECT_EQ(winutil::get_clipboard_text(), L"pasted by the program");
}

// Copies 0.2 s apart while another program holds the store for the first
// 8 s: once it lets go, the 40 copies that waited are written in one go,
// each followed by the main window's refresh (here 25 ms), so the
// interface thread is busy for about a second while the copies go on.
// Every copy is stored, in order: a read thread watches the clipboard
// while the store holds the interface thread.
TEST_F(WatcherGui, CopiesMadeWhileTheWaitingOnesAreWrittenAreAllStoredInOrder) {
    KillTimer(host_, kPollTimer);
    g_host.watcher = nullptr;
    watcher_.reset();
    ClipboardWatcher::Hooks hooks;
    int announced = 0;
    hooks.captured = [&](const CapturedItem&) {
        Sleep(25);
        ++announced;
    };
    watcher_ = std::make_unique<ClipboardWatcher>(db_, settings_, hooks);
    start_watcher();
    pump_for(300);

    constexpr int kCopies = 60;
    constexpr int kHeldFor = 40;
    std::vector<std::wstring> args;
    for (int i = 1; i <= kCopies; ++i)
        args.insert(args.end(), {L"--text", L"dense copy " + std::to_wstring(i), L"--commit", L"--wait", L"200"});
    auto other = std::make_unique<store_test::RawDb>(db_path_);
    other->exec("BEGIN EXCLUSIVE");
    raii::Handle writer = start_writer(args);
    ASSERT_TRUE(writer);
    const ULONGLONG started = GetTickCount64();
    while (GetTickCount64() - started < kHeldFor * 200 + 100) pump_for(20);
    const std::size_t waited = watcher_->waiting_captures();
    other->exec("ROLLBACK");
    other.reset();
    while (WaitForSingleObject(writer.get(), 0) == WAIT_TIMEOUT && GetTickCount64() - started < 60000) pump_for(20);
    pump_for(1500);
    std::printf("%zu copies waited for the store\n", waited);
    EXPECT_GE(waited, 30u);

    const auto all = entries();
    std::vector<std::wstring> stored;
    for (const auto& e : all) stored.push_back(e.text);
    std::vector<std::wstring> expected;
    for (int i = 1; i <= kCopies; ++i) expected.push_back(L"dense copy " + std::to_wstring(i));
    for (const auto& t : expected)
        if (std::find(stored.begin(), stored.end(), t) == stored.end()) std::printf("missing: %ls\n", t.c_str());
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(announced, kCopies);
}

// At quit the reads the main window has not yet taken (it was busy) are
// decided and stored too, in order, with the one under way.
TEST_F(WatcherGui, ReadsNotYetTakenAtExitAreStoredInOrder) {
    pump_for(300);
    raii::Handle writer = start_writer({L"--text", L"unread one", L"--commit", L"--wait", L"300", L"--text",
                                        L"unread two", L"--commit", L"--wait", L"300", L"--text", L"unread three",
                                        L"--commit", L"--wait", L"300"});
    ASSERT_TRUE(writer);
    // The first change starts the read thread; from then on the window
    // takes nothing, as if it were busy.
    const ULONGLONG start = GetTickCount64();
    while (g_host.clipboard_updates == 0 && GetTickCount64() - start < 10000) {
        MSG msg;
        if (PeekMessageW(&msg, host_, WM_CLIPBOARDUPDATE, WM_CLIPBOARDUPDATE, PM_REMOVE))
            DispatchMessageW(&msg);
        else
            Sleep(5);
    }
    ASSERT_GT(g_host.clipboard_updates, 0);
    EXPECT_TRUE(watcher_->reading());
    ASSERT_EQ(WaitForSingleObject(writer.get(), 20000), WAIT_OBJECT_0);
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(watcher_->store_before_exit(2.0), 0u);
    const auto all = entries();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].text, L"unread one");
    EXPECT_EQ(all[1].text, L"unread two");
    EXPECT_EQ(all[2].text, L"unread three");
    EXPECT_TRUE(captured_.empty());
}

// Copies 0.1 s apart while another program holds the store throughout:
// each try to write the waiting copies holds the interface thread for the
// store's busy time-out (longer on a loaded machine), as long as the time
// between two copies. All 40 are stored, in order, once the store is free:
// a read thread watches the clipboard during every try.
TEST_F(WatcherGui, CopiesWhileTheStoreIsHeldThroughoutAreAllStoredInOrder) {
    pump_for(300);
    constexpr int kCopies = 40;
    std::vector<std::wstring> args;
    std::vector<std::wstring> expected;
    for (int i = 1; i <= kCopies; ++i) {
        expected.push_back(L"held throughout " + std::to_wstring(i));
        args.insert(args.end(), {L"--text", expected.back(), L"--commit", L"--wait", L"100"});
    }
    auto other = std::make_unique<store_test::RawDb>(db_path_);
    other->exec("BEGIN EXCLUSIVE");
    run_writer(args);
    EXPECT_TRUE(entries().empty());
    other->exec("ROLLBACK");
    other.reset();
    pump_for(1500);
    std::vector<std::wstring> stored;
    for (const auto& e : entries()) stored.push_back(e.text);
    for (const auto& t : expected)
        if (std::find(stored.begin(), stored.end(), t) == stored.end()) std::printf("missing: %ls\n", t.c_str());
    EXPECT_EQ(stored, expected);
}
