// One sheet's share of a polygon theme: arcs between nodes and polygons as arc lists.
//
// Input: the world polygons of the theme's finest layer (the "primary" polygons, which
// must not overlap and must share common edges vertex for vertex) and the sheet frame.
// Every polygon edge is clipped to the frame; the frame itself is added as lines, cut
// wherever a polygon edge reaches it, and marked with the frame line tag. Edges are
// chained into arcs that break wherever three or more edges meet or the polygons on
// either side change, so each arc has one polygon (or none) on each side.
//
// Each layer of the theme names, for every primary polygon, the feature of the layer it
// belongs to (a town area belongs to its municipality; a building to itself). A layer's
// polygons are the connected pieces of its features inside the sheet; a feature that
// the frame cuts in two gives two pieces. A piece lists the arcs of its outer ring
// clockwise (arcs run forwards when the piece lies on their right, otherwise the id is
// negated), then the arcs of each of its holes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "geometry.h"
#include "world.h"

namespace sheetgen {

struct SheetArc {
    std::string code;
    int line_tag = 0;
    std::vector<Point> points;  // absolute, in the arc's direction
    int right = 0, left = 0;    // primary polygon numbers (1-based, 0 none) on each side
};

struct SheetPolygon {
    std::string code;
    std::vector<std::string> values;
    std::vector<int> arc_refs;  // signed arc ids
    Point inside;               // a point inside the piece, absolute
    bool cut = false;           // one of its arcs is a frame line
};

struct ThemeLayer {
    // For each primary polygon (0-based), the feature of this layer it belongs to
    // (0-based), or -1.
    std::vector<int> feature_of_primary;
    // Code and values of each feature.
    std::vector<const WorldPolygon*> features;
};

struct ArcStyle {
    // Code and line tag of an arc that is not on the frame, from the primary polygons on
    // its right and left (1-based, 0 none).
    std::function<std::pair<std::string, int>(int right, int left)> classify;
    // Walls shared by two attached buildings that both lie wholly inside the sheet get
    // the partition line tag.
    bool mark_partitions = false;
};

struct ThemeSheet {
    std::vector<SheetArc> arcs;                      // arc id = index + 1
    std::vector<std::vector<SheetPolygon>> layers;  // polygon id = index + 1
    int warnings = 0;                                // topology faults met (expected 0)
};

ThemeSheet BuildPolygonTheme(const Rect& frame, const std::vector<WorldPolygon>& primaries,
                             const std::vector<ThemeLayer>& layers, const ArcStyle& style);

// A layer whose features are the primary polygons themselves.
ThemeLayer IdentityLayer(const std::vector<WorldPolygon>& primaries);

}  // namespace sheetgen
