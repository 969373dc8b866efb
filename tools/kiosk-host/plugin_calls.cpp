#include "tools/kiosk-host/plugin_calls.h"

#include "tools/kiosk-host/com_text.h"
#include "tools/kiosk-host/window_number.h"

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

MethodCall CreatePagesCall(ITallivoxControlPlugin* plugin, ITallivoxControlSite* site)
{
    return {plugin, L"CreatePages", {site}, [=] { return plugin->CreatePages(site); }, "CreatePages"};
}

MethodCall AttachCall(ITallivoxControlPage* object, const std::string& page, HWND window, LONG* result)
{
    const LONG number = WindowNumber(window);
    return {object, L"Attach", {number}, [=] { return object->Attach(number, result); }, page + ".Attach", result};
}

MethodCall DetachCall(ITallivoxControlPage* object, const std::string& page, LONG* result)
{
    return {object, L"Detach", {}, [=] { return object->Detach(result); }, page + ".Detach", result};
}

MethodCall PageCommandCall(ITallivoxControlPage* object, const std::string& page, WORD code, WORD id, HWND control,
                           LONG* handled)
{
    const LONG number = WindowNumber(control);
    return {object,
            L"Command",
            {LONG{code}, LONG{id}, number},
            [=] { return object->Command(code, id, number, handled); },
            page + ".Command(" + std::to_string(code) + ", " + std::to_string(id) + ")",
            handled};
}

MethodCall PageHelpCall(ITallivoxControlPage* object, const std::string& page, HWND control, LONG* handled)
{
    const LONG number = WindowNumber(control);
    return {object, L"Help", {number}, [=] { return object->Help(number, handled); }, page + ".Help", handled};
}

MethodCall ApplyCall(ITallivoxControlPage* object, const std::string& page, bool interactive, LONG* applied)
{
    const LONG flag = interactive ? 1 : 0;
    return {object,
            L"Apply",
            {flag, LONG{0}},
            [=] { return object->Apply(flag, 0, applied); },
            page + ".Apply(" + std::to_string(flag) + ")",
            applied};
}
