// The texts the map-file writer puts on disk, as pure functions of the run's values: the
// map file in the MapServer syntax of the ms4w installations the PHP page is written for,
// the PHP page and the include file of the unpacked template. Every text is CP932 with
// CR LF line ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/layer_catalogue.h"
#include "convert/run_results.h"
#include "input/coordinate_systems.h"
#include "mapserver/map_settings.h"

namespace gridora {

// What the map file is written from.
struct MapFileContext {
    MapSettings settings;
    // D: the output folder with "/" between its parts and a trailing "/", CP932.
    std::string output_folder;
    const CoordinateSystem* system = nullptr;  // the run's row of CoordinateSystemTable
    int32_t datum_flag = 0;
    // EPSG code of the layer data, as the .prj files give it (datum-aware).
    int32_t data_epsg = 0;
    RunExtent extent;
    LayerFilesMade files_made{};
    // The GeoPackage file name (CP932) whose tables the layers draw through OGR; empty:
    // they draw the Shapefiles.
    std::string geopackage;
    std::string font_file_name;  // the copied Kanji font's file name, CP932
    bool font_copied = false;
    bool symbols_copied = false;
};

// Lines joined with CR LF, each line ended.
class TextLines {
public:
    void Add(std::string_view line);
    void Add(std::initializer_list<std::string_view> lines);
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// The map file: header and fixed blocks (unless only layer information is asked for),
// then one LAYER block per catalogue entry with a file made.
std::string MapFileText(const MapFileContext& context);

// The denominator of the map's largest scale when no text is set: the larger of
// round(width of the extent x 4000 / map width + 0.5) and the same for the height, rounded
// to the nearest integer with halves to even. A width or height below 1 counts as the
// default 400 or 300, so the scale is always defined.
double ComputedMaxScale(const RunExtent& extent, int32_t width, int32_t height);

// A map-file string: the text between double quotes, as it stands.
std::string Quoted(std::string_view text);

// An extent number as the map file writes it: fixed point, 3 decimals, 11 characters.
std::string ExtentNumber(double value);

// The four extent numbers "min east min north max east max north", blank-separated.
std::string ExtentNumbers(const RunExtent& extent);

// The file name without its extension ("msgothic" for "msgothic.ttc").
std::string_view FileNameStem(std::string_view file_name);

// The three fields of a point style "colour,size,symbol" (missing ones empty).
struct PointStyle {
    std::string_view color, size, symbol;
};
PointStyle SplitPointStyle(std::string_view style);

// The Japanese word for a layer kind, CP932, and its MapServer TYPE.
const std::string& LayerKindWord(LayerKind kind);
std::string_view LayerTypeWord(LayerKind kind);

// The shapefile (or GeoPackage table) a layer block draws: the layer file in lower case,
// with "_pgn" for a polygon layer when the seamless files are used.
std::string LayerDataName(int index, bool seamless_files);

// The lines that name a layer's data: DATA with the Shapefile, or for a GeoPackage the OGR
// connection to `folder` + the file and DATA with the table. `indent` begins each line.
std::vector<std::string> LayerDataLines(const MapFileContext& context, int index, std::string_view indent,
                                        std::string_view folder);

// The PHP page that draws `map_file_name` (CP932, no folder) through PHP MapScript.
std::string PhpPageText(std::string_view map_file_name);

// The include file of the template's web pages, naming the map file.
std::string IncludeFileText(std::string_view map_file_name);

}  // namespace gridora
