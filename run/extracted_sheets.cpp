#include "run/extracted_sheets.h"

#include <stdlib.h>

#include <algorithm>
#include <system_error>
#include <vector>

#include "input/archive_binding.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "run/staging.h"

namespace gridora {

PrivateExtractionFolder::PrivateExtractionFolder(const std::filesystem::path& output_folder) {
    std::error_code ec;
    std::filesystem::create_directories(output_folder, ec);
    const std::string name_template = (output_folder / ".gridora-XXXXXX").native();
    std::vector<char> name(name_template.begin(), name_template.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) return;
    path_ = std::filesystem::path(name.data());
    // Marked as the program's, so that a run that leaves it behind (killed) has it removed
    // by the next.
    if (!MarkProgramFolder(path_)) {
        std::filesystem::remove_all(path_, ec);
        path_.clear();
    }
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

namespace {

// The member pattern that selects a sheet's files: everything below its folder.
std::string SheetPattern(std::string_view sheet) { return std::string(sheet) + "/*.*"; }

// ASCII letters compared without regard to case, as the archive library matches names.
bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

std::string SheetsExtractionCommand(const std::filesystem::path& archive, const std::filesystem::path& output_folder,
                                    std::span<const std::string> sheets) {
    std::string destination = output_folder.native();
    if (destination.empty() || destination.back() != '/') destination += '/';
    std::string command = " e -x1 ";
    command += CommandLineWord(archive.native());
    command += ' ';
    command += CommandLineWord(destination);
    for (const std::string& sheet : sheets) {
        command += ' ';
        command += CommandLineWord(SheetPattern(sheet));
    }
    command += " -p2 -y1";
    return command;
}

std::string SheetExtractionCommand(const std::filesystem::path& archive,
                                   const std::filesystem::path& output_folder, std::string_view sheet) {
    const std::string sheets[] = {std::string(sheet)};
    return SheetsExtractionCommand(archive, output_folder, sheets);
}

ExtractedArchive::ExtractedArchive(std::filesystem::path archive, const std::filesystem::path& output_folder)
    : archive_(std::move(archive)), folder_(output_folder) {}

ExtractedArchive::~ExtractedArchive() { Finish(); }

bool ExtractedArchive::Start(const ArchiveEntryPoints& archives, std::span<const std::string> sheets,
                             bool in_background) {
    Finish();
    sheets_.clear();
    extracted_ = false;
    if (!folder_.created() || !archives.UnlhaOpenArchive || !archives.UnlhaFindFirst || !archives.UnlhaCloseArchive ||
        !archives.Unlha)
        return false;
    UnlhaArchive listing = archives.UnlhaOpenArchive(nullptr, archive_.c_str(), 0);
    if (!listing) return false;
    std::vector<std::string> present;
    UnlhaEntryInfo entry{};
    for (const std::string& sheet : sheets) {
        // Two rows whose names differ only in case would share the folders they extract
        // into; the later one is left to an extraction of its own.
        const bool shares_folder = std::any_of(present.begin(), present.end(), [&](const std::string& other) {
            return SameNameIgnoringCase(other, sheet);
        });
        if (!shares_folder && archives.UnlhaFindFirst(listing, SheetPattern(sheet).c_str(), &entry) == 0)
            present.push_back(sheet);
    }
    archives.UnlhaCloseArchive(listing);
    if (present.empty()) return false;

    sheets_.insert(present.begin(), present.end());
    auto extract = [this, unlha = archives.Unlha, command = SheetsExtractionCommand(archive_, folder_.Path(), present)] {
        // The library's report is not read; its buffer only has to be there.
        try {
            std::vector<char> report(6001, '\0');
            extracted_ = unlha(nullptr, command.c_str(), report.data(), 6000) == 0;
        } catch (...) {
            extracted_ = false;
        }
    };
    if (in_background) {
        try {
            extraction_ = std::thread(extract);
            return true;
        } catch (const std::system_error&) {
            // No thread to be had: extract here.
        }
    }
    extract();
    return true;
}

void ExtractedArchive::Finish() {
    if (extraction_.joinable()) extraction_.join();
    // What came out before a failure stays unused and goes with the folder.
    if (!extracted_) sheets_.clear();
}

bool ExtractedArchive::Holds(const std::filesystem::path& archive, std::string_view sheet) {
    if (archive != archive_) return false;
    Finish();
    return sheets_.find(sheet) != sheets_.end();
}

void ExtractedArchive::Release(std::string_view sheet) {
    Finish();
    const auto held = sheets_.find(sheet);
    if (held == sheets_.end()) return;
    sheets_.erase(held);
    // The library matches folder names without regard to case, so the sheet's files may
    // lie in a folder spelt otherwise than its row.
    const std::string name = Cp932ToUtf8(sheet);
    std::error_code ec;
    std::vector<std::filesystem::path> folders;
    for (std::filesystem::directory_iterator it(folder_.Path(), ec), end; !ec && it != end; it.increment(ec))
        if (SameNameIgnoringCase(it->path().filename().native(), name)) folders.push_back(it->path());
    for (const std::filesystem::path& folder : folders) std::filesystem::remove_all(folder, ec);
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
