#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "fuzz_targets.h"

namespace gridora::fuzz {
namespace {

std::filesystem::path* scratch_root = nullptr;

void RemoveScratchRoot() {
    if (scratch_root == nullptr) return;
    std::error_code ec;
    std::filesystem::remove_all(*scratch_root, ec);
}

}  // namespace

void PropertyFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz property failed: %s (%s:%d)\n", what, file, line);
    std::fflush(stderr);
    std::abort();
}

const std::filesystem::path& ScratchRoot() {
    if (scratch_root == nullptr) {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec) || ::access(base.c_str(), W_OK) != 0)
            base = std::filesystem::temp_directory_path();
        scratch_root = new std::filesystem::path(base / ("gridora-fuzz-" + std::to_string(::getpid())));
        std::filesystem::remove_all(*scratch_root, ec);
        std::filesystem::create_directories(*scratch_root);
        std::atexit(RemoveScratchRoot);
    }
    return *scratch_root;
}

}  // namespace gridora::fuzz
