// The size statistics the layer writers and the seamless step raise while a run converts:
// high-water marks that the run records in the settings file at its end.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "convert/layer_catalogue.h"

namespace gridora {

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
    // Raises every mark the layer writers keep to `other`'s where that is higher, so that
    // sheets read apart give the marks of sheets read one after the other.
    void RaiseTo(const RunStatistics& other);
    friend bool operator==(const RunStatistics&, const RunStatistics&) = default;
};

}  // namespace gridora
