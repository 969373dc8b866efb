#include "tools/kiosk-host/host_terminal.h"

#include "tools/kiosk-host/com_text.h"
#include "tools/kiosk-host/plugin_calls.h"
#include "tools/kiosk-host/text_output.h"

HostTerminal::HostTerminal(Microsoft::WRL::ComPtr<ITypeInfo> typeInfo, std::shared_ptr<PluginCaller> caller)
    : HostObject(std::move(typeInfo)), caller_(std::move(caller))
{
}

HRESULT STDMETHODCALLTYPE HostTerminal::SetDeviceFailed(BSTR device, VARIANT_BOOL failed)
{
    return GuardedMethod([&] {
        ReportDeviceState(BstrToUtf8(device), failed != VARIANT_FALSE);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE HostTerminal::AddExtender(ITallivoxTerminalExtender* extender)
{
    if (extender == nullptr)
        return E_POINTER;
    if (refuse_)
        return E_FAIL;
    return GuardedMethod([&] {
        extenders_.emplace_back(extender);
        return S_OK;
    });
}

void HostTerminal::ReportDeviceState(const std::string& device, bool failed)
{
    PrintLine("device state: " + device + "=" + (failed ? "1" : "0"));
    for (const Extender& extender : Extenders())
        caller_->Call(DeviceStateCall(extender.Get(), this, device, failed));
}
