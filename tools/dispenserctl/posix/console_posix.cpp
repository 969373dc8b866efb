#include "tools/dispenserctl/console_platform.h"
#include "tools/dispenserctl/typed_lines.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

int DescriptorOf(ConsoleStream stream)
{
    return stream == ConsoleStream::Output ? STDOUT_FILENO : STDERR_FILENO;
}

std::mutex g_inputMutex;
TypedLines g_typed;

} // namespace

void PrepareConsole()
{
}

bool StreamShowsColour(ConsoleStream stream)
{
    const char* term = std::getenv("TERM");
    return ::isatty(DescriptorOf(stream)) == 1 && term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

bool InputIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

bool WriteStream(ConsoleStream stream, std::string_view text)
{
    const int fd = DescriptorOf(stream);
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::optional<std::string> ReadTerminalLine(const std::function<bool()>& stopRequested)
{
    std::lock_guard lock(g_inputMutex);
    for (;;) {
        if (auto line = g_typed.TakeLine())
            return line;
        if (stopRequested())
            return std::nullopt;
        pollfd entry{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&entry, 1, 100);
        if (ready < 0 && errno != EINTR)
            return std::nullopt;
        if (ready <= 0)
            continue;
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0) {
            // The end of input completes a last line that has no line end.
            if (!g_typed.EndInput())
                return std::nullopt;
            continue;
        }
        g_typed.Append(std::string_view(buffer, static_cast<std::size_t>(got)));
    }
}

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}
