// Shared inputs and readers for the arc, face and polygon tests: drawings put into the line
// table, snapshots of the arc and polygon tables read back through the exports, and an
// independent account of the faces of an axis-parallel drawing on a grid of unit cells.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace polygon_test {

struct Seg {
    int32_t x1, y1, x2, y2;
    int32_t lin = 0;
    int32_t ent = 0;
};

struct XY {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const XY&, const XY&) = default;
};

// The closed ring through the points, one segment per side.
std::vector<Seg> ring(const std::vector<XY>& corners, int32_t lin = 0);
std::vector<Seg> rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t lin = 0);
void append(std::vector<Seg>& to, const std::vector<Seg>& more);

// Opens a fresh session and puts the segments into the line table as they are (the caller
// guarantees they are noded: they meet only at shared endpoints).
void start_with_minilines(const std::vector<Seg>& segs, int32_t size = 16);

// Axis-parallel segments cut into unit pieces, duplicates dropped: always noded.
std::vector<Seg> unit_pieces(const std::vector<Seg>& segs);

struct ArcView {
    int32_t face1, face2, ring1, ring2, start, end, first, last;
    std::vector<XY> points;
    friend bool operator==(const ArcView&, const ArcView&) = default;
};

struct PolygonPointView {
    int32_t x, y, key, ring;
    friend bool operator==(const PolygonPointView&, const PolygonPointView&) = default;
};

struct PolygonView {
    int32_t face, minx, miny, maxx, maxy;
    std::vector<PolygonPointView> points;
    friend bool operator==(const PolygonView&, const PolygonView&) = default;
};

// Arcs 1..N and polygons 1..count as the exports report them.
std::vector<ArcView> read_arcs();
std::vector<PolygonView> read_polygons();

// Area of a closed run of points by the engine's own formula: positive when clockwise.
double engine_area(const std::vector<XY>& run);

// The rings of a polygon's record run: ring 0, then each further ring, closing records
// left out.
std::vector<std::vector<XY>> rings_of(const PolygonView& p);

// Faces of an axis-parallel drawing with integer endpoints in [0, size]: connected groups
// of unit cells that no drawn unit edge separates. Component 0 is the outside (every cell
// that reaches the border without crossing a drawn edge, and everything beyond).
struct CellFaces {
    int32_t size = 0;
    std::vector<int32_t> component;   // per cell (x, y) at y * size + x
    std::vector<int64_t> area;        // per component
    int32_t components = 0;
    // The component of the cell at (x, y), the outside for cells beyond the grid.
    int32_t at(int32_t x, int32_t y) const;
};
CellFaces cell_faces(const std::vector<Seg>& unit_segs, int32_t size);

// A random axis-parallel drawing in [0, size]: rectangles, and sometimes loose lines; a
// crowded one has more rectangles, mostly of one or two units a side.
std::vector<Seg> random_drawing(std::mt19937& rng, int32_t size, bool loose_lines, bool crowded = false);

std::string describe(const std::vector<Seg>& segs);

}  // namespace polygon_test
