#include "large_buffer.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tonalyx::large_buffer {

namespace {
// The size of a transparent huge page on the machines we run on, and the size from which a
// block is worth aligning to it.
constexpr std::size_t HugePage = 2u << 20;
constexpr std::size_t LargeSize = 8u << 20;

bool IsLarge(std::size_t bytes) {
    return bytes >= LargeSize && bytes <= static_cast<std::size_t>(-1) - HugePage;
}
} // namespace

void* Allocate(std::size_t bytes) {
    if (!IsLarge(bytes))
        return ::operator new(bytes);
    // Aligned at both ends, so that every page of the block can be a huge one.
    const std::size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
    void* block = std::aligned_alloc(HugePage, rounded);
    if (!block)
        throw std::bad_alloc();
#if defined(__linux__)
    // Only a hint: without transparent huge pages the block keeps its small ones.
    madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return block;
}

void Free(void* block, std::size_t bytes) noexcept {
    if (IsLarge(bytes))
        std::free(block);
    else
        ::operator delete(block);
}

} // namespace tonalyx::large_buffer
