// What an interrupted run leaves for --resume. The run records its progress in its staging
// folder (run/staging.h) at every sheet boundary and after each layer of the seamless step:
// the rows done and how they ended, the state the sheets carry forward, and the length (and
// for Shapefiles and tables the record count and bounds) of every staged file. A resume cuts
// the staged files back to that record and goes on from the first row not finished, so its
// output is byte for byte that of an uninterrupted run.
//
// The record is replaced by rename, so a kill leaves the last one whole. It is written at
// every boundary and left to the system's cache, which a killed process does not lose. Every
// few seconds, and in the seamless step and at the end, the staged files are synced to the
// disk and the record is written a second time, synced too: after a power cut a resume falls
// back to that one when the latest counts on data the disk never received. A record found
// ahead of its data is never used.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/sheet_conversion_state.h"
#include "input/sheet_list.h"
#include "run/run_statistics.h"

namespace gridora {

// One staged file as the record knows it.
// The `records` of a GeoPackage's mark: a database, cut back by its tables' feature counts
// rather than by its length.
inline constexpr std::int64_t kDatabaseMark = -2;

struct StagedFileMark {
    std::filesystem::path path;  // relative to the staging folder
    std::uint64_t length = 0;
    std::int64_t records = -1;             // .shp and .dbf: shapes or records; kDatabaseMark
    std::array<double, 8> bounds{};        // .shp: the header's x, y, z, m minimums and maximums
};

struct RunProgress {
    enum class Phase { kRows, kSeamless };
    Phase phase = Phase::kRows;
    std::size_t next_row = 0;          // the first row not finished
    std::size_t rows_processed = 0;    // rows converted so far, for the list's scrolling
    int seamless_layers_done = 0;      // in the seamless phase
    // How each row before next_row ended: 'c' converted, 'r' refused (another coordinate
    // system), 'n' not converted or skipped.
    std::string row_states;
    RunCoordinateSystem coordinate_system;
    CornerTexts corners;
    RunExtent extent;
    RunStatistics statistics;
    LayerFilesMade files_made{};
    WorkArrayCapacities capacities;
    std::vector<StagedFileMark> files;
    // The side files the finished layers of the seamless step consumed, still staged: they
    // are removed with the step's own once it is done (paths relative to the staging folder).
    std::vector<std::filesystem::path> consumed;
    // The features of every table of the run's GeoPackage, by table name.
    std::map<std::string, std::int64_t> tables;
};

// The arguments of a run as text: the list file, the options that change the output and
// every row as the run finds it. A resume must find the same.
std::string RunArgumentsText(const SheetList& sheets, const std::string& list_file, bool donut,
                             OutputFormat format = OutputFormat::kShapefile);
bool WriteRunArguments(const std::filesystem::path& staging, const std::string& arguments);
std::optional<std::string> ReadRunArguments(const std::filesystem::path& staging);

// Flushes the open output files to the system (data, the tables' headers) and takes the
// state of every staged file, the open ones from their handles. Nothing when an open file
// could not be written (a full disk).
std::optional<std::vector<StagedFileMark>> MarkStagedFiles(const std::filesystem::path& staging,
                                                           OpenOutputFiles& open_files);

// The staged files' data already synced to the disk, as their marks were then.
class SyncedFiles {
public:
    // Syncs every file of `files` whose length or record count changed since it was last
    // synced here (staged files only grow, or are cut back to a mark and then grow again).
    // False when one could not be synced.
    bool Sync(const std::filesystem::path& staging, const std::vector<StagedFileMark>& files);

private:
    std::map<std::filesystem::path, std::pair<std::uint64_t, std::int64_t>> synced_;
};

// Writes the record, replacing the last. `durable` first syncs the staged files that
// `synced` has not seen as they are now, then writes the record synced to the disk as well,
// both as the latest and as the synced record. False when it cannot be written.
bool SaveRunProgress(const std::filesystem::path& staging, const RunProgress& progress, bool durable,
                     SyncedFiles& synced);
bool SaveRunProgress(const std::filesystem::path& staging, const RunProgress& progress, bool durable);
// The latest record whose staged files still hold what it counts on, else the synced record
// if its files do; failing both, the latest (whose restore then says what is missing).
std::optional<RunProgress> LoadRunProgress(const std::filesystem::path& staging);

// Cuts the staged files back to the record: each to its length, a Shapefile's index rebuilt
// from its shapes and its header and the tables' record counts set as recorded, a
// GeoPackage's tables to their feature counts; files the record does not know are removed
// (a GeoPackage's journal stays with it). An empty text when it succeeded, else why not (CP932).
std::string RestoreStagedFiles(const std::filesystem::path& staging, const RunProgress& progress);

}  // namespace gridora

namespace gridora {

// Keeps the progress record of one run with a staging folder up to date. The run takes the
// state at each boundary; a thread of the recorder's own writes the record, and at most every
// kSyncedRecordInterval syncs the staged files and writes the synced record, so the disk's
// pace never holds up the sheets. When the run gets ahead of it, only the latest state is
// written: the record may lag a boundary or two behind the run; the synced record lags by
// the interval at most and is never ahead of the data on the disk.
class ProgressRecorder {
public:
    // How often the staged files are synced and the synced record written while the sheets
    // convert: what a power cut may cost a resume, against a disk kept busy with every sheet.
    static constexpr std::chrono::seconds kSyncedRecordInterval{10};

    explicit ProgressRecorder(std::filesystem::path staging);
    // Writes the last state taken, if any is still waiting.
    ~ProgressRecorder();
    ProgressRecorder(const ProgressRecorder&) = delete;
    ProgressRecorder& operator=(const ProgressRecorder&) = delete;

    RunProgress& Progress() { return progress_; }
    // After row `row` ended as `row_state` ('c', 'r' or 'n'; skipped rows too): takes the
    // state the sheets carry forward and the staged files, flushing the open ones.
    void AfterRow(std::size_t row, char row_state, std::size_t rows_processed, SheetConversionState& state);
    // Once every row is done, and after each finished layer of the seamless step, whose
    // layers so far consumed the side files `consumed`: asks for the staged files to be
    // synced and the record written synced, without waiting for it.
    void InSeamlessStep(int layers_done, const std::vector<std::filesystem::path>& consumed,
                        SheetConversionState& state);
    // After the last layer, which leaves the side files `consumed` to be removed: they are
    // left out of the record, so that a run resumed before they are gone removes them.
    // Returns once the record is on the disk; false when it could not be written.
    bool SeamlessStepDone(const std::vector<std::filesystem::path>& consumed, SheetConversionState& state);
    // The highest work-array capacities of the run so far, the interrupted part included.
    WorkArrayCapacities Capacities(const WorkArrayCapacities& now) const;
    // Waits until the last state taken is recorded on the disk, and ends the recorder's
    // thread: the staging folder may then be emptied.
    void Close();

private:
    // False when the staged files could not be flushed: the last record then stays.
    bool Take(SheetConversionState& state, bool durable, const std::vector<std::filesystem::path>& consumed = {});
    void WriteRecords();
    void WaitUntilWritten();

    std::filesystem::path staging_;
    RunProgress progress_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<RunProgress> waiting_;  // taken, not yet being written
    bool waiting_durable_ = false;        // to be written synced, whatever the time
    bool writing_ = false;
    bool saved_ = true;  // whether the last record was written
    bool closing_ = false;
    // The recorder thread's own: what it synced, and the last record it left unsynced.
    SyncedFiles synced_;
    std::optional<RunProgress> unsynced_;
    std::thread writer_;
};

}  // namespace gridora
