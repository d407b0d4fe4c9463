// Work run off the owner's thread (the main thread), reported back to it exactly once. Each
// task gets a cancellation token its work polls (or hooks with std::stop_callback to wake a
// blocking wait); a cancelled task never reports, and neither does one whose runner is gone.
// The runner owns its threads: its destructor cancels every task and joins them, so nothing
// outlives it. No global state: every user owns a runner of its own.
#pragma once

#include "outcome.h"

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

namespace tonalyx {

using TTaskId = std::uint64_t; // never 0

struct TBackgroundOptions {
    // Tasks that run at the same time; later ones wait their turn, in the order started.
    // 1 runs them one after another: a cancelled task's work still returns before the next
    // one begins.
    int MaxThreads = 1;
    // The threads yield to the program's others, so the window stays responsive while
    // they work.
    bool LowPriority = false;
};

namespace background_detail {

template <class R> struct TOutcomeOf { using Value = R; };
template <class V> struct TOutcomeOf<TOutcome<V>> { using Value = V; };

// One task's work and report behind a common face.
class TBody {
  public:
    virtual ~TBody() = default;
    // Worker thread: runs the work, keeps its outcome and frees the work (and what it
    // captured) on that thread.
    virtual void Run(std::stop_token stop) = 0;
    // A failure in place of running; the work is not called.
    virtual void Fail(TFailure failure) = 0;
    // Owner's thread: hands the outcome to the report.
    virtual void Report() = 0;
    // Owner's thread: the report will not be called; frees it now.
    virtual void DropReport() = 0;
};

template <class WorkFn, class ReportFn> class TTypedBody final : public TBody {
  public:
    using TResultType = std::invoke_result_t<WorkFn&, std::stop_token>;
    using TValue = typename TOutcomeOf<TResultType>::Value;

    TTypedBody(WorkFn work, ReportFn report) : FWork(std::move(work)), FReport(std::move(report)) {}

    void Run(std::stop_token stop) override {
        try {
            if constexpr (std::is_void_v<TResultType>) {
                (*FWork)(std::move(stop));
                FOutcome.emplace(TOutcome<void>::Success());
            } else {
                FOutcome.emplace((*FWork)(std::move(stop)));
            }
        } catch (...) {
            FOutcome.emplace(FailureOf(std::current_exception()));
        }
        FWork.reset();
    }
    void Fail(TFailure failure) override {
        FOutcome.emplace(std::move(failure));
        FWork.reset();
    }
    void Report() override {
        if (FReport && FOutcome)
            (*FReport)(std::move(*FOutcome));
        FReport.reset();
    }
    void DropReport() override { FReport.reset(); }

  private:
    std::optional<WorkFn> FWork;
    std::optional<ReportFn> FReport;
    std::optional<TOutcome<TValue>> FOutcome;
};

struct TNoReport {
    template <class T> void operator()(T&&) const {}
};

} // namespace background_detail

// Every public method runs on the thread that made the runner (the owner's thread, which
// runs an event loop); the works run on the runner's threads.
class TBackgroundTasks {
  public:
    explicit TBackgroundTasks(TBackgroundOptions options = {});
    // Cancels every task, waits for the works that run to return (they see their token
    // stopped) and joins every thread. No report comes afterwards.
    ~TBackgroundTasks();
    TBackgroundTasks(const TBackgroundTasks&) = delete;
    TBackgroundTasks& operator=(const TBackgroundTasks&) = delete;

    // Queues work: a callable taking std::stop_token and returning TOutcome<T>, a plain T
    // (success) or nothing, called once on a worker thread and destroyed there. report is
    // called with its TOutcome<T> on the owner's thread, once, from the event loop, unless
    // the task is cancelled first; a work that throws reports the exception as a failure.
    // When no thread can be had the task reports that failure instead. The outcome is moved
    // to the report, never copied.
    template <class Work, class Report> TTaskId Start(Work work, Report report) {
        using TBodyType = background_detail::TTypedBody<Work, Report>;
        return Enqueue(std::make_unique<TBodyType>(std::move(work), std::move(report)));
    }
    // Work whose effect is its own (freeing memory on a worker, say): no report.
    template <class Work> TTaskId Start(Work work) {
        return Start(std::move(work), background_detail::TNoReport{});
    }

    // Stops the task's token and drops its report; a queued work is never called. True when
    // the task was pending (started and not yet reported or cancelled).
    bool Cancel(TTaskId id);
    void CancelAll();
    bool IsPending(TTaskId id) const;
    std::size_t Pending() const;

  private:
    enum class TStage { Queued, Running, Ran };
    struct TTask {
        TTaskId Id = 0;
        TStage Stage = TStage::Queued;
        bool Cancelled = false;
        std::stop_source Stop;
        std::unique_ptr<background_detail::TBody> Body;
    };
    using TTaskPtr = std::shared_ptr<TTask>;

    TTaskId Enqueue(std::unique_ptr<background_detail::TBody> body);
    void Loop();              // a worker thread
    void Deliver(TTaskId id); // the owner's thread
    void PostDelivery(TTaskId id);
    void JoinEnded(); // the owner's thread
    // A cancelled task: its token, to be stopped once the lock is released (the work's stop
    // callbacks run then), and its body unless a worker still runs it.
    struct TWithdrawn {
        std::stop_source Stop{std::nostopstate};
        std::unique_ptr<background_detail::TBody> Body;
    };
    // Under FMutex: takes the task out of the pending ones and the queue.
    TWithdrawn Withdraw(TTaskPtr task);

    const TBackgroundOptions FOptions;
    mutable std::mutex FMutex; // guards everything below but FContext
    std::map<TTaskId, TTaskPtr> FPending;
    std::deque<TTaskPtr> FQueue;
    TTaskId FNextId = 1;
    int FActive = 0; // threads in Loop
    bool FStopping = false;
    std::vector<std::thread> FThreads;
    std::vector<std::thread::id> FEnded; // threads that left Loop, to be joined
    // Reports are queued to this object; those not yet delivered die with it.
    QObject FContext;
};

} // namespace tonalyx
