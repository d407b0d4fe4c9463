#include "prefault.h"

#include <algorithm>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tonalyx {

TPrefault::TPrefault([[maybe_unused]] void* data, [[maybe_unused]] std::size_t size) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    if (size < MinimumSize)
        return;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) / page * page;
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) / page * page;
    if (end <= begin)
        return;
#if defined(MADV_HUGEPAGE)
    // Only a hint: without transparent huge pages the buffer keeps its small ones.
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
    // Kernels without MADV_POPULATE_WRITE refuse it; the writer then faults as usual.
    FThread.Start(
        [this, begin, end] {
            for (std::uintptr_t slice = begin;
                 slice < end && !FStop.load(std::memory_order_relaxed); slice += SliceSize) {
                const std::size_t length = std::min<std::uintptr_t>(SliceSize, end - slice);
                if (madvise(reinterpret_cast<void*>(slice), length, MADV_POPULATE_WRITE) != 0)
                    return;
            }
        },
        TThreadPriority::Lowered);
#endif
}

} // namespace tonalyx
