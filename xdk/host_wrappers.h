// Thin wrappers of the host's objects for the duration of a call: the client (with
// its application, session and terminal), the session's variables, and the terminal's
// device states. Texts are UTF-8 here and cross as BSTR; every host call is checked
// and raises CoError when the host refuses it.
#pragma once

#include "windows_api.h"
#include "xdk/Tallivex.h"
#include "xdk/com_ptr.h"

#include <string>

namespace TVXDK::Tallivox {

class TVSession {
public:
    explicit TVSession(ComPtr<ITallivoxSession> session) : session_(std::move(session)) {}
    // From the session argument of an extender call (queried for ITallivoxSession).
    static TVSession FromUnknown(IUnknown* session);

    std::string GetValue(const std::string& name);
    void SetValue(const std::string& name, const std::string& text);
    void AddExtender(ITallivoxSessionExtender* extender);

private:
    ComPtr<ITallivoxSession> session_;
};

class TVTerminal {
public:
    explicit TVTerminal(ComPtr<ITallivoxTerminal> terminal) : terminal_(std::move(terminal)) {}
    static TVTerminal FromUnknown(IUnknown* terminal);

    void SetDeviceFailed(const std::string& device, bool failed);
    void AddExtender(ITallivoxTerminalExtender* extender);

private:
    ComPtr<ITallivoxTerminal> terminal_;
};

class TVClient {
public:
    // Queries the client object for ITallivoxClient; raises CoError when it is none.
    explicit TVClient(IUnknown* client);
    explicit TVClient(ComPtr<ITallivoxClient> client) : client_(std::move(client)) {}

    TVSession GetSession();
    TVTerminal GetTerminal();
    ComPtr<ITallivoxApplication> GetApplication();
    // "name v.version build N": the version and build parts only when known.
    std::string Describe();
    const ComPtr<ITallivoxClient>& Get() const { return client_; }

private:
    ComPtr<ITallivoxClient> client_;
};

} // namespace TVXDK::Tallivox
