#include "convert/conversion_run.h"

#include <exception>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "convert/extracted_sheets.h"
#include "convert/list_file.h"
#include "convert/run_statistics.h"
#include "convert/seamless_assembly.h"
#include "convert/sheet_dispatch.h"
#include "input/sheet_intake.h"
#include "mapserver/map_file_writer.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "platform/program_files.h"

namespace gridora {
namespace {

// The archive library's report buffer: 6001 characters, of which it may fill 6000. Its
// contents are not read.
constexpr std::size_t kArchiveReportSize = 6000;
// The SheetList is scrolled every this many processed rows, keeping the last ten in view.
constexpr std::size_t kScrollInterval = 30;
constexpr std::size_t kRowsKeptAboveScroll = 10;

// Keeps the execute button disabled for a scope: enabled again by Enable() or, whatever
// ends the scope, by the destructor.
class ExecuteButtonLock {
public:
    explicit ExecuteButtonLock(const std::function<void(bool)>& set_enabled) : set_enabled_(set_enabled) {
        if (set_enabled_) set_enabled_(false);
    }
    ~ExecuteButtonLock() { Enable(); }
    ExecuteButtonLock(const ExecuteButtonLock&) = delete;
    ExecuteButtonLock& operator=(const ExecuteButtonLock&) = delete;

    void Enable() {
        if (locked_ && set_enabled_) set_enabled_(true);
        locked_ = false;
    }

private:
    const std::function<void(bool)>& set_enabled_;
    bool locked_ = true;
};

// Holds the run's output Shapefiles open from sheet to sheet for a scope, so that each sheet
// appends to them instead of reopening them. Close() closes them, completing their headers
// and indexes; whatever ends the scope closes them too, and the run state keeps no file
// open afterwards.
class HeldOutputFiles {
public:
    explicit HeldOutputFiles(ConversionRunState& state) : state_(state) { state_.keep_outputs_open = true; }
    ~HeldOutputFiles() { Close(); }
    HeldOutputFiles(const HeldOutputFiles&) = delete;
    HeldOutputFiles& operator=(const HeldOutputFiles&) = delete;

    void Close() {
        state_.CloseOutputFiles();
        state_.keep_outputs_open = false;
    }

private:
    ConversionRunState& state_;
};

// Blanks and control characters at both ends are not text.
bool IsBlank(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

std::string Cp932Path(const std::filesystem::path& path) { return ToCp932(path.native()); }

// Tells the user about a sheet the run could not convert (its row stays checked): what
// went wrong and the sheet description's path, with a detail line when there is one.
void ReportUnconvertedSheet(MessagePort& port, std::string_view what_utf8, const std::filesystem::path& description,
                            std::string_view detail_cp932 = {}) {
    std::string message = ToCp932(what_utf8) + Cp932Path(description);
    if (!detail_cp932.empty()) message.append("\r\n").append(detail_cp932);
    port.ShowMessage(message);
}

// How one row ended.
enum class RowResult { kConverted, kRefused, kNotConverted, kExtractionFailed };

struct RunContext {
    SheetList& sheets;
    const RunRequest& request;
    ConversionRunState& state;
    const ArchiveEntryPoints& archives;
    MessagePort& port;
    std::filesystem::path list_file;
    std::filesystem::path output_folder;
    // The sheets of the current archive extracted ahead of their rows, and those of the
    // next archive, extracting while the current one's rows convert; empty when none.
    std::unique_ptr<ExtractedArchive> extracted_ahead;
    std::unique_ptr<ExtractedArchive> extracting_next;
};

// Converts one sheet description, reporting a description or data it cannot use.
RowResult ConvertDescription(RunContext& run, const std::filesystem::path& description,
                             std::string_view municipality_code) {
    SheetOutcome outcome;
    try {
        outcome = ConvertSheet(description, municipality_code, run.list_file, run.state, run.port);
    } catch (const std::exception& e) {
        ReportUnconvertedSheet(run.port, "図葉を変換できません：", description, ToCp932(e.what()));
        return RowResult::kNotConverted;
    }
    switch (outcome) {
        case SheetOutcome::Converted:
            return RowResult::kConverted;
        case SheetOutcome::CoordinateSystemRefused:
            return RowResult::kRefused;
        case SheetOutcome::Abandoned:
            ReportUnconvertedSheet(run.port, "図葉を変換できません：", description);
            return RowResult::kNotConverted;
        case SheetOutcome::DescriptionUnreadable:
            break;
    }
    ReportUnconvertedSheet(run.port, "図葉記述ファイルを開けません：", description);
    return RowResult::kNotConverted;
}

// Converts a sheet description, announcing it in the status bar first.
RowResult ConvertAnnounced(RunContext& run, const std::filesystem::path& description,
                           std::string_view municipality_code) {
    run.port.SetStatus(Cp932Path(description) + ToCp932("処理中"));
    run.port.ProcessEvents();
    return ConvertDescription(run, description, municipality_code);
}

// Converts a sheet extracted into `folder`, a private folder of the output folder. The
// messages of the sheet name its files as they would lie in output/SHEET/.
RowResult ConvertExtracted(RunContext& run, const std::filesystem::path& folder, const SheetRowFields& row) {
    PathRewritingPort port(run.port, Cp932Path(folder), Cp932Path(run.output_folder));
    RunContext sheet_run{run.sheets, run.request, run.state, run.archives, port, run.list_file, run.output_folder, {}, {}};
    return ConvertAnnounced(sheet_run, ExtractedDescriptionPath(folder, row.sheet_name), row.municipality_code);
}

// The sheets of the rows from `first` on that come from `archive`, one after the other,
// leaving out those the loop skips and names that are not a plain folder.
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

// Once an archive's rows are under way, starts extracting the sheets of the next archive
// in the list (after the rows of the one at `index`) on a thread of its own, so that they
// lie ready when its rows come. Only the archive library's extraction runs there; it has
// already worked in this run, so it is there and shows nothing.
void StartNextArchive(RunContext& run, std::size_t index, const std::filesystem::path& archive) {
    if (run.extracting_next) return;
    std::size_t next = index + 1;
    while (next < run.sheets.size() && run.sheets.SourceFile(next) == archive) ++next;
    while (next < run.sheets.size() && !NamesArchive(SplitSheetRow(run.sheets.Text(next)).source_path)) ++next;
    if (next >= run.sheets.size()) return;
    const std::filesystem::path next_archive = run.sheets.SourceFile(next);
    const std::vector<std::string> sheets = ArchiveSheetsFrom(run.sheets, next, next_archive);
    if (sheets.empty()) return;
    auto extraction = std::make_unique<ExtractedArchive>(next_archive, run.output_folder);
    if (extraction->Start(run.archives, sheets, true)) run.extracting_next = std::move(extraction);
}

// Extracts an archived sheet into a private folder of the output folder and converts it
// from there; the private folder, and only it, is removed whatever happens. The first
// sheet met in an archive is extracted on its own, exactly as any sheet could be; once
// the archive has opened, the sheets of the rows that follow from it are extracted
// together, and each of those rows converts from there, while the next archive's sheets
// are extracted in the background. A sheet no group extraction holds (it failed, or the
// rows changed) is extracted on its own again, so every row meets the archive as it
// would on its own.
RowResult ConvertArchivedSheet(RunContext& run, std::size_t index, const std::filesystem::path& archive,
                               const SheetRowFields& row) {
    if (run.extracting_next && run.extracting_next->Holds(archive, row.sheet_name))
        run.extracted_ahead = std::move(run.extracting_next);
    if (run.extracted_ahead && run.extracted_ahead->Holds(archive, row.sheet_name)) {
        StartNextArchive(run, index, archive);
        const RowResult result = ConvertExtracted(run, run.extracted_ahead->Folder(), row);
        run.extracted_ahead->Release(row.sheet_name);
        return result;
    }
    run.extracted_ahead.reset();

    RowResult result = RowResult::kExtractionFailed;
    {
        const PrivateExtractionFolder extraction(run.output_folder);
        if (!extraction.created()) return RowResult::kExtractionFailed;
        const std::string command = SheetExtractionCommand(archive, extraction.Path(), row.sheet_name);
        char report[kArchiveReportSize + 1] = {};
        if (run.archives.Unlha(nullptr, command.c_str(), report, kArchiveReportSize) != 0)
            return RowResult::kExtractionFailed;
        const std::vector<std::string> following = ArchiveSheetsFrom(run.sheets, index + 1, archive);
        if (!following.empty()) {
            auto ahead = std::make_unique<ExtractedArchive>(archive, run.output_folder);
            if (ahead->Start(run.archives, following, true)) run.extracted_ahead = std::move(ahead);
        }
        result = ConvertExtracted(run, extraction.Path(), row);
    }
    return result;
}

RowResult ConvertRow(RunContext& run, std::size_t index, const SheetRowFields& row) {
    const std::filesystem::path source = run.sheets.SourceFile(index);
    if (NamesArchive(row.source_path)) return ConvertArchivedSheet(run, index, source, row);
    return ConvertAnnounced(run, source, row.municipality_code);
}

// The loop over the rows; true when it visited every row.
bool ConvertRows(RunContext& run) {
    std::size_t processed = 0;
    for (std::size_t i = 0; i < run.sheets.size(); ++i) {
        const SheetRowFields row = SplitSheetRow(run.sheets.Text(i));
        if (SheetAlreadyListed(run.sheets, i, row.sheet_name)) continue;
        run.sheets.SetCurrentRow(i);

        const RowResult result = ConvertRow(run, i, row);
        if (result == RowResult::kExtractionFailed) return false;
        if (i >= run.sheets.size()) break;  // rows deleted while the queue ran
        if (result == RowResult::kRefused) run.sheets.SetText(i, ToCp932("座標系エラー：") + run.sheets.Text(i));
        if (result != RowResult::kNotConverted) run.sheets.SetChecked(i, false);
        run.port.ProcessEvents();

        ++processed;
        if ((processed + 1) % kScrollInterval == 0) run.sheets.ScrollTo(processed - kRowsKeptAboveScroll);
        run.port.ProcessEvents();
    }
    return true;
}

// Rebuilds the polygons that sheet edges cut, from the side files the polygon writers left
// in the output folder.
void AssembleSeamlessPolygons(RunContext& run) {
    SeamlessRequest seamless{run.output_folder, run.request.donut, run.request.error_file,
                             run.state.projections.ForRun(run.state.coordinate_system)};
    SeamlessAssembly(seamless, run.state.shape, run.state.statistics, run.port);
}

// Writes the map file, PHP page and support files for the layers the run produced.
void WriteMapFiles(RunContext& run) {
    MapFilesRequest map;
    map.list_file = run.list_file;
    map.settings = run.request.map_settings ? *run.request.map_settings : LoadMapSettings(run.request.settings_file);
    map.coordinate_system = run.state.coordinate_system;
    map.extent = run.state.extent;
    map.files_made = run.state.files_made;
    map.program_folder = run.request.program_folder.empty() ? ProgramFolder() : run.request.program_folder;
    WriteMapServerFiles(map, run.archives, run.port);
}

}  // namespace

std::string RunClosingMessage(RunOutcome outcome) {
    return ToCp932(outcome == RunOutcome::kCompleted ? "変換が終了しました" : "変換が中断しました");
}

std::filesystem::path OutputFolderOf(const std::filesystem::path& list_file) {
    std::filesystem::path folder = list_file.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

RunOutcome RunConversion(SheetList& sheets, const RunRequest& request, ConversionRunState& state,
                         const ArchiveEntryPoints& archives, MessagePort& port) {
    state.coordinate_system = RunCoordinateSystem{};
    port.ProcessEvents();
    if (sheets.empty() || IsBlank(sheets.Text(0))) {
        port.ShowMessage("Open File Name Error");
        return RunOutcome::kRefused;
    }
    if (IsBlank(request.list_file)) {
        port.ShowMessage("Save Path Name Error");
        return RunOutcome::kRefused;
    }

    RunContext run{sheets, request, state, archives, port, request.list_file, OutputFolderOf(request.list_file), {}, {}};
    ExecuteButtonLock execute(request.set_execute_enabled);
    port.ProcessEvents();
    sheets.CheckAll();
    port.ProcessEvents();

    // A run starts from nothing: fresh work arrays and run state, and no layer file counts
    // as made, so this run creates its own files and the map file lists only its layers.
    state.Reset();
    state.files_made = LayerFilesMade{};

    HeldOutputFiles held_outputs(state);
    const bool completed = ConvertRows(run);
    run.extracting_next.reset();
    run.extracted_ahead.reset();
    // Whether the loop visited every row or stopped early, the Shapefiles are complete
    // before anything after it runs.
    held_outputs.Close();
    sheets.SetCurrentRow(std::nullopt);

    const WorkArrayCapacities capacities = CapacitiesOf(state.work_arrays);
    state.work_arrays = WorkArrays{};

    WriteListFile(run.list_file, sheets);

    port.SetStatus(ToCp932("シームレス処理実行中"));
    port.ProcessEvents();
    AssembleSeamlessPolygons(run);
    WriteMapFiles(run);

    execute.Enable();
    WriteRunStatistics(request.settings_file, capacities, state.statistics);

    port.SetStatus(ToCp932("処理終了"));
    const RunOutcome outcome = completed ? RunOutcome::kCompleted : RunOutcome::kInterrupted;
    port.ShowMessage(RunClosingMessage(outcome));
    return outcome;
}

}  // namespace gridora
