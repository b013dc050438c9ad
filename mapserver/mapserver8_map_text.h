// The map file in the syntax of MapServer 8: the same layers, classes, colours, labels,
// symbols, extent and scale limits as the map file of MapFileText, with styles in STYLE
// blocks, scale limits as denominators, labels drawn with the FONTSET's font, the layer
// data declared in their own datum (the EPSG code of the .prj files) and read as CP932
// (Shapefiles) or through OGR (the tables of a GeoPackage, UTF-8),
// paths relative to the map file, and the metadata that lets mapserv serve every layer as
// an OGC WMS (with feature info as HTML) and OGC API Features. Each layer carries the
// map's scale limits, as WMS reads them from the layers only. The text is UTF-8
// (MapServer's own encoding for map files) with CR LF ends.
#pragma once

#include <string>
#include <string_view>

#include "mapserver/map_file_text.h"

namespace gridora {

// The folder beside the map file where mapserv writes its temporary images.
inline constexpr const char* kMapServer8ImageFolder = "ms_tmp";

std::string MapServer8MapFileText(const MapFileContext& context);

// UTF-8 text for an HTML page: "&", "<", ">" and '"' as entities.
std::string HtmlEscaped(std::string_view text);

// The folder beside the map file that holds the templates of GetFeatureInfo's text/html
// answers: one per layer and a header and footer that make the answer a UTF-8 page.
inline constexpr const char* kFeatureInfoFolder = "templates/";
// Debian's HTML templates of MapServer's OGC API (mapserver-bin).
inline constexpr const char* kOgcApiTemplateFolder = "/usr/share/mapserver/ogcapi/templates/html-plain/";

// The template of catalogue entry `index`, relative to the map file: "templates/<layer>.html".
std::string FeatureInfoTemplatePath(int index);
// That template: a table captioned with the layer's title, one row of caption and value per
// attribute, the value escaped for HTML. MapServer fills it in UTF-8 (the layers are read as
// CP932).
std::string FeatureInfoTemplateText(int index);
std::string FeatureInfoHeaderText();
std::string FeatureInfoFooterText();

// The key under which the configuration file below names the map file (map=GRIDORA).
inline constexpr const char* kMapServer8MapKey = "GRIDORA";

// MapServer 8 serves only map files its configuration file admits. This one (for
// MAPSERVER_CONFIG_FILE) names `map_file` under kMapServer8MapKey and admits the map files
// of its folder by path. Both paths absolute, UTF-8.
std::string MapServer8ConfigText(const std::string& map_file, const std::string& folder);

}  // namespace gridora
