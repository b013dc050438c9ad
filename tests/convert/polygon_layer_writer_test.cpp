// The polygon layer writer and the boundary arcs it leaves for the cross-sheet assembly.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "convert/side_file_formats.h"
#include "convert/writer_helpers.h"
#include "deadline.h"
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

using PolygonLayerWriter = WrittenSheetTest;

// Points are (X north, Y east), relative to the origin (1000, 2000).
//   A = [0,10]x[0,10], complete: arcs 7 (shared with B), 4, 9 (shared with C), 3.
//   B = [0,10]x[-10,0], complete: 12, -7.          Arc 7 thus has both sides complete.
//   C = [0,10]x[10,20], cut by the frame: -9, 11 (line tag 5).
//   D: a loop of arc 13, line tag 6.               Arc 15 bounds nothing.
//   E: in the attributes, not in the .PGN.         F: refers to a missing arc only.
void WriteWaterSheet(const std::filesystem::path& sheet, std::string_view sheet_name = "09LD171") {
    WriteBytes(sheet / "09LD171.TXT", DescriptionText(kTestSheetLine7, {"09LD171\\MIZU\\MIZU.ATR"}));
    WriteBytes(sheet / "MIZU/MIZU.ARC",
               CrLfLines({TestSheetHeader(sheet_name), "L5101,1,3,2", "0,10", "0,0", "L5101,1,4,2", "10,0", "10,10",
                          "L5101,1,7,2", "0,0", "10,0", "L5101,1,9,2", "10,10", "0,10", "L5101,5,11,4", "10,10",
                          "10,20", "0,20", "0,10", "L5101,1,12,4", "0,0", "0,-10", "10,-10", "10,0", "L5101,6,13,4",
                          "30,30", "30,40", "40,40", "30,30", "L5101,1,15,2", "50,50", "60,60"}));
    WriteBytes(sheet / "MIZU/MIZU.PGN",
               CrLfLines({TestSheetHeader(sheet_name), "A5101,1,4,5,5", "7", "4", "9", "3", "A5101,2,2,5,-5", "12",
                          "-7", "A5101,3,2,5.5,15.25", "-9", "11", "A5101,4,1,33,37", "13", "A5101,6,1,0,0", "99"}));
    WriteBytes(sheet / "MIZU/MIZU.ATR", CrLfLines({TestSheetHeader(sheet_name), ToCp932("A5101,1,1,池"), "A5101,2,1,B",
                                                   "A5101,3,1,C", "A5101,4,1,D", "A5101,5,1,E", "A5101,6,1,F"}));
}

TEST_F(PolygonLayerWriter, EveryPolygonGoesToTheBaseAndTheCompleteOnesAlsoToPgn) {
    WriteWaterSheet(sheet);
    ASSERT_EQ(Convert(), SheetOutcome::Converted);

    const auto base = ReadLayer(fixture.output / "mizu");
    ASSERT_EQ(base.record_count, 6);
    ASSERT_EQ(base.shape_count, 6);
    EXPECT_EQ(base.shape_type, SHPT_POLYGON);
    // Ring of A: the node shared by two consecutive arcs is kept once; x = Y + 2000.
    const std::vector<Vertex> ring_a{{2000, 1000}, {2000, 1010}, {2010, 1010}, {2010, 1000}, {2000, 1000}};
    EXPECT_EQ(base.vertices[0], ring_a);
    EXPECT_EQ(base.Text(0, "name"), ToCp932("池"));
    EXPECT_EQ(base.shape_types[4], SHPT_NULL);  // E has no polygon
    EXPECT_EQ(base.Text(4, "name"), "E");

    const auto complete = ReadLayer(fixture.output / "mizu_pgn");
    ASSERT_EQ(complete.record_count, 4);  // A, B, D and F: none uses a frame line
    ASSERT_EQ(complete.shape_count, 4);
    EXPECT_EQ(complete.vertices[0], ring_a);
    EXPECT_EQ(complete.values[0], base.values[0]);
    EXPECT_EQ(complete.values[1], base.values[1]);
    EXPECT_EQ(complete.Text(2, "name"), "D");
    EXPECT_EQ(fixture.run.statistics.largest_vertex_count, 5);

    EXPECT_EQ(fixture.port.messages,
              (std::vector<std::string>{
                  ToCp932("error:ARCが見つからない:") + PathToCp932(sheet / "MIZU/MIZU") + ":16",
                  ToCp932("error:PGNIDが見つからない:MIZU:6"), ToCp932("error:ARCIDが見つからない:MIZU:7")}));
}

TEST_F(PolygonLayerWriter, APolygonCutByTheFrameLeavesALabelLineWithItsBaseRecord) {
    WriteWaterSheet(sheet);
    ASSERT_EQ(Convert(), SheetOutcome::Converted);
    // C is record 2; its label is the representative point plus the origin.
    EXPECT_EQ(ReadBytes(fixture.output / "mizu_pgn.txt"), "2, 1.00550000000000E+0003, 2.01525000000000E+0003\r\n");

    // A second sheet's labels number on after the first sheet's base records.
    WriteWaterSheet(folder / "next", "09LD172");
    ASSERT_EQ(fixture.Convert(folder / "next/09LD171.TXT"), SheetOutcome::Converted);
    EXPECT_EQ(ReadBytes(fixture.output / "mizu_pgn.txt"),
              "2, 1.00550000000000E+0003, 2.01525000000000E+0003\r\n"
              "8, 1.00550000000000E+0003, 2.01525000000000E+0003\r\n");
    const auto base = ReadLayer(fixture.output / "mizu");
    EXPECT_EQ(base.record_count, 12);
    EXPECT_EQ(base.shape_count, 12);
    EXPECT_EQ(base.Text(8, "zumei"), "09LD172");
    EXPECT_EQ(base.Text(8, "name"), "C");
}

TEST_F(PolygonLayerWriter, BoundaryArcsCarryTheirSidesAndOnlyOpenSidesReachTheEngine) {
    WriteWaterSheet(sheet);
    ASSERT_EQ(Convert(), SheetOutcome::Converted);

    // In .ARC order; arc 13 (line tag 6) and arc 15 (no polygon) are left out.
    const auto arcs = ReadLayer(fixture.output / "mizu_arc");
    ASSERT_EQ(arcs.record_count, 6);
    ASSERT_EQ(arcs.shape_count, 6);
    EXPECT_EQ(arcs.shape_type, SHPT_ARC);
    struct Sides {
        int id, ltag, rpgnid, lpgnid, rflg, lflg;
    };
    const Sides expected[] = {{3, 1, 1, 0, 1, 0}, {4, 1, 1, 0, 1, 0}, {7, 1, 1, 2, 1, 1},
                              {9, 1, 1, 3, 1, 0}, {11, 5, 3, 0, 0, 0}, {12, 1, 2, 0, 1, 0}};
    for (int r = 0; r < 6; ++r) {
        SCOPED_TRACE(r);
        const Sides& e = expected[r];
        EXPECT_EQ(arcs.Integer(r, "id"), e.id);
        EXPECT_EQ(arcs.Text(r, "cd"), "L5101");
        EXPECT_EQ(arcs.Integer(r, "ltag"), e.ltag);
        EXPECT_EQ(arcs.Integer(r, "rpgnid"), e.rpgnid);
        EXPECT_EQ(arcs.Integer(r, "lpgnid"), e.lpgnid);
        EXPECT_EQ(arcs.Integer(r, "rflg"), e.rflg);
        EXPECT_EQ(arcs.Integer(r, "lflg"), e.lflg);
    }
    EXPECT_EQ(arcs.vertices[4], (std::vector<Vertex>{{2010, 1010}, {2020, 1010}, {2020, 1000}, {2010, 1000}}));

    // Every segment of arcs 3, 4, 9, 11 and 12 once, lower end point first; arc 7 is
    // closed on both sides and stays out.
    std::vector<std::string> lines;
    std::istringstream text(ReadBytes(fixture.output / "mizu_arc.txt"));
    for (std::string line; std::getline(text, line);) {
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        lines.push_back(line);
    }
    std::vector<std::string> segments;
    auto segment = [&](double xa, double ya, double xb, double yb) {
        int32_t x1 = EngineCoordinate(1000 + xa), y1 = EngineCoordinate(2000 + ya);
        int32_t x2 = EngineCoordinate(1000 + xb), y2 = EngineCoordinate(2000 + yb);
        if (y1 > y2 || (y1 == y2 && x1 > x2)) std::swap(x1, x2), std::swap(y1, y2);
        segments.push_back(FormatSegmentLine(x1, y1, x2, y2));
    };
    segment(0, 10, 0, 0);                                                  // 3
    segment(10, 0, 10, 10);                                                // 4
    segment(10, 10, 0, 10);                                                // 9
    segment(10, 10, 10, 20), segment(10, 20, 0, 20), segment(0, 20, 0, 10);  // 11
    segment(0, 0, 0, -10), segment(0, -10, 10, -10), segment(10, -10, 10, 0);  // 12
    std::sort(lines.begin(), lines.end());
    std::sort(segments.begin(), segments.end());
    EXPECT_EQ(lines, segments);
}

TEST_F(PolygonLayerWriter, AHoleListedAfterItsOutlineBecomesASecondClosedRing) {
    WriteBytes(sheet / "09LD171.TXT", DescriptionText("9,0,0,300,400,,,,,1", {"MIZU\\MIZU.ATR"}));
    const std::string header = HeaderLine("09LD171", 0, 0, 300, 400);
    WriteBytes(sheet / "MIZU/MIZU.ARC",
               CrLfLines({header, "L5101,1,20,5", "0,0", "0,30", "30,30", "30,0", "0,0", "L5101,1,21,5", "10,10",
                          "20,10", "20,20", "10,20", "10,10"}));
    WriteBytes(sheet / "MIZU/MIZU.PGN", CrLfLines({header, "A5101,1,2,5,5", "20", "-21", "A5101,2,1,15,15", "21"}));
    WriteBytes(sheet / "MIZU/MIZU.ATR", CrLfLines({header, "A5101,1,0", "A5101,2,0"}));
    ASSERT_EQ(Convert(), SheetOutcome::Converted);

    for (const char* name : {"mizu", "mizu_pgn"}) {
        SCOPED_TRACE(name);
        const auto layer = ReadLayer(fixture.output / name);
        ASSERT_EQ(layer.shape_count, 2);
        EXPECT_EQ(layer.part_starts[0], (std::vector<int>{0, 5}));
        EXPECT_EQ(layer.vertices[0],
                  (std::vector<Vertex>{{0, 0}, {30, 0}, {30, 30}, {0, 30}, {0, 0},
                                       {10, 10}, {20, 10}, {20, 20}, {10, 20}, {10, 10}}));
        EXPECT_EQ(layer.part_starts[1], std::vector<int>{0});
    }
    EXPECT_EQ(fixture.run.statistics.largest_vertex_count, 10);
}

TEST_F(PolygonLayerWriter, EngineCoordinatesAreThousandthsRoundedHalfToEven) {
    EXPECT_EQ(EngineCoordinate(12.3456), 12346);
    EXPECT_EQ(EngineCoordinate(-7.0004), -7000);
    EXPECT_EQ(EngineCoordinate(0.0025), 2);
    EXPECT_EQ(EngineCoordinate(0.0035), 4);
    EXPECT_EQ(EngineCoordinate(1e12), INT32_MAX);

    WriteBytes(sheet / "09LD171.TXT", DescriptionText("9,0,0,300,400,,,,,1", {"MIZU\\MIZU.ATR"}));
    const std::string header = HeaderLine("09LD171", 0, 0, 300, 400);
    WriteBytes(sheet / "MIZU/MIZU.ARC", CrLfLines({header, "L5101,1,1,2", "12.3456,-7.0004", "0,0"}));
    WriteBytes(sheet / "MIZU/MIZU.PGN", CrLfLines({header, "A5101,1,1,1,1", "1"}));
    WriteBytes(sheet / "MIZU/MIZU.ATR", CrLfLines({header, "A5101,1,0"}));
    ASSERT_EQ(Convert(), SheetOutcome::Converted);
    EXPECT_EQ(ReadBytes(fixture.output / "mizu_arc.txt"), "12346,-7000,0,0\r\n");
}

TEST_F(PolygonLayerWriter, ABoundaryPointBeyondTheEngineDomainAbandonsTheSheetNamingItsFileAndLine) {
    // The engine takes thousandths below 2^30 = 1073741824 in magnitude.
    WriteBytes(sheet / "09LD171.TXT", DescriptionText("9,0,0,300,400,,,,,1", {"MIZU\\MIZU.ATR"}));
    const std::string header = HeaderLine("09LD171", 0, 0, 300, 400);
    auto write_arcs = [&](std::string_view far_point) {
        WriteBytes(sheet / "MIZU/MIZU.ARC", CrLfLines({header, "L5101,1,1,3", "0,0", far_point, "5,5"}));
    };
    WriteBytes(sheet / "MIZU/MIZU.PGN", CrLfLines({header, "A5101,1,1,1,1", "1"}));
    WriteBytes(sheet / "MIZU/MIZU.ATR", CrLfLines({header, "A5101,1,0"}));

    // The last thousandth inside, on either axis and side.
    for (std::string_view inside : {"1073741.823,0", "-1073741.823,0", "0,1073741.823", "0,-1073741.823"}) {
        write_arcs(inside);
        EXPECT_EQ(Convert(), SheetOutcome::Converted) << inside;
    }
    EXPECT_TRUE(fixture.port.messages.empty());

    for (std::string_view outside : {"1073741.824,0", "0,-1073741.824", "3e9,0"}) {
        fixture.port.messages.clear();
        write_arcs(outside);
        EXPECT_EQ(Convert(), SheetOutcome::Abandoned) << outside;
        const std::string field = outside == "3e9,0" ? "3e+09,0" : std::string(outside);
        EXPECT_EQ(fixture.port.messages,
                  std::vector<std::string>{"error:'" + field + "' " + ToCp932("整数の範囲を超えました") + ":" +
                                           PathToCp932(sheet / "MIZU/MIZU.ARC") + ":4"})
            << outside;
    }
}

TEST_F(PolygonLayerWriter, AFifoOrADeviceInPlaceOfADataFileAbandonsTheSheetNamingTheFile) {
    WriteWaterSheet(sheet);
    // The child converts and answers 0 when the sheet was abandoned with this message last.
    auto abandoned_naming = [&](const std::filesystem::path& file) {
        return testing::RunWithDeadline(60, [&] {
            const bool abandoned = Convert() == SheetOutcome::Abandoned;
            // The sheet's own faults read before the file are reported first.
            const auto& messages = fixture.port.messages;
            const bool named = !messages.empty() && messages.back() == "error:not a regular file:" + PathToCp932(file);
            return abandoned && named ? 0 : 1;
        });
    };
    // Nothing ever writes to the FIFO: reading it would wait for ever.
    const auto pgn = sheet / "MIZU/MIZU.PGN";
    std::filesystem::remove(pgn);
    ASSERT_EQ(::mkfifo(pgn.c_str(), 0600), 0);
    EXPECT_EQ(abandoned_naming(pgn), 0);

    // /dev/zero never ends: reading it would exhaust memory.
    std::filesystem::remove(pgn);
    WriteWaterSheet(sheet);
    const auto atr = sheet / "MIZU/MIZU.ATR";
    std::filesystem::remove(atr);
    std::filesystem::create_symlink("/dev/zero", atr);
    EXPECT_EQ(abandoned_naming(atr), 0);
}

TEST_F(PolygonLayerWriter, LabelRealsAreTwentyThreeCharactersOfScientificNotation) {
    EXPECT_EQ(FormatLabelReal(1015.5), " 1.01550000000000E+0003");
    EXPECT_EQ(FormatLabelReal(-0.000123456789012345), "-1.23456789012345E-0004");
    EXPECT_EQ(FormatLabelReal(0.0), " 0.00000000000000E+0000");
    EXPECT_EQ(FormatLabelReal(-35999.25).size(), 23u);
}

TEST_F(PolygonLayerWriter, AMissingAttributeFileStillCreatesEveryOutput) {
    WriteWaterSheet(sheet);
    std::filesystem::remove(sheet / "MIZU/MIZU.ATR");
    ASSERT_EQ(Convert(), SheetOutcome::Converted);
    for (const char* name : {"mizu", "mizu_pgn", "mizu_arc"}) {
        SCOPED_TRACE(name);
        const auto layer = ReadLayer(fixture.output / name);
        EXPECT_TRUE(layer.opened);
        EXPECT_EQ(layer.record_count, 0);
        EXPECT_EQ(layer.shape_count, 0);
    }
    EXPECT_TRUE(std::filesystem::exists(fixture.output / "mizu_pgn.txt"));
    EXPECT_EQ(ReadBytes(fixture.output / "mizu_arc.txt"), "");
}

}  // namespace
}  // namespace gridora
