// A thread that one call starts beside itself and joins before it returns.
#pragma once

#include <exception>
#include <functional>
#include <thread>
#include <utility>

namespace tonalyx {

enum class TThreadPriority : unsigned char {
    Normal,
    Lowered, // below the program's other threads (LowerThisThreadsPriority)
};

// Owns one thread for work done beside a call, inside it: half of the rows counted, the
// pages of a raster touched ahead of its decoder. The call waits for it with Join, or lets
// the object go, whose destructor joins, so that the work never outlives what it reads. No
// event loop is needed, unlike the background runner, whose tasks report on their owner's Qt
// loop. Not movable: the thread writes what the work threw into this object.
class TJoinedThread {
  public:
    TJoinedThread() = default;
    // Start(work, priority) at once.
    explicit TJoinedThread(std::function<void()> work,
                           TThreadPriority priority = TThreadPriority::Normal) {
        Start(std::move(work), priority);
    }
    // Joins the thread. What the work threw is dropped here, as a discarded future drops it:
    // a caller that wants it calls Join.
    ~TJoinedThread();
    TJoinedThread(const TJoinedThread&) = delete;
    TJoinedThread& operator=(const TJoinedThread&) = delete;

    // Runs work on a new thread, first lowering its priority when asked. Throws
    // std::system_error when the system gives no thread, as std::thread does. Only while no
    // thread runs (none was started, or it was joined).
    void Start(std::function<void()> work, TThreadPriority priority = TThreadPriority::Normal);
    // Whether a thread was started and not yet joined.
    bool Running() const { return FThread.joinable(); }
    // Waits for the work to end, then rethrows what it threw, as a future's get does.
    // Nothing without a running thread.
    void Join();

  private:
    std::thread FThread;
    std::exception_ptr FFailure; // set by the thread before it ends, read once it is joined
};

} // namespace tonalyx
