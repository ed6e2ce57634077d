// The title and address of the page shown in a web browser, read from the
// browser window's accessibility tree (Active Accessibility).
//
// get_browser_page_info runs on the interface thread and blocks it for the
// walk, which is bounded (15 levels, 499 children a node, about 3000
// values) because a browser's page tree can be very large.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <cstdint>
#include <string>
#include <vector>

// One visited node of the tree that has a value.
struct AccessibleElement {
    std::int32_t role = -1;  // Active Accessibility role; -1 when unknown
    std::wstring value;      // the node's accessible value, never empty
};

inline constexpr int kAccessibleMaxDepth = 14;          // depths 0..14 are visited
inline constexpr size_t kAccessibleMaxElements = 3000;  // no node is visited beyond this count
inline constexpr long kAccessibleMaxChildren = 499;     // a node with more children is not entered

// Walks the tree below node (at the given depth) depth first, parent before
// children, children in index order, appending (role, value) for every node
// with a non-empty value. Child elements that are not objects are skipped.
// Takes no reference of node; every object obtained is released.
void collect_accessible_elements(IAccessible* node, int depth, std::vector<AccessibleElement>& out);

// The first usable page address among the collected values: links (role 30)
// and internal pages ("chrome://", "filesystem:", "about:", "edge://",
// "internal:", "view-source:") are skipped; an "http://" or "https://"
// value is taken as it is; any other value holding a ".", no blank or tab,
// and starting with an ASCII letter is taken with "https://" put before it.
// Empty when none fits.
std::wstring pick_address_url(const std::vector<AccessibleElement>& elements);

// Title and address from a browser window's root accessible object: the
// address is pick_address_url of the whole walk; the title is the root's
// name when it is 1 to 511 characters long (else empty).
void read_page_info(IAccessible* root, std::wstring& title, std::wstring& url);

namespace winutil {

// Fills title and url when the foreground window belongs to a web browser
// (is_browser_process); both stay empty otherwise. When the tree gives no
// title, the window title is used when it is 1 to 511 characters long.
void get_browser_page_info(std::wstring& title, std::wstring& url);

}  // namespace winutil
