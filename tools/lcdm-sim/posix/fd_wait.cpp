#include "fd_wait.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace lcdm {

int PollTimeout(Deadline deadline)
{
    if (!deadline)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

WaitResult WaitForFd(int fd, short events, const StopSignal& stop, Deadline deadline)
{
    for (;;) {
        pollfd entries[2] = {{stop.Fd(), POLLIN, 0}, {fd, events, 0}};
        const int ready = ::poll(entries, fd >= 0 ? 2 : 1, PollTimeout(deadline));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            ThrowSystemError("poll");
        }
        if (entries[0].revents != 0)
            return WaitResult::Stopped;
        if (fd >= 0 && entries[1].revents != 0)
            return WaitResult::Ready;
        // poll() rounds its time-out to the clock's tick; only a passed deadline counts.
        if (deadline && Clock::now() >= *deadline)
            return WaitResult::TimedOut;
    }
}

} // namespace lcdm
