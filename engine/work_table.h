// A growable table of fixed-size records, the storage of every engine work table.
//
// The table starts unallocated; its first append allocates `capacity` records and every
// later growth adds at least `step` records. Both are hints: they are clamped to a first
// allocation of about a megabyte, so a huge size asks for nothing it does not need. Indices
// stay stable across growth. Memory is released by release(), which also marks the table
// empty. A table that cannot grow throws TableOverflow with its error number
// (engine_limits.h) and keeps its records. Large tables live in huge pages (large_pages.h).
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine_limits.h"
#include "large_pages.h"

namespace ringweld {

template <typename Record>
class WorkTable {
public:
    explicit WorkTable(int32_t overflow_code = kLineOverflow) : overflow_code_(overflow_code) {}

    // Sets the initial capacity and growth step used from the next allocation on.
    void configure(int64_t capacity, int64_t step) {
        capacity_ = clamp_hint(capacity);
        step_ = clamp_hint(step);
    }

    void append(const Record& r) {
        if (rows_.size() == rows_.capacity()) reporting_overflow([&] { grow(); });
        rows_.push_back(r);
    }

    void release() {
        TableVector<Record>().swap(rows_);
    }

    void clear() { rows_.clear(); }
    void resize(std::size_t n) {
        reporting_overflow([&] {
            if (n > rows_.capacity()) reserve(std::max(n, grown_capacity()));
            rows_.resize(n);
        });
    }
    // Room for `n` records up front, under the same limit and overflow number as growth.
    void reserve_rows(std::size_t n) {
        reporting_overflow([&] { reserve(n); });
    }
    void truncate(std::size_t n) { rows_.resize(std::min(n, rows_.size())); }

    bool empty() const { return rows_.empty(); }
    int32_t overflow_code() const { return overflow_code_; }
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

    TableVector<Record>& rows() { return rows_; }
    const TableVector<Record>& rows() const { return rows_; }

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

    // Records in about a megabyte: the most a size hint allocates up front.
    static constexpr int64_t kHintRecords = std::max<int64_t>(1, (int64_t{1} << 20) / int64_t{sizeof(Record)});
    static int32_t clamp_hint(int64_t hint) {
        return static_cast<int32_t>(std::clamp<int64_t>(hint, 1, kHintRecords));
    }

    void reserve(std::size_t n) {
        if (n > table_allocation_limit() / sizeof(Record)) throw std::bad_alloc();
        rows_.reserve(n);
    }

    // Growth that fails leaves the records as they were (vector's strong guarantee).
    template <typename Grow>
    void reporting_overflow(Grow&& grow_rows) {
        try {
            grow_rows();
        } catch (const std::bad_alloc&) {
            throw TableOverflow{overflow_code_};
        } catch (const std::length_error&) {
            throw TableOverflow{overflow_code_};
        }
    }
    void grow() { reserve(grown_capacity()); }

    TableVector<Record> rows_;
    int32_t overflow_code_;
    int32_t capacity_ = 1000;
    int32_t step_ = 1000;
};

}  // namespace ringweld
