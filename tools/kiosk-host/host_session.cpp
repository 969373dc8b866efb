#include "tools/kiosk-host/host_session.h"

#include "tools/kiosk-host/com_text.h"

HostSession::HostSession(Microsoft::WRL::ComPtr<ITypeInfo> typeInfo) : HostObject(std::move(typeInfo)) {}

HRESULT STDMETHODCALLTYPE HostSession::SetVariable(BSTR name, BSTR text)
{
    return GuardedMethod([&] {
        variables_.Set(BstrToUtf8(name), BstrToUtf8(text));
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE HostSession::GetVariable(BSTR name, BSTR* text)
{
    if (text == nullptr)
        return E_POINTER;
    *text = nullptr;
    return GuardedMethod([&] {
        *text = MakeBstr(variables_.Get(BstrToUtf8(name))).release();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE HostSession::AddExtender(ITallivoxSessionExtender* extender)
{
    if (extender == nullptr)
        return E_POINTER;
    return GuardedMethod([&] {
        extenders_.emplace_back(extender);
        return S_OK;
    });
}
