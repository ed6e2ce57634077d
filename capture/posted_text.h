// Texts that worker threads hand to the main window as a message's lParam.
//
// The sender allocates the text and keeps a note of the pointer; the
// receiver takes the text back by that pointer, which frees it. A message
// whose lParam this process did not hand out (another program can post the
// same message numbers) is recognised and ignored, and a text whose post
// failed is freed at once. Safe on any thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// Posts msg with wparam and a new heap copy of text as lParam to target.
// True when posted; when the window is gone or the post fails, the copy is
// freed and false returned.
bool post_text_message(HWND target, UINT msg, WPARAM wparam, const std::wstring& text);

// The text behind an lParam of post_text_message, freed here; none for an
// lParam that is not an outstanding text of this process.
std::optional<std::wstring> take_posted_text(LPARAM lparam);
