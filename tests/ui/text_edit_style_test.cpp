// The style a multi-line edit box gets for a text's length: word wrap up to
// the limit, sideways scrolling with a horizontal scroll bar above it.
#include "ui/text_edit_style.h"

#include <gtest/gtest.h>

namespace {

TEST(TextEditStyle, WrapsUpToTheLimitAndScrollsSidewaysAbove) {
    constexpr DWORD kSideways = ES_AUTOHSCROLL | WS_HSCROLL;
    struct Case {
        std::size_t length;
        DWORD style;
    } cases[] = {
        {0, 0},
        {1, 0},
        {kWrappedTextLimit - 1, 0},
        {kWrappedTextLimit, 0},
        {kWrappedTextLimit + 1, kSideways},
        {50000, kSideways},
        {400000, kSideways},
        {std::size_t{1} << 31, kSideways},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(multiline_wrap_style(c.length), c.style);
        EXPECT_EQ(wraps_words(multiline_wrap_style(c.length)), c.style == 0);
    }
    EXPECT_EQ(kWrappedTextLimit, 6000u);
}

}  // namespace
