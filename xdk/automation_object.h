// The automation object base of every object the plug-in hands to the host, stacked
// as IKnown<I> (reference count, interface lookup), IDispatchType<I> (late-bound calls
// through the host's type information) and TallivoxObject2<I> (object safety, error
// information and the translation of failures into automation exception records).
//
// No exception leaves a COM method: each method body runs inside ComMethod, which
// turns an exception into DISP_E_EXCEPTION and error information (and, for a call
// through Invoke, the exception record the rules below describe).
#pragma once

#include "windows_api.h"
#include "xdk/Tallivex.h"
#include "xdk/com_ptr.h"

#include <objsafe.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace Automation {

constexpr wchar_t kSource[] = L"Orvane Tallivox";
constexpr unsigned short kGenericCode = 59999;

// The exception record a failed method leaves for the Invoke that called it.
struct Failure {
    unsigned short code = kGenericCode;
    std::wstring source = kSource;
    std::wstring description;
};

// Runs a method body: S_OK when it returns, DISP_E_EXCEPTION with error information
// and the thread's pending failure when it throws.
HRESULT ComMethod(const std::function<void()>& body) noexcept;

// The failure the last method of this thread left, taken once.
bool TakePendingFailure(Failure& failure);
void ClearPendingFailure();
// After a call into the host succeeded: a failure a nested call of the host's into
// the plug-in left on this thread (and the host handled) is stale, and must not turn
// the method that is running into a failure.
void DiscardStaleFailure();
// Checks the result of a call into the host: a failure raises CoError; a success
// discards a stale failure (above). Every call into the host goes through it.
void CheckHostCall(HRESULT result, const char* file, int line);

// Fills an exception record (texts allocated with SysAllocString).
void FillExceptionRecord(EXCEPINFO& record, const Failure& failure);

// An exception record of our own whose texts are freed with it.
struct ExceptionRecord {
    EXCEPINFO record{};
    ExceptionRecord() = default;
    ~ExceptionRecord();
    ExceptionRecord(const ExceptionRecord&) = delete;
    ExceptionRecord& operator=(const ExceptionRecord&) = delete;
};

// The type information of a host interface from the plug-in's embedded type library;
// raises CoError on failure.
TVXDK::Tallivox::ComPtr<ITypeInfo> GetTallivexTypeInfo(REFIID iid);

} // namespace Automation

template <class I>
class IKnown : public I {
public:
    IKnown() = default;
    virtual ~IKnown() = default;
    IKnown(const IKnown&) = delete;
    IKnown& operator=(const IKnown&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_INVALIDARG;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(I))) {
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

    ULONG References() const { return references_.load(); }

private:
    std::atomic<ULONG> references_{1};
};

template <class I>
class IDispatchType : public IKnown<I> {
public:
    explicit IDispatchType(ITypeInfo* typeInfo) : typeInfo_(typeInfo)
    {
        if (typeInfo_ != nullptr)
            typeInfo_->AddRef();
    }
    ~IDispatchType() override
    {
        if (typeInfo_ != nullptr)
            typeInfo_->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out != nullptr && IsEqualIID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(static_cast<I*>(this));
            this->AddRef();
            return S_OK;
        }
        return IKnown<I>::QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count == nullptr)
            return E_INVALIDARG;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override
    {
        if (out == nullptr)
            return E_INVALIDARG;
        *out = typeInfo_;
        if (typeInfo_ != nullptr)
            typeInfo_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return DispGetIDsOfNames(typeInfo_, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override
    {
        return DispInvoke(static_cast<I*>(this), typeInfo_, member, flags, parameters, result, exception,
                          argumentError);
    }

    ITypeInfo* TypeInfo() const { return typeInfo_; }

private:
    ITypeInfo* typeInfo_;
};

namespace Automation {

// A companion interface of an object: its references are the owner's.
template <class Interface>
class Companion : public Interface {
public:
    explicit Companion(IUnknown* owner) : owner_(owner) {}
    virtual ~Companion() = default;
    Companion(const Companion&) = delete;
    Companion& operator=(const Companion&) = delete;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        return owner_ != nullptr ? owner_->QueryInterface(iid, out) : E_UNEXPECTED;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_ != nullptr ? owner_->AddRef() : 1; }
    ULONG STDMETHODCALLTYPE Release() override { return owner_ != nullptr ? owner_->Release() : 1; }
    IUnknown* Owner() const { return owner_; }

private:
    IUnknown* owner_;
};

// IObjectSafety: remembers the options set per interface.
class ObjectSafety2 : public Companion<IObjectSafety> {
public:
    explicit ObjectSafety2(IUnknown* owner) : Companion(owner) {}
    HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
    HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

private:
    std::vector<std::pair<IID, DWORD>> options_;
};

// ISupportErrorInfo for the listed interfaces.
class SupportErrorInfo : public Companion<ISupportErrorInfo> {
public:
    explicit SupportErrorInfo(IUnknown* owner) : Companion(owner) {}
    void Add(REFIID iid) { interfaces_.push_back(iid); }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

private:
    std::vector<IID> interfaces_;
};

} // namespace Automation

template <class I>
class TallivoxObject2 : public IDispatchType<I> {
public:
    explicit TallivoxObject2(ITypeInfo* typeInfo)
        : IDispatchType<I>(typeInfo), safety_(static_cast<I*>(this)), errorInfo_(static_cast<I*>(this))
    {
        safety_.SetInterfaceSafetyOptions(IID_IDispatch, 3, 3);
        errorInfo_.Add(IID_IDispatch);
        errorInfo_.Add(__uuidof(I));
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr)
            return E_INVALIDARG;
        if (IsEqualIID(iid, IID_IObjectSafety))
            return Hand(static_cast<IObjectSafety*>(&safety_), safety_.Owner(), out);
        if (IsEqualIID(iid, IID_ISupportErrorInfo))
            return Hand(static_cast<ISupportErrorInfo*>(&errorInfo_), errorInfo_.Owner(), out);
        return IDispatchType<I>::QueryInterface(iid, out);
    }

    // Late-bound calls: every failure of the method becomes DISP_E_EXCEPTION with an
    // exception record.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override
    {
        SetErrorInfo(0, nullptr);
        Automation::ClearPendingFailure();
        // What the dispatcher itself would put in a record is dropped: the record is
        // filled here, and the caller's other fields stay as the caller set them.
        Automation::ExceptionRecord dispatched;
        HRESULT outcome = IDispatchType<I>::Invoke(member, iid, locale, flags, parameters, result, &dispatched.record,
                                                   argumentError);
        Automation::Failure pending;
        const bool thrown = Automation::TakePendingFailure(pending);
        if (thrown && FAILED(outcome)) {
            if (exception != nullptr)
                Automation::FillExceptionRecord(*exception, pending);
            return DISP_E_EXCEPTION;
        }
        IErrorInfo* error = nullptr;
        if (GetErrorInfo(0, &error) == S_OK && error != nullptr) {
            if (exception != nullptr) {
                Automation::Failure failure;
                failure.code = static_cast<unsigned short>(outcome & 0xFFFF);
                BSTR description = nullptr;
                if (SUCCEEDED(error->GetDescription(&description)) && description != nullptr)
                    failure.description = description;
                SysFreeString(description);
                DWORD context = 0;
                if (SUCCEEDED(error->GetHelpContext(&context)))
                    failure.code = static_cast<unsigned short>(context);
                Automation::FillExceptionRecord(*exception, failure);
            }
            error->Release();
            return DISP_E_EXCEPTION;
        }
        if (outcome == DISP_E_EXCEPTION && exception != nullptr) {
            // A failing method's error information, taken by the dispatcher into its record
            // (a failure without any leaves the description empty).
            Automation::Failure failure;
            failure.code = static_cast<unsigned short>(dispatched.record.dwHelpContext != 0
                                                           ? dispatched.record.dwHelpContext
                                                           : static_cast<DWORD>(dispatched.record.scode) & 0xFFFF);
            if (dispatched.record.bstrDescription != nullptr)
                failure.description = dispatched.record.bstrDescription;
            Automation::FillExceptionRecord(*exception, failure);
        }
        return outcome;
    }

    Automation::ObjectSafety2& Safety() { return safety_; }

private:
    static HRESULT Hand(IUnknown* companion, IUnknown* owner, void** out)
    {
        if (owner == nullptr) {
            *out = nullptr;
            return E_UNEXPECTED;
        }
        *out = companion;
        companion->AddRef();
        return S_OK;
    }

    Automation::ObjectSafety2 safety_;
    Automation::SupportErrorInfo errorInfo_;
};
