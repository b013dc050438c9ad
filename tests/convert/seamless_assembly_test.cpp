// The cross-sheet assembly over side files written here as the polygon layer writers
// leave them: the cut pieces' boundary segments (each sheet's frame segments included) in
// <layer>_arc.txt, their label points in <layer>_pgn.txt and their records in the base
// table, run through the real engine.
#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "convert/attribute_table.h"
#include "convert/layer_catalogue.h"
#include "convert/seamless_assembly.h"
#include "convert/seamless_shapes.h"
#include "convert/side_file_formats.h"
#include "convert/writer_helpers.h"
#include "input/conversion_error.h"
#include "platform/cp932.h"
#include "platform/ini_file.h"
#include "output_limits.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::ReadLayer;
using testing::ScratchFolder;
using testing::Vertex;
using testing::WriteBytes;

// A point of the data: X (north), Y (east) in the data unit.
struct DataPoint {
    double x, y;
};
using Ring = std::vector<DataPoint>;  // closed: the last point repeats the first

// Twice the signed area of a Shapefile ring (X east, Y north), positive counter-clockwise.
double TwiceSignedArea(const std::vector<Vertex>& v, std::size_t begin, std::size_t end) {
    double sum = 0.0;
    for (std::size_t i = begin; i + 1 < end; ++i) sum += v[i].x * v[i + 1].y - v[i + 1].x * v[i].y;
    return sum;
}

// The signed areas of a shape's parts, clockwise negative.
std::vector<double> PartAreas(const testing::LayerContents& layer, int shape) {
    const auto& v = layer.vertices[static_cast<std::size_t>(shape)];
    std::vector<int> starts = layer.part_starts[static_cast<std::size_t>(shape)];
    std::vector<double> areas;
    for (std::size_t p = 0; p < starts.size(); ++p) {
        const std::size_t end = p + 1 < starts.size() ? static_cast<std::size_t>(starts[p + 1]) : v.size();
        areas.push_back(TwiceSignedArea(v, static_cast<std::size_t>(starts[p]), end) / 2.0);
    }
    return areas;
}

struct BaseRecord {
    int32_t id;
    std::string name;
};

class Seamless : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(out); }

    // The base table of `layer`, with id, zumei, cd and (for layers that have it) name.
    void WriteBaseTable(const std::string& layer, const std::vector<BaseRecord>& records) {
        DBFHandle table = CreateAttributeTable(out / layer);
        DefineLayerFields(layer, table);
        const int name_field = DBFGetFieldIndex(table, "name");
        for (std::size_t r = 0; r < records.size(); ++r) {
            const int i = static_cast<int>(r);
            DBFWriteIntegerAttribute(table, i, 0, records[r].id);
            DBFWriteStringAttribute(table, i, 1, "09LD171");
            DBFWriteStringAttribute(table, i, 2, "5101");
            if (name_field >= 0) DBFWriteStringAttribute(table, i, name_field, records[r].name.c_str());
        }
        DBFClose(table);
    }

    // Appends the segments of each piece's ring to <layer>_arc.txt in engine units.
    void AddPieces(const std::string& layer, const std::vector<Ring>& pieces) {
        std::string& text = arc_lines[layer];
        for (const Ring& ring : pieces)
            for (std::size_t i = 0; i + 1 < ring.size(); ++i)
                text += FormatSegmentLine(EngineCoordinate(ring[i].x), EngineCoordinate(ring[i].y),
                                          EngineCoordinate(ring[i + 1].x), EngineCoordinate(ring[i + 1].y)) +
                        "\r\n";
        WriteBytes(out / (layer + "_arc.txt"), text);
    }

    void AddLabel(const std::string& layer, int record, DataPoint at) {
        std::string& text = label_lines[layer];
        text += std::to_string(record) + "," + FormatLabelReal(at.x) + "," + FormatLabelReal(at.y) + "\r\n";
        WriteBytes(out / (layer + "_pgn.txt"), text);
    }

    void Assemble(bool donut = true) {
        SeamlessRequest request{out, donut, error_file, "", 0, {}};
        SeamlessAssembly(request, shape, statistics, port);
    }

    ScratchFolder folder;
    fs::path out = folder / "out";
    fs::path error_file = folder / "gridora.Err";
    std::map<std::string, std::string> arc_lines, label_lines;
    ShapeBuffers shape;
    RunStatistics statistics;
    RecordingPort port;
};

// A block X 20..80, Y 50..150 with a courtyard X 40..60, Y 80..120, both cut by the sheet
// edge Y = 100: the western piece is a U open to the east, the eastern one its mirror.
const Ring kWestPiece = {{20, 50}, {80, 50}, {80, 100}, {60, 100}, {60, 80}, {40, 80}, {40, 100}, {20, 100}, {20, 50}};
const Ring kEastPiece = {{20, 100}, {40, 100}, {40, 120}, {60, 120}, {60, 100}, {80, 100}, {80, 150}, {20, 150}, {20, 100}};
constexpr double kBlockArea = 60.0 * 100.0, kCourtyardArea = 20.0 * 40.0;

TEST_F(Seamless, ACourtyardBlockAcrossASheetEdgeComesBackWithItsCourtyardAsAnInnerRingWhenDonutIsOn) {
    WriteBaseTable("gaiku", {{11, "west"}, {12, "east"}});
    AddPieces("gaiku", {kWestPiece, kEastPiece});
    AddLabel("gaiku", 0, {30, 60});
    AddLabel("gaiku", 1, {30, 140});
    Assemble(true);

    const auto layer = ReadLayer(out / "gaiku_pgn");
    ASSERT_TRUE(layer.opened);
    ASSERT_EQ(layer.shape_count, 1);
    ASSERT_EQ(layer.record_count, 1);
    EXPECT_EQ(layer.Integer(0, "id"), 11);
    ASSERT_EQ(layer.part_starts[0].size(), 2u);
    // Outer ring clockwise, the courtyard counter-clockwise, as a Shapefile holds them.
    const std::vector<double> areas = PartAreas(layer, 0);
    EXPECT_DOUBLE_EQ(areas[0], -kBlockArea);
    EXPECT_DOUBLE_EQ(areas[1], kCourtyardArea);
    // Shapefile X is east, Y north; each ring is closed.
    const auto& v = layer.vertices[0];
    for (const Vertex& p : v) {
        EXPECT_TRUE(p.x >= 50 && p.x <= 150 && p.y >= 20 && p.y <= 80) << p.x << "," << p.y;
    }
    EXPECT_EQ(v.front(), v[static_cast<std::size_t>(layer.part_starts[0][1]) - 1]);
    EXPECT_EQ(v[static_cast<std::size_t>(layer.part_starts[0][1])], v.back());
    EXPECT_EQ(shape.PartTypes(), (std::vector<int>{SHPP_OUTERRING, SHPP_INNERRING}));
    EXPECT_TRUE(port.messages.empty());
    EXPECT_FALSE(fs::exists(error_file));
}

TEST_F(Seamless, ACourtyardBlockAcrossASheetEdgeIsOneBridgedOutlineWhenDonutIsOff) {
    WriteBaseTable("gaiku", {{11, "west"}, {12, "east"}});
    AddPieces("gaiku", {kWestPiece, kEastPiece});
    AddLabel("gaiku", 0, {30, 60});
    Assemble(false);

    const auto layer = ReadLayer(out / "gaiku_pgn");
    ASSERT_EQ(layer.shape_count, 1);
    ASSERT_EQ(layer.part_starts[0].size(), 1u);
    const auto& v = layer.vertices[0];
    // Ring 0's 8 records (the outer ring's 7 and the closing record after the courtyard),
    // the courtyard's 7 from its bridge point round to it, and the bridge point again.
    EXPECT_EQ(v.size(), 16u);
    EXPECT_EQ(v.front(), v.back());
    // The bridge is walked once each way, so the outline encloses the block less its courtyard.
    EXPECT_DOUBLE_EQ(PartAreas(layer, 0)[0], -(kBlockArea - kCourtyardArea));
    EXPECT_EQ(layer.Integer(0, "id"), 11);
}

TEST_F(Seamless, FourPiecesAroundASheetCornerBecomeOnePolygonWithTheAttributesOfTheFirstLabel) {
    // The square X 80..120, Y 80..120 around the corner where four sheets meet at (100, 100).
    WriteBaseTable("mizu", {{1, "sw"}, {2, "nw"}, {3, "se"}, {4, "ne"}});
    AddPieces("mizu", {{{80, 80}, {100, 80}, {100, 100}, {80, 100}, {80, 80}},
                       {{100, 80}, {120, 80}, {120, 100}, {100, 100}, {100, 80}},
                       {{80, 100}, {100, 100}, {100, 120}, {80, 120}, {80, 100}},
                       {{100, 100}, {120, 100}, {120, 120}, {100, 120}, {100, 100}}});
    // Later sheets' labels come first in the file: the first line wins, not the lowest record.
    AddLabel("mizu", 3, {110, 110});
    AddLabel("mizu", 0, {90, 90});
    AddLabel("mizu", 1, {110, 90});
    AddLabel("mizu", 2, {90, 110});
    Assemble();

    const auto layer = ReadLayer(out / "mizu_pgn");
    ASSERT_EQ(layer.shape_count, 1);
    ASSERT_EQ(layer.record_count, 1);
    EXPECT_EQ(layer.Integer(0, "id"), 4);
    EXPECT_EQ(layer.Text(0, "name"), "ne");
    EXPECT_EQ(layer.Text(0, "zumei"), "09LD171");
    EXPECT_EQ(layer.Text(0, "cd"), "5101");
    EXPECT_EQ(layer.part_starts[0].size(), 1u);
    EXPECT_DOUBLE_EQ(PartAreas(layer, 0)[0], -1600.0);
}

TEST_F(Seamless, ALabelInNoPolygonIsReportedInTheErrorFileAndCountedForTheLayer) {
    WriteBaseTable("gaiku", {{11, "west"}, {12, "east"}, {13, "stray"}});
    AddPieces("gaiku", {kWestPiece, kEastPiece});
    AddLabel("gaiku", 0, {30, 60});
    AddLabel("gaiku", 1, {30, 140});
    AddLabel("gaiku", 2, {50, 300.0004});
    AddLabel("gaiku", 1, {-7.0004, 12.3456});
    WriteBytes(error_file, ToCp932("[ポリゴンが見つからない]\r\nmizu1=kept from an earlier run\r\n"));
    Assemble();

    const std::string section = ToCp932("ポリゴンが見つからない");
    EXPECT_EQ(ReadIniString(error_file, section, "gaiku3", ""), "2,   50.000,  300.000");
    EXPECT_EQ(ReadIniString(error_file, section, "gaiku4", ""), "1,   -7.000,   12.346");
    EXPECT_EQ(ReadIniString(error_file, section, "mizu1", ""), "kept from an earlier run");
    EXPECT_FALSE(IniFile(error_file).HasKey(section, "gaiku1"));
    EXPECT_EQ(statistics.polygon_link_errors, (std::array<int32_t, 6>{0, 0, 0, 0, 2, 0}));
    EXPECT_EQ(ReadLayer(out / "gaiku_pgn").record_count, 1);
}

TEST_F(Seamless, NewPolygonsFollowTheRecordsAnExistingPgnTableHolds) {
    // 40 complete polygons written by the sheets, unit squares far from the block.
    {
        SHPHandle shapes = SHPCreate((out / "gaiku_pgn").c_str(), SHPT_POLYGON);
        DBFHandle table = CreateAttributeTable(out / "gaiku_pgn");
        DefineLayerFields("gaiku", table);
        for (int i = 0; i < 40; ++i) {
            double x[] = {500.0 + i, 500.0 + i, 501.0 + i, 501.0 + i, 500.0 + i};
            double y[] = {0, 1, 1, 0, 0};
            SHPObject* square = SHPCreateSimpleObject(SHPT_POLYGON, 5, x, y, nullptr);
            SHPWriteObject(shapes, -1, square);
            SHPDestroyObject(square);
            DBFWriteIntegerAttribute(table, i, 0, 1000 + i);
        }
        SHPClose(shapes);
        DBFClose(table);
    }
    WriteBaseTable("gaiku", {{11, "west"}, {12, "east"}});
    AddPieces("gaiku", {kWestPiece, kEastPiece});
    AddLabel("gaiku", 1, {30, 140});
    Assemble();

    const auto layer = ReadLayer(out / "gaiku_pgn");
    ASSERT_EQ(layer.record_count, 41);
    ASSERT_EQ(layer.shape_count, 41);
    EXPECT_EQ(layer.Integer(39, "id"), 1039);
    EXPECT_EQ(layer.Integer(40, "id"), 12);
    EXPECT_EQ(layer.part_starts[40].size(), 2u);
}

TEST(SeamlessSizeLimit, ALayerWhosePolygonsWouldTakeAPgnFilePastTheLimitGetsNoneOfThem) {
    // The same side files and _pgn files twice: with the limit at what the assembled
    // files come to, and one byte below.
    ScratchFolder folder;
    const auto prepare = [&](const fs::path& out) {
        fs::create_directories(out);
        SHPHandle shapes = SHPCreate((out / "gaiku_pgn").c_str(), SHPT_POLYGON);
        DBFHandle table = CreateAttributeTable(out / "gaiku_pgn");
        DefineLayerFields("gaiku", table);
        double x[] = {500, 500, 501, 501, 500}, y[] = {0, 1, 1, 0, 0};
        SHPObject* square = SHPCreateSimpleObject(SHPT_POLYGON, 5, x, y, nullptr);
        SHPWriteObject(shapes, -1, square);
        SHPDestroyObject(square);
        DBFWriteIntegerAttribute(table, 0, 0, 1000);
        SHPClose(shapes);
        DBFClose(table);
        DBFHandle base = CreateAttributeTable(out / "gaiku");
        DefineLayerFields("gaiku", base);
        DBFWriteIntegerAttribute(base, 0, 0, 11);
        DBFClose(base);
        std::string segments;
        for (const Ring& ring : {kWestPiece, kEastPiece})
            for (std::size_t i = 0; i + 1 < ring.size(); ++i)
                segments += FormatSegmentLine(EngineCoordinate(ring[i].x), EngineCoordinate(ring[i].y),
                                              EngineCoordinate(ring[i + 1].x), EngineCoordinate(ring[i + 1].y)) +
                            "\r\n";
        WriteBytes(out / "gaiku_arc.txt", segments);
        WriteBytes(out / "gaiku_pgn.txt", "0," + FormatLabelReal(30) + "," + FormatLabelReal(140) + "\r\n");
    };
    const auto assemble = [&](const fs::path& out, RecordingPort& port) {
        ShapeBuffers shape;
        RunStatistics statistics;
        SeamlessAssembly(SeamlessRequest{out, true, folder / "gridora.Err", "", 0, {}}, shape, statistics, port);
    };
    const fs::path whole = folder / "whole";
    prepare(whole);
    RecordingPort port;
    assemble(whole, port);
    ASSERT_EQ(ReadLayer(whole / "gaiku_pgn").record_count, 2);
    uint64_t largest = 0;
    for (const char* suffix : {".shp", ".shx", ".dbf"})
        largest = std::max<uint64_t>(largest, fs::file_size(whole / (std::string("gaiku_pgn") + suffix)));

    for (const uint64_t limit : {largest, largest - 1}) {
        SCOPED_TRACE(limit);
        const fs::path out = folder / std::to_string(limit);
        prepare(out);
        const std::string shp = ReadBytes(out / "gaiku_pgn.shp"), dbf = ReadBytes(out / "gaiku_pgn.dbf");
        const testing::ScopedFileSizeLimit limited(limit);
        RecordingPort limited_port;
        if (limit == largest) {
            ASSERT_NO_THROW(assemble(out, limited_port));
            EXPECT_EQ(ReadBytes(out / "gaiku_pgn.shp"), ReadBytes(whole / "gaiku_pgn.shp"));
            EXPECT_EQ(ReadBytes(out / "gaiku_pgn.dbf"), ReadBytes(whole / "gaiku_pgn.dbf"));
        } else {
            EXPECT_THROW(assemble(out, limited_port), OutputStopped);
            EXPECT_EQ(ReadBytes(out / "gaiku_pgn.shp"), shp);
            EXPECT_EQ(ReadBytes(out / "gaiku_pgn.dbf"), dbf);
            EXPECT_EQ(ReadLayer(out / "gaiku_pgn").shape_count, 1);
        }
    }
}

TEST_F(Seamless, ConsumesTheSideFilesOfTheLayersItAssemblesAndDeletesTheFrameSideFile) {
    WriteBaseTable("gaiku", {{11, "west"}, {12, "east"}});
    AddPieces("gaiku", {kWestPiece, kEastPiece});
    AddLabel("gaiku", 0, {30, 60});
    // A layer without segments is left alone, its labels included.
    WriteBaseTable("mizu", {{1, "pond"}});
    AddLabel("mizu", 0, {30, 60});
    WriteBytes(out / "zuyo.txt", "frame\r\n");
    Assemble();

    EXPECT_FALSE(fs::exists(out / "gaiku_arc.txt"));
    EXPECT_FALSE(fs::exists(out / "gaiku_pgn.txt"));
    EXPECT_FALSE(fs::exists(out / "zuyo.txt"));
    EXPECT_TRUE(fs::exists(out / "mizu_pgn.txt"));
    EXPECT_FALSE(fs::exists(out / "mizu_pgn.shp"));
    EXPECT_EQ(ReadLayer(out / "gaiku_pgn").record_count, 1);
}

TEST_F(Seamless, SegmentsWithoutLabelsStillCreateTheOutputButWriteNoPolygon) {
    WriteBaseTable("tatemono", {{11, "west"}});
    AddPieces("tatemono", {kWestPiece, kEastPiece});
    Assemble();
    const auto layer = ReadLayer(out / "tatemono_pgn");
    EXPECT_TRUE(layer.opened);
    EXPECT_EQ(layer.record_count, 0);
    EXPECT_EQ(layer.field_names.size(), LayerFields("TATEMONO").size());
    EXPECT_FALSE(fs::exists(out / "tatemono_arc.txt"));
}

TEST_F(Seamless, AMissingBaseTableSkipsTheLayerWithAMessageNamingItAndKeepsItsSideFiles) {
    AddPieces("zyouti", {kWestPiece, kEastPiece});
    AddLabel("zyouti", 0, {30, 60});
    Assemble();
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_NE(port.messages[0].find(ToCp932((out / "zyouti.dbf").native())), std::string::npos) << port.messages[0];
    EXPECT_TRUE(fs::exists(out / "zyouti_arc.txt"));
    EXPECT_TRUE(fs::exists(out / "zyouti_pgn.txt"));
    EXPECT_FALSE(fs::exists(out / "zyouti_pgn.shp"));
}

TEST_F(Seamless, LabelLinesWithBadCoordinatesOrRecordsAreReportedWithFileAndLineAndSkipped) {
    WriteBaseTable("gaiku", {{11, "west"}, {12, "east"}});
    AddPieces("gaiku", {kWestPiece, kEastPiece});
    label_lines["gaiku"] = "0, 3.0E+0001,sixty\r\n";
    AddLabel("gaiku", 7, {30, 140});  // no record 7 in the base table
    AddLabel("gaiku", 1, {30, 140});
    Assemble();

    const std::string file = ToCp932((out / "gaiku_pgn.txt").native());
    ASSERT_EQ(port.messages.size(), 2u);
    EXPECT_EQ(port.messages[0], "error:'sixty' is not a valid floating point value:" + file + ":1");
    EXPECT_EQ(port.messages[1], ToCp932("error:レコード番号が属性テーブルにない:") + file + ":2");
    const auto layer = ReadLayer(out / "gaiku_pgn");
    ASSERT_EQ(layer.record_count, 1);
    EXPECT_EQ(layer.Integer(0, "id"), 12);
    EXPECT_EQ(statistics.polygon_link_errors[4], 0);
}

// The block X 20..80, Y 50..150 cut at Y = 100, whose western piece's side X = 20 runs in
// 9000 small steps (north-south, so that a scan line of the engine meets few of them, or
// east-west along Y = 50, so that one meets all 9000, past the engine's default limit of
// 6000), with 120 courtyards in that piece. Without spurs the long side is one arc of
// more points than the engine allows (error 61).
std::vector<Ring> LongBlockPieces(bool steps_across_scan_lines, bool spurs = true) {
    Ring west = {{80, 100}, {80, 50}};
    if (steps_across_scan_lines) {
        west = {{20, 100}, {20, 50}};
        for (int i = 1; i <= 9000; ++i) west.push_back({20 + 60.0 * i / 9000, i % 2 == 0 ? 50.0 : 49.5});
        west.push_back({80, 100});
    } else {
        for (int i = 0; i <= 9000; ++i) west.push_back({i % 2 == 0 ? 20.0 : 19.5, 50 + 50.0 * i / 9000});
    }
    west.push_back(west.front());
    std::vector<Ring> pieces = {west, {{20, 100}, {80, 100}, {80, 150}, {20, 150}, {20, 100}}};
    // Spurs outside the block make nodes on the long side, so that no arc passes the
    // engine's limit of 5999 points.
    for (std::size_t i = 2002; spurs && i < 9000; i += 2000)
        pieces.push_back({west[i], steps_across_scan_lines ? DataPoint{west[i].x, 40} : DataPoint{10, west[i].y}});
    for (int i = 0; i < 120; ++i) {
        const double x = 21 + (i % 12) * 4.5, y = 55 + (i / 12) * 4.0;
        pieces.push_back({{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}, {x, y}});
    }
    return pieces;
}

TEST_F(Seamless, APolygonOfMoreThan8000VerticesAnd100RingsIsWrittenWhole) {
    // Also when a scan line crosses more arcs than the engine allows a drawing by default,
    // as one across a whole region's buildings does.
    for (bool steps_across_scan_lines : {false, true}) {
        SCOPED_TRACE(steps_across_scan_lines);
        fs::remove_all(out);
        fs::create_directories(out);
        arc_lines.clear();
        label_lines.clear();
        port.messages.clear();
        WriteBaseTable("gaiku", {{11, "long"}});
        AddPieces("gaiku", LongBlockPieces(steps_across_scan_lines));
        AddLabel("gaiku", 0, {70, 140});
        Assemble();

        EXPECT_TRUE(port.messages.empty()) << Cp932ToUtf8(port.messages.front());
        const auto layer = ReadLayer(out / "gaiku_pgn");
        ASSERT_EQ(layer.shape_count, 1);
        EXPECT_EQ(layer.part_starts[0].size(), 121u);
        EXPECT_GT(layer.vertices[0].size(), 9000u + 121 * 5);
        EXPECT_GE(statistics.largest_vertex_count, 9000);
    }
}

TEST_F(Seamless, AnAssemblyStepTheEngineCannotCompleteIsReportedWithTheLayer) {
    WriteBaseTable("gaiku", {{11, "long"}});
    AddPieces("gaiku", LongBlockPieces(false, false));
    AddLabel("gaiku", 0, {70, 140});
    Assemble();
    ASSERT_FALSE(port.messages.empty());
    EXPECT_TRUE(port.messages.front().starts_with(ToCp932("error:シームレス処理:gaiku:61:"))) << Cp932ToUtf8(port.messages.front());
}

// A rectangle X x0..x1, Y y0..y1 as a closed ring.
Ring Rectangle(double x0, double y0, double x1, double y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}}; }

// Everything that leaves the step, for comparing runs in the same folder.
struct StepOutcome {
    std::map<std::string, std::string> files;  // the folder's and the error file's bytes by name
    std::vector<std::string> messages;
    std::array<int32_t, RunStatistics::kSeamlessLayerCount> link_errors{};
    int32_t largest_vertex_count = 0;
    std::vector<std::string> progress;  // each after_layer call: layers done and what it consumes
    bool stopped = false;
    friend bool operator==(const StepOutcome&, const StepOutcome&) = default;
};

TEST_F(Seamless, EveryJobCountGivesTheFilesMessagesStatisticsAndProgressOfOneLayerAfterTheOther) {
    // Six layers of every kind of outcome: polygons with labels in none (mizu), no base
    // table (si_tyo), the engine failing a step and bad label lines (tyome), no segments
    // (zyouti), many blocks across a sheet edge (gaiku), many buildings (tatemono).
    WriteBaseTable("mizu", {{1, "pond"}, {2, "lost"}});
    AddPieces("mizu", {kWestPiece, kEastPiece});
    AddLabel("mizu", 0, {30, 60});
    AddLabel("mizu", 1, {300, 600});
    AddPieces("si_tyo", {kWestPiece, kEastPiece});
    AddLabel("si_tyo", 0, {30, 60});
    WriteBaseTable("tyome", {{21, "long"}});
    AddPieces("tyome", LongBlockPieces(false, false));
    label_lines["tyome"] = "0,1.0,x\r\n";
    AddLabel("tyome", 5, {70, 140});
    AddLabel("tyome", 0, {70, 140});
    WriteBaseTable("zyouti", {{31, "none"}});
    AddLabel("zyouti", 0, {30, 60});
    std::vector<Ring> blocks, buildings;
    std::vector<BaseRecord> block_records, building_records;
    for (int i = 0; i < 40; ++i) {
        blocks.push_back(Rectangle(10.0 * i, 90, 10.0 * i + 8, 100));
        blocks.push_back(Rectangle(10.0 * i, 100, 10.0 * i + 8, 110));
        block_records.push_back({400 + i, "block"});
        for (int j = 0; j < 10; ++j) {
            buildings.push_back(Rectangle(10.0 * i + 1, 10.0 * j + 1, 10.0 * i + 5, 10.0 * j + 5));
            building_records.push_back({1000 + 10 * i + j, "building"});
        }
    }
    WriteBaseTable("gaiku", block_records);
    AddPieces("gaiku", blocks);
    for (int i = 0; i < 40; ++i) AddLabel("gaiku", i, {10.0 * i + 4, 95});
    WriteBaseTable("tatemono", building_records);
    AddPieces("tatemono", buildings);
    for (int k = 0; k < 400; k += 3) AddLabel("tatemono", k, {10.0 * (k / 10) + 2, 10.0 * (k % 10) + 2});
    WriteBytes(out / "zuyo.txt", "frame\r\n");

    const fs::path run_folder = folder / "run", run_errors = folder / "run.Err";
    const auto assemble = [&](int jobs) {
        fs::remove_all(run_folder);
        fs::remove(run_errors);
        fs::copy(out, run_folder);
        StepOutcome outcome;
        SeamlessRequest request{run_folder, true, run_errors, "", 0, {}};
        request.jobs = jobs;
        request.after_layer = [&](int done, const std::vector<fs::path>& consumed) {
            std::string entry = std::to_string(done);
            for (const fs::path& path : consumed) entry += " " + path.filename().native();
            outcome.progress.push_back(entry);
        };
        RecordingPort step_port;
        RunStatistics step_statistics;
        ShapeBuffers step_shape;
        try {
            SeamlessAssembly(request, step_shape, step_statistics, step_port);
        } catch (const OutputStopped& stopped) {
            outcome.stopped = true;
            step_port.messages.push_back(stopped.what());
        }
        for (const auto& entry : fs::directory_iterator(run_folder))
            outcome.files[entry.path().filename().native()] = ReadBytes(entry.path());
        if (fs::exists(run_errors)) outcome.files["run.Err"] = ReadBytes(run_errors);
        outcome.messages = step_port.messages;
        outcome.link_errors = step_statistics.polygon_link_errors;
        outcome.largest_vertex_count = step_statistics.largest_vertex_count;
        return outcome;
    };

    const StepOutcome sequential = assemble(1);
    ASSERT_EQ(sequential.progress.size(), 6u);
    ASSERT_EQ(sequential.messages.size(), 4u);
    EXPECT_EQ(sequential.link_errors, (std::array<int32_t, 6>{1, 0, 1, 0, 0, 0}));  // tyome's engine failed
    EXPECT_EQ(ReadLayer(run_folder / "tatemono_pgn").record_count, 134);
    EXPECT_EQ(ReadLayer(run_folder / "gaiku_pgn").record_count, 40);
    for (int jobs : {0, 2, 3, 6}) EXPECT_EQ(assemble(jobs), sequential) << jobs << " jobs";

    // With the size limit at what mizu and tyome write, gaiku stops the step: no layer
    // after it is written or recorded, however many were assembled at the same time.
    uint64_t limit = 0;
    for (const char* name : {"mizu_pgn.shp", "mizu_pgn.shx", "mizu_pgn.dbf", "tyome_pgn.shp", "tyome_pgn.shx",
                             "tyome_pgn.dbf"})
        limit = std::max<uint64_t>(limit, sequential.files.at(name).size());
    ASSERT_GT(sequential.files.at("gaiku_pgn.shp").size(), limit);
    const testing::ScopedFileSizeLimit limited(limit);
    const StepOutcome stopped = assemble(1);
    ASSERT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.progress.size(), 4u);
    EXPECT_FALSE(stopped.files.contains("tatemono_pgn.shp"));
    for (int jobs : {2, 6}) EXPECT_EQ(assemble(jobs), stopped) << jobs << " jobs";
}

TEST(SeamlessSideFiles, LabelAndSegmentLinesReadBackWhatTheWritersWrite) {
    const SourceLine at{"a_pgn.txt", 3};
    const LabelLine label = ParseLabelLine("17," + FormatLabelReal(-12345.678) + "," + FormatLabelReal(0.001), at);
    EXPECT_EQ(label.record, 17);
    EXPECT_DOUBLE_EQ(label.x, -12345.678);
    EXPECT_DOUBLE_EQ(label.y, 0.001);
    EXPECT_EQ(ParseLabelLine("x,1,2", at).record, 0);
    EXPECT_THROW(ParseLabelLine("1,2", at), ConversionError);

    EXPECT_EQ(ParseSegmentLine(FormatSegmentLine(-1, 2, 2147483647, -2147483647 - 1)),
              (SegmentLine{-1, 2, 2147483647, -2147483647 - 1}));
    EXPECT_EQ(ParseSegmentLine("1,x,3"), (SegmentLine{1, 0, 3, 0}));
}

TEST(SeamlessLabels, EachFaceTakesItsFirstLabelInTableOrder) {
    std::vector<LabelPoint> labels(6);
    const int32_t faces[] = {5, 0, 2, 5, 2, 9};
    for (std::size_t i = 0; i < labels.size(); ++i) labels[i].face = faces[i];
    const FirstLabelByFace first(labels);
    EXPECT_EQ(first.FirstLabelOf(5), 0);
    EXPECT_EQ(first.FirstLabelOf(2), 2);
    EXPECT_EQ(first.FirstLabelOf(9), 5);
    EXPECT_EQ(first.FirstLabelOf(0), -1);
    EXPECT_EQ(first.FirstLabelOf(3), -1);

    EXPECT_EQ(MissingPolygonEntry(LabelPoint{12, 123456.7891, -0.5, 1, 0}), "12,123456.789,   -0.500");
}

TEST(SeamlessShapes, RingPartsLeaveOutClosingRecordsAndTurnEachRingTheShapefileWay) {
    // An engine run: outer ring clockwise in engine axes (x north right, y east up), a hole
    // counter-clockwise (first record key 0), the closing record, a second hole.
    const std::vector<EnginePoint> run = {
        {0, 0, 2, 0},      {0, 10000, 2, 0}, {10000, 10000, 2, 0}, {10000, 0, 2, 0}, {0, 0, 2, 0},
        {2000, 2000, 0, 1}, {4000, 2000, 2, 1}, {4000, 4000, 2, 1}, {2000, 4000, 2, 1}, {2000, 2000, 2, 1},
        {0, 0, 0, 0},
        {6000, 6000, 0, 2}, {8000, 6000, 2, 2}, {8000, 8000, 2, 2}, {6000, 6000, 2, 2},
        {0, 0, 0, 0},
    };
    EXPECT_EQ(LargestRing(run), 2);
    ShapeBuffers shape;
    BuildRingParts(run, shape);
    EXPECT_EQ(shape.PartStarts(), (std::vector<int>{0, 5, 10}));
    EXPECT_EQ(shape.PartTypes(), (std::vector<int>{SHPP_OUTERRING, SHPP_INNERRING, SHPP_INNERRING}));
    ASSERT_EQ(shape.VertexCount(), 14);
    // Shapefile X = engine y / 1000, Y = engine x / 1000. The outer ring (0,0) (0,10) (10,10)
    // (10,0) in engine axes is counter-clockwise once the axes swap, so it is reversed.
    // The holes, clockwise once swapped, are reversed too.
    EXPECT_EQ(shape.X(), (std::vector<double>{0, 0, 10, 10, 0, 2, 4, 4, 2, 2, 6, 8, 6, 6}));
    EXPECT_EQ(shape.Y(), (std::vector<double>{0, 10, 10, 0, 0, 2, 2, 4, 4, 2, 6, 8, 8, 6}));

    // A run already in the Shapefile's sense keeps its order; without parts arrays.
    std::vector<EnginePoint> walk = {{0, 0, 2, 0}, {1000, 0, 2, 0}, {1000, 1000, 2, 0}, {0, 0, 2, 0}};
    BuildBridgedOutline(walk, shape);
    EXPECT_EQ(shape.PartCount(), 0);
    EXPECT_EQ(shape.X(), (std::vector<double>{0, 0, 1, 0}));
    EXPECT_EQ(shape.Y(), (std::vector<double>{0, 1, 1, 0}));
}

}  // namespace
}  // namespace gridora
