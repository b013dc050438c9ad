// The map-server settings: how the map file, PHP page and support files of a run are
// written. They live in the settings file, section "MapServer", one key per field; the
// window loads them at its start and after its settings dialog closes with OK, and the
// map-file writer reads only the record it is given.
//
// Texts in the record are CP932 bytes, as the settings file holds them (the Kanji font is
// a path in that form; PathFromCp932 gives the file-system path). The dialog converts them
// to and from UTF-8 where its widgets show them.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace gridora {

struct MapSettings {
    std::string map_file_name;           // "Mapファイル名" (hidden in the dialog, kept)
    bool layer_information_only = false;  // "レイヤ情報のみ": only the LAYER blocks
    std::string map_name;                // "Map名"
    int32_t width = 400;                 // "地図サイズ幅", pixels
    int32_t height = 300;                // "地図サイズ高さ", pixels
    int32_t units_index = 1;             // "座標単位": index into UnitsComboItems
    int32_t image_type_index = 0;        // "座標タイプ": index into ImageTypeComboItems
    std::string minimum_scale;           // "最小スケール" (not written to the map file)
    std::string maximum_scale;           // "最大スケール"; empty: computed from the extent
    std::string web_header;              // "Webヘッダ" (hidden, kept)
    std::string web_template;            // "Webテンプレート" (hidden, kept)
    std::string web_footer;              // "Webフッタ" (hidden, kept)
    std::string kanji_font;              // "漢字フォント": the font file copied beside the map
    bool seamless_files = true;          // "シームレス": polygon layers draw the _pgn files
    bool mapserver8 = true;              // "MapServer8": also write <list base>_ms8.map and the web map

    // What loading found wrong: one message (CP932) per stored value that is not a number
    // where one is needed, naming the key, the value and the default used instead. The
    // map-file writer shows them, so the user learns why the map differs from the settings.
    std::vector<std::string> rejected_values;

    friend bool operator==(const MapSettings&, const MapSettings&) = default;
};

// The section of the settings file that holds the record.
inline constexpr std::string_view kMapSettingsSection = "MapServer";

// The file of the best match for a Japanese Gothic face, as fontconfig finds it; a fixed
// path of Debian's Japanese Gothic font when fontconfig finds none. CP932 text.
std::string DefaultKanjiFontPath();

// The record from the settings file: every key read with its default when missing (a
// missing file is an empty one); an empty Kanji font becomes DefaultKanjiFontPath().
// Booleans read any value other than 0 as true. A value that must be a number and is not
// (a size or index that is no decimal integer, a scale that is no positive decimal number
// such as "1/25000") gets its default, and a message in rejected_values.
MapSettings LoadMapSettings(const std::filesystem::path& settings_file);

// Writes every key, in key order, booleans as 1 or 0, keeping the file's other lines.
// False when the file cannot be written.
bool SaveMapSettings(const std::filesystem::path& settings_file, const MapSettings& settings);

// The settings dialog's controls as values: edit texts (CP932), check boxes and the item
// indices of the two combo boxes (-1 when nothing is selected).
struct MapSettingsControls {
    std::string map_file_name;
    bool layer_information_only = false;
    std::string map_name;
    std::string width;   // edit text; converted with IntegerFromControlText
    std::string height;
    int32_t units_index = -1;
    int32_t image_type_index = -1;
    std::string minimum_scale;
    std::string maximum_scale;
    std::string web_header;
    std::string web_template;
    std::string web_footer;
    std::string kanji_font;
    bool seamless_files = false;
    bool mapserver8 = false;

    friend bool operator==(const MapSettingsControls&, const MapSettingsControls&) = default;
};

// What the dialog shows for a record: integers as decimal text, the rest as they are.
MapSettingsControls ControlsFromSettings(const MapSettings& settings);

// The record the controls stand for. Width and height are decimal integers (blanks around
// them allowed); any other text, such as "abc", is 0.
MapSettings SettingsFromControls(const MapSettingsControls& controls);

// The dialog's OK: writes every control under its key, in key order. Reload with
// LoadMapSettings afterwards, so the record matches the file.
bool StoreMapSettingsControls(const std::filesystem::path& settings_file, const MapSettingsControls& controls);

// A control's integer text: a decimal number in the 32-bit range, optionally signed and
// surrounded by blanks; 0 for anything else.
int32_t IntegerFromControlText(std::string_view text);

// The items of the two combo boxes, in index order, as the widgets show them (UTF-8).
inline constexpr std::array<std::string_view, 2> UnitsComboItems = {"", "メートル"};
inline constexpr std::array<std::string_view, 4> ImageTypeComboItems = {"", "gif", "jpeg", "png"};

// The text of item `index` of a combo box, empty when the index names no item.
template <std::size_t N>
std::string_view ComboItemText(const std::array<std::string_view, N>& items, int32_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < N ? items[static_cast<std::size_t>(index)]
                                                             : std::string_view{};
}

}  // namespace gridora
