// What a paste leaves in a text box: the pasted text over the selection,
// cut to the room the limit leaves, and the caret after it.
#include "ui/text_box.h"

#include <gtest/gtest.h>

namespace {

TEST(PasteOverSelection, PutsThePasteOverTheSelectionWithinTheLimit) {
    struct Case {
        const char* what;
        std::wstring text;
        std::size_t start, end;
        std::wstring pasted;
        std::size_t limit;
        std::wstring result;
        std::size_t caret;
    } cases[] = {
        {"into an empty box", L"", 0, 0, L"abc", 0, L"abc", 3},
        {"at the caret", L"hello world", 5, 5, L",", 0, L"hello, world", 6},
        {"over the selection", L"hello world", 6, 11, L"there", 0, L"hello there", 11},
        {"ends in either order", L"hello world", 11, 6, L"there", 0, L"hello there", 11},
        {"ends past the text", L"abc", 2, 99, L"Z", 0, L"abZ", 3},
        {"at the end", L"abc", 3, 3, L"def", 0, L"abcdef", 6},
        {"as much as the limit leaves", L"abc", 1, 1, L"123456", 6, L"a123bc", 4},
        {"the selection's room counts", L"abcdef", 1, 5, L"123456", 6, L"a1234f", 5},
        {"no room: nothing pasted", L"abcdef", 3, 3, L"xyz", 6, L"abcdef", 3},
        {"a text already past the limit", L"abcdefgh", 2, 2, L"xyz", 6, L"abcdefgh", 2},
        {"exactly filling the limit", L"ab", 2, 2, L"cd", 4, L"abcd", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PastedText got = paste_over_selection(c.text, c.start, c.end, c.pasted, c.limit);
        EXPECT_EQ(got.text, c.result);
        EXPECT_EQ(got.caret, c.caret);
    }
}

}  // namespace
