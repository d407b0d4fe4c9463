#include "background_tasks.h"

#include "background_log.h"
#include "thread_priority.h"

#include <QThread>

#include <algorithm>
#include <system_error>

namespace tonalyx {

TBackgroundTasks::TBackgroundTasks(TBackgroundOptions options) : FOptions(options) {}

TBackgroundTasks::~TBackgroundTasks() {
    std::vector<TWithdrawn> gone;
    {
        std::lock_guard lock(FMutex);
        FStopping = true; // threads leave their loop after the work at hand
        while (!FPending.empty())
            gone.push_back(Withdraw(FPending.begin()->second));
    }
    for (TWithdrawn& w : gone)
        w.Stop.request_stop();
    gone.clear();
    for (std::thread& thread : FThreads)
        thread.join();
}

TTaskId TBackgroundTasks::Enqueue(std::unique_ptr<background_detail::TBody> body) {
    Q_ASSERT(QThread::currentThread() == FContext.thread());
    JoinEnded();
    std::unique_lock lock(FMutex);
    auto task = std::make_shared<TTask>();
    task->Id = FNextId++;
    task->Body = std::move(body);
    FPending.emplace(task->Id, task);
    FQueue.push_back(task);
    const TTaskId id = task->Id;
    if (FActive >= std::max(FOptions.MaxThreads, 1))
        return id;
    try {
        FThreads.emplace_back([this] { Loop(); });
        ++FActive;
    } catch (const std::system_error& e) {
        if (FActive > 0)
            return id; // a running thread takes it in turn
        // No thread at all: whatever waits fails now and reports like any other outcome.
        qCWarning(BackgroundLog) << "no worker thread could be started:" << e.what();
        for (const TTaskPtr& waiting : FQueue) {
            waiting->Stage = TStage::Ran;
            waiting->Body->Fail({"No worker thread could be started.", e.what()});
            PostDelivery(waiting->Id);
        }
        FQueue.clear();
    }
    return id;
}

void TBackgroundTasks::Loop() {
    if (FOptions.LowPriority)
        LowerThisThreadsPriority();
    std::unique_lock lock(FMutex);
    while (!FStopping && !FQueue.empty()) {
        const TTaskPtr task = std::move(FQueue.front());
        FQueue.pop_front();
        task->Stage = TStage::Running;
        background_detail::TBody* body = task->Body.get();
        const std::stop_token stop = task->Stop.get_token();
        lock.unlock();
        body->Run(stop);
        lock.lock();
        task->Stage = TStage::Ran;
        if (task->Cancelled) { // its outcome is freed here, off the owner's thread
            std::unique_ptr<background_detail::TBody> gone = std::move(task->Body);
            lock.unlock();
            gone.reset();
            lock.lock();
            continue;
        }
        PostDelivery(task->Id);
    }
    --FActive;
    FEnded.push_back(std::this_thread::get_id());
}

void TBackgroundTasks::PostDelivery(TTaskId id) {
    QMetaObject::invokeMethod(
        &FContext, [this, id] { Deliver(id); }, Qt::QueuedConnection);
}

void TBackgroundTasks::Deliver(TTaskId id) {
    std::unique_ptr<background_detail::TBody> body;
    {
        std::lock_guard lock(FMutex);
        const auto it = FPending.find(id);
        if (it == FPending.end())
            return; // cancelled after it ran
        body = std::move(it->second->Body);
        FPending.erase(it);
    }
    JoinEnded();
    // The report may start, cancel or destroy tasks, even this runner: nothing of this
    // object is touched after it.
    body->Report();
}

TBackgroundTasks::TWithdrawn TBackgroundTasks::Withdraw(TTaskPtr task) {
    task->Cancelled = true;
    task->Body->DropReport();
    FPending.erase(task->Id);
    TWithdrawn gone{task->Stop, nullptr};
    if (task->Stage == TStage::Running)
        return gone; // the worker frees the body when the work returns
    if (task->Stage == TStage::Queued)
        FQueue.erase(std::find(FQueue.begin(), FQueue.end(), task));
    gone.Body = std::move(task->Body);
    return gone;
}

bool TBackgroundTasks::Cancel(TTaskId id) {
    TWithdrawn gone;
    {
        std::lock_guard lock(FMutex);
        const auto it = FPending.find(id);
        if (it == FPending.end())
            return false;
        gone = Withdraw(it->second);
    }
    // Outside the lock: the work's stop callbacks run here, on this thread.
    gone.Stop.request_stop();
    return true;
}

void TBackgroundTasks::CancelAll() {
    std::vector<TWithdrawn> gone;
    {
        std::lock_guard lock(FMutex);
        while (!FPending.empty())
            gone.push_back(Withdraw(FPending.begin()->second));
    }
    for (TWithdrawn& w : gone)
        w.Stop.request_stop();
}

bool TBackgroundTasks::IsPending(TTaskId id) const {
    std::lock_guard lock(FMutex);
    return FPending.count(id) != 0;
}

std::size_t TBackgroundTasks::Pending() const {
    std::lock_guard lock(FMutex);
    return FPending.size();
}

void TBackgroundTasks::JoinEnded() {
    std::vector<std::thread> ended;
    {
        std::lock_guard lock(FMutex);
        for (const std::thread::id id : FEnded) {
            const auto it = std::find_if(FThreads.begin(), FThreads.end(),
                                         [id](const std::thread& t) { return t.get_id() == id; });
            ended.push_back(std::move(*it));
            FThreads.erase(it);
        }
        FEnded.clear();
    }
    // A thread listed has left its loop; joining it waits only for its return.
    for (std::thread& thread : ended)
        thread.join();
}

} // namespace tonalyx
