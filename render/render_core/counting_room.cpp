#include "counting_room.h"

#include <algorithm>

namespace tonalyx {

std::optional<TFailure> TCountingRoom::Take(int width, int height, std::int64_t bytes,
                                            std::int64_t& taken) {
    std::unique_lock lock(FMutex);
    if (taken > 0) {
        FTaken -= taken;
        taken = 0;
        FReleased.notify_all();
    }
    bytes = std::max<std::int64_t>(bytes, 0);
    for (;;) {
        // Read each time: what the others freed, and what other programs took meanwhile.
        const std::uint64_t system = FMemoryLeft ? FMemoryLeft() : MemoryLeftBytes();
        const auto others = static_cast<std::uint64_t>(FKept + FTaken);
        const std::uint64_t left = system > others ? system - others : 0;
        if (static_cast<std::uint64_t>(bytes) <= left) {
            FTaken += bytes;
            taken = bytes;
            return std::nullopt;
        }
        if (FTaken == 0) // alone, and still too large
            return WhyOverMemoryLeft(width, height, bytes, left);
        ++FWaiting;
        FReleased.wait(lock);
        --FWaiting;
    }
}

void TCountingRoom::Release(std::int64_t& taken) {
    if (taken <= 0)
        return;
    {
        const std::lock_guard lock(FMutex);
        FTaken -= taken;
        taken = 0;
    }
    FReleased.notify_all();
}

int TCountingRoom::Waiting() const {
    const std::lock_guard lock(FMutex);
    return FWaiting;
}

} // namespace tonalyx
