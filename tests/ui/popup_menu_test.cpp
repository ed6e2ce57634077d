// The popup menu's pure parts: items as values, the builders, row geometry,
// placement on the monitor, keyboard stepping, packed choices and the trash
// menu's keys.
#include "ui/popup_menu.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

PopupMenuItem item(uint64_t id, const wchar_t* label, bool enabled = true) {
    PopupMenuItem it;
    it.id = id;
    it.label = label;
    it.enabled = enabled;
    return it;
}

PopupMenuItem separator() {
    PopupMenuItem it;
    it.separator = true;
    return it;
}

TEST(PopupMenuItem, CopiesDeepAndMovesOut) {
    PopupMenuItem parent = item(0, L"Parent");
    parent.children.push_back(item(5, L"Child"));
    parent.children[0].children.push_back(item(6, L"Grandchild"));
    PopupMenuItem copy = parent;
    copy.children[0].children[0].label = L"changed";
    EXPECT_EQ(parent.children[0].children[0].label, L"Grandchild") << "a deep copy";
    PopupMenuItem moved = std::move(parent);
    EXPECT_EQ(moved.children.size(), 1u);
    EXPECT_TRUE(parent.children.empty());  // NOLINT: the moved-from state is part of the contract
}

TEST(PopupMenu, Builders) {
    std::vector<PopupMenuItem> items;
    PopupMenu::add_item(items, 7, L"Open");
    PopupMenu::add_separator(items);
    PopupMenu::add_check_item(items, 8, L"Topmost", true);
    PopupMenuItem sub = item(0, L"More");
    sub.children.push_back(item(9, L"Inner"));
    PopupMenu::append(items, sub);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].label, L"Open");
    EXPECT_EQ(items[0].id, 7u);
    EXPECT_FALSE(items[0].separator || items[0].checked);
    EXPECT_TRUE(items[0].enabled);
    EXPECT_TRUE(items[1].separator);
    EXPECT_EQ(items[1].id, 0u);
    EXPECT_TRUE(items[1].label.empty());
    EXPECT_TRUE(items[1].enabled);
    EXPECT_TRUE(items[2].checked);
    EXPECT_EQ(items[2].id, 8u);
    EXPECT_EQ(items[3].children.size(), 1u);
}

TEST(PopupMenuGeometry, RowsAndHeight) {
    const std::vector<PopupMenuItem> items{item(1, L"a"), separator(), item(2, L"b"), item(3, L"c")};
    EXPECT_EQ(menu_height(items), 12 + 28 + 9 + 28 + 28);
    EXPECT_EQ(menu_height({}), 12);
    EXPECT_EQ(menu_row_top(items, 0), 6);
    EXPECT_EQ(menu_row_top(items, 1), 34);
    EXPECT_EQ(menu_row_top(items, 2), 43);
    EXPECT_EQ(menu_row_top(items, 3), 71);
    struct Row {
        int y;
        int index;
    };
    const Row rows[] = {{0, -1}, {5, -1}, {6, 0}, {33, 0}, {34, -1}, {42, -1}, {43, 2}, {70, 2},
                        {71, 3}, {98, 3}, {99, -1}, {-3, -1}};
    for (const Row& r : rows) EXPECT_EQ(menu_row_at(items, r.y), r.index) << "y " << r.y;
    EXPECT_EQ(menu_width(0), 120);
    EXPECT_EQ(menu_width(62), 120);
    EXPECT_EQ(menu_width(63), 121);
    EXPECT_EQ(menu_width(300), 358);
}

TEST(PopupMenuGeometry, KeptOnTheMonitor) {
    const RECT primary{0, 0, 1920, 1080};
    struct Row {
        int x, y, w, h;
        RECT monitor;
        LONG want_x, want_y;
    };
    const Row rows[] = {
        {100, 100, 200, 300, primary, 100, 100},
        {1800, 100, 200, 300, primary, 1716, 100},   // over the right edge: 4 inside
        {100, 900, 200, 300, primary, 100, 776},     // over the bottom
        {-50, -20, 200, 300, primary, 0, 0},         // negative becomes the edge
        {10, 10, 2500, 1500, primary, 0, 0},         // wider and taller than the screen
        {10, 10, 1918, 1078, primary, 0, 0},         // 2 pixels of room: not 4, so the edge
        // A second monitor to the right of the primary one.
        {3800, 1000, 200, 300, RECT{1920, 0, 3840, 1080}, 3636, 776},
        {1900, 50, 200, 300, RECT{1920, 0, 3840, 1080}, 1920, 50},
        // A monitor left of and above the primary one (negative coordinates).
        {-100, -500, 300, 400, RECT{-1280, -1024, 0, 0}, -304, -500},
        {-2000, -200, 300, 400, RECT{-1280, -1024, 0, 0}, -1280, -404},
    };
    for (const Row& r : rows) {
        const POINT p = clamp_menu_origin(r.x, r.y, r.w, r.h, r.monitor);
        EXPECT_EQ(p.x, r.want_x) << r.x << "," << r.y;
        EXPECT_EQ(p.y, r.want_y) << r.x << "," << r.y;
    }
}

TEST(PopupMenuKeys, StepSkipsSeparatorsAndDisabledItems) {
    const std::vector<PopupMenuItem> items{item(1, L"a"), separator(), item(2, L"b", false), item(3, L"c"),
                                           item(4, L"d")};
    struct Row {
        int hot, step, want;
    };
    const Row rows[] = {
        {-1, +1, 3},  // no hot item: Down starts from 0, so item 0 is not offered first
        {-1, -1, 4},  // Up: the last selectable item
        {0, +1, 3},   {3, +1, 4}, {4, +1, 0},  // wraps at the end
        {0, -1, 4},   {3, -1, 0}, {4, -1, 3},
    };
    for (const Row& r : rows) EXPECT_EQ(menu_step_hot(items, r.hot, r.step), r.want) << r.hot << " " << r.step;
}

TEST(PopupMenuKeys, NothingSelectableLeavesTheHotIndex) {
    const std::vector<PopupMenuItem> items{separator(), item(1, L"x", false), separator()};
    EXPECT_EQ(menu_step_hot(items, -1, +1), -1);
    EXPECT_EQ(menu_step_hot(items, -1, -1), -1);
    EXPECT_EQ(menu_step_hot(items, 1, +1), 1);
    EXPECT_EQ(menu_step_hot({}, -1, +1), -1);
    // With one selectable item at 0, Down from nothing wraps back to it.
    const std::vector<PopupMenuItem> single{item(1, L"only")};
    EXPECT_EQ(menu_step_hot(single, -1, +1), 0);
}

TEST(PopupMenuItems, SubmenuOnlyWhenEnabledWithChildren) {
    PopupMenuItem p = item(0, L"p");
    EXPECT_FALSE(opens_submenu(p));
    p.children.push_back(item(1, L"c"));
    EXPECT_TRUE(opens_submenu(p));
    p.enabled = false;
    EXPECT_FALSE(opens_submenu(p));
}

TEST(MenuChoice, Unpack) {
    struct Row {
        uint64_t value;
        size_t size;
        uint32_t command;
        size_t index;
    };
    const Row rows[] = {
        {60, 3, 60, 0},
        {2 * 256 + 60, 3, 60, 2},
        {3 * 256 + 60, 3, 60, 3},    // the list size: the entry after the list
        {99 * 256 + 60, 3, 60, 3},   // beyond it: limited to the size
        {0xFFFFFFFFFFFFFFFFull, 5, 0xFF, 5},
        {255, 0, 255, 0},
    };
    for (const Row& r : rows) {
        const MenuChoice c = unpack_menu_choice(r.value, r.size);
        EXPECT_EQ(c.command, r.command) << r.value;
        EXPECT_EQ(c.index, r.index) << r.value;
    }
}

TEST(TrashMenu, Keys) {
    const std::vector<MenuKeyItem> short_menu = trash_menu_items(false);
    ASSERT_EQ(short_menu.size(), 2u);
    EXPECT_EQ(short_menu[0].key, L"action.restore");
    EXPECT_EQ(short_menu[0].id, 2u);
    EXPECT_EQ(short_menu[1].key, L"action.delete_forever");
    EXPECT_EQ(short_menu[1].id, 10u);
    const std::vector<MenuKeyItem> full = trash_menu_items(true);
    ASSERT_EQ(full.size(), 4u);
    EXPECT_TRUE(full[2].separator);
    EXPECT_EQ(full[3].key, L"action.empty_trash");
    EXPECT_EQ(full[3].id, 11u);
}

TEST(PopupMenuColors, Table) {
    const PopupMenuColors& l = popup_menu_colors(false);
    const PopupMenuColors& d = popup_menu_colors(true);
    EXPECT_EQ(l.background, 0xFBFBFBu);
    EXPECT_EQ(d.background, 0x272727u);
    EXPECT_EQ(l.separator, 0xD5D5D5u);
    EXPECT_EQ(d.separator, 0x4A4A4Au);
    EXPECT_EQ(l.hot_fill, 0xF7E7D6u);
    EXPECT_EQ(d.hot_fill, 0xD06B0Au);
    EXPECT_EQ(l.text, 0x141414u);
    EXPECT_EQ(d.text, 0xF2F2F2u);
    EXPECT_EQ(l.disabled_text, 0x606060u);
    EXPECT_EQ(d.disabled_text, 0xC7C7C7u);
    EXPECT_EQ(l.border, 0xBFBFBFu);
    EXPECT_EQ(d.border, 0xCC6600u);
}

TEST(PopupMenu, EmptyMenuReturnsAtOnce) {
    const std::vector<PopupMenuItem> none;
    EXPECT_EQ(PopupMenu::track_at(nullptr, 10, 10, none, false), 0u);
}

}  // namespace
