// The mesh overlay through the ex_ exports: shape and cell tables, the shape dump, cell
// marking, the lines fed to the engine and the pieces read back; and the bucket grid behind
// the marking and the lookups, against plain scans of every box.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "overlay.h"
#include "overlay_helpers.h"
#include "ringweld.h"
#include "scratch_folder.h"
#include "session.h"

namespace {

using namespace overlay_test;
using gridora::testing::ReadBytes;
using gridora::testing::ScratchFolder;

struct Counts {
    int32_t shapes = -1, shape_points = -1, meshes = -1, mesh_points = -1;
    friend bool operator==(const Counts&, const Counts&) = default;
};

std::ostream& operator<<(std::ostream& os, const Counts& c) {
    return os << c.shapes << " shapes, " << c.shape_points << " points, " << c.meshes << " cells, "
              << c.mesh_points << " points";
}

Counts mark() {
    Counts c;
    EXPECT_EQ(ex_cal_meshcut(&c.shapes, &c.shape_points, &c.meshes, &c.mesh_points), 0);
    return c;
}

struct FedLine {
    int32_t ent, lin, x1, y1, x2, y2, key;
    friend bool operator==(const FedLine&, const FedLine&) = default;
};

std::ostream& operator<<(std::ostream& os, const FedLine& l) {
    return os << "ent " << l.ent << " lin " << l.lin << " (" << l.x1 << "," << l.y1 << ")-(" << l.x2 << "," << l.y2
              << ") key " << l.key;
}

// The engine's line table right after ex_mesh_line.
std::vector<FedLine> feed() {
    rw_start(100, 100, 100, 200);
    EXPECT_EQ(ex_mesh_line(0), 0);
    std::vector<FedLine> out;
    FedLine l{};
    for (int32_t st = rw_first_miniline(&l.ent, &l.lin, &l.x1, &l.y1, &l.x2, &l.y2, &l.key); st == 0;
         st = rw_next_miniline(&l.ent, &l.lin, &l.x1, &l.y1, &l.x2, &l.y2, &l.key))
        out.push_back(l);
    return out;
}

std::set<int32_t> cells_fed(const std::vector<FedLine>& lines) {
    std::set<int32_t> cells;
    for (const FedLine& l : lines)
        if (l.ent == ringweld::kCellEdge) cells.insert(l.key);
    return cells;
}

class Overlay : public ::testing::Test {
protected:
    void SetUp() override { ex_start(4, 4, 4, 4); }
    void TearDown() override {
        ex_end();
        rw_end();
    }
};

// ---- tables and the dump ----

TEST_F(Overlay, AGroupStartsWheneverTheIdDiffersFromThePreviousPut) {
    ex_put_shapeline(1, 1, 0, 0, 10);
    ex_put_shapeline(1, 2, 10, 0, 11);  // the code of the first put stays
    ex_put_shapeline(2, 3, 5, 5, 20);
    ex_put_shapeline(1, 4, -3, 123456789, 30);  // back to id 1: a new shape
    EXPECT_EQ(mark(), (Counts{3, 4, 0, 0}));

    ScratchFolder folder;
    const auto path = folder.Path() / "shapes.txt";
    ASSERT_EQ(ex_prt_shapeline(path.c_str()), 0);
    EXPECT_EQ(ReadBytes(path),
              "     3         4\r\n"
              "     1       1   2\r\n"
              "   1          0          0\r\n"
              "   2         10          0\r\n"
              "     2       3   1\r\n"
              "   3          5          5\r\n"
              "     3       4   1\r\n"
              "   4         -3  123456789\r\n");
    // The codes travel as the keys of the shapes' engine lines.
    const std::vector<FedLine> lines = feed();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], (FedLine{2, 1, 0, 0, 10, 0, 10}));
}

TEST_F(Overlay, ThePutIntoAnEmptyTableStartsARecordEvenWithThePreviousGroupId) {
    ex_put_shapeline(5, 1, 0, 0, 1);
    ex_put_meshline(5, 0, 0, 0, 1);
    ex_end();
    ex_put_shapeline(5, 1, 7, 7, 2);
    ex_put_meshline(5, 0, 7, 7, 2);
    EXPECT_EQ(mark(), (Counts{1, 1, 1, 1}));
    ex_start(1, 1, 1, 1);
    ex_put_shapeline(5, 1, 8, 8, 3);
    EXPECT_EQ(mark(), (Counts{1, 1, 0, 0}));
}

TEST_F(Overlay, TheTablesGrowPastTheirCapacitiesAndOutliveEngineSessions) {
    rw_start(1, 1, 1, 1);
    for (int32_t i = 0; i < 1000; ++i) ex_put_shapeline(i / 10, i, i, 2 * i, i / 10);
    for (int32_t i = 0; i < 250; ++i) ex_put_meshline(i, 0, i, i, 0);
    rw_end();
    EXPECT_EQ(mark(), (Counts{100, 1000, 250, 250}));
}

TEST_F(Overlay, TheDumpOfANumberWiderThanItsFieldIsWrittenInFullAndAFailedDumpReportsMinusOne) {
    for (int32_t i = 0; i < 10001; ++i) ex_put_shapeline(1, 0, i, -1073741823, 0);
    ScratchFolder folder;
    const auto path = folder.Path() / "wide.txt";
    ASSERT_EQ(ex_prt_shapeline(path.c_str()), 0);
    const std::string text = ReadBytes(path);
    EXPECT_EQ(text.substr(0, 39), "     1     10001\r\n     1       110001\r\n");
    EXPECT_NE(text.find("10001      10000-1073741823\r\n"), std::string::npos);
    EXPECT_EQ(ex_prt_shapeline((folder.Path() / "no such folder" / "x.txt").c_str()), -1);
    EXPECT_EQ(ex_prt_shapeline(nullptr), -1);
}

// ---- marking and feeding ----

TEST_F(Overlay, ACellIsCutWhenItsBoxMeetsAShapeBoxBoundsInclusive) {
    put_shape(1, 1, {{1000, 1000}, {1000, 2000}, {2000, 2000}, {2000, 1000}});
    put_cell(1, 0, 0, 1000, 1000);           // touches at a corner
    put_cell(2, 2000, 500, 3000, 1500);      // shares the right side
    put_cell(3, 2001, 0, 3000, 999);         // one unit away
    put_cell(4, 0, 2001, 500, 3000);         // one unit above
    put_cell(5, 1200, 1200, 1800, 1800);     // inside
    put_cell(6, -5000, -5000, 5000, 5000);   // all around
    put_cell(7, 1500, 2000, 1600, 2100);     // on the top side
    mark();
    EXPECT_EQ(cells_fed(feed()), (std::set<int32_t>{1, 2, 5, 6, 7}));
}

TEST_F(Overlay, WithoutShapesNoCellIsCutButBeforeMarkingEveryCellIs) {
    put_mesh(0, 0, 10, 2, 1);
    EXPECT_EQ(cells_fed(feed()), (std::set<int32_t>{1, 2}));
    mark();
    EXPECT_EQ(cells_fed(feed()), (std::set<int32_t>{}));
}

TEST_F(Overlay, FedLinesCarryTheirTagsAndTheSixteenBitValuesWrap) {
    ex_put_shapeline(1, 40000, 0, 0, 77);
    ex_put_shapeline(1, 7, 0, 10, 77);
    ex_put_shapeline(1, 8, 10, 10, 77);
    ex_put_shapeline(9, 1, 50, 50, 78);  // a shape of one point adds no line
    // The second cell's points are 2 .. 6 of the cell point table; one cell of a single
    // point comes first and adds nothing.
    ex_put_meshline(3, 0, -1, -1, 0);
    put_cell(4, 0, 0, 20, 20);
    // Cell keys are stored but not fed; cell lines carry the point index instead.
    for (int32_t i = 0; i < 32770; ++i) ex_put_meshline(5, 0, i % 2, 0, 99);
    mark();
    const std::vector<FedLine> lines = feed();
    ASSERT_EQ(lines.size(), 2u + 4u + 32769u);
    EXPECT_EQ(lines[0], (FedLine{2, 40000 - 65536, 0, 0, 0, 10, 77}));
    EXPECT_EQ(lines[1], (FedLine{2, 7, 0, 10, 10, 10, 77}));
    EXPECT_EQ(lines[2], (FedLine{4, 2, 0, 0, 0, 20, 2}));    // stored lower end first
    EXPECT_EQ(lines[5], (FedLine{4, 5, 0, 0, 20, 0, 2}));
    EXPECT_EQ(lines.back().lin, static_cast<int16_t>(7 + 32768));
    EXPECT_EQ(lines.back().key, 3);
}

// ---- pieces ----

TEST_F(Overlay, ASquareAcrossFourCellsIsCutIntoFourQuartersAndFourRests) {
    // The cells' numbers follow the put order; the shape 500..1500 meets all four.
    put_mesh(0, 0, 1000, 2, 2);
    put_shape(1, 77, {{500, 500}, {500, 1500}, {1500, 1500}, {1500, 500}});
    ASSERT_EQ(cut(), 0);
    const std::vector<Piece> pieces = read_pieces();
    ASSERT_EQ(pieces.size(), 8u);
    std::map<std::pair<int32_t, int32_t>, int32_t> area_by_cell_and_shape;
    for (const Piece& p : pieces) {
        EXPECT_EQ(p.status, 0) << p;
        area_by_cell_and_shape[{p.mesh, p.shape}] += p.area;
        EXPECT_EQ(p.npoints, static_cast<int32_t>(p.points.size())) << p;
    }
    const std::map<std::pair<int32_t, int32_t>, int32_t> expected = {
        {{1, 1}, 250000}, {{1, -1}, 750000}, {{2, 1}, 250000}, {{2, -1}, 750000},
        {{3, 1}, 250000}, {{3, -1}, 750000}, {{4, 1}, 250000}, {{4, -1}, 750000}};
    EXPECT_EQ(area_by_cell_and_shape, expected);
    EXPECT_EQ(ex_next_polylink(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), -1);
}

TEST_F(Overlay, PiecesShareTheCurrentPolygonOfThePolygonIteration) {
    put_shape(1, 1, {{0, 0}, {0, 10}, {10, 10}, {10, 0}});
    put_shape(2, 2, {{20, 0}, {20, 10}, {30, 10}, {30, 0}});
    ASSERT_EQ(cut(), 0);
    int32_t face = 0, n = 0;
    ASSERT_EQ(rw_first_polygon(&face, &n), 0);
    Piece p;
    ASSERT_EQ(ex_next_polylink(&p.face, &p.npoints, &p.label_x, &p.label_y, &p.shape, &p.mesh, &p.area), 0);
    EXPECT_EQ(p.face, 2);
    EXPECT_EQ((std::vector<int32_t>{p.label_x, p.label_y, p.shape, p.mesh, p.area}),
              (std::vector<int32_t>{25, 5, 2, -1, 100}));
    // and rw_next_polydata reads the piece ex_next_polylink made current
    int32_t x = 0, y = 0, key = 0;
    ASSERT_EQ(rw_next_polydata(&x, &y, &key), 0);
    EXPECT_GE(x, 20);
    face = -5;
    EXPECT_EQ(ex_next_polylink(&face, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(face, -5);
    EXPECT_EQ(rw_next_polygon(&face, &n), -1);
}

TEST_F(Overlay, ShapeKeysComeBackAsUnsignedSixteenBitKeysOfThePiecePoints) {
    put_shape(1, 5, {{0, 0}, {0, 10}, {10, 10}, {10, 0}}, 40000);
    ASSERT_EQ(cut(), 0);
    const std::vector<Piece> pieces = read_pieces();
    ASSERT_EQ(pieces.size(), 1u);
    const std::vector<int32_t>& keys = pieces[0].keys;
    EXPECT_NE(std::find(keys.begin(), keys.end(), 40000), keys.end());
    EXPECT_EQ(std::count_if(keys.begin(), keys.end(), [](int32_t k) { return k < 0; }), 0);
}

TEST_F(Overlay, OfTwoShapesHoldingTheLabelPointTheLaterOneIsReported) {
    for (bool big_first : {true, false}) {
        ex_start(4, 4, 4, 4);
        const std::vector<XY> big = {{0, 0}, {0, 100}, {100, 100}, {100, 0}};
        const std::vector<XY> small = {{40, 40}, {40, 60}, {60, 60}, {60, 40}};
        put_shape(1, 1, big_first ? big : small);
        put_shape(2, 2, big_first ? small : big);
        ASSERT_EQ(cut(), 0);
        std::map<int32_t, int32_t> shape_by_area;
        for (const Piece& p : read_pieces()) shape_by_area[p.area] = p.shape;
        // The inner square lies in both shapes: the later one wins.
        EXPECT_EQ(shape_by_area[400], 2) << big_first;
        EXPECT_EQ(shape_by_area[10000 - 400], big_first ? 1 : 2) << big_first;
    }
}

TEST_F(Overlay, ALabelPointOnItsShapesBoxEdgeGetsNoShapeButStillItsCell) {
    // A strip one unit wide: its label lands on its left side, x = 0 + 1 div 2, which is the
    // shape's box edge. The strict box test rejects it; the cell's inclusive test takes it.
    put_shape(1, 1, {{0, 0}, {0, 10}, {1, 10}, {1, 0}});
    put_cell(1, 0, 0, 1000, 1000);
    ASSERT_EQ(cut(), 0);
    const std::vector<Piece> pieces = read_pieces();
    ASSERT_EQ(pieces.size(), 2u);
    std::map<int32_t, Piece> by_area;
    for (const Piece& p : pieces) by_area[p.area] = p;
    ASSERT_TRUE(by_area.count(10));
    EXPECT_EQ(by_area[10].label_x, 0);
    EXPECT_EQ(by_area[10].label_y, 5);
    EXPECT_EQ(by_area[10].shape, -1);
    EXPECT_EQ(by_area[10].mesh, 1);
    EXPECT_EQ(by_area[1000000 - 10].shape, -1);
    EXPECT_EQ(by_area[1000000 - 10].mesh, 1);
}

TEST_F(Overlay, ThePieceCellIsLookedUpOverEveryCellFlaggedOrNot) {
    put_cell(1, 0, 0, 1600, 1000);     // far from the shape's box: not cut
    put_cell(2, 500, 0, 3000, 1000);   // cut
    put_shape(1, 9, {{2500, 200}, {2500, 800}, {2900, 800}, {2900, 200}});
    ASSERT_EQ(cut(), 0);
    std::map<int32_t, Piece> by_area;
    for (const Piece& p : read_pieces()) by_area[p.area] = p;
    ASSERT_EQ(by_area.size(), 2u);
    // The rest of cell 2: widest stretch on y = 500 is 500..2500, label x = 1500, inside cell 1.
    const Piece& rest = by_area[2500 * 1000 - 400 * 600];
    EXPECT_EQ(rest.label_x, 1500);
    EXPECT_EQ(rest.mesh, 1);
    EXPECT_EQ(rest.shape, -1);
    EXPECT_EQ(by_area[400 * 600].mesh, 2);
    EXPECT_EQ(by_area[400 * 600].shape, 1);
}

TEST_F(Overlay, AreasOfTwoToTheThirtyFirstAndMoreReport101WithoutTheArea) {
    // 46340 x 46341 plus a strip 1 x 41707 is exactly 2147483647; one unit less is in range.
    for (int32_t strip : {41707, 41706, 50000}) {
        ex_start(4, 4, 4, 4);
        put_shape(1, 1, {{0, 0}, {0, 46341}, {46340, 46341}, {46340, strip}, {46341, strip}, {46341, 0}});
        ASSERT_EQ(cut(), 0);
        const std::vector<Piece> pieces = read_pieces(-7);
        ASSERT_EQ(pieces.size(), 1u);
        const Piece& p = pieces[0];
        EXPECT_EQ(p.face, 1);
        EXPECT_EQ(p.shape, 1);
        EXPECT_EQ(p.mesh, -1);
        EXPECT_GT(p.label_x, 0);
        if (strip == 41706) {
            EXPECT_EQ(p.status, 0);
            EXPECT_EQ(p.area, 2147483646);
        } else {
            EXPECT_EQ(p.status, 101) << strip;
            EXPECT_EQ(p.area, -7) << strip;
        }
    }
}

TEST_F(Overlay, WithDuplicateCancellingShapeEdgesOnCellLinesCancelAgainstTheCellEdges) {
    // The shape is exactly the cell: entered once each, the four sides cancel in pairs and
    // nothing is left to assemble; the plain step keeps one copy of each side.
    put_cell(1, 0, 0, 100, 100);
    put_shape(1, 1, {{0, 0}, {0, 100}, {100, 100}, {100, 0}});
    EXPECT_EQ(cut(Dedup::cancel_pairs), 91);
    EXPECT_TRUE(read_pieces().empty());
    ASSERT_EQ(cut(Dedup::keep_one), 0);
    const std::vector<Piece> pieces = read_pieces();
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].area, 10000);
    EXPECT_EQ(pieces[0].shape, 1);
    EXPECT_EQ(pieces[0].mesh, 1);
}

// ---- the bucket grid behind marking and lookups ----

ringweld::PolygonRecord random_box(std::mt19937& rng, int32_t extent, int64_t most_side) {
    std::uniform_int_distribution<int32_t> at(-extent, extent);
    std::uniform_int_distribution<int64_t> side(0, most_side);
    ringweld::PolygonRecord r;
    r.min_x = at(rng);
    r.min_y = at(rng);
    auto up_to_int32 = [](int64_t v) { return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX)); };
    r.max_x = up_to_int32(int64_t{r.min_x} + side(rng));
    r.max_y = up_to_int32(int64_t{r.min_y} + side(rng));
    r.point_count = 0;
    return r;
}

TEST(OverlayIndex, MarkingAndLookupsMatchAScanOfEveryBox) {
    std::mt19937 rng(13);
    for (int round = 0; round < 40; ++round) {
        ringweld::OverlayTables t;
        const int32_t extent = round % 3 == 0 ? 2'000'000'000 : 10'000;
        const int shapes = std::uniform_int_distribution<int>(0, 60)(rng);
        const int cells = std::uniform_int_distribution<int>(1, 300)(rng);
        // Mostly small boxes, some as wide as everything, some of zero width.
        for (int i = 0; i < shapes; ++i) {
            const auto b = random_box(rng, extent, i % 10 == 0 ? int64_t{2} * extent : extent / 20);
            // Closed rectangles: a point strictly inside the box is inside the outline.
            const int32_t xs[] = {b.min_x, b.min_x, b.max_x, b.max_x, b.min_x};
            const int32_t ys[] = {b.min_y, b.max_y, b.max_y, b.min_y, b.min_y};
            for (int k = 0; k < 5; ++k) t.put_shape(i, 0, xs[k], ys[k], i);
        }
        for (int i = 0; i < cells; ++i) {
            const auto b = random_box(rng, extent, i % 50 == 0 ? int64_t{2} * extent : extent / 30);
            t.put_cell(i, b.min_x, b.min_y, 0);
            t.put_cell(i, b.max_x, b.max_y, 0);
        }
        ringweld::mark_cells(t);
        for (const auto& cell : t.meshes.records) {
            const bool meets = std::any_of(t.shapes.records.begin(), t.shapes.records.end(),
                                           [&](const auto& s) { return ringweld::cell_meets_shape(cell, s); });
            ASSERT_EQ(cell.flag, meets ? 1 : 0) << "round " << round;
        }
        for (int q = 0; q < 200; ++q) {
            // Points at box corners and on box edges as well as anywhere.
            const auto& c = t.meshes.records[static_cast<std::size_t>(q % cells)];
            const int32_t x = q % 3 == 0 ? c.min_x : q % 3 == 1 ? c.max_x : random_box(rng, extent, 0).min_x;
            const int32_t y = q % 2 == 0 ? c.max_y : random_box(rng, extent, 0).min_y;
            int32_t first = -1;
            for (int32_t n = 0; n < t.meshes.records.count() && first < 0; ++n) {
                const auto& m = t.meshes.records[static_cast<std::size_t>(n)];
                if (m.min_x <= x && x <= m.max_x && m.min_y <= y && y <= m.max_y) first = n + 1;
            }
            ASSERT_EQ(ringweld::cell_holding(t, x, y), first) << "round " << round << " point " << x << "," << y;
            int32_t last = -1;
            for (int32_t n = t.shapes.records.count(); n >= 1 && last < 0; --n) {
                const auto& s = t.shapes.records[static_cast<std::size_t>(n - 1)];
                if (s.min_x < x && x < s.max_x && s.min_y < y && y < s.max_y) last = n;
            }
            ASSERT_EQ(ringweld::shape_holding(t, x, y), last) << "round " << round << " point " << x << "," << y;
        }
    }
}

}  // namespace
