// The sheet frame: one record and one polygon per sheet, and its four edges in zuyo.txt.
//
// Expects: the corner texts of description line 7 (upper-left and lower-right already
// derived where missing) and the run's coordinate system, fixed by that line.
// Leaves: a staged group for "zuyo" and "zuyo.txt" (polygon flag of the frame entry).
#include "convert/layer_writers.h"
#include "input/text_fields.h"

namespace gridora {

namespace {

std::string CornerText(const std::string& x, const std::string& y) { return x + " " + y; }

std::string EdgeLine(const std::string& x1, const std::string& y1, const std::string& x2, const std::string& y2) {
    return x1 + "," + y1 + "," + x2 + "," + y2;
}

}  // namespace

void WriteFrameLayer(WriterContext& context, int layer, std::string_view layer_name,
                     const std::filesystem::path& output_folder, const CornerTexts& corners, const FrameTexts& texts,
                     const RunCoordinateSystem& system, const SourceLine& corners_at) {
    // Converted first, so that a corner that is not a number stages nothing.
    const double ll_x = RealField(corners.lower_left_x, corners_at);
    const double ll_y = RealField(corners.lower_left_y, corners_at);
    const double ul_x = RealField(corners.upper_left_x, corners_at);
    const double ul_y = RealField(corners.upper_left_y, corners_at);
    const double ur_x = RealField(corners.upper_right_x, corners_at);
    const double ur_y = RealField(corners.upper_right_y, corners_at);
    const double lr_x = RealField(corners.lower_right_x, corners_at);
    const double lr_y = RealField(corners.lower_right_y, corners_at);

    const std::filesystem::path base = LayerOutputBase(output_folder, layer_name);
    StagedFileGroup& group = context.output.AddGroup(layer, FileFlag::Polygon);
    StagedShapefile& file = group.shapefiles.emplace_back(base, SHPT_POLYGON, std::string(layer_name));
    group.has_side_file = true;
    group.side_file.path = base;
    group.side_file.path += ".txt";

    file.AddRecord();
    const std::string values[] = {
        texts.municipality_code,
        texts.sheet_name,
        texts.creation_date,
        texts.map_history,
        texts.level,
        texts.coordinate_unit,
        texts.adjacent_sheets,
        CoordinateSystemName(system.number),
        DatumText(system.datum_flag),
        CornerText(corners.lower_left_x, corners.lower_left_y),
        CornerText(corners.upper_right_x, corners.upper_right_y),
        CornerText(corners.upper_left_x, corners.upper_left_y),
        CornerText(corners.lower_right_x, corners.lower_right_y),
    };
    for (int field = 0; field < static_cast<int>(std::size(values)); ++field) file.SetText(field, values[field]);

    // Lower-left, upper-left, upper-right, lower-right and back: x east, y north.
    file.AddVertex(ll_y, ll_x);
    file.AddVertex(ul_y, ul_x);
    file.AddVertex(ur_y, ur_x);
    file.AddVertex(lr_y, lr_x);
    file.AddVertex(ll_y, ll_x);

    const CornerTexts& c = corners;
    for (std::string line : {EdgeLine(c.lower_left_x, c.lower_left_y, c.upper_left_x, c.upper_left_y),
                             EdgeLine(c.upper_left_x, c.upper_left_y, c.upper_right_x, c.upper_right_y),
                             EdgeLine(c.upper_right_x, c.upper_right_y, c.lower_right_x, c.lower_right_y),
                             EdgeLine(c.lower_right_x, c.lower_right_y, c.lower_left_x, c.lower_left_y)})
        group.side_file.lines.push_back({-1, std::move(line)});
}

}  // namespace gridora
