// Japanese names and classification codes that the generated features carry.
//
// The names are ordinary place-name elements picked by hash; the classification codes
// are this generator's own five-character codes (first letter "A" polygon, "L" line,
// "P" point, as the formats require), one per kind of feature.
#pragma once

#include <cstdint>
#include <string>

namespace sheetgen {

std::string PlaceName(uint64_t pick);      // e.g. "桜木"
std::string KanjiNumber(int64_t n);       // 1..99 as "一", "十二", ...
std::string FullWidthNumber(int64_t n);   // "１２"

namespace code {
// Polygons.
inline constexpr const char* kMunicipality = "A1101";
inline constexpr const char* kTown = "A1102";
inline constexpr const char* kBlock = "A2101";
inline constexpr const char* kPark = "A3101";
inline constexpr const char* kSchoolGround = "A3102";
inline constexpr const char* kShrineGround = "A3103";
inline constexpr const char* kRiver = "A4101";
inline constexpr const char* kPond = "A4102";
inline constexpr const char* kBuilding = "A5101";
inline constexpr const char* kSturdyBuilding = "A5102";
inline constexpr const char* kPublicBuilding = "A5103";
// Arcs.
inline constexpr const char* kMunicipalBoundary = "L1101";
inline constexpr const char* kTownBoundary = "L1102";
inline constexpr const char* kBlockEdge = "L2101";
inline constexpr const char* kGroundEdge = "L3101";
inline constexpr const char* kRailway = "L3201";
inline constexpr const char* kWaterEdge = "L4101";
inline constexpr const char* kBuildingEdge = "L5101";
inline constexpr const char* kLocalRoad = "L6101";
inline constexpr const char* kMainRoad = "L6102";
inline constexpr const char* kFrameLine = "L9101";
// Points.
inline constexpr const char* kStation = "P3201";
inline constexpr const char* kTriangulationPoint = "P7101";
inline constexpr const char* kTraversePoint = "P7102";
}  // namespace code

// Line tags of arcs.
inline constexpr int kOrdinaryLineTag = 1;
inline constexpr int kMajorLineTag = 2;     // municipal boundaries, main roads
inline constexpr int kFrameLineTag = 5;     // the sheet frame
inline constexpr int kPartitionLineTag = 6; // a wall between two attached buildings

}  // namespace sheetgen
