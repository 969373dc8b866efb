// The tool's terminal: whole lines to standard output and standard error from any
// thread without interleaving, coloured by tone when the stream is a terminal that
// shows colours. Every line is written and flushed at once, so progress, questions
// and results appear in the order they were made.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

enum class ConsoleStream { Output, Error };

// How a line is shown on a colour terminal.
enum class Tone { Plain, Good, Warning, Bad, Dim, Strong };

class Console {
public:
    // Colours where the stream is a colour terminal and NO_COLOR is not set.
    Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void DisableColour();
    // Whether standard output has gone (its reader closed the pipe): a command that
    // would print for ever stops then.
    bool OutputLost() const { return outputLost_.load(); }

    // A line on standard output or standard error; the line end is added.
    void Print(std::string_view line, Tone tone = Tone::Plain);
    void Error(std::string_view line, Tone tone = Tone::Plain);
    // Text without a line end (a question waiting for its answer).
    void Write(ConsoleStream stream, std::string_view text, Tone tone = Tone::Plain);

private:
    void Emit(ConsoleStream stream, std::string_view text, Tone tone, bool lineEnd);

    std::mutex mutex_;
    bool colour_[2] = {false, false};
    std::atomic<bool> outputLost_{false};
};
