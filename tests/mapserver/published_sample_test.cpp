// The published sample, end to end: gridora-cli --mapserver8 converts the committed
// sample archives, then MapServer 8 draws the map files it left (map2img) and serves them
// as a WMS (mapserv run as a CGI, as a web server would).
#include <gtest/gtest.h>
#include <proj.h>
#include <shapefil.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "convert/layer_catalogue.h"
#include "mapserver/map_file_text.h"
#include "mapserver/mapserver8_map_text.h"
#include "platform/cp932.h"
#include "png_image_helpers.h"
#include "scratch_folder.h"
#include "sample_feature_helpers.h"
#include "shell_helpers.h"

namespace gridora {
namespace {

namespace fs = std::filesystem;
using testing::Quote;
using testing::ReadBytes;
using testing::ReadPng;
using testing::Rgb;
using testing::RunShell;
using testing::RgbImage;
using testing::ScratchFolder;

constexpr Rgb kWhite{255, 255, 255};
const fs::path kSample = fs::path(GRIDORA_SOURCE_DIR) / "data/sample";


// The quoted values of the lines "<indent>NAME ..." that follow a "LAYER" line.
std::vector<std::string> LayerNames(const std::string& map_text) {
    std::vector<std::string> names;
    bool in_layer = false;
    std::size_t start = 0;
    for (std::size_t end; (end = map_text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = map_text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string trimmed = line.substr(line.find_first_not_of(' ') == std::string::npos
                                                    ? line.size()
                                                    : line.find_first_not_of(' '));
        if (trimmed == "LAYER") in_layer = true;
        if (in_layer && trimmed.starts_with("NAME \"")) {
            names.push_back(trimmed.substr(6, trimmed.size() - 7));
            in_layer = false;
        }
    }
    return names;
}

int ShapeCount(const fs::path& base) {
    SHPHandle shapes = SHPOpen(base.c_str(), "rb");
    if (!shapes) return -1;
    int count = 0, type = 0;
    SHPGetInfo(shapes, &count, &type, nullptr, nullptr);
    SHPClose(shapes);
    return count;
}

struct Bounds {
    double min_x, min_y, max_x, max_y;
};

// The sheet frames' bounds, read back from the frame layer.
Bounds FrameBounds(const fs::path& out) {
    Bounds b{};
    SHPHandle shapes = SHPOpen((out / "zuyo").c_str(), "rb");
    if (!shapes) return b;
    double min[4], max[4];
    int count = 0, type = 0;
    SHPGetInfo(shapes, &count, &type, min, max);
    SHPClose(shapes);
    return {min[0], min[1], max[0], max[1]};
}

// `bounds` (east, north in EPSG `from`) as the smallest box around its corners in EPSG:3857.
Bounds ToWebMercator(const Bounds& bounds, int from) {
    PJ_CONTEXT* context = proj_context_create();
    PJ* raw = proj_create_crs_to_crs(context, ("EPSG:" + std::to_string(from)).c_str(), "EPSG:3857", nullptr);
    PJ* transform = proj_normalize_for_visualization(context, raw);
    proj_destroy(raw);
    Bounds out{1e300, 1e300, -1e300, -1e300};
    for (double x : {bounds.min_x, bounds.max_x})
        for (double y : {bounds.min_y, bounds.max_y}) {
            const PJ_COORD c = proj_trans(transform, PJ_FWD, proj_coord(x, y, 0, 0));
            out = {std::min(out.min_x, c.xy.x), std::min(out.min_y, c.xy.y), std::max(out.max_x, c.xy.x),
                   std::max(out.max_y, c.xy.y)};
        }
    proj_destroy(transform);
    proj_context_destroy(context);
    return out;
}

class PublishedSample : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch = new ScratchFolder;
        out = scratch->Path() / "out";
        const std::string command = Quote(GRIDORA_CLI) + " --mapserver8 --settings " +
                                    Quote(scratch->Path() / "gridora.Ini") + " -o " + Quote(out / "sample.lis") +
                                    " " + Quote(kSample / "13101.LZH") + " " + Quote(kSample / "13102.LZH") + " >" +
                                    Quote(scratch->Path() / "cli.log") + " 2>&1";
        cli_exit = RunShell(command);
    }
    static void TearDownTestSuite() {
        delete scratch;
        scratch = nullptr;
    }

    void SetUp() override {
        ASSERT_EQ(cli_exit, 0) << ReadBytes(scratch->Path() / "cli.log");
        for (const char* program : {"/usr/bin/map2img", "/usr/lib/cgi-bin/mapserv"})
            ASSERT_TRUE(fs::exists(program)) << program << " (Debian mapserver-bin, cgi-mapserver)";
    }

    // map2img's picture of the MapServer 8 map file, of `layer` alone when given.
    RgbImage Render(const std::string& layer = "", const fs::path& keep = {}) {
        const fs::path png = scratch->Path() / ("render-" + layer + ".png");
        std::string command = "map2img -conf " + Quote(out / "sample_ms8.conf") + " -m " +
                              Quote(out / "sample_ms8.map") + " -o " + Quote(png);
        if (!layer.empty()) command += " -l " + Quote(layer);
        EXPECT_EQ(RunShell(command + " >" + Quote(scratch->Path() / "map2img.log") + " 2>&1"), 0)
            << ReadBytes(scratch->Path() / "map2img.log");
        if (!keep.empty()) fs::copy_file(png, keep, fs::copy_options::overwrite_existing);
        return ReadPng(png);
    }

    // mapserv's answer to a WMS request: the body after the CGI headers.
    std::string Wms(const std::string& query) { return Mapserv("", "map=GRIDORA&SERVICE=WMS&VERSION=1.3.0&" + query); }

    // mapserv's answer to a request for /cgi-bin/mapserv<path_info>?<query>, after the headers.
    std::string Mapserv(const std::string& path_info, const std::string& query) {
        const fs::path answer = scratch->Path() / "mapserv.out";
        const std::string command = "MAPSERVER_CONFIG_FILE=" + Quote(out / "sample_ms8.conf") +
                                    " REQUEST_METHOD=GET SERVER_NAME=localhost SERVER_PORT=80"
                                    " SCRIPT_NAME=/cgi-bin/mapserv PATH_INFO=" + Quote(path_info) +
                                    " QUERY_STRING=" + Quote(query) + " /usr/lib/cgi-bin/mapserv >" + Quote(answer);
        EXPECT_EQ(RunShell(command), 0);
        const std::string bytes = ReadBytes(answer);
        const std::size_t body = bytes.find("\r\n\r\n");
        return body == std::string::npos ? bytes : bytes.substr(body + 4);
    }

    // The layers the run produced: catalogue entries whose Shapefile exists.
    static std::vector<std::string> ProducedLayers() {
        std::vector<std::string> layers;
        for (int i = 0; i < kLayerCount; ++i) {
            const std::string name = LayerDataName(i, false);
            if (fs::exists(out / (name + ".shp"))) layers.push_back(name);
        }
        return layers;
    }

    static inline ScratchFolder* scratch = nullptr;
    static inline fs::path out;
    static inline int cli_exit = -1;
};

TEST_F(PublishedSample, TheRunLeavesTheMapFilePhpPageSupportFilesAndTheTemplate) {
    for (const char* name : {"sample.map", "gridora.php", "etc/winfonts.txt", "etc/symbols.sym",
                             "ms4w/Apache/htdocs/index.php", "ms4w/Apache/htdocs/libgridora.php",
                             "ms4w/Apache/htdocs/legend.html", "ms4w/Apache/htdocs/images/keymap.gif",
                             "sample_ms8.map", "sample_ms8.conf"})
        EXPECT_TRUE(fs::is_regular_file(out / name)) << name;
    const std::string font_list = ReadBytes(out / "etc/winfonts.txt");
    const std::string font = font_list.substr(font_list.rfind(' ') + 1, font_list.size() - font_list.rfind(' ') - 3);
    EXPECT_TRUE(fs::is_regular_file(out / "etc" / font)) << font_list;
    EXPECT_EQ(ReadBytes(out / "ms4w/Apache/htdocs/libgridora.php"),
              "<?php\r\n$map_file=\"sample.map\"; //mapfile" + ToCp932("名") + "\r\n?>\r\n");
    EXPECT_NE(ReadBytes(out / "gridora.php").find("$mapfile = \"sample.map\";\r\n"), std::string::npos);
}

TEST_F(PublishedSample, BothMapFilesNameExactlyTheLayersTheRunProduced) {
    const std::vector<std::string> produced = ProducedLayers();
    EXPECT_EQ(produced.size(), 11u);  // the sample has every layer
    EXPECT_EQ(LayerNames(ReadBytes(out / "sample.map")), produced);
    EXPECT_EQ(LayerNames(ReadBytes(out / "sample_ms8.map")), produced);
}

TEST_F(PublishedSample, TheWholeMapDrawsAndIsKeptInTheBuildFolder) {
    const fs::path kept = fs::path(GRIDORA_BINARY_DIR) / "sample_map.png";
    const RgbImage image = Render("", kept);
    ASSERT_EQ(image.width, 400);
    ASSERT_EQ(image.height, 300);
    EXPECT_GT(image.CountOtherThan(kWhite), image.width * image.height / 4);
    EXPECT_GT(image.Count(Rgb{225, 225, 255}), 100);  // building fill
}

TEST_F(PublishedSample, EveryLayerWithFeaturesDrawsOnItsOwn) {
    const std::string map = ReadBytes(out / "sample_ms8.map");
    int drawn = 0;
    for (int i = 0; i < kLayerCount; ++i) {
        const std::string name = LayerDataName(i, false);
        if (map.find("NAME \"" + name + "\"") == std::string::npos) continue;
        if (ShapeCount(out / LayerDataName(i, true)) <= 0) continue;  // nothing to draw yet
        const RgbImage image = Render(name);
        EXPECT_GT(image.CountOtherThan(kWhite), 0) << name;
        ++drawn;
    }
    EXPECT_GE(drawn, 9);
}

// The sample as one GeoPackage: both map files reach its tables through OGR, and MapServer 8
// draws each layer from them as it draws the Shapefiles.
TEST_F(PublishedSample, AGeoPackageRunDrawsEveryLayerThroughOgr) {
    const fs::path gpkg = scratch->Path() / "gpkg";
    ASSERT_EQ(RunShell(Quote(GRIDORA_CLI) + " --format gpkg --mapserver8 --settings " +
                       Quote(scratch->Path() / "gpkg.Ini") + " -o " + Quote(gpkg / "sample.lis") + " " +
                       Quote(kSample / "13101.LZH") + " " + Quote(kSample / "13102.LZH") + " >" +
                       Quote(scratch->Path() / "gpkg.log") + " 2>&1"),
              0)
        << ReadBytes(scratch->Path() / "gpkg.log");
    const std::string map = ReadBytes(gpkg / "sample_ms8.map");
    EXPECT_NE(map.find("    CONNECTIONTYPE OGR\r\n    CONNECTION \"sample.gpkg\"\r\n    DATA \"tatemono_pgn\"\r\n"),
              std::string::npos);
    EXPECT_EQ(map.find("ENCODING"), std::string::npos);  // the tables hold UTF-8
    const std::string literal = ReadBytes(gpkg / "sample.map");
    EXPECT_NE(literal.find("  CONNECTIONTYPE OGR\r\n  CONNECTION \"" + fs::absolute(gpkg).native() +
                           "/sample.gpkg\"\r\n  DATA \"tatemono_pgn\"\r\n"),
              std::string::npos);
    EXPECT_EQ(LayerNames(map), ProducedLayers());
    int drawn = 0;
    for (int i = 0; i < kLayerCount; ++i) {
        const std::string name = LayerDataName(i, false);
        if (ShapeCount(out / LayerDataName(i, true)) <= 0) continue;  // nothing to draw in the Shapefiles either
        const fs::path png = scratch->Path() / ("gpkg-" + name + ".png");
        ASSERT_EQ(RunShell("map2img -conf " + Quote(gpkg / "sample_ms8.conf") + " -m " + Quote(gpkg / "sample_ms8.map") +
                           " -o " + Quote(png) + " -l " + Quote(name) + " >" + Quote(scratch->Path() / "map2img.log") +
                           " 2>&1"),
                  0)
            << ReadBytes(scratch->Path() / "map2img.log");
        EXPECT_GT(ReadPng(png).CountOtherThan(kWhite), 0) << name;
        ++drawn;
    }
    EXPECT_GE(drawn, 9);
}

TEST_F(PublishedSample, StationsDrawTheirSymbolAndAJapaneseLabel) {
    const RgbImage image = Render("eki");
    EXPECT_GT(image.Count(Rgb{0, 128, 0}), 12);  // the station symbols
    // The names ("泉駅", ...) in the label colour, antialiased; the symbols' green has no blue.
    EXPECT_GT(image.CountBlendsOf(Rgb{0, 128, 64}, kWhite, 0.5), 100);
}

TEST_F(PublishedSample, MapservListsEveryLayerInItsCapabilities) {
    const std::string capabilities = Wms("REQUEST=GetCapabilities");
    ASSERT_NE(capabilities.find("<WMS_Capabilities"), std::string::npos) << capabilities.substr(0, 2000);
    for (const std::string& layer : ProducedLayers())
        EXPECT_NE(capabilities.find("<Name>" + layer + "</Name>"), std::string::npos) << layer;
    EXPECT_NE(capabilities.find("<CRS>EPSG:3857</CRS>"), std::string::npos);
    EXPECT_NE(capabilities.find("<CRS>EPSG:30169</CRS>"), std::string::npos);  // the sample's Tokyo datum
    EXPECT_NE(capabilities.find("<Title>建物</Title>"), std::string::npos);
}

TEST_F(PublishedSample, MapservDrawsTheRunsExtentInWebMercator) {
    const Bounds box = ToWebMercator(FrameBounds(out), 30169);
    ASSERT_LT(box.min_x, box.max_x);
    std::string layers;
    for (const std::string& layer : ProducedLayers()) layers += (layers.empty() ? "" : ",") + layer;
    char bbox[200];
    std::snprintf(bbox, sizeof bbox, "%.3f,%.3f,%.3f,%.3f", box.min_x, box.min_y, box.max_x, box.max_y);
    const std::string png = Wms("REQUEST=GetMap&LAYERS=" + layers + "&STYLES=&CRS=EPSG:3857&BBOX=" + bbox +
                                "&WIDTH=600&HEIGHT=300&FORMAT=image/png");
    const RgbImage image = testing::DecodePng(png);
    ASSERT_EQ(image.width, 600) << png.substr(0, 2000);
    EXPECT_GT(image.CountOtherThan(kWhite), image.width * image.height / 4);
    EXPECT_GT(image.Count(Rgb{225, 225, 255}), 100);  // building fill
}

TEST_F(PublishedSample, EveryImageTypeOfTheSettingsIsOneMapServer8CanWrite) {
    const Bounds frames = FrameBounds(out);
    MapFileContext context;
    context.output_folder = ToCp932(out.native()) + "/";
    context.system = FindCoordinateSystem(9);
    context.data_epsg = 30169;
    context.extent = RunExtent{frames.min_x, frames.min_y, frames.max_x, frames.max_y};
    for (LayerFiles& files : context.files_made) files.polygon_made = true;
    const std::string font_list = ReadBytes(out / "etc/winfonts.txt");
    context.font_file_name = font_list.substr(font_list.rfind(' ') + 1, font_list.size() - font_list.rfind(' ') - 3);
    context.font_copied = context.symbols_copied = true;
    const std::vector<std::string> magic = {"\x89PNG", "\x89PNG", "\xFF\xD8\xFF", "\x89PNG"};
    for (int type = 0; type < 4; ++type) {
        context.settings.image_type_index = type;
        const fs::path map = out / ("type" + std::to_string(type) + "_ms8.map");
        testing::WriteBytes(map, MapServer8MapFileText(context));
        const fs::path picture = scratch->Path() / ("type" + std::to_string(type));
        EXPECT_EQ(RunShell("map2img -conf " + Quote(out / "sample_ms8.conf") + " -m " + Quote(map) + " -o " +
                           Quote(picture) + " >/dev/null 2>&1"),
                  0)
            << type;
        EXPECT_TRUE(ReadBytes(picture).starts_with(magic[static_cast<std::size_t>(type)])) << type;
    }
}

// A 3857 box of `half` metres either side of a point of the sample's zone, as BBOX text.
std::string BoxAround(testing::PlanePoint plane, double half) {
    const testing::PlanePoint p = testing::Transform(plane, 30169, "EPSG:3857");
    char bbox[200];
    std::snprintf(bbox, sizeof bbox, "%.3f,%.3f,%.3f,%.3f", p.x - half, p.y - half, p.x + half, p.y + half);
    return bbox;
}

TEST_F(PublishedSample, FeatureInfoAnswersAsUtf8HtmlWithTheBuildingsJapaneseAttributes) {
    const testing::NamedBuilding building = testing::FindNamedBuilding(out / "tatemono_pgn");
    ASSERT_GT(building.depth, 1.0);
    const std::string html = Wms("REQUEST=GetFeatureInfo&CRS=EPSG:3857&BBOX=" + BoxAround(building.inside, 10) +
                                 "&WIDTH=21&HEIGHT=21&I=10&J=10&LAYERS=tatemono,gaiku&QUERY_LAYERS=tatemono,gaiku"
                                 "&STYLES=&FORMAT=image/png&INFO_FORMAT=text/html&FEATURE_COUNT=5");
    EXPECT_NE(html.find("<meta charset=\"UTF-8\">"), std::string::npos) << html;
    EXPECT_NE(html.find("<caption>建物</caption>"), std::string::npos) << html;
    EXPECT_NE(html.find("<tr><th>名称</th><td>" + building.name + "</td></tr>"), std::string::npos) << html;
    EXPECT_NE(html.find("<tr><th>ID</th><td>" + building.id + "</td></tr>"), std::string::npos) << html;
    EXPECT_NE(html.find("<caption>街区</caption>"), std::string::npos) << html;
}

TEST_F(PublishedSample, OgcApiFeaturesServesTheBuildingsWithTheShapefilesCountAndAttributes) {
    const int count = ShapeCount(out / "tatemono_pgn");
    ASSERT_GT(count, 0);
    const std::string items =
        Mapserv("/GRIDORA/ogcapi/collections/tatemono/items", "f=json&limit=" + std::to_string(count + 10));
    EXPECT_NE(items.find("\"numberMatched\":" + std::to_string(count) + ","), std::string::npos) << items.substr(0, 500);
    EXPECT_NE(items.find("\"numberReturned\":" + std::to_string(count) + ","), std::string::npos);
    // One building, attribute by attribute, as its dBASE record holds them (CP932 there).
    const testing::NamedBuilding building = testing::FindNamedBuilding(out / "tatemono_pgn");
    const std::size_t at = items.find("\"tname1\":\"" + building.name + "\"");
    ASSERT_NE(at, std::string::npos) << building.name;
    const std::size_t begin = items.rfind("\"properties\":{", at), end = items.find('}', at);
    const std::string properties = items.substr(begin, end - begin);
    DBFHandle table = DBFOpen((out / "tatemono_pgn").c_str(), "rb");
    ASSERT_NE(table, nullptr);
    const int id_field = DBFGetFieldIndex(table, "id");
    int record = 0;
    while (record < DBFGetRecordCount(table) && (DBFReadStringAttribute(table, record, id_field) != building.id ||
                                                 Cp932ToUtf8(DBFReadStringAttribute(table, record, DBFGetFieldIndex(table, "tname1"))) != building.name))
        ++record;
    ASSERT_LT(record, DBFGetRecordCount(table));
    for (int field = 0; field < DBFGetFieldCount(table); ++field) {
        char name[12] = {};
        DBFGetFieldInfo(table, field, name, nullptr, nullptr);
        const std::string value = Cp932ToUtf8(DBFReadStringAttribute(table, record, field));
        EXPECT_NE(properties.find("\"" + std::string(name) + "\":\"" + value + "\""), std::string::npos)
            << name << " in " << properties;
    }
    DBFClose(table);
    // The HTML pages of Debian's templates.
    EXPECT_NE(Mapserv("/GRIDORA/ogcapi/collections", "f=html").find(">建物</a>"), std::string::npos);
}

TEST_F(PublishedSample, WmsDrawsNoLayerBeyondTheMapsLargestScale) {
    const testing::PlanePoint middle{(FrameBounds(out).min_x + FrameBounds(out).max_x) / 2,
                                     (FrameBounds(out).min_y + FrameBounds(out).max_y) / 2};
    std::string layers;
    for (const std::string& layer : ProducedLayers()) layers += (layers.empty() ? "" : ",") + layer;
    auto draw = [&](double half) {
        return testing::DecodePng(Wms("REQUEST=GetMap&LAYERS=" + layers + "&STYLES=&CRS=EPSG:3857&BBOX=" +
                                      BoxAround(middle, half) + "&WIDTH=400&HEIGHT=400&FORMAT=image/png"));
    };
    const RgbImage near = draw(1000), far = draw(60000);  // 2 km and 120 km across
    ASSERT_EQ(far.width, 400);
    EXPECT_GT(near.CountOtherThan(kWhite), 1000);
    EXPECT_EQ(far.CountOtherThan(kWhite), 0);
}

// A maximum scale of "1/25000" in the settings: the run says so, and the map files it
// writes load (the computed scale stands in for it).
TEST(PublishedSettings, AScaleThatIsNoNumberIsReportedAndTheMapStillLoads) {
    ScratchFolder scratch;
    testing::WriteBytes(scratch / "gridora.Ini", "[MapServer]\r\n" + ToCp932("最大スケール=1/25000\r\n"));
    const fs::path out = scratch / "out";
    ASSERT_EQ(RunShell(Quote(GRIDORA_CLI) + " --settings " + Quote(scratch / "gridora.Ini") + " -o " +
                       Quote(out / "sample.lis") + " " + Quote(kSample / "13101.LZH") + " >/dev/null 2>" +
                       Quote(scratch / "messages.txt")),
              0);
    EXPECT_NE(ReadBytes(scratch / "messages.txt")
                  .find("Map設定「最大スケール」の値「1/25000」は数値ではないため、既定値（地図の範囲から計算）を使います"),
              std::string::npos)
        << ReadBytes(scratch / "messages.txt");
    EXPECT_EQ(RunShell("map2img -conf " + Quote(out / "sample_ms8.conf") + " -m " + Quote(out / "sample_ms8.map") +
                       " -o " + Quote(scratch / "map.png") + " >/dev/null 2>&1"),
              0);
    EXPECT_TRUE(testing::ReadPng(scratch / "map.png").CountOtherThan(kWhite) > 0);
    EXPECT_EQ(ReadBytes(out / "sample.map").find("1/25000"), std::string::npos);
}

}  // namespace
}  // namespace gridora
