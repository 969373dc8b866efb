#include "pty_line.h"

#include "fd_wait.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace lcdm {

PtyLine::PtyLine(int masterFd, const StopSignal& stop, int paceBaud)
    : PacedLine(paceBaud), master_(masterFd), stop_(stop)
{
}

std::size_t PtyLine::Read(std::uint8_t* buffer, std::size_t size, Deadline deadline)
{
    for (;;) {
        switch (WaitForFd(master_, POLLIN, stop_, deadline)) {
        case WaitResult::Stopped:
            throw LinkStopped();
        case WaitResult::TimedOut:
            return 0;
        case WaitResult::Ready:
            break;
        }
        const ssize_t got = ::read(master_, buffer, size);
        if (got > 0) {
            Pacer().Received(static_cast<std::size_t>(got), Clock::now());
            return static_cast<std::size_t>(got);
        }
        if (got < 0 && errno != EAGAIN && errno != EINTR)
            ThrowSystemError("read (pseudo-terminal master)");
    }
}

void PtyLine::SleepUntil(Clock::time_point when)
{
    // The kernel's timer wakes a sleeper up to a tenth of a millisecond late.
    constexpr auto kEarly = std::chrono::microseconds(200);
    if (WaitForFd(-1, 0, stop_, when - kEarly) == WaitResult::Stopped)
        throw LinkStopped();
}

void PtyLine::WriteAll(const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(master_, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno != EAGAIN)
            ThrowSystemError("write (pseudo-terminal master)");
        // The host is not reading and the terminal's buffer is full: wait for room.
        if (WaitForFd(master_, POLLOUT, stop_, std::nullopt) == WaitResult::Stopped)
            throw LinkStopped();
    }
}

} // namespace lcdm
