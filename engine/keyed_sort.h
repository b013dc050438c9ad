// Faster routes to exactly the order the engine's heap sort gives.
//
// heap_sort_by_key: the heap sort's permutation depends only on the answers of its
// comparisons. Sorting small (key, index) items through heap_sort asks the same questions
// as sorting the records themselves, so the records end in the same order, while the items
// are smaller and compare as one integer.
//
// sort_unless_ties_show: when no two records that compare equal differ, every sort gives
// the heap sort's result; std::sort is used then, and heap_sort otherwise.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "heap_sort.h"

namespace ringweld {

// An order-preserving 64-bit key of two signed 32-bit values, the first the major one.
inline uint64_t pair_key(int32_t major, int32_t minor) {
    return (uint64_t{static_cast<uint32_t>(major) ^ 0x80000000u} << 32) | (static_cast<uint32_t>(minor) ^ 0x80000000u);
}

template <typename Record, typename KeyOf>
void heap_sort_by_key(std::vector<Record>& records, KeyOf key_of) {
    struct Item {
        uint64_t key;
        uint32_t index;
    };
    const std::size_t n = records.size();
    if (n < 2) return;
    std::vector<Item> items(n);
    for (std::size_t i = 0; i < n; ++i) items[i] = Item{key_of(records[i]), static_cast<uint32_t>(i)};
    heap_sort(items.data(), n, [](const Item& a, const Item& b) { return a.key < b.key; });
    std::vector<Record> sorted(n);
    for (std::size_t i = 0; i < n; ++i) sorted[i] = records[items[i].index];
    records.swap(sorted);
}

template <typename Record, typename Before, typename Identical>
void sort_unless_ties_show(std::vector<Record>& records, Before before, Identical identical) {
    std::vector<Record> original = records;
    std::sort(records.begin(), records.end(), before);
    for (std::size_t i = 0; i + 1 < records.size(); ++i) {
        if (!before(records[i], records[i + 1]) && !identical(records[i], records[i + 1])) {
            records.swap(original);
            heap_sort(records.data(), records.size(), before);
            return;
        }
    }
}

}  // namespace ringweld
