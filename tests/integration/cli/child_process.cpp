#include "tests/integration/cli/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

extern char** environ;

namespace {

[[noreturn]] void Fail(const char* call)
{
    throw std::system_error(errno, std::generic_category(), call);
}

void Close(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

std::vector<std::string> ChildEnvironment()
{
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "DISPENSER_REGISTRY=", 19) != 0)
            environment.emplace_back(*entry);
    }
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, Input input)
{
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        Fail("pipe2");
    if (::pipe2(err, O_CLOEXEC) != 0)
        Fail("pipe2");
    outFd_ = out[0];
    errFd_ = err[0];
    int childInput = -1;
    if (input == Input::Terminal) {
        input_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (input_ < 0 || ::grantpt(input_) != 0 || ::unlockpt(input_) != 0)
            Fail("posix_openpt");
        char name[128];
        if (::ptsname_r(input_, name, sizeof name) != 0)
            Fail("ptsname_r");
        terminalSlave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (terminalSlave_ < 0)
            Fail("open");
        childInput = terminalSlave_;
    } else {
        int in[2];
        if (::pipe2(in, O_CLOEXEC) != 0)
            Fail("pipe2");
        input_ = in[1];
        childInput = in[0];
    }

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, childInput, STDIN_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environment = ChildEnvironment();
    const int spawned = ::posix_spawn(&pid_, argumentTexts[0].c_str(), &actions, nullptr,
                                      Pointers(argumentTexts).data(), Pointers(environment).data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (input == Input::Pipe)
        ::close(childInput);
    if (spawned != 0) {
        errno = spawned;
        pid_ = -1;
        Fail("posix_spawn");
    }
}

ChildProcess::~ChildProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    Close(input_);
    Close(terminalSlave_);
    Close(outFd_);
    Close(errFd_);
}

void ChildProcess::Write(const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(input_, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            Fail("write");
        done += static_cast<std::size_t>(written);
    }
}

void ChildProcess::CloseInput()
{
    Close(input_);
}

void ChildProcess::Signal(int signal)
{
    if (pid_ > 0)
        ::kill(pid_, signal);
}

bool ChildProcess::Collect(std::chrono::milliseconds wait)
{
    pollfd entries[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (outFd_ < 0 && errFd_ < 0)
        return false;
    const int ready = ::poll(entries, 2, static_cast<int>(wait.count()));
    if (ready <= 0)
        return true;
    std::string* targets[2] = {&out_, &err_};
    int* fds[2] = {&outFd_, &errFd_};
    for (int i = 0; i < 2; ++i) {
        if (entries[i].revents == 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::read(*fds[i], buffer, sizeof buffer);
        if (got > 0)
            targets[i]->append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            Close(*fds[i]);
    }
    return outFd_ >= 0 || errFd_ >= 0;
}

bool ChildProcess::WaitFor(const Ready& ready, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ready(out_, err_)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Collect(std::min(left, std::chrono::milliseconds(100))))
            return ready(out_, err_);
    }
    return true;
}

ChildProcess::Result ChildProcess::Finish(std::chrono::milliseconds timeout)
{
    // A terminal's master stays open: closing it would hang up the child's input.
    if (terminalSlave_ < 0)
        CloseInput();
    Result result;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid_, SIGKILL);
            while (Collect(std::chrono::milliseconds(100))) {
            }
            break;
        }
        if (!Collect(std::min(left, std::chrono::milliseconds(100))))
            break;
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    result.status = !result.timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = out_;
    result.err = err_;
    return result;
}

ChildProcess::Result RunProgram(const std::vector<std::string>& arguments, const std::string& input,
                                std::chrono::milliseconds timeout)
{
    ChildProcess child(arguments);
    if (!input.empty())
        child.Write(input);
    return child.Finish(timeout);
}
