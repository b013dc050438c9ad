// The sample-sheet generator and the committed sample made with it.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

extern "C" {
#include <lhasa.h>
}

#include "platform/cp932.h"
#include "scratch_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using gridora::testing::ScratchFolder;

const fs::path kSource = GRIDORA_SOURCE_DIR;
const char* const kSampleCodes[] = {"13101", "13102"};

int RunSheetgen(std::vector<std::string> args) {
    args.insert(args.begin(), SHEETGEN_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream out;
    out << file.rdbuf();
    return out.str();
}

// Lines of a CR LF text file, without their line ends.
std::vector<std::string> ReadLines(const fs::path& path) {
    std::string bytes = ReadBytes(path);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    return lines;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
    if (!line.empty() && line.back() == ',') fields.push_back("");
    return fields;
}

// Relative paths of all files below `root`, sorted.
std::vector<std::string> FilesBelow(const fs::path& root) {
    std::vector<std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) out.push_back(fs::relative(entry.path(), root).generic_string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Metres with up to three decimals as whole millimetres, exactly.
int64_t Millimetres(const std::string& text) {
    bool negative = !text.empty() && text[0] == '-';
    std::string digits = text.substr(negative ? 1 : 0);
    std::size_t dot = digits.find('.');
    std::string whole = digits.substr(0, dot), fraction = dot == std::string::npos ? "" : digits.substr(dot + 1);
    fraction.resize(3, '0');
    int64_t value = std::stoll(whole) * 1000 + std::stoll(fraction);
    return negative ? -value : value;
}

struct Point {
    int64_t north, east;  // absolute, mm
    auto operator<=>(const Point&) const = default;
};

struct Arc {
    int tag;
    std::vector<Point> points;
};

struct Polygon {
    int id;
    std::vector<int> refs;
    Point inside;
};

// One sample sheet as read back from its files.
struct Sheet {
    fs::path folder;
    std::string name;
    int64_t south, west, north, east;  // frame, mm

    explicit Sheet(const fs::path& description) : folder(description.parent_path()), name(description.stem()) {
        std::vector<std::string> line7 = Split(ReadLines(description).at(6));
        south = Millimetres(line7.at(1));
        west = Millimetres(line7.at(2));
        north = Millimetres(line7.at(3));
        east = Millimetres(line7.at(4));
    }

    Point Absolute(const std::string& x, const std::string& y) const {
        return {south + Millimetres(x), west + Millimetres(y)};
    }

    std::map<int, Arc> Arcs(const std::string& file) const {
        std::vector<std::string> lines = ReadLines(folder / file);
        std::map<int, Arc> arcs;
        for (std::size_t k = 1; k < lines.size();) {
            std::vector<std::string> f = Split(lines[k]);
            Arc arc{std::stoi(f.at(1)), {}};
            int count = std::stoi(f.at(3));
            for (int p = 1; p <= count; ++p) {
                std::vector<std::string> xy = Split(lines.at(k + static_cast<std::size_t>(p)));
                arc.points.push_back(Absolute(xy.at(0), xy.at(1)));
            }
            arcs[std::stoi(f.at(2))] = std::move(arc);
            k += 1 + static_cast<std::size_t>(count);
        }
        return arcs;
    }

    std::vector<Polygon> Polygons(const std::string& file) const {
        std::vector<std::string> lines = ReadLines(folder / file);
        std::vector<Polygon> polygons;
        for (std::size_t k = 1; k < lines.size();) {
            std::vector<std::string> f = Split(lines[k]);
            Polygon polygon{std::stoi(f.at(1)), {}, Absolute(f.at(3), f.at(4))};
            int count = std::stoi(f.at(2));
            for (int r = 1; r <= count; ++r) polygon.refs.push_back(std::stoi(lines.at(k + static_cast<std::size_t>(r))));
            polygons.push_back(std::move(polygon));
            k += 1 + static_cast<std::size_t>(count);
        }
        return polygons;
    }
};

std::vector<Sheet> SampleSheets() {
    std::vector<Sheet> sheets;
    for (const char* code : kSampleCodes)
        for (const auto& entry : fs::directory_iterator(kSource / "data/sample" / code))
            sheets.emplace_back(entry.path() / (entry.path().filename().string() + ".TXT"));
    std::sort(sheets.begin(), sheets.end(), [](const Sheet& a, const Sheet& b) { return a.name < b.name; });
    return sheets;
}

struct PolygonTheme {
    const char* arc_file;
    std::vector<const char*> layers;
};
const PolygonTheme kPolygonThemes[] = {
    {"GYOUSEI/GYOUSEI.ARC", {"GYOUSEI/SI_TYO.PGN", "GYOUSEI/TYOME.PGN"}},
    {"GAIKU/GAIKU.ARC", {"GAIKU/GAIKU.PGN"}},
    {"OTHERS/OTHERS.ARC", {"OTHERS/ZYOUTI.PGN"}},
    {"MIZU/MIZU.ARC", {"MIZU/MIZU.PGN"}},
    {"TATEMONO/TATEMONO.ARC", {"TATEMONO/TATEMONO.PGN"}},
};

// The rings a polygon's arc list describes, each closed on its first point.
std::vector<std::vector<Point>> Rings(const Polygon& polygon, const std::map<int, Arc>& arcs, std::string& fault) {
    std::vector<std::vector<Point>> rings;
    std::vector<Point> ring;
    for (int ref : polygon.refs) {
        auto found = arcs.find(std::abs(ref));
        if (found == arcs.end()) {
            fault = "missing arc " + std::to_string(ref);
            return {};
        }
        std::vector<Point> points = found->second.points;
        if (ref < 0) std::reverse(points.begin(), points.end());
        if (!ring.empty() && ring.back() != points.front()) {
            fault = "arc " + std::to_string(ref) + " does not start where the ring stands";
            return {};
        }
        ring.insert(ring.end(), points.begin() + (ring.empty() ? 0 : 1), points.end());
        if (ring.size() > 1 && ring.back() == ring.front()) rings.push_back(std::move(ring)), ring.clear();
    }
    if (!ring.empty()) fault = "a ring does not close";
    return rings;
}

bool Inside(const std::vector<std::vector<Point>>& rings, Point p) {
    bool inside = false;
    for (const auto& ring : rings)
        for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
            const Point& a = ring[i];
            const Point& b = ring[i + 1];
            if ((a.north > p.north) != (b.north > p.north) &&
                static_cast<double>(p.east) < static_cast<double>(b.east - a.east) *
                                                      static_cast<double>(p.north - a.north) /
                                                      static_cast<double>(b.north - a.north) +
                                                  static_cast<double>(a.east))
                inside = !inside;
        }
    return inside;
}

// The lines of the data/sample README that regenerate the sample, split into words.
std::vector<std::vector<std::string>> DocumentedCommands() {
    std::vector<std::vector<std::string>> commands;
    std::ifstream readme(kSource / "data/sample/README.md");
    for (std::string line; std::getline(readme, line);) {
        const std::string prefix = "    build/bin/sheetgen ";
        if (line.rfind(prefix, 0) != 0) continue;
        std::stringstream words(line.substr(prefix.size()));
        std::vector<std::string> args;
        for (std::string w; words >> w;) args.push_back(w);
        commands.push_back(args);
    }
    return commands;
}

TEST(SheetgenSample, RegeneratingWithTheDocumentedCommandsReproducesTheCommittedFilesByteForByte) {
    ScratchFolder scratch;
    std::vector<std::vector<std::string>> commands = DocumentedCommands();
    ASSERT_EQ(commands.size(), 2u) << "data/sample/README.md should give the two sheetgen command lines";
    std::vector<std::string> outputs;
    for (std::vector<std::string> args : commands) {
        for (std::size_t k = 0; k < args.size(); ++k) {
            if (args[k].rfind("data/", 0) == 0) {
                if (k > 0 && args[k - 1] == "-o") outputs.push_back(args[k]);
                args[k] = (scratch.Path() / args[k]).string();
            }
        }
        ASSERT_EQ(RunSheetgen(args), 0);
    }
    std::vector<std::string> made = FilesBelow(scratch / "data");
    ASSERT_FALSE(made.empty());
    for (const std::string& file : made)
        EXPECT_TRUE(ReadBytes(scratch / "data" / file) == ReadBytes(kSource / "data" / file)) << file << " differs";
    // Nothing committed among the generated folders is missing from a fresh run.
    std::set<std::string> made_set(made.begin(), made.end());
    for (const std::string& output : outputs) {
        for (const std::string& file : FilesBelow(kSource / output)) {
            std::string path = fs::path(output).lexically_relative("data").generic_string() + "/" + file;
            bool made_by_hand = output == "data/sample" && (file == "README.md" || file.ends_with(".LZH"));
            if (!made_by_hand) {
                EXPECT_TRUE(made_set.count(path)) << path << " is committed but not generated";
            }
        }
    }
}

TEST(SheetgenSample, EachArchiveHoldsExactlyTheUnpackedSheetsOfItsMunicipality) {
    for (const char* code : kSampleCodes) {
        fs::path archive = kSource / "data/sample" / (std::string(code) + ".LZH");
        std::string archive_path = archive.string();
        LHAInputStream* stream = lha_input_stream_from(archive_path.data());
        ASSERT_NE(stream, nullptr) << archive;
        LHAReader* reader = lha_reader_new(stream);
        std::map<std::string, std::string> files;  // lower-case name -> committed name
        for (const std::string& f : FilesBelow(kSource / "data/sample" / code)) files[Lower(f)] = f;
        std::vector<std::string> members;
        while (LHAFileHeader* header = lha_reader_next_file(reader)) {
            if (std::string(header->compress_method) == LHA_COMPRESS_TYPE_DIR) continue;
            EXPECT_EQ(std::string(header->compress_method), "-lh5-");
            // lhasa gives the names of MS-DOS archives in lower case; compare without case.
            std::string name = Lower(std::string(header->path ? header->path : "") + header->filename);
            std::replace(name.begin(), name.end(), '\\', '/');
            std::string bytes;
            char buffer[4096];
            for (std::size_t n; (n = lha_reader_read(reader, buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
            auto file = files.find(name);
            if (file == files.end()) {
                ADD_FAILURE() << code << ".LZH holds " << name << ", which is not among the unpacked files";
                continue;
            }
            EXPECT_TRUE(bytes == ReadBytes(kSource / "data/sample" / code / file->second)) << code << ".LZH: " << name;
            members.push_back(file->second);
        }
        lha_reader_free(reader);
        lha_input_stream_free(stream);
        std::sort(members.begin(), members.end());
        EXPECT_EQ(members, FilesBelow(kSource / "data/sample" / code)) << code;
    }
}

TEST(SheetgenSample, EveryPolygonListsArcsThatCloseIntoRingsAroundItsInsidePoint) {
    int polygons = 0, cut = 0, with_holes = 0;
    for (const Sheet& sheet : SampleSheets()) {
        for (const PolygonTheme& theme : kPolygonThemes) {
            std::map<int, Arc> arcs = sheet.Arcs(theme.arc_file);
            for (const char* layer : theme.layers) {
                for (const Polygon& polygon : sheet.Polygons(layer)) {
                    std::string fault;
                    auto rings = Rings(polygon, arcs, fault);
                    EXPECT_EQ(fault, "") << sheet.name << " " << layer << " polygon " << polygon.id;
                    EXPECT_TRUE(Inside(rings, polygon.inside)) << sheet.name << " " << layer << " " << polygon.id;
                    ++polygons;
                    with_holes += rings.size() > 1;
                    cut += std::any_of(polygon.refs.begin(), polygon.refs.end(),
                                       [&](int ref) { return arcs.at(std::abs(ref)).tag == 5; });
                }
            }
        }
    }
    // The sample must exercise both kinds of polygon, and holes.
    EXPECT_GT(cut, 100);
    EXPECT_GT(polygons - cut, 500);
    EXPECT_GT(with_holes, 10);
}

TEST(SheetgenSample, NeighbouringSheetsCutPolygonsAtTheSamePointsOfTheirCommonEdge) {
    std::vector<Sheet> sheets = SampleSheets();
    // Frame segments that bound a polygon, per theme, as (end, end) in ascending order.
    auto frame_segments = [](const Sheet& sheet, const PolygonTheme& theme) {
        std::map<int, Arc> arcs = sheet.Arcs(theme.arc_file);
        std::set<int> used;
        for (const char* layer : theme.layers)
            for (const Polygon& polygon : sheet.Polygons(layer))
                for (int ref : polygon.refs) used.insert(std::abs(ref));
        std::set<std::pair<Point, Point>> segments;
        for (int id : used) {
            const Arc& arc = arcs.at(id);
            if (arc.tag != 5) continue;
            for (std::size_t k = 0; k + 1 < arc.points.size(); ++k)
                segments.insert(std::minmax(arc.points[k], arc.points[k + 1]));
        }
        return segments;
    };
    int shared_edges = 0;
    for (const Sheet& a : sheets) {
        for (const Sheet& b : sheets) {
            bool east_of = b.west == a.east && b.south == a.south;
            bool south_of = b.north == a.south && b.west == a.west;
            if (!east_of && !south_of) continue;
            ++shared_edges;
            auto on_edge = [&](const std::pair<Point, Point>& s) {
                return east_of ? s.first.east == a.east && s.second.east == a.east
                               : s.first.north == a.south && s.second.north == a.south;
            };
            for (const PolygonTheme& theme : kPolygonThemes) {
                std::set<std::pair<Point, Point>> from_a, from_b;
                for (const auto& s : frame_segments(a, theme))
                    if (on_edge(s)) from_a.insert(s);
                for (const auto& s : frame_segments(b, theme))
                    if (on_edge(s)) from_b.insert(s);
                EXPECT_EQ(from_a, from_b) << a.name << " and " << b.name << " in " << theme.arc_file;
                if (std::string(theme.arc_file) == "GYOUSEI/GYOUSEI.ARC") {
                    EXPECT_FALSE(from_a.empty()) << a.name << " and " << b.name;
                }
            }
        }
    }
    EXPECT_EQ(shared_edges, 7);
}

TEST(SheetgenSample, RoadTiesAndNodesAgreeWithTheRoadArcs) {
    for (const Sheet& sheet : SampleSheets()) {
        std::map<int, Arc> arcs = sheet.Arcs("ROAD/ROADNTWK.ARC");
        struct Node {
            int tag;
            Point at;
            std::set<int> arcs;
        };
        std::map<int, Node> nodes;
        std::vector<std::string> lines = ReadLines(sheet.folder / "ROAD/ROADNTWK.NOD");
        for (std::size_t k = 1; k < lines.size();) {
            std::vector<std::string> f = Split(lines[k]);
            Node node{std::stoi(f.at(1)), sheet.Absolute(f.at(3), f.at(4)), {}};
            int count = std::stoi(f.at(2));
            for (int a = 1; a <= count; ++a) node.arcs.insert(std::stoi(lines.at(k + static_cast<std::size_t>(a))));
            nodes[std::stoi(f.at(0))] = node;
            k += 1 + static_cast<std::size_t>(count);
        }
        std::vector<std::string> ties = ReadLines(sheet.folder / "ROAD/ROADNTWK.TIE");
        ASSERT_EQ(ties.size(), arcs.size() + 1) << sheet.name;
        for (std::size_t k = 1; k < ties.size(); ++k) {
            std::vector<std::string> f = Split(ties[k]);
            int arc_id = std::stoi(f.at(0));
            const Arc& arc = arcs.at(arc_id);
            const Node& start = nodes.at(std::stoi(f.at(1)));
            const Node& end = nodes.at(std::stoi(f.at(2)));
            EXPECT_EQ(start.at, arc.points.front()) << sheet.name << " arc " << arc_id;
            EXPECT_EQ(end.at, arc.points.back()) << sheet.name << " arc " << arc_id;
            EXPECT_TRUE(start.arcs.count(arc_id) && end.arcs.count(arc_id)) << sheet.name << " arc " << arc_id;
        }
        for (const auto& [id, node] : nodes) {
            // Units digit: 2, 4, 6, 8 on the top, right, bottom, left edge; 0 inside.
            int expected = node.at.north == sheet.north  ? 2
                           : node.at.east == sheet.east  ? 4
                           : node.at.north == sheet.south ? 6
                           : node.at.east == sheet.west  ? 8
                                                          : 0;
            EXPECT_EQ(node.tag % 10, expected) << sheet.name << " node " << id;
            if (expected == 0) {
                EXPECT_EQ(node.tag == 10, node.arcs.size() == 1) << sheet.name << " node " << id;
            }
        }
    }
}

TEST(SheetgenSample, EveryAttributeRecordFindsItsFeatureAndEveryFeatureHasOneRecord) {
    // Ids of the records of an attribute or geometry file with the given record letter.
    auto ids = [](const fs::path& file, char letter, int id_field) {
        std::multiset<int> out;
        for (const std::string& line : ReadLines(file))
            if (!line.empty() && line[0] == letter) out.insert(std::stoi(Split(line).at(static_cast<std::size_t>(id_field))));
        return out;
    };
    auto absolute = [](std::multiset<int> signed_ids) {
        std::multiset<int> out;
        for (int id : signed_ids) out.insert(std::abs(id));
        return out;
    };
    for (const Sheet& sheet : SampleSheets()) {
        const fs::path& f = sheet.folder;
        for (const char* layer : {"GYOUSEI/SI_TYO", "GYOUSEI/TYOME", "GAIKU/GAIKU", "OTHERS/ZYOUTI", "MIZU/MIZU",
                                  "TATEMONO/TATEMONO"}) {
            std::string base = layer;
            EXPECT_EQ(ids(f / (base + ".ATR"), 'A', 1), ids(f / (base + ".PGN"), 'A', 1)) << sheet.name << " " << layer;
        }
        for (const char* layer : {"OTHERS/EKI", "KIJUNTEN/SANKAKU"}) {
            std::string base = layer;
            EXPECT_EQ(ids(f / (base + ".ATR"), 'P', 1), ids(f / (base + ".PNT"), 'P', 1)) << sheet.name << " " << layer;
        }
        // Road records cover every road arc once; railway records the railway arcs that
        // follow the grounds' arcs in the shared arc file.
        EXPECT_EQ(absolute(ids(f / "ROAD/ROAD.ATR", 'L', 1)), ids(f / "ROAD/ROADNTWK.ARC", 'L', 2)) << sheet.name;
        std::multiset<int> rails;
        for (const auto& [id, arc] : sheet.Arcs("OTHERS/OTHERS.ARC"))
            if (id > 0 && arc.tag != 5) rails.insert(id);
        std::multiset<int> railway_records = absolute(ids(f / "OTHERS/TETUDOU.ATR", 'L', 1));
        for (int id : railway_records) EXPECT_TRUE(rails.count(id)) << sheet.name << " railway arc " << id;
        EXPECT_FALSE(railway_records.empty()) << sheet.name;
    }
}

TEST(Sheetgen, SheetNamesGiveTheirPlaceInTheGridAndTheirNeighbours) {
    ScratchFolder scratch;
    ASSERT_EQ(RunSheetgen({"-q", "-o", scratch.Path().string(), "--density", "sparse", "07MD623"}), 0);
    std::vector<std::string> description = ReadLines(scratch / "13101/07MD623/07MD623.TXT");
    ASSERT_GE(description.size(), 11u);
    EXPECT_EQ(description[0], gridora::ToCp932("空間データ基盤"));
    EXPECT_EQ(description[4], "07MD623");
    EXPECT_EQ(description[6], "7,-81000.0,-32000.0,-79500.0,-30000.0");
    EXPECT_EQ(description[7], gridora::ToCp932("メートル"));
    EXPECT_EQ(description[8], "07MD612,07MD621,07MD622,07MD624,07MD722,07MD721,07MD712,07MD614");
    EXPECT_EQ(description[9], "07MD623.TXT");
    EXPECT_EQ(description[10], "07MD623\\GYOUSEI");
    // Data files name their sheet and the frame's lower-left corner as origin.
    std::vector<std::string> header = Split(ReadLines(scratch / "13101/07MD623/GAIKU/GAIKU.ARC").at(0));
    ASSERT_EQ(header.size(), 12u);
    EXPECT_EQ(header[0], "FH");
    EXPECT_EQ(header[1], "07MD623");
    EXPECT_EQ(header[8], "-81000.0");
    EXPECT_EQ(header[9], "-32000.0");
}

TEST(Sheetgen, OutputDependsOnlyOnTheSeedAndTheSheetNotOnTheOtherSheetsAsked) {
    ScratchFolder scratch;
    fs::path grid = scratch / "grid", alone = scratch / "alone", again = scratch / "again", other = scratch / "other";
    ASSERT_EQ(RunSheetgen({"-q", "-o", grid.string(), "--seed", "7", "--grid", "09LD172:1x2"}), 0);
    ASSERT_EQ(RunSheetgen({"-q", "-o", alone.string(), "--seed", "7", "09LD181"}), 0);
    ASSERT_EQ(RunSheetgen({"-q", "-o", again.string(), "--seed", "7", "09LD181"}), 0);
    ASSERT_EQ(RunSheetgen({"-q", "-o", other.string(), "--seed", "8", "09LD181"}), 0);
    std::vector<std::string> files = FilesBelow(alone);
    ASSERT_EQ(files.size(), 27u);
    int differing_seed = 0;
    for (const std::string& file : files) {
        std::string bytes = ReadBytes(alone / file);
        EXPECT_TRUE(bytes == ReadBytes(grid / file)) << file;
        EXPECT_TRUE(bytes == ReadBytes(again / file)) << file;
        differing_seed += bytes != ReadBytes(other / file);
    }
    EXPECT_GT(differing_seed, 20);
}

}  // namespace
