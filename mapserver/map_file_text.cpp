#include "mapserver/map_file_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "input/text_fields.h"
#include "platform/cp932.h"

namespace gridora {
namespace {

constexpr double kScaleFactor = 4000.0;
constexpr int32_t kDefaultWidth = 400;
constexpr int32_t kDefaultHeight = 300;
// The METADATA lines begin with one tab and three blanks.
constexpr std::string_view kMetadataIndent = "\t   ";

// The datum comment of the header; nothing for an unknown flag.
std::string DatumComment(int32_t datum_flag) {
    const std::string& text = DatumText(datum_flag);
    return text.empty() ? std::string() : "#" + text;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return lower;
}

std::string MaxScaleLine(const MapFileContext& context) {
    const MapSettings& settings = context.settings;
    if (!settings.maximum_scale.empty()) return "    MAXSCALE " + settings.maximum_scale;
    char number[32];
    std::snprintf(number, sizeof number, "%.0f", ComputedMaxScale(context.extent, settings.width, settings.height));
    return std::string("    MAXSCALE ") + number;
}

void AddHeader(TextLines& out, const MapFileContext& context) {
    const MapSettings& settings = context.settings;
    const CoordinateSystem& system = *context.system;
    out.Add("MAP");
    out.Add(settings.map_name.empty() ? std::string() : "#" + settings.map_name);
    if (const std::string datum = DatumComment(context.datum_flag); !datum.empty()) out.Add(datum);
    out.Add({"# Start of output projection definition", "PROJECTION", "  \"proj=tmerc\"", "  \"ellps=GRS80\""});
    out.Add("  \"init=epsg:" + std::string(system.epsg_code) + "\"");
    out.Add("  \"lat_0=" + std::string(system.origin_latitude) + "\"");
    out.Add("  \"lon_0=" + std::string(system.origin_longitude) + "\"");
    out.Add({"  \"no_defs\"", "END", "# End of output projection"});
    out.Add("EXTENT " + ExtentNumbers(context.extent));
    out.Add("STATUS ON");
    if (settings.units_index == 1) out.Add("UNITS meters");
    out.Add("SIZE " + std::to_string(settings.width) + " " + std::to_string(settings.height));
    static constexpr std::string_view kImageTypes[] = {"", "IMAGETYPE gif", "IMAGETYPE jpeg", "IMAGETYPE png"};
    if (settings.image_type_index >= 1 && settings.image_type_index <= 3)
        out.Add(kImageTypes[settings.image_type_index]);
    out.Add("IMAGECOLOR 255 255 255");
    out.Add("SHAPEPATH " + Quoted(context.output_folder));
    if (context.symbols_copied) out.Add("SYMBOLSET " + Quoted(context.output_folder + "etc/symbols.sym"));
    if (context.font_copied) out.Add("FONTSET " + Quoted(context.output_folder + "etc/winfonts.txt"));
}

void AddFixedBlocks(TextLines& out, const MapFileContext& context) {
    out.Add({"", "OUTPUTFORMAT", "  NAME png", "  DRIVER \"GD/PNG\"", "  MIMETYPE \"image/png\"",
             "  IMAGEMODE RGB", "  FORMATOPTION  INTERLACE=OFF", "  TRANSPARENT OFF", "END", "", "",
             "OUTPUTFORMAT", "  NAME gif", "  DRIVER \"GD/GIF\"", "  MIMETYPE \"image/gif\"",
             "  IMAGEMODE PC256", "  FORMATOPTION  INTERLACE=OFF", "  TRANSPARENT ON", "  EXTENSION \"gif\"",
             "END", "", "OUTPUTFORMAT", "  NAME png8", "  DRIVER \"GD/PNG\"", "  MIMETYPE \"image/png\"",
             "  IMAGEMODE PC256", "  FORMATOPTION  INTERLACE=OFF", "  TRANSPARENT OFF", "END", "",
             "OUTPUTFORMAT", "  NAME GTiff", "  DRIVER \"GDAL/GTiff\"", "  MIMETYPE \"image/tiff\"",
             "  IMAGEMODE RGB", "  #FORMATOPTION \"TFW=YES\"", "  #FORMATOPTION \"COMPRESS=PACKBITS\"", "END",
             ""});
    // Legend
    out.Add({"# Start of LEGEND", "  LEGEND", "    IMAGECOLOR 255 255 255", "    KEYSIZE 18 12",
             "    KEYSPACING 5 5", "    LABEL", "      SIZE MEDIUM", "      TYPE BITMAP", "      BUFFER 0",
             "      COLOR 0 0 89", "      FORCE FALSE", "      MINDISTANCE -1", "      MINFEATURESIZE -1",
             "      OFFSET 0 0", "      PARTIALS TRUE", "    END", "    POSITION LL", "    STATUS ON",
             "    TEMPLATE \"legend.html\"", "  END", ""});
    // Web
    out.Add({"", "WEB", "    IMAGEPATH \"c:/ms4w/tmp/ms_tmp/\"", "    IMAGEURL \"/ms_tmp/\"",
             "    QUERYFORMAT text/html"});
    out.Add(MaxScaleLine(context));
    out.Add({"    MINSCALE 200", "END", ""});
    // Reference map
    out.Add({"", "#", "# Start of reference map", "#", "REFERENCE", "   IMAGE \"images/keymap.gif\""});
    out.Add("   EXTENT " + ExtentNumbers(context.extent));
    out.Add({"   STATUS ON", "            MARKER 0", "            MARKERSIZE 0", "            MINBOXSIZE 3",
             "            MAXBOXSIZE 0", "  COLOR -1 -1 -1 ", "  OUTLINECOLOR 255 0 0", "  SIZE 100 100", "END",
             ""});
    // Scale bar
    out.Add({"", "#", "# Start of SCALEBAR", "#", "    SCALEBAR", "            BACKGROUNDCOLOR 0 0 0",
             "            COLOR 255 255 255", "        IMAGECOLOR 255 255 225", "        INTERVALS 6",
             "        LABEL", "            SIZE SMALL", "            TYPE BITMAP", "            BUFFER 0",
             "            COLOR 0 0 0", "            FORCE FALSE", "            MINDISTANCE -1",
             "            MINFEATURESIZE -1", "            OFFSET 0 0", "            PARTIALS TRUE", "        END",
             "            OUTLINECOLOR 0 0 0", "        POSITION LL", "        SIZE 400 5", "        STATUS ON",
             "        STYLE 0", "        UNITS METERS", "    END", ""});
    // Query map
    out.Add({"", "# QueryMap Object", "QUERYMAP", "        COLOR 255 0 0", "        SIZE -1 -1",
             "        STATUS OFF", "        STYLE HILITE", "END", ""});
}

// The first `count` texts of a row, joined with ",".
std::string JoinFields(const std::array<std::string, kMaxLayerFields>& row, int32_t count) {
    std::string joined;
    const int32_t n = std::clamp<int32_t>(count, 0, kMaxLayerFields);
    for (int32_t i = 0; i < n; ++i) {
        if (i > 0) joined += ",";
        joined += row[static_cast<std::size_t>(i)];
    }
    return joined;
}

void AddLayerBlock(TextLines& out, const MapFileContext& context, int index) {
    const LayerEntry& entry = LayerCatalogue[static_cast<std::size_t>(index)];
    const std::string name = LowerAscii(entry.layer_file);
    const std::string& title = LayerTitle(index);
    out.Add("");
    out.Add("#" + title + LayerKindWord(entry.kind));
    out.Add({"LAYER", "  METADATA"});
    out.Add(std::string(kMetadataIndent) + "\"DESCRIPTION\" " + Quoted(title));
    out.Add(std::string(kMetadataIndent) + "\"RESULT_FIELDS\" " +
            Quoted(JoinFields(FieldNameTable()[static_cast<std::size_t>(index)], entry.field_count)));
    out.Add(std::string(kMetadataIndent) + "\"RESULT_HEADERS\" " +
            Quoted(JoinFields(FieldCaptionTable()[static_cast<std::size_t>(index)], entry.field_count)));
    out.Add(std::string(kMetadataIndent) + "\"LAYER_ENCODING\" " +
            (context.geopackage.empty() ? "\"Shift-JIS\"" : "\"UTF-8\""));
    out.Add("  END");
    out.Add("  NAME " + Quoted(name));
    out.Add({"  TOLERANCE 4", "  TOLERANCEUNITS pixels", "  STATUS ON #DEFAULT"});
    out.Add("  TYPE " + std::string(LayerTypeWord(entry.kind)));
    for (const std::string& line : LayerDataLines(context, index, "  ", context.output_folder)) out.Add(line);
    out.Add("#  MINSCALE 20000");
    out.Add("  LABELITEM " + Quoted(entry.label_field));
    out.Add("  CLASS");
    const auto& styles = entry.styles;
    if (!styles[0].empty()) out.Add("       COLOR " + std::string(styles[0]));
    if (!styles[1].empty()) out.Add("       OUTLINECOLOR " + std::string(styles[1]));
    out.Add("       Name '" + std::string(entry.short_name) + "'");
    if (context.font_copied && !styles[2].empty()) {
        out.Add({"       LABEL", "          TYPE TRUETYPE"});
        out.Add("          FONT " + std::string(FileNameStem(context.font_file_name)));
        out.Add("          COLOR  " + std::string(styles[2]));
        out.Add({"          ENCODING SJIS", "          SIZE 8", "          POSITION AUTO", "          BUFFER 7",
                 "       END"});
    }
    if (context.symbols_copied && !styles[3].empty()) {
        const PointStyle point = SplitPointStyle(styles[3]);
        out.Add("       STYLE");
        out.Add("          COLOR " + std::string(point.color));
        out.Add({"          MAXSIZE 100", "          MINSIZE 1"});
        out.Add("          SIZE " + std::string(point.size));
        out.Add("          SYMBOL " + std::string(point.symbol));
        out.Add("       END");
    }
    out.Add({"       TEMPLATE void", "  END", "  PROJECTION"});
    out.Add("     \"init=epsg:" + std::string(context.system->epsg_code) + "\"");
    out.Add({"  END", "  TEMPLATE void", "END"});
}

}  // namespace

void TextLines::Add(std::string_view line) {
    text_.append(line);
    text_.append("\r\n");
}

void TextLines::Add(std::initializer_list<std::string_view> lines) {
    for (std::string_view line : lines) Add(line);
}

double ComputedMaxScale(const RunExtent& extent, int32_t width, int32_t height) {
    const double w = width >= 1 ? width : kDefaultWidth;
    const double h = height >= 1 ? height : kDefaultHeight;
    // nearbyint rounds in the current mode, which is to nearest with halves to even.
    const double east = std::nearbyint((extent.max_east - extent.min_east) * kScaleFactor / w + 0.5);
    const double north = std::nearbyint((extent.max_north - extent.min_north) * kScaleFactor / h + 0.5);
    return east > north ? east : north;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string ExtentNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%11.3f", value);
    return text;
}

std::string ExtentNumbers(const RunExtent& extent) {
    return ExtentNumber(extent.min_east) + " " + ExtentNumber(extent.min_north) + " " +
           ExtentNumber(extent.max_east) + " " + ExtentNumber(extent.max_north);
}

std::string_view FileNameStem(std::string_view file_name) {
    const std::size_t dot = file_name.rfind('.');
    return dot == std::string_view::npos ? file_name : file_name.substr(0, dot);
}

PointStyle SplitPointStyle(std::string_view style) {
    PointStyle point;
    point.color = TakeField(style);
    point.size = TakeField(style);
    point.symbol = TakeField(style);
    return point;
}

const std::string& LayerKindWord(LayerKind kind) {
    static const std::string polygon = ToCp932("ポリゴン"), line = ToCp932("ライン"), point = ToCp932("点"),
                             network = ToCp932("ネットワーク");
    switch (kind) {
        case LayerKind::Line:
            return line;
        case LayerKind::Point:
            return point;
        case LayerKind::Road:
            return network;
        case LayerKind::Frame:
        case LayerKind::Polygon:
            break;
    }
    return polygon;
}

std::string_view LayerTypeWord(LayerKind kind) {
    switch (kind) {
        case LayerKind::Line:
        case LayerKind::Road:
            return "LINE";
        case LayerKind::Point:
            return "POINT";
        case LayerKind::Frame:
        case LayerKind::Polygon:
            break;
    }
    return "POLYGON";
}

std::string LayerDataName(int index, bool seamless_files) {
    const LayerEntry& entry = LayerCatalogue[static_cast<std::size_t>(index)];
    std::string name = LowerAscii(entry.layer_file);
    if (seamless_files && entry.kind == LayerKind::Polygon) name += "_pgn";
    return name;
}

std::vector<std::string> LayerDataLines(const MapFileContext& context, int index, std::string_view indent,
                                        std::string_view folder) {
    const std::string in(indent);
    const std::string data = in + "DATA " + Quoted(LayerDataName(index, context.settings.seamless_files));
    if (context.geopackage.empty()) return {data};
    return {in + "CONNECTIONTYPE OGR", in + "CONNECTION " + Quoted(std::string(folder) + context.geopackage), data};
}

std::string MapFileText(const MapFileContext& context) {
    TextLines out;
    const bool whole_map = !context.settings.layer_information_only;
    if (whole_map) {
        AddHeader(out, context);
        AddFixedBlocks(out, context);
    }
    for (int index = 0; index < kLayerCount; ++index)
        if (context.files_made[static_cast<std::size_t>(index)].AnyMade()) AddLayerBlock(out, context, index);
    if (whole_map) out.Add("END");
    return out.Text();
}

std::string PhpPageText(std::string_view map_file_name) {
    TextLines out;
    out.Add({"<?php", "dl( \"php_mapscript_48.dll\" );"});
    out.Add("$mapfile = \"" + std::string(map_file_name) + "\";");
    out.Add({"$map = ms_newMapObj( $mapfile ); // load the mapfile", "$img = $map -> draw(); // draw the map",
             "$img_url = $img->saveWebImage(); // save img & get the URL",
             "echo \"<IMG SRC='$img_url'>\"; // display map with an IMG tag", "", "?>"});
    return out.Text();
}

std::string IncludeFileText(std::string_view map_file_name) {
    TextLines out;
    out.Add("<?php");
    out.Add("$map_file=\"" + std::string(map_file_name) + ToCp932("\"; //mapfile名"));
    out.Add("?>");
    return out.Text();
}

}  // namespace gridora
