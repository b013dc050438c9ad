// One whole engine assembly over a generated segment set, through the C API: lines in,
// minilines, arcs with face labelling, polygons; with the CPU seconds of each stage and
// what the result holds (polygon count and net area, to compare with another engine).
#pragma once

#include <ctime>
#include <cstdint>
#include <vector>

#include "ringweld.h"
#include "segment_sets.h"

namespace segment_sets {

struct EngineRun {
    int32_t status = 0;  // first non-zero status of the stages
    int32_t minilines = 0;
    int32_t arcs = 0;
    int32_t polygons = 0;
    double net_area = 0;  // sum of the polygons' signed areas (outer rings add, holes subtract)
    double put_s = 0, minilines_s = 0, arcs_s = 0, polygons_s = 0;
    double total_s() const { return put_s + minilines_s + arcs_s + polygons_s; }
};

inline double thread_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Leaves the session open so that the caller can read it; rw_end closes it.
// The signed area of every polygon of the open session, summed.
inline double net_polygon_area() {
    double net = 0;
    int32_t count = 0, points = 0;
    rw_getnum_polygon(&count, &points);
    for (int32_t n = 1; n <= count; ++n) {
        int32_t face = 0;
        double area = 0;
        if (rw_getpol_polygon(n, &face, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) == 0 &&
            rw_calareaD_polygon(face, &area) == 0)
            net += area;
    }
    return net;
}

inline EngineRun run_engine(Kind kind, const std::vector<Segment>& segments, bool with_area = true) {
    EngineRun r;
    auto lap = [mark = thread_cpu_seconds()]() mutable {
        const double now = thread_cpu_seconds();
        const double s = now - mark;
        mark = now;
        return s;
    };
    rw_start(10000, 10000, 10000, 20000);
    int32_t key = 0;
    for (const Segment& s : segments) rw_put_line(0, 1, s.x1, s.y1, s.x2, s.y2, key++);
    r.put_s = lap();
    r.status = cancels_pairs(kind) ? rw_create_miniline_dupcut(&r.minilines) : rw_create_miniline(&r.minilines);
    r.minilines_s = lap();
    if (r.status == 0) r.status = rw_create_arcline(&r.arcs);
    r.arcs_s = lap();
    if (r.status == 0) r.status = rw_create_polygon(&r.polygons);
    r.polygons_s = lap();
    if (r.status == 0 && with_area) r.net_area = net_polygon_area();
    return r;
}

}  // namespace segment_sets
