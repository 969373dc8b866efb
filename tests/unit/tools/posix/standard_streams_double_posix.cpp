#include "tests/unit/tools/standard_streams_double.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>

namespace {

int DescriptorOf(ConsoleStream stream)
{
    return stream == ConsoleStream::Output ? STDOUT_FILENO : STDERR_FILENO;
}

void Check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("test stream setup failed: ") + what);
}

// Puts `replacement` in the place of standard descriptor `target` and the old one back
// at the end.
class SwappedDescriptor {
public:
    SwappedDescriptor(int target, int replacement) : target_(target), saved_(::dup(target))
    {
        Check(saved_ >= 0 && ::dup2(replacement, target) >= 0, "dup2");
    }
    ~SwappedDescriptor()
    {
        ::dup2(saved_, target_);
        ::close(saved_);
    }
    SwappedDescriptor(const SwappedDescriptor&) = delete;
    SwappedDescriptor& operator=(const SwappedDescriptor&) = delete;

private:
    int target_;
    int saved_;
};

} // namespace

struct TerminalDouble::State {
    int master = -1;
    int slave = -1;
    std::unique_ptr<SwappedDescriptor> input;
    std::unique_ptr<SwappedDescriptor> error;
    std::string shown;
};

TerminalDouble::TerminalDouble() : state_(std::make_unique<State>())
{
    state_->master = ::posix_openpt(O_RDWR | O_NOCTTY);
    Check(state_->master >= 0 && ::grantpt(state_->master) == 0 && ::unlockpt(state_->master) == 0, "posix_openpt");
    state_->slave = ::open(::ptsname(state_->master), O_RDWR | O_NOCTTY);
    Check(state_->slave >= 0, "open the terminal");
    state_->input = std::make_unique<SwappedDescriptor>(STDIN_FILENO, state_->slave);
    state_->error = std::make_unique<SwappedDescriptor>(STDERR_FILENO, state_->slave);
}

TerminalDouble::~TerminalDouble()
{
    state_->error.reset();
    state_->input.reset();
    ::close(state_->slave);
    ::close(state_->master);
}

void TerminalDouble::Type(std::string_view text)
{
    Check(::write(state_->master, text.data(), text.size()) == static_cast<ssize_t>(text.size()), "type");
}

bool TerminalDouble::Shows(std::string_view text)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (state_->shown.find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry{state_->master, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[256];
        const ssize_t got = ::read(state_->master, buffer, sizeof buffer);
        if (got > 0)
            state_->shown.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

struct PipedStream::State {
    int reader = -1;
    std::unique_ptr<SwappedDescriptor> swapped;
    struct sigaction oldPipeAction {};
};

PipedStream::PipedStream(ConsoleStream stream) : state_(std::make_unique<State>())
{
    int ends[2];
    Check(::pipe(ends) == 0, "pipe");
    state_->reader = ends[0];
    ::fcntl(state_->reader, F_SETFL, O_NONBLOCK);
    state_->swapped = std::make_unique<SwappedDescriptor>(DescriptorOf(stream), ends[1]);
    ::close(ends[1]);
    // The tool ignores SIGPIPE (its interrupt watch does): a closed reader fails a write.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &state_->oldPipeAction);
}

PipedStream::~PipedStream()
{
    state_->swapped.reset();
    ::sigaction(SIGPIPE, &state_->oldPipeAction, nullptr);
    CloseReader();
}

std::string PipedStream::Drain()
{
    std::string bytes;
    char buffer[4096];
    ssize_t got = 0;
    while (state_->reader >= 0 && (got = ::read(state_->reader, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(got));
    return bytes;
}

void PipedStream::CloseReader()
{
    if (state_->reader >= 0)
        ::close(state_->reader);
    state_->reader = -1;
}

void SendInterrupt()
{
    Check(::kill(::getpid(), SIGINT) == 0, "kill");
}
