// A payout killed at random moments: dispenserctl pays 20 notes in passes of 5 and
// is killed with SIGKILL part-way. After every kill either the counters equal what the
// simulated device really paid and no pass is marked, or a pass is marked in doubt,
// every command the device served was written ahead, and the technician's count (the
// device's ground truth) settles the counters to it.
// CRASH_KILLS sets the number of kills (30 by default), CRASH_SEED the moments.
#include "tests/integration/cli/dispenserctl_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <iostream>
#include <random>
#include <thread>

namespace {

using namespace cli_test;
using ::testing::HasSubstr;
using ::testing::Not;

unsigned EnvironmentNumber(const char* name, unsigned fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : fallback;
}

std::size_t Occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

class CrashTest : public DispenserCtlTest {
protected:
    // Waits until the device has finished whatever the killed host left it doing.
    SimulatorTruth SettledTruth()
    {
        SimulatorTruth last = device_->Truth();
        for (int quiet = 0; quiet < 3;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const SimulatorTruth now = device_->Truth();
            quiet = now.taken1 == last.taken1 && now.framesIn == last.framesIn ? quiet + 1 : 0;
            last = now;
        }
        return last;
    }
};

TEST_F(CrashTest, APayoutKilledAtAnyMomentIsCountedOrInDoubtUntilCounted)
{
    const unsigned kills = EnvironmentNumber("CRASH_KILLS", 30);
    const unsigned seed = EnvironmentNumber("CRASH_SEED", std::random_device{}());
    SCOPED_TRACE("CRASH_SEED=" + std::to_string(seed));
    Configure("LCDM-1000", 1000, 0);
    ASSERT_EQ(Run({"config", "set", "MaxDispense=5", "Cassette\\1\\Count=1000"}).status, 0);
    device_->Fault("note-ms:20");

    // One undisturbed payout measures how long a whole one takes.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Run({"dispense", "20", "--quiet"}).status, 0);
    const auto whole = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    ASSERT_EQ(Count("Cassette\\1"), device_->Truth().cassette1);

    std::mt19937 random(seed);
    std::uniform_int_distribution<long> moment(0, whole.count() + 50);
    unsigned inDoubt = 0;
    unsigned mismatches = 0;
    for (unsigned kill = 0; kill < kills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        if (device_->Truth().cassette1 < 40) {
            device_->Fault("set-count:1:1000");
            ASSERT_EQ(Run({"config", "set", "Cassette\\1\\Count=1000"}).status, 0);
        }
        const SimulatorTruth before = SettledTruth();
        const std::size_t pendingBefore = Occurrences(Journal(), "\tPENDING\t");
        {
            ChildProcess payout(Command({"dispense", "20", "--quiet"}));
            std::this_thread::sleep_for(std::chrono::milliseconds(moment(random)));
            payout.Signal(SIGKILL);
            payout.Finish(kPatience);
        }
        const SimulatorTruth truth = SettledTruth();
        const unsigned served = truth.commands - before.commands;
        if (!Key().HasSubkey("Pending")) {
            if (Count("Cassette\\1") != truth.cassette1)
                ++mismatches;
            EXPECT_EQ(Count("Cassette\\1"), truth.cassette1) << "no pass marked, so the counter must be right";
            continue;
        }
        ++inDoubt;
        const std::string journal = Journal();
        EXPECT_GE(Occurrences(journal, "\tPENDING\t") - pendingBefore, served)
            << "every command the device served was written ahead";
        EXPECT_EQ(Run({"dispense", "1", "--quiet"}).status, 1) << "no note moves while a pass is in doubt";
        EXPECT_EQ(device_->Truth().framesIn, truth.framesIn);

        const ChildProcess::Result counted =
            Run({"reconcile", "--cassette1", std::to_string(truth.cassette1)});
        EXPECT_EQ(counted.status, 0) << counted.err;
        EXPECT_THAT(Journal(), Not(HasSubstr("вне ожидаемого диапазона"))) << "the ground truth lies in the range";
        if (Count("Cassette\\1") != truth.cassette1 || Key().HasSubkey("Pending") ||
            Journal().find("вне ожидаемого диапазона") != std::string::npos)
            ++mismatches;
        EXPECT_EQ(Count("Cassette\\1"), truth.cassette1);
        EXPECT_FALSE(Key().HasSubkey("Pending"));
    }
    // The figures a long run reports.
    std::cout << "crash test: " << kills << " kills, " << inDoubt << " passes in doubt, " << mismatches
              << " mismatches after reconciliation, " << device_->Truth().exit1 << " notes paid\n";
    EXPECT_EQ(mismatches, 0u);

    // Afterwards the payouts go on as before.
    const SimulatorTruth settled = SettledTruth();
    ASSERT_EQ(Run({"dispense", "7", "--quiet"}).status, 0);
    EXPECT_EQ(device_->Truth().exit1, settled.exit1 + 7);
    EXPECT_EQ(Count("Cassette\\1"), device_->Truth().cassette1);
}

} // namespace
