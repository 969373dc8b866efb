// The hive file shared by processes: concurrent writers lose nothing, and a writer
// killed at any moment leaves the old or the new hive, never a torn one.
#include "framework/exceptions.h"
#include "framework/posix/registry_hive_file.h"
#include "framework/registry.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr const char* kKey = "Software\\Orvane\\Tallivox\\Kiosk\\Dispenser";

// Runs `body` in a child process; returns its pid. The child exits 0 when the body
// returns and 1 when it throws.
pid_t RunChild(const std::function<void()>& body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        int status = 0;
        try {
            body();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "child failed: %s\n", error.what());
            status = 1;
        }
        _exit(status);
    }
    return pid;
}

int ExitStatus(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RegistryProcesses, TwoWritersNeverLoseAValue)
{
    TestRegistry registry;
    constexpr int kValues = 60;
    RegKey(registry.Root(), kKey, true, RegAccessAll);
    std::vector<pid_t> children;
    for (const char* prefix : {"first", "second"}) {
        children.push_back(RunChild([&, prefix] {
            RegKey key(registry.Root(), kKey, true, RegAccessAll);
            for (int i = 0; i < kValues; ++i)
                key[std::string(prefix) + std::to_string(i)] = i;
        }));
    }
    for (pid_t child : children)
        EXPECT_EQ(ExitStatus(child), 0);

    RegKey key(registry.Root(), kKey, false, RegAccessRead);
    EXPECT_EQ(key.ValueNames().size(), 2u * kValues);
    for (int i = 0; i < kValues; ++i) {
        EXPECT_EQ(static_cast<int>(key["first" + std::to_string(i)]), i);
        EXPECT_EQ(static_cast<int>(key["second" + std::to_string(i)]), i);
    }
}

// The write-ahead marker of a payout relies on this: of processes racing to create the
// same subkey, exactly one is told it made it.
TEST(RegistryProcesses, OneOfRacingProcessesCreatesANewSubkey)
{
    TestRegistry registry;
    constexpr int kRounds = 20;
    constexpr int kRacers = 3;
    RegKey(registry.Root(), kKey, true, RegAccessAll);
    for (int round = 0; round < kRounds; ++round) {
        const std::string name = "Pending" + std::to_string(round);
        std::vector<pid_t> children;
        for (int c = 0; c < kRacers; ++c) {
            // Exit status 0: this one created the subkey; 2: it found it there.
            children.push_back(RunChild([&] {
                RegKey key(registry.Root(), kKey, true, RegAccessAll);
                if (!key.CreateNewSubkey(name))
                    _exit(2);
            }));
        }
        int created = 0;
        for (pid_t child : children) {
            const int status = ExitStatus(child);
            EXPECT_TRUE(status == 0 || status == 2) << status;
            created += status == 0 ? 1 : 0;
        }
        EXPECT_EQ(created, 1) << name;
    }
    RegKey key(registry.Root(), kKey, true, RegAccessAll);
    EXPECT_EQ(key.SubkeyNames().size(), static_cast<std::size_t>(kRounds));
    EXPECT_FALSE(key.CreateNewSubkey("Pending0"));
}

TEST(RegistryProcesses, CounterUpdatesFromTwoProcessesAddUp)
{
    TestRegistry registry;
    constexpr int kIncrements = 60;
    RegKey(registry.Root(), kKey, true, RegAccessAll)["Count"] = 0;
    std::vector<pid_t> children;
    for (int c = 0; c < 2; ++c) {
        children.push_back(RunChild([&] {
            RegKey key(registry.Root(), kKey, true, RegAccessAll);
            for (int i = 0; i < kIncrements; ++i)
                key.UpdateDword("Count", [](std::optional<std::uint32_t> count) { return count.value_or(0) + 1; });
        }));
    }
    for (pid_t child : children)
        EXPECT_EQ(ExitStatus(child), 0);
    EXPECT_EQ(RegKey(registry.Root(), kKey, false, RegAccessRead)["Count"].Dword(), 2u * kIncrements);
}

TEST(RegistryProcesses, WriterKilledMidWriteLeavesTheOldOrTheNewHive)
{
    TestRegistry registry;
    std::mt19937 random(20261208);
    // A large value makes each replacement of the file take a while.
    const std::string padding(32 * 1024, 'p');
    for (int round = 0; round < 8; ++round) {
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        const pid_t writer = RunChild([&] {
            close(pipeEnds[0]);
            RegKey key(registry.Root(), kKey, true, RegAccessAll);
            for (std::uint32_t i = 1;; ++i) {
                key["Sequence"] = i;
                key["Padding" + std::to_string(i % 4)] = padding;
                // Tell the parent which value is stored for sure.
                if (write(pipeEnds[1], &i, sizeof i) != sizeof i)
                    _exit(2);
            }
        });
        close(pipeEnds[1]);
        const std::uint32_t killAfter = 1 + random() % 5;
        std::uint32_t acknowledged = 0;
        while (acknowledged < killAfter && read(pipeEnds[0], &acknowledged, sizeof acknowledged) == sizeof acknowledged) {
        }
        // Let it get into the next write, for a varying moment.
        usleep(random() % 3000);
        kill(writer, SIGKILL);
        int status = 0;
        waitpid(writer, &status, 0);
        for (std::uint32_t more = 0; read(pipeEnds[0], &more, sizeof more) == sizeof more;)
            acknowledged = more;
        close(pipeEnds[0]);

        // The hive parses, and holds the last acknowledged sequence or the one after it.
        RegKey key(registry.Root(), kKey, false, RegAccessRead);
        const std::uint32_t stored = key["Sequence"].Dword();
        EXPECT_GE(stored, acknowledged) << "round " << round;
        EXPECT_LE(stored, acknowledged + 1) << "round " << round;
        for (const std::string& name : key.ValueNames()) {
            if (name.rfind("Padding", 0) == 0) {
                EXPECT_EQ(key[name].Text(), padding) << "a torn value in round " << round;
            }
        }
    }
}

} // namespace
