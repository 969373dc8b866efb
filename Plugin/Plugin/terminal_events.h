// The terminal extender's work, without COM: "Poll", the counter set-up from the
// session, the device check, and the device-state notification. The COM extender only
// unwraps its arguments and calls this.
#pragma once

#include "Plugin/Plugin/plugin_context.h"
#include "Plugin/Plugin/session_variables.h"

#include <string>

namespace Plugin {

// The device whose state the terminal is told.
class DeviceStateSink {
public:
    virtual ~DeviceStateSink() = default;
    virtual void SetDeviceFailed(const std::string& device, bool failed) = 0;
};

// `context` is null when the plug-in object cannot be reached.
class TerminalEvents {
public:
    explicit TerminalEvents(PluginContext* context) : context_(context) {}

    // "Poll", "Dispenser.Setup" or "Dispenser.Check"; any other name is ignored. A
    // failure is logged and passed on.
    void OnTerminalEvent(DeviceStateSink& terminal, const std::string& event);
    void OnDeviceState(const std::string& device, bool failed);

private:
    void Setup();
    void Setup(SessionVariables& session);
    void Check(DeviceStateSink& terminal);

    PluginContext* context_;
};

} // namespace Plugin
