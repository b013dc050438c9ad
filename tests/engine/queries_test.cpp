// Polygon queries: finding polygons by face and by point, label points, areas and the
// repeated-vertex check, through the exports; the box index and the ray reading directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "box_index.h"
#include "polygon_helpers.h"
#include "queries.h"
#include "ringweld.h"
#include "session.h"

namespace {

using namespace polygon_test;

// Arcs and polygons of a noded drawing; returns the polygon count.
int32_t assemble(const std::vector<Seg>& segs) {
    start_with_minilines(segs);
    int32_t n = 0;
    EXPECT_EQ(rw_create_arcline(&n), 0);
    EXPECT_EQ(rw_create_polygon(&n), 0);
    return n;
}

int32_t face_at(int32_t x, int32_t y) {
    int32_t face = -7;
    const int32_t status = rw_findxy_polygon(x, y, &face);
    if (status != 0) {
        EXPECT_EQ(face, -7) << "written on failure";
        return -1;
    }
    return face;
}

class PolygonQueries : public ::testing::Test {
protected:
    void TearDown() override {
        rw_set_rdir(0);
        rw_end();
    }
};

// ---- finding by face -----------------------------------------------------------------------

TEST_F(PolygonQueries, FindPolygonMakesTheFacesPolygonCurrentAndAMissLeavesTheCurrentOneAlone) {
    std::vector<Seg> segs;
    for (int32_t i = 0; i < 5; ++i) append(segs, rect(20 * i, 0, 20 * i + 10, 10, 1));
    ASSERT_EQ(assemble(segs), 5);
    const std::vector<PolygonView> polys = read_polygons();
    for (const PolygonView& p : polys) {
        ASSERT_EQ(rw_find_polygon(p.face), 0);
        std::vector<PolygonPointView> got;
        PolygonPointView v{};
        while (rw_next_polydata2(&v.x, &v.y, &v.key, &v.ring) == 0) got.push_back(v);
        EXPECT_EQ(got, p.points);
    }
    for (int32_t face : {0, -1, 6, 1000}) EXPECT_EQ(rw_find_polygon(face), -1);

    int32_t face = 0, count = 0;
    ASSERT_EQ(rw_first_polygon(&face, &count), 0);
    PolygonPointView first{}, second{};
    rw_next_polydata2(&first.x, &first.y, &first.key, &first.ring);
    EXPECT_EQ(rw_find_polygon(99), -1);
    rw_next_polydata2(&second.x, &second.y, &second.key, &second.ring);
    EXPECT_EQ(second, polys[0].points[1]);
}

TEST_F(PolygonQueries, QueriesBeforeAnyPolygonIsCurrentReturnMinusOneAndWriteNothing) {
    EXPECT_EQ(rw_find_polygon(1), -1);
    EXPECT_EQ(rw_check1pol_polygondef(), -1);
    ASSERT_EQ(assemble(rect(0, 0, 10, 10, 1)), 1);
    int32_t x = -7, y = -7;
    EXPECT_EQ(rw_center_polygondef(1, &x, &y), -1);
    EXPECT_EQ(rw_check1pol_polygondef(), -1);
    EXPECT_EQ(x, -7);
    EXPECT_EQ(y, -7);
    // Past the last polygon of the iteration nothing is current either.
    int32_t face = 0, count = 0;
    rw_first_polygon(&face, &count);
    EXPECT_EQ(rw_next_polygon(&face, &count), -1);
    EXPECT_EQ(rw_center_polygondef(1, &x, &y), -1);
    EXPECT_EQ(rw_check1pol_polygondef(), -1);
    // A missed face keeps outputs untouched.
    double area = -7;
    int32_t iarea = -7;
    EXPECT_EQ(rw_center_polygon(2, &x, &y), -1);
    EXPECT_EQ(rw_calarea_polygon(2, &iarea), -1);
    EXPECT_EQ(rw_calareaD_polygon(2, &area), -1);
    EXPECT_EQ(x, -7);
    EXPECT_EQ(iarea, -7);
    EXPECT_EQ(area, -7);
}

// ---- point in polygon ----------------------------------------------------------------------

TEST_F(PolygonQueries, BoundaryPointsOfASquareAreInsideOnTheLeftAndBottomAndOutsideOnTheRightAndTop) {
    ASSERT_EQ(assemble(rect(0, 0, 10, 10, 1)), 1);
    EXPECT_EQ(face_at(5, 5), 1);
    EXPECT_EQ(face_at(0, 5), 1);
    EXPECT_EQ(face_at(10, 5), -1);
    EXPECT_EQ(face_at(5, 10), -1);
    EXPECT_EQ(face_at(11, 5), -1);
    EXPECT_EQ(face_at(-1, 5), -1);
}

TEST_F(PolygonQueries, APointInAHoleIsFoundInTheIslandThatFillsItAndNotInThePolygonAround) {
    std::vector<Seg> segs = rect(0, 0, 30, 30, 1);
    append(segs, rect(10, 10, 20, 20, 2));
    ASSERT_EQ(assemble(segs), 2);
    const std::vector<PolygonView> polys = read_polygons();
    const int32_t outer = polys[0].minx == 0 ? polys[0].face : polys[1].face;
    const int32_t island = outer == polys[0].face ? polys[1].face : polys[0].face;
    EXPECT_EQ(face_at(15, 15), island);
    EXPECT_EQ(face_at(5, 15), outer);
    EXPECT_EQ(face_at(25, 25), outer);
    // On the hole's left edge the island's own rule says inside.
    EXPECT_EQ(face_at(10, 15), island);
}

// The run of this square starts on the horizontal line through its middle, at (0,5), where a
// spur meets it; a reading that went back over the run after wrapping round counted the
// right-hand side twice and called the middle outside.
TEST_F(PolygonQueries, ARunStartingOnTheRayLineIsReadOnceAfterWrappingRound) {
    std::vector<Seg> segs = {{-3, 5, 0, 5, 1}, {10, 5, 13, 5, 1}, {0, 0, 10, 0, 1}, {0, 10, 10, 10, 1},
                             {0, 0, 0, 5, 1},  {0, 5, 0, 10, 1},  {10, 0, 10, 5, 1}, {10, 5, 10, 10, 1}};
    ASSERT_EQ(assemble(segs), 1);
    const PolygonView p = read_polygons()[0];
    ASSERT_EQ(p.points.front(), (PolygonPointView{0, 5, p.points.front().key, 0}));
    for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(face_at(x, 5), p.face) << x;
    EXPECT_EQ(face_at(10, 5), -1);
    EXPECT_EQ(face_at(-1, 5), -1);
    int32_t lx = 0, ly = 0;
    ASSERT_EQ(rw_center_polygon(p.face, &lx, &ly), 0);
    EXPECT_EQ(lx, 5);
    EXPECT_EQ(ly, 5);
}

TEST(RayReading, VerticesAndHorizontalEdgesOnTheRayCountOnlyWhereTheBoundaryCrosses) {
    using ringweld::PolygonPoint;
    // Clockwise: a spike up from the bottom touches y = 4 at (4,4) and turns back; the right
    // side comes down onto y = 4 at (12,4), runs along it to (14,4) and leaves downwards.
    const std::vector<PolygonPoint> run = {{1, 0, 0, 0},  {1, 0, 8, 0},  {1, 16, 8, 0}, {1, 12, 4, 0},
                                           {1, 14, 4, 0}, {1, 16, 0, 0}, {1, 6, 0, 0},  {1, 4, 4, 0},
                                           {1, 2, 0, 0},  {1, 0, 0, 0}};
    const ringweld::RecordRun r(run);
    EXPECT_TRUE(ringweld::run_contains(r, 2, 4));   // left of the touching vertex
    EXPECT_TRUE(ringweld::run_contains(r, 5, 4));   // right of it
    EXPECT_TRUE(ringweld::run_contains(r, 11, 4));  // left of the run along the line
    EXPECT_FALSE(ringweld::run_contains(r, 15, 4)); // right of the run: outside
    EXPECT_FALSE(ringweld::run_contains(r, -1, 4));
    EXPECT_FALSE(ringweld::run_contains(r, 2, 9));
}

// The reference: even-odd over the polygon's rings at a point nudged off the lattice, valid
// for lattice points that lie on none of the polygon's edges.
bool region_contains(const PolygonView& p, int32_t x, int32_t y) {
    const double px = x + 0.25, py = y + 0.375;
    bool inside = false;
    for (const std::vector<XY>& ring : rings_of(p)) {
        for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
            const XY a = ring[i], b = ring[i + 1];
            if ((a.y > py) == (b.y > py)) continue;
            const double xc = a.x + (py - a.y) * (b.x - a.x) / double(b.y - a.y);
            inside ^= px < xc;
        }
    }
    return inside;
}

bool on_an_edge(const std::vector<PolygonView>& polys, int32_t x, int32_t y) {
    for (const PolygonView& p : polys) {
        for (const std::vector<XY>& ring : rings_of(p)) {
            for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
                const XY a = ring[i], b = ring[i + 1];
                if (std::min(a.x, b.x) <= x && x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= y &&
                    y <= std::max(a.y, b.y))
                    return true;
            }
        }
    }
    return false;
}

// Every lattice point of random drawings off the boundaries: the first polygon in table order
// whose region holds it, including points on lines through vertices and along edges.
TEST_F(PolygonQueries, EveryPointOffTheBoundariesIsFoundInTheFirstPolygonWhoseRegionHoldsIt) {
    std::mt19937 rng(9);
    constexpr int32_t kGrid = 12;
    int checked = 0;
    for (int drawing = 0; drawing < 150; ++drawing) {
        const std::vector<Seg> segs = unit_pieces(random_drawing(rng, kGrid, drawing % 2 == 1, drawing % 3 == 0));
        start_with_minilines(segs);
        int32_t n = 0;
        if (rw_create_arcline(&n) != 0 || rw_create_polygon(&n) != 0) continue;
        const std::vector<PolygonView> polys = read_polygons();
        for (int32_t y = -1; y <= kGrid + 1; ++y) {
            for (int32_t x = -1; x <= kGrid + 1; ++x) {
                if (on_an_edge(polys, x, y)) continue;
                int32_t expected = -1;
                for (const PolygonView& p : polys) {
                    if (region_contains(p, x, y)) {
                        expected = p.face;
                        break;
                    }
                }
                ASSERT_EQ(face_at(x, y), expected) << describe(segs) << " at " << x << "," << y;
                ++checked;
            }
        }
        rw_end();
    }
    EXPECT_GT(checked, 10000);
}

// The bands of a long run must count exactly as the reading of the whole run, at every point
// of the box, boundary points and lines through vertices included.
TEST(RunBandsQueries, CountAsTheWholeRunEverywhere) {
    std::mt19937 rng(12);
    int runs = 0;
    for (int drawing = 0; drawing < 40; ++drawing) {
        start_with_minilines(unit_pieces(random_drawing(rng, 40, drawing % 2 == 0, drawing % 4 == 1)), 256);
        int32_t n = 0;
        if (rw_create_arcline(&n) != 0 || rw_create_polygon(&n) != 0) {
            rw_end();
            continue;
        }
        const ringweld::PolygonTables& t = ringweld::session().polygons;
        for (const ringweld::PolygonRecord& r : t.polygons) {
            const ringweld::RecordRun run = ringweld::record_run(t.points, r);
            if (run.size() < 40) continue;
            ++runs;
            const ringweld::RunBands bands(run);
            for (int32_t y = r.min_y - 1; y <= r.max_y + 1; ++y)
                for (int32_t x = r.min_x - 1; x <= r.max_x + 1; ++x)
                    ASSERT_EQ(bands.contains(run, x, y), ringweld::run_contains(run, x, y)) << x << "," << y;
        }
        rw_end();
    }
    EXPECT_GT(runs, 40);
}

TEST(BoxIndexQueries, CandidatesAreEveryBoxHoldingThePointInAscendingOrder) {
    std::mt19937 rng(3);
    for (int32_t n : {0, 1, 15, 16, 17, 300, 5000}) {
        ringweld::TableVector<ringweld::Box> boxes;
        std::uniform_int_distribution<int32_t> at(-50, 50), size(0, 30);
        for (int32_t i = 0; i < n; ++i) {
            const int32_t x = at(rng), y = at(rng);
            boxes.push_back({x, y, x + size(rng) * (i % 7 == 0 ? 3 : 1), y + size(rng)});
        }
        ringweld::BoxIndex index;
        index.build(boxes);
        std::vector<int32_t> got;
        for (int q = 0; q < 400; ++q) {
            const int32_t x = at(rng), y = at(rng);
            index.containing(x, y, got);
            std::vector<int32_t> expected;
            for (int32_t i = 0; i < n; ++i)
                if (boxes[static_cast<std::size_t>(i)].contains(x, y)) expected.push_back(i);
            ASSERT_EQ(got, expected) << n << " boxes, at " << x << "," << y;
        }
    }
}

// Overlapping polygons cannot come out of one assembly, so the tables are made by hand.
TEST(PointQuery, OfTwoPolygonsHoldingThePointTheEarlierInTableOrderWins) {
    ringweld::PolygonTables t;
    auto add_square = [&t](int32_t face, int32_t x0, int32_t y0, int32_t side) {
        const int32_t first = t.points.count() + 1;
        for (auto [x, y] : {std::pair{x0, y0}, {x0, y0 + side}, {x0 + side, y0 + side}, {x0 + side, y0}, {x0, y0}})
            t.points.append({1, x, y, 0});
        t.polygons.append({face, x0, y0, x0 + side, y0 + side, 5, first, 0, 0, face});
    };
    add_square(1, 0, 0, 4);
    add_square(2, 2, 2, 10);
    add_square(3, 1, 1, 10);
    ringweld::PolygonQueryCache cache;
    EXPECT_EQ(ringweld::find_containing(t, cache, 3, 3), 0);
    EXPECT_EQ(ringweld::find_containing(t, cache, 5, 5), 1);
    EXPECT_EQ(ringweld::find_containing(t, cache, 1, 10), 2);
    EXPECT_EQ(ringweld::find_containing(t, cache, 20, 20), -1);
}

// ---- label point ---------------------------------------------------------------------------

TEST_F(PolygonQueries, TheLabelOfASquareIsItsMiddle) {
    ASSERT_EQ(assemble(rect(0, 0, 10, 10, 1)), 1);
    int32_t x = 0, y = 0;
    ASSERT_EQ(rw_center_polygon(1, &x, &y), 0);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 5);
    // The square is now current.
    EXPECT_EQ(rw_center_polygondef(1, &x, &y), 0);
    EXPECT_EQ(rw_center_polygondef(2, &x, &y), 1);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 5);
}

TEST_F(PolygonQueries, TheLabelLineRoundsHalvesToEvenOrTruncatesByExport) {
    ASSERT_EQ(assemble(rect(0, 0, 11, 11, 1)), 1);
    int32_t x = 0, y = 0;
    ASSERT_EQ(rw_center_polygon(1, &x, &y), 0);
    EXPECT_EQ(y, 6);  // 5.5 to even
    EXPECT_EQ(x, 5);  // 0 + 11 div 2
    ASSERT_EQ(rw_center_polygondef(1, &x, &y), 0);
    EXPECT_EQ(y, 5);
}

TEST_F(PolygonQueries, AUShapedLabelMovesIntoTheWiderArmOrTheLeftOneOnATie) {
    // Arms 0..4 and 16..20 (tie), and 0..4 with 14..20 (right wider); the notch holds the middle.
    for (const auto& [right_arm, expected_x] : {std::pair{16, 2}, std::pair{14, 17}}) {
        ASSERT_EQ(assemble(ring({{0, 0}, {0, 20}, {4, 20}, {4, 6}, {right_arm, 6}, {right_arm, 20}, {20, 20}, {20, 0}}, 1)),
                  1);
        int32_t x = 0, y = 0;
        ASSERT_EQ(rw_center_polygon(1, &x, &y), 0);
        EXPECT_EQ(y, 10);
        EXPECT_EQ(x, expected_x) << right_arm;
        rw_end();
    }
}

TEST(LabelScan, ARunAlongTheLineGivesMarkedCrossingsAndTheirPairIsSkipped) {
    using ringweld::PolygonPoint;
    using ringweld::ScanCrossing;
    // An L: the scan line y = 5 runs along its inner corner edge (20,5)-(10,5).
    const std::vector<PolygonPoint> run = {{1, 0, 0, 0},   {1, 0, 10, 0}, {1, 10, 10, 0}, {1, 10, 5, 0},
                                           {1, 20, 5, 0},  {1, 20, 0, 0}, {1, 0, 0, 0}};
    std::vector<ScanCrossing> crossings;
    ringweld::scan_crossings(ringweld::RecordRun(run), 5, crossings);
    EXPECT_EQ(crossings, (std::vector<ScanCrossing>{{0, false}, {10, true}, {10, true}, {20, true}}));
    EXPECT_EQ(ringweld::widest_stretch_middle(crossings, 10), 5);
    // Touching the line and turning back after running along it: two marked crossings only.
    const std::vector<PolygonPoint> notch = {{1, 0, 0, 0}, {1, 0, 10, 0}, {1, 4, 10, 0}, {1, 4, 5, 0},
                                             {1, 8, 5, 0}, {1, 8, 10, 0}, {1, 12, 10, 0}, {1, 12, 0, 0},
                                             {1, 0, 0, 0}};
    crossings.clear();
    ringweld::scan_crossings(ringweld::RecordRun(notch), 5, crossings);
    EXPECT_EQ(crossings, (std::vector<ScanCrossing>{{0, false}, {4, true}, {8, true}, {12, false}}));
    // Sorted: 0, 4 | 8, 12: both pairs count, equally wide, the first wins.
    EXPECT_EQ(ringweld::widest_stretch_middle(crossings, 6), 2);
    // No qualifying pair keeps the start.
    std::vector<ScanCrossing> marked = {{3, true}, {9, true}};
    EXPECT_EQ(ringweld::widest_stretch_middle(marked, 6), 6);
}

TEST_F(PolygonQueries, AScanLineWithThousandsOfCrossingsIsReadWhole) {
    // A comb of 1500 teeth: 3000 crossings on the middle line, more than a fixed list of 1000
    // would hold; the widest stretch is the last, wider tooth. A spur on every tooth keeps the
    // arcs short.
    std::vector<XY> corners = {{0, 0}, {0, 10}};
    std::vector<Seg> spurs;
    for (int32_t i = 0; i < 1500; ++i) {
        const int32_t w = i == 1499 ? 6 : 2;
        corners.push_back({4 * i + 1, 10});
        corners.push_back({4 * i + 1, 30});
        corners.push_back({4 * i + 1 + w, 30});
        corners.push_back({4 * i + 1 + w, 10});
        spurs.push_back({4 * i + 1, 30, 4 * i + 1, 31, 1});
    }
    corners.push_back({6010, 10});
    corners.push_back({6010, 0});
    std::vector<Seg> segs = ring(corners, 1);
    append(segs, spurs);
    ASSERT_EQ(assemble(segs), 1);
    int32_t x = 0, y = 0;
    ASSERT_EQ(rw_center_polygon(1, &x, &y), 0);
    EXPECT_EQ(y, 15);
    EXPECT_EQ(x, 4 * 1499 + 1 + 3);
    int32_t area = 0;
    ASSERT_EQ(rw_calarea_polygon(1, &area), 0);
    EXPECT_EQ(area, 6010 * 10 + 1499 * 40 + 120);
}

// ---- area and repeated vertices -----------------------------------------------------------

TEST(FanArea, ClockwiseCountsPositiveAndCounterClockwiseNegative) {
    using ringweld::PolygonPoint;
    const std::vector<PolygonPoint> cw = {{1, 0, 0, 0}, {1, 0, 1, 0}, {1, 1, 1, 0}, {1, 1, 0, 0}, {1, 0, 0, 0}};
    std::vector<PolygonPoint> ccw(cw.rbegin(), cw.rend());
    EXPECT_EQ(ringweld::run_area(ringweld::RecordRun(cw)), 1.0);
    EXPECT_EQ(ringweld::run_area(ringweld::RecordRun(ccw)), -1.0);
    EXPECT_EQ(ringweld::run_area(ringweld::RecordRun(cw).first(2)), 0.0);
}

TEST_F(PolygonQueries, AreaSubtractsHolesAndFollowsTheDirectionFlag) {
    std::vector<Seg> segs = rect(0, 0, 30, 30, 1);
    append(segs, rect(10, 10, 20, 20, 2));
    ASSERT_EQ(assemble(segs), 2);
    const int32_t outer = read_polygons()[0].minx == 0 ? read_polygons()[0].face : read_polygons()[1].face;
    int32_t area = 0;
    double exact = 0;
    ASSERT_EQ(rw_calarea_polygon(outer, &area), 0);
    ASSERT_EQ(rw_calareaD_polygon(outer, &exact), 0);
    EXPECT_EQ(area, 800);
    EXPECT_EQ(exact, 800.0);
    rw_end();

    rw_set_rdir(1);
    ASSERT_EQ(assemble(rect(0, 0, 10, 10, 1)), 1);
    ASSERT_EQ(rw_calarea_polygon(1, &area), 0);
    EXPECT_EQ(area, -100);
}

TEST_F(PolygonQueries, AnAreaBeyondTheIntegerRangeIsStatus101WithZeroButExactAsADouble) {
    ASSERT_EQ(assemble(rect(0, 0, 50000, 50000, 1)), 1);
    int32_t area = -7;
    double exact = 0;
    EXPECT_EQ(rw_calarea_polygon(1, &area), 101);
    EXPECT_EQ(area, 0);
    ASSERT_EQ(rw_calareaD_polygon(1, &exact), 0);
    EXPECT_EQ(exact, 2.5e9);
    rw_end();
    // 46340² fits; a coordinate range near the limits keeps the differences exact.
    ASSERT_EQ(assemble(rect(1073600000, -1073600000, 1073646340, -1073553660, 1)), 1);
    EXPECT_EQ(rw_calarea_polygon(1, &area), 0);
    EXPECT_EQ(area, 46340 * 46340);
}

TEST_F(PolygonQueries, ARepeatedVertexIsFoundInAPolygonWithAHoleButNotInASimpleRing) {
    std::vector<Seg> segs = rect(0, 0, 30, 30, 1);
    append(segs, rect(10, 10, 20, 20, 2));
    ASSERT_EQ(assemble(segs), 2);
    int32_t face = 0, count = 0;
    ASSERT_EQ(rw_first_polygon(&face, &count), 0);
    const int32_t first = rw_check1pol_polygondef();
    ASSERT_EQ(rw_next_polygon(&face, &count), 0);
    const int32_t second = rw_check1pol_polygondef();
    // One of them is the square with the hole, the other the island.
    EXPECT_EQ(std::min(first, second), 0);
    EXPECT_EQ(std::max(first, second), 1);
    ASSERT_EQ(rw_find_polygon(1), 0);
    EXPECT_EQ(rw_check1pol_polygondef(), read_polygons()[0].points.size() == 5 ? 1 : 0);
}

}  // namespace
