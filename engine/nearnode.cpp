// Near-node bridging; see nearnode.h for what it expects and leaves behind.
#include "nearnode.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "box_index.h"
#include "pair_test.h"

namespace ringweld {

namespace {

// ---- distributing the records over the rings -------------------------------------------------

void distribute(std::span<const PolygonPoint> run, std::vector<NearRing>& rings) {
    rings.clear();
    int32_t previous = -1;
    for (const PolygonPoint& r : run) {
        const int32_t stored = std::max<int32_t>(r.ring, 0);
        // A key-0 record inside a further ring (a segment its caller tagged lin 0) goes to ring 0.
        const int32_t target = (r.key == 0 && stored > 0 && stored == previous) ? 0 : stored;
        previous = stored;
        if (static_cast<std::size_t>(target) >= rings.size()) rings.resize(static_cast<std::size_t>(target) + 1);
        NearRing& ring = rings[static_cast<std::size_t>(target)];
        ring.points.push_back({r.x, r.y, r.key});
        if (ring.self < 0) ring.self = target;
    }
    if (rings.empty()) rings.resize(1);
}

// ---- grids over the polygon's box -------------------------------------------------------------

// Cells of about two items each over a box; cell coordinates are clamped to the grid.
class Cells {
public:
    Cells(const Box& box, std::size_t items) : box_(box) {
        const double w = double(box.max_x) - box.min_x;
        const double h = double(box.max_y) - box.min_y;
        const double cells = std::clamp<double>(double(items) / 2, 1, 1 << 20);
        size_ = w * h > 0 ? std::sqrt(w * h / cells) : std::max(w, h) / cells;
        size_ = std::max(size_, 1.0);
        nx_ = static_cast<int32_t>(std::min(w / size_, double(1 << 20))) + 1;
        ny_ = static_cast<int32_t>(std::min(h / size_, double(1 << 20))) + 1;
    }
    int32_t nx() const { return nx_; }
    int32_t ny() const { return ny_; }
    double size() const { return size_; }
    std::size_t count() const { return static_cast<std::size_t>(nx_) * static_cast<std::size_t>(ny_); }
    int32_t cx(int32_t x) const { return clamp_cell((double(x) - box_.min_x) / size_, nx_); }
    int32_t cy(int32_t y) const { return clamp_cell((double(y) - box_.min_y) / size_, ny_); }
    // The y range of a row of cells; the outer rows reach on, as clamping does.
    double row_low(int32_t cy) const { return cy == 0 ? -1e300 : box_.min_y + cy * size_; }
    double row_high(int32_t cy) const { return cy == ny_ - 1 ? 1e300 : box_.min_y + (cy + 1) * size_; }
    std::size_t at(int32_t cx, int32_t cy) const {
        return static_cast<std::size_t>(cy) * static_cast<std::size_t>(nx_) + static_cast<std::size_t>(cx);
    }

private:
    static int32_t clamp_cell(double v, int32_t n) {
        if (!(v > 0)) return 0;
        return v >= n - 1 ? n - 1 : static_cast<int32_t>(v);
    }
    Box box_;
    double size_ = 1;
    int32_t nx_ = 1;
    int32_t ny_ = 1;
};

double distance(NearPoint a, NearPoint b) {
    const double dx = double(a.x) - b.x;
    const double dy = double(a.y) - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// The nearest pair so far, in the exhaustive search's order: rings ascending, their points,
// then the points of the ring being attached; a pair replaces the best only when strictly
// nearer, so among equal distances the first in that order stays.
struct NearestPair {
    double d = 1e15;
    bool found = false;
    int32_t ring = 0;
    int32_t position = 0;  // 1-based, in `ring`
    int32_t k = 0;         // 1-based, in the ring being attached

    void offer(double dist, int32_t r, int32_t m, int32_t kk) {
        if (dist < d || (found && dist == d && std::tie(r, m, kk) < std::tie(ring, position, k))) {
            d = dist;
            found = true;
            ring = r;
            position = m;
            k = kk;
        }
    }
};

// Points of rings, searched for the nearest to a point. Rings are added whole.
class PointGrid {
public:
    PointGrid(const Box& box, std::size_t items) : cells_(box, items), items_(cells_.count()) {}

    void add_ring(const NearRing& ring, int32_t number) {
        for (std::size_t m = 0; m < ring.points.size(); ++m) {
            const NearPoint& p = ring.points[m];
            items_[cells_.at(cells_.cx(p.x), cells_.cy(p.y))].push_back({p, number, static_cast<int32_t>(m + 1)});
        }
        empty_ = empty_ && ring.points.empty();
    }
    bool empty() const { return empty_; }

    // Offers every point that could be nearer to q (point k of the ring being attached) than
    // the best so far.
    void offer_nearest(NearPoint q, int32_t k, NearestPair& best) const {
        const int32_t qx = cells_.cx(q.x), qy = cells_.cy(q.y);
        const int32_t rings = std::max(cells_.nx(), cells_.ny());
        for (int32_t r = 0; r <= rings; ++r) {
            // Cells r rings out are at least r - 1 cells away; the margin covers rounding.
            if (r >= 2 && best.found && (r - 1) * cells_.size() > best.d * (1 + 1e-9) + 1) break;
            auto visit = [&](int32_t x, int32_t y) {
                for (const Item& it : items_[cells_.at(x, y)]) best.offer(distance(it.p, q), it.ring, it.position, k);
            };
            for (int32_t y = std::max(qy - r, 0); y <= std::min(qy + r, cells_.ny() - 1); ++y) {
                if (y == qy - r || y == qy + r) {
                    for (int32_t x = std::max(qx - r, 0); x <= std::min(qx + r, cells_.nx() - 1); ++x) visit(x, y);
                } else {
                    if (qx - r >= 0) visit(qx - r, y);
                    if (qx + r < cells_.nx()) visit(qx + r, y);
                }
            }
        }
    }

private:
    struct Item {
        NearPoint p;
        int32_t ring;
        int32_t position;
    };
    Cells cells_;
    std::vector<std::vector<Item>> items_;
    bool empty_ = true;
};

// The points of one ring in a balanced 2-d tree, searched for the nearest to a point: the
// outer ring's points lie along its outline, where a grid would be mostly empty cells.
class PointTree {
public:
    PointTree(const NearRing& ring, int32_t number) {
        for (std::size_t m = 0; m < ring.points.size(); ++m)
            items_.push_back({ring.points[m], number, static_cast<int32_t>(m + 1)});
        boxes_.resize(items_.size());
        build(0, items_.size(), 0);
    }
    void offer_nearest(NearPoint q, int32_t k, NearestPair& best) const { search(0, items_.size(), q, k, best); }

private:
    struct Item {
        NearPoint p;
        int32_t ring;
        int32_t position;
    };
    static int32_t coordinate(const NearPoint& p, int axis) { return axis == 0 ? p.x : p.y; }
    static std::size_t middle(std::size_t lo, std::size_t hi) { return lo + (hi - lo) / 2; }

    // Splits [lo, hi) at its median on the axis; the box of the subtree is kept at its middle.
    void build(std::size_t lo, std::size_t hi, int axis) {
        if (lo >= hi) return;
        const std::size_t mid = middle(lo, hi);
        std::nth_element(items_.begin() + static_cast<std::ptrdiff_t>(lo), items_.begin() + static_cast<std::ptrdiff_t>(mid),
                         items_.begin() + static_cast<std::ptrdiff_t>(hi), [axis](const Item& a, const Item& b) {
                             return coordinate(a.p, axis) < coordinate(b.p, axis);
                         });
        build(lo, mid, 1 - axis);
        build(mid + 1, hi, 1 - axis);
        const NearPoint& p = items_[mid].p;
        Box box{p.x, p.y, p.x, p.y};
        auto include = [&box](const Box& c) {
            box = {std::min(box.min_x, c.min_x), std::min(box.min_y, c.min_y), std::max(box.max_x, c.max_x),
                   std::max(box.max_y, c.max_y)};
        };
        if (lo < mid) include(boxes_[middle(lo, mid)]);
        if (mid + 1 < hi) include(boxes_[middle(mid + 1, hi)]);
        boxes_[mid] = box;
    }

    static double distance_to(const Box& b, NearPoint q) {
        const double dx = std::max({double(b.min_x) - q.x, 0.0, double(q.x) - b.max_x});
        const double dy = std::max({double(b.min_y) - q.y, 0.0, double(q.y) - b.max_y});
        return std::sqrt(dx * dx + dy * dy);
    }

    // A subtree is left out only when its box is farther than the best so far (the margin
    // covers rounding), so every point at the best distance is offered.
    void search(std::size_t lo, std::size_t hi, NearPoint q, int32_t k, NearestPair& best) const {
        if (lo >= hi) return;
        const std::size_t mid = middle(lo, hi);
        if (best.found && distance_to(boxes_[mid], q) > best.d * (1 + 1e-9) + 1) return;
        const Item& it = items_[mid];
        best.offer(distance(it.p, q), it.ring, it.position, k);
        const double left = lo < mid ? distance_to(boxes_[middle(lo, mid)], q) : 1e300;
        const double right = mid + 1 < hi ? distance_to(boxes_[middle(mid + 1, hi)], q) : 1e300;
        if (left <= right) {
            search(lo, mid, q, k, best);
            search(mid + 1, hi, q, k, best);
        } else {
            search(mid + 1, hi, q, k, best);
            search(lo, mid, q, k, best);
        }
    }

    std::vector<Item> items_;
    std::vector<Box> boxes_;
};

// ---- the bridge crossing test -----------------------------------------------------------------

struct Segment {
    Point a;
    Point b;
    Box box() const { return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)}; }
};

bool boxes_meet(const Box& s, const Box& t) {
    return !(s.max_x < t.min_x || s.max_y < t.min_y || t.max_x < s.min_x) && t.max_y >= s.min_y;
}

// Whether bridge s crosses boundary segment e (already known to end at a record with key >= 1).
bool crosses(const Segment& s, const Segment& e) {
    if (e.a == s.a || e.a == s.b || e.b == s.a || e.b == s.b) return false;
    const Box sb = s.box(), eb = e.box();
    if (!boxes_meet(eb, sb)) return false;
    const NormalLine ls = normal_line(s.a, s.b);
    const NormalLine le = normal_line(e.a, e.b);
    if (!ls.exists || !le.exists) return false;
    const std::optional<Point> at = intersect(ls, le);
    return at && sb.contains(at->x, at->y) && eb.contains(at->x, at->y);
}

Segment segment_of(std::span<const PolygonPoint> run, std::size_t i) {
    return {{run[i].x, run[i].y}, {run[i + 1].x, run[i + 1].y}};
}

bool examined(std::span<const PolygonPoint> run, std::size_t i) { return run[i + 1].key >= 1; }

// The boundary segments of the run in cells, for the crossing test of many bridges.
class SegmentGrid {
public:
    SegmentGrid(std::span<const PolygonPoint> run, const Box& box) : run_(run), cells_(box, run.size()), items_(cells_.count()) {
        for (std::size_t i = 0; i + 1 < run.size(); ++i) {
            if (!examined(run, i)) continue;
            visit_cells(segment_of(run, i).box(), [&](std::size_t c) { items_[c].push_back(static_cast<int32_t>(i)); });
        }
        stamp_.assign(run.size(), 0);
    }

    bool crosses_any(NearPoint a, NearPoint b) {
        const Segment s{{a.x, a.y}, {b.x, b.y}};
        ++epoch_;
        bool hit = false;
        visit_cells_near(s, [&](std::size_t c) {
            for (const int32_t i : items_[c]) {
                if (hit) return;
                if (stamp_[static_cast<std::size_t>(i)] == epoch_) continue;
                stamp_[static_cast<std::size_t>(i)] = epoch_;
                hit = crosses(s, segment_of(run_, static_cast<std::size_t>(i)));
            }
        });
        return hit;
    }

private:
    template <typename F>
    void visit_cells(const Box& b, F&& f) const {
        for (int32_t y = cells_.cy(b.min_y); y <= cells_.cy(b.max_y); ++y)
            for (int32_t x = cells_.cx(b.min_x); x <= cells_.cx(b.max_x); ++x) f(cells_.at(x, y));
    }
    // The cells within kNear of the bridge, row by row. A segment that passes the crossing
    // test has its rounded crossing point in both boxes, so the segment comes within about
    // two units of the bridge; kNear leaves room to spare.
    template <typename F>
    void visit_cells_near(const Segment& s, F&& f) const {
        constexpr double kNear = 4;
        const double ax = s.a.x, ay = s.a.y, dx = double(s.b.x) - s.a.x, dy = double(s.b.y) - s.a.y;
        const double lo_y = std::min(ay, ay + dy), hi_y = std::max(ay, ay + dy);
        for (int32_t cy = cells_.cy(static_cast<int32_t>(std::max(lo_y - kNear, -2147483648.0)));
             cy <= cells_.cy(static_cast<int32_t>(std::min(hi_y + kNear, 2147483647.0))); ++cy) {
            const double y0 = std::max(cells_.row_low(cy) - kNear, lo_y);
            const double y1 = std::min(cells_.row_high(cy) + kNear, hi_y);
            if (y0 > y1) continue;
            double x0 = std::min(ax, ax + dx), x1 = std::max(ax, ax + dx);
            if (dy != 0) {
                const double xa = ax + dx * ((y0 - ay) / dy), xb = ax + dx * ((y1 - ay) / dy);
                x0 = std::max(x0, std::min(xa, xb));
                x1 = std::min(x1, std::max(xa, xb));
            }
            const int32_t c0 = cells_.cx(static_cast<int32_t>(std::max(x0 - kNear, -2147483648.0)));
            const int32_t c1 = cells_.cx(static_cast<int32_t>(std::min(x1 + kNear, 2147483647.0)));
            for (int32_t cx = c0; cx <= c1; ++cx) f(cells_.at(cx, cy));
        }
    }

    std::span<const PolygonPoint> run_;
    Cells cells_;
    std::vector<std::vector<int32_t>> items_;
    std::vector<uint32_t> stamp_;
    uint32_t epoch_ = 0;
};

Box box_of(std::span<const PolygonPoint> run) {
    Box b{run[0].x, run[0].y, run[0].x, run[0].y};
    for (const PolygonPoint& p : run) {
        b.min_x = std::min(b.min_x, p.x);
        b.min_y = std::min(b.min_y, p.y);
        b.max_x = std::max(b.max_x, p.x);
        b.max_y = std::max(b.max_y, p.y);
    }
    return b;
}

// ---- attaching and rotating ------------------------------------------------------------------

struct Attacher {
    std::vector<NearRing>& rings;
    SegmentGrid& boundary;
    int32_t order = 0;

    // The nearest pair from the grid's rings to ring i, attached unless its bridge crosses.
    template <typename Points>
    bool try_attach(int32_t i, const Points& from, int32_t kind) {
        NearRing& ring = rings[static_cast<std::size_t>(i)];
        NearestPair best;
        for (std::size_t k = 0; k < ring.points.size(); ++k)
            from.offer_nearest(ring.points[k], static_cast<int32_t>(k + 1), best);
        if (!best.found) return false;
        NearRing& parent = rings[static_cast<std::size_t>(best.ring)];
        const NearPoint& p = parent.points[static_cast<std::size_t>(best.position - 1)];
        const NearPoint& q = ring.points[static_cast<std::size_t>(best.k - 1)];
        if (boundary.crosses_any(p, q)) return false;
        parent.attached.push_back({best.position, i, order++});
        ring.connected = true;
        ring.connection = best.k;
        ring.kind = kind;
        ring.parent = best.ring;
        return true;
    }
};

// p1 … pn becomes pa … pn, p2 … pa. Attachments follow their points; those on the dropped
// first record move to the last record (the same point), and one on pa stays on the leading
// copy only.
void rotate(NearRing& ring) {
    const auto n = static_cast<int32_t>(ring.points.size());
    const int32_t a = ring.connection;
    if (a <= 1 || a > n) return;
    std::vector<NearPoint> rotated;
    rotated.reserve(ring.points.size());
    rotated.insert(rotated.end(), ring.points.begin() + (a - 1), ring.points.end());
    rotated.insert(rotated.end(), ring.points.begin() + 1, ring.points.begin() + a);
    ring.points = std::move(rotated);
    for (Attachment& at : ring.attached) {
        const int32_t m = at.position;
        at.position = m >= a ? m - a + 1 : m == 1 ? n - a + 1 : n - a + m;
    }
}

}  // namespace

bool bridge_crosses(std::span<const PolygonPoint> run, NearPoint a, NearPoint b) {
    const Segment s{{a.x, a.y}, {b.x, b.y}};
    for (std::size_t i = 0; i + 1 < run.size(); ++i)
        if (examined(run, i) && crosses(s, segment_of(run, i))) return true;
    return false;
}

int32_t connect_rings(std::span<const PolygonPoint> run, std::vector<NearRing>& rings) {
    distribute(run, rings);
    if (run.empty()) return 0;
    const auto largest = static_cast<int32_t>(rings.size()) - 1;
    const Box box = box_of(run);
    SegmentGrid boundary(run, box);
    Attacher attacher{rings, boundary};

    const PointTree outer(rings[0], 0);
    PointGrid attached(box, run.size());
    for (int32_t i = 1; i <= largest; ++i) {
        if (rings[static_cast<std::size_t>(i)].self < 0) continue;
        if (attacher.try_attach(i, outer, 1)) attached.add_ring(rings[static_cast<std::size_t>(i)], i);
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (int32_t i = 1; i <= largest; ++i) {
            const NearRing& ring = rings[static_cast<std::size_t>(i)];
            if (ring.self < 0 || ring.connected || attached.empty()) continue;
            if (attacher.try_attach(i, attached, 2)) attached.add_ring(ring, i);
        }
    }

    int32_t status = 0;
    for (int32_t i = 1; i <= largest; ++i) {
        NearRing& ring = rings[static_cast<std::size_t>(i)];
        if (ring.connection < 1) {
            status = kRingUnattached;
            continue;
        }
        rotate(ring);
    }
    for (NearRing& ring : rings)
        std::stable_sort(ring.attached.begin(), ring.attached.end(), [](const Attachment& x, const Attachment& y) {
            return std::tie(x.position, x.order) < std::tie(y.position, y.order);
        });
    return status;
}

// ---- the walk ----------------------------------------------------------------------------------

void RingWalk::restart() {
    at_ = Frame{};
    stack_.clear();
}

void RingWalk::enter_attached(const std::vector<NearRing>& rings) {
    const NearRing& ring = rings[static_cast<std::size_t>(at_.ring)];
    if (at_.attach >= ring.attached.size() || ring.attached[at_.attach].position != at_.position) return;
    const int32_t child = ring.attached[at_.attach].ring;
    ++at_.attach;
    stack_.push_back(at_);
    at_ = Frame{child, 0, 0};
}

bool RingWalk::next(const std::vector<NearRing>& rings, Step& out) {
    if (rings.empty()) return false;
    const NearRing* ring = &rings[static_cast<std::size_t>(at_.ring)];
    if (at_.position < static_cast<int32_t>(ring->points.size())) {
        ++at_.position;
    } else if (!stack_.empty()) {
        // Back across the bridge: the attachment point once more.
        at_ = stack_.back();
        stack_.pop_back();
        ring = &rings[static_cast<std::size_t>(at_.ring)];
    } else {
        return false;
    }
    out.point = ring->points[static_cast<std::size_t>(at_.position - 1)];
    out.ring = at_.ring;
    enter_attached(rings);
    return true;
}

}  // namespace ringweld
