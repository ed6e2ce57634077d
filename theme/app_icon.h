// The application's icon: icon resource 1 of the executable, or a drawn
// stand-in when the resource is missing.
#pragma once

#include <windows.h>

inline constexpr int kAppIconResourceId = 1;

// Icon resource 1 of the module at width x height, loaded shared; when the
// module has no such icon, a drawn icon of that size (winutil's fallback,
// with a proper transparency mask) that is made once per size and kept
// for the life of the process. Either way the caller must not destroy it.
// Null only when not even the drawn icon can be made.
HICON load_app_icon(HINSTANCE module, int width, int height);

// True when the module holds icon resource 1.
bool has_app_icon_resource(HINSTANCE module);
