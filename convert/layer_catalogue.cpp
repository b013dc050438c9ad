#include "convert/layer_catalogue.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <span>
#include <vector>

#include "platform/cp932.h"
#include "platform/ini_file.h"

namespace gridora {

const std::array<LayerEntry, kLayerCount> LayerCatalogue = {{
    {LayerKind::Polygon, "市・町", "ku", 5, "cityname", "GYOUSEI", "SI_TYO", "GYOUSEI", "", "",
     {"250 250 235", "194 194 194", "0 0 0", ""}},
    {LayerKind::Polygon, "住所（町ライン）", "gaiku_line", 6, "cyoname", "GYOUSEI", "TYOME", "GYOUSEI", "", "",
     {"250 250 235", "194 194 194", "0 0 0", ""}},
    {LayerKind::Polygon, "街区", "gaiku", 12, "gaiku1", "GAIKU", "GAIKU", "GAIKU", "", "",
     {"250 250 235", "194 194 194", "0 0 0", ""}},
    {LayerKind::Polygon, "場地", "zyouti", 4, "name", "OTHERS", "ZYOUTI", "OTHERS", "", "",
     {"208 255 208", "0 158 0", "128 128 64", ""}},
    {LayerKind::Polygon, "水地", "mizu", 4, "name", "MIZU", "MIZU", "MIZU", "", "",
     {"200 255 255", "0 0 255", "0 0 255", ""}},
    {LayerKind::Polygon, "建物", "tatemono", 15, "tname1", "TATEMONO", "TATEMONO", "TATEMONO", "", "",
     {"225 225 255", "128 128 255", "128 64 64", ""}},
    {LayerKind::Road, "道路", "doro", 11, "name", "ROAD", "ROAD", "ROADNTWK", "ROADNTWK", "ROADNTWK",
     {"", "255 128 0", "", ""}},
    {LayerKind::Line, "鉄道", "rail", 4, "name", "OTHERS", "TETUDOU", "OTHERS", "", "",
     {"", "0 128 0", "", ""}},
    {LayerKind::Point, "駅", "eki", 4, "name", "OTHERS", "EKI", "", "", "",
     {"0 64 128", "0 64 128", "0 128 64", "0 128 0,4,4"}},
    {LayerKind::Point, "基準点", "kijyun", 14, "tenname", "KIJUNTEN", "SANKAKU", "", "", "",
     {"255 128 64", "", "255 128 64", "255 0 0,6,1"}},
    {LayerKind::Frame, "図葉", "zuyo", 15, "zumei", "", "ZUYO", "", "", "",
     {"", "0 255 0", "0 255 0", ""}},
}};

namespace {

// Every 32-bit value fits, "-2147483648" included.
constexpr int kNumberWidth = 11;

constexpr FieldSpec Text(std::string_view name, int width, std::string_view caption = {}) {
    return {name, FieldType::Text, width, caption};
}
constexpr FieldSpec Number(std::string_view name, std::string_view caption = {}) {
    return {name, FieldType::Integer, kNumberWidth, caption};
}

constexpr FieldSpec kZuyoFields[] = {
    Text("city", 5, "都道府県C"),   Text("zumei", 10, "図名"),     Text("name1", 80, "作成年月"),
    Text("name2", 100, "図歴"),     Text("name3", 100, "レベル"),  Text("name4", 20, "座標単位"),
    Text("name5", 100, "隣接図名"), Text("name6", 10, "準拠座標系"), Text("name7", 60, "座標系フラグ"),
    Text("name8", 30, "左下"),      Text("name9", 30, "右上"),     Text("name10", 30, "左上"),
    Text("name11", 30, "右下"),
};

// The fields every layer but the frame starts with.
constexpr FieldSpec kCommonFields[] = {
    Number("id", "ID"), Text("zumei", 7, "図名"), Text("cd", 8, "分類C"),
};

constexpr FieldSpec kTatemonoFields[] = {
    Text("tcode1", 4, "公共建物C"), Text("tname1", 100, "名称"),
    Text("tcode2", 4, "公共建物C"), Text("tname2", 100, "名称"),
    Text("tcode3", 4, "公共建物C"), Text("tname3", 100, "名称"),
    Text("tcode4", 4, "公共建物C"), Text("tname4", 100, "名称"),
    Text("tcode5", 4, "公共建物C"), Text("tname5", 100, "名称"),
    Text("tcode6", 4, "公共建物C"), Text("tname6", 100, "名称"),
};

constexpr FieldSpec kSiTyoFields[] = {
    Text("citycode", 5, "市区町村C"), Text("cityname", 60, "市区町村名"),
};

constexpr FieldSpec kTyomeFields[] = {
    Text("citycode", 5, "市区町村C"), Text("cyocode", 6, "町丁目C"),
    Text("cyoname", 100, "大字・町丁目名"),
};

constexpr FieldSpec kGaikuFields[] = {
    Text("citycode", 5, "市区町村C"), Text("cyocode", 6, "町丁目C"),
    Text("cyoname", 100, "大字・町丁目名"),
    Text("gaiku1", 20, "街区符号"), Text("gaiku2", 20, "街区符号"), Text("gaiku3", 20, "街区符号"),
    Text("gaiku4", 20, "街区符号"), Text("gaiku5", 20, "街区符号"), Text("gaiku6", 20, "街区符号"),
};

constexpr FieldSpec kRoadFields[] = {
    Number("ltag", "線種タグ "),
    Text("name", 100, "道路の名称"), Text("name1", 100, "道路の名称"), Text("name2", 100, "道路の名称"),
    Text("name3", 100, "道路の名称"), Text("name4", 100, "道路の名称"),
    Number("nods", "始ノード"), Number("node", "終ノード"),
};

constexpr FieldSpec kNodFields[] = {
    Number("ptag"), Text("ptagname", 36), Number("arcnum"),
};

constexpr FieldSpec kTetudouFields[] = {
    Number("ltag", "線種タグ "), Text("name", 100, "名称"),
};

constexpr FieldSpec kZyoutiFields[] = {Text("name", 100, "名称")};
constexpr FieldSpec kEkiFields[] = {Text("name", 100, "駅名")};
constexpr FieldSpec kMizuFields[] = {Text("name", 100, "名称")};

constexpr FieldSpec kSankakuFields[] = {
    Text("meshcode", 20, "３次"), Text("tencode", 30, "点コード"), Text("tenname", 60, "点名"),
    Text("mapcode", 20, "地図コード"), Text("ido", 12, "緯度"), Text("keido", 12, "経度"),
    Text("kind", 10, "種別"), Text("kei", 4, "座標系"), Text("x", 13, "Ｘ"), Text("y", 13, "Ｙ"),
    Text("h", 10, "標高"),
};

constexpr FieldSpec kArcFields[] = {
    Number("ltag"), Number("rpgnid"), Number("lpgnid"), Number("rflg"), Number("lflg"),
};

// The fields a layer name adds; the frame has no common fields.
struct LayerSchema {
    std::string_view layer_name;
    std::span<const FieldSpec> fields;
    bool common = true;
};

constexpr LayerSchema kSchemas[] = {
    {"ZUYO", kZuyoFields, false},       {"TATEMONO", kTatemonoFields}, {"SI_TYO", kSiTyoFields},
    {"TYOME", kTyomeFields},     {"GAIKU", kGaikuFields},       {"ROAD", kRoadFields},
    {"NOD", kNodFields},         {"TETUDOU", kTetudouFields},   {"ZYOUTI", kZyoutiFields},
    {"EKI", kEkiFields},         {"MIZU", kMizuFields},         {"SANKAKU", kSankakuFields},
    {"ARC", kArcFields},
};

// Fills a table row per catalogue entry with one text per field of its schema.
template <typename TextOf>
FieldTable BuildFieldTable(TextOf text_of) {
    FieldTable table;
    for (int i = 0; i < kLayerCount; ++i) {
        std::vector<FieldSpec> fields = LayerFields(LayerCatalogue[static_cast<std::size_t>(i)].layer_file);
        for (std::size_t j = 0; j < fields.size() && j < kMaxLayerFields; ++j)
            table[static_cast<std::size_t>(i)][j] = text_of(fields[j]);
    }
    return table;
}

}  // namespace

const std::string& LayerTitle(int index) {
    static const auto titles = [] {
        std::array<std::string, kLayerCount> out;
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = ToCp932(LayerCatalogue[i].title);
        return out;
    }();
    static const std::string empty;
    return (index >= 0 && index < kLayerCount) ? titles[static_cast<std::size_t>(index)] : empty;
}

std::vector<FieldSpec> LayerFields(std::string_view layer_name) {
    std::vector<FieldSpec> fields;
    const LayerSchema* schema = nullptr;
    for (const LayerSchema& s : kSchemas) {
        if (EqualsIgnoringAsciiCase(s.layer_name, layer_name)) {
            schema = &s;
            break;
        }
    }
    if (!schema || schema->common) fields.assign(std::begin(kCommonFields), std::end(kCommonFields));
    if (schema) fields.insert(fields.end(), schema->fields.begin(), schema->fields.end());
    return fields;
}

const FieldTable& FieldNameTable() {
    static const FieldTable table = BuildFieldTable([](const FieldSpec& f) { return std::string(f.name); });
    return table;
}

const FieldTable& FieldCaptionTable() {
    static const FieldTable table = BuildFieldTable([](const FieldSpec& f) { return ToCp932(f.caption); });
    return table;
}

}  // namespace gridora
