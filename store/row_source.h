// The rows of a table in a file that may be damaged, found by their rowids.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;

struct RowIds {
    std::vector<std::int64_t> ids;  // ascending, each once
    bool met_damage = false;        // some page of the table or an index did not read
};

// Every rowid of the table that can still be found. Only rowids are read:
// no record is decoded and no overflow page is visited, so a row whose
// image does not read is still found. The table's own b-tree is walked in
// rowid order; where a damaged page stops the walk, the next place that
// reads is sought by rowid (doubling the step, then halving back), so
// that a gap of missing ids, however wide, costs a few seeks. Such a search
// can pass over a narrow sound page between two damaged ones: when the walk
// met damage, the rowids held by each of the table's whole indexes, as far
// as it reads, are added, which finds those rows too. Any id found is one that
// the table held; whether its row reads is for the reader to find out.
RowIds find_row_ids(sqlite3* db, const std::string& table);
