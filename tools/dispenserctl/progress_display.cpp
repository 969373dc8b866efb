#include "tools/dispenserctl/progress_display.h"

#include "Plugin/Dispenser/dispenser_log.h"
#include "tools/dispenserctl/console.h"

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "YYYY-MM-DD " at the start of a line.
bool StartsWithDate(std::string_view line)
{
    constexpr std::string_view kPattern = "dddd-dd-dd ";
    if (line.size() < kPattern.size())
        return false;
    for (std::size_t i = 0; i < kPattern.size(); ++i) {
        if (kPattern[i] == 'd' ? !IsDigit(line[i]) : line[i] != kPattern[i])
            return false;
    }
    return true;
}

} // namespace

ProgressDisplay::ProgressDisplay(Console& console) : logs_(DispenserLogHandler::Instance())
{
    logs_->TraceLog().SetRecordObserver(
        [&console](int category, const std::string& line) { console.Print(ShownText(line), ToneOf(category)); });
}

ProgressDisplay::~ProgressDisplay()
{
    // The log calls a copy of the observer outside its lock: a line being shown right
    // now may still finish, which the console serialises.
    logs_->TraceLog().SetRecordObserver(nullptr);
}

std::string_view ProgressDisplay::ShownText(std::string_view line)
{
    return StartsWithDate(line) ? line.substr(11) : line;
}

Tone ProgressDisplay::ToneOf(int category)
{
    switch (category) {
    case AppLog::Positive:
        return Tone::Good;
    case AppLog::Warning:
        return Tone::Warning;
    case AppLog::Error:
        return Tone::Bad;
    case AppLog::Trace:
        return Tone::Dim;
    default:
        return Tone::Plain;
    }
}
