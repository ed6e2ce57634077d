// Small geometry helpers of the windows: centring, fitting an image into a
// box, line counts, the entry hint's layout and list-box hit testing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// --- centring ----------------------------------------------------------------

// The top-left corner that centres a window of the size in the work area
// (integer division), raised to the work area's left and top edges.
POINT centered_origin(const RECT& work_area, int width, int height);

// Centres the window in the work area of the monitor nearest to the owner
// (to the window itself without an owner), or of the primary screen when
// no monitor information is available. Moves without resizing, activating
// or changing the z-order. Nothing for a null window.
void center_window(HWND window, HWND owner);

// --- fitting -------------------------------------------------------------------

struct FittedSize {
    int width;
    int height;
    bool operator==(const FittedSize&) const = default;
};

// The size shrunk to fit into max_width x max_height, keeping the aspect
// ratio; an image is never enlarged. Non-positive inputs count as 1. Exact
// in integers: the limiting side becomes its maximum, the other side the
// floor of its scaled value, at least 1 (79x79 into 42x42 gives 42x42).
FittedSize fit_size(int width, int height, int max_width, int max_height);

// The same, but a size smaller than the box is enlarged until one side
// meets its maximum (scale = the smaller of max_width / width and
// max_height / height, also exact in integers).
FittedSize scale_to_fit(int width, int height, int max_width, int max_height);

// --- text lines ----------------------------------------------------------------

// The number of pieces when the text is cut at LF; a final LF starts no new
// piece; at least 1.
int count_lines(const std::wstring& text);

// --- the entry hint's geometry ------------------------------------------------

struct HintLayout {
    int32_t width = 0;
    int32_t wrap_width = 0;
    int32_t meta_line_height = 0;
    int32_t meta_line_count = 0;
    int32_t content_height = 0;
    int32_t visible_body_height = 0;
    int32_t body_top = 0;
    int32_t body_bottom = 0;
    int32_t separator_y = 0;
    int32_t total_height = 0;
    bool scroll = false;
};

// The layout of a hint width pixels wide whose body is content_height high,
// under meta_lines meta lines of meta_line_height, at most max_height high.
HintLayout compute_hint_layout(int width, int content_height, int meta_lines, int meta_line_height, int max_height);

// --- list boxes ----------------------------------------------------------------

// The index of the item under the point (client coordinates), or -1 when
// no item's rectangle holds it or there is no list box.
int listbox_item_from_point(HWND list, POINT client_point);

// Deselects every item of a multiple-selection list box.
void listbox_clear_selection(HWND list);
