// Building small sheets on disk and reading converted layers back with shapelib, for the
// tests of the layer writers and the sheet dispatch.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/sheet_conversion_state.h"
#include "convert/sheet_dispatch.h"
#include "platform/message_port.h"
#include "scratch_folder.h"

namespace gridora::testing {

// The lines joined with CR LF, each ended by it.
std::string CrLfLines(std::initializer_list<std::string_view> lines);

// An "FH" header line with the given sheet name, origin and upper-right corner.
std::string HeaderLine(std::string_view sheet_name, double origin_x, double origin_y, double upper_right_x,
                       double upper_right_y);

// A sheet description: nine fixed lines around `line7`, line 10, then the listed files.
std::string DescriptionText(std::string_view line7, std::initializer_list<std::string_view> files);

struct Vertex {
    double x, y;
    friend bool operator==(const Vertex&, const Vertex&) = default;
    friend void PrintTo(const Vertex& v, std::ostream* os) { *os << "(" << v.x << ", " << v.y << ")"; }
};

// A converted layer as shapelib reads it back.
struct LayerContents {
    bool opened = false;
    int shape_type = 0;
    int shape_count = 0;
    int record_count = 0;
    std::vector<std::string> field_names;
    std::vector<int> shape_types;               // per shape; SHPT_NULL for a null shape
    std::vector<std::vector<Vertex>> vertices;  // per shape
    std::vector<std::vector<int>> part_starts;  // per shape
    std::vector<std::vector<std::string>> values;  // per record, every field as stored text

    // The stored text of a field by name, trailing blanks removed.
    std::string Text(int record, std::string_view field) const;
    int Integer(int record, std::string_view field) const;
};
LayerContents ReadLayer(const std::filesystem::path& base);

// A run with a recording port, converting sheets into one output folder.
struct RunFixture {
    explicit RunFixture(std::filesystem::path output_folder);
    SheetOutcome Convert(const std::filesystem::path& description, std::string_view municipality_code = "13101");

    std::filesystem::path output;
    SheetConversionState run;
    RecordingPort port;
};

// Sheet 09LD171 of system 9 as the layer writer tests draw it: origin X 1000 (north),
// Y 2000 (east), upper-right corner X 1300, Y 2400. Line 7 of its description:
inline constexpr std::string_view kTestSheetLine7 = "9,1000.0,2000.0,1300.0,2400.0,,,,,1";
// The header line of its data files, under another sheet name when given.
std::string TestSheetHeader(std::string_view sheet_name = "09LD171");

// A layer writer test: a scratch folder whose sheet/ the test fills with one sheet,
// described by sheet/09LD171.TXT, and a run converting into out/.
class WrittenSheetTest : public ::testing::Test {
protected:
    // Converts sheet/09LD171.TXT.
    SheetOutcome Convert() { return fixture.Convert(sheet / "09LD171.TXT"); }

    ScratchFolder folder;
    const std::filesystem::path sheet = folder / "sheet";
    RunFixture fixture{folder / "out"};
};

// The names of the files in a folder, sorted.
std::vector<std::string> FileNames(const std::filesystem::path& folder);

}  // namespace gridora::testing
