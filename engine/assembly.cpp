// The two assembling calls over a session; see assembly.h.
#include "assembly.h"

#include "arcs.h"
#include "polygons.h"

namespace ringweld {

int32_t create_arcline(Session& s, int32_t direction, const LabellingOptions& options, int32_t* out_count) {
    ArcTables& t = s.arcs;
    t.release_temporaries();
    t.endpoints.release();
    t.arcs.release();
    t.points.release();
    t.count = 0;
    t.arc_cursor = 0;
    t.point_cursor = 0;
    t.point_last = -1;
    s.polygons.links.release();

    int32_t status = assemble_arcs(s.lines, t);
    if (status == 0) status = label_faces(t, s.sizes.polsize, options);
    if (status == 0) build_ring_links(t, direction, s.polygons);
    t.release_temporaries();
    if (status == 0 && out_count) *out_count = t.count;
    return status;
}

int32_t create_polygon(Session& s, int32_t direction, int32_t* out_count) {
    PolygonTables& p = s.polygons;
    if (p.links.empty()) build_ring_links(s.arcs, direction, p);
    // The old cursor would point into the old tables.
    p.cursor = PolygonCursor{};
    s.queries.reset();
    const int32_t status = walk_rings(s.arcs, direction, p);
    if (out_count) *out_count = p.polygons.count();
    return status;
}

}  // namespace ringweld
