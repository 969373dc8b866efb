#include "fd_wait.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

namespace lcdm {

WaitResult WaitForFd(int fd, short events, const StopSignal& stop, Deadline deadline)
{
    for (;;) {
        pollfd entries[2] = {{stop.Fd(), POLLIN, 0}, {fd, events, 0}};
        // ppoll: the time-out to the nanosecond, so that a byte time of 1.04 ms is waited
        // as such and not rounded up to 2 ms.
        timespec left{};
        if (deadline) {
            const auto nanoseconds = std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::nanoseconds>(*deadline - Clock::now()).count());
            left.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
            left.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
        }
        const int ready = ::ppoll(entries, fd >= 0 ? 2 : 1, deadline ? &left : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            ThrowSystemError("poll");
        }
        if (entries[0].revents != 0)
            return WaitResult::Stopped;
        if (fd >= 0 && entries[1].revents != 0)
            return WaitResult::Ready;
        // A wait may end a little early; only a passed deadline counts.
        if (deadline && Clock::now() >= *deadline)
            return WaitResult::TimedOut;
    }
}

} // namespace lcdm
