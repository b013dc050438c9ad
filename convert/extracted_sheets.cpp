#include "convert/extracted_sheets.h"

#include <stdlib.h>

#include <system_error>
#include <vector>

#include "input/archive_binding.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"

namespace gridora {

PrivateExtractionFolder::PrivateExtractionFolder(const std::filesystem::path& output_folder) {
    std::error_code ec;
    std::filesystem::create_directories(output_folder, ec);
    const std::string name_template = (output_folder / ".gridora-XXXXXX").native();
    std::vector<char> name(name_template.begin(), name_template.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) != nullptr) path_ = std::filesystem::path(name.data());
}

PrivateExtractionFolder::~PrivateExtractionFolder() {
    if (path_.empty()) return;
    // remove_all removes links themselves, never what they point to.
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string PathRewritingPort::Rewrite(std::string_view cp932) const {
    std::string text(cp932);
    if (from_.empty()) return text;
    for (std::size_t at = text.find(from_); at != std::string::npos; at = text.find(from_, at + to_.size()))
        text.replace(at, from_.size(), to_);
    return text;
}

std::string SheetExtractionCommand(const std::filesystem::path& archive,
                                   const std::filesystem::path& output_folder, std::string_view sheet) {
    std::string destination = output_folder.native();
    if (destination.empty() || destination.back() != '/') destination += '/';
    std::string command = " e -x1 ";
    command += CommandLineWord(archive.native());
    command += ' ';
    command += CommandLineWord(destination);
    command += ' ';
    command += CommandLineWord(std::string(sheet) + "/*.*");
    command += " -p2 -y1";
    return command;
}

std::filesystem::path ExtractedDescriptionPath(const std::filesystem::path& output_folder,
                                               std::string_view sheet) {
    const std::string folder = Cp932ToUtf8(sheet);
    std::filesystem::path description = output_folder / folder / (folder + ".TXT");
    return LocateDataFile(description).value_or(description);
}

bool IsPlainSheetFolderName(std::string_view sheet) {
    return !sheet.empty() && sheet != "." && sheet != ".." &&
           sheet.find_first_of("/\\") == std::string_view::npos && sheet.find('\0') == std::string_view::npos;
}

void RemoveExtractedSheet(const std::filesystem::path& output_folder, std::string_view sheet) {
    if (!IsPlainSheetFolderName(sheet)) return;
    std::error_code ec;
    std::filesystem::remove_all(output_folder / Cp932ToUtf8(sheet), ec);
}

}  // namespace gridora
