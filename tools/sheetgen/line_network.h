// One sheet's share of a line theme: lines clipped to the frame as arcs, with the nodes
// at their ends.
//
// A line leaving the sheet ends at a node on the frame whose tag says it connects
// across the frame edge (tens digit 0) and where on the frame it lies (units digit 1..8
// clockwise from the upper-left corner). Inside the sheet a node where only one arc
// ends is a dead end (tag 10); any other inner node has tag 0.
#pragma once

#include <string>
#include <vector>

#include "geometry.h"
#include "world.h"

namespace sheetgen {

struct LineArc {
    std::string code;
    int line_tag = 0;
    std::vector<std::string> values;
    std::vector<Point> points;  // absolute, in stored order
    bool reversed = false;      // stored against the line's direction
    int start_node = 0, end_node = 0;
};

struct LineNode {
    int tag = 0;
    Point at;
    std::vector<int> arcs;  // ids of the arcs that meet it, ascending
};

struct LineNetwork {
    std::vector<LineArc> arcs;    // arc id = index + 1 + the first id given
    std::vector<LineNode> nodes;  // node id = index + 1
};

// `first_arc_id` lets line arcs follow the polygon arcs of a shared arc file.
LineNetwork BuildLineNetwork(const Rect& frame, const std::vector<WorldLine>& lines, int first_arc_id);

}  // namespace sheetgen
