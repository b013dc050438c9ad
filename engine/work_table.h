// A growable table of fixed-size records, the storage of every engine work table.
//
// The table starts unallocated; its first append allocates `capacity` records and every
// later growth adds at least `step` records. Indices stay stable across growth. Memory
// is released by release(), which also marks the table empty.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ringweld {

template <typename Record>
class WorkTable {
public:
    WorkTable() = default;

    // Sets the initial capacity and growth step used from the next allocation on.
    void configure(int32_t capacity, int32_t step) {
        capacity_ = std::max<int32_t>(capacity, 1);
        step_ = std::max<int32_t>(step, 1);
    }

    void append(const Record& r) {
        if (rows_.size() == rows_.capacity()) grow();
        rows_.push_back(r);
    }

    void release() {
        std::vector<Record>().swap(rows_);
    }

    void clear() { rows_.clear(); }
    void resize(std::size_t n) {
        if (n > rows_.capacity()) rows_.reserve(std::max(n, grown_capacity()));
        rows_.resize(n);
    }
    void truncate(std::size_t n) { rows_.resize(std::min(n, rows_.size())); }

    bool empty() const { return rows_.empty(); }
    int32_t count() const { return static_cast<int32_t>(rows_.size()); }
    int32_t last_index() const { return count() - 1; }
    bool valid(int32_t i) const { return i >= 0 && i < count(); }

    Record& operator[](std::size_t i) { return rows_[i]; }
    const Record& operator[](std::size_t i) const { return rows_[i]; }
    Record* data() { return rows_.data(); }
    const Record* data() const { return rows_.data(); }
    auto begin() { return rows_.begin(); }
    auto end() { return rows_.end(); }
    auto begin() const { return rows_.begin(); }
    auto end() const { return rows_.end(); }

    std::vector<Record>& rows() { return rows_; }
    const std::vector<Record>& rows() const { return rows_; }

private:
    // Growth doubles (at least by the step), so appends stay amortised O(1) even when a
    // caller passes tiny sizes; the configured capacity only sizes the first allocation.
    // resize() follows the same policy: tables grown one record at a time through resize
    // (the arc table while arcs are traced) would otherwise copy themselves quadratically.
    std::size_t grown_capacity() const {
        const std::size_t cap = rows_.capacity();
        return cap == 0 ? static_cast<std::size_t>(capacity_)
                        : cap + std::max<std::size_t>(cap, static_cast<std::size_t>(step_));
    }
    void grow() { rows_.reserve(grown_capacity()); }

    std::vector<Record> rows_;
    int32_t capacity_ = 1000;
    int32_t step_ = 1000;
};

}  // namespace ringweld
