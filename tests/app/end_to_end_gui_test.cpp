// The real Quillet.exe, run from a portable copy in a temporary folder:
// what the user copies is stored with its source, a second start only shows
// the first, a killed process keeps what it had stored, and a damaged
// database is put aside.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_ids.h"
#include "core/clipboard_text.h"
#include "core/handles.h"
#include "store/database.h"
#include "tests/app/portable_copy.h"
#include "tests/app/app_test_support.h"
#include "tests/app/program_run.h"

namespace {

using namespace app_test;

using test_support::PortableCopy;

std::vector<std::uint8_t> test_dib() {
    std::vector<std::uint8_t> dib(40 + 4 * 4 * 4, 0);
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = 4;
    h.biHeight = 4;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biSizeImage = 64;
    std::memcpy(dib.data(), &h, 40);
    for (size_t i = 40; i < dib.size(); i += 4) {
        dib[i] = static_cast<std::uint8_t>(i);
        dib[i + 1] = 0x33;
        dib[i + 2] = 0x99;
        dib[i + 3] = 0xFF;
    }
    return dib;
}

std::wstring own_exe_name() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    std::wstring name = p.substr(p.find_last_of(L"\\/") + 1);
    for (wchar_t& c : name) c = static_cast<wchar_t>(towlower(c));
    return name;
}

const HistoryEntry* find_text(const std::vector<HistoryEntry>& list, const std::wstring& text) {
    for (const HistoryEntry& e : list)
        if (e.text == text) return &e;
    return nullptr;
}

std::wstring unique_text(const wchar_t* what) { return std::wstring(what) + L" " + std::to_wstring(GetTickCount64()); }

// Starts the portable copy and waits for its main window, then lets it
// settle; null when no window came.
HWND start_copy(Process& quillet, const PortableCopy& copy, DWORD settle_ms = 1000) {
    if (!quillet.start(copy.exe(), L"", copy.path())) return nullptr;
    HWND main = main_window_of(quillet.id(), 30000);
    if (main) pump(settle_ms);
    return main;
}

// The quit command of the running copy; its exit code.
int quit(Process& quillet, HWND main) {
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(kCmdQuit, 0), 0);
    return quillet.wait(20000);
}

// When the file was last written.
ULONGLONG last_write(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

TEST(EndToEnd, CopiesAreStoredWithTheirSource) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    const ULONGLONG settings_before = last_write(copy.ini());
    ASSERT_NE(settings_before, 0u);
    Sleep(50);
    Process quillet;
    HWND main = start_copy(quillet, copy);
    ASSERT_TRUE(main) << "no QuilletMain window";

    ClipboardSource source;
    const std::wstring text = unique_text(L"end to end text");
    ASSERT_TRUE(source.put_text(text));
    pump(1500);
    const std::vector<std::uint8_t> dib = test_dib();
    ASSERT_TRUE(source.put_dib(dib));
    pump(1500);

    EXPECT_EQ(quit(quillet, main), 0);

    Database db(copy.database());
    ASSERT_TRUE(db.is_open());
    std::vector<HistoryEntry> list = db.list_entries(L"all", false, true);
    const HistoryEntry* t = find_text(list, text);
    ASSERT_NE(t, nullptr) << "the copied text was not stored";
    EXPECT_EQ(t->source_app, own_exe_name());
    EXPECT_FALSE(t->is_image);
    std::vector<HistoryEntry> images = db.list_entries(L"images", false, true);
    ASSERT_EQ(images.size(), 1u) << "the copied image was not stored";
    const HistoryEntry* image = &images[0];
    EXPECT_TRUE(image->is_image);
    EXPECT_EQ(image->image, dib);
    EXPECT_EQ(image->source_app, own_exe_name());
    // The settings were written at shutdown.
    EXPECT_GT(last_write(copy.ini()), settings_before);
}

TEST(EndToEnd, QuickCopiesAreAllStoredInOrder) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    Process quillet;
    HWND main = start_copy(quillet, copy);
    ASSERT_TRUE(main);
    ClipboardSource source;
    const std::wstring base = unique_text(L"quick copy");
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(source.put_text(base + L" #" + std::to_wstring(i)));
        pump(100);
    }
    pump(1000);
    EXPECT_EQ(quit(quillet, main), 0);

    Database db(copy.database());
    std::vector<HistoryEntry> list = db.list_entries(L"all", false, true);
    std::int64_t previous_id = 0;
    for (int i = 0; i < 20; ++i) {
        const HistoryEntry* e = find_text(list, base + L" #" + std::to_wstring(i));
        ASSERT_NE(e, nullptr) << "copy " << i << " was lost";
        EXPECT_GT(e->id, previous_id) << "copy " << i << " out of order";
        previous_id = e->id;
    }
}

TEST(EndToEnd, SecondStartShowsTheFirstAndExits) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    CreateDirectoryW(copy.data().c_str(), nullptr);
    write_settings(copy.ini(), [](Settings& s) { s.start_in_tray = true; });
    Process first;
    HWND main = start_copy(first, copy, 500);
    ASSERT_TRUE(main);
    EXPECT_FALSE(IsWindowVisible(main));

    Process second;
    ASSERT_TRUE(second.start(copy.exe(), L"", copy.path()));
    EXPECT_EQ(second.wait(20000), 0);
    EXPECT_TRUE(pump_until([&] { return IsWindowVisible(main) != FALSE; }, 5000));
    EXPECT_TRUE(first.running());

    EXPECT_EQ(quit(first, main), 0);
}

TEST(EndToEnd, KilledRightAfterCopyKeepsWhatWasStored) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    Process quillet;
    HWND main = start_copy(quillet, copy);
    ASSERT_TRUE(main);
    ClipboardSource source;
    const std::wstring first = unique_text(L"stored before the kill");
    ASSERT_TRUE(source.put_text(first));
    pump(1500);  // three polls: stored by now
    const std::wstring second = unique_text(L"copied just before the kill");
    ASSERT_TRUE(source.put_text(second));
    pump(1200);
    ASSERT_TRUE(TerminateProcess(quillet.handle(), 7));
    EXPECT_EQ(quillet.wait(10000), 7);

    Database db(copy.database());
    ASSERT_TRUE(db.is_open());
    EXPECT_FALSE(db.recovered_damaged_file());
    std::vector<HistoryEntry> list = db.list_entries(L"all", false, true);
    EXPECT_NE(find_text(list, first), nullptr);
    EXPECT_NE(find_text(list, second), nullptr);
}

TEST(EndToEnd, DamagedDatabaseIsPutAside) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    CreateDirectoryW(copy.data().c_str(), nullptr);
    const std::string garbage(8192, 'Q');
    ASSERT_TRUE(test_support::write_file(copy.database(), garbage));
    Process quillet;
    HWND main = start_copy(quillet, copy);
    ASSERT_TRUE(main);
    ClipboardSource source;
    const std::wstring text = unique_text(L"after the repair");
    ASSERT_TRUE(source.put_text(text));
    pump(1500);
    EXPECT_EQ(quit(quillet, main), 0);

    // The damaged file is kept under a new name, byte for byte.
    WIN32_FIND_DATAW found{};
    raii::FindHandle find(FindFirstFileW((copy.database() + L".damaged-*").c_str(), &found));
    ASSERT_TRUE(find) << "no damaged file beside the database";
    EXPECT_EQ(test_support::read_file(copy.data() + L"\\" + found.cFileName), garbage);
    Database db(copy.database());
    ASSERT_TRUE(db.is_open());
    EXPECT_NE(find_text(db.list_entries(L"all", false, true), text), nullptr);
}

}  // namespace

// ---- choosing an entry in the history and pasting it -------------------------------

// A top-level window of this test with an EDIT box that has the focus
// whenever the window is active: the window the user pastes into.
class PasteTarget {
public:
    PasteTarget() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuilletTestPasteTarget";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"paste target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 400,
                                  200, nullptr, nullptr, wc.hInstance, nullptr);
        edit_ = GetDlgItem(window_, 1);
    }
    ~PasteTarget() {
        if (window_) DestroyWindow(window_);
    }
    HWND window() const { return window_; }
    std::wstring text() const {
        std::wstring t(static_cast<size_t>(GetWindowTextLengthW(edit_)) + 1, L'\0');
        t.resize(static_cast<size_t>(GetWindowTextW(edit_, t.data(), static_cast<int>(t.size()))));
        return t;
    }
    void bring_to_front() {
        SetForegroundWindow(window_);
        SetFocus(edit_);
    }

private:
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        switch (msg) {
            case WM_CREATE:
                CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE, 0, 0, 380, 150, w,
                                reinterpret_cast<HMENU>(1), GetModuleHandleW(nullptr), nullptr);
                return 0;
            case WM_ACTIVATE:
                if (LOWORD(wp) != WA_INACTIVE) SetFocus(GetDlgItem(w, 1));
                return 0;
            default: return DefWindowProcW(w, msg, wp, lp);
        }
    }
    HWND window_ = nullptr;
    HWND edit_ = nullptr;
};

TEST(EndToEnd, AnEntryChosenByKeyboardIsPastedIntoTheWindowInFront) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    const std::wstring older = unique_text(L"older entry");
    const std::wstring newer = unique_text(L"newer entry");
    std::vector<HistoryEntry> listed;
    {
        CreateDirectoryW(copy.data().c_str(), nullptr);
        Database db(copy.database());
        ASSERT_TRUE(db.is_open());
        ASSERT_GT(db.add_text_entry(older, std::nullopt, false, false), 0);
        ASSERT_GT(db.add_text_entry(newer, std::nullopt, false, false), 0);
        listed = db.list_entries(L"all", false, true);
        ASSERT_EQ(listed.size(), 2u);
    }
    PasteTarget target;
    ASSERT_TRUE(target.window());
    Process quillet;
    HWND main = start_copy(quillet, copy);
    ASSERT_TRUE(main) << "no QuilletMain window";

    // The user is in the target window and presses the history hotkey.
    target.bring_to_front();
    pump(500);
    ASSERT_TRUE(PostMessageW(main, WM_HOTKEY, kHotkeyHistory, 0));
    pump(1000);
    HWND cards = GetDlgItem(main, kIdCards);
    ASSERT_TRUE(cards);
    ASSERT_TRUE(pump_until([&] { return SendMessageW(cards, LB_GETCOUNT, 0, 0) == 2; }, 5000))
        << "the stored entries are not listed";
    // Down picks a row; which one depends on where the caret started.
    PostMessageW(cards, WM_KEYDOWN, VK_DOWN, 0);
    pump(300);
    const int caret = static_cast<int>(SendMessageW(cards, LB_GETCARETINDEX, 0, 0));
    ASSERT_TRUE(caret == 0 || caret == 1) << caret;
    ASSERT_GT(SendMessageW(cards, LB_GETSEL, static_cast<WPARAM>(caret), 0), 0);
    const std::wstring chosen = listed[static_cast<size_t>(caret)].text;
    PostMessageW(cards, WM_KEYDOWN, VK_RETURN, 0);

    EXPECT_TRUE(pump_until([&] { return target.text() == chosen; }, 8000))
        << "the target holds " << target.text().size() << " characters";
    // Close-on-paste hides the history.
    EXPECT_FALSE(IsWindowVisible(main));

    EXPECT_EQ(quit(quillet, main), 0);
    Database db(copy.database());
    ASSERT_TRUE(db.is_open());
    std::vector<HistoryEntry> after = db.list_entries(L"all", false, true);
    const HistoryEntry* used = find_text(after, chosen);
    ASSERT_NE(used, nullptr);
    EXPECT_EQ(used->use_count, 1) << "the paste counts one use";
    EXPECT_EQ(after.size(), 2u) << "the program's own paste is not recorded again";
}

TEST(EndToEnd, ATenMegabyteSettingsFileDoesNotHoldUpTheWindow) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    CreateDirectoryW(copy.data().c_str(), nullptr);
    // 10 MB of keys the program does not know, ahead of its own.
    std::string file = "[Settings]\r\n";
    for (int i = 0; file.size() < 10 * 1000 * 1000; ++i)
        file += "unknown_key_" + std::to_string(i) + "=" + std::string(30, 'v') + "\r\n";
    file += "font_size=16\r\nstart_in_tray=false\r\n";
    ASSERT_TRUE(test_support::write_file(copy.ini(), file));

    Process quillet;
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(quillet.start(copy.exe(), L"", copy.path()));
    HWND main = main_window_of(quillet.id(), 30000);
    ASSERT_TRUE(main);
    const ULONGLONG appeared = GetTickCount64();
    // From its first appearance on, the window answers within a second,
    // while it settles and saves its settings.
    ULONGLONG longest = 0;
    int unanswered = 0;
    while (GetTickCount64() - appeared < 4000) {
        const ULONGLONG before = GetTickCount64();
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result)) ++unanswered;
        longest = std::max(longest, GetTickCount64() - before);
        pump(50);
    }
    std::printf("10 MB settings: window after %llu ms, longest answer %llu ms\n", appeared - start, longest);
    EXPECT_EQ(unanswered, 0);
    EXPECT_LT(longest, 1000u);
    EXPECT_EQ(quit(quillet, main), 0);
    // The program's save kept what it does not know.
    const std::string after = test_support::read_file(copy.ini());
    EXPECT_NE(after.find("unknown_key_199"), std::string::npos);
    EXPECT_NE(after.find("font_size=16"), std::string::npos);
}
