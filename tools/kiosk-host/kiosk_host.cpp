#include "tools/kiosk-host/kiosk_host.h"

#include "framework/win32/wide_text.h"
#include "tools/kiosk-host/com_text.h"
#include "tools/kiosk-host/control_application.h"
#include "tools/kiosk-host/event_timing.h"
#include "tools/kiosk-host/host_error.h"
#include "tools/kiosk-host/host_registry.h"
#include "tools/kiosk-host/plugin_calls.h"
#include "tools/kiosk-host/program_path.h"
#include "tools/kiosk-host/text_output.h"

namespace {

std::string DefaultPluginPath()
{
    return Narrow((ProgramPath().parent_path() / L"DispenserPlugin.dll").wstring());
}

} // namespace

KioskHost::KioskHost(HostSettings settings)
    : settings_(std::move(settings)),
      window_(settings_.application.name),
      application_(MakeHostObject<HostApplication>(types_.TypeInfo(__uuidof(ITallivoxApplication)),
                                                   settings_.application)),
      session_(MakeHostObject<HostSession>(types_.TypeInfo(__uuidof(ITallivoxSession)))),
      terminal_(MakeHostObject<HostTerminal>(types_.TypeInfo(__uuidof(ITallivoxTerminal)), caller_)),
      client_(MakeHostObject<HostClient>(types_.TypeInfo(__uuidof(ITallivoxClient)), application_, session_,
                                         terminal_))
{
    if (settings_.pluginPath.empty())
        settings_.pluginPath = DefaultPluginPath();
    if (settings_.refuseTerminalExtenders)
        terminal_->RefuseExtenders();
}

KioskHost::~KioskHost()
{
    // The extenders hold the plug-in object; the plug-in object holds the client.
    session_->ReleaseExtenders();
    terminal_->ReleaseExtenders();
    plugin_.Reset();
    controlPlugin_.Reset();
}

ExitStatus KioskHost::Run(const std::vector<Command>& commands)
{
    try {
        Install();
        for (const Command& command : commands)
            Execute(command);
    } catch (const HostError& error) {
        PrintError(std::string("kiosk-host: ") + error.what());
        caller_->NoteFailure();
    }
    return caller_->AnyCallFailed() ? ExitStatus::CallFailed : ExitStatus::Success;
}

PluginModule& KioskHost::Module()
{
    if (!module_)
        module_.emplace(settings_.pluginPath);
    return *module_;
}

void KioskHost::Install()
{
    if (settings_.rootPath)
        WriteHostRootPath(*settings_.rootPath);
    if (!settings_.install)
        return;
    const int result = Module().RunInstaller();
    PrintLine("TallivoxPlugin_InstallInit: " + std::to_string(result));
    if (result != 1)
        caller_->NoteFailure();
}

bool KioskHost::EnsureStarted()
{
    if (!startAttempted_) {
        startAttempted_ = true;
        try {
            Microsoft::WRL::ComPtr<IUnknown> object =
                Module().CreateObject(kDispenserPluginClass, __uuidof(ITallivoxPlugin));
            Microsoft::WRL::ComPtr<ITallivoxPlugin> plugin;
            const HRESULT result = object.As(&plugin);
            if (FAILED(result))
                throw HostError("the plug-in object has no ITallivoxPlugin: HRESULT " + HresultText(result));
            plugin_ = plugin;
            caller_->Call(InitCall(plugin_.Get(), client_.Get()));
        } catch (const HostError& error) {
            // The run goes on without the plug-in, as a kiosk would; it ends with status 1.
            PrintError(std::string("kiosk-host: ") + error.what());
            caller_->NoteFailure();
        }
    }
    return plugin_ != nullptr;
}

bool KioskHost::EnsureControlPlugin()
{
    if (!controlAttempted_) {
        controlAttempted_ = true;
        try {
            Microsoft::WRL::ComPtr<IUnknown> object =
                Module().CreateObject(kDispenserControlPluginClass, __uuidof(ITallivoxControlPlugin));
            const HRESULT result = object.As(&controlPlugin_);
            if (FAILED(result))
                throw HostError("the control plug-in has no ITallivoxControlPlugin: HRESULT " + HresultText(result));
        } catch (const HostError& error) {
            PrintError(std::string("kiosk-host: ") + error.what());
            caller_->NoteFailure();
        }
    }
    return controlPlugin_ != nullptr;
}

void KioskHost::OpenControlSheet(const Command& command)
{
    if (!EnsureControlPlugin())
        return;
    ControlRequest request;
    request.owner = window_.Handle();
    if (command.kind == CommandKind::ControlApply)
        request.run = ControlRun::ApplyAndOk;
    if (command.kind == CommandKind::ControlPicture) {
        request.run = ControlRun::PictureAndCancel;
        request.picture = Widen(command.name);
    }
    RunControlApplication(controlPlugin_.Get(), types_.TypeInfo(__uuidof(ITallivoxControlSite)), *caller_, request);
}

void KioskHost::Execute(const Command& command)
{
    switch (command.kind) {
    case CommandKind::Start:
        EnsureStarted();
        break;
    case CommandKind::Set:
        session_->Variables().Set(command.name, command.text);
        break;
    case CommandKind::Prepare:
        EnsureStarted();
        for (const HostSession::Extender& extender : session_->Extenders())
            caller_->Call(PrepareSessionCall(extender.Get(), nullObjects_ ? nullptr : session_.Get()));
        break;
    case CommandKind::Event: {
        EnsureStarted();
        const std::int64_t called = SystemClockMicroseconds();
        for (const HostSession::Extender& extender : session_->Extenders())
            caller_->Call(SessionEventCall(extender.Get(), nullObjects_ ? nullptr : session_.Get(), command.name));
        if (!settings_.timingPath.empty())
            AppendEventTiming(settings_.timingPath, command.name, called, SystemClockMicroseconds());
        break;
    }
    case CommandKind::TerminalEvent:
        EnsureStarted();
        for (const HostTerminal::Extender& extender : terminal_->Extenders())
            caller_->Call(TerminalEventCall(extender.Get(), nullObjects_ ? nullptr : terminal_.Get(), command.name));
        break;
    case CommandKind::ExitProcess:
        ::ExitProcess(0);
    case CommandKind::NullObjects:
        nullObjects_ = command.on;
        client_->SetNullObjects(command.on);
        break;
    case CommandKind::DeviceState:
        EnsureStarted();
        terminal_->ReportDeviceState(command.name, command.failed);
        break;
    case CommandKind::Dump:
        for (const auto& [name, text] : session_->Variables().List(command.name))
            PrintLine(name + "=" + text);
        break;
    case CommandKind::Echo:
        PrintLine(command.name);
        break;
    case CommandKind::LateBound:
        caller_->SetBinding(Binding::LateBound);
        break;
    case CommandKind::ShowWindow:
        window_.Show();
        break;
    case CommandKind::Control:
    case CommandKind::ControlApply:
    case CommandKind::ControlPicture:
        OpenControlSheet(command);
        break;
    }
}
