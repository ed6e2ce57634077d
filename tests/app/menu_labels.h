// Checks of the texts a menu or a box shows: a text that is empty or shaped
// like a language key ("action.paste") is a key the current language has no
// text for.
#pragma once

#include <string>
#include <vector>

#include "core/text.h"
#include "ui/popup_menu.h"

namespace menu_labels {

// Lower-case words (letters, digits, "_") joined by dots, at least two.
inline bool looks_like_key(const std::wstring& text) {
    if (text.empty() || text.front() == L'.' || text.back() == L'.') return false;
    bool dot = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'.') {
            if (text[i - 1] == L'.') return false;
            dot = true;
        } else if (!((c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'_')) {
            return false;
        }
    }
    return dot;
}

// Every label of the items and their submenus (separators left out) that is
// empty or looks like a key, each as "where: label".
inline void collect_untranslated(const std::vector<PopupMenuItem>& items, const std::string& where,
                                 std::vector<std::string>& found) {
    for (const PopupMenuItem& it : items) {
        if (it.separator) continue;
        if (it.label.empty() || looks_like_key(it.label)) found.push_back(where + ": \"" + to_utf8(it.label) + "\"");
        if (!it.children.empty()) collect_untranslated(it.children, where + " > " + to_utf8(it.label), found);
    }
}

inline std::vector<std::string> untranslated(const std::vector<PopupMenuItem>& items, const std::string& where) {
    std::vector<std::string> found;
    collect_untranslated(items, where, found);
    return found;
}

// All labels of the items and their submenus, separators left out.
inline void collect_labels(const std::vector<PopupMenuItem>& items, std::vector<std::wstring>& labels) {
    for (const PopupMenuItem& it : items) {
        if (it.separator) continue;
        labels.push_back(it.label);
        collect_labels(it.children, labels);
    }
}

}  // namespace menu_labels
