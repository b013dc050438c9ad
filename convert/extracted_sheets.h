// Archived sheets during a run: each is extracted into the output folder, converted from
// there and removed again. The archive library extracts the members below the sheet's
// folder (SHEET/...), keeping their folder paths, so a sheet lands in output/SHEET/.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace gridora {

// The command line that extracts every member below the folder `sheet` of `archive` into
// `output_folder`: " e -x1 ARCHIVE OUTPUT/ SHEET/*.* -p2 -y1". Paths are file-system text.
std::string SheetExtractionCommand(const std::filesystem::path& archive,
                                   const std::filesystem::path& output_folder, std::string_view sheet);

// Where the extracted sheet's description is: output/SHEET/SHEET.TXT, found without regard
// to case (archives made on Windows may hold 09ld171/09ld171.txt). The exact-case path when
// there is no such file.
std::filesystem::path ExtractedDescriptionPath(const std::filesystem::path& output_folder,
                                               std::string_view sheet);

// Whether `sheet` names one folder directly inside the output folder, so that extracting
// into it and removing it cannot touch anything else: not empty, not "." or "..", and
// without separators.
bool IsPlainSheetFolderName(std::string_view sheet);

// Removes output/SHEET and everything below it, ignoring every failure. Does nothing for a
// sheet name that IsPlainSheetFolderName refuses.
void RemoveExtractedSheet(const std::filesystem::path& output_folder, std::string_view sheet);

}  // namespace gridora
