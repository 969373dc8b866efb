// How often an operation uses the services that cost the most in it (values read from the
// settings store, log lines written) and how many bytes it moved on the device's line. Always counted (one relaxed atomic increment), read
// by the benchmarks to show what an exchange or a payout costs besides the line.
#pragma once

#include <cstdint>

struct UsageCounts {
    std::uint64_t settingsReads = 0; // values read from the settings store
    std::uint64_t logLines = 0;      // lines written to the trace log or the journal
    std::uint64_t lineBytes = 0;     // bytes on the device's line that an exchange waits for
};

UsageCounts CurrentUsage();

void CountSettingsRead() noexcept;
void CountLogLine() noexcept;
void CountLineBytes(std::uint64_t bytes) noexcept;
