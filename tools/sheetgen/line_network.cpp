#include "line_network.h"

#include <algorithm>
#include <map>

namespace sheetgen {

namespace {

// Units digit of a node tag: where on the frame a point lies.
int FramePlace(const Rect& r, Point p) {
    bool west = p.e == r.e0, east = p.e == r.e1, south = p.n == r.n0, north = p.n == r.n1;
    if (north && west) return 1;
    if (north && east) return 3;
    if (south && east) return 5;
    if (south && west) return 7;
    if (north) return 2;
    if (east) return 4;
    if (south) return 6;
    if (west) return 8;
    return 0;
}

}  // namespace

LineNetwork BuildLineNetwork(const Rect& frame, const std::vector<WorldLine>& lines, int first_arc_id) {
    LineNetwork out;
    std::map<Point, int> node_at;  // point -> node index
    auto node = [&](Point p) {
        auto [it, added] = node_at.emplace(p, static_cast<int>(out.nodes.size()));
        if (added) out.nodes.push_back({0, p, {}});
        return it->second;
    };
    auto flush = [&](const WorldLine& line, std::vector<Point>& piece) {
        if (piece.size() >= 2) {
            LineArc arc{line.code, line.line_tag, line.values, piece, line.stored_reversed, 0, 0};
            if (arc.reversed) std::reverse(arc.points.begin(), arc.points.end());
            int id = first_arc_id + static_cast<int>(out.arcs.size());
            int start = node(arc.points.front()), end = node(arc.points.back());
            arc.start_node = start + 1;
            arc.end_node = end + 1;
            out.nodes[static_cast<std::size_t>(start)].arcs.push_back(id);
            if (end != start) out.nodes[static_cast<std::size_t>(end)].arcs.push_back(id);
            out.arcs.push_back(std::move(arc));
        }
        piece.clear();
    };
    for (const WorldLine& line : lines) {
        std::vector<Point> piece;
        for (std::size_t k = 0; k + 1 < line.points.size(); ++k) {
            auto clipped = ClipSegment(line.points[k], line.points[k + 1], frame);
            if (!clipped) {
                flush(line, piece);
                continue;
            }
            if (!piece.empty() && piece.back() != clipped->first) flush(line, piece);
            if (piece.empty()) piece.push_back(clipped->first);
            piece.push_back(clipped->second);
            if (clipped->second != line.points[k + 1]) flush(line, piece);
        }
        flush(line, piece);
    }
    for (LineNode& n : out.nodes) {
        int place = FramePlace(frame, n.at);
        n.tag = place != 0 ? place : (n.arcs.size() == 1 ? 10 : 0);
        std::sort(n.arcs.begin(), n.arcs.end());
    }
    return out;
}

}  // namespace sheetgen
