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

SheetReading ReadSheet(const std::filesystem::path& description, std::string_view municipality_code,
                       const std::filesystem::path& output_folder, const RunCoordinateSystem& known_system,
                       WorkArrays& arrays, MessagePort& port) {
    SheetReading sheet;
    const std::filesystem::path sheet_folder = description.parent_path();
    std::optional<std::string> text = LoadDataFile(description);
    if (!text) return sheet;

    TakePeaks(arrays);
    RunCoordinateSystem coordinate_system = known_system;
    WriterContext context{arrays, sheet.statistics, sheet.output, port};
    FrameTexts frame_texts;
    frame_texts.municipality_code = municipality_code;
    sheet.outcome = SheetOutcome::Converted;
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
                sheet.frame_read = true;
                sheet.frame_system = frame.coordinate_system;
                sheet.frame_datum_flag = frame.datum_flag;
                if (!AdmitSheetCoordinateSystem(coordinate_system, frame.coordinate_system, frame.datum_flag)) {
                    sheet.outcome = SheetOutcome::CoordinateSystemRefused;
                    return sheet;
                }
                sheet.corners = std::move(frame.corners);
                break;
            }
            case kFrameLine: {
                const std::string description_text = PathToCp932(description);
                const SourceLine corners_at{description_text, kCoordinateLine};
                WriteFrameLayer(context, kFrameLayer, LayerCatalogue[kFrameLayer].layer_file, output_folder,
                                sheet.corners, frame_texts, coordinate_system, corners_at);
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
        sheet.outcome = SheetOutcome::Abandoned;
    }
    sheet.peaks = TakePeaks(arrays);
    if (sheet.outcome == SheetOutcome::Converted) sheet.output.FormatRecords();
    return sheet;
}

bool SheetAdmitted(const SheetReading& sheet, const RunCoordinateSystem& run) {
    if (sheet.outcome == SheetOutcome::CoordinateSystemRefused) return false;
    RunCoordinateSystem admitted = run;
    return !sheet.frame_read || AdmitSheetCoordinateSystem(admitted, sheet.frame_system, sheet.frame_datum_flag);
}

SheetOutcome CommitSheet(SheetReading& sheet, SheetConversionState& run, MessagePort& port) {
    if (!SheetAdmitted(sheet, run.coordinate_system)) return SheetOutcome::CoordinateSystemRefused;
    if (sheet.outcome == SheetOutcome::DescriptionUnreadable) return sheet.outcome;
    RaiseCapacities(run.work_arrays, sheet.peaks);
    if (sheet.outcome != SheetOutcome::Converted) return sheet.outcome;

    // A description that ends before its coordinate line leaves the run's system and
    // corners as they were.
    RunCoordinateSystem coordinate_system = run.coordinate_system;
    if (sheet.frame_read) AdmitSheetCoordinateSystem(coordinate_system, sheet.frame_system, sheet.frame_datum_flag);
    if (run.geopackage) {
        run.geopackage->WriteSheet(sheet.output, run.files_made, PlaneRectangularEpsg(coordinate_system), run.shape,
                                   port);
    } else {
        WriteSheetOutput(sheet.output, run.files_made, run.shape, run.projections.ForRun(coordinate_system),
                         run.output_files, port);
        if (!run.keep_outputs_open) run.output_files.Finish();
    }
    run.coordinate_system = coordinate_system;
    if (sheet.frame_read) run.corners = std::move(sheet.corners);
    run.extent.Include(sheet.extent.min_north, sheet.extent.min_east, sheet.extent.max_north, sheet.extent.max_east);
    run.statistics.RaiseTo(sheet.statistics);
    return SheetOutcome::Converted;
}

SheetOutcome ConvertSheet(const std::filesystem::path& description, std::string_view municipality_code,
                          const std::filesystem::path& list_file, SheetConversionState& run, MessagePort& port) {
    SheetReading sheet =
        ReadSheet(description, municipality_code, list_file.parent_path(), run.coordinate_system, run.work_arrays, port);
    return CommitSheet(sheet, run, port);
}

}  // namespace gridora
