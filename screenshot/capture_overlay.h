// The capture overlay: a full-screen window over a frozen copy of the
// screen where the user picks a region and annotates it before it becomes
// a screenshot.
//
// The model (selection, tools, annotations, undo and redo, keys and toolbar
// commands, the final image) works on plain values: without a window every
// entry point still updates the state, and only the repaint, the mouse
// capture and the text box need the window. Client coordinates of the
// window equal grab coordinates (0,0 is the grab's top-left pixel).
//
// Interface thread only; run_capture runs its own message loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/handles.h"
#include "screenshot/screen_grab.h"

// A rectangle as position and size.
struct Box {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t w = 0;
    std::int32_t h = 0;
    bool operator==(const Box&) const = default;
};

// Annotation types.
enum : std::uint32_t {
    kAnnArrow = 0,
    kAnnPencil = 1,
    kAnnLine = 2,
    kAnnRectangle = 3,
    kAnnText = 4,
    kAnnMarker = 5,
    kAnnBlur = 6,
};

// Tools.
enum : int {
    kToolMove = 0,
    kToolArrow = 1,
    kToolPencil = 2,
    kToolLine = 3,
    kToolRectangle = 4,
    kToolText = 5,
    kToolMarker = 6,
    kToolBlur = 7,
};

// Toolbar button ids besides the tools (1..8) and swatches (13..21).
enum : int {
    kTbUndo = 9,
    kTbRedo = 10,
    kTbThinner = 11,
    kTbThicker = 12,
    kTbFirstSwatch = 13,
    kTbDone = 100,
    kTbCopy = 101,
    kTbSave = 102,
    kTbCancel = 103,
};

// Result actions.
enum : int { kActionNone = 0, kActionDone = 1, kActionCopy = 2, kActionSave = 3 };

struct Annotation {
    std::uint32_t type = kAnnArrow;
    std::vector<POINT> points;  // arrow, line: first and last point; pencil: the stroke
    COLORREF colour = 0;
    std::int32_t thickness = 3;
    std::wstring text;
    std::int32_t number = 0;
    std::int32_t x = 0, y = 0, w = 0, h = 0;  // rectangle, text, marker, blur
};

// The drawn annotations (oldest first) and the undone ones (most recently
// undone last).
struct AnnotationList {
    std::vector<Annotation> items;
    std::vector<Annotation> undone;
    // Appends and clears the undone ones.
    void push(const Annotation& a);
    // The last drawn one moves to the undone ones.
    void undo();
    // The most recently undone one is drawn again.
    void redo();
};

struct CaptureResult {
    bool ok = false;
    std::vector<std::uint8_t> png;  // the selection with its annotations
    std::int32_t width = 0;
    std::int32_t height = 0;
    COLORREF colour = 0;  // the tool colour and thickness at the end
    std::int32_t thickness = 3;
    std::int32_t action = kActionNone;
};

// The nine swatch colours of the toolbar, in order.
inline constexpr COLORREF kSwatchColours[9] = {0x4646E6, 0x288CF2, 0x00C2F5, 0x43A02E, 0xE8A400,
                                               0xCC6600, 0xB339C2, 0xFFFFFF, 0x141414};
inline constexpr COLORREF kDefaultToolColour = 0x4646E6;
inline constexpr int kMinThickness = 1;
inline constexpr int kMaxThickness = 24;
inline constexpr int kHandleTolerance = 7;

// --- geometry -------------------------------------------------------------------------
// r moved inside the bounds, shrunk only when larger than them.
Box clamp_rect(const Box& r, const Box& bounds);
// The rectangle spanned by two points; with square both sides take the longer.
Box rect_from_points(POINT a, POINT b, bool square);
bool rect_contains(const Box& r, POINT p);
// The handle of r under p: 1 top-left, 2 top, 3 top-right, 4 right,
// 5 bottom-right, 6 bottom, 7 bottom-left, 8 left; 0 for none. The right and
// bottom edge lines are x + w and y + h.
int hit_test_handles(const Box& r, POINT p, int tolerance = kHandleTolerance);
// The colour the overlay starts with for a stored setting: its low 24 bits,
// the default red for 0 or a negative value.
COLORREF initial_tool_colour(int setting);
// The thickness the overlay starts with: limited to 1..24, 1 for 0 or less.
int initial_thickness(int setting);

struct ToolbarButton {
    RECT rect{};
    int id = 0;
    std::wstring tip;
};

class CaptureOverlay {
public:
    CaptureOverlay() = default;
    ~CaptureOverlay();
    CaptureOverlay(const CaptureOverlay&) = delete;
    CaptureOverlay& operator=(const CaptureOverlay&) = delete;

    // Sets the overlay up for the grab without a window (run_capture does
    // this first): bounds, theme, editor, the initial selection when it has
    // a positive size, colour and thickness.
    void prepare(const ScreenGrab& grab, bool dark, bool show_editor, const Box* initial, int colour,
                 int thickness);

    // ---- input (the window procedure calls these) ---------------------------
    void on_mouse_down(POINT p);
    void on_mouse_move(POINT p, bool shift);
    void on_mouse_up(POINT p);
    void on_mouse_wheel(int delta);
    void on_key_down(UINT vk, bool ctrl, bool shift);
    void on_toolbar_command(int index);

    // Renders the selection with its annotations into result and closes;
    // false (the overlay stays open) without a selection or when the image
    // cannot be made. An open text box is committed first.
    bool finish(int action);
    // Cancels an open text box and destroys the window.
    void close();
    void set_tool(int t);

    // ---- text tool ------------------------------------------------------------
    void open_text_box(POINT p);
    void commit_text_box();
    void cancel_text_box();
    // Pushes a text annotation at p, measured with the text font of the
    // current thickness; nothing for an empty text.
    void add_text_annotation(POINT p, const std::wstring& text);

    // ---- window and drawing (capture_window.cpp, capture_paint.cpp) ---------
    bool create_window();
    void paint_buffered(HDC hdc);
    void paint();
    void layout_toolbar();
    void draw_toolbar(HDC dc);
    void draw_annotation(HDC dc, const Annotation& a, int dx, int dy);
    int toolbar_hit_test(POINT p) const;
    void update_cursor(POINT p);
    void release_resources();
    // Where the size label of a selection and the tooltip of a button are
    // drawn (empty for no button or no tip).
    RECT size_label_rect_for(HDC dc, const Box& s) const;
    RECT tooltip_rect_for(HDC dc, int index) const;
    // The cursor update_cursor would set (a system cursor id).
    LPCWSTR cursor_for(POINT p) const;
    // The image of the selection with its committed annotations: a 32-bit
    // top-down bitmap (header and pixels); empty on failure.
    std::vector<std::uint8_t> render_selection();
    // The same image encoded as PNG; false when it cannot be made.
    bool render_png(std::vector<std::uint8_t>& png);

    // ---- state -----------------------------------------------------------------
    ScreenGrab grab;
    bool dark = false;
    bool show_editor = true;
    Box bounds;
    Box selection;
    bool selection_valid = false;
    int drag_mode = 0;  // 0 none, 1 new selection, 2 move, 3 resize
    int drag_handle = 0;
    POINT anchor{};
    Box drag_start;
    AnnotationList annotations;
    int marker_counter = 1;
    int tool = kToolArrow;
    COLORREF colour = kDefaultToolColour;
    int thickness = 3;
    bool drawing = false;
    Annotation current;

    HWND text_box = nullptr;
    POINT text_point{};
    raii::Font text_box_font;
    bool text_box_busy = false;

    std::vector<ToolbarButton> buttons;
    std::vector<int> separators;
    RECT toolbar_rect{};
    RECT thickness_rect{};
    RECT label_rect{};    // the size label as last painted (empty: none)
    RECT tooltip_rect{};  // the tooltip as last painted (empty: none)
    int hover_index = -1;
    int pressed_index = -1;
    bool toolbar_visible = false;

    CaptureResult result;
    // close() ran (with or without a window).
    bool closed = false;

    // ---- drawing resources ---------------------------------------------------
    // Each bitmap is declared before its selection guard, so the guard puts
    // the DC's own bitmap back before the bitmap is deleted.
    HINSTANCE hinstance = nullptr;
    HWND hwnd = nullptr;
    raii::MemoryDC back_dc;
    raii::Bitmap back_bitmap;
    raii::SelectGuard back_select;
    SIZE back_size{};
    raii::MemoryDC snapshot_dc;
    raii::Bitmap snapshot_bitmap;
    raii::SelectGuard snapshot_select;
    // The snapshot dimmed once: every paint starts from it.
    raii::MemoryDC dimmed_dc;
    raii::Bitmap dimmed_bitmap;
    raii::SelectGuard dimmed_select;
    raii::MemoryDC dim_dc;
    raii::Bitmap dim_bitmap;
    raii::SelectGuard dim_select;
    HDC blur_source = nullptr;
    // While a WM_PAINT is handled: the window's update region. Only those
    // pixels of the back buffer are drawn again; the rest still holds the
    // previous paint.
    HRGN paint_clip = nullptr;
    raii::Font label_font;
    raii::Font bold_font;
    raii::Font symbol_font;
    raii::Brush edit_brush;

private:
    void repaint();
    void start_annotation(POINT p);
    void place_marker(POINT p);
    void resize_selection(POINT p);
    void continue_annotation(POINT p, bool shift);
    void commit_current();
    // Draws the selection with its annotations into a section and hands
    // its top-down pixels (alpha 255) with the size to use.
    bool render_pixels(const std::function<bool(std::uint8_t*, int, int)>& use);
    bool make_fonts();
    bool make_snapshot();
    void make_dimmed();
    void draw_frame(HDC dc);
    // Invalidates what a change of the selection (and of the hovered
    // button) changes on the screen: where the selection was or is but not
    // both, the frames, handles, size labels, toolbars and tooltips of
    // before and after. Anything else repaints the whole overlay.
    void invalidate_selection_change(const Box& old_selection, bool old_valid, const RECT& old_label,
                                     const RECT& old_toolbar, const RECT& old_tooltip);
    void draw_hint(HDC dc);
    void draw_tooltip(HDC dc);
    void draw_tool_icon(HDC dc, const ToolbarButton& b, COLORREF glyph);
};

// Runs the overlay over the grab until the user finishes or cancels; the
// result is also copied into result_out. initial: the selection to start
// with, or null. A result with ok false when the window cannot be made.
CaptureResult run_capture(CaptureResult& result_out, CaptureOverlay& overlay, HINSTANCE instance,
                          const ScreenGrab& grab, bool dark, bool show_editor, const Box* initial, int colour,
                          int thickness);
