#include "Plugin/Plugin/com/plugin_object.h"

#include "Plugin/Plugin/application_log.h"
#include "Plugin/Plugin/com/host_adapters.h"
#include "Plugin/Plugin/session_events.h"
#include "Plugin/Plugin/terminal_events.h"
#include "framework/app_log.h"
#include "framework/exceptions.h"
#include "framework/messages.h"
#include "framework/text_format.h"
#include "framework/win32/co_string.h"

namespace Plugin {

namespace {

constexpr const char* kPluginKey = "Software\\Orvane\\Tallivox\\Plugins\\Dispenser";

void Inform(const char* text)
{
    if (AppLog* log = ApplicationLog())
        log->WriteText(AppLog::Info, text);
}

} // namespace

Plugin::Plugin(ITypeInfo* typeInfo)
    : TallivoxObject2<ITallivoxPlugin>(typeInfo),
      userKey_(RegistryRoot::CurrentUser, kPluginKey, true, RegAccessAll),
      machineKey_(RegistryRoot::LocalMachine, kPluginKey, true, RegAccessAll)
{
}

Plugin::~Plugin()
{
    try {
        const std::shared_ptr<DispenserLogHandler> logs = logs_ ? logs_ : DispenserLogHandler::Instance();
        logs->WriteRecord(EventStop, "STOP", 0,
                          FormatBuffer(4096, "Компонент \"%s\" (%s) завершил работу", kDisplayName, kComponentName));
        if (AppLog* log = ApplicationLog())
            log->Write(AppLog::Info, "Завершение работы компонента \"%s\" (%s)", kDisplayName, kComponentName);
    } catch (...) {
        // A destructor lets nothing out.
    }
    SetApplicationLog(nullptr);
}

Plugin* Plugin::Reach(ITallivoxPlugin* plugin)
{
    return dynamic_cast<Plugin*>(plugin);
}

TVXDK::Tallivox::TVClient Plugin::Client() const
{
    if (!client_)
        throw InternalError("Plugin: the host's client is not known yet");
    return TVXDK::Tallivox::TVClient(client_);
}

std::string Plugin::DescribeHost()
{
    return Client().Describe();
}

Split Plugin::SplitAmount(DispenserControl::Settings& store, std::uint32_t amount)
{
    return ::Plugin::SplitAmount(store, amount, IsFailed());
}

void Plugin::SetFailed(bool failed)
{
    failed_.store(failed);
    HostSession session(Client().GetSession());
    session.SetBool("Dispenser.Failed", failed);
}

void Plugin::ReportFailure(bool failed)
{
    Client().GetTerminal().SetDeviceFailed("Dispenser", failed);
}

void Plugin::WithCurrentSession(const std::function<void(SessionVariables&)>& use)
{
    HostSession session(Client().GetSession());
    use(session);
}

WindowHandle Plugin::MainWindow() const
{
    return GetAppMainWindow();
}

HRESULT STDMETHODCALLTYPE Plugin::Init(IUnknown* client)
{
    return Automation::ComMethod([&] { Start(client); });
}

void Plugin::Start(IUnknown* client)
{
    client_ = TVXDK::Tallivox::TVClient(client).Get();
    const std::string hostText = DescribeHost();
    logs_ = DispenserLogHandler::Instance();
    SetApplicationLog(&logs_->TraceLog());
    if (AppLog* log = ApplicationLog())
        log->Write(AppLog::Info, "Загрузка компонента \"%s\" (%s) //приложение: %s", kDisplayName, kComponentName,
                   hostText.c_str());
    try {
        TVXDK::Tallivox::TVClient host(client_);
        {
            auto* extender =
                new SessionExtender(Automation::GetTallivexTypeInfo(__uuidof(ITallivoxSessionExtender)).Get(), this);
            sessionExtender_ = extender;
            // The host's references keep it alive from here on.
            const TVXDK::Tallivox::ComPtr<ITallivoxSessionExtender> created(extender, false);
            host.GetSession().AddExtender(extender);
        }
        {
            auto* extender =
                new TerminalExtender(Automation::GetTallivexTypeInfo(__uuidof(ITallivoxTerminalExtender)).Get(), this);
            terminalExtender_ = extender;
            const TVXDK::Tallivox::ComPtr<ITallivoxTerminalExtender> created(extender, false);
            host.GetTerminal().AddExtender(extender);
        }
        logs_->WriteRecord(EventStart, "START", 0,
                           FormatBuffer(4096, "Компонент \"%s\" (%s) начал работу (приложение: %s)", kDisplayName,
                                        kComponentName, hostText.c_str()));
    } catch (const OrvaneException& error) {
        if (AppLog* log = ApplicationLog())
            log->Write(AppLog::Error, "Ошибка инициализации компонента \"%s\" (%s): %s", kDisplayName, kComponentName,
                       error.Reason().c_str());
        throw;
    }
}

SessionExtender::SessionExtender(ITypeInfo* typeInfo, ITallivoxPlugin* plugin)
    : TallivoxObject2<ITallivoxSessionExtender>(typeInfo), plugin_(plugin, true)
{
    Inform("создан объект Plugin::SessionExtender");
}

SessionExtender::~SessionExtender()
{
    Inform("удалён объект Plugin::SessionExtender");
}

HRESULT STDMETHODCALLTYPE SessionExtender::PrepareSession(IUnknown* session)
{
    return Automation::ComMethod([&] {
        HostSession variables(session);
        SessionEvents(Plugin::Reach(plugin_.Get())).PrepareSession(variables);
    });
}

HRESULT STDMETHODCALLTYPE SessionExtender::OnSessionEvent(IUnknown* session, BSTR event)
{
    return Automation::ComMethod([&] {
        HostSession variables(session);
        SessionEvents(Plugin::Reach(plugin_.Get())).OnSessionEvent(variables, newstr(event));
    });
}

TerminalExtender::TerminalExtender(ITypeInfo* typeInfo, ITallivoxPlugin* plugin)
    : TallivoxObject2<ITallivoxTerminalExtender>(typeInfo), plugin_(plugin, true)
{
    Inform("создан объект Plugin::TerminalExtender");
}

TerminalExtender::~TerminalExtender()
{
    Inform("удалён объект Plugin::TerminalExtender");
}

HRESULT STDMETHODCALLTYPE TerminalExtender::OnTerminalEvent(IUnknown* terminal, BSTR event)
{
    return Automation::ComMethod([&] {
        HostTerminal device(terminal);
        TerminalEvents(Plugin::Reach(plugin_.Get())).OnTerminalEvent(device, newstr(event));
    });
}

HRESULT STDMETHODCALLTYPE TerminalExtender::OnDeviceState(IUnknown* /*terminal*/, BSTR device, LONG failed)
{
    return Automation::ComMethod(
        [&] { TerminalEvents(Plugin::Reach(plugin_.Get())).OnDeviceState(newstr(device), failed != 0); });
}

} // namespace Plugin
