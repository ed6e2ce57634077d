// Hotkey texts: parsing, printing and display names.
#include "app/hotkey_text.h"

#include <cwctype>

namespace {

constexpr unsigned kModAlt = 0x0001;
constexpr unsigned kModControl = 0x0002;
constexpr unsigned kModShift = 0x0004;
constexpr unsigned kModWin = 0x0008;

struct KeyWord {
    const wchar_t* name;
    unsigned key;
};

// Searched in this order when parsing; the first row with a key is its
// printed name.
const KeyWord kKeyWords[] = {
    {L"delete", 0x2E}, {L"backspace", 0x08}, {L"enter", 0x0D}, {L"esc", 0x1B},    {L"space", 0x20},    {L"tab", 0x09},
    {L"insert", 0x2D}, {L"home", 0x24},      {L"end", 0x23},   {L"pageup", 0x21}, {L"pagedown", 0x22}, {L"left", 0x25},
    {L"right", 0x27},  {L"up", 0x26},        {L"down", 0x28},  {L"prtscr", 0x2C}, {L"f1", 0x70},       {L"f2", 0x71},
    {L"f3", 0x72},     {L"f4", 0x73},        {L"f5", 0x74},    {L"f6", 0x75},     {L"f7", 0x76},       {L"f8", 0x77},
    {L"f9", 0x78},     {L"f10", 0x79},       {L"f11", 0x7A},   {L"f12", 0x7B},
};

// Accepted when reading only.
const KeyWord kInputOnlyWords[] = {
    {L"del", 0x2E},
    {L"escape", 0x1B},
    {L"print", 0x2C},
    {L"printscreen", 0x2C},
};

struct KeyDisplay {
    unsigned key;
    const wchar_t* name;
};

const KeyDisplay kDisplayNames[] = {
    {0x08, L"Backspace"}, {0x09, L"Tab"},    {0x0D, L"Enter"},  {0x20, L"Space"},  {0x21, L"PgUp"},
    {0x22, L"PgDn"},      {0x23, L"End"},    {0x24, L"Home"},   {0x25, L"\u2190"}, {0x26, L"\u2191"},
    {0x27, L"\u2192"},    {0x28, L"\u2193"}, {0x2C, L"PrtScr"}, {0x2D, L"Insert"}, {0x2E, L"Delete"},
};

std::wstring lower(const std::wstring& s) {
    std::wstring out = s;
    for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

unsigned key_of_word(const std::wstring& word) {
    for (const KeyWord& w : kKeyWords)
        if (word == w.name) return w.key;
    for (const KeyWord& w : kInputOnlyWords)
        if (word == w.name) return w.key;
    return 0;
}

const wchar_t* word_of_key(unsigned key) {
    for (const KeyWord& w : kKeyWords)
        if (w.key == key) return w.name;
    return nullptr;
}

}  // namespace

bool parse_hotkey(const std::wstring& text, unsigned& modifiers, unsigned& key) {
    modifiers = 0;
    key = 0;
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start < text.size()) {
        size_t plus = text.find(L'+', start);
        if (plus == std::wstring::npos) {
            parts.push_back(text.substr(start));
            break;
        }
        parts.push_back(text.substr(start, plus - start));
        start = plus + 1;
    }
    for (const std::wstring& raw : parts) {
        std::wstring part = lower(raw);
        if (part == L"ctrl" || part == L"control") {
            modifiers |= kModControl;
        } else if (part == L"shift") {
            modifiers |= kModShift;
        } else if (part == L"alt") {
            modifiers |= kModAlt;
        } else if (part == L"win") {
            modifiers |= kModWin;
        } else if (part.size() == 1) {
            wchar_t c = part[0];
            if (c >= L'a' && c <= L'z')
                key = static_cast<unsigned>(c - L'a' + 0x41);
            else if (c >= L'0' && c <= L'9')
                key = static_cast<unsigned>(c - L'0' + 0x30);
        } else if (part.size() > 1) {
            unsigned k = key_of_word(part);
            if (k != 0) key = k;
        }
    }
    return key != 0;
}

HotkeyBinding parse_hotkey(const std::wstring& text) {
    HotkeyBinding b;
    parse_hotkey(text, b.modifiers, b.key);
    return b;
}

std::wstring hotkey_to_string(unsigned modifiers, unsigned key) {
    std::wstring out;
    auto add = [&out](const std::wstring& part) {
        if (!out.empty()) out += L'+';
        out += part;
    };
    if (modifiers & kModControl) add(L"ctrl");
    if (modifiers & kModShift) add(L"shift");
    if (modifiers & kModAlt) add(L"alt");
    if (modifiers & kModWin) add(L"win");
    if (key >= 0x41 && key <= 0x5A) {
        add(std::wstring(1, static_cast<wchar_t>(L'a' + (key - 0x41))));
    } else if (key >= 0x30 && key <= 0x39) {
        add(std::wstring(1, static_cast<wchar_t>(L'0' + (key - 0x30))));
    } else if (const wchar_t* word = word_of_key(key)) {
        add(word);
    } else {
        add(L"??");
    }
    return out;
}

std::wstring key_name(unsigned key) {
    for (const KeyDisplay& d : kDisplayNames)
        if (d.key == key) return d.name;
    if ((key >= 0x30 && key <= 0x39) || (key >= 0x41 && key <= 0x5A)) return std::wstring(1, static_cast<wchar_t>(key));
    if (key >= 0x70 && key <= 0x7B) return L"F" + std::to_wstring(key - 0x70 + 1);
    if (const wchar_t* word = word_of_key(key)) return word;
    return L"??";
}

std::vector<std::wstring> hotkey_chips(unsigned modifiers, unsigned key) {
    std::vector<std::wstring> chips;
    if (modifiers & kModControl) chips.push_back(L"Ctrl");
    if (modifiers & kModShift) chips.push_back(L"Shift");
    if (modifiers & kModAlt) chips.push_back(L"Alt");
    if (modifiers & kModWin) chips.push_back(L"Win");
    if (key != 0) chips.push_back(key_name(key));
    return chips;
}

std::wstring hotkey_display_text(unsigned modifiers, unsigned key) {
    if (key == 0) return {};
    std::wstring out;
    for (const std::wstring& chip : hotkey_chips(modifiers, key)) {
        if (!out.empty()) out += L'+';
        out += chip;
    }
    return out;
}

bool is_modifier_key(unsigned key) {
    return (key >= 0x10 && key <= 0x12) || key == 0x5B || key == 0x5C || (key >= 0xA0 && key <= 0xA5);
}
