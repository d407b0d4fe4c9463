// The two limits on uploads: how many one client address may send a minute, and how many
// bytes all stored pictures may take. Both are shared by the server's handler threads and
// guard their state with a lock of their own.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tonalyx {

class TRateLimiter {
  public:
    using TClock = std::chrono::steady_clock;

    // perMinute uploads per address in any 60 seconds; 0 allows none.
    explicit TRateLimiter(unsigned perMinute) : FPerMinute(perMinute) {}

    // Counts an attempt of address at now and tells whether it is within the limit.
    // Refused attempts are not counted, so a client that keeps trying is let in again a
    // minute after its last accepted upload.
    bool Allow(const std::string& address, TClock::time_point now);

    // Addresses with an attempt in the last minute (for tests and the bound on memory).
    std::size_t TrackedAddresses() const;

  private:
    void ForgetIdle(TClock::time_point now);

    const unsigned FPerMinute;
    mutable std::mutex FLock;
    std::unordered_map<std::string, std::deque<TClock::time_point>> FRecent;
    std::size_t FCallsSinceSweep = 0;
};

class TByteQuota {
  public:
    TByteQuota(std::uint64_t limit, std::uint64_t used) : FLimit(limit), FUsed(used) {}

    // Takes bytes from the quota if they fit; the caller gives them back with Release when
    // what they were for did not happen.
    bool Reserve(std::uint64_t bytes);
    void Release(std::uint64_t bytes);
    std::uint64_t Used() const;

  private:
    const std::uint64_t FLimit;
    mutable std::mutex FLock;
    std::uint64_t FUsed;
};

} // namespace tonalyx
