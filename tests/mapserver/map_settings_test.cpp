#include <gtest/gtest.h>

#include "mapserver/map_settings.h"
#include "platform/cp932.h"
#include "platform/ini_file.h"
#include "scratch_folder.h"

namespace gridora {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;

std::string Key(std::string_view utf8) { return ToCp932(utf8); }

TEST(MapSettings, NoSettingsFileGivesTheDefaultsAndAJapaneseGothicFont) {
    ScratchFolder dir;
    const MapSettings settings = LoadMapSettings(dir / "none.Ini");
    EXPECT_EQ(settings.width, 400);
    EXPECT_EQ(settings.height, 300);
    EXPECT_EQ(settings.units_index, 1);
    EXPECT_EQ(settings.image_type_index, 0);
    EXPECT_TRUE(settings.seamless_files);
    EXPECT_FALSE(settings.layer_information_only);
    EXPECT_TRUE(settings.mapserver8);  // today's MapServer gets its map file unless asked not to
    EXPECT_TRUE(settings.rejected_values.empty());
    EXPECT_TRUE(settings.map_name.empty());
    EXPECT_TRUE(settings.maximum_scale.empty());
    EXPECT_EQ(settings.kanji_font, DefaultKanjiFontPath());
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(Cp932ToUtf8(settings.kanji_font))))
        << Cp932ToUtf8(settings.kanji_font);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.Ini"));  // loading writes nothing
}

TEST(MapSettings, SavedSettingsLoadBackAndAreWrittenInKeyOrderAsCp932) {
    ScratchFolder dir;
    const auto ini = dir.Write("g.Ini", "[" + Key("フォルダー") + "]\r\n" + Key("出力") + "=/x/run.lis\r\n");
    MapSettings settings;
    settings.map_file_name = "run.map";
    settings.layer_information_only = true;
    settings.map_name = Key("東京");
    settings.width = 800;
    settings.height = 600;
    settings.units_index = 0;
    settings.image_type_index = 3;
    settings.minimum_scale = "100";
    settings.maximum_scale = "50000";
    settings.web_header = "h.html";
    settings.web_template = "t.html";
    settings.web_footer = "f.html";
    settings.kanji_font = Key("/fonts/ゴシック.ttf");
    settings.seamless_files = false;
    settings.mapserver8 = true;
    ASSERT_TRUE(SaveMapSettings(ini, settings));
    EXPECT_EQ(LoadMapSettings(ini), settings);

    const std::string expected = "[" + Key("フォルダー") + "]\r\n" + Key("出力") + "=/x/run.lis\r\n" +
                                 "[MapServer]\r\n" + Key("Mapファイル名=run.map\r\nレイヤ情報のみ=1\r\nMap名=東京\r\n"
                                 "地図サイズ幅=800\r\n地図サイズ高さ=600\r\n座標単位=0\r\n座標タイプ=3\r\n"
                                 "最小スケール=100\r\n最大スケール=50000\r\nWebヘッダ=h.html\r\n"
                                 "Webテンプレート=t.html\r\nWebフッタ=f.html\r\n漢字フォント=/fonts/ゴシック.ttf\r\n"
                                 "シームレス=0\r\nMapServer8=1\r\n");
    EXPECT_EQ(ReadBytes(ini), expected);
}

TEST(MapSettings, BooleansReadAnyValueButZeroAsTrueAndKeysIgnoreAsciiCase) {
    ScratchFolder dir;
    const auto ini = dir.Write("g.Ini", "[mapserver]\r\n" + Key("レイヤ情報のみ") + "=7\r\n" + Key("シームレス") +
                                            "=0\r\nmapserver8=-1\r\n" + Key("地図サイズ幅") + "=wide\r\n");
    const MapSettings settings = LoadMapSettings(ini);
    EXPECT_TRUE(settings.layer_information_only);
    EXPECT_FALSE(settings.seamless_files);
    EXPECT_TRUE(settings.mapserver8);
    EXPECT_EQ(settings.width, 400);  // a stored text that is no number reads as the default
}

// A stored value that must be a number and is not becomes the default, with a message that
// names the key, the value and the default; numbers pass as they are (blanks dropped).
TEST(MapSettings, ValuesThatAreNoNumbersGetTheirDefaultAndAMessageNamingKeyAndValue) {
    struct Case {
        std::string_view key, stored;
        std::string_view default_text;  // empty: the value is accepted
    };
    const Case cases[] = {
        {"最大スケール", "1/25000", "（地図の範囲から計算）"},
        {"最大スケール", "1:25000", "（地図の範囲から計算）"},
        {"最大スケール", "-100", "（地図の範囲から計算）"},
        {"最大スケール", "0", "（地図の範囲から計算）"},
        {"最大スケール", "1e5", "（地図の範囲から計算）"},
        {"最大スケール", "２５０００", "（地図の範囲から計算）"},  // full-width digits
        {"最小スケール", "千", "（なし）"},
        {"地図サイズ幅", "wide", "400"},
        {"地図サイズ高さ", "12px", "300"},
        {"座標単位", "m", "1"},
        {"座標タイプ", "png", "0"},
        {"最大スケール", "25000", ""},
        {"最大スケール", "2500.5", ""},
        {"最小スケール", "200", ""},
        {"最大スケール", "", ""},
        {"地図サイズ幅", "640", ""},
        {"座標タイプ", "-1", ""},
    };
    ScratchFolder dir;
    const MapSettings defaults = LoadMapSettings(dir / "none.Ini");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + std::string(c.stored));
        const auto ini = dir.Write("g.Ini", "[MapServer]\r\n" + Key(c.key) + "=" + Key(c.stored) + "\r\n");
        MapSettings settings = LoadMapSettings(ini);
        if (c.default_text.empty()) {
            EXPECT_TRUE(settings.rejected_values.empty());
            continue;
        }
        ASSERT_EQ(settings.rejected_values.size(), 1u);
        EXPECT_EQ(Cp932ToUtf8(settings.rejected_values[0]), "Map設定「" + std::string(c.key) + "」の値「" +
                                                                std::string(c.stored) + "」は数値ではないため、既定値" +
                                                                std::string(c.default_text) + "を使います");
        settings.rejected_values.clear();
        EXPECT_EQ(settings, defaults);
    }
    // Blanks around a scale are dropped, so the map file gets the number alone.
    const auto ini = dir.Write("g.Ini", "[MapServer]\r\n" + Key("最大スケール") + "= 30000 \r\n");
    EXPECT_EQ(LoadMapSettings(ini).maximum_scale, "30000");
}

TEST(MapSettings, EmptyStoredFontBecomesTheDefaultFont) {
    ScratchFolder dir;
    const auto ini = dir.Write("g.Ini", "[MapServer]\r\n" + Key("漢字フォント") + "=\r\n");
    EXPECT_EQ(LoadMapSettings(ini).kanji_font, DefaultKanjiFontPath());
}

TEST(MapSettingsControls, WidthAbcIsStoredAsZeroAndNoSelectionAsMinusOne) {
    ScratchFolder dir;
    MapSettingsControls controls = ControlsFromSettings(LoadMapSettings(dir / "g.Ini"));
    EXPECT_EQ(controls.width, "400");
    EXPECT_EQ(controls.height, "300");
    controls.width = "abc";
    controls.height = " 250 ";
    controls.image_type_index = -1;
    ASSERT_TRUE(StoreMapSettingsControls(dir / "g.Ini", controls));

    const IniFile ini(dir / "g.Ini");
    EXPECT_EQ(ini.ReadString("MapServer", Key("地図サイズ幅"), "?"), "0");
    EXPECT_EQ(ini.ReadString("MapServer", Key("地図サイズ高さ"), "?"), "250");
    EXPECT_EQ(ini.ReadString("MapServer", Key("座標タイプ"), "?"), "-1");
    EXPECT_EQ(ini.ReadString("MapServer", Key("シームレス"), "?"), "1");

    const MapSettings reloaded = LoadMapSettings(dir / "g.Ini");
    EXPECT_EQ(reloaded.width, 0);
    EXPECT_EQ(ControlsFromSettings(reloaded).width, "0");
}

TEST(MapSettingsControls, ControlIntegersAreDecimalNumbersInThe32BitRangeOrZero) {
    EXPECT_EQ(IntegerFromControlText("640"), 640);
    EXPECT_EQ(IntegerFromControlText("-5"), -5);
    EXPECT_EQ(IntegerFromControlText("+7"), 7);
    EXPECT_EQ(IntegerFromControlText(""), 0);
    EXPECT_EQ(IntegerFromControlText("12px"), 0);
    EXPECT_EQ(IntegerFromControlText("4294967296"), 0);
    EXPECT_EQ(IntegerFromControlText("1 2"), 0);
}

TEST(MapSettingsControls, ComboItemsAndTheirTextsByIndex) {
    EXPECT_EQ(ComboItemText(UnitsComboItems, 1), "メートル");
    EXPECT_EQ(ComboItemText(ImageTypeComboItems, 3), "png");
    EXPECT_EQ(ComboItemText(ImageTypeComboItems, 0), "");
    EXPECT_EQ(ComboItemText(ImageTypeComboItems, 4), "");
    EXPECT_EQ(ComboItemText(UnitsComboItems, -1), "");
}

}  // namespace
}  // namespace gridora
