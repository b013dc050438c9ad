#include <gtest/gtest.h>

#include "run/extracted_sheets.h"
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

TEST(ExtractedSheets, AGroupCommandNamesEachSheetsPatternInTheOrderGiven) {
    const std::vector<std::string> sheets = {"09LD172", "09LD 174"};
    EXPECT_EQ(SheetsExtractionCommand("/data/13101.LZH", "/out/", sheets),
              " e -x1 \"/data/13101.LZH\" \"/out/\" \"09LD172/*.*\" \"09LD 174/*.*\" -p2 -y1");
    const std::vector<std::string> one = {"09LD171"};
    EXPECT_EQ(SheetsExtractionCommand("/a.LZH", "/out", one), SheetExtractionCommand("/a.LZH", "/out", "09LD171"));
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

TEST(ExtractedSheets, APrivateFolderIsFreshInsideTheOutputFolderAndOnlyItIsRemoved) {
    ScratchFolder scratch;
    const std::filesystem::path out = scratch / "new out";
    std::filesystem::path first;
    {
        const PrivateExtractionFolder a(out);
        const PrivateExtractionFolder b(out);
        ASSERT_TRUE(a.created() && b.created());
        EXPECT_NE(a.Path(), b.Path());
        EXPECT_EQ(a.Path().parent_path(), out);
        EXPECT_TRUE(a.Path().filename().native().starts_with(".gridora-"));
        // Nothing but the marker that tells a folder the program made.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(a.Path()), std::filesystem::directory_iterator()), 1);
        EXPECT_TRUE(std::filesystem::exists(a.Path() / ".gridora-folder"));
        // A link planted inside is removed as a link; what it points to stays.
        WriteBytes(scratch / "elsewhere/keep.txt", "x");
        std::filesystem::create_directory_symlink(scratch / "elsewhere", a.Path() / "09LD171");
        WriteBytes(b.Path() / "09LD172/a/b/c/d.txt", "x");
        first = a.Path();
    }
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_TRUE(std::filesystem::is_empty(out));
    EXPECT_TRUE(std::filesystem::exists(scratch / "elsewhere/keep.txt"));

    // An output folder that cannot hold it: not created, and nothing to remove.
    WriteBytes(scratch / "a file", "x");
    const PrivateExtractionFolder none(scratch / "a file");
    EXPECT_FALSE(none.created());
}

TEST(ExtractedSheets, TheRewritingPortNamesFilesAsTheUserSeesThem) {
    RecordingPort recorded;
    PathRewritingPort port(recorded, "/out/.gridora-abc123", "/out");
    port.ShowMessage("error:ARC:/out/.gridora-abc123/09LD171/DK/DK.ARC:3 and /out/.gridora-abc123/x");
    port.SetStatus("/out/.gridora-abc123/09LD171/09LD171.TXT");
    port.ShowMessage("/elsewhere/.gridora-abc12");
    EXPECT_EQ(recorded.messages, (std::vector<std::string>{"error:ARC:/out/09LD171/DK/DK.ARC:3 and /out/x",
                                                           "/elsewhere/.gridora-abc12"}));
    EXPECT_EQ(recorded.statuses, std::vector<std::string>{"/out/09LD171/09LD171.TXT"});
}

}  // namespace
}  // namespace gridora
