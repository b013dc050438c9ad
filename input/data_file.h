// Loading a data file whole and walking its lines without copying them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace gridora {

// The whole content of the file, found with LocateDataFile (exact case first, then without
// regard to case). Nothing when the file does not exist or cannot be read.
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

}  // namespace gridora
