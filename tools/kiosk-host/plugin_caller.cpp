#include "tools/kiosk-host/plugin_caller.h"

#include "tools/kiosk-host/com_text.h"
#include "tools/kiosk-host/text_output.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <exception>

namespace {

// VARIANTs that are cleared with their owner.
struct VariantArray {
    explicit VariantArray(std::size_t count) : items(count)
    {
        for (VARIANT& variant : items)
            VariantInit(&variant);
    }
    ~VariantArray()
    {
        for (VARIANT& variant : items)
            VariantClear(&variant);
    }
    VariantArray(const VariantArray&) = delete;
    VariantArray& operator=(const VariantArray&) = delete;

    std::vector<VARIANT> items;
};

// The arguments of one Invoke, last argument first as DISPPARAMS wants them.
class InvokeArguments {
public:
    explicit InvokeArguments(const std::vector<CallArgument>& arguments) : variants_(arguments.size())
    {
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            VARIANT& variant = variants_.items[arguments.size() - 1 - i];
            if (const auto* object = std::get_if<IUnknown*>(&arguments[i])) {
                V_VT(&variant) = VT_UNKNOWN;
                V_UNKNOWN(&variant) = *object;
                if (*object != nullptr)
                    (*object)->AddRef();
            } else if (const auto* text = std::get_if<std::string>(&arguments[i])) {
                V_VT(&variant) = VT_BSTR;
                V_BSTR(&variant) = MakeBstr(*text).release();
            } else {
                V_VT(&variant) = VT_I4;
                V_I4(&variant) = std::get<LONG>(arguments[i]);
            }
        }
    }

    DISPPARAMS Parameters()
    {
        DISPPARAMS parameters{};
        parameters.rgvarg = variants_.items.data();
        parameters.cArgs = static_cast<UINT>(variants_.items.size());
        return parameters;
    }

private:
    VariantArray variants_;
};

// An exception record whose texts are freed with it.
struct ExceptionRecord : EXCEPINFO {
    ExceptionRecord() : EXCEPINFO{} {}
    ~ExceptionRecord()
    {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
    ExceptionRecord(const ExceptionRecord&) = delete;
    ExceptionRecord& operator=(const ExceptionRecord&) = delete;
};

std::string TextOrNone(const std::string& text)
{
    return text.empty() ? "(none)" : text;
}

// The description the failed call left as the thread's error information, if any.
void AddErrorInfo(std::vector<std::string>& details)
{
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return;
    BSTR description = nullptr;
    if (SUCCEEDED(info->GetDescription(&description))) {
        const UniqueBstr owned(description);
        details.push_back("description: " + BstrToUtf8(description));
    }
}

} // namespace

bool PluginCaller::Call(const MethodCall& call)
{
    std::vector<std::string> details;
    HRESULT result = E_UNEXPECTED;
    try {
        result = binding_ == Binding::LateBound ? CallLateBound(call, details) : CallDirect(call, details);
    } catch (const std::exception& error) {
        result = E_FAIL;
        details.push_back(std::string("host failure: ") + error.what());
    } catch (...) {
        result = E_FAIL;
        details.push_back("host failure");
    }
    if (SUCCEEDED(result))
        return true;
    failed_ = true;
    const char* route = binding_ == Binding::LateBound ? " (IDispatch::Invoke)" : "";
    PrintError(call.label + " failed" + route + ": HRESULT " + HresultText(result));
    for (const std::string& detail : details)
        PrintError("  " + detail);
    return false;
}

HRESULT PluginCaller::CallDirect(const MethodCall& call, std::vector<std::string>& details) const
{
    SetErrorInfo(0, nullptr); // what a failure leaves must be this call's
    const HRESULT result = call.direct();
    if (FAILED(result))
        AddErrorInfo(details);
    return result;
}

HRESULT PluginCaller::CallLateBound(const MethodCall& call, std::vector<std::string>& details) const
{
    Microsoft::WRL::ComPtr<IDispatch> dispatch;
    HRESULT result = call.object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
    if (FAILED(result)) {
        details.push_back("the object has no IDispatch");
        return result;
    }
    std::wstring name = call.method;
    LPOLESTR names[] = {name.data()};
    DISPID member = DISPID_UNKNOWN;
    result = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member);
    if (FAILED(result)) {
        details.push_back("GetIDsOfNames does not know the name");
        return result;
    }

    InvokeArguments arguments(call.arguments);
    DISPPARAMS parameters = arguments.Parameters();
    ExceptionRecord record;
    UINT argumentError = 0;
    VARIANT returned;
    VariantInit(&returned);
    result = dispatch->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, &returned, &record,
                              &argumentError);
    if (SUCCEEDED(result) && call.result != nullptr) {
        // A result that is no number is the plug-in's fault, not a zero.
        const HRESULT converted = VariantChangeType(&returned, &returned, 0, VT_I4);
        if (FAILED(converted)) {
            VariantClear(&returned);
            details.push_back("the result is no 32-bit integer");
            return converted;
        }
        *call.result = V_I4(&returned);
    }
    VariantClear(&returned);
    if (result == DISP_E_EXCEPTION) {
        if (record.pfnDeferredFillIn != nullptr)
            record.pfnDeferredFillIn(&record);
        details.push_back("wCode: " + std::to_string(record.wCode));
        details.push_back("scode: " + HresultText(record.scode));
        details.push_back("source: " + TextOrNone(BstrToUtf8(record.bstrSource)));
        details.push_back("description: " + TextOrNone(BstrToUtf8(record.bstrDescription)));
    } else if (result == DISP_E_TYPEMISMATCH || result == DISP_E_PARAMNOTFOUND) {
        // Invoke counts arguments from the last one.
        details.push_back("argument: " + std::to_string(call.arguments.size() - argumentError));
    }
    return result;
}
