#include <gtest/gtest.h>

#include "platform/cp932.h"

namespace gridora {
namespace {

TEST(Cp932, ConvertsCharactersOnlyCp932Has) {
    // The Roman numeral and the full-width hyphen are missing from plain Shift-JIS.
    EXPECT_EQ(ToCp932("第Ⅰ系"), "\x91\xE6\x87\x54\x8C\x6E");
    EXPECT_EQ(ToCp932("エラ－"), "\x83\x47\x83\x89\x81\x7C");
    EXPECT_EQ(Cp932ToUtf8("\x91\xE6\x87\x54\x8C\x6E"), "第Ⅰ系");
    EXPECT_EQ(ToCp932("ASCII 1,2"), "ASCII 1,2");
}

TEST(Cp932, InvalidBytesDoNotStopTheConversion) {
    EXPECT_EQ(Cp932ToUtf8("a\x81"), "a\xEF\xBF\xBD");
    EXPECT_EQ(Cp932ToUtf8(std::string("\xA0z", 2)), "\xEF\xBF\xBDz");
}

TEST(Cp932, ATextCutShortLeavesNoStateForTheNextConversion) {
    // The converters are kept between calls: a conversion that ended inside a character
    // must not leak into the next one.
    EXPECT_EQ(Cp932ToUtf8("\x93"), "\xEF\xBF\xBD");
    EXPECT_EQ(Cp932ToUtf8("\x8c\xa7"), "県");
    EXPECT_EQ(ToCp932("\xE6\x9D"), "?");
    EXPECT_EQ(ToCp932("東"), "\x93\x8c");
}

TEST(Cp932, EachCharacterCp932LacksBecomesOneQuestionMark) {
    // Hangul (3 UTF-8 bytes) and an emoji (4): one "?" each.
    EXPECT_EQ(ToCp932("c\uD55C\U0001F600d"), "c??d");
    EXPECT_EQ(ToCp932("/in/\uD55C/\U0001F600.TXT"), "/in/?/?.TXT");
    // The wave dash U+301C and minus sign U+2212 take the CP932 codes of their full-width
    // forms, which read back as U+FF5E and U+FF0D: the path changes on the way back.
    EXPECT_EQ(ToCp932("a\u301Cb\u2212"), "a\x81\x60" "b\x81\x7C");
    EXPECT_EQ(Cp932ToUtf8(ToCp932("\u301C\u2212")), "\uFF5E\uFF0D");
    // Bytes that are no UTF-8 at all: one each, the text after them kept.
    EXPECT_EQ(ToCp932("x\xFFy\xE3\x81"), "x?y?");
}

TEST(Cp932, TruncationNeverSplitsACharacter) {
    const std::string s = ToCp932("a東京b");  // 1 + 2 + 2 + 1 bytes
    EXPECT_EQ(TruncateCp932(s, 0), "");
    EXPECT_EQ(TruncateCp932(s, 1), "a");
    EXPECT_EQ(TruncateCp932(s, 2), "a");
    EXPECT_EQ(TruncateCp932(s, 3), ToCp932("a東"));
    EXPECT_EQ(TruncateCp932(s, 4), ToCp932("a東"));
    EXPECT_EQ(TruncateCp932(s, 6), s);
    EXPECT_EQ(TruncateCp932(s, 100), s);
    // A lone lead byte at the end is dropped rather than kept half.
    EXPECT_EQ(TruncateCp932("ab\x93", 3), "ab");
}

}  // namespace
}  // namespace gridora
