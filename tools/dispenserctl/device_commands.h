// The commands that talk to the device through the dispenser's operations: version,
// status, purge, test-reject and dispense. Each returns an ExitStatus.
#pragma once

#include "tools/dispenserctl/command_context.h"

int RunVersion(CommandContext& context, ArgumentReader& arguments);
int RunStatus(CommandContext& context, ArgumentReader& arguments);
int RunPurge(CommandContext& context, ArgumentReader& arguments);
int RunTestReject(CommandContext& context, ArgumentReader& arguments);
int RunDispense(CommandContext& context, ArgumentReader& arguments);
