#include "sheet_grid.h"

#include <cstdio>

namespace sheetgen {

namespace {
constexpr int64_t kGridTopCm = 30000000;    // X = +300 km
constexpr int64_t kGridLeftCm = -16000000;  // Y = -160 km
}  // namespace

std::string SheetId::Name() const {
    int band_ns = row / 20, band_ew = column / 20;
    int half_row = row % 20, half_col = column % 20;
    int quadrant = 1 + (half_col % 2) + 2 * (half_row % 2);
    char text[16];
    std::snprintf(text, sizeof text, "%02d%c%c%d%d%d", system, 'A' + band_ns, 'A' + band_ew, half_row / 2, half_col / 2,
                  quadrant);
    return text;
}

Rect SheetId::Frame() const {
    int64_t top = kGridTopCm - kSheetHeightCm * row;
    int64_t left = kGridLeftCm + kSheetWidthCm * column;
    return {left, top - kSheetHeightCm, left + kSheetWidthCm, top};
}

std::array<std::optional<SheetId>, 8> SheetId::Neighbours() const {
    static constexpr int kSteps[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}};
    std::array<std::optional<SheetId>, 8> out;
    for (int k = 0; k < 8; ++k) {
        int r = row + kSteps[k][0], c = column + kSteps[k][1];
        if (r >= 0 && r < kGridRows && c >= 0 && c < kGridColumns) out[k] = SheetId{system, r, c};
    }
    return out;
}

std::optional<SheetId> ParseSheetName(const std::string& name) {
    if (name.size() != 7) return std::nullopt;
    auto digit = [&](std::size_t i) { return name[i] >= '0' && name[i] <= '9' ? name[i] - '0' : -1; };
    int system = digit(0) * 10 + digit(1);
    int band_ns = name[2] - 'A', band_ew = name[3] - 'A';
    int r = digit(4), c = digit(5), q = digit(6);
    if (digit(0) < 0 || digit(1) < 0 || system < 1 || system > 19 || band_ns < 0 || band_ns >= 20 || band_ew < 0 ||
        band_ew >= 8 || r < 0 || c < 0 || q < 1 || q > 4)
        return std::nullopt;
    return SheetId{system, band_ns * 20 + r * 2 + (q - 1) / 2, band_ew * 20 + c * 2 + (q - 1) % 2};
}

}  // namespace sheetgen
