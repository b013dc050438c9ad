// Polygon assembly through rw_create_polygon and the polygon iterations.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <tuple>

#include "polygon_helpers.h"
#include "ringweld.h"

namespace {

using namespace polygon_test;

// Runs arcs and polygons; returns the polygon count.
int32_t assemble(const std::vector<Seg>& segs, int32_t expected_status = 0) {
    start_with_minilines(segs);
    int32_t arcs = 0;
    EXPECT_EQ(rw_create_arcline(&arcs), 0);
    int32_t polygons = -1;
    EXPECT_EQ(rw_create_polygon(&polygons), expected_status);
    return polygons;
}

std::vector<XY> xy_of(const std::vector<PolygonPointView>& pts) {
    std::vector<XY> out;
    for (const auto& p : pts) out.push_back({p.x, p.y});
    return out;
}

class PolygonAssembly : public ::testing::Test {
protected:
    void TearDown() override {
        rw_set_rdir(0);
        rw_end();
    }
};

TEST_F(PolygonAssembly, AClosedSquareIsOneClockwiseRingWithoutClosingRecord) {
    EXPECT_EQ(assemble(rect(0, 0, 10, 10)), 1);
    const std::vector<PolygonView> polys = read_polygons();
    ASSERT_EQ(polys.size(), 1u);
    const PolygonView& p = polys[0];
    EXPECT_EQ(p.face, 1);
    EXPECT_EQ(std::vector<int32_t>({p.minx, p.miny, p.maxx, p.maxy}), std::vector<int32_t>({0, 0, 10, 10}));
    ASSERT_EQ(p.points.size(), 5u);
    EXPECT_EQ(xy_of(p.points).front(), xy_of(p.points).back());
    EXPECT_EQ(engine_area(xy_of(p.points)), 100.0);
    for (const auto& v : p.points) EXPECT_EQ(v.ring, 0);
    int32_t count = 0, points = 0;
    rw_getnum_polygon(&count, &points);
    EXPECT_EQ(points, 5);
}

TEST_F(PolygonAssembly, TwoSquaresSharingASideComeInFaceOrderAndWalkTheSharedArcBothWays) {
    std::vector<Seg> segs = {{0, 0, 10, 0}, {10, 0, 20, 0}, {0, 10, 10, 10}, {10, 10, 20, 10},
                             {0, 0, 0, 10}, {10, 0, 10, 10}, {20, 0, 20, 10}};
    EXPECT_EQ(assemble(segs), 2);
    const std::vector<PolygonView> polys = read_polygons();
    ASSERT_EQ(polys.size(), 2u);
    EXPECT_EQ(polys[0].face, 1);
    EXPECT_EQ(polys[1].face, 2);
    for (const PolygonView& p : polys) {
        EXPECT_EQ(p.points.size(), 5u);
        EXPECT_EQ(engine_area(xy_of(p.points)), 100.0);
    }
    // Face numbers follow the labels' creation, which the lowest scan line decides.
    const int32_t left = polys[0].minx == 0 ? 0 : 1;
    EXPECT_EQ(polys[left].maxx, 10);
    EXPECT_EQ(polys[1 - left].minx, 10);
}

TEST_F(PolygonAssembly, ASquareWithAHoleWalksTheOuterRingFirstThenTheHoleAndOneClosingRecord) {
    std::vector<Seg> segs = rect(0, 0, 30, 30);
    append(segs, rect(10, 10, 20, 20));
    EXPECT_EQ(assemble(segs), 2);
    const std::vector<PolygonView> polys = read_polygons();
    ASSERT_EQ(polys.size(), 2u);
    const PolygonView& ring = polys[0].points.size() > 5 ? polys[0] : polys[1];
    const PolygonView& hole = polys[0].points.size() > 5 ? polys[1] : polys[0];
    ASSERT_EQ(ring.points.size(), 11u);
    // Outer ring: 5 points, closed, clockwise.
    std::vector<XY> outer = xy_of({ring.points.begin(), ring.points.begin() + 5});
    EXPECT_EQ(outer.front(), (XY{0, 0}));
    EXPECT_EQ(outer.back(), (XY{0, 0}));
    EXPECT_EQ(engine_area(outer), 900.0);
    // The hole: ring 1, key 0 on its first point, counter-clockwise.
    std::vector<XY> inner = xy_of({ring.points.begin() + 5, ring.points.begin() + 10});
    for (int i = 5; i < 10; ++i) EXPECT_EQ(ring.points[i].ring, 1);
    EXPECT_EQ(ring.points[5].key, 0);
    EXPECT_EQ(engine_area(inner), -100.0);
    // One closing record back to the polygon's first point.
    EXPECT_EQ(ring.points[10], (PolygonPointView{0, 0, 0, 0}));
    EXPECT_EQ(engine_area(xy_of(ring.points)), 800.0);
    EXPECT_EQ(engine_area(xy_of(hole.points)), 100.0);
    EXPECT_EQ(std::vector<int32_t>({ring.minx, ring.miny, ring.maxx, ring.maxy}), std::vector<int32_t>({0, 0, 30, 30}));

    // The ring record: numbered on from the largest face, ring 1 of its owner.
    int32_t owner = 0, id = 0, number = 0;
    EXPECT_EQ(rw_first_polexttabl(&owner, &id, &number), 0);
    EXPECT_EQ(owner, ring.face);
    EXPECT_EQ(id, 3);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(rw_next_polexttabl(&owner, &id, &number), -1);
    int32_t total = 0, points = 0;
    rw_getnum_polygon(&total, &points);
    EXPECT_EQ(points, 16);

    // Ring bytes: the hole's arc is ring 1 of the outer face and ring 0 of the hole's face.
    int32_t f1, f2, r1, r2, n;
    ASSERT_EQ(rw_first_arcline(&f1, &f2, &r1, &r2, &n), 0);  // arc 1: the outer square
    EXPECT_EQ((f1 == ring.face ? r1 : r2), 0);
    ASSERT_EQ(rw_next_arcline(&f1, &f2, &r1, &r2, &n), 0);  // arc 2: the hole
    EXPECT_EQ((f1 == ring.face ? r1 : r2), 1);
    EXPECT_EQ((f1 == ring.face ? r2 : r1), 0);
}

TEST_F(PolygonAssembly, ExtendedIterationNumbersHolesAfterTheLargestFaceWithPointsReversed) {
    std::vector<Seg> segs = rect(0, 0, 30, 30);
    append(segs, rect(10, 10, 20, 20));
    append(segs, rect(40, 0, 50, 10));  // a third face, so faces run 1..3
    EXPECT_EQ(assemble(segs), 3);
    const std::vector<PolygonView> polys = read_polygons();
    int32_t number = 0, npoints = 0;
    std::vector<int32_t> numbers;
    std::vector<std::vector<PolygonPointView>> delivered;
    for (int32_t st = rw_first_polygon_ext(&number, &npoints); st == 0; st = rw_next_polygon_ext(&number, &npoints)) {
        numbers.push_back(number);
        delivered.emplace_back();
        PolygonPointView v{};
        int32_t r;
        while ((r = rw_next_polydata_ext(&v.x, &v.y, &v.key, &v.ring)) == 0) delivered.back().push_back(v);
    }
    EXPECT_EQ(numbers, (std::vector<int32_t>{1, 2, 3, 4}));
    // Polygons deliver their outer ring only.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(delivered[i].size(), 5u) << i;
    // The hole, reversed: clockwise now, each point keyed with the record after it.
    ASSERT_EQ(delivered[3].size(), 5u);
    EXPECT_EQ(engine_area(xy_of(delivered[3])), 100.0);
    const PolygonView& owner = *std::find_if(polys.begin(), polys.end(),
                                             [](const PolygonView& p) { return p.points.size() == 11; });
    EXPECT_EQ(delivered[3].front().key, 0);  // the closing record's key
    EXPECT_EQ(xy_of({delivered[3].front()}).front(), (XY{owner.points[9].x, owner.points[9].y}));
    EXPECT_EQ(rw_next_polygon_ext(&number, &npoints), -1);
}

TEST_F(PolygonAssembly, DirectionFlagZeroReversesEveryRing) {
    std::vector<Seg> segs = rect(0, 0, 30, 30);
    append(segs, rect(10, 10, 20, 20));
    assemble(segs);
    const std::vector<PolygonView> clockwise = read_polygons();
    rw_set_rdir(1);
    assemble(segs);
    const std::vector<PolygonView> reversed = read_polygons();
    ASSERT_EQ(clockwise.size(), reversed.size());
    for (std::size_t i = 0; i < clockwise.size(); ++i) {
        EXPECT_EQ(clockwise[i].face, reversed[i].face);
        const auto a = rings_of(clockwise[i]);
        const auto b = rings_of(reversed[i]);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t r = 0; r < a.size(); ++r) {
            EXPECT_EQ(engine_area(a[r]), -engine_area(b[r]));
            auto points = [](const std::vector<XY>& run) {
                std::set<std::pair<int32_t, int32_t>> s;
                for (const XY& p : run) s.insert({p.x, p.y});
                return s;
            };
            EXPECT_EQ(points(a[r]), points(b[r]));
        }
    }
}

TEST_F(PolygonAssembly, TheOuterRingComesFirstEvenWhenTheHolesArcsHaveSmallerNumbers) {
    // The hole is split in two by x = 15, so its arcs run between junctions and are traced in
    // the first pass; the outer square is a closed loop traced last.
    std::vector<Seg> segs = {{10, 10, 15, 10}, {15, 10, 20, 10}, {10, 20, 15, 20}, {15, 20, 20, 20},
                             {10, 10, 10, 20}, {15, 10, 15, 20}, {20, 10, 20, 20}};
    append(segs, rect(0, 0, 30, 30));
    EXPECT_EQ(assemble(segs), 3);
    const std::vector<ArcView> arcs = read_arcs();
    ASSERT_EQ(arcs.size(), 4u);
    EXPECT_EQ(arcs.back().points.front(), (XY{0, 0}));
    const std::vector<PolygonView> polys = read_polygons();
    const PolygonView& frame = *std::find_if(polys.begin(), polys.end(), [](const PolygonView& p) { return p.minx == 0; });
    EXPECT_EQ(frame.points.front(), (PolygonPointView{0, 0, frame.points.front().key, 0}));
    const auto rings = rings_of(frame);
    ASSERT_EQ(rings.size(), 2u);
    EXPECT_EQ(engine_area(rings[0]), 900.0);
    EXPECT_EQ(engine_area(rings[1]), -100.0);
}

TEST_F(PolygonAssembly, HolesTouchingAtOneNodeAreSeparateRingsAndTheTouchIsListedOnce) {
    // Two squares meeting at the corner (10,10), inside one frame: the frame's face has four
    // ends at (10,10). Each hole is a loop from that node, so each closes a ring of its own.
    std::vector<Seg> segs = rect(0, 0, 10, 10);
    append(segs, rect(10, 10, 20, 20));
    append(segs, rect(-10, -10, 30, 30));
    EXPECT_EQ(assemble(segs), 3);
    const std::vector<PolygonView> polys = read_polygons();
    const PolygonView& frame = *std::find_if(polys.begin(), polys.end(), [](const PolygonView& p) { return p.minx == -10; });
    const auto rings = rings_of(frame);
    ASSERT_EQ(rings.size(), 3u);
    EXPECT_EQ(rings[1].size(), 5u);
    EXPECT_EQ(rings[2].size(), 5u);
    EXPECT_EQ(engine_area(xy_of(frame.points)), 1600.0 - 200.0);
    int32_t face = 0, x = 0, y = 0;
    std::vector<std::tuple<int32_t, int32_t, int32_t>> touches;
    for (int32_t st = rw_first_pol1dat(&face, &x, &y); st == 0; st = rw_next_pol1dat(&face, &x, &y))
        touches.push_back({face, x, y});
    EXPECT_EQ(touches, (std::vector<std::tuple<int32_t, int32_t, int32_t>>{{frame.face, 10, 10}}));
}

TEST_F(PolygonAssembly, AFigureEightBoundaryContinuesRingZeroThroughItsTouchPoint) {
    // A triangular hole whose apex touches the outer square's bottom side at (10,0): the
    // face's boundary passes (10,0) twice. Both loops start there; the second one starts
    // where the first ended while the ring counter is 0, so it continues ring 0.
    std::vector<Seg> segs = {{0, 0, 10, 0},  {10, 0, 20, 0}, {20, 0, 20, 20}, {0, 20, 20, 20},
                             {0, 0, 0, 20},  {10, 0, 5, 10}, {10, 0, 15, 10}, {5, 10, 15, 10}};
    EXPECT_EQ(assemble(segs), 2);
    const std::vector<PolygonView> polys = read_polygons();
    const PolygonView& face = *std::find_if(polys.begin(), polys.end(), [](const PolygonView& p) { return p.maxy == 20; });
    for (const auto& v : face.points) EXPECT_EQ(v.ring, 0);
    EXPECT_EQ(engine_area(xy_of(face.points)), 400.0 - 50.0);
    EXPECT_EQ(face.points.front(), face.points.back());
    int32_t owner = 0, id = 0, number = 0;
    EXPECT_EQ(rw_first_polexttabl(&owner, &id, &number), -1);
    int32_t f = 0, x = 0, y = 0;
    ASSERT_EQ(rw_first_pol1dat(&f, &x, &y), 0);
    EXPECT_EQ(std::vector<int32_t>({f, x, y}), std::vector<int32_t>({face.face, 10, 0}));
    EXPECT_EQ(rw_next_pol1dat(&f, &x, &y), -1);
}

TEST_F(PolygonAssembly, AHoleReachingAWalkedBranchTurnsOnToTheNextEndAndCloses) {
    // Two holes touch at (8,10). The square below is a loop from that node and, lowest, is
    // walked first as a ring of its own. The square above runs between (6,10) and (8,10)
    // (a spur makes (6,10) a junction); arriving at (8,10), the first end by angle is the
    // lower square's, already walked. The walk turns on to the next end instead of leaving
    // the ring open.
    std::vector<Seg> segs = rect(0, 0, 20, 20);
    append(segs, rect(8, 8, 9, 10));
    append(segs, {{6, 10, 8, 10}, {8, 10, 8, 11}, {8, 11, 6, 11}, {6, 11, 6, 10}, {5, 10, 6, 10}});
    EXPECT_EQ(assemble(segs), 3);
    const std::vector<PolygonView> polys = read_polygons();
    const PolygonView& frame = *std::find_if(polys.begin(), polys.end(), [](const PolygonView& p) { return p.maxy == 20; });
    const auto rings = rings_of(frame);
    ASSERT_EQ(rings.size(), 3u);
    EXPECT_EQ(engine_area(rings[0]), 400.0);
    for (std::size_t r = 1; r < rings.size(); ++r) {
        EXPECT_EQ(rings[r].front(), rings[r].back()) << r;
        EXPECT_EQ(engine_area(rings[r]), -2.0) << r;
    }
}

TEST_F(PolygonAssembly, TheAngleChoiceTakesMoreThan1001EndsAtOneNode) {
    // 600 triangular holes fan out from (0,0) on the frame's bottom side: the frame's face
    // has 1202 ends there. A spur at the corner (-2R,0) makes that corner a junction, so the
    // walk starts there and arrives at (0,0) from the frame's top.
    constexpr int32_t R = 100000;
    constexpr int k = 600;
    std::vector<Seg> segs = {{-2 * R - 5, 0, -2 * R, 0}, {-2 * R, 0, 0, 0}, {0, 0, 2 * R, 0},
                             {2 * R, 0, 2 * R, 2 * R}, {2 * R, 2 * R, -2 * R, 2 * R}, {-2 * R, 2 * R, -2 * R, 0}};
    double holes = 0;
    for (int i = 0; i < k; ++i) {
        const double a = 3.14159265358979 * (i + 0.25) / k;
        const double b = a + 0.5 * 3.14159265358979 / k;
        const XY p{int32_t(std::lround(R * std::cos(a))), int32_t(std::lround(R * std::sin(a)))};
        const XY q{int32_t(std::lround(R * std::cos(b))), int32_t(std::lround(R * std::sin(b)))};
        append(segs, {{0, 0, p.x, p.y}, {p.x, p.y, q.x, q.y}, {q.x, q.y, 0, 0}});
        holes += 0.5 * std::fabs(double(p.x) * q.y - double(q.x) * p.y);
    }
    start_with_minilines(segs, 1000);
    int32_t n = 0;
    ASSERT_EQ(rw_create_arcline(&n), 0);
    ASSERT_EQ(rw_create_polygon(&n), 0);
    EXPECT_EQ(n, k + 1);
    const std::vector<PolygonView> polys = read_polygons();
    const PolygonView& frame = *std::find_if(polys.begin(), polys.end(), [](const PolygonView& p) { return p.maxy == 2 * R; });
    EXPECT_EQ(engine_area(xy_of(frame.points)), 8.0 * R * R - holes);
    int32_t face = 0, x = 0, y = 0;
    int touches = 0;
    for (int32_t st = rw_first_pol1dat(&face, &x, &y); st == 0; st = rw_next_pol1dat(&face, &x, &y)) {
        ++touches;
        EXPECT_EQ(std::vector<int32_t>({face, x, y}), std::vector<int32_t>({frame.face, 0, 0}));
    }
    EXPECT_EQ(touches, 1);
}

TEST_F(PolygonAssembly, ADanglingArcInsideAFaceLeavesTheFaceWhole) {
    std::vector<Seg> segs = {{0, 0, 5, 0}, {5, 0, 10, 0}, {10, 0, 10, 10}, {0, 10, 10, 10}, {0, 0, 0, 10},
                             {5, 0, 5, 4}};
    EXPECT_EQ(assemble(segs), 1);
    for (const ArcView& a : read_arcs()) {
        if (a.points.back() == (XY{5, 4}) || a.points.front() == (XY{5, 4})) {
            EXPECT_EQ(a.face1, a.face2);
        }
    }
    const std::vector<PolygonView> polys = read_polygons();
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(engine_area(xy_of(polys[0].points)), 100.0);
}

TEST_F(PolygonAssembly, AnExitEndSortedFirstStopsTheWalkWith94) {
    start_with_minilines({{0, 0, 10, 0}, {10, 0, 10, 10}, {10, 10, 0, 10}, {0, 10, 0, 0}, {0, 0, 10, 10}});
    int32_t arcs = 0;
    ASSERT_EQ(rw_create_arcline(&arcs), 0);
    int32_t count = 0;
    ASSERT_EQ(rw_create_polygon(&count), 0);
    // Keep one arc with a face on its left only: that side's exit end lies at the arc's
    // lower start node and sorts first.
    int32_t v[8];
    bool kept = false;
    for (int32_t k = 1; k <= arcs; ++k) {
        rw_getarc_arcline(k, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
        const bool keep = !kept && v[4] < v[5];
        kept = kept || keep;
        rw_putarc_arcline(k, 0, keep ? 1 : 0, 0, 0, v[4], v[5], v[6], v[7]);
    }
    ASSERT_TRUE(kept);
    EXPECT_EQ(rw_create_polygon(&count), 94);
    EXPECT_EQ(count, 1);
    int32_t points = 0;
    rw_getnum_polygon(&count, &points);
    EXPECT_GT(points, 0);
}

TEST_F(PolygonAssembly, NoArcBetweenDifferentFacesIs91WithEmptyTables) {
    assemble(rect(0, 0, 4, 4));
    int32_t v[8];
    rw_getarc_arcline(1, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
    rw_putarc_arcline(1, 3, 3, 0, 0, v[4], v[5], v[6], v[7]);
    int32_t count = -1;
    EXPECT_EQ(rw_create_polygon(&count), 91);
    EXPECT_EQ(count, 0);
    int32_t points = -1;
    rw_getnum_polygon(&count, &points);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(points, 0);
    int32_t face = 7, n = 7;
    EXPECT_EQ(rw_first_polygon(&face, &n), -1);
    EXPECT_EQ(face, 7);
}

TEST_F(PolygonAssembly, TablesOfSizeOneGrowOneRecordAtATimeToTheSameResult) {
    std::vector<Seg> segs = rect(0, 0, 30, 30);
    append(segs, rect(10, 10, 20, 20));
    assemble(segs);
    const std::vector<PolygonView> sized = read_polygons();
    start_with_minilines(segs, 1);
    int32_t n = 0;
    ASSERT_EQ(rw_create_arcline(&n), 0);
    ASSERT_EQ(rw_create_polygon(&n), 0);
    EXPECT_EQ(read_polygons(), sized);
}

TEST_F(PolygonAssembly, ArcsWhosePointRangeACallerOverwroteAreNotWalked) {
    std::vector<Seg> segs = rect(0, 0, 30, 30);
    append(segs, rect(10, 10, 20, 20));
    assemble(segs);
    rw_putarc_arcline(2, 1, 2, 0, 0, 0, 0, 3, 1000000);  // the hole's points now run off the table
    int32_t n = 0;
    EXPECT_EQ(rw_create_polygon(&n), 0);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(read_polygons()[0].points.size(), 5u);
}

TEST_F(PolygonAssembly, RingNumbersAfterTheLargestPossibleFaceWrapInsteadOfOverflowing) {
    std::vector<Seg> segs = rect(0, 0, 30, 30);
    append(segs, rect(10, 10, 20, 20));
    assemble(segs);
    int32_t v[8];
    for (int32_t k = 1; k <= 2; ++k) {
        rw_getarc_arcline(k, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
        auto big = [](int32_t f) { return f == 0 ? 0 : INT32_MAX - 2 + f; };
        rw_putarc_arcline(k, big(v[0]), big(v[1]), 0, 0, v[4], v[5], v[6], v[7]);
    }
    int32_t n = 0;
    EXPECT_EQ(rw_create_polygon(&n), 0);
    int32_t owner = 0, id = 0, number = 0;
    ASSERT_EQ(rw_first_polexttabl(&owner, &id, &number), 0);
    EXPECT_EQ(id, INT32_MIN);
    int32_t polygon = 0, npoints = 0;
    std::vector<int32_t> numbers;
    for (int32_t st = rw_first_polygon_ext(&polygon, &npoints); st == 0; st = rw_next_polygon_ext(&polygon, &npoints))
        numbers.push_back(polygon);
    EXPECT_EQ(numbers, (std::vector<int32_t>{INT32_MAX - 1, INT32_MAX, INT32_MIN}));
}

TEST(PolygonReaders, IndicesOutsideTheTablesGiveMinusOneAndWriteNothing) {
    start_with_minilines(rect(0, 0, 4, 4));
    int32_t n = 0;
    rw_create_arcline(&n);
    rw_create_polygon(&n);
    int32_t v[7] = {7, 7, 7, 7, 7, 7, 7};
    for (int32_t bad : {0, 2, -1}) EXPECT_EQ(rw_getpol_polygon(bad, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6]), -1);
    for (int32_t bad : {0, 6, -3}) {
        EXPECT_EQ(rw_getdat_polygon(bad, &v[0], &v[1], &v[2]), -1);
        EXPECT_EQ(rw_getdat_polygon2(bad, &v[0], &v[1], &v[2], &v[3]), -1);
    }
    for (int32_t x : v) EXPECT_EQ(x, 7);
    rw_end();
}

TEST(PolygonReaders, IterationEndsWithMinusOneAndRewindRestartsThePolygon) {
    start_with_minilines(rect(0, 0, 4, 4));
    int32_t n = 0;
    rw_create_arcline(&n);
    rw_create_polygon(&n);
    int32_t face = 0, npoints = 0;
    ASSERT_EQ(rw_first_polygon(&face, &npoints), 0);
    EXPECT_EQ(npoints, 5);
    int32_t x, y, key, ring, read = 0;
    while (rw_next_polydata2(&x, &y, &key, &ring) == 0) ++read;
    EXPECT_EQ(read, 5);
    EXPECT_EQ(rw_rewind_polydata(), 0);
    EXPECT_EQ(rw_next_polydata(&x, &y, &key), 0);
    EXPECT_EQ((XY{x, y}), (XY{0, 0}));
    face = npoints = 9;
    EXPECT_EQ(rw_next_polygon(&face, &npoints), -1);
    EXPECT_EQ(face, 9);
    EXPECT_EQ(npoints, 9);
    // Creating the polygons again restarts the iteration state.
    rw_create_polygon(&n);
    EXPECT_EQ(rw_next_polydata(&x, &y, &key), -1);
    rw_end();
}

}  // namespace
