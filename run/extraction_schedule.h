// When the archived sheets of a run are extracted. The first sheet met in an archive is
// extracted on its own, exactly as any sheet could be; once the archive has opened, the
// sheets of the rows that follow from it are extracted together, and while those rows
// convert, the next archive's sheets are extracted on a thread of their own. A sheet that no
// group extraction holds (it failed, or the rows changed) is extracted on its own again, so
// every row meets the archive as it would on its own. Only the archive library's extraction
// runs on the second thread; it has already worked in this run, so it is there and shows
// nothing.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/sheet_list.h"
#include "run/extracted_sheets.h"

namespace gridora {

struct ArchiveEntryPoints;

// The sheets of the rows from `first` on that come from `archive`, one after the other,
// leaving out those the run skips and names that are not a plain folder.
std::vector<std::string> ArchiveSheetsFrom(const SheetList& sheets, std::size_t first,
                                           const std::filesystem::path& archive);

class ExtractionSchedule {
public:
    // The folder in which one row's sheet lies extracted while the row converts; its sheet
    // is removed when the object ends, with the private folder when the sheet had one alone
    // or was the last of its group.
    class SheetFolder {
    public:
        SheetFolder(SheetFolder&& other) noexcept;
        SheetFolder& operator=(SheetFolder&&) = delete;
        ~SheetFolder();
        const std::filesystem::path& Path() const;

    private:
        friend class ExtractionSchedule;
        explicit SheetFolder(std::unique_ptr<PrivateExtractionFolder> own) : own_(std::move(own)) {}
        SheetFolder(std::shared_ptr<ExtractedArchive> group, std::string sheet)
            : group_(std::move(group)), sheet_(std::move(sheet)) {}

        std::unique_ptr<PrivateExtractionFolder> own_;
        // Rows read ahead may still hold sheets of an archive the schedule has moved past.
        std::shared_ptr<ExtractedArchive> group_;
        std::string sheet_;
    };

    // `archives_ahead`: how many of the next archives may be extracting at once while the
    // current one's rows convert (at least one); a run that reads many sheets at once
    // needs more than one to keep its readers busy.
    ExtractionSchedule(const SheetList& sheets, const ArchiveEntryPoints& archives,
                       std::filesystem::path output_folder, std::size_t archives_ahead = 1);

    // Makes the sheet of row `index` (`sheet`, CP932, from `archive`) lie extracted, starting
    // the extractions that the rows after it will need. Nothing when the archive library
    // could not extract it.
    std::optional<SheetFolder> ExtractRow(std::size_t index, const std::filesystem::path& archive,
                                          std::string_view sheet);

    // Waits for any extraction still running and removes every folder that no SheetFolder
    // holds.
    void Stop();

private:
    void StartNextArchives(std::size_t index, const std::filesystem::path& archive);

    const SheetList& sheets_;
    const ArchiveEntryPoints& archives_;
    std::filesystem::path output_folder_;
    std::size_t archives_ahead_;
    // The sheets of the current archive extracted ahead of their rows, and those of the
    // next archives in row order, extracting while the current one's rows convert.
    std::shared_ptr<ExtractedArchive> extracted_ahead_;
    struct NextArchive {
        std::size_t first_row;
        std::shared_ptr<ExtractedArchive> extraction;  // empty: it had no sheets to extract
    };
    std::deque<NextArchive> extracting_next_;
};

}  // namespace gridora
