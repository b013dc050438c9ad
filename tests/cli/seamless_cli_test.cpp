// The polygons that sheet edges cut, rebuilt by gridora-cli on the committed sample and on
// grids made by sheetgen, checked against the pieces the sheets hold: read back with
// shapelib, compared as areas with GEOS, and opened by GDAL's ogrinfo.
#include <geos_c.h>
#include <gtest/gtest.h>
#include <shapefil.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "scratch_folder.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::ScratchFolder;

const fs::path kSample = fs::path(GRIDORA_SOURCE_DIR) / "data/sample";
const std::vector<std::string> kPolygonLayers = {"mizu", "si_tyo", "tyome", "zyouti", "gaiku", "tatemono"};

int RunQuietly(const std::string& command, const fs::path& output) {
    const int status = std::system((command + " >'" + output.native() + "' 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// gridora-cli on every description below `sources`; the run's messages land in out/log.
int ConvertAll(const fs::path& sources, const fs::path& out, const fs::path& settings, bool donut) {
    std::vector<std::string> descriptions;
    for (const auto& entry : fs::recursive_directory_iterator(sources))
        if (entry.path().extension() == ".TXT" && entry.path().stem() == entry.path().parent_path().filename())
            descriptions.push_back(entry.path().native());
    std::sort(descriptions.begin(), descriptions.end());
    fs::create_directories(out);
    std::string command = std::string(GRIDORA_CLI) + " -o '" + (out / "run.lis").native() + "' --settings '" +
                          settings.native() + "'" + (donut ? "" : " --no-donut");
    for (const std::string& d : descriptions) command += " '" + d + "'";
    return RunQuietly(command, out.parent_path() / (out.filename().native() + ".log"));
}

void GeosMessage(const char*, void*) {}

// A GEOS context for one test; geometries made in it are freed with it.
class Geos {
public:
    Geos() : handle_(GEOS_init_r()) {
        GEOSContext_setNoticeMessageHandler_r(handle_, GeosMessage, nullptr);
        GEOSContext_setErrorMessageHandler_r(handle_, GeosMessage, nullptr);
    }
    ~Geos() {
        for (GEOSGeometry* g : owned_) GEOSGeom_destroy_r(handle_, g);
        GEOS_finish_r(handle_);
    }
    Geos(const Geos&) = delete;
    Geos& operator=(const Geos&) = delete;

    GEOSContextHandle_t handle() const { return handle_; }
    GEOSGeometry* Own(GEOSGeometry* g) {
        if (g) owned_.push_back(g);
        return g;
    }

    // A shape's first part as the shell, its other parts as holes.
    GEOSGeometry* Polygon(const SHPObject& shape) {
        std::vector<GEOSGeometry*> rings;
        for (int p = 0; p < shape.nParts; ++p) {
            const int begin = shape.panPartStart[p];
            const int end = p + 1 < shape.nParts ? shape.panPartStart[p + 1] : shape.nVertices;
            GEOSCoordSequence* points = GEOSCoordSeq_create_r(handle_, static_cast<unsigned>(end - begin), 2);
            for (int v = begin; v < end; ++v) {
                GEOSCoordSeq_setX_r(handle_, points, static_cast<unsigned>(v - begin), shape.padfX[v]);
                GEOSCoordSeq_setY_r(handle_, points, static_cast<unsigned>(v - begin), shape.padfY[v]);
            }
            rings.push_back(GEOSGeom_createLinearRing_r(handle_, points));
        }
        if (rings.empty()) return nullptr;
        return Own(GEOSGeom_createPolygon_r(handle_, rings[0], rings.data() + 1, static_cast<unsigned>(rings.size() - 1)));
    }
    double Area(const GEOSGeometry* g) const {
        double area = 0.0;
        GEOSArea_r(handle_, g, &area);
        return area;
    }
    GEOSGeometry* Union(const std::vector<GEOSGeometry*>& parts) {
        std::vector<GEOSGeometry*> clones;
        for (GEOSGeometry* g : parts) clones.push_back(GEOSGeom_clone_r(handle_, g));
        GEOSGeometry* collection = GEOSGeom_createCollection_r(handle_, GEOS_GEOMETRYCOLLECTION, clones.data(),
                                                               static_cast<unsigned>(clones.size()));
        GEOSGeometry* result = GEOSUnaryUnion_r(handle_, collection);
        GEOSGeom_destroy_r(handle_, collection);
        return Own(result);
    }

private:
    GEOSContextHandle_t handle_;
    std::vector<GEOSGeometry*> owned_;
};

// A polygon layer read back: per record its values, its shape as shapelib gives it and as
// a GEOS polygon.
struct PolygonLayer {
    struct Feature {
        std::vector<std::string> values;
        std::vector<double> x, y;
        std::vector<int> part_starts;
        GEOSGeometry* polygon = nullptr;
        double min_x = 0, min_y = 0, max_x = 0, max_y = 0;
        bool SameShape(const Feature& o) const { return x == o.x && y == o.y && part_starts == o.part_starts; }
        bool BoxHolds(double px, double py) const { return px >= min_x && px <= max_x && py >= min_y && py <= max_y; }
    };
    std::vector<Feature> features;
};

PolygonLayer ReadPolygonLayer(Geos& geos, const fs::path& base) {
    PolygonLayer layer;
    SHPHandle shapes = SHPOpen(base.c_str(), "rb");
    DBFHandle table = DBFOpen((base.native() + ".dbf").c_str(), "rb");
    if (!shapes || !table) ADD_FAILURE() << "cannot open " << base;
    if (shapes && table) {
        const int count = DBFGetRecordCount(table);
        EXPECT_EQ(shapes->nRecords, count) << base;
        for (int r = 0; r < count && r < shapes->nRecords; ++r) {
            PolygonLayer::Feature f;
            for (int i = 0; i < DBFGetFieldCount(table); ++i) f.values.emplace_back(DBFReadStringAttribute(table, r, i));
            if (SHPObject* shape = SHPReadObject(shapes, r)) {
                f.x.assign(shape->padfX, shape->padfX + shape->nVertices);
                f.y.assign(shape->padfY, shape->padfY + shape->nVertices);
                f.part_starts.assign(shape->panPartStart, shape->panPartStart + shape->nParts);
                f.min_x = shape->dfXMin, f.min_y = shape->dfYMin, f.max_x = shape->dfXMax, f.max_y = shape->dfYMax;
                if (shape->nVertices > 0) f.polygon = geos.Polygon(*shape);
                SHPDestroyObject(shape);
            }
            layer.features.push_back(std::move(f));
        }
    }
    if (shapes) SHPClose(shapes);
    if (table) DBFClose(table);
    return layer;
}

bool NearlyEqual(double a, double b, double relative = 1e-9) {
    return std::fabs(a - b) <= relative * std::max(std::fabs(a), std::fabs(b));
}

// Checks one polygon layer of a donut run. The sheets wrote its complete polygons to both
// files; the rest of the base file are cut pieces and the rest of _pgn the polygons
// rebuilt from them. Every piece lies in exactly one rebuilt polygon, whose area is the sum
// of its pieces' and whose attributes are its first piece's; no complete polygon leaves its
// sheet; both files cover the same ground. Returns the number of rebuilt polygons.
int CheckRebuiltLayer(Geos& geos, const fs::path& out, const std::string& name, const PolygonLayer& frames) {
    SCOPED_TRACE(name);
    const PolygonLayer base = ReadPolygonLayer(geos, out / name);
    const PolygonLayer pgn = ReadPolygonLayer(geos, out / (name + "_pgn"));
    GEOSContextHandle_t h = geos.handle();

    // The complete polygons come first in _pgn, in the order of their base records.
    std::vector<bool> copied(base.features.size(), false);
    std::size_t complete = 0;
    for (std::size_t b = 0; b < base.features.size() && complete < pgn.features.size(); ++b) {
        const auto& f = pgn.features[complete];
        if (f.values == base.features[b].values && f.SameShape(base.features[b])) {
            copied[b] = true;
            ++complete;
        }
    }
    const std::size_t rebuilt = pgn.features.size() - complete;
    for (std::size_t c = 0; c < complete; ++c) {
        bool inside_a_sheet = false;
        for (const auto& frame : frames.features)
            if (frame.polygon && GEOSCovers_r(h, frame.polygon, pgn.features[c].polygon) == 1) inside_a_sheet = true;
        EXPECT_TRUE(inside_a_sheet) << "complete polygon " << c << " crosses a sheet frame";
    }

    std::vector<double> piece_area(rebuilt, 0.0);
    std::vector<int> first_piece(rebuilt, -1);
    for (std::size_t b = 0; b < base.features.size(); ++b) {
        if (copied[b] || !base.features[b].polygon) continue;
        GEOSGeometry* inner = geos.Own(GEOSPointOnSurface_r(h, base.features[b].polygon));
        double px = 0, py = 0;
        GEOSGeomGetX_r(h, inner, &px);
        GEOSGeomGetY_r(h, inner, &py);
        int found = 0;
        for (std::size_t s = 0; s < rebuilt; ++s) {
            const auto& polygon = pgn.features[complete + s].polygon;
            if (!polygon || !pgn.features[complete + s].BoxHolds(px, py) || GEOSIntersects_r(h, polygon, inner) != 1)
                continue;
            ++found;
            piece_area[s] += geos.Area(base.features[b].polygon);
            if (first_piece[s] < 0) first_piece[s] = static_cast<int>(b);
        }
        EXPECT_EQ(found, 1) << "cut piece " << b << " lies in " << found << " rebuilt polygons";
    }
    for (std::size_t s = 0; s < rebuilt; ++s) {
        const auto& f = pgn.features[complete + s];
        if (first_piece[s] < 0) {
            ADD_FAILURE() << "rebuilt polygon " << s << " holds no piece";
            continue;
        }
        EXPECT_TRUE(NearlyEqual(geos.Area(f.polygon), piece_area[s]))
            << "rebuilt polygon " << s << ": " << geos.Area(f.polygon) << " vs " << piece_area[s];
        EXPECT_EQ(f.values, base.features[static_cast<std::size_t>(first_piece[s])].values) << "rebuilt polygon " << s;
        EXPECT_EQ(GEOSisValid_r(h, f.polygon), 1) << "rebuilt polygon " << s;
    }

    std::vector<GEOSGeometry*> base_polygons, pgn_polygons;
    for (const auto& f : base.features)
        if (f.polygon) base_polygons.push_back(f.polygon);
    for (const auto& f : pgn.features)
        if (f.polygon) pgn_polygons.push_back(f.polygon);
    GEOSGeometry* base_union = geos.Union(base_polygons);
    GEOSGeometry* pgn_union = geos.Union(pgn_polygons);
    const double area = geos.Area(base_union);
    EXPECT_TRUE(NearlyEqual(geos.Area(pgn_union), area)) << geos.Area(pgn_union) << " vs " << area;
    GEOSGeometry* difference = geos.Own(GEOSSymDifference_r(h, base_union, pgn_union));
    EXPECT_LE(geos.Area(difference), 1e-9 * area);
    return static_cast<int>(rebuilt);
}

// No side file is left beside the output.
void ExpectNoSideFiles(const fs::path& out) {
    for (const auto& entry : fs::directory_iterator(out)) {
        const std::string name = entry.path().filename();
        EXPECT_FALSE(name.ends_with("_arc.txt") || name.ends_with("_pgn.txt") || name == "zuyo.txt") << name;
    }
}

// The number of polygons of a _pgn file that GDAL (with GEOS) finds invalid; -1 when
// ogrinfo cannot tell.
int InvalidByOgrinfo(const fs::path& out, const std::string& layer) {
    const fs::path report = out.parent_path() / (layer + ".ogrinfo");
    const std::string command = "ogrinfo -ro -q -dialect SQLite -sql \"SELECT COUNT(*) AS invalid FROM " + layer +
                                "_pgn WHERE NOT ST_IsValid(geometry)\" '" + (out / (layer + "_pgn.shp")).native() + "'";
    if (RunQuietly(command, report) != 0) return -1;
    const std::string text = ReadBytes(report);
    const std::size_t at = text.find("invalid (Integer) = ");
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + 20);
}

class SeamlessRun : public ::testing::Test {
protected:
    ScratchFolder folder;
    fs::path settings = folder / "gridora.Ini";
};

TEST_F(SeamlessRun, TheSampleGetsEveryCutPolygonBackOnceAndWholeWithItsLabelsAttributes) {
    const fs::path out = folder / "out";
    ASSERT_EQ(ConvertAll(kSample, out, settings, true), 0) << ReadBytes(folder / "out.log");
    ExpectNoSideFiles(out);
    EXPECT_FALSE(fs::exists(folder / "gridora.Err")) << "every label point finds its polygon";

    Geos geos;
    const PolygonLayer frames = ReadPolygonLayer(geos, out / "zuyo");
    int rebuilt = 0;
    for (const std::string& layer : kPolygonLayers) rebuilt += CheckRebuiltLayer(geos, out, layer, frames);
    EXPECT_GT(rebuilt, 100);

    if (RunQuietly("command -v ogrinfo", folder / "which") != 0) GTEST_SKIP() << "ogrinfo (gdal-bin) missing";
    for (const std::string& layer : kPolygonLayers) EXPECT_EQ(InvalidByOgrinfo(out, layer), 0) << layer;
}

TEST_F(SeamlessRun, WithoutDonutTheSampleGetsTheSamePolygonsWithTheirHolesBridgedIntoOneOutline) {
    const fs::path donut = folder / "donut", bridged = folder / "bridged";
    ASSERT_EQ(ConvertAll(kSample, donut, settings, true), 0);
    ASSERT_EQ(ConvertAll(kSample, bridged, settings, false), 0) << ReadBytes(folder / "bridged.log");
    ExpectNoSideFiles(bridged);

    Geos geos;
    int with_holes = 0;
    for (const std::string& layer : kPolygonLayers) {
        SCOPED_TRACE(layer);
        const PolygonLayer a = ReadPolygonLayer(geos, donut / (layer + "_pgn"));
        const PolygonLayer b = ReadPolygonLayer(geos, bridged / (layer + "_pgn"));
        ASSERT_EQ(a.features.size(), b.features.size());
        for (std::size_t i = 0; i < a.features.size(); ++i) {
            EXPECT_EQ(a.features[i].values, b.features[i].values);
            // Polygons without holes, and the complete polygons the sheets wrote, are the same.
            if (a.features[i].SameShape(b.features[i])) continue;
            // A rebuilt polygon with holes is one part walking round the shell and each hole,
            // the bridges there and back: its ring area is the polygon's, and GEOS calls the
            // ring self-touching.
            ++with_holes;
            EXPECT_GT(a.features[i].part_starts.size(), 1u) << i;
            ASSERT_EQ(b.features[i].part_starts.size(), 1u) << i;
            EXPECT_TRUE(NearlyEqual(geos.Area(b.features[i].polygon), geos.Area(a.features[i].polygon))) << i;
            EXPECT_EQ(GEOSisValid_r(geos.handle(), b.features[i].polygon), 0) << i;
        }
    }
    EXPECT_GT(with_holes, 0);
}

TEST_F(SeamlessRun, GeneratedGridsCoverTheSameGroundInTheirPgnFilesAsInTheirPieces) {
    for (const std::string grid : {"09LD172:3x3"}) {
        SCOPED_TRACE(grid);
        const fs::path sheets = folder / ("sheets-" + grid.substr(0, 7));
        const fs::path out = folder / ("out-" + grid.substr(0, 7));
        ASSERT_EQ(RunQuietly(std::string(SHEETGEN_PROGRAM) + " -q -o '" + sheets.native() + "' --grid " + grid +
                                 " --seed 4711 --density normal --city 13101:A --city 13102:B",
                             folder / "sheetgen.log"),
                  0)
            << ReadBytes(folder / "sheetgen.log");
        ASSERT_EQ(ConvertAll(sheets, out, settings, true), 0) << ReadBytes(out.native() + ".log");
        ExpectNoSideFiles(out);

        Geos geos;
        const PolygonLayer frames = ReadPolygonLayer(geos, out / "zuyo");
        int rebuilt = 0;
        for (const std::string& layer : kPolygonLayers) rebuilt += CheckRebuiltLayer(geos, out, layer, frames);
        EXPECT_GT(rebuilt, 0);
    }
}

}  // namespace
}  // namespace gridora
