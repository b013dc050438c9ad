// The error that abandons the sheet being converted: a field that must hold a real number
// does not, or a coordinate lies beyond what the polygon assembly can take. It names the
// file and the line so that the run can tell the user, through its message port, what was
// wrong, and go on with the next sheet.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace gridora {

// `text` with every control byte (below 0x20, and 0x7F) written as "\x" and two hex digits, so
// that a message stays one line and is not cut at a NUL. CP932 text is kept intact: its trail
// bytes are never below 0x40 nor 0x7F.
std::string ShowableText(std::string_view text);

class ConversionError : public std::runtime_error {
public:
    // `file_cp932` is the path of the file read, `field` the offending text (CP932 bytes),
    // `reason` what is wrong with it (CP932, shown after the quoted field).
    ConversionError(std::string_view file_cp932, int line, std::string_view field,
                    std::string_view reason = kNotAReal);

    // "error:not a regular file:<file>": a FIFO, device or socket stands in a data file's place.
    static ConversionError NotAFile(std::string_view file_cp932);
    // "error:line longer than 1048576 bytes:<file>:<line>".
    static ConversionError LineTooLong(std::string_view file_cp932, int line);

    // The reasons of the messages.
    static constexpr std::string_view kNotAReal = " is not a valid floating point value";
    // " 整数の範囲を超えました"
    static constexpr std::string_view kOutOfRange =
        " \x90\xAE\x90\x94\x82\xCC\x94\xCD\x88\xCD\x82\xF0\x92\xB4\x82\xA6\x82\xDC\x82\xB5\x82\xBD";

    const std::string& File() const { return file_; }
    int Line() const { return line_; }
    const std::string& Field() const { return field_; }
    // The text to show: "error:'<field>'<reason>:<file>:<line>" in CP932, for instance
    // "error:'<field>' is not a valid floating point value:<file>:<line>". Control bytes of
    // the field and the file are shown escaped (ShowableText).
    const std::string& Message() const { return message_; }

private:
    struct WholeMessage {};
    ConversionError(WholeMessage, std::string_view file_cp932, int line, std::string message);

    std::string file_;
    int line_;
    std::string field_;
    std::string message_;
};

}  // namespace gridora
