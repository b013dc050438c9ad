// Polygon assembly: the ring-link table, its two orderings and pairing, and the ring walk.
// See polygons.h for what the stage expects and leaves behind.
#include "polygons.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <tuple>
#include <vector>

namespace ringweld {

void PolygonTables::configure(int32_t linsize, int32_t polsize, int32_t pxysize) {
    links.configure(linsize, linsize);
    polygons.configure(polsize, kPolygonStep);
    rings.configure(kPolygonStep, kPolygonStep);
    points.configure(pxysize, pxysize);
    touches.configure(kPolygonStep, kPolygonStep);
}

void PolygonTables::release_results() {
    polygons.release();
    rings.release();
    points.release();
    touches.release();
}

void PolygonTables::release() {
    links.release();
    ring_base = 0;
    release_results();
    cursor = PolygonCursor{};
}

namespace {

// ---- building the ring-link table -----------------------------------------------------------

int32_t lowest_y(const ArcTables& t, const ArcRecord& a) {
    int32_t y = t.points[a.first].y;
    for (int32_t i = a.first + 1; i <= a.last; ++i) y = std::min(y, t.points[i].y);
    return y;
}

void append_sides(const ArcTables& t, int32_t n, int32_t direction, int32_t& pair, WorkTable<RingLink>& links) {
    const ArcRecord& a = t.arcs[n];
    if (a.face1 == a.face2 || (a.face1 <= 0 && a.face2 <= 0)) return;
    // rw_putarc_arcline may have written any range; only arcs with points can be walked.
    if (a.first < 0 || a.last >= t.points.count() || a.first >= a.last) return;
    const int32_t min_y = lowest_y(t, a);
    auto add = [&](int32_t face, int32_t node, int32_t arc, int32_t link, int32_t point) {
        links.append(RingLink{face, node, arc, link, link, link, point, min_y, 0});
    };
    // With direction 1 the first face's boundary runs along the arc's point order and the
    // second face's against it; direction 0 exchanges the ends of each side.
    if (a.face1 > 0) {
        if (direction == 1) {
            add(a.face1, a.start, n, pair, a.first);
            add(a.face1, a.end, n, -pair, a.last);
        } else {
            add(a.face1, a.end, n, pair, a.last);
            add(a.face1, a.start, n, -pair, a.first);
        }
        ++pair;
    }
    if (a.face2 > 0) {
        if (direction == 1) {
            add(a.face2, a.end, -n, pair, a.last);
            add(a.face2, a.start, -n, -pair, a.first);
        } else {
            add(a.face2, a.start, -n, pair, a.first);
            add(a.face2, a.end, -n, -pair, a.last);
        }
        ++pair;
    }
}

void number_branches(WorkTable<RingLink>& links) {
    const int32_t n = links.count();
    for (int32_t i = 0; i < n;) {
        int32_t j = i + 1;
        while (j < n && links[j].face == links[i].face && links[j].node == links[i].node) ++j;
        if (j - i > 2)
            for (int32_t k = i; k < j; ++k) links[k].branch = k - i + 1;
        i = j;
    }
}

// Neighbouring ends of one face at one node share the lower of their arcs' lowest y, so
// that the entry end of the next arc sorts right before the exit end of the arc arriving.
void share_lowest_y(WorkTable<RingLink>& links) {
    for (int32_t k = 0; k + 1 < links.count(); ++k) {
        RingLink& a = links[k];
        RingLink& b = links[k + 1];
        if (a.face == b.face && a.node == b.node && a.arc != b.arc) a.min_y = b.min_y = std::min(a.min_y, b.min_y);
    }
}

void pair_entry_with_exit(WorkTable<RingLink>& links, int32_t pairs) {
    TableVector<int32_t> exit_of(static_cast<std::size_t>(pairs) + 1, 0);
    for (int32_t i = 0; i < links.count(); ++i)
        if (links[i].link < 0) exit_of[-links[i].link] = i;
    for (RingLink& r : links)
        if (r.link > 0) r.link = exit_of[r.link];
}

// ---- the ring walk --------------------------------------------------------------------------

struct XY {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const XY&, const XY&) = default;
};

class RingWalker {
public:
    RingWalker(ArcTables& arcs, int32_t direction, PolygonTables& p)
        : arcs_(arcs), direction_(direction), p_(p), links_(p.links) {
        index_branch_groups();
    }

    int32_t run() {
        for (int32_t r = 0; r < links_.count(); ++r) {
            if (r == 0 || links_[r].face != links_[r - 1].face) begin_face(r);
            if (links_[r].link < 0) continue;
            if (!walk_ring(r)) return kRingBroken;
            end_ring();
        }
        return 0;
    }

private:
    void begin_face(int32_t r) {
        pending_ = true;
        ring_open_ = true;
        ring_counter_ = 0;
        last_ring_number_ = 0;
        group_start_ = r;
    }

    // Returns false when an arc's exit end is record 0 (nothing before it continues the ring).
    bool walk_ring(int32_t r) {
        const int32_t start_node = links_[r].node;
        int32_t e = r;
        for (;;) {
            const int32_t xi = links_[e].link;
            walk_arc(links_[e], links_[xi]);
            if (xi == 0) return false;
            RingLink& entry = links_[e];
            entry.link = -1;
            ArcRecord& arc = arcs_.arcs[std::abs(entry.arc)];
            (entry.arc > 0 ? arc.ring1 : arc.ring2) = static_cast<uint8_t>(ring_counter_);
            const RingLink& exit = links_[xi];
            if (exit.node == start_node) return true;
            const int32_t next = exit.branch > 0 ? choose_branch(xi) : xi - 1;
            if (links_[next].link < 0) return true;
            e = next;
        }
    }

    void walk_arc(const RingLink& entry, const RingLink& exit) {
        const int32_t step = entry.point <= exit.point ? 1 : -1;
        if (!ring_open_ && entry.branch > 0 && point_xy(entry.point) == last_walked_ && ring_counter_ == 0)
            ring_open_ = true;  // a loop from a touch point of the outer ring continues it
        int32_t i = entry.point;
        if (ring_open_ && !pending_) i += step;  // the previous arc already wrote this point
        for (; step > 0 ? i <= exit.point : i >= exit.point; i += step) {
            const bool at_end = i == entry.point || i == exit.point;
            int32_t key = 0;
            if (ring_open_) {
                key = lin_at(step > 0 || at_end ? i : i + 1);
            } else {
                ++ring_counter_;
            }
            write_point(exit, i, key);
        }
    }

    int32_t lin_at(int32_t i) const { return static_cast<uint16_t>(arcs_.points[i].lin); }
    XY point_xy(int32_t i) const { return XY{arcs_.points[i].x, arcs_.points[i].y}; }

    static void grow_box(PolygonRecord& rec, const XY& p) {
        rec.min_x = std::min(rec.min_x, p.x);
        rec.min_y = std::min(rec.min_y, p.y);
        rec.max_x = std::max(rec.max_x, p.x);
        rec.max_y = std::max(rec.max_y, p.y);
    }

    void write_point(const RingLink& exit, int32_t i, int32_t key) {
        const XY p = point_xy(i);
        const int32_t face = links_[group_start_].face;
        if (pending_) {
            first_ = p;
            p_.polygons.append(PolygonRecord{face, p.x, p.y, p.x, p.y, 0, p_.points.count() + 1, 0, 0, face});
        }
        p_.points.append(PolygonPoint{key, p.x, p.y, static_cast<int16_t>(ring_counter_)});
        PolygonRecord& polygon = p_.polygons[p_.polygons.count() - 1];
        grow_box(polygon, p);
        polygon.point_count += 1;
        if (ring_counter_ != last_ring_number_) {
            p_.ring_base = next_ring_number(p_.ring_base);
            p_.rings.append(RingRecord{p_.ring_base, p.x, p.y, p.x, p.y, 0, p_.points.count(), 0,
                                       static_cast<int16_t>(ring_counter_), face});
            last_ring_number_ = ring_counter_;
        }
        if (ring_counter_ > 0) {
            RingRecord& ring = p_.rings[p_.rings.count() - 1];
            grow_box(ring, p);
            ring.point_count += 1;
        }
        if (i == exit.point && exit.branch > 0 && touched_.insert({exit.face, p.x, p.y}).second)
            p_.touches.append(TouchPoint{exit.face, p.x, p.y});
        ring_open_ = true;
        pending_ = false;
        last_walked_ = p;
    }

    void end_ring() {
        if (!(last_walked_ == first_)) {
            p_.points.append(PolygonPoint{0, first_.x, first_.y, 0});
            p_.polygons[p_.polygons.count() - 1].point_count += 1;
        }
        ring_open_ = false;
    }

    // All ends of one face at one node, in table order, for every multi-branch node.
    void index_branch_groups() {
        for (int32_t i = 0; i < links_.count(); ++i)
            if (links_[i].branch > 0) branch_order_.push_back(i);
        std::sort(branch_order_.begin(), branch_order_.end(), [this](int32_t a, int32_t b) {
            const RingLink& ra = links_[a];
            const RingLink& rb = links_[b];
            return std::tie(ra.face, ra.node, a) < std::tie(rb.face, rb.node, b);
        });
        group_of_.assign(static_cast<std::size_t>(links_.count()), -1);
        for (std::size_t k = 0; k < branch_order_.size(); ++k) group_of_[branch_order_[k]] = static_cast<int32_t>(k);
    }

    // At a node where the face's boundary branches, the next end in angular order after the
    // arriving one (before it, with direction 0).
    int32_t choose_branch(int32_t xi) {
        const RingLink& x = links_[xi];
        const float phi = branch_angle(arcs_, x);
        std::size_t k = static_cast<std::size_t>(group_of_[xi]);
        while (k > 0 && same_end_group(branch_order_[k - 1], xi)) --k;
        candidates_.clear();
        for (; k < branch_order_.size() && same_end_group(branch_order_[k], xi); ++k) {
            const int32_t i = branch_order_[k];
            if (i >= group_start_) candidates_.push_back({branch_angle(arcs_, links_[i]), i});
        }
        std::stable_sort(candidates_.begin(), candidates_.end(),
                         [](const Candidate& a, const Candidate& b) { return a.angle < b.angle; });
        const std::size_t n = candidates_.size();
        // The first end after the arriving one: the next greater angle with direction 1, the
        // next smaller with direction 0, wrapping round.
        std::size_t first = direction_ == 1 ? 0 : n - 1;
        if (direction_ == 1) {
            for (std::size_t j = 0; j < n; ++j)
                if (candidates_[j].angle > phi) {
                    first = j;
                    break;
                }
        } else {
            for (std::size_t j = n; j-- > 0;)
                if (candidates_[j].angle < phi) {
                    first = j;
                    break;
                }
        }
        // An end already walked, or an exit end, cannot continue the ring; stopping there
        // would leave it open, so the turn goes on to the next end that can.
        for (std::size_t s = 0; s < n; ++s) {
            const std::size_t j = direction_ == 1 ? (first + s) % n : (first + n - s) % n;
            if (links_[candidates_[j].index].link >= 0) return candidates_[j].index;
        }
        return candidates_[first].index;
    }

    bool same_end_group(int32_t a, int32_t b) const {
        return links_[a].face == links_[b].face && links_[a].node == links_[b].node;
    }

    struct Candidate {
        float angle;
        int32_t index;
    };

    ArcTables& arcs_;
    const int32_t direction_;
    PolygonTables& p_;
    WorkTable<RingLink>& links_;

    bool pending_ = false;
    bool ring_open_ = false;
    int32_t ring_counter_ = 0;
    int32_t last_ring_number_ = 0;
    int32_t group_start_ = 0;
    XY first_;
    XY last_walked_;

    TableVector<int32_t> branch_order_;
    TableVector<int32_t> group_of_;
    std::vector<Candidate> candidates_;
    std::set<std::tuple<int32_t, int32_t, int32_t>> touched_;
};

}  // namespace

void build_ring_links(const ArcTables& arcs, int32_t direction, PolygonTables& p) {
    WorkTable<RingLink>& links = p.links;
    links.clear();
    int32_t pair = 1;
    for (int32_t n = 1; n <= arcs.count; ++n) append_sides(arcs, n, direction, pair, links);

    // Both orders are total (every end has its own signed pair number), so any sort gives them.
    std::sort(links.begin(), links.end(), [](const RingLink& a, const RingLink& b) {
        return std::tie(b.face, a.node, a.arc, b.link) < std::tie(a.face, b.node, b.arc, a.link);
    });
    number_branches(links);
    share_lowest_y(links);
    std::sort(links.begin(), links.end(), [](const RingLink& a, const RingLink& b) {
        return std::tie(a.face, a.min_y, a.node, b.link) < std::tie(b.face, b.min_y, b.node, a.link);
    });
    pair_entry_with_exit(links, pair - 1);
    p.ring_base = links.empty() ? 0 : links[links.count() - 1].face;
}

int32_t walk_rings(ArcTables& arcs, int32_t direction, PolygonTables& p) {
    p.release_results();
    if (p.links.empty()) return kNoArcData;
    // The walk consumes the links; they are dropped even when a table cannot grow, so that
    // the next walk builds them afresh from the arcs instead of walking what is left.
    int32_t status = 0;
    try {
        status = RingWalker(arcs, direction, p).run();
    } catch (...) {
        p.links.release();
        throw;
    }
    p.links.release();
    return status;
}

float branch_angle(const ArcTables& arcs, const RingLink& r) {
    const ArcRecord& a = arcs.arcs[std::abs(r.arc)];
    const ArcPoint& p = arcs.points[r.point];
    const ArcPoint& q = arcs.points[r.point == a.first ? r.point + 1 : r.point - 1];  // first < last
    const double angle = direction_angle(double(p.x) - double(q.x), double(p.y) - double(q.y));
    return static_cast<float>(angle * 180 / std::numbers::pi);
}

}  // namespace ringweld
