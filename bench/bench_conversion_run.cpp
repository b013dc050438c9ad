// The conversion run on 100 generated sheets of normal density, packed one archive per
// municipality as published (50 sheets each): listing, extraction, conversion, removal of
// the extracted sheets, list file and statistics. A second benchmark times the extraction
// and removal alone, sheet by sheet. `--grid ROWSxCOLUMNS --municipalities N` sets another
// size (25x40 and 20 for a run of 1,000 sheets in 20 archives). The extraction time is the
// time spent in the archive library's Unlha on any thread: the run extracts an archive's
// sheets while the rows before them convert. The sheets are made once by sheetgen and packed as -lh5- archives by
// jlha (Debian jlha-utils, which needs Java and is not installed by the project's set-up
// script) or, where jlha is missing, as stored -lh0- archives by the tests' LHA writer,
// and kept in $TMPDIR/gridora-bench-run/ for later runs. Each benchmark's label names the
// packing method its archives have.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "input/archive_binding.h"
#include "input/municipality_table.h"
#include "input/sheet_intake.h"
#include "platform/cp932.h"
#include "platform/lha_writer_helpers.h"
#include "platform/program_files.h"
#include "run/conversion_run.h"
#include "run/extracted_sheets.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;

// The run's size, set by the command line.
std::string grid = "10x10";
int municipalities = 2;

std::vector<std::string> Codes() {
    std::vector<std::string> codes;
    for (int i = 1; i <= municipalities; ++i) codes.push_back(std::to_string(13100 + i));
    return codes;
}

// Counts the messages and times the seamless step, from its status text to the run's last.
class SilentPort : public MessagePort {
public:
    void ShowMessage(std::string_view) override { ++messages; }
    void SetStatus(std::string_view cp932) override {
        const std::string text = Cp932ToUtf8(cp932);
        if (text == "シームレス処理実行中") seamless_start = std::chrono::steady_clock::now();
        if (text == "処理終了")
            seamless_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - seamless_start).count();
    }
    int messages = 0;
    std::chrono::steady_clock::time_point seamless_start;
    double seamless_seconds = 0.0;
};

// The files below `sheets`, relative to it, in sorted order as the published archives
// hold them.
std::vector<std::string> MemberNames(const fs::path& sheets) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(sheets))
        if (entry.is_regular_file()) names.push_back(entry.path().lexically_relative(sheets).native());
    std::sort(names.begin(), names.end());
    return names;
}

// Packs the sheet folders below `sheets` into `archive` with jlha (-lh5-).
bool PackArchiveWithJlha(const fs::path& sheets, const fs::path& archive) {
    std::string command = "cd '" + sheets.native() + "' && jlha a '" + archive.native() + "'";
    for (const std::string& name : MemberNames(sheets)) command += " '" + name + "'";
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0 && fs::exists(archive);
}

// Packs the sheet folders below `sheets` into `archive` as stored (-lh0-) members with
// level 2 headers, as jlha writes its headers.
bool PackStoredArchive(const fs::path& sheets, const fs::path& archive) {
    std::vector<testing::LhaMember> members;
    for (const std::string& name : MemberNames(sheets)) {
        std::ifstream in(sheets / name, std::ios::binary);
        if (!in) return false;
        members.emplace_back(name, std::string(std::istreambuf_iterator<char>(in), {}));
    }
    testing::LhaWriteOptions options;
    options.header_level = 2;
    try {
        testing::WriteLhaArchive(archive, members, options);
    } catch (const std::exception&) {
        return false;
    }
    return fs::exists(archive);
}

// The compression method of an archive's first member ("-lh5-", "-lh0-"), which every
// header level keeps at bytes 2-6; empty when the archive cannot be read.
std::string PackingMethod(const fs::path& archive) {
    std::ifstream in(archive, std::ios::binary);
    char header[7] = {};
    if (!in.read(header, sizeof header)) return {};
    return std::string(header + 2, 5);
}

struct Workspace {
    fs::path folder;
    std::vector<fs::path> archives;
    std::string packing;  // what the archives hold, for the benchmarks' labels
    std::string error;

    Workspace() {
        const char* tmp = std::getenv("TMPDIR");
        folder = fs::path(tmp && *tmp ? tmp : "/tmp") / "gridora-bench-run";
        if (grid != "10x10" || municipalities != 2) folder += "-" + grid + "-" + std::to_string(municipalities);
        for (const std::string& code : Codes()) archives.push_back(folder / "archives" / (code + ".LZH"));
        if (!std::all_of(archives.begin(), archives.end(), [](const fs::path& a) { return fs::exists(a); })) Make();
        if (!error.empty()) return;
        const std::string method = PackingMethod(archives.front());
        packing = method + (method == "-lh0-" ? " archives (stored by the tests' LHA writer)" : " archives (jlha)");
    }

private:
    void Make() {
        const bool have_jlha = std::system("command -v jlha >/dev/null 2>&1") == 0;
        std::fprintf(stderr, "packing the benchmark's archives in %s: %s\n", folder.c_str(),
                     have_jlha ? "-lh5- by jlha" : "jlha not found, stored -lh0- by the tests' LHA writer");
        const auto pack = have_jlha ? &PackArchiveWithJlha : &PackStoredArchive;

        const fs::path sheetgen = ProgramFolder().parent_path() / "bin/sheetgen";
        const fs::path sheets = folder / "sheets";
        fs::remove_all(folder);
        std::string command = "'" + sheetgen.native() + "' -q -o '" + sheets.native() +
                              "' --density normal --grid 09LD172:" + grid;
        for (const std::string& code : Codes()) command += " --city " + code + ":C" + code;
        if (std::system(command.c_str()) != 0) {
            error = "sheetgen failed: " + command;
            return;
        }
        fs::create_directories(folder / "archives");
        const std::vector<std::string> codes = Codes();
        for (std::size_t i = 0; i < codes.size(); ++i)
            if (!pack(sheets / codes[i], archives[i])) error = "packing failed: " + archives[i].native();
        fs::remove_all(sheets);
    }
};

const Workspace& TheWorkspace() {
    static const Workspace workspace;
    return workspace;
}

// Extraction time, gathered around the library's Unlha on every thread.
UnlhaFunction* real_unlha = nullptr;
std::atomic<std::int64_t> extraction_nanoseconds{0};

int TimedUnlha(void* window, const char* command, char* report, std::uint32_t size) {
    const auto start = std::chrono::steady_clock::now();
    const int result = real_unlha(window, command, report, size);
    extraction_nanoseconds += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
    return result;
}

void ListSheets(const Workspace& workspace, const ArchiveEntryPoints& archives, SheetList& sheets) {
    std::vector<std::string> lines;
    for (const std::string& code : Codes()) lines.push_back("C" + code + "," + code);
    const MunicipalityTable table(lines);
    for (const fs::path& archive : workspace.archives) AddSheetSource(sheets, table, archives, archive);
}

void BM_ConversionRun100Sheets(benchmark::State& state) {
    const Workspace& workspace = TheWorkspace();
    if (!workspace.error.empty()) return state.SkipWithError(workspace.error.c_str());
    SilentPort port;
    ArchiveLibraryUse library(&port, (ProgramFolder().parent_path() / "bin" / UNLHA32_LIBRARY_FILE).native());
    if (!library.loaded()) return state.SkipWithError("libunlha32.so not found beside the programs");
    ArchiveEntryPoints archives = library.entry_points();
    real_unlha = archives.Unlha;
    archives.Unlha = &TimedUnlha;

    const fs::path out = workspace.folder / "out";
    double extraction_total = 0.0, run_total = 0.0;
    std::size_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(out);
        fs::create_directories(out);
        extraction_nanoseconds = 0;
        state.ResumeTiming();
        const auto run_start = std::chrono::steady_clock::now();

        SheetList sheets;
        ListSheets(workspace, archives, sheets);
        RunRequest request;
        request.list_file = (out / "run.lis").native();
        request.settings_file = workspace.folder / "gridora.Ini";
        request.error_file = workspace.folder / "gridora.Err";
        SheetConversionState run;
        if (RunConversion(sheets, request, run, archives, port) != RunOutcome::kCompleted)
            state.SkipWithError("the run did not complete");
        extraction_total += static_cast<double>(extraction_nanoseconds.load()) * 1e-9;
        run_total += std::chrono::duration<double>(std::chrono::steady_clock::now() - run_start).count();
        rows = sheets.size();
    }
    state.SetLabel(workspace.packing);
    state.counters["sheets"] = static_cast<double>(rows);
    state.counters["extraction_s"] = benchmark::Counter(extraction_total, benchmark::Counter::kAvgIterations);
    state.counters["messages"] = port.messages;
    state.counters["seamless_s"] = benchmark::Counter(port.seamless_seconds, benchmark::Counter::kAvgIterations);
    state.counters["seamless_share"] = run_total > 0 ? port.seamless_seconds / run_total : 0.0;
    state.counters["extraction_share"] = run_total > 0 ? extraction_total / run_total : 0.0;
    fs::remove_all(out);
}
BENCHMARK(BM_ConversionRun100Sheets)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_ExtractAndRemove100Sheets(benchmark::State& state) {
    const Workspace& workspace = TheWorkspace();
    if (!workspace.error.empty()) return state.SkipWithError(workspace.error.c_str());
    SilentPort port;
    ArchiveLibraryUse library(&port, (ProgramFolder().parent_path() / "bin" / UNLHA32_LIBRARY_FILE).native());
    if (!library.loaded()) return state.SkipWithError("libunlha32.so not found beside the programs");
    const ArchiveEntryPoints& archives = library.entry_points();
    SheetList sheets;
    ListSheets(workspace, archives, sheets);

    const fs::path out = workspace.folder / "extracted";
    fs::create_directories(out);
    for (auto _ : state) {
        for (std::size_t row = 0; row < sheets.size(); ++row) {
            const SheetRowFields fields = SplitSheetRow(sheets.Text(row));
            const fs::path source(Cp932ToUtf8(fields.source_path));
            const std::string command = SheetExtractionCommand(source, out, fields.sheet_name);
            char report[6001];
            if (archives.Unlha(nullptr, command.c_str(), report, 6000) != 0) state.SkipWithError("extraction failed");
            RemoveExtractedSheet(out, fields.sheet_name);
        }
    }
    state.SetLabel(workspace.packing);
    state.counters["sheets"] = static_cast<double>(sheets.size());
    fs::remove_all(out);
}
BENCHMARK(BM_ExtractAndRemove100Sheets)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace gridora

// Takes --grid and --municipalities off the command line, leaves the rest to the library.
int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--grid" && i + 1 < argc) {
            gridora::grid = argv[++i];
        } else if (arg == "--municipalities" && i + 1 < argc) {
            gridora::municipalities = std::max(1, std::atoi(argv[++i]));
        } else {
            rest.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
