// Whether the stored counters let the kiosk pay: the readiness the terminal reports
// and the session events check, by the payout rules.
#pragma once

#include "Plugin/Dispenser/settings.h"

namespace Plugin {

// True when nothing about the stored counters stops the dispenser from working.
bool IsReady(DispenserControl::Settings& store);

// Whether an earlier pass's notes are in doubt: then no note may move until a
// technician's count settles them.
bool PassInDoubt(const DispenserControl::Settings& store);

// The kiosk's view of the reject bin: full once it has no room for one more note.
bool RejectBinFull(DispenserControl::Settings& store);

} // namespace Plugin
