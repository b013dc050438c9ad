// The shape of one polygon rebuilt across sheet edges, from the engine's record run of
// its face: the outer ring and its holes as parts, or one bridged outline that joins the
// holes to the outer ring.
//
// The engine's x is the north and y the east coordinate, in thousandths of the data unit;
// a vertex goes to the Shapefile as X = y / 1000, Y = x / 1000. Swapping the axes mirrors
// the engine's rings, so every ring is written in the turning sense a Shapefile reader
// expects instead: the outer ring clockwise and holes counter-clockwise (east to the right,
// north up). A GIS program that tells holes from shells by that sense then reads a
// courtyard as a hole rather than as a second polygon under the first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "convert/shape_buffers.h"

namespace gridora {

// One record of a polygon's run in the engine's polygon-point table.
struct EnginePoint {
    int32_t x = 0, y = 0, key = 0, ring = 0;
    friend bool operator==(const EnginePoint&, const EnginePoint&) = default;
};

// The records of the engine's current polygon, read from its first record.
std::vector<EnginePoint> ReadCurrentPolygon();

// Shapes built on one thread and written on another: each as ShapeBuffers held it, its
// vertices and parts in one pair of arrays for all.
class ShapeList {
public:
    void Add(const ShapeBuffers& shape);
    std::size_t Size() const { return shapes_.size(); }
    // Fills `shape` with shape `i` exactly as it was added.
    void Get(std::size_t i, ShapeBuffers& shape) const;
    // The bytes shape `i` adds to a .shp of `shape_type` (ShapeBuffers::RecordBytes).
    uint64_t RecordBytes(std::size_t i, int shape_type) const;

private:
    struct Extent {
        std::size_t vertex_end, part_end;  // one past the shape's last vertex and part
    };
    Extent Begin(std::size_t i) const { return i == 0 ? Extent{0, 0} : shapes_[i - 1]; }
    std::vector<Extent> shapes_;
    std::vector<double> x_, y_;
    std::vector<int> part_starts_, part_types_;  // part starts relative to the shape's first vertex
};

// The largest ring number of a run, -1 for an empty run.
int32_t LargestRing(std::span<const EnginePoint> run);

// Fills `shape` with the run's rings as parts: part 0 (type 5, outer) from the records of
// ring 0 with a key above 0 (the closing records between rings have key 0), then one part
// (type 3, inner) per further ring with all its records, in stored order.
void BuildRingParts(std::span<const EnginePoint> run, ShapeBuffers& shape);

// Fills `shape` with one closed outline (a shape without part arrays) from `walk`, the
// points of the engine's bridged walk round the outer ring and its holes.
void BuildBridgedOutline(std::span<const EnginePoint> walk, ShapeBuffers& shape);

// The bridged walk of a face's polygon, or nothing when the engine could not attach every
// ring (or has no polygon for the face). Leaves no bridged rings built in the engine.
bool ReadBridgedWalk(int32_t face, std::vector<EnginePoint>& walk);

// The shape of the engine's current polygon `face` (its records `run`): the rings as
// parts when `donut` is set or the polygon has no hole, otherwise the bridged outline; a
// polygon whose holes the engine cannot all bridge keeps them as parts, so no ring is lost.
void BuildPolygonShape(int32_t face, std::span<const EnginePoint> run, bool donut, ShapeBuffers& shape);

}  // namespace gridora
