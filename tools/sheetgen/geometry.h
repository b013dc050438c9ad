// Plane geometry of the generated map in integer centimetres.
//
// Every coordinate the generator produces is a whole number of centimetres of the
// plane-rectangular system: `e` is the east coordinate (the files' Y), `n` the north
// coordinate (the files' X). Integer vertices let neighbouring polygons and
// neighbouring sheets share points exactly, which the converter's topology relies on.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace sheetgen {

struct Point {
    int64_t e = 0;  // east, cm
    int64_t n = 0;  // north, cm
    auto operator<=>(const Point&) const = default;
};

// A closed ring; the last vertex connects back to the first and is not repeated.
// Outer rings run clockwise (interior on the right of every edge), holes anticlockwise.
using Ring = std::vector<Point>;

// An axis-parallel rectangle, edges included.
struct Rect {
    int64_t e0 = 0, n0 = 0, e1 = 0, n1 = 0;
    bool Contains(Point p) const { return p.e >= e0 && p.e <= e1 && p.n >= n0 && p.n <= n1; }
    bool OnEdge(Point p) const {
        return Contains(p) && (p.e == e0 || p.e == e1 || p.n == n0 || p.n == n1);
    }
    bool Overlaps(const Rect& o) const { return e0 <= o.e1 && o.e0 <= e1 && n0 <= o.n1 && o.n0 <= n1; }
};

Rect BoundsOf(const Ring& ring);

// Twice the signed area, positive for anticlockwise rings (east right, north up).
double TwiceSignedArea(const Ring& ring);

// Even-odd test of a point against one ring.
bool RingContains(const Ring& ring, double e, double n);

// Rounds num/den to the nearest integer, halves away from zero.
int64_t RoundDiv(int64_t num, int64_t den);

// The part of segment a-b inside `r`, in the direction a to b, or nothing when it only
// touches the rectangle or misses it. A crossing with an edge line depends only on the
// segment and that line, never on the other edges of `r`, so two sheets that share an
// edge line cut a segment at the same centimetre.
std::optional<std::pair<Point, Point>> ClipSegment(Point a, Point b, const Rect& r);

// Moves each edge of a clockwise ring inwards by its own distance (cm) and returns the
// ring of the moved edges' intersections. Meant for convex or nearly straight corners.
Ring InsetRing(const Ring& clockwise, const std::vector<double>& distances);

// A point well inside the region bounded by `rings` (an outer ring and its holes): the
// middle of the widest inside stretch of a horizontal line through the region's middle.
Point InteriorPoint(const std::vector<const Ring*>& rings);

// Bilinear point of a quadrilateral given clockwise from its lower-left corner
// (lower-left, upper-left, upper-right, lower-right); u runs east, v north, both 0..1.
Point QuadPoint(const Ring& quad, double u, double v);

}  // namespace sheetgen
