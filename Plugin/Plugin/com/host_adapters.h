// The host's session and terminal as the portable kiosk logic sees them: the xdk
// wrappers behind the plug-in's own interfaces. Each adapter holds its wrapper (and
// so the host object) for as long as it lives, the duration of one call.
//
// An adapter made from an extender call's argument asks it for its interface only when
// first used, inside the event's own error handling: an event that does not need the
// object works with a null or foreign one, and one that does fails with its log line.
#pragma once

#include "Plugin/Plugin/session_variables.h"
#include "Plugin/Plugin/terminal_events.h"
#include "xdk/host_wrappers.h"

#include <optional>
#include <string>
#include <utility>

namespace Plugin {

class HostSession : public SessionVariables {
public:
    explicit HostSession(TVXDK::Tallivox::TVSession session) : session_(std::move(session)) {}
    explicit HostSession(IUnknown* argument) : argument_(argument, true) {}

    std::string GetValue(const std::string& name) override { return Session().GetValue(name); }
    void SetValue(const std::string& name, const std::string& text) override { Session().SetValue(name, text); }

private:
    TVXDK::Tallivox::TVSession& Session()
    {
        if (!session_)
            session_ = TVXDK::Tallivox::TVSession::FromUnknown(argument_.Get());
        return *session_;
    }

    TVXDK::Tallivox::ComPtr<IUnknown> argument_;
    std::optional<TVXDK::Tallivox::TVSession> session_;
};

class HostTerminal : public DeviceStateSink {
public:
    explicit HostTerminal(IUnknown* argument) : argument_(argument, true) {}

    void SetDeviceFailed(const std::string& device, bool failed) override
    {
        if (!terminal_)
            terminal_ = TVXDK::Tallivox::TVTerminal::FromUnknown(argument_.Get());
        terminal_->SetDeviceFailed(device, failed);
    }

private:
    TVXDK::Tallivox::ComPtr<IUnknown> argument_;
    std::optional<TVXDK::Tallivox::TVTerminal> terminal_;
};

} // namespace Plugin
