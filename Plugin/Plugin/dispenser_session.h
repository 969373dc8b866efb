// The kiosk side of the dispenser, without COM: what the session and terminal
// extenders publish, how an amount is split between the cassettes, and how the
// session and terminal events are carried out. The COM extenders only unwrap their
// arguments and call this.
#pragma once

#include "Plugin/Dispenser/settings.h"
#include "Plugin/Plugin/session_variables.h"
#include "platform_types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class AppLog;

namespace Plugin {

// What the extenders need of the plug-in object and its host.
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

// The plug-in's application log (the trace log), null until the plug-in starts.
AppLog* ApplicationLog();
void SetApplicationLog(AppLog* log);

// True when nothing about the stored counters stops the dispenser from working.
bool IsReady(DispenserControl::Settings& store);

struct Split {
    std::uint32_t count1 = 0; // notes from cassette 1
    std::uint32_t count2 = 0;
    std::uint32_t rest = 0;   // roubles that cannot be paid
    bool success = false;
};
// Splits an amount (roubles) between the cassettes, larger notes first.
Split SplitAmount(DispenserControl::Settings& store, std::uint32_t amount, bool failed);

// Writes the configuration and counter variables of the dispenser into the session.
void Publish(SessionVariables& session, DispenserControl::Settings& store);
void ClearResult(SessionVariables* session);
// "Dispenser.Message" = the texts joined by "; ", or cleared when there are none.
void SetMessage(SessionVariables& session, const std::vector<std::string>& errors);

// The session extender's work. `context` is null when the plug-in object cannot be reached.
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
    WindowHandle MainWindow() const;

    PluginContext* context_;
};

// The device whose state the terminal is told.
class DeviceStateSink {
public:
    virtual ~DeviceStateSink() = default;
    virtual void SetDeviceFailed(const std::string& device, bool failed) = 0;
};

// The terminal extender's work.
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
