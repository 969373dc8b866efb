// Live progress: every line of the dispenser's trace log, shown on standard output as
// it is written, for as long as the object lives. Lines keep their time of day and
// category tag (the date is dropped) and are coloured by category on a terminal.
#pragma once

#include <memory>
#include <string>
#include <string_view>

class Console;
class DispenserLogHandler;
enum class Tone;

class ProgressDisplay {
public:
    // Attaches to the trace log of the process's log handler (creating the handler).
    explicit ProgressDisplay(Console& console);
    // Detaches; no line is shown after it returns.
    ~ProgressDisplay();
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    // A trace line as shown: "2026-12-08 05:19:30.123 INFO  text" becomes
    // "05:19:30.123 INFO  text"; a line without a leading date stays as it is.
    static std::string_view ShownText(std::string_view line);
    // The tone of an AppLog category.
    static Tone ToneOf(int category);

private:
    std::shared_ptr<DispenserLogHandler> logs_;
};
