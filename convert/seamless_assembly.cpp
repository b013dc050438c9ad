// Expects: in the output folder, per polygon layer the base table <layer>.dbf (or the
// store's table <layer>), the side files <layer>_arc.txt and <layer>_pgn.txt, and
// <layer>_pgn when the sheets wrote it.
// Leaves: the rebuilt polygons appended to <layer>_pgn, the side files and zuyo.txt gone,
// label points in no polygon in the error file.
#include "convert/seamless_assembly.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include <shapefil.h>

#include "convert/attribute_table.h"
#include "convert/buffered_file_hooks.h"
#include "convert/engine_session.h"
#include "convert/layer_catalogue.h"
#include "convert/layer_writers.h"
#include "convert/seamless_shapes.h"
#include "convert/sheet_output.h"
#include "convert/side_file_formats.h"
#include "input/conversion_error.h"
#include "input/data_file.h"
#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "platform/ini_file.h"
#include "ringweld.h"

namespace gridora {
namespace {

// One engine session per layer, sized for the segments of a whole run.
constexpr int32_t kSessionLines = 10000, kSessionArcs = 10000, kSessionPolygons = 10000, kSessionPoints = 20000;
// Every segment enters the engine with these tags.
constexpr int32_t kSegmentEnt = 2, kSegmentLin = 2, kSegmentKey = 2;

struct TableCloser {
    void operator()(DBFInfo* table) const { DBFClose(table); }
};
using SourceTable = std::unique_ptr<DBFInfo, TableCloser>;

void RemoveQuietly(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

// Feeds every segment of an _arc.txt's text to the open engine session.
void PutSegments(std::string_view text) {
    LineReader lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const SegmentLine s = ParseSegmentLine(line);
        rw_put_line(kSegmentEnt, kSegmentLin, s.x1, s.y1, s.x2, s.y2, kSegmentKey);
    }
}

// Splits the segments, removes the duplicates, chains the arcs and traces the polygons,
// each step whatever the one before returned. The first error number a step returned, 0
// when none did; no arc that bounds a face (RW_ERR_NO_ARC_DATA) is an empty layer, not an error.
int32_t TracePolygons() {
    int32_t count = 0;
    int32_t first_error = 0;
    for (int32_t status : {rw_create_miniline_dupcut(&count), rw_create_arcline(&count), rw_create_polygon(&count)})
        if (first_error == 0 && status > 0 && status != RW_ERR_NO_ARC_DATA) first_error = status;
    return first_error;
}

// A layer whose polygons the engine could not all trace: the polygons it made are still
// written, and the labels outside them reach the error file.
void ReportEngineError(std::string_view layer, int32_t status, MessagePort& port) {
    const char* text = "";
    rw_get_errormsg(status, &text);
    port.ShowMessage(ToCp932("error:シームレス処理:") + std::string(layer) + ":" + std::to_string(status) + ":" +
                     text);
}

// Copies the attributes of source record `from` into output record `to`, field by field
// by position: field 0 and every numeric field as an integer, the others as text. A
// field the source lacks or holds empty stays empty.
bool CopyAttributes(DBFHandle source, int from, DBFHandle output, int to) {
    const int source_fields = DBFGetFieldCount(source);
    const int fields = DBFGetFieldCount(output);
    bool ok = true;
    for (int f = 0; f < fields; ++f) {
        if (f >= source_fields || DBFIsAttributeNULL(source, from, f)) {
            ok = DBFWriteNULLAttribute(output, to, f) && ok;
        } else if (f == 0 || DBFGetFieldInfo(output, f, nullptr, nullptr, nullptr) == FTInteger) {
            ok = WriteAttributeInteger(output, to, f, DBFReadIntegerAttribute(source, from, f)) && ok;
        } else {
            const char* text = DBFReadStringAttribute(source, from, f);
            ok = WriteAttributeText(output, to, f, text ? text : "") && ok;
        }
    }
    return ok;
}

// Locates every label in the engine's polygons. Labels in none are counted and written
// to the error file under the layer's name and their line. Returns their number.
int32_t LocateLabels(std::vector<LabelPoint>& labels, std::string_view layer, const std::filesystem::path& error_file,
                     MessagePort& port) {
    std::optional<IniFile> errors;
    const std::string section = ToCp932("ポリゴンが見つからない");
    int32_t missing = 0;
    for (LabelPoint& label : labels) {
        int32_t face = 0;
        if (rw_findxy_polygon(EngineCoordinate(label.x), EngineCoordinate(label.y), &face) == 0 && face > 0) {
            label.face = face;
            continue;
        }
        if (!errors) errors.emplace(error_file);
        errors->WriteString(section, std::string(layer) + std::to_string(label.line), MissingPolygonEntry(label));
        ++missing;
    }
    if (errors && !errors->Save()) ReportUnwritable(error_file, port);
    return missing;
}

struct LayerRun {
    const SeamlessRequest& request;
    ShapeBuffers& shape;
    RunStatistics& statistics;
    MessagePort& port;
};

// Calls `visit` with the label index of every labelled polygon of the engine, its shape
// built in `run.shape`.
template <typename Visit>
void ForEachLabelledPolygon(LayerRun& run, std::span<const LabelPoint> labels, Visit visit) {
    const FirstLabelByFace face_labels(labels);
    int32_t face = 0, count = 0;
    for (int32_t status = rw_first_polygon(&face, &count); status == 0; status = rw_next_polygon(&face, &count)) {
        if (face <= 0) continue;
        const int label = face_labels.FirstLabelOf(face);
        if (label < 0) continue;
        const std::vector<EnginePoint> points = ReadCurrentPolygon();
        BuildPolygonShape(face, points, run.request.donut, run.shape);
        visit(label);
    }
}

// Appends every labelled polygon of the engine to the output; its attributes come from
// the record of the face's first label. The polygons are measured first, so that a layer
// that would take a file past the size limit gets none of them (OutputStopped).
void AppendLabelledPolygons(LayerRun& run, std::span<const LabelPoint> labels, DBFHandle source,
                            OpenOutputFiles::Files& output, const std::filesystem::path& output_base) {
    OutputGrowth growth;
    ForEachLabelledPolygon(run, labels, [&](int) {
        growth.shape_bytes += run.shape.RecordBytes(SHPT_POLYGON);
        ++growth.records;
    });
    CheckOutputGrowth(output, output_base, growth);

    bool ok = true;
    ForEachLabelledPolygon(run, labels, [&](int label) {
        run.statistics.RaiseVertexCount(run.shape.VertexCount());
        const int record = DBFGetRecordCount(output.table.get());
        AppendShape(run.shape, output.shapes.get(), SHPT_POLYGON, output_base, record, run.port);
        ok = CopyAttributes(source, labels[static_cast<std::size_t>(label)].record, output.table.get(), record) && ok;
    });
    if (!ok) ReportUnwritable(output_base, run.port);
    FinishOutput(output, output_base);
}

// Appends every labelled polygon of the engine to the store's _pgn table of the layer.
void AppendLabelledPolygons(LayerRun& run, std::span<const LabelPoint> labels, std::string_view layer) {
    SeamlessPolygonStore& store = *run.request.store;
    store.BeginPolygons(layer);
    ForEachLabelledPolygon(run, labels, [&](int label) {
        run.statistics.RaiseVertexCount(run.shape.VertexCount());
        store.AppendPolygon(run.shape, labels[static_cast<std::size_t>(label)].record);
    });
    store.EndPolygons();
}

// Leaves out, with a message, the labels whose record is not in the base table of
// `records` records.
void DropLabelsWithoutRecord(std::vector<LabelPoint>& labels, int records, const std::filesystem::path& path,
                             MessagePort& port) {
    std::erase_if(labels, [&](const LabelPoint& label) {
        if (label.record >= 0 && label.record < records) return false;
        port.ShowMessage(ToCp932("error:レコード番号が属性テーブルにない:") + PathToCp932(path) + ":" +
                         std::to_string(label.line));
        return true;
    });
}

// Assembles one layer; returns the side files it consumed, which the caller removes once
// the layer's progress is recorded. Whatever stops the layer early leaves them in place.
std::vector<std::filesystem::path> AssembleLayer(LayerRun& run, int index) {
    const std::string_view layer = kSeamlessLayers[static_cast<std::size_t>(index)];
    const std::filesystem::path base = LayerOutputBase(run.request.output_folder, layer);
    const std::filesystem::path segments = Suffixed(base, "_arc.txt");
    const std::filesystem::path label_file = Suffixed(base, "_pgn.txt");
    const std::filesystem::path output_base = Suffixed(base, "_pgn");
    run.statistics.polygon_link_errors[static_cast<std::size_t>(index)] = 0;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(segments, ec)) return {};

    // Whatever stops the layer before its side files are read leaves them in place.
    std::optional<std::string> segment_text = LoadDataFile(segments);
    if (!segment_text) {
        run.port.ShowMessage(ToCp932("error:読み込めない:") + PathToCp932(segments));
        return {};
    }
    SeamlessPolygonStore* store = run.request.store;
    const std::filesystem::path source_path = store ? store->TableLocation(layer) : Suffixed(base, ".dbf");
    SourceTable source(store ? nullptr : DBFOpen(source_path.c_str(), "rb"));
    const int source_records = store ? store->BaseRecordCount(layer) : source ? DBFGetRecordCount(source.get()) : -1;
    if (source_records < 0) {
        run.port.ShowMessage(ToCp932("error:属性テーブルを開けない:") + PathToCp932(source_path));
        return {};
    }
    OpenOutputFiles::Files output;
    if (!store) {
        output = OpenOrCreateOutput(output_base, SHPT_POLYGON, std::string(layer), true, run.request.projection_wkt);
        if (!output.shapes || !output.table) {
            ReportUnwritable(output_base, run.port);
            return {};
        }
    }

    std::vector<LabelPoint> labels = ReadLabelFile(label_file, run.port);
    DropLabelsWithoutRecord(labels, source_records, label_file, run.port);

    const EngineSession session(kSessionLines, kSessionArcs, kSessionPolygons, kSessionPoints);
    PutSegments(*segment_text);
    segment_text.reset();
    if (const int32_t status = TracePolygons(); status > 0) ReportEngineError(layer, status, run.port);

    run.statistics.polygon_link_errors[static_cast<std::size_t>(index)] =
        LocateLabels(labels, layer, run.request.error_file, run.port);
    if (store) {
        AppendLabelledPolygons(run, labels, layer);
    } else {
        AppendLabelledPolygons(run, labels, source.get(), output, output_base);
    }
    // The side files go only once the rebuilt polygons are in their closed files: a run
    // stopped before finds the layer's material whole and can assemble it again.
    output = {};
    return {label_file, segments};
}

}  // namespace

std::vector<LabelPoint> ReadLabelFile(const std::filesystem::path& path, MessagePort& port) {
    std::vector<LabelPoint> labels;
    const std::optional<std::string> text = LoadDataFile(path);
    if (!text) return labels;
    const std::string path_text = PathToCp932(path);
    LineReader lines(*text);
    std::string_view line;
    while (lines.Next(line)) {
        try {
            const LabelLine read = ParseLabelLine(line, SourceLine{path_text, lines.LineNumber()});
            labels.push_back(LabelPoint{read.record, read.x, read.y, lines.LineNumber(), 0});
        } catch (const ConversionError& e) {
            port.ShowMessage(e.Message());
        }
    }
    return labels;
}

FirstLabelByFace::FirstLabelByFace(std::span<const LabelPoint> labels) {
    for (std::size_t i = 0; i < labels.size(); ++i)
        if (labels[i].face != 0) first_.emplace_back(labels[i].face, static_cast<int>(i));
    // By face, and within a face by label index, so the first of each face stays.
    std::sort(first_.begin(), first_.end());
    first_.erase(std::unique(first_.begin(), first_.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
                 first_.end());
}

int FirstLabelByFace::FirstLabelOf(int32_t face) const {
    const auto at = std::lower_bound(first_.begin(), first_.end(), std::pair<int32_t, int>(face, -1));
    return at != first_.end() && at->first == face ? at->second : -1;
}

std::string MissingPolygonEntry(const LabelPoint& label) {
    char text[128];
    std::snprintf(text, sizeof text, "%d,%9.3f,%9.3f", label.record, label.x, label.y);
    return text;
}

void SeamlessAssembly(const SeamlessRequest& request, ShapeBuffers& shape, RunStatistics& statistics,
                      MessagePort& port) {
    LayerRun run{request, shape, statistics, port};
    for (int index = request.first_layer; index < RunStatistics::kSeamlessLayerCount; ++index) {
        std::vector<std::filesystem::path> consumed = AssembleLayer(run, index);
        if (index + 1 == RunStatistics::kSeamlessLayerCount) consumed.push_back(request.output_folder / "zuyo.txt");
        if (request.after_layer) request.after_layer(index + 1, consumed);
        for (const std::filesystem::path& path : consumed) RemoveQuietly(path);
    }
}

}  // namespace gridora
