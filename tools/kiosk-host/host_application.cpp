#include "tools/kiosk-host/host_application.h"

#include "tools/kiosk-host/com_text.h"

namespace {

HRESULT HandOutText(const std::string& text, BSTR* out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    return GuardedMethod([&] {
        *out = MakeBstr(text).release();
        return S_OK;
    });
}

} // namespace

HostApplication::HostApplication(Microsoft::WRL::ComPtr<ITypeInfo> typeInfo, ApplicationInfo info)
    : HostObject(std::move(typeInfo)), info_(std::move(info))
{
}

HRESULT STDMETHODCALLTYPE HostApplication::GetName(BSTR* name)
{
    return HandOutText(info_.name, name);
}

HRESULT STDMETHODCALLTYPE HostApplication::GetVersion(BSTR* version)
{
    return HandOutText(info_.version, version);
}

HRESULT STDMETHODCALLTYPE HostApplication::GetBuild(ULONG* build)
{
    if (build == nullptr)
        return E_POINTER;
    *build = info_.build;
    return S_OK;
}
