// Ctrl+C reaching the tool: every interrupt is delivered, on a thread of the watcher's
// own, to what waits for it. The same cases run against the POSIX signal watch and
// the Windows console control handler.
#include "tests/unit/tools/standard_streams_double.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/interrupt.h"
#include "tools/dispenserctl/interrupt_watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

class DeliveredInterrupts {
public:
    void Record()
    {
        std::lock_guard lock(mutex_);
        ++count_;
        thread_ = std::this_thread::get_id();
        arrived_.notify_all();
    }
    // Waits up to ten seconds for the `count`th interrupt.
    bool WaitForCount(int count)
    {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, 10s, [&] { return count_ >= count; });
    }
    std::thread::id Thread()
    {
        std::lock_guard lock(mutex_);
        return thread_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    int count_ = 0;
    std::thread::id thread_;
};

TEST(InterruptWatch, EveryInterruptReachesTheFunctionOnAnotherThread)
{
    TerminalDouble terminal;
    DeliveredInterrupts delivered;
    const InterruptWatch watch([&delivered] { delivered.Record(); });
    SendInterrupt();
    ASSERT_TRUE(delivered.WaitForCount(1));
    SendInterrupt();
    EXPECT_TRUE(delivered.WaitForCount(2));
    EXPECT_NE(delivered.Thread(), std::this_thread::get_id());
}

TEST(InterruptWatch, CtrlCWakesWhatWaitsForTheToolsInterrupt)
{
    TerminalDouble terminal;
    Console console;
    InterruptState interrupts(console);
    const InterruptWatch watch([&interrupts] { interrupts.OnInterrupt(); });
    EXPECT_FALSE(interrupts.WaitFor(0ms));
    std::thread sender([] {
        std::this_thread::sleep_for(100ms);
        SendInterrupt();
    });
    EXPECT_TRUE(interrupts.WaitFor(10s));
    sender.join();
    EXPECT_TRUE(interrupts.IsRaised());
}

} // namespace
