#include "xdk/host_wrappers.h"

#include "framework/exceptions.h"
#include "framework/text_format.h"
#include "framework/win32/co_string.h"
#include "xdk/automation_object.h"

namespace TVXDK::Tallivox {

namespace {

void HostCall(HRESULT result, int line)
{
    Automation::CheckHostCall(result, __FILE_NAME__, line);
}

// A host call that answered S_OK without the object it was asked for.
class NullHostObject : public CoError {
public:
    explicit NullHostObject(const char* call)
        : CoError(static_cast<std::int32_t>(E_POINTER), std::string(call) + ": хост не передал объект")
    {
    }
};

template <class T>
void RequireObject(const T& object, const char* call)
{
    if (!object)
        throw NullHostObject(call);
}

template <class I>
ComPtr<I> Query(IUnknown* object, const char* what, const char* file, int line)
{
    if (object == nullptr)
        throw NullHostObject(what);
    ComPtr<I> result;
    CoCallEx(object->QueryInterface(__uuidof(I), reinterpret_cast<void**>(result.Receive())), "xdk", file, line);
    return result;
}

} // namespace

TVSession TVSession::FromUnknown(IUnknown* session)
{
    return TVSession(Query<ITallivoxSession>(session, "ITallivoxSession (сеанс вызова)", __FILE_NAME__, __LINE__));
}

std::string TVSession::GetValue(const std::string& name)
{
    const CoString wideName(name);
    CoString text;
    HostCall(session_->GetVariable(wideName.Get(), text.Receive()), __LINE__);
    return newstr(text);
}

void TVSession::SetValue(const std::string& name, const std::string& text)
{
    const CoString wideName(name);
    const CoString wideText(text);
    HostCall(session_->SetVariable(wideName.Get(), wideText.Get()), __LINE__);
}

void TVSession::AddExtender(ITallivoxSessionExtender* extender)
{
    HostCall(session_->AddExtender(extender), __LINE__);
}

TVTerminal TVTerminal::FromUnknown(IUnknown* terminal)
{
    return TVTerminal(
        Query<ITallivoxTerminal>(terminal, "ITallivoxTerminal (терминал вызова)", __FILE_NAME__, __LINE__));
}

void TVTerminal::SetDeviceFailed(const std::string& device, bool failed)
{
    const CoString wideDevice(device);
    HostCall(terminal_->SetDeviceFailed(wideDevice.Get(), failed ? VARIANT_TRUE : VARIANT_FALSE), __LINE__);
}

void TVTerminal::AddExtender(ITallivoxTerminalExtender* extender)
{
    HostCall(terminal_->AddExtender(extender), __LINE__);
}

TVClient::TVClient(IUnknown* client)
    : client_(Query<ITallivoxClient>(client, "ITallivoxClient (клиент Init)", __FILE_NAME__, __LINE__))
{
}

TVSession TVClient::GetSession()
{
    ComPtr<ITallivoxSession> session;
    HostCall(client_->GetSession(session.Receive()), __LINE__);
    RequireObject(session, "ITallivoxClient::GetSession");
    return TVSession(session);
}

TVTerminal TVClient::GetTerminal()
{
    ComPtr<ITallivoxTerminal> terminal;
    HostCall(client_->GetTerminal(terminal.Receive()), __LINE__);
    RequireObject(terminal, "ITallivoxClient::GetTerminal");
    return TVTerminal(terminal);
}

ComPtr<ITallivoxApplication> TVClient::GetApplication()
{
    ComPtr<ITallivoxApplication> application;
    HostCall(client_->GetApplication(application.Receive()), __LINE__);
    RequireObject(application, "ITallivoxClient::GetApplication");
    return application;
}

std::string TVClient::Describe()
{
    const ComPtr<ITallivoxApplication> application = GetApplication();
    CoString name;
    CoString version;
    ULONG build = 0;
    HostCall(application->GetName(name.Receive()), __LINE__);
    HostCall(application->GetVersion(version.Receive()), __LINE__);
    HostCall(application->GetBuild(&build), __LINE__);
    // An empty part still adds its blank.
    std::string text = newstr(name);
    text += " ";
    if (!version.IsEmpty())
        text += "v." + newstr(version);
    text += " ";
    if (build != 0)
        text += FormatText("build %lu", static_cast<unsigned long>(build));
    return text;
}

} // namespace TVXDK::Tallivox
