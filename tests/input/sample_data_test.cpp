// The readers over the committed sample sheets: the clean sample reads without a message,
// the faulty one gives exactly the reader messages its README lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "input/conversion_error.h"
#include "input/data_file.h"
#include "input/data_readers.h"
#include "input/sheet_description.h"
#include "input/sheet_header.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using Messages = std::vector<std::string>;

const fs::path kSample = fs::path(GRIDORA_SOURCE_DIR) / "data" / "sample";
const fs::path kBadSample = fs::path(GRIDORA_SOURCE_DIR) / "data" / "sample-bad";

std::vector<fs::path> Sorted(const fs::path& folder, bool folders) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_directory() == folders) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

// Every sheet folder: <sample>/<municipality>/<sheet>/.
std::vector<fs::path> SheetFolders(const fs::path& sample) {
    std::vector<fs::path> sheets;
    for (const fs::path& city : Sorted(sample, true))
        for (const fs::path& sheet : Sorted(city, true)) sheets.push_back(sheet);
    return sheets;
}

// The base (path without extension) of every file of a theme folder with this extension.
std::vector<fs::path> Bases(const fs::path& theme, std::string_view extension) {
    std::vector<fs::path> bases;
    for (const fs::path& file : Sorted(theme, false))
        if (file.extension() == extension) bases.push_back(file.parent_path() / file.stem());
    return bases;
}

// Line 7 of a sheet's description.
SheetFrame DescriptionFrame(const fs::path& sheet) {
    std::optional<std::string> text = LoadDataFile(sheet / (sheet.filename().string() + ".TXT"));
    if (!text) {
        ADD_FAILURE() << "no description in " << sheet;
        return {};
    }
    LineReader lines(*text);
    std::string_view line;
    for (int i = 0; i < 7; ++i) line = lines.NextOrEmpty();
    return ParseSheetFrame(line);
}

TEST(SampleData, IsThere) {
    ASSERT_TRUE(fs::is_directory(kSample)) << kSample;
    EXPECT_EQ(SheetFolders(kSample).size(), 6u);
}

TEST(SampleData, EveryDataFileOfTheCleanSampleReadsWithoutAMessage) {
    for (const fs::path& sheet : SheetFolders(kSample)) {
        for (const fs::path& theme : Sorted(sheet, true)) {
            WorkArrays arrays;
            RecordingPort port;
            SCOPED_TRACE(theme.string());
            // Arcs first: the polygons total the point counts of their theme's arcs.
            for (const fs::path& base : Bases(theme, ".ARC")) {
                ASSERT_TRUE(ReadArcFile(base, arrays, port));
                EXPECT_GT(arrays.arc_records.Count(), 0);
                EXPECT_GT(arrays.arc_points.Count(), arrays.arc_records.Count());
            }
            for (const fs::path& base : Bases(theme, ".PGN")) {
                ASSERT_TRUE(ReadPgnFile(base, arrays, port));
                ASSERT_GT(arrays.pgn_records.Count(), 0);
                for (const PgnRecord& p : arrays.pgn_records.Records()) {
                    EXPECT_EQ(p.last_ref - p.first_ref + 1, p.arc_count);
                    EXPECT_GT(p.total_point_count, 0);
                }
            }
            for (const fs::path& base : Bases(theme, ".PNT")) {
                ASSERT_TRUE(ReadPntFile(base, arrays, port));  // some sheets have no control point
            }
            for (const fs::path& base : Bases(theme, ".TIE")) {
                ASSERT_TRUE(ReadTieFile(base, arrays));
                EXPECT_GT(arrays.tie_records.Count(), 0);
                for (const TieRecord& t : arrays.tie_records.Records()) EXPECT_NE(FindArc(arrays, t.arc_id), nullptr);
            }
            EXPECT_EQ(port.messages, Messages{});
        }
    }
}

TEST(SampleData, EveryHeaderSharesItsOriginWithTheDescription) {
    for (const fs::path& sheet : SheetFolders(kSample)) {
        SheetFrame frame = DescriptionFrame(sheet);
        EXPECT_EQ(frame.coordinate_system, 9);
        for (const fs::path& theme : Sorted(sheet, true)) {
            for (const fs::path& file : Sorted(theme, false)) {
                SCOPED_TRACE(file.string());
                std::optional<std::string> text = LoadDataFile(file);
                ASSERT_TRUE(text);
                LineReader lines(*text);
                std::string_view line = lines.NextOrEmpty();
                ASSERT_EQ(TakeField(line), "FH");
                SheetHeader header;
                ReadSheetHeader(line, header, {file.string(), 1});
                EXPECT_EQ(header.sheet_name, sheet.filename().string());
                EXPECT_EQ(header.OriginX, ParseReal(frame.corners.lower_left_x));
                EXPECT_EQ(header.OriginY, ParseReal(frame.corners.lower_left_y));
                EXPECT_EQ(header.upper_left_x, ParseReal(frame.corners.upper_left_x));
                EXPECT_EQ(header.lower_right_y, ParseReal(frame.corners.lower_right_y));
            }
        }
    }
}

class BadSample : public ::testing::Test {
protected:
    fs::path Sheet(std::string_view name) const { return kBadSample / "13101" / name; }
    std::string Text(const fs::path& p) const { return PathToCp932(p); }

    WorkArrays arrays;
    RecordingPort port;
};

TEST_F(BadSample, ReadersReportTheFaultsOfTheirFiles) {
    const fs::path sheet = Sheet("09LD172");
    ASSERT_TRUE(ReadArcFile(sheet / "GAIKU/GAIKU", arrays, port));
    ASSERT_TRUE(ReadPgnFile(sheet / "GAIKU/GAIKU", arrays, port));
    ASSERT_TRUE(ReadArcFile(sheet / "OTHERS/OTHERS", arrays, port));
    ASSERT_TRUE(ReadPgnFile(sheet / "OTHERS/ZYOUTI", arrays, port));
    ASSERT_TRUE(ReadPntFile(sheet / "OTHERS/EKI", arrays, port));
    ASSERT_TRUE(ReadArcFile(sheet / "MIZU/MIZU", arrays, port));
    ASSERT_TRUE(ReadArcFile(sheet / "TATEMONO/TATEMONO", arrays, port));
    ASSERT_TRUE(ReadPgnFile(sheet / "TATEMONO/TATEMONO", arrays, port));
    ASSERT_TRUE(ReadArcFile(sheet / "ROAD/ROADNTWK", arrays, port));
    ASSERT_TRUE(ReadTieFile(sheet / "ROAD/ROADNTWK", arrays));
    ASSERT_TRUE(ReadPntFile(sheet / "KIJUNTEN/SANKAKU", arrays, port));
    EXPECT_EQ(port.messages, (Messages{
                                 ToCp932("error:ARCが見つからない:") + Text(sheet / "GAIKU/GAIKU") + ":9",
                                 "error:PGN:" + Text(sheet / "OTHERS/ZYOUTI") + ":5",
                                 "error:PNT:" + Text(sheet / "OTHERS/EKI") + ":3",
                                 "error:ARC:" + Text(sheet / "MIZU/MIZU") + ":12",
                             }));
}

TEST_F(BadSample, DuplicatedArcIdResolvesToTheFirstArc) {
    ASSERT_TRUE(ReadArcFile(Sheet("09LD172") / "TATEMONO/TATEMONO", arrays, port));
    int32_t position = 0;
    ASSERT_NE(FindArc(arrays, 1, &position), nullptr);
    EXPECT_EQ(position, 1);
    int found = 0;
    for (const ArcRecord& arc : arrays.arc_records.Records()) found += arc.arc_id == 1;
    EXPECT_EQ(found, 2);
}

TEST_F(BadSample, CutPointLineAbandonsTheSheetWithFileAndLine) {
    const fs::path base = Sheet("09LD181") / "TATEMONO/TATEMONO";
    try {
        ReadArcFile(base, arrays, port);
        FAIL() << "no conversion error";
    } catch (const ConversionError& e) {
        EXPECT_EQ(e.File(), Text(base) + ".ARC");
        EXPECT_EQ(e.Line(), 7);
    }
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(BadSample, RepresentativePointThatIsNoNumberAbandonsTheSheet) {
    const fs::path sheet = Sheet("09LD182");
    ASSERT_TRUE(ReadArcFile(sheet / "GAIKU/GAIKU", arrays, port));
    try {
        ReadPgnFile(sheet / "GAIKU/GAIKU", arrays, port);
        FAIL() << "no conversion error";
    } catch (const ConversionError& e) {
        EXPECT_EQ(e.File(), Text(sheet / "GAIKU/GAIKU") + ".PGN");
        EXPECT_EQ(e.Line(), 2);
        EXPECT_EQ(e.Field(), "12O.50");
    }
    EXPECT_TRUE(port.messages.empty());
}

}  // namespace
}  // namespace gridora
