// Runs at several job counts: gridora-cli with -j 2, -j 3 and -j 8 writes what -j 1 writes,
// byte for byte (every output file, the settings file's statistics, the error file), prints
// the same lines on stdout and stderr and ends with the same status; a run stopped at
// one count and resumed at another gives the same output as well.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "mapserver/shell_helpers.h"
#include "platform/lha_writer_helpers.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using testing::Quote;
using testing::ReadBytes;

// What a run leaves: every file below the scratch folder's run folder (output, settings
// and error file, stdout, stderr) by relative path, as a digest, and its status.
struct RunTrace {
    int status = -1;
    std::map<std::string, std::size_t> files;
};

std::vector<fs::path> Sorted(std::vector<fs::path> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The sheet descriptions below `root` (ROOT/CITY/SHEET/SHEET.TXT), in path order.
std::vector<fs::path> Descriptions(const fs::path& root) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.path().extension() == ".TXT" && entry.path().parent_path().filename() == entry.path().stem())
            found.push_back(entry.path());
    return Sorted(found);
}

class ParallelRun : public ::testing::Test {
protected:
    fs::path Run() const { return folder / "run"; }

    std::string Command(const std::vector<fs::path>& sources, const std::vector<std::string>& extra) const {
        std::string command = Quote(GRIDORA_CLI) + " -o " + Quote(Run() / "out/run.lis") + " --settings " +
                              Quote(Run() / "gridora.Ini");
        for (const std::string& e : extra) command += " " + Quote(e);
        for (const fs::path& s : sources) command += " " + Quote(s.native());
        return command + " >>" + Quote(Run() / "stdout") + " 2>>" + Quote(Run() / "stderr");
    }

    static int Status(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

    // The trace of the run folder, which is removed.
    RunTrace Take(int status) const {
        RunTrace trace{status, {}};
        for (const auto& entry : fs::recursive_directory_iterator(Run()))
            if (entry.is_regular_file())
                trace.files[entry.path().lexically_relative(Run()).native()] =
                    std::hash<std::string>{}(ReadBytes(entry.path()));
        fs::remove_all(Run());
        return trace;
    }

    RunTrace Convert(const std::vector<fs::path>& sources, const std::string& jobs) const {
        fs::create_directories(Run());
        return Take(Status(std::system(Command(sources, {"-j", jobs}).c_str())));
    }

    static void ExpectSame(const RunTrace& expected, const RunTrace& actual, const std::string& what) {
        EXPECT_EQ(expected.status, actual.status) << what;
        EXPECT_EQ(expected.files.size(), actual.files.size()) << what;
        for (const auto& [name, digest] : expected.files) {
            const auto found = actual.files.find(name);
            EXPECT_TRUE(found != actual.files.end() && found->second == digest) << what << ": " << name;
        }
    }

    // Sparse sheets generated over a 6x6 grid in two municipalities, as descriptions and as one
    // stored archive per municipality.
    void Generate() {
        const std::string generate = std::string(SHEETGEN_PROGRAM) + " -q -o " + Quote(folder / "sheets") +
                                     " --grid 09LD171:6x6 --density sparse --city 13101:千代田区 --city 13102:中央区";
        ASSERT_EQ(std::system(generate.c_str()), 0);
        for (const char* code : {"13101", "13102"}) {
            archives.push_back(folder / (std::string(code) + ".LZH"));
            testing::WriteLhaArchive(archives.back(), testing::FolderMembers(folder / "sheets" / code));
        }
    }

    testing::ScratchFolder folder;
    std::vector<fs::path> archives;
};

TEST_F(ParallelRun, EveryJobCountWritesAndPrintsWhatOneJobDoes) {
    Generate();
    const fs::path source_dir = GRIDORA_SOURCE_DIR;
    std::vector<fs::path> sample;
    for (const auto& entry : fs::directory_iterator(source_dir / "data/sample"))
        if (entry.path().extension() == ".LZH") sample.push_back(entry.path());
    const struct {
        const char* name;
        std::vector<fs::path> sources;
    } inputs[] = {
        {"sample archives", Sorted(sample)},
        {"sample-bad", Descriptions(source_dir / "data/sample-bad")},
        {"6x6 descriptions", Descriptions(folder / "sheets")},
        {"6x6 archives", archives},
    };
    for (const auto& input : inputs) {
        ASSERT_FALSE(input.sources.empty()) << input.name;
        const RunTrace one = Convert(input.sources, "1");
        EXPECT_GT(one.files.size(), 20u) << input.name;
        for (const char* jobs : {"2", "3", "8"})
            ExpectSame(one, Convert(input.sources, jobs), std::string(input.name) + " -j " + jobs);
    }
}

TEST_F(ParallelRun, ARunStoppedAtOneJobCountAndResumedAtAnotherWritesWhatAnUninterruptedRunDoes) {
    Generate();
    fs::create_directories(Run());
    const int uninterrupted = Status(std::system(Command(archives, {"-j", "1"}).c_str()));
    RunTrace expected = Take(uninterrupted);
    // The two runs print more lines than one: only the output is compared.
    expected.files.erase("stdout");
    expected.files.erase("stderr");

    fs::create_directories(Run());
    const pid_t run = fork();
    ASSERT_GE(run, 0);
    if (run == 0) {
        execl("/bin/sh", "sh", "-c", ("exec " + Command(archives, {"-j", "8"})).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Stopped once a few sheets are done.
    const fs::path progress = Run() / "out/.gridora-stage-run.lis/PROGRESS";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!fs::exists(progress) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(run, SIGINT);
    int status = 0;
    waitpid(run, &status, 0);
    const int stopped = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    // A run that finished before the signal came has nothing to resume.
    RecordProperty("stopped", stopped);
    if (stopped == 130) {
        EXPECT_EQ(Status(std::system(Command(archives, {"-j", "3", "--resume"}).c_str())), uninterrupted);
    } else {
        EXPECT_EQ(stopped, uninterrupted);
    }
    RunTrace resumed = Take(uninterrupted);
    resumed.files.erase("stdout");
    resumed.files.erase("stderr");
    ExpectSame(expected, resumed, "stopped at -j 8, resumed at -j 3");
}

}  // namespace
}  // namespace gridora
