#include "MTSys/mtsys.h"

#include "framework/exceptions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A thread body that waits for its event, then returns 42.
unsigned WaitForEventThenReturn(void* argument)
{
    static_cast<MTSys::Event*>(argument)->Wait(MTSys::kInfinite);
    return 42;
}

unsigned ReturnSeven(void*)
{
    return 7;
}

unsigned CountUp(void* argument)
{
    ++*static_cast<std::atomic<int>*>(argument);
    return 0;
}

TEST(MTSysEvent, StartsNotSetAndStaysSetUntilReset)
{
    MTSys::Event event;
    ASSERT_TRUE(event.IsValid());
    EXPECT_FALSE(event.IsSignalled());
    event.Set();
    // A manual-reset event that was set and not reset answers every wait.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(MTSysEvent, AutoResetEventReleasesOneWait)
{
    MTSys::Event event(false, true);
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(MTSysEvent, WaitTimesOutWithoutASignal)
{
    MTSys::Event event;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.Wait(50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 45ms);
}

TEST(MTSysEvent, CopyReachesTheSameEventAndOutlivesTheOriginal)
{
    auto original = std::make_unique<MTSys::Event>();
    MTSys::Event copy(*original);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_NE(copy.Native(), original->Native());
    original->Set();
    EXPECT_TRUE(copy.IsSignalled());
    original.reset();
    copy.Reset();
    EXPECT_FALSE(copy.IsSignalled());
    copy.Set();
    EXPECT_TRUE(copy.IsSignalled());
}

TEST(MTSysEvent, SetFromAnotherThreadWakesTheWaiter)
{
    MTSys::Event event;
    std::thread setter([copy = MTSys::Event(event)]() mutable {
        std::this_thread::sleep_for(20ms);
        copy.Set();
    });
    EXPECT_TRUE(event.Wait(MTSys::kInfinite));
    setter.join();
}

TEST(MTSysThread, EmptyObjectIsInvalidAndWaitFails)
{
    MTSys::Thread thread;
    EXPECT_FALSE(thread.IsValid());
    EXPECT_FALSE(thread.Wait(0));
    EXPECT_FALSE(thread.ExitCode().has_value());
    MTSys::Thread copy(thread);
    EXPECT_FALSE(copy.IsValid());
    // Destroying empty objects closes nothing (a sanitizer would see a bad close).
}

TEST(MTSysThread, CopyWaitsForTheEndAndTheOriginalStaysValid)
{
    MTSys::Event release;
    MTSys::Thread thread;
    EXPECT_NE(thread.Start(WaitForEventThenReturn, &release), 0u);
    ASSERT_TRUE(thread.IsValid());
    {
        MTSys::Thread waiter(thread);
        EXPECT_FALSE(waiter.Wait(0));
        EXPECT_FALSE(waiter.ExitCode().has_value());
        release.Set();
        EXPECT_TRUE(waiter.Wait(MTSys::kInfinite));
        EXPECT_EQ(waiter.ExitCode(), 42u);
    }
    // The ended thread's object stays valid and signalled until destroyed.
    EXPECT_TRUE(thread.IsValid());
    EXPECT_TRUE(thread.IsSignalled());
    EXPECT_EQ(thread.ExitCode(), 42u);
}

TEST(MTSysThread, RestartingClosesTheOldHandle)
{
    MTSys::Thread thread;
    thread.Start(ReturnSeven, nullptr);
    ASSERT_TRUE(thread.Wait(MTSys::kInfinite));
    MTSys::Thread old(thread);
    std::atomic<int> counter{0};
    thread.Start(CountUp, &counter);
    ASSERT_TRUE(thread.Wait(MTSys::kInfinite));
    EXPECT_EQ(counter.load(), 1);
    EXPECT_EQ(old.ExitCode(), 7u);
    EXPECT_EQ(thread.ExitCode(), 0u);
}

TEST(MTSysThread, SuspendedThreadRunsOnlyAfterResume)
{
    std::atomic<int> counter{0};
    MTSys::Thread thread;
    thread.Start(CountUp, &counter, true);
    EXPECT_FALSE(thread.Wait(30));
    EXPECT_EQ(counter.load(), 0);
    thread.Resume();
    EXPECT_TRUE(thread.Wait(MTSys::kInfinite));
    EXPECT_EQ(counter.load(), 1);
}

TEST(MTSysThread, ManyThreadsAllEnd)
{
    std::atomic<int> counter{0};
    std::vector<MTSys::Thread> threads(16);
    for (auto& thread : threads)
        ASSERT_NE(thread.Start(CountUp, &counter), 0u);
    for (auto& thread : threads)
        EXPECT_TRUE(thread.Wait(MTSys::kInfinite));
    EXPECT_EQ(counter.load(), 16);
}

TEST(MTSysWaitAny, ReturnsTheSignalledObject)
{
    MTSys::Event first;
    MTSys::Event second;
    EXPECT_EQ(MTSys::WaitAny({&first, &second}, 0), -1);
    second.Set();
    EXPECT_EQ(MTSys::WaitAny({&first, &second}, 0), 1);
    first.Set();
    EXPECT_EQ(MTSys::WaitAny({&first, &second}, MTSys::kInfinite), 0); // the lowest index wins
}

TEST(MTSysWaitAny, ThreadEndOrStopEvent)
{
    MTSys::Event release;
    MTSys::Event stop;
    MTSys::Thread thread;
    thread.Start(WaitForEventThenReturn, &release);
    EXPECT_EQ(MTSys::WaitAny({&thread, &stop}, 20), -1);
    std::thread stopper([copy = MTSys::Event(stop)]() mutable { copy.Set(); });
    EXPECT_EQ(MTSys::WaitAny({&thread, &stop}, MTSys::kInfinite), 1);
    stopper.join();
    release.Set();
    EXPECT_TRUE(thread.Wait(MTSys::kInfinite));
    stop.Reset();
    EXPECT_EQ(MTSys::WaitAny({&thread, &stop}, MTSys::kInfinite), 0);
}

TEST(MTSysWaitAny, EmptyObjectMakesTheWaitFail)
{
    MTSys::Event event;
    MTSys::Thread empty;
    EXPECT_THROW(MTSys::WaitAny({&event, &empty}, 0), WindowsError);
}

TEST(MTSysEvent, SetOnAnEmptyEventRaises)
{
    MTSys::Event event;
    MTSys::Event moved(std::move(event));
    EXPECT_FALSE(event.IsValid()); // NOLINT(bugprone-use-after-move): the moved-from object is empty
    EXPECT_THROW(event.Set(), WindowsError);
    EXPECT_THROW(event.Reset(), WindowsError);
    EXPECT_TRUE(moved.IsValid());
}

} // namespace
