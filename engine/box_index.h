// A static index of axis-parallel boxes that answers "which boxes contain this point" and
// "which boxes meet this box".
//
// Built once from a list of boxes (item i is boxes[i]) as a packed R-tree: the items are
// ordered in vertical slices by their centres (sort-tile-recursive packing), grouped sixteen
// to a leaf, and the leaves grouped the same way level by level up to a small top level.
// Queries return candidates in ascending item order, so a caller that wants the first item
// in its own table order can test them in the order given and stop at the first hit.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "large_pages.h"

namespace ringweld {

struct Box {
    int32_t min_x = 0;
    int32_t min_y = 0;
    int32_t max_x = 0;
    int32_t max_y = 0;
    bool contains(int32_t x, int32_t y) const { return min_x <= x && x <= max_x && min_y <= y && y <= max_y; }
    // Closed boxes that share at least one point.
    bool meets(const Box& o) const {
        return min_x <= o.max_x && o.min_x <= max_x && min_y <= o.max_y && o.min_y <= max_y;
    }
};

class BoxIndex {
public:
    void build(const TableVector<Box>& boxes);
    void clear();
    bool empty() const { return order_.empty(); }

    // The items whose boxes contain (x, y), bounds inclusive, in ascending item order.
    // `out` is reused storage; its previous contents are replaced.
    void containing(int32_t x, int32_t y, std::vector<int32_t>& out) const;
    // The items whose boxes meet the closed box q, in ascending item order.
    void meeting(const Box& q, std::vector<int32_t>& out) const;

private:
    // The items whose boxes pass `test`, descending only into nodes whose boxes pass it.
    template <typename BoxTest>
    void collect(BoxTest test, std::vector<int32_t>& out) const;

    struct Node {
        Box box;
        int32_t first = 0;  // children: items (leaf level) or nodes of the level below
        int32_t count = 0;
    };
    TableVector<Box> boxes_;
    TableVector<int32_t> order_;             // item numbers in leaf order
    std::vector<TableVector<Node>> levels_;  // levels_[0] are the leaves; the last level is the top
    mutable std::vector<std::pair<int32_t, int32_t>> stack_;  // (level, node) during a query
};

}  // namespace ringweld
