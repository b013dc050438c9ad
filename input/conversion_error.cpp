#include "input/conversion_error.h"

namespace gridora {
namespace {

std::string ComposeMessage(std::string_view file, int line, std::string_view field, std::string_view reason) {
    std::string text = "error:'";
    text += field;
    text += "'";
    text += reason;
    text += ":";
    text += file;
    text += ":";
    text += std::to_string(line);
    return text;
}

}  // namespace

ConversionError::ConversionError(std::string_view file_cp932, int line, std::string_view field,
                                 std::string_view reason)
    : std::runtime_error(ComposeMessage(file_cp932, line, field, reason)),
      file_(file_cp932),
      line_(line),
      field_(field),
      message_(what()) {}

}  // namespace gridora
