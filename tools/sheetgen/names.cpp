#include "names.h"

#include <array>

namespace sheetgen {

namespace {
constexpr std::array kPlaceNames = {
    "桜木", "若葉", "緑", "旭", "栄", "寿", "本郷", "宮下", "東雲", "錦", "富士見", "松原", "竹見", "梅園",
    "柳原", "朝日", "日の出", "幸", "泉", "港", "浜", "川端", "高砂", "常盤", "平和", "青葉", "大和", "千歳",
    "春日", "白山", "鶴見", "亀井", "稲荷", "八幡", "天神", "西原", "東原", "北野", "南台", "中里",
};
constexpr std::array kDigits = {"", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
constexpr std::array kFullWidthDigits = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
}  // namespace

std::string PlaceName(uint64_t pick) { return kPlaceNames[pick % kPlaceNames.size()]; }

std::string KanjiNumber(int64_t n) {
    if (n <= 0 || n > 99) return std::to_string(n);
    std::string out;
    if (n >= 10) {
        if (n >= 20) out += kDigits[n / 10];
        out += "十";
    }
    out += kDigits[n % 10];
    return out;
}

std::string FullWidthNumber(int64_t n) {
    std::string digits = std::to_string(n < 0 ? -n : n), out = n < 0 ? "－" : "";
    for (char c : digits) out += kFullWidthDigits[c - '0'];
    return out;
}

}  // namespace sheetgen
