// `counters`: the note counters of the cassettes and the reject bin with their flags
// and limits, as a table; `counters set`: a counter set by hand (after a refill).
#pragma once

#include "tools/dispenserctl/command_context.h"

int RunCounters(CommandContext& context, ArgumentReader& arguments);
int RunCountersSet(CommandContext& context, ArgumentReader& arguments);
// `reconcile`: without counts, the pass in doubt and the range each count must lie in;
// with counts, the technician's count written and the doubt settled.
int RunReconcile(CommandContext& context, ArgumentReader& arguments);
