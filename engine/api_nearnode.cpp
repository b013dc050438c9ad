// Near-node bridging exports: a polygon's rings joined into one walk (nearnode.h). Building
// makes the polygon current, as rw_find_polygon does.

#include "engine_limits.h"
#include "nearnode.h"
#include "queries.h"
#include "ringweld.h"
#include "session.h"

using namespace ringweld;

namespace {

NearNodeState& state() { return session().nearnode; }

int32_t next_point(int32_t* out_x, int32_t* out_y, int32_t* out_key, int32_t* out_ring) {
    NearNodeState& s = state();
    RingWalk::Step step;
    if (!s.built || !s.walk.next(s.rings, step)) return -1;
    put(out_x, step.point.x);
    put(out_y, step.point.y);
    put(out_key, step.point.key);
    put(out_ring, step.ring);
    return 0;
}

}  // namespace

extern "C" {

RW_API int32_t rw_nearnode_connectpolygon(int32_t face) {
    NearNodeState& s = state();
    s.release();
    if (rw_find_polygon(face) != 0) return -1;
    const PolygonTables& p = session().polygons;
    const PolygonRecord& r = p.polygons[static_cast<std::size_t>(p.cursor.current - 1)];
    return guarded(kPolygonPointOverflow, [&] {
        const int32_t status = connect_rings(record_run(p.points, r), s.rings);
        s.built = true;
        return status;
    });
}

RW_API int32_t rw_nearnode_getfirstXY(int32_t* out_x, int32_t* out_y, int32_t* out_key, int32_t* out_ring) {
    state().walk.restart();
    return next_point(out_x, out_y, out_key, out_ring);
}

RW_API int32_t rw_nearnode_getnextXY(int32_t* out_x, int32_t* out_y, int32_t* out_key, int32_t* out_ring) {
    return next_point(out_x, out_y, out_key, out_ring);
}

RW_API int32_t rw_nearnode_connectclose(void) {
    state().release();
    return 0;
}

}  // extern "C"
