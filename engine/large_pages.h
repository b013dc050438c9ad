// Storage for the engine's big tables and temporaries.
//
// On the virtual machines the engine runs on, a page fault costs far more than writing the
// page, and a large assembly first-touches tables of millions of records: most of its time
// went into faults on 4 KiB pages. Blocks of at least kLargeBlockBytes are therefore mapped
// on their own, aligned to 2 MiB and marked for transparent huge pages (MADV_HUGEPAGE, since
// systems commonly enable them only on request) before anything touches them, so that one
// fault fills 2 MiB. They are unmapped when released. Smaller blocks come from operator new
// as usual, which serves the many small tables of small drawings best.
//
// A block that cannot be mapped throws std::bad_alloc, as operator new does (WorkTable turns
// it into its overflow number). Huge pages being refused is no error: the block then has
// ordinary pages. Under AddressSanitizer every block comes from operator new, so that the
// sanitizer still checks the containers' bounds.
#pragma once

#include <cstddef>
#include <limits>
#include <new>
#include <vector>

namespace ringweld {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMapsLargeBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kMapsLargeBlocks = false;
#else
inline constexpr bool kMapsLargeBlocks = true;
#endif
#else
inline constexpr bool kMapsLargeBlocks = true;
#endif

// The smallest block that is mapped on its own: two huge pages.
inline constexpr std::size_t kLargeBlockBytes = std::size_t{4} << 20;
// The alignment of a mapped block, the size of a transparent huge page.
inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// A fresh anonymous mapping of `bytes` (zeroed), aligned to kHugePageBytes and advised for
// huge pages; throws std::bad_alloc when the system refuses it. Released only by
// unmap_large_block with the same size.
void* map_large_block(std::size_t bytes);
void unmap_large_block(void* block, std::size_t bytes) noexcept;

// Whether a block of `bytes` is mapped on its own (the same answer for its allocation and
// its release, which the standard allocator model gives the same size).
inline constexpr bool is_large_block(std::size_t bytes) { return kMapsLargeBlocks && bytes >= kLargeBlockBytes; }

template <typename T>
class LargePageAllocator {
public:
    using value_type = T;
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "records need no over-alignment");

    LargePageAllocator() noexcept = default;
    template <typename U>
    LargePageAllocator(const LargePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        return static_cast<T*>(is_large_block(bytes) ? map_large_block(bytes) : ::operator new(bytes));
    }
    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (is_large_block(bytes))
            unmap_large_block(p, bytes);
        else
            ::operator delete(p);  // unsized: clang leaves sized deallocation off by default
    }

    friend bool operator==(const LargePageAllocator&, const LargePageAllocator&) noexcept { return true; }
};

// The vector of every table and temporary that may hold millions of records.
template <typename T>
using TableVector = std::vector<T, LargePageAllocator<T>>;

}  // namespace ringweld
