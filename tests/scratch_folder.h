// A fresh folder for one test, removed with everything in it when the test ends, and the
// byte-exact file writing and reading the tests do in it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace gridora::testing {

// Writes `bytes` to `file` exactly, creating its folders.
inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The file's bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Named after the process, a count and the running test, if any, so that several folders
// of one test, or of tests run in parallel, never meet.
class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<int> counter{0};
        std::string name = "gridora-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        if (const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info()) {
            std::string test_name = std::string(test->test_suite_name()) + "-" + test->name();
            std::replace(test_name.begin(), test_name.end(), '/', '_');  // parameterised tests
            name += "-" + test_name;
        }
        path_ = std::filesystem::path(::testing::TempDir()) / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(std::string_view relative) const { return path_ / relative; }

    // Writes `bytes` exactly to a path relative to the folder, creating its folders;
    // returns the file's path.
    std::filesystem::path Write(std::string_view relative, std::string_view bytes) const {
        std::filesystem::path file = path_ / relative;
        WriteBytes(file, bytes);
        return file;
    }

private:
    std::filesystem::path path_;
};

}  // namespace gridora::testing
