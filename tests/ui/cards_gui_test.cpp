// Cards and side rows drawn for real: into a memory DC in both themes with
// pixel checks (and a PNG of both themes in the build folder), and in an
// owner-drawn list box of a window on the display, filled by the model,
// keeping its selection and top row across refreshes, with thumbnails made
// once however often it is painted.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "capture/dib.h"
#include "capture/image.h"
#include "core/i18n.h"
#include "tests/theme/gui_support.h"
#include "tests/theme/icon_cells.h"
#include "theme/fonts.h"
#include "ui/card_draw.h"
#include "ui/cards_list.h"
#include "ui/list_model.h"
#include "ui/side_panel.h"
#include "ui/thumbnail_cache.h"

namespace {

using gui_test::Canvas;

std::vector<std::uint8_t> solid_dib(std::uint32_t w, std::uint32_t h, COLORREF c) {
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 4);
    for (std::size_t i = 0; i < px.size(); i += 4) {
        px[i] = GetBValue(c);
        px[i + 1] = GetGValue(c);
        px[i + 2] = GetRValue(c);
        px[i + 3] = 0xFF;
    }
    return winutil::bottom_up_dib_from_bgra(px.data(), w, h);
}

std::wstring stamp_days_ago(int days, int hour, int minute) {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    ULARGE_INTEGER u{};
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    u.QuadPart -= static_cast<ULONGLONG>(days) * 24 * 3600 * 10000000ULL;
    ft.dwLowDateTime = u.LowPart;
    ft.dwHighDateTime = u.HighPart;
    FileTimeToSystemTime(&ft, &st);
    wchar_t buf[32];
    swprintf(buf, 32, L"%04d-%02d-%02dT%02d:%02d:00", st.wYear, st.wMonth, st.wDay, hour, minute);
    return buf;
}

HistoryEntry text_entry(std::int64_t id, const std::wstring& text, const std::wstring& created) {
    HistoryEntry e;
    e.id = id;
    e.text = text;
    e.created_at = created;
    return e;
}

// A hidden owner-drawn list box whose parent measures rows by the model.
class ListHost {
public:
    explicit ListHost(DWORD extra_style = 0, bool visible = false) {
        static bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.lpszClassName = L"QuilletCardsTestHost";
            return RegisterClassW(&wc) != 0;
        }();
        EXPECT_TRUE(registered);
        parent_ = CreateWindowExW(0, L"QuilletCardsTestHost", L"cards", WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0),
                                  40, 40, 640, 520, nullptr, nullptr, GetModuleHandleW(nullptr), this);
        SetWindowLongPtrW(parent_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        font_ = create_ui_font(14, 400);
        list = CreateWindowExW(0, L"LISTBOX", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS |
                                   LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | extra_style,
                               12, 12, 420, 460, parent_, reinterpret_cast<HMENU>(101), GetModuleHandleW(nullptr), nullptr);
        side = CreateWindowExW(0, L"LISTBOX", L"",
                               WS_CHILD | WS_VISIBLE | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                               444, 12, 170, 460, parent_, reinterpret_cast<HMENU>(103), GetModuleHandleW(nullptr), nullptr);
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        SendMessageW(side, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
    ~ListHost() {
        if (parent_) DestroyWindow(parent_);
    }
    void fill(const ListPosition& old = {}, bool same = false, bool top = false) {
        apply_rows_to_list(list, shown, model.rows(), old, same, top);
    }
    HWND window() const { return parent_; }

    ListModel model;
    std::vector<ListRow> shown;
    SidePanel panel;
    ThumbnailCache* thumbnails = nullptr;
    CardOptions options;
    HWND list = nullptr;
    HWND side = nullptr;
    int measured = 0;

private:
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<ListHost*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self && msg == WM_MEASUREITEM) {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            ++self->measured;
            mis->itemHeight = mis->CtlID == 103 ? kSideRowHeight
                                                : card_row_height(&self->model, static_cast<int>(mis->itemID));
            return TRUE;
        }
        if (self && msg == WM_DRAWITEM) {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            if (dis->CtlID == 103)
                draw_side_item(*dis, self->panel, self->options.dark);
            else
                draw_cards_item(*dis, CardListContext{&self->model, self->thumbnails, self->options});
            return TRUE;
        }
        return DefWindowProcW(w, msg, wp, lp);
    }
    HWND parent_ = nullptr;
    raii::Font font_;
};

// Draws every row of the host's list into the canvas at x, from y down;
// returns the rectangles used.
std::vector<RECT> draw_rows(ListHost& host, HDC dc, int x, int y, int width, int selected_row) {
    std::vector<RECT> rects;
    const int n = static_cast<int>(SendMessageW(host.list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        const int h = card_row_height(&host.model, i);
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_LISTBOX;
        dis.CtlID = 101;
        dis.itemID = static_cast<UINT>(i);
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = i == selected_row ? ODS_SELECTED : 0;
        dis.hwndItem = host.list;
        dis.hDC = dc;
        dis.rcItem = RECT{x, y, x + width, y + h};
        dis.itemData = static_cast<ULONG_PTR>(SendMessageW(host.list, LB_GETITEMDATA, i, 0));
        draw_cards_item(dis, CardListContext{&host.model, host.thumbnails, host.options});
        rects.push_back(dis.rcItem);
        y += h;
    }
    return rects;
}

// True when some pixel of the rectangle is the colour.
bool has_color(const Canvas& c, const RECT& r, COLORREF color) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (c.at(x, y) == color) return true;
    return false;
}

// The share of the rectangle's pixels that have the colour.
double share_of(const Canvas& c, const RECT& r, COLORREF color) {
    int n = 0, total = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x, ++total)
            if (c.at(x, y) == color) ++n;
    return total ? static_cast<double>(n) / total : 0.0;
}

// True when some pixel of the rectangle differs from the colour.
bool has_other_than(const Canvas& c, const RECT& r, COLORREF color) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (c.at(x, y) != color) return true;
    return false;
}

class Cards : public testing::Test {
protected:
    static void SetUpTestSuite() { set_language(L"en"); }

    // The history demo: text cards with and without meta, a pinned and a
    // kept one, an image with a thumbnail and one without.
    void history_model(ListHost& host) {
        std::vector<HistoryEntry> entries;
        HistoryEntry a = text_entry(1, L"Meeting notes for Monday & the agenda", stamp_days_ago(0, 9, 15));
        a.category_id = 5;
        entries.push_back(a);
        HistoryEntry p = text_entry(2, L"https://example.org/some/page", stamp_days_ago(1, 23, 59));
        p.effective_pinned = true;
        entries.push_back(p);
        HistoryEntry k = text_entry(3, L"A kept line\nwith a second line", L"2024-03-07T08:00:00");
        k.keep = true;
        entries.push_back(k);
        entries.push_back(text_entry(4, L"The selected entry", stamp_days_ago(0, 12, 0)));
        HistoryEntry img = text_entry(5, L"", stamp_days_ago(0, 10, 30));
        img.is_image = true;
        img.effective_pinned = true;
        img.custom_title = L"Whiteboard photo\nsecond line of the name";
        img.image = solid_dib(84, 63, RGB(220, 40, 40));
        entries.push_back(img);
        HistoryEntry broken = text_entry(6, L"", stamp_days_ago(3, 7, 0));
        broken.is_image = true;
        broken.image = {1, 2, 3, 4};
        entries.push_back(broken);
        host.model.set_history(ListView{}, L"", entries, {}, current_list_labels());
        Category c;
        c.id = 5;
        c.name = L"Work";
        host.model.set_categories({c});
        host.fill();
    }

    void templates_model(ListHost& host, const std::wstring& group) {
        Snippet s1;
        s1.id = 11;
        s1.title = L"Greeting";
        s1.text = L"Hello {user}, thank you for your message. I will answer tomorrow.";
        s1.grp = L"Mail";
        Snippet s2 = s1;
        s2.id = 12;
        s2.title = L"Signature";
        s2.text = L"Best regards";
        ListView v;
        v.templates_mode = true;
        v.group_filter = group;
        host.model.set_templates(v, L"", {s1, s2}, {L"Mail", L"Empty"}, current_list_labels());
        host.fill();
    }
};

TEST_F(Cards, BothThemesInAMemoryDC) {
    constexpr int kWidth = 420, kGap = 20, kHeight = 560;
    Canvas canvas(2 * kWidth + kGap, kHeight);
    canvas.fill(RGB(128, 128, 128));
    int made = 0;
    ThumbnailCache cache([&](const std::vector<std::uint8_t>& bytes, int size) -> HBITMAP {
        ++made;
        return winutil::image_thumbnail(bytes, size, size, false);
    });

    for (int theme = 0; theme < 2; ++theme) {
        const bool dark = theme == 1;
        const int x = theme * (kWidth + kGap);
        const CardColors& colors = card_colors(dark);
        ListHost history;
        history.thumbnails = &cache;
        history.options.dark = dark;
        history.options.today = today_local();
        history_model(history);
        std::vector<RECT> rows = draw_rows(history, canvas.dc(), x, 0, kWidth, 3);
        ASSERT_EQ(rows.size(), 6u);

        // Heights: text 30, the kept line's breaks became blanks, images 66.
        EXPECT_EQ(rows[2].bottom - rows[2].top, 30);
        EXPECT_EQ(rows[4].bottom - rows[4].top, 66);

        // Row background outside the rounded card, card fill inside it.
        EXPECT_EQ(canvas.at(x + 0, rows[0].top), colors.row_background);
        EXPECT_EQ(canvas.at(x + 6, (rows[0].top + rows[0].bottom) / 2), colors.card_fill);
        EXPECT_EQ(canvas.at(x + kWidth - 1, rows[1].bottom - 1), colors.row_background);
        // The selected card and its white text.
        const RECT sel = rows[3];
        EXPECT_EQ(canvas.at(x + 6, (sel.top + sel.bottom) / 2), colors.card_selected);
        EXPECT_TRUE(has_color(canvas, RECT{x + 12, sel.top + 4, x + 200, sel.bottom - 4}, kSelectedTextColor));
        // Text was drawn on the unselected cards, left and (meta) right.
        EXPECT_TRUE(has_other_than(canvas, RECT{x + 12, rows[0].top + 4, x + 200, rows[0].bottom - 4}, colors.card_fill));
        EXPECT_TRUE(has_other_than(canvas, RECT{x + kWidth - 80, rows[0].top + 4, x + kWidth - 8, rows[0].bottom - 4},
                                   colors.card_fill));
        EXPECT_FALSE(has_color(canvas, RECT{x + 12, rows[0].top + 4, x + 200, rows[0].bottom - 4}, kSelectedTextColor));

        // Image card: frame, the red thumbnail centred, the "?" box.
        const ImageCardLayout img = image_card_layout(rows[4]);
        EXPECT_EQ(canvas.at(img.frame.left + 22, img.frame.top), colors.thumbnail_frame);
        EXPECT_EQ(canvas.at((img.inside.left + img.inside.right) / 2, (img.inside.top + img.inside.bottom) / 2),
                  RGB(220, 40, 40));
        // 84 x 63 fits as 42 x 31: the strips above and below keep the card fill.
        EXPECT_EQ(canvas.at(img.inside.left + 5, img.inside.top + 2), colors.card_fill);
        const ImageCardLayout none = image_card_layout(rows[5]);
        EXPECT_EQ(canvas.at(none.inside.left + 2, none.inside.top + 2), colors.thumbnail_empty);
        EXPECT_TRUE(has_other_than(canvas, none.inside, colors.thumbnail_empty));  // the "?"

        // Templates under a group header, and an empty group's header.
        ListHost tpl;
        tpl.options.dark = dark;
        templates_model(tpl, L"Mail");
        std::vector<RECT> trows = draw_rows(tpl, canvas.dc(), x, rows.back().bottom + 10, kWidth, -1);
        ASSERT_EQ(trows.size(), 3u);
        EXPECT_EQ(trows[0].bottom - trows[0].top, 28);
        EXPECT_EQ(trows[1].bottom - trows[1].top, 66);
        const TemplateLayout tl = template_card_layout(trows[1], true);
        EXPECT_TRUE(has_other_than(canvas, tl.title, colors.card_fill));
        EXPECT_TRUE(has_other_than(canvas, tl.body, colors.card_fill));
        ListHost empty;
        empty.options.dark = dark;
        templates_model(empty, L"Empty");
        std::vector<RECT> erows = draw_rows(empty, canvas.dc(), x, trows.back().bottom + 10, kWidth, -1);
        ASSERT_EQ(erows.size(), 1u);
        const HeaderLayout hl = group_header_layout(erows[0]);
        EXPECT_TRUE(has_other_than(canvas, hl.count, colors.card_fill));  // "(пусто)"

        // Side rows: one plain, one selected, one indented group.
        SidePanelInput in;
        in.templates_collapsed = false;
        in.groups = {L"Mail"};
        history.panel.set_rows(build_side_rows(in, current_side_labels()));
        int y = erows.back().bottom + 10;
        for (int i : {0, 1, 6}) {
            CardPaint p{canvas.dc(), RECT{x, y, x + 180, y + kSideRowHeight}, i == 1, dark, nullptr};
            const SidePanelRow* row = history.panel.row(i);
            ASSERT_NE(row, nullptr);
            draw_side_row(p, row->text, side_row_indented(*row));
            if (i == 0) {
                EXPECT_EQ(canvas.at(x + 1, y + 1), colors.side_background);
            } else if (i == 1) {
                EXPECT_EQ(canvas.at(x + 1, y + 1), colors.side_background);
                EXPECT_EQ(canvas.at(x + 5, y + 14), colors.side_selected);
            }
            // The label is text on the row's own colour, not on a box of its own.
            const SideRowLayout sl = side_row_layout(p.rc, side_row_indented(*row));
            const COLORREF under = i == 1 ? colors.side_selected : colors.side_background;
            EXPECT_GT(share_of(canvas, sl.label, under), 0.6) << i;
            EXPECT_TRUE(has_other_than(canvas, sl.label, under)) << i;
            y += kSideRowHeight;
        }
    }
    // One thumbnail per image entry, whichever theme drew it.
    EXPECT_EQ(made, 2);
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_TRUE(gui_test::save_png(canvas.pixels(), L"cards_light_dark.png"));
}

TEST_F(Cards, ListBoxFilledByTheModel) {
    int made = 0;
    ThumbnailCache cache([&](const std::vector<std::uint8_t>& bytes, int size) -> HBITMAP {
        ++made;
        return winutil::image_thumbnail(bytes, size, size, false);
    });
    ListHost host(0, true);
    host.thumbnails = &cache;
    host.options.today = today_local();
    host.model.set_history(ListView{}, L"", {}, {}, current_list_labels());
    SidePanelInput in;
    in.categories = {Category{5, L"Work", true, 1}};
    host.panel.set_rows(build_side_rows(in, current_side_labels()));
    host.panel.fill(host.side);
    SendMessageW(host.side, LB_SETCURSEL, side_selection_row(host.panel.rows(), ListView{}), 0);
    history_model(host);
    ASSERT_EQ(SendMessageW(host.list, LB_GETCOUNT, 0, 0), 6);

    // Every row was measured by the model while it was added.
    const int expected_heights[] = {30, 30, 30, 30, 66, 66};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(SendMessageW(host.list, LB_GETITEMHEIGHT, i, 0), expected_heights[i]) << i;
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(static_cast<std::int64_t>(SendMessageW(host.list, LB_GETITEMDATA, i, 0)), host.model.rows()[i].key);

    // Painting many times makes each thumbnail once.
    for (int i = 0; i < 5; ++i) RedrawWindow(host.list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(made, 2);

    // Selection and top row survive a refresh of the same view.
    list_select_keys(host.list, {2, 4});
    SendMessageW(host.list, LB_SETTOPINDEX, 1, 0);
    ListPosition pos = read_list_position(host.list);
    EXPECT_EQ(pos.selected, (std::vector<std::int64_t>{2, 4}));
    const int top = pos.top_index;
    bool same = host.model.set_search(L"");
    EXPECT_TRUE(same);
    host.fill(pos, same, false);
    EXPECT_EQ(list_selected_keys(host.list), (std::vector<std::int64_t>{2, 4}));
    EXPECT_EQ(SendMessageW(host.list, LB_GETTOPINDEX, 0, 0), top);
    EXPECT_EQ(list_single_selected_key(host.list), 0);
    // After a capture the list goes to the top.
    host.fill(read_list_position(host.list), true, true);
    EXPECT_EQ(SendMessageW(host.list, LB_GETTOPINDEX, 0, 0), 0);

    // A search that matches one row.
    pos = read_list_position(host.list);
    same = host.model.set_search(L"MONDAY");
    EXPECT_FALSE(same);
    host.fill(pos, same, false);
    ASSERT_EQ(SendMessageW(host.list, LB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(list_selected_count(host.list), 0);
    host.model.set_search(L"");
    host.fill();

    EXPECT_TRUE(list_select_entry(host.list, 5));
    EXPECT_EQ(list_single_selected_key(host.list), 5);
    EXPECT_EQ(list_selected_entry_id(host.list), 5);
    EXPECT_FALSE(list_select_entry(host.list, 99));
    EXPECT_EQ(list_row_of_key(host.list, 6), 5);

    // Moving a row moves its text, key, height and record.
    EXPECT_TRUE(move_list_row(host.list, host.shown, host.model, 4, 0));
    EXPECT_EQ(static_cast<std::int64_t>(SendMessageW(host.list, LB_GETITEMDATA, 0, 0)), 5);
    EXPECT_EQ(SendMessageW(host.list, LB_GETITEMHEIGHT, 0, 0), 66);
    EXPECT_EQ(host.model.entries()[0].id, 5);
    EXPECT_FALSE(move_list_row(host.list, host.shown, host.model, 2, 2));

    // What a person sees.
    list_select_keys(host.list, {4});
    ShowWindow(host.window(), SW_SHOW);
    SetWindowPos(host.window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(host.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    MSG msg;
    for (int i = 0; i < 20; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(20);
    }
    RECT rc{};
    GetWindowRect(host.list, &rc);
    gui_test::Pixels shot = gui_test::grab_screen(RECT{rc.left, rc.top, rc.right + 182, rc.bottom});
    EXPECT_EQ(shot.at(6, 15), card_colors(false).card_fill);
    EXPECT_TRUE(gui_test::save_png(shot, L"cards_list_window.png"));
    EXPECT_EQ(made, 2);
}

TEST_F(Cards, ChangedRowsReachTheListBoxWithTheirHeights) {
    ListHost host;
    std::mt19937 rng(99);
    std::int64_t next = 1;
    std::vector<HistoryEntry> entries;
    auto make = [&] {
        HistoryEntry e = text_entry(next, L"entry " + std::to_wstring(next), L"2024-05-01T10:00:00");
        e.is_image = next % 5 == 0;
        ++next;
        return e;
    };
    for (int i = 0; i < 30; ++i) entries.push_back(make());
    for (int round = 0; round < 60; ++round) {
        // A capture on top, a trim at the end, sometimes an edit or a move.
        entries.insert(entries.begin(), make());
        if (entries.size() > 30) entries.pop_back();
        if (round % 3 == 0) entries[rng() % entries.size()].text += L" edited";
        if (round % 4 == 0) std::swap(entries[rng() % entries.size()], entries[rng() % entries.size()]);
        ListPosition pos = read_list_position(host.list);
        const bool same = host.model.set_history(ListView{}, round % 7 == 0 ? L"1" : L"", entries, {},
                                                 current_list_labels());
        host.fill(pos, same, false);
        const auto& rows = host.model.rows();
        ASSERT_EQ(SendMessageW(host.list, LB_GETCOUNT, 0, 0), static_cast<LRESULT>(rows.size())) << round;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            wchar_t buf[256] = {};
            SendMessageW(host.list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
            ASSERT_EQ(std::wstring(buf), rows[i].text) << round << " row " << i;
            ASSERT_EQ(static_cast<std::int64_t>(SendMessageW(host.list, LB_GETITEMDATA, i, 0)), rows[i].key);
            ASSERT_EQ(SendMessageW(host.list, LB_GETITEMHEIGHT, i, 0), card_row_height(rows[i].text, rows[i].is_image));
        }
        EXPECT_EQ(host.shown, rows);
    }
}

// Clipboard text is shown as it is: an "&" is a character, not the mark of
// an underlined letter.
TEST_F(Cards, AmpersandsAreShownAsWritten) {
    raii::Font font = create_ui_font(14, 400);
    const RECT row{0, 0, 300, 30};
    Canvas card(300, 30), reference(300, 30);
    card.fill(RGB(1, 2, 3));
    reference.fill(RGB(1, 2, 3));
    draw_text_card(CardPaint{card.dc(), row, false, false, font.get()}, L"     R&D && Co", L"");
    // The same look from prefix processing needs every "&" doubled.
    {
        raii::SelectGuard f(reference.dc(), font.get());
        SetBkMode(reference.dc(), TRANSPARENT);
        SetTextColor(reference.dc(), card_colors(false).main_text);
        RECT rc = text_card_layout(row, -1).text;
        const std::wstring doubled = L"     R&&D &&&& Co";
        DrawTextW(reference.dc(), doubled.c_str(), static_cast<int>(doubled.size()), &rc,
                  DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    }
    EXPECT_TRUE(card.pixels().bgra == reference.pixels().bgra);
}
// The pin before a pinned text or image card is drawn as an icon in both
// themes: from an emoji font of the system, or from the fallback icon font
// where the system has none (Wine), never as missing glyphs.
TEST_F(Cards, PinOfAPinnedCardIsAnIcon) {
    raii::Font font = create_ui_font(14, 400);
    TEXTMETRICW tm{};
    {
        raii::MemoryDC dc(CreateCompatibleDC(nullptr));
        raii::SelectGuard f(dc.get(), font.get());
        GetTextMetricsW(dc.get(), &tm);
    }
    const int em = static_cast<int>(tm.tmHeight - tm.tmInternalLeading);
    for (bool dark : {false, true}) {
        for (bool image : {false, true}) {
            SCOPED_TRACE(std::string(dark ? "dark " : "light ") + (image ? "image card" : "text card"));
            const RECT row{0, 0, 300, image ? kTallRowHeight : kTextRowHeight};
            Canvas card(300, row.bottom);
            card.fill(card_colors(dark).card_fill);
            const CardPaint p{card.dc(), row, false, dark, font.get()};
            RECT line{};
            if (image) {
                draw_image_card(p, nullptr, L"", true, L"");
                line = image_card_layout(row, static_cast<int>(tm.tmHeight), -1).line1;
            } else {
                draw_text_card(p, kPinMarker, L"");
                line = text_card_layout(row, -1).text;
            }
            // The pin (two missing glyphs when it fails) and nothing after it.
            const RECT cell{line.left, line.top, std::min<LONG>(line.right, line.left + 3 * em), line.bottom};
            EXPECT_EQ(icon_cells::icon_cell_problem([&card](int x, int y) { return card.at(x, y); }, cell,
                                                    {{font.get(), icon_cells::kMissingPair}}),
                      "");
        }
    }
}

}  // namespace
