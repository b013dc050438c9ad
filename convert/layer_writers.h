// The layer writers: each turns the input files of one layer of a sheet into staged
// records and shapes of the layer's output files (see sheet_output.h), and the polygon
// layers also into the side files that the cross-sheet assembly reads.
//
// Shapes are written with x = Y + OriginY (east) and y = X + OriginX (north), the origin
// being that of the attribute file's header line. A record whose geometry is missing is
// reported and keeps a null shape. A coordinate that is not a number throws
// ConversionError: the sheet is then to be dropped.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "convert/shape_buffers.h"
#include "convert/sheet_output.h"
#include "convert/writer_statistics.h"
#include "input/coordinate_systems.h"
#include "input/sheet_description.h"
#include "input/sheet_description.h"
#include "input/sheet_header.h"
#include "input/work_arrays.h"
#include "platform/message_port.h"

namespace gridora {

// What every writer works with: the run's work arrays and statistics, the sheet's staged
// output and the port for its messages.
struct WriterContext {
    WorkArrays& arrays;
    RunStatistics& statistics;
    SheetOutput& output;
    MessagePort& port;
};

// The output base of a layer: the output folder and the layer name in lower case.
std::filesystem::path LayerOutputBase(const std::filesystem::path& output_folder, std::string_view layer_name);

// A layer's file beside its output base: the base with `suffix` ("_pgn", "_arc.txt",
// ".dbf") appended to its last part.
std::filesystem::path Suffixed(const std::filesystem::path& base, const char* suffix);

// The texts of the sheet-frame record, from the sheet description and the sheet's row.
struct FrameTexts {
    std::string municipality_code;  // city
    std::string creation_date;      // line 3: name1
    std::string map_history;        // line 4: name2
    std::string sheet_name;         // line 5: zumei
    std::string level;              // line 6: name3
    std::string coordinate_unit;    // line 8: name4
    std::string adjacent_sheets;    // line 9: name5
};

// The sheet frame (layer ZUYO, output "zuyo" and "zuyo.txt"): one polygon from the corner
// texts, which are absolute coordinates. `corners_at` names line 7 of the description
// for the error raised by a corner text that is not a number.
void WriteFrameLayer(WriterContext& context, int layer, std::string_view layer_name,
                     const std::filesystem::path& output_folder, const CornerTexts& corners, const FrameTexts& texts,
                     const RunCoordinateSystem& system, const SourceLine& corners_at);

// A line layer (railways): theme folder/theme folder .ARC, theme folder/layer .ATR.
void WriteLineLayer(WriterContext& context, int layer, const std::filesystem::path& sheet_folder,
                    std::string_view layer_name, std::string_view theme_folder,
                    const std::filesystem::path& output_folder);

// The road layer: ROAD/ROAD .ATR with the arcs and ties of ROAD/<arc file>, ROAD/<tie
// file>, then the road nodes of ROAD/<node file> through WriteNodeLayer.
void WriteRoadLayer(WriterContext& context, int layer, const std::filesystem::path& sheet_folder,
                    std::string_view layer_name, std::string_view arc_file, std::string_view tie_file,
                    std::string_view node_file, const std::filesystem::path& output_folder);

// The road nodes of `node_base` + ".NOD" into road output base + "_nod": one record per
// arc that meets a node, each with the node's point.
void WriteNodeLayer(WriterContext& context, int layer, const std::filesystem::path& node_base,
                    const std::filesystem::path& road_output_base);

// A point layer (stations, control points): theme folder/layer .PNT and .ATR.
void WritePointLayer(WriterContext& context, int layer, const std::filesystem::path& sheet_folder,
                     std::string_view layer_name, std::string_view theme_folder,
                     const std::filesystem::path& output_folder);

// A polygon layer: every polygon into the base output, the complete ones also into
// base + "_pgn", a label line per polygon cut by the frame into base + "_pgn.txt", then
// the boundary arcs through WriteBoundaryArcs.
void WritePolygonLayer(WriterContext& context, int layer, const std::filesystem::path& sheet_folder,
                       std::string_view layer_name, std::string_view theme_folder,
                       const std::filesystem::path& output_folder);

// The arcs that bound a polygon of the layer into `arc_base` (an arc layer), and the
// segments of those with a side still open, split at every crossing by the engine, into
// `arc_base` + ".txt". Expects the layer's arcs with their side marks in the work arrays.
void WriteBoundaryArcs(WriterContext& context, int layer, const SheetHeader& header,
                       const std::filesystem::path& arc_base);

}  // namespace gridora
