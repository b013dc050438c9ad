// The faster sorts end exactly where the engine's heap sort does.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "heap_sort.h"
#include "keyed_sort.h"

namespace {

struct Rec {
    int32_t a, b, tag;
    friend bool operator==(const Rec&, const Rec&) = default;
};

bool before(const Rec& x, const Rec& y) { return x.a != y.a ? x.a < y.a : x.b < y.b; }

ringweld::TableVector<Rec> random_records(std::mt19937& rng, int n, int spread, bool distinct_tags) {
    ringweld::TableVector<Rec> v;
    for (int i = 0; i < n; ++i)
        v.push_back({static_cast<int32_t>(rng() % spread) - spread / 2, static_cast<int32_t>(rng() % spread),
                     distinct_tags ? i : 0});
    return v;
}

TEST(KeyedSort, HeapSortByKeyLeavesEqualRecordsWhereTheHeapSortDoes) {
    std::mt19937 rng(11);
    for (int round = 0; round < 500; ++round) {
        ringweld::TableVector<Rec> v = random_records(rng, 1 + static_cast<int>(rng() % 300), 6, true);
        ringweld::TableVector<Rec> expected = v;
        ringweld::heap_sort(expected.data(), expected.size(), before);
        ringweld::heap_sort_by_key(v, [](const Rec& r) { return ringweld::pair_key(r.a, r.b); });
        ASSERT_EQ(v, expected);
    }
}

TEST(KeyedSort, PairKeysOrderNegativeValuesFirst) {
    EXPECT_LT(ringweld::pair_key(-1, 5), ringweld::pair_key(0, -5));
    EXPECT_LT(ringweld::pair_key(INT32_MIN, INT32_MAX), ringweld::pair_key(INT32_MIN + 1, INT32_MIN));
    EXPECT_LT(ringweld::pair_key(3, -2), ringweld::pair_key(3, 1));
}

TEST(KeyedSort, SortUnlessTiesShowMatchesTheHeapSortWithAndWithoutVisibleTies) {
    std::mt19937 rng(12);
    for (int round = 0; round < 500; ++round) {
        const bool visible = round % 2 == 0;
        ringweld::TableVector<Rec> v = random_records(rng, 1 + static_cast<int>(rng() % 300), 8, visible);
        ringweld::TableVector<Rec> expected = v;
        ringweld::heap_sort(expected.data(), expected.size(), before);
        ringweld::sort_unless_ties_show(v, before, [](const Rec& x, const Rec& y) { return x == y; });
        ASSERT_EQ(v, expected);
    }
}

}  // namespace
