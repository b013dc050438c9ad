#include "mapserver/map_settings.h"

#include <fontconfig/fontconfig.h>

#include <charconv>
#include <memory>

#include "platform/cp932.h"
#include "platform/file_lookup.h"
#include "platform/ini_file.h"

namespace gridora {
namespace {

// Debian's alternative for "the" Japanese Gothic font (fonts-ipafont-gothic and
// fonts-noto-cjk both provide it).
constexpr std::string_view kFallbackKanjiFont = "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf";

// Calls visit(key, field...) for every field of the given settings records (MapSettings or
// MapSettingsControls), in the order the keys are stored. Keys are UTF-8 source text.
template <typename Visit, typename... Records>
void VisitInKeyOrder(Visit&& visit, Records&... records) {
    visit("Mapファイル名", records.map_file_name...);
    visit("レイヤ情報のみ", records.layer_information_only...);
    visit("Map名", records.map_name...);
    visit("地図サイズ幅", records.width...);
    visit("地図サイズ高さ", records.height...);
    visit("座標単位", records.units_index...);
    visit("座標タイプ", records.image_type_index...);
    visit("最小スケール", records.minimum_scale...);
    visit("最大スケール", records.maximum_scale...);
    visit("Webヘッダ", records.web_header...);
    visit("Webテンプレート", records.web_template...);
    visit("Webフッタ", records.web_footer...);
    visit("漢字フォント", records.kanji_font...);
    visit("シームレス", records.seamless_files...);
    visit("MapServer8", records.mapserver8...);
}

struct FontconfigPatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using FontconfigPattern = std::unique_ptr<FcPattern, FontconfigPatternDeleter>;

// The message for a stored value that is not the number its key needs.
std::string RejectedValueMessage(std::string_view key_utf8, std::string_view value_cp932,
                                 std::string_view default_utf8) {
    return ToCp932("Map設定「" + std::string(key_utf8) + "」の値「") + std::string(value_cp932) +
           ToCp932("」は数値ではないため、既定値" + std::string(default_utf8) + "を使います");
}

// A scale is the denominator of the map's scale: a positive decimal number ("25000",
// "2500.5"), blanks around it allowed and dropped. Anything else (a ratio "1/25000", a
// word) would end up in the map file, which MapServer then refuses whole; it becomes the
// default, empty.
void CheckScale(std::string_view key_utf8, std::string& scale, std::string_view default_utf8,
                std::vector<std::string>& rejected) {
    std::string_view text = scale;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (scale.empty()) return;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    const bool digits_only = text.find_first_not_of("0123456789.") == std::string_view::npos;
    if (!text.empty() && digits_only && error == std::errc() && end == text.data() + text.size() && value > 0) {
        scale = std::string(text);
        return;
    }
    rejected.push_back(RejectedValueMessage(key_utf8, scale, default_utf8));
    scale.clear();
}

}  // namespace

std::string DefaultKanjiFontPath() {
    std::string path;
    if (FcConfig* config = FcInitLoadConfigAndFonts()) {
        FontconfigPattern pattern(FcNameParse(reinterpret_cast<const FcChar8*>(":lang=ja:style=Regular")));
        if (pattern) {
            FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
            FcDefaultSubstitute(pattern.get());
            FcResult result = FcResultNoMatch;
            FontconfigPattern match(FcFontMatch(config, pattern.get(), &result));
            FcChar8* file = nullptr;
            // A best match is always returned; only one that covers Japanese will do.
            FcLangSet* languages = nullptr;
            if (match && FcPatternGetString(match.get(), FC_FILE, 0, &file) == FcResultMatch &&
                FcPatternGetLangSet(match.get(), FC_LANG, 0, &languages) == FcResultMatch &&
                FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual)
                path = reinterpret_cast<const char*>(file);
        }
        FcConfigDestroy(config);
    }
    if (path.empty()) path = kFallbackKanjiFont;
    return PathToCp932(path);
}

MapSettings LoadMapSettings(const std::filesystem::path& settings_file) {
    const IniFile ini(settings_file);
    MapSettings settings;
    VisitInKeyOrder([&](std::string_view key_utf8, auto& field) {
        const std::string key = ToCp932(key_utf8);
        using Field = std::remove_reference_t<decltype(field)>;
        if constexpr (std::is_same_v<Field, bool>) {
            field = ini.ReadInteger(kMapSettingsSection, key, field ? 1 : 0) != 0;
        } else if constexpr (std::is_same_v<Field, int32_t>) {
            const int32_t default_value = field;
            field = ini.ReadInteger(kMapSettingsSection, key, default_value);
            // Two different defaults come back only when the stored text is no integer.
            const std::string text = ini.ReadString(kMapSettingsSection, key, "");
            if (!text.empty() && ini.ReadInteger(kMapSettingsSection, key, 0) != ini.ReadInteger(kMapSettingsSection, key, 1))
                settings.rejected_values.push_back(
                    RejectedValueMessage(key_utf8, text, std::to_string(default_value)));
        } else {
            field = ini.ReadString(kMapSettingsSection, key, field);
        }
    }, settings);
    CheckScale("最小スケール", settings.minimum_scale, "（なし）", settings.rejected_values);
    CheckScale("最大スケール", settings.maximum_scale, "（地図の範囲から計算）", settings.rejected_values);
    if (settings.kanji_font.empty()) settings.kanji_font = DefaultKanjiFontPath();
    return settings;
}

bool SaveMapSettings(const std::filesystem::path& settings_file, const MapSettings& settings) {
    IniFile ini(settings_file);
    VisitInKeyOrder([&](std::string_view key_utf8, const auto& field) {
        const std::string key = ToCp932(key_utf8);
        using Field = std::remove_cvref_t<decltype(field)>;
        if constexpr (std::is_same_v<Field, bool>)
            ini.WriteInteger(kMapSettingsSection, key, field ? 1 : 0);
        else if constexpr (std::is_same_v<Field, int32_t>)
            ini.WriteInteger(kMapSettingsSection, key, field);
        else
            ini.WriteString(kMapSettingsSection, key, field);
    }, settings);
    return ini.Save();
}

int32_t IntegerFromControlText(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return 0;
    return value;
}

namespace {

// One control value from one record value, and back: integers in edit boxes are text.
void CopyValue(const std::string& from, std::string& to) { to = from; }
void CopyValue(int32_t from, std::string& to) { to = std::to_string(from); }
void CopyValue(const std::string& from, int32_t& to) { to = IntegerFromControlText(from); }
void CopyValue(int32_t from, int32_t& to) { to = from; }
void CopyValue(bool from, bool& to) { to = from; }

}  // namespace

MapSettingsControls ControlsFromSettings(const MapSettings& settings) {
    MapSettingsControls controls;
    VisitInKeyOrder([](std::string_view, const auto& from, auto& to) { CopyValue(from, to); }, settings, controls);
    return controls;
}

MapSettings SettingsFromControls(const MapSettingsControls& controls) {
    MapSettings settings;
    VisitInKeyOrder([](std::string_view, const auto& from, auto& to) { CopyValue(from, to); }, controls, settings);
    return settings;
}

bool StoreMapSettingsControls(const std::filesystem::path& settings_file, const MapSettingsControls& controls) {
    return SaveMapSettings(settings_file, SettingsFromControls(controls));
}

}  // namespace gridora
