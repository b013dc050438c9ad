#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "input/sheet_intake.h"
#include "platform/cp932.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ScratchFolder;
using testing::WriteBytes;

// An archive library whose archives all hold the same members; FindFirst ignores its
// pattern, as the members listed here are the ones "*.txt" selects.
struct FakeArchives {
    static inline std::vector<std::string> members;
    static inline std::size_t next = 0;
    static inline bool opens = true;
    static inline int open_handles = 0;
    static inline std::string opened_path;

    static UnlhaArchive Open(void*, const char* path, std::uint32_t) {
        opened_path = path;
        if (!opens) return nullptr;
        ++open_handles;
        return reinterpret_cast<UnlhaArchive>(&members);
    }
    static int Fill(UnlhaEntryInfo* info) {
        if (next >= members.size()) return -1;
        std::strncpy(info->file_name, members[next++].c_str(), sizeof info->file_name - 1);
        return 0;
    }
    static int First(UnlhaArchive, const char*, UnlhaEntryInfo* info) {
        next = 0;
        return Fill(info);
    }
    static int Next(UnlhaArchive, UnlhaEntryInfo* info) { return Fill(info); }
    static int Close(UnlhaArchive) {
        --open_handles;
        return 0;
    }

    static ArchiveEntryPoints EntryPoints() {
        ArchiveEntryPoints e{};
        e.UnlhaOpenArchive = &Open;
        e.UnlhaFindFirst = &First;
        e.UnlhaFindNext = &Next;
        e.UnlhaCloseArchive = &Close;
        return e;
    }
};

class SheetIntake : public ::testing::Test {
protected:
    void SetUp() override {
        FakeArchives::members.clear();
        FakeArchives::opens = true;
        FakeArchives::open_handles = 0;
    }

    // A description whose line n is "line n", with the sheet name and frame lines given.
    static std::string Description(int lines, const std::string& sheet = "09LD171",
                                   const std::string& frame = "9,-1000.0,2000.0,-500.0,2500.0,,,,,1") {
        std::string text;
        for (int n = 1; n <= lines; ++n) {
            text += n == 5 ? sheet : n == 7 ? frame : "line " + std::to_string(n);
            text += "\r\n";
        }
        return text;
    }

    ScratchFolder folder;
    MunicipalityTable municipalities{{ToCp932("千代田区,13101"), ToCp932("中央区,13102")}};
    SheetList sheets;
    ArchiveEntryPoints archives = FakeArchives::EntryPoints();
};

TEST_F(SheetIntake, ADescriptionGivesOneRowFromItsFolderAndItsLinesFiveAndSeven) {
    const auto path = folder / "data/13101/09LD171/09LD171.TXT";
    WriteBytes(path, Description(14));
    EXPECT_TRUE(AddSheetSource(sheets, municipalities, archives, path));
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets.Text(0), ToCp932("13101,千代田区,09LD171," + path.native() + ",9,-1000.0,2000.0,-500.0,2500.0,,,,,1"));
    EXPECT_FALSE(sheets.IsChecked(0));
}

TEST_F(SheetIntake, TheCodeIsTakenByLengthWhateverTheFoldersAreCalled) {
    EXPECT_EQ(MunicipalityCodeOfDescription("/d/13101/09LD171/09LD171.TXT"), "13101");
    EXPECT_EQ(MunicipalityCodeOfDescription("/d/x13102/ABCDEFG/09ld171.txt"), "13102");
    // A file named unlike its folder shifts the five characters.
    EXPECT_EQ(MunicipalityCodeOfDescription("/data/13101/09LD171/S.TXT"), "09LD1");
    EXPECT_EQ(MunicipalityCodeOfDescription("/a/09LD171.TXT"), "");
}

TEST_F(SheetIntake, ShortOrMissingDescriptionsKeepTheBaseNameAndAnEmptyFifthField) {
    WriteBytes(folder / "13102/09LD172/09LD172.TXT", Description(6));
    WriteBytes(folder / "13102/09LD173/09ld173.txt", Description(4));
    AddSheetSource(sheets, municipalities, archives, folder / "13102/09LD172/09LD172.TXT");
    AddSheetSource(sheets, municipalities, archives, folder / "13102/09LD173/09ld173.txt");
    EXPECT_TRUE(AddSheetSource(sheets, municipalities, archives, folder / "13102/09LD174/09LD174.txt"));
    ASSERT_EQ(sheets.size(), 3u);
    EXPECT_EQ(SplitSheetRow(sheets.Text(0)).sheet_name, "09LD171");  // line 5 of a 6-line file
    EXPECT_EQ(sheets.Text(0).back(), ',');
    EXPECT_EQ(SplitSheetRow(sheets.Text(1)).sheet_name, "09LD173");  // upper-cased base name
    EXPECT_EQ(SplitSheetRow(sheets.Text(2)).sheet_name, "09LD174");
    EXPECT_EQ(SplitSheetRow(sheets.Text(2)).municipality_name, ToCp932("中央区"));
}

TEST_F(SheetIntake, TheSameDescriptionTwiceGivesTwoEqualRows) {
    WriteBytes(folder / "13101/09LD171/09LD171.TXT", Description(11));
    AddSheetSource(sheets, municipalities, archives, folder / "13101/09LD171/09LD171.TXT");
    AddSheetSource(sheets, municipalities, archives, folder / "13101/09LD171/09LD171.TXT");
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets.Text(0), sheets.Text(1));
}

TEST_F(SheetIntake, AnArchiveGivesOneRowPerDescriptionNamedByItsFolder) {
    FakeArchives::members = {"09LD171/09LD171.TXT", "09LD172\\09LD172.TXT"};
    const auto path = folder / "13101.lzh";
    EXPECT_FALSE(AddSheetSource(sheets, municipalities, archives, path));
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets.Text(0), ToCp932("13101,千代田区,09LD171," + path.native() + ","));
    EXPECT_EQ(sheets.Text(1), ToCp932("13101,千代田区,09LD172," + path.native() + ","));
    EXPECT_EQ(FakeArchives::opened_path, path.native());
    EXPECT_EQ(FakeArchives::open_handles, 0);
}

TEST_F(SheetIntake, AnUnreadableOrEmptyArchiveAddsNothingAndEndsItsListing) {
    FakeArchives::members = {"09LD171/09LD171.TXT"};
    FakeArchives::opens = false;
    EXPECT_FALSE(AddSheetSource(sheets, municipalities, archives, folder / "13101.LZH"));
    FakeArchives::opens = true;
    FakeArchives::members.clear();
    EXPECT_FALSE(AddSheetSource(sheets, municipalities, archives, folder / "13101.LZH"));
    EXPECT_TRUE(sheets.empty());
    EXPECT_EQ(FakeArchives::open_handles, 0);
}

TEST_F(SheetIntake, TheKindOfFileIsJudgedByItsUpperCasedName) {
    FakeArchives::members = {"09LD171/09LD171.TXT"};
    AddSheetSource(sheets, municipalities, archives, folder / "notes.lzh.bak");
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(SplitSheetRow(sheets.Text(0)).municipality_code, "NOTES.LZH");
    EXPECT_FALSE(AddSheetSource(sheets, municipalities, archives, folder / "readme.md"));
    EXPECT_EQ(sheets.size(), 1u);
    // The second byte of a two-byte character is not a letter to upper-case.
    EXPECT_EQ(UpperCaseAscii("a\x83\x61z"), "A\x83\x61Z");
    EXPECT_FALSE(NamesArchive("\x83lzh"));
}

TEST_F(SheetIntake, PathsCp932LacksReadOneQuestionMarkPerCharacterButRowsKeepTheRealFile) {
    const auto description = folder / "\u301C\u2212/13101/09LD171/09LD171.TXT";
    WriteBytes(description, Description(11));
    const auto archive = folder / "\uD55C\U0001F600/13101.LZH";
    FakeArchives::members = {"09LD172/09LD172.TXT"};
    EXPECT_TRUE(AddSheetSource(sheets, municipalities, archives, description));
    EXPECT_FALSE(AddSheetSource(sheets, municipalities, archives, archive));
    ASSERT_EQ(sheets.size(), 2u);
    // The description was read from its real path: its line 5 is the sheet name.
    EXPECT_EQ(SplitSheetRow(sheets.Text(0)).sheet_name, "09LD171");
    EXPECT_EQ(SplitSheetRow(sheets.Text(0)).source_path, ToCp932(folder.Path().native()) + "/\x81\x60\x81\x7C/13101/09LD171/09LD171.TXT");
    EXPECT_EQ(SplitSheetRow(sheets.Text(1)).source_path, ToCp932(folder.Path().native()) + "/?\?/13101.LZH");
    // Read back from the text, the first path would name another file.
    EXPECT_NE(std::filesystem::path(Cp932ToUtf8(SplitSheetRow(sheets.Text(0)).source_path)), description);
    EXPECT_EQ(sheets.SourceFile(0), description);
    EXPECT_EQ(sheets.SourceFile(1), archive);
    EXPECT_EQ(FakeArchives::opened_path, archive.native());
}

TEST_F(SheetIntake, ArchivedSheetNamesAreCutToSevenBytesOnACharacterBoundary) {
    const std::string te = ToCp932("\u30C6");  // two bytes
    FakeArchives::members = {"ABCDEF" + te + "/X.TXT", "ABCDE" + te + "G/X.TXT", ToCp932("\u30C6\u30B9\u30C8X/Y.TXT")};
    AddSheetSource(sheets, municipalities, archives, folder / "13101.LZH");
    ASSERT_EQ(sheets.size(), 3u);
    EXPECT_EQ(sheets.Text(0), ToCp932("13101,\u5343\u4EE3\u7530\u533A,ABCDEF," + (folder / "13101.LZH").native() + ","));
    EXPECT_EQ(SplitSheetRow(sheets.Text(1)).sheet_name, "ABCDE" + te);
    EXPECT_EQ(SplitSheetRow(sheets.Text(2)).sheet_name, ToCp932("\u30C6\u30B9\u30C8X"));
}

}  // namespace
}  // namespace gridora
