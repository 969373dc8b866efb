// `split`: how the kiosk would divide an amount between the cassettes, from the
// stored denominations, counts and limits; nothing is paid out.
#pragma once

#include "tools/dispenserctl/command_context.h"

int RunSplit(CommandContext& context, ArgumentReader& arguments);
