#include "run/extraction_schedule.h"

#include <algorithm>

#include "input/archive_binding.h"
#include "input/sheet_intake.h"
#include "run/list_file.h"

namespace gridora {
namespace {

// The archive library's report buffer: 6001 characters, of which it may fill 6000. Its
// contents are not read.
constexpr std::size_t kArchiveReportSize = 6000;

}  // namespace

std::vector<std::string> ArchiveSheetsFrom(const SheetList& sheets, std::size_t first,
                                           const std::filesystem::path& archive) {
    std::vector<std::string> found;
    for (std::size_t j = first; j < sheets.size(); ++j) {
        const SheetRowFields row = SplitSheetRow(sheets.Text(j));
        if (!NamesArchive(row.source_path) || sheets.SourceFile(j) != archive) break;
        if (!IsPlainSheetFolderName(row.sheet_name) || SheetAlreadyListed(sheets, j, row.sheet_name)) continue;
        found.push_back(row.sheet_name);
    }
    return found;
}

ExtractionSchedule::SheetFolder::SheetFolder(SheetFolder&& other) noexcept
    : own_(std::move(other.own_)), group_(std::move(other.group_)), sheet_(std::move(other.sheet_)) {}

ExtractionSchedule::SheetFolder::~SheetFolder() {
    if (group_) group_->Release(sheet_);
}

const std::filesystem::path& ExtractionSchedule::SheetFolder::Path() const {
    return group_ ? group_->Folder() : own_->Path();
}

ExtractionSchedule::ExtractionSchedule(const SheetList& sheets, const ArchiveEntryPoints& archives,
                                       std::filesystem::path output_folder, std::size_t archives_ahead)
    : sheets_(sheets),
      archives_(archives),
      output_folder_(std::move(output_folder)),
      archives_ahead_(std::max<std::size_t>(archives_ahead, 1)) {}

std::optional<ExtractionSchedule::SheetFolder> ExtractionSchedule::ExtractRow(std::size_t index,
                                                                              const std::filesystem::path& archive,
                                                                              std::string_view sheet) {
    // Extractions of archives whose rows have come (or were passed) are done with.
    while (!extracting_next_.empty() && extracting_next_.front().first_row <= index) {
        std::shared_ptr<ExtractedArchive> next = std::move(extracting_next_.front().extraction);
        extracting_next_.pop_front();
        if (next && next->Holds(archive, sheet)) extracted_ahead_ = std::move(next);
    }
    if (extracted_ahead_ && extracted_ahead_->Holds(archive, sheet)) {
        StartNextArchives(index, archive);
        return SheetFolder(extracted_ahead_, std::string(sheet));
    }
    extracted_ahead_.reset();

    auto own = std::make_unique<PrivateExtractionFolder>(output_folder_);
    if (!own->created()) return std::nullopt;
    const std::string command = SheetExtractionCommand(archive, own->Path(), sheet);
    char report[kArchiveReportSize + 1] = {};
    if (archives_.Unlha(nullptr, command.c_str(), report, kArchiveReportSize) != 0) return std::nullopt;
    const std::vector<std::string> following = ArchiveSheetsFrom(sheets_, index + 1, archive);
    if (!following.empty()) {
        auto ahead = std::make_shared<ExtractedArchive>(archive, output_folder_);
        if (ahead->Start(archives_, following, true)) extracted_ahead_ = std::move(ahead);
    }
    return SheetFolder(std::move(own));
}

// Once an archive's rows are under way, starts extracting the sheets of the archives that
// follow in the list (after the rows of the one at `index`), up to archives_ahead_ of them,
// so that they lie ready when their rows come.
void ExtractionSchedule::StartNextArchives(std::size_t index, const std::filesystem::path& archive) {
    std::size_t next = index + 1;
    std::filesystem::path after = archive;
    if (!extracting_next_.empty()) {
        next = extracting_next_.back().first_row;
        after = sheets_.SourceFile(next);
    }
    while (extracting_next_.size() < archives_ahead_) {
        while (next < sheets_.size() && sheets_.SourceFile(next) == after) ++next;
        while (next < sheets_.size() && !NamesArchive(SplitSheetRow(sheets_.Text(next)).source_path)) ++next;
        if (next >= sheets_.size()) return;
        after = sheets_.SourceFile(next);
        const std::vector<std::string> sheets = ArchiveSheetsFrom(sheets_, next, after);
        std::shared_ptr<ExtractedArchive> extraction;
        if (!sheets.empty()) {
            extraction = std::make_shared<ExtractedArchive>(after, output_folder_);
            if (!extraction->Start(archives_, sheets, true)) extraction.reset();
        }
        extracting_next_.push_back({next, std::move(extraction)});
    }
}

void ExtractionSchedule::Stop() {
    extracting_next_.clear();
    extracted_ahead_.reset();
}

}  // namespace gridora
