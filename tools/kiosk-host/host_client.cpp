#include "tools/kiosk-host/host_client.h"

namespace {

// Hands out one more reference to a host object as its interface.
// With `none`, S_OK and no object, as a host gone wrong answers.
template <class I, class T>
HRESULT HandOut(const Microsoft::WRL::ComPtr<T>& object, I** out, bool none)
{
    if (out == nullptr)
        return E_POINTER;
    *out = none ? nullptr : object.Get();
    if (*out != nullptr)
        (*out)->AddRef();
    return S_OK;
}

} // namespace

HostClient::HostClient(Microsoft::WRL::ComPtr<ITypeInfo> typeInfo, Microsoft::WRL::ComPtr<HostApplication> application,
                       Microsoft::WRL::ComPtr<HostSession> session, Microsoft::WRL::ComPtr<HostTerminal> terminal)
    : HostObject(std::move(typeInfo)),
      application_(std::move(application)),
      session_(std::move(session)),
      terminal_(std::move(terminal))
{
}

HRESULT STDMETHODCALLTYPE HostClient::GetApplication(ITallivoxApplication** application)
{
    return HandOut(application_, application, nullObjects_);
}

HRESULT STDMETHODCALLTYPE HostClient::GetSession(ITallivoxSession** session)
{
    return HandOut(session_, session, nullObjects_);
}

HRESULT STDMETHODCALLTYPE HostClient::GetTerminal(ITallivoxTerminal** terminal)
{
    return HandOut(terminal_, terminal, nullObjects_);
}
