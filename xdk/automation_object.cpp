#include "xdk/automation_object.h"

#include "framework/exceptions.h"
#include "framework/win32/wide_text.h"

#include <optional>

namespace Automation {

namespace {

thread_local std::optional<Failure> t_pending;

// Leaves error information for callers that do not go through Invoke.
void SetThreadErrorInfo(const Failure& failure)
{
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create)))
        return;
    create->SetDescription(const_cast<LPOLESTR>(failure.description.c_str()));
    create->SetSource(const_cast<LPOLESTR>(failure.source.c_str()));
    create->SetHelpContext(failure.code);
    IErrorInfo* error = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&error)))) {
        SetErrorInfo(0, error);
        error->Release();
    }
    create->Release();
}

} // namespace

HRESULT ComMethod(const std::function<void()>& body) noexcept
{
    Failure failure;
    try {
        body();
        return S_OK;
    } catch (const OleAutoException& error) {
        failure.code = error.Code();
        failure.source = error.Source().empty() ? kSource : Widen(error.Source());
        failure.description = Widen(error.Description().empty() ? error.Reason() : error.Description());
    } catch (const CoError& error) {
        failure.code = static_cast<unsigned short>(static_cast<std::uint32_t>(error.Result()) & 0xFFFF);
        failure.description = Widen(error.Reason());
    } catch (const OrvaneException& error) {
        failure.description = Widen(error.Reason());
    } catch (...) {
        failure.description = Widen("Необработанная ошибка неизвестного типа");
    }
    try {
        SetThreadErrorInfo(failure);
        t_pending = failure;
    } catch (...) {
        // Out of memory while reporting: the result still tells of the failure.
    }
    return DISP_E_EXCEPTION;
}

bool TakePendingFailure(Failure& failure)
{
    if (!t_pending)
        return false;
    failure = *t_pending;
    t_pending.reset();
    return true;
}

void ClearPendingFailure()
{
    t_pending.reset();
}

void DiscardStaleFailure()
{
    t_pending.reset();
    SetErrorInfo(0, nullptr);
}

void CheckHostCall(HRESULT result, const char* file, int line)
{
    CoCallEx(result, "xdk", file, line);
    DiscardStaleFailure();
}

ExceptionRecord::~ExceptionRecord()
{
    SysFreeString(record.bstrSource);
    SysFreeString(record.bstrDescription);
    SysFreeString(record.bstrHelpFile);
}

void FillExceptionRecord(EXCEPINFO& record, const Failure& failure)
{
    record.wCode = failure.code;
    record.scode = DISP_E_EXCEPTION;
    record.bstrSource = SysAllocString(failure.source.c_str());
    record.bstrDescription = SysAllocString(failure.description.c_str());
}

HRESULT STDMETHODCALLTYPE ObjectSafety2::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled)
{
    if (supported == nullptr || enabled == nullptr)
        return E_POINTER;
    *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    *enabled = 0;
    for (const auto& [known, options] : options_) {
        if (IsEqualIID(known, iid))
            *enabled = options;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ObjectSafety2::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled)
{
    for (auto& [known, options] : options_) {
        if (IsEqualIID(known, iid)) {
            options = (options & ~mask) | (enabled & mask);
            return S_OK;
        }
    }
    options_.emplace_back(iid, enabled & mask);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE SupportErrorInfo::InterfaceSupportsErrorInfo(REFIID iid)
{
    for (const IID& known : interfaces_) {
        if (IsEqualIID(known, iid))
            return S_OK;
    }
    return S_FALSE;
}

} // namespace Automation
