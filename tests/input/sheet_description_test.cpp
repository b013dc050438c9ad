#include <gtest/gtest.h>

#include "input/sheet_description.h"
#include "platform/cp932.h"

namespace gridora {
namespace {

TEST(ParseSheetFrame, TwoCornersDeriveUpperLeftAndLowerRightTexts) {
    SheetFrame f = ParseSheetFrame("7,-81000.0,-32000.0,-79500.0,-30000.0");
    EXPECT_EQ(f.coordinate_system, 7);
    EXPECT_EQ(f.datum_flag, 0);
    const CornerTexts& c = f.corners;
    EXPECT_EQ(c.lower_left_x, "-81000.0");
    EXPECT_EQ(c.lower_left_y, "-32000.0");
    EXPECT_EQ(c.upper_right_x, "-79500.0");
    EXPECT_EQ(c.upper_right_y, "-30000.0");
    EXPECT_EQ(c.upper_left_x, "-79500.0");
    EXPECT_EQ(c.upper_left_y, "-32000.0");
    EXPECT_EQ(c.lower_right_x, "-81000.0");
    EXPECT_EQ(c.lower_right_y, "-30000.0");
}

TEST(ParseSheetFrame, EmptyCornerFieldsAreDerivedAndTheDatumStillRead) {
    SheetFrame f = ParseSheetFrame("9,-80.5,-360.25,-79.0,-358.5,,,,,2");
    EXPECT_EQ(f.coordinate_system, 9);
    EXPECT_EQ(f.datum_flag, 2);
    EXPECT_EQ(f.corners.upper_left_x, "-79.0");
    EXPECT_EQ(f.corners.upper_left_y, "-360.25");
    EXPECT_EQ(f.corners.lower_right_x, "-80.5");
    EXPECT_EQ(f.corners.lower_right_y, "-358.5");
}

TEST(ParseSheetFrame, AllEightCornersAreKeptAsTexts) {
    SheetFrame f = ParseSheetFrame("x,1,2,3,4, 5,6,7,8,1");
    EXPECT_EQ(f.coordinate_system, 0);
    EXPECT_EQ(f.corners.upper_left_x, " 5");
    EXPECT_EQ(f.corners.lower_right_y, "8");
    EXPECT_EQ(f.datum_flag, 1);
}

TEST(ParseListedFile, TakesTheNameAfterTheLastSeparatorOfEitherKind) {
    auto f = ParseListedFile("07MD623\\GYOUSEI\\SI_TYO.ATR");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->base_name, "SI_TYO");
    EXPECT_EQ(f->extension, ".ATR");
    f = ParseListedFile("07MD623/OTHERS/EKI.PNT");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->base_name, "EKI");
    EXPECT_EQ(f->extension, ".PNT");
    f = ParseListedFile("ROAD.ATR");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->base_name, "ROAD");
    f = ParseListedFile("si_tyo.atr");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->base_name, "si_tyo");  // case is the caller's to compare
}

TEST(ParseListedFile, ThemeFolderLinesHaveNoFile) {
    EXPECT_FALSE(ParseListedFile("07MD623\\GYOUSEI"));
    EXPECT_FALSE(ParseListedFile(""));
    EXPECT_FALSE(ParseListedFile("07MD623.X\\GYOUSEI"));
}

TEST(ParseListedFile, SecondByteThatLooksLikeABackslashIsNoSeparator) {
    // "表" is 95 5C in CP932.
    const std::string line = ToCp932("DIR\\表.ATR");
    auto f = ParseListedFile(line);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->base_name, ToCp932("表"));
}

}  // namespace
}  // namespace gridora
