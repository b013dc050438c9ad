#include "miniline.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "keyed_sort.h"
#include "pair_test.h"

namespace ringweld {

namespace {

int32_t xmin(const LineRecord& s) { return std::min(s.x1, s.x2); }
int32_t xmax(const LineRecord& s) { return std::max(s.x1, s.x2); }

// Columns of equal width over the x range of the lines. A line occupies every column its
// x range touches; two lines whose boxes overlap share the column of the left end of their
// common x range, and are compared there only.
class ColumnGrid {
public:
    explicit ColumnGrid(const TableVector<LineRecord>& lines) {
        int64_t lo = std::numeric_limits<int64_t>::max();
        int64_t hi = std::numeric_limits<int64_t>::min();
        int64_t width_sum = 0;
        for (const LineRecord& s : lines) {
            lo = std::min<int64_t>(lo, xmin(s));
            hi = std::max<int64_t>(hi, xmax(s));
            width_sum += int64_t{xmax(s)} - xmin(s);
        }
        const int64_t n = static_cast<int64_t>(lines.size());
        origin_ = lo;
        // About two mean line widths per column keeps most lines in one or two columns
        // while the columns stay narrow; never more columns than lines.
        width_ = std::max<int64_t>(1, 2 * width_sum / n);
        const int64_t span = hi - lo;
        if (span / width_ + 1 > n) width_ = span / n + 1;
        count_ = static_cast<std::size_t>(span / width_ + 1);
    }

    std::size_t count() const { return count_; }
    int32_t column(int32_t x) const { return static_cast<int32_t>((int64_t{x} - origin_) / width_); }

private:
    int64_t origin_ = 0;
    int64_t width_ = 1;
    std::size_t count_ = 1;
};

bool is_endpoint(const LineRecord& s, Point p) {
    return (p.x == s.x1 && p.y == s.y1) || (p.x == s.x2 && p.y == s.y2);
}

// A line still open in the sweep, with what the scan of a column needs to skip it.
struct OpenLine {
    int32_t index;
    int32_t y2;
    int32_t xmin;
    int32_t xmax;
    int32_t first_column;
};

// Split points of one line ordered along it: by x, and for a line that runs to the left
// as y grows, by falling y within equal x.
void order_along(std::vector<Point>& pts, const LineRecord& s) {
    const bool leftward = s.x2 < s.x1;
    auto before = [leftward](const Point& p, const Point& q) {
        if (p.x != q.x) return p.x < q.x;
        return leftward ? p.y > q.y : p.y < q.y;
    };
    if (pts.size() <= 16) {
        for (std::size_t i = 1; i < pts.size(); ++i) {
            const Point t = pts[i];
            std::size_t k = i;
            for (; k > 0 && before(t, pts[k - 1]); --k) pts[k] = pts[k - 1];
            pts[k] = t;
        }
    } else {
        std::sort(pts.begin(), pts.end(), before);
    }
}

}  // namespace

LineRecord lower_first(LineRecord r) {
    if (r.y1 > r.y2 || (r.y1 == r.y2 && r.x1 > r.x2)) {
        std::swap(r.x1, r.x2);
        std::swap(r.y1, r.y2);
    }
    return r;
}

bool identical_lines(const LineRecord& a, const LineRecord& b) {
    return same_geometry(a, b) && a.key == b.key && a.ent == b.ent && a.lin == b.lin;
}

void sort_lines(TableVector<LineRecord>& lines) {
    // A lambda rather than the function's address, so that the comparison is inlined.
    sort_unless_ties_show(lines, [](const LineRecord& a, const LineRecord& b) { return line_before(a, b); },
                          identical_lines);
}

void cancel_staged_pairs(TableVector<LineRecord>& staged) {
    sort_lines(staged);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < staged.size();) {
        if (i + 1 < staged.size() && same_geometry(staged[i], staged[i + 1])) {
            i += 2;
        } else {
            staged[kept++] = staged[i++];
        }
    }
    staged.resize(kept);
}

void remove_duplicates(TableVector<LineRecord>& sorted) {
    if (sorted.empty()) return;
    std::size_t last_kept = 0;
    LineRecord previous = sorted[0];
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        const LineRecord current = sorted[i];
        if (!same_geometry(current, previous)) {
            sorted[++last_kept] = current;
        } else if (current.lin > previous.lin) {
            sorted[last_kept] = current;
        }
        previous = current;
    }
    sorted.resize(last_kept + 1);
}

void cancel_duplicates(TableVector<LineRecord>& sorted) {
    const std::size_t n = sorted.size();
    if (n == 0) return;
    const LineRecord second_to_last = n > 1 ? sorted[n - 2] : sorted[0];
    std::size_t written = 0;
    LineRecord pending = sorted[0];
    bool fresh = true;
    for (std::size_t i = 1; i < n; ++i) {
        if (same_geometry(sorted[i], pending)) {
            ++i;
            fresh = false;
            if (i < n) pending = sorted[i];
        } else {
            sorted[written++] = pending;
            pending = sorted[i];
            fresh = true;
        }
    }
    // A pending record left over from a cancelled run survives only when it does not
    // repeat the record before it.
    if (fresh || (n > 1 && !same_geometry(pending, second_to_last))) sorted[written++] = pending;
    sorted.resize(written);
}

TableVector<SplitPoint> find_meeting_points(const TableVector<LineRecord>& sorted) {
    TableVector<SplitPoint> points;
    if (sorted.size() < 2) return points;

    // Sweep upward: the lines arrive by lower y, and a line stays open in its columns until
    // a line starts above its upper y. Each arriving line is tested against the open lines
    // of its columns, so the earlier line of every pair is the first of the pair test.
    const ColumnGrid grid(sorted);
    TableVector<std::vector<OpenLine>> open(grid.count());
    for (std::size_t j = 0; j < sorted.size(); ++j) {
        const LineRecord& b = sorted[j];
        const OpenLine entry{static_cast<int32_t>(j), b.y2, xmin(b), xmax(b), grid.column(xmin(b))};
        const int32_t last_column = grid.column(entry.xmax);
        for (int32_t c = entry.first_column; c <= last_column; ++c) {
            std::vector<OpenLine>& column = open[static_cast<std::size_t>(c)];
            for (std::size_t k = 0; k < column.size();) {
                const OpenLine a = column[k];
                if (a.y2 < b.y1) {
                    column[k] = column.back();
                    column.pop_back();
                    continue;
                }
                ++k;
                if (std::max(a.xmin, entry.xmin) > std::min(a.xmax, entry.xmax)) continue;
                if (std::max(a.first_column, entry.first_column) != c) continue;
                const LineRecord& first = sorted[static_cast<std::size_t>(a.index)];
                for (Point p : pair_test(first, b)) {
                    // A line's own endpoints are cut points anyway; leaving them out here
                    // changes no result and saves most of the points at shared corners.
                    if (!is_endpoint(first, p)) points.push_back({a.index, p.x, p.y});
                    if (!is_endpoint(b, p)) points.push_back({entry.index, p.x, p.y});
                }
            }
            column.push_back(entry);
        }
    }
    return points;
}

TableVector<LineRecord> cut_lines(const TableVector<LineRecord>& sorted, TableVector<SplitPoint> points) {
    const std::size_t n = sorted.size();

    // Group the meeting points by line (a counting sort); equal points of a line are
    // interchangeable, so their order within the group does not matter.
    TableVector<uint32_t> first(n + 1, 0);
    for (const SplitPoint& p : points) ++first[static_cast<std::size_t>(p.line) + 1];
    for (std::size_t i = 0; i < n; ++i) first[i + 1] += first[i];
    TableVector<Point> grouped(points.size());
    {
        TableVector<uint32_t> next(first.begin(), first.end() - 1);
        for (const SplitPoint& p : points) grouped[next[static_cast<std::size_t>(p.line)]++] = {p.x, p.y};
    }
    const std::size_t meeting_count = points.size();
    TableVector<SplitPoint>().swap(points);

    // Each line yields at most one piece more than it has meeting points.
    TableVector<LineRecord> pieces;
    pieces.reserve(n + meeting_count);
    std::vector<Point> along;
    for (std::size_t i = 0; i < n; ++i) {
        const LineRecord& parent = sorted[i];
        along.assign(grouped.begin() + first[i], grouped.begin() + first[i + 1]);
        along.push_back({parent.x1, parent.y1});
        along.push_back({parent.x2, parent.y2});
        order_along(along, parent);

        Point start = along[0];
        for (std::size_t k = 1; k < along.size(); ++k) {
            if (along[k] == along[k - 1]) continue;
            LineRecord piece = parent;
            piece.x1 = start.x;
            piece.y1 = start.y;
            piece.x2 = along[k].x;
            piece.y2 = along[k].y;
            if (!(start == along[k])) pieces.push_back(lower_first(piece));
            start = along[k];
        }
    }
    return pieces;
}

void create_minilines(TableVector<LineRecord>& lines, DuplicateRule rule) {
    sort_lines(lines);
    if (rule == DuplicateRule::keep_one) {
        remove_duplicates(lines);
    } else {
        cancel_duplicates(lines);
    }
    TableVector<SplitPoint> points = find_meeting_points(lines);
    lines = cut_lines(lines, std::move(points));
}

}  // namespace ringweld
