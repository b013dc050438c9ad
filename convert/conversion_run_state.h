// What one conversion run keeps from sheet to sheet: the work arrays the readers refill,
// the buffers of the shape being written, the coordinate system and extent that the first
// sheets fix, which output files exist, and the size statistics the run records at its end.
//
// The conversion run owns one ConversionRunState and hands it to the sheet dispatch; the
// layer writers see only the parts they are given.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <shapefil.h>

#include "convert/layer_catalogue.h"
#include "convert/projection_files.h"
#include "convert/sheet_output.h"
#include "input/coordinate_systems.h"
#include "input/sheet_description.h"
#include "input/work_arrays.h"

namespace gridora {

// East and north bounds of the sheet frames converted in a run. Empty bounds are inverted
// (minimums above maximums) so that the first frame sets them.
struct RunExtent {
    double min_east = 2147483647.0;
    double min_north = 2147483647.0;
    double max_east = -2147483647.0;
    double max_north = -2147483647.0;

    // Widens the bounds to a frame given by its lower-left and upper-right corners.
    void Include(double lower_left_north, double lower_left_east, double upper_right_north,
                 double upper_right_east);
    friend bool operator==(const RunExtent&, const RunExtent&) = default;
};

// High-water marks of the sizes the writers met, recorded in the settings file.
struct RunStatistics {
    static constexpr int kCountedValues = 16;

    int32_t largest_vertex_count = 0;                       // one written line or polygon
    std::array<int32_t, kLayerCount> largest_value_count{};  // values on one attribute line
    // Longest value in CP932 bytes per layer and value position 1-16 (index 0-15).
    std::array<std::array<int32_t, kCountedValues>, kLayerCount> longest_value{};
    // Per layer of the cross-sheet assembly, in its order (index 0-5 for keys "1"-"6"):
    // the label points that fell in no rebuilt polygon.
    static constexpr int kSeamlessLayerCount = 6;
    std::array<int32_t, kSeamlessLayerCount> polygon_link_errors{};

    void RaiseVertexCount(int32_t count);
    void RaiseValueCount(int layer, int32_t count);
    // Positions beyond 16 are not counted.
    void RaiseValueLength(int layer, int position, std::size_t bytes);
    friend bool operator==(const RunStatistics&, const RunStatistics&) = default;
};

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

private:
    std::vector<double> x_, y_, z_, m_;
    std::vector<int> part_starts_, part_types_;
};

struct ConversionRunState {
    WorkArrays work_arrays;
    ShapeBuffers shape;
    RunCoordinateSystem coordinate_system;  // fixed by the first sheet, -1 before
    CornerTexts corners;                    // of the last sheet converted
    RunExtent extent;
    RunStatistics statistics;
    LayerFilesMade files_made{};
    ProjectionTexts projections;
    // The output Shapefiles of the sheets written so far. The sheet dispatch closes them
    // after each sheet unless `keep_outputs_open` is set; a run that sets it converts its
    // sheets in time proportional to their number, and must call CloseOutputFiles after
    // the last sheet, before anything reads the output.
    OpenOutputFiles output_files;
    bool keep_outputs_open = false;

    void CloseOutputFiles() { output_files.CloseAll(); }
    // The state a run starts with (output files closed); capacities of the work arrays
    // start afresh too.
    void Reset();
};

}  // namespace gridora
