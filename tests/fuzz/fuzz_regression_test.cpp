// Replays every committed input of every fuzz target: the seeds and each input that ever
// made a target fail (tests/fuzz/<target>/seeds and tests/fuzz/<target>/regressions). A
// broken property aborts the program, which fails the test of that target.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_targets.h"

namespace gridora::fuzz {

// Names the target in test listings instead of dumping the struct's bytes.
void PrintTo(const FuzzTarget& target, std::ostream* out);
void PrintTo(const FuzzTarget& target, std::ostream* out) { *out << target.name; }

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> CommittedInputs(const std::string& target) {
    std::vector<fs::path> inputs;
    for (const char* kind : {"seeds", "regressions"}) {
        const fs::path folder = fs::path(GRIDORA_SOURCE_DIR) / "tests" / "fuzz" / target / kind;
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

std::string ReadInput(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FuzzInputsReplay : public ::testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzInputsReplay, EveryCommittedInputPasses) {
    const FuzzTarget& target = GetParam();
    const std::vector<fs::path> inputs = CommittedInputs(target.name);
    ASSERT_FALSE(inputs.empty()) << "no seeds for " << target.name;
    for (const fs::path& file : inputs) {
        SCOPED_TRACE(file.string());
        const std::string bytes = ReadInput(file);
        EXPECT_EQ(target.entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
    }
    // The empty input is valid for every target.
    EXPECT_EQ(target.entry(nullptr, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzInputsReplay, ::testing::ValuesIn(kFuzzTargets),
                         [](const ::testing::TestParamInfo<FuzzTarget>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace gridora::fuzz
