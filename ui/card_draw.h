// Drawing of the owner-drawn rows of the main window's two lists: the
// cards of the cards list (list box 101: text entries, image entries with
// their thumbnail, templates and group headers) and the rows of the side
// panel (list box 103), in the light and the dark theme. The numbers of
// the layout, the card's meta line and the day difference behind "today"
// and "yesterday" are pure functions.
//
// How the main window uses it (interface thread):
//   WM_MEASUREITEM: cards list card_row_height(&model, itemID), side list
//                   kSideRowHeight;
//   WM_DRAWITEM:    cards list draw_cards_item(*dis, context) with a
//                   CardListContext filled from the window's state; side
//                   list draw_side_item(*dis, panel, dark).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "store/records.h"

class ListModel;
class SidePanel;
class ThumbnailCache;

// --- dates ---------------------------------------------------------------------

struct CivilDate {
    int year = 0, month = 0, day = 0;
};

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t days_from_civil(int year, int month, int day);

// Calendar days from `from` to `to` (1 when `from` is the day before `to`,
// across month and year ends); none when either date is not a real date.
std::optional<std::int64_t> calendar_day_difference(const CivilDate& from, const CivilDate& to);

// The local date now.
CivilDate today_local();

// --- the meta line of a history card ------------------------------------------------

struct CardMetaInput {
    std::int32_t view_kind = 0;
    int position = 0;                       // among the listed entries, from 1; 0 when unknown
    bool show_category = true;              // Settings show_category
    bool show_time = true;                  // MainWindow show_time
    const std::wstring* category_name = nullptr;  // the entry's category name, when known
    std::wstring created_at;
    CivilDate today;
};

// Slot hotkey in the slots view ("Ctrl+Shift+" and the position for the
// first nine), "[name] " in the "all" view, then the time: tr_format
// "time.today" or "time.yesterday" (hour, minute) for 0 and 1 calendar days
// back, else "%02d.%02d %02d:%02d" (day, month, hour, minute); trailing
// blanks removed.
std::wstring format_card_meta(const CardMetaInput& in);

// Options of the card drawing that come from the window and the settings.
struct CardOptions {
    bool dark = false;
    bool show_time = true;       // MainWindow show_time
    bool show_category = true;   // Settings show_category
    CivilDate today;             // today_local() at the time of drawing
};

// format_card_meta of a listed entry of the model; empty when the id is not
// among the listed entries.
std::wstring format_card_meta(const ListModel& model, std::int64_t id, const CardOptions& options);

// The title of an image card: the custom title; else the card source lines
// (card_info_text) when the entry is a browser page or has a source title;
// else tr_format "card.screenshot" with format_created_at of its time.
std::wstring entry_display_name(const HistoryEntry& entry);

// --- colours -------------------------------------------------------------------

struct CardColors {
    COLORREF row_background;
    COLORREF card_fill;
    COLORREF card_selected;
    COLORREF main_text;
    COLORREF secondary_text;
    COLORREF thumbnail_frame;
    COLORREF thumbnail_empty;
    COLORREF side_background;
    COLORREF side_selected;
    COLORREF button_background;
};
const CardColors& card_colors(bool dark);

// Every text of a selected row is white.
inline constexpr COLORREF kSelectedTextColor = 0xFFFFFF;

// --- layout (pure) ---------------------------------------------------------------

inline constexpr int kSideRowHeight = 28;
inline constexpr int kHeaderRowHeight = 28;
inline constexpr int kTallRowHeight = 66;
inline constexpr int kTextRowHeight = 30;
inline constexpr int kThumbnailSize = 42;

// 28 for a group header ("GRP\t"), 66 for an image row or a text holding an
// LF (templates), else 30.
int card_row_height(const std::wstring& row_text, bool image_row);
// The same for a row of the model; 30 for index -1 or no model.
int card_row_height(const ListModel* model, int index);

// The rounded card inside the row: two pixels in on every side.
RECT card_shape_rect(const RECT& row);

struct HeaderLayout {
    RECT arrow, name, count;
};
HeaderLayout group_header_layout(const RECT& row);

struct TemplateLayout {
    RECT title, body;
};
// in_group: listed under a group header (else 14 pixels further left).
// The title is 20 high, or the font's line height when taller; the body
// starts one pixel above the title's end.
TemplateLayout template_card_layout(const RECT& row, bool in_group, int font_height = 0);

struct ImageCardLayout {
    RECT frame;    // 44 x 44, vertically centred
    RECT inside;   // its 42 x 42 inside
    RECT line1, line2, meta;
};
ImageCardLayout image_card_layout(const RECT& row);
// The same for a font of the line height and a meta text of the measured
// width (negative: none): line 1 is 18 high or the line height, the meta
// line 15 high or the line height at the bottom, line 2 between them.
// When line 2 has less than one line of room there, it shares the meta
// line's band instead and ends 8 pixels before the meta text.
ImageCardLayout image_card_layout(const RECT& row, int font_height, int meta_width);

// Where a thumbnail of the size goes: centred in the inside at
// min(width, 42) x min(height, 42).
RECT thumbnail_rect(const RECT& inside, int bitmap_width, int bitmap_height);

struct TextCardLayout {
    RECT text;
    RECT meta;     // empty without meta
};
// meta_width: the measured width of the meta text, or a negative value
// when there is none.
TextCardLayout text_card_layout(const RECT& row, int meta_width);

// How far the label of a template group's row starts right of the others.
inline constexpr int kSideRowIndent = 12;
struct SideRowLayout {
    RECT highlight, icon, label;
};
SideRowLayout side_row_layout(const RECT& row, bool indented);

// --- painters --------------------------------------------------------------------

// One row's drawing surface and state.
struct CardPaint {
    HDC dc = nullptr;
    RECT rc{};
    bool selected = false;
    bool dark = false;
    HFONT font = nullptr;   // the list's font; DEFAULT_GUI_FONT when null
};

// Row background and the rounded card.
void draw_card_background(const CardPaint& p);
// "▾", the bold name and the count (or "(пусто)" for 0).
void draw_group_header(const CardPaint& p, const std::wstring& name, int count);
// The row text split at its first LF into a bold title and a wrapped body.
void draw_template_card(const CardPaint& p, const std::wstring& row_text, bool in_group);
// Frame, thumbnail (or a "?" box without one), the display name's two
// lines after the pin marker when pinned, and the meta line when not empty.
void draw_image_card(const CardPaint& p, HBITMAP thumbnail, const std::wstring& display_name, bool pinned,
                     const std::wstring& meta);
// The row text (marker included) and the meta text right-aligned.
void draw_text_card(const CardPaint& p, const std::wstring& row_text, const std::wstring& meta);

// Everything the cards list's drawing needs from the main window.
struct CardListContext {
    const ListModel* model = nullptr;
    ThumbnailCache* thumbnails = nullptr;
    CardOptions options;
};

// WM_DRAWITEM of the cards list: reads the row's text and item data from
// the list box and draws the whole row (background, card, content).
void draw_cards_item(const DRAWITEMSTRUCT& dis, const CardListContext& context);

// A side-panel row: background, the selection bar, icon and label.
void draw_side_row(const CardPaint& p, const std::wstring& text, bool indented);

// WM_DRAWITEM of the side list.
void draw_side_item(const DRAWITEMSTRUCT& dis, const SidePanel& panel, bool dark);
