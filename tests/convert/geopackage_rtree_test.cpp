// The packed GeoPackage index: boxes read from geometry blobs of every form GDAL writes
// or reads, trees that SQLite's rtree module can take over (every feature once, in a leaf,
// nodes within their capacity, each box inside its parent's, parents recorded), and nodes
// laid out as the module stores them. End to end, tests/cli/geopackage_output_test.cpp
// compares the packed index with GDAL's own and runs SQLite's rtreecheck on it.
#include "convert/geopackage_rtree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

namespace gridora {
namespace {

// Appends a value in little- or big-endian order.
template <typename T>
void Put(std::vector<uint8_t>& out, T value, bool little) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (std::size_t i = 0; i < sizeof(T); ++i) out.push_back(bytes[little ? i : sizeof(T) - 1 - i]);
}

// A GeoPackage blob: header (flags as given, srs 6677), optional envelope, then `wkb`.
std::vector<uint8_t> Blob(uint8_t flags, std::vector<double> envelope, const std::vector<uint8_t>& wkb) {
    std::vector<uint8_t> blob = {'G', 'P', 0, flags};
    Put<uint32_t>(blob, 6677, flags & 1);
    for (double v : envelope) Put(blob, v, flags & 1);
    blob.insert(blob.end(), wkb.begin(), wkb.end());
    return blob;
}

std::vector<uint8_t> PointWkb(bool little, uint32_t type, std::vector<double> ordinates) {
    std::vector<uint8_t> wkb = {static_cast<uint8_t>(little ? 1 : 0)};
    Put(wkb, type, little);
    for (double v : ordinates) Put(wkb, v, little);
    return wkb;
}

TEST(GeoPackageEnvelope, ComesFromTheHeaderOrTheWkbAndNeverFromWhatIsNotAGeometry) {
    std::vector<uint8_t> line = {1};  // a little-endian line of two points
    Put<uint32_t>(line, 2, true);
    Put<uint32_t>(line, 2, true);
    for (double v : {5.0, -1.0, -3.0, 7.5}) Put(line, v, true);
    std::vector<uint8_t> multi = {0};  // a big-endian multi-point of a Z point and a 2D one
    Put<uint32_t>(multi, 4, false);
    Put<uint32_t>(multi, 2, false);
    for (const auto& part : {PointWkb(true, 1001, {2, 9, 100}), PointWkb(false, 1, {-4, 3})})
        multi.insert(multi.end(), part.begin(), part.end());
    std::vector<uint8_t> truncated = line;
    truncated.resize(truncated.size() - 3);
    std::vector<uint8_t> short_envelope = Blob(0x03, {1, 2, 3, 4}, {});
    short_envelope.pop_back();

    using Box = std::array<double, 4>;
    const struct {
        const char* what;
        std::vector<uint8_t> blob;
        std::optional<Box> expected;
    } cases[] = {
        {"little-endian envelope", Blob(0x03, {1, 2, 3, 4}, line), Box{1, 2, 3, 4}},
        {"big-endian envelope", Blob(0x02, {-1, 2, -3, 4}, line), Box{-1, 2, -3, 4}},
        {"xyz envelope", Blob(0x05, {1, 2, 3, 4, 5, 6}, line), Box{1, 2, 3, 4}},
        {"point without envelope", Blob(0x01, {}, PointWkb(true, 1, {139.5, 35.25})), Box{139.5, 139.5, 35.25, 35.25}},
        {"big-endian point", Blob(0x00, {}, PointWkb(false, 1, {-7, 8})), Box{-7, -7, 8, 8}},
        {"line without envelope", Blob(0x01, {}, line), Box{-3, 5, -1, 7.5}},
        {"multi-point of mixed orders", Blob(0x01, {}, multi), Box{-4, 2, 3, 9}},
        {"empty flag", Blob(0x11, {}, PointWkb(true, 1, {NAN, NAN})), std::nullopt},
        {"empty point without the flag", Blob(0x01, {}, PointWkb(true, 1, {NAN, NAN})), std::nullopt},
        {"truncated wkb", Blob(0x01, {}, truncated), std::nullopt},
        {"truncated envelope", short_envelope, std::nullopt},
        {"unknown geometry type", Blob(0x01, {}, PointWkb(true, 99, {1, 2})), std::nullopt},
        {"not a GeoPackage blob", {'X', 'P', 0, 1, 0, 0, 0, 0}, std::nullopt},
        {"too short", {'G', 'P'}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(GeoPackageEnvelope(c.blob), c.expected) << c.what;
}

TEST(RtreeBounds, RoundOutwardToFloats) {
    for (double v : {0.0, 1.0, -1.0, 0.1, -0.1, 12345.678, -48000.001, 1e30, -1e-30, 3.4e38}) {
        const float low = RtreeLowerBound(v), high = RtreeUpperBound(v);
        EXPECT_LE(double{low}, v) << v;
        EXPECT_GE(double{high}, v) << v;
        EXPECT_LE(double{high} - double{low}, std::abs(v) * 3e-7) << v;
        if (static_cast<double>(static_cast<float>(v)) == v) {
            EXPECT_EQ(low, high) << v;
        }
    }
}

TEST(PackRtree, GivesTreesTheRtreeModuleCanTakeOver) {
    for (std::size_t count : {0u, 1u, 51u, 52u, 2601u, 2602u, 140000u}) {
        SCOPED_TRACE(count);
        std::vector<RtreeBox> boxes;
        for (std::size_t i = 0; i < count; ++i) {
            // Scattered small boxes, some sharing a centre.
            const float x = static_cast<float>((i * 7919) % 1000), y = static_cast<float>((i * 104729) % 997);
            boxes.push_back({static_cast<int64_t>(i + 1), x, x + (i % 5), y, y + (i % 3)});
        }
        const PackedRtree tree = PackRtree(boxes, 51);
        ASSERT_GE(tree.nodes.size(), 2u);
        EXPECT_EQ(tree.parents[1], 0);
        // Walk down from the root: every inner cell's box holds its child's cells, each
        // child's parent is recorded, and the leaves sit at one depth.
        std::map<int64_t, int> found;
        std::vector<std::pair<int64_t, int>> pending = {{1, tree.depth}};
        std::size_t visited = 0;
        while (!pending.empty()) {
            const auto [node, depth] = pending.back();
            pending.pop_back();
            ++visited;
            const auto& cells = tree.nodes[static_cast<std::size_t>(node)];
            EXPECT_LE(cells.size(), 51u);
            EXPECT_EQ(node >= tree.first_leaf, depth == 0) << node;
            for (const RtreeBox& cell : cells) {
                if (depth == 0) {
                    ++found[cell.id];
                    continue;
                }
                EXPECT_EQ(tree.parents[static_cast<std::size_t>(cell.id)], node);
                for (const RtreeBox& child : tree.nodes[static_cast<std::size_t>(cell.id)]) {
                    EXPECT_TRUE(cell.min_x <= child.min_x && child.max_x <= cell.max_x && cell.min_y <= child.min_y &&
                                child.max_y <= cell.max_y);
                }
                pending.push_back({cell.id, depth - 1});
            }
        }
        EXPECT_EQ(visited, tree.nodes.size() - 1);
        EXPECT_EQ(found.size(), count);
        for (const auto& [id, times] : found) EXPECT_EQ(times, 1) << id;
        // Full nodes: every slice holds whole nodes, so only the last leaf may be short.
        const std::size_t leaves = tree.nodes.size() - static_cast<std::size_t>(tree.first_leaf);
        EXPECT_EQ(leaves, std::max<std::size_t>(1, (count + 50) / 51));
    }
}

TEST(RtreeNodeBlob, LaysOutDepthCountAndBigEndianCells) {
    const RtreeBox cells[] = {{0x0102030405060708, 1.0f, 2.0f, -1.0f, 0.5f}, {7, 0, 0, 0, 0}};
    const std::vector<uint8_t> blob = RtreeNodeBlob(cells, 3, 1228);
    ASSERT_EQ(blob.size(), 1228u);
    const std::vector<uint8_t> head(blob.begin(), blob.begin() + 28);
    const std::vector<uint8_t> expected = {0, 3, 0, 2, 1, 2, 3, 4, 5, 6, 7, 8, 0x3f, 0x80, 0, 0,
                                           0x40, 0, 0, 0, 0xbf, 0x80, 0, 0, 0x3f, 0, 0, 0};
    EXPECT_EQ(head, expected);
    EXPECT_EQ(blob[28 + 7], 7);
    for (std::size_t i = 4 + 2 * 24; i < blob.size(); ++i) ASSERT_EQ(blob[i], 0) << i;
}

}  // namespace
}  // namespace gridora
