// The multi-line text box of the program's editors (the input box, the
// template editor's text). A text of up to kWrappedTextLimit characters is
// word-wrapped in an edit box of the window's own thread; a longer one
// scrolls sideways in an edit box with a thread of its own
// (ui/threaded_edit.h), so that no text makes the program wait for its
// layout.
//
// A paste that would take a word-wrapped box past that size (Ctrl+V,
// Shift+Insert, Paste in the box's menu, WM_PASTE) would take Wine's
// word-wrapped edit box minutes to lay out. Such a paste makes a sideways
// box in its place instead (same id, place, font, colours and limit),
// holding the text with the paste and the caret after it; the new box
// takes the keyboard when the old one had it. A text that grows past that
// size by typing (or EM_REPLACESEL, or an undo) moves to a sideways box
// the same way. The old box's undo goes with it.
//
// Interface thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "ui/threaded_edit.h"

// Makes the box over the text. `options.style` holds the box's own styles
// without the wrapping ones, which follow the text's length; the font must
// outlive the box.
HWND make_text_box(HWND parent, const std::wstring& text, const ThreadedEditOptions& options);

// What a paste leaves in a box: the clipboard's text put over the
// selection [start, end) (its ends in either order, clamped to the text),
// no more of it than the limit leaves room for (0: no limit), and the
// caret after what was put in.
struct PastedText {
    std::wstring text;
    std::size_t caret = 0;
};
PastedText paste_over_selection(const std::wstring& text, std::size_t start, std::size_t end,
                                const std::wstring& pasted, std::size_t limit);
