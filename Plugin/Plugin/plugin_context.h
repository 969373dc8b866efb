// What the kiosk logic needs of the plug-in object and its host. The COM plug-in
// object is the one implementation in the module; tests play the host with their own.
#pragma once

#include "Plugin/Plugin/session_variables.h"
#include "platform_types.h"

#include <functional>

namespace Plugin {

class PluginContext {
public:
    virtual ~PluginContext() = default;

    virtual bool IsFailed() const = 0;
    // Stores the flag, then sets or clears "Dispenser.Failed" in the host's current session.
    virtual void SetFailed(bool failed) = 0;
    // Tells the host's terminal that the device "Dispenser" failed or works.
    virtual void ReportFailure(bool failed) = 0;
    // Runs `use` with the host's current session (for the terminal's counter set-up);
    // the session is held only for that time.
    virtual void WithCurrentSession(const std::function<void(SessionVariables&)>& use) = 0;
    // The owner of the operations' dialogs.
    virtual WindowHandle MainWindow() const = 0;
};

} // namespace Plugin
