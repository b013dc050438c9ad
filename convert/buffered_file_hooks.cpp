#include "convert/buffered_file_hooks.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace gridora {

namespace {

// Moves `bytes` between `buffer` and the file at `offset` with pread or pwrite, going on
// after interrupted and partial transfers. Returns the bytes moved: fewer after an error
// (`error` then set to its errno value) or, reading, at the end of the file.
template <typename Transfer, typename Byte>
std::size_t TransferAt(Transfer transfer, int fd, Byte* buffer, std::size_t bytes, uint64_t offset, int& error) {
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = transfer(fd, buffer + done, bytes - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

// A file with a window of its bytes [start, start + valid) held in memory. The window is
// authoritative for that range; `dirty` says it differs from the disk. shapelib sees only
// short counts, and not at all those of a write-back on close, so the file remembers the
// first error a transfer met for the writer to ask after.
class WindowedFile {
public:
    static constexpr std::size_t kWindow = 1 << 20;
    // Transfers up to this size before the window go to the file directly.
    static constexpr std::size_t kAside = 512;

    WindowedFile(int fd, uint64_t size) : fd_(fd), size_(size) { window_.reserve(kWindow); }
    ~WindowedFile() {
        Flush();
        ::close(fd_);
    }

    std::size_t Read(char* out, std::size_t bytes) {
        if (Covers(position_, bytes)) {
            std::memcpy(out, window_.data() + (position_ - start_), bytes);
            return Advance(bytes);
        }
        // A header read before the window (a table's record count) leaves the window where
        // the appends are.
        if (Before(position_, bytes)) return Advance(ReadDirect(out, bytes));
        if (!Flush()) return 0;
        if (bytes > kWindow) return Advance(ReadDirect(out, bytes));
        if (!Load(position_)) return 0;
        const std::size_t available = std::min(bytes, window_.size());
        std::memcpy(out, window_.data(), available);
        return Advance(available);
    }

    std::size_t Write(const char* in, std::size_t bytes) {
        const bool extends_window = position_ >= start_ && position_ <= start_ + window_.size() &&
                                    position_ + bytes <= start_ + kWindow;
        if (!extends_window && Before(position_, bytes)) return Advance(WriteDirect(in, bytes));
        if (!extends_window) {
            if (!Flush()) return 0;
            if (bytes > kWindow) {
                window_.clear();
                return Advance(WriteDirect(in, bytes));
            }
            if (!Load(position_)) return 0;
        }
        const std::size_t offset = position_ - start_;
        if (offset + bytes > window_.size()) window_.resize(offset + bytes);
        std::memcpy(window_.data() + offset, in, bytes);
        dirty_begin_ = dirty_ ? std::min(dirty_begin_, offset) : offset;
        dirty_end_ = dirty_ ? std::max(dirty_end_, offset + bytes) : offset + bytes;
        dirty_ = true;
        size_ = std::max(size_, position_ + bytes);
        return Advance(bytes);
    }

    bool Seek(uint64_t offset, int whence) {
        switch (whence) {
        case SEEK_SET: position_ = offset; return true;
        case SEEK_CUR: position_ += offset; return true;  // unsigned wrap gives negative moves
        case SEEK_END: position_ = size_ + offset; return true;
        default: return false;
        }
    }
    uint64_t Tell() const { return position_; }

    // Writes back the part of the window that changed; the window stays, so appends go on
    // in it without reading it again.
    bool Flush() {
        if (!dirty_) return true;
        const std::size_t bytes = dirty_end_ - dirty_begin_;
        if (WriteAt(window_.data() + dirty_begin_, bytes, start_ + dirty_begin_) < bytes) return false;
        dirty_ = false;
        return true;
    }

    int Error() const { return error_; }

private:
    bool Covers(uint64_t at, std::size_t bytes) const {
        return at >= start_ && at + bytes <= start_ + window_.size();
    }
    // A small transfer wholly before a window that holds data, such as a header.
    bool Before(uint64_t at, std::size_t bytes) const {
        return bytes <= kAside && !window_.empty() && at + bytes <= start_;
    }
    std::size_t Advance(std::size_t bytes) {
        position_ += bytes;
        return bytes;
    }
    // Reads the window starting at `at`; beyond the end of the file it is shorter or empty.
    bool Load(uint64_t at) {
        window_.resize(kWindow);
        int error = 0;
        const std::size_t done = TransferAt(::pread, fd_, window_.data(), kWindow, at, error);
        if (error != 0) {
            Record(error);
            window_.clear();
            return false;
        }
        window_.resize(done);
        start_ = at;
        return true;
    }
    // Transfers that record their error. A write that stops short without one (pwrite
    // returning 0) counts as an I/O error; a read may stop short at the end of the file.
    std::size_t ReadAt(char* out, std::size_t bytes, uint64_t offset) {
        int error = 0;
        const std::size_t done = TransferAt(::pread, fd_, out, bytes, offset, error);
        Record(error);
        return done;
    }
    std::size_t WriteAt(const char* in, std::size_t bytes, uint64_t offset) {
        int error = 0;
        const std::size_t done = TransferAt(::pwrite, fd_, in, bytes, offset, error);
        Record(error == 0 && done < bytes ? EIO : error);
        return done;
    }
    void Record(int error) {
        if (error_ == 0) error_ = error;
    }
    std::size_t ReadDirect(char* out, std::size_t bytes) { return ReadAt(out, bytes, position_); }
    std::size_t WriteDirect(const char* in, std::size_t bytes) {
        const std::size_t done = WriteAt(in, bytes, position_);
        size_ = std::max(size_, position_ + done);
        return done;
    }

    int fd_;
    uint64_t size_;
    uint64_t position_ = 0;
    uint64_t start_ = 0;
    std::vector<char> window_;
    bool dirty_ = false;
    std::size_t dirty_begin_ = 0, dirty_end_ = 0;  // the changed part of the window
    int error_ = 0;
};

WindowedFile* Of(SAFile file) { return reinterpret_cast<WindowedFile*>(file); }

SAFile Open(const char* filename, const char* access) {
    const bool update = std::strchr(access, '+') != nullptr;
    int flags = 0;
    switch (access[0]) {
    case 'r': flags = update ? O_RDWR : O_RDONLY; break;
    case 'w': flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC; break;
    default: return nullptr;  // shapelib opens with "r" and "w" only
    }
    const int fd = ::open(filename, flags | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size < 0) {
        ::close(fd);
        return nullptr;
    }
    return reinterpret_cast<SAFile>(new WindowedFile(fd, static_cast<uint64_t>(size)));
}

SAOffset ReadItems(void* p, SAOffset size, SAOffset count, SAFile file) {
    if (size == 0) return 0;
    return Of(file)->Read(static_cast<char*>(p), size * count) / size;
}

SAOffset WriteItems(void* p, SAOffset size, SAOffset count, SAFile file) {
    if (size == 0) return 0;
    return Of(file)->Write(static_cast<const char*>(p), size * count) / size;
}

SAOffset Seek(SAFile file, SAOffset offset, int whence) { return Of(file)->Seek(offset, whence) ? 0 : 1; }

SAOffset Tell(SAFile file) { return Of(file)->Tell(); }

int FlushFile(SAFile file) { return Of(file)->Flush() ? 0 : -1; }

int Close(SAFile file) {
    WindowedFile* f = Of(file);
    const bool flushed = f->Flush();
    delete f;
    return flushed ? 0 : -1;
}

}  // namespace

int BufferedFileError(SAFile file) { return file ? Of(file)->Error() : 0; }

SAHooks BufferedFileHooks() {
    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.FOpen = Open;
    hooks.FRead = ReadItems;
    hooks.FWrite = WriteItems;
    hooks.FSeek = Seek;
    hooks.FTell = Tell;
    hooks.FFlush = FlushFile;
    hooks.FClose = Close;
    return hooks;
}

}  // namespace gridora
