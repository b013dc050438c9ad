#include "input/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "input/conversion_error.h"
#include "platform/file_lookup.h"

namespace gridora {
namespace {

static_assert(kMaxLineBytes == 1048576, "ConversionError::LineTooLong names the limit in its message");

// Counts lines while a text arrives in pieces and tells when one grows past the limit. A
// CR before the LF belongs to the line end, as LineReader takes it.
class LineLengthWatch {
public:
    // False once a line is known to be too long.
    bool Take(const char* bytes, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (bytes[i] == '\n') {
                if (run_ - (last_was_cr_ ? 1 : 0) > kMaxLineBytes) return false;
                run_ = 0;
                last_was_cr_ = false;
                ++line_;
                continue;
            }
            ++run_;
            last_was_cr_ = bytes[i] == '\r';
            if (run_ > kMaxLineBytes + 1) return false;  // beyond even a trailing CR
        }
        return true;
    }
    // At the end of the text: false when its last line is too long.
    bool Finish() const { return run_ - (last_was_cr_ ? 1 : 0) <= kMaxLineBytes; }
    int Line() const { return line_; }

private:
    std::size_t run_ = 0;
    bool last_was_cr_ = false;
    int line_ = 1;
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

DataFileRead ReadDataFile(const std::filesystem::path& path) {
    DataFileRead result;
    std::optional<std::filesystem::path> found = LocateDataFile(path);
    if (!found) return result;
    result.found = *found;
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    FileDescriptor file(::open(found->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        result.status = DataFileRead::Status::unreadable;
        return result;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        result.status = DataFileRead::Status::unreadable;
        return result;
    }
    if (S_ISDIR(info.st_mode)) {
        result.status = DataFileRead::Status::unreadable;  // a folder is simply no data file
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.status = DataFileRead::Status::not_a_file;
        return result;
    }
    if (info.st_size > 0) result.text.reserve(static_cast<std::size_t>(info.st_size));
    LineLengthWatch watch;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.status = DataFileRead::Status::unreadable;
            result.text.clear();
            return result;
        }
        if (n == 0) break;
        if (!watch.Take(buffer, static_cast<std::size_t>(n))) {
            result.status = DataFileRead::Status::line_too_long;
            result.long_line = watch.Line();
            result.text.clear();
            return result;
        }
        result.text.append(buffer, static_cast<std::size_t>(n));
    }
    if (!watch.Finish()) {
        result.status = DataFileRead::Status::line_too_long;
        result.long_line = watch.Line();
        result.text.clear();
        return result;
    }
    result.status = DataFileRead::Status::read;
    return result;
}

std::optional<std::string> LoadDataFile(const std::filesystem::path& path) {
    DataFileRead read = ReadDataFile(path);
    if (read.status != DataFileRead::Status::read) return std::nullopt;
    return std::move(read.text);
}

bool SheetDataFile::Open(const std::filesystem::path& path) {
    lines_.reset();
    text_.reset();
    DataFileRead read = ReadDataFile(path);
    switch (read.status) {
    case DataFileRead::Status::read:
        break;
    case DataFileRead::Status::not_a_file:
        throw ConversionError::NotAFile(PathToCp932(read.found));
    case DataFileRead::Status::line_too_long:
        throw ConversionError::LineTooLong(PathToCp932(read.found), read.long_line);
    case DataFileRead::Status::missing:
    case DataFileRead::Status::unreadable:
        return false;
    }
    text_ = std::move(read.text);
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
