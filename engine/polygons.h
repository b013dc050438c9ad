// Polygon assembly: the ring-link table and the ring walk.
//
// Expects: the arc table as face labelling leaves it (face numbers >= 0 on both sides of
// arcs 1..N, start/end node numbers, each arc's points contiguous in the arc-point table
// with its first point at its start node and its last at its end node).
// Leaves behind: one polygon record per face > 0 that bounds an arc side, in ascending face
// order; each polygon's points contiguous in the polygon-point table (outer ring first,
// then every further ring followed by a closing record back to the polygon's first point);
// one ring record per further ring; the touch points where a face's boundary meets itself;
// each walked arc side's ring number in the arc table's ring bytes. The ring-link table is
// freed.
#pragma once

#include <cstdint>

#include "arcs.h"
#include "ringweld.h"
#include "work_table.h"

namespace ringweld {

// One end of an arc side that bounds a face.
struct RingLink {
    int32_t face = 0;
    int32_t node = 0;
    int32_t arc = 0;        // +n: first-face side of arc n; -n: second-face side
    int32_t link = 0;       // +p entry end / -p exit end; after pairing the entry holds its exit's index; -1 once walked
    int32_t pair = 0;       // ±p as built
    int32_t pair_copy = 0;
    int32_t point = 0;      // arc-point index of the arc's point at this end
    int32_t min_y = 0;      // lowest y of the arc, then shared with the neighbour at the node
    int32_t branch = 0;     // 1..k at a node where this face has k > 2 ends, else 0
};

// A polygon (one per face) or a further ring of one (RingRecord); same layout.
struct PolygonRecord {
    int32_t face = 0;       // face number; for a ring record the ring's own identifier
    int32_t min_x = 0;
    int32_t min_y = 0;
    int32_t max_x = 0;
    int32_t max_y = 0;
    int32_t point_count = 0;
    int32_t first_point = 0;  // 1-based index in the polygon-point table
    uint8_t flag = 0;
    int16_t ring = 0;
    int32_t owner = 0;        // the face the polygon or ring belongs to
};
using RingRecord = PolygonRecord;

struct PolygonPoint {
    int32_t key = 0;  // lin of the segment arriving at the point; 0 on a further ring's first point and on closing records
    int32_t x = 0;
    int32_t y = 0;
    int16_t ring = 0;
};

struct TouchPoint {
    int32_t face = 0;
    int32_t x = 0;
    int32_t y = 0;
};

// The library-wide iteration state of the polygon exports (also used by the queries).
struct PolygonCursor {
    int32_t current = 0;       // current polygon number, 0 before the first
    int32_t point_cursor = 0;
    int32_t point_count = 0;   // of the current polygon or ring
    int32_t first_point = 0;
    int32_t extension = 0;     // 0 while polygons are handed out, then the 1-based ring record
    int32_t last_number = 0;   // last polygon number handed out by the extended iteration
    int32_t ring_table = 0;    // cursor of rw_first_polexttabl / rw_next_polexttabl
    int32_t touch = 0;         // cursor of rw_first_pol1dat / rw_next_pol1dat
};

inline constexpr int32_t kPolygonStep = 100;

// Ring identifiers count on from the largest face, which a caller may have set to any value
// with rw_putarc_arcline; past the 32-bit range they wrap instead of overflowing.
inline int32_t next_ring_number(int32_t n) { return static_cast<int32_t>(static_cast<uint32_t>(n) + 1u); }
inline constexpr int32_t kNoArcData = RW_ERR_NO_ARC_DATA;
inline constexpr int32_t kRingBroken = RW_ERR_RING_BROKEN;

// The polygon stage's tables and cursors, one instance in the session.
struct PolygonTables {
    WorkTable<RingLink> links;        // from the end of arc assembly to the end of the ring walk
    int32_t ring_base = 0;            // identifiers of ring records continue from here
    WorkTable<PolygonRecord> polygons{kPolygonOverflow};
    WorkTable<RingRecord> rings{kPolygonOverflow};
    WorkTable<PolygonPoint> points{kPolygonPointOverflow};
    WorkTable<TouchPoint> touches{kPolygonOverflow};
    PolygonCursor cursor;

    void configure(int32_t linsize, int32_t polsize, int32_t pxysize);
    // Frees the polygon results (not the ring-link table).
    void release_results();
    void release();
};

// Builds, orders and pairs the ring-link table from arcs 1..N (replacing its contents).
void build_ring_links(const ArcTables& arcs, int32_t direction, PolygonTables& p);

// Walks the rings of every face. Returns 0, 91 (no ring links) or 94 (a ring cannot be
// continued); the records made before an error stay. Frees the ring-link table.
int32_t walk_rings(ArcTables& arcs, int32_t direction, PolygonTables& p);

// Direction of the arc at a ring-link record's node, in single-precision degrees.
float branch_angle(const ArcTables& arcs, const RingLink& r);

}  // namespace ringweld
