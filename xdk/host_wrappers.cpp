#include "xdk/host_wrappers.h"

#include "framework/exceptions.h"
#include "framework/text_format.h"
#include "framework/win32/co_string.h"

namespace TVXDK::Tallivox {

namespace {

template <class I>
ComPtr<I> Query(IUnknown* object, const char* file, int line)
{
    if (object == nullptr)
        throw CoError(static_cast<std::int32_t>(E_POINTER), file, line);
    ComPtr<I> result;
    CoCallEx(object->QueryInterface(__uuidof(I), reinterpret_cast<void**>(result.Receive())), "xdk", file, line);
    return result;
}

} // namespace

TVSession TVSession::FromUnknown(IUnknown* session)
{
    return TVSession(Query<ITallivoxSession>(session, __FILE_NAME__, __LINE__));
}

std::string TVSession::GetValue(const std::string& name)
{
    const CoString wideName(name);
    CoString text;
    CoCallEx(session_->GetVariable(wideName.Get(), text.Receive()), "xdk", __FILE_NAME__, __LINE__);
    return newstr(text);
}

void TVSession::SetValue(const std::string& name, const std::string& text)
{
    const CoString wideName(name);
    const CoString wideText(text);
    CoCallEx(session_->SetVariable(wideName.Get(), wideText.Get()), "xdk", __FILE_NAME__, __LINE__);
}

void TVSession::AddExtender(ITallivoxSessionExtender* extender)
{
    CoCallEx(session_->AddExtender(extender), "xdk", __FILE_NAME__, __LINE__);
}

TVTerminal TVTerminal::FromUnknown(IUnknown* terminal)
{
    return TVTerminal(Query<ITallivoxTerminal>(terminal, __FILE_NAME__, __LINE__));
}

void TVTerminal::SetDeviceFailed(const std::string& device, bool failed)
{
    const CoString wideDevice(device);
    CoCallEx(terminal_->SetDeviceFailed(wideDevice.Get(), failed ? VARIANT_TRUE : VARIANT_FALSE), "xdk",
             __FILE_NAME__, __LINE__);
}

void TVTerminal::AddExtender(ITallivoxTerminalExtender* extender)
{
    CoCallEx(terminal_->AddExtender(extender), "xdk", __FILE_NAME__, __LINE__);
}

TVClient::TVClient(IUnknown* client) : client_(Query<ITallivoxClient>(client, __FILE_NAME__, __LINE__)) {}

TVSession TVClient::GetSession()
{
    ComPtr<ITallivoxSession> session;
    CoCallEx(client_->GetSession(session.Receive()), "xdk", __FILE_NAME__, __LINE__);
    return TVSession(session);
}

TVTerminal TVClient::GetTerminal()
{
    ComPtr<ITallivoxTerminal> terminal;
    CoCallEx(client_->GetTerminal(terminal.Receive()), "xdk", __FILE_NAME__, __LINE__);
    return TVTerminal(terminal);
}

ComPtr<ITallivoxApplication> TVClient::GetApplication()
{
    ComPtr<ITallivoxApplication> application;
    CoCallEx(client_->GetApplication(application.Receive()), "xdk", __FILE_NAME__, __LINE__);
    return application;
}

std::string TVClient::Describe()
{
    const ComPtr<ITallivoxApplication> application = GetApplication();
    CoString name;
    CoString version;
    ULONG build = 0;
    CoCallEx(application->GetName(name.Receive()), "xdk", __FILE_NAME__, __LINE__);
    CoCallEx(application->GetVersion(version.Receive()), "xdk", __FILE_NAME__, __LINE__);
    CoCallEx(application->GetBuild(&build), "xdk", __FILE_NAME__, __LINE__);
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
