// Sheet-list intake: each file the user picks becomes rows of the SheetList. A sheet
// description (.TXT) gives one row from its own lines; an LHA archive (.LZH) is listed
// through the archive library, one row per description inside it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "input/archive_binding.h"
#include "input/municipality_table.h"
#include "input/sheet_list.h"

namespace gridora {

// ASCII letters of CP932 text upper-cased; the second bytes of two-byte characters, which
// may fall in the ASCII letter range, stay as they are.
std::string UpperCaseAscii(std::string_view cp932);

// Whether a path or file name (CP932) names an archive: its upper-cased text contains
// ".LZH" anywhere, so "notes.lzh.bak" counts too.
bool NamesArchive(std::string_view cp932_path);
// Whether it names a sheet description: ".TXT" anywhere in the upper-cased text.
bool NamesDescription(std::string_view cp932_path);

// The municipality code of a description at `path`: the five characters of its folder
// part just before the separator that precedes the sheet's folder, found by length
// (D:/data/13101/09LD171/09LD171.TXT gives 13101), whatever those characters are.
std::string MunicipalityCodeOfDescription(const std::filesystem::path& path);

// Adds the rows of one picked file (made absolute) to `sheets`. Returns true when a
// description row was added; false for an archive (whatever it held) and for a file that
// is neither. Archives are listed with `archives`; a null archive handle counts as an
// empty archive.
bool AddSheetSource(SheetList& sheets, const MunicipalityTable& municipalities,
                    const ArchiveEntryPoints& archives, const std::filesystem::path& path);

}  // namespace gridora
