#include "ui/own_popups.h"

#include <algorithm>
#include <vector>

#include "core/winutil.h"

namespace {

// Never destroyed: a popup listed by a static object may leave the list
// after the end of main.
std::vector<OwnPopup*>& listed() {
    static auto* list = new std::vector<OwnPopup*>();
    return *list;
}

constexpr wchar_t kOwnerClass[] = L"QuilletPopupOwner";

}  // namespace

OwnPopup::OwnPopup(std::function<bool()> take_down) : take_down_(std::move(take_down)) { listed().push_back(this); }

OwnPopup::~OwnPopup() {
    auto& list = listed();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

bool take_down_own_popups() {
    bool shown = false;
    // A copy: taking one down may end the life of another (a menu level).
    const std::vector<OwnPopup*> now = listed();
    for (OwnPopup* popup : now) {
        const auto& list = listed();
        if (std::find(list.begin(), list.end(), popup) == list.end() || !popup->take_down_) continue;
        if (popup->take_down_()) shown = true;
    }
    return shown;
}

int own_popup_count() { return static_cast<int>(listed().size()); }

HWND popup_owner_window() {
    static HWND owner = nullptr;
    // Made again on the thread that asks (the owner and what it owns share
    // their thread's input).
    if (owner && IsWindow(owner) && GetWindowThreadProcessId(owner, nullptr) == GetCurrentThreadId()) return owner;
    owner = nullptr;
    if (!winutil::register_window_class(kOwnerClass, DefWindowProcW)) return nullptr;
    // A popup of no size that is never shown.
    owner = CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr),
                            nullptr);
    return owner;
}
