#include "tools/kiosk-host/plugin_calls.h"

#include "tools/kiosk-host/com_text.h"

namespace {

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

} // namespace

MethodCall InitCall(ITallivoxPlugin* plugin, ITallivoxClient* client)
{
    return {plugin, L"Init", {client}, [=] { return plugin->Init(client); }, "Init"};
}

MethodCall PrepareSessionCall(ITallivoxSessionExtender* extender, ITallivoxSession* session)
{
    return {extender, L"PrepareSession", {session}, [=] { return extender->PrepareSession(session); },
            "PrepareSession"};
}

MethodCall SessionEventCall(ITallivoxSessionExtender* extender, ITallivoxSession* session, const std::string& event)
{
    return {extender, L"OnSessionEvent", {session, event},
            [=] { return extender->OnSessionEvent(session, MakeBstr(event).get()); },
            "OnSessionEvent(" + Quoted(event) + ")"};
}

MethodCall TerminalEventCall(ITallivoxTerminalExtender* extender, ITallivoxTerminal* terminal,
                             const std::string& event)
{
    return {extender, L"OnTerminalEvent", {terminal, event},
            [=] { return extender->OnTerminalEvent(terminal, MakeBstr(event).get()); },
            "OnTerminalEvent(" + Quoted(event) + ")"};
}

MethodCall DeviceStateCall(ITallivoxTerminalExtender* extender, ITallivoxTerminal* terminal,
                           const std::string& device, bool failed)
{
    const LONG state = failed ? 1 : 0;
    return {extender, L"OnDeviceState", {terminal, device, state},
            [=] { return extender->OnDeviceState(terminal, MakeBstr(device).get(), state); },
            "OnDeviceState(" + Quoted(device) + ", " + std::to_string(state) + ")"};
}
