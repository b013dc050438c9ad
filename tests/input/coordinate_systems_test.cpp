#include <gtest/gtest.h>

#include "input/coordinate_systems.h"
#include "platform/cp932.h"

namespace gridora {
namespace {

TEST(CoordinateSystems, NamesAreCp932WithRomanNumeralCharacters) {
    EXPECT_EQ(CoordinateSystemName(1), "\x91\xE6\x87\x54\x8C\x6E");  // 第Ⅰ系
    EXPECT_EQ(CoordinateSystemName(19), ToCp932("第ⅩⅨ系"));
    EXPECT_EQ(CoordinateSystemName(0), "");
    EXPECT_EQ(CoordinateSystemName(20), "");
    EXPECT_EQ(CoordinateSystemName(-1), "");
}

TEST(CoordinateSystems, TableRowsRunFromEpsg2443To2461) {
    for (int n = 1; n <= 19; ++n) {
        const CoordinateSystem* row = FindCoordinateSystem(n);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->number, n);
        EXPECT_EQ(row->epsg_code, std::to_string(2442 + n));
    }
    EXPECT_EQ(FindCoordinateSystem(9)->origin_longitude, "139.833333");
    EXPECT_EQ(FindCoordinateSystem(9)->origin_latitude, "36");
    EXPECT_EQ(FindCoordinateSystem(0), nullptr);
    EXPECT_EQ(FindCoordinateSystem(20), nullptr);
}

TEST(CoordinateSystems, DatumFlagsOutsideTheTableHaveNoText) {
    EXPECT_EQ(DatumText(0), ToCp932("平面直角座標系（日本測地系）"));
    EXPECT_EQ(DatumText(3), ToCp932("平面直角座標系（世界測地系（その他））"));
    EXPECT_EQ(DatumText(4), "");
    EXPECT_EQ(DatumText(-1), "");
}

TEST(NodeTagCaption, JoinsTheConnectionAndThePositionTexts) {
    EXPECT_EQ(NodeTagCaption(0), ToCp932("図郭境界での接続（端点以外）図郭内部"));
    EXPECT_EQ(NodeTagCaption(13), ToCp932("図郭境界での非接続（端点）図郭右上角"));
    EXPECT_EQ(NodeTagCaption(38), ToCp932("座標系境界での非接続（端点）図郭左辺"));
    EXPECT_EQ(NodeTagCaption(9), ToCp932("図郭境界での接続（端点以外）"));
    EXPECT_EQ(NodeTagCaption(47), ToCp932("図郭左下角"));
    EXPECT_EQ(NodeTagCaption(-13), "");
}

TEST(NodeTagCaption, BytesAreCp932) {
    // 図郭内部
    EXPECT_EQ(NodeTagCaption(40), "\x90\x7D\x8A\x73\x93\xE0\x95\x94");
}

TEST(AdmitSheetCoordinateSystem, FirstSheetFixesTheSystemLaterOnesOnlyTheDatum) {
    RunCoordinateSystem run;
    EXPECT_TRUE(AdmitSheetCoordinateSystem(run, 9, 0));
    EXPECT_EQ(run.number, 9);
    EXPECT_FALSE(AdmitSheetCoordinateSystem(run, 10, 1));
    EXPECT_EQ(run.number, 9);
    EXPECT_EQ(run.datum_flag, 0);
    EXPECT_TRUE(AdmitSheetCoordinateSystem(run, 9, 2));
    EXPECT_EQ(run.datum_flag, 2);
}

TEST(AdmitSheetCoordinateSystem, NumbersOutsideTheTableAreFixedToo) {
    RunCoordinateSystem run;
    EXPECT_TRUE(AdmitSheetCoordinateSystem(run, 0, 0));
    EXPECT_FALSE(AdmitSheetCoordinateSystem(run, 9, 0));
    RunCoordinateSystem other;
    EXPECT_TRUE(AdmitSheetCoordinateSystem(other, 20, 0));
    EXPECT_TRUE(AdmitSheetCoordinateSystem(other, 20, 1));
}

}  // namespace
}  // namespace gridora
