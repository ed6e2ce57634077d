#include "store/entry_rule.h"

std::size_t trimmed_text_units(std::string_view utf8, std::size_t cap) {
    std::size_t first = 0;
    std::size_t last = utf8.size();
    // The blanks are ASCII: UTF-8 holds them as the bytes themselves.
    while (first < last && is_entry_blank(static_cast<unsigned char>(utf8[first]))) {
        ++first;
    }
    while (last > first && is_entry_blank(static_cast<unsigned char>(utf8[last - 1]))) {
        --last;
    }
    std::size_t units = 0;
    for (std::size_t i = first; i < last && units < cap; ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0) == 0x80) {
            continue;  // a continuation byte
        }
        units += c >= 0xF0 ? 2 : 1;  // four bytes: a surrogate pair
    }
    return units < cap ? units : cap;
}
