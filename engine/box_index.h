// A grid of buckets over a set of bounding boxes, for "which boxes may meet this box / hold
// this point" without testing every box.
//
// The grid spans the union of the boxes, with about one bucket per box and buckets roughly
// square. Each box is listed in every bucket it overlaps; a box that would fill more than a
// few dozen buckets goes to a list of wide boxes that every query returns instead, so the
// index stays linear in size. Queries return a superset of the boxes that meet the query
// (callers apply their own exact test), in ascending box order, each box once.
#pragma once

#include <cstdint>
#include <vector>

namespace ringweld {

struct Box {
    int32_t min_x = 0;
    int32_t min_y = 0;
    int32_t max_x = 0;
    int32_t max_y = 0;
};

class BoxIndex {
public:
    BoxIndex() = default;
    explicit BoxIndex(const std::vector<Box>& boxes);

    // Indices (into the boxes given) of every box that may meet the closed query box, sorted
    // ascending; replaces the contents of `out`.
    void candidates(const Box& query, std::vector<int32_t>& out) const;

private:
    struct Cells {
        int64_t first = 0, last = 0;  // inclusive bucket range on one axis
    };
    Cells columns_of(int64_t lo, int64_t hi) const;
    Cells rows_of(int64_t lo, int64_t hi) const;

    int64_t x0_ = 0, y0_ = 0;          // lower corner of the union
    int64_t width_ = 1, height_ = 1;   // extent, at least 1
    int64_t max_x_ = -1, max_y_ = -1;  // upper corner of the union
    int64_t columns_ = 0, rows_ = 0;
    std::vector<int32_t> bucket_start_;  // columns_ * rows_ + 1 offsets into entries_
    std::vector<int32_t> entries_;
    std::vector<int32_t> wide_;
};

}  // namespace ringweld
