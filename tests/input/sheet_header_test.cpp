#include <gtest/gtest.h>

#include "input/conversion_error.h"
#include "input/sheet_header.h"

namespace gridora {
namespace {

const SourceLine kAt{"x.ARC", 1};

TEST(ReadSheetHeader, ElevenFieldsDeriveTheOtherTwoCorners) {
    SheetHeader h;
    ReadSheetHeader("07MD623,text,1,2,3,4,5,-81000.0,-32000.0,-79500.0,-30000.0", h, kAt);
    EXPECT_EQ(h.sheet_name, "07MD623");
    EXPECT_EQ(h.second_text, "text");
    EXPECT_EQ(h.numbers, (std::array<int32_t, 5>{1, 2, 3, 4, 5}));
    EXPECT_EQ(h.OriginX, -81000.0);
    EXPECT_EQ(h.OriginY, -32000.0);
    EXPECT_EQ(h.upper_right_x, -79500.0);
    EXPECT_EQ(h.upper_right_y, -30000.0);
    EXPECT_EQ(h.upper_left_x, -79500.0);   // field 10
    EXPECT_EQ(h.upper_left_y, -32000.0);   // field 9
    EXPECT_EQ(h.lower_right_x, -81000.0);  // field 8
    EXPECT_EQ(h.lower_right_y, -30000.0);  // field 11
}

TEST(ReadSheetHeader, FifteenFieldsAreReadAsGiven) {
    SheetHeader h;
    ReadSheetHeader("N,t,x,,0,0,0,0,0,10,20,11,1,2,22", h, kAt);
    EXPECT_EQ(h.numbers[0], 0);  // "x" is no integer, and that is no error
    EXPECT_EQ(h.upper_left_x, 11.0);
    EXPECT_EQ(h.upper_left_y, 1.0);
    EXPECT_EQ(h.lower_right_x, 2.0);
    EXPECT_EQ(h.lower_right_y, 22.0);
}

TEST(ReadSheetHeader, PartOfTheOptionalCornersIsAConversionError) {
    SheetHeader h;
    EXPECT_THROW(ReadSheetHeader("N,t,0,0,0,0,0,0,0,10,20,11", h, kAt), ConversionError);
    EXPECT_THROW(ReadSheetHeader("N,t,0,0,0,0,0,0,0,10", h, kAt), ConversionError);
    EXPECT_THROW(ReadSheetHeader("N,t,0,0,0,0,0,a,0,10,20", h, kAt), ConversionError);
}

}  // namespace
}  // namespace gridora
