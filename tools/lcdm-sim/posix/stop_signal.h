// A stop request that blocking waits can watch: a pipe whose read end becomes readable,
// for good, once Raise() is called. Every wait of the simulator polls it next to its own
// descriptor, so a stop interrupts reads, writes and note times alike.
#pragma once

#include "unique_fd.h"

namespace lcdm {

class StopSignal {
public:
    StopSignal(); // raises std::system_error when the pipe cannot be made
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    // Any thread, any number of times; async-signal-safe (one write()).
    void Raise() const noexcept;
    bool IsRaised() const;

    // The descriptor to poll for POLLIN.
    int Fd() const noexcept { return read_.Get(); }

private:
    UniqueFd read_;
    UniqueFd write_;
};

} // namespace lcdm
