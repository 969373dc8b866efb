// The host's two output streams. Text goes out as UTF-8 bytes (WriteFile, never wide
// console output): session texts are Russian and the tests read them through a pipe.
#pragma once

#include <string_view>

// Switches an attached console to UTF-8 output; pipes and files need nothing.
void PrepareConsoleOutput();

// One line (a line break is added) to standard output: results, dumps, device states.
void PrintLine(std::string_view text);

// One line to standard error: failed calls and usage errors.
void PrintError(std::string_view text);
