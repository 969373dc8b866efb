// What every command gets: the console, the interrupt state and the global options.
#pragma once

#include "tools/dispenserctl/command_line.h"

class Console;
class InterruptState;

// Exit statuses of the tool.
enum ExitStatus : int {
    ExitSuccess = 0,
    ExitFailure = 1, // the operation failed, or was refused or cancelled
    ExitUsage = 2,   // the command line was wrong; nothing was done
};

struct CommandContext {
    Console& console;
    InterruptState& interrupts;
    const GlobalOptions& options;
};
