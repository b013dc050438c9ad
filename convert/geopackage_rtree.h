// GeoPackage spatial indexes built in one pass instead of one insert per feature.
//
// A GeoPackage table's spatial index is an SQLite R*Tree virtual table rtree_<table>_<column>
// kept in step by six triggers and named in gpkg_extensions ("gpkg_rtree_index"). GDAL
// fills it with one R*Tree insert per feature, which costs more than writing the features.
// Here the boxes are read once, packed bottom-up into full nodes (sort-tile-recursive: the
// boxes sorted by the x of their centres into vertical slices, each slice by y), and the
// nodes written straight into the R*Tree's own tables in the layout SQLite's rtree module
// reads and maintains afterwards: node 1 the root, its first two bytes the tree's depth,
// then the cell count and cells of a 64-bit id and four 32-bit floats, all big-endian; the
// boxes rounded outward to floats exactly as the module rounds them. The triggers and the
// extension row are those GDAL writes, so GDAL, QGIS and MapServer find the index.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace gridora {

// A table to index: its name, its geometry column and its integer primary key.
struct SpatialIndexTable {
    std::string table;
    std::string geometry_column;
    std::string id_column;
};

// Builds the index of every table in `tables` that has none, in one transaction on a
// connection of its own (no other may be writing the file). An empty text when done, else
// why not (SQLite's message); a failure leaves the file as it was.
std::string BuildSpatialIndexes(const std::filesystem::path& geopackage, std::span<const SpatialIndexTable> tables);

// A name quoted as an SQL identifier ("name", inner quotes doubled).
std::string SqlIdentifier(const std::string& name);

// ---- the pure pieces, for the tests ----

// A box as an R*Tree cell holds it.
struct RtreeBox {
    int64_t id = 0;  // the feature id, or in an inner node the child's node number
    float min_x = 0, max_x = 0, min_y = 0, max_y = 0;
};

// A GeoPackage geometry blob's bounding box (minx, maxx, miny, maxy) from its header's
// envelope, or from its WKB when the header has none; nothing for an empty geometry or a
// blob that is not one.
std::optional<std::array<double, 4>> GeoPackageEnvelope(std::span<const uint8_t> blob);

// A coordinate rounded to a float towards -infinity (a box's minimum) or +infinity (its
// maximum), as SQLite's R*Tree stores it.
float RtreeLowerBound(double value);
float RtreeUpperBound(double value);

// The packed tree: nodes by number (index 0 unused, 1 the root), each node's cells, its
// parent's number (0 for the root) and the tree's depth (0: the root is a leaf).
struct PackedRtree {
    std::vector<std::vector<RtreeBox>> nodes;
    std::vector<int64_t> parents;
    int depth = 0;
    int64_t first_leaf = 1;  // the leaves are the nodes from this number on
};
PackedRtree PackRtree(std::vector<RtreeBox> boxes, std::size_t node_capacity);

// A node as the rtree module stores it: `node_size` bytes.
std::vector<uint8_t> RtreeNodeBlob(std::span<const RtreeBox> cells, int depth, std::size_t node_size);

}  // namespace gridora
