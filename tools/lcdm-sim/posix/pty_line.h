// The device's end of a pseudo-terminal (or of a terminal) as a LinkIo. With a baud rate
// each byte written takes the time of 10 bits on the line and reaches the host when that
// time is over.
// Used by the link thread only. Every wait also ends when the stop signal is raised
// (LinkStopped).
#pragma once

#include "byte_pacer.h"
#include "link_io.h"
#include "stop_signal.h"

namespace lcdm {

class PtyLine : public LinkIo {
public:
    // `masterFd` (non-blocking) and `stop` are borrowed and must outlive the line.
    // paceBaud 0: bytes go out as fast as the pseudo-terminal takes them.
    PtyLine(int masterFd, const StopSignal& stop, int paceBaud);

    std::size_t Read(std::uint8_t* buffer, std::size_t size, Deadline deadline) override;
    void Write(const Bytes& bytes) override;
    void Pause(std::chrono::milliseconds time) override;

private:
    void WriteAll(const std::uint8_t* data, std::size_t size);
    void WaitUntil(Clock::time_point when);

    int master_;
    const StopSignal& stop_;
    BytePacer pacer_;
};

} // namespace lcdm
