// The .prj file beside every output Shapefile: the Japan Plane Rectangular zone of the
// run's coordinate system, as ESRI WKT produced by PROJ.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "input/coordinate_systems.h"

namespace gridora {

// The EPSG code of a zone: 30161-30179 (Tokyo datum) for datum flag 0, 2443-2461
// (JGD2000) for flags 1-3; 0 when the system number is outside 1-19 or the flag unknown.
int32_t PlaneRectangularEpsg(const RunCoordinateSystem& system);

// The ESRI WKT of an EPSG coordinate reference system; empty when PROJ does not know it.
std::string EsriWktOfEpsg(int32_t epsg);

// The WKT of each zone a run needs, looked up once (a PROJ lookup opens its database).
class ProjectionTexts {
public:
    // The WKT of the run's zone; empty when the run's system names no zone.
    const std::string& ForRun(const RunCoordinateSystem& system);

private:
    std::map<int32_t, std::string> by_epsg_;
};

// Writes `wkt` to base + ".prj" (no line end, as GIS programs write it). Nothing is
// written for an empty text. False when the file cannot be written.
bool WriteProjectionFile(const std::filesystem::path& base, std::string_view wkt);

}  // namespace gridora
