// The base of every host object handed to the plug-in: IUnknown with an interlocked
// reference count, and IDispatch through the host interfaces' type information
// (DispInvoke), so that the plug-in may call the host early- or late-bound.
#pragma once

#include "windows_api.h"
#include "xdk/Tallivex.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <atomic>
#include <new>
#include <utility>

template <class I>
class HostObject : public I {
public:
    // typeInfo: the type information of I, held for the object's life.
    explicit HostObject(Microsoft::WRL::ComPtr<ITypeInfo> typeInfo) : typeInfo_(std::move(typeInfo)) {}
    virtual ~HostObject() = default;
    HostObject(const HostObject&) = delete;
    HostObject& operator=(const HostObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, __uuidof(I))) {
            *out = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count == nullptr)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        return typeInfo_.CopyTo(out);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!IsEqualIID(iid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        return DispGetIDsOfNames(typeInfo_.Get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override
    {
        if (!IsEqualIID(iid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        return DispInvoke(static_cast<I*>(this), typeInfo_.Get(), member, flags, parameters, result, exception,
                          argumentError);
    }

private:
    std::atomic<ULONG> references_{1};
    Microsoft::WRL::ComPtr<ITypeInfo> typeInfo_;
};

// A new host object; the returned reference is the one it was born with.
template <class T, class... Arguments>
Microsoft::WRL::ComPtr<T> MakeHostObject(Arguments&&... arguments)
{
    Microsoft::WRL::ComPtr<T> object;
    object.Attach(new T(std::forward<Arguments>(arguments)...));
    return object;
}

// Runs the body of a host method: no exception leaves a COM method.
template <class Body>
HRESULT GuardedMethod(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
