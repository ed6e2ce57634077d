#include "theme/app_icon.h"

#include <map>
#include <utility>

#include "core/winutil.h"

bool has_app_icon_resource(HINSTANCE module) {
    return FindResourceW(module, MAKEINTRESOURCEW(kAppIconResourceId), RT_GROUP_ICON) != nullptr;
}

HICON load_app_icon(HINSTANCE module, int width, int height) {
    if (has_app_icon_resource(module)) {
        HICON icon = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(kAppIconResourceId), IMAGE_ICON, width, height, LR_SHARED));
        if (icon) return icon;
    }
    // The drawn icons stay until the process ends, like shared ones.
    static std::map<int, raii::Icon> drawn;
    const int size = width > 0 ? width : 32;
    auto found = drawn.find(size);
    if (found != drawn.end()) return found->second.get();
    raii::Icon icon = winutil::make_fallback_icon(size);
    if (!icon) return nullptr;
    HICON raw = icon.get();
    drawn.emplace(size, std::move(icon));
    return raw;
}
