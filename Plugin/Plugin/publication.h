// What the extenders publish into a kiosk session: the dispenser's configuration and
// counters, and the result and message variables of an event.
#pragma once

#include "Plugin/Dispenser/settings.h"
#include "Plugin/Plugin/session_variables.h"

#include <string>
#include <vector>

namespace Plugin {

// Writes the configuration and counter variables of the dispenser into the session.
void Publish(SessionVariables& session, DispenserControl::Settings& store);
void ClearResult(SessionVariables* session);
// "Dispenser.Message" = the texts joined by "; ", or cleared when there are none.
void SetMessage(SessionVariables& session, const std::vector<std::string>& errors);

} // namespace Plugin
