#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/ini_file.h"
#include "run/run_statistics.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

TEST(RunStatistics, AStoredValueGrowsButNeverShrinks) {
    ScratchFolder folder;
    const auto ini = folder / "gridora.Ini";
    WriteBytes(ini, ToCp932("[図形]\r\nsXYmax=20000\r\nsArcIDmax=100\r\n"));
    WorkArrays arrays;  // initial capacities: 4000, 10000, 2000, 1000, 4000
    WriteRunStatistics(ini, CapacitiesOf(arrays), RunStatistics{});
    EXPECT_EQ(ReadIniInteger(ini, ToCp932("図形"), "sXYmax", 0), 20000);
    EXPECT_EQ(ReadIniInteger(ini, ToCp932("図形"), "sArcIDmax", 0), 4000);

    for (int i = 0; i < 11001; ++i) arrays.arc_points.Append(ArcPoint{});
    WriteRunStatistics(ini, CapacitiesOf(arrays), RunStatistics{});
    EXPECT_EQ(arrays.arc_points.Capacity(), 12000);
    EXPECT_EQ(ReadIniInteger(ini, ToCp932("図形"), "sXYmax", 0), 20000);
    for (int i = 0; i < 9000; ++i) arrays.arc_points.Append(ArcPoint{});
    WriteRunStatistics(ini, CapacitiesOf(arrays), RunStatistics{});
    EXPECT_EQ(ReadIniInteger(ini, ToCp932("図形"), "sXYmax", 0), 21000);
}

TEST(RunStatistics, WritesTheThreeSectionsWithTheirKeysInOrder) {
    ScratchFolder folder;
    const auto ini = folder / "gridora.Ini";
    RunStatistics statistics;
    statistics.largest_vertex_count = 321;
    statistics.largest_value_count[3] = 12;
    statistics.longest_value[3][11] = 7;   // layer 3, position 12
    statistics.longest_value[10][15] = 2;  // layer 10, position 16
    WriteRunStatistics(ini, WorkArrayCapacities{4000, 10000, 2000, 1000, 4000}, statistics);

    const std::string expected = ToCp932(
        "[図形]\r\nsArcIDmax=4000\r\nsXYmax=10000\r\nsPgnIDmax=2000\r\nsArcmax=1000\r\n"
        "sPntIDmax=4000\r\nsXYnummax=321\r\n"
        "[フィールド数]\r\n3=12\r\n"
        "[フィールド長]\r\n3_12=7\r\n10_16=2\r\n");
    EXPECT_EQ(ReadBytes(ini), expected);
}

TEST(RunStatistics, OtherSectionsOfTheSettingsFileStayAsTheyWere) {
    ScratchFolder folder;
    const auto ini = folder / "gridora.Ini";
    const std::string before = ToCp932("[フォルダー]\r\n出力=/data/run.lis\r\n[MapServer]\r\nKey = value \r\n");
    WriteBytes(ini, before);
    WriteRunStatistics(ini, WorkArrayCapacities{1, 1, 1, 1, 1}, RunStatistics{});
    const std::string after = ReadBytes(ini);
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(ReadIniString(ini, ToCp932("フォルダー"), ToCp932("出力"), ""), "/data/run.lis");
}

TEST(RunStatistics, LinkErrorsOfThisRunReplaceTheLastRunsForTheLayersThatHadAny) {
    ScratchFolder folder;
    const auto ini = folder / "gridora.Ini";
    WriteBytes(ini, ToCp932("[ポリゴンリンクエラー数]\r\n2=9\r\n5=4\r\n"));
    RunStatistics statistics;
    statistics.longest_value[0][0] = 3;
    statistics.polygon_link_errors = {0, 1, 0, 0, 0, 7};
    WriteRunStatistics(ini, WorkArrayCapacities{1, 1, 1, 1, 1}, statistics);
    // This run's counts replace the last run's; a layer without any keeps its old entry.
    const std::string section = ToCp932("ポリゴンリンクエラー数");
    EXPECT_EQ(ReadIniInteger(ini, section, "2", 0), 1);
    EXPECT_EQ(ReadIniInteger(ini, section, "5", 0), 4);
    EXPECT_EQ(ReadIniInteger(ini, section, "6", 0), 7);
    EXPECT_FALSE(IniFile(ini).HasKey(section, "1"));
}

}  // namespace
}  // namespace gridora
