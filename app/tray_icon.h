// The notification-area icon of the main window, its balloons and its menu.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/own_popups.h"
#include "ui/popup_menu.h"

class App;

// The text cut to max_chars characters (never between the halves of a
// surrogate pair), with "…" appended when it was longer.
std::wstring shorten_with_ellipsis(const std::wstring& text, size_t max_chars);

// The text cut to fit a field of `room` characters (never between the
// halves of a surrogate pair).
std::wstring fit_balloon_field(const std::wstring& text, size_t room);

inline constexpr size_t kBalloonTitleRoom = 63;
inline constexpr size_t kBalloonTextRoom = 255;

class TrayIcon {
public:
    // Adds the icon (id 1) for the window; true when the shell took it.
    // Registers "TaskbarCreated" on the first call.
    bool add(HWND window, App* app);
    // Adds the icon again after the taskbar was re-created.
    bool add_again();
    void remove();
    // A balloon notice on the icon; nothing unless the icon was added.
    void show_balloon(const std::wstring& title, const std::wstring& text);
    // Takes down a balloon that may still show (the shell draws it, the
    // program has no window of it): true when one was shown and not yet
    // gone by the shell's word.
    bool take_down_balloon();

    // The registered "TaskbarCreated" message; 0 until the first add.
    static UINT taskbar_created_message();

    bool is_added() const { return added; }

    HWND window = nullptr;
    App* app = nullptr;
    bool added = false;

    // The last balloon shown and how many were shown (what the user saw).
    std::wstring last_balloon_title;
    std::wstring last_balloon_text;
    int balloons_shown = 0;
    // A balloon was shown and may still be on screen.
    bool balloon_up = false;
    // The balloon in the program's list of popups while the icon is added.
    std::unique_ptr<OwnPopup> listed;

private:
    bool notify_add();
};

// The tray icon's menu: open history, settings, clear history, snippets,
// screenshot, a separator and quit, with the kTray* command ids.
std::vector<PopupMenuItem> tray_menu_items();

// The tray icon's callback (WM_APP+1): the mouse message is in the low word
// of lParam.
void on_tray_notify(App& app, HWND window, LPARAM lparam);
