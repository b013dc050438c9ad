// The attribute-file (.ATR) walk that the layer writers share: header lines, feature lines
// of the layer's letter, messages for any other line, and the record fields every feature
// line fills.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "convert/sheet_output.h"
#include "convert/writer_statistics.h"
#include "input/sheet_header.h"
#include "platform/message_port.h"

namespace gridora {

// One feature line: code, id, value count, and the values still joined by ",".
struct FeatureLine {
    int line = 0;
    std::string_view code;
    int32_t id = 0;
    int32_t value_count = 0;
    std::string_view values;
};

// The message of a writer about one line: prefix (UTF-8 source text) + layer name + ":" +
// line number, in CP932.
std::string LineMessage(std::string_view prefix, std::string_view layer_name, int line);

// Walks `path` (found without regard to case). A line whose first field is "FH" is parsed
// into `header`; a line whose code begins with `letter` goes to `on_feature`; any other
// line, an empty one included, is reported as `bad_line_prefix` + layer name + ":" + line
// number. Returns false, without a message, when the file cannot be opened.
bool WalkAttributeFile(const std::filesystem::path& path, char letter, std::string_view bad_line_prefix,
                       std::string_view layer_name, SheetHeader& header, MessagePort& port,
                       const std::function<void(const FeatureLine&)>& on_feature);

// Adds the feature's record with fields 0-2 (id, zumei = the header's sheet name, cd = the
// code) and raises the layer's largest value count.
int StageFeatureRecord(StagedShapefile& file, const FeatureLine& feature, const SheetHeader& header, int layer,
                       RunStatistics& statistics);

// Stages values 1 … value count of the feature (empty once the line has run out) into
// fields first_field, first_field + 1, … below field_end, raising the layer's length
// statistics for positions 1-16.
void StageFeatureValues(StagedShapefile& file, const FeatureLine& feature, int first_field, int field_end,
                        int layer, RunStatistics& statistics);

// The shape vertex of a stored point: x = Y + OriginY (east), y = X + OriginX (north).
inline void AddStoredPoint(StagedShapefile& file, const SheetHeader& header, double x, double y) {
    file.AddVertex(y + header.OriginY, x + header.OriginX);
}

}  // namespace gridora
