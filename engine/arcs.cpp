// Arc assembly: edges, end-points, nodes and the two tracing passes. See arcs.h for what
// the stage expects and leaves behind.
#include "arcs.h"

#include <algorithm>
#include <cmath>

#include "keyed_sort.h"
#include "miniline.h"

namespace ringweld {

void ArcTables::configure(int32_t linsize, int32_t arcsize, int32_t pxysize) {
    edges.configure(linsize, linsize);
    endpoints.configure(pxysize, pxysize);
    nodes.configure(2 * int64_t{linsize}, 2 * int64_t{linsize});
    arcs.configure(arcsize, arcsize);
    points.configure(pxysize, pxysize);
    segments.configure(linsize, linsize);
    midpoints.configure(arcsize, arcsize);
}

void ArcTables::release_temporaries() {
    edges.release();
    nodes.release();
    segments.release();
    midpoints.release();
}

void ArcTables::release() {
    release_temporaries();
    endpoints.release();
    arcs.release();
    points.release();
    count = 0;
    TableVector<ArcRecord>().swap(saved);
    has_saved = false;
    saved_count = 0;
    arc_cursor = 0;
    point_cursor = 0;
    point_last = -1;
}

namespace {

bool same_position(const EndPoint& a, const EndPoint& b) { return a.x == b.x && a.y == b.y; }

// One edge per distinct miniline, and the (y, x) keys of its two end-points in the order
// the end-point table would hold them unsorted: edge e's first end at 2e, its second at 2e+1.
TableVector<KeyedIndex> build_edges(const WorkTable<LineRecord>& lines, ArcTables& t) {
    TableVector<KeyedIndex> ends;
    t.edges.reserve_rows(static_cast<std::size_t>(lines.count()));
    ends.reserve(2 * static_cast<std::size_t>(lines.count()));
    for (int32_t i = 0; i < lines.count(); ++i) {
        const LineRecord& m = lines[i];
        if (i > 0 && same_geometry(m, lines[i - 1])) continue;
        const int32_t edge = t.edges.count();
        t.edges.append(EdgeRecord{0, 0, m.key, m.ent, m.lin});
        ends.push_back(KeyedIndex{pair_key(m.y1, m.x1), 2 * static_cast<uint32_t>(edge)});
        ends.push_back(KeyedIndex{pair_key(m.y2, m.x2), 2 * static_cast<uint32_t>(edge) + 1});
    }
    return ends;
}

// The end-point table sorted by y, then x; end-points at one position stay in heap-sort
// order. Sorting the keys leaves them where a heap sort of the records would, and the table
// is then written once, in its final order.
void build_sorted_endpoints(TableVector<KeyedIndex> ends, ArcTables& t) {
    heap_sort_keys(ends);
    t.endpoints.reserve_rows(ends.size());
    for (const KeyedIndex& k : ends)
        t.endpoints.append(EndPoint{pair_key_minor(k.key), pair_key_major(k.key), static_cast<int32_t>(k.index >> 1),
                                    static_cast<uint8_t>((k.index & 1) + 1), 0, 0, -1});
}

// Tracing appends at most one arc, two points, one segment and one midpoint per edge.
// Reserving that much up front saves the copies of growth; pages never written are never
// made resident.
void reserve_traced_tables(ArcTables& t) {
    const std::size_t edges = static_cast<std::size_t>(t.edges.count());
    t.nodes.reserve_rows(2 * edges);
    t.arcs.reserve_rows(edges + 1);
    t.points.reserve_rows(2 * edges);
    t.segments.reserve_rows(edges);
    t.midpoints.reserve_rows(edges);
}

// Nodes are the distinct positions of the sorted end-points, numbered in (y, x) order.
void number_nodes(ArcTables& t) {
    for (int32_t i = 0; i < t.endpoints.count(); ++i) {
        EndPoint& e = t.endpoints[i];
        if (i == 0 || !same_position(e, t.endpoints[i - 1])) t.nodes.append(NodeRecord{i, 0});
        NodeRecord& node = t.nodes[t.nodes.count() - 1];
        node.degree += 1;
        e.node = t.nodes.count() - 1;
        EdgeRecord& edge = t.edges[e.edge];
        (e.end == 1 ? edge.first_end : edge.second_end) = i;
    }
}

enum class TraceState { normal, dangling, closed_loop };

int32_t degree_of(const ArcTables& t, int32_t endpoint) { return t.nodes[t.endpoints[endpoint].node].degree; }

// Appends the arc's segments and its midpoint, the inputs of face labelling.
void add_labelling_inputs(ArcTables& t, int32_t k, TraceState state, const std::vector<ArcPoint>& pts) {
    int32_t ymin = pts[0].y;
    int32_t ymax = pts[0].y;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const ArcPoint& p = pts[i];
        const ArcPoint& q = pts[i + 1];
        ymin = std::min(ymin, q.y);
        ymax = std::max(ymax, q.y);
        if (p.y >= q.y)
            t.segments.append(ArcSegment{q.y, p.y, q.x, p.x, k, 1});
        else
            t.segments.append(ArcSegment{p.y, q.y, p.x, q.x, k, 0});
    }
    if (ymin == ymax) return;
    const int64_t mid = int64_t{ymin} + (int64_t{ymax} - ymin) / 2;
    t.midpoints.append(Midpoint{static_cast<int32_t>(mid), k,
                                state == TraceState::closed_loop ? kMidpointClosedLoop : kMidpointNormal});
}

void store_arc(ArcTables& t, int32_t k, TraceState state, int32_t start, int32_t end,
               const std::vector<ArcPoint>& pts) {
    const int32_t face = state == TraceState::normal     ? kBetweenJunctions
                         : state == TraceState::dangling ? kDangling
                                                         : kClosedLoop;
    const int32_t first = t.points.count();
    for (const ArcPoint& p : pts) t.points.append(p);
    const ArcRecord arc{face, face, 0, 0, start, end, first, t.points.count() - 1};
    if (t.arcs.count() <= k) t.arcs.resize(k + 1);
    t.arcs[k] = arc;
    t.count = k;
    if (state != TraceState::dangling) add_labelling_inputs(t, k, state, pts);
}

// Traces arc k from end-point s through every degree-2 node it meets.
int32_t trace_arc(ArcTables& t, int32_t s, int32_t k, std::vector<ArcPoint>& pts) {
    pts.clear();
    auto push = [&pts](const EndPoint& at, const EdgeRecord& by) {
        if (static_cast<int32_t>(pts.size()) >= kMaxArcPoints) return false;
        pts.push_back(ArcPoint{at.x, at.y, by.ent, by.lin});
        return true;
    };
    auto mark = [&t, k](int32_t e) {
        t.endpoints[e].visited = 1;
        t.endpoints[e].arc = k;
    };

    push(t.endpoints[s], t.edges[t.endpoints[s].edge]);
    mark(s);
    bool dangling = degree_of(t, s) == 1;

    int32_t current = s;
    int32_t q = s;
    for (;;) {
        const EndPoint& from = t.endpoints[current];
        const EdgeRecord& edge = t.edges[from.edge];
        const int32_t c = from.end == 1 ? edge.second_end : edge.first_end;
        q = c;
        if (degree_of(t, c) == 2) {
            const bool before = c > 0 && same_position(t.endpoints[c - 1], t.endpoints[c]);
            q = before ? c - 1 : c + 1;
        }
        const int32_t d = degree_of(t, q);
        const bool seen = t.endpoints[q].visited != 0;
        mark(c);
        mark(q);
        if (!push(t.endpoints[q], edge)) return kArcTooLong;
        if (d != 2 || seen) break;
        current = q;
    }

    TraceState state = TraceState::normal;
    if (dangling || degree_of(t, q) == 1)
        state = TraceState::dangling;
    else if (degree_of(t, q) == 2)
        state = TraceState::closed_loop;
    store_arc(t, k, state, s, q, pts);
    return 0;
}

}  // namespace

int32_t assemble_arcs(WorkTable<LineRecord>& lines, ArcTables& t) {
    sort_unless_ties_show(lines.rows(), [](const LineRecord& a, const LineRecord& b) { return line_before(a, b); },
                          identical_lines);
    build_sorted_endpoints(build_edges(lines, t), t);
    reserve_traced_tables(t);
    number_nodes(t);

    t.arcs.append(ArcRecord{-10, -10, 0, 0, 0, 0, 0, 0});
    t.count = 0;
    std::vector<ArcPoint> pts;
    pts.reserve(64);
    for (int pass = 1; pass <= 2; ++pass) {
        for (int32_t e = 0; e < t.endpoints.count(); ++e) {
            if (t.endpoints[e].visited) continue;
            if (pass == 1 && degree_of(t, e) == 2) continue;
            if (int32_t status = trace_arc(t, e, t.count + 1, pts); status != 0) return status;
        }
    }
    return 0;
}

void renumber_arc_ends(ArcTables& t) {
    for (int32_t k = 1; k <= t.count; ++k) {
        ArcRecord& a = t.arcs[k];
        a.start = t.endpoints[a.start].node;
        a.end = t.endpoints[a.end].node;
    }
}

double direction_angle(double dx, double dy) {
    double a = 0;
    if (dx != 0) {
        a = std::atan(dy / dx);
        if (dx < 0) a += 3.1415926;
    } else if (dy > 0) {
        a = 1.5707963;
    } else if (dy < 0) {
        a = 4.7123889;
    }
    // atan lies in (-pi/2, pi/2), so only a direction below the x axis to the right is
    // negative, and one turn brings it into range.
    if (a < 0) a += kFullTurn;
    return a;
}

}  // namespace ringweld
