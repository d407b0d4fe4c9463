// Work off the main thread: one report per task on the owner's thread, cancellation before,
// during and after the work, the runner destroyed while its work runs, the order and number
// of threads, and where the work's captures are freed.
#include "background_tasks.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace tonalyx;
using namespace std::chrono_literals;

TONALYX_QT_TEST_ENVIRONMENT(QCoreApplication);

namespace {

constexpr int Patience = 20000; // ms: an upper bound for a loaded machine, never a pace

// Works wait here until the test opens the gate (or their token is stopped); the gate
// counts who arrived.
class TGate {
  public:
    // A work's wait; false when its token was stopped first.
    bool Pass(std::stop_token stop) {
        std::unique_lock lock(FMutex);
        ++FArrived;
        FChanged.notify_all();
        return FChanged.wait(lock, stop, [this] { return FOpen; });
    }
    void Open() {
        std::lock_guard lock(FMutex);
        FOpen = true;
        FChanged.notify_all();
    }
    int Arrived() {
        std::lock_guard lock(FMutex);
        return FArrived;
    }
    void WaitArrived(int n) {
        std::unique_lock lock(FMutex);
        ASSERT_TRUE(FChanged.wait_for(lock, std::chrono::milliseconds(Patience),
                                      [&] { return FArrived >= n; }));
    }

  private:
    std::mutex FMutex;
    std::condition_variable_any FChanged;
    bool FOpen = false;
    int FArrived = 0;
};

// Runs the event loop until nothing is pending on tasks (reports delivered or dropped).
bool Settled(const TBackgroundTasks& tasks) {
    return QTest::qWaitFor([&] { return tasks.Pending() == 0; }, Patience);
}

} // namespace

TEST(BackgroundTasks, ReportsOnceOnTheOwnersThreadWhatTheWorkReturned) {
    TBackgroundTasks tasks;
    std::atomic<QThread*> workThread = nullptr;
    std::vector<std::pair<QThread*, std::string>> reports;
    const auto report = [&](TOutcome<std::string> r) {
        reports.emplace_back(QThread::currentThread(), r.Ok() ? *r : "failed: " + r.Reason());
    };
    tasks.Start(
        [&](std::stop_token) {
            workThread = QThread::currentThread();
            return std::string("value");
        },
        report);
    tasks.Start([](std::stop_token) { return TOutcome<std::string>::Failure("no feed"); }, report);
    tasks.Start([](std::stop_token) -> std::string { throw std::runtime_error("broken"); }, report);
    ASSERT_TRUE(Settled(tasks));
    QCoreApplication::processEvents();
    const std::vector<std::pair<QThread*, std::string>> expected = {
        {QThread::currentThread(), "value"},
        {QThread::currentThread(), "failed: no feed"},
        {QThread::currentThread(), "failed: broken"},
    };
    EXPECT_EQ(reports, expected);
    EXPECT_NE(workThread.load(), QThread::currentThread());
}

TEST(BackgroundTasks, ACancelledTaskNeverReports) {
    // One thread: the second task waits behind the first, the third has run when cancelled.
    TBackgroundTasks tasks;
    TGate gate;
    std::atomic<bool> secondRan = false, firstSawStop = false;
    int reports = 0;
    const TTaskId first =
        tasks.Start([&](std::stop_token stop) { firstSawStop = !gate.Pass(stop); },
                    [&](TOutcome<void>) { ++reports; });
    const TTaskId second =
        tasks.Start([&](std::stop_token) { secondRan = true; }, [&](TOutcome<void>) { ++reports; });
    gate.WaitArrived(1);
    EXPECT_TRUE(tasks.IsPending(second));
    EXPECT_TRUE(tasks.Cancel(second)); // queued: its work is never called
    EXPECT_TRUE(tasks.Cancel(first));  // running: its token stops the wait
    EXPECT_FALSE(tasks.Cancel(first)) << "cancelled twice";
    EXPECT_FALSE(tasks.IsPending(first));

    std::atomic<bool> thirdRan = false;
    const TTaskId third =
        tasks.Start([&](std::stop_token) { thirdRan = true; }, [&](TOutcome<void>) { ++reports; });
    // Ran, its report queued but not yet delivered: cancelling still drops it.
    while (!thirdRan)
        std::this_thread::yield();
    EXPECT_TRUE(tasks.Cancel(third));
    QTest::qWait(0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(firstSawStop);
    EXPECT_FALSE(secondRan);
    EXPECT_EQ(reports, 0);
    EXPECT_EQ(tasks.Pending(), 0u);
}

TEST(BackgroundTasks, DestroyedWhileItsWorkRunsItStopsAndJoins) {
    auto tasks = std::make_unique<TBackgroundTasks>(TBackgroundOptions{.MaxThreads = 2});
    TGate gate;
    std::atomic<int> stopped = 0;
    bool reported = false;
    for (int i = 0; i < 3; ++i) // two run, one waits
        tasks->Start(
            [&](std::stop_token stop) {
                if (!gate.Pass(stop))
                    ++stopped;
            },
            [&](TOutcome<void>) { reported = true; });
    gate.WaitArrived(2);
    tasks.reset(); // returns once both works have seen their token and returned
    EXPECT_EQ(stopped, 2);
    EXPECT_EQ(gate.Arrived(), 2) << "a queued work ran after the runner was gone";
    QCoreApplication::processEvents();
    EXPECT_FALSE(reported);
}

TEST(BackgroundTasks, AReportMayDestroyItsRunner) {
    auto tasks = std::make_unique<TBackgroundTasks>();
    bool reported = false;
    tasks->Start([](std::stop_token) { return 1; },
                 [&](TOutcome<int> r) {
                     reported = r.Ok();
                     tasks.reset();
                 });
    ASSERT_TRUE(QTest::qWaitFor([&] { return tasks == nullptr; }, Patience));
    EXPECT_TRUE(reported);
}

TEST(BackgroundTasks, RunsInOrderOnAsManyThreadsAsAllowed) {
    for (const int threads : {1, 3}) {
        SCOPED_TRACE(threads);
        TBackgroundTasks tasks({.MaxThreads = threads});
        TGate gate;
        std::mutex mutex;
        std::vector<int> began;
        std::atomic<int> running = 0, most = 0;
        for (int i = 0; i < 5; ++i)
            tasks.Start([&, i](std::stop_token stop) {
                {
                    std::lock_guard lock(mutex);
                    began.push_back(i);
                }
                most = std::max(most.load(), ++running);
                gate.Pass(stop);
                --running;
            });
        gate.WaitArrived(threads); // as many at once as allowed, before any has ended
        gate.Open();
        ASSERT_TRUE(Settled(tasks));
        EXPECT_EQ(most, threads);
        if (threads == 1)
            EXPECT_EQ(began, std::vector<int>({0, 1, 2, 3, 4}));
        else
            EXPECT_EQ(began.size(), 5u);
    }
}

TEST(BackgroundTasks, TheWorkIsFreedOnItsThreadTheOutcomeMovedToTheReport) {
    // Move-only, as a work's captures may be; records the thread it dies on, unless it was
    // moved from.
    class TTracer {
      public:
        explicit TTracer(std::shared_ptr<std::atomic<QThread*>> diedOn)
            : FDiedOn(std::move(diedOn)) {}
        TTracer(TTracer&&) = default;
        TTracer(const TTracer&) = delete;
        ~TTracer() {
            if (FDiedOn)
                *FDiedOn = QThread::currentThread();
        }

      private:
        std::shared_ptr<std::atomic<QThread*>> FDiedOn;
    };
    TBackgroundTasks tasks;
    const auto diedOn = std::make_shared<std::atomic<QThread*>>(nullptr);
    std::unique_ptr<int> received;
    tasks.Start([tracer = TTracer(diedOn)](std::stop_token) { return std::make_unique<int>(5); },
                [&](TOutcome<std::unique_ptr<int>> r) { received = std::move(r).Value(); });
    ASSERT_TRUE(Settled(tasks));
    ASSERT_NE(received, nullptr);
    EXPECT_EQ(*received, 5);
    EXPECT_NE(diedOn->load(), nullptr);
    EXPECT_NE(diedOn->load(), QThread::currentThread());
}

TEST(BackgroundTasks, StopCallbacksWakeABlockingWaitAtOnce) {
    TBackgroundTasks tasks;
    std::atomic<bool> waiting = false, woken = false;
    const TTaskId id = tasks.Start([&](std::stop_token stop) {
        std::mutex m;
        std::condition_variable cv;
        bool wake = false;
        // What a transfer does with its multi handle: the callback interrupts the wait.
        const std::stop_callback onStop(stop, [&] {
            std::lock_guard lock(m);
            wake = true;
            cv.notify_all();
        });
        std::unique_lock lock(m);
        waiting = true;
        cv.wait(lock, [&] { return wake; });
        woken = true;
    });
    while (!waiting)
        std::this_thread::yield();
    tasks.Cancel(id);
    ASSERT_TRUE(QTest::qWaitFor([&] { return woken.load(); }, Patience));
}

#if defined(__linux__)
TEST(BackgroundTasks, LowPriorityThreadsYieldToTheRest) {
    for (const bool low : {false, true}) {
        TBackgroundTasks tasks({.LowPriority = low});
        int nice = -100;
        tasks.Start(
            [](std::stop_token) {
                errno = 0;
                return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
            },
            [&](TOutcome<int> r) { nice = *r; });
        ASSERT_TRUE(Settled(tasks));
        const int base = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        EXPECT_EQ(nice, low ? std::min(base + 10, 19) : base) << low;
    }
}
#endif
