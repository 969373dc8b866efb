#include "paced_line.h"

#include <thread>

namespace lcdm {

void PacedLine::Write(const Bytes& bytes)
{
    if (!pacer_.Paces()) {
        WriteAll(bytes.data(), bytes.size());
        return;
    }
    pacer_.StartBurst(Clock::now());
    for (const std::uint8_t byte : bytes) {
        // A byte occupies the line for its 10 bits and is whole at the far end only then.
        WaitUntil(pacer_.NextByteDone());
        WriteAll(&byte, 1);
    }
}

void PacedLine::Pause(std::chrono::milliseconds time)
{
    if (time > std::chrono::milliseconds::zero())
        WaitUntil(Clock::now() + time);
}

void PacedLine::WaitUntil(Clock::time_point when)
{
    // A sleeper wakes late (by up to a tenth of a millisecond on Linux, a millisecond on
    // Windows): the platform sleeps short of the time, and the last stretch is yielded
    // away, so that a byte leaves at its time (at the price of some of a core while paced
    // bytes go out).
    SleepUntil(when);
    while (Clock::now() < when)
        std::this_thread::yield();
}

} // namespace lcdm
