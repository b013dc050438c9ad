// Features of a converted run, read back from its Shapefiles, for the tests that ask the
// published map about them.
#pragma once

#include <filesystem>
#include <string>

namespace gridora::testing {

struct PlanePoint {
    double x = 0, y = 0;  // east, north; or longitude, latitude
};

// A building of the run with a name: its id and name (UTF-8), the point deepest inside it
// (of a grid over its box) and how far that point lies from its outline.
struct NamedBuilding {
    std::string id, name;
    PlanePoint inside;
    double depth = 0;
};

// The named building of `base` (tatemono_pgn) whose deepest point lies deepest; depth 0
// when there is none.
NamedBuilding FindNamedBuilding(const std::filesystem::path& base);

// `p` from EPSG `from` into `to` ("EPSG:3857", "EPSG:4326"), east or longitude first.
PlanePoint Transform(PlanePoint p, int from, const char* to);

}  // namespace gridora::testing
