// gridora-cli --format gpkg against the Shapefile run of the same sheets: GDAL reads from
// RUN.gpkg every layer the Shapefiles hold, with the same fields and types, features,
// attribute values (the Shapefiles' CP932 decoded) and geometries (WKB), each table in the
// run's EPSG code and spatially indexed; ogrinfo and SQLite find the file sound. A
// GeoPackage run stopped or killed and resumed gives the same tables as an uninterrupted one.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/lha_writer_helpers.h"
#include "scratch_folder.h"

extern char** environ;

namespace gridora {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::ReadBytes;

const fs::path kData = fs::path(GRIDORA_SOURCE_DIR) / "data";

// A layer as GDAL reads it: the field names and types, the SRS's EPSG code, whether it has
// a spatial index (GeoPackage), and per feature its values ("<null>" when NULL) and, after
// "#", its WKB in hexadecimal.
struct LayerContent {
    std::string fields;
    std::string epsg;
    bool indexed = false;
    std::vector<std::string> features;
};
using DatasetContent = std::map<std::string, LayerContent>;

// Every layer of a GeoPackage, or of a folder of Shapefiles.
DatasetContent ReadDataset(const fs::path& path) {
    GDALAllRegister();
    DatasetContent content;
    GDALDatasetUniquePtr dataset(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!dataset) return content;
    const bool geopackage = path.extension() == ".gpkg";
    for (OGRLayer* layer : dataset->GetLayers()) {
        LayerContent& read = content[layer->GetName()];
        OGRFeatureDefn* definition = layer->GetLayerDefn();
        for (int f = 0; f < definition->GetFieldCount(); ++f)
            read.fields += std::string(definition->GetFieldDefn(f)->GetNameRef()) + ":" +
                           OGRFieldDefn::GetFieldTypeName(definition->GetFieldDefn(f)->GetType()) + " ";
        if (const OGRSpatialReference* srs = layer->GetSpatialRef())
            if (const char* code = srs->GetAuthorityCode(nullptr)) read.epsg = code;
        if (geopackage) {
            const std::string sql = "SELECT HasSpatialIndex('" + std::string(layer->GetName()) + "', 'geom')";
            if (OGRLayer* result = dataset->ExecuteSQL(sql.c_str(), nullptr, nullptr)) {
                if (OGRFeature* row = result->GetNextFeature()) {
                    read.indexed = row->GetFieldAsInteger(0) == 1;
                    OGRFeature::DestroyFeature(row);
                }
                dataset->ReleaseResultSet(result);
            }
        }
        for (auto& feature : *layer) {
            std::string text;
            for (int f = 0; f < feature->GetFieldCount(); ++f)
                text += (feature->IsFieldSetAndNotNull(f) ? feature->GetFieldAsString(f) : "<null>") + std::string("|");
            text += "#";
            if (const OGRGeometry* geometry = feature->GetGeometryRef()) {
                std::vector<unsigned char> wkb(static_cast<std::size_t>(geometry->WkbSize()));
                geometry->exportToWkb(wkbNDR, wkb.data(), wkbVariantIso);
                static const char digits[] = "0123456789abcdef";
                for (unsigned char byte : wkb) text += {digits[byte >> 4], digits[byte & 15]};
            }
            read.features.push_back(text);
        }
    }
    return content;
}

// The first difference between two datasets' layers, or nothing.
std::string FirstDifference(const DatasetContent& expected, const DatasetContent& actual) {
    if (expected.size() != actual.size())
        return std::to_string(expected.size()) + " layers against " + std::to_string(actual.size());
    for (const auto& [name, want] : expected) {
        auto found = actual.find(name);
        if (found == actual.end()) return "no layer " + name;
        const LayerContent& got = found->second;
        if (want.fields != got.fields) return name + ": fields " + want.fields + " against " + got.fields;
        if (want.features.size() != got.features.size())
            return name + ": " + std::to_string(want.features.size()) + " features against " +
                   std::to_string(got.features.size());
        for (std::size_t i = 0; i < want.features.size(); ++i)
            if (want.features[i] != got.features[i]) return name + ": feature " + std::to_string(i) + " differs";
    }
    return {};
}

// A text of the first row of a query's result, empty when there is none.
std::string FirstRow(GDALDataset& dataset, const std::string& sql) {
    std::string text;
    if (OGRLayer* result = dataset.ExecuteSQL(sql.c_str(), nullptr, nullptr)) {
        if (OGRFeature* row = result->GetNextFeature()) {
            for (int f = 0; f < row->GetFieldCount(); ++f) text += std::string(row->GetFieldAsString(f)) + "|";
            OGRFeature::DestroyFeature(row);
        }
        dataset.ReleaseResultSet(result);
    }
    return text;
}

// Per table of a GeoPackage, its spatial index's rows (id and box, by id) and SQLite's
// rtreecheck of the tree; with `rebuilt`, of an index GDAL builds afresh in the file.
std::map<std::string, std::pair<std::string, std::string>> SpatialIndexes(const fs::path& path, bool rebuilt) {
    std::map<std::string, std::pair<std::string, std::string>> indexes;
    GDALDatasetUniquePtr dataset(
        GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | (rebuilt ? GDAL_OF_UPDATE : GDAL_OF_READONLY)));
    if (!dataset) return indexes;
    std::vector<std::string> names;
    for (OGRLayer* layer : dataset->GetLayers()) names.push_back(layer->GetName());
    for (const std::string& name : names) {
        const std::string rtree = "rtree_" + name + "_geom";
        if (rebuilt) {
            FirstRow(*dataset, "SELECT DisableSpatialIndex('" + name + "', 'geom')");
            FirstRow(*dataset, "SELECT CreateSpatialIndex('" + name + "', 'geom')");
        }
        std::string rows;
        if (OGRLayer* result =
                dataset->ExecuteSQL(("SELECT id, minx, maxx, miny, maxy FROM " + rtree + " ORDER BY id").c_str(), nullptr, nullptr)) {
            for (auto& row : *result)
                for (int f = 0; f < 5; ++f) rows += std::string(row->GetFieldAsString(f)) + (f == 4 ? "\n" : ",");
            dataset->ReleaseResultSet(result);
        }
        indexes[name] = {rows, FirstRow(*dataset, "SELECT rtreecheck('" + rtree + "')")};
    }
    return indexes;
}

bool HasNonAscii(const DatasetContent& content) {
    for (const auto& [name, layer] : content)
        for (const std::string& feature : layer.features) {
            const std::string values = feature.substr(0, feature.rfind('#'));
            for (unsigned char c : values)
                if (c >= 0x80) return true;
        }
    return false;
}

// The three reference inputs, converted to both formats.
class GeoPackageOutput : public ::testing::Test {
protected:
    // A generated 6x6 grid of sheets in two archives, of sheetgen's `density`.
    std::vector<fs::path> Grid(const std::string& density) {
        const fs::path sheets = folder / density;
        const std::string generate = std::string(SHEETGEN_PROGRAM) + " -q -o '" + sheets.native() +
                                     "' --grid 09LD171:6x6 --density " + density +
                                     " --city 13101:千代田区 --city 13102:中央区";
        EXPECT_EQ(std::system(generate.c_str()), 0);
        std::vector<fs::path> archives;
        for (const char* code : {"13101", "13102"}) {
            archives.push_back(folder / density / (std::string(code) + ".LZH"));
            testing::WriteLhaArchive(archives.back(), testing::FolderMembers(sheets / code));
        }
        return archives;
    }

    // gridora-cli with `arguments` and the sources, in a process of its own; stderr kept.
    pid_t Start(const fs::path& out, const std::vector<std::string>& options, const std::vector<fs::path>& sources) {
        std::vector<std::string> arguments = {GRIDORA_CLI, "-o", (out / "run.lis").native(), "--settings",
                                              (folder / "gridora.Ini").native()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        for (const fs::path& s : sources) arguments.push_back(s.native());
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, (folder / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        posix_spawn(&pid, GRIDORA_CLI, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    static int Wait(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int Convert(const fs::path& out, const std::vector<std::string>& options, const std::vector<fs::path>& sources) {
        return Wait(Start(out, options, sources));
    }

    testing::ScratchFolder folder;
};

TEST_F(GeoPackageOutput, EveryInputGivesTheShapefilesLayersAsTablesInOneSoundFile) {
    std::vector<fs::path> bad;
    for (const auto& entry : fs::recursive_directory_iterator(kData / "sample-bad"))
        if (entry.path().extension() == ".TXT") bad.push_back(entry.path());
    std::sort(bad.begin(), bad.end());
    const struct {
        const char* name;
        std::vector<fs::path> sources;
    } inputs[] = {{"sample", {kData / "sample/13101.LZH", kData / "sample/13102.LZH"}},
                  {"sample-bad", bad},
                  {"grid", Grid("normal")}};
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.name);
        const fs::path shp = folder / input.name / "shp", gpkg = folder / input.name / "gpkg";
        const int shp_status = Convert(shp, {}, input.sources);
        EXPECT_EQ(Convert(gpkg, {"--format", "gpkg"}, input.sources), shp_status) << ReadBytes(folder / "stderr");
        const DatasetContent from_shapefiles = ReadDataset(shp);
        const DatasetContent from_geopackage = ReadDataset(gpkg / "run.gpkg");
        ASSERT_GE(from_shapefiles.size(), 10u);
        EXPECT_EQ(FirstDifference(from_shapefiles, from_geopackage), "");
        EXPECT_TRUE(HasNonAscii(from_geopackage));  // Japanese text came through
        for (const auto& [name, layer] : from_geopackage) {
            EXPECT_EQ(layer.epsg, from_geopackage.at("zuyo").epsg) << name;
            EXPECT_TRUE(layer.indexed) << name;
        }
        EXPECT_EQ(from_geopackage.at("zuyo").epsg, "30169");

        // Nothing but the layers differs in what the two runs leave.
        std::vector<std::string> shp_files, gpkg_files;
        const std::set<fs::path> layer_files = {".shp", ".shx", ".dbf", ".prj", ".cpg"};
        for (const auto& entry : fs::directory_iterator(shp))
            if (!layer_files.contains(entry.path().extension())) shp_files.push_back(entry.path().filename());
        for (const auto& entry : fs::directory_iterator(gpkg))
            if (entry.path().extension() != ".gpkg") gpkg_files.push_back(entry.path().filename());
        std::sort(shp_files.begin(), shp_files.end());
        std::sort(gpkg_files.begin(), gpkg_files.end());
        EXPECT_EQ(shp_files, gpkg_files);
        EXPECT_EQ(ReadBytes(shp / "run.lis"), ReadBytes(gpkg / "run.lis"));

        // ogrinfo opens it without a complaint, and SQLite finds it whole.
        const std::string check = "ogrinfo -ro -al -so '" + (gpkg / "run.gpkg").native() + "' > '" +
                                  (folder / "ogrinfo.log").native() + "' 2>&1";
        EXPECT_EQ(std::system(check.c_str()), 0);
        const std::string log = ReadBytes(folder / "ogrinfo.log");
        EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
        EXPECT_EQ(log.find("Warning"), std::string::npos) << log;
        const std::string integrity = "ogrinfo -ro '" + (gpkg / "run.gpkg").native() +
                                      "' -sql 'PRAGMA integrity_check' > '" + (folder / "integrity.log").native() + "'";
        EXPECT_EQ(std::system(integrity.c_str()), 0);
        EXPECT_NE(ReadBytes(folder / "integrity.log").find("= ok"), std::string::npos);

        // The packed spatial indexes hold the boxes GDAL's own would, in trees SQLite finds sound.
        fs::copy_file(gpkg / "run.gpkg", folder / input.name / "by_gdal.gpkg");
        const auto packed = SpatialIndexes(gpkg / "run.gpkg", false);
        const auto by_gdal = SpatialIndexes(folder / input.name / "by_gdal.gpkg", true);
        ASSERT_EQ(packed.size(), from_geopackage.size());
        for (const auto& [name, index] : packed) {
            EXPECT_EQ(index.second, "ok|") << name;
            EXPECT_EQ(index.first, by_gdal.at(name).first) << name;
            const auto& features = from_geopackage.at(name).features;
            EXPECT_EQ(std::count(index.first.begin(), index.first.end(), '\n'),
                      std::count_if(features.begin(), features.end(), [](const std::string& f) { return f.back() != '#'; }))
                << name;
        }
    }
}

TEST_F(GeoPackageOutput, AStoppedOrKilledRunResumesToTheTablesOfAnUninterruptedOne) {
    const std::vector<fs::path> grid = Grid("sparse");
    const fs::path out = folder / "out";
    const std::vector<std::string> gpkg = {"--format", "gpkg"};
    const auto start = Clock::now();
    ASSERT_EQ(Convert(out, gpkg, grid), 0) << ReadBytes(folder / "stderr");
    const double run_seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const DatasetContent complete = ReadDataset(out / "run.gpkg");
    ASSERT_FALSE(complete.empty());

    // Stopped at a sheet boundary, then resumed; a resume in the other format is refused.
    fs::remove_all(out);
    const pid_t run = Start(out, gpkg, grid);
    const fs::path progress = out / ".gridora-stage-run.lis/PROGRESS";
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!fs::exists(progress) && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(run, SIGINT);
    EXPECT_EQ(Wait(run), 130);
    EXPECT_EQ(Convert(out, {"--resume"}, grid), 2);
    std::vector<std::string> resume = gpkg;
    resume.push_back("--resume");
    EXPECT_EQ(Convert(out, resume, grid), 0) << ReadBytes(folder / "stderr");
    EXPECT_EQ(FirstDifference(complete, ReadDataset(out / "run.gpkg")), "");

    // Killed in the middle of a sheet's transaction or of the seamless step.
    for (const double moment : {0.3, 0.6, 0.85}) {
        SCOPED_TRACE("killed at " + std::to_string(moment) + " of the run");
        fs::remove_all(out);
        const pid_t killed = Start(out, gpkg, grid);
        std::this_thread::sleep_for(std::chrono::duration<double>(run_seconds * moment));
        kill(killed, SIGKILL);
        Wait(killed);
        const bool staged = fs::exists(out / ".gridora-stage-run.lis");
        EXPECT_EQ(Convert(out, staged ? resume : gpkg, grid), 0) << ReadBytes(folder / "stderr");
        EXPECT_EQ(FirstDifference(complete, ReadDataset(out / "run.gpkg")), "");
    }
}

}  // namespace
}  // namespace gridora
