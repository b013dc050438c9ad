// Archived sheets during a run: each is extracted into a folder of its own that the run
// creates fresh inside the output folder, converted from there and removed again with that
// folder. The archive library extracts the members below the sheet's folder (SHEET/...),
// keeping their folder paths, so a sheet lands in output/.gridora-XXXXXX/SHEET/. Nothing
// the user keeps in the output folder (a folder named like the sheet, a link of that name)
// is written through or removed; messages name the sheet as if it lay in output/SHEET/.
#pragma once

#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "platform/message_port.h"

namespace gridora {

struct ArchiveEntryPoints;

// A folder created fresh (mode 0700, with mkdtemp) inside the output folder for one
// extraction, and removed with everything in it when the object ends. Its name starts
// with ".gridora-"; mkdtemp never reuses or follows an existing name, so nobody else's
// files or links are inside. The output folder is created when missing.
class PrivateExtractionFolder {
public:
    explicit PrivateExtractionFolder(const std::filesystem::path& output_folder);
    ~PrivateExtractionFolder();
    PrivateExtractionFolder(const PrivateExtractionFolder&) = delete;
    PrivateExtractionFolder& operator=(const PrivateExtractionFolder&) = delete;

    // False when the folder could not be created; Path() is then empty.
    bool created() const { return !path_.empty(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Passes every text on to `inner` with each occurrence of `from` replaced by `to` (CP932
// bytes both), so that messages about files in a private extraction folder name them
// where the user expects them.
class PathRewritingPort : public MessagePort {
public:
    PathRewritingPort(MessagePort& inner, std::string from, std::string to)
        : inner_(inner), from_(std::move(from)), to_(std::move(to)) {}
    void ShowMessage(std::string_view cp932) override { inner_.ShowMessage(Rewrite(cp932)); }
    void SetStatus(std::string_view cp932) override { inner_.SetStatus(Rewrite(cp932)); }
    void ProcessEvents() override { inner_.ProcessEvents(); }

    std::string Rewrite(std::string_view cp932) const;

private:
    MessagePort& inner_;
    std::string from_;
    std::string to_;
};

// The command line that extracts every member below the folder `sheet` of `archive` into
// `output_folder`: ` e -x1 "ARCHIVE" "OUTPUT/" "SHEET/*.*" -p2 -y1`, every path and the
// pattern quoted. Paths are file-system text; `sheet` is CP932, as the row holds it, and
// matches the stored member names.
std::string SheetExtractionCommand(const std::filesystem::path& archive,
                                   const std::filesystem::path& output_folder, std::string_view sheet);

// The same for several sheets of one archive in one call: one pattern per sheet, in the
// order given.
std::string SheetsExtractionCommand(const std::filesystem::path& archive, const std::filesystem::path& output_folder,
                                    std::span<const std::string> sheets);

// Sheets of one archive extracted together, by one call of the archive library, into one
// private folder of the output folder, ahead of the rows that convert them: the archive
// is read once for all of them instead of once per sheet. The call may run on a thread of
// its own while earlier rows convert; every question to the object waits for it to end.
// Each sheet's folder is removed when its row is done (Release); the private folder goes
// with the object, after the extraction has ended.
class ExtractedArchive {
public:
    ExtractedArchive(std::filesystem::path archive, const std::filesystem::path& output_folder);
    ~ExtractedArchive();
    ExtractedArchive(const ExtractedArchive&) = delete;
    ExtractedArchive& operator=(const ExtractedArchive&) = delete;

    // Lists the archive here and now: of `sheets` (CP932), those with members, as the
    // pattern each sheet's own extraction uses finds them, are to be extracted; the
    // others are not held, so that their rows meet the archive as before. Then extracts
    // them in one call, on a thread of its own when `in_background`. False, and nothing
    // held, when the listing finds none of them (or cannot be made).
    bool Start(const ArchiveEntryPoints& archives, std::span<const std::string> sheets, bool in_background);

    // Whether `sheet` of `archive` lies extracted in Folder(); nothing is held when the
    // extraction failed.
    bool Holds(const std::filesystem::path& archive, std::string_view sheet);
    const std::filesystem::path& Folder() const { return folder_.Path(); }
    // Removes the sheet's folder, whatever the case of its name on disk, and forgets it.
    void Release(std::string_view sheet);

private:
    // Waits for the extraction; afterwards sheets_ holds what it extracted.
    void Finish();

    std::filesystem::path archive_;
    PrivateExtractionFolder folder_;
    std::set<std::string, std::less<>> sheets_;
    std::thread extraction_;
    bool extracted_ = false;  // written by the extraction, read after Finish
};

// Where the extracted sheet's description is: output/SHEET/SHEET.TXT (`sheet` CP932, the
// names on disk in the file-system encoding), found without regard
// to case (archives made on Windows may hold 09ld171/09ld171.txt). The exact-case path when
// there is no such file.
std::filesystem::path ExtractedDescriptionPath(const std::filesystem::path& output_folder,
                                               std::string_view sheet);

// Whether `sheet` names one folder directly inside the output folder, so that extracting
// into it and removing it cannot touch anything else: not empty, not "." or "..", and
// without separators.
bool IsPlainSheetFolderName(std::string_view sheet);

// Removes output/SHEET and everything below it (for callers that extract straight into a
// folder of their own), ignoring every failure. Does nothing for a
// sheet name that IsPlainSheetFolderName refuses.
void RemoveExtractedSheet(const std::filesystem::path& output_folder, std::string_view sheet);

}  // namespace gridora
