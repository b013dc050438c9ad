#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "run/run_summary.h"

namespace gridora {
namespace {

// Rows as a run leaves them: converted rows unchecked, a refused row prefixed and
// unchecked, a repeated sheet and an unreadable one still checked.
TEST(RunSummary, CountsRowsByHowTheRunLeftThem) {
    SheetList sheets;
    for (const char* row : {"1,,09LD171,a.TXT,", "1,,09LD172,b.TXT,", "1,,09LD171,c.TXT,", "1,,09LD173,d.TXT,",
                            "1,,09LD174,e.TXT,"})
        sheets.Append(row);
    const std::vector<std::string> before = RowTexts(sheets);
    sheets.CheckAll();
    sheets.SetChecked(0, false);
    sheets.SetText(1, ToCp932("座標系エラー：") + sheets.Text(1));
    sheets.SetChecked(1, false);
    sheets.SetChecked(4, false);
    EXPECT_EQ(SummarizeRun(sheets, before), (RunSummary{.converted = 2, .refused = 1, .not_converted = 1, .duplicates = 1}));
}

// A row that an earlier run prefixed and this run converted counts as converted; a row
// this run prefixed once more counts as refused.
TEST(RunSummary, OnlyThePrefixThisRunAddedCountsAsRefused) {
    SheetList sheets;
    const std::string prefix = ToCp932("座標系エラー：");
    sheets.Append(prefix + "1,,09LD171,a.TXT,");
    sheets.Append(prefix + "1,,09LD172,b.TXT,");
    const std::vector<std::string> before = RowTexts(sheets);
    sheets.SetText(1, prefix + sheets.Text(1));
    sheets.Append(prefix + "1,,09LD173,c.TXT,");  // added while the run worked
    EXPECT_EQ(SummarizeRun(sheets, before), (RunSummary{.converted = 1, .refused = 2}));
}

TEST(RunSummary, TextHasOneLinePerCountAndTheOutputFolder) {
    const std::string text = RunSummaryText(RunSummary{6, 1, 2, 3}, "/data/出力");
    EXPECT_EQ(Cp932ToUtf8(text),
              "変換した図葉：6\r\n座標系エラーの図葉：1\r\n変換できなかった図葉（チェックが残っています）：2\r\n"
              "重複のため飛ばした行：3\r\n出力フォルダー：/data/出力\r\n");
}

}  // namespace
}  // namespace gridora
