// The platform part of the tool's terminal (console_posix.cpp, console_win32.cpp).
#pragma once

#include "tools/dispenserctl/console.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Makes the console ready for UTF-8 text (Windows: code pages and colour sequences);
// called once, first thing in main.
void PrepareConsole();

// Whether the stream goes to a terminal that shows colour sequences.
bool StreamShowsColour(ConsoleStream stream);
// Whether standard input is a terminal someone can type on.
bool InputIsTerminal();

// Writes bytes of UTF-8 text to the stream as they are; false when the stream is
// gone (a reader that closed its pipe).
bool WriteStream(ConsoleStream stream, std::string_view text);

// One line typed on the terminal, without its line end; nullopt at the end of input,
// on a read failure, or once `stopRequested` returns true (asked about every tenth of
// a second where the platform can wait that way).
std::optional<std::string> ReadTerminalLine(const std::function<bool()>& stopRequested);

// The program's arguments after its name, as UTF-8 (Windows: from the wide command
// line, since argv holds them in the ANSI code page).
std::vector<std::string> CommandLineArguments(int argc, char** argv);
