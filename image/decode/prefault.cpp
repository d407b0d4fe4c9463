#include "prefault.h"

#include <algorithm>
#include <cstdint>

#if defined(__linux__)
#include <cerrno>
#include <sys/mman.h>
#include <sys/resource.h>
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
    FThread = std::thread([begin, end] {
        MakeBackgroundThread();
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
    });
#endif
}

void MakeBackgroundThread() {
#if defined(__linux__)
    // Linux gives each thread a nice value of its own; raising it needs no privilege. The step
    // is from the program's own value, which nice may have raised already.
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        setpriority(PRIO_PROCESS, self, std::min(now + 10, 19));
#endif
}

} // namespace tonalyx
