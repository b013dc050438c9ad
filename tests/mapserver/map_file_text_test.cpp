#include <gtest/gtest.h>

#include "golden_files.h"
#include "mapserver/map_file_text.h"
#include "platform/cp932.h"

namespace gridora {
namespace {

using testing::ExpectGolden;

constexpr int kBuildings = 5;
constexpr int kRoads = 6;
constexpr int kStations = 8;

// A run in system 9 (Tokyo datum) whose extent is 1000 east by 500 north.
MapFileContext ExampleContext() {
    MapFileContext context;
    context.output_folder = "/Out/";
    context.system = FindCoordinateSystem(9);
    context.datum_flag = 0;
    context.data_epsg = 30169;
    context.extent = RunExtent{-8000.0, -36000.0, -7000.0, -35500.0};
    context.font_file_name = "msgothic.ttc";
    context.font_copied = true;
    context.symbols_copied = true;
    context.settings.kanji_font = "/fonts/msgothic.ttc";
    return context;
}

LayerFilesMade BuildingsAndRoads() {
    LayerFilesMade made{};
    made[kBuildings].polygon_made = true;
    made[kRoads].line_made = true;
    return made;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

int Count(const std::vector<std::string>& lines, std::string_view line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

TEST(MapFileText, MaxScaleExampleRoundsHalfToEvenAndTakesTheLarger) {
    const RunExtent extent{0.0, 0.0, 1000.0, 500.0};
    EXPECT_EQ(ComputedMaxScale(extent, 400, 300), 10000.0);  // round(10000.5) = 10000, round(6667.17)
    EXPECT_EQ(ComputedMaxScale(RunExtent{0.0, 0.0, 1100.0, 500.0}, 400, 300), 11000.0);  // 11000.5 -> even
    EXPECT_EQ(ComputedMaxScale(RunExtent{0.0, 0.0, 100.0, 3000.0}, 400, 300), 40000.0);  // the north one
    EXPECT_EQ(ComputedMaxScale(RunExtent{0.0, 0.0, 1.5 * 400 / 4000, 0.0}, 400, 300), 2.0);  // 2.0 -> 2
}

TEST(MapFileText, SizeZeroTakesTheDefaultSizeInsteadOfDividingByZero) {
    const RunExtent extent{0.0, 0.0, 1000.0, 500.0};
    EXPECT_EQ(ComputedMaxScale(extent, 0, 300), 10000.0);
    EXPECT_EQ(ComputedMaxScale(extent, 400, 0), 10000.0);
    EXPECT_EQ(ComputedMaxScale(extent, -5, 0), 10000.0);
    MapFileContext context = ExampleContext();
    context.settings.width = 0;
    context.settings.height = 0;
    const auto lines = Lines(MapFileText(context));
    EXPECT_EQ(Count(lines, "    MAXSCALE 10000"), 1);
    EXPECT_EQ(Count(lines, "SIZE 0 0"), 1);  // the setting itself is written as it is
}

TEST(MapFileText, AMaximumScaleTextIsWrittenAsItStands) {
    MapFileContext context = ExampleContext();
    context.settings.maximum_scale = "25000";
    context.settings.minimum_scale = "1000";
    const auto lines = Lines(MapFileText(context));
    EXPECT_EQ(Count(lines, "    MAXSCALE 25000"), 1);
    EXPECT_EQ(Count(lines, "    MINSCALE 200"), 1);  // the minimum-scale setting is not written
}

TEST(MapFileText, LayerInformationOnlyHoldsOnlyTheLayerBlocks) {
    MapFileContext context = ExampleContext();
    context.settings.layer_information_only = true;
    context.files_made = BuildingsAndRoads();
    const std::string text = MapFileText(context);
    ExpectGolden("layer_information_only.map", text);
    const auto lines = Lines(text);
    EXPECT_EQ(Count(lines, "MAP"), 0);
    EXPECT_EQ(Count(lines, "LAYER"), 2);
    EXPECT_EQ(lines.back(), "END");  // the second layer's, not the map's
    EXPECT_EQ(Count(lines, "END"), 2);
}

// Map name empty, units and image type 0, neither support file copied, seamless files off.
TEST(MapFileText, PlainHeaderWithBuildingsAndRoadsOnly) {
    MapFileContext context = ExampleContext();
    context.settings.units_index = 0;
    context.settings.image_type_index = 0;
    context.settings.seamless_files = false;
    context.font_copied = false;
    context.symbols_copied = false;
    context.files_made = BuildingsAndRoads();
    const std::string text = MapFileText(context);
    ExpectGolden("plain_header.map", text);
    const auto lines = Lines(text);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(Count(lines, "  DATA \"tatemono\""), 1);
    EXPECT_EQ(Count(lines, "  DATA \"road\""), 1);
    EXPECT_EQ(Count(lines, "  TYPE LINE"), 1);
    for (const std::string& line : lines) {
        EXPECT_FALSE(line.starts_with("UNITS") || line.starts_with("IMAGETYPE") || line.starts_with("SYMBOLSET") ||
                     line.starts_with("FONTSET") || line == "       LABEL" || line == "       STYLE")
            << line;
    }
}

TEST(MapFileText, SeamlessFilesNamePolygonLayersPgnFilesOnly) {
    EXPECT_EQ(LayerDataName(kBuildings, true), "tatemono_pgn");
    EXPECT_EQ(LayerDataName(kBuildings, false), "tatemono");
    EXPECT_EQ(LayerDataName(kRoads, true), "road");
    EXPECT_EQ(LayerDataName(10, true), "zuyo");  // the frame is kind 0, not a polygon layer
}

TEST(MapFileText, StationEntryHasItsLabelAndStyleGroups) {
    MapFileContext context = ExampleContext();
    context.files_made[kStations].point_made = true;
    const auto lines = Lines(MapFileText(context));
    const auto at = std::find(lines.begin(), lines.end(), "       Name 'eki'");
    ASSERT_NE(at, lines.end());
    const std::vector<std::string> expected = {
        "       Name 'eki'",        "       LABEL",          "          TYPE TRUETYPE",
        "          FONT msgothic",  "          COLOR  0 128 64", "          ENCODING SJIS",
        "          SIZE 8",         "          POSITION AUTO", "          BUFFER 7",
        "       END",               "       STYLE",          "          COLOR 0 128 0",
        "          MAXSIZE 100",    "          MINSIZE 1",    "          SIZE 4",
        "          SYMBOL 4",       "       END",            "       TEMPLATE void"};
    ASSERT_GE(lines.end() - at, static_cast<std::ptrdiff_t>(expected.size()));
    EXPECT_EQ(std::vector<std::string>(at, at + static_cast<std::ptrdiff_t>(expected.size())), expected);
}

TEST(MapFileText, JoinedResultFieldsFollowTheCataloguesOwnCounts) {
    MapFileContext context = ExampleContext();
    context.files_made[7].line_made = true;   // railway: 4 of its 5 fields
    context.files_made[10].polygon_made = true;  // frame: 15 of 13, two empty items
    const auto lines = Lines(MapFileText(context));
    EXPECT_EQ(Count(lines, "\t   \"RESULT_FIELDS\" \"id,zumei,cd,ltag\""), 1);
    EXPECT_EQ(Count(lines, "\t   \"RESULT_FIELDS\" \"city,zumei,name1,name2,name3,name4,name5,name6,name7,"
                           "name8,name9,name10,name11,,\""),
              1);
}

TEST(MapFileText, DatumCommentFollowsTheFlagAndUnknownFlagsWriteNone) {
    MapFileContext context = ExampleContext();
    context.datum_flag = 2;
    EXPECT_EQ(Lines(MapFileText(context))[2], ToCp932("#平面直角座標系（世界測地系（代表点変換））"));
    context.datum_flag = 7;
    EXPECT_EQ(Lines(MapFileText(context))[2], "# Start of output projection definition");
}

TEST(MapFileText, PointStylesSplitAtCommasWithMissingFieldsEmpty) {
    const PointStyle full = SplitPointStyle("255 0 0,6,1");
    EXPECT_EQ(full.color, "255 0 0");
    EXPECT_EQ(full.size, "6");
    EXPECT_EQ(full.symbol, "1");
    const PointStyle short_style = SplitPointStyle("1 2 3,5");
    EXPECT_EQ(short_style.size, "5");
    EXPECT_EQ(short_style.symbol, "");
}

TEST(MapFileText, ExtentNumbersAreFixedPointRightAlignedInEleven) {
    EXPECT_EQ(ExtentNumber(-8000.0), "  -8000.000");
    EXPECT_EQ(ExtentNumber(12.3456), "     12.346");
    EXPECT_EQ(ExtentNumber(-123456789.5), "-123456789.500");  // wider numbers are not cut
}

}  // namespace
}  // namespace gridora
