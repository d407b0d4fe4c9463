// The memory that the pictures tonalyx-render counts at once share.
#pragma once

#include "decoder.h"
#include "memory_left.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace tonalyx {

// Each count's decode is admitted, once its file's header gives the size, against the memory
// the system has left less what the counts beside it have taken and what is kept for drawing:
// the tools' rule (WhyOverMemoryLeft), shared between threads. A count that does not fit
// waits until another gives its room back; one that does not fit while no other holds any is
// refused with the rule's reason. No count ever waits for one that waits, so none waits for
// ever. Any thread.
class TCountingRoom {
  public:
    // kept: the bytes held aside for the whole run (the panel's drawing); memoryLeft: the
    // system's (MemoryLeftBytes) when not set.
    explicit TCountingRoom(std::int64_t kept, TMemoryLeft memoryLeft = {})
        : FKept(kept), FMemoryLeft(std::move(memoryLeft)) {}

    // Takes bytes for a width × height picture, giving back first what taken held (a further
    // pass of the same count); taken then holds the bytes taken, none on a refusal.
    std::optional<TFailure> Take(int width, int height, std::int64_t bytes, std::int64_t& taken);
    // Gives back what taken holds.
    void Release(std::int64_t& taken);
    // The counts waiting for room now (tests).
    int Waiting() const;

  private:
    const std::int64_t FKept;
    const TMemoryLeft FMemoryLeft;
    mutable std::mutex FMutex;
    std::condition_variable FReleased;
    std::int64_t FTaken = 0; // by every count together
    int FWaiting = 0;
};

// One count's room: taken by its admission, given back when the share goes. Lives on the
// count's thread, longer than the decode that asks its admission.
class TRoomShare {
  public:
    explicit TRoomShare(TCountingRoom& room) : FRoom(room) {}
    ~TRoomShare() { FRoom.Release(FTaken); }
    TRoomShare(const TRoomShare&) = delete;
    TRoomShare& operator=(const TRoomShare&) = delete;

    TAdmission Admission() {
        return [this](int width, int height, std::int64_t bytes) {
            return FRoom.Take(width, height, bytes, FTaken);
        };
    }

  private:
    TCountingRoom& FRoom;
    std::int64_t FTaken = 0;
};

} // namespace tonalyx
