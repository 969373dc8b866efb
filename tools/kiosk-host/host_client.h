// The host client object (ITallivoxClient) handed to the plug-in's Init: the way to
// the application, the current session and the terminal.
#pragma once

#include "tools/kiosk-host/host_application.h"
#include "tools/kiosk-host/host_object.h"
#include "tools/kiosk-host/host_session.h"
#include "tools/kiosk-host/host_terminal.h"

class HostClient final : public HostObject<ITallivoxClient> {
public:
    HostClient(Microsoft::WRL::ComPtr<ITypeInfo> typeInfo, Microsoft::WRL::ComPtr<HostApplication> application,
               Microsoft::WRL::ComPtr<HostSession> session, Microsoft::WRL::ComPtr<HostTerminal> terminal);

    HRESULT STDMETHODCALLTYPE GetApplication(ITallivoxApplication** application) override;
    HRESULT STDMETHODCALLTYPE GetSession(ITallivoxSession** session) override;
    HRESULT STDMETHODCALLTYPE GetTerminal(ITallivoxTerminal** terminal) override;

    // A host gone wrong: the three getters answer S_OK without an object.
    void SetNullObjects(bool on) { nullObjects_ = on; }

private:
    Microsoft::WRL::ComPtr<HostApplication> application_;
    Microsoft::WRL::ComPtr<HostSession> session_;
    Microsoft::WRL::ComPtr<HostTerminal> terminal_;
    bool nullObjects_ = false;
};
