#include "input/sheet_description.h"

#include <algorithm>

#include "input/text_fields.h"
#include "platform/cp932.h"

namespace gridora {

SheetFrame ParseSheetFrame(std::string_view line7) {
    SheetFrame frame;
    CornerTexts& c = frame.corners;
    frame.coordinate_system = ParseInteger(TakeField(line7));
    c.lower_left_x = TakeField(line7);
    c.lower_left_y = TakeField(line7);
    c.upper_right_x = TakeField(line7);
    c.upper_right_y = TakeField(line7);
    c.upper_left_x = TakeField(line7);
    c.upper_left_y = TakeField(line7);
    c.lower_right_x = TakeField(line7);
    c.lower_right_y = TakeField(line7);
    frame.datum_flag = ParseInteger(TakeField(line7));
    if (c.upper_left_x.empty()) {
        c.upper_left_x = c.upper_right_x;
        c.upper_left_y = c.lower_left_y;
        c.lower_right_x = c.lower_left_x;
        c.lower_right_y = c.upper_right_y;
    }
    return frame;
}

std::optional<ListedFile> ParseListedFile(std::string_view line) {
    // The second byte of a two-byte character may be 0x5C, the byte of "\".
    std::size_t name_start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(line[i]))) {
            ++i;
        } else if (line[i] == '\\' || line[i] == '/') {
            name_start = i + 1;
        }
    }
    std::string_view name = line.substr(std::min(name_start, line.size()));
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    return ListedFile{name.substr(0, dot), name.substr(dot)};
}

}  // namespace gridora
