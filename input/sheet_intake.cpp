#include "input/sheet_intake.h"

#include <optional>

#include "input/data_file.h"
#include "platform/cp932.h"

namespace gridora {
namespace {

// Description lines a row takes: line 5 is the sheet name, line 7 the coordinate system
// and frame; reading stops after line 11.
constexpr int kSheetNameLine = 5;
constexpr int kFrameLine = 7;
constexpr int kLastLineRead = 11;

// The member pattern that finds the descriptions of an archive.
constexpr const char* kDescriptionPattern = "*.txt";
// A sheet name is the first seven bytes of the member's name, cut on a character boundary.
constexpr std::size_t kSheetNameLength = 7;

struct SplitPath {
    std::string folder;     // CP932, ending with its separator
    std::string base_name;  // CP932 file name, upper-cased, without extension
    std::string upper_file_name;
};

SplitPath Split(const std::filesystem::path& path) {
    SplitPath split;
    split.folder = ToCp932(path.parent_path().native());
    if (split.folder.empty() || split.folder.back() != '/') split.folder += '/';
    split.upper_file_name = UpperCaseAscii(ToCp932(path.filename().native()));
    std::size_t dot = split.upper_file_name.rfind('.');
    split.base_name = split.upper_file_name.substr(0, dot);
    return split;
}

std::string NameOf(const MunicipalityTable& municipalities, std::string_view code) {
    return municipalities.LookupMunicipality(code).value_or(std::string());
}

void AddArchiveRows(SheetList& sheets, const MunicipalityTable& municipalities,
                    const ArchiveEntryPoints& archives, const std::filesystem::path& path,
                    const std::string& code) {
    const std::string name = NameOf(municipalities, code);
    const std::string source = ToCp932(path.native());
    UnlhaArchive archive = archives.UnlhaOpenArchive(nullptr, path.c_str(), 0);
    if (archive == nullptr) return;
    UnlhaEntryInfo entry{};
    for (int found = archives.UnlhaFindFirst(archive, kDescriptionPattern, &entry); found == 0;
         found = archives.UnlhaFindNext(archive, &entry)) {
        entry.file_name[sizeof entry.file_name - 1] = '\0';
        std::string_view member(entry.file_name);
        sheets.Append(JoinSheetRow(code, name, TruncateCp932(member, kSheetNameLength), source, ""), path);
    }
    archives.UnlhaCloseArchive(archive);
}

void AddDescriptionRow(SheetList& sheets, const MunicipalityTable& municipalities,
                       const std::filesystem::path& path, const SplitPath& split) {
    const std::string code = MunicipalityCodeOfDescription(path);
    std::string sheet_name = split.base_name;
    std::string frame_line;
    if (std::optional<std::string> text = LoadDataFile(path)) {
        LineReader reader(*text);
        for (std::string_view line; reader.LineNumber() < kLastLineRead && reader.Next(line);) {
            if (reader.LineNumber() == kSheetNameLine) sheet_name = line;
            if (reader.LineNumber() == kFrameLine) frame_line = line;
        }
    }
    sheets.Append(JoinSheetRow(code, NameOf(municipalities, code), sheet_name, ToCp932(path.native()), frame_line),
                  path);
}

}  // namespace

std::string UpperCaseAscii(std::string_view cp932) {
    std::string upper(cp932);
    for (std::size_t i = 0; i < upper.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(upper[i]);
        if (IsCp932LeadByte(c)) {
            ++i;  // the second byte belongs to the same character
        } else if (c >= 'a' && c <= 'z') {
            upper[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

bool NamesArchive(std::string_view cp932_path) {
    return UpperCaseAscii(cp932_path).find(".LZH") != std::string::npos;
}

bool NamesDescription(std::string_view cp932_path) {
    return UpperCaseAscii(cp932_path).find(".TXT") != std::string::npos;
}

std::string MunicipalityCodeOfDescription(const std::filesystem::path& path) {
    const SplitPath split = Split(path);
    // The sheet folder is assumed to be as long as the file's base name; one more for
    // the separator that ends the folder part.
    const std::ptrdiff_t skipped = static_cast<std::ptrdiff_t>(split.base_name.size()) + 1;
    std::ptrdiff_t first = static_cast<std::ptrdiff_t>(split.folder.size()) - skipped - 6;
    std::ptrdiff_t last = first + 5;  // one past
    first = std::max<std::ptrdiff_t>(first, 0);
    last = std::min<std::ptrdiff_t>(last, static_cast<std::ptrdiff_t>(split.folder.size()));
    if (first >= last) return {};
    return split.folder.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(last - first));
}

bool AddSheetSource(SheetList& sheets, const MunicipalityTable& municipalities,
                    const ArchiveEntryPoints& archives, const std::filesystem::path& picked) {
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(picked, ec).lexically_normal();
    const SplitPath split = Split(path);
    if (split.upper_file_name.find(".LZH") != std::string::npos) {
        AddArchiveRows(sheets, municipalities, archives, path, split.base_name);
        return false;
    }
    if (split.upper_file_name.find(".TXT") != std::string::npos) {
        AddDescriptionRow(sheets, municipalities, path, split);
        return true;
    }
    return false;
}

}  // namespace gridora
