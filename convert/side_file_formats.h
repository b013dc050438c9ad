// The number formats of the polygon layers' side files, read back by the cross-sheet
// assembly: labels in _pgn.txt, split segments in engine units in _arc.txt.
#pragma once

#include <cstdint>
#include <string>

namespace gridora {

// A real in 23 characters of scientific notation: a blank or "-", one digit, ".", 14
// digits, "E", the exponent's sign and four exponent digits (" 1.23456789012345E+0004").
std::string FormatLabelReal(double value);

// A coordinate in engine units: thousandths of the data unit, rounded to the nearest
// integer with halves to even, held to the 32-bit range.
int32_t EngineCoordinate(double value);

// "x1,y1,x2,y2" in decimal.
std::string FormatSegmentLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

}  // namespace gridora
