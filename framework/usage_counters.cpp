#include "framework/usage_counters.h"

#include <atomic>

namespace {

std::atomic<std::uint64_t> g_settingsReads{0};
std::atomic<std::uint64_t> g_logLines{0};
std::atomic<std::uint64_t> g_lineBytes{0};

} // namespace

UsageCounts CurrentUsage()
{
    return UsageCounts{g_settingsReads.load(std::memory_order_relaxed), g_logLines.load(std::memory_order_relaxed),
                       g_lineBytes.load(std::memory_order_relaxed)};
}

void CountSettingsRead() noexcept
{
    g_settingsReads.fetch_add(1, std::memory_order_relaxed);
}

void CountLogLine() noexcept
{
    g_logLines.fetch_add(1, std::memory_order_relaxed);
}

void CountLineBytes(std::uint64_t bytes) noexcept
{
    g_lineBytes.fetch_add(bytes, std::memory_order_relaxed);
}
