// The clock and the deadline type of every blocking wait of the simulator.
#pragma once

#include <chrono>
#include <optional>

namespace lcdm {

using Clock = std::chrono::steady_clock;
using Deadline = std::optional<Clock::time_point>; // nullopt: no limit

} // namespace lcdm
