// Polygon queries; see queries.h for what they expect and leave behind.
#include "queries.h"

#include <algorithm>
#include <cmath>

#include "pair_test.h"

namespace ringweld {

RecordRun record_run(const WorkTable<PolygonPoint>& points, const PolygonRecord& r) {
    const int64_t first = int64_t{r.first_point} - 1;
    const int64_t end = std::min<int64_t>(first + std::max(r.point_count, 0), points.count());
    if (first < 0 || first >= end) return {};
    return RecordRun(points.data() + first, static_cast<std::size_t>(end - first));
}

LineEvent line_event(RecordRun run, std::size_t i, int32_t y) {
    const std::size_t n = run.size();
    const PolygonPoint& a = run[i];
    const PolygonPoint& b = run[i + 1];
    LineEvent e;
    if (a.y == y) return e;
    if (b.y != y) {
        if ((a.y < y) == (b.y < y)) return e;
        e.kind = LineEvent::Kind::crossing;
        const double xc = (double(y) - a.y) * (double(b.x) - a.x) / (double(b.y) - a.y) + a.x;
        e.t = static_cast<int32_t>(round_half_even(xc));
        return e;
    }
    // Follow the records on the line; past the last record, once more from the first.
    e.kind = LineEvent::Kind::arrival;
    e.t = b.x;
    std::size_t j = i + 1;
    bool wrapped = false;
    for (;;) {
        std::size_t k = j + 1;
        if (j == n - 1) {
            if (wrapped) break;  // unreachable: record i is off the line
            wrapped = true;
            k = 0;
        }
        if (run[k].y != y) {
            e.opposite = (run[k].y < y) != (a.y < y);
            break;
        }
        e.along = e.along || run[k].x != e.t;
        j = k;
    }
    e.p = run[j].x;
    return e;
}

namespace {

// Whether an event counts as a crossing of the ray from (x, ·) towards larger x.
bool crosses_ray(const LineEvent& e, int32_t x) {
    return (e.kind == LineEvent::Kind::crossing || (e.kind == LineEvent::Kind::arrival && e.opposite)) && x < e.t;
}

}  // namespace

bool run_contains(RecordRun run, int32_t x, int32_t y) {
    bool inside = false;
    for (std::size_t i = 0; i + 1 < run.size(); ++i) inside ^= crosses_ray(line_event(run, i, y), x);
    return inside;
}

void scan_crossings(RecordRun run, int32_t y, std::vector<ScanCrossing>& out) {
    for (std::size_t i = 0; i + 1 < run.size(); ++i) {
        const LineEvent e = line_event(run, i, y);
        if (e.kind == LineEvent::Kind::crossing) {
            out.push_back({e.t, false});
        } else if (e.kind == LineEvent::Kind::arrival) {
            if (!e.along) {
                if (e.opposite) out.push_back({e.t, false});
            } else {
                out.push_back({e.t, true});
                if (e.opposite) out.push_back({e.t, true});
                out.push_back({e.p, true});
            }
        }
    }
}

int32_t widest_stretch_middle(std::vector<ScanCrossing>& crossings, int32_t start_x) {
    // Stable, as the neighbour-exchange sort it stands for: equal abscissae keep their order.
    std::stable_sort(crossings.begin(), crossings.end(),
                     [](const ScanCrossing& a, const ScanCrossing& b) { return a.x < b.x; });
    bool found = false;
    int64_t best_width = 0;
    int32_t x = start_x;
    for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
        const ScanCrossing& a = crossings[i];
        const ScanCrossing& b = crossings[i + 1];
        if (a.marked && b.marked) continue;
        const int64_t width = int64_t{b.x} - a.x;
        if (!found || width > best_width) {
            found = true;
            best_width = width;
            x = static_cast<int32_t>(a.x + width / 2);
        }
    }
    return x;
}

LabelPoint label_point(RecordRun run, LabelPoint start) {
    std::vector<ScanCrossing> crossings;
    scan_crossings(run, start.y, crossings);
    return {widest_stretch_middle(crossings, start.x), start.y};
}

LabelPoint box_middle_rounded(const PolygonRecord& r) {
    auto middle = [](int32_t lo, int32_t hi) {
        return static_cast<int32_t>(round_half_even((double(hi) - lo) / 2 + lo));
    };
    return {middle(r.min_x, r.max_x), middle(r.min_y, r.max_y)};
}

LabelPoint box_middle_truncated(const PolygonRecord& r) {
    auto middle = [](int32_t lo, int32_t hi) { return static_cast<int32_t>(lo + (int64_t{hi} - lo) / 2); };
    return {middle(r.min_x, r.max_x), middle(r.min_y, r.max_y)};
}

double run_area(RecordRun run) {
    const std::size_t n = run.size();
    if (n < 3) return 0;
    const double xn = run[n - 1].x;
    const double yn = run[n - 1].y;
    double sum = 0;
    for (std::size_t k = 0; k + 2 < n; ++k) {
        const double xk = run[k].x, yk = run[k].y;
        const double xk1 = run[k + 1].x, yk1 = run[k + 1].y;
        sum += (xn - xk1) * (yk - yn) + (xk - xn) * (yk1 - yn);
    }
    return -0.5 * sum;
}

bool repeats_vertex(RecordRun run) {
    if (run.size() < 2) return false;
    // Which pair repeats does not matter, only whether one does: sorting finds it in n log n.
    std::vector<Point> xy;
    xy.reserve(run.size() - 1);
    for (std::size_t i = 0; i + 1 < run.size(); ++i) xy.push_back({run[i].x, run[i].y});
    std::sort(xy.begin(), xy.end(), [](Point a, Point b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    return std::adjacent_find(xy.begin(), xy.end()) != xy.end();
}

int32_t polygon_index_of(const WorkTable<PolygonRecord>& polygons, int32_t face) {
    const auto it = std::lower_bound(polygons.begin(), polygons.end(), face,
                                     [](const PolygonRecord& r, int32_t f) { return r.face < f; });
    if (it == polygons.end() || it->face != face) return -1;
    return static_cast<int32_t>(it - polygons.begin());
}

RunBands::RunBands(RecordRun run) {
    int32_t max_y = run[0].y;
    min_y_ = run[0].y;
    for (const PolygonPoint& r : run) {
        min_y_ = std::min(min_y_, r.y);
        max_y = std::max(max_y, r.y);
    }
    // About eight segments a band, fewer bands where long segments would fill too many.
    const std::size_t n = run.size() - 1;
    bands_ = static_cast<int32_t>(std::clamp<std::size_t>(n / 8, 1, 1 << 16));
    for (;;) {
        height_ = std::max((double(max_y) - min_y_ + 1) / bands_, 1.0);
        std::size_t entries = 0;
        for (std::size_t i = 0; i < n; ++i)
            entries += static_cast<std::size_t>(band_of(std::max(run[i].y, run[i + 1].y)) -
                                                band_of(std::min(run[i].y, run[i + 1].y)) + 1);
        if (entries <= 32 * n || bands_ == 1) break;
        bands_ = std::max(bands_ / 4, 1);
    }
    std::vector<int32_t> count(static_cast<std::size_t>(bands_) + 1, 0);
    auto each_band = [&](std::size_t i, auto&& f) {
        const int32_t hi = band_of(std::max(run[i].y, run[i + 1].y));
        for (int32_t b = band_of(std::min(run[i].y, run[i + 1].y)); b <= hi; ++b) f(static_cast<std::size_t>(b));
    };
    for (std::size_t i = 0; i < n; ++i) each_band(i, [&](std::size_t b) { ++count[b + 1]; });
    for (std::size_t b = 1; b < count.size(); ++b) count[b] += count[b - 1];
    first_ = count;
    segments_.resize(static_cast<std::size_t>(count.back()));
    for (std::size_t i = 0; i < n; ++i)
        each_band(i, [&](std::size_t b) { segments_[static_cast<std::size_t>(count[b]++)] = static_cast<int32_t>(i); });
}

int32_t RunBands::band_of(int32_t y) const {
    const double b = (double(y) - min_y_) / height_;
    return b <= 0 ? 0 : b >= bands_ - 1 ? bands_ - 1 : static_cast<int32_t>(b);
}

bool RunBands::contains(RecordRun run, int32_t x, int32_t y) const {
    // A segment contributes only when it reaches the line; every such segment is in the band.
    const auto b = static_cast<std::size_t>(band_of(y));
    bool inside = false;
    for (int32_t s = first_[b]; s < first_[b + 1]; ++s) {
        inside ^= crosses_ray(line_event(run, static_cast<std::size_t>(segments_[static_cast<std::size_t>(s)]), y), x);
    }
    return inside;
}

int32_t find_containing(const PolygonTables& p, PolygonQueryCache& cache, int32_t x, int32_t y) {
    if (!cache.built) {
        TableVector<Box> boxes;
        boxes.reserve(static_cast<std::size_t>(p.polygons.count()));
        for (const PolygonRecord& r : p.polygons) boxes.push_back({r.min_x, r.min_y, r.max_x, r.max_y});
        cache.boxes.build(boxes);
        cache.bands.clear();
        cache.bands.resize(boxes.size());
        cache.built = true;
    }
    cache.boxes.containing(x, y, cache.candidates);
    for (const int32_t i : cache.candidates) {
        const RecordRun run = record_run(p.points, p.polygons[static_cast<std::size_t>(i)]);
        if (run.size() < kBandedRun) {
            if (run_contains(run, x, y)) return i;
            continue;
        }
        std::unique_ptr<RunBands>& bands = cache.bands[static_cast<std::size_t>(i)];
        if (!bands) bands = std::make_unique<RunBands>(run);
        if (bands->contains(run, x, y)) return i;
    }
    return -1;
}

}  // namespace ringweld
