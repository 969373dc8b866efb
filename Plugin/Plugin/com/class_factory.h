// The class factory of a plug-in class T whose objects implement interface I.
#pragma once

#include "framework/exceptions.h"
#include "xdk/automation_object.h"

#include <new>

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
        // The caller learns why an object could not be made: the failure's own HRESULT,
        // E_OUTOFMEMORY, or E_FAIL (never DISP_E_EXCEPTION, which only Invoke may return).
        HRESULT failure = E_FAIL;
        const HRESULT result = Automation::ComMethod([&] {
            try {
                // The object is born with the one reference the caller receives.
                *out = static_cast<I*>(new T(typeInfo_.Get()));
            } catch (const CoError& error) {
                if (FAILED(error.Result()))
                    failure = error.Result();
                throw;
            } catch (const WindowsError& error) {
                failure = HRESULT_FROM_WIN32(error.Code());
                throw;
            } catch (const std::bad_alloc&) {
                failure = E_OUTOFMEMORY;
                throw;
            }
        });
        if (SUCCEEDED(result))
            return result;
        // No Invoke will take the exception record: only the error information stays.
        Automation::ClearPendingFailure();
        return failure;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override { return CoLockObjectExternal(this, lock, FALSE); }

private:
    TVXDK::Tallivox::ComPtr<ITypeInfo> typeInfo_;
};

} // namespace Plugin
