// The progress record on its own: what a resume reads back, and which of the two records
// it trusts when the staged files hold less than the latest counts on.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "run/run_progress.h"
#include "run/staging.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, std::size_t bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(bytes, 'x');
}

TEST(RunProgressRecord, ReadsBackWhatWasWrittenAndFallsBackToTheSyncedRecordWhenTheLatestIsAheadOfItsData) {
    testing::ScratchFolder folder;
    const fs::path& staging = folder.Path();
    WriteFile(staging / "gaiku_arc.txt", 100);
    WriteFile(staging / "mizu_pgn.txt", 10);

    RunProgress synced;
    synced.phase = RunProgress::Phase::kSeamless;
    synced.next_row = 36;
    synced.seamless_layers_done = 1;
    synced.row_states = std::string(36, 'c');
    synced.files = {StagedFileMark{"gaiku_arc.txt", 100, -1, {}}, StagedFileMark{"mizu_pgn.txt", 10, -1, {}}};
    synced.consumed = {"mizu_pgn.txt", "mizu_arc.txt"};
    synced.tables = {{"tatemono", 42}};
    ASSERT_TRUE(SaveRunProgress(staging, synced, true));
    ASSERT_TRUE(fs::exists(staging / kSyncedProgressRecordName));

    const std::optional<RunProgress> read = LoadRunProgress(staging);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->phase, RunProgress::Phase::kSeamless);
    EXPECT_EQ(read->next_row, 36u);
    EXPECT_EQ(read->seamless_layers_done, 1);
    EXPECT_EQ(read->row_states, synced.row_states);
    EXPECT_EQ(read->consumed, synced.consumed);
    EXPECT_EQ(read->tables, synced.tables);
    ASSERT_EQ(read->files.size(), 2u);
    EXPECT_EQ(read->files[0].path, "gaiku_arc.txt");
    EXPECT_EQ(read->files[0].length, 100u);

    // A later record left unsynced, counting on data a power cut took: the synced one holds.
    RunProgress latest = synced;
    latest.seamless_layers_done = 2;
    latest.files[0].length = 200;
    ASSERT_TRUE(SaveRunProgress(staging, latest, false));
    EXPECT_EQ(LoadRunProgress(staging)->seamless_layers_done, 1);
    WriteFile(staging / "gaiku_arc.txt", 200);
    EXPECT_EQ(LoadRunProgress(staging)->seamless_layers_done, 2);

    // Neither record holds: the latest is returned, for its restore to say what is missing.
    WriteFile(staging / "gaiku_arc.txt", 50);
    EXPECT_EQ(LoadRunProgress(staging)->seamless_layers_done, 2);
    EXPECT_FALSE(RestoreStagedFiles(staging, *LoadRunProgress(staging)).empty());
}

}  // namespace
}  // namespace gridora
