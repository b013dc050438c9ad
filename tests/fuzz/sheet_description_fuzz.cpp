// A sheet description of any bytes, parsed from memory as the sheet dispatch and the
// sheet-list intake read it: its lines, the frame line, the corner numbers and the listed
// data files.
#include <string>

#include "fuzz_targets.h"
#include "input/conversion_error.h"
#include "input/data_file.h"
#include "input/sheet_description.h"
#include "input/sheet_intake.h"
#include "input/text_fields.h"

namespace gridora::fuzz {
namespace {

constexpr int kCoordinateLine = 7;
constexpr int kFirstFileLine = 11;

void CheckCorners(const CornerTexts& c, std::string_view line7) {
    const SourceLine at{"fuzz.TXT", kCoordinateLine};
    for (const std::string* text : {&c.lower_left_x, &c.lower_left_y, &c.upper_right_x, &c.upper_right_y,
                                    &c.upper_left_x, &c.upper_left_y, &c.lower_right_x, &c.lower_right_y}) {
        FUZZ_CHECK(text->size() <= line7.size(), "a corner text is part of its line");
        try {
            (void)RealField(*text, at);
        } catch (const ConversionError& error) {
            FUZZ_CHECK(error.Line() == kCoordinateLine && error.Field() == *text,
                       "a corner that is not a number is named with its line");
            FUZZ_CHECK(!error.Message().empty(), "a bad corner has a message");
        }
    }
}

void CheckListedFile(std::string_view line) {
    const std::optional<ListedFile> file = ParseListedFile(line);
    if (!file) return;
    FUZZ_CHECK(!file->extension.empty() && file->extension.front() == '.', "an extension starts with \".\"");
    FUZZ_CHECK(file->extension.find('.', 1) == std::string_view::npos, "the extension is the last one");
    const std::size_t name_size = file->base_name.size() + file->extension.size();
    FUZZ_CHECK(name_size <= line.size(), "the file name is part of its line");
    FUZZ_CHECK(line.substr(line.size() - name_size) ==
                   std::string(file->base_name) + std::string(file->extension),
               "the file name ends the line");
}

}  // namespace

int FuzzSheetDescription(const uint8_t* data, std::size_t size) {
    InputCursor in(data, size);
    const std::string_view text = in.Rest();
    LineReader reader(text);
    std::size_t bytes_seen = 0;
    int lines = 0;
    for (std::string_view line; reader.Next(line);) {
        FUZZ_CHECK(line.find('\n') == std::string_view::npos, "a line holds no line end");
        FUZZ_CHECK(++lines == reader.LineNumber(), "lines are counted one by one");
        bytes_seen += line.size() + 1;
        FUZZ_CHECK(bytes_seen <= text.size() + 1, "lines never repeat text");
        if (reader.LineNumber() == kCoordinateLine) {
            const SheetFrame frame = ParseSheetFrame(line);
            CheckCorners(frame.corners, line);
        } else if (reader.LineNumber() == 1) {
            // The first line as a path: the municipality code is cut from it by length.
            FUZZ_CHECK(MunicipalityCodeOfDescription(std::string(line)).size() <= 5,
                       "a municipality code has at most five characters");
        } else if (reader.LineNumber() >= kFirstFileLine) {
            CheckListedFile(line);
        }
    }
    FUZZ_CHECK(reader.AtEnd(), "the reader ends at the end of its text");
    (void)reader.NextOrEmpty();
    return 0;
}

}  // namespace gridora::fuzz
