#include <gtest/gtest.h>

#include "convert/extracted_sheets.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ScratchFolder;
using testing::WriteBytes;

TEST(ExtractedSheets, TheCommandTakesEveryMemberBelowTheSheetFolderIntoTheOutputFolder) {
    EXPECT_EQ(SheetExtractionCommand("/data/13101.LZH", "/out", "09LD171"),
              " e -x1 \"/data/13101.LZH\" \"/out/\" \"09LD171/*.*\" -p2 -y1");
    // Every path and the pattern are quoted, so blanks and backslashes in them stay theirs.
    EXPECT_EQ(SheetExtractionCommand("/data/my maps/13101.LZH", "/out/ lead/a\\ b", "AB CD"),
              " e -x1 \"/data/my maps/13101.LZH\" \"/out/ lead/a\\ b/\" \"AB CD/*.*\" -p2 -y1");
}

TEST(ExtractedSheets, TheDescriptionIsFoundWhateverTheCaseOfTheExtractedNames) {
    ScratchFolder out;
    WriteBytes(out / "09LD171/09ld171.txt", "x");
    EXPECT_EQ(ExtractedDescriptionPath(out.Path(), "09LD171"), out / "09LD171/09ld171.txt");
    EXPECT_EQ(ExtractedDescriptionPath(out.Path(), "09LD172"), out / "09LD172/09LD172.TXT");
}

TEST(ExtractedSheets, RemovalTakesTheWholeSheetFolderAndNothingBesideIt) {
    ScratchFolder out;
    WriteBytes(out / "09LD171/09LD171.TXT", "x");
    WriteBytes(out / "09LD171/GYOUSEI/SI_TYO.ATR", "x");
    WriteBytes(out / "09LD171/a/b/c/deep.v1.txt", "x");
    WriteBytes(out / "09LD172/09LD172.TXT", "x");
    WriteBytes(out / "mizu.shp", "x");
    RemoveExtractedSheet(out.Path(), "09LD171");
    EXPECT_FALSE(std::filesystem::exists(out / "09LD171"));
    EXPECT_TRUE(std::filesystem::exists(out / "09LD172/09LD172.TXT"));
    EXPECT_TRUE(std::filesystem::exists(out / "mizu.shp"));
}

TEST(ExtractedSheets, RemovalWorksBelowFoldersWithDotsInTheirNames) {
    ScratchFolder scratch;
    const std::filesystem::path out = scratch / "run.v2";
    WriteBytes(out / "09LD171/GYOUSEI/SI_TYO.ATR", "x");
    RemoveExtractedSheet(out, "09LD171");
    EXPECT_FALSE(std::filesystem::exists(out / "09LD171"));
}

TEST(ExtractedSheets, SheetNamesThatLeaveTheOutputFolderRemoveNothing) {
    ScratchFolder scratch;
    const std::filesystem::path out = scratch / "out";
    WriteBytes(scratch / "keep.txt", "x");
    WriteBytes(out / "a/b.txt", "x");
    for (const char* name : {"", ".", "..", "../out", "a/..", "/"}) {
        EXPECT_FALSE(IsPlainSheetFolderName(name)) << name;
        RemoveExtractedSheet(out, name);
    }
    EXPECT_TRUE(std::filesystem::exists(scratch / "keep.txt"));
    EXPECT_TRUE(std::filesystem::exists(out / "a/b.txt"));
    RemoveExtractedSheet(out, "missing");  // nothing there: no failure either
}

}  // namespace
}  // namespace gridora
