// Committed expected files, compared byte for byte. GRIDORA_UPDATE_GOLDEN=1 in the
// environment rewrites them from the actual bytes instead (review the diff before
// committing).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/cp932.h"
#include "scratch_folder.h"

namespace gridora::testing {

inline std::filesystem::path GoldenPath(std::string_view name) {
    return std::filesystem::path(GRIDORA_SOURCE_DIR) / "tests/mapserver/golden" / name;
}

// The first differing line of two CR LF texts, shown in UTF-8, for a readable failure.
inline std::string FirstDifference(const std::string& expected, const std::string& actual) {
    std::size_t line = 1, start = 0;
    for (std::size_t i = 0; i < expected.size() && i < actual.size(); ++i) {
        if (expected[i] != actual[i]) {
            const std::size_t e_end = expected.find('\n', start), a_end = actual.find('\n', start);
            return "line " + std::to_string(line) + ":\n  expected: " +
                   Cp932ToUtf8(expected.substr(start, e_end - start)) +
                   "\n  actual:   " + Cp932ToUtf8(actual.substr(start, a_end - start));
        }
        if (expected[i] == '\n') {
            ++line;
            start = i + 1;
        }
    }
    return "lengths " + std::to_string(expected.size()) + " and " + std::to_string(actual.size());
}

inline void ExpectGolden(std::string_view name, const std::string& actual) {
    const std::filesystem::path path = GoldenPath(name);
    const char* update = std::getenv("GRIDORA_UPDATE_GOLDEN");
    if (update && std::string_view(update) == "1") WriteBytes(path, actual);
    const std::string expected = ReadBytes(path);
    ASSERT_FALSE(expected.empty()) << "missing golden file " << path;
    EXPECT_TRUE(expected == actual) << name << " differs at " << FirstDifference(expected, actual);
}

}  // namespace gridora::testing
