// Faster routes to exactly the order the engine's heap sort gives.
//
// heap_sort_by_key: the heap sort's permutation depends only on the answers of its
// comparisons. Sorting small (key, index) items through heap_sort asks the same questions
// as sorting the records themselves, so the records end in the same order, while the items
// are smaller and compare as one integer.
//
// sort_unless_ties_show: when no two records that compare equal differ, every sort gives
// the heap sort's result; std::sort is used then. Otherwise the heap sort runs on ranks:
// std::sort has found the classes of equal records, and a heap sort of small items that
// compare by their class's rank alone asks the same questions as one of the records, so it
// leaves them in the same order. The items are 32-bit where rank and member number fit, so
// the heap sort touches a fraction of the memory a sort of whole records would.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "heap_sort.h"
#include "large_pages.h"

namespace ringweld {

// An order-preserving 64-bit key of two signed 32-bit values, the first the major one.
inline uint64_t pair_key(int32_t major, int32_t minor) {
    return (uint64_t{static_cast<uint32_t>(major) ^ 0x80000000u} << 32) | (static_cast<uint32_t>(minor) ^ 0x80000000u);
}
inline int32_t pair_key_major(uint64_t key) { return static_cast<int32_t>(static_cast<uint32_t>(key >> 32) ^ 0x80000000u); }
inline int32_t pair_key_minor(uint64_t key) { return static_cast<int32_t>(static_cast<uint32_t>(key) ^ 0x80000000u); }

// A record's sort key and its position before the sort.
struct KeyedIndex {
    uint64_t key;
    uint32_t index;
};

// heap_sort over the keys alone; afterwards items[i].index is the record that goes to i.
inline void heap_sort_keys(TableVector<KeyedIndex>& items) {
    heap_sort(items.data(), items.size(), [](const KeyedIndex& a, const KeyedIndex& b) { return a.key < b.key; });
}

template <typename Record, typename KeyOf>
void heap_sort_by_key(TableVector<Record>& records, KeyOf key_of) {
    using Item = KeyedIndex;
    const std::size_t n = records.size();
    if (n < 2) return;
    // Reserved and appended: the temporaries are written once, not zeroed first.
    TableVector<Item> items;
    items.reserve(n);
    for (std::size_t i = 0; i < n; ++i) items.push_back(Item{key_of(records[i]), static_cast<uint32_t>(i)});
    heap_sort_keys(items);
    TableVector<Record> sorted;
    sorted.reserve(n);
    for (std::size_t i = 0; i < n; ++i) sorted.push_back(records[items[i].index]);
    records.swap(sorted);
}

// Sorts 64-bit items by their upper 32 bits, keeping the order of items with equal upper
// halves (a least-significant-digit radix sort, one pass per byte that varies). Cheaper
// than a comparison sort from a few dozen items on; `scratch` is reused room.
inline void stable_sort_by_major(std::vector<uint64_t>& items, std::vector<uint64_t>& scratch) {
    const std::size_t n = items.size();
    if (n < 48) {
        std::stable_sort(items.begin(), items.end(), [](uint64_t a, uint64_t b) { return (a >> 32) < (b >> 32); });
        return;
    }
    scratch.resize(n);
    for (int shift = 32; shift < 64; shift += 8) {
        std::size_t count[257] = {};
        for (uint64_t v : items) ++count[((v >> shift) & 0xff) + 1];
        if (count[((items[0] >> shift) & 0xff) + 1] == n) continue;  // every item has this byte
        for (int b = 0; b < 256; ++b) count[b + 1] += count[b];
        for (uint64_t v : items) scratch[count[(v >> shift) & 0xff]++] = v;
        items.swap(scratch);
    }
}

namespace detail {

inline int bits_for(std::size_t count) {
    int bits = 0;
    while (bits < 64 && (std::size_t{1} << bits) < count) ++bits;
    return bits;
}

}  // namespace detail

template <typename Record, typename Before, typename Identical>
void sort_unless_ties_show(TableVector<Record>& records, Before before, Identical identical) {
    const std::size_t n = records.size();
    if (n < 2) return;
    // Ties broken by the original position make the plain sort's order a total one, so
    // that each class lies together with its members in original order.
    struct Entry {
        Record record;
        uint32_t index;
    };
    TableVector<Entry> entries;
    entries.reserve(n);
    for (std::size_t i = 0; i < n; ++i) entries.push_back(Entry{records[i], static_cast<uint32_t>(i)});
    std::sort(entries.begin(), entries.end(), [&before](const Entry& a, const Entry& b) {
        if (before(a.record, b.record)) return true;
        if (before(b.record, a.record)) return false;
        return a.index < b.index;
    });
    bool shows = false;
    for (std::size_t i = 0; i + 1 < n && !shows; ++i)
        shows = !before(entries[i].record, entries[i + 1].record) && !identical(entries[i].record, entries[i + 1].record);
    if (!shows) {
        for (std::size_t i = 0; i < n; ++i) records[i] = entries[i].record;
        return;
    }

    // Classes of equal records: their first positions in `entries`, and the largest.
    TableVector<uint32_t> class_start;
    std::size_t largest = 1;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == 0 || before(entries[i - 1].record, entries[i].record)) class_start.push_back(static_cast<uint32_t>(i));
        largest = std::max<std::size_t>(largest, i - class_start.back() + 1);
    }
    const int member_bits = detail::bits_for(largest);
    // Every original record becomes (class rank, member number within the class).
    auto finish = [&](auto zero) {
        using Item = decltype(zero);
        TableVector<Item> items(n);
        std::size_t rank = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (rank + 1 < class_start.size() && class_start[rank + 1] == i) ++rank;
            items[entries[i].index] = (Item{static_cast<uint32_t>(rank)} << member_bits) | (i - class_start[rank]);
        }
        heap_sort(items.data(), n, [member_bits](Item a, Item b) { return (a >> member_bits) < (b >> member_bits); });
        const Item mask = (Item{1} << member_bits) - 1;
        for (std::size_t i = 0; i < n; ++i)
            records[i] = entries[class_start[static_cast<std::size_t>(items[i] >> member_bits)] + (items[i] & mask)].record;
    };
    if (detail::bits_for(class_start.size()) + member_bits <= 32)
        finish(uint32_t{0});
    else
        finish(uint64_t{0});
}

}  // namespace ringweld
