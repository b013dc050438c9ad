// meshcut-demo: cuts a generated area outline by a 1 km mesh with ringweld's ex_ exports and
// prints the pieces.
//
//   meshcut-demo [--seed N] [--points N] [--dupcut] [--dump FILE]
//
// The outline is a star-shaped ring of N points (default 50) round a random centre, radii of
// 0.8 to 4.5 km, in metres. The mesh covers its bounding box with one spare cell all round;
// cells are identified by row and column (row * 1000 + column, both from 1, rows from the
// south). Each piece is printed with the cell it lies in, whether it lies in the outline,
// its label point and its area; the totals close the listing. --dump writes the shape table
// as ex_prt_shapeline lists it.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ringweld.h"

namespace {

constexpr int32_t kCell = 1000;  // metres

struct XY {
    int32_t x, y;
};

int usage() {
    std::fprintf(stderr, "usage: meshcut-demo [--seed N] [--points N] [--dupcut] [--dump FILE]\n");
    return 2;
}

std::vector<XY> star(uint32_t seed, int points) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> centre(-5000, 5000);
    std::uniform_real_distribution<double> radius(800, 4500);
    const int32_t cx = centre(rng), cy = centre(rng);
    std::vector<XY> out;
    for (int k = 0; k < points; ++k) {
        const double a = -2 * M_PI * k / points;  // clockwise, as the engine's outer rings run
        const double r = radius(rng);
        out.push_back({cx + static_cast<int32_t>(std::lround(r * std::cos(a))),
                       cy + static_cast<int32_t>(std::lround(r * std::sin(a)))});
    }
    return out;
}

int32_t floor_cell(int32_t v) { return static_cast<int32_t>(std::floor(double(v) / kCell)); }

bool parse_int(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end && *end == '\0' && end != text && out >= lo && out <= hi;
}

}  // namespace

int main(int argc, char** argv) {
    long seed = 2500, points = 50;
    bool dupcut = false;
    const char* dump = nullptr;
    for (int i = 1; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (std::strcmp(argv[i], "--seed") == 0 && has_value) {
            if (!parse_int(argv[++i], 0, 0xFFFFFFFFL, seed)) return usage();
        } else if (std::strcmp(argv[i], "--points") == 0 && has_value) {
            if (!parse_int(argv[++i], 3, 5000, points)) return usage();
        } else if (std::strcmp(argv[i], "--dump") == 0 && has_value) {
            dump = argv[++i];
        } else if (std::strcmp(argv[i], "--dupcut") == 0) {
            dupcut = true;
        } else {
            return usage();
        }
    }

    const std::vector<XY> outline = star(static_cast<uint32_t>(seed), static_cast<int>(points));
    int32_t min_x = outline[0].x, min_y = outline[0].y, max_x = min_x, max_y = min_y;
    for (const XY& p : outline) {
        min_x = std::min(min_x, p.x);
        min_y = std::min(min_y, p.y);
        max_x = std::max(max_x, p.x);
        max_y = std::max(max_y, p.y);
    }
    const int32_t x0 = (floor_cell(min_x) - 1) * kCell, y0 = (floor_cell(min_y) - 1) * kCell;
    const int32_t columns = floor_cell(max_x) - floor_cell(min_x) + 3;
    const int32_t rows = floor_cell(max_y) - floor_cell(min_y) + 3;

    // 1. The overlay: the outline as shape 1 (code 100, keys = point numbers), then the cells.
    ex_start(1, static_cast<int32_t>(points) + 1, columns * rows, 5 * columns * rows);
    for (std::size_t k = 0; k <= outline.size(); ++k) {
        const XY& p = outline[k % outline.size()];
        ex_put_shapeline(1, static_cast<int32_t>(k + 1), p.x, p.y, 100);
    }
    std::vector<int32_t> cell_ids;
    for (int32_t r = 0; r < rows; ++r) {
        for (int32_t c = 0; c < columns; ++c) {
            const int32_t id = (r + 1) * 1000 + (c + 1);
            const int32_t ax = x0 + c * kCell, ay = y0 + r * kCell;
            const XY corners[] = {{ax, ay}, {ax, ay + kCell}, {ax + kCell, ay + kCell}, {ax + kCell, ay}, {ax, ay}};
            for (const XY& p : corners) ex_put_meshline(id, 0, p.x, p.y, 0);
            cell_ids.push_back(id);
        }
    }
    if (dump && ex_prt_shapeline(dump) != 0) {
        std::fprintf(stderr, "meshcut-demo: cannot write %s\n", dump);
        ex_end();
        return 1;
    }

    // 2. Mark the cells the outline's box meets and feed outline and cells to the engine.
    int32_t shapes = 0, shape_points = 0, cells = 0, cell_points = 0;
    ex_cal_meshcut(&shapes, &shape_points, &cells, &cell_points);
    rw_start(10000, 10000, 10000, 20000);
    ex_mesh_line(0);

    // 3. The engine's usual assembly.
    int32_t minilines = 0, arcs = 0, polygons = 0;
    if (dupcut) rw_create_miniline_dupcut(&minilines);
    else rw_create_miniline(&minilines);
    int32_t status = rw_create_arcline(&arcs);
    if (status == 0) status = rw_create_polygon(&polygons);
    if (status != 0) {
        std::fprintf(stderr, "meshcut-demo: assembly failed with engine error %d\n", static_cast<int>(status));
        rw_end();
        ex_end();
        return 1;
    }

    std::printf("outline: %d points (seed %ld), %d x %d cells of %d m; %d minilines, %d arcs, %d pieces\n",
                static_cast<int>(points), seed, static_cast<int>(columns), static_cast<int>(rows),
                static_cast<int>(kCell), static_cast<int>(minilines), static_cast<int>(arcs),
                static_cast<int>(polygons));
    std::printf("%6s %6s %7s %10s %10s %12s %6s\n", "piece", "cell", "inside", "label x", "label y", "area m2",
                "points");

    // 4. The pieces.
    int32_t face, npoints, lx, ly, shape, mesh, area;
    double inside_area = 0, total_area = 0;
    std::map<int32_t, int> pieces_per_cell;
    for (int32_t st = ex_first_polylink(&face, &npoints, &lx, &ly, &shape, &mesh, &area); st == 0 || st == 101;
         st = ex_next_polylink(&face, &npoints, &lx, &ly, &shape, &mesh, &area)) {
        const int32_t id = mesh >= 1 ? cell_ids[static_cast<std::size_t>(mesh - 1)] : -1;
        if (st == 101) {
            std::printf("%6d %6d %7s %10d %10d %12s %6d\n", static_cast<int>(face), static_cast<int>(id),
                        shape == 1 ? "yes" : "no", static_cast<int>(lx), static_cast<int>(ly), "(too large)",
                        static_cast<int>(npoints));
            continue;
        }
        std::printf("%6d %6d %7s %10d %10d %12d %6d\n", static_cast<int>(face), static_cast<int>(id),
                    shape == 1 ? "yes" : "no", static_cast<int>(lx), static_cast<int>(ly), static_cast<int>(area),
                    static_cast<int>(npoints));
        total_area += area;
        if (shape == 1) inside_area += area;
        ++pieces_per_cell[id];
    }

    // The outline's own area by the same formula the engine uses (positive clockwise).
    double outline_area = 0;
    for (std::size_t k = 1; k + 1 < outline.size(); ++k) {
        const XY& a = outline[k];
        const XY& b = outline[k + 1];
        const XY& o = outline[0];
        outline_area -= 0.5 * (double(a.x - o.x) * double(b.y - o.y) - double(b.x - o.x) * double(a.y - o.y));
    }
    std::printf("cells with pieces: %d of %d; pieces inside the outline: %.0f m2 (outline %.1f m2); all pieces: %.0f m2\n",
                static_cast<int>(pieces_per_cell.size()), static_cast<int>(cells), inside_area, outline_area,
                total_area);

    rw_end();
    ex_end();
    return 0;
}
