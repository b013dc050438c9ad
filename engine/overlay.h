// Mesh overlay: closed outlines (shapes) and mesh cells, each a run of points put one by one,
// turned into input lines of the engine and looked up again for the pieces it assembles.
//
// Expects: points put in outline order; a run of puts with one group id is one shape or cell
// (a new record starts whenever the id differs from the previous put's, or the table is
// empty). Nothing checks that an outline is closed or simple: the engine's line intake takes
// what it is given.
// Leaves behind: per record the bounding box of its points, its point count and its 1-based
// first point; after marking, the flag of every cell (1 when its box meets a shape's box).
// The tables are the library's, independent of the engine session: they survive rw_end and
// are released by ex_end (or the next ex_start).
#pragma once

#include <cstdint>

#include "box_index.h"
#include "polygons.h"
#include "work_table.h"

namespace ringweld {

// Growth step of the four overlay tables, whatever rw_start was given.
inline constexpr int32_t kOverlayStep = 100;

// Tags of the engine lines the overlay puts: `ent` tells shape edges from cell edges.
inline constexpr int32_t kShapeEdge = 2;
inline constexpr int32_t kCellEdge = 4;

// Records (shapes or cells) in PolygonRecord layout over their own point table.
struct OverlayTable {
    WorkTable<PolygonRecord> records{kPolygonOverflow};
    WorkTable<PolygonPoint> points{kPolygonPointOverflow};
    int32_t last_group = 0;

    void configure(int32_t record_capacity, int32_t point_capacity);
    void release();
    // Appends a point to the run of `group`, starting a record with identifier `id` (and
    // flag 1) when the group changes or the table is empty.
    void put(int32_t group, int32_t id, int32_t key, int32_t x, int32_t y);

    // The points of a record of this table.
    const PolygonPoint* run(const PolygonRecord& r) const { return points.data() + (r.first_point - 1); }
    TableVector<Box> boxes() const;
};

struct OverlayTables {
    OverlayTable shapes;  // identifier: the shape's code
    OverlayTable meshes;  // identifier: the cell's group id

    void configure(int32_t shapes_capacity, int32_t shape_points, int32_t meshes_capacity, int32_t mesh_points);
    void release();

    void put_shape(int32_t group, int32_t key, int32_t x, int32_t y, int32_t code) {
        shapes.put(group, code, key, x, y);
        shape_index_built_ = false;
    }
    void put_cell(int32_t group, int32_t x, int32_t y, int32_t key) {
        meshes.put(group, group, key, x, y);
        mesh_index_built_ = false;
    }

    // Indices of the shape and cell boxes, built on first use after a change.
    const BoxIndex& shape_index();
    const BoxIndex& mesh_index();

private:
    BoxIndex shape_index_;
    BoxIndex mesh_index_;
    bool shape_index_built_ = false;
    bool mesh_index_built_ = false;
};

// The inclusive box test of the mesh marking, as written: not (cell max x < shape min x, or
// cell max y < shape min y, or shape max x < cell min x), and shape max y >= cell min y.
bool cell_meets_shape(const PolygonRecord& cell, const PolygonRecord& shape);

// Sets every cell's flag: 1 when its box meets the box of at least one shape, else 0.
void mark_cells(OverlayTables& t);

// Calls put(ent, lin, x1, y1, x2, y2, key) for every segment between consecutive points of
// every shape (ent 2, lin = key of the segment's first point, key = the shape's code), then
// of every flagged cell (ent 4, lin = 1-based index of the first point in the mesh point
// table, key = the cell's 1-based number). The 16-bit lin wraps above 32767.
template <typename PutLine>
void for_each_overlay_line(const OverlayTables& t, PutLine put) {
    for (const PolygonRecord& s : t.shapes.records) {
        const PolygonPoint* p = t.shapes.run(s);
        for (int32_t k = 0; k + 1 < s.point_count; ++k)
            put(kShapeEdge, p[k].key, p[k].x, p[k].y, p[k + 1].x, p[k + 1].y, s.face);
    }
    for (int32_t n = 0; n < t.meshes.records.count(); ++n) {
        const PolygonRecord& c = t.meshes.records[static_cast<std::size_t>(n)];
        if (c.flag != 1) continue;
        const PolygonPoint* p = t.meshes.run(c);
        for (int32_t k = 0; k + 1 < c.point_count; ++k)
            put(kCellEdge, c.first_point + k, p[k].x, p[k].y, p[k + 1].x, p[k + 1].y, n + 1);
    }
}

// The 1-based number of the last shape whose box strictly contains (x, y) and whose point
// run holds it by the point-in-polygon crossing rule; -1 when none.
int32_t shape_holding(OverlayTables& t, int32_t x, int32_t y);

// The 1-based number of the first cell, flagged or not, whose box holds (x, y), bounds
// inclusive; -1 when none.
int32_t cell_holding(OverlayTables& t, int32_t x, int32_t y);

}  // namespace ringweld
