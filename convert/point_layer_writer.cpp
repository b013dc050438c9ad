// The point layers: stations and control points.
//
// Expects: the sheet's theme folder with the layer's .PNT and .ATR files.
// Leaves: a staged group for the layer's output (point flag); the points in the work arrays.
#include "convert/attribute_file.h"
#include "convert/layer_writers.h"
#include "input/data_readers.h"

namespace gridora {

void WritePointLayer(WriterContext& context, int layer, const std::filesystem::path& sheet_folder,
                     std::string_view layer_name, std::string_view theme_folder,
                     const std::filesystem::path& output_folder) {
    constexpr int kFirstValueField = 3;
    StagedFileGroup& group = context.output.AddGroup(layer, FileFlag::Point);
    StagedShapefile& file = group.shapefiles.emplace_back(LayerOutputBase(output_folder, layer_name), SHPT_POINT,
                                                          std::string(layer_name));
    const std::filesystem::path base = sheet_folder / theme_folder / layer_name;
    // A sheet without the file has no points, rather than those of the file read before.
    if (!ReadPntFile(base, context.arrays, context.port)) context.arrays.pnt_records.Clear();

    std::filesystem::path attributes = base;
    attributes += ".ATR";
    SheetHeader header;
    WalkAttributeFile(attributes, 'P', "error:PNT:", layer_name, header, context.port,
                      [&](const FeatureLine& feature) {
                          StageFeatureRecord(file, feature, header, layer, context.statistics);
                          StageFeatureValues(file, feature, kFirstValueField, file.FieldCount(), layer,
                                             context.statistics);
                          // Points are looked up by the id as given, sign included.
                          if (const PntRecord* point = FindPnt(context.arrays, feature.id))
                              AddStoredPoint(file, header, point->x, point->y);
                          else
                              context.port.ShowMessage(
                                  LineMessage("error:PNTIDが見つからない:", layer_name, feature.line));
                      });
}

}  // namespace gridora
