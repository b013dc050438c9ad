#include "input/conversion_error.h"

namespace gridora {
namespace {

std::string ComposeMessage(std::string_view file, int line, std::string_view field) {
    std::string text = "error:'";
    text += field;
    text += "' is not a valid floating point value:";
    text += file;
    text += ":";
    text += std::to_string(line);
    return text;
}

}  // namespace

ConversionError::ConversionError(std::string_view file_cp932, int line, std::string_view field)
    : std::runtime_error(ComposeMessage(file_cp932, line, field)),
      file_(file_cp932),
      line_(line),
      field_(field),
      message_(what()) {}

}  // namespace gridora
