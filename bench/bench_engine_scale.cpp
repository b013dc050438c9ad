// The whole engine assembly on the three generated kinds (segment_sets.h) from 10^4 to
// 10^6 segments, to show how it grows: n log n growth keeps 10^5 -> 10^6 within about 13x.
//
// Real time per run; counters give each stage's CPU seconds (fair on a busy machine), the
// sizes of the result and the process's peak resident memory during the run.

#include <benchmark/benchmark.h>

#include <fstream>
#include <map>

#include "engine_run.h"

namespace {

using segment_sets::Kind;

const std::vector<segment_sets::Segment>& segments_of(Kind kind, int64_t n) {
    static std::map<std::pair<int, int64_t>, std::vector<segment_sets::Segment>> cache;
    auto key = std::make_pair(static_cast<int>(kind), n);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, segment_sets::generate(kind, n)).first;
    return it->second;
}

void reset_peak_rss() { std::ofstream("/proc/self/clear_refs") << "5"; }

void BM_EngineScale(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    const auto& segments = segments_of(kind, state.range(1));
    segment_sets::EngineRun run;
    double put = 0, minilines = 0, arcs = 0, polygons = 0, peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rw_end();
        reset_peak_rss();
        state.ResumeTiming();
        run = segment_sets::run_engine(kind, segments, false);
        state.PauseTiming();
        peak = std::max(peak, segment_sets::status_mib("VmHWM"));
        rw_end();
        state.ResumeTiming();
        if (run.status != 0) state.SkipWithError("engine stage failed");
        put += run.put_s;
        minilines += run.minilines_s;
        arcs += run.arcs_s;
        polygons += run.polygons_s;
    }
    const auto avg = benchmark::Counter::kAvgIterations;
    state.SetLabel(segment_sets::kind_name(kind));
    state.counters["put_s"] = benchmark::Counter(put, avg);
    state.counters["minilines_s"] = benchmark::Counter(minilines, avg);
    state.counters["arcs_s"] = benchmark::Counter(arcs, avg);
    state.counters["polygons_s"] = benchmark::Counter(polygons, avg);
    state.counters["cpu_s"] = benchmark::Counter(put + minilines + arcs + polygons, avg);
    state.counters["minilines"] = run.minilines;
    state.counters["polygons"] = run.polygons;
    state.counters["peak_MiB"] = peak;
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int kind = 0; kind < 3; ++kind)
        for (int64_t n : {10'000, 100'000, 300'000, 1'000'000}) b->Args({kind, n});
}

BENCHMARK(BM_EngineScale)->Apply(sizes)->ArgNames({"kind", "n"})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
