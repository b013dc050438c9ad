// The sheet description (.TXT) lines that the conversion interprets: line 7 with the
// coordinate system, frame corners and datum, and the data-file lines from line 11 on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gridora {

// Frame corners as the texts line 7 gives them (absolute coordinates, X north, Y east).
struct CornerTexts {
    std::string lower_left_x, lower_left_y;
    std::string upper_right_x, upper_right_y;
    std::string upper_left_x, upper_left_y;
    std::string lower_right_x, lower_right_y;
};

// Line 7: "system,LLX,LLY,URX,URY,ULX,ULY,LRX,LRY,datum".
struct SheetFrame {
    int32_t coordinate_system = 0;  // 1-19; invalid text counts as 0
    CornerTexts corners;
    int32_t datum_flag = 0;         // 0-3; a missing field counts as 0
};

// Parses line 7. When the upper-left X text is empty, the upper-left corner becomes
// (upper-right X, lower-left Y) and the lower-right (lower-left X, upper-right Y),
// copying the texts.
SheetFrame ParseSheetFrame(std::string_view line7);

// A data file named on a description line from line 11 on.
struct ListedFile {
    std::string_view base_name;  // the file name without its extension
    std::string_view extension;  // from the last ".", which it includes: ".ATR"
};

// The file name after the last "\" or "/" of the line, split into base name and
// extension. Nothing for a line whose file name has no extension (a theme-folder line
// such as "07MD623\GYOUSEI"). Case is kept; matching is the caller's.
std::optional<ListedFile> ParseListedFile(std::string_view line);

}  // namespace gridora
