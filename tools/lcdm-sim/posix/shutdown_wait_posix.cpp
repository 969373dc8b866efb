#include "shutdown_wait.h"

#include "stop_signal.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace lcdm {

namespace {

// The handler may only write(): it raises this pipe.
const StopSignal* g_shutdown = nullptr;

extern "C" void OnShutdownSignal(int)
{
    if (g_shutdown != nullptr)
        g_shutdown->Raise();
}

} // namespace

void InstallShutdownSignals()
{
    static const StopSignal shutdown;
    g_shutdown = &shutdown;
    struct sigaction action {};
    action.sa_handler = OnShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

void WaitForShutdown(bool watchStdin)
{
    bool stdinOpen = watchStdin;
    for (;;) {
        pollfd entries[2] = {{g_shutdown->Fd(), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(entries, stdinOpen ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (entries[0].revents != 0)
            return;
        if (stdinOpen && entries[1].revents != 0) {
            char buffer[256];
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
                return; // end of standard input
        }
    }
}

} // namespace lcdm
