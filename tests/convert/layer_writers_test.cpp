// The frame, line, road, node and point writers, driven through the sheet dispatch on
// small sheets written for each test, their output read back with shapelib.
#include <gtest/gtest.h>

#include "convert/writer_helpers.h"
#include "input/coordinate_systems.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::CrLfLines;
using testing::DescriptionText;
using testing::HeaderLine;
using testing::kTestSheetLine7;
using testing::ReadBytes;
using testing::ReadLayer;
using testing::TestSheetHeader;
using testing::Vertex;
using testing::WriteBytes;
using testing::WrittenSheetTest;

using LineLayerWriter = WrittenSheetTest;
using RoadLayerWriter = WrittenSheetTest;
using NodeLayerWriter = WrittenSheetTest;
using PointLayerWriter = WrittenSheetTest;
using FrameLayerWriter = WrittenSheetTest;

void WriteRailwaySheet(const std::filesystem::path& sheet) {
    WriteBytes(sheet / "09LD171.TXT", DescriptionText(kTestSheetLine7, {"09LD171\\OTHERS\\TETUDOU.ATR"}));
    WriteBytes(sheet / "OTHERS/OTHERS.ARC", CrLfLines({TestSheetHeader(), "L2201,1,12,4", "0.0,0.0", "10.0,0.0",
                                                       "10.0,0.0", "20.0,5.0", "L2201,2,13,2", "1.0,1.0", "2.0,2.0"}));
    WriteBytes(sheet / "OTHERS/TETUDOU.ATR",
               CrLfLines({TestSheetHeader(), ToCp932("L2201,-12,1,ＪＲ線"), "L2201,13,1,second", "L2201,99,1,lost"}));
}

TEST_F(LineLayerWriter, ANegativeIdDrawsItsArcBackwardsWithoutRepeatedPointsAndKeepsItsSign) {
    WriteRailwaySheet(sheet);
    ASSERT_EQ(Convert(), SheetOutcome::Converted);

    const auto tetudou = ReadLayer(fixture.output / "tetudou");
    ASSERT_TRUE(tetudou.opened);
    EXPECT_EQ(tetudou.shape_type, SHPT_ARC);
    ASSERT_EQ(tetudou.record_count, 3);
    EXPECT_EQ(tetudou.Integer(0, "id"), -12);
    EXPECT_EQ(tetudou.Text(0, "zumei"), "09LD171");
    EXPECT_EQ(tetudou.Text(0, "cd"), "L2201");
    EXPECT_EQ(tetudou.Integer(0, "ltag"), 1);
    EXPECT_EQ(tetudou.Text(0, "name"), ToCp932("ＪＲ線"));
    // Stored P1 P2 P2 P3, drawn from P3 to P1; x = Y + 2000, y = X + 1000.
    EXPECT_EQ(tetudou.vertices[0], (std::vector<Vertex>{{2005, 1020}, {2000, 1010}, {2000, 1000}}));
    EXPECT_EQ(tetudou.vertices[1], (std::vector<Vertex>{{2001, 1001}, {2002, 1002}}));
    EXPECT_EQ(fixture.run.statistics.largest_vertex_count, 3);
}

TEST_F(LineLayerWriter, ALineWithoutItsArcIsReportedAndKeepsARecordWithANullShape) {
    WriteRailwaySheet(sheet);
    ASSERT_EQ(Convert(), SheetOutcome::Converted);

    EXPECT_EQ(fixture.port.messages, std::vector<std::string>{ToCp932("error:ARCIDが見つからない:TETUDOU:4")});
    const auto tetudou = ReadLayer(fixture.output / "tetudou");
    ASSERT_EQ(tetudou.shape_count, 3);
    EXPECT_EQ(tetudou.shape_types[2], SHPT_NULL);
    EXPECT_EQ(tetudou.Integer(2, "id"), 99);
    EXPECT_EQ(tetudou.Text(2, "cd"), "L2201");
    EXPECT_EQ(tetudou.Text(2, "ltag"), "");
    EXPECT_EQ(tetudou.Text(2, "name"), "");
}

TEST_F(LineLayerWriter, ASecondSheetAppendsItsRecordsAfterTheFirstSheets) {
    WriteRailwaySheet(folder / "a");
    WriteRailwaySheet(folder / "b");
    WriteBytes(folder / "b/OTHERS/TETUDOU.ATR",
               CrLfLines({HeaderLine("09LD172", 1000.0, 2400.0, 1300.0, 2800.0), "L2201,12,1,next"}));
    ASSERT_EQ(fixture.Convert(folder / "a/09LD171.TXT"), SheetOutcome::Converted);
    ASSERT_EQ(fixture.Convert(folder / "b/09LD171.TXT"), SheetOutcome::Converted);

    const auto tetudou = ReadLayer(fixture.output / "tetudou");
    ASSERT_EQ(tetudou.record_count, 4);
    EXPECT_EQ(tetudou.shape_count, 4);
    EXPECT_EQ(tetudou.Text(3, "zumei"), "09LD172");
    EXPECT_EQ(tetudou.Text(3, "name"), "next");
    EXPECT_EQ(tetudou.vertices[3].front(), (Vertex{2400, 1000}));
}

TEST_F(LineLayerWriter, AnArcOfMoreThan8000PointsIsWrittenWhole) {
    std::string arcs = TestSheetHeader() + "\r\nL2201,1,1,9001\r\n";
    for (int i = 0; i < 9001; ++i) arcs += std::to_string(i) + ".5,0\r\n";
    WriteBytes(sheet / "09LD171.TXT", DescriptionText(kTestSheetLine7, {"OTHERS/TETUDOU.ATR"}));
    WriteBytes(sheet / "OTHERS/OTHERS.ARC", arcs);
    WriteBytes(sheet / "OTHERS/TETUDOU.ATR", CrLfLines({TestSheetHeader(), "L2201,1,0"}));
    ASSERT_EQ(Convert(), SheetOutcome::Converted);

    const auto tetudou = ReadLayer(fixture.output / "tetudou");
    ASSERT_EQ(tetudou.shape_count, 1);
    ASSERT_EQ(tetudou.vertices[0].size(), 9001u);
    EXPECT_EQ(tetudou.vertices[0].back(), (Vertex{2000, 1000 + 9000.5}));
    EXPECT_EQ(fixture.run.statistics.largest_vertex_count, 9001);
}

void WriteRoadSheet(const std::filesystem::path& sheet) {
    WriteBytes(sheet / "09LD171.TXT", DescriptionText(kTestSheetLine7, {"ROAD\\ROAD.ATR"}));
    WriteBytes(sheet / "ROAD/ROADNTWK.ARC", CrLfLines({TestSheetHeader(), "L2101,3,5,2", "1.5,2.5", "3.0,4.0"}));
    WriteBytes(sheet / "ROAD/ROADNTWK.TIE", CrLfLines({TestSheetHeader(), "5,100,200"}));
    WriteBytes(sheet / "ROAD/ROADNTWK.NOD", CrLfLines({TestSheetHeader(), "100,12,3,1.5,2.5", "5", "6", "-7",
                                                       "200,0,0,3.0,4.0", "300,37,1,9,9", "5"}));
    WriteBytes(sheet / "ROAD/ROAD.ATR", CrLfLines({TestSheetHeader(), ToCp932("L2101,5,2,国道"), "L2101,6,0"}));
}

TEST_F(RoadLayerWriter, ValuesTheLineRunsShortOfAreEmptyAndTheTieGivesTheNodes) {
    WriteRoadSheet(sheet);
    ASSERT_EQ(Convert(), SheetOutcome::Converted);

    const auto road = ReadLayer(fixture.output / "road");
    ASSERT_EQ(road.record_count, 2);
    EXPECT_EQ(road.shape_count, 2);
    EXPECT_EQ(road.Integer(0, "ltag"), 3);
    EXPECT_EQ(road.Text(0, "name"), ToCp932("国道"));
    EXPECT_EQ(road.Text(0, "name1"), "");
    EXPECT_EQ(road.Integer(0, "nods"), 100);
    EXPECT_EQ(road.Integer(0, "node"), 200);
    EXPECT_EQ(road.vertices[0], (std::vector<Vertex>{{2002.5, 1001.5}, {2004, 1003}}));
    // Arc 6 is missing: reported, null shape, and no tie for it either.
    EXPECT_EQ(fixture.port.messages, std::vector<std::string>{ToCp932("error:ARCIDが見つからない:ROAD:3")});
    EXPECT_EQ(road.shape_types[1], SHPT_NULL);
    EXPECT_EQ(road.Text(1, "nods"), "");
    EXPECT_EQ(fixture.run.statistics.largest_value_count[6], 2);
    EXPECT_EQ(fixture.run.statistics.longest_value[6][0], 4);  // "国道" in CP932
    EXPECT_EQ(fixture.run.statistics.longest_value[6][1], 0);
}

TEST_F(NodeLayerWriter, ANodeGivesOneRecordPerArcEachWithTheNodesPoint) {
    WriteRoadSheet(sheet);
    ASSERT_EQ(Convert(), SheetOutcome::Converted);

    const auto nodes = ReadLayer(fixture.output / "road_nod");
    ASSERT_TRUE(nodes.opened);
    EXPECT_EQ(nodes.shape_type, SHPT_POINT);
    ASSERT_EQ(nodes.record_count, 4);  // node 200 meets no arc and gives nothing
    ASSERT_EQ(nodes.shape_count, 4);
    const char* arc_ids[] = {"5", "6", "-7"};
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(nodes.Integer(r, "id"), 100);
        EXPECT_EQ(nodes.Text(r, "cd"), arc_ids[r]);
        EXPECT_EQ(nodes.Integer(r, "ptag"), 12);
        EXPECT_EQ(nodes.Text(r, "ptagname"), NodeTagCaption(12));
        EXPECT_EQ(nodes.Integer(r, "arcnum"), 3);
        EXPECT_EQ(nodes.vertices[r], std::vector<Vertex>{(Vertex{2002.5, 1001.5})});
    }
    // A caption longer than the field is cut on a character boundary.
    EXPECT_EQ(nodes.Text(3, "ptagname"), NodeTagCaption(37).substr(0, 36));
}

TEST_F(PointLayerWriter, APointIsLookedUpByItsSignedIdAndAMissingOneKeepsANullShape) {
    WriteBytes(sheet / "09LD171.TXT", DescriptionText(kTestSheetLine7, {"OTHERS\\EKI.ATR"}));
    WriteBytes(sheet / "OTHERS/EKI.PNT",
               CrLfLines({TestSheetHeader(), "P7101,1,10.0,20.0", "P7101,-2,30,40", "X,3,1,1"}));
    WriteBytes(sheet / "OTHERS/EKI.ATR",
               CrLfLines({TestSheetHeader(), ToCp932("P7101,1,1,東京"), "P7101,2,1,gone", "Q,3,1,x"}));
    ASSERT_EQ(Convert(), SheetOutcome::Converted);

    EXPECT_EQ(fixture.port.messages,
              (std::vector<std::string>{"error:PNT:" + PathToCp932(sheet / "OTHERS/EKI") + ":4",
                                        ToCp932("error:PNTIDが見つからない:EKI:3"), "error:PNT:EKI:4"}));
    const auto eki = ReadLayer(fixture.output / "eki");
    ASSERT_EQ(eki.record_count, 2);
    ASSERT_EQ(eki.shape_count, 2);
    EXPECT_EQ(eki.Text(0, "name"), ToCp932("東京"));
    EXPECT_EQ(eki.vertices[0], std::vector<Vertex>{(Vertex{2020, 1010})});
    EXPECT_EQ(eki.Text(1, "name"), "gone");
    EXPECT_EQ(eki.shape_types[1], SHPT_NULL);
}

TEST_F(FrameLayerWriter, WritesTheFrameFromTheCornerTextsAsTheyStand) {
    WriteBytes(sheet / "09LD171.TXT", DescriptionText("9,-80.5,-360.25,219.5,39.75,,,,,0", {}));
    ASSERT_EQ(fixture.Convert(sheet / "09LD171.TXT", "13101"), SheetOutcome::Converted);

    const auto zuyo = ReadLayer(fixture.output / "zuyo");
    ASSERT_EQ(zuyo.record_count, 1);
    EXPECT_EQ(zuyo.shape_type, SHPT_POLYGON);
    EXPECT_EQ(zuyo.Text(0, "city"), "13101");
    EXPECT_EQ(zuyo.Text(0, "zumei"), "09LD171");
    EXPECT_EQ(zuyo.Text(0, "name1"), "200301");
    EXPECT_EQ(zuyo.Text(0, "name2"), "history");
    EXPECT_EQ(zuyo.Text(0, "name3"), "level");
    EXPECT_EQ(zuyo.Text(0, "name4"), "m");
    EXPECT_EQ(zuyo.Text(0, "name5"), "09LD172");
    EXPECT_EQ(zuyo.Text(0, "name6"), ToCp932("第Ⅸ系"));
    EXPECT_EQ(zuyo.Text(0, "name7"), ToCp932("平面直角座標系（日本測地系）"));
    EXPECT_EQ(zuyo.Text(0, "name8"), "-80.5 -360.25");
    EXPECT_EQ(zuyo.Text(0, "name9"), "219.5 39.75");
    EXPECT_EQ(zuyo.Text(0, "name10"), "219.5 -360.25");
    EXPECT_EQ(zuyo.Text(0, "name11"), "-80.5 39.75");
    EXPECT_EQ(zuyo.vertices[0], (std::vector<Vertex>{
                                    {-360.25, -80.5}, {-360.25, 219.5}, {39.75, 219.5}, {39.75, -80.5}, {-360.25, -80.5}}));
    EXPECT_EQ(ReadBytes(fixture.output / "zuyo.txt"),
              "-80.5,-360.25,219.5,-360.25\r\n219.5,-360.25,219.5,39.75\r\n"
              "219.5,39.75,-80.5,39.75\r\n-80.5,39.75,-80.5,-360.25\r\n");
    EXPECT_TRUE(fixture.port.messages.empty());
}

TEST_F(FrameLayerWriter, EachSheetAppendsItsFrameAndItsEdges) {
    WriteBytes(folder / "a/09LD171.TXT", DescriptionText("9,0,0,300,400,,,,,1", {}));
    WriteBytes(folder / "b/09LD172.TXT", DescriptionText("9,0,400,300,800,,,,,2", {}));
    ASSERT_EQ(fixture.Convert(folder / "a/09LD171.TXT"), SheetOutcome::Converted);
    ASSERT_EQ(fixture.Convert(folder / "b/09LD172.TXT"), SheetOutcome::Converted);

    const auto zuyo = ReadLayer(fixture.output / "zuyo");
    EXPECT_EQ(zuyo.record_count, 2);
    EXPECT_EQ(zuyo.shape_count, 2);
    // A later sheet only replaces the datum flag of the run's system.
    EXPECT_EQ(zuyo.Text(1, "name7"), ToCp932("平面直角座標系（世界測地系（代表点変換））"));
    std::string edges = ReadBytes(fixture.output / "zuyo.txt");
    EXPECT_EQ(std::count(edges.begin(), edges.end(), '\n'), 8);
    EXPECT_TRUE(edges.ends_with("\r\n0,800,0,400\r\n")) << edges;
}

}  // namespace
}  // namespace gridora
