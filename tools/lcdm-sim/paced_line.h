// The part of the device's end of the line that every platform shares: bytes written go
// out at the pace of the line (or as fast as the line takes them), and a wait for a
// byte's time ends at that time, not at the next tick of the system's timer. A platform
// line adds its reads, its raw writes and a sleep on its stop signal.
#pragma once

#include "byte_pacer.h"
#include "link_io.h"

namespace lcdm {

class PacedLine : public LinkIo {
public:
    // paceBaud 0: bytes go out as fast as the line takes them.
    explicit PacedLine(int paceBaud) : pacer_(paceBaud) {}

    void Write(const Bytes& bytes) final;
    void Pause(std::chrono::milliseconds time) final;

protected:
    // For the platform's Read: the host's bytes as they come.
    BytePacer& Pacer() { return pacer_; }

private:
    // Writes every byte as the line takes it; LinkStopped once the stop signal is raised.
    virtual void WriteAll(const std::uint8_t* data, std::size_t size) = 0;
    // Sleeps on the stop signal until `when` or a little before it, never after it;
    // LinkStopped once the signal is raised.
    virtual void SleepUntil(Clock::time_point when) = 0;

    void WaitUntil(Clock::time_point when);

    BytePacer pacer_;
};

} // namespace lcdm
