// Expects: a run state whose coordinate system is -1 or fixed by an earlier sheet.
// Leaves: the sheet's layers written or appended to the output folder, the run's
// coordinate system, corner texts, extent and statistics updated, all only when the sheet
// was converted whole.
#include "convert/sheet_dispatch.h"

#include <optional>
#include <string>

#include "convert/layer_writers.h"
#include "convert/sheet_output.h"
#include "input/conversion_error.h"
#include "input/data_file.h"
#include "input/sheet_description.h"
#include "input/text_fields.h"
#include "platform/file_lookup.h"

namespace gridora {

namespace {

constexpr int kCoordinateLine = 7;
constexpr int kFrameLine = 10;
constexpr int kFirstFileLine = 11;

// What the sheet changes in the run, kept apart until the sheet is complete.
struct SheetConversion {
    RunCoordinateSystem coordinate_system;
    CornerTexts corners;
    RunExtent extent;
    RunStatistics statistics;
    SheetOutput output;
};

// Starts the writer of a listed attribute file whose base name is the layer file of a
// catalogue layer (byte for byte); other files start nothing.
void DispatchListedFile(WriterContext& context, const ListedFile& file, const std::filesystem::path& sheet_folder,
                        const std::filesystem::path& output_folder) {
    if (file.extension != ".ATR") return;
    for (int layer = 0; layer < kLayerCount; ++layer) {
        const LayerEntry& entry = LayerCatalogue[static_cast<std::size_t>(layer)];
        if (entry.layer_file != file.base_name) continue;
        switch (entry.kind) {
        case LayerKind::Polygon:
            WritePolygonLayer(context, layer, sheet_folder, entry.layer_file, entry.folder, output_folder);
            return;
        case LayerKind::Line:
            WriteLineLayer(context, layer, sheet_folder, entry.layer_file, entry.folder, output_folder);
            return;
        case LayerKind::Road:
            WriteRoadLayer(context, layer, sheet_folder, entry.layer_file, entry.arc_file, entry.tie_file,
                           entry.node_file, output_folder);
            return;
        case LayerKind::Point:
            WritePointLayer(context, layer, sheet_folder, entry.layer_file, entry.folder, output_folder);
            return;
        case LayerKind::Frame:
            return;  // drawn from line 10, never from a file name
        }
    }
}

}  // namespace

SheetOutcome ConvertSheet(const std::filesystem::path& description, std::string_view municipality_code,
                          const std::filesystem::path& list_file, SheetConversionState& run, MessagePort& port) {
    const std::filesystem::path output_folder = list_file.parent_path();
    const std::filesystem::path sheet_folder = description.parent_path();
    std::optional<std::string> text = LoadDataFile(description);
    if (!text) return SheetOutcome::DescriptionUnreadable;

    SheetConversion sheet{run.coordinate_system, run.corners, run.extent, run.statistics, {}};
    WriterContext context{run.work_arrays, sheet.statistics, sheet.output, port};
    FrameTexts frame_texts;
    frame_texts.municipality_code = municipality_code;
    try {
        LineReader reader(*text);
        std::string_view line;
        while (reader.Next(line)) {
            switch (const int number = reader.LineNumber()) {
            case 3: frame_texts.creation_date = line; break;
            case 4: frame_texts.map_history = line; break;
            case 5: frame_texts.sheet_name = line; break;
            case 6: frame_texts.level = line; break;
            case 8: frame_texts.coordinate_unit = line; break;
            case 9: frame_texts.adjacent_sheets = line; break;
            case kCoordinateLine: {
                SheetFrame frame = ParseSheetFrame(line);
                if (!AdmitSheetCoordinateSystem(sheet.coordinate_system, frame.coordinate_system, frame.datum_flag))
                    return SheetOutcome::CoordinateSystemRefused;
                sheet.corners = std::move(frame.corners);
                break;
            }
            case kFrameLine: {
                const std::string description_text = PathToCp932(description);
                const SourceLine corners_at{description_text, kCoordinateLine};
                WriteFrameLayer(context, kFrameLayer, LayerCatalogue[kFrameLayer].layer_file, output_folder,
                                sheet.corners, frame_texts, sheet.coordinate_system, corners_at);
                const CornerTexts& c = sheet.corners;
                sheet.extent.Include(RealField(c.lower_left_x, corners_at), RealField(c.lower_left_y, corners_at),
                                     RealField(c.upper_right_x, corners_at), RealField(c.upper_right_y, corners_at));
                break;
            }
            default:
                if (number >= kFirstFileLine) {
                    if (std::optional<ListedFile> file = ParseListedFile(line))
                        DispatchListedFile(context, *file, sheet_folder, output_folder);
                }
                break;
            }
            port.ProcessEvents();
        }
    } catch (const ConversionError& error) {
        port.ShowMessage(error.Message());
        return SheetOutcome::Abandoned;
    }

    if (run.geopackage) {
        run.geopackage->WriteSheet(sheet.output, run.files_made, PlaneRectangularEpsg(sheet.coordinate_system),
                                   run.shape, port);
    } else {
        WriteSheetOutput(sheet.output, run.files_made, run.shape, run.projections.ForRun(sheet.coordinate_system),
                         run.output_files, port);
        if (!run.keep_outputs_open) run.output_files.Finish();
    }
    run.coordinate_system = sheet.coordinate_system;
    run.corners = std::move(sheet.corners);
    run.extent = sheet.extent;
    run.statistics = sheet.statistics;
    return SheetOutcome::Converted;
}

}  // namespace gridora
