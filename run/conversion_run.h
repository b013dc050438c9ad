// The conversion run: what the execute button starts and what gridora-cli does. It
// converts every row of the SheetList into Shapefiles in the list file's folder, extracting
// archived sheets there first and removing them afterwards, then writes the list file,
// rebuilds the polygons cut by sheet edges, writes the map file and records the run's
// statistics in the settings file. Everything the user sees goes through the message port
// and the SheetList's notifications.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "convert/sheet_conversion_state.h"
#include "input/archive_binding.h"
#include "input/sheet_list.h"
#include "mapserver/map_settings.h"
#include "platform/message_port.h"

namespace gridora {

struct RunRequest {
    // The list-file path as the user entered it (file-system text); its folder receives
    // the output.
    std::string list_file;
    // Holes become inner rings ("ドーナツ処理") instead of being joined to their outline.
    bool donut = true;
    std::filesystem::path settings_file;
    std::filesystem::path error_file;
    // Disables the execute button while the run works and enables it again before the
    // statistics are written; called in pairs, whatever happens. May be empty.
    std::function<void(bool enabled)> set_execute_enabled;
    // How the map file is written; empty: loaded from settings_file when the run writes it.
    std::optional<MapSettings> map_settings;
    // The program folder beside which (or in whose installed support folder) "symbols.sym"
    // and "ms4wmap10.lzh" lie; empty: the running program's own folder.
    std::filesystem::path program_folder;
    // Asked at every sheet boundary; true stops the run there (a signal, the user), leaving
    // the previous output in place. May be empty.
    std::function<bool()> stop_requested;
    // Shapefiles, or one GeoPackage (RUN.gpkg beside the list file).
    OutputFormat format = OutputFormat::kShapefile;
    // Continue the interrupted run of the same list file and arguments from its progress
    // record, instead of starting over (which discards what that run staged).
    bool resume = false;
    // How many sheets are read at once (0: one per processor the process may use). The
    // output, the messages and the statistics are the same for every count.
    unsigned jobs = 0;
};

enum class RunOutcome {
    kCompleted,    // every row was visited: "変換が終了しました"
    kInterrupted,  // an archive could not be extracted, or the output stopped (OutputStopped): "変換が中断しました"
    kRefused,      // nothing to do: "Open File Name Error" or "Save Path Name Error"
    kStopped,      // stop_requested at a sheet boundary: "変換が中断しました"; nothing put in
                   // place, the staged work kept for a resume
};

// Whether the list file's folder holds the staged work of an interrupted run that a run
// with `resume` set would continue.
bool HasResumableRun(const std::filesystem::path& list_file);

// Runs the conversion of every row of `sheets`. The output is built in the list file's
// staging folder (run/staging.h) and put in place when the run has written everything;
// until then the folder holds the previous output. `state` is the run object the caller keeps
// between runs (the shape buffers and, for the map-file writer, the last run's coordinate
// system and extent); the run resets it at its start, file-made flags included.
//
// Rows end as follows: a converted row loses its check mark; a row whose sheet has another
// coordinate system than the run's first sheet is prefixed with "座標系エラー：" and
// unchecked; a row whose sheet already appeared above it, whose description cannot be read
// or whose data cannot be converted stays checked (the last two are reported with the
// description's path); after an archive that cannot be extracted, that row and all below
// stay checked and the loop ends.
RunOutcome RunConversion(SheetList& sheets, const RunRequest& request, SheetConversionState& state,
                         const ArchiveEntryPoints& archives, MessagePort& port);

// The message a run that got past its guards ends with (CP932): "変換が終了しました" for a
// completed run, "変換が中断しました" for an interrupted one.
std::string RunClosingMessage(RunOutcome outcome);

// The output folder of a list file: its folder part, "." when it has none.
std::filesystem::path OutputFolderOf(const std::filesystem::path& list_file);

}  // namespace gridora
