// The calls the host makes into the plug-in's objects, each described for both
// bindings of PluginCaller. The objects and host objects are borrowed for the call.
#pragma once

#include "tools/kiosk-host/plugin_caller.h"
#include "xdk/Tallivex.h"

#include <string>

MethodCall InitCall(ITallivoxPlugin* plugin, ITallivoxClient* client);
MethodCall PrepareSessionCall(ITallivoxSessionExtender* extender, ITallivoxSession* session);
MethodCall SessionEventCall(ITallivoxSessionExtender* extender, ITallivoxSession* session, const std::string& event);
MethodCall TerminalEventCall(ITallivoxTerminalExtender* extender, ITallivoxTerminal* terminal,
                             const std::string& event);
MethodCall DeviceStateCall(ITallivoxTerminalExtender* extender, ITallivoxTerminal* terminal,
                           const std::string& device, bool failed);
