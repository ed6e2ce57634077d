// The program's popups (the entry hint, the menus, the quick menu, the
// tray balloon ...) in one list: each one that can be on screen is listed
// with the way it is taken down, and a screenshot takes down everything
// listed before it grabs the screen, so that none of them is in the image.
//
// Also the hidden window that owns the popups shown from a hotkey (the
// quick menu, the screenshot overlay): an owned window gets no taskbar
// button and no Alt+Tab entry on Windows, yet it can take the keyboard as
// an ordinary window does. The owner is never shown, so it is never
// minimised either, and what it owns shows whatever the main window does.
//
// Interface thread only.
#pragma once

#include <windows.h>

#include <functional>

// One listed popup for the lifetime of the object. The function takes the
// popup down and says whether it was on screen.
class OwnPopup {
public:
    explicit OwnPopup(std::function<bool()> take_down);
    ~OwnPopup();
    OwnPopup(const OwnPopup&) = delete;
    OwnPopup& operator=(const OwnPopup&) = delete;

private:
    std::function<bool()> take_down_;
    friend bool take_down_own_popups();
};

// Takes down every listed popup; true when any of them was on screen.
bool take_down_own_popups();

// The number of popups listed now.
int own_popup_count();

// The hidden owner window of the hotkey popups (class "QuilletPopupOwner"),
// made on first use; null when it cannot be made.
HWND popup_owner_window();
