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

struct HalfArc {
    int arc;
    bool forward;
    int owner;
    Point start, end;
    double out_e, out_n;  // direction leaving start
    double in_e, in_n;    // direction arriving at end
};

struct Cycle {
    int owner;
    std::vector<int> refs;
    Ring points;
    double area2;
};

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
    ThemeSheet out;
    std::map<std::pair<Point, Point>, Edge> edges;

    // Polygon edges clipped to the frame; each side remembers its polygon.
    auto put = [&](Point a, Point b, int right_of_ab, bool on_frame) {
        bool canonical = a < b;
        std::pair<Point, Point> key = canonical ? std::make_pair(a, b) : std::make_pair(b, a);
        Edge& e = edges[key];
        if ((e.right || e.left) && on_frame != e.frame) ++out.warnings;
        e.a = key.first;
        e.b = key.second;
        e.frame = on_frame;
        int& slot = canonical ? e.right : e.left;
        if (slot != 0 && slot != right_of_ab) ++out.warnings;
        slot = right_of_ab;
    };
    for (std::size_t k = 0; k < primaries.size(); ++k) {
        const WorldPolygon& p = primaries[k];
        if (!BoundsOf(p.outer).Overlaps(frame)) continue;
        auto add_ring = [&](const Ring& ring) {
            for (std::size_t v = 0; v < ring.size(); ++v) {
                auto piece = ClipSegment(ring[v], ring[(v + 1) % ring.size()], frame);
                if (piece) put(piece->first, piece->second, static_cast<int>(k) + 1, false);
            }
        };
        add_ring(p.outer);
        for (const Ring& hole : p.holes) add_ring(hole);
    }

    // The frame, cut where polygon edges reach it, walked clockwise so the sheet lies on
    // the right of every piece.
    std::map<Point, std::vector<const Edge*>> at_frame;
    for (const auto& [key, e] : edges) {
        if (frame.OnEdge(e.a)) at_frame[e.a].push_back(&e);
        if (frame.OnEdge(e.b)) at_frame[e.b].push_back(&e);
    }
    std::vector<Point> corners{{frame.e0, frame.n0}, {frame.e0, frame.n1}, {frame.e1, frame.n1}, {frame.e1, frame.n0}};
    std::set<Point> frame_point_set(corners.begin(), corners.end());
    for (const auto& [p, list] : at_frame) frame_point_set.insert(p);
    std::vector<Point> walk(frame_point_set.begin(), frame_point_set.end());
    std::sort(walk.begin(), walk.end(),
              [&](Point x, Point y) { return FramePosition(frame, x) < FramePosition(frame, y); });
    const std::size_t pieces = walk.size();
    auto piece_end = [&](std::size_t k) { return walk[(k + 1) % pieces]; };

    // Which polygon lies inside each frame piece: found by location once, on the longest
    // piece, then carried round the frame across the polygon edges that meet it.
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
    {
        Point a = walk[longest], b = piece_end(longest);
        inside[longest] = Locate(primaries, (static_cast<double>(a.e) + static_cast<double>(b.e)) / 2,
                                 (static_cast<double>(a.n) + static_cast<double>(b.n)) / 2);
        int carried = label_after(longest);
        if (carried >= 0 && carried != inside[longest]) ++out.warnings;
        for (std::size_t step = 1; step < pieces; ++step) {
            std::size_t k = (longest + step) % pieces;
            int label = label_after(k);
            inside[k] = label >= 0 ? label : inside[(k + pieces - 1) % pieces];
        }
    }
    for (std::size_t k = 0; k < pieces; ++k) put(walk[k], piece_end(k), inside[k], true);

    // Chain edges into arcs.
    std::vector<Edge*> list;
    for (auto& [key, e] : edges) list.push_back(&e);
    std::map<Point, std::vector<Edge*>> incident;
    for (Edge* e : list) {
        incident[e->a].push_back(e);
        incident[e->b].push_back(e);
    }
    auto is_node = [&](Point v) {
        const auto& around = incident.at(v);
        if (around.size() != 2) return true;
        auto [r1, l1] = SidesLeaving(*around[0], v);  // leaving v means arriving with sides swapped
        auto [r2, l2] = SidesLeaving(*around[1], v);
        return !(r1 == l2 && l1 == r2 && around[0]->frame == around[1]->frame);
    };
    std::set<Point> nodes;
    for (const auto& [v, around] : incident)
        if (is_node(v)) nodes.insert(v);
    auto chain = [&](Point start, Edge* first) {
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
            if (nodes.count(at) || at == start) break;
            const auto& around = incident.at(at);
            e = around[0] == e ? around[1] : around[0];
            if (e->visited) break;
        }
        if (arc.right == 0 && arc.left == 0) return;  // a stretch of frame that bounds nothing
        if (on_frame) {
            arc.code = code::kFrameLine;
            arc.line_tag = kFrameLineTag;
        } else {
            std::tie(arc.code, arc.line_tag) = style.classify(arc.right, arc.left);
        }
        out.arcs.push_back(std::move(arc));
    };
    for (Point v : nodes)
        for (Edge* e : incident.at(v))
            if (!e->visited) chain(v, e);
    for (Edge* e : list)
        if (!e->visited) chain(e->a, e);  // closed rings without nodes

    // Pieces of each layer's features, traced along the arcs that separate a feature
    // from anything else.
    std::vector<std::array<int, 2>> piece_of_half(out.arcs.size(), {-1, -1});
    for (std::size_t layer_index = 0; layer_index < layers.size(); ++layer_index) {
        const ThemeLayer& layer = layers[layer_index];
        auto owner = [&](int label) { return label == 0 ? -1 : layer.feature_of_primary[label - 1]; };
        std::vector<HalfArc> halves;
        for (std::size_t x = 0; x < out.arcs.size(); ++x) {
            const SheetArc& arc = out.arcs[x];
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
        std::vector<std::vector<int>> cycle_halves;
        for (std::size_t h0 = 0; h0 < halves.size(); ++h0) {
            if (used[h0]) continue;
            Cycle cycle{halves[h0].owner, {}, {}, 0};
            std::vector<int> members;
            int h = static_cast<int>(h0);
            for (std::size_t guard = 0; guard <= halves.size(); ++guard) {
                used[static_cast<std::size_t>(h)] = true;
                members.push_back(h);
                const HalfArc& half = halves[static_cast<std::size_t>(h)];
                cycle.refs.push_back(half.forward ? half.arc + 1 : -(half.arc + 1));
                const auto& p = out.arcs[static_cast<std::size_t>(half.arc)].points;
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
                    ++out.warnings;
                    break;
                }
                if (best == static_cast<int>(h0)) break;
                if (used[static_cast<std::size_t>(best)]) {
                    ++out.warnings;
                    break;
                }
                h = best;
            }
            cycle.area2 = TwiceSignedArea(cycle.points);
            cycles.push_back(std::move(cycle));
            cycle_halves.push_back(std::move(members));
        }

        struct Piece {
            int owner;
            int outer;
            std::vector<int> holes;
            Point lowest;
        };
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
                if (best < 0 || -outer.area2 < -cycles[static_cast<std::size_t>(found[best].outer)].area2)
                    best = static_cast<int>(f);
            }
            if (best < 0) {
                ++out.warnings;
                continue;
            }
            found[best].holes.push_back(static_cast<int>(c));
            piece_of_cycle[c] = best;
        }
        std::vector<int> order(found.size());
        for (std::size_t f = 0; f < found.size(); ++f) order[f] = static_cast<int>(f);
        std::sort(order.begin(), order.end(), [&](int x, int y) {
            return std::tie(found[x].owner, found[x].lowest) < std::tie(found[y].owner, found[y].lowest);
        });
        std::vector<int> rank(found.size());
        for (std::size_t r = 0; r < order.size(); ++r) rank[static_cast<std::size_t>(order[r])] = static_cast<int>(r);

        std::vector<SheetPolygon> polygons;
        for (int f : order) {
            const Piece& piece = found[static_cast<std::size_t>(f)];
            const WorldPolygon& feature = *layer.features[static_cast<std::size_t>(piece.owner)];
            SheetPolygon polygon{feature.code, feature.values, {}, {}, false};
            std::vector<const Ring*> rings{&cycles[static_cast<std::size_t>(piece.outer)].points};
            auto take = [&](int c) {
                for (int ref : cycles[static_cast<std::size_t>(c)].refs) {
                    polygon.arc_refs.push_back(ref);
                    if (out.arcs[static_cast<std::size_t>(std::abs(ref) - 1)].line_tag == kFrameLineTag)
                        polygon.cut = true;
                }
            };
            take(piece.outer);
            for (int hole : piece.holes) {
                take(hole);
                rings.push_back(&cycles[static_cast<std::size_t>(hole)].points);
            }
            polygon.inside = InteriorPoint(rings);
            bool inside = false;
            for (const Ring* ring : rings)
                inside ^= RingContains(*ring, static_cast<double>(polygon.inside.e), static_cast<double>(polygon.inside.n));
            if (!inside) ++out.warnings;
            polygons.push_back(std::move(polygon));
        }
        if (layer_index == 0) {
            for (std::size_t c = 0; c < cycles.size(); ++c) {
                if (piece_of_cycle[c] < 0) continue;
                for (int h : cycle_halves[c]) {
                    const HalfArc& half = halves[static_cast<std::size_t>(h)];
                    piece_of_half[static_cast<std::size_t>(half.arc)][half.forward ? 0 : 1] =
                        rank[static_cast<std::size_t>(piece_of_cycle[c])];
                }
            }
        }
        out.layers.push_back(std::move(polygons));
    }

    if (style.mark_partitions && !out.layers.empty()) {
        const auto& first = out.layers[0];
        for (std::size_t x = 0; x < out.arcs.size(); ++x) {
            int right = piece_of_half[x][0], left = piece_of_half[x][1];
            if (right >= 0 && left >= 0 && out.arcs[x].line_tag != kFrameLineTag &&
                !first[static_cast<std::size_t>(right)].cut && !first[static_cast<std::size_t>(left)].cut)
                out.arcs[x].line_tag = kPartitionLineTag;
        }
    }
    return out;
}

}  // namespace sheetgen
