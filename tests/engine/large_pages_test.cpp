// The allocator of the engine's big tables: large blocks are mapped on their own and aligned
// for huge pages, small ones come from the ordinary heap, both hold what is written to them
// through growth and release, and a block the system refuses is std::bad_alloc, which a work
// table reports as its overflow number with its records kept.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <sstream>
#include <string>

#include "engine_limits.h"
#include "large_pages.h"
#include "work_table.h"

namespace {

using ringweld::kHugePageBytes;
using ringweld::kLargeBlockBytes;
using ringweld::TableVector;

// More bytes than any address space holds: mapping it must fail.
constexpr std::size_t kImpossibleBytes = std::size_t{1} << 52;

bool huge_page_aligned(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % kHugePageBytes == 0; }

// The VmFlags line of the mapping that holds `p` in /proc/self/smaps ("hg": advised for huge
// pages), or "" when there is no such mapping.
std::string mapping_flags(const void* p) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> from >> dash >> to && dash == '-' && line.find(':') > line.find(' ')) {
            inside = from <= address && address < to;
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            return line.substr(8) + " ";
        }
    }
    return "";
}

template <typename T>
void fill_with_positions(TableVector<T>& v) {
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<T>(i * 2654435761u);
}

template <typename T>
bool holds_positions(const TableVector<T>& v, std::size_t n) {
    if (v.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (v[i] != static_cast<T>(i * 2654435761u)) return false;
    return true;
}

TEST(LargePageAllocator, SmallAndLargeBlocksHoldTheirRecordsThroughCopiesAndGrowth) {
    constexpr std::size_t small = 1000;
    const std::size_t large = kLargeBlockBytes / sizeof(uint32_t) + 12345;
    for (std::size_t n : {std::size_t{1}, small, kLargeBlockBytes / sizeof(uint32_t) - 1, large}) {
        TableVector<uint32_t> v(n);
        fill_with_positions(v);
        const TableVector<uint32_t> copy = v;
        EXPECT_TRUE(holds_positions(copy, n)) << n;
        // Growth moves the records from a block of one kind into one of the other.
        v.reserve(3 * n);
        EXPECT_TRUE(holds_positions(v, n)) << n;
        TableVector<uint32_t>().swap(v);
        EXPECT_TRUE(holds_positions(copy, n)) << n;
    }
}

TEST(LargePageAllocator, LargeBlocksStartOnAHugePageBoundary) {
    if (!ringweld::kMapsLargeBlocks) GTEST_SKIP() << "every block comes from the heap under AddressSanitizer";
    for (std::size_t bytes : {kLargeBlockBytes, kLargeBlockBytes + 1, 3 * kLargeBlockBytes + 4097}) {
        TableVector<char> v(bytes);
        EXPECT_TRUE(huge_page_aligned(v.data())) << bytes;
        v.back() = 7;  // the unaligned tail is mapped too
        EXPECT_EQ(v.front(), 0);
    }
}

TEST(LargePageAllocator, LargeBlocksAreAdvisedForHugePagesAndSmallOnesAreNot) {
    if (!ringweld::kMapsLargeBlocks) GTEST_SKIP() << "every block comes from the heap under AddressSanitizer";
    if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage")) GTEST_SKIP() << "no huge pages here";
    const TableVector<char> large(kLargeBlockBytes);
    const TableVector<char> small(kLargeBlockBytes / 64);
    EXPECT_NE(mapping_flags(large.data()).find(" hg "), std::string::npos) << mapping_flags(large.data());
    EXPECT_EQ(mapping_flags(small.data()).find(" hg "), std::string::npos) << mapping_flags(small.data());
}

TEST(LargePageAllocator, ABlockTheSystemRefusesIsBadAlloc) {
    if (!ringweld::kMapsLargeBlocks) GTEST_SKIP() << "the sanitizer's heap aborts on impossible sizes";
    ringweld::LargePageAllocator<char> allocator;
    EXPECT_THROW(allocator.allocate(kImpossibleBytes), std::bad_alloc);
    // Sizes whose byte count overflows are refused before anything is asked of the system.
    ringweld::LargePageAllocator<uint64_t> wide;
    EXPECT_THROW(wide.allocate(std::numeric_limits<std::size_t>::max() / 4), std::bad_alloc);
}

TEST(LargePageAllocator, AWorkTableTheSystemCannotHoldReportsItsOverflowNumber) {
    if (!ringweld::kMapsLargeBlocks) GTEST_SKIP() << "the sanitizer's heap aborts on impossible sizes";
    ringweld::WorkTable<uint64_t> table(ringweld::kArcOverflow);
    for (uint64_t i = 0; i < 100; ++i) table.append(i);
    try {
        table.reserve_rows(kImpossibleBytes / sizeof(uint64_t));
        FAIL() << "an impossible table was allocated";
    } catch (const ringweld::TableOverflow& e) {
        EXPECT_EQ(e.code, ringweld::kArcOverflow);
    }
    ASSERT_EQ(table.count(), 100);
    for (uint64_t i = 0; i < 100; ++i) EXPECT_EQ(table[i], i);
}

TEST(LargePageAllocator, AWorkTableLimitedAboveTheLargeBlockSizeStopsAtTheLimitWithItsRecords) {
    ringweld::WorkTable<uint32_t> table(ringweld::kPolygonPointOverflow);
    ringweld::table_allocation_limit() = 2 * kLargeBlockBytes;
    uint32_t stored = 0;
    try {
        for (;; ++stored) table.append(stored);
    } catch (const ringweld::TableOverflow& e) {
        EXPECT_EQ(e.code, ringweld::kPolygonPointOverflow);
    }
    ringweld::table_allocation_limit() = std::numeric_limits<std::size_t>::max();
    EXPECT_GT(std::size_t{stored} * sizeof(uint32_t), kLargeBlockBytes);
    ASSERT_EQ(table.count(), static_cast<int32_t>(stored));
    bool intact = true;
    for (uint32_t i = 0; i < stored; ++i) intact = intact && table[i] == i;
    EXPECT_TRUE(intact);
    table.release();
    EXPECT_TRUE(table.empty());
}

}  // namespace
