// The engine against GEOS on the same generated segment sets (segment_sets.h): the engine's
// minilines + arcs + polygons against GEOSNode + GEOSPolygonize.
//
// Each side runs in a child process of its own, so that its peak resident memory is its
// own (the input set, inherited from the parent, counts on both sides alike). Times are
// wall seconds from the segment array to the finished polygons, CPU seconds of the child
// beside them. Both sides report their polygon count and net area (the sum of polygon
// areas, holes subtracted); "same" means equal counts and areas within 1e-4 of each other, the
// tolerance the two engines' different rounding of crossing points needs.
//
//   bench_geos_peer [--kinds blocks,sheets,random] [--sizes 10000,100000,1000000] [--engine-only 1]

#include <geos_c.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <algorithm>
#include <tuple>
#include <sstream>
#include <string>
#include <vector>

#include "engine_run.h"

namespace {

using segment_sets::Kind;
using segment_sets::Segment;

// What a child sends back through its pipe.
struct SideResult {
    int32_t status = 0;
    int32_t polygons = 0;
    int32_t minilines = 0;
    double net_area = 0;
    double wall_s = 0;
};

struct Measured {
    SideResult result;
    double cpu_s = 0;
    double peak_mib = 0;
    bool ok = false;
};

double wall_now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs `work` in a child process and collects its result, CPU time and peak memory.
template <typename Work>
Measured in_child(Work work) {
    Measured m;
    int fds[2];
    if (pipe(fds) != 0) return m;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) return m;
    if (pid == 0) {
        close(fds[0]);
        const SideResult r = work();
        const ssize_t written = write(fds[1], &r, sizeof r);
        _exit(written == static_cast<ssize_t>(sizeof r) ? 0 : 1);
    }
    close(fds[1]);
    const ssize_t got = read(fds[0], &m.result, sizeof m.result);
    close(fds[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return m;
    m.cpu_s = double(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec * 1e-6 + double(usage.ru_stime.tv_sec) +
              usage.ru_stime.tv_usec * 1e-6;
    m.peak_mib = usage.ru_maxrss / 1024.0;
    m.ok = got == static_cast<ssize_t>(sizeof m.result) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

SideResult run_ringweld(Kind kind, const std::vector<Segment>& segments) {
    const double start = wall_now();
    const segment_sets::EngineRun run = segment_sets::run_engine(kind, segments, false);
    SideResult r;
    r.wall_s = wall_now() - start;
    r.status = run.status;
    r.polygons = run.polygons;
    r.minilines = run.minilines;
    // The areas are read after the clock stops: GEOS's side has them in its result already.
    r.net_area = segment_sets::net_polygon_area();
    rw_end();
    return r;
}

void geos_quiet(const char*, void*) {}

// GEOS has no rule for equal segments: a sheet edge entered from both sides would stay a
// boundary. Its side therefore drops equal segments in pairs first, as the engine's dupcut
// rule does, and that step counts in its time.
std::vector<Segment> without_equal_pairs(std::vector<Segment> segments) {
    for (Segment& s : segments)
        if (s.y1 > s.y2 || (s.y1 == s.y2 && s.x1 > s.x2)) s = Segment{s.x2, s.y2, s.x1, s.y1};
    auto key = [](const Segment& s) { return std::tie(s.y1, s.x1, s.y2, s.x2); };
    std::sort(segments.begin(), segments.end(), [&](const Segment& a, const Segment& b) { return key(a) < key(b); });
    std::vector<Segment> kept;
    kept.reserve(segments.size());
    for (std::size_t i = 0; i < segments.size();) {
        if (i + 1 < segments.size() && key(segments[i]) == key(segments[i + 1])) {
            i += 2;
        } else {
            kept.push_back(segments[i++]);
        }
    }
    return kept;
}

SideResult run_geos(Kind kind, const std::vector<Segment>& input) {
    SideResult r;
    GEOSContextHandle_t h = GEOS_init_r();
    GEOSContext_setNoticeMessageHandler_r(h, geos_quiet, nullptr);
    GEOSContext_setErrorMessageHandler_r(h, geos_quiet, nullptr);
    const double start = wall_now();
    const std::vector<Segment> segments = segment_sets::cancels_pairs(kind) ? without_equal_pairs(input) : input;
    std::vector<GEOSGeometry*> lines;
    lines.reserve(segments.size());
    for (const Segment& s : segments) {
        GEOSCoordSequence* seq = GEOSCoordSeq_create_r(h, 2, 2);
        GEOSCoordSeq_setXY_r(h, seq, 0, s.x1, s.y1);
        GEOSCoordSeq_setXY_r(h, seq, 1, s.x2, s.y2);
        lines.push_back(GEOSGeom_createLineString_r(h, seq));
    }
    GEOSGeometry* all = GEOSGeom_createCollection_r(h, GEOS_MULTILINESTRING, lines.data(),
                                                    static_cast<unsigned>(lines.size()));
    GEOSGeometry* noded = all ? GEOSNode_r(h, all) : nullptr;
    GEOSGeometry* faces = nullptr;
    if (noded) {
        const GEOSGeometry* input[] = {noded};
        faces = GEOSPolygonize_r(h, input, 1);
    }
    r.wall_s = wall_now() - start;
    if (!faces) {
        r.status = 1;
    } else {
        r.polygons = GEOSGetNumGeometries_r(h, faces);
        GEOSArea_r(h, faces, &r.net_area);
        GEOSGeom_destroy_r(h, faces);
    }
    if (noded) {
        r.minilines = GEOSGetNumGeometries_r(h, noded);
        GEOSGeom_destroy_r(h, noded);
    }
    if (all) GEOSGeom_destroy_r(h, all);
    GEOS_finish_r(h);
    return r;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) out.push_back(item);
    return out;
}

bool same_result(const SideResult& a, const SideResult& b) {
    if (a.status != 0 || b.status != 0 || a.polygons != b.polygons) return false;
    const double scale = std::max(std::fabs(a.net_area), std::fabs(b.net_area));
    return std::fabs(a.net_area - b.net_area) <= 1e-4 * std::max(scale, 1.0);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Kind> kinds{Kind::blocks, Kind::sheets, Kind::random};
    std::vector<int64_t> sizes{10'000, 100'000, 1'000'000};
    bool with_geos = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--kinds") {
            kinds.clear();
            for (const std::string& k : split(argv[i + 1]))
                kinds.push_back(k == "blocks" ? Kind::blocks : k == "sheets" ? Kind::sheets : Kind::random);
        } else if (opt == "--sizes") {
            sizes.clear();
            for (const std::string& n : split(argv[i + 1])) sizes.push_back(std::stoll(n));
        } else if (opt == "--engine-only") {
            with_geos = std::string(argv[i + 1]) != "1";
        } else {
            std::fprintf(stderr, "usage: %s [--kinds blocks,sheets,random] [--sizes N,N,...] [--engine-only 1]\n",
                         argv[0]);
            return 2;
        }
    }

    std::printf("%-7s %8s %9s | %9s %8s %9s | %9s %8s %9s | %7s | %9s %9s %5s\n", "kind", "segments", "minilines",
                "engine_s", "cpu_s", "peak_MiB", "geos_s", "cpu_s", "peak_MiB", "ratio", "polygons", "geos_pol",
                "same");
    std::map<int, std::map<int64_t, double>> engine_wall;
    bool ok = true;
    for (Kind kind : kinds) {
        for (int64_t n : sizes) {
            const std::vector<Segment> segments = segment_sets::generate(kind, n);
            const Measured e = in_child([&] { return run_ringweld(kind, segments); });
            const Measured g = with_geos ? in_child([&] { return run_geos(kind, segments); }) : Measured{};
            engine_wall[static_cast<int>(kind)][n] = e.result.wall_s;
            const bool same = e.ok && g.ok && same_result(e.result, g.result);
            const double ratio = e.result.wall_s > 0 ? g.result.wall_s / e.result.wall_s : 0;
            std::printf("%-7s %8zu %9d | %9.3f %8.3f %9.1f | %9.3f %8.3f %9.1f | %6.1fx | %9d %9d %5s\n",
                        segment_sets::kind_name(kind), segments.size(), e.result.minilines, e.result.wall_s, e.cpu_s,
                        e.peak_mib, g.result.wall_s, g.cpu_s, g.peak_mib, ratio, e.result.polygons,
                        g.result.polygons, same ? "yes" : "no");
            if (!same)
                std::printf("        net area: engine %.6e, GEOS %.6e%s%s\n", e.result.net_area, g.result.net_area,
                            e.ok ? "" : " (engine run failed)", g.ok ? "" : " (GEOS run failed)");
            std::fflush(stdout);
            ok = ok && e.ok && e.result.status == 0;
        }
    }
    for (auto& [kind, by_size] : engine_wall) {
        if (by_size.count(100'000) && by_size.count(1'000'000) && by_size[100'000] > 0)
            std::printf("engine growth 10^5 -> 10^6, %s: %.1fx\n", segment_sets::kind_name(static_cast<Kind>(kind)),
                        by_size[1'000'000] / by_size[100'000]);
    }
    return ok ? 0 : 1;
}
