#include "planar_theme.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>

#include "names.h"

namespace sheetgen {

namespace {

// An edge in canonical direction a < b with the primary polygons on its right and left.
struct Edge {
    Point a, b;
    int right = 0, left = 0;
    bool frame = false;
    bool visited = false;
};

// Labels (right, left) of an edge as seen walking away from its end point `from`.
std::pair<int, int> SidesLeaving(const Edge& e, Point from) {
    return e.a == from ? std::make_pair(e.right, e.left) : std::make_pair(e.left, e.right);
}

Point Other(const Edge& e, Point end) { return e.a == end ? e.b : e.a; }

// Angle from direction f to direction d, turning clockwise, in (0, 2 pi].
double ClockwiseAngle(double fe, double fn, double de, double dn) {
    double angle = -std::atan2(fe * dn - fn * de, fe * de + fn * dn);
    if (angle <= 0) angle += 2 * M_PI;
    return angle;
}

// Position of a frame point along the clockwise walk from the lower-left corner.
std::pair<int, int64_t> FramePosition(const Rect& r, Point p) {
    if (p.e == r.e0 && p.n < r.n1) return {0, p.n - r.n0};
    if (p.n == r.n1 && p.e < r.e1) return {1, p.e - r.e0};
    if (p.e == r.e1 && p.n > r.n0) return {2, r.n1 - p.n};
    return {3, r.e1 - p.e};
}

// The primary polygon (1-based) that contains the point, or 0.
int Locate(const std::vector<WorldPolygon>& primaries, double e, double n) {
    for (std::size_t k = 0; k < primaries.size(); ++k) {
        const WorldPolygon& p = primaries[k];
        Rect box = BoundsOf(p.outer);
        if (e < static_cast<double>(box.e0) || e > static_cast<double>(box.e1) || n < static_cast<double>(box.n0) ||
            n > static_cast<double>(box.n1) || !RingContains(p.outer, e, n))
            continue;
        bool in_hole = false;
        for (const Ring& hole : p.holes) in_hole = in_hole || RingContains(hole, e, n);
        if (!in_hole) return static_cast<int>(k) + 1;
    }
    return 0;
}

// One direction of an arc, as part of the boundary of the feature on its right.
struct HalfArc {
    int arc;  // index into the arcs
    bool forward;
    int owner;
    Point start, end;
    double out_e, out_n;  // direction leaving start
    double in_e, in_n;    // direction arriving at end
};

// A closed walk along the arcs that separate one feature from anything else.
struct Cycle {
    int owner;
    std::vector<int> refs;    // signed arc ids
    std::vector<int> halves;  // indexes of the half-arcs walked
    Ring points;
    double area2;  // negative for an outer ring, positive for a hole
};

// One connected piece of a feature: an outer cycle and the holes inside it.
struct Piece {
    int owner;
    int outer;
    std::vector<int> holes;
    Point lowest;  // orders the pieces of one feature
};

// Builds one theme of one sheet in stages, each reading what the one before left:
// polygon edges clipped to the frame, the frame pieces, arcs, then each layer's pieces.
class ThemeBuilder {
public:
    ThemeBuilder(const Rect& frame, const std::vector<WorldPolygon>& primaries, const ArcStyle& style)
        : frame_(frame), primaries_(primaries), style_(style) {}

    ThemeSheet Build(const std::vector<ThemeLayer>& layers) {
        ClipPolygonEdges();
        AddFrame();
        ChainArcs();
        piece_of_half_.assign(out_.arcs.size(), {-1, -1});
        for (std::size_t k = 0; k < layers.size(); ++k) out_.layers.push_back(TracePieces(layers[k], k == 0));
        if (style_.mark_partitions && !out_.layers.empty()) MarkPartitions();
        return std::move(out_);
    }

private:
    void PutEdge(Point a, Point b, int right_of_ab, bool on_frame);
    void ClipPolygonEdges();
    void AddFrame();
    void ChainArcs();
    void ChainFrom(Point start, Edge* first);
    std::vector<SheetPolygon> TracePieces(const ThemeLayer& layer, bool first_layer);
    void MarkPartitions();

    const Rect& frame_;
    const std::vector<WorldPolygon>& primaries_;
    const ArcStyle& style_;
    std::map<std::pair<Point, Point>, Edge> edges_;  // keyed by canonical end points
    std::map<Point, std::vector<Edge*>> incident_;
    std::set<Point> nodes_;
    // For each arc of the first layer, the piece on its right and on its left (-1 none).
    std::vector<std::array<int, 2>> piece_of_half_;
    ThemeSheet out_;
};

// Polygon edges clipped to the frame; each side remembers its polygon.
void ThemeBuilder::PutEdge(Point a, Point b, int right_of_ab, bool on_frame) {
    bool canonical = a < b;
    std::pair<Point, Point> key = canonical ? std::make_pair(a, b) : std::make_pair(b, a);
    Edge& e = edges_[key];
    if ((e.right || e.left) && on_frame != e.frame) ++out_.warnings;
    e.a = key.first;
    e.b = key.second;
    e.frame = on_frame;
    int& slot = canonical ? e.right : e.left;
    if (slot != 0 && slot != right_of_ab) ++out_.warnings;
    slot = right_of_ab;
}

void ThemeBuilder::ClipPolygonEdges() {
    for (std::size_t k = 0; k < primaries_.size(); ++k) {
        const WorldPolygon& p = primaries_[k];
        if (!BoundsOf(p.outer).Overlaps(frame_)) continue;
        auto add_ring = [&](const Ring& ring) {
            for (std::size_t v = 0; v < ring.size(); ++v) {
                auto piece = ClipSegment(ring[v], ring[(v + 1) % ring.size()], frame_);
                if (piece) PutEdge(piece->first, piece->second, static_cast<int>(k) + 1, false);
            }
        };
        add_ring(p.outer);
        for (const Ring& hole : p.holes) add_ring(hole);
    }
}

// The frame, cut where polygon edges reach it, walked clockwise so the sheet lies on the
// right of every piece. Which polygon lies inside each piece is found by location once,
// on the longest piece, then carried round the frame across the polygon edges that meet
// it, so that short pieces never depend on a point test.
void ThemeBuilder::AddFrame() {
    std::map<Point, std::vector<const Edge*>> at_frame;
    for (const auto& [key, e] : edges_) {
        if (frame_.OnEdge(e.a)) at_frame[e.a].push_back(&e);
        if (frame_.OnEdge(e.b)) at_frame[e.b].push_back(&e);
    }
    std::set<Point> points{{frame_.e0, frame_.n0}, {frame_.e0, frame_.n1}, {frame_.e1, frame_.n1}, {frame_.e1, frame_.n0}};
    for (const auto& [p, list] : at_frame) points.insert(p);
    std::vector<Point> walk(points.begin(), points.end());
    std::sort(walk.begin(), walk.end(),
              [&](Point x, Point y) { return FramePosition(frame_, x) < FramePosition(frame_, y); });
    const std::size_t pieces = walk.size();
    auto piece_end = [&](std::size_t k) { return walk[(k + 1) % pieces]; };

    // The polygon between the frame and the first edge clockwise from it, or -1 when no
    // edge meets the piece's start.
    auto label_after = [&](std::size_t k) -> int {
        auto found = at_frame.find(walk[k]);
        if (found == at_frame.end()) return -1;
        Point q = walk[k], next = piece_end(k);
        double fe = static_cast<double>(next.e - q.e), fn = static_cast<double>(next.n - q.n);
        double best = 10;
        int label = 0;
        for (const Edge* e : found->second) {
            Point o = Other(*e, q);
            double angle = ClockwiseAngle(fe, fn, static_cast<double>(o.e - q.e), static_cast<double>(o.n - q.n));
            if (angle < best) {
                best = angle;
                label = SidesLeaving(*e, q).second;
            }
        }
        return label;
    };
    std::size_t longest = 0;
    double longest_length = -1;
    for (std::size_t k = 0; k < pieces; ++k) {
        Point a = walk[k], b = piece_end(k);
        double length = std::hypot(static_cast<double>(b.e - a.e), static_cast<double>(b.n - a.n));
        if (length > longest_length) {
            longest_length = length;
            longest = k;
        }
    }
    std::vector<int> inside(pieces, 0);
    Point a = walk[longest], b = piece_end(longest);
    inside[longest] = Locate(primaries_, (static_cast<double>(a.e) + static_cast<double>(b.e)) / 2,
                             (static_cast<double>(a.n) + static_cast<double>(b.n)) / 2);
    int carried = label_after(longest);
    if (carried >= 0 && carried != inside[longest]) ++out_.warnings;
    for (std::size_t step = 1; step < pieces; ++step) {
        std::size_t k = (longest + step) % pieces;
        int label = label_after(k);
        inside[k] = label >= 0 ? label : inside[(k + pieces - 1) % pieces];
    }
    for (std::size_t k = 0; k < pieces; ++k) PutEdge(walk[k], piece_end(k), inside[k], true);
}

// Arcs break where three or more edges meet, or where the polygons on either side or
// the frame mark change; rings without such a point become closed arcs.
void ThemeBuilder::ChainArcs() {
    for (auto& [key, e] : edges_) {
        incident_[e.a].push_back(&e);
        incident_[e.b].push_back(&e);
    }
    for (const auto& [v, around] : incident_) {
        if (around.size() != 2) {
            nodes_.insert(v);
            continue;
        }
        // Going on through v: arriving along one edge sees its sides the other way round.
        auto [r1, l1] = SidesLeaving(*around[0], v);
        auto [r2, l2] = SidesLeaving(*around[1], v);
        if (!(r1 == l2 && l1 == r2 && around[0]->frame == around[1]->frame)) nodes_.insert(v);
    }
    for (Point v : nodes_)
        for (Edge* e : incident_.at(v))
            if (!e->visited) ChainFrom(v, e);
    for (auto& [key, e] : edges_)
        if (!e.visited) ChainFrom(e.a, &e);
}

void ThemeBuilder::ChainFrom(Point start, Edge* first) {
    SheetArc arc;
    std::tie(arc.right, arc.left) = SidesLeaving(*first, start);
    bool on_frame = first->frame;
    arc.points.push_back(start);
    Point at = start;
    Edge* e = first;
    for (;;) {
        e->visited = true;
        at = Other(*e, at);
        arc.points.push_back(at);
        if (nodes_.count(at) || at == start) break;
        const auto& around = incident_.at(at);
        e = around[0] == e ? around[1] : around[0];
        if (e->visited) break;
    }
    if (arc.right == 0 && arc.left == 0) return;  // a stretch of frame that bounds nothing
    if (on_frame) {
        arc.code = code::kFrameLine;
        arc.line_tag = kFrameLineTag;
    } else {
        std::tie(arc.code, arc.line_tag) = style_.classify(arc.right, arc.left);
    }
    out_.arcs.push_back(std::move(arc));
}

// Pieces of a layer's features, traced along the arcs that separate a feature from
// anything else, keeping the feature on the right.
std::vector<SheetPolygon> ThemeBuilder::TracePieces(const ThemeLayer& layer, bool first_layer) {
    auto owner = [&](int label) { return label == 0 ? -1 : layer.feature_of_primary[static_cast<std::size_t>(label - 1)]; };
    std::vector<HalfArc> halves;
    for (std::size_t x = 0; x < out_.arcs.size(); ++x) {
        const SheetArc& arc = out_.arcs[x];
        int right = owner(arc.right), left = owner(arc.left);
        if (right == left) continue;
        const auto& p = arc.points;
        std::size_t n = p.size();
        auto dir = [](Point from, Point to) {
            return std::make_pair(static_cast<double>(to.e - from.e), static_cast<double>(to.n - from.n));
        };
        if (right >= 0) {
            auto [oe, on] = dir(p[0], p[1]);
            auto [ie, in] = dir(p[n - 2], p[n - 1]);
            halves.push_back({static_cast<int>(x), true, right, p[0], p[n - 1], oe, on, ie, in});
        }
        if (left >= 0) {
            auto [oe, on] = dir(p[n - 1], p[n - 2]);
            auto [ie, in] = dir(p[1], p[0]);
            halves.push_back({static_cast<int>(x), false, left, p[n - 1], p[0], oe, on, ie, in});
        }
    }
    std::map<std::pair<int, Point>, std::vector<int>> leaving;
    for (std::size_t h = 0; h < halves.size(); ++h)
        leaving[{halves[h].owner, halves[h].start}].push_back(static_cast<int>(h));

    std::vector<bool> used(halves.size(), false);
    std::vector<Cycle> cycles;
    for (std::size_t h0 = 0; h0 < halves.size(); ++h0) {
        if (used[h0]) continue;
        Cycle cycle{halves[h0].owner, {}, {}, {}, 0};
        int h = static_cast<int>(h0);
        for (std::size_t guard = 0; guard <= halves.size(); ++guard) {
            used[static_cast<std::size_t>(h)] = true;
            cycle.halves.push_back(h);
            const HalfArc& half = halves[static_cast<std::size_t>(h)];
            cycle.refs.push_back(half.forward ? half.arc + 1 : -(half.arc + 1));
            const auto& p = out_.arcs[static_cast<std::size_t>(half.arc)].points;
            if (half.forward)
                cycle.points.insert(cycle.points.end(), p.begin(), p.end() - 1);
            else
                cycle.points.insert(cycle.points.end(), p.rbegin(), p.rend() - 1);
            // Keep the feature on the right: take the leaving arc that turns most
            // sharply to the right, i.e. the first anticlockwise from the way back.
            auto next = leaving.find({half.owner, half.end});
            int best = -1;
            double best_angle = 10;
            if (next != leaving.end()) {
                for (int candidate : next->second) {
                    const HalfArc& c = halves[static_cast<std::size_t>(candidate)];
                    double angle = 2 * M_PI - ClockwiseAngle(-half.in_e, -half.in_n, c.out_e, c.out_n);
                    if (angle <= 0) angle += 2 * M_PI;
                    if (angle < best_angle) {
                        best_angle = angle;
                        best = candidate;
                    }
                }
            }
            if (best < 0) {
                ++out_.warnings;
                break;
            }
            if (best == static_cast<int>(h0)) break;
            if (used[static_cast<std::size_t>(best)]) {
                ++out_.warnings;
                break;
            }
            h = best;
        }
        cycle.area2 = TwiceSignedArea(cycle.points);
        cycles.push_back(std::move(cycle));
    }

    // Outer cycles start pieces; each hole joins the smallest outer cycle of its feature
    // that contains it.
    std::vector<Piece> found;
    std::vector<int> piece_of_cycle(cycles.size(), -1);
    for (std::size_t c = 0; c < cycles.size(); ++c) {
        if (cycles[c].area2 >= 0) continue;
        piece_of_cycle[c] = static_cast<int>(found.size());
        found.push_back({cycles[c].owner, static_cast<int>(c), {},
                         *std::min_element(cycles[c].points.begin(), cycles[c].points.end())});
    }
    for (std::size_t c = 0; c < cycles.size(); ++c) {
        if (cycles[c].area2 < 0) continue;
        double e = static_cast<double>(cycles[c].points[0].e), n = static_cast<double>(cycles[c].points[0].n);
        int best = -1;
        for (std::size_t f = 0; f < found.size(); ++f) {
            const Cycle& outer = cycles[static_cast<std::size_t>(found[f].outer)];
            if (found[f].owner != cycles[c].owner || !RingContains(outer.points, e, n)) continue;
            if (best < 0 || -outer.area2 < -cycles[static_cast<std::size_t>(found[static_cast<std::size_t>(best)].outer)].area2)
                best = static_cast<int>(f);
        }
        if (best < 0) {
            ++out_.warnings;
            continue;
        }
        found[static_cast<std::size_t>(best)].holes.push_back(static_cast<int>(c));
        piece_of_cycle[c] = best;
    }
    std::vector<int> order(found.size());
    for (std::size_t f = 0; f < found.size(); ++f) order[f] = static_cast<int>(f);
    std::sort(order.begin(), order.end(), [&](int x, int y) {
        const Piece& px = found[static_cast<std::size_t>(x)];
        const Piece& py = found[static_cast<std::size_t>(y)];
        return std::tie(px.owner, px.lowest) < std::tie(py.owner, py.lowest);
    });
    std::vector<int> rank(found.size());
    for (std::size_t r = 0; r < order.size(); ++r) rank[static_cast<std::size_t>(order[r])] = static_cast<int>(r);

    std::vector<SheetPolygon> polygons;
    for (int f : order) {
        const Piece& piece = found[static_cast<std::size_t>(f)];
        const WorldPolygon& feature = *layer.features[static_cast<std::size_t>(piece.owner)];
        SheetPolygon polygon{feature.code, feature.values, {}, {}, false};
        std::vector<const Ring*> rings;
        auto take = [&](int c) {
            const Cycle& cycle = cycles[static_cast<std::size_t>(c)];
            rings.push_back(&cycle.points);
            for (int ref : cycle.refs) {
                polygon.arc_refs.push_back(ref);
                polygon.cut |= out_.arcs[static_cast<std::size_t>(std::abs(ref) - 1)].line_tag == kFrameLineTag;
            }
        };
        take(piece.outer);
        for (int hole : piece.holes) take(hole);
        polygon.inside = InteriorPoint(rings);
        bool inside = false;
        for (const Ring* ring : rings)
            inside ^= RingContains(*ring, static_cast<double>(polygon.inside.e), static_cast<double>(polygon.inside.n));
        if (!inside) ++out_.warnings;
        polygons.push_back(std::move(polygon));
    }
    if (first_layer) {
        for (std::size_t c = 0; c < cycles.size(); ++c) {
            if (piece_of_cycle[c] < 0) continue;
            for (int h : cycles[c].halves) {
                const HalfArc& half = halves[static_cast<std::size_t>(h)];
                piece_of_half_[static_cast<std::size_t>(half.arc)][half.forward ? 0 : 1] =
                    rank[static_cast<std::size_t>(piece_of_cycle[c])];
            }
        }
    }
    return polygons;
}

void ThemeBuilder::MarkPartitions() {
    const auto& pieces = out_.layers[0];
    for (std::size_t x = 0; x < out_.arcs.size(); ++x) {
        int right = piece_of_half_[x][0], left = piece_of_half_[x][1];
        if (right >= 0 && left >= 0 && out_.arcs[x].line_tag != kFrameLineTag &&
            !pieces[static_cast<std::size_t>(right)].cut && !pieces[static_cast<std::size_t>(left)].cut)
            out_.arcs[x].line_tag = kPartitionLineTag;
    }
}

}  // namespace

ThemeLayer IdentityLayer(const std::vector<WorldPolygon>& primaries) {
    ThemeLayer layer;
    for (std::size_t k = 0; k < primaries.size(); ++k) {
        layer.feature_of_primary.push_back(static_cast<int>(k));
        layer.features.push_back(&primaries[k]);
    }
    return layer;
}

ThemeSheet BuildPolygonTheme(const Rect& frame, const std::vector<WorldPolygon>& primaries,
                             const std::vector<ThemeLayer>& layers, const ArcStyle& style) {
    return ThemeBuilder(frame, primaries, style).Build(layers);
}

}  // namespace sheetgen
