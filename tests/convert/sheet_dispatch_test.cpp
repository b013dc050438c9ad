// The sheet dispatch: which lines start which writer, the run's coordinate system and
// extent, and sheets that are refused or abandoned leaving every output as it was.
#include <gtest/gtest.h>

#include <map>

#include "convert/projection_files.h"
#include "convert/writer_helpers.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::CrLfLines;
using testing::DescriptionText;
using testing::FileNames;
using testing::HeaderLine;
using testing::ReadBytes;
using testing::ReadLayer;
using testing::RunFixture;
using testing::ScratchFolder;
using testing::WriteBytes;

// Every file of a folder with its bytes.
std::map<std::string, std::string> FolderBytes(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const std::string& name : FileNames(folder)) files[name] = ReadBytes(folder / name);
    return files;
}

void WriteStations(const std::filesystem::path& sheet, std::string_view point_y = "20.0") {
    const std::string header = HeaderLine("09LD171", 0, 0, 300, 400);
    WriteBytes(sheet / "OTHERS/EKI.PNT", CrLfLines({header, "P7101,1,10.0," + std::string(point_y)}));
    WriteBytes(sheet / "OTHERS/EKI.ATR", CrLfLines({header, "P7101,1,1,station"}));
}

TEST(SheetDispatch, ADescriptionOfFewerThanTenLinesWritesNothing) {
    ScratchFolder folder;
    WriteBytes(folder / "sheet/S.TXT", CrLfLines({"1", "2", "3", "4", "5", "6", "9,0,0,300,400,,,,,1", "m", "n"}));
    RunFixture fixture(folder / "out");
    EXPECT_EQ(fixture.Convert(folder / "sheet/S.TXT"), SheetOutcome::Converted);
    EXPECT_TRUE(FileNames(fixture.output).empty());
    EXPECT_EQ(fixture.run.coordinate_system.number, 9);
    EXPECT_EQ(fixture.run.extent, RunExtent{});
}

TEST(SheetDispatch, OnlyAnAttributeFileNamedExactlyAsItsLayerStartsAWriter) {
    ScratchFolder folder;
    const auto sheet = folder / "sheet";
    WriteStations(sheet);
    WriteBytes(sheet / "S.TXT", DescriptionText("9,0,0,300,400,,,,,1",
                                                {"OTHERS\\EKI.PNT", "GYOUSEI\\si_tyo.ATR", "SI_TYO.atr", "OTHERS",
                                                 "x/OTHERS/EKI.ATR", "ZUYO.ATR"}));
    RunFixture fixture(folder / "out");
    ASSERT_EQ(fixture.Convert(sheet / "S.TXT"), SheetOutcome::Converted);
    EXPECT_EQ(FileNames(fixture.output),
              (std::vector<std::string>{"eki.cpg", "eki.dbf", "eki.prj", "eki.shp", "eki.shx", "zuyo.cpg",
                                        "zuyo.dbf", "zuyo.prj", "zuyo.shp", "zuyo.shx", "zuyo.txt"}));
    EXPECT_EQ(ReadLayer(fixture.output / "eki").record_count, 1);
}

TEST(SheetDispatch, AFileListedTwiceIsConvertedTwice) {
    ScratchFolder folder;
    const auto sheet = folder / "sheet";
    WriteStations(sheet);
    WriteBytes(sheet / "S.TXT", DescriptionText("9,0,0,300,400,,,,,1", {"OTHERS\\EKI.ATR", "OTHERS\\EKI.ATR"}));
    RunFixture fixture(folder / "out");
    ASSERT_EQ(fixture.Convert(sheet / "S.TXT"), SheetOutcome::Converted);
    const auto eki = ReadLayer(fixture.output / "eki");
    EXPECT_EQ(eki.record_count, 2);
    EXPECT_EQ(eki.shape_count, 2);
}

TEST(SheetDispatch, ASheetInAnotherCoordinateSystemIsRefusedAndLeavesNoOutput) {
    ScratchFolder folder;
    WriteStations(folder / "a");
    WriteBytes(folder / "a/S.TXT", DescriptionText("9,0,0,300,400,,,,,1", {"OTHERS\\EKI.ATR"}));
    WriteStations(folder / "b");
    WriteBytes(folder / "b/S.TXT", DescriptionText("10,0,400,300,800,,,,,1", {"OTHERS\\EKI.ATR"}));
    WriteStations(folder / "c");
    WriteBytes(folder / "c/S.TXT", DescriptionText("9,0,400,300,800,,,,,3", {"OTHERS\\EKI.ATR"}));
    RunFixture fixture(folder / "out");
    ASSERT_EQ(fixture.Convert(folder / "a/S.TXT"), SheetOutcome::Converted);
    const auto before = FolderBytes(fixture.output);
    const RunExtent extent = fixture.run.extent;

    EXPECT_EQ(fixture.Convert(folder / "b/S.TXT"), SheetOutcome::CoordinateSystemRefused);
    EXPECT_EQ(FolderBytes(fixture.output), before);
    EXPECT_EQ(fixture.run.extent, extent);
    EXPECT_EQ(fixture.run.coordinate_system.number, 9);

    // The same system with another datum flag is accepted.
    EXPECT_EQ(fixture.Convert(folder / "c/S.TXT"), SheetOutcome::Converted);
    EXPECT_EQ(fixture.run.coordinate_system.datum_flag, 3);
    EXPECT_EQ(ReadLayer(fixture.output / "eki").record_count, 2);
}

TEST(SheetDispatch, SheetsSideBySideWidenTheRunExtentToBothFrames) {
    ScratchFolder folder;
    WriteBytes(folder / "a/S.TXT", DescriptionText("9,-100.5,-200,199.5,200,,,,,1", {}));
    WriteBytes(folder / "b/S.TXT", DescriptionText("9,-100.5,200,199.5,600.25,,,,,1", {}));
    RunFixture fixture(folder / "out");
    ASSERT_EQ(fixture.Convert(folder / "a/S.TXT"), SheetOutcome::Converted);
    ASSERT_EQ(fixture.Convert(folder / "b/S.TXT"), SheetOutcome::Converted);
    EXPECT_EQ(fixture.run.extent.min_east, -200);
    EXPECT_EQ(fixture.run.extent.min_north, -100.5);
    EXPECT_EQ(fixture.run.extent.max_east, 600.25);
    EXPECT_EQ(fixture.run.extent.max_north, 199.5);
    EXPECT_EQ(fixture.run.corners.upper_right_y, "600.25");
}

TEST(SheetDispatch, ACoordinateThatIsNotANumberAbandonsTheWholeSheet) {
    ScratchFolder folder;
    WriteStations(folder / "a");
    WriteBytes(folder / "a/S.TXT", DescriptionText("9,0,0,300,400,,,,,1", {"OTHERS\\EKI.ATR"}));
    // The frame and the stations come before the bad point; none of them may be written.
    const auto sheet = folder / "b";
    WriteStations(sheet);
    WriteBytes(sheet / "OTHERS/OTHERS.ARC", CrLfLines({HeaderLine("09LD172", 0, 400, 300, 800), "L2201,1,1,1", "1,2x"}));
    WriteBytes(sheet / "OTHERS/TETUDOU.ATR", CrLfLines({"L2201,1,0"}));
    WriteBytes(sheet / "S.TXT", DescriptionText("9,0,400,300,800,,,,,1", {"OTHERS\\EKI.ATR", "OTHERS\\TETUDOU.ATR"}));
    RunFixture fixture(folder / "out");
    ASSERT_EQ(fixture.Convert(folder / "a/S.TXT"), SheetOutcome::Converted);
    const auto before = FolderBytes(fixture.output);
    const SheetConversionState& run = fixture.run;
    const RunStatistics statistics = run.statistics;
    const RunExtent extent = run.extent;

    EXPECT_EQ(fixture.Convert(sheet / "S.TXT"), SheetOutcome::Abandoned);
    EXPECT_EQ(fixture.port.messages, std::vector<std::string>{"error:'2x' is not a valid floating point value:" +
                                                              PathToCp932(sheet / "OTHERS/OTHERS.ARC") + ":3"});
    EXPECT_EQ(FolderBytes(fixture.output), before);
    EXPECT_EQ(run.extent, extent);
    EXPECT_EQ(run.statistics, statistics);
    EXPECT_FALSE(run.files_made[7].line_made);
}

TEST(SheetDispatch, ACornerOrNodeTextThatIsNotANumberIsReportedWithItsFileAndLine) {
    ScratchFolder folder;
    WriteBytes(folder / "a/S.TXT", DescriptionText("9,0,0,300,4OO,,,,,1", {}));
    const auto b = folder / "b";
    WriteBytes(b / "S.TXT", DescriptionText("9,0,0,300,400,,,,,1", {"ROAD\\ROAD.ATR"}));
    WriteBytes(b / "ROAD/ROADNTWK.NOD", CrLfLines({"100,12,1,1.5,", "5"}));
    RunFixture fixture(folder / "out");
    EXPECT_EQ(fixture.Convert(folder / "a/S.TXT"), SheetOutcome::Abandoned);
    EXPECT_EQ(fixture.Convert(b / "S.TXT"), SheetOutcome::Abandoned);
    EXPECT_EQ(fixture.port.messages,
              (std::vector<std::string>{
                  "error:'4OO' is not a valid floating point value:" + PathToCp932(folder / "a/S.TXT") + ":7",
                  "error:'' is not a valid floating point value:" + PathToCp932(b / "ROAD/ROADNTWK.NOD") + ":1"}));
    EXPECT_TRUE(FileNames(fixture.output).empty());
    EXPECT_EQ(fixture.run.coordinate_system.number, -1);
}

TEST(SheetDispatch, ADescriptionThatCannotBeReadIsToldApart) {
    ScratchFolder folder;
    RunFixture fixture(folder / "out");
    EXPECT_EQ(fixture.Convert(folder / "missing.TXT"), SheetOutcome::DescriptionUnreadable);
    EXPECT_TRUE(fixture.port.messages.empty());
}

TEST(SheetDispatch, OutputsHeldOpenBetweenSheetsEndAsThoseReopenedForEachSheet) {
    ScratchFolder folder;
    const auto sample = std::filesystem::path(GRIDORA_SOURCE_DIR) / "data/sample/13101";
    RunFixture reopening(folder / "reopening");
    RunFixture holding(folder / "holding");
    holding.run.keep_outputs_open = true;
    for (const char* sheet : {"09LD172", "09LD174", "09LD172"}) {
        const auto description = sample / sheet / (std::string(sheet) + ".TXT");
        ASSERT_EQ(reopening.Convert(description), SheetOutcome::Converted);
        ASSERT_EQ(holding.Convert(description), SheetOutcome::Converted);
    }
    EXPECT_FALSE(holding.run.output_files.Empty());
    holding.run.CloseOutputFiles();
    const auto expected = FolderBytes(reopening.output);
    EXPECT_EQ(expected.size(), 24u * 5 + 13);  // .shp, .shx, .dbf, .prj, .cpg
    EXPECT_TRUE(FolderBytes(holding.output) == expected);

    // A new run creates its files anew over the held ones, which are closed first.
    holding.run.Reset();
    holding.run.keep_outputs_open = true;
    ASSERT_EQ(holding.Convert(sample / "09LD172/09LD172.TXT"), SheetOutcome::Converted);
    holding.run.CloseOutputFiles();
    RunFixture single(folder / "single");
    ASSERT_EQ(single.Convert(sample / "09LD172/09LD172.TXT"), SheetOutcome::Converted);
    EXPECT_TRUE(FolderBytes(holding.output) == FolderBytes(single.output));
}

TEST(SheetDispatch, EveryNewShapefileGetsTheProjectionOfTheRunsZone) {
    ScratchFolder folder;
    WriteStations(folder / "a");
    WriteBytes(folder / "a/S.TXT", DescriptionText("9,0,0,300,400,,,,,0", {"OTHERS\\EKI.ATR"}));
    RunFixture tokyo(folder / "tokyo");
    ASSERT_EQ(tokyo.Convert(folder / "a/S.TXT"), SheetOutcome::Converted);
    EXPECT_TRUE(ReadBytes(tokyo.output / "eki.prj").starts_with("PROJCS[\"Japan_Zone_9\",GEOGCS[\"GCS_Tokyo\""));
    EXPECT_EQ(ReadBytes(tokyo.output / "zuyo.prj"), EsriWktOfEpsg(30169));

    WriteBytes(folder / "a/S.TXT", DescriptionText("19,0,0,300,400,,,,,1", {"OTHERS\\EKI.ATR"}));
    RunFixture jgd(folder / "jgd");
    ASSERT_EQ(jgd.Convert(folder / "a/S.TXT"), SheetOutcome::Converted);
    EXPECT_EQ(ReadBytes(jgd.output / "eki.prj"), EsriWktOfEpsg(2461));
    EXPECT_TRUE(ReadBytes(jgd.output / "eki.prj").starts_with("PROJCS[\"JGD_2000_Japan_Zone_19\""));

    // A system outside 1-19 names no zone.
    WriteBytes(folder / "a/S.TXT", DescriptionText("20,0,0,300,400,,,,,1", {}));
    RunFixture none(folder / "none");
    ASSERT_EQ(none.Convert(folder / "a/S.TXT"), SheetOutcome::Converted);
    EXPECT_FALSE(std::filesystem::exists(none.output / "zuyo.prj"));
    EXPECT_EQ(PlaneRectangularEpsg({1, 0}), 30161);
    EXPECT_EQ(PlaneRectangularEpsg({19, 2}), 2461);
    EXPECT_EQ(PlaneRectangularEpsg({9, 4}), 0);
}

}  // namespace
}  // namespace gridora
