// The serial link against the simulator pacing every byte at 9600 Bd:
// - a status exchange (18 bytes on the wire: 6 out, 1 ACK back, 10 in, 1 ACK out,
//   18.75 ms at 9600 Bd with 10 bits a byte) against its wire time;
// - a one-note dispense exchange (24 bytes on the wire, 25 ms) against its wire time;
// - the CPU the link uses while it waits on a silent device, against the wall time.
//   link_bench [--exchanges N] [--silent-ms MS]
#include "MTSys/mtsys.h"
#include "Plugin/Dispenser/dispenser_port.h"
#include "Plugin/Dispenser/settings.h"
#include "tests/support/simulated_dispenser.h"
#include "tests/support/test_registry.h"
#include "tools/lcdm-sim/lcdm_simulator.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

double Milliseconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

} // namespace

int main(int argc, char** argv)
{
    int exchanges = 20;
    int silentMs = 10000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--exchanges") == 0)
            exchanges = std::stoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--silent-ms") == 0)
            silentMs = std::stoi(argv[i + 1]);
    }

    TestRegistry registry;
    lcdm::SimulatorOptions options;
    options.paceBaud = 9600;
    lcdm::Simulator simulator(options);
    {
        RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
        key["Device"] = "LCDM-2000";
        key["Off"] = 0;
        key["Port"] = simulator.DevicePath();
    }

    DispenserControl::Settings settings(false);
    std::vector<std::string> errors;
    DispenserPort port(nullptr, &errors, &settings);
    MTSys::Event stop;
    std::vector<std::uint8_t> response(4);

    const auto start = std::chrono::steady_clock::now();
    int good = 0;
    for (int i = 0; i < exchanges; ++i)
        good += port.Exchange(stop, {0x46}, response) ? 1 : 0;
    const double each = Milliseconds(std::chrono::steady_clock::now() - start) / exchanges;
    constexpr double kWireMs = 18 * 10 * 1000.0 / 9600;
    std::printf("Link: status exchange at 9600 Bd: %.2f ms, wire time %.2f ms, ratio %.2f (%d of %d answered)\n",
                each, kWireMs, each / kWireMs, good, exchanges);

    // The shortest payout pass: one note, the figure the write-ahead's cost is set against.
    {
        std::vector<std::uint8_t> answer(8);
        const auto passStart = std::chrono::steady_clock::now();
        int paid = 0;
        for (int i = 0; i < exchanges; ++i)
            paid += port.Exchange(stop, {0x45, '0', '1'}, answer, true) ? 1 : 0;
        const double pass = Milliseconds(std::chrono::steady_clock::now() - passStart) / exchanges;
        constexpr double kPassWireMs = 24 * 10 * 1000.0 / 9600;
        std::printf("Link: one-note dispense exchange at 9600 Bd: %.2f ms, wire time %.2f ms (%d of %d answered)\n",
                    pass, kPassWireMs, paid, exchanges);
    }

    // A silent device after the acknowledgement: the link polls for the header until
    // the response time-out, once.
    {
        RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
        key["DeviceResponseTimeout"] = static_cast<std::uint32_t>(silentMs);
        key["MaxRetryRsp"] = 1;
    }
    simulator.Fault("mute:1");
    const std::clock_t cpuStart = std::clock();
    const auto wallStart = std::chrono::steady_clock::now();
    port.Exchange(stop, {0x46}, response);
    const double wall = Milliseconds(std::chrono::steady_clock::now() - wallStart);
    const double cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("Link: waiting %.0f ms on a silent device used %.1f ms of CPU: %.4f of the wall time "
                "(the simulator's own threads included)\n",
                wall, cpu, cpu / wall);
    return good == exchanges ? 0 : 1;
}
