#include "convert/attribute_file.h"

#include <algorithm>
#include <cctype>

#include "convert/layer_writers.h"
#include "input/data_file.h"
#include "input/text_fields.h"
#include "platform/cp932.h"

namespace gridora {

std::filesystem::path LayerOutputBase(const std::filesystem::path& output_folder, std::string_view layer_name) {
    std::string lower(layer_name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return output_folder / lower;
}

std::filesystem::path Suffixed(const std::filesystem::path& base, const char* suffix) {
    std::filesystem::path path = base;
    path += suffix;
    return path;
}

std::string LineMessage(std::string_view prefix, std::string_view layer_name, int line) {
    return ToCp932(prefix) + std::string(layer_name) + ":" + std::to_string(line);
}

bool WalkAttributeFile(const std::filesystem::path& path, char letter, std::string_view bad_line_prefix,
                       std::string_view layer_name, SheetHeader& header, MessagePort& port,
                       const std::function<void(const FeatureLine&)>& on_feature) {
    SheetDataFile file;
    if (!file.Open(path)) return false;
    file.Walk(header, [&](std::string_view code, std::string_view rest) {
        const int line = file.At().number;
        if (code.empty() || code.front() != letter) {
            port.ShowMessage(LineMessage(bad_line_prefix, layer_name, line));
            return;
        }
        FeatureLine feature;
        feature.line = line;
        feature.code = code;
        feature.id = ParseInteger(TakeField(rest));
        feature.value_count = ParseInteger(TakeField(rest));
        feature.values = rest;
        on_feature(feature);
    });
    return true;
}

int StageFeatureRecord(StagedShapefile& file, const FeatureLine& feature, const SheetHeader& header, int layer,
                       RunStatistics& statistics) {
    const int record = file.AddRecord();
    statistics.RaiseValueCount(layer, feature.value_count);
    file.SetInteger(0, feature.id);
    file.SetText(1, header.sheet_name);
    file.SetText(2, feature.code);
    return record;
}

void StageFeatureValues(StagedShapefile& file, const FeatureLine& feature, int first_field, int field_end,
                        int layer, RunStatistics& statistics) {
    std::string_view rest = feature.values;
    // Past position 16 and past the last field a value changes nothing; a huge count
    // from a damaged line must not cost a loop.
    const int32_t last = std::min<int32_t>(feature.value_count,
                                           std::max(RunStatistics::kCountedValues, field_end - first_field));
    for (int32_t k = 1; k <= last; ++k) {
        const std::string_view value = rest.empty() ? std::string_view{} : TakeField(rest);
        statistics.RaiseValueLength(layer, k, value.size());
        const int field = first_field + k - 1;
        if (field < field_end) file.SetText(field, value);
    }
}

}  // namespace gridora
