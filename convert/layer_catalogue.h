// The output layers of a conversion and the attribute fields of their dBASE tables.
//
// The catalogue is constant. What changes during a run, the flags saying which of a
// layer's files have been created, lives in LayerFilesMade, which the conversion run owns
// and clears at its start.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gridora {

enum class LayerKind : int32_t {
    Frame = 0,
    Polygon = 1,
    Line = 2,
    Point = 3,
    Road = 4,  // lines, with a node layer besides
};

inline constexpr int kLayerCount = 11;
inline constexpr int kFrameLayer = 10;
inline constexpr int kMaxLayerFields = 15;

struct LayerEntry {
    LayerKind kind;
    std::string_view title;        // UTF-8 source text; LayerTitle gives CP932
    std::string_view short_name;   // the layer's class in the map file
    int32_t field_count;           // the catalogue's own count, used by the map file
    std::string_view label_field;
    std::string_view folder;       // theme folder of the input
    std::string_view layer_file;   // .PGN/.PNT/.ATR base name; lower-cased for outputs
    std::string_view arc_file;
    std::string_view tie_file;
    std::string_view node_file;
    std::array<std::string_view, 4> styles;  // "R G B", two of them with ",a,b"
};

extern const std::array<LayerEntry, kLayerCount> LayerCatalogue;

// The title of catalogue entry 0-10 in CP932.
const std::string& LayerTitle(int index);

// Which files of each layer the run has created; while a flag is set, later sheets
// append to the files instead of creating them.
struct LayerFiles {
    bool point_made = false;    // point layers, and the road node file
    bool line_made = false;     // line layers, the road, polygon layers' _arc files
    bool polygon_made = false;  // polygon layers' main and _pgn files, the frame
    bool AnyMade() const { return point_made || line_made || polygon_made; }
};
using LayerFilesMade = std::array<LayerFiles, kLayerCount>;

// The two kinds of attribute field; both have 0 decimals.
enum class FieldType { Text, Integer };

// One field of a layer's attribute table.
struct FieldSpec {
    std::string_view name;
    FieldType type;
    int width;
    std::string_view caption;  // UTF-8 source text, may be empty
};

// The fields of the attribute table for a layer name (matched after upper-casing), in
// table order: the frame's own 13 for "ZUYO", otherwise "id", "zumei", "cd" followed by
// the name's fields (none for an unknown name).
std::vector<FieldSpec> LayerFields(std::string_view layer_name);

// Per catalogue index, the names (ASCII) and captions (CP932) of the fields of the
// entry's attribute table, in field order; unused places are empty.
using FieldTable = std::array<std::array<std::string, kMaxLayerFields>, kLayerCount>;
const FieldTable& FieldNameTable();
const FieldTable& FieldCaptionTable();

}  // namespace gridora
