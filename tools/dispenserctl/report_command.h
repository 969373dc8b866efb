// `report`: the cash report over the operations journal, as text, CSV or HTML.
#pragma once

#include "tools/dispenserctl/command_context.h"

int RunReport(CommandContext& context, ArgumentReader& arguments);
