// Sheet names and frames of the 1:2,500 sheet grid.
//
// A sheet name such as "09LD171" reads: coordinate system 09; north-south band L (30 km
// bands lettered A..T southwards from X = +300 km); east-west band D (40 km bands
// lettered A..H eastwards from Y = -160 km); row 1 of the band's ten 3 km rows counted
// from the top; column 7 of its ten 4 km columns from the west; quadrant 1 (1 upper
// left, 2 upper right, 3 lower left, 4 lower right). A sheet is 1.5 km north-south by
// 2 km east-west. Here a sheet is also numbered by its place in the system's grid: row
// 0 is the northernmost strip, column 0 the westernmost.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "geometry.h"

namespace sheetgen {

constexpr int64_t kSheetHeightCm = 150000;  // 1.5 km north-south
constexpr int64_t kSheetWidthCm = 200000;   // 2 km east-west
constexpr int kGridRows = 400;              // 20 bands of 20 half-rows
constexpr int kGridColumns = 160;           // 8 bands of 20 half-columns

struct SheetId {
    int system = 9;  // plane-rectangular coordinate system 1..19
    int row = 0;     // 0..399 from the north
    int column = 0;  // 0..159 from the west

    std::string Name() const;
    Rect Frame() const;  // absolute, cm
    // The eight neighbours clockwise from the north-west; nothing beyond the grid.
    std::array<std::optional<SheetId>, 8> Neighbours() const;
};

std::optional<SheetId> ParseSheetName(const std::string& name);

}  // namespace sheetgen
