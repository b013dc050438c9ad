// Miniline creation: sort the lines, drop or cancel duplicates, find every point where two
// lines meet and cut each line there.
//
// Expects a table of lower-first, non-zero-length lines in any order. Leaves behind the
// minilines, which meet only at shared endpoints: grouped by parent line in line order,
// each group ordered along its parent, every piece lower-first and tagged with its parent's
// `key`, `ent` and `lin`.
#pragma once

#include <cstdint>
#include "large_pages.h"
#include "records.h"

namespace ringweld {

// The line order: y1, y2, x1, x2, then `lin`, all ascending. y2 is compared before x1.
// Inline, because every sort of lines calls it.
inline bool line_before(const LineRecord& a, const LineRecord& b) {
    if (a.y1 != b.y1) return a.y1 < b.y1;
    if (a.y2 != b.y2) return a.y2 < b.y2;
    if (a.x1 != b.x1) return a.x1 < b.x1;
    if (a.x2 != b.x2) return a.x2 < b.x2;
    return a.lin < b.lin;
}

inline bool same_geometry(const LineRecord& a, const LineRecord& b) {
    return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2;
}

// Equal in every field, so that either may stand for the other.
bool identical_lines(const LineRecord& a, const LineRecord& b);

// The record with its lower endpoint first (y1 < y2, or y1 == y2 and x1 < x2).
LineRecord lower_first(LineRecord r);

// Sorts by the line order into exactly the engine's heap sort's order (the order of equal
// records decides which duplicate survives).
void sort_lines(TableVector<LineRecord>& lines);

// Sorts the staging table and drops equal neighbours in pairs from the start of each run
// (a third equal record survives); the survivors stay in sorted order.
void cancel_staged_pairs(TableVector<LineRecord>& staged);

// Duplicate rules over a sorted table, in place.
// Plain: one record per geometry survives, the first of those with the run's greatest `lin`.
void remove_duplicates(TableVector<LineRecord>& sorted);
// Dupcut: equal lines cancel in pairs; an odd run keeps one copy, except an odd run of three
// or more that ends the table, which vanishes.
void cancel_duplicates(TableVector<LineRecord>& sorted);

// Every point at which one sorted line meets another, as (line index, x, y), in no
// particular order. Each pair of lines whose boxes overlap is tested once, with the earlier
// line in line order as the first line of the pair test. A line's own endpoints are left out,
// also where the pair test finds them.
TableVector<SplitPoint> find_meeting_points(const TableVector<LineRecord>& sorted);

// Cuts every line at its endpoints and meeting points; returns the minilines.
TableVector<LineRecord> cut_lines(const TableVector<LineRecord>& sorted, TableVector<SplitPoint> points);

enum class DuplicateRule { keep_one, cancel_pairs };

// The whole procedure; `lines` is replaced by the minilines.
void create_minilines(TableVector<LineRecord>& lines, DuplicateRule rule);

}  // namespace ringweld
