// Converting sheets of the generator's densest setting (a city centre: some 700 blocks
// and 7,600 buildings, a full road network) through the sheet dispatch: one sheet alone,
// and batches of adjacent sheets appended into one output folder, whose time per sheet
// should stay flat while the output files are held open between sheets. The sheets are made once by sheetgen and kept in
// $TMPDIR/gridora-bench-sheet/ for later runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/sheet_dispatch.h"
#include "platform/program_files.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;

constexpr const char* kGrid = "09LD172:10x10";

class SilentPort : public MessagePort {
public:
    void ShowMessage(std::string_view) override { ++messages; }
    void SetStatus(std::string_view) override {}
    int messages = 0;
};

struct Sheet {
    fs::path description;
    std::string municipality;
};

struct Workspace {
    fs::path folder;
    std::vector<Sheet> sheets;  // north-west first, row by row
    std::string error;

    Workspace() {
        const char* tmp = std::getenv("TMPDIR");
        folder = fs::path(tmp && *tmp ? tmp : "/tmp") / "gridora-bench-sheet";
        const fs::path input = folder / "sheets";
        if (!fs::exists(folder / "complete")) {
            fs::remove_all(folder);
            const fs::path sheetgen = ProgramFolder().parent_path() / "bin/sheetgen";
            const std::string command = "'" + sheetgen.native() + "' -q -o '" + input.native() +
                                        "' --density dense --grid " + kGrid;
            if (std::system(command.c_str()) != 0) {
                error = "sheetgen failed: " + command;
                return;
            }
            fs::create_directories(folder);
            fs::create_directories(folder / "complete");
        }
        for (const auto& code : fs::directory_iterator(input))
            for (const auto& sheet : fs::directory_iterator(code.path()))
                sheets.push_back({sheet.path() / (sheet.path().filename().native() + ".TXT"),
                                  code.path().filename().native()});
        std::sort(sheets.begin(), sheets.end(),
                  [](const Sheet& a, const Sheet& b) { return a.description < b.description; });
        if (sheets.empty()) error = "no sheets in " + input.native();
    }
};

const Workspace& TheWorkspace() {
    static const Workspace workspace;
    return workspace;
}

// Converts the first `count` sheets into a fresh output folder per iteration, holding the
// output files open from sheet to sheet as a run does, or closing them after each sheet.
void ConvertSheets(benchmark::State& state, std::size_t count, bool keep_outputs_open = true) {
    const Workspace& workspace = TheWorkspace();
    if (!workspace.error.empty() || workspace.sheets.size() < count) {
        state.SkipWithError(workspace.error.empty() ? "too few sheets" : workspace.error.c_str());
        return;
    }
    const fs::path output = workspace.folder / "out";
    const fs::path list_file = output / "bench.lis";
    SilentPort port;
    SheetConversionState run;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(output);
        fs::create_directories(output);
        run.Reset();
        run.keep_outputs_open = keep_outputs_open;
        state.ResumeTiming();
        for (std::size_t i = 0; i < count; ++i) {
            const Sheet& sheet = workspace.sheets[i];
            if (ConvertSheet(sheet.description, sheet.municipality, list_file, run, port) != SheetOutcome::Converted)
                state.SkipWithError("a sheet did not convert");
        }
        run.CloseOutputFiles();
    }
    if (port.messages != 0) state.SkipWithError("the generated sheets gave messages");
    state.counters["sheets"] = static_cast<double>(count);
    state.counters["per_sheet"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

void BM_ConvertDenseSheet(benchmark::State& state) { ConvertSheets(state, 1); }
BENCHMARK(BM_ConvertDenseSheet)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConvertDenseSheetBatch(benchmark::State& state) { ConvertSheets(state, static_cast<std::size_t>(state.range(0))); }
BENCHMARK(BM_ConvertDenseSheetBatch)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The same with every output reopened for each sheet: shapelib's reading and rewriting
// of each whole index makes the time per sheet grow with the sheets already written.
void BM_ConvertDenseSheetBatchReopening(benchmark::State& state) {
    ConvertSheets(state, static_cast<std::size_t>(state.range(0)), false);
}
BENCHMARK(BM_ConvertDenseSheetBatchReopening)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace gridora

BENCHMARK_MAIN();
