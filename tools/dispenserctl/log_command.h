// `log`: prints the operations journal of a day or the trace log, and follows it.
#pragma once

#include "tools/dispenserctl/command_context.h"

int RunLog(CommandContext& context, ArgumentReader& arguments);
