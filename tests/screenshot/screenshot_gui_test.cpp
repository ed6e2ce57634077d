// Screenshots with the real Quillet.exe (a portable copy in a temporary
// folder): the hotkeys, command 1118 and button 220 open the overlay over
// the whole screen; Enter files one image entry whose PNG shows the screen
// and puts it on the clipboard without a second entry; Esc files nothing;
// a region dragged with real pointer input and annotated gives a PNG that
// shows the annotations; the window mode selects the window in front;
// Save-as files are recorded and never deleted by the store.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/app_ids.h"
#include "core/settings.h"
#include "screenshot/capture_overlay.h"
#include "store/database.h"
#include "tests/app/portable_copy.h"
#include "tests/screenshot/shot_input.h"
#include "tests/screenshot/shot_test_support.h"
#include "tests/theme/gui_support.h"

namespace {

using namespace app_test;
using shot_test::ShotWindow;

const bool g_unmanaged = gui_test::use_unmanaged_windows_under_wine();

constexpr int kScreenshotButton = 220;
constexpr int kScreenshotCommand = 1118;

using test_support::PortableCopy;

// A visible top-level window of the class in the process; null when none.
HWND window_of(DWORD pid, const wchar_t* cls) {
    struct Search {
        DWORD pid;
        const wchar_t* cls;
        HWND found;
    } s{pid, cls, nullptr};
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t name[64] = {};
            GetClassNameW(w, name, 64);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == s->pid && wcscmp(name, s->cls) == 0 && IsWindowVisible(w)) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

int count_windows(DWORD pid, const wchar_t* cls) {
    struct Search {
        DWORD pid;
        const wchar_t* cls;
        int n;
    } s{pid, cls, 0};
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t name[64] = {};
            GetClassNameW(w, name, 64);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == s->pid && wcscmp(name, s->cls) == 0 && IsWindowVisible(w)) ++s->n;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.n;
}

HWND wait_window(DWORD pid, const wchar_t* cls, DWORD timeout_ms = 20000) {
    HWND found = nullptr;
    pump_until([&] { return (found = window_of(pid, cls)) != nullptr; }, timeout_ms);
    return found;
}

// The running copy with its main window.
struct Running {
    Process process;
    HWND main = nullptr;
    bool start(const PortableCopy& copy) {
        if (!process.start(copy.exe(), L"", copy.path())) return false;
        main = wait_window(process.id(), L"QuilletMain", 30000);
        if (main) pump(1000);
        return main != nullptr;
    }
    HWND overlay() { return wait_window(process.id(), L"QuilletCaptureOverlay"); }
    bool overlay_gone() {
        return pump_until([&] { return window_of(process.id(), L"QuilletCaptureOverlay") == nullptr; }, 20000);
    }
    int quit() {
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(kCmdQuit, 0), 0);
        return process.wait(20000);
    }
};

std::vector<HistoryEntry> images_of(const PortableCopy& copy) {
    Database db(copy.database());
    return db.list_entries(L"images", false, true);
}

// The clipboard's CF_DIB as top-down pixels; empty without one.
shot_test::Image clipboard_image() {
    shot_test::Image img;
    for (int i = 0; i < 50; ++i) {
        raii::ClipboardOpen open(nullptr);
        if (!open.ok()) {
            Sleep(20);
            continue;
        }
        HANDLE data = GetClipboardData(CF_DIB);
        if (!data) return img;
        raii::GlobalLocked<std::uint8_t> p(data);
        if (!p.ok()) return img;
        std::vector<std::uint8_t> dib(p.get(), p.get() + p.size());
        winutil::dib_to_bgra(dib, img.bgra, img.width, img.height);
        return img;
    }
    return img;
}

void post_key(HWND w, UINT vk) { gui_test::post_key(w, vk); }

// The toolbar of the overlay as the program lays it out for a selection.
std::vector<ToolbarButton> toolbar_for(const Box& selection) {
    CaptureOverlay model;
    model.grab.width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    model.grab.height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    model.selection = selection;
    model.layout_toolbar();
    return model.buttons;
}

POINT button_centre(const std::vector<ToolbarButton>& buttons, int id) {
    for (const ToolbarButton& b : buttons)
        if (b.id == id) return POINT{(b.rect.left + b.rect.right) / 2, (b.rect.top + b.rect.bottom) / 2};
    return POINT{-1, -1};
}

POINT to_screen(POINT client) {
    return POINT{client.x + GetSystemMetrics(SM_XVIRTUALSCREEN), client.y + GetSystemMetrics(SM_YVIRTUALSCREEN)};
}

// ---- full screen, clipboard, no second entry ----------------------------------------------

TEST(Screenshot, FullScreenHotkeyFilesOneImageAndPutsItOnTheClipboard) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    CreateDirectoryW(copy.data().c_str(), nullptr);
    const RECT place{300, 200, 460, 320};
    const COLORREF colour = RGB(0x2E, 0xA0, 0x43);
    ShotWindow target;
    ASSERT_TRUE(target.start(place, colour));
    Running quillet;
    ASSERT_TRUE(quillet.start(copy));
    ASSERT_TRUE(IsWindowVisible(quillet.main));

    PostMessageW(quillet.main, WM_HOTKEY, kHotkeyFullShot, 0);
    HWND overlay = quillet.overlay();
    ASSERT_TRUE(overlay) << "no overlay";
    const RECT r = gui_test::window_rect(overlay);
    EXPECT_EQ(r.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(r.top, GetSystemMetrics(SM_YVIRTUALSCREEN));
    EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EXPECT_FALSE(IsWindowVisible(quillet.main)) << "the main window is hidden during the screenshot";
    // A second screenshot hotkey while one runs opens nothing.
    PostMessageW(quillet.main, WM_HOTKEY, kHotkeyRegionShot, 0);
    pump(500);
    EXPECT_EQ(count_windows(quillet.process.id(), L"QuilletCaptureOverlay"), 1);

    post_key(overlay, VK_RETURN);
    ASSERT_TRUE(quillet.overlay_gone());
    EXPECT_TRUE(pump_until([&] { return IsWindowVisible(quillet.main) != FALSE; }, 5000))
        << "the main window comes back";
    pump(2000);  // four clipboard polls: a second entry would be stored by now

    const shot_test::Image clip = clipboard_image();
    EXPECT_EQ(static_cast<int>(clip.width), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(static_cast<int>(clip.height), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    if (clip.width) {
        EXPECT_EQ(clip.at(380 - r.left, 260 - r.top), colour);
    }
    EXPECT_EQ(quillet.quit(), 0);

    Database db(copy.database());
    EXPECT_EQ(db.count_entries(), 1) << "one entry, not recorded again from the clipboard";
    const std::vector<HistoryEntry> images = db.list_entries(L"images", false, true);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_TRUE(images[0].is_image);
    EXPECT_EQ(images[0].source_app, L"Quillet.exe");
    const shot_test::Image img = shot_test::decode_png(images[0].image);
    ASSERT_EQ(static_cast<int>(img.width), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    ASSERT_EQ(static_cast<int>(img.height), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EXPECT_EQ(img.at(301 - r.left, 201 - r.top), colour);
    EXPECT_EQ(img.at(458 - r.left, 318 - r.top), colour);
    EXPECT_NE(img.at(470 - r.left, 260 - r.top), colour);
}

TEST(Screenshot, EscFilesNothingAndTwoEqualScreenshotsAreTwoEntries) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    CreateDirectoryW(copy.data().c_str(), nullptr);
    ShotWindow target;
    ASSERT_TRUE(target.start(RECT{300, 200, 460, 320}, RGB(200, 40, 40)));
    Running quillet;
    ASSERT_TRUE(quillet.start(copy));

    // Command 1118 (the menu's) and Esc.
    PostMessageW(quillet.main, WM_COMMAND, MAKEWPARAM(kScreenshotCommand, 0), 0);
    HWND overlay = quillet.overlay();
    ASSERT_TRUE(overlay) << "command 1118 opens no overlay";
    post_key(overlay, VK_ESCAPE);
    ASSERT_TRUE(quillet.overlay_gone());
    pump(1000);
    EXPECT_TRUE(images_of(copy).empty());

    // The button 220, a whole-screen selection (Ctrl+A is the program's
    // own key) and Enter, twice: the same pixels give two entries.
    HWND button = GetDlgItem(quillet.main, kScreenshotButton);
    ASSERT_TRUE(button);
    for (int i = 0; i < 2; ++i) {
        PostMessageW(quillet.main, WM_HOTKEY, kHotkeyFullShot, 0);
        overlay = quillet.overlay();
        ASSERT_TRUE(overlay);
        post_key(overlay, VK_RETURN);
        ASSERT_TRUE(quillet.overlay_gone());
        pump(1500);
    }
    PostMessageW(quillet.main, WM_COMMAND, MAKEWPARAM(kScreenshotButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    overlay = quillet.overlay();
    EXPECT_TRUE(overlay) << "button 220 opens no overlay";
    if (overlay) post_key(overlay, VK_ESCAPE);
    ASSERT_TRUE(quillet.overlay_gone());
    // The tray menu's screenshot item: the fifth, four times Down from
    // nothing highlighted (Down starts at the second).
    PostMessageW(quillet.main, WM_TRAYICON, 0, WM_RBUTTONUP);
    for (UINT k : {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageW(quillet.main, WM_KEYDOWN, k, 1);
    overlay = quillet.overlay();
    EXPECT_TRUE(overlay) << "the tray item opens no overlay";
    if (overlay) post_key(overlay, VK_ESCAPE);
    ASSERT_TRUE(quillet.overlay_gone());
    pump(1000);
    EXPECT_EQ(quillet.quit(), 0);

    const std::vector<HistoryEntry> images = images_of(copy);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].image, images[1].image);
    EXPECT_NE(images[0].id, images[1].id);
}

// ---- a region dragged with real input and annotated ------------------------------------------

TEST(Screenshot, RegionDraggedAndAnnotatedWithRealInput) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    CreateDirectoryW(copy.data().c_str(), nullptr);
    // A patterned window under the whole region: the blur has something to
    // pixelate.
    ShotWindow target;
    ASSERT_TRUE(target.start(RECT{150, 100, 1100, 760}, RGB(0, 0, 0), true));
    Running quillet;
    ASSERT_TRUE(quillet.start(copy));

    PostMessageW(quillet.main, WM_HOTKEY, kHotkeyRegionShot, 0);
    HWND overlay = quillet.overlay();
    ASSERT_TRUE(overlay);
    pump(300);
    const Box sel{200, 150, 800, 550};
    const std::vector<ToolbarButton> bar = toolbar_for(sel);
    auto at = [](int x, int y) { return to_screen(POINT{x, y}); };
    shot_test::drag(at(200, 150), at(1000, 700));
    pump(200);
    // Arrow (the tool it starts with).
    shot_test::drag(at(250, 200), at(500, 300));
    // Rectangle.
    shot_test::click(to_screen(button_centre(bar, kToolRectangle + 1)));
    shot_test::drag(at(600, 250), at(900, 400));
    // Two markers.
    shot_test::click(to_screen(button_centre(bar, kToolMarker + 1)));
    shot_test::click(at(300, 500));
    shot_test::click(at(400, 500));
    // Blur.
    shot_test::click(to_screen(button_centre(bar, kToolBlur + 1)));
    shot_test::drag(at(550, 500), at(846, 660));  // 37 x 20 blocks
    pump(200);
    post_key(overlay, VK_RETURN);
    ASSERT_TRUE(quillet.overlay_gone());
    pump(1000);
    EXPECT_EQ(quillet.quit(), 0);

    const std::vector<HistoryEntry> images = images_of(copy);
    ASSERT_EQ(images.size(), 1u);
    const shot_test::Image img = shot_test::decode_png(images[0].image);
    ASSERT_EQ(img.width, 800u);
    ASSERT_EQ(img.height, 550u);
    const COLORREF red = kDefaultToolColour;
    // The arrow's middle, and its head at (500, 300).
    EXPECT_EQ(img.at(375 - 200, 250 - 150), red);
    EXPECT_EQ(img.at(500 - 200, 300 - 150), red);
    // The rectangle's frame, not its inside.
    EXPECT_EQ(img.at(600 - 200, 325 - 150), red);
    EXPECT_EQ(img.at(750 - 200, 400 - 150), red);
    EXPECT_NE(img.at(750 - 200, 325 - 150), red);
    // The markers: circles of radius 13 in the colour, with white digits.
    for (int cx : {300, 400}) {
        EXPECT_EQ(img.at(cx - 200 - 11, 500 - 150), red) << cx;
        EXPECT_EQ(img.at(cx - 200, 500 - 150 - 11), red) << cx;
        int white = 0;
        for (int y = -8; y <= 8; ++y)
            for (int x = -8; x <= 8; ++x)
                if (img.at(cx - 200 + x, 500 - 150 + y) == RGB(255, 255, 255)) ++white;
        EXPECT_GT(white, 3) << "a digit in marker at " << cx;
    }
    // Blur blocks of 2 x 3 + 2 = 8 pixels from the box's corner (550, 500).
    int uniform = 0, blocks = 0;
    for (int by = 0; by < 20; ++by)
        for (int bx = 0; bx < 37; ++bx) {
            const int x0 = 550 - 200 + bx * 8, y0 = 500 - 150 + by * 8;
            const COLORREF c = img.at(x0, y0);
            bool same = true;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) same = same && img.at(x0 + x, y0 + y) == c;
            ++blocks;
            if (same) ++uniform;
        }
    EXPECT_EQ(uniform, blocks) << "every 8 x 8 block of the blur is one colour";
    EXPECT_NE(img.at(550 - 200, 500 - 150), img.at(558 - 200, 500 - 150)) << "neighbouring blocks differ";
    // Outside every annotation the pattern is as it was on the screen.
    EXPECT_EQ(img.at(950 - 200, 600 - 150), shot_test::pattern_at(950, 600));
}

// ---- the window mode --------------------------------------------------------------------

TEST(Screenshot, WindowModeSelectsTheWindowInFront) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    CreateDirectoryW(copy.data().c_str(), nullptr);
    Running quillet;
    ASSERT_TRUE(quillet.start(copy));
    const RECT place{420, 260, 740, 500};
    const COLORREF colour = RGB(0x33, 0x66, 0xCC);
    ShotWindow target;
    ASSERT_TRUE(target.start(place, colour));
    pump(300);
    PostMessageW(quillet.main, WM_HOTKEY, kHotkeyWindowShot, 0);
    HWND overlay = quillet.overlay();
    ASSERT_TRUE(overlay);
    pump(300);
    post_key(overlay, VK_RETURN);
    ASSERT_TRUE(quillet.overlay_gone());
    pump(1000);
    EXPECT_EQ(quillet.quit(), 0);
    const std::vector<HistoryEntry> images = images_of(copy);
    ASSERT_EQ(images.size(), 1u);
    const shot_test::Image img = shot_test::decode_png(images[0].image);
    EXPECT_EQ(img.width, 320u);
    EXPECT_EQ(img.height, 240u);
    if (img.width == 320u) {
        EXPECT_EQ(img.at(0, 0), colour);
        EXPECT_EQ(img.at(319, 239), colour);
    }
}

// ---- Save-as ------------------------------------------------------------------------------

// Answers the program's Save-as dialog with a path: types it into the file
// name box and presses Save.
bool answer_save_dialog(DWORD pid, const std::wstring& path) {
    HWND dialog = wait_window(pid, L"#32770", 20000);
    if (!dialog) return false;
    pump(500);
    if (!gui_test::submit_file_name(dialog, path)) return false;
    return pump_until([&] { return !IsWindow(dialog); }, 10000);
}

void save_through_toolbar(HWND overlay) {
    // The whole screen is selected; the Save button sits inside it.
    const Box all{0, 0, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    const POINT save = button_centre(toolbar_for(all), kTbSave);
    PostMessageW(overlay, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(save.x, save.y));
    PostMessageW(overlay, WM_LBUTTONUP, 0, MAKELPARAM(save.x, save.y));
}

TEST(Screenshot, SaveAsFilesAreRecordedAndNeverDeletedByTheStore) {
    PortableCopy copy;
    ASSERT_TRUE(copy.ok());
    CreateDirectoryW(copy.data().c_str(), nullptr);
    write_settings(copy.ini(), [](Settings& s) { s.screenshot_autosave = true; });
    CreateDirectoryW(copy.screenshots().c_str(), nullptr);
    TempFolder elsewhere;
    {
        raii::ClipboardOpen open(nullptr);
        ASSERT_TRUE(open.ok());
        EmptyClipboard();
    }
    const std::wstring inside = copy.screenshots() + L"\\chosen inside.png";
    const std::wstring outside = elsewhere.file(L"chosen outside.png");
    Running quillet;
    ASSERT_TRUE(quillet.start(copy));

    // Saved inside the screenshot folder: that file is recorded.
    PostMessageW(quillet.main, WM_HOTKEY, kHotkeyFullShot, 0);
    HWND overlay = quillet.overlay();
    ASSERT_TRUE(overlay);
    pump(300);
    save_through_toolbar(overlay);
    ASSERT_TRUE(answer_save_dialog(quillet.process.id(), inside)) << "no Save-as dialog answered";
    ASSERT_TRUE(quillet.overlay_gone());
    pump(1000);
    // Saved elsewhere: autosave keeps a copy in the folder and records it.
    PostMessageW(quillet.main, WM_HOTKEY, kHotkeyFullShot, 0);
    overlay = quillet.overlay();
    ASSERT_TRUE(overlay);
    pump(300);
    save_through_toolbar(overlay);
    ASSERT_TRUE(answer_save_dialog(quillet.process.id(), outside));
    ASSERT_TRUE(quillet.overlay_gone());
    pump(1000);
    // A Save-as never puts the image on the clipboard.
    EXPECT_EQ(clipboard_image().width, 0u);
    EXPECT_EQ(quillet.quit(), 0);

    EXPECT_NE(GetFileAttributesW(inside.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(outside.c_str()), INVALID_FILE_ATTRIBUTES);
    Database db(copy.database());
    std::vector<HistoryEntry> images = db.list_entries(L"images", false, true);
    ASSERT_EQ(images.size(), 2u);
    // Newest first.
    const std::string saved = test_support::read_file(inside);
    EXPECT_EQ(std::vector<std::uint8_t>(saved.begin(), saved.end()), images[1].image);
    std::vector<std::wstring> autosaved;
    WIN32_FIND_DATAW found{};
    raii::FindHandle find(FindFirstFileW((copy.screenshots() + L"\\*.png").c_str(), &found));
    if (find) {
        do {
            if (std::wstring(found.cFileName) != L"chosen inside.png") autosaved.push_back(found.cFileName);
        } while (FindNextFileW(find.get(), &found));
    }
    ASSERT_EQ(autosaved.size(), 1u) << "one autosaved copy for the Save-as outside the folder";
    const std::wstring autosaved_path = copy.screenshots() + L"\\" + autosaved[0];

    // Deleting both entries for good removes the autosaved copy only.
    EXPECT_EQ(db.purge_entries({images[0].id, images[1].id}), 2);
    EXPECT_NE(GetFileAttributesW(inside.c_str()), INVALID_FILE_ATTRIBUTES) << "the user's own file stays";
    EXPECT_EQ(GetFileAttributesW(autosaved_path.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
