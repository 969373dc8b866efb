// The one deadline helper behind every blocking wait of the simulator.
#pragma once

#include "deadline.h"
#include "stop_signal.h"

namespace lcdm {

enum class WaitResult { Ready, TimedOut, Stopped };

// Waits until `fd` reports one of `events` (or an error or hang-up), the stop signal is
// raised, or the deadline passes. A negative fd waits for the stop or the deadline only.
// Retries after interrupting signals and never returns TimedOut before the deadline.
// A raised stop wins over a ready descriptor.
WaitResult WaitForFd(int fd, short events, const StopSignal& stop, Deadline deadline);

} // namespace lcdm
