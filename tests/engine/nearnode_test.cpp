// Near-node bridging: rings of one polygon joined into a single walk, through the exports;
// the bridged rings and the walk directly.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <tuple>

#include "nearnode.h"
#include "polygon_helpers.h"
#include "ringweld.h"

namespace {

using namespace polygon_test;

struct WalkPoint {
    int32_t x, y, ring;
    friend bool operator==(const WalkPoint&, const WalkPoint&) = default;
    friend std::ostream& operator<<(std::ostream& o, const WalkPoint& p) {
        return o << "(" << p.x << "," << p.y << " r" << p.ring << ")";
    }
};

std::vector<WalkPoint> walk() {
    std::vector<WalkPoint> out;
    int32_t x = 0, y = 0, key = 0, ring = 0;
    for (int32_t s = rw_nearnode_getfirstXY(&x, &y, &key, &ring); s == 0; s = rw_nearnode_getnextXY(&x, &y, &key, &ring))
        out.push_back({x, y, ring});
    return out;
}

std::vector<XY> xy_of(const std::vector<WalkPoint>& w) {
    std::vector<XY> out;
    for (const WalkPoint& p : w) out.push_back({p.x, p.y});
    return out;
}

// Arcs and polygons of a noded drawing; the polygon whose box starts at (minx, miny).
PolygonView assemble_and_pick(const std::vector<Seg>& segs, int32_t minx, int32_t miny) {
    start_with_minilines(segs);
    int32_t n = 0;
    EXPECT_EQ(rw_create_arcline(&n), 0);
    EXPECT_EQ(rw_create_polygon(&n), 0);
    for (const PolygonView& p : read_polygons())
        if (p.minx == minx && p.miny == miny) return p;
    ADD_FAILURE() << "no polygon at " << minx << "," << miny;
    return {};
}

// The records of ring r of a polygon, as stored.
std::vector<XY> stored_ring(const PolygonView& p, int32_t r) { return rings_of(p)[static_cast<std::size_t>(r)]; }

// The ring rotated to start and end at `at`.
std::vector<WalkPoint> rotated(const std::vector<XY>& ring, XY at, int32_t number) {
    std::size_t a = 0;
    while (!(ring[a] == at)) ++a;
    std::vector<WalkPoint> out;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const XY p = ring[(a + i) % (ring.size() - 1)];
        out.push_back({p.x, p.y, number});
    }
    return out;
}

class NearNode : public ::testing::Test {
protected:
    void TearDown() override {
        rw_nearnode_connectclose();
        rw_end();
    }
};

TEST_F(NearNode, APolygonWithoutHolesWalksItsRingAsStored) {
    const PolygonView p = assemble_and_pick(rect(0, 0, 10, 10, 1), 0, 0);
    ASSERT_EQ(rw_nearnode_connectpolygon(p.face), 0);
    std::vector<WalkPoint> expected;
    for (const auto& v : p.points) expected.push_back({v.x, v.y, 0});
    EXPECT_EQ(walk(), expected);
    // The walk restarts.
    EXPECT_EQ(walk(), expected);
}

TEST_F(NearNode, OneHoleIsWalkedFromTheNearestOuterPointAndBackToIt) {
    std::vector<Seg> segs = rect(0, 0, 100, 100, 1);
    append(segs, rect(60, 70, 80, 90, 2));  // nearest outer corner: (100,100), hole corner (80,90)
    const PolygonView p = assemble_and_pick(segs, 0, 0);
    ASSERT_EQ(rw_nearnode_connectpolygon(p.face), 0);
    const std::vector<XY> outer = stored_ring(p, 0);
    std::vector<WalkPoint> expected;
    for (const XY& v : outer) {
        expected.push_back({v.x, v.y, 0});
        if (v == XY{100, 100}) {
            const auto hole = rotated(stored_ring(p, 1), {80, 90}, 1);
            expected.insert(expected.end(), hole.begin(), hole.end());
            expected.push_back({100, 100, 0});
        }
    }
    expected.push_back({outer[0].x, outer[0].y, 0});  // the closing record
    EXPECT_EQ(walk(), expected);
    EXPECT_EQ(engine_area(xy_of(walk())), 100.0 * 100 - 20 * 20);
}

// The outer ring's point (0,0) is nearest to both holes: both stay attached there and are
// walked in turn, each returning to (0,0).
TEST_F(NearNode, TwoHolesBridgingFromOnePointAreBothWalkedInAttachmentOrder) {
    std::vector<Seg> segs = rect(0, 0, 100, 100, 1);
    append(segs, rect(10, 10, 20, 20, 2));
    append(segs, rect(10, 30, 20, 40, 3));
    const PolygonView p = assemble_and_pick(segs, 0, 0);
    ASSERT_EQ(rw_nearnode_connectpolygon(p.face), 0);
    const std::vector<XY> outer = stored_ring(p, 0);
    ASSERT_EQ(outer.front(), (XY{0, 0})) << "the case needs the run to start at (0,0)";
    const std::vector<WalkPoint> got = walk();
    std::vector<WalkPoint> expected = {{0, 0, 0}};
    for (int32_t r = 1; r <= 2; ++r) {
        const std::vector<XY> hole = stored_ring(p, r);
        const XY at = hole[0].y < 25 ? XY{10, 10} : XY{10, 30};
        const auto walked = rotated(hole, at, r);
        expected.insert(expected.end(), walked.begin(), walked.end());
        expected.push_back({0, 0, 0});
    }
    for (std::size_t i = 1; i < outer.size(); ++i) expected.push_back({outer[i].x, outer[i].y, 0});
    expected.push_back({0, 0, 0});
    expected.push_back({0, 0, 0});
    EXPECT_EQ(got, expected);
    EXPECT_EQ(engine_area(xy_of(got)), 10000.0 - 200);
}

// Hole B (right of hole A) cannot reach the outer ring without crossing A, so it attaches to
// A at A's point nearest to it. Those points are chosen here to be A's first record, or the
// point where A's own bridge arrives; either way B is walked once, inside A's detour.
TEST_F(NearNode, AHoleAttachedAtAnotherHolesFirstOrConnectionRecordIsWalkedOnce) {
    struct Case {
        std::vector<Seg> holes;
        const char* what;
    };
    // Outer 0..100; A hugs the left side so its bridge is short; B sits in A's shadow.
    const std::vector<Case> cases = {
        {[] {
             std::vector<Seg> s = ring({{2, 40}, {2, 60}, {30, 60}, {30, 40}}, 2);
             append(s, ring({{32, 41}, {32, 59}, {34, 59}, {34, 41}}, 3));
             return s;
         }(),
         "B nearest to A's right side"},
        {[] {
             std::vector<Seg> s = ring({{2, 40}, {2, 60}, {30, 60}, {30, 40}}, 2);
             append(s, ring({{31, 30}, {31, 39}, {40, 39}, {40, 30}}, 3));  // nearest A point (30,40)
             return s;
         }(),
         "B nearest to A's lower right corner"},
    };
    for (const Case& c : cases) {
        std::vector<Seg> segs = rect(0, 0, 100, 100, 1);
        append(segs, c.holes);
        const PolygonView p = assemble_and_pick(segs, 0, 0);
        const int32_t status = rw_nearnode_connectpolygon(p.face);
        ASSERT_EQ(status, 0) << c.what;
        const std::vector<WalkPoint> got = walk();
        std::map<int32_t, int> entries;
        for (std::size_t i = 1; i < got.size(); ++i)
            if (got[i].ring != got[i - 1].ring && got[i].ring > got[i - 1].ring) ++entries[got[i].ring];
        EXPECT_EQ(entries[1], 1) << c.what;
        EXPECT_EQ(entries[2], 1) << c.what;
        EXPECT_EQ(got.size(), p.points.size() + 2) << c.what;
        EXPECT_EQ(got.front(), got.back());
        double holes = 0;
        for (std::size_t r = 1; r < rings_of(p).size(); ++r) holes += engine_area(rings_of(p)[r]);
        EXPECT_EQ(engine_area(xy_of(got)), 10000.0 + holes) << c.what;
        rw_nearnode_connectclose();
        rw_end();
    }
}

std::vector<WalkPoint> walk_of(const std::vector<ringweld::NearRing>& rings) {
    ringweld::RingWalk w;
    w.restart();
    std::vector<WalkPoint> out;
    ringweld::RingWalk::Step step;
    while (w.next(rings, step)) out.push_back({step.point.x, step.point.y, step.ring});
    return out;
}

// A run made by hand so that the first records are known. Hole A (ring 1) bridges from the
// outer point (0,50) to its third record (2,60). Holes B and C cannot reach the outer ring
// past A: B attaches to A's first record (30,40), which the rotation drops, and C to A's
// connection record (2,60), which the rotation repeats at A's end.
TEST(BridgedRings, ALinkOnAFirstRecordSurvivesTheRotationAndOneOnTheConnectionPointIsNotDoubled) {
    using ringweld::PolygonPoint;
    std::vector<PolygonPoint> run;
    auto add = [&run](std::initializer_list<std::pair<int32_t, int32_t>> pts, int16_t ring) {
        bool first = true;
        for (auto [x, y] : pts) {
            run.push_back({first && ring > 0 ? 0 : 1, x, y, ring});
            first = false;
        }
        if (ring > 0) run.push_back({0, 0, 0, 0});  // closing record
    };
    add({{0, 0}, {0, 50}, {0, 100}, {100, 100}, {100, 0}, {0, 0}}, 0);
    add({{30, 40}, {30, 60}, {2, 60}, {2, 40}, {30, 40}}, 1);  // A, counter-clockwise
    add({{34, 41}, {34, 50}, {32, 50}, {32, 41}, {34, 41}}, 2);  // B
    add({{5, 61}, {5, 63}, {3, 63}, {3, 61}, {5, 61}}, 3);       // C
    std::vector<ringweld::NearRing> rings;
    ASSERT_EQ(ringweld::connect_rings(run, rings), 0);
    EXPECT_EQ(rings[1].kind, 1);
    EXPECT_EQ(rings[2].kind, 2);
    EXPECT_EQ(rings[2].parent, 1);
    EXPECT_EQ(rings[3].parent, 1);
    const std::vector<WalkPoint> expected = {
        {0, 0, 0},   {0, 50, 0},                                                  // outer, to the bridge
        {2, 60, 1},                                                               // A, from its bridge
        {3, 61, 3},  {5, 61, 3},  {5, 63, 3},  {3, 63, 3}, {3, 61, 3}, {2, 60, 1},  // C and back
        {2, 40, 1},  {30, 40, 1},                                                 //
        {32, 41, 2}, {34, 41, 2}, {34, 50, 2}, {32, 50, 2}, {32, 41, 2}, {30, 40, 1},  // B and back
        {30, 60, 1}, {2, 60, 1},  {0, 50, 0},                                     // A closed, back
        {0, 100, 0}, {100, 100, 0}, {100, 0, 0}, {0, 0, 0},                       // the rest
        {0, 0, 0},   {0, 0, 0},   {0, 0, 0}};                                     // closing records
    EXPECT_EQ(walk_of(rings), expected);
}

TEST(BridgedRings, TheWalkStackGrowsPastAThousandNestedRings) {
    std::vector<ringweld::NearRing> rings(3000);
    for (std::size_t r = 0; r < rings.size(); ++r) {
        const auto v = static_cast<int32_t>(r);
        rings[r].points = {{v, v, 1}, {v, v + 1, 1}, {v, v, 1}};
        if (r + 1 < rings.size()) rings[r].attached.push_back({2, v + 1, v});
    }
    const std::vector<WalkPoint> got = walk_of(rings);
    ASSERT_EQ(got.size(), 3000u * 3 + 2999);
    EXPECT_EQ(got[1], (WalkPoint{0, 1, 0}));
    EXPECT_EQ(got[2], (WalkPoint{1, 1, 1}));
    EXPECT_EQ(got.back(), (WalkPoint{0, 0, 0}));
}

TEST_F(NearNode, EveryRingIsWalkedOnceAndTheWalkKeepsThePolygonsArea) {
    std::mt19937 rng(21);
    int with_holes = 0, unattached = 0;
    for (int drawing = 0; drawing < 400; ++drawing) {
        // Nested rectangles on a fine grid: holes in holes' faces, holes side by side.
        std::vector<Seg> segs;
        const int32_t n = 2 + static_cast<int32_t>(rng() % 6);
        for (int32_t i = 0; i < n; ++i) {
            const int32_t x0 = static_cast<int32_t>(rng() % 40), y0 = static_cast<int32_t>(rng() % 40);
            append(segs, rect(x0, y0, x0 + 2 + static_cast<int32_t>(rng() % 20), y0 + 2 + static_cast<int32_t>(rng() % 20), i + 1));
        }
        start_with_minilines(unit_pieces(segs), 64);
        int32_t count = 0;
        if (rw_create_arcline(&count) != 0 || rw_create_polygon(&count) != 0) {
            rw_end();
            continue;
        }
        for (const PolygonView& p : read_polygons()) {
            const auto rings = rings_of(p);
            if (rings.size() < 2) continue;
            ++with_holes;
            const int32_t status = rw_nearnode_connectpolygon(p.face);
            if (status == 128) {
                ++unattached;
                continue;
            }
            ASSERT_EQ(status, 0);
            const std::vector<WalkPoint> got = walk();
            ASSERT_EQ(got.size(), p.points.size() + rings.size() - 1) << describe(segs);
            EXPECT_EQ(got.front(), got.back());
            double area = 0;
            for (const auto& r : rings) area += engine_area(r);
            EXPECT_EQ(engine_area(xy_of(got)), area) << describe(segs);
            // Every ring's points, with its number, in ring order from where it is entered;
            // a change of ring is an entry unless it returns to the ring left last.
            std::map<int32_t, int> entries;
            std::map<int32_t, std::size_t> entered_at;
            std::vector<int32_t> stack;
            for (std::size_t i = 1; i < got.size(); ++i) {
                if (got[i].ring == got[i - 1].ring) continue;
                if (!stack.empty() && stack.back() == got[i].ring) {
                    stack.pop_back();
                } else {
                    stack.push_back(got[i - 1].ring);
                    ++entries[got[i].ring];
                    entered_at[got[i].ring] = i;
                }
            }
            EXPECT_TRUE(stack.empty());
            for (std::size_t r = 1; r < rings.size(); ++r) {
                ASSERT_EQ(entries[static_cast<int32_t>(r)], 1) << "ring " << r << " " << describe(segs);
                const std::size_t at = entered_at[static_cast<int32_t>(r)];
                const XY start{got[at].x, got[at].y};
                const auto expected = rotated(rings[r], start, static_cast<int32_t>(r));
                std::vector<WalkPoint> seen;
                for (std::size_t i = at; i < got.size() && seen.size() < expected.size(); ++i)
                    if (got[i].ring == static_cast<int32_t>(r)) {
                        if (!seen.empty() && seen.back() == got[i]) continue;  // back from a ring attached here
                        seen.push_back(got[i]);
                    }
                EXPECT_EQ(seen, expected) << "ring " << r << " " << describe(segs);
            }
        }
        rw_nearnode_connectclose();
        rw_end();
    }
    EXPECT_GT(with_holes, 100);
    std::cout << with_holes << " polygons with holes, " << unattached << " with a ring left unattached\n";
}

// The exhaustive search as stated: ring 0 first, then two passes over the attached rings,
// pairs compared in loop order and replaced only when strictly nearer.
struct Attached {
    int32_t connection = 0, kind = 0, parent = 0;
    friend bool operator==(const Attached&, const Attached&) = default;
};
std::vector<Attached> attach_exhaustively(const std::vector<ringweld::PolygonPoint>& run,
                                          const std::vector<std::vector<ringweld::NearPoint>>& rings) {
    std::vector<Attached> out(rings.size());
    auto nearest = [&](std::size_t i, const std::vector<std::size_t>& from, std::size_t& ring, std::size_t& m,
                       std::size_t& k) {
        double best = 1e15;
        bool found = false;
        for (std::size_t j : from)
            for (std::size_t a = 0; a < rings[j].size(); ++a)
                for (std::size_t b = 0; b < rings[i].size(); ++b) {
                    const double dx = double(rings[j][a].x) - rings[i][b].x, dy = double(rings[j][a].y) - rings[i][b].y;
                    const double d = std::sqrt(dx * dx + dy * dy);
                    if (d < best) {
                        best = d;
                        found = true;
                        std::tie(ring, m, k) = std::tuple{j, a, b};
                    }
                }
        return found;
    };
    auto attach = [&](std::size_t i, const std::vector<std::size_t>& from, int32_t kind) {
        std::size_t j = 0, m = 0, k = 0;
        if (!nearest(i, from, j, m, k) || ringweld::bridge_crosses(run, rings[j][m], rings[i][k])) return;
        out[i] = {static_cast<int32_t>(k + 1), kind, static_cast<int32_t>(j)};
    };
    for (std::size_t i = 1; i < rings.size(); ++i) attach(i, {0}, 1);
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t i = 1; i < rings.size(); ++i) {
            if (out[i].kind) continue;
            std::vector<std::size_t> from;
            for (std::size_t j = 1; j < rings.size(); ++j)
                if (out[j].kind) from.push_back(j);
            attach(i, from, 2);
        }
    return out;
}

// Many small holes on a lattice inside a square, so that most bridges to the outer ring are
// blocked and ties of equal distances abound: the grids must choose as the exhaustive search.
TEST(BridgedRings, TheGridsChooseTheSamePairsAsTheExhaustiveSearch) {
    std::mt19937 rng(5);
    int blocked = 0;
    for (int c = 0; c < 30; ++c) {
        std::vector<ringweld::PolygonPoint> run;
        std::vector<std::vector<ringweld::NearPoint>> rings(1);
        auto add = [&](const std::vector<std::pair<int32_t, int32_t>>& pts, int16_t ring) {
            rings.resize(static_cast<std::size_t>(ring) + 1);
            for (std::size_t i = 0; i < pts.size(); ++i) {
                const int32_t key = i == 0 && ring > 0 ? 0 : 1;
                run.push_back({key, pts[i].first, pts[i].second, ring});
                rings[static_cast<std::size_t>(ring)].push_back({pts[i].first, pts[i].second, key});
            }
            if (ring > 0) {
                run.push_back({0, 0, 0, 0});
                rings[0].push_back({0, 0, 0});
            }
        };
        const int32_t side = 10 * (3 + static_cast<int32_t>(rng() % 8));
        // The outline has a vertex every few units, so that many outer points tie.
        std::vector<std::pair<int32_t, int32_t>> outline;
        const std::pair<int32_t, int32_t> corners[] = {{0, 0}, {0, side}, {side, side}, {side, 0}};
        for (int corner = 0; corner < 4; ++corner) {
            const auto [x0, y0] = corners[corner];
            const auto [x1, y1] = corners[(corner + 1) % 4];
            const int32_t step = 1 + static_cast<int32_t>(rng() % 3);
            for (int32_t t = 0; t < side; t += step)
                outline.push_back({x0 + (x1 - x0) / side * t, y0 + (y1 - y0) / side * t});
        }
        outline.push_back({0, 0});
        add(outline, 0);
        int16_t next = 1;
        for (int32_t y = 3; y + 5 < side; y += 10)
            for (int32_t x = 3; x + 5 < side; x += 10) {
                if (rng() % 3 == 0) continue;
                const int32_t w = 2 + static_cast<int32_t>(rng() % 4), h = 2 + static_cast<int32_t>(rng() % 4);
                add({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}}, next++);
            }
        std::vector<ringweld::NearRing> got;
        const int32_t status = ringweld::connect_rings(run, got);
        const std::vector<Attached> expected = attach_exhaustively(run, rings);
        bool all = true;
        for (std::size_t i = 1; i < rings.size(); ++i) {
            all = all && expected[i].kind != 0;
            blocked += expected[i].kind == 2;
            EXPECT_EQ((Attached{got[i].connection, got[i].kind, got[i].parent}), expected[i]) << "case " << c << " ring " << i;
        }
        EXPECT_EQ(status, all ? 0 : 128);
    }
    EXPECT_GT(blocked, 50);
}

TEST_F(NearNode, WalkingWithoutABuildReturnsMinusOneAndWritesNothing) {
    int32_t x = -7, y = -7, key = -7, ring = -7;
    EXPECT_EQ(rw_nearnode_getfirstXY(&x, &y, &key, &ring), -1);
    EXPECT_EQ(rw_nearnode_getnextXY(&x, &y, &key, &ring), -1);
    const PolygonView p = assemble_and_pick(rect(0, 0, 10, 10, 1), 0, 0);
    EXPECT_EQ(rw_nearnode_connectpolygon(p.face + 1), -1);
    EXPECT_EQ(rw_nearnode_getfirstXY(&x, &y, &key, &ring), -1);
    ASSERT_EQ(rw_nearnode_connectpolygon(p.face), 0);
    EXPECT_EQ(rw_nearnode_getfirstXY(&x, &y, &key, &ring), 0);
    // A failed build drops the earlier one.
    EXPECT_EQ(rw_nearnode_connectpolygon(p.face + 1), -1);
    EXPECT_EQ(rw_nearnode_getnextXY(&x, &y, &key, &ring), -1);
    ASSERT_EQ(rw_nearnode_connectpolygon(p.face), 0);
    EXPECT_EQ(rw_nearnode_connectclose(), 0);
    x = -7;
    EXPECT_EQ(rw_nearnode_getfirstXY(&x, &y, &key, &ring), -1);
    EXPECT_EQ(x, -7);
    EXPECT_EQ(rw_nearnode_connectclose(), 0);
}

}  // namespace
