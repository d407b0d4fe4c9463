#include "joined_thread.h"

#include "thread_priority.h"

#include <utility>

namespace tonalyx {

TJoinedThread::~TJoinedThread() {
    if (FThread.joinable())
        FThread.join();
}

void TJoinedThread::Start(std::function<void()> work, TThreadPriority priority) {
    FFailure = nullptr;
    FThread = std::thread([this, work = std::move(work), priority] {
        if (priority == TThreadPriority::Lowered)
            LowerThisThreadsPriority();
        try {
            work();
        } catch (...) {
            FFailure = std::current_exception();
        }
    });
}

void TJoinedThread::Join() {
    if (!FThread.joinable())
        return;
    FThread.join();
    if (FFailure)
        std::rethrow_exception(std::exchange(FFailure, nullptr));
}

} // namespace tonalyx
