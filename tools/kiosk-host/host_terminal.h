// The kiosk terminal object (ITallivoxTerminal): the terminal extenders registered with
// it, and the device states it passes on to them.
#pragma once

#include "tools/kiosk-host/host_object.h"
#include "tools/kiosk-host/plugin_caller.h"

#include <memory>
#include <string>
#include <vector>

class HostTerminal final : public HostObject<ITallivoxTerminal> {
public:
    using Extender = Microsoft::WRL::ComPtr<ITallivoxTerminalExtender>;

    // caller: how the extenders are called (shared with the host, which may switch it).
    HostTerminal(Microsoft::WRL::ComPtr<ITypeInfo> typeInfo, std::shared_ptr<PluginCaller> caller);

    // Prints the state and reports it to every registered extender (OnDeviceState).
    // An extender's failure is the extender's: the caller of SetDeviceFailed gets S_OK.
    HRESULT STDMETHODCALLTYPE SetDeviceFailed(BSTR device, VARIANT_BOOL failed) override;
    // Keeps a reference to the extender until ReleaseExtenders; E_FAIL when refusing.
    HRESULT STDMETHODCALLTYPE AddExtender(ITallivoxTerminalExtender* extender) override;
    // A host that cannot take terminal extenders (to test a plug-in's start-up failure).
    void RefuseExtenders() { refuse_ = true; }

    // The host's own report of a device state: the same as SetDeviceFailed.
    void ReportDeviceState(const std::string& device, bool failed);

    std::vector<Extender> Extenders() const { return extenders_; }
    void ReleaseExtenders() { extenders_.clear(); }

private:
    std::shared_ptr<PluginCaller> caller_;
    std::vector<Extender> extenders_;
    bool refuse_ = false;
};
