// Bucket grid over bounding boxes; see box_index.h.
#include "box_index.h"

#include <algorithm>
#include <cmath>

namespace ringweld {

namespace {

// A box spanning more buckets than this is kept in the wide list.
constexpr int64_t kMostBucketsPerBox = 64;
// Buckets per axis at most; keeps (coordinate offset) x (buckets) within 64 bits.
constexpr int64_t kMostBucketsPerAxis = 1 << 16;

}  // namespace

BoxIndex::BoxIndex(const std::vector<Box>& boxes) {
    if (boxes.empty()) return;
    int64_t x1 = boxes[0].max_x, y1 = boxes[0].max_y;
    x0_ = boxes[0].min_x;
    y0_ = boxes[0].min_y;
    for (const Box& b : boxes) {
        x0_ = std::min<int64_t>(x0_, b.min_x);
        y0_ = std::min<int64_t>(y0_, b.min_y);
        x1 = std::max<int64_t>(x1, b.max_x);
        y1 = std::max<int64_t>(y1, b.max_y);
    }
    max_x_ = x1;
    max_y_ = y1;
    width_ = x1 - x0_ + 1;
    height_ = y1 - y0_ + 1;

    // About one bucket per box, roughly square buckets.
    const double n = static_cast<double>(boxes.size());
    const double aspect = static_cast<double>(width_) / static_cast<double>(height_);
    columns_ = std::clamp<int64_t>(static_cast<int64_t>(std::ceil(std::sqrt(n * aspect))), 1,
                                   std::min({width_, static_cast<int64_t>(boxes.size()), kMostBucketsPerAxis}));
    rows_ = std::clamp<int64_t>(static_cast<int64_t>(std::ceil(n / static_cast<double>(columns_))), 1,
                                std::min({height_, static_cast<int64_t>(boxes.size()), kMostBucketsPerAxis}));

    // Two passes: count the entries of each bucket, then fill them in box order.
    const auto buckets = static_cast<std::size_t>(columns_ * rows_);
    std::vector<int32_t> count(buckets + 1, 0);
    auto for_each_bucket = [&](const Box& b, auto visit) {
        const Cells cs = columns_of(b.min_x, b.max_x);
        const Cells rs = rows_of(b.min_y, b.max_y);
        for (int64_t r = rs.first; r <= rs.last; ++r)
            for (int64_t c = cs.first; c <= cs.last; ++c) visit(static_cast<std::size_t>(r * columns_ + c));
    };
    auto is_wide = [&](const Box& b) {
        const Cells cs = columns_of(b.min_x, b.max_x);
        const Cells rs = rows_of(b.min_y, b.max_y);
        return (cs.last - cs.first + 1) * (rs.last - rs.first + 1) > kMostBucketsPerBox;
    };
    for (const Box& b : boxes)
        if (!is_wide(b)) for_each_bucket(b, [&](std::size_t k) { ++count[k + 1]; });
    for (std::size_t k = 0; k < buckets; ++k) count[k + 1] += count[k];
    bucket_start_ = count;
    entries_.resize(static_cast<std::size_t>(count[buckets]));
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const auto id = static_cast<int32_t>(i);
        if (is_wide(boxes[i])) wide_.push_back(id);
        else for_each_bucket(boxes[i], [&](std::size_t k) { entries_[static_cast<std::size_t>(count[k]++)] = id; });
    }
}

BoxIndex::Cells BoxIndex::columns_of(int64_t lo, int64_t hi) const {
    auto column = [&](int64_t v) { return std::clamp<int64_t>((v - x0_) * columns_ / width_, 0, columns_ - 1); };
    return {column(lo), column(hi)};
}

BoxIndex::Cells BoxIndex::rows_of(int64_t lo, int64_t hi) const {
    auto row = [&](int64_t v) { return std::clamp<int64_t>((v - y0_) * rows_ / height_, 0, rows_ - 1); };
    return {row(lo), row(hi)};
}

void BoxIndex::candidates(const Box& q, std::vector<int32_t>& out) const {
    out.clear();
    if (columns_ == 0 || q.max_x < x0_ || q.max_y < y0_ || q.min_x > max_x_ || q.min_y > max_y_) return;
    const Cells cs = columns_of(q.min_x, q.max_x);
    const Cells rs = rows_of(q.min_y, q.max_y);
    for (int64_t r = rs.first; r <= rs.last; ++r) {
        for (int64_t c = cs.first; c <= cs.last; ++c) {
            const auto k = static_cast<std::size_t>(r * columns_ + c);
            out.insert(out.end(), entries_.begin() + bucket_start_[k], entries_.begin() + bucket_start_[k + 1]);
        }
    }
    out.insert(out.end(), wide_.begin(), wide_.end());
    const bool one_bucket = cs.first == cs.last && rs.first == rs.last;
    if (one_bucket && wide_.empty()) return;  // already ascending, each box once
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

}  // namespace ringweld
