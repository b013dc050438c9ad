#include "mapserver/mapserver8_map_text.h"

#include <cstdio>

#include "platform/cp932.h"

namespace gridora {
namespace {

constexpr std::string_view kDefaultMapName = "gridora";
// The minimum scale the map file always has.
constexpr std::string_view kMinScaleDenominator = "200";
// Where the unpacked template keeps the legend page and key map, relative to the map file.
constexpr std::string_view kTemplateFolder = "ms4w/Apache/htdocs/";

std::string Epsg(int32_t code) { return "EPSG:" + std::to_string(code); }

std::string MapName(const MapSettings& settings) {
    return settings.map_name.empty() ? std::string(kDefaultMapName) : Cp932ToUtf8(settings.map_name);
}

// A text that may hold a double quote (a map name as the user typed it), for a quoted value.
std::string WithoutQuotes(std::string text) {
    std::erase(text, '"');
    return text;
}

void AddOutputFormats(TextLines& out) {
    out.Add({"  OUTPUTFORMAT", "    NAME \"png\"", "    DRIVER \"AGG/PNG\"", "    MIMETYPE \"image/png\"",
             "    IMAGEMODE RGB", "    EXTENSION \"png\"", "    FORMATOPTION \"INTERLACE=OFF\"",
             "    TRANSPARENT OFF", "  END"});
    out.Add({"  OUTPUTFORMAT", "    NAME \"png8\"", "    DRIVER \"AGG/PNG8\"", "    MIMETYPE \"image/png; mode=8bit\"",
             "    IMAGEMODE RGB", "    EXTENSION \"png\"", "    FORMATOPTION \"QUANTIZE_FORCE=ON\"",
             "    FORMATOPTION \"QUANTIZE_COLORS=256\"", "    TRANSPARENT OFF", "  END"});
    out.Add({"  OUTPUTFORMAT", "    NAME \"jpeg\"", "    DRIVER \"AGG/JPEG\"", "    MIMETYPE \"image/jpeg\"",
             "    IMAGEMODE RGB", "    EXTENSION \"jpg\"", "  END"});
    out.Add({"  OUTPUTFORMAT", "    NAME \"GTiff\"", "    DRIVER \"GDAL/GTiff\"", "    MIMETYPE \"image/tiff\"",
             "    IMAGEMODE RGB", "    EXTENSION \"tif\"", "  END"});
}

std::string MaxScaleDenominator(const MapFileContext& context) {
    if (!context.settings.maximum_scale.empty()) return context.settings.maximum_scale;
    char number[32];
    std::snprintf(number, sizeof number, "%.0f",
                  ComputedMaxScale(context.extent, context.settings.width, context.settings.height));
    return number;
}

void AddHeader(TextLines& out, const MapFileContext& context) {
    const MapSettings& settings = context.settings;
    // A size of 0 cannot be drawn; it stands for the default, as in the scale limit.
    const int32_t width = settings.width >= 1 ? settings.width : 400;
    const int32_t height = settings.height >= 1 ? settings.height : 300;
    out.Add("MAP");
    out.Add("  NAME " + Quoted(WithoutQuotes(MapName(settings))));
    if (!settings.map_name.empty()) out.Add("  # " + Cp932ToUtf8(settings.map_name));
    if (const std::string& datum = DatumText(context.datum_flag); !datum.empty())
        out.Add("  # " + Cp932ToUtf8(datum));
    out.Add({"  PROJECTION", "    \"init=epsg:" + std::to_string(context.data_epsg) + "\"", "  END"});
    out.Add("  EXTENT " + ExtentNumbers(context.extent));
    out.Add("  UNITS METERS");
    out.Add("  SIZE " + std::to_string(width) + " " + std::to_string(height));
    // MapServer 8 writes no GIF (its GDAL driver takes no paletted picture); GIF's 256
    // colours become an 8-bit PNG.
    static constexpr std::string_view kImageTypes[] = {"png", "png8", "jpeg", "png"};
    const int32_t type = settings.image_type_index >= 0 && settings.image_type_index <= 3 ? settings.image_type_index : 0;
    out.Add("  IMAGETYPE " + std::string(kImageTypes[type]));
    out.Add("  IMAGECOLOR 255 255 255");
    out.Add("  SHAPEPATH \".\"");
    if (context.symbols_copied) out.Add("  SYMBOLSET \"etc/symbols.sym\"");
    if (context.font_copied) out.Add("  FONTSET \"etc/winfonts.txt\"");
    out.Add("");
    AddOutputFormats(out);
}

void AddWeb(TextLines& out, const MapFileContext& context) {
    const std::string title = WithoutQuotes(MapName(context.settings));
    std::string srs = Epsg(context.data_epsg) + " EPSG:4326 EPSG:3857";
    out.Add({"", "  WEB"});
    out.Add("    IMAGEPATH " + Quoted(Cp932ToUtf8(context.output_folder) + kMapServer8ImageFolder + "/"));
    out.Add({"    IMAGEURL \"/ms_tmp/\"", "    QUERYFORMAT \"text/html\""});
    out.Add("    MAXSCALEDENOM " + MaxScaleDenominator(context));
    out.Add("    MINSCALEDENOM " + std::string(kMinScaleDenominator));
    out.Add("    HEADER " + Quoted(std::string(kFeatureInfoFolder) + "header.html"));
    out.Add("    FOOTER " + Quoted(std::string(kFeatureInfoFolder) + "footer.html"));
    out.Add("    METADATA");
    out.Add("      \"ows_title\" " + Quoted(title));
    out.Add("      \"ows_abstract\" " + Quoted(title + " (数値地図2500)"));
    out.Add({"      \"wms_enable_request\" \"*\""});
    out.Add("      \"wms_srs\" " + Quoted(srs));
    out.Add({"      \"wms_feature_info_mime_type\" \"text/html\""});
    // OGC API Features (mapserv/<key>/ogcapi/...), its HTML pages from Debian's templates.
    out.Add({"      \"oga_enable_request\" \"*\"",
             "      \"oga_html_template_directory\" " + Quoted(kOgcApiTemplateFolder)});
    // The API's root as served (mapserv at /cgi-bin/mapserv, the map by its key), without a
    // host, so that its links hold on any server; mapserv 8.0 would otherwise repeat the path.
    out.Add("      \"oga_onlineresource\" " + Quoted(std::string("/cgi-bin/mapserv/") + kMapServer8MapKey + "/ogcapi"));
    out.Add({"    END", "  END"});
}

void AddFixedBlocks(TextLines& out, const MapFileContext& context) {
    out.Add({"", "  LEGEND", "    IMAGECOLOR 255 255 255", "    KEYSIZE 18 12", "    KEYSPACING 5 5",
             "    LABEL", "      SIZE MEDIUM", "      COLOR 0 0 89", "      OFFSET 0 0", "      PARTIALS TRUE",
             "    END", "    POSITION LL", "    STATUS ON"});
    out.Add("    TEMPLATE " + Quoted(std::string(kTemplateFolder) + "legend.html"));
    out.Add("  END");
    AddWeb(out, context);
    out.Add({"", "  REFERENCE"});
    out.Add("    IMAGE " + Quoted(std::string(kTemplateFolder) + "images/keymap.gif"));
    out.Add("    EXTENT " + ExtentNumbers(context.extent));
    out.Add({"    STATUS ON", "    MARKER 0", "    MINBOXSIZE 3",
             "    COLOR -1 -1 -1", "    OUTLINECOLOR 255 0 0", "    SIZE 100 100", "  END"});
    out.Add({"", "  SCALEBAR", "    BACKGROUNDCOLOR 0 0 0", "    COLOR 255 255 255", "    IMAGECOLOR 255 255 225",
             "    INTERVALS 6", "    LABEL", "      SIZE SMALL", "      COLOR 0 0 0", "      OFFSET 0 0",
             "      PARTIALS TRUE", "    END", "    OUTLINECOLOR 0 0 0", "    POSITION LL", "    SIZE 400 5",
             "    STATUS ON", "    STYLE 0", "    UNITS METERS", "  END"});
    out.Add({"", "  QUERYMAP", "    COLOR 255 0 0", "    SIZE -1 -1", "    STATUS OFF", "    STYLE HILITE",
             "  END"});
}

// The first `count` texts of a row, joined with "," and converted to UTF-8.
std::string JoinedUtf8(const std::array<std::string, kMaxLayerFields>& row, int32_t count) {
    std::string joined;
    for (int32_t i = 0; i < count && i < kMaxLayerFields; ++i) {
        if (i > 0) joined += ",";
        joined += Cp932ToUtf8(row[static_cast<std::size_t>(i)]);
    }
    return joined;
}

// The class's drawing of the features themselves. Lines have no fill: their colour is the
// one the catalogue gives as outline.
void AddFeatureStyle(TextLines& out, const LayerEntry& entry) {
    const std::string_view fill = entry.styles[0], outline = entry.styles[1];
    const bool line = entry.kind == LayerKind::Line || entry.kind == LayerKind::Road;
    if (fill.empty() && outline.empty()) return;
    out.Add("      STYLE");
    if (line) {
        out.Add("        COLOR " + std::string(fill.empty() ? outline : fill));
        out.Add("        WIDTH 1");
    } else {
        if (!fill.empty()) out.Add("        COLOR " + std::string(fill));
        if (!outline.empty()) out.Add("        OUTLINECOLOR " + std::string(outline));
    }
    out.Add("      END");
}

std::string FeatureIdField(int index) {
    const auto& names = FieldNameTable()[static_cast<std::size_t>(index)];
    for (const std::string& name : names)
        if (name == "id") return name;
    return "zumei";
}

void AddLayer(TextLines& out, const MapFileContext& context, int index) {
    const LayerEntry& entry = LayerCatalogue[static_cast<std::size_t>(index)];
    const std::string title = Cp932ToUtf8(LayerTitle(index));
    const std::string name = LayerDataName(index, false);
    out.Add("");
    out.Add("  # " + title + Cp932ToUtf8(LayerKindWord(entry.kind)));
    out.Add({"  LAYER", "    NAME " + Quoted(name), "    METADATA"});
    out.Add("      \"ows_title\" " + Quoted(title));
    out.Add("      \"DESCRIPTION\" " + Quoted(title));
    out.Add("      \"RESULT_FIELDS\" " +
            Quoted(JoinedUtf8(FieldNameTable()[static_cast<std::size_t>(index)], entry.field_count)));
    out.Add("      \"RESULT_HEADERS\" " +
            Quoted(JoinedUtf8(FieldCaptionTable()[static_cast<std::size_t>(index)], entry.field_count)));
    out.Add({"      \"wms_include_items\" \"all\"", "      \"gml_include_items\" \"all\""});
    // OGC API Features names each feature by a field: the record id, or the frame's sheet name.
    out.Add("      \"gml_featureid\" " + Quoted(FeatureIdField(index)));
    out.Add("    END");
    out.Add("    TYPE " + std::string(LayerTypeWord(entry.kind)));
    out.Add("    STATUS ON");
    const MapFileContext utf8_names = [&] {
        MapFileContext c = context;
        c.geopackage = Cp932ToUtf8(c.geopackage);
        return c;
    }();
    for (const std::string& line : LayerDataLines(utf8_names, index, "    ", "")) out.Add(line);
    // GeoPackage text is UTF-8 already.
    if (context.geopackage.empty()) out.Add("    ENCODING \"CP932\"");
    out.Add({"    PROJECTION", "      \"init=epsg:" + std::to_string(context.data_epsg) + "\"", "    END"});
    out.Add({"    TOLERANCE 4", "    TOLERANCEUNITS PIXELS"});
    // The map's scale limits on every layer: WMS and the web page honour only these.
    out.Add("    MAXSCALEDENOM " + MaxScaleDenominator(context));
    out.Add("    MINSCALEDENOM " + std::string(kMinScaleDenominator));
    out.Add("    LABELITEM " + Quoted(entry.label_field));
    out.Add("    TEMPLATE " + Quoted(FeatureInfoTemplatePath(index)));
    out.Add({"    CLASS", "      NAME " + Quoted(entry.short_name)});
    AddFeatureStyle(out, entry);
    if (context.symbols_copied && !entry.styles[3].empty()) {
        const PointStyle point = SplitPointStyle(entry.styles[3]);
        out.Add({"      STYLE", "        COLOR " + std::string(point.color), "        SIZE " + std::string(point.size),
                 "        SYMBOL " + std::string(point.symbol), "        MINSIZE 1", "        MAXSIZE 100",
                 "      END"});
    }
    if (context.font_copied && !entry.styles[2].empty()) {
        const std::string font = Cp932ToUtf8(context.font_file_name);
        out.Add({"      LABEL", "        FONT " + Quoted(FileNameStem(font)),
                 "        COLOR " + std::string(entry.styles[2]), "        SIZE 8", "        POSITION AUTO",
                 "        BUFFER 7", "      END"});
    }
    out.Add({"    END", "  END"});
}

// A text matched literally by a regular expression.
std::string RegexLiteral(std::string_view text) {
    std::string literal;
    for (char c : text) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) literal += '\\';
        literal += c;
    }
    return literal;
}

}  // namespace

std::string HtmlEscaped(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string FeatureInfoTemplatePath(int index) {
    return std::string(kFeatureInfoFolder) + LayerDataName(index, false) + ".html";
}

std::string FeatureInfoTemplateText(int index) {
    const LayerEntry& entry = LayerCatalogue[static_cast<std::size_t>(index)];
    const auto& names = FieldNameTable()[static_cast<std::size_t>(index)];
    const auto& captions = FieldCaptionTable()[static_cast<std::size_t>(index)];
    TextLines out;
    out.Add("<!-- MapServer Template -->");
    out.Add("<table class=\"gridora-feature\" data-layer=\"" + LayerDataName(index, false) + "\">");
    out.Add("<caption>" + HtmlEscaped(Cp932ToUtf8(LayerTitle(index))) + "</caption>");
    for (int32_t i = 0; i < entry.field_count && i < kMaxLayerFields; ++i) {
        const std::string name = Cp932ToUtf8(names[static_cast<std::size_t>(i)]);
        if (name.empty()) continue;
        std::string caption = Cp932ToUtf8(captions[static_cast<std::size_t>(i)]);
        while (!caption.empty() && caption.back() == ' ') caption.pop_back();
        if (caption.empty()) caption = name;
        out.Add("<tr><th>" + HtmlEscaped(caption) + "</th><td>[item name=\"" + name + "\" escape=\"html\"]</td></tr>");
    }
    out.Add("</table>");
    return out.Text();
}

std::string FeatureInfoHeaderText() {
    TextLines out;
    out.Add({"<!-- MapServer Template -->", "<!DOCTYPE html>", "<html lang=\"ja\">",
             "<head><meta charset=\"UTF-8\"><title>地物の属性</title></head>", "<body>"});
    return out.Text();
}

std::string FeatureInfoFooterText() {
    TextLines out;
    out.Add({"<!-- MapServer Template -->", "</body>", "</html>"});
    return out.Text();
}

std::string MapServer8ConfigText(const std::string& map_file, const std::string& folder) {
    TextLines out;
    out.Add({"# MapServer 8 configuration for the map file below: give its path to mapserv in",
             "# MAPSERVER_CONFIG_FILE, then ask for map=" + std::string(kMapServer8MapKey) +
                 " (or the map file's path).",
             "CONFIG", "  ENV"});
    std::string folder_with_slash = folder;
    if (folder_with_slash.empty() || folder_with_slash.back() != '/') folder_with_slash += '/';
    out.Add("    MS_MAP_PATTERN " + Quoted("^" + RegexLiteral(folder_with_slash) + "[^/]*\\.map$"));
    out.Add({"  END", "  MAPS"});
    out.Add("    " + std::string(kMapServer8MapKey) + " " + Quoted(map_file));
    out.Add({"  END", "END"});
    return out.Text();
}

std::string MapServer8MapFileText(const MapFileContext& context) {
    TextLines out;
    AddHeader(out, context);
    AddFixedBlocks(out, context);
    for (int index = 0; index < kLayerCount; ++index)
        if (context.files_made[static_cast<std::size_t>(index)].AnyMade()) AddLayer(out, context, index);
    out.Add("END");
    return out.Text();
}

}  // namespace gridora
