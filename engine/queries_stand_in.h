// Stand-in for the polygon queries until they are merged (crossing rule, label point, area).
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>
#include "polygons.h"

namespace ringweld {

inline int32_t crossing_x(const PolygonPoint& a, const PolygonPoint& b, int32_t py) {
    return static_cast<int32_t>(std::nearbyint(double(py - a.y) * double(b.x - a.x) / double(b.y - a.y) + a.x));
}

inline bool run_holds_point(const PolygonPoint* run, int32_t n, int32_t px, int32_t py) {
    int32_t count = 0;
    int32_t k = 0;
    while (k + 1 < n) {
        const PolygonPoint& a = run[k];
        const PolygonPoint& b = run[k + 1];
        if (a.y != py && b.y != py) {
            if ((a.y < py) != (b.y < py) && px < crossing_x(a, b, py)) ++count;
            ++k;
        } else if (a.y != py) {
            const bool below = a.y < py;
            const int32_t first_on = k + 1;
            int32_t m = k + 1;
            while (m + 1 < n && run[m + 1].y == py) ++m;
            if (m + 1 >= n) break;
            if ((run[m + 1].y < py) != below && px < run[first_on].x) ++count;
            k = m;
        } else {
            ++k;
        }
    }
    return count % 2 == 1;
}

inline double run_area(const PolygonPoint* p, int32_t n) {
    if (n < 3) return 0;
    double s = 0;
    const PolygonPoint& last = p[n - 1];
    for (int32_t k = 0; k + 2 < n; ++k)
        s += double(last.x - p[k + 1].x) * double(p[k].y - last.y) + double(p[k].x - last.x) * double(p[k + 1].y - last.y);
    return -0.5 * s;
}

struct LabelCrossing { int32_t x; bool marked; };

inline void label_point(const PolygonRecord& r, const PolygonPoint* run, int32_t& out_x, int32_t& out_y) {
    int32_t x = static_cast<int32_t>(std::nearbyint(double(r.max_x - r.min_x) / 2 + r.min_x));
    const int32_t y = static_cast<int32_t>(std::nearbyint(double(r.max_y - r.min_y) / 2 + r.min_y));
    std::vector<LabelCrossing> c;
    const int32_t n = r.point_count;
    int32_t k = 0;
    while (k + 1 < n) {
        const PolygonPoint& a = run[k];
        const PolygonPoint& b = run[k + 1];
        if (a.y != y && b.y != y) {
            if ((a.y < y) != (b.y < y)) c.push_back({crossing_x(a, b, y), false});
            ++k;
        } else if (a.y != y) {
            const bool below = a.y < y;
            const int32_t t = b.x;
            int32_t m = k + 1;
            while (m + 1 < n && run[m + 1].y == y) ++m;
            if (m + 1 >= n) break;
            const int32_t p = run[m].x;
            const bool ran = m > k + 1;
            const bool opposite = (run[m + 1].y < y) != below;
            if (!ran) { if (opposite) c.push_back({t, false}); }
            else if (opposite) { c.push_back({t, true}); c.push_back({t, true}); c.push_back({p, true}); }
            else { c.push_back({t, true}); c.push_back({p, true}); }
            k = m;
        } else ++k;
    }
    std::stable_sort(c.begin(), c.end(), [](const LabelCrossing& a, const LabelCrossing& b) { return a.x < b.x; });
    int32_t best = -1;
    for (std::size_t i = 0; i + 1 < c.size(); i += 2) {
        if (c[i].marked && c[i + 1].marked) continue;
        const int32_t w = c[i + 1].x - c[i].x;
        if (w > best) { best = w; x = c[i].x + w / 2; }
    }
    out_x = x;
    out_y = y;
}

}  // namespace ringweld
