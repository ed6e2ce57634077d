// The one command behind every screenshot: hides the main window, grabs
// the virtual screen, runs the capture overlay and files the result as a
// PNG file, a history entry and, on request, the clipboard's image.
//
// Interface thread; the overlay's loop nests inside the caller.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class Database;
struct Settings;
class MainWindow;
class ClipboardWatcher;

// Screenshot modes.
enum : int { kShotRegion = 0, kShotWindow = 1, kShotFullScreen = 2 };

// What the command works with; the App fills it in.
struct ScreenshotContext {
    HINSTANCE instance = nullptr;
    Database* database = nullptr;
    Settings* settings = nullptr;
    MainWindow* main_window = nullptr;
    ClipboardWatcher* watcher = nullptr;
    std::optional<std::int64_t> capture_category;
    bool* busy = nullptr;  // blocks a second screenshot while one runs
    // A tray balloon (title, text).
    std::function<void(const std::wstring&, const std::wstring&)> balloon;
};

// The selection a mode starts with inside a grab of that size and origin:
// none for a region, the whole grab for the full screen, and for a window
// its rectangle (virtual-screen coordinates) moved inside the grab; none
// when the rectangle is empty.
struct InitialSelection {
    bool has = false;
    std::int32_t x = 0, y = 0, w = 0, h = 0;
};
InitialSelection initial_selection(int mode, const RECT& window, std::int32_t grab_left, std::int32_t grab_top,
                                   std::int32_t grab_width, std::int32_t grab_height);

// The file name of this program's executable ("Quillet.exe" when it cannot
// be read).
std::wstring own_executable_name();

void take_screenshot(ScreenshotContext& ctx, int mode);
