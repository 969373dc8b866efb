// Runs one dispenser operation for a command: the trace lines shown live (unless
// --quiet), the operator's questions asked on the terminal, Ctrl+C cancelling it, and
// its failure texts on standard error afterwards.
#pragma once

#include "tools/dispenserctl/command_context.h"

#include <functional>
#include <string>
#include <vector>

// Calls `operation` (one of the DispenserScenario entry operations, given the error
// list to fill) on the calling thread and returns its result. Every text of the
// error list is printed on standard error, also after a success (warnings of a
// partial payout).
bool RunOperation(CommandContext& context, const std::function<bool(std::vector<std::string>*)>& operation);

// Prints failure texts on standard error, one line each.
void ReportErrors(Console& console, const std::vector<std::string>& errors);
