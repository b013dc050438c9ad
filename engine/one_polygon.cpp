// Bridge marking and reading of the one-polygon table; see one_polygon.h.
#include "one_polygon.h"

#include <algorithm>
#include <limits>
#include <tuple>

namespace ringweld {

namespace {

// The segment from record j to record j + 1 (0-based), as a sort key.
struct SegmentEntry {
    int32_t from_x, from_y, to_x, to_y;
    int32_t index;  // j

    auto key() const { return std::tie(from_x, from_y, to_x, to_y, index); }
    friend bool operator<(const SegmentEntry& a, const SegmentEntry& b) { return a.key() < b.key(); }
};

int16_t group_value(int32_t g) { return static_cast<int16_t>(g); }

}  // namespace

void mark_bridges(TableVector<OnePolygonPoint>& p) {
    const std::size_t n = p.size();
    if (n == 0) return;

    // Every segment j -> j+1, sorted by its ends and then by j: the segments that run back
    // along i -> i+1 are then one run, in ascending j.
    TableVector<SegmentEntry> segments;
    segments.reserve(n - 1);
    for (std::size_t j = 0; j + 1 < n; ++j)
        segments.push_back({p[j].x, p[j].y, p[j + 1].x, p[j + 1].y, static_cast<int32_t>(j)});
    std::sort(segments.begin(), segments.end());

    int32_t c = 1;  // current group
    int32_t last = 1;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (p[i].group > 0) c = p[i].group;
        // Segments j -> j+1 with j > i from p[i+1] back to p[i]. The literal inner loop runs
        // j up to N-1 (1-based), which is every segment after i.
        const SegmentEntry probe{p[i + 1].x, p[i + 1].y, p[i].x, p[i].y, static_cast<int32_t>(i) + 1};
        for (auto it = std::lower_bound(segments.begin(), segments.end(), probe);
             it != segments.end() && it->from_x == probe.from_x && it->from_y == probe.from_y &&
             it->to_x == probe.to_x && it->to_y == probe.to_y;
             ++it) {
            const auto j = static_cast<std::size_t>(it->index);
            if (last < std::numeric_limits<int32_t>::max()) ++last;
            p[i].group = group_value(-c);
            p[j].group = group_value(-last);
            p[j + 1].group = group_value(c);
            c = last;
        }
    }
    p[n - 1].group = 1;
}

bool OnePolygonTable::read_next(int32_t& x, int32_t& y, int32_t& key, int32_t& ring) {
    if (cursor < std::numeric_limits<int32_t>::max()) ++cursor;
    if (cursor > points.count()) return false;
    const OnePolygonPoint& r = points[static_cast<std::size_t>(cursor - 1)];
    x = r.x;
    y = r.y;
    ring = r.group - 1;
    key = ring != previous_ring ? 0 : r.key;
    previous_ring = ring;
    return true;
}

}  // namespace ringweld
