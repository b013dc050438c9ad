#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/ini_file.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;

TEST(IniFile, MissingFileSectionOrKeyGivesTheDefault) {
    ScratchFolder dir;
    IniFile missing(dir / "none.Ini");
    EXPECT_EQ(missing.ReadString("a", "b", "dflt"), "dflt");
    EXPECT_EQ(missing.ReadInteger("a", "b", 7), 7);

    auto path = dir.Write("x.Ini", "[Sec]\r\nkey=1\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("Other", "key", "d"), "d");
    EXPECT_EQ(ini.ReadString("Sec", "other", "d"), "d");
    EXPECT_FALSE(ini.HasKey("Sec", "other"));
}

TEST(IniFile, NamesMatchWithoutAsciiCaseAndValuesAreTrimmed) {
    ScratchFolder dir;
    auto path = dir.Write("x.Ini", "[MapServer]\r\n  Port  =  8080  \r\nName= a b \r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("mapserver", "PORT", ""), "8080");
    EXPECT_EQ(ini.ReadInteger("MAPSERVER", "port", 0), 8080);
    EXPECT_EQ(ini.ReadString("MapServer", "name", ""), "a b");
}

TEST(IniFile, SecondBytesOfJapaneseNamesAreNotCaseFolded) {
    // "ア" is 83 41 and "ヂ" is 83 61: their second bytes are "A" and "a".
    EXPECT_FALSE(EqualsIgnoringAsciiCase(ToCp932("ア"), ToCp932("ヂ")));
    EXPECT_TRUE(EqualsIgnoringAsciiCase(ToCp932("図形Key"), ToCp932("図形KEY")));
}

TEST(IniFile, JapaneseSectionAndKeyNamesAreFound) {
    ScratchFolder dir;
    // "ソ" is 83 5C and "ー" 81 5B: trail bytes that look like "\" and "[".
    const std::string section = ToCp932("フォルダー");
    const std::string key = ToCp932("出力");
    const std::string value = ToCp932("/data/ソース/out.lis");
    auto path = dir.Write("x.Ini", "[" + section + "]\r\n" + key + "=" + value + "\r\n");
    EXPECT_EQ(ReadIniString(path, section, key, ""), value);
}

TEST(IniFile, IntegerThatIsNotANumberGivesTheDefault) {
    ScratchFolder dir;
    auto path = dir.Write("x.Ini", "[s]\r\na=12x\r\nb=-40\r\nc=\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("s", "a", 5), 5);
    EXPECT_EQ(ini.ReadInteger("s", "b", 5), -40);
    EXPECT_EQ(ini.ReadInteger("s", "c", 5), 5);
}

TEST(IniFile, WritingAKeyReplacesItInPlaceAndKeepsEveryOtherLine) {
    ScratchFolder dir;
    auto path = dir.Write("x.Ini",
                          "; comment\n[A]\nk1=1\n\n[B]\nK2=old\nk3=3\n[C]\nk2=untouched\n");
    ASSERT_TRUE(WriteIniString(path, "b", "k2", "new"));
    EXPECT_EQ(ReadBytes(path),
              "; comment\r\n[A]\r\nk1=1\r\n\r\n[B]\r\nk2=new\r\nk3=3\r\n[C]\r\nk2=untouched\r\n");
}

TEST(IniFile, NewKeyGoesAfterTheLastKeyOfItsSection) {
    ScratchFolder dir;
    auto path = dir.Write("x.Ini", "[A]\r\nk1=1\r\n\r\n[B]\r\nx=1\r\n");
    IniFile ini(path);
    ini.WriteInteger("A", "k2", 2);
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadBytes(path), "[A]\r\nk1=1\r\nk2=2\r\n\r\n[B]\r\nx=1\r\n");
}

TEST(IniFile, WritingCreatesFileAndSection) {
    ScratchFolder dir;
    auto path = dir / "new.Ini";
    const std::string section = ToCp932("図形");
    ASSERT_TRUE(WriteIniString(path, section, "sXYmax", "10000"));
    ASSERT_TRUE(WriteIniString(path, "MapServer", "a", "1"));
    EXPECT_EQ(ReadBytes(path), "[" + section + "]\r\nsXYmax=10000\r\n[MapServer]\r\na=1\r\n");
    EXPECT_EQ(ReadIniInteger(path, section, "SXYMAX", 0), 10000);
}

TEST(IniFile, RoundTripKeepsManyKeysAndUntouchedSections) {
    ScratchFolder dir;
    auto path = dir.Write("x.Ini", "[Keep]\r\nz=9\r\n");
    IniFile ini(path);
    for (int layer = 0; layer <= 10; ++layer)
        for (int pos = 1; pos <= 16; ++pos)
            ini.WriteInteger(ToCp932("フィールド長"), std::to_string(layer) + "_" + std::to_string(pos),
                             layer * 100 + pos);
    ASSERT_TRUE(ini.Save());
    IniFile back(path);
    EXPECT_EQ(back.ReadInteger(ToCp932("フィールド長"), "3_12", 0), 312);
    EXPECT_EQ(back.ReadInteger(ToCp932("フィールド長"), "10_16", 0), 1016);
    EXPECT_EQ(back.ReadInteger("keep", "Z", 0), 9);
}

TEST(IniFile, SaveReportsAnUnwritableFile) {
    ScratchFolder dir;
    IniFile ini(dir / "no-such-folder" / "x.Ini");
    ini.WriteString("a", "b", "c");
    EXPECT_FALSE(ini.Save());
}

}  // namespace
}  // namespace gridora

namespace gridora {
namespace {

TEST(IniFile, TextInMemoryReadsAsTheSameFileAndSavesAsItsText) {
    ScratchFolder dir;
    const std::string text = "[Sec]\r\nkey = 1 \nlast=x";
    const auto path = dir.Write("x.Ini", text);
    const IniFile from_file(path);
    IniFile from_text(dir / "y.Ini", text);
    EXPECT_EQ(from_text.Text(), from_file.Text());
    EXPECT_EQ(from_text.Text(), "[Sec]\r\nkey = 1 \r\nlast=x\r\n");
    EXPECT_EQ(from_text.ReadInteger("sec", "KEY", 0), 1);
    from_text.WriteString("Sec", "new", "v");
    ASSERT_TRUE(from_text.Save());
    EXPECT_EQ(ReadBytes(dir / "y.Ini"), from_text.Text());
}

TEST(IniFile, WritingManyKeysAtOnceLeavesTheTextOfOneWriteAfterAnother) {
    const std::string before = "; head\r\n[a]\r\nx=1\r\n\r\nX=dup\r\n; note\r\n[B]\r\ny=2\r\n[a]\r\nz=3\r\n";
    // "\x83\x58" is a two-byte character whose second byte reads as 'X'.
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"x", "one"}, {"new", "n1"}, {"NEW", "n2"}, {"z", "4"}, {"\x83\x58", "kana"}, {"\x83x", "other"}, {"y", "5"}};
    for (const char* section : {"a", "A", "b", "none", "\x83\x58"}) {
        SCOPED_TRACE(section);
        IniFile one_by_one(std::filesystem::path("unused.ini"), before), at_once(std::filesystem::path("unused.ini"), before);
        for (const auto& [key, value] : entries) one_by_one.WriteString(section, key, value);
        at_once.WriteStrings(section, entries);
        EXPECT_EQ(at_once.Text(), one_by_one.Text());
    }
}

}  // namespace
}  // namespace gridora

