#include "tools/dispenserctl/console.h"

#include "framework/paths.h"
#include "tools/dispenserctl/console_platform.h"

namespace {

// ANSI sequences; Windows consoles take them once virtual-terminal output is on.
const char* ColourOf(Tone tone)
{
    switch (tone) {
    case Tone::Good:
        return "\x1b[32m";
    case Tone::Warning:
        return "\x1b[33m";
    case Tone::Bad:
        return "\x1b[31m";
    case Tone::Dim:
        return "\x1b[2m";
    case Tone::Strong:
        return "\x1b[1m";
    case Tone::Plain:
        break;
    }
    return "";
}

std::size_t Index(ConsoleStream stream)
{
    return stream == ConsoleStream::Output ? 0 : 1;
}

} // namespace

Console::Console()
{
    bool found = false;
    GetEnvironmentText("NO_COLOR", found);
    for (ConsoleStream stream : {ConsoleStream::Output, ConsoleStream::Error})
        colour_[Index(stream)] = !found && StreamShowsColour(stream);
}

void Console::DisableColour()
{
    std::lock_guard lock(mutex_);
    colour_[0] = colour_[1] = false;
}

void Console::Print(std::string_view line, Tone tone)
{
    Emit(ConsoleStream::Output, line, tone, true);
}

void Console::Error(std::string_view line, Tone tone)
{
    Emit(ConsoleStream::Error, line, tone, true);
}

void Console::Write(ConsoleStream stream, std::string_view text, Tone tone)
{
    Emit(stream, text, tone, false);
}

void Console::Emit(ConsoleStream stream, std::string_view text, Tone tone, bool lineEnd)
{
    std::lock_guard lock(mutex_);
    std::string out;
    const bool coloured = colour_[Index(stream)] && tone != Tone::Plain;
    if (coloured)
        out += ColourOf(tone);
    out += text;
    if (coloured)
        out += "\x1b[0m";
    if (lineEnd)
        out += '\n';
    if (!WriteStream(stream, out) && stream == ConsoleStream::Output)
        outputLost_.store(true);
}
