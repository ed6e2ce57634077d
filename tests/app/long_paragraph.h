// A long text of words in one paragraph, with no line break: the worst
// case of a word-wrapping edit box.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace app_test {

// One paragraph of words with no line break (the worst case of a wrapping
// edit box), ending in a marker.
inline std::wstring long_paragraph(std::size_t units) {
    std::wstring text;
    text.reserve(units + 16);
    std::uint32_t x = 7;
    while (text.size() < units) {
        x = x * 1103515245u + 12345u;
        const int len = 2 + static_cast<int>((x >> 16) % 9);
        for (int i = 0; i < len; ++i) text += static_cast<wchar_t>(L'a' + ((x >> (i + 3)) % 26));
        text += L' ';
    }
    text.resize(units - 11);
    text += L" END-MARKER";
    return text;
}

}  // namespace app_test
