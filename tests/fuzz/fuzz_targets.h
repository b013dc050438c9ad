// The entry functions of the fuzz targets. Each takes one input, runs the code under test
// on it and checks what must hold whatever the input; a broken property aborts the process
// with a line on stderr, so that libFuzzer keeps the input and the regression tests fail.
//
// The same functions run under libFuzzer (one program per target, built with clang and
// GRIDORA_FUZZ) and in fuzz_regression_tests, which replays the committed seeds and every
// input that ever failed (tests/fuzz/<target>/seeds and .../regressions).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace gridora::fuzz {

int FuzzEngineCalls(const uint8_t* data, std::size_t size);
int FuzzDataReaders(const uint8_t* data, std::size_t size);
int FuzzSheetDescription(const uint8_t* data, std::size_t size);
int FuzzIniText(const uint8_t* data, std::size_t size);
int FuzzArchive(const uint8_t* data, std::size_t size);
int FuzzExtractCommand(const uint8_t* data, std::size_t size);
int FuzzCp932(const uint8_t* data, std::size_t size);

using FuzzEntry = int (*)(const uint8_t*, std::size_t);

struct FuzzTarget {
    const char* name;  // the folder of its seeds and regressions under tests/fuzz/
    FuzzEntry entry;
};

inline constexpr FuzzTarget kFuzzTargets[] = {
    {"engine", FuzzEngineCalls},
    {"data_readers", FuzzDataReaders},
    {"sheet_description", FuzzSheetDescription},
    {"ini", FuzzIniText},
    {"archive", FuzzArchive},
    {"extract_command", FuzzExtractCommand},
    {"cp932", FuzzCp932},
};

// Prints "fuzz property failed: <what> (<file>:<line>)" and aborts.
[[noreturn]] void PropertyFailed(const char* what, const char* file, int line);

// A folder of this process for targets that must go through files, created on first use
// (in /dev/shm when there is one, so that no disk is touched) and removed at exit.
const std::filesystem::path& ScratchRoot();

// Reads the input from the front: fixed-size numbers, then the rest as text. Past the end
// every number is 0, so any input is a valid program.
class InputCursor {
public:
    InputCursor(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool AtEnd() const { return pos_ >= size_; }
    std::size_t Remaining() const { return AtEnd() ? 0 : size_ - pos_; }

    uint8_t Byte() { return AtEnd() ? 0 : data_[pos_++]; }
    uint16_t Uint16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
    int16_t Int16() { return static_cast<int16_t>(Uint16()); }
    uint32_t Uint32() { return static_cast<uint32_t>(Uint16()) | (static_cast<uint32_t>(Uint16()) << 16); }
    int32_t Int32() { return static_cast<int32_t>(Uint32()); }

    // The next `n` bytes (fewer at the end).
    std::string_view Bytes(std::size_t n) {
        n = std::min(n, Remaining());
        std::string_view bytes(reinterpret_cast<const char*>(data_) + pos_, n);
        pos_ += n;
        return bytes;
    }
    std::string_view Rest() { return Bytes(Remaining()); }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace gridora::fuzz

#define FUZZ_CHECK(condition, what) \
    do { \
        if (!(condition)) ::gridora::fuzz::PropertyFailed(what, __FILE__, __LINE__); \
    } while (0)
