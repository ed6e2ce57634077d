// How a multi-line edit box shows a text of a given length. A word-wrapped
// edit box lays a paragraph out in time that grows with the square of its
// length under Wine (a 200,000-character paragraph takes over a minute),
// while one that scrolls sideways is linear; Windows is fast either way.
// Short texts wrap at the box's edge; longer ones keep their lines and
// scroll sideways, so that every text the program holds opens at once.
#pragma once

#include <windows.h>

#include <cstddef>

// The longest text that is word-wrapped (it lays out in well under a
// tenth of a second).
inline constexpr std::size_t kWrappedTextLimit = 6000;

// The style bits a multi-line edit box adds for a text of that many
// characters: none (word wrap) up to the limit, above it a horizontal
// scroll bar and sideways scrolling (no word wrap).
DWORD multiline_wrap_style(std::size_t length);

// True for a text whose box is made and filled on a thread of its own
// (the texts that scroll sideways): their layout takes long enough to be
// felt, for the filling and again for each key typed.
inline bool lays_out_slowly(std::size_t length) { return length > kWrappedTextLimit; }

// True when the style wraps words (ES_AUTOHSCROLL absent).
inline bool wraps_words(DWORD style) { return (style & ES_AUTOHSCROLL) == 0; }
