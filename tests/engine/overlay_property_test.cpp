// The pieces of a generated outline cut by a mesh of 1000-unit cells tile it: together they
// cover the cut cells exactly, the pieces inside the outline add up to its area, and every
// piece reports the cell it lies in and whether it lies in the outline.
//
// Two kinds of outline, about 50 points each: rectilinear ones on a 100-unit lattice, whose
// sides often lie on cell lines and whose cuts are exact, so every sum must match to the
// unit; and star-shaped ones with oblique sides, whose cut points are rounded to integers,
// so the inside sum may differ from the outline's area by the rounding along its sides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <vector>

#include "overlay_helpers.h"
#include "ringweld.h"

namespace {

using namespace overlay_test;

constexpr int32_t kCell = 1000;

// An x-monotone staircase: columns side by side, each from its bottom to its top, walked
// clockwise (up the left side, along the tops, down the right side, back along the bottoms).
std::vector<XY> staircase(std::mt19937& rng) {
    auto lattice = [&](int lo, int hi) { return 100 * std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int columns = std::uniform_int_distribution<int>(3, 12)(rng);
    const int32_t x0 = lattice(-30, 30), y0 = lattice(-30, 30);
    std::vector<int32_t> xs{x0}, bottoms, tops;
    for (int c = 0; c < columns; ++c) {
        xs.push_back(xs.back() + lattice(1, 15));
        bottoms.push_back(y0 + lattice(0, 11));  // all bottoms below all tops: one piece
        tops.push_back(y0 + lattice(12, 40));
    }
    std::vector<XY> out{{xs[0], bottoms[0]}, {xs[0], tops[0]}};
    for (int c = 0; c < columns; ++c) {
        out.push_back({xs[c + 1], tops[c]});
        if (c + 1 < columns && tops[c + 1] != tops[c]) out.push_back({xs[c + 1], tops[c + 1]});
    }
    out.push_back({xs[columns], bottoms[columns - 1]});
    for (int c = columns - 1; c >= 1; --c) {
        out.push_back({xs[c], bottoms[c]});
        if (bottoms[c - 1] != bottoms[c]) out.push_back({xs[c], bottoms[c - 1]});
    }
    return out;  // ends at (xs[1], bottoms[0]); put_shape closes it back to the start
}

// Points round a centre at growing angles and random radii: simple, clockwise, oblique.
std::vector<XY> star(std::mt19937& rng, int points) {
    const int32_t cx = std::uniform_int_distribution<int32_t>(-3000, 3000)(rng);
    const int32_t cy = std::uniform_int_distribution<int32_t>(-3000, 3000)(rng);
    std::uniform_real_distribution<double> radius(800, 4500);
    std::vector<XY> out;
    for (int k = 0; k < points; ++k) {
        const double a = -2 * M_PI * k / points;  // clockwise
        const double r = radius(rng);
        out.push_back({cx + static_cast<int32_t>(std::lround(r * std::cos(a))),
                       cy + static_cast<int32_t>(std::lround(r * std::sin(a)))});
    }
    return out;
}

std::vector<XY> closed(std::vector<XY> corners) {
    corners.push_back(corners.front());
    return corners;
}

// Even-odd test of a point against a closed run, in doubles (the callers keep away from the
// boundary).
bool inside(const std::vector<XY>& run, double px, double py) {
    bool in = false;
    for (std::size_t k = 0; k + 1 < run.size(); ++k) {
        const XY& a = run[k];
        const XY& b = run[k + 1];
        if ((a.y > py) != (b.y > py)) {
            const double x = a.x + (py - a.y) * double(b.x - a.x) / double(b.y - a.y);
            if (px < x) in = !in;
        }
    }
    return in;
}

double distance_to_run(const std::vector<XY>& run, double px, double py) {
    double best = INFINITY;
    for (std::size_t k = 0; k + 1 < run.size(); ++k) {
        const double ax = run[k].x, ay = run[k].y, bx = run[k + 1].x, by = run[k + 1].y;
        const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
        const double t = len2 == 0 ? 0 : std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0);
        best = std::min(best, std::hypot(px - ax - t * dx, py - ay - t * dy));
    }
    return best;
}

double perimeter(const std::vector<XY>& run) {
    double sum = 0;
    for (std::size_t k = 0; k + 1 < run.size(); ++k)
        sum += std::hypot(double(run[k + 1].x - run[k].x), double(run[k + 1].y - run[k].y));
    return sum;
}

// A point strictly inside a rectilinear piece on the 100-unit lattice, half a lattice step
// from every side: on the line 50 above its lowest point, the middle of the first stretch
// between crossings (an even-odd reading of all its rings).
XY lattice_point_inside(const std::vector<XY>& run) {
    int32_t min_y = run[0].y;
    for (const XY& p : run) min_y = std::min(min_y, p.y);
    const double y = min_y + 50.0;
    std::vector<int32_t> xs;
    for (std::size_t k = 0; k + 1 < run.size(); ++k)
        if ((run[k].y > y) != (run[k + 1].y > y)) xs.push_back(run[k].x);  // vertical sides only
    std::sort(xs.begin(), xs.end());
    if (xs.size() < 2) return {INT32_MIN, INT32_MIN};
    const int32_t x = xs[0] + 50;  // the stretch is at least 100 wide
    return {x, min_y + 50};
}

struct Mesh {
    int32_t x0, y0, columns, rows;
    // The cell holding a point, numbered as put_mesh numbers them; -1 outside the mesh.
    int32_t cell_of(double x, double y) const {
        const auto c = static_cast<int32_t>(std::floor((x - x0) / kCell));
        const auto r = static_cast<int32_t>(std::floor((y - y0) / kCell));
        if (c < 0 || r < 0 || c >= columns || r >= rows) return -1;
        return r * columns + c + 1;
    }
    // The first cell (in number order) whose closed box holds an integer point: on a cell
    // line the cell below or to the left comes first.
    int32_t first_cell_holding(int32_t x, int32_t y) const {
        const int32_t dx = x - x0, dy = y - y0;
        int32_t c = static_cast<int32_t>(std::floor(double(dx) / kCell));
        int32_t r = static_cast<int32_t>(std::floor(double(dy) / kCell));
        if (dx % kCell == 0 && c > 0) --c;
        if (dy % kCell == 0 && r > 0) --r;
        if (c < 0 || r < 0 || c >= columns || r >= rows) return -1;
        return r * columns + c + 1;
    }
    bool on_cell_line(int32_t x, int32_t y) const { return (x - x0) % kCell == 0 || (y - y0) % kCell == 0; }
    XY corner(int32_t cell) const { return {x0 + (cell - 1) % columns * kCell, y0 + (cell - 1) / columns * kCell}; }
};

// Cells over the outline's box with one spare cell all round (never cut).
Mesh mesh_around(const std::vector<XY>& outline) {
    int32_t min_x = outline[0].x, min_y = outline[0].y, max_x = min_x, max_y = min_y;
    for (const XY& p : outline) {
        min_x = std::min(min_x, p.x);
        min_y = std::min(min_y, p.y);
        max_x = std::max(max_x, p.x);
        max_y = std::max(max_y, p.y);
    }
    auto floor_cell = [](int32_t v) { return static_cast<int32_t>(std::floor(double(v) / kCell)); };
    Mesh m;
    m.x0 = (floor_cell(min_x) - 1) * kCell;
    m.y0 = (floor_cell(min_y) - 1) * kCell;
    m.columns = floor_cell(max_x) - floor_cell(min_x) + 3;
    m.rows = floor_cell(max_y) - floor_cell(min_y) + 3;
    return m;
}

// Cells whose box meets the outline's box, bounds inclusive.
int64_t cut_cells(const Mesh& m, const std::vector<XY>& outline) {
    int32_t min_x = outline[0].x, min_y = outline[0].y, max_x = min_x, max_y = min_y;
    for (const XY& p : outline) {
        min_x = std::min(min_x, p.x);
        min_y = std::min(min_y, p.y);
        max_x = std::max(max_x, p.x);
        max_y = std::max(max_y, p.y);
    }
    int64_t n = 0;
    for (int32_t r = 0; r < m.rows; ++r)
        for (int32_t c = 0; c < m.columns; ++c) {
            const int32_t cx = m.x0 + c * kCell, cy = m.y0 + r * kCell;
            n += cx <= max_x && min_x <= cx + kCell && cy <= max_y && min_y <= cy + kCell;
        }
    return n;
}

std::string describe(const std::vector<XY>& outline) {
    std::ostringstream os;
    for (const XY& p : outline) os << "(" << p.x << "," << p.y << ")";
    return os.str();
}

enum class Kind { rectilinear, oblique };

void check_tiling(Kind kind, uint32_t seed) {
    std::mt19937 rng(seed);
    const std::vector<XY> corners = kind == Kind::rectilinear ? staircase(rng) : star(rng, 49);
    const std::vector<XY> outline = closed(corners);
    const Mesh mesh = mesh_around(outline);
    SCOPED_TRACE(describe(outline));

    ex_start(10, 100, 100, 500);
    put_mesh(mesh.x0, mesh.y0, kCell, mesh.columns, mesh.rows);
    put_shape(1, 501, corners);
    ASSERT_EQ(cut(), 0);
    const std::vector<Piece> pieces = read_pieces();
    ex_end();
    rw_end();

    double inside_sum = 0, all_sum = 0;
    int unsure_labels = 0;
    for (const Piece& p : pieces) {
        SCOPED_TRACE(::testing::Message() << p);
        ASSERT_EQ(p.status, 0);
        ASSERT_EQ(static_cast<int32_t>(p.points.size()), p.npoints);
        const double area = run_area(p.points);  // halves where cuts are oblique
        EXPECT_GT(area, 0);
        EXPECT_EQ(double(p.area), std::nearbyint(area));
        all_sum += area;

        // The piece reports the first cell holding its label point, and lies in it unless the
        // label falls on a cell line (slivers at cell corners, whose label is rounded onto
        // the line, report the cell first in number order).
        ASSERT_GE(p.mesh, 1);
        EXPECT_EQ(p.mesh, mesh.first_cell_holding(p.label_x, p.label_y));
        const XY c = mesh.corner(p.mesh);
        for (const XY& v : p.points) {
            if (mesh.on_cell_line(p.label_x, p.label_y)) break;
            EXPECT_TRUE(c.x <= v.x && v.x <= c.x + kCell && c.y <= v.y && v.y <= c.y + kCell)
                << "(" << v.x << "," << v.y << ") outside cell " << p.mesh;
        }

        // Inside or outside the outline, from a point well inside the piece where the cuts
        // are exact, else from the label point when it is clear of the outline.
        bool in = false;
        if (kind == Kind::rectilinear) {
            const XY sample = lattice_point_inside(p.points);
            ASSERT_NE(sample.x, INT32_MIN);
            EXPECT_EQ(mesh.cell_of(sample.x, sample.y), p.mesh);
            in = inside(outline, sample.x, sample.y);
        } else {
            in = p.shape == 1;
        }
        if (in) inside_sum += area;
        if (distance_to_run(outline, p.label_x, p.label_y) < 2) {
            ++unsure_labels;
            continue;
        }
        EXPECT_EQ(p.shape, inside(outline, p.label_x, p.label_y) ? 1 : -1);
        if (kind == Kind::rectilinear) {
            EXPECT_EQ(p.shape, in ? 1 : -1);
        }
    }
    EXPECT_LE(unsure_labels * 5, static_cast<int>(pieces.size()));
    EXPECT_EQ(all_sum, double(cut_cells(mesh, outline)) * kCell * kCell);
    const double outline_area = run_area(outline);
    ASSERT_GT(outline_area, 0);
    if (kind == Kind::rectilinear) EXPECT_EQ(inside_sum, outline_area);
    else EXPECT_NEAR(inside_sum, outline_area, perimeter(outline));
}

class OverlayTiling : public ::testing::TestWithParam<uint32_t> {};

TEST_P(OverlayTiling, RectilinearOutlinesAreTiledExactly) {
    for (uint32_t k = 0; k < 10; ++k) check_tiling(Kind::rectilinear, GetParam() * 100 + k);
}

TEST_P(OverlayTiling, ObliqueOutlinesAreTiledUpToTheRoundingOfTheirCuts) {
    for (uint32_t k = 0; k < 10; ++k) check_tiling(Kind::oblique, GetParam() * 100 + k);
}

INSTANTIATE_TEST_SUITE_P(Seeds, OverlayTiling, ::testing::Range(1u, 6u));

}  // namespace
