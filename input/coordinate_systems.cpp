#include "input/coordinate_systems.h"

#include "platform/cp932.h"

namespace gridora {

const std::array<CoordinateSystem, 19> CoordinateSystemTable = {{
    {1, "第Ⅰ系", "129.5", "33", "2443"},
    {2, "第Ⅱ系", "131", "33", "2444"},
    {3, "第Ⅲ系", "132.166666", "36", "2445"},
    {4, "第Ⅳ系", "133.5", "33", "2446"},
    {5, "第Ⅴ系", "134.333333", "36", "2447"},
    {6, "第Ⅵ系", "136", "36", "2448"},
    {7, "第Ⅶ系", "137.166666", "36", "2449"},
    {8, "第Ⅷ系", "138.5", "36", "2450"},
    {9, "第Ⅸ系", "139.833333", "36", "2451"},
    {10, "第Ⅹ系", "140.833333", "40", "2452"},
    {11, "第ⅩⅠ系", "140.25", "44", "2453"},
    {12, "第ⅩⅡ系", "142.25", "44", "2454"},
    {13, "第ⅩⅢ系", "144.25", "44", "2455"},
    {14, "第ⅩⅣ系", "142", "26", "2456"},
    {15, "第ⅩⅤ系", "127.5", "26", "2457"},
    {16, "第ⅩⅥ系", "124", "26", "2458"},
    {17, "第ⅩⅦ系", "131", "26", "2459"},
    {18, "第ⅩⅧ系", "136", "20", "2460"},
    {19, "第ⅩⅨ系", "154", "26", "2461"},
}};

namespace {

constexpr std::array<std::string_view, 4> kDatumTexts = {
    "平面直角座標系（日本測地系）",
    "平面直角座標系（世界測地系（全座標変換））",
    "平面直角座標系（世界測地系（代表点変換））",
    "平面直角座標系（世界測地系（その他））",
};

// Tens digit of a node tag: how the node connects at a boundary.
constexpr std::array<std::string_view, 4> kNodeConnectionTexts = {
    "図郭境界での接続（端点以外）",
    "図郭境界での非接続（端点）",
    "座標系境界での接続（端点以外）",
    "座標系境界での非接続（端点）",
};

// Units digit of a node tag: where the node lies on the sheet frame.
constexpr std::array<std::string_view, 9> kNodePositionTexts = {
    "図郭内部", "図郭左上角", "図郭上辺", "図郭右上角", "図郭右辺",
    "図郭右下角", "図郭下辺", "図郭左下角", "図郭左辺",
};

// CP932 forms of a table of source texts, converted once.
template <std::size_t N>
std::array<std::string, N> ToCp932Table(const std::array<std::string_view, N>& texts) {
    std::array<std::string, N> out;
    for (std::size_t i = 0; i < N; ++i) out[i] = ToCp932(texts[i]);
    return out;
}

// The text of `index` in a converted table, empty outside it.
template <std::size_t N>
const std::string& TextAt(const std::array<std::string, N>& table, int32_t index) {
    static const std::string empty;
    return (index >= 0 && static_cast<std::size_t>(index) < N) ? table[static_cast<std::size_t>(index)]
                                                                 : empty;
}

std::array<std::string_view, 19> SystemNames() {
    std::array<std::string_view, 19> names;
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = CoordinateSystemTable[i].name;
    return names;
}

}  // namespace

const CoordinateSystem* FindCoordinateSystem(int32_t number) {
    if (number < 1 || number > 19) return nullptr;
    return &CoordinateSystemTable[static_cast<std::size_t>(number - 1)];
}

const std::string& CoordinateSystemName(int32_t number) {
    static const auto names = ToCp932Table(SystemNames());
    return TextAt(names, number - 1);
}

const std::string& DatumText(int32_t flag) {
    static const auto texts = ToCp932Table(kDatumTexts);
    return TextAt(texts, flag);
}

std::string NodeTagCaption(int32_t tag) {
    static const auto connection = ToCp932Table(kNodeConnectionTexts);
    static const auto position = ToCp932Table(kNodePositionTexts);
    // Truncating division, as the digits of a signed tag are taken.
    return TextAt(connection, tag / 10) + TextAt(position, tag % 10);
}

bool AdmitSheetCoordinateSystem(RunCoordinateSystem& run, int32_t sheet_system, int32_t datum_flag) {
    if (run.number >= 0 && run.number != sheet_system) return false;
    run.number = sheet_system;
    run.datum_flag = datum_flag;
    return true;
}

}  // namespace gridora
