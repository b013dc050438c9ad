#include "input/text_fields.h"

#include <charconv>

#include "input/conversion_error.h"

namespace gridora {

std::string_view TakeField(std::string_view& line) {
    std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) {
        std::string_view field = line;
        line = {};
        return field;
    }
    std::string_view field = line.substr(0, comma);
    line.remove_prefix(comma + 1);
    return field;
}

bool IsBlank(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

int32_t ParseInteger(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return 0;
    int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return value;
}

std::optional<double> ParseReal(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Only plain decimal notation: from_chars would also take "inf", "nan" and a second sign.
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.'))
        return std::nullopt;
    double value = 0.0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value,
                                        std::chars_format::general);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return negative ? -value : value;
}

double RealField(std::string_view text, const SourceLine& at) {
    std::optional<double> value = ParseReal(text);
    if (!value) throw ConversionError(at.file, at.number, text);
    return *value;
}

}  // namespace gridora
