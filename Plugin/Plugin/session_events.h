// The session extender's work, without COM: the kiosk scenario writes inputs into its
// session, raises an event, and reads the results from "Dispenser." variables. The COM
// extender only unwraps its arguments and calls this.
#pragma once

#include "Plugin/Dispenser/settings.h"
#include "Plugin/Plugin/plugin_context.h"
#include "Plugin/Plugin/session_variables.h"
#include "platform_types.h"

#include <string>
#include <vector>

namespace Plugin {

// `context` is null when the plug-in object cannot be reached.
class SessionEvents {
public:
    explicit SessionEvents(PluginContext* context) : context_(context) {}

    void PrepareSession(SessionVariables& session);
    // Carries out one of the five events; any other name is ignored. A failure is
    // logged and passed on.
    void OnSessionEvent(SessionVariables& session, const std::string& event);

private:
    void GetRomVersion(SessionVariables& session);
    void Purge(SessionVariables& session);
    void TestReject(SessionVariables& session);
    void Dispense(SessionVariables& session);
    void Calculate(SessionVariables& session);
    void ReportFailure(bool failed);
    // A device event under a model this plug-in does not know fails before anything is
    // sent: the reason joins `errors` and the device is reported failed. True when refused.
    bool RefuseUnknownModel(const DispenserControl::Settings& store, std::vector<std::string>& errors);
    WindowHandle MainWindow() const;

    PluginContext* context_;
};

} // namespace Plugin
