// The entry hint (window class "QuilletEntryHint"): a topmost popup beside
// the main window that is never activated and previews the single selected
// row of the cards list. A history entry or template shows its full text
// (word-wrapped, scrollable); an image entry its picture with a button that
// opens the view window. Under a dotted rule come the entry's source, page
// or link title, address and copy time; the address line offers open (web
// addresses only) and copy.
//
// The main window owns one EntryHint (its hint state) and drives it through
// its hint methods (ui/main_window.h, built in ui/entry_hint.cpp). While the
// hint is shown a low-level mouse hook hides it on a press outside the
// hint and outside the main window (a child control of the main window
// counts as the main window). The pure arithmetic below is used by those
// methods and tested without a window. Interface thread only.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "core/handles.h"
#include "store/records.h"
#include "theme/geometry.h"
#include "ui/text_layout.h"

class MainWindow;

// --- colours -----------------------------------------------------------------------

struct EntryHintColors {
    COLORREF panel;
    COLORREF border;      // panel outline and the dotted rule
    COLORREF body_text;
    COLORREF meta_text;
    COLORREF button_fill;
    COLORREF button_border;
    COLORREF track;
    COLORREF thumb;
};
const EntryHintColors& entry_hint_colors(bool dark);

// --- placement and sizes (pure) ---------------------------------------------------------

// Width limits and wrap width of the text.
inline constexpr int kHintWrapWidth = 340;
inline constexpr int kHintImageWidth = 340;
inline constexpr int kHintImageHeight = 200;
inline constexpr int kHintTextMaxHeight = 300;
inline constexpr int kHintImageMaxHeight = 380;

// The meta line height for a font of tmHeight tm: 20 below 12, else tm + 8.
int hint_meta_line_height(int tm_height);

// The hint's width: max(body width (at least 60), meta width) + 28, within 120..460.
int hint_width(int body_width, int meta_width);

// Where the hint goes for a main-window rectangle, the work area of its
// monitor and the wanted top y: left of the window with an 8-pixel gap;
// when that leaves the work area, right of it; with no room there either,
// 8 pixels inside the work area's left edge; then kept inside the work
// area (right and bottom 8 pixels in, never left of or above it).
POINT place_hint(const RECT& main_window, const RECT& work, int y, int width, int height);

// The top y of a hint level with a row: main-window top + the cards list's
// top (main-window client y) + the row's top in the list - 8.
int hint_row_y(int main_top, int list_top, int row_top);

// The y of a shown hint moved level with a row, keeping its height inside
// the work area (8 pixels above the bottom, never above the top).
int align_hint_y(int y, int height, const RECT& work);

// The scroll after a pixel delta: within 0..content - visible; 0 when the
// content fits.
int scroll_hint_by(int scroll, int delta, int content_height, int visible_height);

// The view button of an image preview: its rectangle in client
// coordinates, or an empty one when it does not fit into the body.
RECT hint_view_button_rect(int label_width, int tm_height, int body_top, int body_bottom, int left_limit,
                           int clip_right);

// The scroll bar's thumb (top and height) in a track of height u that
// starts at track_top, for the scroll position.
struct ScrollThumb {
    int top = 0;
    int height = 0;
};
ScrollThumb hint_scroll_thumb(int track_top, int u, int visible_height, int content_height, int scroll);

// --- texts (pure but for the language lookups) -------------------------------------------

// The body: the text's first kRowTextLimit units (one fewer when the cut
// would split a surrogate pair) with every CR made a blank (LF stays a
// line break), followed by "…" when the text was longer or goes_on says
// that it is only the start of a longer text.
std::wstring hint_body_text(const std::wstring& text, bool goes_on = false);

// The meta lines of a text entry, joined by LF: application (app is the
// display name or "—"), the page or link-title line, the address line and
// the copy time (created is formatted).
std::wstring hint_text_meta(const HistoryEntry& entry, const std::wstring& app, const std::wstring& address,
                            const std::wstring& created);

// The meta lines of an image entry: the tooltip lines of its card with a
// name line first when it has a custom title.
std::wstring hint_image_meta(const HistoryEntry& entry, const std::wstring& address, const std::wstring& created);

// --- the hint's previews ----------------------------------------------------------------

// The picture previews of image entries, kept for the few entries hinted
// last so that selecting an entry again makes no new picture. The cache
// owns the bitmaps; a preview that could not be made is remembered too.
class HintPreviewCache {
public:
    using Maker = std::function<HBITMAP(const std::vector<std::uint8_t>& image)>;
    // The default maker: winutil::image_thumbnail at 340 x 200, always scaled.
    HintPreviewCache();
    explicit HintPreviewCache(Maker maker, std::size_t capacity = 8);
    HintPreviewCache(const HintPreviewCache&) = delete;
    HintPreviewCache& operator=(const HintPreviewCache&) = delete;

    // The preview of the id; made from the bytes when there is none yet.
    HBITMAP get(std::int64_t id, const std::vector<std::uint8_t>& image);
    // Drops the previews of ids that are not listed.
    void prune(const std::vector<std::int64_t>& listed_ids);
    void clear() { items_.clear(); }
    std::size_t size() const { return items_.size(); }
    std::size_t made_count() const { return made_; }

private:
    struct Item {
        std::int64_t id;
        raii::Bitmap bitmap;
    };
    Maker maker_;
    std::size_t capacity_;
    std::list<Item> items_;   // most recently used first
    std::size_t made_ = 0;
};

// --- the hint's state ---------------------------------------------------------------------

// The pens and brushes of the hint's painting, made once per theme.
struct HintPaintTools {
    bool made = false;
    bool dark = false;
    raii::Brush panel;
    raii::Brush button_fill;
    raii::Brush track;
    raii::Brush thumb;
    raii::Pen border;
    raii::Pen rule;
    raii::Pen button_border;
    void make(bool dark_theme);
};

struct EntryHint {
    bool shown = false;
    // A menu or the view window opened from the hint is running: the mouse
    // hook leaves the hint alone meanwhile.
    bool busy = false;
    // The signed row key of the shown row: an entry id above 0, minus a
    // template id below 0; 0 for none.
    std::int64_t hinted_key = 0;
    // The selection the hint was hidden for on purpose (a press outside, a
    // screenshot), 0 for none: while that row stays the one selected, no
    // refresh, capture or activation brings the hint back; a selection of
    // the user's does.
    std::int64_t hidden_key = 0;
    int scroll = 0;
    int wheel_remainder = 0;
    std::wstring body;
    std::wstring meta;
    std::wstring address;
    std::wstring window_text;
    HBITMAP bitmap = nullptr;   // borrowed from the previews; null for none
    SIZE bitmap_size{};
    HintLayout layout;
    RECT address_rect{};
    RECT view_button_rect{};
    raii::Hook mouse_hook;
    // The body's display lines, wrapped at lines_width in lines_font; a
    // width of -1 wraps them again at the next use (a new body).
    FontWidths widths;
    std::vector<TextLine> lines;
    int lines_width = -1;
    HFONT lines_font = nullptr;
    HintPreviewCache previews;
    HintPaintTools tools;

    // The body's lines wrapped at the width in the font.
    const std::vector<TextLine>& body_lines(HFONT font, int width);
    // The body's height wrapped at the width (at least minimum), and the
    // width of its widest line wrapped at kHintWrapWidth.
    int body_height(HFONT font, int width, int minimum);
    int body_wrapped_width(HFONT font);

    // Draws the hint of the main window into the DC over the client rectangle.
    static void paint(MainWindow& owner, HDC dc, const RECT& rc);
};

// The cards list's timer of a selection the program changed.
inline constexpr UINT_PTR kHintSelectionTimer = 19525;

// The hook procedure and the popup's subclass procedure (subclass id 3,
// reference data: the MainWindow).
LRESULT CALLBACK entry_hint_mouse_hook(int code, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK entry_hint_subclass_proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

// Whether a press at a screen point hides the hint: outside the hint's
// rectangle, the hint not busy, and the top-level window under the point
// neither the main window nor the hint.
bool hint_hides_on_press(POINT screen, HWND hint, HWND main_window, bool busy);
