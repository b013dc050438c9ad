#include "input/data_file.h"

#include <cstdio>

#include "platform/file_lookup.h"

namespace gridora {

std::optional<std::string> LoadDataFile(const std::filesystem::path& path) {
    std::optional<std::filesystem::path> found = LocateDataFile(path);
    if (!found) return std::nullopt;
    std::FILE* f = std::fopen(found->c_str(), "rb");
    if (!f) return std::nullopt;
    std::string text;
    char buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return std::nullopt;
    return text;
}

bool SheetDataFile::Open(const std::filesystem::path& path) {
    lines_.reset();
    text_ = LoadDataFile(path);
    if (!text_) return false;
    lines_.emplace(*text_);
    path_text_ = PathToCp932(path);
    return true;
}

bool LineReader::Next(std::string_view& line) {
    if (rest_.empty() || rest_.front() == '\x1A') {
        rest_ = {};
        return false;
    }
    std::size_t end = rest_.find('\n');
    if (end == std::string_view::npos) {
        line = rest_;
        rest_ = {};
    } else {
        line = rest_.substr(0, end);
        rest_.remove_prefix(end + 1);
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++line_number_;
    return true;
}

std::string_view LineReader::NextOrEmpty() {
    std::string_view line;
    if (!Next(line)) {
        ++line_number_;
        return {};
    }
    return line;
}

}  // namespace gridora
