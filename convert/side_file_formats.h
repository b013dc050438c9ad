// The number formats of the polygon layers' side files, read back by the cross-sheet
// assembly: labels in _pgn.txt, split segments in engine units in _arc.txt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "input/text_fields.h"

namespace gridora {

// A real in 23 characters of scientific notation: a blank or "-", one digit, ".", 14
// digits, "E", the exponent's sign and four exponent digits (" 1.23456789012345E+0004").
std::string FormatLabelReal(double value);

// A coordinate in engine units: thousandths of the data unit, rounded to the nearest
// integer with halves to even, held to the 32-bit range.
int32_t EngineCoordinate(double value);

// "x1,y1,x2,y2" in decimal.
std::string FormatSegmentLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// One split segment of _arc.txt, in engine units.
struct SegmentLine {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    friend bool operator==(const SegmentLine&, const SegmentLine&) = default;
};
// A field that is not an integer, or a missing one, counts as 0.
SegmentLine ParseSegmentLine(std::string_view line);

// One label of _pgn.txt: the record index of a cut polygon in the layer's base table and
// a point inside it, absolute X (north) and Y (east) in the data unit.
struct LabelLine {
    int32_t record = 0;
    double x = 0.0, y = 0.0;
};
// The record number counts as 0 when it is not an integer; a coordinate that is not a
// number throws ConversionError naming `at`.
LabelLine ParseLabelLine(std::string_view line, const SourceLine& at);

}  // namespace gridora
