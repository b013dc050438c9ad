// Mapping and unmapping of large blocks; see large_pages.h.
#include "large_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace ringweld {

namespace {

std::size_t page_bytes() {
    static const std::size_t bytes = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return bytes;
}

std::size_t mapped_length(std::size_t bytes) {
    const std::size_t page = page_bytes();
    return (bytes + page - 1) / page * page;
}

}  // namespace

void* map_large_block(std::size_t bytes) {
    // One huge page more than needed, then the ends trimmed so that the block starts on a
    // huge-page boundary. The tail stays in ordinary pages: rounding it up to a huge page
    // would make up to 2 MiB resident that the table never uses.
    const std::size_t length = mapped_length(bytes);
    if (length < bytes || length > std::numeric_limits<std::size_t>::max() - kHugePageBytes) throw std::bad_alloc();
    void* raw = mmap(nullptr, length + kHugePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePageBytes - 1) & ~std::uintptr_t{kHugePageBytes - 1};
    const std::size_t head = aligned - start;
    if (head != 0) munmap(raw, head);
    if (kHugePageBytes - head != 0) munmap(reinterpret_cast<void*>(aligned + length), kHugePageBytes - head);
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    (void)madvise(block, length, MADV_HUGEPAGE);  // refused: the block keeps ordinary pages
#endif
    return block;
}

void unmap_large_block(void* block, std::size_t bytes) noexcept {
    munmap(block, mapped_length(bytes));
}

}  // namespace ringweld
