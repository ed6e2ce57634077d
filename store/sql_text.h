// SQL fragments shared by the store's statements.
#pragma once

#include <string>

// 1 for an effectively pinned row (own pin, or pinned category without
// override), else 0. prefix is a table alias such as "h", or empty.
inline std::string pinned_expr(const std::string& prefix = std::string()) {
    std::string p = prefix.empty() ? std::string() : prefix + ".";
    return "CASE WHEN " + p + "pinned=1 OR (" + p +
           "category_id IN (SELECT id FROM categories WHERE pinned=1) AND " + p +
           "cat_pin_override=0) THEN 1 ELSE 0 END";
}

// The negation of the effective pin, for WHERE clauses.
inline const std::string kUnpinned =
    "pinned=0 AND (category_id IS NULL OR category_id NOT IN "
    "(SELECT id FROM categories WHERE pinned=1) OR cat_pin_override=1)";

// The number of entries that are not effectively pinned kept by the trim.
inline constexpr int kHistoryKeep = 200;
