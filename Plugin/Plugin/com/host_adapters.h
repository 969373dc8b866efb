// The host's session and terminal as the portable kiosk logic sees them: the xdk
// wrappers behind the plug-in's own interfaces. Each adapter holds its wrapper (and
// so the host object) for as long as it lives, the duration of one call.
#pragma once

#include "Plugin/Plugin/session_variables.h"
#include "Plugin/Plugin/terminal_events.h"
#include "xdk/host_wrappers.h"

#include <string>
#include <utility>

namespace Plugin {

class HostSession : public SessionVariables {
public:
    explicit HostSession(TVXDK::Tallivox::TVSession session) : session_(std::move(session)) {}

    std::string GetValue(const std::string& name) override { return session_.GetValue(name); }
    void SetValue(const std::string& name, const std::string& text) override { session_.SetValue(name, text); }

private:
    TVXDK::Tallivox::TVSession session_;
};

class HostTerminal : public DeviceStateSink {
public:
    explicit HostTerminal(TVXDK::Tallivox::TVTerminal terminal) : terminal_(std::move(terminal)) {}

    void SetDeviceFailed(const std::string& device, bool failed) override { terminal_.SetDeviceFailed(device, failed); }

private:
    TVXDK::Tallivox::TVTerminal terminal_;
};

} // namespace Plugin
