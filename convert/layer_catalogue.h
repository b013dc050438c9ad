// The output layers of a conversion and the attribute fields of their dBASE tables.
//
// The catalogue is constant. What changes during a run, the flags saying which of a
// layer's files have been created, lives in LayerFilesMade, which the conversion run owns
// and clears at its start.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <shapefil.h>

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

// One dBASE field of a layer's attribute table.
struct FieldSpec {
    std::string_view name;
    DBFFieldType type;         // FTString or FTInteger, 0 decimals
    int width;
    std::string_view caption;  // UTF-8 source text, may be empty
};

// The fields of the attribute table for a layer name (matched after upper-casing), in
// table order: the frame's own 13 for "ZUYO", otherwise "id", "zumei", "cd" followed by
// the name's fields (none for an unknown name).
std::vector<FieldSpec> LayerFields(std::string_view layer_name);

// Adds the fields of LayerFields(layer_name) to a new, empty table; returns how many
// were added. Numeric fields are 11 wide so every 32-bit value fits.
int DefineLayerFields(std::string_view layer_name, DBFHandle table);

// Creates (overwriting) the dBASE table base + ".dbf", marked as Japanese Shift-JIS
// (language driver 19), through `hooks` when given. nullptr when it cannot be created.
DBFHandle CreateAttributeTable(const std::filesystem::path& base, SAHooks* hooks = nullptr);

// Writes a CP932 text into a character field, cut to the field's width on a character
// boundary. Returns shapelib's result.
bool WriteAttributeText(DBFHandle table, int record, int field, std::string_view cp932);

// Writes an integer into a field, byte for byte as DBFWriteIntegerAttribute does: right-
// aligned in the field's width, cut to its first width characters (and false) when it
// does not fit. shapelib formats every number through printf of a double, the largest
// single cost of writing the attribute tables; numeric fields without decimals are
// formatted here instead, other fields are left to shapelib.
bool WriteAttributeInteger(DBFHandle table, int record, int field, int value);

// The text DBFWriteIntegerAttribute puts in a numeric field of `width` without decimals:
// `value` right-aligned with blanks, or its first `width` characters when it is longer.
std::string IntegerFieldText(int value, int width);

// Per catalogue index, the names (ASCII) and captions (CP932) of the fields of the
// entry's attribute table, in field order; unused places are empty.
using FieldTable = std::array<std::array<std::string, kMaxLayerFields>, kLayerCount>;
const FieldTable& FieldNameTable();
const FieldTable& FieldCaptionTable();

}  // namespace gridora
