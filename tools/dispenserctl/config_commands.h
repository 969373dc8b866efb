// `config show`, `config set` and `config import`: the dispenser's settings in the
// registry, read and changed as .reg texts.
#pragma once

#include "tools/dispenserctl/command_context.h"

int RunConfigShow(CommandContext& context, ArgumentReader& arguments);
int RunConfigSet(CommandContext& context, ArgumentReader& arguments);
int RunConfigImport(CommandContext& context, ArgumentReader& arguments);
