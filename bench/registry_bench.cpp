// Registry throughput: value reads, value writes and counter updates per second,
// on the Windows registry or the POSIX hive file (each write reaches the disk).
//   registry_bench [--reads N] [--writes N]
#include "framework/registry.h"
#include "tests/support/test_registry.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The goal for one settings value read, natively: an exchange reads a few dozen.
constexpr double kReadGoalMicroseconds = 20;

// Returns the microseconds each one took.
template <class Body>
double Measure(const char* what, int count, Body body, const char* goal = "")
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i)
        body(i);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Registry: %-24s %6d in %.3f s: %.0f per second, %.2f us each%s\n", what, count, seconds,
                count / seconds, 1e6 * seconds / count, goal);
    return 1e6 * seconds / count;
}

} // namespace

int main(int argc, char** argv)
{
    int reads = 5000;
    int writes = 300;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--reads") == 0)
            reads = std::stoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--writes") == 0)
            writes = std::stoi(argv[i + 1]);
    }

    TestRegistry registry;
    RegKey key(registry.Root(), registry.Key("Dispenser"), true, RegAccessAll);
    // A settings key of a realistic size: the main values and two cassettes.
    for (const char* name : {"Disabled", "Debug", "Off", "BaudRate", "FlowControl", "Flags", "Max", "Max Change"})
        key[name] = 1;
    key["Device"] = "LCDM-2000";
    key["Port"] = "COM1";
    for (const char* cassette : {"Cassette\\1", "Cassette\\2", "Reject"}) {
        RegKey sub(key, cassette, true, RegAccessAll);
        for (const char* name : {"Denomination", "Count", "Flags", "Max Dispense", "Min Amount"})
            sub[name] = 100;
    }

    long long sum = 0;
    char goal[64];
    std::snprintf(goal, sizeof goal, " (goal natively: at most %.0f us)", kReadGoalMicroseconds);
    Measure("DWORD reads", reads, [&](int) { sum += static_cast<int>(key["BaudRate"]); }, goal);
    Measure("string reads", reads, [&](int) { sum += static_cast<long long>(key["Device"].Text().size()); }, goal);
    Measure("DWORD writes", writes, [&](int i) { key["Count"] = i; });
    Measure("counter updates", writes, [&](int) {
        key.UpdateDword("Total", [](std::optional<std::uint32_t> v) { return v.value_or(0) + 1; });
    });
    return sum == 0 ? 1 : 0;
}
