// Making the pages of a fresh, large buffer resident on another thread, so that the
// thread that fills it does not stop on a page fault for every 4 KiB it writes. Where the
// system offers them, the buffer gets huge pages: in 4 KiB pages, writing a picture of tens
// of megabytes also costs its writer a TLB miss every few rows, and freeing it takes longer.
#pragma once

#include "joined_thread.h"

#include <atomic>
#include <cstddef>

namespace tonalyx {

class TPrefault {
  public:
    // Starts populating [data, data + size) when the system offers a race-free way to do
    // it (the pages are made writable without their contents being touched); otherwise
    // does nothing. The buffer must outlive this object.
    TPrefault(void* data, std::size_t size);
    // Stops at the next slice: a buffer let go early (a refused or failed decode) is not
    // populated to its end first.
    ~TPrefault() { FStop.store(true, std::memory_order_relaxed); }
    TPrefault(const TPrefault&) = delete;
    TPrefault& operator=(const TPrefault&) = delete;

    void Join() { FThread.Join(); }

    // Below this many bytes a thread costs more than the faults it saves.
    static constexpr std::size_t MinimumSize = 8u << 20;
    // Populated a slice at a time: the system holds the process's memory-map lock while it
    // populates, and any other thread that maps or unmaps memory meanwhile (the window's
    // allocator growing its heap) waits for the whole call. A slice takes a millisecond or
    // two, so that is the longest such wait.
    static constexpr std::size_t SliceSize = 4u << 20;

  private:
    std::atomic<bool> FStop{false};
    TJoinedThread FThread; // after FStop: joined when this goes, before FStop goes
};

} // namespace tonalyx
