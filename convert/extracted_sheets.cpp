#include "convert/extracted_sheets.h"

#include <system_error>

#include "platform/file_lookup.h"

namespace gridora {

std::string SheetExtractionCommand(const std::filesystem::path& archive,
                                   const std::filesystem::path& output_folder, std::string_view sheet) {
    std::string destination = output_folder.native();
    if (destination.empty() || destination.back() != '/') destination += '/';
    std::string command = " e -x1 ";
    command += archive.native();
    command += ' ';
    command += destination;
    command += ' ';
    command += sheet;
    command += "/*.* -p2 -y1";
    return command;
}

std::filesystem::path ExtractedDescriptionPath(const std::filesystem::path& output_folder,
                                               std::string_view sheet) {
    std::filesystem::path description = output_folder / sheet / (std::string(sheet) + ".TXT");
    return LocateDataFile(description).value_or(description);
}

bool IsPlainSheetFolderName(std::string_view sheet) {
    return !sheet.empty() && sheet != "." && sheet != ".." &&
           sheet.find_first_of("/\\") == std::string_view::npos && sheet.find('\0') == std::string_view::npos;
}

void RemoveExtractedSheet(const std::filesystem::path& output_folder, std::string_view sheet) {
    if (!IsPlainSheetFolderName(sheet)) return;
    std::error_code ec;
    std::filesystem::remove_all(output_folder / sheet, ec);
}

}  // namespace gridora
