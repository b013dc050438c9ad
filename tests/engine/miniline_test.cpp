#include "miniline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "lines_helpers.h"
#include "pair_test.h"
#include "ringweld.h"

namespace ringweld {
namespace {

using lines_test::geometries;

// Records named by letter: equal letters are equal geometry; `lin` numbers the copies.
TableVector<LineRecord> lettered(const std::string& letters) {
    TableVector<LineRecord> v;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        const int32_t y = letters[i] - 'a';
        v.push_back(make_record(0, y, 1, y, static_cast<int32_t>(i), 0, 0));
    }
    return v;
}

std::string letters_of(const TableVector<LineRecord>& v) {
    std::string s;
    for (const LineRecord& r : v) s += static_cast<char>('a' + r.y1);
    return s;
}

TEST(LineOrder, ComparesUpperYBeforeLowerX) {
    const LineRecord left_tall = make_record(0, 0, 0, 9);
    const LineRecord right_short = make_record(5, 0, 6, 1);
    EXPECT_TRUE(line_before(right_short, left_tall));
    EXPECT_FALSE(line_before(left_tall, right_short));
    // All four coordinates equal: lin decides.
    EXPECT_TRUE(line_before(make_record(0, 0, 1, 1, 0, 0, 1), make_record(0, 0, 1, 1, 0, 0, 2)));
    EXPECT_FALSE(line_before(make_record(0, 0, 1, 1, 9, 9, 2), make_record(0, 0, 1, 1, 0, 0, 2)));
}

TEST(LowerFirst, PutsTheLowerEndAndOnEqualYTheLeftEndFirst) {
    EXPECT_EQ(lower_first(make_record(3, 9, 1, 2)), make_record(1, 2, 3, 9));
    EXPECT_EQ(lower_first(make_record(8, 4, 2, 4)), make_record(2, 4, 8, 4));
    EXPECT_EQ(lower_first(make_record(2, 4, 8, 4)), make_record(2, 4, 8, 4));
}

TEST(DuplicateRules, DupcutCancelsPairsAndDropsAnOddRunThatEndsTheTable) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},         {"a", "a"},       {"ab", "ab"},       {"aa", ""},
        {"aab", "b"},     {"baa", "b"},     {"aaab", "ab"},     {"aaa", ""},
        {"caaa", "c"},    {"aabb", ""},     {"abbbc", "abc"},   {"aaaaab", "ab"},
        {"aaaaa", ""},    {"abb", "a"},     {"abbb", "a"},      {"aabbc", "c"},
    };
    for (const auto& [in, want] : cases) {
        TableVector<LineRecord> v = lettered(in);
        cancel_duplicates(v);
        EXPECT_EQ(letters_of(v), want) << "input " << in;
    }
}

TEST(DuplicateRules, DupcutKeepsTheThirdCopyOfAnOddRun) {
    TableVector<LineRecord> v = lettered("aaab");
    cancel_duplicates(v);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].key, 2);
}

TEST(DuplicateRules, PlainKeepsTheFirstRecordCarryingTheGreatestLin) {
    TableVector<LineRecord> v = {make_record(0, 0, 1, 0, 10, 0, 1), make_record(0, 0, 1, 0, 11, 0, 3),
                                 make_record(0, 0, 1, 0, 12, 0, 2), make_record(0, 5, 1, 5, 13, 0, 0),
                                 make_record(0, 0, 1, 0, 14, 0, 3)};
    sort_lines(v);
    const auto first_with_lin3 = std::find_if(v.begin(), v.end(), [](const LineRecord& r) { return r.lin == 3; });
    const int32_t expected_key = first_with_lin3->key;
    remove_duplicates(v);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].lin, 3);
    EXPECT_EQ(v[0].key, expected_key);
    EXPECT_EQ(v[1].key, 13);
}

TEST(DuplicateRules, StagedPairsCancelFromTheStartOfEachRun) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"aa", ""}, {"aaa", "a"}, {"aaaa", ""}, {"abab", ""}, {"abb", "a"}, {"cab", "abc"},
    };
    for (const auto& [in, want] : cases) {
        TableVector<LineRecord> v = lettered(in);
        cancel_staged_pairs(v);
        EXPECT_EQ(letters_of(v), want) << "input " << in;
    }
}

// The split-point table of the plain sweep: each line against every later line that starts
// no higher than its upper end, then the line's own endpoints.
TableVector<SplitPoint> sweep_reference(const TableVector<LineRecord>& sorted) {
    TableVector<SplitPoint> out;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const int32_t a = static_cast<int32_t>(i);
        for (std::size_t j = i + 1; j < sorted.size() && sorted[j].y1 <= sorted[i].y2; ++j) {
            for (Point p : pair_test(sorted[i], sorted[j])) {
                out.push_back({a, p.x, p.y});
                out.push_back({static_cast<int32_t>(j), p.x, p.y});
            }
        }
        out.push_back({a, sorted[i].x1, sorted[i].y1});
        out.push_back({a, sorted[i].x2, sorted[i].y2});
    }
    return out;
}

// Sorted, equal points collapsed: what the cut sees.
void make_point_set(TableVector<SplitPoint>& v) {
    std::sort(v.begin(), v.end(), [](const SplitPoint& a, const SplitPoint& b) {
        return std::tie(a.line, a.x, a.y) < std::tie(b.line, b.x, b.y);
    });
    v.erase(std::unique(v.begin(), v.end(),
                        [](const SplitPoint& a, const SplitPoint& b) {
                            return std::tie(a.line, a.x, a.y) == std::tie(b.line, b.x, b.y);
                        }),
            v.end());
}

// Short oblique and axis-parallel segments with shared ends, some long lines across them.
TableVector<LineRecord> street_tangle(uint32_t seed, int count, int32_t extent) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> coord(0, extent);
    std::uniform_int_distribution<int32_t> step(-40, 40);
    TableVector<LineRecord> v;
    int32_t x = coord(rng), y = coord(rng);
    for (int i = 0; i < count; ++i) {
        if (i % 9 == 0) { x = coord(rng); y = coord(rng); }
        int32_t nx = x + step(rng), ny = y + step(rng);
        if (i % 5 == 0) ny = y;
        if (i % 7 == 0) nx = x;
        if (i % 97 == 0) { nx = coord(rng); ny = coord(rng); }
        if (nx != x || ny != y) v.push_back(lower_first(make_record(x, y, nx, ny, i)));
        x = nx;
        y = ny;
    }
    return v;
}

TEST(MeetingPoints, ColumnSweepGivesEachLineThePointsOfThePlainSweep) {
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
        for (int32_t extent : {100, 1000}) {
            TableVector<LineRecord> lines = street_tangle(seed, 1500, extent);
            sort_lines(lines);
            remove_duplicates(lines);
            TableVector<SplitPoint> fast = find_meeting_points(lines);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                fast.push_back({static_cast<int32_t>(i), lines[i].x1, lines[i].y1});
                fast.push_back({static_cast<int32_t>(i), lines[i].x2, lines[i].y2});
            }
            TableVector<SplitPoint> plain = sweep_reference(lines);
            make_point_set(fast);
            make_point_set(plain);
            ASSERT_EQ(fast.size(), plain.size()) << "seed " << seed << " extent " << extent;
            for (std::size_t i = 0; i < fast.size(); ++i) {
                ASSERT_EQ(std::tie(fast[i].line, fast[i].x, fast[i].y), std::tie(plain[i].line, plain[i].x, plain[i].y))
                    << "seed " << seed << " extent " << extent << " at " << i;
            }
        }
    }
}

TEST(Cut, PiecesFollowTheirParentsInLineOrder) {
    TableVector<LineRecord> lines = {make_record(0, 0, 10, 0, 1), make_record(5, -5, 5, 5, 2)};
    create_minilines(lines, DuplicateRule::keep_one);
    EXPECT_EQ(geometries(lines), (std::vector<std::string>{"(5,-5)-(5,0)", "(5,0)-(5,5)", "(0,0)-(5,0)",
                                                           "(5,0)-(10,0)"}));
    EXPECT_EQ(lines[0].key, 2);
    EXPECT_EQ(lines[2].key, 1);
}

TEST(Cut, AStepLineRunningLeftIsCutInOrderAlongIt) {
    // The parent runs from (10,0) up to (0,100); the crossings round to (7,31), (7,34), (6,36),
    // two of them sharing x. Along the parent they come in falling y within equal x.
    TableVector<LineRecord> lines = {make_record(10, 0, 0, 100, 1), make_record(-50, 31, 50, 31, 2),
                                     make_record(-50, 34, 50, 34, 3), make_record(-50, 36, 50, 36, 4)};
    create_minilines(lines, DuplicateRule::keep_one);
    TableVector<LineRecord> parent;
    for (const LineRecord& r : lines)
        if (r.key == 1) parent.push_back(r);
    EXPECT_EQ(geometries(parent), (std::vector<std::string>{"(6,36)-(0,100)", "(7,34)-(6,36)",
                                                            "(7,31)-(7,34)", "(10,0)-(7,31)"}));
}

// ---- Property test on axis-parallel segments, where every test of the pair test is exact.

struct Segment {
    int32_t x1, y1, x2, y2;  // lower-first
    bool vertical() const { return x1 == x2; }
};

Segment segment_of(const LineRecord& r) { return {r.x1, r.y1, r.x2, r.y2}; }

// Points the two axis-parallel segments have in common: none, one point or an overlap.
enum class Contact { none, point, overlap };
Contact contact(const Segment& a, const Segment& b, int32_t& px, int32_t& py) {
    const int32_t xlo = std::max(a.x1, b.x1), xhi = std::min(a.x2, b.x2);
    const int32_t ylo = std::max(a.y1, b.y1), yhi = std::min(a.y2, b.y2);
    if (xlo > xhi || ylo > yhi) return Contact::none;
    if (xlo == xhi && ylo == yhi) {
        px = xlo;
        py = ylo;
        return Contact::point;
    }
    return Contact::overlap;
}

bool is_endpoint(const Segment& s, int32_t x, int32_t y) {
    return (s.x1 == x && s.y1 == y) || (s.x2 == x && s.y2 == y);
}

TableVector<LineRecord> grid_segments(uint32_t seed, int count) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> coord(0, 24);
    std::uniform_int_distribution<int32_t> length(-8, 8);
    TableVector<LineRecord> v;
    for (int i = 0; i < count; ++i) {
        const int32_t x = coord(rng), y = coord(rng), d = length(rng);
        const bool vertical = rng() % 2 == 0;
        const int16_t lin = static_cast<int16_t>(rng() % 3);
        // Keys are unique, so each miniline names its parent.
        v.push_back(vertical ? make_record(x, y, x, y + d, i, 0, lin) : make_record(x, y, x + d, y, i, 0, lin));
    }
    return v;
}

void expect_minilines_meet_only_at_endpoints(const TableVector<LineRecord>& minis) {
    for (std::size_t i = 0; i < minis.size(); ++i) {
        const Segment a = segment_of(minis[i]);
        for (std::size_t j = i + 1; j < minis.size(); ++j) {
            const Segment b = segment_of(minis[j]);
            int32_t x = 0, y = 0;
            const Contact c = contact(a, b, x, y);
            // Overlapping parents leave the shared piece once per parent.
            const bool same = a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2;
            if (c == Contact::overlap) {
                ASSERT_TRUE(same) << minis[i] << " overlaps " << minis[j];
            } else if (c == Contact::point) {
                ASSERT_TRUE(is_endpoint(a, x, y) && is_endpoint(b, x, y))
                    << minis[i] << " meets " << minis[j] << " inside at " << x << "," << y;
            }
        }
    }
}

class AxisParallelProperty : public ::testing::TestWithParam<uint32_t> {};

TEST_P(AxisParallelProperty, MinilinesMeetOnlyAtEndpointsAndTileTheirParents) {
    const TableVector<LineRecord> input = grid_segments(GetParam(), 160);
    std::map<int32_t, LineRecord> parent_of;
    for (const LineRecord& r : input) parent_of[r.key] = lower_first(r);

    lines_test::start_session();
    lines_test::put_lines(input);
    int32_t count = -1;
    ASSERT_EQ(rw_create_miniline(&count), 0);
    const TableVector<LineRecord> minis = lines_test::read_minilines();
    EXPECT_EQ(count, static_cast<int32_t>(minis.size()));

    expect_minilines_meet_only_at_endpoints(minis);

    std::map<int32_t, int64_t> covered;
    std::map<std::tuple<int32_t, int32_t, int32_t, int32_t, int32_t>, int> seen;
    for (const LineRecord& m : minis) {
        ASSERT_TRUE(m.y1 < m.y2 || (m.y1 == m.y2 && m.x1 < m.x2)) << m;
        const LineRecord& p = parent_of.at(m.key);
        // On the parent line and within it.
        const bool on_parent = p.x1 == p.x2 ? (m.x1 == p.x1 && m.x2 == p.x1 && p.y1 <= m.y1 && m.y2 <= p.y2)
                                            : (m.y1 == p.y1 && m.y2 == p.y1 && p.x1 <= m.x1 && m.x2 <= p.x2);
        ASSERT_TRUE(on_parent) << m << " not on " << p;
        covered[m.key] += int64_t{m.x2} - m.x1 + m.y2 - m.y1;
        const int copies = ++seen[std::make_tuple(m.key, m.x1, m.y1, m.x2, m.y2)];
        EXPECT_EQ(copies, 1) << "repeated " << m;
    }
    // A surviving parent is covered exactly by its pieces.
    for (const auto& [key, length] : covered) {
        const LineRecord& p = parent_of.at(key);
        EXPECT_EQ(length, int64_t{p.x2} - p.x1 + p.y2 - p.y1) << p;
    }
    rw_end();
}

TEST_P(AxisParallelProperty, DupcutMinilinesMeetOnlyAtEndpoints) {
    lines_test::start_session();
    lines_test::put_lines(grid_segments(GetParam() + 100, 160));
    int32_t count = -1;
    ASSERT_EQ(rw_create_miniline_dupcut(&count), 0);
    const TableVector<LineRecord> minis = lines_test::read_minilines();
    EXPECT_EQ(count, static_cast<int32_t>(minis.size()));
    expect_minilines_meet_only_at_endpoints(minis);
    rw_end();
}

TEST_P(AxisParallelProperty, RunningAgainOnlyMergesThePiecesThatOverlappingParentsShare) {
    TableVector<LineRecord> lines;
    for (const LineRecord& r : grid_segments(GetParam() + 200, 160))
        if (r.x1 != r.x2 || r.y1 != r.y2) lines.push_back(lower_first(r));
    create_minilines(lines, DuplicateRule::keep_one);
    TableVector<LineRecord> again = lines;
    create_minilines(again, DuplicateRule::keep_one);
    sort_lines(lines);
    remove_duplicates(lines);
    EXPECT_EQ(again, lines);
}

INSTANTIATE_TEST_SUITE_P(Seeds, AxisParallelProperty, ::testing::Values(11u, 12u, 13u, 14u, 15u, 16u));

}  // namespace
}  // namespace ringweld
