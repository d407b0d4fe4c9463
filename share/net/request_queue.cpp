#include "request_queue.h"

#include <algorithm>
#include <cmath>

namespace tonalyx {

TTickClock SteadyTickClock() {
    return [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    };
}

TRequestQueue::TRequestQueue(TTickClock clock, std::chrono::milliseconds deadline)
    : FClock(std::move(clock)), FDeadline(deadline) {}

TRequestId TRequestQueue::Add(TRequestKind kind) {
    const auto due = FClock() + FDeadline;
    std::lock_guard lock(FLock);
    const TRequestId id = FNextId++;
    FEntries.push_back({id, kind, due});
    return id;
}

bool TRequestQueue::Finish(TRequestId id) {
    std::lock_guard lock(FLock);
    const auto it = std::find_if(FEntries.begin(), FEntries.end(),
                                 [id](const TEntry& e) { return e.Id == id; });
    if (it == FEntries.end())
        return false;
    FEntries.erase(it);
    return true;
}

std::size_t TRequestQueue::Size() const {
    std::lock_guard lock(FLock);
    return FEntries.size();
}

TLEDState BlinkState(std::chrono::milliseconds now) {
    // lrint rounds half to even in the default rounding mode, as everywhere in the program.
    const long seconds = std::lrint(static_cast<double>(now.count()) / 1000.0);
    return seconds % 2 != 0 ? TLEDState::lsGreen : TLEDState::lsOff;
}

bool TRequestQueue::IndicationPass(TLEDState& led) const {
    if (led == TLEDState::lsRed)
        return true;
    bool empty;
    {
        std::lock_guard lock(FLock);
        empty = FEntries.empty();
    }
    led = empty ? TLEDState::lsGreen : BlinkState(FClock());
    return !empty;
}

TExpiryPass TRequestQueue::ExpiryPass() {
    const auto now = FClock();
    TExpiryPass pass;
    std::lock_guard lock(FLock);
    if (FEntries.empty()) {
        pass.QueueEmpty = true;
        return pass;
    }
    // Past the deadline means now has reached it, so a tick at exactly 40 s abandons.
    std::erase_if(FEntries, [&](const TEntry& e) {
        if (now < e.Due)
            return false;
        pass.Expired.push_back({e.Id, e.Kind});
        return true;
    });
    return pass;
}

void TFailureReporter::Report() {
    if (FShowing) {
        ++FPending;
        return;
    }
    FShowing = true;
    FShow();
    while (FPending > 0) {
        --FPending;
        FShow();
    }
    FShowing = false;
}

} // namespace tonalyx
