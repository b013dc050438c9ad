// The line layers: railways, roads and the road nodes.
//
// Expects: the sheet's files named by the dispatch; the work arrays free for reuse.
// Leaves: staged groups for the layer's output (line flag) and, for roads, the node
// output (point flag); the arcs and ties of the theme in the work arrays.
#include "convert/arc_vertices.h"
#include "convert/attribute_file.h"
#include "convert/layer_writers.h"
#include "input/data_file.h"
#include "input/data_readers.h"
#include "input/text_fields.h"

namespace gridora {

namespace {

// Fields of the line layers' tables after the common three.
constexpr int kLineTagField = 3;
constexpr int kFirstLineValueField = 4;
// The road's values fill name … name4; its fields 9 and 10 hold the tie's nodes.
constexpr int kRoadValueFieldEnd = 9;
constexpr int kStartNodeField = 9;
constexpr int kEndNodeField = 10;

std::filesystem::path WithExtension(const std::filesystem::path& base, const char* extension) {
    std::filesystem::path path = base;
    path += extension;
    return path;
}

// Reads the theme's arcs; a sheet without the file has no arcs, rather than those of the
// file read before it.
void ReadThemeArcs(WriterContext& context, const std::filesystem::path& base) {
    if (!ReadArcFile(base, context.arrays, context.port)) {
        context.arrays.arc_records.Clear();
        context.arrays.arc_points.Clear();
    }
}

// Stages one "L" line: the record, and when its arc exists the line tag, the values up to
// `value_field_end` and the arc's vertices in the direction of the id's sign.
void StageLineFeature(WriterContext& context, int layer, std::string_view layer_name, StagedShapefile& file,
                      const FeatureLine& feature, const SheetHeader& header, int value_field_end) {
    StageFeatureRecord(file, feature, header, layer, context.statistics);
    const ArcRecord* arc = FindArc(context.arrays, ArcIdOf(feature.id));
    if (!arc) {
        context.port.ShowMessage(LineMessage("error:ARCIDが見つからない:", layer_name, feature.line));
        return;
    }
    file.SetInteger(kLineTagField, arc->line_tag);
    StageFeatureValues(file, feature, kFirstLineValueField, value_field_end, layer, context.statistics);
    PointTrail trail;
    const int vertices =
        AppendArcVertices(file, context.arrays.arc_points, *arc, feature.id > 0, header, trail);
    context.statistics.RaiseVertexCount(vertices);
}

}  // namespace

void WriteLineLayer(WriterContext& context, int layer, const std::filesystem::path& sheet_folder,
                    std::string_view layer_name, std::string_view theme_folder,
                    const std::filesystem::path& output_folder) {
    StagedFileGroup& group = context.output.AddGroup(layer, FileFlag::Line);
    StagedShapefile& file =
        group.shapefiles.emplace_back(LayerOutputBase(output_folder, layer_name), SHPT_ARC, std::string(layer_name));
    const std::filesystem::path theme = sheet_folder / theme_folder;
    ReadThemeArcs(context, theme / theme_folder);

    SheetHeader header;
    WalkAttributeFile(WithExtension(theme / layer_name, ".ATR"), 'L', "error:ATR:", layer_name, header,
                      context.port, [&](const FeatureLine& feature) {
                          StageLineFeature(context, layer, layer_name, file, feature, header, file.FieldCount());
                      });
}

void WriteRoadLayer(WriterContext& context, int layer, const std::filesystem::path& sheet_folder,
                    std::string_view layer_name, std::string_view arc_file, std::string_view tie_file,
                    std::string_view node_file, const std::filesystem::path& output_folder) {
    const std::filesystem::path road_base = LayerOutputBase(output_folder, layer_name);
    StagedFileGroup& group = context.output.AddGroup(layer, FileFlag::Line);
    StagedShapefile& file = group.shapefiles.emplace_back(road_base, SHPT_ARC, std::string(layer_name));
    // The road's theme folder is named after the layer itself.
    const std::filesystem::path theme = sheet_folder / layer_name;
    if (!ReadTieFile(theme / tie_file, context.arrays)) context.arrays.tie_records.Clear();
    ReadThemeArcs(context, theme / arc_file);

    SheetHeader header;
    WalkAttributeFile(WithExtension(theme / layer_name, ".ATR"), 'L', "error:ATR:", layer_name, header,
                      context.port, [&](const FeatureLine& feature) {
                          StageLineFeature(context, layer, layer_name, file, feature, header, kRoadValueFieldEnd);
                          if (const TieRecord* tie = FindTie(context.arrays, ArcIdOf(feature.id))) {
                              file.SetInteger(kStartNodeField, tie->start_node);
                              file.SetInteger(kEndNodeField, tie->end_node);
                          }
                      });

    WriteNodeLayer(context, layer, theme / node_file, road_base);
}

void WriteNodeLayer(WriterContext& context, int layer, const std::filesystem::path& node_base,
                    const std::filesystem::path& road_output_base) {
    StagedFileGroup& group = context.output.AddGroup(layer, FileFlag::Point);
    std::filesystem::path output_base = road_output_base;
    output_base += "_nod";
    StagedShapefile& file = group.shapefiles.emplace_back(output_base, SHPT_POINT, "NOD");

    const std::filesystem::path path = WithExtension(node_base, ".NOD");
    SheetDataFile nodes;
    if (!nodes.Open(path)) return;
    SheetHeader header;
    nodes.Walk(header, [&](std::string_view first, std::string_view rest) {
        const SourceLine at = nodes.At();
        const int32_t node_id = ParseInteger(first);
        const int32_t tag = ParseInteger(TakeField(rest));
        const int32_t arc_count = ParseInteger(TakeField(rest));
        const double x = RealField(TakeField(rest), at);
        const double y = RealField(TakeField(rest), at);
        const std::string caption = NodeTagCaption(tag);
        for (int32_t k = 0; k < arc_count; ++k) {
            std::string_view arc_line;
            if (!nodes.Lines().Next(arc_line)) break;
            const int32_t arc_id = ParseInteger(TakeField(arc_line));
            file.AddRecord();
            file.SetInteger(0, node_id);
            file.SetText(1, header.sheet_name);
            file.SetText(2, std::to_string(arc_id));
            file.SetInteger(3, tag);
            file.SetText(4, caption);
            file.SetInteger(5, arc_count);
            AddStoredPoint(file, header, x, y);
        }
    });
}

}  // namespace gridora
