// Shape and mesh tables, cell marking and the lookups of the pieces; see overlay.h.
#include "overlay.h"

#include <algorithm>

#include "queries.h"

namespace ringweld {

void OverlayTable::configure(int32_t record_capacity, int32_t point_capacity) {
    records.configure(record_capacity, kOverlayStep);
    points.configure(point_capacity, kOverlayStep);
}

void OverlayTable::release() {
    records.release();
    points.release();
    last_group = 0;
}

void OverlayTable::put(int32_t group, int32_t id, int32_t key, int32_t x, int32_t y) {
    if (records.empty() || group != last_group) {
        PolygonRecord r;
        r.face = id;
        r.min_x = r.max_x = x;
        r.min_y = r.max_y = y;
        r.point_count = 0;
        r.first_point = points.count() + 1;
        r.flag = 1;
        records.append(r);
        last_group = group;
    }
    PolygonPoint p;
    p.key = key;
    p.x = x;
    p.y = y;
    points.append(p);
    PolygonRecord& r = records[static_cast<std::size_t>(records.last_index())];
    r.min_x = std::min(r.min_x, x);
    r.min_y = std::min(r.min_y, y);
    r.max_x = std::max(r.max_x, x);
    r.max_y = std::max(r.max_y, y);
    r.point_count += 1;
}

TableVector<Box> OverlayTable::boxes() const {
    TableVector<Box> out;
    out.reserve(records.rows().size());
    for (const PolygonRecord& r : records) out.push_back(Box{r.min_x, r.min_y, r.max_x, r.max_y});
    return out;
}

void OverlayTables::configure(int32_t shapes_capacity, int32_t shape_points, int32_t meshes_capacity,
                              int32_t mesh_points) {
    shapes.configure(shapes_capacity, shape_points);
    meshes.configure(meshes_capacity, mesh_points);
}

void OverlayTables::release() {
    shapes.release();
    meshes.release();
    shape_index_.clear();
    mesh_index_.clear();
    shape_index_built_ = mesh_index_built_ = false;
}

const BoxIndex& OverlayTables::shape_index() {
    if (!shape_index_built_) shape_index_.build(shapes.boxes());
    shape_index_built_ = true;
    return shape_index_;
}

const BoxIndex& OverlayTables::mesh_index() {
    if (!mesh_index_built_) mesh_index_.build(meshes.boxes());
    mesh_index_built_ = true;
    return mesh_index_;
}

bool cell_meets_shape(const PolygonRecord& cell, const PolygonRecord& shape) {
    return !(cell.max_x < shape.min_x || cell.max_y < shape.min_y || shape.max_x < cell.min_x) &&
           shape.max_y >= cell.min_y;
}

void mark_cells(OverlayTables& t) {
    const BoxIndex& index = t.shape_index();
    std::vector<int32_t> near;
    for (PolygonRecord& cell : t.meshes.records) {
        index.meeting(Box{cell.min_x, cell.min_y, cell.max_x, cell.max_y}, near);
        const bool meets = std::any_of(near.begin(), near.end(), [&](int32_t s) {
            return cell_meets_shape(cell, t.shapes.records[static_cast<std::size_t>(s)]);
        });
        cell.flag = meets ? 1 : 0;
    }
}

int32_t shape_holding(OverlayTables& t, int32_t x, int32_t y) {
    std::vector<int32_t> near;
    t.shape_index().containing(x, y, near);
    // The last shape in table order wins.
    for (auto it = near.rbegin(); it != near.rend(); ++it) {
        const PolygonRecord& s = t.shapes.records[static_cast<std::size_t>(*it)];
        const bool strictly_inside_box = s.min_x < x && x < s.max_x && s.min_y < y && y < s.max_y;
        if (strictly_inside_box && run_contains(record_run(t.shapes.points, s), x, y)) return *it + 1;
    }
    return -1;
}

int32_t cell_holding(OverlayTables& t, int32_t x, int32_t y) {
    std::vector<int32_t> near;
    t.mesh_index().containing(x, y, near);  // ascending: the first cell comes first
    return near.empty() ? -1 : near.front() + 1;
}

}  // namespace ringweld
