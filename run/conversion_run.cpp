#include "run/conversion_run.h"

#include <exception>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "convert/seamless_assembly.h"
#include "convert/sheet_dispatch.h"
#include "input/sheet_intake.h"
#include "input/text_fields.h"
#include "mapserver/map_file_writer.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "platform/program_files.h"
#include "run/extracted_sheets.h"
#include "run/extraction_schedule.h"
#include "run/list_file.h"
#include "run/run_scopes.h"
#include "run/run_statistics.h"

namespace gridora {
namespace {

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
enum class RowResult { kConverted, kRefused, kNotConverted, kExtractionFailed, kOutputStopped };

struct RunContext {
    SheetList& sheets;
    const RunRequest& request;
    SheetConversionState& state;
    const ArchiveEntryPoints& archives;
    MessagePort& port;
    std::filesystem::path list_file;
    std::filesystem::path output_folder;
    ExtractionSchedule& extractions;
};

// Converts one sheet description, reporting a description or data it cannot use.
RowResult ConvertDescription(RunContext& run, const std::filesystem::path& description,
                             std::string_view municipality_code) {
    SheetOutcome outcome;
    try {
        outcome = ConvertSheet(description, municipality_code, run.list_file, run.state, run.port);
    } catch (const OutputStopped& stopped) {
        run.port.ShowMessage(stopped.what());
        return RowResult::kOutputStopped;
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
    RunContext sheet_run{run.sheets,    run.request,       run.state,      run.archives,
                         port,          run.list_file,     run.output_folder, run.extractions};
    return ConvertAnnounced(sheet_run, ExtractedDescriptionPath(folder, row.sheet_name), row.municipality_code);
}

// Converts an archived sheet from the folder the schedule extracted it into; the sheet's
// folder, and only it, is removed whatever happens.
RowResult ConvertArchivedSheet(RunContext& run, std::size_t index, const std::filesystem::path& archive,
                               const SheetRowFields& row) {
    const std::optional<ExtractionSchedule::SheetFolder> folder =
        run.extractions.ExtractRow(index, archive, row.sheet_name);
    if (!folder) return RowResult::kExtractionFailed;
    return ConvertExtracted(run, folder->Path(), row);
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
        if (result == RowResult::kExtractionFailed || result == RowResult::kOutputStopped) return false;
        if (i >= run.sheets.size()) break;  // rows deleted while the queue ran
        if (result == RowResult::kRefused) run.sheets.SetText(i, ToCp932("座標系エラー：") + run.sheets.Text(i));
        if (result != RowResult::kNotConverted) run.sheets.SetChecked(i, false);
        run.port.ProcessEvents();

        run.sheets.FollowRun(++processed);
        run.port.ProcessEvents();
    }
    return true;
}

// A run needs a first row and a list file; otherwise it refuses with the message of what
// is missing.
bool AdmitRequest(const SheetList& sheets, const RunRequest& request, MessagePort& port) {
    if (sheets.empty() || IsBlank(sheets.Text(0))) {
        port.ShowMessage("Open File Name Error");
        return false;
    }
    if (IsBlank(request.list_file)) {
        port.ShowMessage("Save Path Name Error");
        return false;
    }
    return true;
}

// Every row starts checked, and the run from nothing: fresh work arrays and run state, and
// no layer file counts as made, so this run creates its own files and the map file lists
// only its layers.
void StartRun(RunContext& run) {
    run.port.ProcessEvents();
    run.sheets.CheckAll();
    run.port.ProcessEvents();
    run.state.Reset();
    run.state.files_made = LayerFilesMade{};
}

// Converts the rows into the layer files, held open from sheet to sheet. Whether the loop
// visited every row (true) or stopped early, the extractions have ended and the Shapefiles
// are complete when it returns.
bool ConvertSheets(RunContext& run) {
    HeldOutputFiles held_outputs(run.state);
    bool completed = ConvertRows(run);
    run.extractions.Stop();
    try {
        run.state.output_files.Finish();
    } catch (const OutputStopped& stopped) {
        run.port.ShowMessage(stopped.what());
        completed = false;
    }
    held_outputs.Close();
    run.sheets.SetCurrentRow(std::nullopt);
    return completed;
}

// Frees the work arrays, which the steps after the sheets do not use, returning the
// capacities they reached for the statistics.
WorkArrayCapacities ReleaseWorkArrays(SheetConversionState& state) {
    const WorkArrayCapacities capacities = CapacitiesOf(state.work_arrays);
    state.work_arrays = WorkArrays{};
    return capacities;
}

// Rebuilds the polygons that sheet edges cut, from the side files the polygon writers left
// in the output folder; false when the output stopped it.
bool AssembleSeamlessPolygons(RunContext& run) {
    run.port.SetStatus(ToCp932("シームレス処理実行中"));
    run.port.ProcessEvents();
    SeamlessRequest seamless{run.output_folder, run.request.donut, run.request.error_file,
                             run.state.projections.ForRun(run.state.coordinate_system)};
    try {
        SeamlessAssembly(seamless, run.state.shape, run.state.statistics, run.port);
    } catch (const OutputStopped& stopped) {
        run.port.ShowMessage(stopped.what());
        return false;
    }
    return true;
}

// Writes the map file, PHP page and support files for the layers the run produced.
void WriteMapFiles(RunContext& run) {
    MapFilesRequest map;
    map.list_file = run.list_file;
    map.settings = run.request.map_settings ? *run.request.map_settings : LoadMapSettings(run.request.settings_file);
    map.results = run.state.Results();
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

RunOutcome RunConversion(SheetList& sheets, const RunRequest& request, SheetConversionState& state,
                         const ArchiveEntryPoints& archives, MessagePort& port) {
    state.coordinate_system = RunCoordinateSystem{};
    port.ProcessEvents();
    if (!AdmitRequest(sheets, request, port)) return RunOutcome::kRefused;

    const std::filesystem::path output_folder = OutputFolderOf(request.list_file);
    ExtractionSchedule extractions(sheets, archives, output_folder);
    RunContext run{sheets, request, state, archives, port, request.list_file, output_folder, extractions};
    ExecuteButtonLock execute(request.set_execute_enabled);

    StartRun(run);
    bool completed = ConvertSheets(run);
    const WorkArrayCapacities capacities = ReleaseWorkArrays(state);
    WriteListFile(run.list_file, sheets);
    completed = AssembleSeamlessPolygons(run) && completed;
    WriteMapFiles(run);
    execute.Enable();
    WriteRunStatistics(request.settings_file, capacities, state.statistics);

    port.SetStatus(ToCp932("処理終了"));
    const RunOutcome outcome = completed ? RunOutcome::kCompleted : RunOutcome::kInterrupted;
    port.ShowMessage(RunClosingMessage(outcome));
    return outcome;
}

}  // namespace gridora
