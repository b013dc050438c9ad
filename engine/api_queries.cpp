// Polygon query exports: finding a face's polygon or the polygon around a point, label
// points, areas and the repeated-vertex check. They share the polygon iteration's current
// polygon (api_polygons.cpp); the algorithms are in queries.h.

#include <cmath>

#include "engine_limits.h"
#include "queries.h"
#include "ringweld.h"
#include "session.h"

using namespace ringweld;

namespace {

constexpr int32_t kNotFound = -1;
constexpr int32_t kAreaOutOfRange = RW_ERR_OUT_OF_RANGE;

PolygonTables& tables() { return session().polygons; }

// Makes the face's polygon current; nullptr (current polygon unchanged) when it has none.
const PolygonRecord* find_and_make_current(int32_t face) {
    PolygonTables& p = tables();
    const int32_t i = polygon_index_of(p.polygons, face);
    if (i < 0) return nullptr;
    const PolygonRecord& r = p.polygons[static_cast<std::size_t>(i)];
    p.cursor.current = i + 1;
    p.cursor.point_count = r.point_count;
    p.cursor.first_point = r.first_point;
    p.cursor.point_cursor = 0;
    return &r;
}

// The current polygon, or nullptr before the first and past the last of the iteration.
const PolygonRecord* current_polygon() {
    const PolygonTables& p = tables();
    return p.polygons.valid(p.cursor.current - 1) ? &p.polygons[static_cast<std::size_t>(p.cursor.current - 1)]
                                                   : nullptr;
}

RecordRun run_of(const PolygonRecord& r) { return record_run(tables().points, r); }

}  // namespace

extern "C" {

RW_API int32_t rw_find_polygon(int32_t face) {
    return find_and_make_current(face) ? 0 : kNotFound;
}

RW_API int32_t rw_findxy_polygon(int32_t x, int32_t y, int32_t* out_face) {
    return guarded(kPolygonOverflow, [&] {
        const int32_t i = find_containing(tables(), session().queries, x, y);
        if (i < 0) return kNotFound;
        put(out_face, tables().polygons[static_cast<std::size_t>(i)].face);
        return 0;
    });
}

RW_API int32_t rw_center_polygon(int32_t face, int32_t* out_x, int32_t* out_y) {
    const PolygonRecord* r = find_and_make_current(face);
    if (!r) return kNotFound;
    const LabelPoint label = label_point(run_of(*r), box_middle_rounded(*r));
    put(out_x, label.x);
    put(out_y, label.y);
    return 0;
}

RW_API int32_t rw_center_polygondef(int32_t face, int32_t* out_x, int32_t* out_y) {
    const PolygonRecord* r = current_polygon();
    if (!r) return kNotFound;
    const LabelPoint label = label_point(run_of(*r), box_middle_truncated(*r));
    put(out_x, label.x);
    put(out_y, label.y);
    return face == r->face ? 0 : 1;
}

RW_API int32_t rw_calarea_polygon(int32_t face, int32_t* out_area) {
    const PolygonRecord* r = find_and_make_current(face);
    if (!r) return kNotFound;
    const double area = run_area(run_of(*r));
    if (!(std::fabs(area) <= 2147483647.0)) {
        put(out_area, 0);
        return kAreaOutOfRange;
    }
    put(out_area, static_cast<int32_t>(std::nearbyint(area)));
    return 0;
}

RW_API int32_t rw_calareaD_polygon(int32_t face, double* out_area) {
    const PolygonRecord* r = find_and_make_current(face);
    if (!r) return kNotFound;
    if (out_area) *out_area = run_area(run_of(*r));
    return 0;
}

RW_API int32_t rw_check1pol_polygondef(void) {
    const PolygonRecord* r = current_polygon();
    if (!r) return kNotFound;
    return repeats_vertex(run_of(*r)) ? 0 : 1;
}

}  // extern "C"
