// The whole assembly on map-like line work: a parcel map of jittered blocks with bent
// boundaries, building outlines inside some parcels (closed loops, holes of their parcels)
// and a share of boundaries entered twice, as the polygons on both sides of them give them.
// Coordinates in thousandths of a metre.
//
// Measures rw_put_line .. rw_create_polygon in real time; counters give the CPU seconds of
// each stage (lines in, minilines, arcs with face labelling, polygons), which stay fair on a
// busy machine, and the numbers of arcs and polygons.

#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <cstdint>
#include <random>
#include <vector>

#include "ringweld.h"

namespace {

struct Segment {
    int32_t x1, y1, x2, y2;
};

class ParcelMap {
public:
    ParcelMap(uint32_t seed, int64_t count) : rng_(seed) {
        // About ten segments per parcel.
        const int32_t side = std::max<int32_t>(2, static_cast<int32_t>(std::sqrt(count / 10.0)));
        for (int32_t j = 0; j <= side; ++j)
            for (int32_t i = 0; i <= side; ++i) corners_.push_back(corner(i, j, side));
        auto at = [&](int32_t i, int32_t j) { return corners_[static_cast<std::size_t>(j) * (side + 1) + i]; };
        for (int32_t j = 0; j <= side && static_cast<int64_t>(segments_.size()) < count; ++j) {
            for (int32_t i = 0; i <= side; ++i) {
                if (i < side) boundary(at(i, j), at(i + 1, j), j == 0 || j == side);
                if (j < side) boundary(at(i, j), at(i, j + 1), i == 0 || i == side);
                if (i < side && j < side && uniform(0, 9) < 6) building(at(i, j), at(i + 1, j + 1));
            }
        }
        segments_.resize(std::min<std::size_t>(segments_.size(), static_cast<std::size_t>(count)));
    }
    const std::vector<Segment>& segments() const { return segments_; }

private:
    static constexpr int32_t kBlock = 40'000;  // 40 m parcels

    struct Corner {
        int32_t x, y;
    };

    int32_t uniform(int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng_); }

    Corner corner(int32_t i, int32_t j, int32_t side) {
        const bool edge = i == 0 || j == 0 || i == side || j == side;  // the sheet frame stays straight
        const int32_t jitter = edge ? 0 : kBlock / 5;
        return {i * kBlock + uniform(-jitter, jitter), j * kBlock + uniform(-jitter, jitter)};
    }

    void add(Corner a, Corner b) {
        if (a.x != b.x || a.y != b.y) segments_.push_back({a.x, a.y, b.x, b.y});
    }

    // A boundary between two corners in 1 to 5 pieces, bent a little inside; a third of the
    // inner boundaries are entered twice.
    void boundary(Corner a, Corner b, bool frame) {
        const int pieces = uniform(1, 5);
        std::vector<Corner> pts{a};
        for (int k = 1; k < pieces; ++k) {
            const double t = double(k) / pieces;
            const int32_t bend = frame ? 0 : uniform(-kBlock / 40, kBlock / 40);
            pts.push_back({static_cast<int32_t>(std::lround(a.x + t * (b.x - a.x))) + bend,
                           static_cast<int32_t>(std::lround(a.y + t * (b.y - a.y))) - bend});
        }
        pts.push_back(b);
        const int copies = !frame && uniform(0, 2) == 0 ? 2 : 1;
        for (int c = 0; c < copies; ++c)
            for (std::size_t k = 0; k + 1 < pts.size(); ++k) add(pts[k], pts[k + 1]);
    }

    // A building outline well inside the parcel spanned by two opposite corners.
    void building(Corner lo, Corner hi) {
        const int32_t cx = (lo.x + hi.x) / 2, cy = (lo.y + hi.y) / 2;
        const int32_t w = uniform(3'000, 9'000), h = uniform(3'000, 9'000);
        const Corner c[4] = {{cx - w, cy - h}, {cx + w, cy - h}, {cx + w, cy + h}, {cx - w, cy + h}};
        for (int k = 0; k < 4; ++k) add(c[k], c[(k + 1) % 4]);
    }

    std::mt19937 rng_;
    std::vector<Corner> corners_;
    std::vector<Segment> segments_;
};

const std::vector<Segment>& parcels(int64_t n) {
    static std::vector<std::pair<int64_t, ParcelMap>> cache;
    for (auto& [size, map] : cache)
        if (size == n) return map.segments();
    cache.emplace_back(n, ParcelMap(20240602u, n));
    return cache.back().second.segments();
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

void BM_AssemblePolygons(benchmark::State& state) {
    const std::vector<Segment>& segments = parcels(state.range(0));
    double put = 0, minilines = 0, arcs = 0, polygons = 0;
    int32_t arc_count = 0, polygon_count = 0;
    for (auto _ : state) {
        rw_start(10000, 10000, 10000, 20000);
        double mark = cpu_seconds();
        int32_t key = 0;
        for (const Segment& s : segments) rw_put_line(0, 1, s.x1, s.y1, s.x2, s.y2, key++);
        put += seconds_since(mark);
        int32_t count = 0;
        rw_create_miniline(&count);
        minilines += seconds_since(mark);
        if (rw_create_arcline(&arc_count) != 0) state.SkipWithError("rw_create_arcline failed");
        arcs += seconds_since(mark);
        if (rw_create_polygon(&polygon_count) != 0) state.SkipWithError("rw_create_polygon failed");
        polygons += seconds_since(mark);
        state.PauseTiming();
        rw_end();
        state.ResumeTiming();
    }
    const auto avg = benchmark::Counter::kAvgIterations;
    state.counters["put_s"] = benchmark::Counter(put, avg);
    state.counters["minilines_s"] = benchmark::Counter(minilines, avg);
    state.counters["arcs_s"] = benchmark::Counter(arcs, avg);
    state.counters["polygons_s"] = benchmark::Counter(polygons, avg);
    state.counters["arcs"] = arc_count;
    state.counters["polygons"] = polygon_count;
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(segments.size()));
}

BENCHMARK(BM_AssemblePolygons)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
