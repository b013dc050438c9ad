// Face labelling: scan lines, the perturbed rescans, the final fill, junction propagation,
// resolve and renumber. See faces.h for what the stage expects and leaves behind.
#include "faces.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "keyed_sort.h"

namespace ringweld {

// ---- face labels ------------------------------------------------------------------------

FaceLabels::FaceLabels(int32_t step) {
    table_.configure(step, step);
    table_.append(0);
}

int32_t FaceLabels::make() {
    ++count_;
    table_.append(count_);
    return count_;
}

int32_t FaceLabels::root(int32_t label) const {
    while (table_[label] != label) label = table_[label];
    return label;
}

void FaceLabels::merge(int32_t a, int32_t b) {
    if (a == b || !contains(a) || !contains(b)) return;
    const int32_t pa = table_[a];
    const int32_t pb = table_[b];
    const int32_t m = std::min(pa, pb);
    table_[std::max(pa, pb)] = m;
    table_[a] = m;
    table_[b] = m;
}

void FaceLabels::unify(int32_t& p, int32_t& q) {
    if (p < 0 && q < 0) {
        p = q = 0;
        return;
    }
    if (p < 0) {
        p = q;
        return;
    }
    if (q < 0) {
        q = p;
        return;
    }
    if (p == q) return;
    const int32_t rp = root(p);
    const int32_t rq = root(q);
    const int32_t m = std::min(rp, rq);
    for (int32_t start : {p, q}) {
        int32_t i = start;
        while (table_[i] != i) {
            const int32_t next = table_[i];
            table_[i] = m;
            i = next;
        }
        table_[i] = m;
    }
}

void FaceLabels::resolve() {
    for (int32_t i = 0; i <= count_; ++i) table_[i] = root(i);
}

namespace {

// ---- arc sides seen from a crossing -------------------------------------------------------

// A segment whose arc runs downward has the arc's first face (its right-hand side) to the west.
int32_t& west_side(ArcRecord& a, uint8_t flags) { return (flags & kDownBit) ? a.face1 : a.face2; }
int32_t& east_side(ArcRecord& a, uint8_t flags) { return (flags & kDownBit) ? a.face2 : a.face1; }

void join_outside(FaceLabels& labels, int32_t& side) {
    if (side <= 0)
        side = 0;
    else
        labels.merge(side, 0);
}

// ---- crossings ----------------------------------------------------------------------------

Crossing crossing_at(const ArcSegment& s, int32_t index, int32_t y) {
    Crossing c;
    c.arc = s.arc;
    c.segment = index;
    c.flags = s.down ? kDownBit : 0;
    if (s.ylow == s.yhigh) {
        c.x = static_cast<int32_t>(int64_t{s.xlow} + (int64_t{s.xhigh} - s.xlow) / 2);
        c.kind = kHorizontal;
    } else if (y == s.yhigh) {
        c.x = s.xhigh;
        c.flags |= kCrossAtUpper;
        c.kind = kAtSegmentEnd;
    } else if (y == s.ylow) {
        c.x = s.xlow;
        c.flags |= kCrossAtLower;
        c.kind = kAtSegmentEnd;
    } else {
        const double dx = double(s.xhigh) - double(s.xlow);
        const double dy = double(y) - double(s.ylow);
        const double h = double(s.yhigh) - double(s.ylow);
        c.x = static_cast<int32_t>(std::nearbyint(dx * dy / h + double(s.xlow)));
        c.kind = kProper;
    }
    return c;
}

// ---- applying a scan line -------------------------------------------------------------------

struct ScanContext {
    ArcTables& t;
    FaceLabels& labels;
    SegmentIndex index;
    std::vector<Crossing> crossings;
    CrossingScratch scratch;
    bool outside_met_proper = false;  // some scan joined the outside through a proper crossing
    int32_t max_crossings = kMaxCrossings;
};

// The outer-side rule and the gap rule over settled crossings.
void label_gaps(ScanContext& ctx) {
    std::vector<Crossing>& c = ctx.crossings;
    if (c.empty()) return;
    auto& arcs = ctx.t.arcs;
    if (c.front().kind == kProper) {
        join_outside(ctx.labels, west_side(arcs[c.front().arc], c.front().flags));
        ctx.outside_met_proper = true;
    }
    if (c.back().kind == kProper) {
        join_outside(ctx.labels, east_side(arcs[c.back().arc], c.back().flags));
        ctx.outside_met_proper = true;
    }
    auto blocks = [](const Crossing& x) { return x.kind == kAtSegmentEnd || x.kind == kHorizontal; };
    for (std::size_t i = 0; i + 1 < c.size(); ++i) {
        if (blocks(c[i]) || blocks(c[i + 1])) continue;
        int32_t& east = east_side(arcs[c[i].arc], c[i].flags);
        int32_t f = east;
        int32_t& west = west_side(arcs[c[i + 1].arc], c[i + 1].flags);
        int32_t g = west;
        if (g < 0) {
            if (f < 0)
                f = g = ctx.labels.make();
            else
                g = f;
        } else if (f < 0) {
            f = g;
        } else if (f != g) {
            ctx.labels.merge(f, g);
        }
        east = f;
        west = g;
    }
}

int32_t cast_scan_line(ScanContext& ctx, int32_t y) {
    if (!collect_crossings(ctx.index, y, ctx.crossings, ctx.max_crossings)) return kTooManyCrossings;
    std::vector<Crossing>& c = ctx.crossings;
    if (c.size() == 1) {
        if (c[0].kind != kAtSegmentEnd) {
            ArcRecord& a = ctx.t.arcs[c[0].arc];
            join_outside(ctx.labels, a.face1);
            join_outside(ctx.labels, a.face2);
            // A lone proper crossing is the first and the last one: the outside met it.
            if (c[0].kind == kProper) ctx.outside_met_proper = true;
        }
        return 0;
    }
    if (c.size() < 2) return 0;
    settle_crossings(c, ctx.scratch);
    label_gaps(ctx);
    return 0;
}

int32_t cast_perturbed_scan_line(ScanContext& ctx, int32_t y) {
    if (!collect_perturbed_crossings(ctx.index, y, ctx.crossings, ctx.max_crossings)) return kTooManyCrossings;
    label_gaps(ctx);
    return 0;
}

bool has_negative_side(const ArcRecord& a) { return a.face1 < 0 || a.face2 < 0; }

// Whether some arc lies on a cycle of the graph of nodes and arcs.
bool arcs_form_a_cycle(const ArcTables& t) {
    TableVector<int32_t> parent(static_cast<std::size_t>(t.nodes.count()));
    std::iota(parent.begin(), parent.end(), 0);
    auto find = [&parent](int32_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    for (int32_t k = 1; k <= t.count; ++k) {
        const int32_t a = find(t.endpoints[t.arcs[k].start].node);
        const int32_t b = find(t.endpoints[t.arcs[k].end].node);
        if (a == b) return true;
        parent[a] = b;
    }
    return false;
}

// Whether a closed loop still has an unlabelled side, or the outside met no proper crossing
// although the arcs enclose something.
bool rescans_needed(const ScanContext& ctx, const TableVector<Midpoint>& loops) {
    for (const Midpoint& m : loops)
        if (has_negative_side(ctx.t.arcs[m.arc])) return true;
    return !ctx.outside_met_proper && !ctx.t.midpoints.empty() && arcs_form_a_cycle(ctx.t);
}

// For each closed loop in arc order that still has an unlabelled side (a scan cast for an
// earlier loop may label a later one), then once for the outside, a perturbed scan line.
int32_t rescan_missed(ScanContext& ctx, const TableVector<Midpoint>& loops) {
    for (const Midpoint& m : loops) {
        if (!has_negative_side(ctx.t.arcs[m.arc])) continue;
        if (int32_t status = cast_perturbed_scan_line(ctx, m.mid_y); status != 0) return status;
    }
    if (!ctx.outside_met_proper && !ctx.t.midpoints.empty() && arcs_form_a_cycle(ctx.t))
        return cast_perturbed_scan_line(ctx, ctx.t.midpoints[0].mid_y);
    return 0;
}

// ---- junction propagation -------------------------------------------------------------------

struct JunctionEntry {
    int32_t arc = 0;
    bool at_start = false;
    double angle = 0;
    int32_t right = 0;  // face to the right of the arc leaving the node
    int32_t left = 0;
};

void propagate_at_junction(ArcTables& t, FaceLabels& labels, const NodeRecord& node,
                           std::vector<JunctionEntry>& entries) {
    entries.clear();
    for (int32_t e = node.first_end; e < node.first_end + node.degree; ++e) {
        const EndPoint& ep = t.endpoints[e];
        const ArcRecord& a = t.arcs[ep.arc];
        JunctionEntry entry;
        entry.arc = ep.arc;
        entry.at_start = a.start == e;
        const ArcPoint& nb = t.points[entry.at_start ? a.first + 1 : a.last - 1];
        entry.angle = direction_angle(double(ep.x) - double(nb.x), double(ep.y) - double(nb.y));
        entry.right = entry.at_start ? a.face1 : a.face2;
        entry.left = entry.at_start ? a.face2 : a.face1;
        entries.push_back(entry);
    }
    // Greatest angle first; equal angles keep their order (the bubble sort of the text).
    std::stable_sort(entries.begin(), entries.end(),
                     [](const JunctionEntry& a, const JunctionEntry& b) { return a.angle > b.angle; });

    const int32_t d = static_cast<int32_t>(entries.size());
    for (int32_t i = 0; i < d; ++i) {
        JunctionEntry* prev = nullptr;
        JunctionEntry* next = nullptr;
        for (int32_t s = 1; s < d && !prev; ++s) {
            JunctionEntry& c = entries[(i - s + d) % d];
            if (c.right != kDangling) prev = &c;
        }
        for (int32_t s = 1; s < d && !next; ++s) {
            JunctionEntry& c = entries[(i + s) % d];
            if (c.left != kDangling) next = &c;
        }
        JunctionEntry& self = entries[i];
        if (self.right == kDangling && self.left == kDangling && prev && next) labels.unify(next->left, prev->right);
        if (prev && prev->right >= 0) labels.unify(prev->right, self.left);
        if (next && next->left >= 0) labels.unify(next->left, self.right);
        ArcRecord& a = t.arcs[self.arc];
        (self.at_start ? a.face1 : a.face2) = self.right;
        (self.at_start ? a.face2 : a.face1) = self.left;
    }
}

// ---- resolve and renumber -------------------------------------------------------------------

void resolve_and_renumber(ArcTables& t, FaceLabels& labels) {
    labels.resolve();
    for (int32_t k = 1; k <= t.count; ++k) {
        ArcRecord& a = t.arcs[k];
        a.face1 = a.face1 < 0 ? kClosedLoop : labels.root(a.face1);
        a.face2 = a.face2 < 0 ? kClosedLoop : labels.root(a.face2);
    }
    TableVector<int32_t> number(static_cast<std::size_t>(labels.count()) + 1);
    int32_t next = 0;
    for (int32_t i = 0; i <= labels.count(); ++i)
        number[i] = labels.parent(i) == i ? next++ : number[labels.parent(i)];
    for (int32_t k = 1; k <= t.count; ++k) {
        ArcRecord& a = t.arcs[k];
        a.face1 = a.face1 < 0 ? 0 : number[a.face1];
        a.face2 = a.face2 < 0 ? 0 : number[a.face2];
    }
}

// From the scan lines' labels to the final face numbers: the final fill, junction
// propagation, resolve and renumber.
void settle_labels(ArcTables& t, FaceLabels& labels) {
    // Final fill: sides no scan line reached get labels of their own.
    for (int32_t k = 1; k <= t.count; ++k) {
        ArcRecord& a = t.arcs[k];
        if (a.face1 != kBetweenJunctions && a.face2 != kBetweenJunctions) continue;
        if (a.face2 < 0) a.face2 = labels.make();
        if (a.face1 < 0) a.face1 = labels.make();
    }
    std::vector<JunctionEntry> entries;
    for (const NodeRecord& node : t.nodes)
        if (node.degree > 2) propagate_at_junction(t, labels, node, entries);
    resolve_and_renumber(t, labels);
}

// ---- keeping or replacing the plain labels --------------------------------------------------

struct SideFaces {
    int32_t face1 = 0;
    int32_t face2 = 0;
};

TableVector<SideFaces> faces_of(const ArcTables& t) {
    TableVector<SideFaces> out(static_cast<std::size_t>(t.count) + 1);
    for (int32_t k = 1; k <= t.count; ++k) out[k] = SideFaces{t.arcs[k].face1, t.arcs[k].face2};
    return out;
}

void restore_faces(ArcTables& t, const TableVector<SideFaces>& faces) {
    for (int32_t k = 1; k <= t.count; ++k) {
        t.arcs[k].face1 = faces[k].face1;
        t.arcs[k].face2 = faces[k].face2;
    }
}

// Whether two labellings give every arc side the same face up to the faces' numbers (the
// outside being 0 in both).
bool same_faces_but_numbering(const TableVector<SideFaces>& a, const TableVector<SideFaces>& b) {
    TableVector<int32_t> a_to_b, b_to_a;
    auto pair_up = [](TableVector<int32_t>& map, int32_t from, int32_t to) {
        if (from < 0 || to < 0) return from == to;
        if (map.size() <= static_cast<std::size_t>(from)) map.resize(static_cast<std::size_t>(from) + 1, -1);
        if (map[from] < 0) map[from] = to;
        return map[from] == to;
    };
    if (!pair_up(a_to_b, 0, 0) || !pair_up(b_to_a, 0, 0)) return false;
    for (std::size_t k = 1; k < a.size(); ++k) {
        if (!pair_up(a_to_b, a[k].face1, b[k].face1) || !pair_up(b_to_a, b[k].face1, a[k].face1)) return false;
        if (!pair_up(a_to_b, a[k].face2, b[k].face2) || !pair_up(b_to_a, b[k].face2, a[k].face2)) return false;
    }
    return true;
}

}  // namespace

// ---- pure scan-line pieces ------------------------------------------------------------------

SegmentIndex::SegmentIndex(const WorkTable<ArcSegment>& segments) : segments_(segments) {
    const std::size_t n = static_cast<std::size_t>(segments.count());
    while (size_ < n) size_ *= 2;
    max_high_.assign(2 * size_, INT32_MIN);
    for (std::size_t i = 0; i < n; ++i) max_high_[size_ + i] = segments[i].yhigh;
    for (std::size_t i = size_ - 1; i >= 1; --i) max_high_[i] = std::max(max_high_[2 * i], max_high_[2 * i + 1]);
}

std::size_t SegmentIndex::prefix_through(int32_t y) const {
    auto it = std::upper_bound(segments_.begin(), segments_.end(), y,
                               [](int32_t v, const ArcSegment& s) { return v < s.ylow; });
    return static_cast<std::size_t>(it - segments_.begin());
}

// Equal to walking the table from the first segment that held the previous scan line's
// height up to the first segment starting above y: no earlier segment can reach y.
bool collect_crossings(const SegmentIndex& index, int32_t y, std::vector<Crossing>& out, int32_t limit) {
    out.clear();
    const auto& segments = index.segments();
    return index.for_each_containing(y, false, [&](int32_t i) {
        if (limit > 0 && static_cast<int32_t>(out.size()) >= limit) return false;
        out.push_back(crossing_at(segments[i], i, y));
        return true;
    });
}

namespace {

struct ByX {
    bool operator()(const Crossing& a, const Crossing& b) const { return a.x < b.x; }
};

// Crossings at one x keep the heap sort's order only where it shows: in a pair that passes
// through a vertex, the second survives. When every such pair has one arc and one down bit,
// either survivor labels the same sides, and any sort by x gives the heap sort's outcome.
bool tie_order_shows(const std::vector<Crossing>& sorted) {
    for (std::size_t i = 0; i + 1 < sorted.size(); ++i) {
        const Crossing& a = sorted[i];
        const Crossing& b = sorted[i + 1];
        if (a.x != b.x) continue;
        const bool pair = (i == 0 || sorted[i - 1].x != a.x) && (i + 2 == sorted.size() || sorted[i + 2].x != a.x);
        const uint8_t ends = (a.flags | b.flags) & (kCrossAtUpper | kCrossAtLower);
        const bool through = ends == (kCrossAtUpper | kCrossAtLower) && (a.flags & ends) != ends && (b.flags & ends) != ends;
        if (pair && through && (a.arc != b.arc || (a.flags & kDownBit) != (b.flags & kDownBit))) return true;
    }
    return false;
}

}  // namespace

void settle_crossings(std::vector<Crossing>& c) {
    CrossingScratch scratch;
    settle_crossings(c, scratch);
}

void settle_crossings(std::vector<Crossing>& c, CrossingScratch& scratch) {
    // Sorting (x, position) keys is cheaper than sorting the crossings, and leaves them in
    // their scan order for the heap sort when the order of equal x shows.
    std::vector<uint64_t>& keys = scratch.keys;
    keys.resize(c.size());
    for (std::size_t i = 0; i < c.size(); ++i) keys[i] = (pair_key(c[i].x, 0) & ~uint64_t{0xffffffffu}) | i;
    stable_sort_by_major(keys, scratch.radix);
    std::vector<Crossing>& sorted = scratch.crossings;
    sorted.resize(c.size());
    for (std::size_t i = 0; i < c.size(); ++i) sorted[i] = c[static_cast<uint32_t>(keys[i])];
    if (tie_order_shows(sorted))
        heap_sort(c.data(), c.size(), ByX{});
    else
        c.swap(sorted);
    // Compacts in place: a run never writes more crossings than it reads.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < c.size();) {
        std::size_t j = i + 1;
        while (j < c.size() && c[j].x == c[i].x) ++j;
        if (j - i == 1) {
            c[kept++] = c[i];
        } else if (j - i == 2) {
            Crossing a = c[i];
            Crossing b = c[i + 1];
            a.kind = b.kind = kAtSegmentEnd;
            const uint8_t fa = a.flags & (kCrossAtUpper | kCrossAtLower);
            const uint8_t fb = b.flags & (kCrossAtUpper | kCrossAtLower);
            if (fa == 0 || fb == 0) {
                c[kept++] = a;
                c[kept++] = b;
            } else if (fa != fb) {
                // The scan line passes through the vertex: one crossing remains.
                b.kind = kThroughVertex;
                c[kept++] = b;
            }  // else it only touches the vertex from one side: neither counts.
        } else {
            for (std::size_t k = i; k < j; ++k) {
                c[kept] = c[k];
                c[kept++].kind = kAtSegmentEnd;
            }
        }
        i = j;
    }
    c.resize(kept);
}

bool collect_perturbed_crossings(const SegmentIndex& index, int32_t y, std::vector<Crossing>& out, int32_t limit) {
    out.clear();
    const auto& segments = index.segments();
    const bool fits = index.for_each_containing(y, true, [&](int32_t i) {
        if (limit > 0 && static_cast<int32_t>(out.size()) >= limit) return false;
        Crossing c = crossing_at(segments[i], i, y);
        c.kind = kProper;
        c.flags &= kDownBit;
        out.push_back(c);
        return true;
    });
    if (!fits) return false;
    std::sort(out.begin(), out.end(), [&segments](const Crossing& a, const Crossing& b) {
        if (a.x != b.x) return a.x < b.x;
        const ArcSegment& sa = segments[a.segment];
        const ArcSegment& sb = segments[b.segment];
        // (xhigh - xlow) / (yhigh - ylow) compared exactly; both heights are positive.
        const __int128 lhs = __int128(int64_t{sa.xhigh} - sa.xlow) * (int64_t{sb.yhigh} - sb.ylow);
        const __int128 rhs = __int128(int64_t{sb.xhigh} - sb.xlow) * (int64_t{sa.yhigh} - sa.ylow);
        if (lhs != rhs) return lhs < rhs;
        if (a.arc != b.arc) return a.arc < b.arc;
        return a.segment < b.segment;
    });
    return true;
}

// ---- the labelling pass ---------------------------------------------------------------------

int32_t label_faces(ArcTables& t, int32_t polsize, const LabellingOptions& options) {
    // Closed loops in arc order, taken while the midpoints still stand in arc order.
    TableVector<Midpoint> loops;
    if (options.rescan_missed) {
        for (const Midpoint& m : t.midpoints)
            if (m.state == kMidpointClosedLoop) loops.push_back(m);
    }

    heap_sort_by_key(t.segments.rows(), [](const ArcSegment& s) { return pair_key(s.ylow, s.yhigh); });
    // Midpoints at one height cast the same scan line, whichever comes first.
    std::sort(t.midpoints.begin(), t.midpoints.end(),
              [](const Midpoint& a, const Midpoint& b) { return a.mid_y < b.mid_y; });

    FaceLabels labels(polsize);
    ScanContext ctx{t, labels, SegmentIndex(t.segments), {}, {}, false, options.max_crossings};

    bool scanned = false;
    int32_t last_y = 0;
    for (const Midpoint& m : t.midpoints) {
        if (!has_negative_side(t.arcs[m.arc])) continue;
        if (scanned && m.mid_y == last_y) continue;
        if (int32_t status = cast_scan_line(ctx, m.mid_y); status != 0) return status;
        scanned = true;
        last_y = m.mid_y;
    }

    // A scan line through a vertex or along a horizontal side labels nothing there. Closed
    // loops it left unlabelled, and an outside that no scan line met at a proper crossing,
    // get a scan line just above their height, where every crossing is proper. The plain
    // labels are settled too, from the same scan lines: when both give the same faces, the
    // plain numbering stays, so a drawing the plain scan lines label correctly comes out
    // exactly as they label it.
    if (options.rescan_missed && rescans_needed(ctx, loops)) {
        FaceLabels plain_labels = labels;
        const TableVector<SideFaces> after_scans = faces_of(t);
        settle_labels(t, plain_labels);
        const TableVector<SideFaces> plain = faces_of(t);
        restore_faces(t, after_scans);
        if (int32_t status = rescan_missed(ctx, loops); status != 0) return status;
        settle_labels(t, labels);
        if (same_faces_but_numbering(plain, faces_of(t))) restore_faces(t, plain);
    } else {
        settle_labels(t, labels);
    }
    renumber_arc_ends(t);
    t.arcs[0] = ArcRecord{};
    return 0;
}

}  // namespace ringweld
