#include "convert/conversion_run_state.h"

#include <algorithm>

namespace gridora {

void RunExtent::Include(double lower_left_north, double lower_left_east, double upper_right_north,
                        double upper_right_east) {
    min_east = std::min(min_east, lower_left_east);
    min_north = std::min(min_north, lower_left_north);
    max_east = std::max(max_east, upper_right_east);
    max_north = std::max(max_north, upper_right_north);
}

void RunStatistics::RaiseVertexCount(int32_t count) {
    largest_vertex_count = std::max(largest_vertex_count, count);
}

void RunStatistics::RaiseValueCount(int layer, int32_t count) {
    if (layer < 0 || layer >= kLayerCount) return;
    largest_value_count[layer] = std::max(largest_value_count[layer], count);
}

void RunStatistics::RaiseValueLength(int layer, int position, std::size_t bytes) {
    if (layer < 0 || layer >= kLayerCount || position < 1 || position > kCountedValues) return;
    int32_t& longest = longest_value[layer][position - 1];
    longest = std::max(longest, static_cast<int32_t>(std::min<std::size_t>(bytes, INT32_MAX)));
}

void ShapeBuffers::Clear() {
    x_.clear();
    y_.clear();
    z_.clear();
    m_.clear();
    part_starts_.clear();
    part_types_.clear();
}

void ShapeBuffers::StartPart(int part_type) {
    part_starts_.push_back(VertexCount());
    part_types_.push_back(part_type);
}

void ShapeBuffers::AddVertex(double x, double y) {
    x_.push_back(x);
    y_.push_back(y);
    z_.push_back(0.0);
    m_.push_back(0.0);
}

bool ShapeBuffers::AppendTo(SHPHandle shapes, int shape_type) {
    SHPObject* object =
        x_.empty() ? SHPCreateSimpleObject(SHPT_NULL, 0, nullptr, nullptr, nullptr)
                   : SHPCreateObject(shape_type, -1, PartCount(), part_starts_.data(), part_types_.data(),
                                     VertexCount(), x_.data(), y_.data(), z_.data(), m_.data());
    if (!object) return false;
    const int written = SHPWriteObject(shapes, -1, object);
    SHPDestroyObject(object);
    return written >= 0;
}

void ConversionRunState::Reset() {
    output_files.CloseAll();
    work_arrays = WorkArrays{};
    shape.Clear();
    coordinate_system = RunCoordinateSystem{};
    corners = CornerTexts{};
    extent = RunExtent{};
    statistics = RunStatistics{};
    files_made = LayerFilesMade{};
}

}  // namespace gridora
