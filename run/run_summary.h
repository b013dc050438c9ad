// How the rows of a SheetList ended after a conversion run, counted for the summary a
// front end shows when a run over many sheets ends. The counts come from the rows as the
// run leaves them (check marks and the "座標系エラー：" prefix), so they agree with what the
// list shows and the list file holds.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "input/sheet_list.h"

namespace gridora {

struct RunSummary {
    std::size_t converted = 0;      // unchecked by the run
    std::size_t refused = 0;        // another coordinate system: prefixed by the run
    std::size_t not_converted = 0;  // still checked: unreadable, unconvertible or not reached
    std::size_t duplicates = 0;     // still checked because a row above names the same sheet

    friend bool operator==(const RunSummary&, const RunSummary&) = default;
};

// Row texts as a run is about to find them, for SummarizeRun.
std::vector<std::string> RowTexts(const SheetList& sheets);

// Counts the rows of `sheets` after a run that found them as `texts_before`. Rows added
// while the run worked count by their own text and check mark.
RunSummary SummarizeRun(const SheetList& sheets, const std::vector<std::string>& texts_before);

// The counts, one per line, and the output folder, as CP932 lines ended by CR LF.
std::string RunSummaryText(const RunSummary& summary, const std::filesystem::path& output_folder);

}  // namespace gridora
