#include "convert/side_file_formats.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "input/text_fields.h"

namespace gridora {

std::string FormatLabelReal(double value) {
    char text[64];
    // "%.14E" gives d.ddddddddddddddE±xx with at least two exponent digits.
    const int n = std::snprintf(text, sizeof text, "%.14E", value);
    std::string_view printed(text, n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::size_t e = printed.find('E');
    if (!std::isfinite(value) || e == std::string_view::npos || e + 2 >= printed.size()) return std::string(printed);
    const std::string_view mantissa = printed.substr(0, e);
    const char exponent_sign = printed[e + 1];
    const int exponent = std::atoi(std::string(printed.substr(e + 2)).c_str());
    char exponent_text[16];
    std::snprintf(exponent_text, sizeof exponent_text, "%04d", exponent);
    std::string result;
    if (mantissa.front() != '-') result += ' ';
    result += mantissa;
    result += 'E';
    result += exponent_sign;
    result += exponent_text;
    return result;
}

int32_t EngineCoordinate(double value) {
    const double scaled = value * 1000.0;
    if (std::isnan(scaled)) return 0;
    if (scaled >= 2147483647.0) return INT32_MAX;
    if (scaled <= -2147483648.0) return INT32_MIN;
    // nearbyint rounds in the current mode, which is to nearest with halves to even.
    return static_cast<int32_t>(std::nearbyint(scaled));
}

std::string FormatSegmentLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    return std::to_string(x1) + "," + std::to_string(y1) + "," + std::to_string(x2) + "," + std::to_string(y2);
}

SegmentLine ParseSegmentLine(std::string_view line) {
    SegmentLine segment;
    segment.x1 = ParseInteger(TakeField(line));
    segment.y1 = ParseInteger(TakeField(line));
    segment.x2 = ParseInteger(TakeField(line));
    segment.y2 = ParseInteger(TakeField(line));
    return segment;
}

LabelLine ParseLabelLine(std::string_view line, const SourceLine& at) {
    LabelLine label;
    label.record = ParseInteger(TakeField(line));
    label.x = RealField(TakeField(line), at);
    label.y = RealField(TakeField(line), at);
    return label;
}

}  // namespace gridora
