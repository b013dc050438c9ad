// Polygon queries and near-node bridging on large polygon sets.
//
// FindXY: point location over a block map of about 10^5 polygons (square blocks, one in
// five with a building inside, which makes the block a polygon with a hole); the same
// queries through the plain scan in table order (bounding-box filter, then the crossing
// test) for comparison. FindXYLongRun: one polygon of 10^5 points. FindFace, Label and Area
// run over every polygon of the map.
// NearNode: one square with n small holes on a lattice, bridged and walked; most bridges
// to the outer ring are blocked by other holes, so holes attach to holes.
// Coordinates in thousandths of a metre. Counters give the time per item.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "queries.h"
#include "ringweld.h"
#include "session.h"

namespace {

constexpr int32_t kBlock = 40'000;

void put_square(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    rw_put_line(1, 1, x0, y0, x1, y0, 1);
    rw_put_line(1, 1, x1, y0, x1, y1, 1);
    rw_put_line(1, 1, x1, y1, x0, y1, 1);
    rw_put_line(1, 1, x0, y1, x0, y0, 1);
}

// A side × side block map in a fresh session; returns the number of polygons.
int32_t build_block_map(int32_t side) {
    rw_start(10000, 10000, 10000, 20000);
    std::mt19937 rng(17);
    for (int32_t j = 0; j <= side; ++j)
        for (int32_t i = 0; i < side; ++i) {
            rw_put_line(1, 1, i * kBlock, j * kBlock, (i + 1) * kBlock, j * kBlock, 1);
            rw_put_line(1, 1, j * kBlock, i * kBlock, j * kBlock, (i + 1) * kBlock, 1);
        }
    for (int32_t j = 0; j < side; ++j)
        for (int32_t i = 0; i < side; ++i)
            if (rng() % 5 == 0) {
                const int32_t w = 5'000 + static_cast<int32_t>(rng() % 10'000);
                put_square(i * kBlock + w, j * kBlock + w, (i + 1) * kBlock - w, (j + 1) * kBlock - w);
            }
    int32_t n = 0;
    rw_create_miniline(&n);
    rw_create_arcline(&n);
    rw_create_polygon(&n);
    return n;
}

std::vector<std::pair<int32_t, int32_t>> query_points(int32_t side, std::size_t count) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> at(-kBlock / 2, side * kBlock + kBlock / 2);
    std::vector<std::pair<int32_t, int32_t>> out;
    for (std::size_t i = 0; i < count; ++i) out.push_back({at(rng), at(rng)});
    return out;
}

void BM_FindXY(benchmark::State& state) {
    const auto side = static_cast<int32_t>(state.range(0));
    const int32_t polygons = build_block_map(side);
    const auto points = query_points(side, 100'000);
    int64_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const auto& [x, y] : points) {
            int32_t face = 0;
            found += rw_findxy_polygon(x, y, &face) == 0;
        }
    }
    state.counters["polygons"] = polygons;
    state.counters["found"] = double(found);
    state.counters["per_query"] =
        benchmark::Counter(double(points.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    rw_end();
}

// The scan the index replaces: every polygon in table order, box test, then crossing test.
void BM_FindXYPlainScan(benchmark::State& state) {
    const auto side = static_cast<int32_t>(state.range(0));
    const int32_t polygons = build_block_map(side);
    const auto points = query_points(side, state.range(1));
    const ringweld::PolygonTables& p = ringweld::session().polygons;
    for (auto _ : state) {
        for (const auto& [x, y] : points) {
            for (const ringweld::PolygonRecord& r : p.polygons) {
                if (x < r.min_x || x > r.max_x || y < r.min_y || y > r.max_y) continue;
                if (ringweld::run_contains(ringweld::record_run(p.points, r), x, y)) break;
            }
        }
    }
    state.counters["polygons"] = polygons;
    state.counters["per_query"] =
        benchmark::Counter(double(points.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    rw_end();
}

// One polygon of 10^5 points: a square whose upright sides zigzag in steps of 1 m (a scan
// line across a zigzag would meet too many segments), with a short spur every kilometre, as
// a large municipality assembled from many sheets is; 10^4 points inside it. Arg 1: the
// point query (the run in bands), 0: the whole run read for every point.
void BM_FindXYLongRun(benchmark::State& state) {
    constexpr int32_t kSteps = 25'000, kStep = 1'000;
    rw_start(10000, 10000, 10000, 20000);
    auto side = [](int32_t x0, int32_t y0, int32_t dx, int32_t dy) {
        for (int32_t t = 0; t < kSteps; ++t) {
            const int32_t zig = dx == 0 && t % 2 == 1 ? 300 : 0;  // only the upright sides zigzag
            rw_put_line(1, 1, x0 + dx * t + dy * zig, y0 + dy * t, x0 + dx * (t + 1) + dy * (dx == 0 ? 300 - zig : 0),
                        y0 + dy * (t + 1), 1);
            // A short spur now and then makes a node, so that no arc exceeds its point limit.
            if (t % 1000 == 0 && t > 0)
                rw_put_line(1, 1, x0 + dx * t, y0 + dy * t, x0 + dx * t - dy * 100, y0 + dy * t - dx * 100, 1);
        }
    };
    const int32_t extent = kSteps * kStep;
    side(0, 0, kStep, 0);
    side(extent, 0, 0, kStep);
    side(0, extent, kStep, 0);
    side(0, 0, 0, kStep);
    int32_t n = 0;
    rw_create_miniline(&n);
    rw_create_arcline(&n);
    rw_create_polygon(&n);
    std::mt19937 rng(8);
    std::uniform_int_distribution<int32_t> at(kStep, extent - kStep);
    std::vector<std::pair<int32_t, int32_t>> points;
    for (int i = 0; i < 10'000; ++i) points.push_back({at(rng), at(rng)});
    const ringweld::PolygonTables& p = ringweld::session().polygons;
    int64_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const auto& [x, y] : points) {
            int32_t face = 0;
            if (state.range(0) == 1)
                found += rw_findxy_polygon(x, y, &face) == 0;
            else
                found += ringweld::run_contains(ringweld::record_run(p.points, p.polygons[0]), x, y);
        }
    }
    state.counters["points"] = p.polygons.count() > 0 ? p.polygons[0].point_count : 0;
    state.counters["found"] = double(found);
    state.counters["per_query"] =
        benchmark::Counter(double(points.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    rw_end();
}

template <typename Query>
void over_every_face(benchmark::State& state, Query query) {
    const int32_t polygons = build_block_map(static_cast<int32_t>(state.range(0)));
    std::vector<int32_t> faces;
    int32_t face = 0, count = 0;
    for (int32_t s = rw_first_polygon(&face, &count); s == 0; s = rw_next_polygon(&face, &count)) faces.push_back(face);
    for (auto _ : state)
        for (const int32_t f : faces) query(f);
    state.counters["polygons"] = polygons;
    state.counters["per_polygon"] =
        benchmark::Counter(double(faces.size()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    rw_end();
}

void BM_FindFace(benchmark::State& state) {
    over_every_face(state, [](int32_t f) { benchmark::DoNotOptimize(rw_find_polygon(f)); });
}

void BM_Label(benchmark::State& state) {
    over_every_face(state, [](int32_t f) {
        int32_t x = 0, y = 0;
        benchmark::DoNotOptimize(rw_center_polygon(f, &x, &y));
    });
}

void BM_Area(benchmark::State& state) {
    over_every_face(state, [](int32_t f) {
        double a = 0;
        benchmark::DoNotOptimize(rw_calareaD_polygon(f, &a));
    });
}

// A square of side 100 m × √n with n holes of 2..5 m on a 10 m lattice; its outline has a
// vertex every metre.
void BM_NearNode(benchmark::State& state) {
    const auto holes = static_cast<int32_t>(state.range(0));
    int32_t per_row = 1;
    while (per_row * per_row < holes) ++per_row;
    const int32_t side = per_row * 10'000 + 10'000;
    rw_start(10000, 10000, 10000, 20000);
    for (int32_t t = 0; t < side; t += 1'000) {
        rw_put_line(1, 1, t, 0, t + 1'000, 0, 1);
        rw_put_line(1, 1, t, side, t + 1'000, side, 1);
        rw_put_line(1, 1, 0, t, 0, t + 1'000, 1);
        rw_put_line(1, 1, side, t, side, t + 1'000, 1);
    }
    std::mt19937 rng(3);
    for (int32_t h = 0; h < holes; ++h) {
        const int32_t x = 10'000 + (h % per_row) * 10'000, y = 10'000 + (h / per_row) * 10'000;
        put_square(x, y, x + 2'000 + static_cast<int32_t>(rng() % 3'000), y + 2'000 + static_cast<int32_t>(rng() % 3'000));
    }
    int32_t n = 0;
    rw_create_miniline(&n);
    rw_create_arcline(&n);
    rw_create_polygon(&n);
    // The square is the polygon with the most points.
    int32_t face = 0, count = 0, best_face = 0, best_count = 0;
    for (int32_t s = rw_first_polygon(&face, &count); s == 0; s = rw_next_polygon(&face, &count))
        if (count > best_count) std::tie(best_face, best_count) = std::pair{face, count};
    int32_t status = 0;
    int64_t walked = 0;
    for (auto _ : state) {
        status = rw_nearnode_connectpolygon(best_face);
        walked = 0;
        int32_t x, y, key, ring;
        for (int32_t s = rw_nearnode_getfirstXY(&x, &y, &key, &ring); s == 0; s = rw_nearnode_getnextXY(&x, &y, &key, &ring))
            ++walked;
        rw_nearnode_connectclose();
    }
    state.counters["points"] = best_count;
    state.counters["walked"] = double(walked);
    state.counters["status"] = status;
    rw_end();
}

}  // namespace

BENCHMARK(BM_FindXY)->Arg(100)->Arg(316)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindXYPlainScan)->Args({100, 2000})->Args({316, 200})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindXYLongRun)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindFace)->Arg(316)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Label)->Arg(316)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Area)->Arg(316)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NearNode)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
