#include <gtest/gtest.h>

#include <vector>

#include "input/sheet_list.h"

namespace gridora {
namespace {

using Kind = SheetListChange::Kind;

struct ChangeLog {
    explicit ChangeLog(SheetList& list) {
        list.Subscribe([this](const SheetListChange& c) { changes.push_back(c); });
    }
    std::vector<SheetListChange> changes;
};

SheetList ListOf(std::initializer_list<const char*> rows) {
    SheetList list;
    for (const char* row : rows) list.Append(row);
    return list;
}

TEST(SheetList, NewRowsGoToTheEndWithoutACheckMarkAndAreAnnounced) {
    SheetList list = ListOf({"a"});
    ChangeLog log(list);
    list.Append("b");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.Text(1), "b");
    EXPECT_FALSE(list.IsChecked(1));
    ASSERT_EQ(log.changes.size(), 1u);
    EXPECT_EQ(log.changes[0].kind, Kind::kRowsAppended);
    EXPECT_EQ(log.changes[0].first, 1u);
    EXPECT_EQ(log.changes[0].count, 1u);
}

TEST(SheetList, ListenersSeeTheStateAfterTheChangeAndStopWhenUnsubscribed) {
    SheetList list = ListOf({"a", "b"});
    std::vector<bool> seen;
    auto id = list.Subscribe([&](const SheetListChange& c) { seen.push_back(list.IsChecked(c.first)); });
    list.SetChecked(1, true);
    list.SetChecked(1, true);  // no change, no notice
    list.Unsubscribe(id);
    list.SetChecked(0, true);
    EXPECT_EQ(seen, std::vector<bool>{true});
}

TEST(SheetList, RemovingCheckedRowsGoesFromTheHighestIndexAndKeepsTheOthersInOrder) {
    SheetList list = ListOf({"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7"});
    for (std::size_t row : {2u, 5u, 7u}) list.SetChecked(row, true);
    ChangeLog log(list);
    EXPECT_EQ(list.RemoveCheckedRows(), (std::vector<std::size_t>{7, 5, 2}));
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list.Text(0), "r0");
    EXPECT_EQ(list.Text(2), "r3");
    EXPECT_EQ(list.Text(4), "r6");
    ASSERT_EQ(log.changes.size(), 3u);
    EXPECT_EQ(log.changes[0].kind, Kind::kRowsRemoved);
    EXPECT_EQ(log.changes[0].first, 7u);
}

TEST(SheetList, RemovingCheckedRowsHasNoLimitOnTheirNumber) {
    SheetList list;
    for (int i = 0; i < 250; ++i) list.Append("row" + std::to_string(i));
    list.CheckAll();
    list.SetChecked(100, false);
    EXPECT_EQ(list.RemoveCheckedRows().size(), 249u);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.Text(0), "row100");
}

TEST(SheetList, ScrollAndCurrentRowRequestsLeaveTheRowsAlone) {
    SheetList list = ListOf({"a", "b"});
    ChangeLog log(list);
    list.ScrollTo(1);
    list.SetCurrentRow(1);
    EXPECT_EQ(list.CurrentRow(), 1u);
    list.SetCurrentRow(std::nullopt);
    EXPECT_FALSE(list.CurrentRow().has_value());
    ASSERT_EQ(log.changes.size(), 3u);
    EXPECT_EQ(log.changes[0].kind, Kind::kScrollTo);
    EXPECT_EQ(log.changes[1].kind, Kind::kCurrentRow);
    EXPECT_EQ(log.changes[1].count, 1u);
    EXPECT_EQ(log.changes[2].count, 0u);
    EXPECT_EQ(list.Text(0), "a");
}

TEST(SheetRow, TheFifthFieldsCommasDoNotReachTheSourcePath) {
    const std::string row = JoinSheetRow("13101", "name", "09LD171", "/d/13101/09LD171/09LD171.TXT",
                                         "9,-1.0,2.0,3.0,4.0,,,,,0");
    EXPECT_EQ(row, "13101,name,09LD171,/d/13101/09LD171/09LD171.TXT,9,-1.0,2.0,3.0,4.0,,,,,0");
    SheetRowFields fields = SplitSheetRow(row);
    EXPECT_EQ(fields.municipality_code, "13101");
    EXPECT_EQ(fields.municipality_name, "name");
    EXPECT_EQ(fields.sheet_name, "09LD171");
    EXPECT_EQ(fields.source_path, "/d/13101/09LD171/09LD171.TXT");
}

TEST(SheetRow, AnArchiveRowEndsWithACommaAndShortRowsGiveEmptyFields) {
    EXPECT_EQ(JoinSheetRow("13101", "", "09LD171", "/d/13101.LZH", ""), "13101,,09LD171,/d/13101.LZH,");
    SheetRowFields fields = SplitSheetRow("13101,,09LD171");
    EXPECT_EQ(fields.sheet_name, "09LD171");
    EXPECT_EQ(fields.source_path, "");
    EXPECT_EQ(SplitSheetRow("   ").municipality_code, "   ");
}

TEST(SheetList, EachRowKeepsTheFileItCameFromThroughRelabellingAndRemoval) {
    SheetList list;
    list.Append("1,,A,/in/??.TXT,", "/in/\u301C\u2212.TXT");
    list.Append("2,,B,/in/b.TXT,");  // no file given: the fourth field, read back from CP932
    list.Append("3,,C,/in/?.LZH,", "/in/\uD55C.LZH");
    EXPECT_EQ(list.SourceFile(0), std::filesystem::path("/in/\u301C\u2212.TXT"));
    EXPECT_EQ(list.SourceFile(1), std::filesystem::path("/in/b.TXT"));
    list.SetText(0, "prefix 1,,A,/in/??.TXT,");
    EXPECT_EQ(list.SourceFile(0), std::filesystem::path("/in/\u301C\u2212.TXT"));
    list.SetChecked(1, true);
    list.RemoveCheckedRows();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.SourceFile(1), std::filesystem::path("/in/\uD55C.LZH"));
}

}  // namespace
}  // namespace gridora
