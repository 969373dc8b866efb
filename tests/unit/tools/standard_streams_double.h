// Stand-ins for the tool's standard streams in its tests (posix/ and win32/ files).
// Each replaces the process's standard handles for its life and puts the old ones
// back at its end; the GoogleTest report keeps going to the original output.
#pragma once

#include "tools/dispenserctl/console.h"

#include <memory>
#include <string>
#include <string_view>

// A terminal someone types on. While it lives, standard input and standard error are
// this terminal (Windows: standard output too, a fresh console of the process; under
// wine it needs the display of scripts/wine-session.sh).
class TerminalDouble {
public:
    TerminalDouble();
    ~TerminalDouble();
    TerminalDouble(const TerminalDouble&) = delete;
    TerminalDouble& operator=(const TerminalDouble&) = delete;

    // Keys pressed on the terminal, as UTF-8; '\n' is the Enter key.
    void Type(std::string_view text);
    // Waits up to five seconds for `text` (UTF-8) to appear on the terminal's screen.
    bool Shows(std::string_view text);

    struct State;

private:
    std::unique_ptr<State> state_;
};

// One standard stream sent into a pipe the test reads or closes.
class PipedStream {
public:
    explicit PipedStream(ConsoleStream stream);
    ~PipedStream();
    PipedStream(const PipedStream&) = delete;
    PipedStream& operator=(const PipedStream&) = delete;

    // The bytes written into the pipe so far (they are taken out of it).
    std::string Drain();
    // Closes the pipe's reading end, as a reader that goes away does.
    void CloseReader();

    struct State;

private:
    std::unique_ptr<State> state_;
};

// The console's interrupt (Ctrl+C) sent to this process. Windows: through the console
// of a live TerminalDouble.
void SendInterrupt();
