// The fast sorts of the arc and line stages against the literal heap sort: the same line
// table, the same end-point order, and, through the whole assembly, the same minilines,
// arcs and polygons as the engine gave while it sorted records with the heap sort itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "arcs.h"
#include "assembly_digest_helpers.h"
#include "heap_sort.h"
#include "keyed_sort.h"
#include "miniline.h"

namespace {

using ringweld::LineRecord;
using ringweld::TableVector;

TableVector<LineRecord> records_of(const std::vector<assembly_digest::Line>& lines) {
    TableVector<LineRecord> out;
    for (const auto& l : lines) {
        if (l.x1 == l.x2 && l.y1 == l.y2) continue;
        out.push_back(ringweld::lower_first(LineRecord{l.x1, l.y1, l.x2, l.y2, l.key, static_cast<int16_t>(l.ent),
                                                       static_cast<int16_t>(l.lin)}));
    }
    return out;
}

void literal_line_sort(TableVector<LineRecord>& lines) {
    ringweld::heap_sort(lines.data(), lines.size(), ringweld::line_before);
}

bool same_record(const LineRecord& a, const LineRecord& b) { return ringweld::identical_lines(a, b); }

void expect_same_lines(const TableVector<LineRecord>& got, const TableVector<LineRecord>& expected) {
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_TRUE(same_record(got[i], expected[i])) << "record " << i << ": key " << got[i].key << " where the heap sort has "
                                                      << expected[i].key;
}

// Fingerprints of the engine's results on these inputs, taken from the engine while every
// one of its sorts was the literal heap sort over whole records.
struct Pinned {
    uint32_t seed;
    bool cancel_pairs;
    uint64_t digest;
};
constexpr Pinned kLattice[] = {
    {1, false, 0xa2a749bd5d922387ull}, {1, true, 0x83b49502a9ced469ull}, {2, false, 0x79e3540f55d1b38eull},
    {2, true, 0x5e89ff2d9f8ad387ull},  {3, false, 0xb703bb1ae5f258d9ull}, {3, true, 0x0d0a1aec691888d3ull},
    {4, false, 0x39f67eef237a65f2ull}, {4, true, 0xe272d8c59523c6e9ull},
};

TEST(HeapOrder, CrowdedDrawingsAssembleExactlyAsWithTheLiteralHeapSort) {
    for (const Pinned& p : kLattice)
        EXPECT_EQ(assembly_digest::assemble_and_digest(assembly_digest::crowded_lattice(p.seed, 1500), p.cancel_pairs),
                  p.digest)
            << "seed " << p.seed << (p.cancel_pairs ? " (dupcut)" : "");
}

TEST(HeapOrder, GeneratedBlocksSheetsAndRandomSegmentsAssembleAsBefore) {
    using segment_sets::Kind;
    EXPECT_EQ(assembly_digest::assemble_and_digest(assembly_digest::generated(Kind::blocks, 30000), false),
              0xf8d4801b6e15bb24ull);
    EXPECT_EQ(assembly_digest::assemble_and_digest(assembly_digest::generated(Kind::sheets, 30000), true),
              0x85803024a7be86ccull);
    EXPECT_EQ(assembly_digest::assemble_and_digest(assembly_digest::generated(Kind::random, 30000), false),
              0x3915189f55a1b889ull);
}

TEST(HeapOrder, LineSortsKeepEqualLinesWhereTheHeapSortPutsThem) {
    for (uint32_t seed = 20; seed < 30; ++seed) {
        TableVector<LineRecord> lines = records_of(assembly_digest::crowded_lattice(seed, 800));
        TableVector<LineRecord> expected = lines;
        literal_line_sort(expected);
        ringweld::sort_lines(lines);
        expect_same_lines(lines, expected);
    }
}

TEST(HeapOrder, ArcAssemblySortsMinilinesAndEndPointsAsTheHeapSortDoes) {
    for (uint32_t seed = 40; seed < 46; ++seed) {
        TableVector<LineRecord> minilines = records_of(assembly_digest::crowded_lattice(seed, 600));
        ringweld::create_minilines(minilines, ringweld::DuplicateRule::keep_one);
        // Duplicate minilines with other keys, so that the order of equal lines shows.
        const std::size_t original = minilines.size();
        for (std::size_t i = 0; i < original; i += 3) {
            LineRecord again = minilines[i];
            again.key += 500000;
            minilines.push_back(again);
        }

        // The literal route: heap-sort the lines, one edge per distinct geometry, its two
        // end-points appended in order, then heap-sort the end-point records.
        TableVector<LineRecord> expected_lines = minilines;
        literal_line_sort(expected_lines);
        std::vector<ringweld::EndPoint> expected_ends;
        int32_t edge = 0;
        for (std::size_t i = 0; i < expected_lines.size(); ++i) {
            const LineRecord& m = expected_lines[i];
            if (i > 0 && ringweld::same_geometry(m, expected_lines[i - 1])) continue;
            expected_ends.push_back({m.x1, m.y1, edge, 1, 0, 0, -1});
            expected_ends.push_back({m.x2, m.y2, edge, 2, 0, 0, -1});
            ++edge;
        }
        ringweld::heap_sort(expected_ends.data(), expected_ends.size(),
                            [](const ringweld::EndPoint& a, const ringweld::EndPoint& b) {
                                return a.y != b.y ? a.y < b.y : a.x < b.x;
                            });

        ringweld::WorkTable<LineRecord> table;
        for (const LineRecord& m : minilines) table.append(m);
        ringweld::ArcTables t;
        t.configure(16, 16, 16);
        ASSERT_EQ(ringweld::assemble_arcs(table, t), 0);
        expect_same_lines(table.rows(), expected_lines);
        ASSERT_EQ(t.endpoints.count(), static_cast<int32_t>(expected_ends.size()));
        for (std::size_t i = 0; i < expected_ends.size(); ++i) {
            const ringweld::EndPoint& e = t.endpoints[i];
            ASSERT_EQ(std::make_tuple(e.x, e.y, e.edge, e.end),
                      std::make_tuple(expected_ends[i].x, expected_ends[i].y, expected_ends[i].edge, expected_ends[i].end))
                << "end-point " << i << ", seed " << seed;
        }
    }
}

// ---- the sorts themselves ------------------------------------------------------------------

struct Rec {
    int32_t a, tag;
    friend bool operator==(const Rec&, const Rec&) = default;
};

TEST(HeapOrder, RankedHeapSortHoldsWhenRankAndMemberNeedMoreThan32Bits) {
    // 2^16 distinct values and one class of 2^16 + 1 equal records: 17 member bits and 17
    // rank bits, so the items are 64-bit.
    std::mt19937 rng(3);
    TableVector<Rec> v;
    for (int32_t i = 0; i < 65536; ++i) v.push_back({i * 2 + 1, i});
    for (int32_t i = 0; i < 65537; ++i) v.push_back({70000, 100000 + i});
    std::shuffle(v.begin(), v.end(), rng);
    auto before = [](const Rec& x, const Rec& y) { return x.a < y.a; };
    TableVector<Rec> expected = v;
    ringweld::heap_sort(expected.data(), expected.size(), before);
    ringweld::sort_unless_ties_show(v, before, [](const Rec& x, const Rec& y) { return x == y; });
    EXPECT_TRUE(v == expected);
}

TEST(HeapOrder, RadixSortByMajorHalfIsStableOverEveryByte) {
    std::mt19937 rng(5);
    std::vector<uint64_t> scratch;
    for (int round = 0; round < 300; ++round) {
        const std::size_t n = rng() % 600;
        std::vector<uint64_t> items;
        for (std::size_t i = 0; i < n; ++i) {
            // Few distinct majors of both signs, far apart, so that runs of equal majors show.
            const int32_t major = (static_cast<int32_t>(rng() % 9) - 4) * (round % 2 ? 1 : 300'000'007);
            items.push_back((ringweld::pair_key(major, 0) & ~uint64_t{0xffffffffu}) | i);
        }
        std::vector<uint64_t> expected = items;
        std::stable_sort(expected.begin(), expected.end(), [](uint64_t a, uint64_t b) { return (a >> 32) < (b >> 32); });
        ringweld::stable_sort_by_major(items, scratch);
        ASSERT_EQ(items, expected) << "round " << round;
    }
}

TEST(HeapOrder, PairKeysDecodeToTheirValues) {
    for (int32_t major : {INT32_MIN, -7, 0, 5, INT32_MAX})
        for (int32_t minor : {INT32_MIN, -1, 0, 9, INT32_MAX}) {
            EXPECT_EQ(ringweld::pair_key_major(ringweld::pair_key(major, minor)), major);
            EXPECT_EQ(ringweld::pair_key_minor(ringweld::pair_key(major, minor)), minor);
        }
}

// ---- table growth ---------------------------------------------------------------------------

TEST(WorkTableGrowth, ResizingOneRecordAtATimeReallocatesOnlyLogarithmicallyOften) {
    ringweld::WorkTable<int32_t> table;
    table.configure(1, 1);
    std::set<const int32_t*> buffers;
    for (std::size_t n = 1; n <= 200'000; ++n) {
        table.resize(n);
        buffers.insert(table.data());
    }
    // Growth by the step alone would move the table 200000 times.
    EXPECT_LE(buffers.size(), 40u);
    EXPECT_EQ(table.count(), 200'000);
}

}  // namespace
