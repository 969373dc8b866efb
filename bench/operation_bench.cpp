// The plug-in's own share of an operation: a status query, a one-note and a 60-note payout
// against the simulator pacing every byte at 9600 Bd, each with its settings, port opening
// and configuration, trace log and journal as in service. Prints per operation the total,
// the time the line itself needs (every byte the exchanges wait for, 10 bits at 9600 Bd,
// as the plug-in counted them; the acknowledgement that ends an exchange is not waited
// for), the difference (the plug-in's own time), and the settings values read and log
// lines written; the figures are those of the round with the median own time. The
// simulator runs in-process on a pseudo-terminal, or is the
// one of the session on the port LCDM_SIM_PORT (under wine: scripts/with-simulator.sh with
// LCDM_SIM_PACE_BAUD=9600).
//   operation_bench [--rounds N]
#include "MTSys/mtsys.h"
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/dispenser_port.h"
#include "Plugin/Dispenser/scenario.h"
#include "Plugin/Dispenser/serial_port.h"
#include "Plugin/Dispenser/settings.h"
#include "framework/registry.h"
#include "framework/usage_counters.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"
#include "tools/lcdm-sim/lcdm_simulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kByteMs = 10 * 1000.0 / 9600;

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

struct Figures {
    double totalMs = 0;
    double lineMs = 0;
    double settingsReads = 0;
    double logLines = 0;
};

// The round of the median own time stands for the operation: one late wake-up of the
// machine's scheduler does not move it. Counts are averages over every round.
Figures Measure(int rounds, const std::function<bool()>& operation, int& failures)
{
    std::vector<Figures> each;
    double settingsReads = 0;
    double logLines = 0;
    for (int i = 0; i < rounds; ++i) {
        // The line is quiet before each operation: the acknowledgement that ended the one
        // before has left it (an operation the kiosk starts does not queue behind another).
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const UsageCounts before = CurrentUsage();
        const Clock::time_point start = Clock::now();
        failures += operation() ? 0 : 1;
        Figures round;
        round.totalMs = Milliseconds(Clock::now() - start);
        const UsageCounts after = CurrentUsage();
        round.lineMs = static_cast<double>(after.lineBytes - before.lineBytes) * kByteMs;
        each.push_back(round);
        settingsReads += static_cast<double>(after.settingsReads - before.settingsReads);
        logLines += static_cast<double>(after.logLines - before.logLines);
    }
    const auto middle = each.begin() + static_cast<std::ptrdiff_t>(each.size() / 2);
    std::nth_element(each.begin(), middle, each.end(), [](const Figures& a, const Figures& b) {
        return a.totalMs - a.lineMs < b.totalMs - b.lineMs;
    });
    Figures figures = *middle;
    figures.settingsReads = settingsReads / rounds;
    figures.logLines = logLines / rounds;
    return figures;
}

void Print(const char* name, const Figures& f, const char* goal)
{
    std::printf("Operation: %-22s %7.2f ms, line %6.2f ms, own %6.2f ms%s; %5.1f settings reads, %5.1f log lines\n",
                name, f.totalMs, f.lineMs, f.totalMs - f.lineMs, goal, f.settingsReads, f.logLines);
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = 30;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::stoi(argv[i + 1]));
    }

    TestRegistry registry;
    TempFolder folder;
    // The session's simulator (it must pace at 9600 Bd), or one of our own.
    const char* sessionPort = std::getenv("LCDM_SIM_PORT");
    std::optional<lcdm::Simulator> simulator;
    if (sessionPort == nullptr) {
        lcdm::SimulatorOptions options;
        options.paceBaud = 9600;
        simulator.emplace(options);
    }
    {
        RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
        key["Device"] = "LCDM-2000";
        key["Off"] = 0;
        key["Port"] = sessionPort != nullptr ? std::string(sessionPort) : simulator->DevicePath();
        key["LogDir"] = folder.File("journal");
        key["DebugLog"] = folder.File("trace.txt");
        for (const char* path : {"Cassette\\1", "Cassette\\2"}) {
            RegKey cassette(key, path, true, RegAccessAll);
            cassette["Denomination"] = 1000;
            cassette["Count"] = 100;
            cassette["Flags"] = 0x3;
        }
    }
    DispenserScenario::SetHeadless(true);
    DispenserLogHandler::Instance();

    int failures = 0;
    std::vector<std::string> errors;
    DispenserStatusInfo status;
    const Figures query = Measure(
        rounds, [&] { return DispenserScenario::QueryStatus(nullptr, &errors, &status); }, failures);
    DispenserScenario::PayoutResult paid;
    // The simulator's cassettes hold 100 notes each: at most 40 one-note payouts and one
    // 60-note payout a run, all from the upper cassette.
    const Figures one = Measure(
        std::min(rounds, 40), [&] { return DispenserScenario::Dispense(nullptr, &errors, 1, 0, paid); }, failures);
    const Figures sixty = Measure(
        1, [&] { return DispenserScenario::Dispense(nullptr, &errors, 60, 0, paid); },
        failures);

    Print("status query", query, " (goal: at most 1 ms natively, 3 ms under wine)");

    // Parts of the own time: the port opened, configured and closed, as every exchange
    // does; one settings value read.
    const std::string portName = sessionPort != nullptr ? std::string(sessionPort) : simulator->DevicePath();
    const Clock::time_point portStart = Clock::now();
    int opened = 0;
    for (int i = 0; i < rounds; ++i) {
        const std::unique_ptr<SerialPort> port = SerialPort::Open(portName);
        if (port) {
            port->Configure(SerialLineFormat{}, SerialTimeouts{});
            ++opened;
        }
    }
    const double portMs = Milliseconds(Clock::now() - portStart) / rounds;
    if (opened != rounds)
        ++failures;
    const RegKey settingsKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, false, RegAccessRead);
    const Clock::time_point readStart = Clock::now();
    std::size_t characters = 0;
    for (int i = 0; i < 100 * rounds; ++i)
        characters += settingsKey.ReadString("Port").size();
    const double readUs = 1000 * Milliseconds(Clock::now() - readStart) / (100.0 * rounds);
    if (characters != portName.size() * 100 * static_cast<std::size_t>(rounds))
        ++failures;
    // An abort check, as the exchange makes before and while it waits.
    const MTSys::Event abort;
    const Clock::time_point checkStart = Clock::now();
    int signalled = 0;
    for (int i = 0; i < 100 * rounds; ++i)
        signalled += abort.IsSignalled() ? 1 : 0;
    const double checkUs = 1000 * Milliseconds(Clock::now() - checkStart) / (100.0 * rounds);
    if (signalled != 0)
        ++failures;
    // The status exchange alone, with the same trace log but none of the operation's threads.
    DispenserControl::Settings settings(false);
    DispenserPort port(&DispenserLogHandler::Instance()->TraceLog(), &errors, &settings);
    std::vector<std::uint8_t> response(4);
    const Figures exchange = Measure(
        rounds, [&] { return port.Exchange(abort, {0x46}, response); }, failures);
    // A thread started and waited for, as each operation and each device request has its own.
    const Clock::time_point threadStart = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        MTSys::Thread thread;
        thread.Start([](void*) -> unsigned { return 0; }, nullptr);
        thread.Wait(MTSys::kInfinite);
    }
    const double threadMs = Milliseconds(Clock::now() - threadStart) / rounds;
    std::printf("Operation: of which the port opened, configured and closed: %.3f ms; a settings read: %.1f us; "
                "an abort check: %.1f us; a thread started and ended: %.3f ms\n",
                portMs, readUs, checkUs, threadMs);
    Print("status exchange alone", exchange, "");
    Print("one-note payout", one, "");
    Print("60-note payout", sixty, "");
    DispenserLogHandler::Release();
    if (failures != 0)
        std::printf("Operation: %d operation(s) failed: %s\n", failures, errors.empty() ? "" : errors.back().c_str());
    return failures == 0 ? 0 : 1;
}
