// gridora-cli: the conversion run from a terminal.
//
//   gridora-cli -o RUN.lis [-j N] [--resume] [--no-donut] [--format shp|gpkg] [--[no-]mapserver8]
//               [--settings FILE] SOURCE...
//   gridora-cli --help | --version
//
// Adds each SOURCE (a sheet description .TXT or a sheet archive .LZH) to a SheetList as
// the window's browse button does, runs the conversion into the folder of RUN.lis, and
// prints the run's status texts as progress lines on stdout and its messages on stderr,
// converted to UTF-8. Exit status: 0 when every row converted, 3 when the run completed but
// left sheets unconverted (listed on stderr), 1 after "変換が中断しました", 2 when the run
// refused to start or the arguments are wrong, 130 / 143 when SIGINT / SIGTERM stopped it
// at a sheet boundary.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/archive_binding.h"
#include "input/municipality_table.h"
#include "input/sheet_intake.h"
#include "input/sheet_list.h"
#include "mapserver/map_settings.h"
#include "platform/cp932.h"
#include "platform/message_port.h"
#include "platform/program_files.h"
#include "run/conversion_run.h"
#include "run/list_file.h"
#include "run/run_summary.h"

namespace gridora {
namespace {

constexpr int kExitCompleted = 0;
constexpr int kExitInterrupted = 1;
constexpr int kExitRefused = 2;
constexpr int kExitSheetsLeft = 3;
// As a shell reports a command its signal ended: 128 + the signal's number.
constexpr int kExitSignalBase = 128;

// The stop signal received, 0 before any: the run stops at its next sheet boundary.
volatile std::sig_atomic_t stop_signal = 0;

extern "C" void RequestStop(int signal_number) { stop_signal = signal_number; }

// SIGINT (Ctrl-C) and SIGTERM (a closed session, a stopping service) ask the run to stop
// at its next sheet boundary rather than end the process in the middle of a write.
void HandleStopSignals() {
    struct sigaction action = {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

constexpr const char* kUsage =
    "Usage: gridora-cli -o RUN.lis [-j N] [--resume] [--no-donut] [--format shp|gpkg]\n"
    "                   [--[no-]mapserver8] [--settings FILE] SOURCE...\n"
    "\n"
    "Converts sheets of the 1:2,500 base map (数値地図2500) into ESRI Shapefiles\n"
    "(or one GeoPackage).\n"
    "\n"
    "  SOURCE           a sheet description (.TXT) or a sheet archive (.LZH); archives\n"
    "                   add one row per sheet they hold. Rows are converted in the order\n"
    "                   given; a sheet named twice is converted once.\n"
    "  -o RUN.lis       the list file; the Shapefiles go to its folder (created when\n"
    "                   missing), with the map file RUN.map, the PHP page gridora.php\n"
    "                   and their support files, and the rows as the run leaves them go\n"
    "                   to the file.\n"
    "  -j, --jobs N     read N sheets at once (default: one per processor the\n"
    "                   program may use). The output and the messages are the same\n"
    "                   for every N.\n"
    "  --resume         continue the interrupted run of RUN.lis (given the same\n"
    "                   arguments) from its last finished sheet; without it a run\n"
    "                   starts over and discards what an interrupted run staged.\n"
    "  --no-donut       join the holes of polygons to their outline instead of writing\n"
    "                   them as inner rings.\n"
    "  --format FORMAT  shp (the default): one Shapefile with its dBASE table per\n"
    "                   layer; gpkg: one GeoPackage RUN.gpkg beside the list file, one\n"
    "                   table per layer named as the Shapefile would be, text in UTF-8,\n"
    "                   for runs whose Shapefiles would pass 2 GiB.\n"
    "  --mapserver8     write RUN_ms8.map, a map file for MapServer 8 that mapserv serves\n"
    "                   as a WMS and OGC API Features, with the web map RUN.html and the\n"
    "                   PHP page gridora_ms8.php that show it, whatever the setting\n"
    "                   \"MapServer8\" of the settings file says (they are written unless\n"
    "                   it is 0).\n"
    "  --no-mapserver8  do not write them.\n"
    "  --settings FILE  the settings file: map settings in, the run's statistics out\n"
    "                   (default: gridora.Ini beside the program, or in\n"
    "                   $XDG_CONFIG_HOME/gridora/, ~/.config/gridora/ when unset, for\n"
    "                   an installed program or an unwritable program folder).\n"
    "  -h, --help       show this text.\n"
    "  --version        show the program's version.\n"
    "\n"
    "Progress lines go to stdout, messages to stderr. The output is built in a\n"
    "staging folder inside the output folder and put in place when the run is done,\n"
    "so an interrupted run leaves the previous output as it was. Ctrl-C (SIGINT) or\n"
    "SIGTERM stops the run at the next sheet boundary.\n"
    "\n"
    "Exit status: 0 when every row was converted; 3 when the run completed but some\n"
    "sheets were not converted (abandoned, unreadable or in another coordinate\n"
    "system; listed on stderr); 1 when the run was interrupted (for example by an\n"
    "archive that could not be extracted); 2 when there was nothing to convert or\n"
    "the arguments were wrong; 130 or 143 when SIGINT or SIGTERM stopped it.\n"
    "\n"
    "Files: city.csv (municipality names), symbols.sym and ms4wmap10.lzh (map\n"
    "support files) are read from the program's folder, or else from\n"
    "../share/gridora/ beside it; the archive library libunlha32.so from the\n"
    "program's folder, or else from ../lib/.\n";

// The project's version, set by the build.
#ifndef GRIDORA_VERSION
#define GRIDORA_VERSION "unknown"
#endif

// More readers than this only cost memory.
constexpr unsigned kMostJobs = 1024;

std::optional<unsigned> ParseJobCount(const std::string& text) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned jobs = static_cast<unsigned>(std::stoul(text));
    if (jobs < 1 || jobs > kMostJobs) return std::nullopt;
    return jobs;
}

struct Options {
    std::string list_file;
    bool donut = true;
    bool resume = false;
    OutputFormat format = OutputFormat::kShapefile;
    unsigned jobs = 0;  // one per processor
    std::optional<bool> mapserver8;  // the setting when not given
    std::optional<std::filesystem::path> settings_file;
    std::vector<std::filesystem::path> sources;
    bool help = false;
    bool version = false;
};

// Parses the arguments; nothing, with `error` set, when they are wrong.
std::optional<Options> ParseArguments(int argc, char** argv, std::string& error) {
    Options options;
    bool only_sources = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&](std::string_view name) -> std::optional<std::string> {
            if (i + 1 >= argc) {
                error = std::string(name) + " needs a value";
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (only_sources || arg.empty() || arg[0] != '-' || arg == "-") {
            options.sources.emplace_back(std::string(arg));
        } else if (arg == "--") {
            only_sources = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "-o" || arg == "--output") {
            std::optional<std::string> v = value(arg);
            if (!v) return std::nullopt;
            options.list_file = *v;
        } else if (arg == "-j" || arg == "--jobs" || (arg.starts_with("-j") && arg.size() > 2)) {
            std::optional<std::string> v = arg.size() > 2 && arg[1] == 'j' ? std::string(arg.substr(2)) : value(arg);
            if (!v) return std::nullopt;
            const std::optional<unsigned> jobs = ParseJobCount(*v);
            if (!jobs) {
                error = "-j needs a number of sheets from 1 to " + std::to_string(kMostJobs) + ", not " + *v;
                return std::nullopt;
            }
            options.jobs = *jobs;
        } else if (arg == "--resume") {
            options.resume = true;
        } else if (arg == "--no-donut") {
            options.donut = false;
        } else if (arg == "--format") {
            std::optional<std::string> v = value(arg);
            if (!v) return std::nullopt;
            if (*v == "shp") {
                options.format = OutputFormat::kShapefile;
            } else if (*v == "gpkg") {
                options.format = OutputFormat::kGeoPackage;
            } else {
                error = "--format takes shp or gpkg, not " + *v;
                return std::nullopt;
            }
        } else if (arg == "--mapserver8") {
            options.mapserver8 = true;
        } else if (arg == "--no-mapserver8") {
            options.mapserver8 = false;
        } else if (arg == "--settings") {
            std::optional<std::string> v = value(arg);
            if (!v) return std::nullopt;
            options.settings_file = *v;
        } else {
            error = "unknown option " + std::string(arg);
            return std::nullopt;
        }
    }
    for (const std::filesystem::path& source : options.sources) {
        const std::string name = ToCp932(source.filename().native());
        std::error_code ec;
        if (!NamesArchive(name) && !NamesDescription(name)) {
            error = source.native() + " is neither a sheet description (.TXT) nor a sheet archive (.LZH)";
            return std::nullopt;
        }
        if (!std::filesystem::is_regular_file(source, ec)) {
            error = source.native() + " does not exist";
            return std::nullopt;
        }
    }
    return options;
}

// Messages to stderr, status texts as progress lines on stdout, counted by the row the run
// is on. Nothing waits for the user.
class ConsolePort : public MessagePort {
public:
    explicit ConsolePort(const SheetList& sheets) : sheets_(sheets) {}

    void ShowMessage(std::string_view cp932) override {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", ForTerminal(cp932).c_str());
        std::fflush(stderr);
    }
    void SetStatus(std::string_view cp932) override {
        std::string line;
        if (std::optional<std::size_t> row = sheets_.CurrentRow())
            line = "[" + std::to_string(*row + 1) + "/" + std::to_string(sheets_.size()) + "] ";
        line += ForTerminal(cp932);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

private:
    // UTF-8 with plain line ends.
    static std::string ForTerminal(std::string_view cp932) {
        std::string text = Cp932ToUtf8(cp932);
        std::erase(text, '\r');
        return text;
    }

    const SheetList& sheets_;
};

// Lists on stderr the rows a completed run left unconverted (abandoned, unreadable, in
// another coordinate system); true when there are any.
bool ReportSheetsLeft(const SheetList& sheets, const std::vector<std::string>& texts_before) {
    const RunSummary summary = SummarizeRun(sheets, texts_before);
    const std::size_t left = summary.refused + summary.not_converted;
    if (left == 0) return false;
    std::fprintf(stderr, "gridora-cli: %zu of %zu sheets not converted:\n", left, sheets.size() - summary.duplicates);
    const std::string refused_prefix = ToCp932("座標系エラー：");
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string& text = sheets.Text(i);
        const bool refused = text.starts_with(refused_prefix);
        if (!refused && !sheets.IsChecked(i)) continue;
        if (!refused && SheetAlreadyListed(sheets, i, SplitSheetRow(text).sheet_name)) continue;
        std::fprintf(stderr, "  %s\n", Cp932ToUtf8(text).c_str());
    }
    return true;
}

int Run(const Options& options) {
    SheetList sheets;
    ConsolePort port(sheets);
    ArchiveLibraryUse archive_library(&port);

    const std::filesystem::path program_folder = ProgramFolder();
    const MunicipalityTable municipalities =
        LoadMunicipalityTable(FindSupportFile(program_folder, kMunicipalityTableFileName), port);

    for (const std::filesystem::path& source : options.sources) {
        const std::size_t rows_before = sheets.size();
        AddSheetSource(sheets, municipalities, archive_library.entry_points(), source);
        if (sheets.size() == rows_before)
            std::fprintf(stderr, "gridora-cli: no sheet description found in %s\n", source.c_str());
    }

    RunRequest request;
    request.list_file = options.list_file;
    request.donut = options.donut;
    request.format = options.format;
    if (options.settings_file) {
        request.settings_file = *options.settings_file;
        request.error_file = ErrorFileBeside(*options.settings_file);
    } else {
        const SettingsFiles files = LocateSettingsFiles(program_folder);
        request.settings_file = files.settings;
        request.error_file = files.errors;
    }
    if (options.mapserver8) {
        MapSettings settings = LoadMapSettings(request.settings_file);
        settings.mapserver8 = *options.mapserver8;
        request.map_settings = settings;
    }
    if (!options.list_file.empty() && !sheets.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(OutputFolderOf(options.list_file), ec);
    }

    request.stop_requested = [] { return stop_signal != 0; };
    request.resume = options.resume;
    request.jobs = options.jobs;
    HandleStopSignals();

    const std::vector<std::string> texts_before = RowTexts(sheets);
    SheetConversionState state;
    switch (RunConversion(sheets, request, state, archive_library.entry_points(), port)) {
        case RunOutcome::kCompleted:
            return ReportSheetsLeft(sheets, texts_before) ? kExitSheetsLeft : kExitCompleted;
        case RunOutcome::kInterrupted:
            return kExitInterrupted;
        case RunOutcome::kStopped:
            std::fprintf(stderr,
                         "gridora-cli: stopped by %s; the previous output in %s is unchanged. To continue,\n"
                         "run the same command again with --resume.\n",
                         stop_signal == SIGTERM ? "SIGTERM" : "SIGINT", OutputFolderOf(options.list_file).c_str());
            return kExitSignalBase + (stop_signal != 0 ? static_cast<int>(stop_signal) : SIGINT);
        case RunOutcome::kRefused:
            break;
    }
    return kExitRefused;
}

}  // namespace
}  // namespace gridora

int main(int argc, char** argv) {
    std::string error;
    std::optional<gridora::Options> options = gridora::ParseArguments(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "gridora-cli: %s\n\n%s", error.c_str(), gridora::kUsage);
        return gridora::kExitRefused;
    }
    if (options->help) {
        std::fputs(gridora::kUsage, stdout);
        return gridora::kExitCompleted;
    }
    if (options->version) {
        std::printf("gridora-cli %s\n", GRIDORA_VERSION);
        return gridora::kExitCompleted;
    }
    return gridora::Run(*options);
}
