// The buffers through which every shape reaches its Shapefile.
#pragma once

#include <cstdint>
#include <vector>

#include <shapefil.h>

namespace gridora {

// The bytes one shape of `shape_type` takes in a .shp, its 8-byte record header included,
// as shapelib writes it: a null shape when it has no vertex, and a line or polygon at
// least one part. For the point, line and polygon types the converter writes.
uint64_t ShapeRecordBytes(int shape_type, int parts, int vertices);

// The vertex and part arrays of the one shape being written, in the form SHPCreateObject
// takes them. They grow with the shape, so a shape has no vertex or part limit, and keep
// their capacity from shape to shape.
class ShapeBuffers {
public:
    void Clear();
    // Starts a part at the next vertex; shapes without parts are one simple part.
    void StartPart(int part_type);
    void AddVertex(double x, double y);

    int VertexCount() const { return static_cast<int>(x_.size()); }
    int PartCount() const { return static_cast<int>(part_starts_.size()); }
    const std::vector<double>& X() const { return x_; }
    const std::vector<double>& Y() const { return y_; }
    const std::vector<int>& PartStarts() const { return part_starts_; }
    const std::vector<int>& PartTypes() const { return part_types_; }

    // Appends the buffered shape to `shapes` as one shape of `shape_type` (z and m 0). No
    // vertex at all gives a null shape, which keeps a Shapefile one shape per record
    // where a feature has no geometry. Returns false when shapelib refused it.
    bool AppendTo(SHPHandle shapes, int shape_type);
    // The bytes AppendTo adds to the .shp for the buffered shape.
    uint64_t RecordBytes(int shape_type) const { return ShapeRecordBytes(shape_type, PartCount(), VertexCount()); }

private:
    std::vector<double> x_, y_, z_, m_;
    std::vector<int> part_starts_, part_types_;
};

}  // namespace gridora
