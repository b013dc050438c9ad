// Single-polygon mode: one closed point sequence whose holes are joined to the outline by
// bridges (segments the sequence runs along twice, out and back), and the marking of the
// bridge ends so that a reader can split the sequence into rings again.
//
// Expects: the points in sequence order, each stored with group 1 (or with the groups a
// previous marking left, which a further marking starts from).
// Leaves behind: negative groups on the records where a bridge leaves and where it starts
// back, and the group the walk returns to on the record after each bridge; group(N) = 1.
// The table is the library's, independent of the engine session and of rw_start / rw_end.
#pragma once

#include <cstdint>

#include "work_table.h"

namespace ringweld {

struct OnePolygonPoint {
    int32_t x = 0;
    int32_t y = 0;
    int32_t key = 0;
    int16_t group = 1;
};

// Growth step of the one-polygon table.
inline constexpr int32_t kOnePolygonStep = 100;

// Marks the bridges of points[0..n-1] (records 1..N in the text of the rules): for
// i = 1 .. N-1 and every j = i+1 .. N-1, in this order, where segment j -> j+1 runs back
// along i -> i+1, the groups of i, j and j+1 are rewritten from the current group c and the
// last group number L (both start at 1). Finally group(N) := 1. Groups are 16-bit and wrap.
// The pairs are found through a sorted index of the segments, in the same order as the
// literal double loop; an empty table is left alone.
void mark_bridges(TableVector<OnePolygonPoint>& points);

// The one-polygon table with its read state.
struct OnePolygonTable {
    WorkTable<OnePolygonPoint> points{kPolygonPointOverflow};
    int32_t cursor = 0;         // 1-based index of the record read last
    int32_t previous_ring = 0;  // ring value of the record read last (0 before the first)

    OnePolygonTable() { points.configure(kOnePolygonStep, kOnePolygonStep); }

    // Releases the table; it reads as empty until a new sequence is put.
    void release() {
        points.release();
        cursor = 0;
        previous_ring = 0;
    }

    void append(int32_t x, int32_t y, int32_t key) { points.append(OnePolygonPoint{x, y, key, 1}); }

    // The next record as a reader sees it: ring = group - 1, and key 0 on the first record of
    // every change of ring. False past the last record. The cursor advances on every call.
    bool read_next(int32_t& x, int32_t& y, int32_t& key, int32_t& ring);
    void rewind() {
        cursor = 0;
        previous_ring = 0;
    }
};

}  // namespace ringweld
