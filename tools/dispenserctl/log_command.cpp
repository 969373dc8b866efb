#include "tools/dispenserctl/log_command.h"

#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/settings.h"
#include "framework/paths.h"
#include "framework/real_time.h"
#include "framework/text_format.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/interrupt.h"
#include "tools/dispenserctl/log_follow.h"

#include <cstdio>
#include <functional>
#include <optional>

namespace {

constexpr auto kFollowInterval = std::chrono::milliseconds(250);

std::string DayText(const CalendarTime& day)
{
    return FormatText("%04d-%02d-%02d", day.year, day.month, day.day);
}

std::optional<CalendarTime> ParseDay(const std::string& text)
{
    CalendarTime day;
    char end = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &day.year, &day.month, &day.day, &end) != 3)
        return std::nullopt;
    if (day.month < 1 || day.month > 12 || day.day < 1 || day.day > 31)
        return std::nullopt;
    return day;
}

// The category tag of a log line ("2026-12-08 05:19:30.123 WARN  ...") as a tone.
Tone ToneOfLine(std::string_view line)
{
    if (line.size() < 25)
        return Tone::Plain;
    const std::string_view tag = line.substr(24, line.find(' ', 24) - 24);
    if (tag == "OK")
        return Tone::Good;
    if (tag == "WARN")
        return Tone::Warning;
    if (tag == "ERROR")
        return Tone::Bad;
    if (tag == "TRACE")
        return Tone::Dim;
    return Tone::Plain;
}

} // namespace

int RunLog(CommandContext& context, ArgumentReader& arguments)
{
    const bool follow = arguments.Flag("--follow", "-f");
    const bool trace = arguments.Flag("--trace");
    std::optional<std::string> linesText = arguments.Option("--lines");
    if (!linesText)
        linesText = arguments.Option("-n");
    const std::optional<std::string> dateText = arguments.Option("--date");
    arguments.Positionals(0, 0);
    const std::size_t lastLines = linesText ? ParseCount(*linesText, "--lines", "log") : LogFollower::kAllLines;
    std::optional<CalendarTime> fixedDay;
    if (dateText) {
        fixedDay = ParseDay(*dateText);
        if (!fixedDay)
            arguments.Fail("--date takes a day as YYYY-MM-DD, not '" + *dateText + "'");
    }

    Console& console = context.console;
    const RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, false, RegAccessRead);
    const std::string setting = trace ? "DebugLog" : "LogDir";
    const std::string configured = key.ReadString(setting);
    if (configured.empty()) {
        console.Error("dispenserctl: \"" + setting + "\" is not set in the dispenser settings, so there is no " +
                          (trace ? "trace log" : "operations journal") + " to show",
                      Tone::Bad);
        return ExitFailure;
    }
    // The files the log handler writes: a "*" in either setting becomes the date.
    const std::function<std::string()> pathNow = [&] {
        const CalendarTime day = fixedDay ? *fixedDay : Now().Calendar();
        if (trace)
            return DispenserLogHandler::SubstituteDate(configured, day);
        return DispenserLogHandler::SubstituteDate(MakePathSpec(configured) + DayText(day) + ".txt", day);
    };
    const auto print = [&console](std::string_view line) { console.Print(line, ToneOfLine(line)); };

    LogFollower follower;
    const std::string path = pathNow();
    if (!follower.Start(path, lastLines, print)) {
        if (!follow) {
            console.Error("dispenserctl: " + path + ": nothing recorded there yet");
            return ExitSuccess;
        }
        console.Error("dispenserctl: waiting for " + path + " to appear (Ctrl+C ends)", Tone::Dim);
    }
    if (!follow)
        return ExitSuccess;
    while (!console.OutputLost() && !context.interrupts.WaitFor(kFollowInterval))
        follower.Poll(pathNow(), print);
    return ExitSuccess;
}
