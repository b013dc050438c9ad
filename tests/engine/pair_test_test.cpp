#include "pair_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "lines_helpers.h"
#include "miniline.h"

namespace ringweld {
namespace {

std::vector<Point> found(const LineRecord& a, const LineRecord& b) {
    const PairPoints pts = pair_test(lower_first(a), lower_first(b));
    std::vector<Point> v(pts.begin(), pts.end());
    std::sort(v.begin(), v.end(), [](Point p, Point q) { return p.x != q.x ? p.x < q.x : p.y < q.y; });
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
}

std::vector<Point> pts(std::initializer_list<Point> list) { return list; }

TEST(PairTest, DiagonalsCrossingHalfWayRoundInPlainDouble) {
    // The crossing evaluates to 3.4999999999999996 without a fused multiply-add.
    EXPECT_EQ(found(make_record(0, 0, 7, 7), make_record(0, 7, 7, 0)), pts({{3, 3}}));
    EXPECT_EQ(found(make_record(0, 7, 7, 0), make_record(0, 0, 7, 7)), pts({{3, 3}}));
}

TEST(PairTest, CrossingsWithAxisParallelLinesRoundHalvesToEven) {
    const LineRecord vertical = make_record(1, -5, 1, 5);
    EXPECT_EQ(found(vertical, make_record(0, 0, 2, 1)), pts({{1, 0}}));  // y = 0.5
    EXPECT_EQ(found(vertical, make_record(0, 1, 2, 2)), pts({{1, 2}}));  // y = 1.5
    EXPECT_EQ(found(vertical, make_record(0, 2, 2, 3)), pts({{1, 2}}));  // y = 2.5
    const LineRecord horizontal = make_record(-5, 1, 5, 1);
    EXPECT_EQ(found(horizontal, make_record(0, 0, 1, 2)), pts({{0, 1}}));  // x = 0.5
    EXPECT_EQ(found(horizontal, make_record(1, 0, 2, 2)), pts({{2, 1}}));  // x = 1.5
}

TEST(PairTest, AxisParallelLinesMeetExactly) {
    // Collinear overlaps give the two ends of the overlap.
    EXPECT_EQ(found(make_record(0, 0, 0, 10), make_record(0, 4, 0, 20)), pts({{0, 4}, {0, 10}}));
    EXPECT_EQ(found(make_record(0, 3, 10, 3), make_record(4, 3, 20, 3)), pts({{4, 3}, {10, 3}}));
    // A T-junction and a corner.
    EXPECT_EQ(found(make_record(0, 0, 10, 0), make_record(4, 0, 4, 9)), pts({{4, 0}}));
    EXPECT_EQ(found(make_record(0, 0, 10, 0), make_record(10, 0, 10, 9)), pts({{10, 0}}));
    // Parallel but apart, and apart in their boxes.
    EXPECT_TRUE(found(make_record(0, 0, 0, 10), make_record(1, 0, 1, 10)).empty());
    EXPECT_TRUE(found(make_record(0, 0, 10, 0), make_record(0, 1, 10, 1)).empty());
    EXPECT_TRUE(found(make_record(0, 0, 10, 0), make_record(11, -5, 11, 5)).empty());
}

TEST(PairTest, ObliqueLinesSharingAnEndpointAddOnlyAFarEndLyingOnTheOther) {
    // A V shape: the shared point is already an endpoint of both.
    EXPECT_TRUE(found(make_record(0, 0, 4, 2), make_record(0, 0, -4, 2)).empty());
    // Collinear, one inside the other: the shorter's far end cuts the longer.
    EXPECT_EQ(found(make_record(0, 0, 4, 2), make_record(0, 0, 2, 1)), pts({{2, 1}}));
    EXPECT_EQ(found(make_record(2, 1, 4, 2), make_record(0, 0, 4, 2)), pts({{2, 1}}));
}

TEST(PairTest, CollinearObliqueOverlapTradesEndpoints) {
    EXPECT_EQ(found(make_record(0, 0, 4, 2), make_record(2, 1, 6, 3)), pts({{2, 1}, {4, 2}}));
    // One inside the other, no shared end.
    EXPECT_EQ(found(make_record(0, 0, 8, 4), make_record(2, 1, 6, 3)), pts({{2, 1}, {6, 3}}));
    // Parallel, not collinear.
    EXPECT_TRUE(found(make_record(0, 0, 4, 2), make_record(0, 1, 4, 3)).empty());
}

TEST(PairTest, ObliqueEndpointOnAnotherLineMakesATJunction) {
    // (2,2) lies on the first line; the second line ends there.
    EXPECT_EQ(found(make_record(0, 0, 4, 4), make_record(2, 2, 5, 0)), pts({{2, 2}}));
    // A near miss by one unit adds nothing: (2,3) is not on y = x.
    EXPECT_TRUE(found(make_record(0, 0, 4, 4), make_record(2, 3, 5, 9)).empty());
}

TEST(PairTest, SegmentsWhoseLinesCrossOutsideThemAddNothing) {
    EXPECT_TRUE(found(make_record(0, 0, 4, 4), make_record(3, 0, 6, 1)).empty());
    // Here the crossing (3.8, 1.5) lies in the first box only, and neither far end touches.
    EXPECT_TRUE(found(make_record(0, 0, 10, 4), make_record(6, 1, 10, 0)).empty());
}

TEST(PairTest, ACrossingJustOutsideBothSegmentsCanRoundIntoBothBoxes) {
    // y = x/10 and the line through (9,1)-(2,2) cross at (9.41, 0.94): rounded to (9,1), an
    // endpoint of the second line, which lies in both boxes and so cuts the first.
    EXPECT_EQ(found(make_record(0, 0, 10, 1), make_record(2, 2, 9, 1)), pts({{9, 1}}));
}

TEST(PairTest, ExtremeCoordinatesWrapInsteadOfOverflowing) {
    constexpr int32_t lo = std::numeric_limits<int32_t>::min();
    constexpr int32_t hi = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(found(make_record(lo, 0, hi, 0), make_record(0, -10, 0, 10)), pts({{0, 0}}));
    // Oblique lines across the whole range: whatever is found lies in both boxes.
    const LineRecord a = lower_first(make_record(lo, lo, hi, hi));
    const LineRecord b = lower_first(make_record(lo, hi, hi, lo));
    for (Point p : found(a, b)) {
        EXPECT_TRUE(in_box(a, p));
        EXPECT_TRUE(in_box(b, p));
    }
    EXPECT_EQ(wrap_sub(hi, lo), -1);
}

TEST(PairTest, EndpointOnLineSkipsEqualPointsAndKeepsPBeforeQ) {
    const LineRecord s = make_record(0, 0, 4, 4);
    const LineRecord t = make_record(2, 2, 6, 2);
    PairPoints out;
    endpoint_on_line({2, 2}, t, normal_line(t), {2, 2}, s, normal_line(s), out);
    EXPECT_EQ(out.count, 0);
    // (4,4) lies on neither; (2,2) lies on s: only it is added.
    endpoint_on_line({2, 2}, t, normal_line(t), {4, 4}, s, normal_line(s), out);
    ASSERT_EQ(out.count, 1);
    EXPECT_EQ(out.at[0], (Point{2, 2}));
}

TEST(PairTest, RoundingIsHalfToEven) {
    EXPECT_EQ(round_half_even(0.5), 0);
    EXPECT_EQ(round_half_even(1.5), 2);
    EXPECT_EQ(round_half_even(-2.5), -2);
    EXPECT_EQ(round_half_even(2.5000001), 3);
}

}  // namespace
}  // namespace ringweld
