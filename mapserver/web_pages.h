// The web pages that show a run's MapServer 8 map file today: the web map "<list base>.html"
// (Leaflet, every layer over WMS from mapserv, feature attributes on a click) and the PHP
// pages for PHP MapScript of MapServer 8 (php-mapscript-ng), "gridora_ms8.php" beside the
// map file and "index_ms8.php" in the unpacked template's folder. The literal PHP page and
// the template's own page stay for the MapScript of their day. Every text is UTF-8 with
// CR LF line ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/run_results.h"

namespace gridora {

// Where the web map finds Leaflet: Debian's libjs-leaflet, copied beside the page so that
// the page works from the output folder alone, without the internet.
inline constexpr const char* kLeafletSourceFolder = "/usr/share/javascript/leaflet";
inline constexpr const char* kLeafletFolder = "leaflet";

// The run's extent in longitude and latitude (WGS 84), for the page's first view.
struct GeographicBounds {
    double west = 0, south = 0, east = 0, north = 0;
};

// The smallest box around the extent's edges (each sampled at 16 points) in WGS 84; a
// zero box when PROJ does not know `epsg`.
GeographicBounds GeographicBoundsOf(const RunExtent& extent, int32_t epsg);

struct WebMapLayer {
    std::string name;   // the map file's layer name
    std::string title;  // Japanese, UTF-8
    std::string class_name;  // its one class, whose legend icon GetLegendGraphic draws
    bool frame = false;      // the sheet frames: listed last among a click's features
};

struct WebMapPage {
    std::string title;         // UTF-8
    std::string wms_url;       // mapserv with the map named: "/cgi-bin/mapserv?map=GRIDORA"
    GeographicBounds bounds;
    std::vector<WebMapLayer> layers;  // in drawing order, the lowest first
};

// The web map: one WMS layer of the checked layers (so they draw in the map file's order,
// as map2img draws them), a layer list in Japanese with each layer's legend icon
// (GetLegendGraphic), a scale bar, a button back to the run's extent, and on a click the
// attributes of the features there (GetFeatureInfo as HTML, from the map's templates).
std::string WebMapPageText(const WebMapPage& page);

// A PHP page for php-mapscript-ng 8.0 that draws the map, the reference map, the legend and
// the scale bar of `map_file` (a path relative to the page) and shows them: each picture is
// saved into the map's IMAGEPATH and shown from its IMAGEURL.
std::string MapScript8PageText(const std::string& map_file, const std::string& title);

// Copies Leaflet's script, style sheet and images from `source` into `folder`/leaflet;
// false when any is missing.
bool CopyLeaflet(const std::filesystem::path& source, const std::filesystem::path& folder);

}  // namespace gridora
