#include "pair_test.h"

#include <algorithm>
#include <cmath>

namespace ringweld {

namespace {

// Below this a length, determinant or squared norm counts as zero.
constexpr double kTiny = 1e-11;
// Crossings at or beyond this magnitude are not representable as coordinates.
constexpr double kCoordinateLimit = 2147483647.0;

Point p1(const LineRecord& s) { return {s.x1, s.y1}; }
Point p2(const LineRecord& s) { return {s.x2, s.y2}; }
int32_t xmin(const LineRecord& s) { return std::min(s.x1, s.x2); }
int32_t xmax(const LineRecord& s) { return std::max(s.x1, s.x2); }

double squared_distance(Point p, Point q) {
    const double dx = wrap_sub(p.x, q.x);
    const double dy = wrap_sub(p.y, q.y);
    return dx * dx + dy * dy;
}

// The coordinate u at which a line through (t1, u1)–(t2, u2) reaches t, rounded.
// Used with t = x for a crossing with a vertical line and t = y for a horizontal one.
double along(int32_t t, int32_t t1, int32_t u1, int32_t t2, int32_t u2) {
    const double dt = wrap_sub(t, t1);
    const double du = wrap_sub(u2, u1);
    const double span = wrap_sub(t2, t1);
    return round_half_even(dt * du / span + u1);
}

bool within(double v, int32_t lo, int32_t hi) { return lo <= v && v <= hi; }

// A vertical and any other line: the point on b at a's x.
void vertical_crossing(const LineRecord& vert, const LineRecord& other, const LineRecord& a,
                       const LineRecord& b, PairPoints& out) {
    const double y = along(vert.x1, other.x1, other.y1, other.x2, other.y2);
    if (within(y, a.y1, a.y2) && within(y, b.y1, b.y2)) out.add({vert.x1, static_cast<int32_t>(y)});
}

// A horizontal and an oblique line: the point on the oblique line at the horizontal's y.
void horizontal_crossing(const LineRecord& horiz, const LineRecord& other, const LineRecord& a,
                         const LineRecord& b, PairPoints& out) {
    const double x = along(horiz.y1, other.y1, other.x1, other.y2, other.x2);
    if (within(x, xmin(a), xmax(a)) && within(x, xmin(b), xmax(b)))
        out.add({static_cast<int32_t>(x), horiz.y1});
}

// The endpoint of s farther from x; p1 on a tie.
Point farther_end(const LineRecord& s, Point x) {
    return squared_distance(p1(s), x) >= squared_distance(p2(s), x) ? p1(s) : p2(s);
}

// The endpoint of s nearer to e; p2 on a tie.
Point nearer_end(const LineRecord& s, Point e) {
    return squared_distance(p1(s), e) < squared_distance(p2(s), e) ? p1(s) : p2(s);
}

// Oblique lines that are parallel: when collinear, each receives the other's endpoints that
// fall within it.
void collinear_overlap(const LineRecord& a, const LineRecord& b, const NormalLine& lb, PairPoints& out) {
    if (signed_distance(lb, p1(a)) != 0) return;
    for (Point p : {p1(a), p2(a)}) {
        if (auto foot = project(lb, p); foot && in_box(b, *foot)) out.add(*foot);
    }
    for (Point p : {p1(b), p2(b)}) {
        if (auto foot = project(lb, p); foot && in_box(a, *foot)) out.add(*foot);
    }
}

// Two oblique lines that share no endpoint.
void general_crossing(const LineRecord& a, const LineRecord& b, PairPoints& out) {
    const NormalLine la = normal_line(a);
    const NormalLine lb = normal_line(b);
    if (!la.exists || !lb.exists) return;
    const std::optional<Point> crossing = intersect(la, lb);
    if (!crossing) {
        collinear_overlap(a, b, lb, out);
        return;
    }
    const Point x = *crossing;
    const bool in_a = in_box(a, x);
    const bool in_b = in_box(b, x);
    if (in_a && in_b) {
        out.add(x);
        if (squared_distance(p1(a), p1(b)) < squared_distance(p2(a), p1(b))) {
            endpoint_on_line(p1(a), a, la, p1(b), b, lb, out);
            endpoint_on_line(p2(a), a, la, p2(b), b, lb, out);
        } else {
            endpoint_on_line(p1(a), a, la, p2(b), b, lb, out);
            endpoint_on_line(p2(a), a, la, p1(b), b, lb, out);
        }
    } else if (in_a) {
        const Point e = farther_end(b, x);
        endpoint_on_line(nearer_end(a, e), a, la, e, b, lb, out);
    } else if (in_b) {
        const Point e = farther_end(a, x);
        endpoint_on_line(nearer_end(b, e), b, lb, e, a, la, out);
    } else {
        endpoint_on_line(farther_end(a, x), a, la, farther_end(b, x), b, lb, out);
    }
}

}  // namespace

double round_half_even(double v) { return std::nearbyint(v); }

NormalLine normal_line(Point from, Point to) {
    const double dx = wrap_sub(to.x, from.x);
    const double dy = wrap_sub(to.y, from.y);
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len <= kTiny) return {};
    const double xa = from.x, ya = from.y, xb = to.x, yb = to.y;
    return {-dy / len, dx / len, (xa * yb - xb * ya) / len, true};
}

double signed_distance(const NormalLine& line, Point p) {
    const double norm2 = line.a * line.a + line.b * line.b;
    if (norm2 <= kTiny) return 0;
    return (line.a * p.x + line.b * p.y + line.c) / std::sqrt(norm2);
}

std::optional<Point> intersect(const NormalLine& l1, const NormalLine& l2) {
    const double det = l1.a * l2.b - l2.a * l1.b;
    if (std::fabs(det) <= kTiny) return std::nullopt;
    const double x = (l1.b * l2.c - l2.b * l1.c) / det;
    const double y = (l2.a * l1.c - l1.a * l2.c) / det;
    if (!(std::fabs(x) < kCoordinateLimit) || !(std::fabs(y) < kCoordinateLimit)) return std::nullopt;
    return Point{static_cast<int32_t>(round_half_even(x)), static_cast<int32_t>(round_half_even(y))};
}

std::optional<Point> project(const NormalLine& line, Point p) {
    // The perpendicular through p: its normal is the line's direction (b, −a).
    const double px = p.x, py = p.y;
    const NormalLine perpendicular{line.b, -line.a, line.a * py - line.b * px, true};
    return intersect(line, perpendicular);
}

bool in_box(const LineRecord& s, Point p) {
    return xmin(s) <= p.x && p.x <= xmax(s) && s.y1 <= p.y && p.y <= s.y2;
}

bool boxes_overlap(const LineRecord& a, const LineRecord& b) {
    return !(a.y1 > b.y2 || b.y1 > a.y2 || xmin(a) > xmax(b) || xmin(b) > xmax(a));
}

void endpoint_on_line(Point p, const LineRecord& p_seg, const NormalLine& p_line,
                      Point q, const LineRecord& q_seg, const NormalLine& q_line, PairPoints& out) {
    if (p == q) return;
    const double p_off = signed_distance(q_line, p);
    const double q_off = signed_distance(p_line, q);
    if (p_off == 0 && in_box(q_seg, p)) out.add(p);
    if (q_off == 0 && in_box(p_seg, q)) out.add(q);
}

PairPoints pair_test(const LineRecord& a, const LineRecord& b) {
    PairPoints out;
    if (!boxes_overlap(a, b)) return out;

    const bool a_vertical = a.x1 == a.x2;
    const bool b_vertical = b.x1 == b.x2;
    const bool a_horizontal = a.y1 == a.y2;
    const bool b_horizontal = b.y1 == b.y2;

    if (a_vertical) {
        if (b_vertical) {
            if (a.x1 != b.x1) return out;
            out.add({a.x1, std::max(a.y1, b.y1)});
            out.add({a.x1, std::min(a.y2, b.y2)});
        } else {
            vertical_crossing(a, b, a, b, out);
        }
        return out;
    }
    if (b_vertical) {
        vertical_crossing(b, a, a, b, out);
        return out;
    }
    if (a_horizontal) {
        if (b_horizontal) {
            if (a.y1 != b.y1) return out;
            out.add({std::max(xmin(a), xmin(b)), a.y1});
            out.add({std::min(xmax(a), xmax(b)), a.y1});
        } else {
            horizontal_crossing(a, b, a, b, out);
        }
        return out;
    }
    if (b_horizontal) {
        horizontal_crossing(b, a, a, b, out);
        return out;
    }

    // Oblique lines meeting at an endpoint: only the two far ends can still touch the
    // other line.
    const Point a1 = p1(a), a2 = p2(a), b1 = p1(b), b2 = p2(b);
    const Point* far_a = nullptr;
    const Point* far_b = nullptr;
    if (a1 == b1) { far_a = &a2; far_b = &b2; }
    else if (a1 == b2) { far_a = &a2; far_b = &b1; }
    else if (a2 == b1) { far_a = &a1; far_b = &b2; }
    else if (a2 == b2) { far_a = &a1; far_b = &b1; }
    if (far_a) {
        endpoint_on_line(*far_a, a, normal_line(a), *far_b, b, normal_line(b), out);
        return out;
    }

    general_crossing(a, b, out);
    return out;
}

}  // namespace ringweld
