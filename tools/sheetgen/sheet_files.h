// The text files of one sheet: the sheet description and the data files of every theme
// folder, composed as UTF-8 lines and written as CP932 with CR LF line ends.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "sheet_grid.h"
#include "world.h"

namespace sheetgen {

// Lines of one file, UTF-8, without line ends.
using TextLines = std::vector<std::string>;

struct SheetFiles {
    std::string sheet_name;
    // Path inside the sheet folder ("GYOUSEI/SI_TYO.ATR") and contents, in writing order.
    std::vector<std::pair<std::string, TextLines>> files;
    int topology_warnings = 0;

    TextLines& File(const std::string& path);  // the named file; it must exist
};

struct SheetMeta {
    int municipality = 0;         // index into the world's municipalities
    std::string made;             // line 3, e.g. "1997年3月"
    bool datum_field = false;     // line 7 carries empty corner fields and the datum flag
    int datum_flag = 0;
};

SheetFiles ComposeSheet(const World& world, const SheetId& sheet, const SheetMeta& meta);

// Writes the files into `folder` (the sheet's own folder), creating theme folders.
void WriteSheet(const SheetFiles& files, const std::filesystem::path& folder);

// UTF-8 lines to CP932 bytes, each line ended by CR LF.
std::string EncodeLines(const TextLines& lines);

}  // namespace sheetgen
