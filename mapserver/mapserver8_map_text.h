// The map file in the syntax of MapServer 8: the same layers, classes, colours, labels,
// symbols, extent and scale limits as the map file of MapFileText, with styles in STYLE
// blocks, scale limits as denominators, labels drawn with the FONTSET's font, the layer
// data declared in their own datum (the EPSG code of the .prj files) and read as CP932,
// paths relative to the map file, and the metadata that lets mapserv serve every layer as
// an OGC WMS. The text is UTF-8 (MapServer's own encoding for map files) with CR LF ends.
#pragma once

#include <string>

#include "mapserver/map_file_text.h"

namespace gridora {

// The folder beside the map file where mapserv writes its temporary images.
inline constexpr const char* kMapServer8ImageFolder = "ms_tmp";

std::string MapServer8MapFileText(const MapFileContext& context);

// The key under which the configuration file below names the map file (map=GRIDORA).
inline constexpr const char* kMapServer8MapKey = "GRIDORA";

// MapServer 8 serves only map files its configuration file admits. This one (for
// MAPSERVER_CONFIG_FILE) names `map_file` under kMapServer8MapKey and admits the map files
// of its folder by path. Both paths absolute, UTF-8.
std::string MapServer8ConfigText(const std::string& map_file, const std::string& folder);

}  // namespace gridora
