#include "upload_limits.h"

#include <algorithm>

namespace tonalyx {

namespace {
constexpr auto Window = std::chrono::minutes(1);
// How often the map is swept of addresses that have been quiet for a minute.
constexpr std::size_t SweepEvery = 256;
} // namespace

bool TRateLimiter::Allow(const std::string& address, TClock::time_point now) {
    std::lock_guard lock(FLock);
    if (++FCallsSinceSweep >= SweepEvery)
        ForgetIdle(now);
    auto& times = FRecent[address];
    while (!times.empty() && now - times.front() >= Window)
        times.pop_front();
    if (times.size() >= FPerMinute) {
        if (times.empty())
            FRecent.erase(address);
        return false;
    }
    times.push_back(now);
    return true;
}

std::size_t TRateLimiter::TrackedAddresses() const {
    std::lock_guard lock(FLock);
    return FRecent.size();
}

void TRateLimiter::ForgetIdle(TClock::time_point now) {
    FCallsSinceSweep = 0;
    std::erase_if(FRecent, [&](const auto& entry) {
        return entry.second.empty() || now - entry.second.back() >= Window;
    });
}

bool TByteQuota::Reserve(std::uint64_t bytes) {
    std::lock_guard lock(FLock);
    if (bytes > FLimit || FUsed > FLimit - bytes)
        return false;
    FUsed += bytes;
    return true;
}

void TByteQuota::Release(std::uint64_t bytes) {
    std::lock_guard lock(FLock);
    FUsed -= std::min(bytes, FUsed);
}

std::uint64_t TByteQuota::Used() const {
    std::lock_guard lock(FLock);
    return FUsed;
}

} // namespace tonalyx
