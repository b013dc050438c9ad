// The faulty sample: generated sheets spoilt on purpose, one fault of every kind that the
// readers and layer writers report, plus faults that are accepted without a message.
// Each spoilt sheet records the messages a converter must show for it, in the order the
// sheet's description lists the files, and they are written to the sample's README.md.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "sheet_files.h"

namespace sheetgen {

struct BadSheet {
    SheetFiles files;
    std::string municipality_code;
    std::vector<std::string> faults;    // what was spoilt, UTF-8
    std::vector<std::string> messages;  // expected messages; "{SHEET}" stands for the sheet folder
    std::string aborts;                 // the conversion error that abandons the sheet, if any
};

// Sheet 0 of the sample gets the record faults, sheet 1 a truncated point line, sheet 2 a
// real that is not a number; later sheets stay clean.
BadSheet SpoilSheet(SheetFiles files, int index, const std::string& municipality_code);

// Writes the sheets below `out` (as the clean sample is laid out) and `out`/README.md.
void WriteBadSample(const std::vector<BadSheet>& sheets, const std::filesystem::path& out);

}  // namespace sheetgen
