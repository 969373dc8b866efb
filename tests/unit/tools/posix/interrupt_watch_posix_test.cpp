// The POSIX signal watch: Ctrl+C ends a question waiting for its answer (wine's console
// does not end a pending read, so this one is not run there), and killing the tool in
// the middle of a payout, which would leave notes paid out and not counted, stops it
// at a safe point as Ctrl+C does.
#include "tests/unit/tools/standard_streams_double.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/console_platform.h"
#include "tools/dispenserctl/interrupt.h"
#include "tools/dispenserctl/interrupt_watch.h"

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

TEST(InterruptWatchPosix, TerminationAndHangUpAreInterruptsToo)
{
    std::mutex mutex;
    std::condition_variable arrived;
    int count = 0;
    const InterruptWatch watch([&] {
        std::lock_guard lock(mutex);
        ++count;
        arrived.notify_all();
    });
    std::unique_lock lock(mutex);
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    EXPECT_TRUE(arrived.wait_for(lock, std::chrono::seconds(10), [&] { return count >= 1; }));
    ASSERT_EQ(::kill(::getpid(), SIGHUP), 0);
    EXPECT_TRUE(arrived.wait_for(lock, std::chrono::seconds(10), [&] { return count >= 2; }));
}

TEST(InterruptWatchPosix, CtrlCEndsAQuestionWaitingForItsAnswer)
{
    TerminalDouble terminal;
    PrepareConsole();
    Console console;
    InterruptState interrupts(console);
    const InterruptWatch watch([&interrupts] { interrupts.OnInterrupt(); });
    std::optional<std::string> answer = "no answer read yet";
    std::thread question([&] { answer = ReadTerminalLine([&interrupts] { return interrupts.IsRaised(); }); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    SendInterrupt();
    question.join();
    EXPECT_EQ(answer, std::nullopt);
}

} // namespace
