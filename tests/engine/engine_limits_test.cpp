// The engine's coordinate domain, its size hints and its answer to memory running out: the
// intake calls refuse coordinates whose differences would overflow, huge or odd sizes never
// overflow or allocate what is not needed, and a table that cannot grow is reported by its
// error number with the tables left readable.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "engine_limits.h"
#include "polygon_helpers.h"
#include "ringweld.h"
#include "work_table.h"

namespace {

using polygon_test::Seg;

constexpr int32_t kLimit = RW_COORDINATE_LIMIT;
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

int32_t miniline_count() {
    int32_t lines = -1, ends = -1;
    rw_getnum_miniline(&lines, &ends);
    return lines;
}

class EngineDomain : public ::testing::Test {
protected:
    void SetUp() override { rw_start(16, 16, 16, 32); }
    void TearDown() override {
        rw_end();
        ex_end();
        rw_end_onepoly();
    }
};

TEST_F(EngineDomain, LinesWithACoordinateOutsideTheDomainAreRefusedAndNotStored) {
    const int32_t edge = kLimit - 1;
    // Each coordinate in turn just outside, on either side.
    for (int32_t bad : {kLimit, -kLimit, 2000000000, -2000000000, kMax, kMin}) {
        EXPECT_EQ(rw_put_line(1, 1, bad, 0, 5, 5, 1), 101) << bad;
        EXPECT_EQ(rw_put_line(1, 1, 0, bad, 5, 5, 1), 101) << bad;
        EXPECT_EQ(rw_put_line(1, 1, 0, 0, bad, 5, 1), 101) << bad;
        EXPECT_EQ(rw_put_line(1, 1, 0, 0, 5, bad, 1), 101) << bad;
        EXPECT_EQ(rw_put_line_ext(1, 1, bad, 0, 5, 5, 1), 101) << bad;
        EXPECT_EQ(rw_put_line_ext(1, 1, 0, 0, 5, bad, 1), 101) << bad;
    }
    // A zero-length line outside is refused too, not silently dropped as valid.
    EXPECT_EQ(rw_put_line(1, 1, kLimit, kLimit, kLimit, kLimit, 1), 101);
    EXPECT_EQ(miniline_count(), 0);
    int32_t moved = -1;
    EXPECT_EQ(rw_put_line_ext_cpy(&moved), 0);
    EXPECT_EQ(moved, 0);

    // The very edge of the domain is inside.
    EXPECT_EQ(rw_put_line(1, 1, -edge, -edge, edge, edge, 1), 0);
    EXPECT_EQ(rw_put_line_ext(1, 1, -edge, edge, edge, -edge, 1), 0);
    EXPECT_EQ(rw_put_line_ext_cpy(&moved), 0);
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(miniline_count(), 2);

    const char* text = nullptr;
    ASSERT_EQ(rw_get_errormsg(101, &text), 0);
    EXPECT_STREQ(text, "\x90\xAE\x90\x94\x82\xCC\x94\xCD\x88\xCD\x82\xF0\x92\xB4\x82\xA6\x82\xDC\x82\xB5\x82\xBD");
}

TEST_F(EngineDomain, OverlayAndSinglePolygonPointsOutsideTheDomainAreRefused) {
    ex_start(1, 1, 1, 1);
    EXPECT_EQ(ex_put_shapeline(1, 0, kLimit, 0, 7), 101);
    EXPECT_EQ(ex_put_shapeline(1, 0, 0, -kLimit, 7), 101);
    EXPECT_EQ(ex_put_meshline(1, 0, kMin, 0, 0), 101);
    EXPECT_EQ(ex_put_meshline(1, 0, 0, kMax, 0), 101);
    EXPECT_EQ(ex_put_shapeline(1, 0, kLimit - 1, 0, 7), 0);
    EXPECT_EQ(ex_put_meshline(1, 0, 0, 1 - kLimit, 0), 0);
    int32_t shapes = -1, shape_points = -1, meshes = -1, mesh_points = -1;
    ASSERT_EQ(ex_cal_meshcut(&shapes, &shape_points, &meshes, &mesh_points), 0);
    EXPECT_EQ(shapes, 1);
    EXPECT_EQ(shape_points, 1);
    EXPECT_EQ(meshes, 1);
    EXPECT_EQ(mesh_points, 1);

    rw_ini_onepoly();
    EXPECT_EQ(rw_set_onepoly(2000000000, 0, 1), 101);
    EXPECT_EQ(rw_set_onepoly(0, -kLimit, 1), 101);
    EXPECT_EQ(rw_set_onepoly(1, 1, 1), 0);
    int32_t count = -1;
    EXPECT_EQ(rw_exe_onepoly(&count), 0);
    EXPECT_EQ(count, 1);
}

// Crossings near the edge of the domain are still found and cut: every X of two lines
// through the domain's corners becomes four minilines.
TEST_F(EngineDomain, CrossingsAtTheEdgeOfTheDomainAreCut) {
    const int32_t e = kLimit - 1;
    const std::vector<Seg> crosses = {{-e, -e, e, e}, {-e, e, e, -e}};
    for (const Seg& s : crosses) ASSERT_EQ(rw_put_line(1, 1, s.x1, s.y1, s.x2, s.y2, 1), 0);
    int32_t count = 0;
    ASSERT_EQ(rw_create_miniline(&count), 0);
    EXPECT_EQ(count, 4);
    int32_t ent, lin, x1, y1, x2, y2, key;
    std::set<std::pair<int32_t, int32_t>> ends;
    for (int32_t r = rw_first_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key); r == 0;
         r = rw_next_miniline(&ent, &lin, &x1, &y1, &x2, &y2, &key)) {
        ends.insert({x1, y1});
        ends.insert({x2, y2});
    }
    EXPECT_EQ(ends.count({0, 0}), 1u);
    EXPECT_EQ(ends.size(), 5u);

    // A square as wide as the domain still makes one polygon.
    rw_init_line();
    for (const Seg& s : polygon_test::rect(-e, -e, e, e, 1)) ASSERT_EQ(rw_put_line(1, 1, s.x1, s.y1, s.x2, s.y2, 1), 0);
    ASSERT_EQ(rw_create_miniline(&count), 0);
    ASSERT_EQ(rw_create_arcline(&count), 0);
    ASSERT_EQ(rw_create_polygon(&count), 0);
    EXPECT_EQ(count, 1);
}

// ---- size hints --------------------------------------------------------------------------

TEST(EngineSizes, HugeOrNonPositiveSizesAreHintsThatNeitherOverflowNorOverAllocate) {
    // INT32_MAX doubles past 32 bits for the node table; 2^30 - 1 records of 24 bytes would
    // be 24 GB on the first put. Both run a whole assembly as with ordinary sizes.
    for (int32_t size : {kMax, 1073741823, 0, -5, kMin}) {
        ASSERT_EQ(rw_start(size, size, size, size), 0) << size;
        for (const Seg& s : polygon_test::rect(0, 0, 10, 10, 1))
            ASSERT_EQ(rw_put_line(1, 1, s.x1, s.y1, s.x2, s.y2, 1), 0) << size;
        int32_t moved = -1;
        ASSERT_EQ(rw_put_line_ext(1, 1, 20, 0, 30, 0, 1), 0) << size;
        ASSERT_EQ(rw_put_line_ext_cpy(&moved), 0) << size;
        int32_t count = 0;
        ASSERT_EQ(rw_create_miniline(&count), 0) << size;
        EXPECT_EQ(count, 5) << size;
        ASSERT_EQ(rw_create_arcline(&count), 0) << size;
        ASSERT_EQ(rw_create_polygon(&count), 0) << size;
        EXPECT_EQ(count, 1) << size;
        ASSERT_EQ(rw_end(), 0);
    }
    ex_start(kMax, kMax, 1073741823, kMin);
    EXPECT_EQ(ex_put_shapeline(1, 0, 1, 1, 1), 0);
    EXPECT_EQ(ex_put_meshline(1, 0, 1, 1, 1), 0);
    ex_end();
}

TEST(EngineSizes, ArcRecordsWithExtremePointRangesIterateWithoutOverflow) {
    rw_start(16, 16, 16, 32);
    for (const Seg& s : polygon_test::rect(0, 0, 10, 10, 1)) rw_put_line(1, 1, s.x1, s.y1, s.x2, s.y2, 1);
    int32_t count = 0;
    rw_create_miniline(&count);
    ASSERT_EQ(rw_create_arcline(&count), 0);
    ASSERT_EQ(count, 1);

    struct Range {
        int32_t first, last, npoints;
    };
    for (const Range& r : {Range{kMin, kMax, kMax}, Range{kMax, kMin, kMin}, Range{kMin, kMin, 1},
                           Range{kMax, kMax, 1}, Range{kMin, -1, kMax}}) {
        ASSERT_EQ(rw_putarc_arcline(1, 1, 0, 0, 0, 1, 1, r.first, r.last), 0);
        int32_t f1, f2, r1, r2, n = 0;
        ASSERT_EQ(rw_first_arcline(&f1, &f2, &r1, &r2, &n), 0) << r.first << ".." << r.last;
        EXPECT_EQ(n, r.npoints) << r.first << ".." << r.last;
        // No such points exist: the point iteration ends at once, whatever the range says.
        int32_t x = 0, y = 0, ent = 0, lin = 0;
        EXPECT_EQ(rw_next_arcdata(&x, &y, &ent, &lin), -1) << r.first << ".." << r.last;
        EXPECT_EQ(rw_next_arcline(&f1, &f2, &r1, &r2, &n), -1);
    }
    rw_end();
}

// ---- memory running out --------------------------------------------------------------------

class EngineMemory : public ::testing::Test {
protected:
    void SetUp() override { rw_start(1, 1, 1, 1); }
    void TearDown() override {
        ringweld::table_allocation_limit() = std::numeric_limits<std::size_t>::max();
        rw_end();
        ex_end();
        rw_end_onepoly();
    }
    static void limit_tables_to(std::size_t bytes) { ringweld::table_allocation_limit() = bytes; }
};

TEST_F(EngineMemory, AWorkTableThatCannotGrowThrowsItsNumberAndKeepsItsRecords) {
    ringweld::WorkTable<int32_t> table(ringweld::kCoordinateOverflow);
    table.configure(1, 1);
    limit_tables_to(64);
    int32_t stored = 0;
    try {
        for (; stored < 1000; ++stored) table.append(stored);
        FAIL() << "the table never ran out";
    } catch (const ringweld::TableOverflow& e) {
        EXPECT_EQ(e.code, 21);
    }
    EXPECT_EQ(table.count(), stored);
    EXPECT_LE(stored, 16);
    for (int32_t i = 0; i < stored; ++i) EXPECT_EQ(table[static_cast<std::size_t>(i)], i);
    EXPECT_THROW(table.resize(100), ringweld::TableOverflow);
    EXPECT_EQ(table.count(), stored);
}

TEST_F(EngineMemory, AFullLineTableIsNumber11AndTheLinesPutSoFarStayReadable) {
    limit_tables_to(4096);
    int32_t accepted = 0, status = 0;
    for (int32_t i = 1; i <= 100000; ++i) {
        status = rw_put_line(1, 1, 0, i, 5, i, i);
        if (status != 0) break;
        ++accepted;
    }
    EXPECT_EQ(status, 11);
    EXPECT_GT(accepted, 0);
    ASSERT_EQ(miniline_count(), accepted);
    int32_t ent, lin, x1, y1, x2, y2, key;
    ASSERT_EQ(rw_getxy_miniline(accepted - 1, &ent, &lin, &x1, &y1, &x2, &y2, &key), 0);
    EXPECT_EQ(key, accepted);

    // The staging table reports the same number.
    int32_t staged_status = 0;
    for (int32_t i = 1; i <= 100000 && staged_status == 0; ++i) staged_status = rw_put_line_ext(1, 1, 0, i, 7, i, i);
    EXPECT_EQ(staged_status, 11);

    // With room again, work goes on in the same session.
    limit_tables_to(std::numeric_limits<std::size_t>::max());
    int32_t moved = 0;
    EXPECT_EQ(rw_put_line_ext_cpy(&moved), 0);
    EXPECT_EQ(rw_put_line(1, 1, 0, 0, 1, 1, 1), 0);
}

TEST_F(EngineMemory, AssemblyThatRunsOutReportsATableNumberAndLeavesTheTablesReadable) {
    // A grid of 30 x 30 unit squares.
    std::vector<Seg> grid;
    for (int32_t k = 0; k <= 30; ++k) {
        grid.push_back({0, k, 30, k});
        grid.push_back({k, 0, k, 30});
    }
    for (const Seg& s : grid) ASSERT_EQ(rw_put_line(1, 1, s.x1, s.y1, s.x2, s.y2, 1), 0);
    int32_t count = 0;
    ASSERT_EQ(rw_create_miniline(&count), 0);

    limit_tables_to(2048);
    const int32_t arc_status = rw_create_arcline(&count);
    EXPECT_TRUE(arc_status == 11 || arc_status == 21 || arc_status == 62) << arc_status;
    int32_t arcs = -1, points = -1;
    EXPECT_EQ(rw_getnum_arcline(&arcs, &points), 0);
    int32_t f1, f2, r1, r2, n;
    int32_t steps = 0;
    for (int32_t r = rw_first_arcline(&f1, &f2, &r1, &r2, &n); r == 0 && steps < 100000;
         r = rw_next_arcline(&f1, &f2, &r1, &r2, &n))
        ++steps;
    EXPECT_LT(steps, 100000);

    // Arcs made with room; the polygon walk then runs out in its polygon or point table.
    limit_tables_to(std::numeric_limits<std::size_t>::max());
    ASSERT_EQ(rw_create_arcline(&count), 0);
    limit_tables_to(2048);
    const int32_t polygon_status = rw_create_polygon(&count);
    EXPECT_TRUE(polygon_status == 92 || polygon_status == 93) << polygon_status;
    int32_t polygons = -1, polygon_points = -1;
    EXPECT_EQ(rw_getnum_polygon(&polygons, &polygon_points), 0);
    EXPECT_GT(polygon_points, 0);
    steps = 0;
    int32_t face = 0, npoints = 0, x, y, key;
    for (int32_t r = rw_first_polygon(&face, &npoints); r == 0 && steps < 100000; r = rw_next_polygon(&face, &npoints))
        while (rw_next_polydata(&x, &y, &key) == 0 && ++steps < 100000) {
        }
    EXPECT_LT(steps, 100000);

    // A walk that ran out leaves nothing half-consumed: walking again with room makes every square.
    limit_tables_to(std::numeric_limits<std::size_t>::max());
    EXPECT_EQ(rw_create_polygon(&count), 0);
    EXPECT_EQ(count, 900);
}

TEST_F(EngineMemory, OverlayAndSinglePolygonTablesReportTheirNumbers) {
    ex_start(1, 1, 1, 1);
    limit_tables_to(1024);
    int32_t status = 0;
    for (int32_t i = 0; i < 100000 && status == 0; ++i) status = ex_put_shapeline(1, 0, i, 0, 1);
    EXPECT_EQ(status, 93);
    status = 0;
    for (int32_t i = 0; i < 100000 && status == 0; ++i) status = ex_put_meshline(i, 0, i, 0, 1);
    EXPECT_TRUE(status == 92 || status == 93) << status;

    rw_ini_onepoly();
    limit_tables_to(4096);
    status = 0;
    for (int32_t i = 0; i < 100000 && status == 0; ++i) status = rw_set_onepoly(i, 0, 1);
    EXPECT_EQ(status, 93);
    int32_t x, y, key, ring;
    EXPECT_EQ(rw_getfirst_onepoly(&x, &y, &key, &ring), 0);
}

}  // namespace
