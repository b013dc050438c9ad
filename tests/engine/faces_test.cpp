// Face labelling: scan-line crossings, the labels arcs end with, and the perturbed rescans
// that mend loops and outsides the plain scan lines miss.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <random>
#include <tuple>

#include "assembly.h"
#include "faces.h"
#include "heap_sort.h"
#include "polygon_helpers.h"
#include "ringweld.h"
#include "session.h"

namespace {

using namespace polygon_test;
using ringweld::Crossing;

Crossing at(int32_t x, uint8_t flags, int32_t arc = 1) {
    Crossing c;
    c.arc = arc;
    c.x = x;
    c.flags = flags;
    c.kind = (flags & (ringweld::kCrossAtUpper | ringweld::kCrossAtLower)) ? ringweld::kAtSegmentEnd : ringweld::kProper;
    return c;
}

// (arc, kind) of the settled crossings; crossings at one x in arc order, since the heap
// sort leaves their order to itself.
std::vector<std::pair<int32_t, int>> settled(std::vector<Crossing> c) {
    ringweld::settle_crossings(c);
    std::vector<std::pair<int32_t, int>> out;
    for (const Crossing& x : c) out.push_back({x.arc, x.kind});
    for (std::size_t i = 0; i < c.size();) {
        std::size_t j = i;
        while (j < c.size() && c[j].x == c[i].x) ++j;
        std::sort(out.begin() + i, out.begin() + j);
        i = j;
    }
    return out;
}

TEST(ScanCrossings, AVertexWhereTheBoundaryContinuesCountsOnceAsAPassThrough) {
    // Arriving from below (upper point of one segment), leaving above (lower point of the next).
    const auto s = settled({at(0, 0, 1), at(5, ringweld::kCrossAtUpper, 2), at(5, ringweld::kCrossAtLower, 3), at(9, 0, 4)});
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0], (std::pair<int32_t, int>{1, 0}));
    EXPECT_TRUE(s[1].first == 2 || s[1].first == 3);  // the second after the heap sort survives
    EXPECT_EQ(s[1].second, ringweld::kThroughVertex);
    EXPECT_EQ(s[2], (std::pair<int32_t, int>{4, 0}));
}

TEST(ScanCrossings, AVertexWhereTheBoundaryTurnsDropsBothCrossings) {
    EXPECT_EQ(settled({at(0, 0, 1), at(5, ringweld::kCrossAtUpper, 2), at(5, ringweld::kCrossAtUpper, 3), at(9, 0, 4)}),
              (std::vector<std::pair<int32_t, int>>{{1, 0}, {4, 0}}));
    EXPECT_EQ(settled({at(5, ringweld::kCrossAtLower, 2), at(5, ringweld::kCrossAtLower, 3)}),
              (std::vector<std::pair<int32_t, int>>{}));
}

TEST(ScanCrossings, RunsWithAHorizontalSegmentOrOfThreeStayAsSegmentEnds) {
    Crossing horizontal = at(5, 0, 2);
    horizontal.kind = ringweld::kHorizontal;
    EXPECT_EQ(settled({horizontal, at(5, ringweld::kCrossAtUpper, 3)}),
              (std::vector<std::pair<int32_t, int>>{{2, 2}, {3, 2}}));
    EXPECT_EQ(settled({at(5, 0, 1), at(5, ringweld::kCrossAtUpper, 2), at(5, ringweld::kCrossAtLower, 3)}),
              (std::vector<std::pair<int32_t, int>>{{1, 2}, {2, 2}, {3, 2}}));
}

// The settling rules applied literally after the engine's heap sort, to check the faster
// route against.
std::vector<Crossing> settle_after_heap_sort(std::vector<Crossing> c) {
    ringweld::heap_sort(c.data(), c.size(), [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
    std::vector<Crossing> out;
    for (std::size_t i = 0; i < c.size();) {
        std::size_t j = i;
        while (j < c.size() && c[j].x == c[i].x) ++j;
        const uint8_t ends = ringweld::kCrossAtUpper | ringweld::kCrossAtLower;
        if (j - i == 2 && (c[i].flags & ends) && (c[i + 1].flags & ends)) {
            if ((c[i].flags & ends) != (c[i + 1].flags & ends)) {
                out.push_back(c[i + 1]);
                out.back().kind = ringweld::kThroughVertex;
            }
        } else {
            for (std::size_t k = i; k < j; ++k) {
                out.push_back(c[k]);
                if (j - i > 1) out.back().kind = ringweld::kAtSegmentEnd;
            }
        }
        i = j;
    }
    return out;
}

// Random crossings of `count` from [min_count, max_count) at x values spread over `spread`
// steps of `step`, settled, against the literal heap sort's outcome.
void expect_settling_as_after_heap_sort(uint32_t seed, int rounds, int min_count, int max_count, int32_t spread,
                                        int32_t step) {
    std::mt19937 rng(seed);
    for (int round = 0; round < rounds; ++round) {
        std::vector<Crossing> c;
        const int n = min_count + static_cast<int>(rng() % static_cast<uint32_t>(max_count - min_count));
        for (int i = 0; i < n; ++i) {
            const uint8_t ends[3] = {0, ringweld::kCrossAtUpper, ringweld::kCrossAtLower};
            const int32_t x = (static_cast<int32_t>(rng() % static_cast<uint32_t>(spread)) - spread / 2) * step;
            Crossing cx = at(x, ends[rng() % 3] | (rng() % 2 ? ringweld::kDownBit : 0), static_cast<int32_t>(1 + rng() % 3));
            cx.segment = i;
            c.push_back(cx);
        }
        // What labelling reads of a settled crossing: its arc, x, kind and down bit. Members
        // of a run at one x are all segment ends, which labelling skips in any order.
        auto readable = [](const std::vector<Crossing>& s) {
            std::vector<std::tuple<int32_t, int, int32_t, int>> out;
            for (const Crossing& x : s) out.push_back({x.x, x.kind, x.arc, x.flags & ringweld::kDownBit});
            std::sort(out.begin(), out.end());
            return out;
        };
        const std::vector<Crossing> expected = settle_after_heap_sort(c);
        ringweld::settle_crossings(c);
        ASSERT_EQ(readable(c), readable(expected));
        for (std::size_t i = 0; i < c.size(); ++i) {
            if (c[i].kind == ringweld::kAtSegmentEnd) continue;
            EXPECT_EQ(c[i].arc, expected[i].arc);
            EXPECT_EQ(c[i].flags & ringweld::kDownBit, expected[i].flags & ringweld::kDownBit);
        }
    }
}

TEST(ScanCrossings, SettlingGivesTheHeapSortsOutcomeWhereverTiesCouldShow) {
    expect_settling_as_after_heap_sort(7, 2000, 2, 42, 12, 1);
}

// Long scan lines take the radix path of the sort; x values of both signs and far apart
// make every byte of the key vary.
TEST(ScanCrossings, LongScanLinesSettleAsAfterTheHeapSortToo) {
    expect_settling_as_after_heap_sort(8, 300, 48, 700, 60, 1);
    expect_settling_as_after_heap_sort(9, 300, 48, 700, 90, 16'777'259);
}

TEST(ScanCrossings, ProperCrossingsRoundHalvesToEven) {
    ringweld::WorkTable<ringweld::ArcSegment> segments;
    segments.append({0, 4, 0, 1, 1, 0});  // x = y / 4
    segments.append({0, 4, 2, 3, 2, 0});  // x = 2 + y / 4
    ringweld::SegmentIndex index(segments);
    std::vector<Crossing> c;
    ASSERT_TRUE(ringweld::collect_crossings(index, 2, c));
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].x, 0);  // 0.5 rounds to 0
    EXPECT_EQ(c[1].x, 2);  // 2.5 rounds to 2
}

TEST(ScanCrossings, PerturbedCrossingsSortBySlopeAtASharedLowerVertex) {
    ringweld::WorkTable<ringweld::ArcSegment> segments;
    segments.append({0, 10, 0, 10, 1, 0});   // leaves (0,0) up to the right
    segments.append({0, 10, 0, -10, 2, 1});  // leaves (0,0) up to the left
    segments.append({0, 0, 0, 5, 3, 0});     // horizontal: never crossed
    segments.append({-5, 0, 7, 0, 4, 0});    // ends at y = 0: not crossed just above it
    ringweld::SegmentIndex index(segments);
    std::vector<Crossing> c;
    ASSERT_TRUE(ringweld::collect_perturbed_crossings(index, 0, c));
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].arc, 2);
    EXPECT_EQ(c[1].arc, 1);
    for (const Crossing& x : c) {
        EXPECT_EQ(x.x, 0);
        EXPECT_EQ(x.kind, ringweld::kProper);
    }
}

TEST(JunctionAngles, UseTheTruncatedConstants) {
    EXPECT_EQ(ringweld::direction_angle(-1, 0), 3.1415926);
    EXPECT_EQ(ringweld::direction_angle(0, 1), 1.5707963);
    EXPECT_EQ(ringweld::direction_angle(0, -1), 4.7123889);
    EXPECT_EQ(ringweld::direction_angle(0, 0), 0.0);
    EXPECT_EQ(ringweld::direction_angle(1, -1), std::atan(-1.0) + 6.2831852);
}

// Arcs and polygons of a drawing with the plain scan-line pass or with the rescans.
struct Labelled {
    int32_t status = 0;
    std::vector<ArcView> arcs;
    int32_t polygon_status = 0;
    std::vector<PolygonView> polygons;
};

Labelled label(const std::vector<Seg>& segs, bool rescan, bool through_minilines = false) {
    start_with_minilines(segs);
    Labelled out;
    int32_t n = 0;
    if (through_minilines) rw_create_miniline(&n);
    out.status = ringweld::create_arcline(ringweld::session(), 1, ringweld::LabellingOptions{rescan}, &n);
    out.arcs = read_arcs();
    out.polygon_status = rw_create_polygon(&n);
    out.polygons = read_polygons();
    rw_end();
    return out;
}

double total_area(const std::vector<PolygonView>& polys) {
    double sum = 0;
    for (const PolygonView& p : polys) {
        std::vector<XY> run;
        for (const auto& v : p.points) run.push_back({v.x, v.y});
        sum += engine_area(run);
    }
    return sum;
}

TEST(FaceLabels, ASquareHasItsFaceInsideAndTheOutsideOutside) {
    const Labelled l = label(rect(0, 0, 10, 10), true);
    ASSERT_EQ(l.arcs.size(), 1u);
    const bool counter_clockwise = engine_area(l.arcs[0].points) < 0;
    EXPECT_EQ(l.arcs[0].face2, counter_clockwise ? 1 : 0);
    EXPECT_EQ(l.arcs[0].face1, counter_clockwise ? 0 : 1);
}

TEST(FaceLabels, AUnitSquareIsLostByThePlainPassAndLabelledByTheRescan) {
    // Its only scan line, y = 0, meets nothing but vertices and a horizontal side.
    const Labelled plain = label(rect(0, 0, 1, 1), false);
    EXPECT_EQ(plain.arcs[0].face1, 0);
    EXPECT_EQ(plain.arcs[0].face2, 0);
    EXPECT_EQ(plain.polygon_status, 91);

    const Labelled mended = label(rect(0, 0, 1, 1), true);
    EXPECT_EQ(mended.polygon_status, 0);
    ASSERT_EQ(mended.polygons.size(), 1u);
    EXPECT_EQ(total_area(mended.polygons), 1.0);
}

TEST(FaceLabels, AStepShapeWhoseScanLineRunsAlongItsStepIsLabelledByTheRescan) {
    const std::vector<Seg> step = ring({{0, 0}, {20, 0}, {20, 10}, {30, 10}, {30, 20}, {0, 20}});
    const Labelled plain = label(step, false);
    EXPECT_EQ(plain.polygon_status, 91);
    const Labelled mended = label(step, true);
    ASSERT_EQ(mended.polygons.size(), 1u);
    EXPECT_EQ(total_area(mended.polygons), 500.0);
}

TEST(FaceLabels, AnOutsideThatNoScanLineJoinsIsNoLongerAFace) {
    // Two unit squares sharing a side: arcs between junctions, every scan line at y = 0.
    const std::vector<Seg> segs = {{0, 0, 1, 0}, {1, 0, 2, 0}, {0, 1, 1, 1}, {1, 1, 2, 1},
                                   {0, 0, 0, 1}, {1, 0, 1, 1}, {2, 0, 2, 1}};
    const Labelled plain = label(segs, false);
    ASSERT_EQ(plain.polygons.size(), 3u);  // the outside became a face, walked inside out
    EXPECT_EQ(total_area(plain.polygons), 0.0);

    const Labelled mended = label(segs, true);
    ASSERT_EQ(mended.polygons.size(), 2u);
    for (const PolygonView& p : mended.polygons) EXPECT_EQ(total_area({p}), 1.0);
}

TEST(FaceLabels, AnotherPiecesOutsideStaysAFaceOnceOneScanLineMetTheOutside) {
    // Pinned as it stands: the square on the right meets the outside with proper crossings,
    // so no rescan is cast for the outside of the two unit squares, which stays a face.
    std::vector<Seg> segs = {{0, 0, 1, 0}, {1, 0, 2, 0}, {0, 1, 1, 1}, {1, 1, 2, 1},
                             {0, 0, 0, 1}, {1, 0, 1, 1}, {2, 0, 2, 1}};
    append(segs, rect(5, 0, 15, 10));
    const Labelled mended = label(segs, true);
    EXPECT_EQ(mended.polygons.size(), 4u);
    EXPECT_EQ(total_area(mended.polygons), 100.0);  // 100 + 1 + 1, and -2 for the outside face
}

TEST(FaceLabels, APieceInsideAFaceWhoseScanLinesMeetOnlyVerticesKeepsASurroundingFaceOfItsOwn) {
    // The same limit inside a bounded face: the frame's scan line meets the outside, the two
    // unit squares' scan line only vertices, so their surroundings never join the frame's face.
    std::vector<Seg> segs = {{5, 5, 6, 5}, {6, 5, 7, 5}, {5, 6, 6, 6}, {6, 6, 7, 6},
                             {5, 5, 5, 6}, {6, 5, 6, 6}, {7, 5, 7, 6}};
    append(segs, rect(0, 0, 20, 20));
    const Labelled mended = label(segs, true);
    EXPECT_EQ(mended.polygons.size(), 4u);
    EXPECT_EQ(total_area(mended.polygons), 400.0);  // 400 + 1 + 1 - 2
}

TEST(FaceLabels, ALaterLoopLabelledByAnEarlierRescanCastsNone) {
    // Two unit squares side by side at one height: the rescan for the first labels both.
    std::vector<Seg> segs = rect(0, 0, 1, 1);
    append(segs, rect(3, 0, 4, 1));
    const Labelled mended = label(segs, true);
    ASSERT_EQ(mended.polygons.size(), 2u);
    EXPECT_EQ(total_area(mended.polygons), 2.0);
    EXPECT_EQ(mended.polygons[0].minx, 0);  // faces numbered left to right by that one scan
}

TEST(FaceLabels, InputsThePlainPassLabelsCorrectlyAreLeftUnchangedByTheRescans) {
    std::vector<std::vector<Seg>> inputs;
    inputs.push_back(rect(0, 0, 10, 10));
    inputs.push_back(ring({{0, 0}, {10, 3}, {4, 9}}));
    std::vector<Seg> two = {{0, 0, 10, 0}, {10, 0, 20, 0}, {0, 10, 10, 10}, {10, 10, 20, 10},
                            {0, 0, 0, 10}, {10, 0, 10, 10}, {20, 0, 20, 10}};
    inputs.push_back(two);
    std::vector<Seg> holed = rect(0, 0, 30, 30);
    append(holed, rect(10, 10, 20, 20));
    inputs.push_back(holed);
    // A loop whose scan meets the frame's vertices: its outside stays unlabelled and
    // becomes 0 anyway; the rescan must agree.
    std::vector<Seg> beside = rect(0, 0, 2, 2);
    append(beside, rect(5, 0, 9, 3));
    inputs.push_back(beside);
    // A frame whose scan lines meet its sides at vertices, around three small rectangles cut
    // into unit pieces: the frame's outside stays unlabelled (and right), and the rescan cast
    // for it would label two of the inner faces ahead of the others.
    std::vector<Seg> framed = rect(3, 0, 10, 5);
    append(framed, rect(6, 1, 9, 2));
    append(framed, rect(5, 1, 7, 3));
    append(framed, rect(6, 1, 7, 3));
    inputs.push_back(unit_pieces(framed));
    for (const auto& segs : inputs) {
        const Labelled plain = label(segs, false);
        const Labelled mended = label(segs, true);
        EXPECT_EQ(plain.arcs, mended.arcs) << describe(segs);
        EXPECT_EQ(plain.polygons, mended.polygons) << describe(segs);
        EXPECT_EQ(plain.polygon_status, 0);
    }
    // A bridge from a frame to a line, a line through the frame: the bridge's lone proper
    // crossing meets the outside, so no rescan is cast and the faces keep their numbers.
    const std::vector<Seg> bridged = {{4, 1, 9, 1}, {9, 1, 9, 2}, {9, 2, 4, 2}, {4, 2, 4, 1},
                                      {5, 0, 5, 8}, {2, 2, 2, 7}, {4, 5, 6, 5}};
    const Labelled plain = label(bridged, false, true);
    const Labelled mended = label(bridged, true, true);
    EXPECT_EQ(plain.arcs, mended.arcs);
    EXPECT_EQ(plain.polygons, mended.polygons);
    ASSERT_EQ(plain.polygons.size(), 2u);
    EXPECT_EQ(plain.polygons[0].minx, 5);
}

TEST(FaceLabels, ADanglingArcAtAJunctionTakesTheFaceItLiesIn) {
    const std::vector<Seg> segs = {{0, 0, 5, 0}, {5, 0, 10, 0}, {10, 0, 10, 10}, {0, 10, 10, 10},
                                   {0, 0, 0, 10}, {5, 0, 5, 4}, {5, 4, 6, 6}};
    const Labelled l = label(segs, true);
    int dangling = 0;
    for (const ArcView& a : l.arcs) {
        if (a.points.back() == (XY{6, 6})) {
            ++dangling;
            EXPECT_EQ(a.face1, 1);
            EXPECT_EQ(a.face2, 1);
        }
    }
    EXPECT_EQ(dangling, 1);
}

TEST(FaceLabels, AScanLineCrossingMoreArcsThanTheLimitIsError71) {
    // Two crossings a square; 6000 by default, rw_set_max_crossings changes it, 0 lifts it.
    const struct {
        int32_t squares;
        std::optional<int32_t> limit;
        int32_t status;
    } cases[] = {{3000, std::nullopt, 0}, {3001, std::nullopt, 71}, {3001, 0, 0},   {3001, -1, 0},
                 {3001, 6002, 0},         {3001, 6001, 71},         {100, 200, 0}, {101, 200, 71}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.squares << " squares, limit " << c.limit.value_or(6000));
        if (c.limit) rw_set_max_crossings(*c.limit);
        std::vector<Seg> segs;
        for (int32_t i = 0; i < c.squares; ++i) append(segs, rect(3 * i, 0, 3 * i + 1, 10));
        start_with_minilines(segs, 1000);
        int32_t n = -5;
        EXPECT_EQ(rw_create_arcline(&n), c.status);
        EXPECT_EQ(n, c.status == 0 ? c.squares : -5);
        if (c.status == 0) {
            int32_t polygons = 0;
            EXPECT_EQ(rw_create_polygon(&polygons), 0);
            EXPECT_EQ(polygons, c.squares);  // one polygon per square
        }
        rw_end();
        rw_set_max_crossings(6000);
    }
}

}  // namespace
