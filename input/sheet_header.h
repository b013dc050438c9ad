// The "FH" header line that opens every data file of a sheet.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "input/text_fields.h"

namespace gridora {

// Absolute plane-rectangular coordinates of the sheet frame; X north, Y east. The
// lower-left corner (OriginX, OriginY) is the origin of every coordinate stored in the file.
struct SheetHeader {
    std::string sheet_name;     // written into the zumei attribute
    std::string second_text;
    std::array<int32_t, 5> numbers{};
    double OriginX = 0.0;
    double OriginY = 0.0;
    double upper_right_x = 0.0;
    double upper_right_y = 0.0;
    double upper_left_x = 0.0;
    double upper_left_y = 0.0;
    double lower_right_x = 0.0;
    double lower_right_y = 0.0;
};

// Parses the fields after "FH" into `header`. When nothing follows the upper-right Y, the
// upper-left corner becomes (upper-right X, OriginY) and the lower-right (OriginX,
// upper-right Y); otherwise all four optional fields are read. Throws ConversionError
// naming `at` for a real field that is not a number.
void ReadSheetHeader(std::string_view rest, SheetHeader& header, const SourceLine& at);

}  // namespace gridora
