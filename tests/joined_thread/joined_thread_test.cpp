// The thread of one call: joined before its owner goes, the work's exception rethrown by
// Join or dropped with the owner, the work run at the priority asked for.
#include "joined_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace tonalyx;

namespace {

enum class TThrown { Nothing, OutOfMemory, Other };

void Throw(TThrown thrown) {
    if (thrown == TThrown::OutOfMemory)
        throw std::bad_alloc();
    if (thrown == TThrown::Other)
        throw std::runtime_error("work failed");
}

int ThisThreadsNice() {
#if defined(__linux__)
    return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
#else
    return 0;
#endif
}

} // namespace

TEST(JoinedThread, JoinRethrowsWhatTheWorkThrewAtThePriorityAsked) {
    const struct {
        const char* Name;
        TThreadPriority Priority;
        TThrown Thrown;
    } cases[] = {
        {"normal", TThreadPriority::Normal, TThrown::Nothing},
        {"lowered", TThreadPriority::Lowered, TThrown::Nothing},
        {"normal, out of memory", TThreadPriority::Normal, TThrown::OutOfMemory},
        {"lowered, another failure", TThreadPriority::Lowered, TThrown::Other},
    };
    const int base = ThisThreadsNice();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TJoinedThread thread;
        EXPECT_FALSE(thread.Running());
        int nice = -100;
        thread.Start(
            [&] {
                nice = ThisThreadsNice();
                Throw(c.Thrown);
            },
            c.Priority);
        EXPECT_TRUE(thread.Running());
        switch (c.Thrown) {
        case TThrown::Nothing:
            EXPECT_NO_THROW(thread.Join());
            break;
        case TThrown::OutOfMemory:
            EXPECT_THROW(thread.Join(), std::bad_alloc);
            break;
        case TThrown::Other:
            EXPECT_THROW(thread.Join(), std::runtime_error);
            break;
        }
        EXPECT_FALSE(thread.Running());
        EXPECT_NO_THROW(thread.Join()); // rethrown once
#if defined(__linux__)
        EXPECT_EQ(nice, c.Priority == TThreadPriority::Lowered ? std::min(base + 10, 19) : base);
#endif
        // Joined, it takes another work, which starts with nothing thrown.
        bool again = false;
        thread.Start([&] { again = true; });
        EXPECT_NO_THROW(thread.Join());
        EXPECT_TRUE(again);
    }
    EXPECT_EQ(ThisThreadsNice(), base); // the caller's own priority is left alone
}

TEST(JoinedThread, TheOwnerWaitsForItsThreadAndDropsWhatItThrew) {
    for (const TThrown thrown : {TThrown::Nothing, TThrown::OutOfMemory, TThrown::Other}) {
        std::atomic<bool> done = false;
        {
            const TJoinedThread thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                done = true;
                Throw(thrown);
            });
        }
        EXPECT_TRUE(done) << static_cast<int>(thrown);
    }
}
