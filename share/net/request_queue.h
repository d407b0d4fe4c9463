// The queue of running internet requests (uploads and server checks) with the rules of
// its two 100 ms timers: the blinking light and the deadline watch. Nothing is reported
// while its lock is held. Add and Finish run on the main thread (a request's worker
// reports there first); the timer passes on the main thread; Size on any.
#pragma once

#include "led_state.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace tonalyx {

// Milliseconds on a monotonic clock; steady_clock unless a test injects its own.
using TTickClock = std::function<std::chrono::milliseconds()>;
TTickClock SteadyTickClock();

inline constexpr std::chrono::milliseconds RequestDeadline{40000};

enum class TRequestKind { Upload, Check };
using TRequestId = std::uint64_t;

struct TExpiredRequest {
    TRequestId Id = 0;
    TRequestKind Kind = TRequestKind::Upload;
};

// What a deadline-watch pass found; the caller reports it after the lock is released.
struct TExpiryPass {
    bool QueueEmpty = false;              // stop both timers
    std::vector<TExpiredRequest> Expired; // taken out of the queue in this pass
};

class TRequestQueue {
  public:
    explicit TRequestQueue(TTickClock clock = SteadyTickClock(),
                           std::chrono::milliseconds deadline = RequestDeadline);
    TRequestQueue(const TRequestQueue&) = delete;
    TRequestQueue& operator=(const TRequestQueue&) = delete;

    // Enters a request due at now + deadline; returns its id (never 0).
    TRequestId Add(TRequestKind kind);
    // The request's worker ended: takes it out. False when it was abandoned before (or was
    // never there): its result must then be dropped.
    bool Finish(TRequestId id);
    std::size_t Size() const;

    // A tick of tmRequestQueueIndication with the light as it is; returns whether the
    // timer keeps running. Red: nothing changes and the timer runs on. Empty queue: steady
    // green and stop. Else green in odd and off in even rounded seconds of the clock.
    bool IndicationPass(TLEDState& led) const;
    // A tick of tmUploadImageExpWatch: abandons every entry whose deadline has passed.
    TExpiryPass ExpiryPass();

  private:
    struct TEntry {
        TRequestId Id;
        TRequestKind Kind;
        std::chrono::milliseconds Due;
    };
    mutable std::mutex FLock;
    std::vector<TEntry> FEntries; // guarded by FLock
    TRequestId FNextId = 1;       // guarded by FLock
    TTickClock FClock;
    std::chrono::milliseconds FDeadline;
};

// The light for a tick-clock reading while requests are queued: green when the reading in
// seconds, rounded half to even, is odd.
TLEDState BlinkState(std::chrono::milliseconds now);

// Shows failures one at a time: a failure arriving while a box is open (the show function
// runs a modal loop) waits and is shown when the box before it has closed. Each failure is
// shown exactly once. Main thread.
class TFailureReporter {
  public:
    explicit TFailureReporter(std::function<void()> show) : FShow(std::move(show)) {}
    void Report();
    int Pending() const { return FPending; }

  private:
    std::function<void()> FShow;
    bool FShowing = false;
    int FPending = 0;
};

} // namespace tonalyx
