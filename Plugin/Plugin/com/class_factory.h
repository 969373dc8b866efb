// The class factory of a plug-in class T whose objects implement interface I.
#pragma once

#include "xdk/automation_object.h"

namespace Plugin {

template <class T, class I>
class ClassFactory final : public IKnown<IClassFactory> {
public:
    // Takes the type information of I; raises when it cannot be had.
    ClassFactory() : typeInfo_(Automation::GetTallivexTypeInfo(__uuidof(I))) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* /*outer*/, REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_INVALIDARG;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, __uuidof(I)))
            return E_NOINTERFACE;
        return Automation::ComMethod([&] {
            // The object is born with the one reference the caller receives.
            *out = static_cast<I*>(new T(typeInfo_.Get()));
        });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override { return CoLockObjectExternal(this, lock, FALSE); }

private:
    TVXDK::Tallivox::ComPtr<ITypeInfo> typeInfo_;
};

} // namespace Plugin
