// What the write-ahead of a payout pass costs: the marker written and flushed, one
// PENDING record put on stable storage, and the marker removed after the booking, per
// pass, against the wire time of the shortest pass (one note at 9600 Bd).
//   write_ahead_bench [--passes N]
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/pending_pass.h"
#include "Plugin/Dispenser/settings.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

} // namespace

int main(int argc, char** argv)
{
    int passes = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--passes") == 0)
            passes = std::stoi(argv[i + 1]);
    }

    TestRegistry registry;
    TempFolder folder;
    {
        RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
        key["Device"] = "LCDM-2000";
        key["LogDir"] = folder.File("journal");
    }
    DispenserControl::Settings store(true);
    std::shared_ptr<DispenserLogHandler> logs = DispenserLogHandler::Instance();

    Clock::duration marker{};
    Clock::duration record{};
    Clock::duration removal{};
    int failures = 0;
    for (int i = 0; i < passes; ++i) {
        DispenserControl::PendingPass pass;
        pass.operation = "Dispense";
        pass.asked[0] = 1;
        const auto start = Clock::now();
        failures += DispenserControl::WritePendingPass(store, pass) ? 0 : 1;
        const auto marked = Clock::now();
        std::string error;
        failures += logs->WriteRecordDurably(EventPending, "PENDING", 1, "кассета #1: отправляется команда на выдачу 1 шт.",
                                             error)
                        ? 0
                        : 1;
        const auto recorded = Clock::now();
        DispenserControl::RemovePendingPass(store);
        const auto removed = Clock::now();
        marker += marked - start;
        record += recorded - marked;
        removal += removed - recorded;
    }

    // The journal closes now, while the clock it stamps its CLOSE record with still exists.
    logs.reset();
    DispenserLogHandler::Release();

    const double markerMs = Milliseconds(marker) / passes;
    const double recordMs = Milliseconds(record) / passes;
    const double removalMs = Milliseconds(removal) / passes;
    const double totalMs = markerMs + recordMs + removalMs;
    // Command frame (8 bytes), ACK, answer frame (14 bytes), ACK; 10 bits a byte.
    constexpr double kOneNoteWireMs = 24 * 10 * 1000.0 / 9600;
    std::printf("Write-ahead: %d passes: marker %.2f ms, PENDING record %.2f ms, marker removed %.2f ms; "
                "%.2f ms a pass, %.0f%% of a one-note pass's %.1f ms on the wire at 9600 Bd%s\n",
                passes, markerMs, recordMs, removalMs, totalMs, 100 * totalMs / kOneNoteWireMs, kOneNoteWireMs,
                failures == 0 ? "" : " (SOME WRITES FAILED)");
    return failures == 0 ? 0 : 1;
}
