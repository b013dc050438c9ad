// The engine's library-wide state: one Session between rw_start and rw_end, plus the
// direction flag, which outlives sessions; each thread has its own. Every flat export reaches its tables through
// library(); the algorithms themselves take the tables they work on as arguments.
#pragma once

#include <cstdint>

#include "arcs.h"
#include "faces.h"
#include "nearnode.h"
#include "one_polygon.h"
#include "overlay.h"
#include "polygons.h"
#include "queries.h"
#include "records.h"
#include "work_table.h"

namespace ringweld {

// The four sizes passed to rw_start; each work table takes one of them (or a multiple)
// as its initial capacity and growth step.
struct SessionSizes {
    int32_t linsize = 1000;
    int32_t arcsize = 1000;
    int32_t polsize = 1000;
    int32_t pxysize = 2000;
};

// Fills an output parameter of a flat export when the caller passed one.
inline void put(int32_t* out, int32_t value) {
    if (out) *out = value;
}

// Capacity of the staging table after rw_start, rw_end, rw_init_line and
// rw_put_line_ext_cpy.
inline constexpr int32_t kStagingCapacity = 1000;

struct Session {
    SessionSizes sizes;

    // ---- line stage ----
    WorkTable<LineRecord> lines;    // input lines, replaced by minilines
    WorkTable<LineRecord> staging;  // rw_put_line_ext, cancelled in pairs by rw_put_line_ext_cpy
    int32_t miniline_cursor = -1;
    // Records in the arc stage's end-point table (0 before arc assembly).
    int32_t endpoint_count() const;

    // ---- arc and polygon stages ----
    ArcTables arcs;          // edges, end-points, nodes, arcs and their points (arcs.h)
    PolygonTables polygons;  // ring links, polygons, rings, touch points, iteration (polygons.h)
    PolygonQueryCache queries;  // box index of the point query, dropped with the polygons (queries.h)
    NearNodeState nearnode;     // one polygon's bridged rings and their walk (nearnode.h)

    // Sets every table's capacity and growth step from the sizes.
    void configure(const SessionSizes& s);
    // Frees every table and marks it empty; capacities stay as configured.
    void release();
    // Frees the line and staging tables only (rw_init_line).
    void release_lines();
};

struct Library {
    Session session;
    // Chooses the orientation of rings; 1 when the library is loaded.
    int32_t direction = 1;
    // Crossings a scan line of face labelling may hold (rw_set_max_crossings); 0: no limit.
    int32_t max_crossings = kMaxCrossings;
    // Tables of the mesh overlay and of the single-polygon mode, which outlive sessions.
    OverlayTables overlay;
    OnePolygonTable one_polygon;
};

// The calling thread's instance.
Library& library();
inline Session& session() { return library().session; }

}  // namespace ringweld
