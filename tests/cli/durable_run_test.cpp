// Runs that are killed, stopped or resumed: gridora-cli converting 36 generated sheets from
// two archives is killed with SIGKILL at moments spread over a whole run (sheets,
// extraction, the seamless step, the map files, the swap). After each kill the output
// folder shows the previous output or the new one, whole, with every layer's shapes, index
// entries and records agreeing; --resume then gives exactly the output of an uninterrupted
// run. SIGINT stops a run at a sheet boundary with status 130.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <shapefil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "output_limits.h"
#include "platform/lha_writer_helpers.h"
#include "scratch_folder.h"

extern char** environ;

namespace gridora {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::ReadBytes;

// Every file of an output folder but the program's own working folders, by relative path.
using FolderBytes = std::map<std::string, std::string>;

FolderBytes VisibleFiles(const fs::path& folder) {
    FolderBytes files;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_directory() && it->path().filename().native().starts_with(".gridora-")) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file()) files[it->path().lexically_relative(folder).native()] = ReadBytes(it->path());
    }
    return files;
}

// Each Shapefile of the folder: its shapes, index entries (from the .shx size) and table
// records agree. The names of those that do not.
std::vector<std::string> InconsistentLayers(const fs::path& folder) {
    std::vector<std::string> bad;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".shp") continue;
        fs::path base = entry.path();
        base.replace_extension();
        SHPHandle shapes = SHPOpen(base.c_str(), "rb");
        DBFHandle table = DBFOpen((base.native() + ".dbf").c_str(), "rb");
        int count = -1;
        if (shapes) SHPGetInfo(shapes, &count, nullptr, nullptr, nullptr);
        const auto index_entries = static_cast<int>((fs::file_size(base.native() + ".shx") - 100) / 8);
        const int records = table ? DBFGetRecordCount(table) : -2;
        if (!shapes || !table || count != index_entries || count != records) bad.push_back(base.filename().native());
        if (shapes) SHPClose(shapes);
        if (table) DBFClose(table);
    }
    return bad;
}

class DurableRun : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path sheets = folder / "sheets";
        const std::string generate = std::string(SHEETGEN_PROGRAM) + " -q -o '" + sheets.native() +
                                     "' --grid 09LD171:6x6 --density sparse --city 13101:千代田区 --city 13102:中央区";
        ASSERT_EQ(std::system(generate.c_str()), 0);
        for (const char* code : {"13101", "13102"}) {
            archives.push_back(folder / (std::string(code) + ".LZH"));
            testing::WriteLhaArchive(archives.back(), testing::FolderMembers(sheets / code));
        }
    }

    // gridora-cli into `out` with `extra` arguments and the given archives, started in a
    // process of its own.
    pid_t Start(const std::vector<fs::path>& sources, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> arguments = {GRIDORA_CLI, "-o", (out / "run.lis").native(), "--settings",
                                              (folder / "gridora.Ini").native()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        for (const fs::path& s : sources) arguments.push_back(s.native());
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, (folder / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        posix_spawn(&pid, GRIDORA_CLI, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    // The exit status, or 128 + the signal that ended it.
    static int Wait(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    int Convert(const std::vector<fs::path>& sources, const std::vector<std::string>& extra = {}) {
        return Wait(Start(sources, extra));
    }

    // The previous output of the folder: one archive's sheets, converted before.
    void PutPreviousOutput() {
        fs::remove_all(out);
        fs::create_directories(out);
        fs::copy(folder / "previous", out, fs::copy_options::recursive);
    }

    testing::ScratchFolder folder;
    fs::path out = folder / "out";
    std::vector<fs::path> archives;
};

TEST_F(DurableRun, AKilledRunLeavesOldOrNewOutputWholeAndItsResumeEqualsAnUninterruptedRun) {
    // The uninterrupted run and its duration, then the previous output it replaces.
    const auto start = Clock::now();
    ASSERT_EQ(Convert(archives), 0) << ReadBytes(folder / "stderr");
    const double run_seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const FolderBytes complete = VisibleFiles(out);
    fs::remove_all(out);
    ASSERT_EQ(Convert({archives[0]}), 0);
    const FolderBytes previous = VisibleFiles(out);
    ASSERT_NE(previous, complete);
    fs::rename(out, folder / "previous");

    constexpr int kMoments = 20;
    int resumed = 0;
    for (int moment = 1; moment <= kMoments; ++moment) {
        SCOPED_TRACE("killed at " + std::to_string(moment) + "/" + std::to_string(kMoments + 1) + " of the run");
        PutPreviousOutput();
        const pid_t run = Start(archives);
        std::this_thread::sleep_for(std::chrono::duration<double>(run_seconds * moment / (kMoments + 1)));
        kill(run, SIGKILL);
        Wait(run);

        const FolderBytes seen = VisibleFiles(out);
        EXPECT_TRUE(seen == previous || seen == complete) << "the output folder mixes two runs";
        EXPECT_EQ(InconsistentLayers(out), std::vector<std::string>{});

        // Killed before its staging folder was made, or after its output was in place
        // (while it wrote its statistics), a run leaves nothing to resume: the output is
        // then the previous one, for a run started anew, or the complete one.
        if (!fs::exists(out / ".gridora-stage-run.lis")) {
            if (seen == complete) {
                EXPECT_EQ(Convert(archives, {"--resume"}), 2);
            } else {
                EXPECT_EQ(Convert(archives), 0) << ReadBytes(folder / "stderr");
            }
        } else {
            EXPECT_EQ(Convert(archives, {"--resume"}), 0) << ReadBytes(folder / "stderr");
            ++resumed;
        }
        EXPECT_TRUE(VisibleFiles(out) == complete) << "the resumed output differs";
        for (const auto& entry : fs::directory_iterator(out))
            EXPECT_FALSE(entry.path().filename().native().starts_with(".gridora-")) << entry.path();
    }
    EXPECT_GE(resumed, kMoments / 2);
}

TEST_F(DurableRun, SigintStopsAtASheetBoundaryAndTheRunResumes) {
    ASSERT_EQ(Convert(archives), 0);
    const FolderBytes complete = VisibleFiles(out);
    fs::remove_all(out);

    const pid_t run = Start(archives);
    // Stopped while the sheets convert: the progress record names its first sheet done.
    const fs::path progress = out / ".gridora-stage-run.lis/PROGRESS";
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!fs::exists(progress) && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(run, SIGINT);
    EXPECT_EQ(Wait(run), 130);
    EXPECT_NE(ReadBytes(folder / "stderr").find("--resume"), std::string::npos);
    EXPECT_FALSE(fs::exists(out / "run.lis"));

    // Other arguments are refused and leave the staged work for the right ones.
    EXPECT_EQ(Convert({archives[0]}, {"--resume"}), 2);
    EXPECT_NE(ReadBytes(folder / "stderr").find("error:"), std::string::npos);

    // As a power cut may leave it: the latest record counts on more of a file than the disk
    // kept. The resume goes back to the synced record, which the stop wrote.
    const fs::path staging = out / ".gridora-stage-run.lis";
    ASSERT_TRUE(fs::exists(staging / "PROGRESS.synced"));
    std::string latest = ReadBytes(staging / "PROGRESS");
    const std::size_t length_at = latest.find(' ', latest.find("\nfile ") + 6) + 1;
    ASSERT_NE(length_at, std::string::npos);
    latest.insert(length_at, "9");  // ten times as long, and more
    std::ofstream(staging / "PROGRESS", std::ios::binary | std::ios::trunc) << latest;
    EXPECT_EQ(Convert(archives, {"--resume"}), 0) << ReadBytes(folder / "stderr");
    EXPECT_TRUE(VisibleFiles(out) == complete);
}

// The layer files of a folder, which name no folder (the map files do).
FolderBytes LayerFiles(const fs::path& folder) {
    FolderBytes layers;
    for (auto& [name, bytes] : VisibleFiles(folder)) {
        const fs::path extension = fs::path(name).extension();
        if (extension == ".shp" || extension == ".shx" || extension == ".dbf") layers[name] = std::move(bytes);
    }
    return layers;
}

TEST_F(DurableRun, ARunStoppedByAFullDiskResumesOnceThereIsRoom) {
    ASSERT_EQ(Convert(archives), 0);
    const FolderBytes complete = LayerFiles(out);

    testing::SmallFileSystem disk(folder / "disk", 64u << 20);
    if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
    // Ballast leaves room for a part of the output only.
    const fs::path ballast = disk.Path() / "ballast";
    {
        std::ofstream fill(ballast, std::ios::binary);
        const std::string block(1 << 20, 'x');
        for (int mib = 0; mib < 64 - 6; ++mib) fill.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    out = disk.Path() / "out";
    EXPECT_EQ(Convert(archives), 1);
    EXPECT_NE(ReadBytes(folder / "stderr").find("error:"), std::string::npos);
    EXPECT_TRUE(LayerFiles(out).empty());

    fs::remove(ballast);
    EXPECT_EQ(Convert(archives, {"--resume"}), 0) << ReadBytes(folder / "stderr");
    EXPECT_TRUE(LayerFiles(out) == complete);
}

}  // namespace
}  // namespace gridora
