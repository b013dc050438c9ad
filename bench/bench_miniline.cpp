// Miniline creation on map-like line work: building outlines and road chains, 1 to 50 m
// segments in thousandths of a metre, with shared ends, T-junctions and some crossings.
//
// Counters: minilines produced, and the engine's peak resident memory per input segment
// (line table plus everything creation allocates), measured from a reset high-water mark.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "ringweld.h"

namespace {

struct Segment {
    int32_t x1, y1, x2, y2;
};

class MapSketch {
public:
    MapSketch(uint32_t seed, int64_t count)
        : rng_(seed), side_(static_cast<int32_t>(std::sqrt(static_cast<double>(count)) * 30'000.0)) {
        segments_.reserve(static_cast<std::size_t>(count));
        while (static_cast<int64_t>(segments_.size()) < count) {
            if (uniform(0, 9) < 4) building();
            else road();
        }
        segments_.resize(static_cast<std::size_t>(count));
    }
    const std::vector<Segment>& segments() const { return segments_; }

private:
    int32_t uniform(int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng_); }
    double angle() { return std::uniform_real_distribution<double>(0, 2 * M_PI)(rng_); }

    void add(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        if (x1 != x2 || y1 != y2) segments_.push_back({x1, y1, x2, y2});
    }

    // A rotated rectangle, 5 to 30 m a side: four segments, every corner shared.
    void building() {
        const int32_t cx = uniform(0, side_), cy = uniform(0, side_);
        const double a = uniform(0, 3) == 0 ? 0.0 : angle();
        const double w = uniform(5'000, 30'000), h = uniform(5'000, 30'000);
        const int32_t ux = static_cast<int32_t>(std::lround(w * std::cos(a)));
        const int32_t uy = static_cast<int32_t>(std::lround(w * std::sin(a)));
        const int32_t vx = static_cast<int32_t>(std::lround(-h * std::sin(a)));
        const int32_t vy = static_cast<int32_t>(std::lround(h * std::cos(a)));
        const int32_t xs[4] = {cx, cx + ux, cx + ux + vx, cx + vx};
        const int32_t ys[4] = {cy, cy + uy, cy + uy + vy, cy + vy};
        for (int i = 0; i < 4; ++i) add(xs[i], ys[i], xs[(i + 1) % 4], ys[(i + 1) % 4]);
    }

    // A chain of 5 to 30 segments of 1 to 50 m. It starts at a free point, at the end of an
    // earlier segment, or on an earlier segment (a T-junction where the segment has a whole
    // point inside it).
    void road() {
        int32_t x = uniform(0, side_), y = uniform(0, side_);
        if (!segments_.empty() && uniform(0, 2) > 0) {
            const Segment& s = segments_[static_cast<std::size_t>(uniform(0, static_cast<int32_t>(segments_.size()) - 1))];
            const int32_t dx = s.x2 - s.x1, dy = s.y2 - s.y1;
            const int32_t g = std::gcd(dx, dy);
            const int32_t k = g > 1 ? uniform(1, g - 1) : 0;
            x = s.x1 + k * (dx / (g ? g : 1));
            y = s.y1 + k * (dy / (g ? g : 1));
        }
        const bool grid = uniform(0, 1) == 0;  // streets of a planned town run on the axes
        double heading = grid ? uniform(0, 3) * M_PI / 2 : angle();
        const int segments = uniform(5, 30);
        for (int i = 0; i < segments; ++i) {
            const double len = uniform(1'000, 50'000);
            const int32_t nx = x + static_cast<int32_t>(std::lround(len * std::cos(heading)));
            const int32_t ny = y + static_cast<int32_t>(std::lround(len * std::sin(heading)));
            add(x, y, nx, ny);
            x = nx;
            y = ny;
            if (grid) {
                if (uniform(0, 3) == 0) heading += (uniform(0, 1) ? 1 : -1) * M_PI / 2;
            } else {
                heading += std::uniform_real_distribution<double>(-0.5, 0.5)(rng_);
            }
        }
    }

    std::mt19937 rng_;
    int32_t side_;
    std::vector<Segment> segments_;
};

long status_kib(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0) return std::stol(line.substr(prefix.size()));
    }
    return 0;
}

void reset_peak_rss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

const std::vector<Segment>& sketch(int64_t n) {
    static std::vector<std::pair<int64_t, MapSketch>> cache;
    for (auto& [size, s] : cache)
        if (size == n) return s.segments();
    cache.emplace_back(n, MapSketch(20240601u, n));
    return cache.back().second.segments();
}

template <int32_t (*Create)(int32_t*)>
void BM_CreateMiniline(benchmark::State& state) {
    const std::vector<Segment>& input = sketch(state.range(0));
    int32_t count = 0;
    double peak_bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rw_end();
        malloc_trim(0);
        const long base_kib = status_kib("VmRSS");
        reset_peak_rss();
        rw_start(10000, 10000, 10000, 20000);
        for (const Segment& s : input) rw_put_line(1, 1, s.x1, s.y1, s.x2, s.y2, 0);
        state.ResumeTiming();

        Create(&count);

        state.PauseTiming();
        peak_bytes = std::max(peak_bytes, (status_kib("VmHWM") - base_kib) * 1024.0);
        state.ResumeTiming();
    }
    rw_end();
    state.counters["minilines"] = count;
    state.counters["peak_B_per_seg"] = peak_bytes / static_cast<double>(input.size());
    state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_CreateMiniline<rw_create_miniline>)
    ->Name("rw_create_miniline")
    ->RangeMultiplier(10)->Range(10'000, 1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);
BENCHMARK(BM_CreateMiniline<rw_create_miniline_dupcut>)
    ->Name("rw_create_miniline_dupcut")
    ->RangeMultiplier(10)->Range(10'000, 1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);

}  // namespace

BENCHMARK_MAIN();
