#include "mapserver/web_pages.h"

#include <proj.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>

#include "mapserver/mapserver8_map_text.h"

namespace gridora {
namespace {

// A JSON string literal that is also safe inside a <script> element.
std::string JsonString(std::string_view text) {
    std::string json = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '"': json += "\\\""; break;
            case '\\': json += "\\\\"; break;
            case '\n': json += "\\n"; break;
            case '\r': json += "\\r"; break;
            case '\t': json += "\\t"; break;
            case '<': json += "\\u003c"; break;
            case '>': json += "\\u003e"; break;
            case '&': json += "\\u0026"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    json += escaped;
                } else {
                    json += c;
                }
        }
    }
    return json + "\"";
}


// A PHP double-quoted string literal.
std::string PhpString(std::string_view text) {
    std::string php = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\' || c == '$') php += '\\';
        php += c;
    }
    return php + "\"";
}

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.7f", value);
    return text;
}

// Lines of a text block, each ended with CR LF.
std::string WithCrLf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// The page's behaviour. It reads the run's values from `gridora` (written before it) and
// leaves its Leaflet map in window.gridoraMap and the WMS state in body[data-wms]
// ("loading" / "loaded"), which the page's tests wait for.
constexpr std::string_view kPageScript = R"JS(
(function () {
  'use strict';
  var map = L.map('map', {maxZoom: 21});
  window.gridoraMap = map;
  var shown = gridora.layers.map(function (layer) { return layer.name; });
  var frameLayers = {};
  gridora.layers.forEach(function (layer) { if (layer.frame) frameLayers[layer.name] = true; });
  var wms = L.tileLayer.wms(gridora.wms, {
    layers: shown.join(','), styles: '', format: 'image/png', transparent: false,
    version: '1.3.0', tileSize: 512, maxZoom: 21
  });
  wms.on('loading', function () { document.body.dataset.wms = 'loading'; });
  wms.on('load', function () { document.body.dataset.wms = 'loaded'; });
  wms.addTo(map);

  function showLayers() {
    shown = gridora.layers.filter(function (layer) {
      return document.getElementById('layer-' + layer.name).checked;
    }).map(function (layer) { return layer.name; });
    if (shown.length === 0) {
      map.removeLayer(wms);
      return;
    }
    wms.setParams({layers: shown.join(',')});
    if (!map.hasLayer(wms)) wms.addTo(map);
  }

  function legendUrl(layer) {
    return gridora.wms + '&SERVICE=WMS&VERSION=1.3.0&REQUEST=GetLegendGraphic&SLD_VERSION=1.1.0' +
      '&FORMAT=image/png&LAYER=' + encodeURIComponent(layer.name) + '&RULE=' + encodeURIComponent(layer.rule);
  }

  var LayerList = L.Control.extend({
    options: {position: 'topright'},
    onAdd: function () {
      var box = L.DomUtil.create('div', 'gridora-layers');
      L.DomEvent.disableClickPropagation(box);
      L.DomEvent.disableScrollPropagation(box);
      L.DomUtil.create('div', 'gridora-title', box).textContent = gridora.title;
      L.DomUtil.create('div', 'gridora-heading', box).textContent = 'レイヤと凡例';
      gridora.layers.slice().reverse().forEach(function (layer) {
        var row = L.DomUtil.create('label', 'gridora-layer', box);
        var check = L.DomUtil.create('input', '', row);
        check.type = 'checkbox';
        check.checked = true;
        check.id = 'layer-' + layer.name;
        check.addEventListener('change', showLayers);
        var icon = L.DomUtil.create('img', 'gridora-legend', row);
        icon.src = legendUrl(layer);
        icon.alt = '';
        L.DomUtil.create('span', '', row).textContent = layer.title;
      });
      return box;
    }
  });
  new LayerList().addTo(map);

  var WholeExtent = L.Control.extend({
    options: {position: 'topleft'},
    onAdd: function () {
      var bar = L.DomUtil.create('div', 'leaflet-bar');
      var button = L.DomUtil.create('a', 'gridora-whole', bar);
      button.href = '#';
      button.title = '全体を表示';
      button.setAttribute('role', 'button');
      button.textContent = '全';
      L.DomEvent.on(button, 'click', function (event) {
        L.DomEvent.preventDefault(event);
        L.DomEvent.stopPropagation(event);
        map.fitBounds(gridora.bounds);
      });
      return bar;
    }
  });
  new WholeExtent().addTo(map);
  L.control.scale({imperial: false, maxWidth: 200}).addTo(map);

  // The answer is UTF-8: MapServer reads the layers' CP932 attributes and writes them so.
  map.on('click', function (event) {
    if (shown.length === 0) return;
    var size = map.getSize();
    var bounds = map.getBounds();
    var low = map.options.crs.project(bounds.getSouthWest());
    var high = map.options.crs.project(bounds.getNorthEast());
    var point = map.latLngToContainerPoint(event.latlng).round();
    var layers = shown.join(',');
    var url = gridora.wms + '&SERVICE=WMS&VERSION=1.3.0&REQUEST=GetFeatureInfo&CRS=EPSG:3857' +
      '&BBOX=' + [low.x, low.y, high.x, high.y].join(',') + '&WIDTH=' + size.x + '&HEIGHT=' + size.y +
      '&LAYERS=' + layers + '&QUERY_LAYERS=' + layers + '&STYLES=&FORMAT=image/png' +
      '&INFO_FORMAT=text/html&FEATURE_COUNT=20&I=' + point.x + '&J=' + point.y;
    fetch(url).then(function (answer) {
      if (!answer.ok) throw new Error('GetFeatureInfo: ' + answer.status);
      return answer.arrayBuffer();
    }).then(function (bytes) {
      var html = new TextDecoder('utf-8').decode(bytes);
      var found = new DOMParser().parseFromString(html, 'text/html').querySelectorAll('table.gridora-feature');
      var content = L.DomUtil.create('div', 'gridora-features');
      // The uppermost layer first: what the click most likely aimed at; the sheet frames,
      // which hold every point, last.
      var tables = Array.prototype.slice.call(found).reverse();
      tables = tables.filter(function (t) { return !frameLayers[t.dataset.layer]; })
        .concat(tables.filter(function (t) { return frameLayers[t.dataset.layer]; }));
      tables.forEach(function (table) {
        var shown = document.importNode(table, true);
        // Empty values (most of a building's six name slots) leave no row.
        shown.querySelectorAll('tr').forEach(function (row) {
          if (row.querySelector('td') && row.querySelector('td').textContent.trim() === '') row.remove();
        });
        content.appendChild(shown);
      });
      if (found.length === 0) content.textContent = 'この地点に地物はありません';
      L.popup({maxWidth: 420, maxHeight: 320}).setLatLng(event.latlng).setContent(content).openOn(map);
    }).catch(function (error) {
      L.popup().setLatLng(event.latlng).setContent('属性を取得できません：' + error.message).openOn(map);
    });
  });

  map.fitBounds(gridora.bounds);
})();
)JS";

constexpr std::string_view kPageStyle = R"CSS(
html, body { margin: 0; height: 100%; font-family: sans-serif; }
#map { position: absolute; top: 0; right: 0; bottom: 0; left: 0; background: #ffffff; }
.gridora-layers { background: #ffffff; padding: 6px 10px; border-radius: 4px; font-size: 13px;
  box-shadow: 0 1px 5px rgba(0, 0, 0, 0.4); max-height: 70vh; overflow-y: auto; }
.gridora-title { font-weight: bold; margin-bottom: 4px; }
.gridora-heading { color: #555555; margin-bottom: 2px; }
.gridora-layer { display: block; white-space: nowrap; line-height: 20px; }
.gridora-layer input, .gridora-layer img { vertical-align: middle; margin-right: 4px; }
.gridora-whole { font-weight: bold; }
.gridora-feature { border-collapse: collapse; margin-bottom: 8px; font-size: 12px; }
.gridora-feature caption { text-align: left; font-weight: bold; padding-bottom: 2px; }
.gridora-feature th { text-align: left; font-weight: normal; color: #555555; padding-right: 10px;
  white-space: nowrap; vertical-align: top; }
)CSS";

}  // namespace

GeographicBounds GeographicBoundsOf(const RunExtent& extent, int32_t epsg) {
    struct ContextDeleter {
        void operator()(PJ_CONTEXT* c) const { proj_context_destroy(c); }
    };
    struct TransformDeleter {
        void operator()(PJ* p) const { proj_destroy(p); }
    };
    std::unique_ptr<PJ_CONTEXT, ContextDeleter> context(proj_context_create());
    if (!context) return {};
    proj_log_level(context.get(), PJ_LOG_NONE);
    const std::string from = "EPSG:" + std::to_string(epsg);
    std::unique_ptr<PJ, TransformDeleter> raw(
        proj_create_crs_to_crs(context.get(), from.c_str(), "EPSG:4326", nullptr));
    if (!raw) return {};
    // Longitude first, whatever the axis order of the definitions.
    std::unique_ptr<PJ, TransformDeleter> transform(proj_normalize_for_visualization(context.get(), raw.get()));
    if (!transform) return {};
    GeographicBounds bounds{1e300, 1e300, -1e300, -1e300};
    constexpr int kSteps = 16;
    auto add = [&](double east, double north) {
        const PJ_COORD c = proj_trans(transform.get(), PJ_FWD, proj_coord(east, north, 0, 0));
        bounds = {std::min(bounds.west, c.lp.lam), std::min(bounds.south, c.lp.phi),
                  std::max(bounds.east, c.lp.lam), std::max(bounds.north, c.lp.phi)};
    };
    for (int i = 0; i <= kSteps; ++i) {
        const double t = static_cast<double>(i) / kSteps;
        const double east = extent.min_east + t * (extent.max_east - extent.min_east);
        const double north = extent.min_north + t * (extent.max_north - extent.min_north);
        add(east, extent.min_north);
        add(east, extent.max_north);
        add(extent.min_east, north);
        add(extent.max_east, north);
    }
    if (!(bounds.west <= bounds.east && bounds.south <= bounds.north) || bounds.east > 1e299) return {};
    return bounds;
}

std::string WebMapPageText(const WebMapPage& page) {
    std::string layers;
    for (const WebMapLayer& layer : page.layers) {
        if (!layers.empty()) layers += ",\n";
        layers += "    {name: " + JsonString(layer.name) + ", title: " + JsonString(layer.title) +
                  ", rule: " + JsonString(layer.class_name) + (layer.frame ? ", frame: true" : "") + "}";
    }
    const GeographicBounds& b = page.bounds;
    std::string html;
    html += "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"UTF-8\">\n";
    html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    html += "<link rel=\"icon\" href=\"data:,\">\n";  // no request for a favicon the folder lacks
    html += "<title>" + HtmlEscaped(page.title) + " - 数値地図2500</title>\n";
    html += "<link rel=\"stylesheet\" href=\"" + std::string(kLeafletFolder) + "/leaflet.css\">\n";
    html += "<script src=\"" + std::string(kLeafletFolder) + "/leaflet.js\"></script>\n";
    html += "<style>" + std::string(kPageStyle) + "</style>\n</head>\n<body>\n<div id=\"map\"></div>\n";
    html += "<script>\nvar gridora = {\n  title: " + JsonString(page.title) + ",\n  wms: " +
            JsonString(page.wms_url) + ",\n  bounds: [[" + Number(b.south) + ", " + Number(b.west) + "], [" +
            Number(b.north) + ", " + Number(b.east) + "]],\n  layers: [\n" + layers + "\n  ]\n};\n</script>\n";
    html += "<script>" + std::string(kPageScript) + "</script>\n</body>\n</html>\n";
    return WithCrLf(html);
}

std::string MapScript8PageText(const std::string& map_file, const std::string& title) {
    std::string php;
    php += "<?php\n";
    php += "// The map drawn by PHP MapScript of MapServer 8 (php-mapscript-ng): map, reference map,\n";
    php += "// legend and scale bar, each saved into the map's IMAGEPATH and shown from its IMAGEURL.\n";
    php += "$mapfile = " + PhpString(map_file) + ";\n";
    php += "if (!extension_loaded(\"mapscript\")) {\n";
    php += "    http_response_code(500);\n";
    php += "    exit(\"PHP MapScript (php-mapscript-ng) is not loaded\");\n";
    php += "}\n";
    php += "$map = new mapObj(__DIR__ . \"/\" . $mapfile);\n";
    php += "function gridora_web_image($map, $image, $name) {\n";
    php += "    $file = $name . \"_\" . bin2hex(random_bytes(8)) . \".\" . $image->format->extension;\n";
    php += "    $image->save($map->web->imagepath . $file, $map);\n";
    php += "    return $map->web->imageurl . $file;\n";
    php += "}\n";
    php += "$map_url = gridora_web_image($map, $map->draw(), \"map\");\n";
    php += "$reference_url = gridora_web_image($map, $map->drawReferenceMap(), \"reference\");\n";
    php += "$legend_url = gridora_web_image($map, $map->drawLegend(), \"legend\");\n";
    php += "$scalebar_url = gridora_web_image($map, $map->drawScalebar(), \"scalebar\");\n";
    php += "?>\n";
    php += "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"UTF-8\">\n<link rel=\"icon\" href=\"data:,\">\n";
    php += "<title>数値地図2500 - " + HtmlEscaped(title) + "</title>\n</head>\n<body>\n";
    php += "<h1>数値地図2500 - " + HtmlEscaped(title) + "</h1>\n<table>\n<tr>\n";
    php += "<td valign=\"top\"><img src=\"<?php echo htmlspecialchars($map_url); ?>\" alt=\"地図\"></td>\n";
    php += "<td valign=\"top\">\n";
    php += "<img src=\"<?php echo htmlspecialchars($reference_url); ?>\" alt=\"索引図\"><br>\n";
    php += "<img src=\"<?php echo htmlspecialchars($legend_url); ?>\" alt=\"凡例\">\n";
    php += "</td>\n</tr>\n";
    php += "<tr><td><img src=\"<?php echo htmlspecialchars($scalebar_url); ?>\" alt=\"縮尺\"></td><td></td></tr>\n";
    php += "</table>\n</body>\n</html>\n";
    return WithCrLf(php);
}

bool CopyLeaflet(const std::filesystem::path& source, const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = folder / kLeafletFolder;
    fs::create_directories(target / "images", ec);
    bool copied = true;
    for (const char* file : {"leaflet.js", "leaflet.css"})
        copied = fs::copy_file(source / file, target / file, fs::copy_options::overwrite_existing, ec) && copied;
    // The style sheet's control and marker images.
    int images = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(source / "images", ec)) {
        if (!entry.is_regular_file(ec)) continue;
        copied = fs::copy_file(entry.path(), target / "images" / entry.path().filename(),
                               fs::copy_options::overwrite_existing, ec) && copied;
        ++images;
    }
    return copied && images > 0;
}

}  // namespace gridora
