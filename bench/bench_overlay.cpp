// The mesh overlay and the single-polygon mode.
//
// BM_MeshCut runs the whole overlay: 10^4 outlines of 50 points each spread over a mesh of
// 100 x 100 cells of 1 km (units of a metre), put point by point, cells marked, fed to the
// engine, assembled, and every piece read back with its label point, area, shape and cell.
// BM_PlainPipeline puts the same outline segments and the edges of the same cells straight
// through rw_put_line and runs the normal assembly, reading every polygon back; the
// overlay's own work is the difference. Counters give the CPU seconds of the overlay's own
// steps (puts and marking, feeding, reading the pieces) and the numbers of pieces.
//
// BM_BridgeMarking marks the bridges of one sequence of 10^5 points in which 1000 holes
// are joined to an outline by bridges.

#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <cstdint>
#include <random>
#include <vector>

#include "ringweld.h"

namespace {

constexpr int32_t kCell = 1000;
constexpr int32_t kCells = 100;  // per side

struct XY {
    int32_t x, y;
};

// Star-shaped outlines round random centres, radii 200 m to 1.2 km: most cross cell lines,
// and neighbours overlap now and then.
const std::vector<std::vector<XY>>& outlines() {
    static const std::vector<std::vector<XY>> all = [] {
        std::mt19937 rng(13);
        std::uniform_int_distribution<int32_t> at(1500, kCells * kCell - 1500);
        std::uniform_real_distribution<double> radius(200, 1200);
        std::vector<std::vector<XY>> out(10'000);
        for (auto& o : out) {
            const int32_t cx = at(rng), cy = at(rng);
            for (int k = 0; k < 49; ++k) {
                const double a = -2 * M_PI * k / 49;
                const double r = radius(rng);
                o.push_back({cx + static_cast<int32_t>(std::lround(r * std::cos(a))),
                             cy + static_cast<int32_t>(std::lround(r * std::sin(a)))});
            }
            o.push_back(o.front());  // 50 points, closed
        }
        return out;
    }();
    return all;
}

XY cell_corner(int32_t r, int32_t c) { return {c * kCell, r * kCell}; }

void cell_outline(int32_t r, int32_t c, XY (&corners)[5]) {
    const XY a = cell_corner(r, c);
    corners[0] = a;
    corners[1] = {a.x, a.y + kCell};
    corners[2] = {a.x + kCell, a.y + kCell};
    corners[3] = {a.x + kCell, a.y};
    corners[4] = a;
}

double cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double seconds_since(double& mark) {
    const double now = cpu_seconds();
    const double s = now - mark;
    mark = now;
    return s;
}

int32_t assemble(benchmark::State& state) {
    int32_t count = 0;
    rw_create_miniline(&count);
    if (rw_create_arcline(&count) != 0) state.SkipWithError("rw_create_arcline failed");
    if (rw_create_polygon(&count) != 0) state.SkipWithError("rw_create_polygon failed");
    return count;
}

void BM_MeshCut(benchmark::State& state) {
    const auto& shapes = outlines();
    double puts = 0, feed = 0, pieces_s = 0;
    int64_t pieces = 0;
    for (auto _ : state) {
        double mark = cpu_seconds();
        ex_start(10'000, 500'000, kCells * kCells, 5 * kCells * kCells);
        int32_t group = 0;
        for (const auto& o : shapes) {
            ++group;
            int32_t key = 0;
            for (const XY& p : o) ex_put_shapeline(group, ++key, p.x, p.y, group);
        }
        XY corners[5];
        for (int32_t r = 0; r < kCells; ++r)
            for (int32_t c = 0; c < kCells; ++c) {
                cell_outline(r, c, corners);
                for (const XY& p : corners) ex_put_meshline(r * kCells + c + 1, 0, p.x, p.y, 0);
            }
        int32_t n1, n2, n3, n4;
        ex_cal_meshcut(&n1, &n2, &n3, &n4);
        puts += seconds_since(mark);
        rw_start(10000, 10000, 10000, 20000);
        ex_mesh_line(0);
        feed += seconds_since(mark);
        assemble(state);
        mark = cpu_seconds();
        int32_t face, npoints, lx, ly, shape, mesh, area;
        pieces = 0;
        for (int32_t st = ex_first_polylink(&face, &npoints, &lx, &ly, &shape, &mesh, &area); st == 0 || st == 101;
             st = ex_next_polylink(&face, &npoints, &lx, &ly, &shape, &mesh, &area)) {
            int32_t x, y, k;
            while (ex_next_polyldat(&x, &y, &k) == 0) benchmark::DoNotOptimize(x);
            ++pieces;
        }
        pieces_s += seconds_since(mark);
        state.PauseTiming();
        rw_end();
        ex_end();
        state.ResumeTiming();
    }
    const auto avg = benchmark::Counter::kAvgIterations;
    state.counters["puts_mark_s"] = benchmark::Counter(puts, avg);
    state.counters["feed_s"] = benchmark::Counter(feed, avg);
    state.counters["pieces_s"] = benchmark::Counter(pieces_s, avg);
    state.counters["pieces"] = static_cast<double>(pieces);
}

void BM_PlainPipeline(benchmark::State& state) {
    const auto& shapes = outlines();
    int64_t polygons = 0;
    for (auto _ : state) {
        rw_start(10000, 10000, 10000, 20000);
        int32_t code = 0;
        for (const auto& o : shapes) {
            ++code;
            for (std::size_t k = 0; k + 1 < o.size(); ++k)
                rw_put_line(2, static_cast<int32_t>(k + 1), o[k].x, o[k].y, o[k + 1].x, o[k + 1].y, code);
        }
        XY corners[5];
        for (int32_t r = 0; r < kCells; ++r)
            for (int32_t c = 0; c < kCells; ++c) {
                cell_outline(r, c, corners);
                for (int k = 0; k < 4; ++k)
                    rw_put_line(4, k + 1, corners[k].x, corners[k].y, corners[k + 1].x, corners[k + 1].y,
                                r * kCells + c + 1);
            }
        assemble(state);
        int32_t face, npoints;
        polygons = 0;
        for (int32_t st = rw_first_polygon(&face, &npoints); st == 0; st = rw_next_polygon(&face, &npoints)) {
            int32_t x, y, k;
            while (rw_next_polydata(&x, &y, &k) == 0) benchmark::DoNotOptimize(x);
            ++polygons;
        }
        state.PauseTiming();
        rw_end();
        state.ResumeTiming();
    }
    state.counters["polygons"] = static_cast<double>(polygons);
}

// An outline of 50,000 points round a square with 1000 square holes of about 48 points
// inside, each joined by a bridge from every 50th outline point: out to the hole, round it,
// back along the same segment. 10^5 points in all.
const std::vector<XY>& bridged_outline() {
    static const std::vector<XY> seq = [] {
        constexpr int32_t kSide = 12'500;  // outline points per side
        constexpr int32_t kHoles = 1000;
        std::vector<XY> out;
        auto outline_point = [](int32_t i) -> XY {  // clockwise from (0, 0)
            const int32_t s = i / kSide, t = i % kSide;
            switch (s) {
                case 0: return {0, t * 8};
                case 1: return {t * 8, kSide * 8};
                case 2: return {kSide * 8, (kSide - t) * 8};
                default: return {(kSide - t) * 8, 0};
            }
        };
        int32_t hole = 0;
        for (int32_t i = 0; i < 4 * kSide; ++i) {
            const XY p = outline_point(i);
            out.push_back(p);
            if (i % 50 == 25 && hole < kHoles) {
                // A hole of 12 points a side on a grid well inside the outline.
                const int32_t hx = 1000 + (hole % 32) * 3000, hy = 1000 + (hole / 32) * 3000;
                ++hole;
                std::vector<XY> ring;
                for (int32_t k = 0; k < 12; ++k) ring.push_back({hx + k * 10, hy});
                for (int32_t k = 0; k < 12; ++k) ring.push_back({hx + 120, hy + k * 10});
                for (int32_t k = 0; k < 12; ++k) ring.push_back({hx + 120 - k * 10, hy + 120});
                for (int32_t k = 0; k < 12; ++k) ring.push_back({hx, hy + 120 - k * 10});
                for (const XY& q : ring) out.push_back(q);
                out.push_back(ring.front());  // round the hole, back to where the bridge arrived
                out.push_back(p);             // and back along the bridge
            }
        }
        out.push_back(out.front());
        return out;
    }();
    return seq;
}

void BM_BridgeMarking(benchmark::State& state) {
    const std::vector<XY>& seq = bridged_outline();
    int32_t count = 0;
    int64_t bridges = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rw_ini_onepoly();
        int32_t key = 0;
        for (const XY& p : seq) rw_set_onepoly(p.x, p.y, ++key);
        state.ResumeTiming();
        rw_exe_onepoly(&count);
    }
    int32_t x, y, key, ring;
    for (int32_t st = rw_getfirst_onepoly(&x, &y, &key, &ring); st == 0; st = rw_getnext_onepoly(&x, &y, &key, &ring))
        bridges += ring < -1 && key == 0 ? 1 : 0;
    rw_end_onepoly();
    state.counters["points"] = count;
    state.counters["bridge_ends"] = static_cast<double>(bridges);
}

BENCHMARK(BM_MeshCut)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainPipeline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BridgeMarking)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
