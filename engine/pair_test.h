// Where two lines meet: the pair test, the endpoint-on-line test and the line geometry
// they share. Pure functions over two LineRecords; no session state.
//
// Expects both lines lower-first and of non-zero length. Leaves behind the points at which
// each of the two lines is to be cut (every point found is a cut point of both lines).
//
// The arithmetic is fixed so that every machine gives the same points: coordinate
// differences wrap around in 32 bits, every product, quotient and square root is an IEEE
// double (the engine is built without contraction into fused multiply-adds), and computed
// points are rounded to the nearest integer with halves to even.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "records.h"

namespace ringweld {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Difference of two coordinates, wrapping around in 32 bits as the coordinate range does.
inline int32_t wrap_sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Nearest integer, halves to even (the default rounding mode).
double round_half_even(double v);

// The normalized line through a segment: a·x + b·y + c is the signed distance of (x, y).
// `exists` is false for a segment too short to have a direction.
struct NormalLine {
    double a = 0;
    double b = 0;
    double c = 0;
    bool exists = false;
};

NormalLine normal_line(Point from, Point to);
inline NormalLine normal_line(const LineRecord& s) { return normal_line({s.x1, s.y1}, {s.x2, s.y2}); }

// Signed distance of p from the line, divided by √(a² + b²); 0 for a degenerate line.
double signed_distance(const NormalLine& line, Point p);

// Crossing of two lines, rounded; nothing when they are parallel or the crossing lies
// outside the 32-bit range.
std::optional<Point> intersect(const NormalLine& l1, const NormalLine& l2);

// Foot of the perpendicular from p onto the line, rounded as a crossing.
std::optional<Point> project(const NormalLine& line, Point p);

// The closed box [xmin, xmax] × [y1, y2] of a lower-first line.
bool in_box(const LineRecord& s, Point p);
bool boxes_overlap(const LineRecord& a, const LineRecord& b);

// Points found by one pair test, in the order found; at most five.
struct PairPoints {
    std::array<Point, 8> at{};
    int count = 0;
    void add(Point p) { at[static_cast<std::size_t>(count++)] = p; }
    const Point* begin() const { return at.data(); }
    const Point* end() const { return at.data() + count; }
};

// Endpoint-on-line test: p is an endpoint of p_seg, q one of q_seg. A point lying exactly on
// the other segment's line and inside its box is added; p before q; nothing when p == q.
void endpoint_on_line(Point p, const LineRecord& p_seg, const NormalLine& p_line,
                      Point q, const LineRecord& q_seg, const NormalLine& q_line, PairPoints& out);

// The pair test of line a (the earlier in line order) against line b.
PairPoints pair_test(const LineRecord& a, const LineRecord& b);

}  // namespace ringweld
