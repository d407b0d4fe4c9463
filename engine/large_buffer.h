// An allocator for buffers of tens of megabytes that are written whole right after they are
// made (a sensor's photosites copied out of the raw library): its elements are left
// uninitialised rather than zeroed first, and a large buffer starts on a huge-page boundary
// with the system asked for huge pages, so that filling it costs one page fault per 2 MiB
// rather than per 4 KiB. No toolkit.
#pragma once

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

namespace tonalyx {

namespace large_buffer {
// Allocates bytes; the pages of a large block are offered huge pages where the system has
// them. Throws std::bad_alloc.
void* Allocate(std::size_t bytes);
void Free(void* block, std::size_t bytes) noexcept;
} // namespace large_buffer

template <typename T> struct TLargeBufferAllocator {
    using value_type = T;
    TLargeBufferAllocator() = default;
    template <typename U> TLargeBufferAllocator(const TLargeBufferAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_alloc();
        return static_cast<T*>(large_buffer::Allocate(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { large_buffer::Free(p, n * sizeof(T)); }
    // Default-initialised: a resize leaves the new elements for their writer.
    template <typename U> void construct(U* p) { ::new (static_cast<void*>(p)) U; }
    template <typename U, typename... A> void construct(U* p, A&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(args)...);
    }
    friend bool operator==(const TLargeBufferAllocator&, const TLargeBufferAllocator&) {
        return true;
    }
};

template <typename T> using TLargeBuffer = std::vector<T, TLargeBufferAllocator<T>>;

} // namespace tonalyx
