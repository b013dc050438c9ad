#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "run/list_file.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

TEST(ListFile, HoldsEveryRowAsItStandsWithCrLfEnds) {
    ScratchFolder folder;
    SheetList sheets;
    sheets.Append("13101,,09LD171,/d/13101.LZH,");
    sheets.Append(ToCp932("座標系エラー：13101,千代田区,09LD172,/d/a.TXT,9,1,2"));
    WriteBytes(folder / "run.lis", "older and longer content that must go");
    ASSERT_TRUE(WriteListFile(folder / "run.lis", sheets));
    EXPECT_EQ(ReadBytes(folder / "run.lis"),
              "13101,,09LD171,/d/13101.LZH,\r\n" + ToCp932("座標系エラー：13101,千代田区,09LD172,/d/a.TXT,9,1,2") + "\r\n");
}

TEST(ListFile, AFolderThatDoesNotExistIsReportedNotThrown) {
    ScratchFolder folder;
    EXPECT_FALSE(WriteListFile(folder / "missing/run.lis", SheetList{}));
}

TEST(ListFile, ASheetIsListedAlreadyOnlyByAnEqualThirdFieldAboveIt) {
    SheetList sheets;
    sheets.Append("1,,09LD171,a.TXT,");
    sheets.Append("1,,09ld171,b.TXT,");
    sheets.Append(ToCp932("座標系エラー：2,,09LD172,c.TXT,"));
    sheets.Append("3,,09LD171,d.TXT,");
    sheets.Append("3,,09LD172,e.TXT,");
    EXPECT_FALSE(SheetAlreadyListed(sheets, 0, "09LD171"));
    EXPECT_FALSE(SheetAlreadyListed(sheets, 1, "09ld171"));  // case matters
    EXPECT_TRUE(SheetAlreadyListed(sheets, 3, "09LD171"));
    EXPECT_TRUE(SheetAlreadyListed(sheets, 4, "09LD172"));   // a marked row still counts
    EXPECT_FALSE(SheetAlreadyListed(sheets, 2, "09LD172"));
}

}  // namespace
}  // namespace gridora
