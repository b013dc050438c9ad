// The cross-sheet assembly of a conversion run: runs of 100 (10 x 10) and 400 (20 x 20)
// generated sheets of normal density, converted from their descriptions, with the time of
// the whole run, of its seamless step (from the status "シームレス処理実行中" to "処理終了"),
// their ratio and the step's peak memory (the resident high-water mark, reset as the step
// starts). The side files the step reads are copied aside from the staging folder as it
// starts (outside the timing); from them the whole step runs again with one job
// (`step_1job_s`) and with every core (`step_s`), and each polygon layer on its own for
// per-layer times and peak memory (reset before each layer). The sheets are
// made once by sheetgen (seed 11, whose 20 x 20 grid has no topology warnings) and kept in $TMPDIR/gridora-bench-seamless/.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/seamless_assembly.h"
#include "input/municipality_table.h"
#include "input/sheet_intake.h"
#include "platform/cp932.h"
#include "platform/program_files.h"
#include "run/conversion_run.h"
#include "run/staging.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path BenchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return fs::path(tmp && *tmp ? tmp : "/tmp") / "gridora-bench-seamless";
}

// The sheet descriptions of a generated grid, made on first use.
std::vector<fs::path> GridDescriptions(int side, std::string& error) {
    const fs::path sheets = BenchFolder() / ("sheets-" + std::to_string(side));
    if (!fs::exists(sheets / "done")) {
        fs::remove_all(sheets);
        const fs::path sheetgen = ProgramFolder().parent_path() / "bin/sheetgen";
        const std::string grid = std::to_string(side) + "x" + std::to_string(side);
        const std::string command = "'" + sheetgen.native() + "' -q -o '" + sheets.native() +
                                    "' --density normal --seed 11 --grid 09LD172:" + grid + " --city 13101:A --city 13102:B";
        if (std::system(command.c_str()) != 0) {
            error = "sheetgen failed: " + command;
            return {};
        }
        std::ofstream(sheets / "done") << "ok\n";
    }
    std::vector<fs::path> descriptions;
    for (const auto& entry : fs::recursive_directory_iterator(sheets))
        if (entry.path().extension() == ".TXT" && entry.path().stem() == entry.path().parent_path().filename())
            descriptions.push_back(entry.path());
    std::sort(descriptions.begin(), descriptions.end());
    return descriptions;
}

// What the seamless step reads of one layer.
std::vector<std::string> LayerInputs(std::string_view layer) {
    const std::string l(layer);
    return {l + ".dbf", l + "_arc.txt", l + "_pgn.txt", l + "_pgn.shp", l + "_pgn.shx", l + "_pgn.dbf"};
}

double PeakMemoryMiB();
void ResetPeakMemory();

// Times the seamless step through its status texts and copies its inputs aside from
// `out` (the staging folder, where the run builds its files) as it starts.
class TimingPort : public MessagePort {
public:
    TimingPort(fs::path out, fs::path snapshot) : out_(std::move(out)), snapshot_(std::move(snapshot)) {}
    void ShowMessage(std::string_view) override { ++messages; }
    void SetStatus(std::string_view cp932) override {
        const std::string text = Cp932ToUtf8(cp932);
        if (text == "シームレス処理実行中") {
            const auto copy_start = Clock::now();
            fs::remove_all(snapshot_);
            for (std::string_view layer : kSeamlessLayers)
                for (const std::string& name : LayerInputs(layer)) {
                    fs::create_directories(snapshot_ / layer);
                    if (fs::exists(out_ / name)) fs::copy_file(out_ / name, snapshot_ / layer / name);
                }
            sheets_peak = PeakMemoryMiB();
            ResetPeakMemory();
            seamless_start = Clock::now();
            copy_s = std::chrono::duration<double>(seamless_start - copy_start).count();
        } else if (text == "処理終了") {
            seamless_end = Clock::now();
            seamless_peak = PeakMemoryMiB();
        }
    }
    int messages = 0;
    double copy_s = 0;  // not part of the run
    double sheets_peak = 0, seamless_peak = 0;
    Clock::time_point seamless_start, seamless_end;

private:
    fs::path out_, snapshot_;
};

// The resident high-water mark in MiB, reset by ResetPeakMemory.
double PeakMemoryMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0.0;
}
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

void BM_SeamlessStep(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    std::string error;
    const std::vector<fs::path> descriptions = GridDescriptions(side, error);
    if (!error.empty()) return state.SkipWithError(error.c_str());
    const fs::path out = BenchFolder() / "out", snapshot = BenchFolder() / "snapshot";
    const MunicipalityTable municipalities({"A,13101", "B,13102"});
    const ArchiveEntryPoints no_archives{};

    double run_s = 0, seamless_s = 0, run_peak = 0, seamless_peak = 0;
    for (auto _ : state) {
        fs::remove_all(out);
        fs::create_directories(out);
        TimingPort port(StagingFolderOf(out / "run.lis"), snapshot);
        SheetList sheets;
        for (const fs::path& d : descriptions) AddSheetSource(sheets, municipalities, no_archives, d);
        RunRequest request;
        request.list_file = (out / "run.lis").native();
        request.settings_file = BenchFolder() / "gridora.Ini";
        request.error_file = BenchFolder() / "gridora.Err";
        SheetConversionState run;
        ResetPeakMemory();
        const auto start = Clock::now();
        if (RunConversion(sheets, request, run, no_archives, port) != RunOutcome::kCompleted)
            state.SkipWithError("the run did not complete");
        const auto end = Clock::now();
        run_peak = std::max(PeakMemoryMiB(), port.sheets_peak);
        seamless_peak = port.seamless_peak;
        seamless_s = std::chrono::duration<double>(port.seamless_end - port.seamless_start).count();
        run_s = std::chrono::duration<double>(end - start).count() - port.copy_s;
        state.counters["messages"] = port.messages;
    }
    state.counters["sheets"] = static_cast<double>(descriptions.size());
    state.counters["run_s"] = run_s;
    state.counters["seamless_s"] = seamless_s;
    state.counters["seamless_share"] = seamless_s / run_s;
    state.counters["run_peak_MiB"] = run_peak;
    state.counters["seamless_peak_MiB"] = seamless_peak;

    // The whole step again from the copied inputs, with one job and with every core.
    const auto assemble = [&](const fs::path& folder, std::string_view only_layer, int jobs) {
        fs::remove_all(folder);
        fs::remove(BenchFolder() / "layer.Err");
        fs::create_directories(folder);
        for (std::string_view layer : kSeamlessLayers)
            if (only_layer.empty() || layer == only_layer)
                for (const auto& entry : fs::directory_iterator(snapshot / layer))
                    fs::copy_file(entry.path(), folder / entry.path().filename());
        ShapeBuffers shape;
        RunStatistics statistics;
        TimingPort port(folder, BenchFolder() / "unused");
        SeamlessRequest request{folder, true, BenchFolder() / "layer.Err", "", 0, {}};
        request.jobs = jobs;
        ResetPeakMemory();
        const auto start = Clock::now();
        SeamlessAssembly(request, shape, statistics, port);
        return std::pair(std::chrono::duration<double>(Clock::now() - start).count(), PeakMemoryMiB());
    };
    const fs::path folder = BenchFolder() / "layer";
    for (const auto& [name, jobs] : {std::pair("step_1job", 1), std::pair("step", 0)}) {
        const auto [seconds, peak] = assemble(folder, "", jobs);
        state.counters[std::string(name) + "_s"] = seconds;
        state.counters[std::string(name) + "_MiB"] = peak;
    }
    // Each layer again on its own.
    for (std::string_view layer : kSeamlessLayers) {
        const auto [seconds, peak] = assemble(folder, layer, 1);
        state.counters[std::string(layer) + "_s"] = seconds;
        state.counters[std::string(layer) + "_MiB"] = peak;
    }
    fs::remove_all(out);
}
BENCHMARK(BM_SeamlessStep)->Arg(10)->Arg(20)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
// SEAMLESS_BENCH_SIDE=N adds a run of N x N sheets (32: 1,024 sheets, some minutes and 6 GB
// of disk).
const bool kExtraSide = [] {
    if (const char* side = std::getenv("SEAMLESS_BENCH_SIDE"); side && std::atoi(side) > 0)
        benchmark::RegisterBenchmark("BM_SeamlessStep", BM_SeamlessStep)
            ->Arg(std::atoi(side))
            ->Unit(benchmark::kSecond)
            ->Iterations(1)
            ->UseRealTime();
    return true;
}();

}  // namespace
}  // namespace gridora

BENCHMARK_MAIN();
