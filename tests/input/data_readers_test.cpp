#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/conversion_error.h"
#include "input/data_readers.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ScratchFolder;
using Messages = std::vector<std::string>;

const char kHeader[] = "FH,07MD623,x,0,0,0,0,0,-81000.0,-32000.0,-79500.0,-30000.0\r\n";

std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string text = kHeader;
    for (std::string_view line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

// Arcs 10 (two points), 11 (code cut, no points), 12 (negative count), 10 again, 13.
const std::string kArcFile = Lines({
    "L5101,1,10,2",    // 2
    "100.5,200.25",    // 3
    "101.0,201.0",     // 4
    "L510123,5,11,0",  // 5
    "L5101,1,12,-1",   // 6
    "X,bad line",      // 7
    "L5101,2,10,1",    // 8
    "1,1",             // 9
    "",                // 10
    "L5101,6,13,1",    // 11
    "3,3",             // 12
});

class Readers : public ::testing::Test {
protected:
    std::filesystem::path Base(std::string_view relative) const { return dir / relative; }
    std::string Text(std::string_view relative) const { return PathToCp932(Base(relative)); }

    ScratchFolder dir;
    WorkArrays arrays;
    RecordingPort port;
};

TEST_F(Readers, ArcFileLoadsRecordsAndPointsAndReportsOtherLines) {
    dir.Write("GYOUSEI/GYOUSEI.ARC", kArcFile);
    ASSERT_TRUE(ReadArcFile(Base("GYOUSEI/GYOUSEI"), arrays, port));

    const ArcRecords& arcs = arrays.arc_records;
    ASSERT_EQ(arcs.Count(), 5);
    const ArcRecord& first = arcs.At(1);
    EXPECT_EQ(first.code.View(), "L5101");
    EXPECT_EQ(first.line_tag, 1);
    EXPECT_EQ(first.point_count, 2);
    EXPECT_EQ(first.first_point, 1);
    EXPECT_EQ(first.last_point, 2);
    EXPECT_EQ(first.right_polygon, 0);
    EXPECT_EQ(first.right_flag, 0);
    EXPECT_EQ(arrays.arc_points.At(1).x, 100.5);
    EXPECT_EQ(arrays.arc_points.At(1).y, 200.25);

    // No point lines are consumed for counts below 1; the next line is a new record.
    EXPECT_EQ(arcs.At(2).code.View(), "L5101");
    EXPECT_EQ(arcs.At(2).arc_id, 11);
    EXPECT_EQ(arcs.At(2).first_point, 3);
    EXPECT_EQ(arcs.At(2).last_point, 0);
    EXPECT_EQ(arcs.At(3).point_count, -1);
    EXPECT_EQ(arcs.At(3).last_point, 0);

    EXPECT_EQ(arcs.At(4).first_point, 3);
    EXPECT_EQ(arcs.At(4).last_point, 3);
    EXPECT_EQ(arrays.arc_points.Count(), 4);
    EXPECT_EQ(FindArc(arrays, 10)->line_tag, 1);  // the first of the duplicated ids

    const std::string base = Text("GYOUSEI/GYOUSEI");
    EXPECT_EQ(port.messages, (Messages{"error:ARC:" + base + ":7", "error:ARC:" + base + ":10"}));
}

TEST_F(Readers, PgnFileTotalsTheFoundArcsAndReportsMissingOnes) {
    dir.Write("GYOUSEI/GYOUSEI.ARC", kArcFile);
    dir.Write("GYOUSEI/SI_TYO.PGN", Lines({
                                        "A1101,1,3,50.0,60.0",  // 2
                                        "10",                   // 3
                                        "-11",                  // 4
                                        "99",                   // 5: no such arc
                                        "A1101,2,1,1,1",        // 6
                                        "-13",                  // 7
                                        "bad",                  // 8
                                    }));
    ASSERT_TRUE(ReadArcFile(Base("GYOUSEI/GYOUSEI"), arrays, port));
    port.messages.clear();
    ASSERT_TRUE(ReadPgnFile(Base("GYOUSEI/SI_TYO"), arrays, port));

    ASSERT_EQ(arrays.pgn_records.Count(), 2);
    const PgnRecord& p1 = arrays.pgn_records.At(1);
    EXPECT_EQ(p1.polygon_id, 1);
    EXPECT_EQ(p1.arc_count, 3);
    EXPECT_EQ(p1.x, 50.0);
    EXPECT_EQ(p1.y, 60.0);
    EXPECT_EQ(p1.first_ref, 1);
    EXPECT_EQ(p1.last_ref, 3);
    EXPECT_EQ(p1.total_point_count, 2);  // arc 10 (2) + arc 11 (0); 99 is missing
    const PgnRecord& p2 = arrays.pgn_records.At(2);
    EXPECT_EQ(p2.first_ref, 4);
    EXPECT_EQ(p2.last_ref, 4);
    EXPECT_EQ(p2.total_point_count, 1);  // arc 13, used backwards
    std::vector<int32_t> refs(arrays.pgn_arc_refs.Records().begin(), arrays.pgn_arc_refs.Records().end());
    EXPECT_EQ(refs, (std::vector<int32_t>{10, -11, 99, -13}));

    const std::string base = Text("GYOUSEI/SI_TYO");
    EXPECT_EQ(port.messages, (Messages{ToCp932("error:ARCが見つからない:") + base + ":5",
                                       "error:PGN:" + base + ":8"}));
    EXPECT_EQ(port.messages[0].substr(0, 24),
              "error:ARC\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE7\x82\xC8\x82\xA2:");
}

TEST_F(Readers, PgnReferenceLineIsOneWholeInteger) {
    dir.Write("A/A.PGN", Lines({"A1,1,2,0,0", "5,", " 7"}));
    ASSERT_TRUE(ReadPgnFile(Base("A/A"), arrays, port));
    std::vector<int32_t> refs(arrays.pgn_arc_refs.Records().begin(), arrays.pgn_arc_refs.Records().end());
    EXPECT_EQ(refs, (std::vector<int32_t>{0, 7}));
    EXPECT_EQ(port.messages.size(), 2u);  // neither arc exists
}

TEST_F(Readers, PgnFileEndingInsideAReferenceListReportsOnce) {
    dir.Write("A/A.PGN", Lines({"A1,1,1000000,0,0", "0"}));
    ASSERT_TRUE(ReadPgnFile(Base("A/A"), arrays, port));
    EXPECT_EQ(arrays.pgn_records.At(1).last_ref, 1);
    const std::string msg = ToCp932("error:ARCが見つからない:") + Text("A/A");
    EXPECT_EQ(port.messages, (Messages{msg + ":3", msg + ":4"}));
}

TEST_F(Readers, PntFileLoadsPointsAndReportsOtherCodes) {
    dir.Write("OTHERS/EKI.PNT", Lines({"P7101,1,10.0,20.0", "Q7101,2,1,1", "P710199,3,5,6"}));
    ASSERT_TRUE(ReadPntFile(Base("OTHERS/EKI"), arrays, port));
    ASSERT_EQ(arrays.pnt_records.Count(), 2);
    EXPECT_EQ(FindPnt(arrays, 1)->y, 20.0);
    EXPECT_EQ(FindPnt(arrays, 3)->code.View(), "P7101");
    EXPECT_EQ(FindPnt(arrays, 2), nullptr);
    EXPECT_EQ(port.messages, Messages{"error:PNT:" + Text("OTHERS/EKI") + ":3"});
}

TEST_F(Readers, TieFileTakesEveryNonHeaderLineAndReplacesOnlyItsOwnArray) {
    dir.Write("OTHERS/EKI.PNT", Lines({"P1,1,1,1"}));
    dir.Write("ROAD/ROADNTWK.TIE", Lines({"10,1,2", "11,2,3", ",x"}));
    dir.Write("ROAD/SECOND.TIE", Lines({"20,5,6"}));
    ASSERT_TRUE(ReadPntFile(Base("OTHERS/EKI"), arrays, port));
    ASSERT_TRUE(ReadTieFile(Base("ROAD/ROADNTWK"), arrays));
    ASSERT_EQ(arrays.tie_records.Count(), 3);
    EXPECT_EQ(FindTie(arrays, 11)->end_node, 3);
    EXPECT_EQ(arrays.tie_records.At(3).arc_id, 0);
    EXPECT_EQ(arrays.pnt_records.Count(), 1);

    ASSERT_TRUE(ReadTieFile(Base("ROAD/SECOND"), arrays));
    ASSERT_EQ(arrays.tie_records.Count(), 1);
    EXPECT_EQ(FindTie(arrays, 10), nullptr);
    EXPECT_EQ(FindTie(arrays, 20)->start_node, 5);
}

TEST_F(Readers, MissingFileReturnsFalseAndKeepsThePreviousRecords) {
    dir.Write("A/A.PNT", Lines({"P1,1,1,1"}));
    ASSERT_TRUE(ReadPntFile(Base("A/A"), arrays, port));
    EXPECT_FALSE(ReadPntFile(Base("A/B"), arrays, port));
    EXPECT_FALSE(ReadArcFile(Base("A/B"), arrays, port));
    EXPECT_FALSE(ReadPgnFile(Base("A/B"), arrays, port));
    EXPECT_FALSE(ReadTieFile(Base("A/B"), arrays));
    EXPECT_EQ(arrays.pnt_records.Count(), 1);
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(Readers, FilesAreFoundWithoutRegardToCase) {
    dir.Write("gyousei/Gyousei.arc", kArcFile);
    ASSERT_TRUE(ReadArcFile(Base("GYOUSEI/GYOUSEI"), arrays, port));
    EXPECT_EQ(arrays.arc_records.Count(), 5);
}

TEST_F(Readers, TruncatedPointLineIsAConversionErrorNamingFileAndLine) {
    dir.Write("A/A.ARC", Lines({"L1,1,1,2", "1.0,2.0", "3.0"}));
    try {
        ReadArcFile(Base("A/A"), arrays, port);
        FAIL() << "no exception";
    } catch (const ConversionError& e) {
        EXPECT_EQ(e.File(), Text("A/A.ARC"));
        EXPECT_EQ(e.Line(), 4);
        EXPECT_EQ(e.Field(), "");
    }
}

TEST_F(Readers, ArcFileEndingInsideItsPointsIsAConversionError) {
    dir.Write("A/A.ARC", Lines({"L1,1,1,3", "1.0,2.0"}));
    EXPECT_THROW(ReadArcFile(Base("A/A"), arrays, port), ConversionError);
}

TEST_F(Readers, BadRealInAHeaderOrRecordIsAConversionError) {
    dir.Write("A/A.PNT", "FH,N,t,0,0,0,0,0,0,0,10,20,1\r\n");
    EXPECT_THROW(ReadPntFile(Base("A/A"), arrays, port), ConversionError);
    dir.Write("A/B.PGN", Lines({"A1,1,0,x,1"}));
    EXPECT_THROW(ReadPgnFile(Base("A/B"), arrays, port), ConversionError);
}

TEST_F(Readers, MessagesShowJapanesePathsInCp932) {
    dir.Write("データ/A.PNT", Lines({"X"}));
    ASSERT_TRUE(ReadPntFile(Base("データ/A"), arrays, port));
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_NE(port.messages[0].find(ToCp932("データ/A:2")), std::string::npos);
}

}  // namespace
}  // namespace gridora
