#include "sheet_files.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "line_network.h"
#include "names.h"
#include "planar_theme.h"

namespace sheetgen {

namespace {

// Metres with two decimals from centimetres.
std::string Metres(int64_t cm) {
    char text[32];
    int64_t magnitude = cm < 0 ? -cm : cm;
    std::snprintf(text, sizeof text, "%s%lld.%02lld", cm < 0 ? "-" : "", static_cast<long long>(magnitude / 100),
                  static_cast<long long>(magnitude % 100));
    return text;
}

// Frame corners as the descriptions and headers give them: metres with one decimal.
std::string Corner(int64_t cm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(cm) / 100);
    return text;
}

std::string Join(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k) out += ',';
        out += fields[k];
    }
    return out;
}

// Writes relative coordinates as the files store them: X (north) before Y (east).
class SheetWriter {
public:
    SheetWriter(const SheetId& sheet, SheetFiles& files) : sheet_(sheet), frame_(sheet.Frame()), files_(files) {}

    std::string Xy(Point p) const { return Metres(p.n - frame_.n0) + "," + Metres(p.e - frame_.e0); }

    // The "FH" line: sheet name, file name, five integers (the counts of records and of
    // lines after the header, three zeros), then the frame's lower-left and upper-right
    // corners; with `all_corners` also its upper-left and lower-right corners.
    std::string Header(const std::string& base, std::size_t records, std::size_t lines, bool all_corners) const {
        std::vector<std::string> f{"FH", sheet_.Name(), base, std::to_string(records), std::to_string(lines), "0",
                                   "0", "0", Corner(frame_.n0), Corner(frame_.e0), Corner(frame_.n1),
                                   Corner(frame_.e1)};
        if (all_corners) {
            for (const std::string& c : {Corner(frame_.n1), Corner(frame_.e0), Corner(frame_.n0), Corner(frame_.e1)})
                f.push_back(c);
        }
        return Join(f);
    }

    void Add(const std::string& path, const std::string& base, TextLines body, std::size_t records,
             bool all_corners = false) {
        TextLines lines{Header(base, records, body.size(), all_corners)};
        lines.insert(lines.end(), body.begin(), body.end());
        files_.files.emplace_back(path, std::move(lines));
    }

    void AddArcs(const std::string& path, const std::string& base, const std::vector<SheetArc>& arcs,
                 const std::vector<LineArc>& line_arcs, bool all_corners = false) {
        TextLines body;
        int id = 0;
        auto put = [&](const std::string& code, int tag, const std::vector<Point>& points) {
            body.push_back(Join({code, std::to_string(tag), std::to_string(++id), std::to_string(points.size())}));
            for (Point p : points) body.push_back(Xy(p));
        };
        for (const SheetArc& arc : arcs) put(arc.code, arc.line_tag, arc.points);
        for (const LineArc& arc : line_arcs) put(arc.code, arc.line_tag, arc.points);
        Add(path, base, std::move(body), arcs.size() + line_arcs.size(), all_corners);
    }

    void AddPolygons(const std::string& folder, const std::string& layer, const std::vector<SheetPolygon>& polygons) {
        TextLines pgn, atr;
        int id = 0;
        for (const SheetPolygon& p : polygons) {
            ++id;
            pgn.push_back(Join({p.code, std::to_string(id), std::to_string(p.arc_refs.size()), Xy(p.inside)}));
            for (int ref : p.arc_refs) pgn.push_back(std::to_string(ref));
            atr.push_back(Attributes(p.code, id, p.values));
        }
        Add(folder + "/" + layer + ".PGN", layer, std::move(pgn), polygons.size());
        Add(folder + "/" + layer + ".ATR", layer, std::move(atr), polygons.size());
    }

    void AddLineAttributes(const std::string& path, const std::string& layer, const std::vector<LineArc>& arcs,
                           int first_id, bool all_corners = false) {
        TextLines atr;
        int id = first_id;
        for (const LineArc& arc : arcs) {
            atr.push_back(Attributes(arc.code, arc.reversed ? -id : id, arc.values));
            ++id;
        }
        Add(path, layer, std::move(atr), arcs.size(), all_corners);
    }

    void AddPoints(const std::string& folder, const std::string& layer, const std::vector<WorldPoint>& points,
                   bool all_corners = false) {
        TextLines pnt, atr;
        int id = 0;
        for (const WorldPoint& p : points) {
            ++id;
            pnt.push_back(Join({p.code, std::to_string(id), Xy(p.at)}));
            atr.push_back(Attributes(p.code, id, p.values));
        }
        Add(folder + "/" + layer + ".PNT", layer, std::move(pnt), points.size(), all_corners);
        Add(folder + "/" + layer + ".ATR", layer, std::move(atr), points.size(), all_corners);
    }

    static std::string Attributes(const std::string& code, int id, const std::vector<std::string>& values) {
        std::vector<std::string> f{code, std::to_string(id), std::to_string(values.size())};
        f.insert(f.end(), values.begin(), values.end());
        return Join(f);
    }

private:
    const SheetId& sheet_;
    Rect frame_;
    SheetFiles& files_;
};

std::pair<std::string, int> Plain(const char* code) { return {code, kOrdinaryLineTag}; }

}  // namespace

TextLines& SheetFiles::File(const std::string& path) {
    for (auto& [name, lines] : files)
        if (name == path) return lines;
    throw std::logic_error("no file " + path);
}

SheetFiles ComposeSheet(const World& world, const SheetId& sheet, const SheetMeta& meta) {
    const Rect frame = sheet.Frame();
    const WorldExtract x = world.Extract(frame);
    const std::string name = sheet.Name();
    SheetFiles files{name, {}, 0};
    SheetWriter w(sheet, files);

    // Administrative areas: town areas, and municipalities as the unions of their towns.
    std::vector<WorldPolygon> municipalities;
    for (const Municipality& m : world.Settings().municipalities)
        municipalities.push_back({code::kMunicipality, {m.code, m.name}, {}, {}, -1});
    ThemeLayer by_municipality;
    for (const WorldPolygon& town : x.towns) by_municipality.feature_of_primary.push_back(town.municipality);
    for (const WorldPolygon& m : municipalities) by_municipality.features.push_back(&m);
    ArcStyle administrative{[&](int right, int left) {
        auto municipality = [&](int label) { return label == 0 ? -1 : x.towns[label - 1].municipality; };
        return municipality(right) != municipality(left)
                   ? std::make_pair(std::string(code::kMunicipalBoundary), kMajorLineTag)
                   : Plain(code::kTownBoundary);
    }};
    ThemeSheet gyousei = BuildPolygonTheme(frame, x.towns, {by_municipality, IdentityLayer(x.towns)}, administrative);
    w.AddArcs("GYOUSEI/GYOUSEI.ARC", "GYOUSEI", gyousei.arcs, {});
    w.AddPolygons("GYOUSEI", "SI_TYO", gyousei.layers[0]);
    w.AddPolygons("GYOUSEI", "TYOME", gyousei.layers[1]);

    ThemeSheet gaiku = BuildPolygonTheme(frame, x.blocks, {IdentityLayer(x.blocks)},
                                         ArcStyle{[](int, int) { return Plain(code::kBlockEdge); }});
    w.AddArcs("GAIKU/GAIKU.ARC", "GAIKU", gaiku.arcs, {});
    w.AddPolygons("GAIKU", "GAIKU", gaiku.layers[0]);

    // Grounds and railways share the arc file of the "other" features.
    ThemeSheet others = BuildPolygonTheme(frame, x.grounds, {IdentityLayer(x.grounds)},
                                          ArcStyle{[](int, int) { return Plain(code::kGroundEdge); }});
    const int first_rail_id = static_cast<int>(others.arcs.size()) + 1;
    LineNetwork rails = BuildLineNetwork(frame, x.railways, first_rail_id);
    w.AddArcs("OTHERS/OTHERS.ARC", "OTHERS", others.arcs, rails.arcs);
    w.AddPolygons("OTHERS", "ZYOUTI", others.layers[0]);
    w.AddLineAttributes("OTHERS/TETUDOU.ATR", "TETUDOU", rails.arcs, first_rail_id);
    w.AddPoints("OTHERS", "EKI", x.stations);

    ThemeSheet mizu = BuildPolygonTheme(frame, x.waters, {IdentityLayer(x.waters)},
                                        ArcStyle{[](int, int) { return Plain(code::kWaterEdge); }});
    w.AddArcs("MIZU/MIZU.ARC", "MIZU", mizu.arcs, {});
    w.AddPolygons("MIZU", "MIZU", mizu.layers[0]);

    ThemeSheet tatemono = BuildPolygonTheme(frame, x.buildings, {IdentityLayer(x.buildings)},
                                            ArcStyle{[](int, int) { return Plain(code::kBuildingEdge); }, true});
    w.AddArcs("TATEMONO/TATEMONO.ARC", "TATEMONO", tatemono.arcs, {});
    w.AddPolygons("TATEMONO", "TATEMONO", tatemono.layers[0]);

    // The road network; its files carry all four frame corners in their headers.
    LineNetwork roads = BuildLineNetwork(frame, x.roads, 1);
    w.AddArcs("ROAD/ROADNTWK.ARC", "ROADNTWK", {}, roads.arcs, true);
    TextLines ties, nodes;
    for (std::size_t k = 0; k < roads.arcs.size(); ++k)
        ties.push_back(Join({std::to_string(k + 1), std::to_string(roads.arcs[k].start_node),
                             std::to_string(roads.arcs[k].end_node)}));
    for (std::size_t k = 0; k < roads.nodes.size(); ++k) {
        const LineNode& n = roads.nodes[k];
        nodes.push_back(Join({std::to_string(k + 1), std::to_string(n.tag), std::to_string(n.arcs.size()), w.Xy(n.at)}));
        for (int arc : n.arcs) nodes.push_back(std::to_string(arc));
    }
    w.Add("ROAD/ROADNTWK.TIE", "ROADNTWK", std::move(ties), roads.arcs.size(), true);
    w.Add("ROAD/ROADNTWK.NOD", "ROADNTWK", std::move(nodes), roads.nodes.size(), true);
    w.AddLineAttributes("ROAD/ROAD.ATR", "ROAD", roads.arcs, 1, true);

    w.AddPoints("KIJUNTEN", "SANKAKU", x.control_points, true);

    files.topology_warnings = gyousei.warnings + gaiku.warnings + others.warnings + mizu.warnings + tatemono.warnings;

    // The description, listing the theme folders and their files after line 10.
    const Municipality& municipality = world.Settings().municipalities[static_cast<std::size_t>(meta.municipality)];
    std::string neighbours;
    for (const auto& n : sheet.Neighbours()) {
        if (!neighbours.empty()) neighbours += ',';
        if (n) neighbours += n->Name();
    }
    std::vector<std::string> line7{std::to_string(sheet.system), Corner(frame.n0), Corner(frame.e0),
                                   Corner(frame.n1), Corner(frame.e1)};
    if (meta.datum_field) {
        for (int k = 0; k < 4; ++k) line7.push_back("");
        line7.push_back(std::to_string(meta.datum_flag));
    }
    TextLines description{"空間データ基盤",
                          "国土地理院",
                          meta.made,
                          municipality.name + "都市計画図（縮尺１／２５００）,国土基本図（縮尺１／２５００）",
                          name,
                          "2500",
                          Join(line7),
                          "メートル",
                          neighbours,
                          name + ".TXT"};
    std::string folder;
    for (const auto& [path, lines] : files.files) {
        std::string theme = path.substr(0, path.find('/'));
        if (theme != folder) {
            folder = theme;
            description.push_back(name + "\\" + theme);
        }
        description.push_back(name + "\\" + theme + "\\" + path.substr(path.find('/') + 1));
    }
    files.files.insert(files.files.begin(), {name + ".TXT", std::move(description)});
    return files;
}

std::string EncodeLines(const TextLines& lines) {
    std::string utf8;
    for (const std::string& line : lines) {
        utf8 += line;
        utf8 += "\r\n";
    }
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv cannot convert UTF-8 to CP932");
    std::string out(utf8.size() * 2 + 16, '\0');
    char* src = utf8.data();
    std::size_t src_left = utf8.size();
    char* dst = out.data();
    std::size_t dst_left = out.size();
    std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1))
        throw std::runtime_error("text not representable in CP932 near: " + std::string(src, std::min<std::size_t>(src_left, 40)));
    out.resize(out.size() - dst_left);
    return out;
}

void WriteSheet(const SheetFiles& files, const std::filesystem::path& folder) {
    for (const auto& [path, lines] : files.files) {
        std::filesystem::path target = folder / path;
        std::filesystem::create_directories(target.parent_path());
        std::ofstream file(target, std::ios::binary | std::ios::trunc);
        std::string bytes = EncodeLines(lines);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!file) throw std::runtime_error("cannot write " + target.string());
    }
}

}  // namespace sheetgen
