// End to end: the committed sample converted sheet by sheet through the dispatch, every
// output read back with shapelib and opened with GDAL's ogrinfo; the faulty sample gives
// exactly its listed messages.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "convert/projection_files.h"
#include "convert/writer_helpers.h"
#include "input/data_file.h"
#include "input/text_fields.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::FileNames;
using testing::ReadBytes;
using testing::ReadLayer;
using testing::RunFixture;
using testing::ScratchFolder;
using testing::Vertex;

const std::filesystem::path kSample = std::filesystem::path(GRIDORA_SOURCE_DIR) / "data/sample";
const std::filesystem::path kBadSample = std::filesystem::path(GRIDORA_SOURCE_DIR) / "data/sample-bad";

// The sample's sheets in list order, with their municipality codes.
const std::array<std::pair<const char*, const char*>, 6> kSheets{{{"13101", "09LD172"},
                                                                   {"13101", "09LD174"},
                                                                   {"13101", "09LD181"},
                                                                   {"13101", "09LD183"},
                                                                   {"13102", "09LD182"},
                                                                   {"13102", "09LD184"}}};

std::filesystem::path SheetFolder(const char* code, const char* sheet) { return kSample / code / sheet; }

std::vector<std::string> FileLines(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::optional<std::string> text = LoadDataFile(path);
    if (!text) return lines;
    LineReader reader(*text);
    for (std::string_view line; reader.Next(line);) lines.emplace_back(line);
    return lines;
}

std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields;
    do fields.emplace_back(TakeField(line));
    while (!line.empty());
    return fields;
}

// Independent of the writers: the polygon ids of a layer's attribute records, split by
// whether one of their arcs runs along the frame (line tag 5).
struct PolygonSplit {
    std::vector<int32_t> complete, cut;
};
PolygonSplit SplitPolygons(const std::filesystem::path& theme, std::string_view theme_name, std::string_view layer) {
    std::map<int32_t, int32_t> tag_of_arc;
    const auto arcs = FileLines(theme / (std::string(theme_name) + ".ARC"));
    for (std::size_t i = 1; i < arcs.size(); ++i) {
        auto f = Fields(arcs[i]);
        if (f[0].starts_with("L")) {
            tag_of_arc.emplace(ParseInteger(f[2]), ParseInteger(f[1]));
            i += static_cast<std::size_t>(ParseInteger(f[3]));
        }
    }
    std::map<int32_t, bool> cut_polygon;
    const auto polygons = FileLines(theme / (std::string(layer) + ".PGN"));
    for (std::size_t i = 1; i < polygons.size(); ++i) {
        auto f = Fields(polygons[i]);
        if (!f[0].starts_with("A")) continue;
        const int32_t id = ParseInteger(f[1]);
        bool cut = false;
        for (int32_t k = 0; k < ParseInteger(f[2]); ++k) cut = cut || tag_of_arc[std::abs(ParseInteger(polygons[++i]))] == 5;
        cut_polygon.emplace(id, cut);
    }
    PolygonSplit split;
    const auto attributes = FileLines(theme / (std::string(layer) + ".ATR"));
    for (std::size_t i = 1; i < attributes.size(); ++i) {
        const int32_t id = ParseInteger(Fields(attributes[i])[1]);
        (cut_polygon.at(id) ? split.cut : split.complete).push_back(id);
    }
    return split;
}

struct PolygonLayer {
    const char* output;
    const char* theme;
    const char* layer;
};
constexpr PolygonLayer kPolygonLayers[] = {{"si_tyo", "GYOUSEI", "SI_TYO"}, {"tyome", "GYOUSEI", "TYOME"},
                                           {"gaiku", "GAIKU", "GAIKU"},     {"zyouti", "OTHERS", "ZYOUTI"},
                                           {"mizu", "MIZU", "MIZU"},        {"tatemono", "TATEMONO", "TATEMONO"}};

// Runs a command, returning what it wrote to stdout and stderr separately and its status.
struct CommandResult {
    int status = -1;
    std::string out, err;
};
CommandResult RunCommand(const std::string& command, const std::filesystem::path& scratch) {
    const auto err_file = scratch / "stderr.txt";
    CommandResult result;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>" + err_file.string()).c_str(), "r"), pclose);
    if (!pipe) return result;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) result.out.append(buffer, n);
    result.status = pclose(pipe.release());
    result.err = ReadBytes(err_file);
    return result;
}

class SampleConversion : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = new ScratchFolder();
        fixture_ = new RunFixture(scratch_->Path() / "out");
        for (const auto& [code, sheet] : kSheets)
            outcomes_.push_back(fixture_->Convert(SheetFolder(code, sheet) / (std::string(sheet) + ".TXT"), code));
    }
    static void TearDownTestSuite() {
        delete fixture_;
        delete scratch_;
        outcomes_.clear();
    }
    static const std::filesystem::path& Output() { return fixture_->output; }

    static inline ScratchFolder* scratch_ = nullptr;
    static inline RunFixture* fixture_ = nullptr;
    static inline std::vector<SheetOutcome> outcomes_;
};

TEST_F(SampleConversion, EverySheetConvertsWithoutAMessage) {
    EXPECT_EQ(outcomes_, std::vector<SheetOutcome>(kSheets.size(), SheetOutcome::Converted));
    EXPECT_EQ(fixture_->port.messages, std::vector<std::string>{});
    EXPECT_EQ(fixture_->run.coordinate_system.number, 9);
    EXPECT_EQ(fixture_->run.extent.min_east, -10000.0);
    EXPECT_EQ(fixture_->run.extent.max_east, -4000.0);
    EXPECT_EQ(fixture_->run.extent.min_north, -36000.0);
    EXPECT_EQ(fixture_->run.extent.max_north, -33000.0);
}

TEST_F(SampleConversion, EveryShapefileHoldsOneShapePerRecordAProjectionAndACodePage) {
    int shapefiles = 0;
    for (const std::string& name : FileNames(Output())) {
        if (!name.ends_with(".shp")) continue;
        ++shapefiles;
        const std::string base = name.substr(0, name.size() - 4);
        SCOPED_TRACE(base);
        const auto layer = ReadLayer(Output() / base);
        ASSERT_TRUE(layer.opened);
        EXPECT_EQ(layer.shape_count, layer.record_count);
        EXPECT_EQ(ReadBytes(Output() / (base + ".prj")), EsriWktOfEpsg(30169));
        EXPECT_EQ(ReadBytes(Output() / (base + ".cpg")), "932");
    }
    // zuyo, road, road_nod, tetudou, eki, sankaku, and three per polygon layer.
    EXPECT_EQ(shapefiles, 6 + 3 * 6);
}

TEST_F(SampleConversion, AStationLandsWhereItsPointFileSaysWithItsAxesSwapped) {
    const auto theme = SheetFolder("13101", "09LD172") / "OTHERS";
    const auto header = Fields(FileLines(theme / "EKI.ATR")[0]);
    const double origin_x = std::stod(header[8]), origin_y = std::stod(header[9]);
    const auto first = Fields(FileLines(theme / "EKI.ATR")[1]);
    std::optional<Vertex> expected;
    for (const std::string& line : FileLines(theme / "EKI.PNT")) {
        auto f = Fields(line);
        if (f[0].starts_with("P") && f[1] == first[1]) expected = Vertex{std::stod(f[3]) + origin_y, std::stod(f[2]) + origin_x};
    }
    ASSERT_TRUE(expected);
    const auto eki = ReadLayer(Output() / "eki");
    ASSERT_FALSE(eki.vertices.empty());
    EXPECT_EQ(eki.vertices[0], std::vector<Vertex>{*expected});
    EXPECT_EQ(eki.Text(0, "name"), first[3]);  // the input's CP932 bytes
    EXPECT_EQ(eki.Text(0, "zumei"), "09LD172");
}

TEST_F(SampleConversion, AttributeTextsAreTheInputsCp932Bytes) {
    const auto attributes = FileLines(SheetFolder("13101", "09LD172") / "MIZU/MIZU.ATR");
    const auto first = Fields(attributes[1]);
    const auto mizu = ReadLayer(Output() / "mizu");
    EXPECT_EQ(mizu.Text(0, "name"), first[3]);
    EXPECT_EQ(mizu.Text(0, "name"), ToCp932("幸池"));
    const auto zuyo = ReadLayer(Output() / "zuyo");
    EXPECT_EQ(zuyo.Text(4, "city"), "13102");
    EXPECT_EQ(zuyo.Text(4, "name6"), ToCp932("第Ⅸ系"));
}

TEST_F(SampleConversion, PgnHoldsExactlyTheCompletePolygonsAndTheLabelsNameTheCutOnes) {
    const std::regex label(R"(^(\d+),[ -]\d\.\d{14}E[+-]\d{4},[ -]\d\.\d{14}E[+-]\d{4}\r$)");
    for (const PolygonLayer& layer : kPolygonLayers) {
        SCOPED_TRACE(layer.output);
        std::vector<std::pair<std::string, int32_t>> complete, cut;
        for (const auto& [code, sheet] : kSheets) {
            const PolygonSplit split = SplitPolygons(SheetFolder(code, sheet) / layer.theme, layer.theme, layer.layer);
            for (int32_t id : split.complete) complete.emplace_back(sheet, id);
            for (int32_t id : split.cut) cut.emplace_back(sheet, id);
        }
        const auto base = ReadLayer(Output() / layer.output);
        const auto pgn = ReadLayer(Output() / (std::string(layer.output) + "_pgn"));
        EXPECT_EQ(base.record_count, static_cast<int>(complete.size() + cut.size()));
        std::vector<std::pair<std::string, int32_t>> written;
        for (int r = 0; r < pgn.record_count; ++r) {
            written.emplace_back(pgn.Text(r, "zumei"), pgn.Integer(r, "id"));
            EXPECT_GE(pgn.vertices[static_cast<std::size_t>(r)].size(), 4u);
        }
        EXPECT_EQ(written, complete);

        std::vector<std::pair<std::string, int32_t>> labelled;
        std::istringstream labels(ReadBytes(Output() / (std::string(layer.output) + "_pgn.txt")));
        for (std::string line; std::getline(labels, line);) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, label)) << line;
            const int record = std::stoi(m[1]);
            labelled.emplace_back(base.Text(record, "zumei"), base.Integer(record, "id"));
        }
        EXPECT_EQ(labelled, cut);
    }
}

TEST_F(SampleConversion, ArcSegmentsAreEngineUnitsWithTheLowerEndPointFirst) {
    const std::regex segment(R"(^(-?\d+),(-?\d+),(-?\d+),(-?\d+)\r$)");
    for (const PolygonLayer& layer : kPolygonLayers) {
        SCOPED_TRACE(layer.output);
        std::istringstream text(ReadBytes(Output() / (std::string(layer.output) + "_arc.txt")));
        std::set<std::string> seen;
        int lines = 0;
        for (std::string line; std::getline(text, line); ++lines) {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, segment)) << line;
            const long long x1 = std::stoll(m[1]), y1 = std::stoll(m[2]), x2 = std::stoll(m[3]), y2 = std::stoll(m[4]);
            EXPECT_TRUE(y1 < y2 || (y1 == y2 && x1 < x2)) << line;
            // Absolute metres times 1000 inside the run's frames; x is north.
            EXPECT_TRUE(x1 >= -36000000 && x1 <= -33000000 && y1 >= -10000000 && y1 <= -4000000) << line;
            seen.insert(line);
        }
        EXPECT_GT(lines, 0);
    }
}

TEST_F(SampleConversion, GdalOpensEveryLayerWithTheSameCountsJapaneseTextsAndTheZone) {
    if (RunCommand("command -v ogrinfo", scratch_->Path()).status != 0) GTEST_SKIP() << "ogrinfo (gdal-bin) missing";
    for (const std::string& name : FileNames(Output())) {
        if (!name.ends_with(".shp")) continue;
        SCOPED_TRACE(name);
        const auto layer = ReadLayer(Output() / name.substr(0, name.size() - 4));
        const CommandResult summary =
            RunCommand("ogrinfo -ro -al -so '" + (Output() / name).string() + "'", scratch_->Path());
        EXPECT_EQ(summary.status, 0);
        EXPECT_EQ(summary.err, "");
        EXPECT_NE(summary.out.find("Feature Count: " + std::to_string(layer.record_count) + "\n"), std::string::npos)
            << summary.out;
        EXPECT_NE(summary.out.find("ID[\"EPSG\",30169]"), std::string::npos) << summary.out;
        // Every feature read, geometry included, without a complaint.
        const CommandResult features =
            RunCommand("ogrinfo -ro -al -q '" + (Output() / name).string() + "'", scratch_->Path());
        EXPECT_EQ(features.status, 0);
        EXPECT_EQ(features.err, "");
        if (name == "mizu.shp") {
            EXPECT_NE(features.out.find("name (String) = 幸池"), std::string::npos);
        }
        if (name == "zuyo.shp") {
            EXPECT_NE(features.out.find("name6 (String) = 第Ⅸ系"), std::string::npos);
        }
    }
}

// The expected messages listed in the faulty sample's README for one sheet, in CP932,
// with {SHEET} replaced by the sheet's folder.
std::vector<std::string> ListedMessages(const std::string& sheet_path, const std::filesystem::path& sheet_folder) {
    const std::string readme = ReadBytes(kBadSample / "README.md");
    std::vector<std::string> messages;
    const std::size_t section = readme.find("## " + sheet_path);
    EXPECT_NE(section, std::string::npos);
    const std::size_t list = readme.find("Expected messages", section);
    const std::size_t end = readme.find("\n## ", list);
    std::istringstream lines(readme.substr(list, end == std::string::npos ? std::string::npos : end - list));
    const std::string sheet_text = PathToCp932(sheet_folder) + "/";
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("- `")) continue;
        std::string message = ToCp932(line.substr(3, line.size() - 4));
        if (const std::size_t at = message.find("{SHEET}"); at != std::string::npos) message.replace(at, 7, sheet_text);
        messages.push_back(message);
    }
    return messages;
}

TEST(BadSampleConversion, EachSheetGivesExactlyItsListedMessagesAndLeavesTheOutputInStep) {
    ScratchFolder scratch;
    RunFixture fixture(scratch.Path() / "out");
    struct Case {
        const char* sheet;
        SheetOutcome outcome;
        const char* failing_file;  // of the conversion error that abandons the sheet
        int failing_line;
        const char* failing_text;
    };
    const Case cases[] = {{"09LD172", SheetOutcome::Converted, nullptr, 0, nullptr},
                          {"09LD181", SheetOutcome::Abandoned, "TATEMONO/TATEMONO.ARC", 7, ""},
                          {"09LD182", SheetOutcome::Abandoned, "GAIKU/GAIKU.PGN", 2, "12O.50"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sheet);
        const auto folder = kBadSample / "13101" / c.sheet;
        fixture.port.messages.clear();
        EXPECT_EQ(fixture.Convert(folder / (std::string(c.sheet) + ".TXT"), "13101"), c.outcome);
        std::vector<std::string> expected = ListedMessages(std::string("13101/") + c.sheet + "/" + c.sheet + ".TXT", folder);
        if (c.failing_file)
            expected.push_back("error:'" + std::string(c.failing_text) + "' is not a valid floating point value:" +
                               PathToCp932(folder / c.failing_file) + ":" + std::to_string(c.failing_line));
        EXPECT_EQ(fixture.port.messages, expected);
    }
    // Only the first sheet was written, and every file it wrote is in step.
    for (const std::string& name : FileNames(fixture.output)) {
        if (!name.ends_with(".shp")) continue;
        SCOPED_TRACE(name);
        const auto layer = ReadLayer(fixture.output / name.substr(0, name.size() - 4));
        EXPECT_EQ(layer.shape_count, layer.record_count);
        for (int r = 0; r < layer.record_count; ++r) EXPECT_EQ(layer.Text(r, "zumei"), "09LD172");
    }
    const auto tyome = ReadLayer(fixture.output / "tyome");
    EXPECT_EQ(tyome.shape_types[21 - 1], SHPT_NULL);  // line 22: polygon 9999 has no ring
}

}  // namespace
}  // namespace gridora
