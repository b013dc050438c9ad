#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/data_file.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

std::vector<std::string> AllLines(std::string_view text) {
    LineReader reader(text);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(line)) lines.emplace_back(line);
    EXPECT_EQ(reader.LineNumber(), static_cast<int>(lines.size()));
    return lines;
}

TEST(LineReader, SplitsCrLfAndLfLinesWithoutTheirEnds) {
    using V = std::vector<std::string>;
    EXPECT_EQ(AllLines("a\r\nb\nc"), (V{"a", "b", "c"}));
    EXPECT_EQ(AllLines("a\r\n\r\nb\r\n"), (V{"a", "", "b"}));
    EXPECT_EQ(AllLines(""), V{});
    EXPECT_EQ(AllLines("\r\n"), V{""});
}

TEST(LineReader, DosEndOfFileMarkEndsTheText) {
    using V = std::vector<std::string>;
    EXPECT_EQ(AllLines("a\r\nb\r\n\x1A"), (V{"a", "b"}));
    EXPECT_EQ(AllLines("a\r\n\x1A\r\nignored\r\n"), V{"a"});
}

TEST(LineReader, ReadingPastTheEndGivesCountedEmptyLines) {
    LineReader reader("x\r\n");
    EXPECT_EQ(reader.NextOrEmpty(), "x");
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.NextOrEmpty(), "");
    EXPECT_EQ(reader.NextOrEmpty(), "");
    EXPECT_EQ(reader.LineNumber(), 3);
}

TEST(LoadDataFile, FindsTheFileWithoutRegardToCaseAndKeepsBytes) {
    testing::ScratchFolder dir;
    const std::string bytes("FH,\x93\x8C\r\n\0z", 10);
    dir.Write("roadntwk/roadntwk.tie", bytes);
    EXPECT_EQ(LoadDataFile(dir / "ROADNTWK/ROADNTWK.TIE"), bytes);
    EXPECT_FALSE(LoadDataFile(dir / "ROADNTWK/ROADNTWK.NOD"));
    EXPECT_FALSE(LoadDataFile(dir.Path()));  // a folder is no data file
}

}  // namespace
}  // namespace gridora
