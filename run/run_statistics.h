// The size statistics a run leaves in the settings file: high-water marks of the work
// arrays and of what the layer writers met. A stored value never shrinks, so the file keeps
// the largest figures of all runs; the program never reads them back.
#pragma once

#include <cstdint>
#include <filesystem>

#include "convert/writer_statistics.h"
#include "input/work_arrays.h"

namespace gridora {

// The work-array capacities the run reached, taken before the arrays are freed.
struct WorkArrayCapacities {
    int32_t arc_records = 0;
    int32_t arc_points = 0;
    int32_t pgn_records = 0;
    int32_t pgn_arc_refs = 0;
    int32_t pnt_records = 0;
};
WorkArrayCapacities CapacitiesOf(const WorkArrays& arrays);

// Raises the keys of the sections "図形", "フィールド数" and "フィールド長" of the settings
// file to the run's figures where those are larger, in that order, then writes the run's
// count of label points in no polygon under "ポリゴンリンクエラー数", key "1"-"6" per layer
// of the cross-sheet assembly, for each layer that had any. False when the file could not
// be written (the run ignores it).
bool WriteRunStatistics(const std::filesystem::path& settings_file, const WorkArrayCapacities& capacities,
                        const RunStatistics& statistics);

}  // namespace gridora
