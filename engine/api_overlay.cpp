// Mesh overlay exports: ex_start .. ex_end over the library's overlay tables (overlay.h),
// feeding the engine's line intake and reading the pieces back from its polygon tables.

#include <cmath>
#include <cstdio>

#include "engine_limits.h"
#include "overlay.h"
#include "queries.h"
#include "ringweld.h"
#include "session.h"

using namespace ringweld;

namespace {

OverlayTables& overlay() { return library().overlay; }


// The piece areas are reported when their magnitude is strictly below this.
constexpr double kAreaLimit = 2147483647.0;

bool write_shape_dump(std::FILE* f, const OverlayTable& shapes) {
    std::fprintf(f, "%6d%10d\r\n", static_cast<int>(shapes.records.count()), static_cast<int>(shapes.points.count()));
    for (int32_t n = 0; n < shapes.records.count(); ++n) {
        const PolygonRecord& s = shapes.records[static_cast<std::size_t>(n)];
        std::fprintf(f, "%6d%8d%4d\r\n", static_cast<int>(n + 1), static_cast<int>(s.first_point),
                     static_cast<int>(s.point_count));
        const PolygonPoint* p = shapes.run(s);
        for (int32_t k = 0; k < s.point_count; ++k)
            std::fprintf(f, "%4d%11d%11d\r\n", static_cast<int>(s.first_point + k), static_cast<int>(p[k].x),
                         static_cast<int>(p[k].y));
    }
    return std::ferror(f) == 0;
}

}  // namespace

extern "C" {

RW_API int32_t ex_start(int32_t shapes, int32_t shape_points, int32_t meshes, int32_t mesh_points) {
    overlay().release();
    overlay().configure(shapes, shape_points, meshes, mesh_points);
    return 0;
}

RW_API int32_t ex_end(void) {
    overlay().release();
    return 0;
}

RW_API int32_t ex_put_shapeline(int32_t group, int32_t key, int32_t x, int32_t y, int32_t code) {
    if (!in_domain(x, y)) return kOutOfRange;
    return guarded(kPolygonPointOverflow, [&] {
        overlay().put_shape(group, key, x, y, code);
        return 0;
    });
}

RW_API int32_t ex_put_meshline(int32_t group, int32_t /*unused*/, int32_t x, int32_t y, int32_t key) {
    if (!in_domain(x, y)) return kOutOfRange;
    return guarded(kPolygonPointOverflow, [&] {
        overlay().put_cell(group, x, y, key);
        return 0;
    });
}

RW_API int32_t ex_prt_shapeline(const char* path) {
    if (!path) return -1;
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return -1;
    const bool written = write_shape_dump(f, overlay().shapes);
    if (std::fclose(f) != 0 || !written) return -1;
    return 0;
}

RW_API int32_t ex_cal_meshcut(int32_t* out_shapes, int32_t* out_shape_points, int32_t* out_meshes,
                              int32_t* out_mesh_points) {
    OverlayTables& t = overlay();
    const int32_t status = guarded(kPolygonOverflow, [&] {
        mark_cells(t);
        return 0;
    });
    if (status != 0) return status;
    put(out_shapes, t.shapes.records.count());
    put(out_shape_points, t.shapes.points.count());
    put(out_meshes, t.meshes.records.count());
    put(out_mesh_points, t.meshes.points.count());
    return 0;
}

RW_API int32_t ex_mesh_line(int32_t /*unused*/) {
    // Every point was in the domain when put, so the only failure is a full line table.
    int32_t status = 0;
    for_each_overlay_line(overlay(), [&](int32_t ent, int32_t lin, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                         int32_t key) {
        if (status == 0) status = rw_put_line(ent, lin, x1, y1, x2, y2, key);
    });
    return status;
}

RW_API int32_t ex_first_polylink(int32_t* out_face, int32_t* out_npoints, int32_t* out_label_x,
                                 int32_t* out_label_y, int32_t* out_shape, int32_t* out_mesh, int32_t* out_area) {
    session().polygons.cursor.current = 0;
    return ex_next_polylink(out_face, out_npoints, out_label_x, out_label_y, out_shape, out_mesh, out_area);
}

RW_API int32_t ex_next_polylink(int32_t* out_face, int32_t* out_npoints, int32_t* out_label_x,
                                int32_t* out_label_y, int32_t* out_shape, int32_t* out_mesh, int32_t* out_area) {
    int32_t face = 0, npoints = 0;
    if (rw_next_polygon(&face, &npoints) != 0) return -1;
    const PolygonTables& p = session().polygons;
    const PolygonRecord& r = p.polygons[static_cast<std::size_t>(p.cursor.current - 1)];
    const RecordRun run = record_run(p.points, r);
    const LabelPoint label = label_point(run, box_middle_rounded(r));
    const double area = run_area(run);
    // The lookups build their box indices on first use, so they run before any output is written.
    int32_t shape = -1, mesh = -1;
    const int32_t status = guarded(kPolygonOverflow, [&] {
        shape = shape_holding(overlay(), label.x, label.y);
        mesh = cell_holding(overlay(), label.x, label.y);
        return 0;
    });
    if (status != 0) return status;
    put(out_face, face);
    put(out_npoints, npoints);
    put(out_label_x, label.x);
    put(out_label_y, label.y);
    put(out_shape, shape);
    put(out_mesh, mesh);
    if (!(std::fabs(area) < kAreaLimit)) return kOutOfRange;
    put(out_area, static_cast<int32_t>(std::nearbyint(area)));
    return 0;
}

RW_API int32_t ex_next_polyldat(int32_t* out_x, int32_t* out_y, int32_t* out_key) {
    return rw_next_polydata(out_x, out_y, out_key);
}

}  // extern "C"
