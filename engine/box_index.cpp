// Packed R-tree over boxes; see box_index.h.
#include "box_index.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ringweld {

namespace {

constexpr int32_t kFanout = 16;

// Twice the centre, so that it stays an integer.
int64_t centre2_x(const Box& b) { return int64_t{b.min_x} + b.max_x; }
int64_t centre2_y(const Box& b) { return int64_t{b.min_y} + b.max_y; }

Box enclose(const Box& a, const Box& b) {
    return {std::min(a.min_x, b.min_x), std::min(a.min_y, b.min_y), std::max(a.max_x, b.max_x),
            std::max(a.max_y, b.max_y)};
}

// Orders entries (anything with a box) for packing: vertical slices of about √(groups)
// groups each, sorted by centre x, each slice then sorted by centre y.
template <typename Entry, typename BoxOf>
void sort_tile(TableVector<Entry>& entries, BoxOf box_of) {
    const std::size_t n = entries.size();
    const std::size_t groups = (n + kFanout - 1) / kFanout;
    const auto slices = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(groups))));
    const std::size_t per_slice = ((groups + slices - 1) / std::max<std::size_t>(slices, 1)) * kFanout;
    std::sort(entries.begin(), entries.end(),
              [&](const Entry& a, const Entry& b) { return centre2_x(box_of(a)) < centre2_x(box_of(b)); });
    for (std::size_t s = 0; s < n; s += per_slice) {
        const auto end = entries.begin() + static_cast<std::ptrdiff_t>(std::min(n, s + per_slice));
        std::sort(entries.begin() + static_cast<std::ptrdiff_t>(s), end,
                  [&](const Entry& a, const Entry& b) { return centre2_y(box_of(a)) < centre2_y(box_of(b)); });
    }
}

// Groups consecutive entries by the fanout into parent nodes.
template <typename Entry, typename BoxOf, typename Node>
TableVector<Node> group(const TableVector<Entry>& entries, BoxOf box_of) {
    TableVector<Node> parents;
    for (std::size_t s = 0; s < entries.size(); s += kFanout) {
        const std::size_t end = std::min(entries.size(), s + kFanout);
        Node node;
        node.box = box_of(entries[s]);
        for (std::size_t i = s + 1; i < end; ++i) node.box = enclose(node.box, box_of(entries[i]));
        node.first = static_cast<int32_t>(s);
        node.count = static_cast<int32_t>(end - s);
        parents.push_back(node);
    }
    return parents;
}

}  // namespace

void BoxIndex::clear() {
    boxes_.clear();
    order_.clear();
    levels_.clear();
}

void BoxIndex::build(const TableVector<Box>& boxes) {
    clear();
    boxes_ = boxes;
    if (boxes_.empty()) return;
    order_.resize(boxes_.size());
    for (std::size_t i = 0; i < order_.size(); ++i) order_[i] = static_cast<int32_t>(i);
    auto item_box = [this](int32_t item) -> const Box& { return boxes_[static_cast<std::size_t>(item)]; };
    sort_tile(order_, item_box);
    levels_.push_back(group<int32_t, decltype(item_box), Node>(order_, item_box));
    auto node_box = [](const Node& n) -> const Box& { return n.box; };
    while (levels_.back().size() > static_cast<std::size_t>(kFanout)) {
        // Reordering a level keeps its nodes' children valid: they index the level below.
        sort_tile(levels_.back(), node_box);
        TableVector<Node> parents = group<Node, decltype(node_box), Node>(levels_.back(), node_box);
        levels_.push_back(std::move(parents));
    }
}

template <typename BoxTest>
void BoxIndex::collect(BoxTest test, std::vector<int32_t>& out) const {
    out.clear();
    if (levels_.empty()) return;
    stack_.clear();
    const auto top = static_cast<int32_t>(levels_.size() - 1);
    for (int32_t i = 0; i < static_cast<int32_t>(levels_.back().size()); ++i) stack_.emplace_back(top, i);
    while (!stack_.empty()) {
        const auto [level, index] = stack_.back();
        stack_.pop_back();
        const Node& node = levels_[static_cast<std::size_t>(level)][static_cast<std::size_t>(index)];
        if (!test(node.box)) continue;
        for (int32_t c = node.first; c < node.first + node.count; ++c) {
            if (level == 0) {
                const int32_t item = order_[static_cast<std::size_t>(c)];
                if (test(boxes_[static_cast<std::size_t>(item)])) out.push_back(item);
            } else {
                stack_.emplace_back(level - 1, c);
            }
        }
    }
    std::sort(out.begin(), out.end());
}

void BoxIndex::containing(int32_t x, int32_t y, std::vector<int32_t>& out) const {
    collect([x, y](const Box& b) { return b.contains(x, y); }, out);
}

void BoxIndex::meeting(const Box& q, std::vector<int32_t>& out) const {
    collect([&q](const Box& b) { return b.meets(q); }, out);
}

}  // namespace ringweld
