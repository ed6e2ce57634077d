// Which keys the main window answers itself.
#include "ui/main_window_keys.h"

#include <windows.h>

MainKeyAction main_key_action(unsigned virtual_key, bool ctrl, bool shift, bool alt) {
    if (alt) return MainKeyAction::None;
    if (virtual_key == VK_ESCAPE && !ctrl) return MainKeyAction::Hide;
    if (virtual_key == 'F' && ctrl && !shift) return MainKeyAction::FocusSearch;
    return MainKeyAction::None;
}
