// Loading a data file whole and walking its lines without copying them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "input/sheet_header.h"
#include "input/text_fields.h"

namespace gridora {

// The longest line a data file may hold, line end not counted.
inline constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

// A data file read whole, or why it was not. Only regular files are read: a FIFO or a device
// in a data file's place is opened without blocking and refused unread (a folder counts as
// unreadable), and
// reading stops at the first line longer than kMaxLineBytes.
struct DataFileRead {
    enum class Status { read, missing, not_a_file, unreadable, line_too_long };
    Status status = Status::missing;
    std::string text;         // the whole content when read
    int long_line = 0;        // the number of the line too long
    std::filesystem::path found;  // the file opened (as LocateDataFile found it)
};
DataFileRead ReadDataFile(const std::filesystem::path& path);

// The whole content of the file, found with LocateDataFile (exact case first, then without
// regard to case). Nothing when the file does not exist, cannot be read, is not a regular
// file or holds a line longer than kMaxLineBytes.
std::optional<std::string> LoadDataFile(const std::filesystem::path& path);

// Walks lines of a text held by the caller (which must outlive the reader). Lines end
// with LF or CR LF; the line end is not part of the line. A last line without line end
// counts; a text ending with a line end has no empty line after it. A line that starts
// with the DOS end-of-file mark (Ctrl-Z) ends the text.
class LineReader {
public:
    explicit LineReader(std::string_view text) : rest_(text) {}

    // The next line, or false at the end of the text.
    bool Next(std::string_view& line);
    // The next line; past the end an empty line, as reading past the end of a text file
    // gives. Counts the line either way.
    std::string_view NextOrEmpty();

    bool AtEnd() const { return rest_.empty() || rest_.front() == '\x1A'; }
    // Lines taken so far, including empty lines past the end.
    int LineNumber() const { return line_number_; }

private:
    std::string_view rest_;
    int line_number_ = 0;
};

// A data file of a sheet, walked line by line: its "FH" header lines are parsed, every
// other line goes to the caller. The lines are views of the text the object holds, so it
// is neither copied nor moved.
class SheetDataFile {
public:
    SheetDataFile() = default;
    SheetDataFile(const SheetDataFile&) = delete;
    SheetDataFile& operator=(const SheetDataFile&) = delete;

    // Loads the file with ReadDataFile; false when it does not exist or cannot be read.
    // Throws ConversionError naming the file when it is not a regular file, and naming the
    // line when a line is longer than kMaxLineBytes.
    bool Open(const std::filesystem::path& path);

    // Reads the opened file to its end. A header line is parsed into `header`; any other
    // line goes to `on_line(first_field, rest)`, which may read the further lines of its
    // record through Lines(). Throws ConversionError where ReadSheetHeader does.
    template <typename OnLine>
    void Walk(SheetHeader& header, OnLine&& on_line) {
        std::string_view line;
        while (lines_->Next(line)) {
            const std::string_view first = TakeField(line);
            if (first == "FH") {
                ReadSheetHeader(line, header, At());
            } else {
                on_line(first, line);
            }
        }
    }

    LineReader& Lines() { return *lines_; }
    // The file (CP932) and the number of the line read last, for messages and errors.
    SourceLine At() const { return {path_text_, lines_->LineNumber()}; }

private:
    std::optional<std::string> text_;
    std::optional<LineReader> lines_;
    std::string path_text_;
};

}  // namespace gridora
