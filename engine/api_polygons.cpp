// Polygon exports: rw_create_polygon, the polygon readers and the three iterations
// (polygons with all their rings, polygons then further rings, ring and touch-point tables).

#include <algorithm>

#include "assembly.h"
#include "engine_limits.h"
#include "ringweld.h"
#include "session.h"

using namespace ringweld;

namespace {

PolygonTables& tables() { return session().polygons; }
PolygonCursor& cursor() { return session().polygons.cursor; }

void make_current(const PolygonRecord& r) {
    PolygonCursor& c = cursor();
    c.point_count = r.point_count;
    c.first_point = r.first_point;
    c.point_cursor = 0;
}

// Polygon-point record i (1-based), or nullptr outside the table.
const PolygonPoint* point_record(int32_t i) {
    const auto& points = tables().points;
    return points.valid(i - 1) ? &points[i - 1] : nullptr;
}

// The current polygon's next record, or nullptr after its last.
const PolygonPoint* next_current_point() {
    PolygonCursor& c = cursor();
    if (c.point_cursor >= c.point_count) return nullptr;
    c.point_cursor += 1;
    return point_record(c.first_point + c.point_cursor - 1);
}

void put_point(const PolygonPoint& p, int32_t* out_x, int32_t* out_y, int32_t* out_key, int32_t* out_ring) {
    put(out_x, p.x);
    put(out_y, p.y);
    put(out_key, p.key);
    put(out_ring, p.ring);
}

}  // namespace

extern "C" {

RW_API int32_t rw_create_polygon(int32_t* out_count) {
    return guarded(kPolygonPointOverflow, [&] { return create_polygon(session(), library().direction, out_count); });
}

RW_API int32_t rw_getnum_polygon(int32_t* out_polygons, int32_t* out_points) {
    put(out_polygons, tables().polygons.count());
    put(out_points, tables().points.count());
    return 0;
}

RW_API int32_t rw_getpol_polygon(int32_t n, int32_t* out_face, int32_t* out_minx, int32_t* out_miny, int32_t* out_maxx,
                                 int32_t* out_maxy, int32_t* out_npoints, int32_t* out_first) {
    const auto& polygons = tables().polygons;
    if (!polygons.valid(n - 1)) return -1;
    const PolygonRecord& r = polygons[n - 1];
    put(out_face, r.face);
    put(out_minx, r.min_x);
    put(out_miny, r.min_y);
    put(out_maxx, r.max_x);
    put(out_maxy, r.max_y);
    put(out_npoints, r.point_count);
    put(out_first, r.first_point);
    return 0;
}

RW_API int32_t rw_getdat_polygon(int32_t i, int32_t* out_x, int32_t* out_y, int32_t* out_key) {
    return rw_getdat_polygon2(i, out_x, out_y, out_key, nullptr);
}

RW_API int32_t rw_getdat_polygon2(int32_t i, int32_t* out_x, int32_t* out_y, int32_t* out_key, int32_t* out_ring) {
    const PolygonPoint* p = point_record(i);
    if (!p) return -1;
    put_point(*p, out_x, out_y, out_key, out_ring);
    return 0;
}

RW_API int32_t rw_first_polygon(int32_t* out_face, int32_t* out_npoints) {
    cursor().current = 0;
    return rw_next_polygon(out_face, out_npoints);
}

RW_API int32_t rw_next_polygon(int32_t* out_face, int32_t* out_npoints) {
    PolygonCursor& c = cursor();
    const auto& polygons = tables().polygons;
    if (c.current > polygons.count()) return -1;
    c.current += 1;
    if (c.current > polygons.count()) return -1;
    const PolygonRecord& r = polygons[c.current - 1];
    make_current(r);
    put(out_face, r.face);
    put(out_npoints, r.point_count);
    return 0;
}

RW_API int32_t rw_rewind_polydata(void) {
    cursor().point_cursor = 0;
    return 0;
}

RW_API int32_t rw_next_polydata(int32_t* out_x, int32_t* out_y, int32_t* out_key) {
    return rw_next_polydata2(out_x, out_y, out_key, nullptr);
}

RW_API int32_t rw_next_polydata2(int32_t* out_x, int32_t* out_y, int32_t* out_key, int32_t* out_ring) {
    const PolygonPoint* p = next_current_point();
    if (!p) return -1;
    put_point(*p, out_x, out_y, out_key, out_ring);
    return 0;
}

RW_API int32_t rw_first_polygon_ext(int32_t* out_polygon, int32_t* out_npoints) {
    PolygonCursor& c = cursor();
    c.current = 0;
    c.extension = 0;
    c.last_number = 0;
    return rw_next_polygon_ext(out_polygon, out_npoints);
}

RW_API int32_t rw_next_polygon_ext(int32_t* out_polygon, int32_t* out_npoints) {
    PolygonCursor& c = cursor();
    const PolygonTables& p = tables();
    if (c.extension == 0 && c.current <= p.polygons.count()) c.current += 1;
    if (c.extension == 0 && c.current <= p.polygons.count()) {
        const PolygonRecord& r = p.polygons[c.current - 1];
        make_current(r);
        c.last_number = std::max(c.last_number, r.face);
        put(out_polygon, r.face);
        put(out_npoints, r.point_count);
        return 0;
    }
    // Polygons exhausted: the further rings follow, numbered on from the largest face.
    if (c.extension > p.rings.count()) return -1;
    c.extension += 1;
    if (c.extension > p.rings.count()) return -1;
    const RingRecord& r = p.rings[c.extension - 1];
    make_current(r);
    c.last_number = next_ring_number(c.last_number);
    put(out_polygon, c.last_number);
    put(out_npoints, r.point_count);
    return 0;
}

RW_API int32_t rw_next_polydata_ext(int32_t* out_x, int32_t* out_y, int32_t* out_key, int32_t* out_ring) {
    PolygonCursor& c = cursor();
    if (c.extension == 0) {
        // A polygon: its outer ring only; the first record of a further ring ends it.
        const PolygonPoint* p = next_current_point();
        if (!p) return -1;
        put_point(*p, out_x, out_y, out_key, out_ring);
        return p->ring > 0 ? -1 : 0;
    }
    // A further ring, backwards; each point takes the key of the record after it, so the
    // segment attributes travel with their segments.
    if (c.point_cursor >= c.point_count) return -1;
    c.point_cursor += 1;
    const int32_t t = c.first_point + c.point_count - c.point_cursor;
    const PolygonPoint* p = point_record(t);
    if (!p) return -1;
    const PolygonPoint* after = point_record(t + 1);
    put(out_x, p->x);
    put(out_y, p->y);
    put(out_key, after ? after->key : 0);
    put(out_ring, p->ring);
    return 0;
}

RW_API int32_t rw_first_polexttabl(int32_t* out_owner, int32_t* out_ring_id, int32_t* out_ring_no) {
    cursor().ring_table = 0;
    return rw_next_polexttabl(out_owner, out_ring_id, out_ring_no);
}

RW_API int32_t rw_next_polexttabl(int32_t* out_owner, int32_t* out_ring_id, int32_t* out_ring_no) {
    PolygonCursor& c = cursor();
    const auto& rings = tables().rings;
    if (c.ring_table >= rings.count()) return -1;
    const RingRecord& r = rings[c.ring_table++];
    put(out_owner, r.owner);
    put(out_ring_id, r.face);
    put(out_ring_no, r.ring);
    return 0;
}

RW_API int32_t rw_first_pol1dat(int32_t* out_face, int32_t* out_x, int32_t* out_y) {
    cursor().touch = 0;
    return rw_next_pol1dat(out_face, out_x, out_y);
}

RW_API int32_t rw_next_pol1dat(int32_t* out_face, int32_t* out_x, int32_t* out_y) {
    PolygonCursor& c = cursor();
    const auto& touches = tables().touches;
    if (c.touch >= touches.count()) return -1;
    const TouchPoint& t = touches[c.touch++];
    put(out_face, t.face);
    put(out_x, t.x);
    put(out_y, t.y);
    return 0;
}

}  // extern "C"
