// What the output tests need to reach the output's limits without writing gigabytes: a
// small file system mounted for one test, and the file-size limit lowered for one scope.
#pragma once

#include <sys/mount.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace gridora::testing {

// A tmpfs of `bytes` mounted on `where` (created) for the object's life. Mounting needs
// root, which the tests and CI have; where it is refused, Mounted() says so and Why()
// tells why, for a GTEST_SKIP. Declare it after the ScratchFolder it lies in, so that it
// is unmounted before the folder is removed.
class SmallFileSystem {
public:
    SmallFileSystem(std::filesystem::path where, uint64_t bytes) : where_(std::move(where)) {
        std::filesystem::create_directories(where_);
        const std::string options = "size=" + std::to_string(bytes);
        if (::mount("tmpfs", where_.c_str(), "tmpfs", 0, options.c_str()) != 0) error_ = errno;
    }
    ~SmallFileSystem() {
        if (Mounted()) ::umount2(where_.c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return error_ == 0; }
    std::string Why() const { return "cannot mount a tmpfs: " + std::string(std::strerror(error_)); }
    const std::filesystem::path& Path() const { return where_; }

private:
    std::filesystem::path where_;
    int error_ = 0;
};

// GRIDORA_FILE_SIZE_LIMIT set to `bytes` for the object's life, then as it was.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(uint64_t bytes) {
        if (const char* old = std::getenv(kName)) old_ = old;
        ::setenv(kName, std::to_string(bytes).c_str(), 1);
    }
    ~ScopedFileSizeLimit() {
        if (old_) {
            ::setenv(kName, old_->c_str(), 1);
        } else {
            ::unsetenv(kName);
        }
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

    static constexpr const char* kName = "GRIDORA_FILE_SIZE_LIMIT";

private:
    std::optional<std::string> old_;
};

}  // namespace gridora::testing
