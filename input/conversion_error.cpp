#include "input/conversion_error.h"

namespace gridora {
namespace {

std::string ComposeMessage(std::string_view file, int line, std::string_view field, std::string_view reason) {
    std::string text = "error:'";
    text += ShowableText(field);
    text += "'";
    text += reason;
    text += ":";
    text += ShowableText(file);
    text += ":";
    text += std::to_string(line);
    return text;
}

}  // namespace

std::string ShowableText(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
        } else {
            shown += c;
        }
    }
    return shown;
}

ConversionError::ConversionError(std::string_view file_cp932, int line, std::string_view field,
                                 std::string_view reason)
    : ConversionError(WholeMessage{}, file_cp932, line, ComposeMessage(file_cp932, line, field, reason)) {
    field_ = std::string(field);
}

ConversionError::ConversionError(WholeMessage, std::string_view file_cp932, int line, std::string message)
    : std::runtime_error(message), file_(file_cp932), line_(line), message_(std::move(message)) {}

ConversionError ConversionError::NotAFile(std::string_view file_cp932) {
    return ConversionError(WholeMessage{}, file_cp932, 0, "error:not a regular file:" + ShowableText(file_cp932));
}

ConversionError ConversionError::LineTooLong(std::string_view file_cp932, int line) {
    return ConversionError(WholeMessage{}, file_cp932, line,
                           "error:line longer than 1048576 bytes:" + ShowableText(file_cp932) + ":" + std::to_string(line));
}

}  // namespace gridora
