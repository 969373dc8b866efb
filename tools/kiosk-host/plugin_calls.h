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

// The control application's calls: the control plug-in's pages, and each page's part in
// the property sheet. `page` names the page (its template) in failure reports; every
// [out, retval] LONG goes to `result`.
MethodCall CreatePagesCall(ITallivoxControlPlugin* plugin, ITallivoxControlSite* site);
MethodCall AttachCall(ITallivoxControlPage* object, const std::string& page, HWND window, LONG* result);
MethodCall DetachCall(ITallivoxControlPage* object, const std::string& page, LONG* result);
MethodCall PageCommandCall(ITallivoxControlPage* object, const std::string& page, WORD code, WORD id, HWND control,
                           LONG* handled);
MethodCall PageHelpCall(ITallivoxControlPage* object, const std::string& page, HWND control, LONG* handled);
MethodCall ApplyCall(ITallivoxControlPage* object, const std::string& page, bool interactive, LONG* applied);
