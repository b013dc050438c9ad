// What a conversion run leaves for those who publish its output: the coordinate system
// its first sheet fixed, the bounds of its sheet frames and which layer files it made.
// Plain values, so that the map-file writer reads them without the converter's work
// arrays, shape buffers or shapelib.
#pragma once

#include <string>

#include "convert/layer_catalogue.h"
#include "input/coordinate_systems.h"

namespace gridora {

// East and north bounds of the sheet frames converted in a run. Empty bounds are inverted
// (minimums above maximums) so that the first frame sets them.
struct RunExtent {
    double min_east = 2147483647.0;
    double min_north = 2147483647.0;
    double max_east = -2147483647.0;
    double max_north = -2147483647.0;

    // Widens the bounds to a frame given by its lower-left and upper-right corners.
    void Include(double lower_left_north, double lower_left_east, double upper_right_north,
                 double upper_right_east);
    friend bool operator==(const RunExtent&, const RunExtent&) = default;
};

// The results as the map-file writer takes them.
struct RunResults {
    RunCoordinateSystem coordinate_system;
    RunExtent extent;
    LayerFilesMade files_made{};
    // The file name of the GeoPackage that holds the layers as tables (CP932); empty when
    // they are Shapefiles.
    std::string geopackage;
};

}  // namespace gridora
