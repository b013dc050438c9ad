#include "convert/seamless_shapes.h"

#include <algorithm>

#include <shapefil.h>

#include "ringweld.h"

namespace gridora {
namespace {

constexpr double kEngineUnitsPerDataUnit = 1000.0;

// Twice the signed area of a ring as the Shapefile sees it (X = engine y, Y = engine x),
// positive for counter-clockwise. Coordinates are taken relative to the first point so the
// products stay exact for rings far from the origin.
double TwiceShapefileArea(std::span<const EnginePoint> ring) {
    if (ring.size() < 3) return 0.0;
    const double x0 = ring.front().y, y0 = ring.front().x;
    double sum = 0.0;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        const double xa = ring[i].y - x0, ya = ring[i].x - y0;
        const double xb = ring[i + 1].y - x0, yb = ring[i + 1].x - y0;
        sum += xa * yb - xb * ya;
    }
    return sum;
}

// Appends a ring as the next part of `shape`, reversed when it runs against the sense
// wanted. A degenerate ring (no area) keeps its order.
void AppendRing(std::span<const EnginePoint> ring, int part_type, bool clockwise, bool as_part,
                ShapeBuffers& shape) {
    if (ring.empty()) return;
    const double area = TwiceShapefileArea(ring);
    const bool reverse = clockwise ? area > 0.0 : area < 0.0;
    if (as_part) shape.StartPart(part_type);
    auto add = [&](const EnginePoint& p) {
        shape.AddVertex(p.y / kEngineUnitsPerDataUnit, p.x / kEngineUnitsPerDataUnit);
    };
    if (reverse)
        std::for_each(ring.rbegin(), ring.rend(), add);
    else
        std::for_each(ring.begin(), ring.end(), add);
}

}  // namespace

void ShapeList::Add(const ShapeBuffers& shape) {
    x_.insert(x_.end(), shape.X().begin(), shape.X().end());
    y_.insert(y_.end(), shape.Y().begin(), shape.Y().end());
    part_starts_.insert(part_starts_.end(), shape.PartStarts().begin(), shape.PartStarts().end());
    part_types_.insert(part_types_.end(), shape.PartTypes().begin(), shape.PartTypes().end());
    shapes_.push_back(Extent{x_.size(), part_starts_.size()});
}

void ShapeList::Get(std::size_t i, ShapeBuffers& shape) const {
    const Extent begin = Begin(i), end = shapes_[i];
    shape.Clear();
    std::size_t part = begin.part_end;
    for (std::size_t v = begin.vertex_end; v < end.vertex_end; ++v) {
        for (; part < end.part_end && static_cast<std::size_t>(part_starts_[part]) == v - begin.vertex_end; ++part)
            shape.StartPart(part_types_[part]);
        shape.AddVertex(x_[v], y_[v]);
    }
    // Parts that start after the last vertex (empty ones) keep their place too.
    for (; part < end.part_end; ++part) shape.StartPart(part_types_[part]);
}

uint64_t ShapeList::RecordBytes(std::size_t i, int shape_type) const {
    const Extent begin = Begin(i), end = shapes_[i];
    return ShapeRecordBytes(shape_type, static_cast<int>(end.part_end - begin.part_end),
                            static_cast<int>(end.vertex_end - begin.vertex_end));
}

std::vector<EnginePoint> ReadCurrentPolygon() {
    std::vector<EnginePoint> run;
    rw_rewind_polydata();
    EnginePoint p;
    while (rw_next_polydata2(&p.x, &p.y, &p.key, &p.ring) == 0) run.push_back(p);
    rw_rewind_polydata();
    return run;
}

int32_t LargestRing(std::span<const EnginePoint> run) {
    int32_t largest = -1;
    for (const EnginePoint& p : run) largest = std::max(largest, p.ring);
    return largest;
}

void BuildRingParts(std::span<const EnginePoint> run, ShapeBuffers& shape) {
    shape.Clear();
    std::vector<EnginePoint> ring;
    for (const EnginePoint& p : run)
        if (p.ring == 0 && p.key > 0) ring.push_back(p);
    AppendRing(ring, SHPP_OUTERRING, true, true, shape);

    // The further rings follow one another in the run, each ending where the next ring or
    // a closing record (ring 0) begins.
    for (std::size_t i = 0; i < run.size();) {
        if (run[i].ring <= 0) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < run.size() && run[end].ring == run[i].ring) ++end;
        AppendRing(run.subspan(i, end - i), SHPP_INNERRING, false, true, shape);
        i = end;
    }
}

void BuildBridgedOutline(std::span<const EnginePoint> walk, ShapeBuffers& shape) {
    shape.Clear();
    AppendRing(walk, SHPP_OUTERRING, true, false, shape);
}

bool ReadBridgedWalk(int32_t face, std::vector<EnginePoint>& walk) {
    walk.clear();
    const bool connected = rw_nearnode_connectpolygon(face) == 0;
    if (connected) {
        EnginePoint p;
        for (int32_t status = rw_nearnode_getfirstXY(&p.x, &p.y, &p.key, &p.ring); status == 0;
             status = rw_nearnode_getnextXY(&p.x, &p.y, &p.key, &p.ring))
            walk.push_back(p);
    }
    rw_nearnode_connectclose();
    return connected && !walk.empty();
}

void BuildPolygonShape(int32_t face, std::span<const EnginePoint> run, bool donut, ShapeBuffers& shape) {
    if (!donut && LargestRing(run) > 0) {
        std::vector<EnginePoint> walk;
        if (ReadBridgedWalk(face, walk)) {
            BuildBridgedOutline(walk, shape);
            return;
        }
    }
    BuildRingParts(run, shape);
}

}  // namespace gridora
