// The run's layers in one GeoPackage instead of Shapefiles, written through GDAL.
//
// RUN.gpkg (the list file's name) holds one table per layer file, named as its Shapefile
// would be (tatemono, tatemono_arc, tatemono_pgn, ...), with the fields of the layer's
// schema in the same order and widths (text converted from CP932 to UTF-8), the features
// in the order the Shapefile would hold them, and each shape as GDAL reads it from a
// Shapefile: a point, a line (several parts: a multi-line), a polygon (several rings:
// organized into a polygon with holes or a multi-polygon). Text that a dBASE table would
// pad or leave empty reads the same: cut to the field's width, trimmed of blanks, NULL
// when empty. Every table carries the run's EPSG code as its spatial reference.
//
// Feature ids run 1, 2, ... in table order, so record n of a layer (as the side files
// number records) is feature n + 1, and a resumed run cuts a table back to a count and
// goes on with the same ids. Each sheet is written in one transaction; the spatial
// indexes are built once, by Finish, after the last feature.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "convert/layer_catalogue.h"
#include "convert/seamless_assembly.h"
#include "convert/shape_buffers.h"
#include "convert/sheet_output.h"
#include "platform/message_port.h"

class GDALDataset;

namespace gridora {

// What a run writes its layers into.
enum class OutputFormat { kShapefile, kGeoPackage };

// The GeoPackage of a list file: its path with the extension ".gpkg".
std::filesystem::path GeoPackagePathOf(const std::filesystem::path& list_file);

class GeoPackageOutput : public SeamlessPolygonStore {
public:
    // Opens the GeoPackage `path` for update, creating it when it does not exist. Throws
    // OutputStopped (naming the file and GDAL's reason) when it can be neither.
    explicit GeoPackageOutput(std::filesystem::path path);
    ~GeoPackageOutput() override;
    GeoPackageOutput(const GeoPackageOutput&) = delete;
    GeoPackageOutput& operator=(const GeoPackageOutput&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Writes a staged sheet in one transaction, as WriteSheetOutput writes Shapefiles: a
    // group whose file-made flag is clear creates its tables (replacing tables of that name
    // left by an earlier run), otherwise appends to them; the flags are set afterwards. New
    // tables take `epsg` (0: none). Side files are written once the sheet is committed, with
    // the table's feature count before the sheet as the first record. Throws OutputStopped,
    // with nothing of the sheet in the tables, when GDAL refuses a table or a feature.
    void WriteSheet(const SheetOutput& output, LayerFilesMade& files_made, int32_t epsg, ShapeBuffers& buffers,
                    MessagePort& port);

    // The features of every table, by table name.
    const std::map<std::string, int64_t>& FeatureCounts() const { return counts_; }
    // Cuts the tables back to `counts`: the features after a table's count are deleted and
    // tables not named are dropped. An empty text when it succeeded, else why not (CP932),
    // a table holding fewer features than its count included.
    std::string CutBackTo(const std::map<std::string, int64_t>& counts);

    // Closes the file and builds the spatial index of every table that has none (packed
    // in one pass, geopackage_rtree.h); the object takes nothing more. Throws OutputStopped
    // when GDAL or SQLite fails.
    void Finish();
    // Closes the file as it stands (every sheet written is committed); the object takes
    // nothing more. The destructor does the same.
    void Close();

    // SeamlessPolygonStore: the seamless step's base tables and _pgn tables.
    int BaseRecordCount(std::string_view layer) override;
    std::filesystem::path TableLocation(std::string_view table) const override;
    void BeginPolygons(std::string_view layer) override;
    void AppendPolygon(const ShapeBuffers& shape, int base_record) override;
    void EndPolygons() override;

private:
    struct Table;
    Table* Find(const std::string& name);
    Table& Create(const std::string& name, int shape_type, const std::string& schema, int32_t epsg);
    [[noreturn]] void Fail(std::string_view what);

    std::filesystem::path path_;
    std::unique_ptr<GDALDataset> dataset_;
    std::map<std::string, std::unique_ptr<Table>> tables_;
    std::map<std::string, int64_t> counts_;
    // While the seamless step appends polygons: the base table and its _pgn table.
    Table* polygon_base_ = nullptr;
    Table* polygon_output_ = nullptr;
};

}  // namespace gridora
