// The device's end of a pseudo-terminal (or of a terminal) as a LinkIo, paced as every
// platform's line is.
// Used by the link thread only. Every wait also ends when the stop signal is raised
// (LinkStopped).
#pragma once

#include "paced_line.h"
#include "stop_signal.h"

namespace lcdm {

class PtyLine final : public PacedLine {
public:
    // `masterFd` (non-blocking) and `stop` are borrowed and must outlive the line.
    // paceBaud 0: bytes go out as fast as the pseudo-terminal takes them.
    PtyLine(int masterFd, const StopSignal& stop, int paceBaud);

    std::size_t Read(std::uint8_t* buffer, std::size_t size, Deadline deadline) override;

private:
    void WriteAll(const std::uint8_t* data, std::size_t size) override;
    void SleepUntil(Clock::time_point when) override;

    int master_;
    const StopSignal& stop_;
};

} // namespace lcdm
