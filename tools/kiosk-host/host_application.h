// The host application object (ITallivoxApplication): the host's name, version and build.
#pragma once

#include "tools/kiosk-host/host_object.h"

#include <string>

// What the application object reports; set on the command line.
struct ApplicationInfo {
    std::string name = "Kiosk";
    std::string version = "3.5";
    unsigned long build = 1200;
};

class HostApplication final : public HostObject<ITallivoxApplication> {
public:
    HostApplication(Microsoft::WRL::ComPtr<ITypeInfo> typeInfo, ApplicationInfo info);

    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetVersion(BSTR* version) override;
    HRESULT STDMETHODCALLTYPE GetBuild(ULONG* build) override;

private:
    ApplicationInfo info_;
};
