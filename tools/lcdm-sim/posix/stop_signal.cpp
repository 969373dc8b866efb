#include "stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace lcdm {

StopSignal::StopSignal()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        ThrowSystemError("pipe2");
    read_.Reset(fds[0]);
    write_.Reset(fds[1]);
}

void StopSignal::Raise() const noexcept
{
    // The pipe is never drained: one byte keeps it readable. A full pipe is readable already.
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(write_.Get(), &byte, 1);
}

bool StopSignal::IsRaised() const
{
    pollfd entry{read_.Get(), POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0;
}

} // namespace lcdm
