// Expects: a GDAL with the GPKG driver; staged sheets and rebuilt polygons as the
// Shapefile writers take them.
// Leaves: RUN.gpkg with one table per layer file, feature ids 1..n in table order, each
// sheet committed whole or not at all; after Finish, a spatial index per table.
#include "convert/geopackage_output.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <shapefil.h>
#include <sqlite3.h>

#include "convert/attribute_table.h"
#include "convert/geopackage_rtree.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"

namespace gridora {

struct GeoPackageOutput::Table {
    OGRLayer* layer = nullptr;
    int shape_type = SHPT_NULL;
    // Reused for every feature written: fields set or NULL each time, so that GDAL keeps
    // one prepared insert statement per table.
    std::unique_ptr<OGRFeature> feature;
    std::vector<int> widths;  // text fields' widths in CP932 bytes; 0 for integer fields
};

namespace {

// SQLite settings for a file that is written in large transactions and only read once
// finished: no sync per commit (the progress record syncs the file when it is made durable;
// the rollback journal still keeps a killed transaction out) and a page cache of 64 MB:
// appends touch few pages, and a larger cache bought no speed (256 MB: the same times at
// 100 sheets) while it stayed resident through the seamless step's peak.
constexpr const char* kSqliteOptions[][2] = {{"OGR_SQLITE_SYNCHRONOUS", "OFF"}, {"OGR_SQLITE_CACHE", "64"}};

// GDAL's own error output stays quiet while this lives; its last message says what failed.
class QuietGdalErrors {
public:
    QuietGdalErrors() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietGdalErrors() { CPLPopErrorHandler(); }
    QuietGdalErrors(const QuietGdalErrors&) = delete;
    QuietGdalErrors& operator=(const QuietGdalErrors&) = delete;
};

// Thread-local GDAL settings for a scope (they are read when a dataset is opened).
class ScopedSqliteOptions {
public:
    ScopedSqliteOptions() {
        for (const auto& [key, value] : kSqliteOptions) {
            const char* before = CPLGetThreadLocalConfigOption(key, nullptr);
            before_.emplace_back(before ? std::optional<std::string>(before) : std::nullopt);
            CPLSetThreadLocalConfigOption(key, value);
        }
    }
    ~ScopedSqliteOptions() {
        for (std::size_t i = 0; i < before_.size(); ++i)
            CPLSetThreadLocalConfigOption(kSqliteOptions[i][0], before_[i] ? before_[i]->c_str() : nullptr);
    }
    ScopedSqliteOptions(const ScopedSqliteOptions&) = delete;
    ScopedSqliteOptions& operator=(const ScopedSqliteOptions&) = delete;

private:
    std::vector<std::optional<std::string>> before_;
};

// Before SQLite's first use in the process: connections without their own mutex and no
// allocation statistics. Every connection of this program (GDAL's dataset, the index
// packer's, PROJ's per context) is used by one thread at a time, and with the serialized
// default a lock pair around each bound value and each allocation cost 6% of a GeoPackage
// run. Once SQLite is in use the calls are refused and it stays serialized.
void RegisterDrivers() {
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        GDALAllRegister();
    });
}

// UTF-8 of a CP932 value as a dBASE reader returns it: cut to the field's width on a
// character boundary, blanks trimmed at both ends; nothing when that leaves it empty.
std::optional<std::string> TableText(std::string_view cp932, int width) {
    std::string cut = TruncateCp932(cp932, static_cast<std::size_t>(std::max(width, 0)));
    const std::size_t first = cut.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    cut = cut.substr(first, cut.find_last_not_of(' ') - first + 1);
    if (std::all_of(cut.begin(), cut.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return cut;
    return Cp932ToUtf8(cut);
}

OGRwkbGeometryType TableGeometryType(int shape_type) {
    switch (shape_type) {
    case SHPT_POINT: return wkbPoint;
    case SHPT_ARC: return wkbLineString;
    case SHPT_POLYGON: return wkbPolygon;
    default: return wkbUnknown;
    }
}

// The geometry GDAL reads from a Shapefile for the shape in `shape`: none without
// vertices; a point; a line, or a multi-line of several parts; a polygon of one ring, or
// the rings organized as the Shapefile reader does (clockwise rings outer).
OGRGeometry* ShapeGeometry(int shape_type, const ShapeBuffers& shape) {
    const int vertices = shape.VertexCount();
    if (vertices == 0) return nullptr;
    const double* x = shape.X().data();
    const double* y = shape.Y().data();
    if (shape_type == SHPT_POINT) return new OGRPoint(x[0], y[0]);
    std::vector<int> starts = shape.PartStarts();
    if (starts.empty()) starts.push_back(0);
    const auto part_size = [&](std::size_t part) {
        return (part + 1 < starts.size() ? starts[part + 1] : vertices) - starts[part];
    };
    if (shape_type == SHPT_ARC) {
        auto line_of = [&](std::size_t part) {
            auto* line = new OGRLineString();
            line->setPoints(part_size(part), x + starts[part], y + starts[part]);
            return line;
        };
        if (starts.size() == 1) return line_of(0);
        auto* lines = new OGRMultiLineString();
        for (std::size_t part = 0; part < starts.size(); ++part) lines->addGeometryDirectly(line_of(part));
        return lines;
    }
    std::vector<OGRGeometry*> rings;
    for (std::size_t part = 0; part < starts.size(); ++part) {
        auto* ring = new OGRLinearRing();
        ring->setPoints(part_size(part), x + starts[part], y + starts[part]);
        auto* polygon = new OGRPolygon();
        polygon->addRingDirectly(ring);
        rings.push_back(polygon);
    }
    if (rings.size() == 1) return rings[0];
    int valid = 0;
    const char* options[] = {"METHOD=ONLY_CCW", nullptr};
    return OGRGeometryFactory::organizePolygons(rings.data(), static_cast<int>(rings.size()), &valid, options);
}

}  // namespace

std::filesystem::path GeoPackagePathOf(const std::filesystem::path& list_file) {
    std::filesystem::path path = list_file;
    return path.replace_extension(".gpkg");
}

GeoPackageOutput::GeoPackageOutput(std::filesystem::path path) : path_(std::move(path)) {
    RegisterDrivers();
    QuietGdalErrors quiet;
    ScopedSqliteOptions options;
    std::error_code ec;
    if (std::filesystem::exists(path_, ec)) {
        const char* drivers[] = {"GPKG", nullptr};
        dataset_.reset(GDALDataset::Open(path_.c_str(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, drivers, nullptr, nullptr));
    } else if (GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG")) {
        dataset_.reset(driver->Create(path_.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    }
    if (!dataset_) Fail("error:書き込めない:");
    for (OGRLayer* layer : dataset_->GetLayers()) {
        const std::string name = layer->GetName();
        auto table = std::make_unique<Table>();
        table->layer = layer;
        switch (wkbFlatten(layer->GetGeomType())) {
        case wkbPoint: table->shape_type = SHPT_POINT; break;
        case wkbLineString: table->shape_type = SHPT_ARC; break;
        default: table->shape_type = SHPT_POLYGON; break;
        }
        OGRFeatureDefn* definition = layer->GetLayerDefn();
        for (int f = 0; f < definition->GetFieldCount(); ++f) {
            const OGRFieldDefn* field = definition->GetFieldDefn(f);
            table->widths.push_back(field->GetType() == OFTString ? field->GetWidth() : 0);
        }
        table->feature = std::make_unique<OGRFeature>(definition);
        // Ids run 1..n, so the largest is the count.
        int64_t count = 0;
        if (OGRLayer* result =
                dataset_->ExecuteSQL(("SELECT MAX(fid) FROM " + SqlIdentifier(name)).c_str(), nullptr, nullptr)) {
            if (OGRFeature* row = result->GetNextFeature()) {
                if (row->IsFieldSetAndNotNull(0)) count = row->GetFieldAsInteger64(0);
                OGRFeature::DestroyFeature(row);
            }
            dataset_->ReleaseResultSet(result);
        }
        counts_[name] = count;
        tables_[name] = std::move(table);
    }
}

GeoPackageOutput::~GeoPackageOutput() { Close(); }

void GeoPackageOutput::Close() {
    QuietGdalErrors quiet;
    tables_.clear();
    polygon_base_ = polygon_output_ = nullptr;
    dataset_.reset();
}

void GeoPackageOutput::Fail(std::string_view what) {
    std::string message = ToCp932(what) + PathToCp932(path_);
    if (const char* reason = CPLGetLastErrorMsg(); reason && *reason) message += ":" + std::string(reason);
    throw OutputStopped(message);
}

GeoPackageOutput::Table* GeoPackageOutput::Find(const std::string& name) {
    auto found = tables_.find(name);
    return found == tables_.end() ? nullptr : found->second.get();
}

GeoPackageOutput::Table& GeoPackageOutput::Create(const std::string& name, int shape_type, const std::string& schema,
                                                  int32_t epsg) {
    // A table of this name from an earlier run that wrote into the same file goes first.
    for (int i = 0; i < dataset_->GetLayerCount(); ++i) {
        if (name != dataset_->GetLayer(i)->GetName()) continue;
        if (dataset_->DeleteLayer(i) != OGRERR_NONE) Fail("error:書き込めない:");
        break;
    }
    tables_.erase(name);
    counts_.erase(name);
    OGRSpatialReference srs;
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const bool has_srs = epsg > 0 && srs.importFromEPSG(epsg) == OGRERR_NONE;
    // The spatial index comes once, at the end: maintained per feature, it costs more than
    // the features.
    const char* options[] = {"SPATIAL_INDEX=NO", "FID=fid", "GEOMETRY_NAME=geom", nullptr};
    OGRLayer* layer = dataset_->CreateLayer(name.c_str(), has_srs ? &srs : nullptr, TableGeometryType(shape_type),
                                            const_cast<char**>(options));
    if (!layer) Fail("error:書き込めない:");
    auto table = std::make_unique<Table>();
    table->layer = layer;
    table->shape_type = shape_type;
    for (const FieldSpec& layer_field : LayerFields(schema)) {
        OGRFieldDefn field(std::string(layer_field.name).c_str(),
                           layer_field.type == FieldType::Integer ? OFTInteger64 : OFTString);
        // A GeoPackage column of integers has no width, so none is given.
        if (layer_field.type != FieldType::Integer) field.SetWidth(layer_field.width);
        if (layer->CreateField(&field) != OGRERR_NONE) Fail("error:書き込めない:");
        table->widths.push_back(layer_field.type == FieldType::Integer ? 0 : layer_field.width);
    }
    table->feature = std::make_unique<OGRFeature>(layer->GetLayerDefn());
    counts_[name] = 0;
    return *(tables_[name] = std::move(table));
}

void GeoPackageOutput::WriteSheet(const SheetOutput& output, LayerFilesMade& files_made, int32_t epsg,
                                  ShapeBuffers& buffers, MessagePort& port) {
    if (!dataset_) Fail("error:書き込めない:");
    QuietGdalErrors quiet;
    if (dataset_->StartTransaction(FALSE) != OGRERR_NONE) Fail("error:書き込めない:");
    // Counts and flags change only once the sheet is committed.
    const std::map<std::string, int64_t> counts_before = counts_;
    LayerFilesMade made_then = files_made;
    struct SideFile {
        const StagedSideFile* file;
        bool made;
        int first_record;
    };
    std::vector<SideFile> side_files;
    try {
        for (const StagedFileGroup& group : output.groups) {
            bool& made = FileMadeFlag(made_then, group.layer, group.flag);
            int first_record = -1;
            for (std::size_t i = 0; i < group.shapefiles.size(); ++i) {
                const StagedShapefile& staged = group.shapefiles[i];
                const std::string name = PathToCp932(staged.Base().filename());
                Table* table = made ? Find(name) : nullptr;
                if (!table) table = &Create(name, staged.ShapeType(), staged.Schema(), epsg);
                int64_t& count = counts_[name];
                if (i == 0) first_record = static_cast<int>(count);
                OGRFeature& feature = *table->feature;
                const int fields = static_cast<int>(table->widths.size());
                for (int r = 0; r < staged.RecordCount(); ++r) {
                    for (int f = 0; f < fields; ++f) feature.SetFieldNull(f);
                    for (const StagedShapefile::Value& value : staged.Values(r)) {
                        if (value.field >= fields) continue;
                        if (value.is_integer) {
                            feature.SetField(value.field, static_cast<GIntBig>(value.integer));
                        } else if (const std::optional<std::string> text =
                                       TableText(value.text, table->widths[static_cast<std::size_t>(value.field)])) {
                            feature.SetField(value.field, text->c_str());
                        } else {
                            feature.SetFieldNull(value.field);
                        }
                    }
                    staged.FillShape(r, buffers);
                    feature.SetGeometryDirectly(ShapeGeometry(table->shape_type, buffers));
                    feature.SetFID(count + 1);
                    if (table->layer->CreateFeature(&feature) != OGRERR_NONE) Fail("error:書き込めない:");
                    ++count;
                }
            }
            if (group.has_side_file) side_files.push_back({&group.side_file, made, first_record});
            made = true;
        }
        if (dataset_->CommitTransaction() != OGRERR_NONE) Fail("error:書き込めない:");
    } catch (const OutputStopped&) {
        dataset_->RollbackTransaction();
        // Tables created in the sheet are gone with it; the others hold what they held.
        for (auto it = tables_.begin(); it != tables_.end();) {
            if (counts_before.contains(it->first)) {
                ++it;
            } else {
                it = tables_.erase(it);
            }
        }
        counts_ = counts_before;
        throw;
    }
    files_made = made_then;
    for (const SideFile& side : side_files) WriteSideFile(*side.file, side.made, side.first_record, port);
}

std::string GeoPackageOutput::CutBackTo(const std::map<std::string, int64_t>& counts) {
    QuietGdalErrors quiet;
    for (const auto& [name, count] : counts) {
        if (!tables_.contains(name) || counts_[name] < count)
            return ToCp932("error:中断した変換の出力が足りない:") + PathToCp932(path_) + ":" + name;
    }
    for (int i = dataset_->GetLayerCount() - 1; i >= 0; --i) {
        const std::string name = dataset_->GetLayer(i)->GetName();
        if (counts.contains(name)) continue;
        if (dataset_->DeleteLayer(i) != OGRERR_NONE) return ToCp932("error:書き込めない:") + PathToCp932(path_);
        tables_.erase(name);
        counts_.erase(name);
    }
    for (const auto& [name, count] : counts) {
        if (counts_[name] == count) continue;
        Table& table = *tables_.at(name);
        // Through GDAL's layer, so that the counts it keeps follow.
        table.layer->SetAttributeFilter(("fid > " + std::to_string(count)).c_str());
        std::vector<GIntBig> extra;
        table.layer->ResetReading();
        while (OGRFeature* feature = table.layer->GetNextFeature()) {
            extra.push_back(feature->GetFID());
            OGRFeature::DestroyFeature(feature);
        }
        table.layer->SetAttributeFilter(nullptr);
        for (GIntBig fid : extra)
            if (table.layer->DeleteFeature(fid) != OGRERR_NONE)
                return ToCp932("error:書き込めない:") + PathToCp932(path_) + ":" + name;
        counts_[name] = count;
    }
    return {};
}

void GeoPackageOutput::Finish() {
    if (!dataset_) return;
    std::vector<SpatialIndexTable> indexed;
    {
        QuietGdalErrors quiet;
        for (const auto& [name, table] : tables_) {
            const std::string geometry = table->layer->GetGeometryColumn();
            if (!geometry.empty()) indexed.push_back({name, geometry, table->layer->GetFIDColumn()});
        }
        tables_.clear();
        polygon_base_ = polygon_output_ = nullptr;
        dataset_.reset();
        if (CPLGetLastErrorType() >= CE_Failure) Fail("error:書き込めない:");
    }
    // Once GDAL has closed the file: the indexes are packed on a connection of their own.
    if (const std::string reason = BuildSpatialIndexes(path_, indexed); !reason.empty())
        throw OutputStopped(ToCp932("error:書き込めない:") + PathToCp932(path_) + ":" + reason);
}

int GeoPackageOutput::BaseRecordCount(std::string_view layer) {
    auto found = counts_.find(std::string(layer));
    return found == counts_.end() ? -1 : static_cast<int>(found->second);
}

std::filesystem::path GeoPackageOutput::TableLocation(std::string_view table) const {
    return path_ / std::string(table);
}

void GeoPackageOutput::BeginPolygons(std::string_view layer) {
    if (!dataset_) Fail("error:書き込めない:");
    QuietGdalErrors quiet;
    const std::string name(layer);
    polygon_base_ = Find(name);
    if (!polygon_base_) Fail("error:属性テーブルを開けない:");
    if (dataset_->StartTransaction(FALSE) != OGRERR_NONE) Fail("error:書き込めない:");
    polygon_output_ = Find(name + "_pgn");
    if (!polygon_output_) {
        int32_t epsg = 0;
        if (const OGRSpatialReference* srs = polygon_base_->layer->GetSpatialRef())
            if (const char* code = srs->GetAuthorityCode(nullptr)) epsg = std::atoi(code);
        polygon_output_ = &Create(name + "_pgn", SHPT_POLYGON, name, epsg);
    }
}

void GeoPackageOutput::AppendPolygon(const ShapeBuffers& shape, int base_record) {
    QuietGdalErrors quiet;
    Table& output = *polygon_output_;
    const std::string name = output.layer->GetName();
    OGRFeature& feature = *output.feature;
    std::unique_ptr<OGRFeature> source(polygon_base_->layer->GetFeature(base_record + 1));
    const int fields = static_cast<int>(output.widths.size());
    for (int f = 0; f < fields; ++f) {
        if (source && f < source->GetFieldCount() && source->IsFieldSetAndNotNull(f)) {
            feature.SetField(f, source->GetRawFieldRef(f));
        } else {
            feature.SetFieldNull(f);
        }
    }
    feature.SetGeometryDirectly(ShapeGeometry(SHPT_POLYGON, shape));
    int64_t& count = counts_[name];
    feature.SetFID(count + 1);
    if (output.layer->CreateFeature(&feature) != OGRERR_NONE) {
        dataset_->RollbackTransaction();
        Fail("error:書き込めない:");
    }
    ++count;
}

void GeoPackageOutput::EndPolygons() {
    QuietGdalErrors quiet;
    polygon_base_ = polygon_output_ = nullptr;
    if (dataset_->CommitTransaction() != OGRERR_NONE) Fail("error:書き込めない:");
}

}  // namespace gridora
