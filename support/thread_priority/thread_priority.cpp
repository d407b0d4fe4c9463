#include "thread_priority.h"

#if defined(__linux__)
#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace tonalyx {

void LowerThisThreadsPriority() {
#if defined(__linux__)
    // Linux gives each thread a nice value of its own; raising it needs no privilege. The
    // step is from the program's own value, so that a program started under nice still puts
    // its important threads first.
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        setpriority(PRIO_PROCESS, self, std::min(now + 10, 19));
#endif
}

} // namespace tonalyx
