// A program run as a child process by a test: standard output and standard error
// captured through pipes, standard input a pipe or a pseudo-terminal (for a program
// that asks only where someone can type), and a time-out on every wait.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class ChildProcess {
public:
    enum class Input { Pipe, Terminal };

    struct Result {
        int status = -1; // the exit status; -1 when killed by a signal or timed out
        bool timedOut = false;
        std::string out;
        std::string err;
    };

    // Starts `arguments[0]` with the test's environment less DISPENSER_REGISTRY.
    // Raises std::system_error when it cannot be started.
    explicit ChildProcess(const std::vector<std::string>& arguments, Input input = Input::Pipe);
    // Kills a child still running and reaps it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void Write(const std::string& text);
    void CloseInput();
    void Signal(int signal);

    // Collects output until `ready(out, err)` holds (true), or the output ends or the
    // time-out passes (false).
    using Ready = std::function<bool(const std::string& out, const std::string& err)>;
    bool WaitFor(const Ready& ready, std::chrono::milliseconds timeout);
    // Closes the input, collects the rest of the output and waits for the end; a child
    // that is not done within the time-out is killed.
    Result Finish(std::chrono::milliseconds timeout);

    const std::string& Out() const { return out_; }
    const std::string& Err() const { return err_; }

private:
    // Reads whatever is there within `wait`; false once both streams have ended.
    bool Collect(std::chrono::milliseconds wait);

    pid_t pid_ = -1;
    int input_ = -1;
    int terminalSlave_ = -1; // kept open until the child ends, so its reads see no hang-up
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
};

// Runs a program to its end with `input` on its standard input.
ChildProcess::Result RunProgram(const std::vector<std::string>& arguments, const std::string& input = {},
                                std::chrono::milliseconds timeout = std::chrono::seconds(30));
