// The plug-in's COM objects: Plugin (started by the host with its client; the root of
// the plug-in's life in the host), and the session and terminal extenders it creates
// and registers with the host. They unwrap their arguments and call the portable
// kiosk logic (session_events.h, terminal_events.h).
#pragma once

#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/version.h"
#include "Plugin/Plugin/amount_split.h"
#include "Plugin/Plugin/plugin_context.h"
#include "framework/registry.h"
#include "xdk/automation_object.h"
#include "xdk/host_wrappers.h"

#include <atomic>
#include <memory>
#include <optional>

namespace Plugin {

// The display name and the component name in every start and stop message.
constexpr const char* kDisplayName = "Поддержка диспенсера";
constexpr const char* kComponentName = "Orvane Tallivox Dispenser plugin v." DISPENSER_VERSION_SHORT;

class SessionExtender;
class TerminalExtender;

class Plugin final : public TallivoxObject2<ITallivoxPlugin>, public PluginContext {
public:
    explicit Plugin(ITypeInfo* typeInfo);
    // Writes the STOP record and lets go of the application log.
    ~Plugin() override;

    HRESULT STDMETHODCALLTYPE Init(IUnknown* client) override;

    // PluginContext.
    bool IsFailed() const override { return failed_.load(); }
    void SetFailed(bool failed) override;
    void ReportFailure(bool failed) override;
    void WithCurrentSession(const std::function<void(SessionVariables&)>& use) override;
    WindowHandle MainWindow() const override;

    std::string DescribeHost();
    Split SplitAmount(DispenserControl::Settings& store, std::uint32_t amount);

    // The Plugin behind an ITallivoxPlugin reference, or null when it leads elsewhere.
    static Plugin* Reach(ITallivoxPlugin* plugin);

private:
    void Start(IUnknown* client);
    TVXDK::Tallivox::TVClient Client() const;

    TVXDK::Tallivox::ComPtr<ITallivoxClient> client_;
    TerminalExtender* terminalExtender_ = nullptr;
    SessionExtender* sessionExtender_ = nullptr;
    RegKey userKey_;
    RegKey machineKey_;
    std::atomic<bool> failed_{false};
    std::shared_ptr<DispenserLogHandler> logs_;
};

class SessionExtender final : public TallivoxObject2<ITallivoxSessionExtender> {
public:
    SessionExtender(ITypeInfo* typeInfo, ITallivoxPlugin* plugin);
    ~SessionExtender() override;

    HRESULT STDMETHODCALLTYPE OnSessionCreated(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PrepareSession(IUnknown* session) override;
    HRESULT STDMETHODCALLTYPE OnSessionStarted(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnSessionStep(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnSessionEvent(IUnknown* session, BSTR event) override;
    HRESULT STDMETHODCALLTYPE OnSessionFinished(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnSessionClosed(IUnknown*) override { return S_OK; }

private:
    TVXDK::Tallivox::ComPtr<ITallivoxPlugin> plugin_;
};

class TerminalExtender final : public TallivoxObject2<ITallivoxTerminalExtender> {
public:
    TerminalExtender(ITypeInfo* typeInfo, ITallivoxPlugin* plugin);
    ~TerminalExtender() override;

    HRESULT STDMETHODCALLTYPE OnTerminalStarted(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnTerminalStopped(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnTerminalEvent(IUnknown* terminal, BSTR event) override;
    HRESULT STDMETHODCALLTYPE OnDeviceState(IUnknown* terminal, BSTR device, LONG failed) override;
    HRESULT STDMETHODCALLTYPE OnTerminalLocked(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnTerminalUnlocked(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnServiceStarted(IUnknown*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnServiceFinished(IUnknown*) override { return S_OK; }

private:
    TVXDK::Tallivox::ComPtr<ITallivoxPlugin> plugin_;
};

} // namespace Plugin
