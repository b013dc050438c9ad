#include "convert/writer_statistics.h"

#include <algorithm>

namespace gridora {

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

void RunStatistics::RaiseTo(const RunStatistics& other) {
    RaiseVertexCount(other.largest_vertex_count);
    for (int layer = 0; layer < kLayerCount; ++layer) {
        RaiseValueCount(layer, other.largest_value_count[layer]);
        for (int position = 1; position <= kCountedValues; ++position)
            RaiseValueLength(layer, position, static_cast<std::size_t>(other.longest_value[layer][position - 1]));
    }
}

}  // namespace gridora
