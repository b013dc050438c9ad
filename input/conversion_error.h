// The error that abandons the sheet being converted: a field that must hold a real number
// does not. It names the file and the line so that the run can tell the user, through its
// message port, what was wrong, and go on with the next sheet.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace gridora {

class ConversionError : public std::runtime_error {
public:
    // `file_cp932` is the path of the file read, `field` the offending text (CP932 bytes).
    ConversionError(std::string_view file_cp932, int line, std::string_view field);

    const std::string& File() const { return file_; }
    int Line() const { return line_; }
    const std::string& Field() const { return field_; }
    // The text to show: "error:'<field>' is not a valid floating point value:<file>:<line>",
    // in CP932.
    const std::string& Message() const { return message_; }

private:
    std::string file_;
    int line_;
    std::string field_;
    std::string message_;
};

}  // namespace gridora
