// Single-polygon mode: bridge marking and reading back through the rw_*_onepoly exports,
// and the sorted-index marking checked against the literal double loop on sequences full of
// retraced segments.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "one_polygon.h"
#include "ringweld.h"

namespace {

struct Read {
    int32_t x, y, key, ring;
    friend bool operator==(const Read&, const Read&) = default;
};

std::ostream& operator<<(std::ostream& os, const Read& r) {
    return os << "(" << r.x << "," << r.y << " key " << r.key << " ring " << r.ring << ")";
}

struct P {
    int32_t x, y;
};

void put_sequence(const std::vector<P>& points) {
    rw_ini_onepoly();
    int32_t key = 1;
    for (const P& p : points) rw_set_onepoly(p.x, p.y, key++);
}

std::vector<Read> read_all() {
    std::vector<Read> out;
    Read r{};
    for (int32_t st = rw_getfirst_onepoly(&r.x, &r.y, &r.key, &r.ring); st == 0;
         st = rw_getnext_onepoly(&r.x, &r.y, &r.key, &r.ring))
        out.push_back(r);
    return out;
}

// A square outline with a square hole joined by one bridge from the outline's corner P =
// (0,0) to the hole's corner Q = (3,3): records 5 (P, the bridge leaves), 10 (Q, it starts
// back) and 11 (P again).
const std::vector<P> kSquareWithBridgedHole = {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}, {3, 3},
                                               {6, 3}, {6, 6},  {3, 6},   {3, 3},  {0, 0}};

class OnePolygon : public ::testing::Test {
protected:
    void TearDown() override { rw_end_onepoly(); }
};

TEST_F(OnePolygon, ASequenceWithoutRetracedSegmentsReadsAsRingZeroWithItsKeys) {
    put_sequence({{0, 0}, {0, 5}, {5, 5}, {5, 0}, {0, 0}});
    int32_t count = -1;
    EXPECT_EQ(rw_exe_onepoly(&count), 0);
    EXPECT_EQ(count, 5);
    const std::vector<Read> expected = {{0, 0, 1, 0}, {0, 5, 2, 0}, {5, 5, 3, 0}, {5, 0, 4, 0}, {0, 0, 5, 0}};
    EXPECT_EQ(read_all(), expected);
}

TEST_F(OnePolygon, ABridgeMarksWhereItLeavesWhereItStartsBackAndWhereItReturns) {
    put_sequence(kSquareWithBridgedHole);
    int32_t count = 0;
    ASSERT_EQ(rw_exe_onepoly(&count), 0);
    EXPECT_EQ(count, 11);
    const std::vector<Read> expected = {
        {0, 0, 1, 0},  {0, 10, 2, 0}, {10, 10, 3, 0}, {10, 0, 4, 0},
        {0, 0, 0, -2},                 // P, the bridge leaves: ring -c-1 with c = 1
        {3, 3, 0, 0},                  // back to ring 0, so key 0 again
        {6, 3, 7, 0},  {6, 6, 8, 0},  {3, 6, 9, 0},
        {3, 3, 0, -3},                 // Q, the bridge starts back: ring -L-1 with L = 2
        {0, 0, 0, 0},                  // P again: group c = 1 (and finally group(N) := 1)
    };
    EXPECT_EQ(read_all(), expected);
}

TEST_F(OnePolygon, MarkingAgainStartsFromTheMarksAsTheyStand) {
    put_sequence(kSquareWithBridgedHole);
    int32_t count = 0;
    rw_exe_onepoly(&count);
    const std::vector<Read> once = read_all();
    // The record where the bridge leaves now holds a negative group, so the current group is
    // not taken from it; for this sequence the second marking gives the same groups.
    rw_exe_onepoly(&count);
    EXPECT_EQ(read_all(), once);
}

TEST_F(OnePolygon, ReadingPastTheEndReturnsOneAndLeavesTheOutputsAlone) {
    put_sequence({{1, 2}, {3, 4}});
    int32_t count = 0;
    rw_exe_onepoly(&count);
    int32_t x = 0, y = 0, key = 0, ring = 0;
    ASSERT_EQ(rw_getfirst_onepoly(&x, &y, &key, &ring), 0);
    ASSERT_EQ(rw_getnext_onepoly(&x, &y, &key, &ring), 0);
    x = y = key = ring = 99;
    EXPECT_EQ(rw_getnext_onepoly(&x, &y, &key, &ring), 1);
    EXPECT_EQ(rw_getnext_onepoly(&x, &y, &key, &ring), 1);  // the cursor moves on; still past the end
    EXPECT_EQ(x, 99);
    EXPECT_EQ(ring, 99);
    // getfirst starts again, with the previous ring reset to 0.
    EXPECT_EQ(rw_getfirst_onepoly(&x, &y, &key, &ring), 0);
    EXPECT_EQ((Read{x, y, key, ring}), (Read{1, 2, 1, 0}));
}

TEST_F(OnePolygon, AnEmptyTableMarksNothingAndReportsNoRecords) {
    rw_ini_onepoly();
    int32_t count = -1;
    EXPECT_EQ(rw_exe_onepoly(&count), 0);
    EXPECT_EQ(count, 0);
    int32_t x = 7;
    EXPECT_EQ(rw_getfirst_onepoly(&x, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(x, 7);
    // A single record is its own sequence: nothing to pair, group(N) = 1.
    rw_set_onepoly(4, 5, 6);
    EXPECT_EQ(rw_exe_onepoly(&count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(read_all(), (std::vector<Read>{{4, 5, 6, 0}}));
}

TEST_F(OnePolygon, AfterEndTheTableReadsEmptyAndTheNextPutStartsANewSequence) {
    put_sequence(kSquareWithBridgedHole);
    int32_t count = 0;
    rw_exe_onepoly(&count);
    EXPECT_EQ(rw_end_onepoly(), 0);
    count = -1;
    EXPECT_EQ(rw_exe_onepoly(&count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(rw_getfirst_onepoly(nullptr, nullptr, nullptr, nullptr), 1);
    // Without rw_ini_onepoly: the count starts again instead of continuing past the
    // released records.
    for (int32_t i = 0; i < 150; ++i) rw_set_onepoly(i, 0, i);
    EXPECT_EQ(rw_exe_onepoly(&count), 0);
    EXPECT_EQ(count, 150);
    const std::vector<Read> reads = read_all();
    ASSERT_EQ(reads.size(), 150u);
    EXPECT_EQ(reads.front(), (Read{0, 0, 0, 0}));
    EXPECT_EQ(reads.back(), (Read{149, 0, 149, 0}));
}

TEST_F(OnePolygon, TheTableOutlivesEngineSessions) {
    put_sequence({{0, 0}, {1, 0}, {0, 0}});
    rw_start(10, 10, 10, 20);
    rw_end();
    int32_t count = 0;
    rw_exe_onepoly(&count);
    EXPECT_EQ(count, 3);
}

// ---- the sorted segment index finds the pairs of the literal double loop, in its order ----

void mark_literally(ringweld::TableVector<ringweld::OnePolygonPoint>& p) {
    const std::size_t n = p.size();
    if (n == 0) return;
    int32_t c = 1, last = 1;
    auto same = [&](std::size_t a, std::size_t b) { return p[a].x == p[b].x && p[a].y == p[b].y; };
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (p[i].group > 0) c = p[i].group;
        for (std::size_t j = i + 1; j + 1 < n; ++j) {
            if (same(j + 1, i) && same(j, i + 1)) {
                ++last;
                p[i].group = static_cast<int16_t>(-c);
                p[j].group = static_cast<int16_t>(-last);
                p[j + 1].group = static_cast<int16_t>(c);
                c = last;
            }
        }
    }
    p[n - 1].group = 1;
}

std::vector<int16_t> groups(const ringweld::TableVector<ringweld::OnePolygonPoint>& p) {
    std::vector<int16_t> g;
    for (const auto& r : p) g.push_back(r.group);
    return g;
}

TEST(OnePolygonMarking, FindsTheSamePairsInTheSameOrderAsTheLiteralLoop) {
    std::mt19937 rng(1313);
    for (int round = 0; round < 300; ++round) {
        // Random walks over a few points retrace segments often, in both directions and
        // several times over; zero-length steps (a point repeated) pair too.
        const int points = std::uniform_int_distribution<int>(0, 60)(rng);
        const int spread = std::uniform_int_distribution<int>(1, 4)(rng);
        std::uniform_int_distribution<int32_t> coordinate(0, spread);
        ringweld::TableVector<ringweld::OnePolygonPoint> fast;
        for (int k = 0; k < points; ++k) fast.push_back({coordinate(rng), coordinate(rng), k, 1});
        ringweld::TableVector<ringweld::OnePolygonPoint> literal = fast;
        for (int pass = 0; pass < 2; ++pass) {  // the second pass starts from the first's marks
            ringweld::mark_bridges(fast);
            mark_literally(literal);
            ASSERT_EQ(groups(fast), groups(literal)) << "round " << round << " pass " << pass;
        }
    }
}

}  // namespace
