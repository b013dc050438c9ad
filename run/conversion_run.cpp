#include "run/conversion_run.h"

#include <algorithm>
#include <deque>
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
#include "run/run_progress.h"
#include "run/run_scopes.h"
#include "run/run_statistics.h"
#include "run/sheet_readers.h"
#include "run/staging.h"

namespace gridora {
namespace {

std::string Cp932Path(const std::filesystem::path& path) { return ToCp932(path.native()); }

// The job count the user asked for, 0 meaning every processor.
unsigned JobCount(unsigned asked) { return asked > 0 ? asked : DefaultJobCount(); }

// The reader threads for a job count: none for one job, so that the run reads each sheet
// itself.
unsigned ReaderThreads(unsigned jobs) { return jobs > 1 ? jobs : 0; }

// How many archives extract at once ahead of the rows: one keeps pace with a few readers
// (an archive extracts faster than its sheets convert on two processors); more readers
// need more, within a bound on the disk space the extracted sheets take.
std::size_t ArchivesAhead(unsigned jobs) { return std::clamp<std::size_t>(jobs / 2, 1, 8); }

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

// How the loop over the rows ended.
enum class RowsResult {
    kAllVisited,
    kExtractionFailed,
    kStopped,        // asked to stop at a sheet boundary
    kOutputStopped,  // an output file could not take more (size limit, disk full)
};

struct RunContext {
    SheetList& sheets;
    const RunRequest& request;
    SheetConversionState& state;
    const ArchiveEntryPoints& archives;
    MessagePort& port;
    // Where the writers put the list file and the output: in the staging folder, or in the
    // output folder itself when no staging folder could be made.
    std::filesystem::path list_file;
    std::filesystem::path output_folder;  // where the output is put in place
    ExtractionSchedule& extractions;
    ProgressRecorder* progress;  // when the run has a staging folder
};

// A row on its way through the run: handed out in row order (its archived sheet extracted
// first), read by the sheet readers, committed in row order.
struct RowInFlight {
    std::size_t index = 0;
    std::optional<ExtractionSchedule::SheetFolder> folder;  // an archived sheet's, held until committed
    bool extraction_failed = false;
    std::shared_ptr<SheetJob> job;
};

// Hands out row `index` to the readers unless the run skips it; false when it skips it.
// An archived sheet is extracted first; a row whose sheet cannot be extracted is queued
// as failed, for the commit to end the loop there.
bool HandOutRow(RunContext& run, std::size_t index, SheetReaders& readers, std::deque<RowInFlight>& rows) {
    const SheetRowFields row = SplitSheetRow(run.sheets.Text(index));
    if (SheetAlreadyListed(run.sheets, index, row.sheet_name)) return false;
    RowInFlight& handed = rows.emplace_back();
    handed.index = index;
    handed.job = std::make_shared<SheetJob>();
    SheetJob& job = *handed.job;
    job.municipality_code = row.municipality_code;
    job.output_folder = run.list_file.parent_path();
    job.known_system = run.state.coordinate_system;
    const std::filesystem::path source = run.sheets.SourceFile(index);
    if (NamesArchive(row.source_path)) {
        if (std::optional<ExtractionSchedule::SheetFolder> folder = run.extractions.ExtractRow(index, source, row.sheet_name))
            handed.folder.emplace(std::move(*folder));
        if (!handed.folder) {
            handed.extraction_failed = true;
            return true;
        }
        job.description = ExtractedDescriptionPath(handed.folder->Path(), row.sheet_name);
    } else {
        job.description = source;
    }
    readers.Read(handed.job);
    return true;
}

// Takes a read sheet into the run, reporting a description or data it cannot use, after
// what reading it reported (unless the run refuses the sheet's coordinate system, which
// the run would have done before reading on).
RowResult CommitDescription(RunContext& run, MessagePort& port, SheetJob& job) {
    const bool admitted = SheetAdmitted(job.reading, run.state.coordinate_system);
    if (admitted) job.messages.ReplayInto(port);
    if (job.failed) {
        if (!admitted) return RowResult::kRefused;
        ReportUnconvertedSheet(port, "図葉を変換できません：", job.description, ToCp932(job.error));
        return RowResult::kNotConverted;
    }
    SheetOutcome outcome;
    try {
        outcome = CommitSheet(job.reading, run.state, port);
    } catch (const OutputStopped& stopped) {
        port.ShowMessage(stopped.what());
        return RowResult::kOutputStopped;
    } catch (const std::exception& e) {
        ReportUnconvertedSheet(port, "図葉を変換できません：", job.description, ToCp932(e.what()));
        return RowResult::kNotConverted;
    }
    switch (outcome) {
        case SheetOutcome::Converted:
            return RowResult::kConverted;
        case SheetOutcome::CoordinateSystemRefused:
            return RowResult::kRefused;
        case SheetOutcome::Abandoned:
            ReportUnconvertedSheet(port, "図葉を変換できません：", job.description);
            return RowResult::kNotConverted;
        case SheetOutcome::DescriptionUnreadable:
            break;
    }
    ReportUnconvertedSheet(port, "図葉記述ファイルを開けません：", job.description);
    return RowResult::kNotConverted;
}

// Commits a row's sheet, announcing it in the status bar first. The messages of an
// extracted sheet name its files as they would lie in output/SHEET/.
RowResult CommitRow(RunContext& run, RowInFlight& row) {
    std::optional<PathRewritingPort> extracted;
    if (row.folder) extracted.emplace(run.port, Cp932Path(row.folder->Path()), Cp932Path(run.output_folder));
    MessagePort& port = extracted ? static_cast<MessagePort&>(*extracted) : run.port;
    port.SetStatus(Cp932Path(row.job->description) + ToCp932("処理中"));
    port.ProcessEvents();
    return CommitDescription(run, port, *row.job);
}

// The loop over the rows, from `first` on; `processed` rows were converted before it. Rows
// are handed out ahead, up to two per reader, and committed one by one in row order; at
// every commit the run may stop, dropping what was read ahead.
RowsResult ConvertRows(RunContext& run, std::size_t first, std::size_t processed) {
    std::deque<RowInFlight> rows;  // before the readers: they end first, with the reads under way
    SheetReaders readers(ReaderThreads(JobCount(run.request.jobs)), run.state.work_arrays, run.port);
    const std::size_t ahead = readers.Threads() == 0 ? 1 : 2 * std::size_t{readers.Threads()};
    std::size_t next = first;
    bool handing_out = true;
    for (;;) {
        while (handing_out && rows.size() < ahead && next < run.sheets.size()) {
            if (HandOutRow(run, next++, readers, rows) && rows.back().extraction_failed) handing_out = false;
        }
        if (rows.empty()) return RowsResult::kAllVisited;
        RowInFlight& row = rows.front();
        const std::size_t i = row.index;
        if (run.request.stop_requested && run.request.stop_requested()) return RowsResult::kStopped;
        if (i >= run.sheets.size()) break;  // rows deleted while the queue ran
        run.sheets.SetCurrentRow(i);
        if (row.extraction_failed) return RowsResult::kExtractionFailed;
        readers.Wait(*row.job);

        const RowResult result = CommitRow(run, row);
        rows.pop_front();
        if (result == RowResult::kOutputStopped) return RowsResult::kOutputStopped;
        if (i >= run.sheets.size()) break;  // rows deleted while the queue ran
        if (result == RowResult::kRefused) run.sheets.SetText(i, ToCp932("座標系エラー：") + run.sheets.Text(i));
        if (result != RowResult::kNotConverted) run.sheets.SetChecked(i, false);
        run.port.ProcessEvents();

        run.sheets.FollowRun(++processed);
        if (run.progress) {
            const char row_state = result == RowResult::kConverted ? 'c' : result == RowResult::kRefused ? 'r' : 'n';
            run.progress->AfterRow(i, row_state, processed, run.state);
        }
        run.port.ProcessEvents();
    }
    return RowsResult::kAllVisited;
}

// Finishes what earlier runs left in the output folder (a swap under way, staging and
// extraction folders) and makes this run's staging folder, holding the run's arguments.
// Empty when none could be made (the output folder missing or unwritable): the run then
// writes in place, reporting what it cannot write as before.
std::filesystem::path PrepareStaging(const std::filesystem::path& list_file,
                                     const std::filesystem::path& output_folder, const std::string& arguments) {
    TidyOutputFolder(output_folder);
    const std::filesystem::path staging = StagingFolderOf(list_file);
    return CreateStagingFolder(staging, arguments) ? staging : std::filesystem::path();
}

// A folder as it begins the paths of the files in it (CP932): "FOLDER/", or nothing for
// the current folder given as no folder.
std::string StagedPrefix(const std::filesystem::path& folder) {
    return folder.empty() ? std::string() : Cp932Path(folder) + "/";
}

// Takes up the interrupted run staged for the list file: its staged files cut back to its
// progress record and the rows and state as they were there. Nothing, with the reason
// shown, when there is none to take up or it was started with other arguments.
std::optional<RunProgress> TakeUpInterruptedRun(const std::filesystem::path& staging, const std::string& arguments,
                                                MessagePort& port) {
    const std::optional<std::string> recorded = IsProgramFolder(staging) ? ReadRunArguments(staging) : std::nullopt;
    if (!recorded) {
        port.ShowMessage(ToCp932("error:再開できる変換がない:") + Cp932Path(staging));
        return std::nullopt;
    }
    if (*recorded != arguments) {
        port.ShowMessage(ToCp932("error:中断した変換と引数が違うため再開できない（同じ引数で実行するか、再開せずに最初から変換してください）:") +
                         Cp932Path(staging));
        return std::nullopt;
    }
    // Stopped before its first sheet was done: it starts again from the first row.
    std::optional<RunProgress> progress = LoadRunProgress(staging);
    if (!progress) progress.emplace();
    if (const std::string why = RestoreStagedFiles(staging, *progress); !why.empty()) {
        port.ShowMessage(why);
        return std::nullopt;
    }
    return progress;
}

// The rows and the sheets' state as a progress record left them.
void RestoreRun(RunContext& run, const RunProgress& progress) {
    for (std::size_t i = 0; i < progress.row_states.size() && i < run.sheets.size(); ++i) {
        if (progress.row_states[i] == 'r') run.sheets.SetText(i, ToCp932("座標系エラー：") + run.sheets.Text(i));
        if (progress.row_states[i] != 'n') run.sheets.SetChecked(i, false);
    }
    SheetConversionState& state = run.state;
    state.coordinate_system = progress.coordinate_system;
    state.corners = progress.corners;
    state.extent = progress.extent;
    state.statistics = progress.statistics;
    state.files_made = progress.files_made;
}

// The end of a run that puts nothing in place: stopped on request, or by its output.
RunOutcome EndWithoutOutput(MessagePort& port, RowsResult rows) {
    const RunOutcome outcome = rows == RowsResult::kStopped ? RunOutcome::kStopped : RunOutcome::kInterrupted;
    port.SetStatus(ToCp932("処理終了"));
    port.ShowMessage(RunClosingMessage(outcome));
    return outcome;
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

// Converts the rows into the layer files, held open from sheet to sheet. However the loop
// ended, the extractions have ended and the Shapefiles are complete when it returns.
RowsResult ConvertSheets(RunContext& run, std::size_t first_row, std::size_t processed) {
    HeldOutputFiles held_outputs(run.state);
    RowsResult completed = ConvertRows(run, first_row, processed);
    run.extractions.Stop();
    try {
        run.state.output_files.Finish();
    } catch (const OutputStopped& stopped) {
        run.port.ShowMessage(stopped.what());
        completed = RowsResult::kOutputStopped;
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
bool AssembleSeamlessPolygons(RunContext& run, int first_layer) {
    run.port.SetStatus(ToCp932("シームレス処理実行中"));
    run.port.ProcessEvents();
    SeamlessRequest seamless;
    seamless.output_folder = OutputFolderOf(run.list_file);
    seamless.donut = run.request.donut;
    seamless.error_file = run.request.error_file;
    seamless.projection_wkt = run.state.projections.ForRun(run.state.coordinate_system);
    seamless.first_layer = first_layer;
    seamless.jobs = static_cast<int>(JobCount(run.request.jobs));
    seamless.store = run.state.geopackage.get();
    // A staged run keeps the side files until every layer's polygons are synced, so that
    // no layer has to wait for the disk before the next.
    std::vector<std::filesystem::path> consumed;
    if (run.progress) {
        // A resumed step: the layers finished before the interruption left theirs too.
        for (const std::filesystem::path& relative : run.progress->Progress().consumed)
            consumed.push_back(seamless.output_folder / relative);
        run.progress->InSeamlessStep(first_layer, consumed, run.state);
        seamless.after_layer = [&run, &consumed](int done, const std::vector<std::filesystem::path>&) {
            run.progress->InSeamlessStep(done, consumed, run.state);
        };
        seamless.keep_consumed = &consumed;
    }
    try {
        SeamlessAssembly(seamless, run.state.shape, run.state.statistics, run.port);
    } catch (const OutputStopped& stopped) {
        run.port.ShowMessage(stopped.what());
        return false;
    }
    if (run.progress) {
        // A record that cannot be written (a full disk) leaves the side files for a resume.
        if (!run.progress->SeamlessStepDone(consumed, run.state)) {
            run.port.ShowMessage(ToCp932("error:書き込めない:") + Cp932Path(seamless.output_folder));
            return false;
        }
        std::error_code ignored;
        for (const std::filesystem::path& path : consumed) std::filesystem::remove(path, ignored);
    }
    return true;
}

// Writes the map file, PHP page and support files for the layers the run produced.
void WriteMapFiles(RunContext& run) {
    MapFilesRequest map;
    map.list_file = run.list_file;
    map.settings = run.request.map_settings ? *run.request.map_settings : LoadMapSettings(run.request.settings_file);
    map.results = run.state.Results();
    std::error_code ec;
    map.publish_folder = std::filesystem::absolute(run.request.list_file, ec).parent_path();
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

bool HasResumableRun(const std::filesystem::path& list_file) {
    const std::filesystem::path staging = StagingFolderOf(list_file);
    return IsProgramFolder(staging) && LoadRunProgress(staging).has_value();
}

RunOutcome RunConversion(SheetList& sheets, const RunRequest& request, SheetConversionState& state,
                         const ArchiveEntryPoints& archives, MessagePort& port) {
    state.coordinate_system = RunCoordinateSystem{};
    port.ProcessEvents();
    if (!AdmitRequest(sheets, request, port)) return RunOutcome::kRefused;

    const std::filesystem::path given_list_file = request.list_file;
    const std::filesystem::path output_folder = OutputFolderOf(given_list_file);
    const std::string arguments = RunArgumentsText(sheets, request.list_file, request.donut, request.format);
    std::optional<RunProgress> resumed;
    std::filesystem::path staging;
    if (request.resume) {
        staging = StagingFolderOf(given_list_file);
        // A run stopped while it put its output in place only has the rest to move.
        const bool swapping = IsSwapping(staging);
        TidyOutputFolder(output_folder, staging);
        if (swapping && !IsProgramFolder(staging)) {
            port.ShowMessage(RunClosingMessage(RunOutcome::kCompleted));
            return RunOutcome::kCompleted;
        }
        resumed = TakeUpInterruptedRun(staging, arguments, port);
        if (!resumed) return RunOutcome::kRefused;
    } else {
        staging = PrepareStaging(given_list_file, output_folder, arguments);
    }
    // Messages name the staged files where they will lie.
    PathRewritingPort staged_port(port, staging.empty() ? std::string() : StagedPrefix(staging),
                                  StagedPrefix(given_list_file.parent_path()));
    MessagePort& run_port = staging.empty() ? port : staged_port;
    const std::filesystem::path list_file =
        staging.empty() ? given_list_file : staging / given_list_file.filename();
    ExtractionSchedule extractions(sheets, archives, output_folder, ArchivesAhead(JobCount(request.jobs)));
    std::optional<ProgressRecorder> progress;
    if (!staging.empty()) progress.emplace(staging);
    RunContext run{sheets,    request,     state,      archives, run_port, list_file, output_folder, extractions,
                   progress ? &*progress : nullptr};
    ExecuteButtonLock execute(request.set_execute_enabled);

    StartRun(run);
    std::size_t first_row = 0, processed = 0;
    int first_seamless_layer = 0;
    if (resumed) {
        RestoreRun(run, *resumed);
        progress->Progress() = *resumed;
        first_row = resumed->phase == RunProgress::Phase::kRows ? resumed->next_row : sheets.size();
        processed = resumed->rows_processed;
        if (resumed->phase == RunProgress::Phase::kSeamless) first_seamless_layer = resumed->seamless_layers_done;
    }
    // The GeoPackage, when the layers go into one, is closed however the run ends; once
    // its spatial indexes are built, before the map files are written, it is finished.
    GeoPackageInUse geopackage(state);
    if (request.format == OutputFormat::kGeoPackage && !geopackage.Open(GeoPackagePathOf(list_file), run_port))
        return EndWithoutOutput(port, RowsResult::kOutputStopped);
    const RowsResult rows = ConvertSheets(run, first_row, processed);
    // Stopped, or an output file that can take no more: nothing is put in place, and the
    // staged work waits for a resume (once there is room, or with fewer sheets).
    if (rows == RowsResult::kStopped || rows == RowsResult::kOutputStopped) return EndWithoutOutput(port, rows);
    WorkArrayCapacities capacities = ReleaseWorkArrays(state);
    if (progress) capacities = progress->Capacities(capacities);
    WriteListFile(run.list_file, sheets);
    if (!AssembleSeamlessPolygons(run, first_seamless_layer)) return EndWithoutOutput(port, RowsResult::kOutputStopped);
    if (!geopackage.Finish(run_port)) return EndWithoutOutput(port, RowsResult::kOutputStopped);
    WriteMapFiles(run);
    if (!staging.empty()) {
        if (progress) progress->Close();
        PutInPlace(staging, output_folder, port);
    }
    execute.Enable();
    WriteRunStatistics(request.settings_file, capacities, state.statistics);

    port.SetStatus(ToCp932("処理終了"));
    const RunOutcome outcome = rows == RowsResult::kAllVisited ? RunOutcome::kCompleted : RunOutcome::kInterrupted;
    port.ShowMessage(RunClosingMessage(outcome));
    return outcome;
}

}  // namespace gridora
