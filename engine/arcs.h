// Arc assembly: minilines chained into arcs between nodes.
//
// Expects: the line table holds minilines (lower endpoint first, noded so that two of them
// meet only at shared endpoints; identical minilines may repeat).
// Leaves behind: the line table re-sorted by the line order; one edge per distinct
// miniline and two end-points per edge, sorted by (y, x) and numbered into nodes; the arc
// table (record 0 a placeholder, arcs 1..N with provisional face states) with each arc's
// points contiguous in the arc-point table; and, for every arc that is not dangling, its
// segments and midpoint for face labelling (faces.h).
#pragma once

#include <cstdint>

#include "large_pages.h"
#include "records.h"
#include "ringweld.h"
#include "work_table.h"

namespace ringweld {

struct EdgeRecord {
    int32_t first_end = 0;   // end-point index of the miniline's first endpoint
    int32_t second_end = 0;  // ... and of its second
    int32_t key = 0;
    int16_t ent = 0;
    int16_t lin = 0;
};

struct EndPoint {
    int32_t x = 0;
    int32_t y = 0;
    int32_t edge = 0;
    uint8_t end = 0;      // 1: the edge's first endpoint, 2: its second
    uint8_t visited = 0;
    int32_t node = 0;
    int32_t arc = -1;     // the arc whose trace passed this end-point
};

struct NodeRecord {
    int32_t first_end = 0;  // first of the node's end-points in the sorted end-point table
    int32_t degree = 0;     // number of miniline ends at the node
};

// Provisional face states while arcs are traced and labelled.
inline constexpr int32_t kBetweenJunctions = -1;
inline constexpr int32_t kDangling = -2;
inline constexpr int32_t kClosedLoop = -3;

struct ArcRecord {
    int32_t face1 = 0;   // face on the right-hand side, walking in point order
    int32_t face2 = 0;   // face on the left-hand side
    uint8_t ring1 = 0;   // ring of face1's polygon the arc belongs to (polygon assembly)
    uint8_t ring2 = 0;
    int32_t start = 0;   // start end-point while tracing, start node afterwards
    int32_t end = 0;
    int32_t first = 0;   // first point index in the arc-point table
    int32_t last = 0;    // last point index (inclusive)
};

struct ArcPoint {
    int32_t x = 0;
    int32_t y = 0;
    int16_t ent = 0;
    int16_t lin = 0;
};

// One pair of consecutive points of an arc that is not dangling (face labelling's input).
// For a horizontal pair the low end is the second point and the high end the first.
struct ArcSegment {
    int32_t ylow = 0;
    int32_t yhigh = 0;
    int32_t xlow = 0;
    int32_t xhigh = 0;
    int32_t arc = 0;
    int16_t down = 0;  // 1 when the arc runs from the pair's first point to its second with y not increasing
};

inline constexpr int16_t kMidpointNormal = 0;
inline constexpr int16_t kMidpointClosedLoop = 2;

struct Midpoint {
    int32_t mid_y = 0;
    int32_t arc = 0;
    int16_t state = kMidpointNormal;
};

// An arc longer than this many points is error 61.
inline constexpr int32_t kMaxArcPoints = 5999;
inline constexpr int32_t kArcTooLong = RW_ERR_ARC_TOO_LONG;

// The arc stage's tables and cursors, one instance in the session.
struct ArcTables {
    WorkTable<EdgeRecord> edges;     // freed at the end of arc assembly
    WorkTable<EndPoint> endpoints{kCoordinateOverflow};
    WorkTable<NodeRecord> nodes;     // freed at the end of arc assembly
    WorkTable<ArcRecord> arcs{kArcOverflow};     // record 0 is a placeholder
    WorkTable<ArcPoint> points{kCoordinateOverflow};
    WorkTable<ArcSegment> segments;  // freed at the end of arc assembly
    WorkTable<Midpoint> midpoints{kArcOverflow};  // freed at the end of arc assembly
    int32_t count = 0;               // N: arcs are 1..count

    // rw_save_arcline's copy of records 0..saved_count.
    TableVector<ArcRecord> saved;
    bool has_saved = false;
    int32_t saved_count = 0;

    // Arc iteration: the current arc and the point cursor within it.
    int32_t arc_cursor = 0;
    int64_t point_cursor = 0;  // from an arc's first - 1, which may be below INT32_MIN
    int32_t point_last = -1;

    void configure(int32_t linsize, int32_t arcsize, int32_t pxysize);
    // Frees the temporaries that only live inside rw_create_arcline.
    void release_temporaries();
    void release();
};

// Sorts the minilines, builds edges, end-points and nodes, and traces every arc.
// Returns 0, or 61 when an arc would exceed kMaxArcPoints (tables as far as built).
int32_t assemble_arcs(WorkTable<LineRecord>& lines, ArcTables& t);

// Once the faces are labelled: each arc's start and end become the node numbers of the
// end-points they hold while tracing.
void renumber_arc_ends(ArcTables& t);

// The full turn of the engine's angles: 2 x 3.1415926, the truncated decimals of the data's
// original tools rather than 2 pi. Ring tracing and junction labelling order arcs by these
// angles, so the truncated constants decide which arc comes first where directions are close.
inline constexpr double kFullTurn = 6.2831852;

// Direction of the vector (dx, dy) in [0, kFullTurn) radians: atan(dy / dx), plus 3.1415926
// when dx < 0; 1.5707963 or 4.7123889 straight up or down; 0 for a zero vector.
double direction_angle(double dx, double dy);

}  // namespace ringweld
