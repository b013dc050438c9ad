// Arc assembly through rw_create_arcline and the arc exports.
#include <gtest/gtest.h>

#include "polygon_helpers.h"
#include "ringweld.h"
#include "session.h"

namespace {

using namespace polygon_test;

int32_t create_arcs() {
    int32_t n = -99;
    EXPECT_EQ(rw_create_arcline(&n), 0);
    return n;
}

TEST(ArcAssembly, AClosedSquareIsOneLoopFromItsLowestLeftmostCorner) {
    start_with_minilines(rect(0, 0, 10, 10));
    EXPECT_EQ(create_arcs(), 1);
    const std::vector<ArcView> arcs = read_arcs();
    ASSERT_EQ(arcs.size(), 1u);
    const ArcView& a = arcs[0];
    ASSERT_EQ(a.points.size(), 5u);
    EXPECT_EQ(a.points.front(), (XY{0, 0}));
    EXPECT_EQ(a.points.back(), (XY{0, 0}));
    EXPECT_EQ(a.start, 0);  // node 0 is the lowest, then leftmost position
    EXPECT_EQ(a.end, 0);
    // The interior lies left of a counter-clockwise run: face 1 on the second side.
    const bool counter_clockwise = engine_area(a.points) < 0;
    EXPECT_EQ(a.face1, counter_clockwise ? 0 : 1);
    EXPECT_EQ(a.face2, counter_clockwise ? 1 : 0);
    int32_t arcs_n = 0, points = 0, minilines = 0, endpoints = 0;
    rw_getnum_arcline(&arcs_n, &points);
    rw_getnum_miniline(&minilines, &endpoints);
    EXPECT_EQ(points, 5);
    EXPECT_EQ(endpoints, 8);
    rw_end();
}

TEST(ArcAssembly, ATOfThreeLinesGivesThreeDanglingArcsWithoutFaces) {
    start_with_minilines({{0, 0, 5, 0}, {5, 0, 10, 0}, {5, 0, 5, 7}});
    EXPECT_EQ(create_arcs(), 3);
    for (const ArcView& a : read_arcs()) {
        EXPECT_EQ(a.face1, 0);
        EXPECT_EQ(a.face2, 0);
        EXPECT_EQ(a.points.size(), 2u);
    }
    int32_t polygons = -1;
    EXPECT_EQ(rw_create_polygon(&polygons), 91);
    EXPECT_EQ(polygons, 0);
    rw_end();
}

TEST(ArcAssembly, IdenticalMinilinesGiveOneEdge) {
    std::vector<Seg> segs = rect(0, 0, 4, 4);
    segs.push_back(segs[0]);
    start_with_minilines(segs);
    EXPECT_EQ(create_arcs(), 1);
    int32_t minilines = 0, endpoints = 0;
    rw_getnum_miniline(&minilines, &endpoints);
    EXPECT_EQ(minilines, 5);
    EXPECT_EQ(endpoints, 8);
    rw_end();
}

TEST(ArcAssembly, AnEmptySetGivesNoArcsAndIteratorsEndAtOnce) {
    start_with_minilines({});
    EXPECT_EQ(create_arcs(), 0);
    int32_t f1 = 7, f2 = 7, r1 = 7, r2 = 7, n = 7;
    EXPECT_EQ(rw_first_arcline(&f1, &f2, &r1, &r2, &n), -1);
    EXPECT_EQ(n, 7);
    int32_t x = 7, y = 7, ent = 7, lin = 7;
    EXPECT_EQ(rw_next_arcdata(&x, &y, &ent, &lin), -1);
    int32_t index = 7;
    EXPECT_EQ(rw_ext_arcline(&index, &f1, &f2), -1);
    int32_t polygons = -1;
    EXPECT_EQ(rw_create_polygon(&polygons), 91);
    rw_end();
}

TEST(ArcAssembly, ArcsBetweenJunctionsAreNumberedByTracingFromTheLowestNode) {
    // Two squares sharing their middle side: junctions at (10,0) and (10,10).
    std::vector<Seg> segs = {{0, 0, 10, 0}, {10, 0, 20, 0}, {0, 10, 10, 10}, {10, 10, 20, 10},
                             {0, 0, 0, 10}, {10, 0, 10, 10}, {20, 0, 20, 10}};
    start_with_minilines(segs);
    EXPECT_EQ(create_arcs(), 3);
    const std::vector<ArcView> arcs = read_arcs();
    // Pass 1 starts at node 1, (10,0), the first end-point at a junction.
    for (const ArcView& a : arcs) EXPECT_TRUE(a.start == 1 || a.start == 4) << a.start;
    EXPECT_EQ(arcs[0].points.front(), (XY{10, 0}));
    // Every arc separates two different faces, and the shared one separates faces 1 and 2.
    int shared = 0;
    for (const ArcView& a : arcs) {
        EXPECT_NE(a.face1, a.face2);
        if (a.points.size() == 2) {
            ++shared;
            EXPECT_EQ(std::min(a.face1, a.face2), 1);
            EXPECT_EQ(std::max(a.face1, a.face2), 2);
        }
    }
    EXPECT_EQ(shared, 1);
    rw_end();
}

TEST(ArcAssembly, PointsCarryTheEntAndLinOfTheMinilineThatReachedThem) {
    start_with_minilines({{0, 0, 5, 0, 11, 1}, {5, 0, 10, 0, 22, 2}});  // lin, ent
    EXPECT_EQ(create_arcs(), 1);
    int32_t x, y, ent, lin;
    std::vector<std::pair<int32_t, int32_t>> tags;
    for (int32_t i = 0; rw_getdat_arcline(i, &x, &y, &ent, &lin) == 0; ++i) tags.push_back({ent, lin});
    EXPECT_EQ(tags, (std::vector<std::pair<int32_t, int32_t>>{{1, 11}, {1, 11}, {2, 22}}));
    rw_end();
}

TEST(ArcAssembly, AnArcOfMoreThan5999PointsIsError61) {
    for (int32_t length : {5998, 5999}) {
        std::vector<Seg> segs;
        for (int32_t i = 0; i < length; ++i) segs.push_back({i, 0, i + 1, 0});
        start_with_minilines(segs);
        int32_t n = -5;
        // length segments make length + 1 points.
        EXPECT_EQ(rw_create_arcline(&n), length == 5998 ? 0 : 61) << length;
        EXPECT_EQ(n, length == 5998 ? 1 : -5);
        rw_end();
    }
}

TEST(ArcAccessors, IndicesOutsideTheTablesGiveMinusOneAndWriteNothing) {
    start_with_minilines(rect(0, 0, 3, 3));
    create_arcs();
    int32_t v[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    for (int32_t bad : {-1, 2, 1000}) {
        EXPECT_EQ(rw_getarc_arcline(bad, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]), -1);
        EXPECT_EQ(rw_putarc_arcline(bad, 1, 1, 1, 1, 1, 1, 1, 1), -1);
    }
    for (int32_t bad : {-1, 5, 1 << 30}) EXPECT_EQ(rw_getdat_arcline(bad, &v[0], &v[1], &v[2], &v[3]), -1);
    for (int32_t x : v) EXPECT_EQ(x, 7);
    // The placeholder record 0 is readable and all zero.
    EXPECT_EQ(rw_getarc_arcline(0, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]), 0);
    for (int32_t x : v) EXPECT_EQ(x, 0);
    rw_end();
}

TEST(ArcAccessors, PutarcWritesRingBytesFromTheLowByte) {
    start_with_minilines(rect(0, 0, 3, 3));
    create_arcs();
    EXPECT_EQ(rw_putarc_arcline(1, 5, 6, 0x1FF, 0x102, 1, 2, 3, 4), 0);
    int32_t v[8];
    EXPECT_EQ(rw_getarc_arcline(1, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]), 0);
    EXPECT_EQ(std::vector<int32_t>(v, v + 8), (std::vector<int32_t>{5, 6, 0xFF, 2, 1, 2, 3, 4}));
    rw_end();
}

TEST(ArcSaveLoad, LoadRestoresTheSavedRecordsAndCount) {
    start_with_minilines(rect(0, 0, 3, 3));
    EXPECT_EQ(rw_save_arcline(), 1);  // no arcs made yet
    create_arcs();
    ArcView before = read_arcs()[0];
    EXPECT_EQ(rw_save_arcline(), 0);
    rw_putarc_arcline(1, 9, 9, 9, 9, 9, 9, 9, 9);
    EXPECT_EQ(rw_load_arcline(), 0);
    EXPECT_EQ(read_arcs()[0], before);

    rw_end();
}

TEST(ArcSaveLoad, LoadWithoutSaveLeavesNoArcs) {
    start_with_minilines(rect(0, 0, 3, 3));
    create_arcs();
    EXPECT_EQ(rw_load_arcline(), 0);
    int32_t f1, f2, r1, r2, n;
    EXPECT_EQ(rw_first_arcline(&f1, &f2, &r1, &r2, &n), -1);
    rw_end();
}

TEST(ArcSaveLoad, LoadAfterARebuildWithFewerArcsRestoresTheSavedCount) {
    std::vector<Seg> two = rect(0, 0, 3, 3);
    append(two, rect(10, 0, 13, 3));
    start_with_minilines(two);
    EXPECT_EQ(create_arcs(), 2);
    EXPECT_EQ(rw_save_arcline(), 0);
    const std::vector<ArcView> saved = read_arcs();
    // Rebuild the arcs of one square only, with tables that start small.
    ringweld::session().lines.clear();
    for (const Seg& s : rect(0, 0, 3, 3)) rw_put_line(0, 0, s.x1, s.y1, s.x2, s.y2, 0);
    EXPECT_EQ(create_arcs(), 1);
    EXPECT_EQ(rw_load_arcline(), 0);
    int32_t arcs = 0, points = 0;
    rw_getnum_arcline(&arcs, &points);
    EXPECT_EQ(arcs, 2);
    int32_t v[8];
    EXPECT_EQ(rw_getarc_arcline(2, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]), 0);
    EXPECT_EQ(v[0], saved[1].face1);
    rw_end();
}

}  // namespace
