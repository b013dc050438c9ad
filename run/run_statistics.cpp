#include "run/run_statistics.h"

#include <string>

#include "platform/cp932.h"
#include "platform/ini_file.h"

namespace gridora {
namespace {

// Writes `value` under the key when it is larger than what the file holds (0 when absent).
// Returns whether it wrote.
bool Raise(IniFile& ini, const std::string& section, const std::string& key, int32_t value) {
    if (value <= ini.ReadInteger(section, key, 0)) return false;
    ini.WriteInteger(section, key, value);
    return true;
}

}  // namespace

WorkArrayCapacities CapacitiesOf(const WorkArrays& arrays) {
    return WorkArrayCapacities{
        arrays.arc_records.Capacity(), arrays.arc_points.Capacity(), arrays.pgn_records.Capacity(),
        arrays.pgn_arc_refs.Capacity(), arrays.pnt_records.Capacity(),
    };
}

bool WriteRunStatistics(const std::filesystem::path& settings_file, const WorkArrayCapacities& capacities,
                        const RunStatistics& statistics) {
    IniFile ini(settings_file);
    bool changed = false;

    const std::string shapes = ToCp932("図形");
    changed |= Raise(ini, shapes, "sArcIDmax", capacities.arc_records);
    changed |= Raise(ini, shapes, "sXYmax", capacities.arc_points);
    changed |= Raise(ini, shapes, "sPgnIDmax", capacities.pgn_records);
    changed |= Raise(ini, shapes, "sArcmax", capacities.pgn_arc_refs);
    changed |= Raise(ini, shapes, "sPntIDmax", capacities.pnt_records);
    changed |= Raise(ini, shapes, "sXYnummax", statistics.largest_vertex_count);

    const std::string value_counts = ToCp932("フィールド数");
    for (int layer = 0; layer < kLayerCount; ++layer)
        changed |= Raise(ini, value_counts, std::to_string(layer), statistics.largest_value_count[layer]);

    const std::string value_lengths = ToCp932("フィールド長");
    for (int layer = 0; layer < kLayerCount; ++layer)
        for (int position = 1; position <= RunStatistics::kCountedValues; ++position)
            changed |= Raise(ini, value_lengths, std::to_string(layer) + "_" + std::to_string(position),
                  statistics.longest_value[layer][position - 1]);

    // This run's counts, for the layers that had any.
    const std::string link_errors = ToCp932("ポリゴンリンクエラー数");
    for (int layer = 0; layer < RunStatistics::kSeamlessLayerCount; ++layer) {
        const int32_t count = statistics.polygon_link_errors[static_cast<std::size_t>(layer)];
        if (count <= 0) continue;
        ini.WriteInteger(link_errors, std::to_string(layer + 1), count);
        changed = true;
    }

    return !changed || ini.Save();
}

}  // namespace gridora
