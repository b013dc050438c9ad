#include <gtest/gtest.h>

#include <climits>

#include "input/conversion_error.h"
#include "input/text_fields.h"

namespace gridora {
namespace {

TEST(TakeField, SplitsAtCommasWithoutQuotingOrTrimming) {
    std::string_view line = "L1101, 5 ,,\"a,b\"";
    EXPECT_EQ(TakeField(line), "L1101");
    EXPECT_EQ(TakeField(line), " 5 ");
    EXPECT_EQ(TakeField(line), "");
    EXPECT_EQ(TakeField(line), "\"a");
    EXPECT_EQ(TakeField(line), "b\"");
    EXPECT_TRUE(line.empty());
    EXPECT_EQ(TakeField(line), "");
}

TEST(TakeField, TrailingCommaLeavesNothingBehind) {
    std::string_view line = "a,";
    EXPECT_EQ(TakeField(line), "a");
    EXPECT_TRUE(line.empty());
}

TEST(ParseInteger, InvalidTextCountsAsZero) {
    EXPECT_EQ(ParseInteger("17"), 17);
    EXPECT_EQ(ParseInteger("-17"), -17);
    EXPECT_EQ(ParseInteger("+3"), 3);
    EXPECT_EQ(ParseInteger("  42"), 42);
    EXPECT_EQ(ParseInteger(""), 0);
    EXPECT_EQ(ParseInteger("12 "), 0);
    EXPECT_EQ(ParseInteger("1.5"), 0);
    EXPECT_EQ(ParseInteger("x"), 0);
    EXPECT_EQ(ParseInteger("-"), 0);
    EXPECT_EQ(ParseInteger("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseInteger("2147483648"), 0);
}

TEST(ParseReal, AcceptsPlainDecimalNumbersOnly) {
    EXPECT_EQ(ParseReal("-81000.0"), -81000.0);
    EXPECT_EQ(ParseReal(" 12.5 "), 12.5);
    EXPECT_EQ(ParseReal("+.5"), 0.5);
    EXPECT_EQ(ParseReal("3."), 3.0);
    EXPECT_EQ(ParseReal("-1.00000000000000E+0001"), -10.0);
    EXPECT_FALSE(ParseReal(""));
    EXPECT_FALSE(ParseReal("  "));
    EXPECT_FALSE(ParseReal("1,5"));
    EXPECT_FALSE(ParseReal("12x"));
    EXPECT_FALSE(ParseReal("inf"));
    EXPECT_FALSE(ParseReal("nan"));
    EXPECT_FALSE(ParseReal("--1"));
    EXPECT_FALSE(ParseReal("1e"));
}

TEST(RealField, ANonNumberThrowsAConversionErrorNamingFileAndLine) {
    EXPECT_EQ(RealField("2.25", {"a.ARC", 3}), 2.25);
    try {
        RealField("12x", {"/d/GYOUSEI/GYOUSEI.ARC", 17});
        FAIL() << "no exception";
    } catch (const ConversionError& e) {
        EXPECT_EQ(e.File(), "/d/GYOUSEI/GYOUSEI.ARC");
        EXPECT_EQ(e.Line(), 17);
        EXPECT_EQ(e.Field(), "12x");
        EXPECT_EQ(e.Message(), "error:'12x' is not a valid floating point value:/d/GYOUSEI/GYOUSEI.ARC:17");
    }
}

}  // namespace
}  // namespace gridora
