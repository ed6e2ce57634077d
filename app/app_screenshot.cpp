// The App's screenshot command: the screenshot command with the App's
// objects.
#include "app/app.h"
#include "app/tray_icon.h"
#include "ui/quick_menu.h"
#include "screenshot/screenshot_command.h"

void App::take_screenshot(int mode) {
    ScreenshotContext ctx;
    ctx.instance = instance;
    ctx.database = database.get();
    ctx.settings = settings.get();
    ctx.main_window = main_window.get();
    ctx.watcher = watcher.get();
    ctx.capture_category = capture_category;
    ctx.busy = &screenshot_busy;
    ctx.balloon = [this](const std::wstring& title, const std::wstring& text) {
        if (tray_icon) tray_icon->show_balloon(title, text);
    };
    // The quick menu shows entry texts: never in the grab.
    if (!screenshot_busy && quick_menu) quick_menu->hide();
    ::take_screenshot(ctx, mode);
}
