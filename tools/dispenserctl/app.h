// The tool from its arguments to its exit status: reads the command line, shows help,
// points the process at its registry, runs the command, and turns every failure into
// a message on standard error and an ExitStatus.
#pragma once

#include <string>
#include <vector>

class Console;
class InterruptState;

int RunDispenserCtl(const std::vector<std::string>& arguments, Console& console, InterruptState& interrupts);
