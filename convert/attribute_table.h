// The dBASE side of the layer schema: a layer's table created with the catalogue's fields,
// and values written into it as the converter's other readers expect them (CP932 text cut
// on a character boundary, integers byte for byte as shapelib formats them).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include <shapefil.h>

#include "convert/layer_catalogue.h"

namespace gridora {

// Adds the fields of LayerFields(layer_name) to a new, empty table; returns how many
// were added. Numeric fields are 11 wide so every 32-bit value fits.
int DefineLayerFields(std::string_view layer_name, DBFHandle table);

// Creates (overwriting) the dBASE table base + ".dbf", marked as Japanese Shift-JIS
// (language driver 19), through `hooks` when given, with the code page file base + ".cpg"
// ("932") beside it. nullptr when it cannot be created.
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

}  // namespace gridora
