#include "geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace sheetgen {

Rect BoundsOf(const Ring& ring) {
    Rect r{std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::max(),
           std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::min()};
    for (const Point& p : ring) {
        r.e0 = std::min(r.e0, p.e);
        r.n0 = std::min(r.n0, p.n);
        r.e1 = std::max(r.e1, p.e);
        r.n1 = std::max(r.n1, p.n);
    }
    return r;
}

double TwiceSignedArea(const Ring& ring) {
    double sum = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Point& p = ring[i];
        const Point& q = ring[(i + 1) % ring.size()];
        sum += static_cast<double>(p.e) * static_cast<double>(q.n) - static_cast<double>(q.e) * static_cast<double>(p.n);
    }
    return sum;
}

bool RingContains(const Ring& ring, double e, double n) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        double ei = static_cast<double>(ring[i].e), ni = static_cast<double>(ring[i].n);
        double ej = static_cast<double>(ring[j].e), nj = static_cast<double>(ring[j].n);
        if ((ni > n) != (nj > n) && e < (ej - ei) * (n - ni) / (nj - ni) + ei) inside = !inside;
    }
    return inside;
}

int64_t RoundDiv(int64_t num, int64_t den) {
    if (den < 0) {
        num = -num;
        den = -den;
    }
    int64_t q = num / den;
    int64_t r = num % den;
    if (2 * (r < 0 ? -r : r) >= den) q += (num < 0) ? -1 : 1;
    return q;
}

namespace {

enum class EdgeLine { kNone, kWest, kEast, kSouth, kNorth };

// Where segment a-b crosses one edge line of r; a is the segment's lesser end point.
Point CrossingWith(Point a, Point b, EdgeLine line, const Rect& r) {
    switch (line) {
        case EdgeLine::kWest:
        case EdgeLine::kEast: {
            int64_t c = line == EdgeLine::kWest ? r.e0 : r.e1;
            return {c, a.n + RoundDiv((b.n - a.n) * (c - a.e), b.e - a.e)};
        }
        case EdgeLine::kSouth:
        case EdgeLine::kNorth: {
            int64_t c = line == EdgeLine::kSouth ? r.n0 : r.n1;
            return {a.e + RoundDiv((b.e - a.e) * (c - a.n), b.n - a.n), c};
        }
        case EdgeLine::kNone:
            break;
    }
    return a;
}

}  // namespace

std::optional<std::pair<Point, Point>> ClipSegment(Point a, Point b, const Rect& r) {
    // Work on the segment in a canonical direction so that the same segment met from a
    // polygon on either side, or from either sheet, gives the same crossings.
    bool swapped = b < a;
    if (swapped) std::swap(a, b);
    if (r.Contains(a) && r.Contains(b)) {
        if (swapped) std::swap(a, b);
        return std::make_pair(a, b);
    }
    double de = static_cast<double>(b.e - a.e), dn = static_cast<double>(b.n - a.n);
    double t0 = 0, t1 = 1;
    EdgeLine at0 = EdgeLine::kNone, at1 = EdgeLine::kNone;
    struct Bound {
        double p, q;
        EdgeLine line;
    } bounds[] = {
        {-de, static_cast<double>(a.e - r.e0), EdgeLine::kWest},
        {de, static_cast<double>(r.e1 - a.e), EdgeLine::kEast},
        {-dn, static_cast<double>(a.n - r.n0), EdgeLine::kSouth},
        {dn, static_cast<double>(r.n1 - a.n), EdgeLine::kNorth},
    };
    for (const Bound& bd : bounds) {
        if (bd.p == 0) {
            if (bd.q < 0) return std::nullopt;
            continue;
        }
        double t = bd.q / bd.p;
        if (bd.p < 0) {
            if (t > t1) return std::nullopt;
            if (t > t0) {
                t0 = t;
                at0 = bd.line;
            }
        } else {
            if (t < t0) return std::nullopt;
            if (t < t1) {
                t1 = t;
                at1 = bd.line;
            }
        }
    }
    if (t0 >= t1) return std::nullopt;
    Point c0 = at0 == EdgeLine::kNone ? a : CrossingWith(a, b, at0, r);
    Point c1 = at1 == EdgeLine::kNone ? b : CrossingWith(a, b, at1, r);
    if (c0 == c1) return std::nullopt;
    if (swapped) std::swap(c0, c1);
    return std::make_pair(c0, c1);
}

Ring InsetRing(const Ring& ring, const std::vector<double>& distances) {
    const std::size_t count = ring.size();
    struct Line {
        double e, n, de, dn;  // a point on the moved edge and the edge's direction
    };
    std::vector<Line> lines(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Point& p = ring[i];
        const Point& q = ring[(i + 1) % count];
        double de = static_cast<double>(q.e - p.e), dn = static_cast<double>(q.n - p.n);
        double len = std::hypot(de, dn);
        // The right-hand normal of a clockwise ring points inwards.
        double ne = dn / len, nn = -de / len;
        lines[i] = {static_cast<double>(p.e) + ne * distances[i], static_cast<double>(p.n) + nn * distances[i], de, dn};
    }
    Ring out(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Line& a = lines[(i + count - 1) % count];
        const Line& b = lines[i];
        double cross = a.de * b.dn - a.dn * b.de;
        double e, n;
        if (std::fabs(cross) < 1e-3 * std::hypot(a.de, a.dn) * std::hypot(b.de, b.dn)) {
            // Nearly straight on: the start of the moved next edge is close enough.
            e = b.e;
            n = b.n;
        } else {
            double t = ((b.e - a.e) * b.dn - (b.n - a.n) * b.de) / cross;
            e = a.e + t * a.de;
            n = a.n + t * a.dn;
        }
        out[i] = {std::llround(e), std::llround(n)};
    }
    return out;
}

Point InteriorPoint(const std::vector<const Ring*>& rings) {
    Rect box = BoundsOf(*rings.front());
    std::set<int64_t> vertex_norths;
    for (const Ring* ring : rings)
        for (const Point& p : *ring) vertex_norths.insert(p.n);
    Point best{box.e0, box.n0};
    double best_width = -1;
    // A few scan lines across the middle; each avoids every vertex so that no crossing
    // is counted twice.
    for (double f : {0.5, 0.37, 0.63, 0.25, 0.75}) {
        int64_t n = box.n0 + static_cast<int64_t>(std::llround(f * static_cast<double>(box.n1 - box.n0)));
        while (vertex_norths.count(n)) ++n;
        std::vector<double> crossings;
        for (const Ring* ring : rings) {
            for (std::size_t i = 0; i < ring->size(); ++i) {
                const Point& p = (*ring)[i];
                const Point& q = (*ring)[(i + 1) % ring->size()];
                if ((p.n > n) == (q.n > n)) continue;
                crossings.push_back(static_cast<double>(p.e) +
                                    static_cast<double>(n - p.n) * static_cast<double>(q.e - p.e) /
                                        static_cast<double>(q.n - p.n));
            }
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
            double width = crossings[i + 1] - crossings[i];
            if (width > best_width) {
                best_width = width;
                best = {std::llround((crossings[i] + crossings[i + 1]) / 2), n};
            }
        }
        if (best_width > 200) break;  // two metres of room either side of the point
    }
    return best;
}

Point QuadPoint(const Ring& quad, double u, double v) {
    double w0 = (1 - u) * (1 - v), w1 = (1 - u) * v, w2 = u * v, w3 = u * (1 - v);
    double e = w0 * static_cast<double>(quad[0].e) + w1 * static_cast<double>(quad[1].e) +
               w2 * static_cast<double>(quad[2].e) + w3 * static_cast<double>(quad[3].e);
    double n = w0 * static_cast<double>(quad[0].n) + w1 * static_cast<double>(quad[1].n) +
               w2 * static_cast<double>(quad[2].n) + w3 * static_cast<double>(quad[3].n);
    return {std::llround(e), std::llround(n)};
}

}  // namespace sheetgen
